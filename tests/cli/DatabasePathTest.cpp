// Database paths and passwords as an operator may have them, through the
// real program: the connection text's own punctuation, an extension named
// exactly, special files in the database's place and folder names that are
// not UTF-8.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "support/Process.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ProcessResult;

constexpr char kBackupFolder[] = "データベース更新前データ";

// Every run is killed after a minute, so a program that hangs fails the test
// instead of stopping the suite.
testsupport::ProcessResult RunPatch(std::vector<std::string> arguments,
                                    const std::string& input = "") {
    arguments.insert(arguments.begin(), VANTOLY_PATCH_BINARY);
    testsupport::ProcessOptions options;
    options.killAfter = std::chrono::seconds(60);
    options.input = input;
    return testsupport::RunProcess(arguments, options);
}

// The sample host database at `path`, guarded by `password` when not empty.
void MakeSample(const fs::path& path, const std::string& password) {
    const testsupport::ProcessResult built = RunPatch(
        {"--db", path.string(), "query", "--create", "-f", VANTOLY_SAMPLES_DIR "/host-1.25.sql"});
    ASSERT_EQ(built.exitStatus, 0) << built.err;
    if (password.empty()) return;
    auto connection = engine::Connection::create();
    connection->Open(engine::DatabaseConnectionText(engine::kJetProvider, path.string(), ""));
    connection->Execute("ALTER DATABASE PASSWORD [" + password + "] NULL");
}

std::string Line(const std::string& output, const std::string& name) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(name + "\t")) return line.substr(name.size() + 1);
    }
    return "(no " + name + " line)";
}

struct PunctuationCase {
    const char* name;
    std::string folder;  // under the test's folder
    std::string password;
};

class PunctuationInPaths : public ::testing::TestWithParam<PunctuationCase> {};

// status, tables, query and the whole update work on the file named, with
// its password, and never on the file named by the part before a ";".
TEST_P(PunctuationInPaths, EveryCommandWorksOnTheNamedFile) {
    testsupport::TempFolder root;
    const fs::path folder = root.Path() / GetParam().folder;
    fs::create_directories(folder);
    const fs::path database = folder / "h;x=y.mdb";
    MakeSample(database, GetParam().password);
    const std::vector<std::string> target = {"--db", database.string(), "--password",
                                             GetParam().password};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), target.begin(), target.end());
        return more;
    };

    const testsupport::ProcessResult status = RunPatch(with({"status"}));
    EXPECT_EQ(status.exitStatus, 0) << status.out << status.err;
    EXPECT_EQ(Line(status.out, "version"), "ver.1.25");
    const testsupport::ProcessResult tables = RunPatch(with({"tables"}));
    EXPECT_EQ(tables.exitStatus, 0) << tables.err;
    EXPECT_NE(tables.out.find("t_db_ver"), std::string::npos) << tables.out;
    const testsupport::ProcessResult query =
        RunPatch(with({"query"}), "SELECT MAX(DBVerCode) AS v FROM t_db_ver;\n");
    EXPECT_EQ(query.exitStatus, 0) << query.err;
    EXPECT_EQ(query.out, "v\n1.25\n");
    if (!GetParam().password.empty()) {
        const testsupport::ProcessResult wrong =
            RunPatch({"--db", database.string(), "--password", "wrong", "status"});
        EXPECT_EQ(wrong.exitStatus, 1) << wrong.out;
    }

    const testsupport::ProcessResult update = RunPatch(with({"--yes", "update"}));
    EXPECT_EQ(update.exitStatus, 0) << update.out << update.err;
    EXPECT_EQ(Line(update.out, "version"), "ver.1.26") << update.err;
    EXPECT_EQ(Line(RunPatch(with({"status"})).out, "version"), "ver.1.26");
    EXPECT_TRUE(fs::exists(folder / kBackupFolder / "h;x=yver_1_25backup.mdb"));
    EXPECT_FALSE(fs::exists(folder / "h"));
    EXPECT_FALSE(fs::exists(folder.parent_path() / "h"));
}

INSTANTIATE_TEST_SUITE_P(Database, PunctuationInPaths,
                         ::testing::Values(PunctuationCase{"SemicolonAndEquals", "a;b=c", "p;w=d"},
                                           PunctuationCase{"Quotes", "it's \"q\"", "it's \"q\""},
                                           PunctuationCase{"Blanks", " lead and trail ", " pw "},
                                           PunctuationCase{"NoPassword", "x;y", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

// --db names one file: a .accdb beside a .mdb of the same name is the one
// opened and updated, and a named extension that is not there is not
// looked for under another.
TEST(ExactDatabasePath, TheExtensionNamedIsTheOneOpened) {
    testsupport::TempFolder root;
    MakeSample(root.Path() / "t.mdb", "");
    MakeSample(root.Path() / "t.accdb", "");
    const std::string mdbBefore = testsupport::ReadFileBytes(root.Path() / "t.mdb");

    const testsupport::ProcessResult status =
        RunPatch({"--db", (root.Path() / "t.accdb").string(), "status"});
    EXPECT_EQ(Line(status.out, "extension"), ".accdb") << status.err;
    const testsupport::ProcessResult update =
        RunPatch({"--db", (root.Path() / "t.accdb").string(), "--yes", "update"});
    EXPECT_EQ(update.exitStatus, 0) << update.err;
    EXPECT_EQ(testsupport::ReadFileBytes(root.Path() / "t.mdb"), mdbBefore);
    EXPECT_EQ(Line(RunPatch({"--db", (root.Path() / "t.accdb").string(), "status"}).out, "version"),
              "ver.1.26");

    fs::remove(root.Path() / "t.accdb");
    const testsupport::ProcessResult missing =
        RunPatch({"--db", (root.Path() / "t.accdb").string(), "status"});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_EQ(Line(missing.out, "title"), "データベースが選択されてません") << missing.out;
    EXPECT_EQ(testsupport::ReadFileBytes(root.Path() / "t.mdb"), mdbBefore);
}

// A named pipe, a device or a folder where the database or the registry
// export should be is refused at once, by every command, saying what it is.
TEST(SpecialFiles, AreRefusedAtOnceByEveryCommand) {
    testsupport::TempFolder root;
    const fs::path pipe = root.Path() / "pipe.mdb";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", root.Path() / "device.mdb");
    fs::create_directory(root.Path() / "folder.mdb");
    const struct {
        fs::path path;
        const char* kind;
    } cases[] = {{pipe, "a named pipe"},
                 {root.Path() / "device.mdb", "a character device"},
                 {root.Path() / "folder.mdb", "a folder"}};
    for (const auto& c : cases) {
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"status"}, {"--yes", "update"}, {"tables"}, {"query"}}) {
            std::vector<std::string> arguments = {"--db", c.path.string()};
            arguments.insert(arguments.end(), command.begin(), command.end());
            SCOPED_TRACE(c.path.string() + " " + command.back());
            const testsupport::ProcessResult run = RunPatch(arguments, "SELECT 1;\n");
            EXPECT_FALSE(run.Killed()) << "the program hung";
            EXPECT_EQ(run.exitStatus, 1) << run.out << run.err;
            EXPECT_NE(run.err.find(c.kind), std::string::npos) << run.err;
        }
    }
    const fs::path registryPipe = root.Path() / "registry.reg";
    ASSERT_EQ(::mkfifo(registryPipe.c_str(), 0600), 0);
    const testsupport::ProcessResult status =
        RunPatch({"--registry", registryPipe.string(), "status"});
    EXPECT_FALSE(status.Killed()) << "the program hung on the registry pipe";
    EXPECT_EQ(status.exitStatus, 1);
}

// A folder whose name is not UTF-8 keeps its bytes from the command line to
// the backup and the restore: the backup folder is made inside it and the
// restore puts the backup back and keeps the updated file beside it.
TEST(NonUtf8Folder, UpdateAndRestoreUseThePathsBytes) {
    testsupport::TempFolder root;
    const fs::path folder = root.Path() / "\xff\xfe";
    fs::create_directory(folder);
    const fs::path database = folder / "host.mdb";
    MakeSample(database, "");

    const testsupport::ProcessResult update =
        RunPatch({"--db", database.string(), "--yes", "update"});
    EXPECT_EQ(update.exitStatus, 0) << update.out << update.err;
    EXPECT_TRUE(fs::exists(folder / kBackupFolder / "hostver_1_25backup.mdb"));
    const testsupport::ProcessResult restore =
        RunPatch({"--db", database.string(), "--yes", "restore"});
    EXPECT_EQ(restore.exitStatus, 0) << restore.out << restore.err;
    EXPECT_EQ(Line(restore.out, "version"), "ver.1.25");

    std::vector<std::string> kept;
    for (const auto& entry : fs::directory_iterator(folder))
        kept.push_back(entry.path().filename().string());
    EXPECT_EQ(kept.size(), 3u) << "host.mdb, the kept updated file and the backup folder";
    std::vector<std::string> rootEntries;
    for (const auto& entry : fs::directory_iterator(root.Path()))
        rootEntries.push_back(entry.path().filename());
    EXPECT_EQ(rootEntries, std::vector<std::string>{"\xff\xfe"})
        << "nothing made under another name";
}

// A database deep in folders: SQLite opens no file whose full path (with
// its journal's suffix) passes its limit, and the refusal says so rather
// than only "unable to open database file".
TEST(DeepFolder, PathPastTheEnginesLimitIsNamedAsTheReason) {
    testsupport::TempFolder root;
    const fs::path sample = root.Path() / "host.mdb";
    MakeSample(sample, "");
    // A folder under the root that makes the database's path `length` bytes.
    const auto placeAt = [&](std::size_t length) {
        const std::string name = "/host.mdb";
        std::size_t left = length - root.Path().string().size() - name.size();
        fs::path folder = root.Path() / std::to_string(length);
        left -= std::to_string(length).size() + 1;
        while (left > 0) {
            const std::size_t part = std::min<std::size_t>(left - 1, 200);
            folder /= std::string(part, 'd');
            left -= part + 1;
        }
        fs::create_directories(folder);
        const fs::path database = folder / "host.mdb";
        fs::copy_file(sample, database);
        EXPECT_EQ(database.string().size(), length);
        return database.string();
    };
    const testsupport::ProcessResult fits = RunPatch({"--db", placeAt(504), "status"});
    EXPECT_EQ(fits.exitStatus, 0) << fits.err;
    EXPECT_EQ(Line(fits.out, "version"), "ver.1.25");

    const testsupport::ProcessResult deep = RunPatch({"--db", placeAt(505), "status"});
    EXPECT_EQ(deep.exitStatus, 1);
    EXPECT_NE(deep.err.find("its full path is 505 bytes"), std::string::npos) << deep.err;
    EXPECT_NE(deep.err.find("move the database to a folder with a shorter path"), std::string::npos)
        << deep.err;
}

// NULLs written into the catalog by the sqlite3 command (its NOT NULL
// columns loosened first, as a tool rewriting the catalog might): status,
// tables and query report the damaged database, and nothing ends the program.
TEST(DamagedCatalog, NullsAreReportedAsADamagedDatabase) {
    const char* damages[] = {
        "UPDATE MSysDatabase SET Value = NULL WHERE Property = 'Format';",
        "UPDATE MSysColumns SET ColumnName = NULL WHERE TableName = 't_db_ver';",
        "UPDATE MSysColumns SET Type = NULL WHERE TableName = 't_db_ver';",
    };
    for (const char* damage : damages) {
        SCOPED_TRACE(damage);
        testsupport::TempFolder root;
        const fs::path database = root.Path() / "host.mdb";
        MakeSample(database, "");
        const std::string loosen =
            "PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = replace(sql, 'NOT NULL', "
            "'') "
            "WHERE name LIKE 'MSys%';";
        for (const std::string& statement : {loosen, std::string(damage)}) {
            const testsupport::ProcessResult sqlite =
                testsupport::RunProcess({"/usr/bin/sqlite3", database.string(), statement});
            ASSERT_EQ(sqlite.exitStatus, 0) << sqlite.err;
        }
        for (const char* command : {"status", "tables", "query"}) {
            const testsupport::ProcessResult run =
                RunPatch({"--db", database.string(), command}, "SELECT DBVerCode FROM t_db_ver;\n");
            EXPECT_EQ(run.signal, 0) << command << run.err;
            EXPECT_NE(run.err.find("the file is damaged"), std::string::npos) << command << run.err;
        }
    }
}

}  // namespace
