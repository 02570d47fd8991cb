// The structure of the target database's tables as the viewer describes it:
// columns with type, size and key role, indexes and foreign keys. Filled by
// ReadCatalog (CatalogReader.h), read by the table-creation query and the
// table definition workbook (仕様書).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace viewer {

// Key roles of a column, as `keyKind` holds them.
inline constexpr std::string_view kPrimaryKeyKind = "Primary Key";
inline constexpr std::string_view kForeignKeyKind = "Foreign Key";
inline constexpr std::string_view kUniqueKeyKind = "Unique Key";

// The text of `requiredText` and `uniqueText` when the flag is set.
inline constexpr std::string_view kYesText = "YES";

class CDataColumn {
  public:
    std::string name;
    std::string typeName;         // from TypeNameOf; empty for a type it does not know
    std::string sizeText;         // the defined size in decimal; empty when that is 0
    std::string requiredText;     // "YES" when the column refuses nulls
    std::string keyKind;          // one of the key kinds above, or empty
    std::string defaultText;      // left empty by the reader
    std::string descriptionText;  // the field's description, or empty
};

class CDataIndex {
  public:
    std::string tableName;
    std::string uniqueText;  // "YES" for a unique index
    std::string name;
    std::string sequenceText;  // left empty by the reader
    std::string columnList;    // column names in the catalog's order, joined with ", "
};

// One column of a foreign key; a key over several columns gives one record
// per column, all with the same keyName.
class CDataForeignKey {
  public:
    std::string columnName;
    std::string keyName;
    std::string relatedTable;
    std::string relatedColumn;
};

class CDataADOXTable {
  public:
    explicit CDataADOXTable(std::string tableName) : name(std::move(tableName)) {}

    // Empties the three lists; the table itself stays.
    void ClearTable();

    std::string name;
    std::string description;                   // the table's, or empty
    std::vector<CDataColumn> columns;          // in the table's physical field order
    std::vector<CDataIndex> indexes;           // by the position of each index's first column
    std::vector<CDataForeignKey> foreignKeys;  // by the position of the referencing column
};

// Table name (compared exactly) to its description. Unordered in meaning:
// consumers take their order from the viewer's table list.
using TableMap = std::map<std::string, std::unique_ptr<CDataADOXTable>>;

// Empties every table and then the map.
void ClearCatalog(TableMap& tableMap);

// The `typeName` for an ADO data type number; empty for a number the table
// does not list (currency, file time, long binary and others).
std::string_view TypeNameOf(int adoType);

// The table of `name`, or null when the map has none.
const CDataADOXTable* FindTable(const TableMap& tableMap, const std::string& name);

}  // namespace viewer
