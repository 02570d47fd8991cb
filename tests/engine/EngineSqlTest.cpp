// The Jet SQL an operator types, and the statements that must be refused.
#include <chrono>
#include <cmath>

#include "AnswerCheck.h"
#include "EngineFixture.h"

namespace {

using enginetest::EngineFixture;

class SqlTest : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        engine::SetNowForTesting(engine::OleDateFromParts(2020, 5, 24, 13, 7, 30));
        exec(
            "CREATE TABLE dept (DeptID COUNTER PRIMARY KEY, DeptName TEXT(20) NOT NULL, Budget "
            "CURRENCY)");
        exec(
            "CREATE TABLE emp (EmpID AUTOINCREMENT(1, 1) PRIMARY KEY, DeptID LONG, [Full Name] "
            "VARCHAR(30), "
            "Salary DOUBLE DEFAULT 0.0, Hired DATETIME, Active YESNO, Grade BYTE, Note MEMO, "
            "CONSTRAINT fk_emp_dept FOREIGN KEY (DeptID) REFERENCES dept (DeptID))");
        exec("INSERT INTO dept (DeptName, Budget) VALUES ('Sales', 1000.5)");
        exec("INSERT INTO dept (DeptName, Budget) VALUES ('Ops', 250)");
        exec(
            "INSERT INTO emp (DeptID, [Full Name], Salary, Hired, Active, Grade) VALUES (1, 'Aoki "
            "Ken', 300.25, #2019/04/01#, True, 3)");
        exec(
            "INSERT INTO emp (DeptID, [Full Name], Salary, Hired, Active, Grade) VALUES (1, 'Baba "
            "O''Neil', 200, #4/2/2019 09:30#, False, 1)");
        exec(
            "INSERT INTO emp (DeptID, [Full Name], Salary, Hired, Active) VALUES (2, 'Chiba', 100, "
            "#2020-01-15#, -1)");
    }
    void TearDown() override { engine::SetNowForTesting(std::nullopt); }
};

// Each row: a statement an operator types, and the text of the first
// column of its first row (numbers through %g, dates as yyyy/mm/dd hh:nn).
struct QueryCase {
    const char* sql;
    const char* expected;
};

std::string textOf(const engine::Variant& v) {
    return enginetest::answerText(v);
}

TEST_F(SqlTest, OperatorQueriesGiveJetAnswers) {
    const QueryCase cases[] = {
        {"SELECT COUNT(*) AS DataCount FROM emp ;", "3"},
        {"SELECT TOP 1 [Full Name] FROM emp ORDER BY Salary DESC;", "Aoki Ken"},
        {"SELECT DISTINCT DeptID FROM emp WHERE DeptID = 2", "2"},
        {"SELECT d.DeptName FROM dept AS d INNER JOIN emp AS e ON e.DeptID = d.DeptID WHERE "
         "e.[Full Name] LIKE 'Chi%'",
         "Ops"},
        {"SELECT d.DeptName, e.EmpID FROM dept d LEFT JOIN emp e ON e.DeptID = d.DeptID AND "
         "e.Salary > 1000",
         "Sales"},
        {"SELECT DeptID, SUM(Salary) AS Total FROM emp GROUP BY DeptID HAVING SUM(Salary) > 400",
         "1"},
        {"SELECT [Full Name] FROM emp WHERE [Full Name] = 'baba o''neil'", "Baba O'Neil"},
        {"SELECT [Full Name] & ' (' & DeptID & ')' FROM emp WHERE EmpID = 3", "Chiba (2)"},
        {"SELECT IIf(Salary > 250, 'high', 'low') FROM emp WHERE EmpID = 1", "high"},
        {"SELECT Nz(Note, 'none') FROM emp WHERE EmpID = 1", "none"},
        {"SELECT Len([Full Name]) FROM emp WHERE EmpID = 1", "8"},
        {"SELECT Left([Full Name], 4) & Right([Full Name], 3) & Mid([Full Name], 2, 2) FROM emp "
         "WHERE EmpID = 1",
         "AokiKenok"},
        {"SELECT UCase('abc') & LCase('DEF') & Trim('  x  ') & '|'", "ABCdefx|"},
        {"SELECT Year(Hired) * 10000 + Month(Hired) * 100 + Day(Hired) FROM emp WHERE EmpID = 2",
         "20190402"},
        {"SELECT Format(Hired, 'yyyy/mm/dd hh:nn') FROM emp WHERE EmpID = 2", "2019/04/02 09:30"},
        {"SELECT Hired FROM emp WHERE EmpID = 3", "2020/01/15 00:00"},
        {"SELECT now()", "2020/05/24 13:07"},
        {"SELECT Date()", "2020/05/24 00:00"},
        {"SELECT COUNT(*) FROM emp WHERE Active = True", "2"},
        {"SELECT COUNT(*) FROM emp WHERE Hired BETWEEN #2019/01/01# AND #2019/12/31#", "2"},
        {"SELECT COUNT(*) FROM emp WHERE DeptID IN (SELECT DeptID FROM dept WHERE DeptName = "
         "'Sales')",
         "2"},
        {"SELECT COUNT(*) FROM emp WHERE NOT EXISTS (SELECT 1 FROM dept WHERE dept.DeptID = "
         "emp.DeptID)",
         "0"},
        {"SELECT COUNT(*) FROM emp WHERE Note IS NULL AND Grade IS NOT NULL", "2"},
        {"SELECT 7 \\ 2 + 7 MOD 2 + 2 ^ 3", "12"},
        {"SELECT MAX(Budget) FROM dept", "1000.5"},
        {"SELECT [Full Name] FROM emp WHERE EmpID = 1 UNION SELECT DeptName FROM dept WHERE DeptID "
         "= 2 ORDER BY 1 DESC",
         "Ops"},
        {"SELECT x.n FROM (SELECT COUNT(*) AS n FROM emp) AS x", "3"},
        {"SELECT (SELECT MAX(EmpID) FROM emp) + 1", "4"},
        {"SELECT DateSerial(2020, 13, 1)", "2021/01/01 00:00"},
        {"SELECT DateAdd('m', 1, #2020/01/31#)", "2020/02/29 00:00"},
        {"SELECT CLng(2.6) + CInt('3')", "6"},
    };
    enginetest::expectAnswers(cases, [this](const std::string& sql) { return textOf(value(sql)); });
}

TEST_F(SqlTest, ResultColumnsCarryJetTypes) {
    struct TypeCase {
        const char* sql;
        std::uint16_t tag;
    } cases[] = {
        {"SELECT EmpID FROM emp", engine::VT_I4},
        {"SELECT Salary FROM emp", engine::VT_R8},
        {"SELECT Hired FROM emp", engine::VT_DATE},
        {"SELECT Active FROM emp", engine::VT_BOOL},
        {"SELECT Grade FROM emp", engine::VT_UI1},
        {"SELECT [Full Name] FROM emp", engine::VT_BSTR},
        {"SELECT Budget FROM dept", engine::VT_CY},
        {"SELECT MAX(Budget) AS M FROM dept", engine::VT_CY},
        {"SELECT MIN(e.Hired) FROM emp AS e", engine::VT_DATE},
        {"SELECT COUNT(*) FROM emp", engine::VT_I4},
        {"SELECT now()", engine::VT_DATE},
        {"SELECT 1.5 * 2", engine::VT_R8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(value(c.sql).vt(), c.tag);
    }
    EXPECT_EQ(value("SELECT Budget FROM dept WHERE DeptID = 1").currency(), 10005000);
}

TEST_F(SqlTest, FieldsAndNamesFollowJet) {
    auto rs = conn_->Execute(
        "SELECT EmpID, Salary * 2, [Full Name] AS [Who Is], Salary + 1 FROM emp", nullptr, -1);
    auto fields = rs->GetFields();
    ASSERT_EQ(fields->Count(), 4);
    EXPECT_EQ(fields->Item(0).Name(), "EmpID");
    EXPECT_EQ(fields->Item(1).Name(), "Expr1001");
    EXPECT_EQ(fields->Item(2).Name(), "Who Is");
    EXPECT_EQ(fields->Item(3).Name(), "Expr1003");
    EXPECT_EQ(rs->Collect("who is").text(), "Aoki Ken");  // names compare without case, as ADO does
}

TEST_F(SqlTest, WritesReportRowsAffected) {
    EXPECT_EQ(exec("UPDATE emp SET Salary = Salary + 1 WHERE DeptID = 1;"), 2);
    EXPECT_EQ(exec("INSERT INTO emp (DeptID, [Full Name]) SELECT DeptID, DeptName FROM dept"), 2);
    EXPECT_EQ(exec("DELETE * FROM emp WHERE [Full Name] IN ('Sales', 'Ops')"), 2);
    EXPECT_EQ(exec("DELETE FROM emp WHERE EmpID = 999"), 0);
}

// Each row: a statement, the result code and the Jet error number it must
// Runs of one operator: each translation keeps Jet's left-to-right order,
// and a run of hundreds of operands still runs (SQLite refuses deep nesting,
// so the translation must not nest a run).
TEST_F(SqlTest, OperatorRunsKeepJetOrderAtAnyLength) {
    auto run = [](const std::string& operand, const std::string& op, int count) {
        std::string sql = "SELECT " + operand;
        for (int i = 1; i < count; ++i) sql += " " + op + " " + operand;
        return sql;
    };
    const QueryCase cases[] = {
        {"SELECT 10 - 4 - 3 + 1", "4"},
        {"SELECT 12 / 4 * 3", "9"},
        {"SELECT 2 * 7 / 4", "3.5"},
        {"SELECT 7 / 2 / 2", "1.75"},
        {"SELECT 100 \\ 7 \\ 2", "7"},
        {"SELECT 100 MOD 7 MOD 3", "2"},
        {"SELECT 2 ^ 3 ^ 2", "64"},
        {"SELECT 'a' & Null & 'b' & Note & 'c' FROM emp WHERE EmpID = 1", "abc"},
        {"SELECT IIf(True XOR False XOR True, 'y', 'n')", "n"},
        {"SELECT IIf(False OR False OR True AND False, 'y', 'n')", "n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(textOf(value(c.sql)), c.expected);
    }
    std::string joined;
    for (int i = 0; i < 900; ++i) joined += "ab";
    EXPECT_EQ(textOf(value(run("'ab'", "&", 900))), joined);
    EXPECT_EQ(textOf(value(run("1", "+", 900))), "900");
    EXPECT_EQ(textOf(value(run("2", "*", 40) + " / 2199023255552")), "0.5");
}

// A statement of a megabyte chaining one operator is refused at once with a
// message naming the limit, instead of taking minutes to translate.
TEST_F(SqlTest, MegabyteOperatorRunIsRefusedAtOnce) {
    for (const char* op : {" & ", " + "}) {
        std::string sql = "SELECT 'a'";
        while (sql.size() < (1u << 20)) sql += op + std::string("'a'");
        const auto started = std::chrono::steady_clock::now();
        const engine::ComError e = refused(sql);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        EXPECT_EQ(e.jetError(), 3075) << e.what();
        EXPECT_NE(e.description().value_or("").find("at most 1000 operators"), std::string::npos)
            << e.what();
    }
}

// be refused with.
struct RefusalCase {
    const char* sql;
    std::uint32_t code;
    int jet;
};

TEST_F(SqlTest, RefusalsCarryJetErrors) {
    const RefusalCase cases[] = {
        {"SELECT * FROM nowhere", 0x80040E37, 3078},
        {"SELECT Missing FROM emp", 0x80040E10, 3061},
        {"SELEC * FROM emp", 0x80040E14, 3129},
        {"SELECT * FROM emp WHERE", 0x80040E14, 3075},
        {"SELECT * FROM emp; DELETE FROM emp", 0x80040E14, 3142},
        {"SELECT 1; ;", 0x80040E14, 3142},
        {"SELECT Foo(1)", 0x80040E14, 3085},
        {"SELECT 'open", 0x80040E14, 3075},
        {"BEGIN TRANSACTION", 0x80040E14, 3129},
        {"COMMIT", 0x80040E14, 3129},
        {"ROLLBACK", 0x80040E14, 3129},
        {"SAVEPOINT a", 0x80040E14, 3129},
        {"PRAGMA writable_schema = 1", 0x80040E14, 3129},
        {"ATTACH DATABASE '/tmp/x.db' AS x", 0x80040E14, 3129},
        {"VACUUM", 0x80040E14, 3129},
        {"SELECT load_extension('x')", 0x80040E14, 3085},
        {"SELECT * FROM sqlite_master", 0x80040E14, 3129},
        {"DELETE FROM MSysColumns", 0x80004005, 3112},
        {"CREATE TABLE dept (X LONG)", 0x80040E14, 3010},
        {"CREATE TABLE DEPT (X LONG)", 0x80040E14, 3010},
        {"CREATE TABLE t (a LONG, A TEXT(5))", 0x80040E14, 3191},
        {"CREATE TABLE t (a WIBBLE)", 0x80040E14, 3292},
        {"CREATE TABLE t (a TEXT(256))", 0x80040E14, 3292},
        {"CREATE INDEX idx ON nowhere (a)", 0x80040E37, 3078},
        {"CREATE INDEX fk_emp_dept ON emp (Grade)", 0x80040E14, 3375},
        {"DROP TABLE nowhere", 0x80040E37, 3376},
        {"DROP TABLE dept", 0x80004005, 3281},
        {"ALTER TABLE emp ADD COLUMN Grade LONG", 0x80040E14, 3380},
        {"ALTER TABLE emp DROP COLUMN DeptID", 0x80004005, 3303},
        {"ALTER TABLE emp ADD CONSTRAINT fk2 FOREIGN KEY (Grade) REFERENCES emp (Salary)",
         0x80040E14, 3374},
        {"INSERT INTO dept (DeptID, DeptName) VALUES (1, 'Dup')", 0x80004005, 3022},
        {"INSERT INTO dept (DeptName) VALUES (NULL)", 0x80004005, 3314},
        {"INSERT INTO dept (DeptName) VALUES ('a name longer than twenty')", 0x80040E57, 3163},
        {"INSERT INTO emp (DeptID) VALUES (99)", 0x80004005, 3201},
        {"UPDATE emp SET DeptID = 99 WHERE EmpID = 1", 0x80004005, 3201},
        {"DELETE FROM dept WHERE DeptID = 1", 0x80004005, 3200},
        {"UPDATE dept SET DeptID = 5 WHERE DeptID = 1", 0x80004005, 3200},
        {"INSERT INTO emp (Salary) VALUES ('lots')", 0x80004005, 3464},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        engine::ComError e = refused(c.sql);
        EXPECT_EQ(static_cast<std::uint32_t>(e.code()), c.code) << e.what();
        EXPECT_EQ(e.jetError(), c.jet) << e.what();
        EXPECT_EQ(e.source().value_or(""), "VantolyEngine");
        EXPECT_FALSE(e.description().value_or("").empty());
    }
    // Nothing of the refused statements took effect.
    EXPECT_EQ(value("SELECT COUNT(*) FROM dept").intValue(), 2);
    EXPECT_EQ(value("SELECT COUNT(*) FROM emp").intValue(), 3);
}

TEST_F(SqlTest, CascadeAndSetNullRules) {
    exec("CREATE TABLE parent (P LONG CONSTRAINT pk_parent PRIMARY KEY)");
    exec(
        "CREATE TABLE kid (K COUNTER PRIMARY KEY, P LONG, CONSTRAINT fk_kid FOREIGN KEY (P) "
        "REFERENCES parent ON UPDATE CASCADE ON DELETE SET NULL)");
    exec("INSERT INTO parent VALUES (1)");
    exec("INSERT INTO kid (P) VALUES (1)");
    exec("UPDATE parent SET P = 2");
    EXPECT_EQ(value("SELECT P FROM kid").intValue(), 2);
    exec("DELETE FROM parent");
    EXPECT_TRUE(value("SELECT P FROM kid").isNull());
}

TEST_F(SqlTest, TransactionsUndoDataAndDefinitions) {
    conn_->BeginTrans();
    exec("INSERT INTO dept (DeptName) VALUES ('Temp')");
    exec("CREATE TABLE scratch (a LONG)");
    exec("ALTER TABLE emp ADD COLUMN Extra TEXT(10)");
    exec("CREATE INDEX idx_grade ON emp (Grade)");
    exec("DROP TABLE scratch");
    exec("ALTER TABLE dept ADD CONSTRAINT uq_name UNIQUE (DeptName)");
    conn_->RollbackTrans();
    EXPECT_EQ(value("SELECT COUNT(*) FROM dept").intValue(), 2);
    EXPECT_EQ(refused("SELECT Extra FROM emp").jetError(), 3061);
    auto catalog = engine::Catalog::create();
    catalog->putActiveConnection(enginetest::jetText(path_));
    for (long i = 0; i < catalog->Tables().Count(); ++i) {
        auto t = catalog->Tables().Item(i);
        EXPECT_NE(t->Name(), "scratch");
        for (long k = 0; k < t->Indexes().Count(); ++k) {
            EXPECT_NE(t->Indexes().Item(k)->Name(), "idx_grade");
            EXPECT_NE(t->Indexes().Item(k)->Name(), "uq_name");
        }
    }
    conn_->BeginTrans();
    exec("CREATE TABLE kept (a LONG)");
    conn_->CommitTrans();
    EXPECT_EQ(value("SELECT COUNT(*) FROM kept").intValue(), 0);
    EXPECT_THROW(conn_->CommitTrans(), engine::ComError);
}

TEST_F(SqlTest, SchemaListingFollowsRolledBackDefinitions) {
    auto names = [&] {
        std::vector<std::string> out;
        for (auto rs = conn_->OpenSchema(engine::adSchemaTables); !rs->IsEOF(); rs->MoveNext()) {
            if (rs->Collect("TABLE_TYPE").text() == "TABLE")
                out.emplace_back(rs->Collect("TABLE_NAME").text());
        }
        return out;
    };
    conn_->BeginTrans();
    exec("CREATE TABLE gone (a LONG)");
    EXPECT_EQ(names(), (std::vector<std::string>{"dept", "emp", "gone"}));
    conn_->RollbackTrans();
    // The next definition takes the schema version back to the same number.
    exec("CREATE TABLE kept (b TEXT(5))");
    EXPECT_EQ(names(), (std::vector<std::string>{"dept", "emp", "kept"}));
    EXPECT_EQ(value("SELECT b FROM kept").vt(), engine::VT_EMPTY);  // no rows, and no stale types
    exec("INSERT INTO kept VALUES ('x')");
    EXPECT_EQ(value("SELECT b FROM kept").vt(), engine::VT_BSTR);
}

TEST_F(SqlTest, AlterTableKeepsRowsAndRelationships) {
    exec("ALTER TABLE emp ALTER COLUMN [Full Name] TEXT(60) NOT NULL");
    exec("ALTER TABLE emp ADD COLUMN Code TEXT(5) NOT NULL DEFAULT 'X'");
    exec("ALTER TABLE emp DROP COLUMN Note");
    EXPECT_EQ(value("SELECT COUNT(*) FROM emp WHERE Code = 'X'").intValue(), 3);
    EXPECT_EQ(value("SELECT [Full Name] FROM emp WHERE EmpID = 2").text(), "Baba O'Neil");
    EXPECT_EQ(refused("ALTER TABLE dept DROP CONSTRAINT PrimaryKey").jetError(), 3281);
    EXPECT_EQ(refused("INSERT INTO emp (DeptID, [Full Name]) VALUES (99, 'x')").jetError(), 3201);
    // The counter goes on after the rebuild.
    exec("INSERT INTO emp (DeptID, [Full Name]) VALUES (2, 'Dodo')");
    EXPECT_EQ(value("SELECT MAX(EmpID) FROM emp").intValue(), 4);
    auto fields = conn_->Execute("SELECT * FROM emp", nullptr, -1)->GetFields();
    EXPECT_EQ(fields->Item(fields->Count() - 1).Name(), "Code");  // added last, physically
}

TEST_F(SqlTest, IndexOptions) {
    EXPECT_EQ(refused("CREATE UNIQUE INDEX uq_code ON emp (Grade) WITH DISALLOW NULL").jetError(),
              3058);
    exec("UPDATE emp SET Grade = 9 WHERE Grade IS NULL");
    exec("CREATE UNIQUE INDEX uq_code ON emp (Grade) WITH DISALLOW NULL");
    EXPECT_EQ(refused("INSERT INTO emp (DeptID) VALUES (1)").jetError(), 3058);
    EXPECT_EQ(refused("UPDATE emp SET Grade = NULL WHERE EmpID = 1").jetError(), 3058);
    EXPECT_EQ(refused("UPDATE emp SET Grade = 1 WHERE EmpID = 1").jetError(), 3022);
    exec("DROP INDEX uq_code ON emp");
    EXPECT_EQ(exec("UPDATE emp SET Grade = NULL WHERE EmpID = 1"), 1);
}

// Access SQL reference: CREATE INDEX (field [ASC|DESC]). The order is the
// index's own (SQLite's index is descending on that field) and the catalog's,
// through a rebuild of the table and a reopened file; a dropped index leaves
// no order behind for a new index of the same name.
TEST_F(SqlTest, DescendingIndexFieldsAreKept) {
    exec("CREATE INDEX ix_hired ON emp (Hired DESC, Grade ASC, DeptID DESC)");
    const auto orders = [&] {
        auto catalog = engine::Catalog::create();
        catalog->putActiveConnection(enginetest::jetText(path_));
        std::string text;
        for (long i = 0; i < catalog->Tables().Count(); ++i) {
            auto t = catalog->Tables().Item(i);
            if (t->Name() != "emp") continue;
            for (long k = 0; k < t->Indexes().Count(); ++k) {
                auto index = t->Indexes().Item(k);
                if (index->Name() != "ix_hired") continue;
                for (long c = 0; c < index->Columns().Count(); ++c) {
                    auto column = index->Columns().Item(c);
                    text += column->Name() +
                            (column->SortOrder() == engine::adSortDescending ? " DESC;" : " ASC;");
                }
            }
        }
        return text;
    };
    const std::string expected = "Hired DESC;Grade ASC;DeptID DESC;";
    EXPECT_EQ(orders(), expected);
    const auto sqliteOrder = [&] {
        return enginetest::sqliteAnswer(
            path_,
            "SELECT group_concat(i.desc, '') FROM sqlite_schema s, "
            "pragma_index_xinfo(s.name) i WHERE s.type = 'index' AND s.sql LIKE "
            "'%Hired%' AND i.key");
    };
    EXPECT_EQ(sqliteOrder(), "101");
    exec("ALTER TABLE emp ALTER COLUMN [Full Name] TEXT(60)");  // rebuilds the table
    conn_->Close();
    conn_ = engine::Connection::create();
    conn_->Open(enginetest::jetText(path_));
    EXPECT_EQ(orders(), expected);
    EXPECT_EQ(sqliteOrder(), "101");
    exec("DROP INDEX ix_hired ON emp");
    exec("CREATE INDEX ix_hired ON emp (Hired, Grade, DeptID)");
    EXPECT_EQ(orders(), "Hired ASC;Grade ASC;DeptID ASC;");
}

TEST_F(SqlTest, CounterWithSeedAndStep) {
    exec("CREATE TABLE seq (ID COUNTER(100, 5) PRIMARY KEY, Label TEXT(5))");
    exec("INSERT INTO seq (Label) VALUES ('a')");
    exec("INSERT INTO seq (Label) VALUES ('b')");
    exec("INSERT INTO seq (ID, Label) VALUES (-1, 'c')");
    EXPECT_EQ(value("SELECT ID FROM seq WHERE Label = 'b'").intValue(), 105);
    EXPECT_EQ(value("SELECT ID FROM seq WHERE Label = 'c'").intValue(), -1);
}

}  // namespace
