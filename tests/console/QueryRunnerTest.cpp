#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "console/QueryRunner.h"
#include "support/FileContent.h"
#include "support/TempFolder.h"

namespace {

using console::QueryStatement;

std::vector<QueryStatement> Statements(std::initializer_list<const char*> texts) {
    std::vector<QueryStatement> statements;
    int line = 1;
    for (const char* text : texts) statements.push_back({text, line++});
    return statements;
}

// Records what the runner shows an observer: each statement's index and, for
// a statement with rows, the first column of every row.
class RecordingObserver : public console::QueryRunObserver {
  public:
    void StatementExecuted(std::size_t index, const QueryStatement&,
                           engine::Recordset& result) override {
        indexes.push_back(index);
        if (result.State() != engine::adStateOpen) return;
        for (; !result.IsEOF(); result.MoveNext()) {
            firstColumn.push_back(result.Collect(0L).intValue());
        }
    }
    std::vector<std::size_t> indexes;
    std::vector<std::int64_t> firstColumn;
};

// A database with t_a holding rows 1 and 2, and a log path beside it.
class QueryRunnerTest : public testing::Test {
  protected:
    void SetUp() override {
        const std::string path = folder_.Folder() + "run.mdb";
        engine::CreateDatabase(path);
        connection_ = engine::Connection::create();
        connection_->Open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path +
                          ";Jet OLEDB:Database Password='';");
        connection_->Execute("CREATE TABLE t_a (ID INTEGER PRIMARY KEY, X INTEGER);");
        connection_->Execute("INSERT INTO t_a (ID, X) VALUES (1, 10);");
        connection_->Execute("INSERT INTO t_a (ID, X) VALUES (2, 20);");
        logPath_ = console::QueryLog::PathIn(folder_.Folder(), "VantolyPatch");
    }

    std::int64_t SumOfX() {
        auto rs = connection_->Execute("SELECT SUM(X) AS S FROM t_a;");
        return rs->Collect("S").intValue();
    }
    std::int64_t RowCount(const std::string& table) {
        auto rs = connection_->Execute("SELECT COUNT(*) AS N FROM " + table + ";");
        return rs->Collect("N").intValue();
    }

    testsupport::TempFolder folder_;
    std::shared_ptr<engine::Connection> connection_;
    std::string logPath_;
};

TEST_F(QueryRunnerTest, LogIsNamedAfterTheProgram) {
    EXPECT_EQ(console::QueryLog::PathIn("/home/u/.local/state/vantoly/", "VantolyPatch"),
              "/home/u/.local/state/vantoly/VantolyPatch実行クエリ保存.txt");
}

TEST_F(QueryRunnerTest, CommitsEveryStatementAndShowsRowsToTheObserver) {
    RecordingObserver observer;
    console::QueryLog log(logPath_);
    const auto statements =
        Statements({"UPDATE t_a SET X = X + 1;", "CREATE TABLE t_b (ID INTEGER);",
                    "INSERT INTO t_b (ID) VALUES (7);", "SELECT ID FROM t_a ORDER BY ID;"});

    const console::QueryRunResult result =
        console::RunQueries(*connection_, statements, {&observer, &log});

    EXPECT_TRUE(result.Committed());
    EXPECT_EQ(result.executedCount, 4u);
    EXPECT_EQ(observer.indexes, (std::vector<std::size_t>{0, 1, 2, 3}));
    EXPECT_EQ(observer.firstColumn, (std::vector<std::int64_t>{1, 2}));
    EXPECT_EQ(SumOfX(), 32);
    EXPECT_EQ(RowCount("t_b"), 1);
    EXPECT_EQ(testsupport::ReadFileBytes(logPath_),
              "UPDATE t_a SET X = X + 1;\nCREATE TABLE t_b (ID INTEGER);\n"
              "INSERT INTO t_b (ID) VALUES (7);\nSELECT ID FROM t_a ORDER BY ID;\n");
}

TEST_F(QueryRunnerTest, FailureRollsBackEverythingButTheLogKeepsWhatRan) {
    ASSERT_TRUE(console::QueryLog::EnsureExists(logPath_));
    {
        std::ofstream earlier(logPath_, std::ios::binary);
        earlier << "SELECT 1 FROM t_a;\n";
    }
    console::QueryLog log(logPath_);
    RecordingObserver observer;
    const auto statements =
        Statements({"CREATE TABLE t_c (ID INTEGER);", "UPDATE t_a SET X = 0;",
                    "INSERT INTO t_missing (ID) VALUES (1);", "DELETE FROM t_a;"});

    const console::QueryRunResult result =
        console::RunQueries(*connection_, statements, {&observer, &log});

    ASSERT_FALSE(result.Committed());
    EXPECT_EQ(result.failure->stage, console::QueryRunStage::kExecute);
    EXPECT_EQ(result.failure->statementIndex, std::optional<std::size_t>(2));
    EXPECT_EQ(result.failure->error.code(), engine::hr::kNoTable);
    EXPECT_FALSE(result.failure->rollbackError.has_value());
    EXPECT_EQ(result.executedCount, 2u);
    EXPECT_EQ(observer.indexes, (std::vector<std::size_t>{0, 1}));
    // The update and the new table are gone; the last statement never ran.
    EXPECT_EQ(SumOfX(), 30);
    EXPECT_EQ(RowCount("t_a"), 2);
    EXPECT_THROW(RowCount("t_c"), engine::ComError);
    EXPECT_EQ(testsupport::ReadFileBytes(logPath_),
              "SELECT 1 FROM t_a;\nCREATE TABLE t_c (ID INTEGER);\nUPDATE t_a SET X = 0;\n");
}

TEST_F(QueryRunnerTest, ClosedConnectionFailsAtTheBeginAndRunsNothing) {
    connection_->Close();
    const console::QueryRunResult result =
        console::RunQueries(*connection_, Statements({"DELETE FROM t_a;"}));
    ASSERT_FALSE(result.Committed());
    EXPECT_EQ(result.failure->stage, console::QueryRunStage::kBegin);
    EXPECT_FALSE(result.failure->statementIndex.has_value());
    EXPECT_FALSE(result.failure->rollbackError.has_value());
    EXPECT_EQ(result.executedCount, 0u);
}

TEST_F(QueryRunnerTest, ObserverFailureRollsBackAndIsPassedOn) {
    class Throwing : public console::QueryRunObserver {
        void StatementExecuted(std::size_t, const QueryStatement&, engine::Recordset&) override {
            throw std::runtime_error("output closed");
        }
    } throwing;
    EXPECT_THROW(console::RunQueries(*connection_, Statements({"DELETE FROM t_a;"}), {&throwing}),
                 std::runtime_error);
    EXPECT_EQ(RowCount("t_a"), 2);
}

// The log is the user's alone whatever the umask, an older world-readable
// log is narrowed, and a password set through the console never reaches it.
TEST_F(QueryRunnerTest, LogIsPrivateAndHoldsNoPassword) {
    const std::string fresh = folder_.Folder() + "fresh.txt";
    const std::string older = folder_.Folder() + "older.txt";
    { std::ofstream(older) << "SELECT 1;\n"; }
    ASSERT_EQ(::chmod(older.c_str(), 0644), 0);
    const mode_t umaskBefore = ::umask(0);
    for (const std::string& path : {fresh, older}) {
        console::QueryLog log(path);
        ASSERT_TRUE(log.IsOpen());
        const console::QueryRunResult result = console::RunQueries(
            *connection_,
            Statements({"alter database password [Sesame Open] NULL;",
                        "ALTER DATABASE PASSWORD 'Kaiten''Zushi' [Sesame Open];"}),
            {nullptr, &log});
        EXPECT_TRUE(result.Committed()) << path;
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << path;
        const std::string text = testsupport::ReadFileBytes(path);
        EXPECT_NE(
            text.find("alter database password *** NULL;\nALTER DATABASE PASSWORD *** ***;\n"),
            std::string::npos)
            << text;
        for (const char* secret : {"Sesame", "Kaiten", "Zushi"}) {
            EXPECT_EQ(text.find(secret), std::string::npos) << path;
        }
        connection_->Execute("ALTER DATABASE PASSWORD NULL 'Kaiten''Zushi'");
    }
    ::umask(umaskBefore);
}

// A link planted where the log belongs would send the statements elsewhere.
TEST_F(QueryRunnerTest, LinkInPlaceOfTheLogIsRefused) {
    const std::string target = folder_.Folder() + "elsewhere.txt";
    { std::ofstream(target) << "kept\n"; }
    ASSERT_EQ(::symlink(target.c_str(), logPath_.c_str()), 0);
    EXPECT_FALSE(console::QueryLog::EnsureExists(logPath_));
    console::QueryLog log(logPath_);
    EXPECT_FALSE(log.IsOpen());
    console::RunQueries(*connection_, Statements({"DELETE FROM t_a;"}), {nullptr, &log});
    EXPECT_EQ(testsupport::ReadFileBytes(target), "kept\n");
}

TEST_F(QueryRunnerTest, UnopenableLogDoesNotStopTheRun) {
    console::QueryLog log(folder_.Folder() + "no-such-folder/log.txt");
    EXPECT_FALSE(log.IsOpen());
    const console::QueryRunResult result =
        console::RunQueries(*connection_, Statements({"DELETE FROM t_a;"}), {nullptr, &log});
    EXPECT_TRUE(result.Committed());
    EXPECT_EQ(RowCount("t_a"), 0);
}

}  // namespace
