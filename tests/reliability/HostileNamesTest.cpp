// Table and column names with blanks, quotes, brackets, semicolons and
// non-ASCII letters, and statement texts that try to smuggle in a second
// statement: the viewer's commands, the creation-statement generator and the
// workbook answer with a result or a clear message, never crash, and never
// change the database they only read.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "UpdateFixture.h"
#include "support/AwkwardNames.h"
#include "support/BehindTheEngine.h"
#include "support/Process.h"
#include "viewer/WorkbookFacts.h"

namespace fs = std::filesystem;

namespace reliability {
namespace {

// Made through the engine directly: the console would cut a statement at
// the ";" inside a bracketed name.
const std::vector<std::string> kHostileTables = {
    "CREATE TABLE [t blank] ([col blank] TEXT(10), [列 名] LONG)",
    "CREATE TABLE [t'quote] ([c'q] TEXT(10))",
    "CREATE TABLE [t\"dq] ([c\"dq] LONG)",
    "CREATE TABLE [t;semi] ([c;s] TEXT(10))",
    "CREATE TABLE [t(paren)] ([x) FROM t_db_ver;--] LONG)",
    "CREATE TABLE [日本語テーブル] ([項目] TEXT(10))",
    "INSERT INTO [日本語テーブル] VALUES ('値')",
    "CREATE TABLE [t_a UNION SELECT DBVerCode FROM t_db_ver] ([x] LONG)",
    // Renamed to "a.b" below, as a file made elsewhere can hold it.
    "CREATE TABLE [t_dot] ([ab] LONG)",
};

const std::vector<std::string> kNamesAsked = {
    "t blank",
    "t'quote",
    "t\"dq",
    "t;semi",
    "t(paren)",
    "日本語テーブル",
    "t_a UNION SELECT DBVerCode FROM t_db_ver",
    "t_dot",
    // Names no table has: refused by the table list before any statement.
    "t_db_ver]; DROP TABLE [t_db_ver",
    "t_db_ver; DELETE FROM t_db_ver",
    "[t_db_ver]",
    "",
};

class HostileNames : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = new testsupport::TempFolder;
        database_ = new std::string(folder_->Folder() + "host.mdb");
        fs::copy_file(updatetest::PristineSample(), *database_);
        auto connection = engine::Connection::create();
        connection->Open(updatetest::JetConnectionText(*database_));
        for (const std::string& statement : kHostileTables)
            connection->Execute(statement, nullptr, -1);
        testsupport::AddAwkwardTables(*connection);
        connection->Close();
        testsupport::RenameFieldBehindTheEngine(*database_, "t_dot", "ab", "a.b");
    }
    static void TearDownTestSuite() {
        delete database_;
        delete folder_;
    }

    // Runs a read-only command; it must end by itself, say why when it
    // fails, and leave the file as it was.
    static testsupport::ProcessResult ReadOnly(const std::vector<std::string>& arguments) {
        const std::string before = testsupport::ReadFileBytes(*database_);
        std::vector<std::string> argv{VANTOLY_PATCH_BINARY, "--db", *database_};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const testsupport::ProcessResult run = testsupport::RunProcess(argv);
        const std::string label = arguments.front() + " " + arguments.back();
        EXPECT_EQ(run.signal, 0) << label;
        EXPECT_TRUE(run.exitStatus == 0 || run.exitStatus == 1) << label << ": " << run.exitStatus;
        if (run.exitStatus != 0) {
            EXPECT_FALSE(run.err.empty()) << label << ": failed without a message";
        }
        EXPECT_EQ(testsupport::ReadFileBytes(*database_), before)
            << label << " changed the database";
        return run;
    }

    static testsupport::TempFolder* folder_;
    static std::string* database_;
};

testsupport::TempFolder* HostileNames::folder_ = nullptr;
std::string* HostileNames::database_ = nullptr;

TEST_F(HostileNames, ViewerAndGeneratorCommandsAnswerEveryName) {
    ReadOnly({"tables", "--all"});
    for (const std::string& name : kNamesAsked) {
        ReadOnly({"show", name});
        ReadOnly({"create-query", name});
    }
    // A name no bracket can hold is named as the reason, and nothing runs.
    for (const char* command : {"show", "create-query"}) {
        const testsupport::ProcessResult run = ReadOnly({command, "t_dot"});
        EXPECT_EQ(run.exitStatus, 1) << command;
        EXPECT_NE(run.err.find("the name \"a.b\" cannot be used in a statement"), std::string::npos)
            << run.err;
    }
}

TEST_F(HostileNames, NonAsciiTableShowsItsRows) {
    const testsupport::ProcessResult shown = ReadOnly({"show", "日本語テーブル"});
    EXPECT_EQ(shown.exitStatus, 0) << shown.err;
    EXPECT_NE(shown.out.find("値"), std::string::npos) << shown.out;
}

// A table whose name reads as the rest of a statement must not turn the
// grid's query into another one: its grid shows its own (empty) rows, not
// the version table's.
TEST_F(HostileNames, TableNamedLikeAStatementDoesNotReadAnotherTable) {
    const testsupport::ProcessResult shown =
        ReadOnly({"show", "t_a UNION SELECT DBVerCode FROM t_db_ver"});
    EXPECT_EQ(shown.out.find("1.25"), std::string::npos) << shown.out;
}

// The workbook is written and read back by an independent reader: its table
// index names every table by its own name, and each table's sheet holds its
// fields.
TEST_F(HostileNames, WorkbookTakesEveryName) {
    testsupport::TempFolder out;
    const testsupport::ProcessResult exported = ReadOnly({"export-spec", out.Folder()});
    EXPECT_EQ(exported.exitStatus, 0) << exported.err;
    const std::string workbook = out.Folder() + "出力データ/仕様書出力/仕様書EXCEL.xlsx";
    EXPECT_NE(exported.out.find(workbook), std::string::npos) << exported.out;
    ASSERT_TRUE(fs::exists(workbook)) << exported.err;
    const viewertest::WorkbookFacts facts = viewertest::ReadWorkbookFacts(workbook);
    std::set<std::string> listed;
    std::map<std::string, std::set<std::string>> sheetTexts;
    for (const auto& [key, value] : facts) {
        if (!key.ends_with(".value")) continue;
        if (key.starts_with("テーブル一覧!B")) listed.insert(value);
        sheetTexts[key.substr(0, key.find('!'))].insert(value);
    }
    std::map<std::string, std::vector<std::string>> tables = {
        {"t blank", {"col blank", "列 名"}},
        {"t'quote", {"c'q"}},
        {"t\"dq", {"c\"dq"}},
        {"t;semi", {"c;s"}},
        {"t(paren)", {"x) FROM t_db_ver;--"}},
        {"日本語テーブル", {"項目"}},
        {"t_a UNION SELECT DBVerCode FROM t_db_ver", {"x"}},
    };
    for (const testsupport::AwkwardTable& table : testsupport::kAwkwardTables)
        tables[table.name] = table.fields;
    for (const auto& [name, fields] : tables) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(listed.contains("s:" + name));
        // A sheet's name is the table's, cut to 31 bytes (all long names here are ASCII).
        const auto sheet = sheetTexts.find(name.substr(0, 31));
        ASSERT_NE(sheet, sheetTexts.end());
        for (const std::string& field : fields) EXPECT_TRUE(sheet->second.contains("s:" + field));
    }
}

// Every command word and the query take each awkward table by its own name
// and show its own fields and row: the list names it, the grid and the
// creation statement hold its fields, the query reads its row.
TEST_F(HostileNames, CommandsTakeEveryNameThatNeedsBrackets) {
    const testsupport::ProcessResult list = ReadOnly({"tables", "--all"});
    ASSERT_EQ(list.exitStatus, 0) << list.err;
    for (const testsupport::AwkwardTable& table : testsupport::kAwkwardTables) {
        SCOPED_TRACE(table.name);
        EXPECT_NE(("\n" + list.out).find("\n" + table.name + "\n"), std::string::npos) << list.out;

        std::string headings, row, statement = "CREATE TABLE [" + table.name + "] (\r\n";
        for (std::size_t at = 0; at < table.fields.size(); ++at) {
            headings += table.fields[at] + "\t";
            row += table.row[at] + "\t";
            statement += "[" + table.fields[at] + "]\tVARCHAR(020)" +
                         (at + 1 < table.fields.size() ? "," : "") + "\r\n";
        }
        const testsupport::ProcessResult shown = ReadOnly({"show", table.name});
        EXPECT_EQ(shown.exitStatus, 0) << shown.err;
        EXPECT_EQ(shown.out, headings + "\n" + row + "\n");

        const testsupport::ProcessResult created = ReadOnly({"create-query", table.name});
        EXPECT_EQ(created.exitStatus, 0) << created.err;
        EXPECT_EQ(created.out, statement + ");\n");

        // The query's script ends a statement at every ";", brackets or not.
        if (table.name.find(';') != std::string::npos) continue;
        testsupport::ProcessOptions script;
        script.input = "SELECT * FROM [" + table.name + "];\n";
        const testsupport::ProcessResult queried =
            testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--db", *database_, "query"}, script);
        EXPECT_EQ(queried.exitStatus, 0) << queried.err;
        EXPECT_EQ(queried.out, headings.substr(0, headings.size() - 1) + "\n" +
                                   row.substr(0, row.size() - 1) + "\n");
    }
}

// One statement per execution: a second statement after a ";" is refused
// with the first, never run.
TEST_F(HostileNames, EngineRunsNoSecondStatement) {
    testsupport::TempFolder folder;
    const std::string path = folder.Folder() + "host.mdb";
    fs::copy_file(updatetest::PristineSample(), path);
    auto connection = engine::Connection::create();
    connection->Open(updatetest::JetConnectionText(path));
    const std::string count = "SELECT COUNT(*) FROM t_db_ver";
    const auto rowsBefore = connection->Execute(count, nullptr, -1)->Collect(0L).intValue();
    for (const char* text : {"SELECT * FROM t_db_ver; DELETE FROM t_db_ver",
                             "DELETE FROM t_db_ver WHERE 1=0; DELETE FROM t_db_ver",
                             "SELECT * FROM [t_db_ver]; DROP TABLE t_db_ver;",
                             "UPDATE t_db_ver SET DBVerCode = 9 WHERE 1=0;;"}) {
        try {
            connection->Execute(text, nullptr, -1);
        } catch (const engine::ComError&) {
            // Refusing the text is as good as running only its first statement.
        }
        EXPECT_EQ(connection->Execute(count, nullptr, -1)->Collect(0L).intValue(), rowsBefore)
            << text;
    }
}

}  // namespace
}  // namespace reliability
