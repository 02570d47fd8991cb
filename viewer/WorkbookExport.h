// The viewer's output command: the operator picks a folder, the model is read
// afresh and the table definition workbook (仕様書) is written below that folder.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/MessageBoxes.h"
#include "platform/Platform.h"
#include "viewer/SchemaModel.h"
#include "viewer/TableDefinitionWorkbook.h"

namespace viewer {

inline constexpr std::string_view kChooseFolderTitle = "フォルダを選択してください";
inline constexpr std::string_view kNoFolderChosenText = "出力先フォルダを選択してください。";
inline constexpr std::string_view kOutputDataFolder = "出力データ/";
inline constexpr std::string_view kWorkbookOutputFolder = "仕様書出力/";

// The workbook progress plus showing and hiding the two bars.
class ExportProgress : public WorkbookProgress {
  public:
    virtual void ShowBars() = 0;
    virtual void HideBars() = 0;
};

// What the export works with; everything must outlive the call.
struct WorkbookExportServices {
    platform::Shell& shell;                // folder dialog and opening the result
    platform::MessageBoxes& messageBoxes;  // owned by the viewer window
    ExportProgress& progress;
    std::function<void()> readCatalog;  // fills `tableMap` afresh (ReadCatalog)
};

// Asks for the folder ("フォルダを選択してください"); a cancel shows
// kNoFolderChosenText (caption "データベース", exclamation icon) and ends
// the command. Otherwise as ExportWorkbookToFolder. Answers with the
// workbook's path when one was written.
std::optional<std::string> ExportWorkbook(const WorkbookExportServices& services,
                                          const TableMap& tableMap,
                                          const std::vector<std::string>& tableList);

// Creates folder + "出力データ/仕様書出力/" as needed, shows the bars, reads
// the catalog (its failures are shown there; the export goes on with what
// it holds), writes "仕様書EXCEL.xlsx" into it (replacing an earlier one),
// opens the folder and hides the bars. A failure shows its message (caption
// the application title, exclamation icon), hides the bars and leaves any
// earlier workbook as it was. `folder` gets a trailing "/" when it has none.
std::optional<std::string> ExportWorkbookToFolder(const std::string& folder,
                                                  const WorkbookExportServices& services,
                                                  const TableMap& tableMap,
                                                  const std::vector<std::string>& tableList);

}  // namespace viewer
