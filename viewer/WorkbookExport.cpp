#include "viewer/WorkbookExport.h"

#include <filesystem>
#include <system_error>

#include "db/ComErrorText.h"
#include "viewer/CatalogReader.h"

namespace viewer {
namespace {

// Creates the folder unless it exists; WorkbookError when it cannot.
void EnsureFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directory(folder, error);
    if (error || !std::filesystem::is_directory(folder)) {
        throw WorkbookError("出力先フォルダを作成できませんでした：" + folder + "\n" +
                            (error ? error.message() : std::string("not a folder")));
    }
}

// Hides the bars however the export ends.
class ShownBars {
  public:
    explicit ShownBars(ExportProgress& progress) : progress_(progress) { progress_.ShowBars(); }
    ~ShownBars() { progress_.HideBars(); }
    ShownBars(const ShownBars&) = delete;
    ShownBars& operator=(const ShownBars&) = delete;

  private:
    ExportProgress& progress_;
};

void ShowFailure(platform::MessageBoxes& messageBoxes, const std::string& text,
                 platform::MessageIcon icon) {
    platform::MessageBoxRequest box;
    box.text = text;  // no caption: the application title
    box.icon = icon;
    box.owner = platform::MessageOwner::Window;
    messageBoxes.Show(box);
}

}  // namespace

std::optional<std::string> ExportWorkbook(const WorkbookExportServices& services,
                                          const TableMap& tableMap,
                                          const std::vector<std::string>& tableList) {
    const std::optional<std::string> folder =
        services.shell.BrowseForFolder(std::string(kChooseFolderTitle));
    if (!folder) {
        platform::MessageBoxRequest box;
        box.text = std::string(kNoFolderChosenText);
        box.caption = std::string(kViewerCaption);
        box.icon = platform::MessageIcon::Warning;
        box.owner = platform::MessageOwner::Window;
        services.messageBoxes.Show(box);
        return std::nullopt;
    }
    return ExportWorkbookToFolder(*folder, services, tableMap, tableList);
}

std::optional<std::string> ExportWorkbookToFolder(const std::string& folder,
                                                  const WorkbookExportServices& services,
                                                  const TableMap& tableMap,
                                                  const std::vector<std::string>& tableList) {
    std::string outputFolder = folder;
    if (outputFolder.empty() || outputFolder.back() != '/') {
        outputFolder += '/';
    }
    try {
        outputFolder += kOutputDataFolder;
        EnsureFolder(outputFolder);
        outputFolder += kWorkbookOutputFolder;
        EnsureFolder(outputFolder);
        const std::string path = outputFolder + std::string(kWorkbookFileName);
        {
            const ShownBars bars(services.progress);
            services.readCatalog();
            TableDefinitionWorkbookWriter(tableMap, tableList).Write(path, services.progress);
        }
        services.shell.Open(outputFolder);
        return path;
    } catch (const WorkbookError& error) {
        ShowFailure(services.messageBoxes, error.what(), platform::MessageIcon::Warning);
    } catch (const std::exception&) {
        // Out of memory and the like: the fixed text, as for every other
        // unexpected failure of the tool.
        ShowFailure(services.messageBoxes, std::string(db::kUnhandledExceptionText),
                    platform::MessageIcon::None);
    }
    return std::nullopt;
}

}  // namespace viewer
