// A conversion in place of one genuine file for the kill tests, with every
// step of the run numbered: each table brought over, then each step of the
// swap. The step counter exists only in this driver.
//
//   convert_kill_driver DATABASE              convert; exit 0 when it did
//   convert_kill_driver DATABASE --list       the same, printing "N<TAB>step" per step
//   convert_kill_driver DATABASE --kill-at N  SIGKILL itself at step N
#include <iostream>

#include "KillDriver.h"
#include "import/Import.h"

int main(int argc, char** argv) {
    killdriver::StepCounter counter;
    const std::optional<host::TargetDatabase> target =
        killdriver::ParseCommandLine(argc, argv, "convert_kill_driver", counter);
    if (!target) return 2;
    genuine::ImportOptions options;
    options.progress = [&](const genuine::ImportProgress& progress) {
        if (progress.finished) counter.Step("table");
    };
    options.stepDone = [&](std::string_view step) { counter.Step(step); };
    try {
        genuine::ConvertInPlace(target->FilePath(), options);
    } catch (const genuine::ImportError& error) {
        std::cerr << "convert_kill_driver: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
