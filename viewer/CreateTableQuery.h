// The table-creation statement the viewer rebuilds from the schema model: a
// sketch of the table with names, types, sizes and the primary key.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/MessageBoxes.h"
#include "viewer/SchemaModel.h"

namespace viewer {

// "CREATE TABLE [name] (" and one line per column ([name], tab, definition),
// ");" last, every line break CR LF; every name in brackets (a name that
// cannot be raises db::JetNameError). A primary-key column is defined as
// "autoincrement(1,1) PRIMARY KEY"; any other as its type name followed by
// its size zero-padded to three digits in parentheses, when it has one.
std::string CreateTableQueryText(const CDataADOXTable& table);

// Puts a text on the clipboard for the viewer window and reports its own
// failures (the application's CopyTextToClipboard).
using CopyTextToClipboard = std::function<void(const std::string& text)>;

// The grid menu's table-creation command for the table list's selected
// entry (empty: none). Re-reads the model through `readCatalog`, then copies
// the statement of the entry's table and shows it (caption "データベース",
// information icon). Without a selection, or when the model has no table of
// that name, nothing is copied or shown; a name that cannot stand in the
// statement is said in a box (stop icon). Answers with the statement shown.
std::optional<std::string> ShowCreateTableQuery(const std::string& selectedTable,
                                                const std::function<void()>& readCatalog,
                                                const TableMap& tableMap,
                                                const CopyTextToClipboard& copyTextToClipboard,
                                                platform::MessageBoxes& messageBoxes);

}  // namespace viewer
