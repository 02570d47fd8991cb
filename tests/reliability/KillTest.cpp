// An update killed with SIGKILL part-way, as a power cut or the task manager
// would end it, must leave a database that opens, passes SQLite's own
// integrity check, reads on every table, still reads 1.25 unless the stamp
// was committed, and that a second run brings to the same end state as an
// undisturbed update.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "UpdateFixture.h"
#include "support/Process.h"

namespace fs = std::filesystem;

namespace reliability {
namespace {

// SQLite's verdict on the file, read without the engine.
std::string IntegrityCheck(const std::string& path) {
    sqlite3* handle = nullptr;
    std::string verdict;
    if (sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        verdict = "cannot open: " + std::string(sqlite3_errmsg(handle));
    } else {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(handle, "PRAGMA integrity_check", -1, &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            if (!verdict.empty()) verdict += "\n";
            verdict += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(handle);
    return verdict;
}

// The version as the tool itself reports it, or why it could not.
std::string StatusVersion(const std::string& path) {
    const testsupport::ProcessResult status =
        testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--db", path, "status"});
    std::istringstream lines(status.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("version\t")) return line.substr(8);
    }
    return "no version (exit " + std::to_string(status.exitStatus) + "): " + status.err;
}

struct Step {
    long number;
    std::string phase;
    std::string text;
};

// The driver's listing of an undisturbed run.
std::vector<Step> ListSteps(const std::string& path) {
    const testsupport::ProcessResult run =
        testsupport::RunProcess({VANTOLY_KILL_DRIVER, path, "--list"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    std::vector<Step> steps;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        const auto tab1 = line.find('\t');
        const auto tab2 = line.find('\t', tab1 + 1);
        steps.push_back({std::stol(line.substr(0, tab1)), line.substr(tab1 + 1, tab2 - tab1 - 1),
                         line.substr(tab2 + 1)});
    }
    return steps;
}

class KillDuringUpdate : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        testsupport::TempFolder folder;
        const std::string path = folder.Folder() + "undisturbed.mdb";
        fs::copy_file(updatetest::PristineSample(), path);
        steps_ = new std::vector<Step>(ListSteps(path));
        finalDump_ = new std::string(updatetest::DumpDatabase(path));
        pristineDump_ = new std::string(updatetest::DumpDatabase(updatetest::PristineSample()));
    }
    static void TearDownTestSuite() {
        delete steps_;
        delete finalDump_;
        delete pristineDump_;
    }

    // Checks the file left by a killed run and finishes the update on it.
    // Answers whether the file survived; every failure is also a test failure.
    static bool CheckAndFinish(const std::string& path, const std::string& label,
                               bool stampCommitted) {
        const std::string version = StatusVersion(path);
        const std::string expectedVersion = stampCommitted ? "ver.1.26" : "ver.1.25";
        EXPECT_EQ(version, expectedVersion) << label;
        const std::string verdict = IntegrityCheck(path);
        EXPECT_EQ(verdict, "ok") << label;
        std::string dump;
        try {
            dump = updatetest::DumpDatabase(path);  // reads every table through the engine
        } catch (const std::exception& error) {
            ADD_FAILURE() << label << ": the engine cannot read the file: " << error.what();
            return false;
        }
        if (stampCommitted) {
            EXPECT_EQ(dump, *finalDump_) << label;
            return version == expectedVersion && verdict == "ok" && dump == *finalDump_;
        }
        const testsupport::ProcessResult rerun =
            testsupport::RunProcess({VANTOLY_KILL_DRIVER, path});
        EXPECT_EQ(rerun.exitStatus, 0) << label << ": the second run failed\n" << rerun.err;
        const std::string finished = updatetest::DumpDatabase(path);
        EXPECT_EQ(finished, *finalDump_) << label << ": the second run ends elsewhere";
        return version == expectedVersion && verdict == "ok" && rerun.exitStatus == 0 &&
               finished == *finalDump_;
    }

    // Kills the driver at each step of `numbers`; reports the tally per phase.
    static void KillAt(const std::vector<long>& numbers) {
        ASSERT_FALSE(steps_->empty());
        std::map<std::string, std::pair<int, int>> tally;  // phase: tried, survived
        for (long number : numbers) {
            const Step& step = (*steps_)[static_cast<std::size_t>(number - 1)];
            const std::string label = "kill at step " + std::to_string(number) + " (" + step.phase +
                                      ": " + step.text + ")";
            testsupport::TempFolder folder;
            const std::string path = folder.Folder() + "host.mdb";
            fs::copy_file(updatetest::PristineSample(), path);
            const testsupport::ProcessResult run = testsupport::RunProcess(
                {VANTOLY_KILL_DRIVER, path, "--kill-at", std::to_string(number)});
            EXPECT_TRUE(run.Killed()) << label << ": exit " << run.exitStatus << "\n" << run.err;
            auto& [tried, survived] = tally[step.phase];
            ++tried;
            if (CheckAndFinish(path, label, step.phase == "stamped")) ++survived;
        }
        for (const auto& [phase, counts] : tally) {
            std::cout << "kill points in " << phase << ": " << counts.first << " tried, "
                      << counts.second << " survived\n";
        }
    }

    static std::vector<Step>* steps_;
    static std::string* finalDump_;
    static std::string* pristineDump_;
};

std::vector<Step>* KillDuringUpdate::steps_ = nullptr;
std::string* KillDuringUpdate::finalDump_ = nullptr;
std::string* KillDuringUpdate::pristineDump_ = nullptr;

// The first and last step of every phase, every step of the stamp and of
// the column additions, and every fifth step besides.
TEST_F(KillDuringUpdate, SurvivesKillsSpreadOverEveryPhase) {
    std::set<long> chosen;
    std::map<std::string, std::pair<long, long>> bounds;
    for (const Step& step : *steps_) {
        auto [it, fresh] = bounds.try_emplace(step.phase, step.number, step.number);
        it->second.second = step.number;
        if (step.phase == "stamp" || step.phase == "stamped" || step.phase == "columns" ||
            step.number % 5 == 0)
            chosen.insert(step.number);
    }
    for (const auto& [phase, range] : bounds) {
        chosen.insert(range.first);
        chosen.insert(range.second);
    }
    for (const char* phase : {"drop", "scan", "columns", "creation", "stamp", "stamped"})
        EXPECT_TRUE(bounds.contains(phase)) << "no step in phase " << phase;
    KillAt({chosen.begin(), chosen.end()});
}

TEST_F(KillDuringUpdate, LongSurvivesKillAtEveryStep) {
    std::vector<long> all;
    for (const Step& step : *steps_) all.push_back(step.number);
    KillAt(all);
}

// The real program, killed after a delay spread over one undisturbed run,
// catches moments no step marks: inside a statement, a commit, the backup
// copy. The backup, when there is one, is a whole copy of the 1.25 file.
void KillProgramAfterDelays(int kills, const std::string& finalDump,
                            const std::string& pristineDump) {
    testsupport::TempFolder timing;
    const std::string timed = timing.Folder() + "host.mdb";
    fs::copy_file(updatetest::PristineSample(), timed);
    const auto start = std::chrono::steady_clock::now();
    const testsupport::ProcessResult undisturbed =
        testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--db", timed, "--yes", "update"});
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    ASSERT_EQ(undisturbed.exitStatus, 0) << undisturbed.err;

    int killed = 0, survived = 0;
    for (int i = 0; i < kills; ++i) {
        const auto delay = span * i / kills;
        const std::string label = "killed after " + std::to_string(delay.count()) + " µs";
        testsupport::TempFolder folder;
        const std::string path = folder.Folder() + "host.mdb";
        fs::copy_file(updatetest::PristineSample(), path);
        testsupport::ProcessOptions options;
        options.killAfter = delay;
        const testsupport::ProcessResult run = testsupport::RunProcess(
            {VANTOLY_PATCH_BINARY, "--db", path, "--yes", "update"}, options);
        if (!run.Killed()) continue;  // ended before the kill: nothing to prove
        ++killed;
        const std::string version = StatusVersion(path);
        const bool good = IntegrityCheck(path) == "ok";
        EXPECT_TRUE(good) << label;
        EXPECT_TRUE(version == "ver.1.25" || version == "ver.1.26") << label << ": " << version;
        const fs::path backup =
            folder.Path() / "データベース更新前データ" / "hostver_1_25backup.mdb";
        if (fs::exists(backup)) {
            EXPECT_EQ(updatetest::DumpDatabase(backup.string()), pristineDump) << label;
        }
        if (version == "ver.1.25") {
            const testsupport::ProcessResult rerun =
                testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--db", path, "--yes", "update"});
            EXPECT_EQ(rerun.exitStatus, 0) << label << "\n" << rerun.err;
        }
        const bool same = updatetest::DumpDatabase(path) == finalDump;
        EXPECT_TRUE(same) << label << ": ends elsewhere";
        if (good && same) ++survived;
    }
    std::cout << "program killed " << killed << " times over " << span.count() << " µs; "
              << survived << " survived\n";
}

TEST_F(KillDuringUpdate, ProgramKilledAtTimedMoments) {
    KillProgramAfterDelays(12, *finalDump_, *pristineDump_);
}

TEST_F(KillDuringUpdate, LongProgramKilledAtTimedMoments) {
    KillProgramAfterDelays(200, *finalDump_, *pristineDump_);
}

}  // namespace
}  // namespace reliability
