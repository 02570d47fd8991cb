// Export progress for tests that records what it was told (the cursor, shell
// and message boxes are the shared ones of tests/support/).
#pragma once

#include <string>
#include <vector>

#include "viewer/WorkbookExport.h"

namespace viewertest {

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
