// The table definition workbook (仕様書): an index sheet linking to one formatted
// sheet per table, describing its fields, indexes and foreign keys. Knows
// the schema model and the file system, nothing of windows.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/SchemaModel.h"

namespace viewer {

inline constexpr std::string_view kIndexSheetName = "テーブル一覧";
inline constexpr std::string_view kWorkbookFileName = "仕様書EXCEL.xlsx";
inline constexpr std::size_t kSheetNameBytes = 31;

// A workbook that could not be written; what() is a message for the operator.
// No file at the destination has been touched when it is raised.
class WorkbookError : public std::runtime_error {
  public:
    explicit WorkbookError(const std::string& message) : std::runtime_error(message) {}
};

// Told how far the writing has come, so that a window can move its progress
// bars and keep painting. Every call may dispatch window messages.
class WorkbookProgress {
  public:
    virtual ~WorkbookProgress() = default;
    virtual void BeginTables(int entryCount) = 0;  // before the first entry of the list
    virtual void NextTable() = 0;                  // at each entry, sheet or not
    virtual void BeginRows(int rowCount) = 0;      // columns + indexes + foreign keys of a sheet
    virtual void NextRow() = 0;                    // before each data row of a sheet
};

// The sheet name of a table: its first 31 bytes, never ending inside a
// character.
std::string SheetNameOf(const std::string& tableName);

class TableDefinitionWorkbookWriter {
  public:
    // Both must outlive the writer. `tableList` is the viewer's table list in
    // its order; entries the model lacks get an index row but no sheet.
    TableDefinitionWorkbookWriter(const TableMap& tableMap,
                                  const std::vector<std::string>& tableList);

    // Writes the workbook into a new file beside `path` and renames it over
    // `path` once complete, so an existing workbook is replaced whole or not
    // at all. Raises WorkbookError, before anything is written, for two
    // tables whose sheet names would be equal (naming both) and for a name
    // that cannot be a sheet name; afterwards for any failure to write.
    void Write(const std::string& path, WorkbookProgress& progress) const;

  private:
    const TableMap& tableMap_;
    const std::vector<std::string>& tableList_;
};

}  // namespace viewer
