#include "viewer/CreateTableQuery.h"

#include <cstdio>

#include "db/SchemaNames.h"
#include "viewer/CatalogReader.h"
#include "viewer/GridText.h"

namespace viewer {
namespace {

std::string ColumnDefinition(const CDataColumn& column) {
    if (column.keyKind == kPrimaryKeyKind) {
        return "autoincrement(1,1) PRIMARY KEY";
    }
    std::string definition = column.typeName;
    if (!column.sizeText.empty()) {
        char size[32];
        std::snprintf(size, sizeof size, "(%03ld)", IntegerValueOf(column.sizeText));
        definition += size;
    }
    return definition;
}

}  // namespace

std::string CreateTableQueryText(const CDataADOXTable& table) {
    constexpr const char* kLineEnd = "\r\n";
    std::string text = "CREATE TABLE " + db::BracketedName(table.name) + " (" + kLineEnd;
    for (std::size_t position = 0; position < table.columns.size(); ++position) {
        const CDataColumn& column = table.columns[position];
        text += db::BracketedName(column.name) + "\t" + ColumnDefinition(column);
        if (position + 1 < table.columns.size()) {
            text += ",";
        }
        text += kLineEnd;
    }
    text += ");";
    return text;
}

std::optional<std::string> ShowCreateTableQuery(const std::string& selectedTable,
                                                const std::function<void()>& readCatalog,
                                                const TableMap& tableMap,
                                                const CopyTextToClipboard& copyTextToClipboard,
                                                platform::MessageBoxes& messageBoxes) {
    if (selectedTable.empty()) {
        return std::nullopt;
    }
    readCatalog();
    const CDataADOXTable* table = FindTable(tableMap, selectedTable);
    if (table == nullptr) {
        return std::nullopt;
    }
    platform::MessageBoxRequest box;
    box.caption = std::string(kViewerCaption);
    box.owner = platform::MessageOwner::Window;
    std::string text;
    try {
        text = CreateTableQueryText(*table);
    } catch (const db::JetNameError& error) {
        box.text = error.what();
        box.icon = platform::MessageIcon::Stop;
        messageBoxes.Show(box);
        return std::nullopt;
    }
    copyTextToClipboard(text);
    box.text = text;
    box.icon = platform::MessageIcon::Information;
    messageBoxes.Show(box);
    return text;
}

}  // namespace viewer
