// Measures the whole headless update on a large host database against the
// sqlite3 command doing the update's dominant work on a copy of the same
// file: adding the two integer columns of t_seikyu_data and setting them to
// 0, and adding t_kumiai.MlgCardName and setting it. Prints both times, their
// ratio (target: within 1.2x) and the time of the relationship count scan
// (target: under 2 s).
//
//   update_bench HOST.mdb [--keep]
//
// HOST.mdb is left untouched (make_large_host builds one); the update and
// the sqlite3 command each work on a copy of it beside it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "db/DatabaseSession.h"
#include "update/UpdateDriver.h"
#include "update/UpdateScriptRunner.h"
#include "update/Version126Script.h"
#include "update/VersionFacts.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kRatioTarget = 1.2;
constexpr double kScanTargetSeconds = 0.25;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Answers Yes to every question and keeps the texts shown.
class AnsweringBoxes : public platform::MessageBoxes {
  public:
    platform::MessageAnswer Show(const platform::MessageBoxRequest& request) override {
        shown.push_back(request.text);
        return request.buttons == platform::MessageButtons::YesNo ? platform::MessageAnswer::Yes
                                                                  : platform::MessageAnswer::Ok;
    }
    std::vector<std::string> shown;
};

// The main window without a window; it notes when the count scan starts
// (the progress range grows beyond 0..1).
class HeadlessWindow : public db::SessionWindow,
                       public update::UpdateView,
                       public update::UpdateHost {
  public:
    void SetWindowTitle(const std::string&) override {}
    void EnableUpdateButton() override {}
    void ShowVersionText(const std::string& text) override { versionText = text; }
    void RefreshControlState(db::ControlState) override {}
    bool AskToCloseHostApplication() override { return true; }
    update::BackupOutcome TakePreUpdateBackup() override { return update::BackupOutcome::Proceed; }
    void SetProgressRange(int, int upper) override {
        if (upper > 1 && !scanStart) scanStart = Clock::now();
        progressUpper = upper;
    }
    void SetProgressPosition(int position) override { progress = position; }
    int ProgressPosition() const override { return progress; }
    void ShowProgressBar() override {}
    void HideProgressBar() override {}
    void WriteErrorLog(const std::string&, const std::string& query,
                       const std::string& errorText) override {
        std::cerr << "update failed at: " << query << "\n" << errorText;
    }
    void ShowUpdateErrorDialog(const std::string&) override {}
    void CopyTextToClipboard(const std::string&) override {}

    std::string versionText;
    std::optional<Clock::time_point> scanStart;
    int progress = 0, progressUpper = 0;
};

// The scan shows the arrow cursor at the end of every count; the last arrow
// before the first statement after the scan ends it.
class TimingCursor : public platform::Cursor {
  public:
    void ShowWait() override {}
    void ShowArrow() override { lastArrow = Clock::now(); }
    Clock::time_point lastArrow;
};

class NoPump : public platform::MessagePump {
  public:
    void PumpOne() override {}
    void Repaint() override {}
};

int RunSqlite3(const std::string& path, const std::string& scriptPath) {
    const std::string command = "sqlite3 '" + path + "' < '" + scriptPath + "'";
    return std::system(command.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: update_bench HOST.mdb [--keep]\n";
        return 2;
    }
    const std::filesystem::path source = argv[1];
    const bool keep = argc > 2 && std::string(argv[2]) == "--keep";
    const std::filesystem::path folder = source.parent_path().empty() ? "." : source.parent_path();
    const std::filesystem::path updated = folder / "update_bench_engine.mdb";
    const std::filesystem::path floor = folder / "update_bench_sqlite3.mdb";
    const std::filesystem::path script = folder / "update_bench_sqlite3.sql";
    try {
        for (const auto& copy : {updated, floor}) {
            std::filesystem::copy_file(source, copy,
                                       std::filesystem::copy_options::overwrite_existing);
        }

        // The floor: the sqlite3 command doing the dominant work.
        {
            std::ofstream out(script);
            out << "ALTER TABLE t_seikyu_data ADD COLUMN MlgCardSeikyuKingaku INTEGER NOT NULL "
                   "DEFAULT 0;\n"
                   "UPDATE t_seikyu_data SET MlgCardSeikyuKingaku = 0;\n"
                   "ALTER TABLE t_seikyu_data ADD COLUMN MlgCardSavingKingaku INTEGER NOT NULL "
                   "DEFAULT 0;\n"
                   "UPDATE t_seikyu_data SET MlgCardSavingKingaku = 0;\n"
                   "ALTER TABLE t_kumiai ADD COLUMN MlgCardName TEXT;\n"
                   "UPDATE t_kumiai SET MlgCardName = 'ＥＴＣ法人カード';\n";
        }
        const auto floorStart = Clock::now();
        if (RunSqlite3(floor.string(), script.string()) != 0) {
            throw std::runtime_error("the sqlite3 command failed");
        }
        const double floorSeconds = Seconds(floorStart, Clock::now());

        // The whole update, headless.
        host::TargetDatabase target{updated.parent_path().string() + "/", updated.stem().string(),
                                    ".mdb", "", ""};
        HeadlessWindow window;
        AnsweringBoxes boxes;
        TimingCursor cursor;
        NoPump pump;
        const update::UpdateTexts texts{"VantolyPatch", std::string(update::kReleaseDate)};
        db::DatabaseSession session(window, boxes, {texts.applicationTitle, texts.releaseDateText});
        update::UpdateScriptRunner runner(window, window, session, target, {boxes, cursor, pump},
                                          texts);
        update::UpdateDriver driver(window, window, session, runner, boxes, texts);
        std::optional<Clock::time_point> scanEnd;
        runner.SetStatementHookForTesting([&](int, const std::string& statement) {
            if (window.scanStart && !scanEnd && statement.rfind("DROP TABLE ", 0) != 0)
                scanEnd = cursor.lastArrow;
        });

        const auto updateStart = Clock::now();
        session.OpenDatabase(target.PathName, target.FileName, target.Extension);
        driver.OnUpdateCommand();
        const double updateSeconds = Seconds(updateStart, Clock::now());

        if (window.versionText != "ver.1.26") {
            for (const auto& text : boxes.shown) std::cerr << text << "\n";
            throw std::runtime_error(
                "the update did not complete (version field: " + window.versionText + ")");
        }
        const int userTables = window.progressUpper / 3;
        const double scanSeconds =
            window.scanStart && scanEnd ? Seconds(*window.scanStart, *scanEnd) : -1;
        const double ratio = updateSeconds / floorSeconds;
        std::printf("sqlite3 floor (3 columns added and set):  %8.3f s\n", floorSeconds);
        std::printf("whole update, headless:                   %8.3f s\n", updateSeconds);
        std::printf("ratio:                                    %8.2fx  (target <= %.1fx) %s\n",
                    ratio, kRatioTarget, ratio <= kRatioTarget ? "ok" : "MISSED");
        std::printf("relationship count scan (%d catalog opens): %6.3f s  (target <= %.2f s) %s\n",
                    3 * userTables + 6, scanSeconds, kScanTargetSeconds,
                    scanSeconds >= 0 && scanSeconds <= kScanTargetSeconds ? "ok" : "MISSED");
        std::printf("counts: t_kumi %d, t_sofu %d, t_cprt_card %d\n", runner.Counts().kumi,
                    runner.Counts().sofu, runner.Counts().cprtCard);
    } catch (const std::exception& error) {
        std::cerr << "update_bench: " << error.what() << "\n";
        return 1;
    }
    if (!keep) {
        for (const auto& path : {updated, floor, script}) std::filesystem::remove(path);
    }
    return 0;
}
