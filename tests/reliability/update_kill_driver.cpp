// A stand-alone update of one database file for the kill tests: the update
// library wired to the test fakes, with every observable step of the run
// numbered. The step counter exists only in this driver.
//
//   update_kill_driver DATABASE              run the update; exit 0 when it ended well
//   update_kill_driver DATABASE --list       the same, printing "N<TAB>phase<TAB>text" per step
//   update_kill_driver DATABASE --kill-at N  SIGKILL itself at step N
//
// Steps are: every statement the script runner ran (after it ran, before any
// commit of its block), every repaint of the relationship count scan, and the
// version text shown after the stamp was committed.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "KillDriver.h"
#include "UpdateFakes.h"
#include "db/DatabaseSession.h"
#include "support/FakeCursor.h"
#include "support/FakeMessageBoxes.h"
#include "support/FakeMessagePump.h"
#include "update/UpdateDriver.h"
#include "update/UpdateScriptRunner.h"
#include "update/Version126Script.h"
#include "update/VersionFacts.h"

namespace {

// Sorts a statement into the phase the kill report names.
// The column additions run between the scan and the first creation block,
// whose first statement creates its table.
struct PhaseTracker {
    bool scanStarted = false;
    bool creationStarted = false;
    bool stampStarted = false;

    const char* PhaseOf(const std::string& statement) {
        if (statement == update::VersionStampStatements().front()) stampStarted = true;
        if (scanStarted && statement.starts_with("CREATE")) creationStarted = true;
        if (stampStarted) return "stamp";
        if (creationStarted) return "creation";
        return scanStarted ? "columns" : "drop";
    }
};

// The window sees the stamp's first statement as the last progress step
// before it; the stamp is recognised by its own statement text instead.
class CountingWindow : public updatetest::FakeMainWindow {
  public:
    explicit CountingWindow(killdriver::StepCounter& counter) : counter_(counter) {}
    // The run sets the bar's range at its start and widens it by the scan's
    // steps as the scan begins.
    void SetProgressRange(int lower, int upper) override {
        if (ProgressUpper > 1 && upper > ProgressUpper) Scanning = true;
        FakeMainWindow::SetProgressRange(lower, upper);
    }
    bool Scanning = false;  // until the next statement runs

    void ShowVersionText(const std::string& versionText) override {
        FakeMainWindow::ShowVersionText(versionText);
        if (versionText == "ver.1.26") counter_.Step("stamped", versionText);
    }

  private:
    killdriver::StepCounter& counter_;
};

}  // namespace

int main(int argc, char** argv) {
    killdriver::StepCounter counter;
    const std::optional<host::TargetDatabase> parsed =
        killdriver::ParseCommandLine(argc, argv, "update_kill_driver", counter);
    if (!parsed) return 2;
    const host::TargetDatabase target = *parsed;

    const std::string title = "VantolyPatch";
    const update::UpdateTexts texts{title, std::string(update::kReleaseDate)};
    CountingWindow window(counter);
    testsupport::FakeMessageBoxes boxes;
    testsupport::FakeCursor cursor;
    testsupport::FakeMessagePump pump;
    db::DatabaseSession session{window, boxes, {title, texts.releaseDateText}};
    update::UpdateScriptRunner runner{window, window, session, target, {boxes, cursor, pump},
                                      texts};
    update::UpdateDriver driver{window, window, session, runner, boxes, texts};

    PhaseTracker phases;
    runner.SetStatementHookForTesting([&](int, const std::string& statement) {
        window.Scanning = false;
        counter.Step(phases.PhaseOf(statement), statement);
    });
    // The scan repaints once per table it walks, between the drops and the
    // column additions; the statements repaint too, as often as they take.
    pump.OnRepaint = [&](int) {
        if (!window.Scanning) return;
        phases.scanStarted = true;
        counter.Step("scan", "repaint");
    };
    window.Backup = update::BackupOutcome::Proceed;

    session.OpenDatabase(target.PathName, target.FileName, target.Extension);
    if (!session.Connected()) {
        std::cerr << "cannot open: " << session.LastOpenErrorText().value_or("") << "\n";
        return 1;
    }
    boxes.ScriptAnswers({platform::MessageAnswer::Yes});
    driver.OnUpdateCommand();
    if (!window.Reports.empty()) {
        std::cerr << "update failed:\n" << window.Reports.front() << "\n";
        return 1;
    }
    if (window.VersionText.value_or("") != "ver.1.26") {
        std::cerr << "update did not end at 1.26\n";
        return 1;
    }
    return 0;
}
