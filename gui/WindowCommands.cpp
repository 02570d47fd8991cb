#include "gui/WindowCommands.h"

#include "commands/ConvertInPlaceCommand.h"
#include "console/ExecuteQueryDlg.h"
#include "gui/VantolyPatchDlg.h"
#include "import/Import.h"
#include "viewer/ShowDatabaseDlg.h"

namespace gui {

void WireCommands(CVantolyPatchDlg& dialog) {
    dialog.viewerCommand = [&dialog] {
        CShowDatabaseDlg viewerWindow(ViewerContext{dialog.session, dialog.target,
                                                    dialog.services(), dialog.applicationTitle(),
                                                    [&dialog] { dialog.showMaximized(); }});
        viewerWindow.OnInitDialog();
        viewerWindow.exec();
    };
    dialog.consoleCommand = [&dialog] {
        ConsoleContext context{[&dialog] { return dialog.session.SessionConnection(); },
                               dialog.services(), dialog.applicationTitle(),
                               dialog.services().programInfo.StateFolder(), dialog.programFileName};
        CExecuteQueryDlg console(std::move(context));
        console.exec();
    };
}

void OfferConversionInPlace(CVantolyPatchDlg& dialog, std::ostream& out, std::ostream& err) {
    if (!dialog.session.Connected() && genuine::IsGenuineAccessFile(dialog.target.FilePath())) {
        commands::RunConvertInPlace(dialog.logic(), true, out, err, false);
    }
}

}  // namespace gui
