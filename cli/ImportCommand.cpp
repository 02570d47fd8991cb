#include "cli/ImportCommand.h"

#include <QJsonArray>
#include <QJsonObject>
#include <optional>
#include <ostream>

namespace cli {

void WriteImportJson(JsonReport& json, std::ostream& out, const std::string& source,
                     const std::string& database, const ImportOutcome& outcome) {
    json.SetPath("source", source);
    json.SetPath("database", database);
    json.Set("outcome", outcome.outcome);
    if (outcome.error.empty())
        json.SetNull("error");
    else
        json.SetMasked("error", outcome.error);
    if (outcome.keptOriginal.empty())
        json.SetNull("keptOriginal");
    else
        json.SetPath("keptOriginal", outcome.keptOriginal);
    if (outcome.report != nullptr) {
        const genuine::ImportReport& report = *outcome.report;
        json.Set("generation", report.generation);
        QJsonArray tables;
        for (const std::string& table : report.tables) tables.append(JsonText(table));
        json.Set("tables", tables);
        json.Set("rows", static_cast<double>(report.rows));
        QJsonArray queries;
        for (const std::string& query : report.queries) queries.append(JsonText(query));
        json.Set("queries", queries);
        QJsonArray leftOut;
        for (const genuine::LeftOut& item : report.leftOut) {
            QJsonObject entry;
            entry.insert(QStringLiteral("table"), JsonText(item.table));
            entry.insert(QStringLiteral("field"), JsonText(item.field));
            entry.insert(QStringLiteral("what"), JsonText(item.what));
            leftOut.append(entry);
        }
        json.Set("leftOut", leftOut);
        json.Set("sourceWarnings", static_cast<double>(report.sourceWarnings));
    }
    json.Write(out);
}

int RunImportCommand(const CommandLine& line, std::ostream& out, std::ostream& err) {
    JsonReport json("import");
    const std::string& source = line.operands.at(0);
    const std::string& destination = line.operands.at(1);
    std::ostream& text = line.json ? err : out;
    genuine::ImportOptions options;
    options.password = line.password.value_or("");
    options.progress = [&text](const genuine::ImportProgress& p) {
        if (p.finished) {
            text << "[" << p.tableNumber << "/" << p.tableCount << "] " << p.table << ": "
                 << p.rowsDone << " rows\n"
                 << std::flush;
        }
    };
    ImportOutcome outcome;
    int status = kExitFailed;
    std::optional<genuine::ImportReport> report;
    try {
        report = genuine::ImportGenuineDatabase(source, destination, options);
        outcome.report = &*report;
        text << "Imported " << report->tables.size() << " tables, " << report->rows << " rows, "
             << report->queries.size() << " saved queries from the " << report->generation
             << " file " << source << " into " << destination << ".\n";
        if (report->sourceWarnings > 0) {
            text << "libmdb printed " << report->sourceWarnings
                 << " line(s) of warnings while reading the source, the first: "
                 << report->sourceWarningSample << "\n";
        }
        if (report->Complete()) {
            outcome.outcome = "imported";
            status = kExitOk;
        } else {
            outcome.outcome = "incomplete";
            text << "Left out (" << report->leftOut.size() << "):\n"
                 << genuine::DescribeLeftOut(report->leftOut);
        }
    } catch (const genuine::ImportError& error) {
        err << "VantolyPatch: import: " << error.what() << "\n";
        outcome.error = error.what();
        const bool refused = error.kind() == genuine::ImportError::Kind::kDestinationExists ||
                             error.kind() == genuine::ImportError::Kind::kPassword;
        outcome.outcome = refused ? "refused" : "failed";
        status = refused ? kExitBadArguments : kExitFailed;
    }
    if (line.json) WriteImportJson(json, out, source, destination, outcome);
    return status;
}

}  // namespace cli
