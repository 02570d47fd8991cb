// A stand-alone restore of one database's backup for the kill tests: the
// restore wired to the real file copy and the test fakes, with every step
// of the run numbered. The step counter exists only in this driver.
//
//   restore_kill_driver DATABASE              restore; exit 0 when no warning was shown
//   restore_kill_driver DATABASE --list       the same, printing "N<TAB>step" per step
//   restore_kill_driver DATABASE --kill-at N  SIGKILL itself at step N
//
// Steps are: each piece of the backup's copy (before the first byte and
// after every piece), and each step of the restore after it was done.
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "KillDriver.h"
#include "UpdateFakes.h"
#include "backup/Restore.h"
#include "db/DatabaseSession.h"
#include "platform/FileCopy.h"
#include "support/FakeClock.h"
#include "support/FakeMessageBoxes.h"
#include "support/FakeShell.h"
#include "update/VersionFacts.h"

namespace {

class CountingProgress : public platform::CopyProgress {
  public:
    explicit CountingProgress(killdriver::StepCounter& counter) : counter_(counter) {}
    bool Advance(const std::string&, std::uint64_t copied, std::uint64_t) override {
        counter_.Step(copied == 0 ? "copy started" : "copy piece");
        return true;
    }
    void Finish() override {}

  private:
    killdriver::StepCounter& counter_;
};

}  // namespace

int main(int argc, char** argv) {
    killdriver::StepCounter counter;
    const std::optional<host::TargetDatabase> parsed =
        killdriver::ParseCommandLine(argc, argv, "restore_kill_driver", counter);
    if (!parsed) return 2;
    const host::TargetDatabase target = *parsed;

    const std::string title = "VantolyPatch";
    const std::string releaseDate(update::kReleaseDate);
    updatetest::FakeMainWindow window;
    testsupport::FakeMessageBoxes boxes;
    boxes.ScriptAnswers({platform::MessageAnswer::Yes});
    testsupport::FakeClock clock({2020, 5, 24, 15, 30, 12, 0});
    testsupport::FakeShell shell;
    CountingProgress progress(counter);
    platform::PosixFileCopier copier(boxes, &progress);
    db::DatabaseSession session{window, boxes, {title, releaseDate}};
    session.OpenDatabase(target.PathName, target.FileName, target.Extension);

    backup::SwapOperations operations;
    operations.stepDone = [&](std::string_view step) { counter.Step(step); };
    backup::BackupRestore restore(window, session, target, {boxes, clock, shell, copier},
                                  releaseDate, operations);
    try {
        restore.OnRestoreCommand();
    } catch (const std::exception& error) {
        std::cerr << "restore_kill_driver: " << error.what() << "\n";
        return 1;
    }
    int warnings = 0;
    for (const auto& box : boxes.Shown()) {
        if (box.icon == platform::MessageIcon::Warning) {
            ++warnings;
            std::cerr << box.text << "\n";
        }
    }
    return warnings == 0 ? 0 : 1;
}
