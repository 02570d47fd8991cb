// Stand-ins for the viewer window's services: a cursor, a shell and export
// progress that record what they were asked to do.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "viewer/WorkbookExport.h"

namespace viewertest {

class FakeCursor : public platform::Cursor {
  public:
    void ShowWait() override { Calls.push_back("wait"); }
    void ShowArrow() override { Calls.push_back("arrow"); }
    std::vector<std::string> Calls;
};

class FakeShell : public platform::Shell {
  public:
    bool Open(const std::string& path) override {
        Opened.push_back(path);
        return true;
    }
    std::optional<std::string> BrowseForFolder(const std::string& title) override {
        BrowseTitles.push_back(title);
        return ChosenFolder;
    }
    std::optional<std::string> ChosenFolder;  // nullopt: the operator cancels
    std::vector<std::string> BrowseTitles;
    std::vector<std::string> Opened;
};

// Records the calls in order, one word each: "show", "hide", "tables N",
// "table", "rows N", "row".
class RecordingProgress : public viewer::ExportProgress {
  public:
    void ShowBars() override { Calls.push_back("show"); }
    void HideBars() override { Calls.push_back("hide"); }
    void BeginTables(int entryCount) override {
        Calls.push_back("tables " + std::to_string(entryCount));
    }
    void NextTable() override { Calls.push_back("table"); }
    void BeginRows(int rowCount) override { Calls.push_back("rows " + std::to_string(rowCount)); }
    void NextRow() override { Calls.push_back("row"); }
    std::vector<std::string> Calls;
};

}  // namespace viewertest
