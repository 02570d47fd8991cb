// Every window of the program, built for real on the fakes: the main window
// over a version database, and the factories of the others.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "console/ExecuteQueryDlg.h"
#include "errors/UpdateErrorMsgDlg.h"
#include "gui/VantolyPatchDlg.h"
#include "host/TargetDatabaseLocation.h"
#include "support/FakeServices.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"
#include "viewer/ShowDatabaseDlg.h"

namespace apptest {

class EveryWindow {
  public:
    EveryWindow() {
        testsupport::MakeVersionDatabase(folder.Folder() + "db.mdb");
        fakes.registry.SetValue(host::kDatabaseKey, "FileName", "db");
        fakes.registry.SetValue(host::kDatabaseKey, "PathName", folder.Folder());
        fakes.registry.SetValue(host::kDatabaseKey, "Password", "");
        main.OnInitDialog();
    }

    // The windows other than the main one, each made anew when called.
    std::vector<std::function<std::unique_ptr<QWidget>()>> Others() {
        return {
            [] { return std::make_unique<CAboutDlg>(nullptr); },
            [this] {
                auto viewer = std::make_unique<CShowDatabaseDlg>(
                    ViewerContext{main.session, main.target, fakes.services, "VantolyPatch", {}});
                viewer->OnInitDialog();
                return viewer;
            },
            [this] {
                return std::make_unique<CExecuteQueryDlg>(ConsoleContext{
                    [this] { return main.session.SessionConnection(); }, fakes.services,
                    "VantolyPatch", folder.Folder(), "VantolyPatch"});
            },
            [this] {
                return std::make_unique<CUpdateErrorMsgDlg>(nullptr, fakes.clipboard,
                                                            fakes.messageBoxes, "VantolyPatch");
            },
        };
    }

    testsupport::TempFolder folder;
    testsupport::FakeServices fakes;
    CVantolyPatchDlg main{fakes.services, "VantolyPatch"};
};

}  // namespace apptest
