// A statement run again with other values goes through the connection's
// statement cache (its translation and prepared statement kept by shape, the
// literals bound). These tests run the same statements on one connection,
// which keeps them, and each on a connection of its own, which translates and
// prepares it afresh, and require the same answer from both: rows, field
// types, value types, counts and errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/StatementCache.h"
#include "support/TempFolder.h"

namespace {

std::string jetText(const std::string& path) {
    return engine::DatabaseConnectionText(engine::kJetProvider, path, "");
}

std::shared_ptr<engine::Connection> open(const std::string& path) {
    auto connection = engine::Connection::create();
    connection->Open(jetText(path));
    return connection;
}

std::string show(const engine::Variant& v) {
    std::ostringstream out;
    out << v.vt() << ':';
    switch (v.vt()) {
        case engine::VT_BSTR:
            out << '\'' << v.text() << '\'';
            break;
        case engine::VT_R4:
        case engine::VT_R8:
        case engine::VT_DATE:
        case engine::VT_DECIMAL: {
            char buffer[40];
            std::snprintf(buffer, sizeof buffer, "%.17g", v.doubleValue());
            out << buffer;
            break;
        }
        case engine::VT_ARRAY | engine::VT_UI1:
            out << v.bytes().size() << " bytes";
            break;
        default:
            out << v.intValue();
            break;
    }
    return out.str();
}

// Everything a caller can see of running `sql`: the fields with their types
// and every row with its value types, or the count of rows changed, or the
// error with its numbers and description.
std::string answer(engine::Connection& connection, const std::string& sql) {
    std::ostringstream out;
    try {
        engine::Variant affected;
        auto rs = connection.Execute(sql, &affected, -1);
        if (rs->State() != engine::adStateOpen) {
            out << "changed " << affected.intValue();
            return out.str();
        }
        auto fields = rs->GetFields();
        for (long i = 0; i < fields->Count(); ++i) {
            const engine::Field& f = fields->Item(i);
            out << f.Name() << '/' << f.Type() << '/' << f.DefinedSize() << ' ';
        }
        out << '\n';
        for (; !rs->IsEOF(); rs->MoveNext()) {
            for (long i = 0; i < fields->Count(); ++i) out << show(rs->Collect(i)) << ' ';
            out << '\n';
        }
        rs->Close();
    } catch (const engine::ComError& e) {
        out << "error " << e.jetError() << ' ' << std::hex << static_cast<std::uint32_t>(e.code())
            << ' ' << e.description().value_or("");
    }
    return out.str();
}

struct Script {
    const char* name;
    std::vector<std::string> steps;
};

// Each script runs twice from the same starting file: every step on one
// connection, and every step on a connection of its own.
const Script kScripts[] = {
    {"literal kinds bind as what they are",
     {"SELECT 5 AS a, 2.5 AS b, 'x' AS c, #2020/05/24 10:00:00# AS d, True AS e",
      "SELECT 7 AS a, 1.25 AS b, '12' AS c, #1999/1/2# AS d, False AS e",
      "SELECT 3000000000 AS a, 1e3 AS b, '' AS c, #10:30# AS d, 0 AS e",
      "SELECT 9223372036854775807 AS a, .5 AS b, 'it''s' AS c, #1899/12/30# AS d, -1 AS e",
      // Beyond 64 bits a whole number is a real; negated it is SQLite's smallest integer.
      "SELECT 9223372036854775808 AS a, -9223372036854775808 AS b, \"dq\" AS c, #2020/1/1# AS d, 1 "
      "AS e",
      "SELECT 1e400 AS a, 1.5 AS b, 'z' AS c, #2020/1/1# AS d, 1 AS e"}},
    {"a text literal stays text, a number stays a number",
     {"SELECT ID FROM t WHERE Name = 'one'", "SELECT ID FROM t WHERE Name = '2'",
      "SELECT ID FROM t WHERE ID = '2'", "SELECT ID FROM t WHERE ID = 2",
      "SELECT '1' + 1 AS s, 1 + 1 AS n, '1' & 1 AS c",
      "SELECT 'a' + 'b' AS s, 2 + 3 AS n, 'x' & 2.5 AS c"}},
    {"values compared with fields",
     {"SELECT ID, Name FROM t WHERE Stamp >= #2020/05/02# ORDER BY ID",
      "SELECT ID, Name FROM t WHERE Stamp >= #2020/05/03 12:00# ORDER BY ID",
      "SELECT ID FROM t WHERE Amount BETWEEN 1 AND 2.5 ORDER BY ID",
      "SELECT ID FROM t WHERE Amount BETWEEN 2 AND 9 ORDER BY ID",
      "SELECT ID FROM t WHERE ID IN (1, 3) ORDER BY ID",
      "SELECT ID FROM t WHERE ID IN (2, 4) ORDER BY ID", "SELECT ID FROM t WHERE Name LIKE 'o%'",
      "SELECT ID FROM t WHERE Name LIKE 't%' ORDER BY ID"}},
    {"literals the translation reads: ORDER BY and GROUP BY positions, TOP",
     {"SELECT ID, Name FROM t ORDER BY 2", "SELECT ID, Name FROM t ORDER BY 1",
      "SELECT TOP 1 ID FROM t ORDER BY ID", "SELECT TOP 3 ID FROM t ORDER BY ID",
      "SELECT Amount > 2 AS big, Count(*) AS n FROM t GROUP BY Amount > 2",
      "SELECT Amount > 1 AS big, Count(*) AS n FROM t GROUP BY Amount > 1"}},
    {"functions given literal arguments",
     {"SELECT Format(Stamp, 'yyyy/mm/dd') AS f FROM t WHERE ID = 1",
      "SELECT Format(Stamp, 'hh:nn') AS f FROM t WHERE ID = 2",
      "SELECT DatePart('yyyy', Stamp) AS p FROM t WHERE ID = 1",
      "SELECT DatePart('m', Stamp) AS p FROM t WHERE ID = 1",
      "SELECT Left(Name, 2) AS l, Mid(Name, 2, 1) AS m FROM t WHERE ID = 3",
      "SELECT Left(Name, 4) AS l, Mid(Name, 1, 3) AS m FROM t WHERE ID = 3",
      "SELECT IIf(Amount > 2, 'big', 'small') AS s FROM t ORDER BY ID",
      "SELECT IIf(Amount > 1, 5, 2.5) AS s FROM t ORDER BY ID"}},
    {"changes and their errors",
     {"INSERT INTO t (ID, Name, Amount, Stamp) VALUES (10, 'ten', 10.5, #2021/01/01#)",
      "INSERT INTO t (ID, Name, Amount, Stamp) VALUES (11, 'eleven', 11, #2021/01/02 08:00#)",
      // A key taken, a text too long, a text for a number, a date that is none.
      "INSERT INTO t (ID, Name, Amount, Stamp) VALUES (1, 'again', 1, #2021/01/01#)",
      "INSERT INTO t (ID, Name, Amount, Stamp) VALUES (12, 'a name far too long for it', 1, "
      "#2021/01/01#)",
      "INSERT INTO t (ID, Name, Amount, Stamp) VALUES (13, 'n', 'many', #2021/01/01#)",
      "INSERT INTO t (ID, Name, Amount, Stamp) VALUES (14, 'n', 1, #2021/13/45#)",
      "UPDATE t SET Amount = 7.25 WHERE ID = 2", "UPDATE t SET Amount = -2.5 WHERE ID = -1",
      "UPDATE t SET Amount = -3 WHERE ID = 3", "UPDATE t SET Stamp = #10:30# WHERE ID = 3",
      "UPDATE t SET Stamp = #2020/1/2 10:30# WHERE ID = 3", "UPDATE t SET Amount = 8 WHERE ID > 2",
      "UPDATE t SET Name = 'x' WHERE ID = 99", "DELETE FROM t WHERE ID = 10",
      "DELETE FROM t WHERE ID >= 11", "SELECT * FROM t ORDER BY ID"}},
    {"statements SQLite refuses are never kept",
     {"SELECT Nope FROM t WHERE ID = 1", "SELECT Nope FROM t WHERE ID = 2",
      "SELECT ID FROM missing WHERE ID = 1", "SELECT ID FROM missing WHERE ID = 2",
      "SELECT ID FROM t WHERE ID = 1"}},
    {"definitions between runs",
     {"SELECT * FROM t WHERE ID = 1", "INSERT INTO t (ID, Name) VALUES (20, 'twenty')",
      "ALTER TABLE t ADD COLUMN Extra TEXT(10)", "SELECT * FROM t WHERE ID = 2",
      "INSERT INTO t (ID, Name) VALUES (21, 'twenty-one')",
      "UPDATE t SET Extra = 'e' WHERE ID = 21", "ALTER TABLE t DROP COLUMN Extra",
      "SELECT * FROM t WHERE ID = 21", "DROP TABLE t", "SELECT * FROM t WHERE ID = 1",
      "INSERT INTO t (ID, Name) VALUES (22, 'gone')",
      "CREATE TABLE t (ID TEXT(10), Name LONG, Amount CURRENCY, Stamp TEXT(20))",
      "INSERT INTO t (ID, Name) VALUES (23, 'not a number')",
      "INSERT INTO t (ID, Name) VALUES ('23', 24)", "SELECT * FROM t WHERE ID = '23'",
      "SELECT * FROM t WHERE ID = 23"}},
};

class StatementCacheTest : public ::testing::Test {
  protected:
    void SetUp() override {
        seed_ = folder_.Folder() + "seed.mdb";
        engine::CreateDatabase(seed_);
        auto connection = open(seed_);
        connection->Execute(
            "CREATE TABLE t (ID LONG CONSTRAINT pk PRIMARY KEY, Name TEXT(10), Amount DOUBLE, "
            "Stamp DATETIME)");
        connection->Execute("INSERT INTO t VALUES (1, 'one', 1.5, #2020/05/01 09:00#)");
        connection->Execute("INSERT INTO t VALUES (2, 'two', 2.5, #2020/05/02 10:30#)");
        connection->Execute("INSERT INTO t VALUES (3, 'three', 3.5, #2020/05/03 23:59:59#)");
    }

    std::string copyOfSeed(const std::string& name) {
        const std::string path = folder_.Folder() + name;
        std::filesystem::copy_file(seed_, path);
        return path;
    }

    testsupport::TempFolder folder_;
    std::string seed_;
};

TEST_F(StatementCacheTest, EveryStepAnswersAsOnAFreshConnection) {
    int run = 0;
    for (const Script& script : kScripts) {
        SCOPED_TRACE(script.name);
        const std::string kept = copyOfSeed("kept" + std::to_string(run) + ".mdb");
        const std::string fresh = copyOfSeed("fresh" + std::to_string(run) + ".mdb");
        ++run;
        auto keeping = open(kept);
        for (const std::string& step : script.steps) {
            const std::string cachedAnswer = answer(*keeping, step);
            const std::string freshAnswer = answer(*open(fresh), step);
            EXPECT_EQ(cachedAnswer, freshAnswer) << step;
        }
    }
}

TEST_F(StatementCacheTest, LiteralsKeepTheirTypes) {
    auto connection = open(seed_);
    answer(*connection, "SELECT 1 AS a, 1.5 AS b, 'x' AS c, #2020/1/1# AS d");
    auto rs = connection->Execute("SELECT 2 AS a, 2.75 AS b, '3' AS c, #2020/05/24 10:00# AS d");
    EXPECT_EQ(rs->Collect("a"), engine::Variant::fromI4(2));
    EXPECT_EQ(rs->Collect("b"), engine::Variant::fromR8(2.75));
    EXPECT_EQ(rs->Collect("c"), engine::Variant::fromText("3"));
    EXPECT_EQ(rs->Collect("d"),
              engine::Variant::fromDate(engine::OleDateFromParts(2020, 5, 24, 10, 0, 0)));
}

// Literals where a value is only used bind as parameters: each must match,
// store and compare as the value it is, whether the statement is new or kept.
TEST_F(StatementCacheTest, BoundLiteralsAreTheirValues) {
    struct Case {
        const char* sql;
        engine::Variant expected;  // first field of the first row
    };
    const Case cases[] = {
        {"SELECT ID FROM t WHERE Amount = 2.5", engine::Variant::fromI4(2)},
        {"SELECT ID FROM t WHERE Amount = 3.5", engine::Variant::fromI4(3)},
        {"SELECT ID FROM t WHERE Amount BETWEEN 1.25 AND 1.75", engine::Variant::fromI4(1)},
        {"SELECT ID FROM t WHERE Stamp = #2020/05/02 10:30#", engine::Variant::fromI4(2)},
        {"SELECT ID FROM t WHERE Stamp = #2020/05/03 23:59:59#", engine::Variant::fromI4(3)},
        {"SELECT ID FROM t WHERE Name = 'three'", engine::Variant::fromI4(3)},
        {"SELECT ID FROM t WHERE Name IN ('x', 'two')", engine::Variant::fromI4(2)},
        {"SELECT ID FROM t WHERE ID = -1 OR Amount = -0.5 OR ID = 1", engine::Variant::fromI4(1)},
        {"INSERT INTO t (ID, Name, Amount, Stamp) VALUES (7, '0042', 2.75, #2020/05/24 10:00#)",
         engine::Variant()},
        {"INSERT INTO t (ID, Name, Amount, Stamp) VALUES (8, '8', -0.125, #1899/12/29 06:00#)",
         engine::Variant()},
        {"SELECT Name FROM t WHERE ID = 7", engine::Variant::fromText("0042")},
        {"SELECT Amount FROM t WHERE ID = 7", engine::Variant::fromR8(2.75)},
        {"SELECT Stamp FROM t WHERE ID = 7",
         engine::Variant::fromDate(engine::OleDateFromParts(2020, 5, 24, 10, 0, 0))},
        {"SELECT Name FROM t WHERE ID = 8", engine::Variant::fromText("8")},
        {"SELECT Amount FROM t WHERE ID = 8", engine::Variant::fromR8(-0.125)},
        {"SELECT Stamp FROM t WHERE ID = 8",
         engine::Variant::fromDate(engine::OleDateFromParts(1899, 12, 29, 6, 0, 0))},
    };
    auto connection = open(seed_);
    for (int round = 0; round < 2; ++round) {  // new, then kept
        for (const Case& c : cases) {
            SCOPED_TRACE(c.sql);
            auto rs = connection->Execute(c.sql);
            if (rs->State() != engine::adStateOpen) continue;
            ASSERT_FALSE(rs->IsEOF());
            EXPECT_EQ(rs->Collect(0L), c.expected);
        }
        connection->Execute("DELETE FROM t WHERE ID > 3");
    }
}

// The cache itself: one translation per shape, a literal the translation
// reads kept as part of it, and the same prepared statement used again.
TEST_F(StatementCacheTest, OneTranslationPerShape) {
    auto connection = open(seed_);
    sqlite3* db = engine::detail::connectionHandle(*connection);
    auto cache = std::make_shared<engine::detail::StatementCache>(db);
    auto run = [&](const std::string& sql) {
        engine::detail::ReadyStatement ready = cache->prepare(sql);
        EXPECT_TRUE(ready.prepared) << sql;
        sqlite3_stmt* handle = ready.prepared.get();
        std::string first;
        if (sqlite3_step(handle) == SQLITE_ROW)
            first = reinterpret_cast<const char*>(sqlite3_column_text(handle, 0));
        cache->giveBack(ready.key, ready.serial, std::move(ready.prepared));
        return std::make_pair(handle, first);
    };
    const auto one = run("SELECT Name FROM t WHERE ID = 1");
    const auto two = run("SELECT Name  FROM t WHERE ID=2");
    EXPECT_EQ(one.first, two.first);
    EXPECT_EQ(one.second, "one");
    EXPECT_EQ(two.second, "two");
    EXPECT_EQ(cache->size(), 1u);

    run("SELECT Name FROM t WHERE ID = 1.5");  // a real is another shape
    run("SELECT Name FROM t WHERE ID = '1'");  // and so is a text
    EXPECT_EQ(cache->size(), 3u);

    // A position in ORDER BY is part of the translation, not a value.
    EXPECT_EQ(run("SELECT Name, 0 - ID AS k FROM t ORDER BY 1").second, "one");
    EXPECT_EQ(run("SELECT Name, 0 - ID AS k FROM t ORDER BY 2").second, "three");
    EXPECT_EQ(run("SELECT Name, 0 - ID AS k FROM t ORDER BY 1").second, "one");

    cache->clear();
    EXPECT_EQ(cache->size(), 0u);
}

// Two recordsets of one shape open at once each read their own rows.
TEST_F(StatementCacheTest, SameShapeOpenTwice) {
    auto connection = open(seed_);
    auto outer = connection->Execute("SELECT ID FROM t WHERE ID >= 1 ORDER BY ID");
    std::vector<std::string> pairs;
    for (; !outer->IsEOF(); outer->MoveNext()) {
        const long id = static_cast<long>(outer->Collect(0L).intValue());
        auto inner = connection->Execute("SELECT ID FROM t WHERE ID >= " + std::to_string(id + 1) +
                                         " ORDER BY ID");
        for (; !inner->IsEOF(); inner->MoveNext()) {
            pairs.push_back(std::to_string(id) + "-" +
                            std::to_string(inner->Collect(0L).intValue()));
        }
        inner->Close();
    }
    outer->Close();
    EXPECT_EQ(pairs, (std::vector<std::string>{"1-2", "1-3", "2-3"}));
    EXPECT_EQ(answer(*connection, "SELECT ID FROM t WHERE ID >= 3 ORDER BY ID"),
              answer(*open(seed_), "SELECT ID FROM t WHERE ID >= 3 ORDER BY ID"));
}

// Another connection changes the tables between two runs of a kept
// statement: the kept one answers as a fresh connection does, and a kept
// statement at rest holds no lock that would keep the other from writing.
TEST_F(StatementCacheTest, TablesChangedByAnotherConnection) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> rounds = {
        {"ALTER TABLE t ADD COLUMN Extra DOUBLE",
         {"SELECT * FROM t WHERE ID = 2", "INSERT INTO t (ID, Name) VALUES (31, 'b')"}},
        {"ALTER TABLE t DROP COLUMN Amount",
         {"SELECT * FROM t WHERE ID = 3", "UPDATE t SET Amount = 1 WHERE ID = 1"}},
        {"DROP TABLE t",
         {"SELECT * FROM t WHERE ID = 1", "INSERT INTO t (ID, Name) VALUES (32, 'c')"}},
        {"CREATE TABLE t (ID TEXT(5), Name DATETIME)",
         {"SELECT * FROM t WHERE ID = 1", "INSERT INTO t (ID, Name) VALUES (33, 'd')",
          "INSERT INTO t (ID, Name) VALUES ('33', #2020/1/1#)", "SELECT * FROM t WHERE ID = '33'"}},
    };
    int copies = 0;
    auto keeping = open(seed_);
    answer(*keeping, "SELECT * FROM t WHERE ID = 1");
    answer(*keeping, "INSERT INTO t (ID, Name) VALUES (30, 'a')");
    answer(*keeping, "UPDATE t SET Amount = 2 WHERE ID = 2");
    for (const auto& [change, steps] : rounds) {
        SCOPED_TRACE(change);
        auto other = open(seed_);
        ASSERT_EQ(answer(*other, change), "changed 0");
        for (const std::string& step : steps) {
            const std::string freshAnswer =
                answer(*open(copyOfSeed("round" + std::to_string(++copies) + ".mdb")), step);
            EXPECT_EQ(answer(*keeping, step), freshAnswer) << step;
        }
    }
}

// A rollback takes the definitions back; statements kept inside the
// transaction answer for the tables as they are after it.
TEST_F(StatementCacheTest, RollbackTakesDefinitionsBack) {
    auto connection = open(seed_);
    connection->BeginTrans();
    answer(*connection, "CREATE TABLE u (A LONG, B TEXT(5))");
    EXPECT_EQ(answer(*connection, "INSERT INTO u (A, B) VALUES (1, 'x')"), "changed 1");
    EXPECT_EQ(answer(*connection, "SELECT A, B FROM u WHERE A = 1"),
              "A/3/4 B/202/5 \n3:1 8:'x' \n");
    connection->RollbackTrans();
    const std::string noTable = answer(*connection, "SELECT A, B FROM u WHERE A = 2");
    EXPECT_EQ(noTable, answer(*open(seed_), "SELECT A, B FROM u WHERE A = 2"));
    EXPECT_EQ(noTable.rfind("error 3078", 0), 0u) << noTable;
    EXPECT_EQ(answer(*connection, "INSERT INTO u (A, B) VALUES (2, 'y')").rfind("error 3078", 0),
              0u);

    answer(*connection, "CREATE TABLE u (A TEXT(5), B DATETIME)");
    EXPECT_EQ(answer(*connection, "INSERT INTO u (A, B) VALUES ('3', #2020/05/24#)"), "changed 1");
    EXPECT_EQ(answer(*connection, "SELECT A, B FROM u WHERE A = '3'"),
              answer(*open(seed_), "SELECT A, B FROM u WHERE A = '3'"));
}

}  // namespace
