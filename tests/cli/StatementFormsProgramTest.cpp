// Jet statement forms through the real program, each run a process of its
// own, with the sqlite3 program as the independent judge of the file: a CHECK
// rule keeps holding in every later process, and a make-table query cut off
// by a full disk leaves neither a table nor catalog rows behind.
#include <gtest/gtest.h>

#include "support/RunPatch.h"
#include "support/TempFolder.h"

namespace {

using apptest::RunPatch;
using apptest::RunResult;

// What the sqlite3 program prints for `sql` on the file.
std::string Oracle(const std::string& db, const std::string& sql) {
    const testsupport::ProcessResult run =
        testsupport::RunProcess({"/usr/bin/sqlite3", "-readonly", db, sql});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    return run.out;
}

// A new database in `folder` made by a query run of `script`; empty when the run failed.
std::string MadeDatabase(const testsupport::TempFolder& folder, const std::string& name,
                         const std::string& script) {
    const std::string db = folder.Folder() + name;
    const RunResult made = RunPatch({"--db", db, "query", "--create"}, script);
    EXPECT_EQ(made.exitStatus, 0) << made.err;
    return made.exitStatus == 0 ? db : std::string();
}

TEST(StatementFormsProgramTest, CheckRuleAcrossTablesHoldsInEveryLaterProcess) {
    testsupport::TempFolder folder;
    const std::string db =
        MadeDatabase(folder, "rules.mdb",
                     "CREATE TABLE CreditLimit (CreditLimit DOUBLE);\n"
                     "INSERT INTO CreditLimit VALUES (100);\n"
                     "CREATE TABLE Customer (CustID LONG, CustLimit DOUBLE, CONSTRAINT LimitRule "
                     "CHECK (CustLimit <= (SELECT CreditLimit FROM CreditLimit)));\n"
                     "INSERT INTO Customer VALUES (1, 50);\n");
    ASSERT_FALSE(db.empty());

    const RunResult over =
        RunPatch({"--db", db, "query"}, "INSERT INTO Customer VALUES (2, 150);\n");
    EXPECT_EQ(over.exitStatus, 1);
    EXPECT_NE(over.err.find("validation rule 'LimitRule' set for 'Customer'"), std::string::npos)
        << over.err;
    EXPECT_EQ(Oracle(db, "SELECT count(*) FROM Customer"), "1\n");
    EXPECT_EQ(Oracle(db, "SELECT TableName, ConstraintName FROM MSysCheckConstraints"),
              "Customer|LimitRule\n");

    // The rule reads the other table as it is now.
    const RunResult raised = RunPatch({"--db", db, "query"},
                                      "UPDATE CreditLimit SET CreditLimit = 200;\n"
                                      "INSERT INTO Customer VALUES (2, 150);\n");
    EXPECT_EQ(raised.exitStatus, 0) << raised.err;

    // A field change rebuilds the table; the rule comes along.
    const RunResult altered = RunPatch({"--db", db, "query"},
                                       "ALTER TABLE Customer ALTER COLUMN CustID TEXT(10);\n"
                                       "UPDATE Customer SET CustLimit = 500 WHERE CustID = '1';\n");
    EXPECT_EQ(altered.exitStatus, 1);
    EXPECT_EQ(Oracle(db, "SELECT CustID, CustLimit FROM Customer ORDER BY CustID"),
              "1|50.0\n2|150.0\n");
    EXPECT_EQ(Oracle(db, "PRAGMA integrity_check"), "ok\n");
}

TEST(StatementFormsProgramTest, MakeTableCutOffByAFullDiskLeavesNothingBehind) {
    testsupport::TempFolder folder;
    const std::string db = folder.Folder() + "make.mdb";
    std::string script =
        "CREATE TABLE Source (ID LONG, Filler TEXT(200));\nINSERT INTO Source VALUES (1, '" +
        std::string(200, 'x') + "');\n";
    for (int i = 0; i < 11; ++i)
        script += "INSERT INTO Source SELECT ID + 1, Filler FROM Source;\n";
    const RunResult made = RunPatch({"--db", db, "query", "--create"}, script);
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    const auto size = std::filesystem::file_size(db);

    // Room for a little more than the file: the copy of its 2048 rows cannot fit.
    testsupport::ProcessOptions options;
    options.input = "SELECT ID, Filler INTO Copy FROM Source;\n";
    options.fileSizeLimit = size + 64 * 1024;
    const testsupport::ProcessResult cut = testsupport::RunPatch({"--db", db, "query"}, options);
    EXPECT_EQ(cut.exitStatus, 1) << cut.err;
    EXPECT_EQ(Oracle(db, "SELECT count(*) FROM sqlite_schema WHERE name LIKE 'Copy%'"), "0\n");
    EXPECT_EQ(Oracle(db, "SELECT count(*) FROM MSysColumns WHERE TableName = 'Copy'"), "0\n");
    EXPECT_EQ(Oracle(db, "PRAGMA integrity_check"), "ok\n");

    // With room, the same statement makes the table whole.
    const RunResult whole =
        RunPatch({"--db", db, "query"}, "SELECT ID, Filler INTO Copy FROM Source;\n");
    EXPECT_EQ(whole.exitStatus, 0) << whole.err;
    EXPECT_EQ(Oracle(db, "SELECT count(*), count(DISTINCT ID) FROM Copy"), "2048|12\n");
    EXPECT_EQ(Oracle(db,
                     "SELECT ColumnName, Type, DefinedSize FROM MSysColumns WHERE TableName = "
                     "'Copy' ORDER BY "
                     "Position"),
              "ID|3|4\nFiller|202|200\n");
}

// Saved queries through the program: made by one run, used by the next with
// --param values read as their declared types (a script's PARAMETERS clause
// kept whole across its own ";"), listed by tables --all only; the file holds
// them as catalog rows, never as views SQLite would check on its own.
TEST(StatementFormsProgramTest, SavedQueriesTakeParameterValuesAndAreListedAsQueries) {
    testsupport::TempFolder folder;
    const std::string db = MadeDatabase(
        folder, "saved.mdb",
        "CREATE TABLE Sales (Region TEXT(10), Amount CURRENCY, Sold DATETIME);\n"
        "INSERT INTO Sales VALUES ('East', 10, #2024/01/05#);\n"
        "INSERT INTO Sales VALUES ('West', 25.5, #2024/02/10#);\n"
        "INSERT INTO Sales VALUES ('East', 40, #2024/03/15#);\n"
        "CREATE PROCEDURE Since AS PARAMETERS [Start Date] DateTime, [Least] Currency;\n"
        "SELECT Region, Amount FROM Sales WHERE Sold >= [Start Date] AND Amount >= Least;\n"
        "CREATE VIEW Regions AS SELECT DISTINCT Region FROM Sales;\n");
    ASSERT_FALSE(db.empty());

    const RunResult run =
        RunPatch({"--db", db, "query", "--param", "start date=2024/02/01", "--param=LEAST=30"},
                 "SELECT s.Region, s.Amount FROM Since AS s INNER JOIN Regions AS r ON r.Region = "
                 "s.Region;\n"
                 "PARAMETERS Least Currency; SELECT COUNT(*) AS n FROM Sales WHERE Amount < "
                 "Least;\n");
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "Region\tAmount\nEast\t40\n\nn\n2\n");

    const RunResult missing = RunPatch({"--db", db, "query", "--param", "Least=1"},
                                       "DELETE FROM Sales;\nSELECT * FROM Since;\n");
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_NE(missing.err.find("no value was given for the parameter 'Start Date'"),
              std::string::npos)
        << missing.err;
    EXPECT_EQ(Oracle(db, "SELECT count(*) FROM Sales"), "3\n");  // nothing committed

    const RunResult wrong =
        RunPatch({"--db", db, "query", "--param", "Least=some", "--param", "Start Date=1/1/2024"},
                 "SELECT * FROM Since;\n");
    EXPECT_EQ(wrong.exitStatus, 1);
    EXPECT_NE(wrong.err.find("the value 'some' given for the parameter 'Least' is not a Currency"),
              std::string::npos)
        << wrong.err;

    const RunResult twice = RunPatch({"--db", db, "query", "--param", "a=1", "--param", "A=2"}, "");
    EXPECT_EQ(twice.exitStatus, 2);
    EXPECT_NE(twice.err.find("--param A is given twice"), std::string::npos) << twice.err;

    const RunResult all = RunPatch({"--db", db, "tables", "--all"}, "");
    EXPECT_EQ(all.exitStatus, 0) << all.err;
    EXPECT_EQ(all.out, "Sales\nRegions\tquery\nSince\tquery\n");
    const RunResult grouped = RunPatch({"--db", db, "tables"}, "");
    EXPECT_EQ(grouped.out, "Sales\n");

    EXPECT_EQ(Oracle(db, "SELECT count(*) FROM sqlite_schema WHERE type = 'view'"), "0\n");
    EXPECT_EQ(Oracle(db, "SELECT Name FROM MSysQueries ORDER BY Name"), "Regions\nSince\n");
    EXPECT_EQ(Oracle(db, "PRAGMA integrity_check"), "ok\n");
}

}  // namespace
