// Statements Jet refuses are refused with Jet's error number, although SQLite
// would run them; their near neighbours that Jet runs still run.
#include <cstdio>

#include "EngineFixture.h"

namespace {

using enginetest::EngineFixture;

class JetErrorsTest : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        exec("CREATE TABLE dept (DeptID COUNTER PRIMARY KEY, DeptName TEXT(20))");
        exec(
            "CREATE TABLE emp (EmpID COUNTER PRIMARY KEY, DeptID LONG, Name TEXT(30), Salary "
            "CURRENCY)");
        exec("CREATE TABLE proj (ProjID COUNTER PRIMARY KEY, EmpID LONG, Title TEXT(20))");
        exec("INSERT INTO dept (DeptName) VALUES ('Sales')");
        exec("INSERT INTO dept (DeptName) VALUES ('Ops')");
        exec("INSERT INTO emp (DeptID, Name, Salary) VALUES (1, 'Aoki', 300)");
        exec("INSERT INTO emp (DeptID, Name, Salary) VALUES (1, 'Baba', 200)");
        exec("INSERT INTO emp (DeptID, Name, Salary) VALUES (2, 'Chiba', 100)");
        exec("INSERT INTO proj (EmpID, Title) VALUES (1, 'X')");
        exec("INSERT INTO proj (EmpID, Title) VALUES (3, 'Y')");
        exec(
            "CREATE TABLE notes (NoteID COUNTER PRIMARY KEY, EmpID LONG, Body MEMO, Pic "
            "LONGBINARY)");
        exec("INSERT INTO notes (EmpID, Body) VALUES (1, 'Aoki')");
    }
};

// Each row: a statement, and Jet's error number, or 0 and the first value of
// its first row (a SELECT) or the rows it changed (any other statement).
struct ErrorCase {
    const char* sql;
    int jetError;
    const char* expected;
};

TEST_F(JetErrorsTest, JetRefusesWhatItRefuses) {
    const ErrorCase cases[] = {
        // Access SQL reference: SQL aggregate functions (Count, Sum take one
        // expression; DISTINCT inside is a missing operator to Jet).
        {"SELECT Count(DISTINCT DeptID) FROM emp", 3075, nullptr},
        {"SELECT Sum(DISTINCT Salary) FROM emp", 3075, nullptr},
        {"SELECT Max(DISTINCT Salary) FROM emp", 3075, nullptr},
        {"SELECT Count(*) FROM (SELECT DISTINCT DeptID FROM emp) AS d", 0, "2"},

        // Access SQL reference: GROUP BY clause (every field of the SELECT
        // list must be grouped or inside an aggregate function).
        {"SELECT Name, Count(*) FROM emp", 3122, nullptr},
        {"SELECT DeptID, Name, Sum(Salary) FROM emp GROUP BY DeptID", 3122, nullptr},
        {"SELECT DeptID, Sum(Salary) FROM emp GROUP BY DeptID ORDER BY Name", 3122, nullptr},
        {"SELECT DeptID, Sum(Salary) FROM emp GROUP BY DeptID HAVING Name > 'A'", 3122, nullptr},
        {"SELECT Max(Salary) - Min(Salary) + DeptID FROM emp", 3122, nullptr},
        {"SELECT DeptID, Sum(Salary) AS Total FROM emp GROUP BY DeptID HAVING Max(Name) > 'B' "
         "ORDER BY Sum(Salary) DESC",
         0, "1"},
        {"SELECT e.DeptID, Count(*) FROM emp AS e GROUP BY DeptID ORDER BY e.DeptID DESC", 0, "2"},
        {"SELECT DeptID * 10 + 1, Count(*) FROM emp GROUP BY DeptID ORDER BY 1", 0, "11"},
        {"SELECT Max(Salary) - Min(Salary) FROM emp", 0, "200"},
        {"SELECT Count(*), 'all' FROM emp WHERE Name <> 'x'", 0, "3"},
        {"SELECT DeptName, (SELECT Count(*) FROM emp WHERE emp.DeptID = dept.DeptID) FROM dept "
         "ORDER BY DeptName",
         0, "Ops"},

        // Access SQL reference: ORDER BY clause / ALL, DISTINCT, DISTINCTROW
        // predicates (a DISTINCT query is ordered by fields it returns).
        {"SELECT DISTINCT DeptID FROM emp ORDER BY Name", 3093, nullptr},
        {"SELECT DISTINCT DeptID FROM emp ORDER BY DeptID DESC", 0, "2"},
        {"SELECT DISTINCT e.DeptID AS d FROM emp e ORDER BY d", 0, "1"},
        {"SELECT DISTINCT e.DeptID FROM emp e ORDER BY DeptID", 0, "1"},
        {"SELECT DISTINCTROW DeptID FROM emp ORDER BY Name", 0, "1"},

        // Access SQL reference: INNER JOIN operation (joins are nested in
        // parentheses: (t1 INNER JOIN t2 ON …) INNER JOIN t3 ON …).
        {"SELECT e.Name FROM emp e INNER JOIN dept d ON e.DeptID = d.DeptID INNER JOIN proj p ON "
         "p.EmpID = "
         "e.EmpID",
         3075, nullptr},
        {"SELECT e.Name FROM emp e LEFT JOIN dept d ON e.DeptID = d.DeptID LEFT JOIN proj p ON "
         "p.EmpID = "
         "e.EmpID",
         3075, nullptr},
        {"SELECT e.Name FROM (emp e INNER JOIN dept d ON e.DeptID = d.DeptID) INNER JOIN proj p ON "
         "p.EmpID = "
         "e.EmpID ORDER BY e.Name DESC",
         0, "Chiba"},
        {"SELECT Count(*) FROM emp e INNER JOIN dept d ON e.DeptID = d.DeptID WHERE e.EmpID IN "
         "(SELECT p.EmpID "
         "FROM proj p INNER JOIN emp x ON x.EmpID = p.EmpID)",
         0, "2"},

        // Access SQL reference: UPDATE statement (Jet calls an UPDATE whose
        // new value is a subquery a query that cannot be updated).
        {"UPDATE emp SET Salary = (SELECT Max(Salary) FROM emp)", 3073, nullptr},
        {"UPDATE emp INNER JOIN dept ON emp.DeptID = dept.DeptID SET emp.Salary = "
         "(SELECT Max(Salary) FROM emp)",
         3073, nullptr},
        {"UPDATE emp SET Salary = 1 + (SELECT Max(Salary) FROM emp) WHERE EmpID = 1", 3073,
         nullptr},
        {"UPDATE emp SET Salary = Salary + 1 WHERE DeptID IN (SELECT DeptID FROM dept WHERE "
         "DeptName = 'Ops')",
         0, "1"},

        // Access SQL reference: SQL subqueries (a subquery standing for a
        // value returns at most one record).
        {"SELECT (SELECT Name FROM emp WHERE DeptID = 1) FROM dept", 3354, nullptr},
        {"SELECT DeptName FROM dept WHERE DeptID = (SELECT DeptID FROM emp)", 3354, nullptr},
        {"SELECT (SELECT Name FROM emp WHERE DeptID = 2) FROM dept WHERE DeptID = 1", 0, "Chiba"},
        {"SELECT (SELECT TOP 1 Name FROM emp ORDER BY Name DESC)", 0, "Chiba"},
        {"SELECT IIf((SELECT Name FROM emp WHERE DeptID = 9) IS NULL, 'none', 'some')", 0, "none"},
        {"SELECT Count(*) FROM dept WHERE (SELECT Name FROM emp WHERE emp.EmpID = dept.DeptID) IS "
         "NOT NULL",
         0, "2"},

        // Microsoft Access error list: 3118 "Cannot join on Memo, OLE, or
        // Hyperlink Object"; a Memo field may still be compared in WHERE.
        {"SELECT Count(*) FROM emp e INNER JOIN notes n ON e.Name = n.Body", 3118, nullptr},
        {"SELECT Count(*) FROM notes a LEFT JOIN notes b ON (a.EmpID = b.EmpID AND a.Pic = b.Pic)",
         3118, nullptr},
        {"SELECT Count(*) FROM (emp INNER JOIN notes ON emp.EmpID = notes.EmpID) INNER JOIN dept "
         "ON Body = DeptName",
         3118, nullptr},
        {"SELECT e.Name FROM emp e INNER JOIN notes n ON e.EmpID = n.EmpID WHERE n.Body = e.Name",
         0, "Aoki"},

        // Microsoft Access error list: 3464 "Data type mismatch in criteria
        // expression" — a Text field against a number, a number field against
        // a text, numeric text included; an UPDATE's assignment converts.
        {"SELECT Count(*) FROM emp WHERE Name = 5", 3464, nullptr},
        {"SELECT Count(*) FROM emp WHERE 5 <> [Name]", 3464, nullptr},
        {"SELECT Count(*) FROM emp e WHERE e.DeptID = '1'", 3464, nullptr},
        {"SELECT Count(*) FROM emp WHERE Salary > 'abc' AND DeptID = 1", 3464, nullptr},
        {"SELECT Count(*) FROM emp WHERE Name >= -1", 3464, nullptr},
        {"SELECT Count(*) FROM dept WHERE DeptID IN (SELECT DeptID FROM emp AS x WHERE x.Name = 1)",
         3464, nullptr},
        {"SELECT Count(*) FROM dept d, emp WHERE d.DeptName = 3", 3464, nullptr},
        {"SELECT Count(*) FROM emp WHERE Name IN (1, 2)", 3464, nullptr},
        {"SELECT Count(*) FROM emp WHERE DeptID NOT BETWEEN 'a' AND 'z'", 3464, nullptr},
        {"SELECT Count(*) FROM emp WHERE DeptID NOT IN (2, 3) AND Name BETWEEN 'A' AND 'B'", 0,
         "1"},
        {"DELETE FROM emp WHERE EmpID = 'x'", 3464, nullptr},
        {"UPDATE emp SET Salary = 1 WHERE Name = 3", 3464, nullptr},
        {"SELECT Count(*) FROM emp WHERE Name = '5' OR DeptID = -1 OR Len(Name) = 5", 0, "1"},
        {"SELECT Count(*) FROM emp WHERE DeptID + 0 = 1 AND 'Aoki' = Name", 0, "1"},
        {"UPDATE emp SET Name = 5 WHERE EmpID = 3", 0, "1"},

        // Jet's error list: 3062 Duplicate output alias; 3063 Duplicate
        // output destination (a field named twice in INSERT's list).
        {"SELECT Name AS x, Salary AS x FROM emp", 3062, nullptr},
        {"SELECT Name, Salary AS name FROM emp", 3062, nullptr},
        {"SELECT e.DeptID, d.DeptID FROM emp e, dept d WHERE e.DeptID = d.DeptID AND e.EmpID = 2",
         0, "1"},
        {"INSERT INTO proj (EmpID, Title, empid) VALUES (1, 'Z', 2)", 3063, nullptr},
        // 3121 / 3120: Cannot group on fields selected with '*' (GROUP BY
        // clause: "*" cannot be grouped).
        {"SELECT * FROM dept GROUP BY DeptID, DeptName", 3121, nullptr},
        {"SELECT d.*, Count(*) FROM dept d GROUP BY d.DeptID, d.DeptName", 3120, nullptr},
        {"SELECT Count(*) FROM (SELECT * FROM emp) AS e GROUP BY DeptID", 0, "2"},
        // 3092: Cannot use HAVING clause in TRANSFORM statement.
        {"TRANSFORM Sum(Salary) SELECT DeptID FROM emp GROUP BY DeptID HAVING Sum(Salary) > 0 "
         "PIVOT Name",
         3092, nullptr},
        // Access: Guidelines for naming fields, controls and objects (no
        // period, exclamation point, accent grave, brackets, leading blank): 3125.
        {"CREATE TABLE [a.b] (x LONG)", 3125, nullptr},
        {"CREATE TABLE t2 (x LONG, [ y] LONG)", 3125, nullptr},
        {"CREATE TABLE t3 (x LONG, [y!] LONG)", 3125, nullptr},
        {"CREATE TABLE t4 (x LONG, [y`z] LONG)", 3125, nullptr},
        {"CREATE INDEX [i.x] ON emp (Name)", 3125, nullptr},
        {"CREATE TABLE [a b] ([x y] LONG)", 0, "0"},
        // CREATE TABLE statement: a field is NULL or NOT NULL, not both (3292).
        {"CREATE TABLE t5 (x TEXT(5) NULL NOT NULL)", 3292, nullptr},
        {"CREATE TABLE t6 (x TEXT(5) NOT NULL)", 0, "0"},
        // Access specifications: one AutoNumber field a table ("Invalid field
        // data type", 3259), whichever statement brings the second.
        {"CREATE TABLE a1 (x COUNTER, y AUTOINCREMENT(10, 5))", 3259, nullptr},
        {"ALTER TABLE dept ADD COLUMN Serial COUNTER", 3259, nullptr},
        {"ALTER TABLE emp ALTER COLUMN Salary COUNTER", 3259, nullptr},
        {"CREATE TABLE a1 (x COUNTER PRIMARY KEY, y LONG)", 0, "0"},
        // Access specifications: at most ten fields in an index (3277),
        // whether an index, a primary key or a unique constraint.
        {"CREATE TABLE w (f1 LONG, f2 LONG, f3 LONG, f4 LONG, f5 LONG, f6 LONG, f7 LONG, f8 LONG, "
         "f9 LONG, f10 LONG, f11 LONG)",
         0, "0"},
        {"CREATE INDEX wide ON w (f1, f2, f3, f4, f5, f6, f7, f8, f9, f10, f11)", 3277, nullptr},
        {"CREATE TABLE w2 (f1 LONG, f2 LONG, f3 LONG, f4 LONG, f5 LONG, f6 LONG, f7 LONG, f8 LONG, "
         "f9 LONG, f10 LONG, f11 LONG, CONSTRAINT pk PRIMARY KEY (f1, f2, f3, f4, f5, f6, f7, f8, "
         "f9, f10, f11))",
         3277, nullptr},
        {"ALTER TABLE w ADD CONSTRAINT u UNIQUE (f1, f2, f3, f4, f5, f6, f7, f8, f9, f10, f11)",
         3277, nullptr},
        {"CREATE UNIQUE INDEX ten ON w (f1, f2, f3, f4, f5, f6, f7, f8, f9, f10)", 0, "0"},
        // CONSTRAINT clause: a relationship joins fields of one data type
        // (3368); a Long may refer to an AutoNumber.
        {"CREATE TABLE r1 (DeptID TEXT(10) REFERENCES dept (DeptID))", 3368, nullptr},
        {"CREATE TABLE r2 (DeptID SHORT, CONSTRAINT fk FOREIGN KEY (DeptID) REFERENCES dept)", 3368,
         nullptr},
        {"ALTER TABLE emp ADD CONSTRAINT fk2 FOREIGN KEY (Salary) REFERENCES dept (DeptID)", 3368,
         nullptr},
        {"CREATE TABLE r3 (DeptID LONG REFERENCES dept (DeptID))", 0, "0"},
        // CONSTRAINT clause: CHECK is a constraint of the table; a field
        // definition has none (3292), in CREATE TABLE or ALTER TABLE.
        {"CREATE TABLE k1 (x LONG CHECK (x > 0))", 3292, nullptr},
        {"CREATE TABLE k1 (x LONG, CONSTRAINT ck CHECK (x > 0))", 0, "0"},
        {"ALTER TABLE dept ADD COLUMN Budget LONG CHECK (Budget > 0)", 3292, nullptr},
        {"ALTER TABLE dept ADD CONSTRAINT ck2 CHECK (DeptID > 0)", 0, "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        if (c.jetError) {
            const engine::ComError e = refused(c.sql);
            EXPECT_EQ(e.jetError(), c.jetError) << e.what();
            EXPECT_FALSE(e.description().value_or("").empty());
            continue;
        }
        try {
            if (std::string(c.sql).rfind("SELECT", 0) == 0) {
                const engine::Variant v = value(c.sql);
                char number[32];
                std::snprintf(number, sizeof number, "%g", v.toDouble());
                EXPECT_EQ(v.vt() == engine::VT_BSTR ? v.text() : std::string(number), c.expected);
            } else {
                EXPECT_EQ(std::to_string(exec(c.sql)), c.expected);
            }
        } catch (const engine::ComError& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

// A refused subquery leaves no trace: the statement that carried it changed
// nothing, and the connection goes on.
TEST_F(JetErrorsTest, ARefusedRowLeavesTheTableAsItWas) {
    EXPECT_EQ(
        refused(
            "INSERT INTO proj (EmpID, Title) SELECT (SELECT EmpID FROM emp WHERE DeptID = 1), 'Z' "
            "FROM dept")
            .jetError(),
        3354);
    EXPECT_EQ(value("SELECT Count(*) FROM proj").intValue(), 2);
    EXPECT_EQ(exec("INSERT INTO proj (EmpID, Title) SELECT (SELECT EmpID FROM emp WHERE Name = "
                   "'Baba'), 'Z' "
                   "FROM dept WHERE DeptID = 2"),
              1);
    EXPECT_EQ(value("SELECT EmpID FROM proj WHERE Title = 'Z'").intValue(), 2);
}

}  // namespace
