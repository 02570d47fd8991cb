// Decimal and Currency fields keep their values exactly: Decimal to its
// declared precision (up to 28 digits, past a double's 15), Currency to the
// ten-thousandth, through storing, comparing, sorting, summing and reading.
#include <sqlite3.h>

#include "AnswerCheck.h"
#include "EngineFixture.h"
#include "engine/DatabaseFiles.h"

namespace {

using enginetest::EngineFixture;

class DecimalTest : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        exec(
            "CREATE TABLE d (ID LONG PRIMARY KEY, D18 DECIMAL(18,0), D28 DECIMAL(28,0), "
            "D4 DECIMAL(10,4), Amount CURRENCY)");
        exec("CREATE INDEX byD18 ON d (D18)");
        exec(
            "INSERT INTO d VALUES (1, 123456789012345678, '9999999999999999999999999999', "
            "'-12.34565', 922337203685.4777)");
        exec(
            "INSERT INTO d VALUES (2, '-123456789012345679', '-1234567890123456789012345678', "
            "'0.0001', 0.1)");
        exec("INSERT INTO d VALUES (3, 9, '10', 5.5, 0.2)");
    }
    std::string text(const std::string& sql) { return enginetest::answerText(value(sql)); }
    std::string column(const std::string& sql) {
        std::string out;
        auto rs = conn_->Execute(sql, nullptr, -1);
        for (; !rs->IsEOF(); rs->MoveNext()) {
            out += (out.empty() ? "" : " ") + enginetest::answerText(rs->Collect(0L));
        }
        return out;
    }
};

TEST_F(DecimalTest, KeepsEveryDigitAndTheScale) {
    struct Case {
        const char* sql;
        const char* expected;
    } const cases[] = {
        // A literal past a double's 15 digits, and a text, come back whole.
        {"SELECT D18 FROM d WHERE ID = 1", "123456789012345678"},
        {"SELECT D18 FROM d WHERE ID = 2", "-123456789012345679"},
        {"SELECT D28 FROM d WHERE ID = 1", "9999999999999999999999999999"},
        {"SELECT D28 FROM d WHERE ID = 2", "-1234567890123456789012345678"},
        // The scale rounds half away from zero; trailing zeros go.
        {"SELECT D4 FROM d WHERE ID = 1", "-12.3457"},
        {"SELECT D4 FROM d WHERE ID = 2", "0.0001"},
        {"SELECT D4 FROM d WHERE ID = 3", "5.5"},
        // Comparisons against number literals and texts go by value.
        {"SELECT ID FROM d WHERE D18 = 123456789012345678", "1"},
        {"SELECT ID FROM d WHERE D18 > 10", "1"},
        {"SELECT ID FROM d WHERE D28 < 9.5", "2"},
        {"SELECT ID FROM d WHERE D4 BETWEEN 5 AND 6", "3"},
        {"SELECT ID FROM d WHERE D28 IN (10, 11)", "3"},
        {"SELECT MAX(D18) FROM d", "123456789012345678"},
        {"SELECT MIN(D4) FROM d", "-12.3457"},
        // Sums and averages are exact and stay Decimal.
        {"SELECT SUM(D18) FROM d", "8"},
        {"SELECT SUM(D28) FROM d", "8765432109876543210987654331"},
        {"SELECT SUM(D4) FROM d", "-6.8456"},
        {"SELECT AVG(D4) FROM d", "-2.281866666666666666666666667"},
        {"SELECT SUM(D18) FROM d WHERE ID = 99", "NULL"},
        {"SELECT CDec('12345678901234567890.5')", "12345678901234567890.5"},
        {"SELECT VarType(D18) FROM d WHERE ID = 1", "14"},
        {"SELECT TypeName(D4) FROM d WHERE ID = 1", "Decimal"},
        {"SELECT VarType(CDec(1))", "14"},
    };
    enginetest::expectAnswers(cases, [&](const std::string& sql) { return text(sql); });
    EXPECT_EQ(value("SELECT SUM(D18) FROM d").vt(), engine::VT_DECIMAL);
    EXPECT_EQ(value("SELECT D4 FROM d WHERE ID = 1").vt(), engine::VT_DECIMAL);
}

TEST_F(DecimalTest, SortsByValueThroughItsIndex) {
    exec("INSERT INTO d (ID, D18, D4) VALUES (4, 100, -3)");
    EXPECT_EQ(column("SELECT D18 FROM d ORDER BY D18"),
              "-123456789012345679 9 100 123456789012345678");
    EXPECT_EQ(column("SELECT D4 FROM d ORDER BY D4 DESC"), "5.5 0.0001 -3 -12.3457");
    // The index answers the range itself, by value.
    EXPECT_EQ(column("SELECT ID FROM d WHERE D18 >= 9 AND D18 < 101 ORDER BY D18"), "3 4");
    EXPECT_EQ(column("SELECT D4 FROM d GROUP BY D4 HAVING D4 > -4 ORDER BY D4"), "-3 0.0001 5.5");
    // The file check reads that index too, and finds it in order.
    conn_->Close();
    EXPECT_EQ(engine::FindDamage(path_), std::nullopt);
}

TEST_F(DecimalTest, RefusesWhatDoesNotFit) {
    struct Case {
        const char* sql;
        int jetError;
    } const cases[] = {
        {"INSERT INTO d (ID, D18) VALUES (10, 1234567890123456789)", engine::jet::kNumericOverflow},
        {"INSERT INTO d (ID, D28) VALUES (10, '99999999999999999999999999999')",
         engine::jet::kNumericOverflow},
        // Rounding to the scale can carry into one digit too many.
        {"INSERT INTO d (ID, D4) VALUES (10, 999999.99995)", engine::jet::kNumericOverflow},
        {"UPDATE d SET D4 = -1000000 WHERE ID = 1", engine::jet::kNumericOverflow},
        {"INSERT INTO d (ID, D18) VALUES (10, 'twelve')", engine::jet::kDataTypeMismatch},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(refused(c.sql).jetError(), c.jetError);
    }
    EXPECT_EQ(text("SELECT COUNT(*) FROM d"), "3");
    EXPECT_EQ(text("SELECT D4 FROM d WHERE ID = 1"), "-12.3457");
    exec("INSERT INTO d (ID, D4) VALUES (10, 999999.9999)");
    EXPECT_EQ(text("SELECT D4 FROM d WHERE ID = 10"), "999999.9999");
}

TEST_F(DecimalTest, BulkInsertCarriesDigitsExactly) {
    engine::RowInserter inserter(*conn_, "d", {"ID", "D28", "D4"});
    inserter.Insert({engine::Variant::fromI4(20),
                     engine::Variant::fromDecimal("-999999999999999999999999999.9"),
                     engine::Variant::fromDecimal("1.00005")});
    EXPECT_EQ(text("SELECT D28 FROM d WHERE ID = 20"), "-1000000000000000000000000000");
    EXPECT_EQ(text("SELECT D4 FROM d WHERE ID = 20"), "1.0001");
}

TEST_F(DecimalTest, CurrencySumsAreExactAndCurrency) {
    // 1024 amounts whose total a double adds up wrong in its last places.
    exec("INSERT INTO d (ID, Amount) VALUES (100, 123456789.1234)");
    for (int step = 1; step < 1024; step *= 2) {
        exec("INSERT INTO d (ID, Amount) SELECT ID + " + std::to_string(step) +
             ", Amount FROM d WHERE ID >= 100");
    }
    const engine::Variant sum = value("SELECT SUM(Amount) FROM d WHERE ID >= 100");
    EXPECT_EQ(sum.vt(), engine::VT_CY);
    EXPECT_EQ(sum.currency(), 1264197520623616LL);
    const engine::Variant small = value("SELECT SUM(Amount) FROM d WHERE ID IN (2, 3)");
    EXPECT_EQ(small.currency(), 3000);
    EXPECT_EQ(value("SELECT AVG(Amount) FROM d WHERE ID IN (2, 3)").currency(), 1500);
    EXPECT_EQ(value("SELECT AVG(Amount) FROM d WHERE ID IN (2, 3)").vt(), engine::VT_CY);
    EXPECT_EQ(text("SELECT VarType(Amount) FROM d WHERE ID = 1"), "6");
    EXPECT_EQ(text("SELECT TypeName(Amount) FROM d WHERE ID = 1"), "Currency");
    EXPECT_EQ(text("SELECT VarType(CCur(1.5))"), "6");
    // A Double field's sum stays a Double.
    EXPECT_EQ(value("SELECT SUM(ID * 1.5) FROM d WHERE ID IN (2, 3)").vt(), engine::VT_R8);
}

// A file written when Decimal fields kept doubles still reads, sorts and sums.
TEST_F(DecimalTest, ReadsDecimalsKeptAsDoubles) {
    conn_->Close();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    const char* sql =
        "CREATE TABLE old (ID INTEGER PRIMARY KEY, Amount REAL) STRICT;"
        "INSERT INTO old VALUES (1, 12.5), (2, -3.25), (3, 100);"
        "INSERT INTO MSysColumns (TableName, ColumnName, Position, Type, DefinedSize, Fixed, "
        "Required, IsCounter, Seed, Increment, Precision, Scale) VALUES "
        "('old', 'ID', 1, 3, 4, 1, 0, 0, 0, 0, 10, 0), "
        "('old', 'Amount', 2, 131, 18, 1, 0, 0, 0, 0, 18, 2);";
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
    conn_->Open(enginetest::jetText(path_));
    EXPECT_EQ(value("SELECT Amount FROM old WHERE ID = 1").vt(), engine::VT_DECIMAL);
    EXPECT_EQ(column("SELECT Amount FROM old ORDER BY Amount"), "-3.25 12.5 100");
    EXPECT_EQ(text("SELECT SUM(Amount) FROM old"), "109.25");
}

}  // namespace
