// SIGINT, SIGTERM and SIGHUP sent to the real program at moments spread over
// a dry run, an update, an import and a `query --create` on a database of
// more than 50 MB: the run ends with 128 + the signal (or had finished),
// leaves no file of its own in the database's folder or in TMPDIR, the
// database is unchanged or fully updated, --json still prints one object,
// and the next run works. SIGKILL at the same moments, then one more run:
// nothing left. Stale temporaries of killed runs are removed only when no
// live process holds them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "support/FileContent.h"
#include "support/Process.h"
#include "support/SampleDatabase.h"

namespace fs = std::filesystem;

namespace reliability {
namespace {

constexpr int kBulkRows = 52'000;
constexpr std::size_t kBodyBytes = 1000;
// The genuine sample that imports whole (exit 0).
const std::string kGenuineSource = std::string(VANTOLY_GENUINE_DIR) + "/indexTestV2003.mdb";
// Over a few hundred rows, a join that runs far longer than any test waits.
const std::string kForeverQuery =
    "SELECT COUNT(*) FROM t_bulk AS a, t_bulk AS b, t_bulk AS c, t_bulk AS d;\n";

// The sample database (1.25) grown past 50 MB by a table of long texts, built once.
const std::string& LargeSample() {
    static testsupport::TempFolder folder;
    static const std::string path = [] {
        const std::string built = folder.Folder() + "large.mdb";
        testsupport::BuildSampleDatabase(built);
        auto connection = engine::Connection::create();
        connection->Open(testsupport::JetConnectionText(built));
        connection->Execute("CREATE TABLE t_bulk (id LONG, body MEMO)", nullptr, -1);
        connection->BeginTrans();
        {
            engine::RowInserter inserter(*connection, "t_bulk", {"id", "body"});
            std::string body(kBodyBytes, ' ');
            for (int row = 0; row < kBulkRows; ++row) {
                for (std::size_t i = 0; i < body.size(); ++i)
                    body[i] = static_cast<char>('a' + (row + static_cast<int>(i)) % 26);
                inserter.Insert({engine::Variant::fromI4(row), engine::Variant::fromText(body)});
            }
        }
        connection->CommitTrans();
        connection->Close();
        EXPECT_GT(fs::file_size(built), 50u << 20);
        return built;
    }();
    return path;
}

// One kind of run: how it is started in a fresh folder, and what must hold
// of the folder after it stopped.
struct Scenario {
    const char* name;
    std::function<std::vector<std::string>(const std::string& folder)> arguments;
    std::string input;
    // The database is unchanged, or (where the run may finish) whole.
    std::function<void(const std::string& folder, const std::string& label)> checkDatabase;
    // The run after a stopped one, which must work.
    std::function<std::vector<std::string>(const std::string& folder)> next;
};

std::string Database(const std::string& folder) {
    return folder + "host.mdb";
}

std::string Version(const std::string& path) {
    const testsupport::ProcessResult status = testsupport::RunPatch({"--db", path, "status"});
    std::istringstream lines(status.out);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("version\t")) return line.substr(8);
    return "none: " + status.err;
}

void ExpectUnchanged(const std::string& folder, const std::string& label) {
    EXPECT_TRUE(testsupport::ReadFileBytes(Database(folder)) ==
                testsupport::ReadFileBytes(LargeSample()))
        << label << ": the database changed";
}

void ExpectUnchangedOrUpdated(const std::string& folder, const std::string& label) {
    const std::string version = Version(Database(folder));
    if (version == "ver.1.26") return;
    EXPECT_EQ(version, "ver.1.25") << label;
    ExpectUnchanged(folder, label);
}

void ExpectAbsentOrWhole(const std::string& path, const std::string& label) {
    if (!fs::exists(path)) return;
    testsupport::ProcessOptions options;
    options.input = "SELECT COUNT(*) FROM MSysDatabase;\n";
    const testsupport::ProcessResult read = testsupport::RunPatch({"--db", path, "query"}, options);
    EXPECT_EQ(read.exitStatus, 0) << label << ": a half-made database\n" << read.err;
}

const std::vector<Scenario>& Scenarios() {
    static const std::vector<Scenario> scenarios = {
        {"dry run",
         [](const std::string& f) {
             return std::vector<std::string>{"--db",   Database(f), "--yes",
                                             "--json", "update",    "--dry-run"};
         },
         "", ExpectUnchanged,
         [](const std::string& f) {
             return std::vector<std::string>{"--db", Database(f), "--yes", "update", "--dry-run"};
         }},
        {"update",
         [](const std::string& f) {
             return std::vector<std::string>{"--db", Database(f), "--yes", "--json", "update"};
         },
         "", ExpectUnchangedOrUpdated,
         [](const std::string& f) {
             return std::vector<std::string>{"--db", Database(f), "--yes", "update"};
         }},
        {"import",
         [](const std::string& f) {
             return std::vector<std::string>{"--json", "import", kGenuineSource, f + "new.mdb"};
         },
         "",
         [](const std::string& f, const std::string& label) {
             ExpectAbsentOrWhole(f + "new.mdb", label);
         },
         [](const std::string& f) {
             return std::vector<std::string>{"import", kGenuineSource, f + "again.mdb"};
         }},
        {"query --create",
         [](const std::string& f) {
             return std::vector<std::string>{"--db", f + "new.mdb", "query", "--create"};
         },
         "CREATE TABLE t_bulk (id LONG);\n" +
             [] {
                 std::string inserts;
                 for (int i = 0; i < 300; ++i)
                     inserts += "INSERT INTO t_bulk (id) VALUES (" + std::to_string(i) + ");\n";
                 return inserts;
             }() +
             kForeverQuery,
         [](const std::string& f, const std::string& label) {
             // Nothing it ran was committed: a database that stayed has no table.
             if (!fs::exists(f + "new.mdb")) return;
             testsupport::ProcessOptions options;
             options.input = "SELECT COUNT(*) FROM t_bulk;\n";
             EXPECT_NE(testsupport::RunPatch({"--db", f + "new.mdb", "query"}, options).exitStatus,
                       0)
                 << label << ": the table was committed";
         },
         [](const std::string& f) {
             return std::vector<std::string>{"--db", f + "new.mdb", "query", "--create"};
         }},
    };
    return scenarios;
}

// Every file and folder under `folder` whose name is one of a temporary or a journal.
std::vector<std::string> Leftovers(const fs::path& folder) {
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".") || name.ends_with("-journal") || name.starts_with("vantoly-"))
            found.push_back(entry.path().string());
    }
    return found;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += "\n  " + name;
    return text;
}

class Interrupted : public ::testing::TestWithParam<std::size_t> {
  protected:
    // A fresh folder with the large database and a TMPDIR of its own.
    struct Run {
        testsupport::TempFolder folder;
        std::string tmp;
        testsupport::ProcessOptions options;
        explicit Run(const Scenario& scenario) : tmp(folder.Folder() + "tmp/") {
            fs::create_directories(tmp);
            fs::create_directories(folder.Folder() + "db");
            fs::copy_file(LargeSample(), Database(Folder()));
            options.input = scenario.input;
            options.environment = {"TMPDIR=" + tmp};
        }
        std::string Folder() const { return folder.Folder() + "db/"; }
    };

    static const Scenario& Current() { return Scenarios().at(GetParam()); }

    // How long an undisturbed run takes, or (for a run that never ends by
    // itself) the span the moments are spread over.
    static std::chrono::microseconds Span(const Scenario& scenario) {
        if (!scenario.input.empty()) return std::chrono::milliseconds(1500);
        Run run(scenario);
        const auto start = std::chrono::steady_clock::now();
        const testsupport::ProcessResult result =
            testsupport::RunPatch(scenario.arguments(run.Folder()), run.options);
        EXPECT_NE(result.signal, SIGSEGV) << result.err;
        return std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
    }

    static void ExpectClean(const Run& run, const std::string& label) {
        EXPECT_TRUE(Leftovers(run.Folder()).empty())
            << label << ": left in the folder:" << Joined(Leftovers(run.Folder()));
        EXPECT_TRUE(fs::is_empty(run.tmp))
            << label << ": left in TMPDIR:" << Joined(Leftovers(run.tmp));
    }

    static void ExpectNextRunWorks(const Scenario& scenario, const Run& run,
                                   const std::string& label) {
        testsupport::ProcessOptions options;
        options.environment = run.options.environment;
        // A write: SQLite removes an inert journal a killed run left at the
        // next write transaction.
        options.input = "CREATE TABLE t_next (id LONG);\n";
        const testsupport::ProcessResult next =
            testsupport::RunPatch(scenario.next(run.Folder()), options);
        // An update that had finished refuses to run twice; that is its answer.
        const bool finished =
            scenario.name == std::string("update") && Version(Database(run.Folder())) == "ver.1.26";
        EXPECT_TRUE(next.exitStatus == 0 || finished) << label << ": the next run\n" << next.err;
        ExpectClean(run, label + ", after the next run");
    }

    // The signal at each moment, in turn through `signals`.
    static void Sweep(const std::vector<int>& signals, int moments) {
        const Scenario& scenario = Current();
        const auto span = Span(scenario);
        int handled = 0;
        // A short run on a busy machine may see every signal land before
        // main() or after its end: then finer moments follow, until one
        // reaches the running program.
        constexpr int kFinerMoments = 12;
        const int extraMoments = signals.front() == SIGKILL ? 0 : kFinerMoments;
        for (int moment = 1;
             moment <= moments || (handled == 0 && moment <= moments + extraMoments); ++moment) {
            const int signal = signals[static_cast<std::size_t>(moment - 1) % signals.size()];
            const auto delay = moment <= moments ? span * moment / (moments + 1)
                                                 : span * (moment - moments) / (kFinerMoments + 1);
            const std::string label = std::string(scenario.name) + ", signal " +
                                      std::to_string(signal) + " after " +
                                      std::to_string(delay.count()) + " µs";
            Run run(scenario);
            run.options.killAfter = delay;
            run.options.killSignal = signal;
            const testsupport::ProcessResult result =
                testsupport::RunPatch(scenario.arguments(run.Folder()), run.options);
            if (signal == SIGKILL) {
                // What a kill leaves of the database itself is the kill tests'
                // matter; here the next run must clear the rest and work.
                ExpectNextRunWorks(scenario, run, label);
                scenario.checkDatabase(run.Folder(), label + ", after the next run");
                continue;
            }
            // A signal that lands before main() began ends the process
            // itself (nothing was written yet); every later one is handled.
            const bool beforeStart =
                result.signal == signal && result.out.empty() && result.err.empty();
            handled += result.exitStatus == 128 + signal ? 1 : 0;
            EXPECT_TRUE(result.exitStatus == 128 + signal || result.exitStatus == 0 || beforeStart)
                << label << ": exit " << result.exitStatus << ", signal " << result.signal << "\n"
                << result.err;
            const std::vector<std::string> arguments = scenario.arguments("");
            if (!beforeStart &&
                std::find(arguments.begin(), arguments.end(), "--json") != arguments.end()) {
                const std::size_t lastLine = result.out.rfind('\n', result.out.size() - 2);
                const std::string json =
                    result.out.substr(lastLine == std::string::npos ? 0 : lastLine + 1);
                EXPECT_TRUE(json.starts_with("{") && json.ends_with("}\n"))
                    << label << ": no JSON object at the end: " << result.out;
                // A run stopped short says so and names the signal; one whose
                // signal came after its report keeps the word of what it did.
                const bool stopped = json.find("\"outcome\":\"interrupted\"") != std::string::npos;
                if (stopped) {
                    EXPECT_EQ(result.exitStatus, 128 + signal) << label;
                    EXPECT_NE(json.find("\"signal\":" + std::to_string(signal)), std::string::npos)
                        << label << ": " << result.out;
                }
                // The exit status says what the report says: a signal the
                // report does not name came after it and changes nothing.
                const bool named =
                    json.find("\"signal\":" + std::to_string(signal)) != std::string::npos;
                EXPECT_EQ(result.exitStatus == 128 + signal, named)
                    << label << ": exit " << result.exitStatus << ", report " << json;
                const bool unfinished = json.find("\"outcome\":\"failed\"") != std::string::npos ||
                                        json.find("\"outcome\":\"declined\"") != std::string::npos;
                EXPECT_TRUE(stopped || result.exitStatus == 0 || !unfinished)
                    << label << ": stopped, yet the report does not say so: " << json;
            }
            ExpectClean(run, label);
            scenario.checkDatabase(run.Folder(), label);
            ExpectNextRunWorks(scenario, run, label);
        }
        std::cout << scenario.name << ": " << moments << " moments over " << span.count()
                  << " µs, the signal handled in " << handled << "\n";
        if (signals.front() != SIGKILL) {
            EXPECT_GT(handled, 0) << scenario.name << ": no signal reached a running program";
        }
    }
};

TEST_P(Interrupted, EachSignalEndsTheRunCleanly) {
    Sweep({SIGINT, SIGTERM, SIGHUP}, 3);
}

TEST_P(Interrupted, KilledRunIsCleanedByTheNextOne) {
    Sweep({SIGKILL}, 1);
}

TEST_P(Interrupted, LongEverySignalAtManyMoments) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) Sweep({signal}, 12);
}

std::string ScenarioName(const ::testing::TestParamInfo<std::size_t>& info) {
    static const char* const kNames[] = {"DryRun", "Update", "Import", "QueryCreate"};
    return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(Runs, Interrupted, ::testing::Range<std::size_t>(0, 4), ScenarioName);

// Ctrl+C in `query` stops a statement that would run for ever: what ran
// before it is rolled back and the program exits 130.
TEST(InterruptedQuery, StopsTheRunningStatementAndRollsBack) {
    testsupport::TempFolder folder;
    const std::string path = folder.Folder() + "host.mdb";
    fs::copy_file(LargeSample(), path);
    testsupport::ProcessOptions options;
    options.input = "DELETE FROM t_bulk WHERE id < 10;\n" + kForeverQuery;
    options.killAfter = std::chrono::milliseconds(1500);
    options.killSignal = SIGINT;
    const testsupport::ProcessResult result =
        testsupport::RunPatch({"--db", path, "query"}, options);
    EXPECT_EQ(result.exitStatus, 130) << result.err;
    EXPECT_TRUE(testsupport::ReadFileBytes(path) == testsupport::ReadFileBytes(LargeSample()))
        << "the DELETE was committed";
    EXPECT_TRUE(Leftovers(folder.Path()).empty()) << Joined(Leftovers(folder.Path()));
}

// A statement file or password file that is a FIFO nobody writes to, or one
// whose writer never ends it: the read waited in open() or read() with every
// signal blocked, so Ctrl+C and SIGTERM did nothing and only SIGKILL ended
// the run. The wait now gives way to the signal.
TEST(InterruptedQuery, WaitingForInputGivesWayToTheSignal) {
    testsupport::TempFolder folder;
    const std::string path = folder.Folder() + "host.mdb";
    fs::copy_file(LargeSample(), path);
    const std::string fifo = folder.Folder() + "statements";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        bool writerStays;
    } cases[] = {
        {"statements from a FIFO without a writer", {"--db", path, "query", "-f", fifo}, false},
        {"statements from a FIFO that never ends", {"--db", path, "query", "-f", fifo}, true},
        {"password from a FIFO without a writer",
         {"--db", path, "--password-file", fifo, "status"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Held open for reading and writing, the FIFO has a writer that
        // gave a statement and never closes.
        const int writer = c.writerStays ? ::open(fifo.c_str(), O_RDWR) : -1;
        if (writer >= 0) {
            ASSERT_EQ(::write(writer, "DELETE FROM t_bulk;\n", 20), 20);
        }
        testsupport::ProcessOptions options;
        options.killAfter = std::chrono::milliseconds(1000);
        options.killSignal = SIGINT;
        const testsupport::ProcessResult result = testsupport::RunPatch(c.arguments, options);
        if (writer >= 0) ::close(writer);
        EXPECT_EQ(result.exitStatus, 130) << result.err;
        EXPECT_TRUE(testsupport::ReadFileBytes(path) == testsupport::ReadFileBytes(LargeSample()));
        EXPECT_TRUE(Leftovers(folder.Path()).empty()) << Joined(Leftovers(folder.Path()));
    }
}

// What killed runs left is removed by the next run, unless a live process
// holds it; names that are not this program's temporaries are never touched.
TEST(StaleTemporaries, RemovedOnlyWhenNobodyHoldsThem) {
    testsupport::TempFolder folder;
    const std::string db = folder.Folder() + "db/";
    const std::string tmp = folder.Folder() + "tmp/";
    fs::create_directories(db);
    fs::create_directories(tmp + "vantoly-dry-run-Ab3dEf");
    testsupport::WriteFileBytes(tmp + "vantoly-dry-run-Ab3dEf/host.mdb", "copy");
    fs::copy_file(LargeSample(), db + "host.mdb");
    const std::vector<std::string> stale = {
        db + ".host.mdb.creating-aB3xY9", db + ".host.mdb.creating-aB3xY9-journal",
        db + ".new.mdb.import-Q1w2E3", db + ".new.mdb.import-Zz9Yy8-journal",
        db + ".hostver_1_25backup.mdb.copying-Kk7Jj6"};
    const std::vector<std::string> kept = {
        db + ".host.mdb.other-aB3xY9", db + "notes.copying-aB3xY9", db + ".host.mdb.copying-short"};
    for (const std::string& path : stale) testsupport::WriteFileBytes(path, "left");
    for (const std::string& path : kept) testsupport::WriteFileBytes(path, "mine");
    // One temporary a live run still holds.
    const std::string live = db + ".host.mdb.copying-Live01";
    testsupport::WriteFileBytes(live, "in use");
    const int held = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    testsupport::ProcessOptions options;
    options.environment = {"TMPDIR=" + tmp};
    const testsupport::ProcessResult status =
        testsupport::RunPatch({"--db", db + "host.mdb", "status"}, options);
    EXPECT_EQ(status.exitStatus, 0) << status.err;
    ::close(held);

    for (const std::string& path : stale) EXPECT_FALSE(fs::exists(path)) << path;
    for (const std::string& path : kept) EXPECT_TRUE(fs::exists(path)) << path;
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::is_empty(tmp));
}

}  // namespace
}  // namespace reliability

namespace reliability {
namespace {

// SIGTERM to the window's process closes an open box as its Escape would
// (the conversion question reads No), then the idle window, and ends the
// program as a command ends: 143, nothing left, the database untouched.
TEST(InterruptedWindow, SigtermEndsTheWindowCleanly) {
    const std::string sources[] = {LargeSample(), kGenuineSource};
    for (const std::string& source : sources) {
        testsupport::TempFolder folder;
        const std::string path = folder.Folder() + "host.mdb";
        fs::copy_file(source, path);
        testsupport::ProcessOptions options;
        options.environment = {"QT_QPA_PLATFORM=offscreen"};
        options.killAfter = std::chrono::milliseconds(1500);
        options.killSignal = SIGTERM;
        const testsupport::ProcessResult result = testsupport::RunPatch({"--db", path}, options);
        EXPECT_EQ(result.exitStatus, 128 + SIGTERM)
            << source << ": signal " << result.signal << "\n"
            << result.err;
        EXPECT_TRUE(testsupport::ReadFileBytes(path) == testsupport::ReadFileBytes(source))
            << source;
        EXPECT_TRUE(Leftovers(folder.Path()).empty()) << Joined(Leftovers(folder.Path()));
    }
}

}  // namespace
}  // namespace reliability

namespace reliability {
namespace {

// A reader that goes away (`| true`, a dropped session's pipe) does not end
// the dry run where it stands: its private copy is removed all the same.
TEST(ClosedOutput, ReaderGoneLeavesNoCopy) {
    testsupport::TempFolder folder;
    const std::string path = folder.Folder() + "host.mdb";
    const std::string tmp = folder.Folder() + "tmp/";
    fs::create_directories(tmp);
    fs::copy_file(LargeSample(), path);
    testsupport::ProcessOptions options;
    options.environment = {"TMPDIR=" + tmp};
    const testsupport::ProcessResult result = testsupport::RunProcess(
        {"/bin/sh", "-c",
         std::string(VANTOLY_PATCH_BINARY) + " --db '" + path + "' update --dry-run | true"},
        options);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(fs::is_empty(tmp)) << Joined(Leftovers(tmp));
}

}  // namespace
}  // namespace reliability
