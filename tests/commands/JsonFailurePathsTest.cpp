// --json on the paths where a command fails, through the real program:
// standard output holds the one JSON object and nothing else (boxes, what
// the shell would have opened and every other line go to standard error),
// and a file name that is not UTF-8 is given byte for byte beside its text.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <filesystem>
#include <string>
#include <vector>

#include "JsonReportCheck.h"
#include "support/RunPatch.h"
#include "support/TempFolder.h"

namespace {

using namespace apptest;

const std::string kBackupFolder = "データベース更新前データ";

class JsonFailurePaths : public testing::Test {
  protected:
    void SetUp() override {
        sample_ = (folder_.Path() / "sample.mdb").string();
        const RunResult built = RunPatch(
            {"--db", sample_, "query", "--create", "-f", VANTOLY_SAMPLES_DIR "/host-1.25.sql"});
        ASSERT_EQ(built.exitStatus, 0) << built.err;
    }

    // A copy of the sample in a folder of its own named `folder`.
    std::string Host(const std::string& folder) {
        fs::create_directories(folder_.Path() / folder);
        const std::string path = (folder_.Path() / folder / "host.mdb").string();
        fs::copy_file(sample_, path);
        return path;
    }

    RunResult Run(const std::vector<std::string>& arguments,
                  std::optional<rlim_t> fileSizeLimit = std::nullopt,
                  const std::vector<std::string>& environment = {}) {
        std::vector<std::string> argv{VANTOLY_PATCH_BINARY};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        testsupport::ProcessOptions options;
        options.fileSizeLimit = fileSizeLimit;
        options.environment = environment;
        return testsupport::RunProcess(argv, options);
    }

    testsupport::TempFolder folder_;
    std::string sample_;
};

struct FailureCase {
    const char* name;
    std::vector<std::string> arguments;  // "DB" stands for the case's database
    std::optional<rlim_t> fileSizeLimit;
    int exitStatus;
    const char* outcome;
};

// Each failure of each command word with a report, and arguments that never
// reach a command: one JSON object on standard output every time.
TEST_F(JsonFailurePaths, StandardOutputHoldsOnlyTheReport) {
    const FailureCase cases[] = {
        {"backup copy fails", {"--db", "DB", "--json", "--yes", "update"}, 100 * 1024, 1, "failed"},
        {"backup folder is a file", {"--db", "DB", "--json", "--yes", "update"}, {}, 1, "failed"},
        {"restore copy fails",
         {"--db", "DB", "--json", "--yes", "restore"},
         100 * 1024,
         1,
         "failed"},
        {"no backup to restore", {"--db", "DB", "--json", "--yes", "restore"}, {}, 1, "refused"},
        {"damaged database", {"--db", "DAMAGED", "--json", "status"}, {}, 1, "failed"},
        {"damaged update", {"--db", "DAMAGED", "--json", "--yes", "update"}, {}, 1, "failed"},
        {"dry run of a damaged file",
         {"--db", "DAMAGED", "--json", "update", "--dry-run"},
         {},
         1,
         "failed"},
        {"import source missing", {"--json", "import", "NOSOURCE", "NEW"}, {}, 1, "failed"},
        {"import over a file", {"--json", "import", "DB", "DB"}, {}, 2, "refused"},
        {"import in place of an engine file", {"--db", "DB", "--json", "import"}, {}, 1, ""},
        {"password file missing",
         {"--db", "DB", "--password-file", "NOSOURCE", "--json", "status"},
         {},
         2,
         "refused"},
        {"stray operand", {"--json", "update", "extra"}, {}, 2, "refused"},
        {"no JSON report", {"--json", "tables"}, {}, 2, "refused"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string db = Host(std::string("case-") + c.name);
        const fs::path folder = fs::path(db).parent_path();
        if (std::string(c.name) == "backup folder is a file")
            testsupport::WriteFileBytes(folder / kBackupFolder, "in the way");
        if (std::string(c.name) == "restore copy fails") {
            fs::create_directory(folder / kBackupFolder);
            fs::copy_file(sample_, folder / kBackupFolder / "hostver_1_25backup.mdb");
        }
        const std::string damaged = (folder / "damaged.mdb").string();
        testsupport::WriteFileBytes(damaged, std::string(8192, 'x'));
        std::vector<std::string> arguments;
        for (const std::string& argument : c.arguments) {
            if (argument == "DB")
                arguments.push_back(db);
            else if (argument == "DAMAGED")
                arguments.push_back(damaged);
            else if (argument == "NOSOURCE")
                arguments.push_back((folder / "absent.mdb").string());
            else if (argument == "NEW")
                arguments.push_back((folder / "new.mdb").string());
            else
                arguments.push_back(argument);
        }
        const RunResult run = Run(arguments, c.fileSizeLimit);
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.err;
        const QJsonObject report = ParseReport(run);
        if (*c.outcome) {
            EXPECT_EQ(Text(report, "outcome"), c.outcome) << run.out;
        }
        EXPECT_FALSE(report.value("error").toString().isEmpty()) << run.out;
    }
}

// Another copy holding the single-instance lock (the window) stops no
// command word; what a run that changes the database is refused by, its
// report names (tests/commands/ConcurrentRunsTest.cpp).
TEST_F(JsonFailurePaths, AnotherCopyRunningStopsNoCommandWord) {
    const fs::path runtime = folder_.Path() / "runtime";
    fs::create_directory(runtime);
    const int held =
        ::open((runtime / "VantolyPatchInstance.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const RunResult run = Run({"--db", Host("locked"), "--json", "--yes", "update"}, std::nullopt,
                              {"XDG_RUNTIME_DIR=" + runtime.string()});
    ::close(held);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(Text(ParseReport(run), "outcome"), "updated");
}

// A folder name that is not UTF-8: the text fields stay, and the exact bytes
// beside them name the real files.
TEST_F(JsonFailurePaths, NameThatIsNotUtf8IsGivenByteForByte) {
    const std::string db = Host("\xff\xfe-latin1-\xe9");
    const std::string backup =
        (fs::path(db).parent_path() / kBackupFolder / "hostver_1_25backup.mdb").string();
    auto bytesOf = [](const QJsonObject& object, const char* field) {
        return QByteArray::fromBase64(object.value(QLatin1String(field)).toString().toLatin1())
            .toStdString();
    };
    const QJsonObject status = ParseReport(Run({"--db", db, "--json", "status"}));
    EXPECT_NE(Text(status, "database").find("\xef\xbf\xbd"), std::string::npos);
    EXPECT_EQ(bytesOf(status, "databaseBytes"), db);
    EXPECT_EQ(bytesOf(status, "folderBytes"), fs::path(db).parent_path().string() + "/");
    EXPECT_FALSE(status.contains("nameBytes")) << "the file name itself is UTF-8";

    const QJsonObject updated = ParseReport(Run({"--db", db, "--json", "--yes", "update"}));
    EXPECT_EQ(Text(updated, "outcome"), "updated");
    EXPECT_EQ(bytesOf(updated.value("backup").toObject(), "pathBytes"), backup);
    EXPECT_TRUE(fs::is_regular_file(bytesOf(updated.value("backup").toObject(), "pathBytes")));

    // Every rename the restore lists reaches the very files.
    const QJsonObject restored = ParseReport(Run({"--db", db, "--json", "--yes", "restore"}));
    EXPECT_EQ(Text(restored, "outcome"), "restored");
    const QJsonArray renamed = restored.value("renamed").toArray();
    ASSERT_EQ(renamed.size(), 2) << Text(restored, "outcome");
    const std::string kept = bytesOf(renamed.at(0).toObject(), "toBytes");
    EXPECT_EQ(bytesOf(renamed.at(0).toObject(), "fromBytes"), db);
    EXPECT_TRUE(fs::is_regular_file(kept)) << kept;
    EXPECT_EQ(bytesOf(renamed.at(1).toObject(), "toBytes"), db);

    // A UTF-8 name carries no byte form.
    const QJsonObject plain = ParseReport(Run({"--db", Host("ふつう"), "--json", "status"}));
    EXPECT_FALSE(plain.contains("databaseBytes"));
    EXPECT_FALSE(plain.value("backup").toObject().contains("pathBytes"));
}

// Something at the backup name that cannot be a backup: the update does not
// take it for "a backup is already there" and run without one (nor does its
// dry run say it would), and the restore says what is there rather than that
// nothing is.
TEST_F(JsonFailurePaths, BackupNameHoldingNoBackupIsRefused) {
    struct NameCase {
        const char* name;
        const char* reason;
    };
    const NameCase cases[] = {
        {"fifo", "holds a FIFO, not a backup file"},
        {"folder", "holds a folder, not a backup file"},
        {"link to the working file", "leads to the working file"},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string db = Host(std::string("name-") + c.name);
        const fs::path backup =
            fs::path(db).parent_path() / kBackupFolder / "hostver_1_25backup.mdb";
        fs::create_directory(backup.parent_path());
        if (std::string(c.name) == "fifo")
            ASSERT_EQ(::mkfifo(backup.c_str(), 0600), 0);
        else if (std::string(c.name) == "folder")
            fs::create_directory(backup);
        else
            fs::create_symlink(db, backup);
        const std::string before = testsupport::ReadFileBytes(db);
        // The dry run first: it must tell the story the real update then tells.
        std::string dryRunError;
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"update", "--dry-run"}, {"update"}, {"restore"}}) {
            SCOPED_TRACE(command.back());
            std::vector<std::string> arguments{"--db", db, "--json", "--yes"};
            arguments.insert(arguments.end(), command.begin(), command.end());
            const RunResult run = Run(arguments);
            EXPECT_EQ(run.exitStatus, 1) << run.err;
            const QJsonObject report = ParseReport(run);
            EXPECT_NE(Text(report, "error").find(c.reason), std::string::npos) << run.out;
            EXPECT_EQ(testsupport::ReadFileBytes(db), before);
            if (command.back() == "--dry-run") dryRunError = Text(report, "error");
            if (command.back() == "update") {
                EXPECT_EQ(Text(report, "error"), dryRunError);
            }
        }
    }
}

// The in-place conversion with nothing to convert says why: the registry it
// could not read, or the file that is not there, not "PATH is not a genuine
// Access file" for a name that is no file.
TEST_F(JsonFailurePaths, ConversionInPlaceSaysWhyThereIsNothingToConvert) {
    const fs::path registry = folder_.Path() / "large.reg";
    testsupport::WriteFileBytes(registry.string(), std::string(1024 * 1024 + 1, '\n'));
    const std::string absent = (folder_.Path() / "absent.mdb").string();
    const struct {
        std::vector<std::string> arguments;
        const char* reason;
    } cases[] = {
        {{"--registry", registry.string()}, "it may hold at most 1048576 bytes"},
        {{"--db", absent}, "absent.mdb: No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"--json", "--yes", "import"});
        const RunResult run = Run(arguments);
        EXPECT_EQ(run.exitStatus, 1) << run.err;
        const QJsonObject report = ParseReport(run);
        EXPECT_EQ(Text(report, "outcome"), "refused");
        EXPECT_NE(Text(report, "error").find(c.reason), std::string::npos) << run.out;
        EXPECT_EQ(Text(report, "error").find("genuine"), std::string::npos) << run.out;
    }
}

}  // namespace
