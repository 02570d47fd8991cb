// Jet's field types hold only what Jet lets them hold: numbers past a field's
// range are refused with Jet's overflow error, and currency, single, decimal
// and Yes/No values are stored the way Jet stores them, whichever way the row
// came in (a statement, a bulk load) and after the file is reopened.
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "EngineFixture.h"

namespace {

using enginetest::EngineFixture;
using enginetest::jetText;
using enginetest::sqliteAnswer;

class JetTypesTest : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        exec(
            "CREATE TABLE v (ID COUNTER PRIMARY KEY, b BYTE, s SMALLINT, i INTEGER, l LONG, c "
            "CURRENCY, "
            "f SINGLE, n DECIMAL(5, 2), d DATETIME, y YESNO, t TEXT(10))");
    }

    long count(const std::string& where = "") {
        return static_cast<long>(value("SELECT COUNT(*) FROM v" + where).intValue());
    }
};

// Each row: one value stored into one field, by INSERT and by UPDATE, and
// either Jet's error number or the value read back (as %.15g).
struct StoreCase {
    const char* field;
    const char* value;
    int jetError;        // 0: stored
    const char* stored;  // what the field then holds
};

TEST_F(JetTypesTest, EachFieldHoldsWhatItsJetTypeHolds) {
    const StoreCase cases[] = {
        // Access SQL reference: SQL data types (BYTE: 0 to 255).
        {"b", "255", 0, "255"},
        {"b", "0", 0, "0"},
        {"b", "256", 3349, nullptr},
        {"b", "-1", 3349, nullptr},
        // Access SQL reference: SQL data types (SMALLINT/SHORT: -32,768 to 32,767).
        {"s", "32767", 0, "32767"},
        {"s", "-32768", 0, "-32768"},
        {"s", "32768", 3349, nullptr},
        {"s", "-32769", 3349, nullptr},
        // Access SQL reference: SQL data types (INTEGER is the long integer, -2,147,483,648 to
        // 2,147,483,647).
        {"i", "2147483647", 0, "2147483647"},
        {"i", "2147483648", 3349, nullptr},
        {"l", "-2147483648", 0, "-2147483648"},
        {"l", "-2147483649", 3349, nullptr},
        // Access SQL reference: SQL data types (CURRENCY: -922,337,203,685,477.5808 to
        // 922,337,203,685,477.5807; four places after the point).
        {"c", "1.23456", 0, "1.2346"},
        {"c", "-0.00004", 0, "0"},
        {"c", "922337203685477", 0, "922337203685477"},
        {"c", "1E+15", 3349, nullptr},
        // Access SQL reference: SQL data types (REAL/SINGLE: a single-precision number,
        // about ±3.402823E38).
        {"f", "0.1", 0, "0.100000001490116"},
        {"f", "16777217", 0, "16777216"},
        {"f", "1E+39", 3349, nullptr},
        // Access SQL reference: CREATE TABLE / SQL data types (DECIMAL(precision, scale)).
        {"n", "123.456", 0, "123.46"},
        {"n", "-999.994", 0, "-999.99"},
        {"n", "999.995", 3349, nullptr},
        {"n", "1000", 3349, nullptr},
        // VBA reference: Boolean data type (every other number converts to True, -1);
        // Access SQL reference: SQL data types (BIT holds Yes or No, never Null).
        {"y", "5", 0, "-1"},
        {"y", "1", 0, "-1"},
        {"y", "0", 0, "0"},
        {"y", "True", 0, "-1"},
        {"y", "Null", 0, "0"},
        // VBA reference: Date data type (January 1, 100 to December 31, 9999).
        {"d", "#9999/12/31 23:59:59#", 0, "2958465.99998843"},
        {"d", "3000000", 3349, nullptr},
        // VBA reference: CDate function / Date data type (a text that reads as a date
        // becomes one when stored into a Date/Time field; any other text is a mismatch).
        {"d", "'2024-03-01'", 0, "45352"},
        {"d", "'2024-03-01 10:00:00'", 0, "45352.4166666667"},
        {"d", "'2024/03/01'", 0, "45352"},
        {"d", "'3/1/2024 6:00 PM'", 0, "45352.75"},
        {"d", "'soon'", 3464, nullptr},
        {"d", "'2024-02-30'", 3464, nullptr},
    };
    for (const auto& k : cases) {
        for (const bool update : {false, true}) {
            SCOPED_TRACE(std::string(k.field) + " = " + k.value +
                         (update ? " (UPDATE)" : " (INSERT)"));
            exec("DELETE FROM v");
            std::string sql =
                std::string("INSERT INTO v (") + k.field + ") VALUES (" + k.value + ")";
            if (update) {
                exec("INSERT INTO v (t) VALUES ('row')");
                sql = std::string("UPDATE v SET ") + k.field + " = " + k.value;
            }
            if (k.jetError) {
                EXPECT_EQ(refused(sql).jetError(), k.jetError);
                EXPECT_EQ(count(std::string(" WHERE ") + k.field + " IS NOT NULL AND " + k.field +
                                " <> 0"),
                          0)
                    << "the refused value reached the table";
                continue;
            }
            EXPECT_EQ(exec(sql), 1) << "one row affected, as written";
            char text[64];
            std::snprintf(text, sizeof text, "%.15g",
                          value(std::string("SELECT ") + k.field + " FROM v").toDouble());
            EXPECT_STREQ(text, k.stored);
        }
    }
}

// One overflowing row refuses the whole statement, also when it is the last
// of many the statement carries; what the table held is kept.
TEST_F(JetTypesTest, AnOverflowingRowRefusesTheWholeStatement) {
    exec("INSERT INTO v (b, t) VALUES (10, 'a')");
    exec("INSERT INTO v (b, t) VALUES (200, 'b')");
    EXPECT_EQ(refused("INSERT INTO v (b) SELECT b + 60 FROM v").jetError(), 3349);
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(refused("UPDATE v SET b = b * 2").jetError(), 3349);
    EXPECT_EQ(value("SELECT SUM(b) FROM v").intValue(), 210);
    const auto error = refused("UPDATE v SET b = 256 WHERE t = 'a'");
    EXPECT_NE(error.description().value_or("").find("'b'"), std::string::npos)
        << "the message names the field";
}

// A Yes/No field declared NOT NULL still takes Null as False, as Jet does,
// instead of refusing the row.
TEST_F(JetTypesTest, RequiredYesNoTakesNullAsFalse) {
    exec("CREATE TABLE flags (k LONG, done YESNO NOT NULL DEFAULT True)");
    exec("INSERT INTO flags (k, done) VALUES (1, Null)");
    exec("INSERT INTO flags (k) VALUES (2)");
    EXPECT_EQ(value("SELECT done FROM flags WHERE k = 1").intValue(), 0);
    EXPECT_EQ(value("SELECT done FROM flags WHERE k = 2").intValue(), -1);
}

// The bulk loader meets the same rules as a statement, and what it stored is
// what another program reads from the file after it is closed.
TEST_F(JetTypesTest, BulkLoadMeetsTheSameRulesOnDisk) {
    {
        engine::RowInserter rows(*conn_, "v", {"b", "c", "f", "n", "y"});
        rows.Insert({engine::Variant::fromI4(7), engine::Variant::fromR8(2.71828),
                     engine::Variant::fromR8(0.1), engine::Variant::fromR8(2.999),
                     engine::Variant::fromI4(3)});
        rows.Insert({engine::Variant(), engine::Variant(), engine::Variant(), engine::Variant(),
                     engine::Variant()});
        try {
            rows.Insert({engine::Variant::fromI4(300), engine::Variant(), engine::Variant(),
                         engine::Variant(), engine::Variant()});
            ADD_FAILURE() << "300 was loaded into a Byte field";
        } catch (const engine::ComError& e) {
            EXPECT_EQ(e.jetError(), 3349);
        }
        rows.Insert({engine::Variant::fromI4(8), engine::Variant(), engine::Variant(),
                     engine::Variant(), engine::Variant::fromI4(0)});
    }
    conn_->Close();
    EXPECT_EQ(sqliteAnswer(path_, "SELECT b, c, round(f, 12), n, y FROM v ORDER BY ID"),
              "7|2.7183|0.10000000149|3|-1\n||||0\n8||||0");
    EXPECT_EQ(sqliteAnswer(path_, "PRAGMA integrity_check"), "ok");
}

// Date texts given to the bulk loader for a Date/Time field are read as Jet
// reads them (VBA reference: CDate function; ISO forms included), and a text
// that is no date is refused as a type mismatch, not stored as text.
TEST_F(JetTypesTest, BulkLoadReadsDateTextsIntoDateFields) {
    {
        engine::RowInserter rows(*conn_, "v", {"d", "t"});
        for (const char* text : {"2024-03-01", "2024-03-01 10:00:00", "2024/3/1 10:00"}) {
            rows.Insert({engine::Variant::fromText(text), engine::Variant::fromText("ok")});
        }
        try {
            rows.Insert({engine::Variant::fromText("soon"), engine::Variant::fromText("bad")});
            ADD_FAILURE() << "a text that is no date was loaded into a Date/Time field";
        } catch (const engine::ComError& e) {
            EXPECT_EQ(e.jetError(), 3464);
        }
        rows.Insert(
            {engine::Variant(), engine::Variant::fromText("2024-03-01")});  // a text field keeps it
    }
    conn_->Close();
    EXPECT_EQ(sqliteAnswer(path_, "SELECT typeof(d), round(d, 6), t FROM v ORDER BY ID"),
              "real|45352.0|ok\nreal|45352.416667|ok\nreal|45352.416667|ok\nnull||2024-03-01");
}

// A date text stored through a statement becomes a date in a Date/Time
// field and stays the text in a Text field, the same statement shape run
// again with other texts included; another program reads dates on the file.
TEST_F(JetTypesTest, StatementsStoreDateTextsAsDates) {
    exec("INSERT INTO v (d, t) VALUES ('2024-03-01', '2024-03-01')");
    exec("INSERT INTO v (d, t) VALUES ('2024-03-01 10:00', 'x')");
    exec("UPDATE v SET d = '2024/03/02', t = '2024/03/02' WHERE t = 'x'");
    EXPECT_EQ(refused("INSERT INTO v (d, t) VALUES ('x', 'x')").jetError(), 3464);
    // An INSERT naming no fields stores its values in the fields' order.
    exec("CREATE TABLE w (k LONG, d DATETIME, t TEXT(10))");
    exec("ALTER TABLE w DROP COLUMN k");
    exec("ALTER TABLE w ADD COLUMN e DATETIME");
    exec("INSERT INTO w VALUES ('2024-03-01', '2024-03-01', Null)");
    // An UPDATE over a join reads them so as well.
    exec("UPDATE w INNER JOIN v ON w.t = v.t SET w.e = '2024-03-02 12:00', w.t = 'y'");
    conn_->Close();
    EXPECT_EQ(sqliteAnswer(path_, "SELECT typeof(d), d, typeof(t), t FROM v ORDER BY ID"),
              "real|45352.0|text|2024-03-01\nreal|45353.0|text|2024/03/02");
    EXPECT_EQ(sqliteAnswer(path_, "SELECT d, t, e FROM w"), "45352.0|y|45353.5");
}

// An auto-number never hands out a number again once its row is deleted:
// not the highest one, not after the file is reopened, not after the table
// is rebuilt by a change of its definition. Access SQL reference: CREATE
// TABLE (COUNTER / AUTOINCREMENT (seed, increment)).
TEST_F(JetTypesTest, AutoNumbersAreNeverHandedOutAgain) {
    exec("CREATE TABLE stepped (k COUNTER(10, 5), t TEXT(5))");
    for (const char* table : {"v", "stepped"}) {
        for (int i = 0; i < 3; ++i) exec(std::string("INSERT INTO ") + table + " (t) VALUES ('x')");
    }
    exec("DELETE FROM v WHERE ID = 3");
    exec("DELETE FROM stepped WHERE k = 20");
    conn_->Close();
    conn_ = engine::Connection::create();
    conn_->Open(jetText(path_));
    exec("INSERT INTO v (t) VALUES ('y')");
    exec("INSERT INTO stepped (t) VALUES ('y')");
    EXPECT_EQ(value("SELECT ID FROM v WHERE t = 'y'").intValue(), 4);
    EXPECT_EQ(value("SELECT k FROM stepped WHERE t = 'y'").intValue(), 25);

    // Every row gone, then the table rebuilt (a changed field): still onwards.
    exec("DELETE FROM v");
    exec("DELETE FROM stepped");
    exec("ALTER TABLE v ALTER COLUMN t TEXT(20)");
    exec("ALTER TABLE stepped ALTER COLUMN t TEXT(20)");
    exec("INSERT INTO v (t) VALUES ('z')");
    exec("INSERT INTO stepped (t) VALUES ('z')");
    EXPECT_EQ(value("SELECT ID FROM v").intValue(), 5);
    EXPECT_EQ(value("SELECT k FROM stepped").intValue(), 30);
}

// A file written before the rules existed has none of the derived triggers
// (made here by removing them with the sqlite3 program): it opens and takes
// rows as before, and its next definition change gives it the rules.
TEST_F(JetTypesTest, EarlierFilesKeepWorkingAndGainTheRules) {
    conn_->Close();
    // Overflow is each field's own constraint; the stored forms are triggers.
    EXPECT_EQ(sqliteAnswer(path_, "SELECT count(*) FROM sqlite_schema WHERE name LIKE 'vxtype:%'"),
              "2");
    const std::string strip =
        "sqlite3 '" + path_ +
        "' \"DROP TRIGGER [vxtype:v:fixins]; DROP TRIGGER [vxtype:v:fixupd];\"";
    ASSERT_EQ(std::system(strip.c_str()), 0);
    conn_ = engine::Connection::create();
    conn_->Open(jetText(path_));
    exec("INSERT INTO v (b, y) VALUES (1, -1)");
    EXPECT_EQ(count(), 1);
    exec("ALTER TABLE v ADD COLUMN extra LONG");
    EXPECT_EQ(refused("INSERT INTO v (b) VALUES (256)").jetError(), 3349);
    EXPECT_EQ(refused("INSERT INTO v (extra) VALUES (2147483648)").jetError(), 3349);
    exec("ALTER TABLE v DROP COLUMN extra");
    EXPECT_EQ(refused("UPDATE v SET s = 40000").jetError(), 3349);
    exec("UPDATE v SET y = 9");
    EXPECT_EQ(value("SELECT y FROM v").intValue(), -1);
}

// A file whose tables were written when overflow was refused by triggers
// (made by an earlier build of the engine): its fields stay guarded by them,
// a field added in place gets a constraint of its own (every row holds its
// default, so the table's text is amended without testing a row; a default
// that overflows is refused), and a rebuild of the table moves every field to
// its own constraint.
TEST_F(JetTypesTest, FieldsGuardedByTriggersInEarlierFilesStayGuarded) {
    conn_->Close();
    path_ = folder_.Folder() + "earlier.mdb";
    std::filesystem::copy_file(VANTOLY_ENGINE_DATA "/overflowTriggersOnly.mdb", path_);
    conn_ = engine::Connection::create();
    conn_->Open(jetText(path_));
    const auto triggerCount = [&] {
        return sqliteAnswer(path_,
                            "SELECT count(*) FROM sqlite_schema WHERE name LIKE "
                            "'vxtype:Table1:%' AND sql LIKE '%VXOVF%'");
    };
    const auto guardedBy = [&](const char* field) {
        const std::string quoted = std::string("'%\"") + field + "\"%'";
        if (sqliteAnswer(path_,
                         "SELECT count(*) FROM sqlite_schema WHERE name = 'Table1' AND "
                         "sql LIKE '%\"vxovf:" +
                             std::string(field) + "\"%'") == "1")
            return std::string("constraint");
        if (sqliteAnswer(path_,
                         "SELECT count(*) FROM sqlite_schema WHERE name = "
                         "'vxtype:Table1:upd' AND sql LIKE " +
                             quoted) == "1")
            return std::string("trigger");
        return std::string("nothing");
    };
    ASSERT_EQ(triggerCount(), "2");
    // Byte C, Integer D, Long E, Currency H of the earlier table.
    const auto allRefused = [&](const std::string& when) {
        for (const char* sql :
             {"UPDATE Table1 SET C = 256", "UPDATE Table1 SET D = 40000",
              "INSERT INTO Table1 (A, E) VALUES ('x', 2147483648)", "UPDATE Table1 SET H = 1E+15",
              "UPDATE Table1 SET extra = -32769"}) {
            EXPECT_EQ(refused(sql).jetError(), 3349) << when << ": " << sql;
        }
    };
    exec("ALTER TABLE Table1 ADD COLUMN extra SHORT NOT NULL DEFAULT 0");
    EXPECT_EQ(refused("ALTER TABLE Table1 ADD COLUMN wide BYTE DEFAULT 300").jetError(), 3349);
    EXPECT_EQ(guardedBy("extra"), "constraint");
    EXPECT_EQ(guardedBy("wide"), "nothing");
    EXPECT_EQ(guardedBy("D"), "trigger");
    EXPECT_EQ(sqliteAnswer(path_, "PRAGMA integrity_check"), "ok");
    allRefused("field added to an earlier table");
    exec("UPDATE Table1 SET H = 1.23456, extra = 7");
    EXPECT_EQ(value("SELECT H FROM Table1").currency(), 12346);

    exec("ALTER TABLE Table1 ALTER COLUMN B TEXT(120)");
    EXPECT_EQ(triggerCount(), "0");
    allRefused("table rebuilt");
    conn_->Close();
    conn_ = engine::Connection::create();
    conn_->Open(jetText(path_));
    allRefused("reopened");
}

}  // namespace
