#include "update/RelationshipCountScan.h"

#include <stdexcept>
#include <utility>

#include "db/ComErrorText.h"
#include "engine/Engine.h"

namespace update {

namespace {
constexpr std::string_view kForeignKeyFailureCaption = "エラー";
}  // namespace

RelationshipCountScan::RelationshipCountScan(platform::MessageBoxes& messageBoxes,
                                             platform::Cursor& cursor, std::string applicationTitle,
                                             std::optional<std::string> connectionText)
    : messageBoxes_(messageBoxes),
      cursor_(cursor),
      applicationTitle_(std::move(applicationTitle)),
      connectionText_(std::move(connectionText)) {}

template <typename Predicate>
int RelationshipCountScan::CountKeys(const std::string& table, Predicate&& counts,
                                     FailureBox failureBox) {
    const platform::WaitCursor wait(cursor_);
    int count = 0;
    std::optional<std::string> failure;
    try {
        if (!connectionText_) {
            throw std::runtime_error("the database's extension has no connection text");
        }
        std::shared_ptr<engine::Catalog> catalog = engine::Catalog::create();
        catalog->putActiveConnection(*connectionText_);
        const engine::Collection<engine::Table>& tables = catalog->Tables();
        for (long tablePosition = 0; tablePosition < tables.Count(); ++tablePosition) {
            const std::shared_ptr<engine::Table> catalogTable = tables.Item(tablePosition);
            const std::string name = catalogTable->Name();
            if (name.rfind("MS", 0) == 0 || (!table.empty() && table != name)) {
                continue;
            }
            const engine::Collection<engine::Key>& keys = catalogTable->Keys();
            for (long keyPosition = 0; keyPosition < keys.Count(); ++keyPosition) {
                if (counts(*keys.Item(keyPosition), name)) {
                    ++count;
                }
            }
        }
    } catch (const engine::ComError& error) {
        failure = db::ComErrorText(error);
    } catch (const std::exception&) {
        failure = std::string(db::kUnhandledExceptionText);
    }
    if (failure) {
        if (failureBox == FailureBox::WindowStop) {
            messageBoxes_.Show({.text = *failure,
                                .caption = std::string(kForeignKeyFailureCaption),
                                .buttons = platform::MessageButtons::Ok,
                                .icon = platform::MessageIcon::Stop,
                                .owner = platform::MessageOwner::Window});
        } else {
            messageBoxes_.Show({.text = *failure,
                                .caption = applicationTitle_,
                                .buttons = platform::MessageButtons::Ok,
                                .icon = platform::MessageIcon::Warning,
                                .owner = platform::MessageOwner::Application});
        }
    }
    return count;
}

int RelationshipCountScan::CountPrimaryKeys(const std::string& table) {
    return CountKeys(
        table,
        [](const engine::Key& key, const std::string&) {
            return key.Type() == engine::adKeyPrimary;
        },
        FailureBox::ApplicationWarning);
}

int RelationshipCountScan::CountUniqueKeys(const std::string& table) {
    return CountKeys(
        table,
        [](const engine::Key& key, const std::string&) {
            return key.Type() == engine::adKeyUnique;
        },
        FailureBox::ApplicationWarning);
}

int RelationshipCountScan::CountForeignKeys(const std::string& table,
                                            const std::string& referencedTable) {
    return CountKeys(
        table,
        [&](const engine::Key& key, const std::string& tableName) {
            return key.Type() == engine::adKeyForeign &&
                   (referencedTable == tableName || referencedTable == key.RelatedTable());
        },
        FailureBox::WindowStop);
}

}  // namespace update
