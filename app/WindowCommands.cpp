#include "app/WindowCommands.h"

#include <ostream>

#include "app/VantolyPatchDlg.h"
#include "console/ExecuteQueryDlg.h"

namespace app {

namespace {

// The viewer and the console are not built yet; their menu items say so.
void notYet(CVantolyPatchDlg& dialog, const char* what) {
    dialog.ShowMessage(std::string(what) + "は、まだ用意されていません。", "", platform::MessageButtons::Ok,
                       platform::MessageIcon::Information);
}

}  // namespace

void WireCommands(CVantolyPatchDlg& dialog, std::ostream&, std::ostream&) {
    dialog.viewerCommand = [&dialog] { notYet(dialog, "データベース表示"); };
    dialog.consoleCommand = [&dialog] {
        ConsoleContext context{[&dialog] { return dialog.session.SessionConnection(); }, dialog.services(),
                               dialog.applicationTitle(),
                               dialog.services().programInfo.ProgramFolder() + dialog.applicationTitle()};
        CExecuteQueryDlg console(std::move(context));
        console.exec();
    };
}

int RunWindowCommand(CVantolyPatchDlg&, const cli::CommandLine&, std::ostream&, std::ostream& err) {
    err << "VantolyPatch: this command is not available yet\n";
    return cli::kExitBadArguments;
}

}  // namespace app
