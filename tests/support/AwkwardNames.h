// Tables and fields whose names only work in brackets: blanks, Japanese,
// ";", "-", "'", reserved words, a field named as its table. Made through the
// engine, as the import makes them; the viewer, the command words and the
// workbook must show each by its own name.
#pragma once

#include <string>
#include <vector>

#include "engine/Engine.h"

namespace testsupport {

struct AwkwardTable {
    std::string name;
    std::vector<std::string> fields;  // in their order, each a TEXT(20)
    std::vector<std::string> row;     // the one row's values, aligned with `fields`
};

inline const std::vector<AwkwardTable> kAwkwardTables = {
    {"Order Details", {"Order ID", "Unit Price"}, {"10248", "14.00"}},
    {"Orders", {"Orders", "Ship Name"}, {"o-1", "Vins et alcools"}},  // a field named as its table
    {"受注 明細", {"商品 名", "数量"}, {"りんご", "3"}},
    {"Ship;To", {"c;s", "d"}, {"x;y", "z"}},
    {"a-b", {"c-d", "e"}, {"1-2", "f"}},
    {"it's", {"it's", "o'clock"}, {"isn't", "'"}},
    {"Order", {"Select", "From"}, {"s", "f"}},  // reserved words
    {"Select", {"Order", "Where"}, {"o", "w"}},
};

// The value as a Jet text literal.
inline std::string JetText(const std::string& value) {
    std::string literal = "'";
    for (const char c : value) literal += c == '\'' ? std::string("''") : std::string(1, c);
    return literal + "'";
}

// Adds every awkward table, with its row, to the database `connection` has open.
inline void AddAwkwardTables(engine::Connection& connection) {
    for (const AwkwardTable& table : kAwkwardTables) {
        std::string columns, values;
        for (std::size_t at = 0; at < table.fields.size(); ++at) {
            columns += (at ? ", [" : "[") + table.fields[at] + "] TEXT(20)";
            values += (at ? ", " : "") + JetText(table.row[at]);
        }
        connection.Execute("CREATE TABLE [" + table.name + "] (" + columns + ")", nullptr, -1);
        connection.Execute("INSERT INTO [" + table.name + "] VALUES (" + values + ")", nullptr, -1);
    }
}

}  // namespace testsupport
