// Runs the built VantolyPatch binary as an administrator would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/RunPatch.h"
#include "support/TempFolder.h"

namespace {

using namespace apptest;
namespace fs = std::filesystem;

// The sample host database is built once (through the command itself) and
// copied for each test.
class QueryCommandTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        sampleFolder_ = std::make_unique<testsupport::TempFolder>();
        sampleBuild_ = RunPatch({"--db", SamplePath(), "query", "--create", "-f",
                                 std::string(VANTOLY_SAMPLES_DIR) + "/host-1.25.sql"});
    }
    static void TearDownTestSuite() { sampleFolder_.reset(); }
    static std::string SamplePath() { return sampleFolder_->Folder() + "sample/host.mdb"; }

    // A copy of the sample for this test; fails the test when the sample
    // could not be built.
    std::string CopyOfSample() {
        EXPECT_EQ(sampleBuild_.exitStatus, 0) << sampleBuild_.err;
        const std::string copy = folder_.Folder() + "host.mdb";
        fs::copy_file(SamplePath(), copy);
        return copy;
    }

    // What `statements` print when run on `db` afterwards.
    static void ExpectAnswers(const std::string& db, const std::string& statements,
                              const std::string& expected) {
        const RunResult check = RunPatch({"--db", db, "query"}, statements);
        ASSERT_EQ(check.exitStatus, 0) << check.err;
        EXPECT_EQ(check.out, expected);
    }

    testsupport::TempFolder folder_;
    static inline std::unique_ptr<testsupport::TempFolder> sampleFolder_;
    static inline RunResult sampleBuild_;
};

TEST_F(QueryCommandTest, SampleHoldsAVersion125HostDatabase) {
    const std::string db = CopyOfSample();
    // Options after the command word, statements from standard input.
    const RunResult run = RunPatch({"query", "--db", db},
                                   "SELECT MAX(DBVerCode) AS MaxDBVerCode FROM t_db_ver;\n"
                                   "SELECT COUNT(*) AS DataCount FROM t_db_ver ;\n"
                                   "# the tables the update relies on\n"
                                   "SELECT COUNT(*) AS Kumi FROM t_kumi;\n"
                                   "SELECT TOP 1 * FROM t_seikyu_data;\n");
    ASSERT_EQ(run.exitStatus, 0) << run.err;

    std::vector<std::string> lines;
    std::istringstream out(run.out);
    for (std::string line; std::getline(out, line);) lines.push_back(line);
    ASSERT_GE(lines.size(), 10u) << run.out;
    EXPECT_EQ(lines[0], "MaxDBVerCode");
    EXPECT_EQ(lines[1], "1.25");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "DataCount");
    EXPECT_EQ(lines[4], "25");
    EXPECT_EQ(lines[6], "Kumi");
    EXPECT_EQ(lines[7], "40");
    // 87 columns: the heading has 86 tabs, the row as many.
    EXPECT_EQ(std::count(lines[9].begin(), lines[9].end(), '\t'), 86) << lines[9];
    EXPECT_EQ(std::count(lines[10].begin(), lines[10].end(), '\t'), 86) << lines[10];
    EXPECT_TRUE(lines[9].starts_with("SeikyuDataID\tSeikyuMonth\t")) << lines[9];
}

TEST_F(QueryCommandTest, FailingStatementRollsBackEverythingAndNamesItsLine) {
    const std::string db = CopyOfSample();
    const fs::path script = folder_.Path() / "bad.sql";
    testsupport::WriteFileBytes(script,
                                "UPDATE t_kumiai SET KumiaiName = 'changed';\n"
                                "CREATE TABLE t_new (ID INTEGER);\n"
                                "\n"
                                "INSERT INTO t_no_such_table (ID)\n"
                                "  VALUES (1);\n");

    const RunResult run = RunPatch({"--db", db, "query", "-f", script.string()});

    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find("Code : 0x80040e37\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Description : "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("[ 4行目 ]\n INSERT INTO t_no_such_table (ID)   VALUES (1);"),
              std::string::npos)
        << run.err;

    ExpectAnswers(db,
                  "SELECT COUNT(*) AS N FROM t_kumiai WHERE KumiaiName = 'changed';\n"
                  "SELECT COUNT(*) AS N FROM t_db_ver;\n",
                  "N\n0\n\nN\n25\n");
    const RunResult table = RunPatch({"--db", db, "query"}, "SELECT ID FROM t_new;\n");
    EXPECT_EQ(table.exitStatus, 1) << "t_new survived the roll-back";
}

// A statement line past 512 bytes would be cut and run: the WHERE below lies
// past the cut, and the cut UPDATE renamed every row. Nothing runs now.
TEST_F(QueryCommandTest, LineLongerThan512BytesRunsNothingAndNamesTheLine) {
    const std::string db = CopyOfSample();
    const std::string update =
        "UPDATE t_kumi SET KumiName = 'renamed'" + std::string(480, ' ') + "WHERE KumiID = 1;";
    const RunResult run = RunPatch(
        {"--db", db, "query"}, "UPDATE t_kumiai SET KumiaiName = 'changed';\n\n" + update + "\n");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find("[ 3行目 ]"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("512"), std::string::npos) << run.err;

    ExpectAnswers(db,
                  "SELECT COUNT(*) AS N FROM t_kumi WHERE KumiName = 'renamed';\n"
                  "SELECT COUNT(*) AS N FROM t_kumiai WHERE KumiaiName = 'changed';\n",
                  "N\n0\n\nN\n0\n");
}

// A script saved as Shift_JIS (or holding a NUL) ran: its texts were stored
// as bytes no reader shows ('\x8A\x94' read back as "??"), and a NUL ended
// a text where SQLite's functions read it ('a\0b' stored as three bytes, read
// as "a"). Nothing runs now, and the lines are named; a byte order mark
// before the first line, as Windows editors save UTF-8, is no part of it.
TEST_F(QueryCommandTest, ScriptThatIsNotUtf8TextRunsNothingAndNamesTheLines) {
    const std::string db = CopyOfSample();
    const std::string change = "UPDATE t_kumiai SET KumiaiName = 'changed';\n";
    const struct {
        const char* name;
        std::string script;
        const char* lines;
    } cases[] = {
        {"Shift_JIS literal", change + "UPDATE t_kumi SET KumiName = '\x8A\x94\x8E\xAE';\n",
         "[ 2行目 ]"},
        {"NUL in a literal",
         change + "\n" + "UPDATE t_kumi SET KumiName = 'a" + std::string(1, '\0') + "b';\n",
         "[ 3行目 ]"},
        {"lone continuation byte in a name", change + "SELECT [\xC3] FROM t_kumi;\n", "[ 2行目 ]"},
        {"surrogate encoded in UTF-8", change + "SELECT '\xED\xA0\x80';\nSELECT '\xFF';\n",
         "[ 2行目 ][ 3行目 ]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult run = RunPatch({"--db", db, "query"}, c.script);
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.err.find(std::string(c.lines) + " の行にUTF-8の文字でないバイト"),
                  std::string::npos)
            << run.err;
        ExpectAnswers(db, "SELECT COUNT(*) AS N FROM t_kumiai WHERE KumiaiName = 'changed';\n",
                      "N\n0\n");
    }
    // Shift_JIS in a comment line never runs, and a byte order mark is skipped.
    const RunResult bom = RunPatch({"--db", db, "query"}, "\xEF\xBB\xBF# \x8A\x94\n" + change);
    EXPECT_EQ(bom.exitStatus, 0) << bom.err;
    ExpectAnswers(db, "SELECT COUNT(*) AS N FROM t_kumiai WHERE KumiaiName <> 'changed';\n",
                  "N\n0\n");
}

// A Decimal past a double's 15 digits prints whole, as does its sum; the
// sum of a Currency field prints as Currency.
TEST_F(QueryCommandTest, PrintsDecimalsWithEveryDigit) {
    const std::string db = folder_.Folder() + "decimals.mdb";
    const RunResult create = RunPatch({"--db", db, "query", "--create"},
                                      "CREATE TABLE t (ID LONG, D DECIMAL(28,4), C CURRENCY);\n"
                                      "INSERT INTO t VALUES (1, 123456789012345678, 0.1);\n"
                                      "INSERT INTO t VALUES (2, '-0.00005', 0.2);\n");
    ASSERT_EQ(create.exitStatus, 0) << create.err;
    ExpectAnswers(db, "SELECT D FROM t ORDER BY ID;\nSELECT SUM(D) AS S, SUM(C) AS T FROM t;\n",
                  "D\n123456789012345678\n-0.0001\n\nS\tT\n123456789012345677.9999\t0.3\n");
}

TEST_F(QueryCommandTest, CreatesAFreshDatabaseAndKeepsTabsInValuesReadable) {
    const std::string db = folder_.Folder() + "new/fresh.accdb";
    const RunResult run = RunPatch({"--db", db, "--password", "secret", "query", "--create"},
                                   "CREATE TABLE t_note (ID INTEGER, Note VARCHAR(50));\n"
                                   "INSERT INTO t_note VALUES (1, 'a\tb\\c');\n"
                                   "SELECT Note FROM t_note;\n");
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "Note\na\\tb\\\\c\n");

    const RunResult wrongPassword = RunPatch({"--db", db, "query"}, "SELECT ID FROM t_note;\n");
    EXPECT_EQ(wrongPassword.exitStatus, 1);
    EXPECT_NE(wrongPassword.err.find("Code : 0x80040e4d\n"), std::string::npos)
        << wrongPassword.err;
}

TEST_F(QueryCommandTest, ScriptWithoutFinalSemicolonRunsNothingAndCreatesNothing) {
    const std::string db = folder_.Folder() + "never.mdb";
    const RunResult run =
        RunPatch({"--db", db, "query", "--create"}, "CREATE TABLE t_a (ID INTEGER);\nSELECT 1\n");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "クエリの最後に「；」がありません\n[ 2行目 ]\n SELECT 1 \n");
    EXPECT_FALSE(fs::exists(db));
}

TEST_F(QueryCommandTest, StatementsThatRanGoToTheStatementLogInTheStateFolder) {
    const std::string db = CopyOfSample();
    const std::string state = folder_.Folder() + "state";
    const std::string log = state + "/vantoly/VantolyPatch実行クエリ保存.txt";
    const std::vector<std::string> environment{"XDG_STATE_HOME=" + state};

    const RunResult first =
        RunPatch({"--db", db, "query"}, "UPDATE t_kumi SET KumiCode = KumiCode;\n", environment);
    ASSERT_EQ(first.exitStatus, 0) << first.err;
    // Failed runs keep what ran before the failure (rolled back, but it ran).
    const RunResult second =
        RunPatch({"--db", db, "query"},
                 "ALTER DATABASE PASSWORD secret NULL;\nSELECT * FROM t_missing;\n", environment);
    ASSERT_EQ(second.exitStatus, 1);

    EXPECT_EQ(testsupport::ReadFileBytes(log),
              "UPDATE t_kumi SET KumiCode = KumiCode;\nALTER DATABASE PASSWORD *** NULL;\n");
    EXPECT_EQ(fs::status(state).permissions() & fs::perms::mask, fs::perms::owner_all);
    EXPECT_EQ(fs::status(state + "/vantoly").permissions() & fs::perms::mask, fs::perms::owner_all);
    EXPECT_EQ(fs::status(log).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(QueryCommandTest, LogThatCannotBeWrittenIsSaidAndTheRunStillCommits) {
    const std::string db = CopyOfSample();
    testsupport::WriteFileBytes(folder_.Path() / "state",
                                "a plain file where the state folder belongs");

    const RunResult run = RunPatch({"--db", db, "query"}, "CREATE TABLE t_new (ID INTEGER);\n",
                                   {"XDG_STATE_HOME=" + folder_.Folder() + "state"});

    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.err.find("実行クエリの記録を書き込めませんでした： " + folder_.Folder() +
                           "state/vantoly/VantolyPatch実行クエリ保存.txt\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("Not a directory"), std::string::npos) << run.err;
    EXPECT_EQ(RunPatch({"--db", db, "query"}, "SELECT COUNT(*) AS N FROM t_new;\n").out, "N\n0\n");
}

// Without --db the command runs on the database the registry names, with the
// registry's password, as every other command word does; with none named it
// says where it looked.
TEST_F(QueryCommandTest, WithoutDbRunsOnTheRegistrysDatabase) {
    const std::string copy = CopyOfSample();
    const RunResult locked =
        RunPatch({"--db", copy, "query"}, "ALTER DATABASE PASSWORD [pw] NULL;\n");
    ASSERT_EQ(locked.exitStatus, 0) << locked.err;
    const std::string registry = folder_.Folder() + "registry.reg";
    testsupport::WriteFileBytes(registry,
                                "Windows Registry Editor Version 5.00\n\n"
                                "[HKEY_CURRENT_USER\\SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE]\n"
                                "\"FileName\"=\"host\"\n\"PathName\"=\"" +
                                    folder_.Folder() + "\"\n\"Password\"=\"pw\"\n");
    const RunResult run =
        RunPatch({"--registry", registry, "query"}, "SELECT MAX(DBVerCode) AS v FROM t_db_ver;\n");
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "v\n1.25\n");

    const std::string empty = folder_.Folder() + "empty.reg";
    testsupport::WriteFileBytes(empty, "Windows Registry Editor Version 5.00\n");
    const RunResult none = RunPatch({"--registry", empty, "query"}, "SELECT 1;\n");
    EXPECT_EQ(none.exitStatus, 1);
    EXPECT_NE(
        none.err.find("no database to run on: give --db PATH, or name one in the registry file " +
                      empty),
        std::string::npos)
        << none.err;
}

// Statements are read up to 16 MiB, from a file or from standard input; past
// that the run is refused before the database is touched.
TEST_F(QueryCommandTest, StatementsPastTheCapAreRefusedNamingTheSize) {
    const std::string db = folder_.Folder() + "cap.mdb";
    const std::string pastCap =
        "CREATE TABLE t (ID LONG);" + std::string(16 * 1024 * 1024 - 24, '\n');
    const fs::path script = folder_.Folder() + "cap.sql";
    testsupport::WriteFileBytes(script, pastCap);
    const RunResult file = RunPatch({"--db", db, "query", "--create", "-f", script.string()});
    EXPECT_EQ(file.exitStatus, 2);
    EXPECT_NE(file.err.find("the statement file " + script.string() +
                            " is 16777217 bytes; it may hold at most 16777216 bytes"),
              std::string::npos)
        << file.err;
    const RunResult input = RunPatch({"--db", db, "query", "--create"}, pastCap);
    EXPECT_EQ(input.exitStatus, 2);
    EXPECT_NE(input.err.find("on standard input gives more than 16777216 bytes"), std::string::npos)
        << input.err;
    EXPECT_FALSE(fs::exists(db));
}

TEST_F(QueryCommandTest, HelpPrintsUsage) {
    const RunResult run = RunPatch({"--help"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_TRUE(run.out.starts_with("Usage: VantolyPatch [OPTIONS]")) << run.out;
}

struct BadArguments {
    const char* name;
    std::vector<std::string> arguments;
    const char* complaint;  // part of what the operator is told
};

class BadArgumentsTest : public testing::TestWithParam<BadArguments> {};

TEST_P(BadArgumentsTest, ExitsWithTwo) {
    // Each run names a database of its own: two runs of the suite at once
    // (or any other program) holding one would be refused for that instead.
    std::vector<std::string> arguments = GetParam().arguments;
    const std::string own = "/tmp/vx-bad-arguments-" + std::to_string(::getpid()) + ".mdb";
    for (auto& argument : arguments) {
        if (argument == "/tmp/x.mdb") argument = own;
    }
    const RunResult run = RunPatch(arguments);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find(GetParam().complaint), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadArgumentsTest,
    testing::Values(
        BadArguments{"yes_and_no", {"--yes", "--no", "status"}, "together"},
        BadArguments{"show_without_table", {"show"}, "needs a table name"},
        BadArguments{"export_without_folder", {"export-spec"}, "needs a folder"},
        BadArguments{
            "import_with_one_file", {"import", "/tmp/a.mdb"}, "SOURCE and the new file DEST"},
        // Each option a command owns is refused with any other, named with its owner.
        BadArguments{"import_into_an_empty_name",
                     {"import", "/tmp/a.mdb", ""},
                     "an empty one names nothing"},
        BadArguments{
            "export_into_an_empty_folder", {"export-spec", ""}, "an empty one names nothing"},
        BadArguments{"dry_run_with_status",
                     {"status", "--dry-run"},
                     "--dry-run belongs to the update command"},
        BadArguments{
            "script_with_status", {"status", "-f", "x.sql"}, "-f belongs to the query command"},
        BadArguments{
            "create_with_tables", {"tables", "--create"}, "--create belongs to the query command"},
        BadArguments{
            "all_with_show", {"show", "t", "--all"}, "--all belongs to the tables command"},
        BadArguments{
            "limit_with_tables", {"tables", "--limit=3"}, "--limit belongs to the show command"},
        BadArguments{"json_with_tables", {"tables", "--json"}, "\"tables\" has no JSON report"},
        BadArguments{"unknown_command", {"--db", "/tmp/x.mdb", "frobnicate"}, "unknown command"},
        BadArguments{"create_without_db", {"query", "--create"}, "--db PATH"},
        BadArguments{"db_without_value", {"query", "--db"}, "needs a value"},
        BadArguments{"password_without_db", {"--password", "pw", "query"}, "--password needs --db"},
        BadArguments{
            "unknown_option", {"--db", "/tmp/x.mdb", "query", "--force"}, "unknown option"},
        BadArguments{
            "option_twice", {"--db", "/tmp/a.mdb", "query", "--db", "/tmp/b.mdb"}, "twice"},
        BadArguments{"second_command_word", {"--db", "/tmp/x.mdb", "query", "extra"}, "unexpected"},
        BadArguments{"unsupported_extension",
                     {"--db", "/tmp/x.MDB", "query"},
                     "対応していない拡張子です：.MDB"},
        BadArguments{"unreadable_script",
                     {"--db", "/tmp/x.mdb", "query", "-f", "/nonexistent/s.sql"},
                     "cannot read"},
        BadArguments{"endless_script",
                     {"--db", "/tmp/x.mdb", "query", "-f", "/dev/zero"},
                     "the statement file /dev/zero gives more than 16777216 bytes"}),
    [](const testing::TestParamInfo<BadArguments>& info) { return std::string(info.param.name); });

}  // namespace
