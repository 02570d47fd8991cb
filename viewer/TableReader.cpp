#include "viewer/TableReader.h"

#include <exception>

#include "db/ComErrorText.h"
#include "db/SchemaNames.h"
#include "db/VariantToText.h"
#include "viewer/CatalogReader.h"

namespace viewer {

namespace {

constexpr int kRowsPerStep = 64;  // the bar moves in steps the eye can see

void ShowStop(platform::MessageBoxes& messageBoxes, const std::string& text) {
    messageBoxes.Show({.text = text,
                       .caption = std::string(kViewerCaption),
                       .buttons = platform::MessageButtons::Ok,
                       .icon = platform::MessageIcon::Stop,
                       .owner = platform::MessageOwner::Window});
}

long CountRows(const db::DatabaseSession& session, const std::string& statement) {
    auto rs = session.Execute(statement);
    const long count = IntegerValueOf(db::CollectText(*rs, std::string(kCountField)).value_or(""));
    rs->Close();
    return count;
}

}  // namespace

bool ReadTableList(db::DatabaseSession& session, TableGrouping grouping,
                   std::vector<std::string>& lines) {
    std::vector<std::string> tables;
    const bool read = session.ListUserTables(tables);
    lines = TableListLines(tables, grouping);
    return read;
}

bool ReadSavedQueryNames(db::DatabaseSession& session, std::vector<std::string>& names) {
    names.clear();
    if (!session.SessionConnection() || !session.Connected()) return true;
    try {
        for (auto& query : session.SessionConnection()->SavedQueries())
            names.push_back(std::move(query.name));
        return true;
    } catch (const engine::ComError& error) {
        session.ShowErrorReport(db::ComErrorText(error));
        return false;
    }
}

bool LoadRecords(const RecordLoadServices& services, const std::string& table,
                 const std::vector<std::string>& headings, const std::string& rowLimitText,
                 RecordSink& sink) {
    std::string statement;
    try {
        statement = CountQueryText(table);
        sink.BeginRows(CountRows(services.session, statement));

        statement = RecordQueryText(table, headings, rowLimitText);
        auto rs = services.session.Execute(statement);
        std::vector<long> positions;
        if (!rs->IsEOF()) {
            const auto fields = rs->GetFields();
            for (const auto& heading : headings) {
                long position = -1;
                for (long i = 0; i < fields->Count() && position < 0; ++i) {
                    if (fields->Item(i).Name() == heading) position = i;
                }
                positions.push_back(position);
            }
        }
        int sincePause = 0;
        int unreported = 0;
        while (!rs->IsEOF()) {
            if (++unreported == kRowsPerStep) {
                sink.RowsRead(unreported);
                unreported = 0;
            }
            for (std::size_t c = 0; c < headings.size(); ++c) {
                const engine::Variant value =
                    positions[c] >= 0 ? rs->Collect(positions[c]) : rs->Collect(headings[c]);
                sink.AppendCell(value.isNull() ? std::string() : db::VariantToText(value));
            }
            rs->MoveNext();
            if (++sincePause == kRowsPerPause) {
                sincePause = 0;
                if (!sink.KeepGoing()) break;
            }
        }
        sink.RowsRead(unreported);
        if (rs->State() == engine::adStateOpen) rs->Close();
        return true;
    } catch (const engine::ComError& error) {
        ShowStop(services.messageBoxes, db::ComErrorText(error));
        ShowStop(services.messageBoxes, statement);
    } catch (const db::JetNameError& error) {
        ShowStop(services.messageBoxes, error.what());  // no statement was built
    } catch (const std::exception&) {
        ShowStop(services.messageBoxes, std::string(db::kUnhandledExceptionText));
    }
    return false;
}

}  // namespace viewer
