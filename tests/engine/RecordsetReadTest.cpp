// Reading a recordset's values: by name in the fields' own order (the order
// the recordset guesses first), in another order, in another letter case, and
// by position must all give the same value, of the field's type, for every
// Jet type, for Null, and for computed columns whose type follows each value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "EngineFixture.h"

namespace {

using enginetest::EngineFixture;

class RecordsetReadTest : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        exec(
            "CREATE TABLE typed (ID LONG, Small SMALLINT, Tiny BYTE, Price CURRENCY, Ratio SINGLE, "
            "Amount DOUBLE, Stamp DATETIME, Flag YESNO, Name VARCHAR(20), Notes MEMO, "
            "NameB VARCHAR(20))");
        exec(
            "INSERT INTO typed VALUES (1, -12, 200, 12.3456, 0.1, 2.5, #2020/05/24 10:30:00#, "
            "True, 'Aoki Ken', '株式会社テスト運輸', 'b')");
        exec("INSERT INTO typed (ID, Flag) VALUES (2, False)");
    }

    struct Read {
        std::vector<std::string> names;
        std::vector<std::vector<engine::Variant>> rows;  // in the fields' order
    };

    // Reads every row of `sql`, the fields taken in the order `order` gives
    // (positions into the fields), each by name spelled by `spell` or, when
    // `byPosition`, by position.
    Read readAll(const std::string& sql, const std::vector<long>& order,
                 std::string (*spell)(std::string), bool byPosition) {
        Read read;
        auto rs = conn_->Execute(sql, nullptr, -1);
        auto fields = rs->GetFields();
        for (long i = 0; i < fields->Count(); ++i) read.names.push_back(fields->Item(i).Name());
        for (; !rs->IsEOF(); rs->MoveNext()) {
            std::vector<engine::Variant> row(read.names.size());
            for (long i : order) {
                const auto at = static_cast<std::size_t>(i);
                row[at] = byPosition ? rs->Collect(i) : rs->Collect(spell(read.names[at]));
            }
            read.rows.push_back(std::move(row));
        }
        return read;
    }

    // The same rows read every way; returns them in the fields' order.
    std::vector<std::vector<engine::Variant>> readEveryWay(const std::string& sql, long columns) {
        std::vector<long> inOrder(static_cast<std::size_t>(columns));
        for (long i = 0; i < columns; ++i) inOrder[static_cast<std::size_t>(i)] = i;
        std::vector<long> reversed(inOrder.rbegin(), inOrder.rend());
        std::vector<long> skipping;  // every other field, then the rest
        for (long i = 0; i < columns; i += 2) skipping.push_back(i);
        for (long i = 1; i < columns; i += 2) skipping.push_back(i);

        auto same = [](std::string name) { return name; };
        auto upper = [](std::string name) {
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            return name;
        };
        auto lower = [](std::string name) {
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            return name;
        };

        const Read first = readAll(sql, inOrder, same, true);
        EXPECT_EQ(first.names.size(), static_cast<std::size_t>(columns));
        const Read others[] = {
            readAll(sql, inOrder, same, false),   readAll(sql, reversed, same, false),
            readAll(sql, skipping, same, false),  readAll(sql, inOrder, upper, false),
            readAll(sql, skipping, lower, false),
        };
        for (const Read& other : others) {
            EXPECT_EQ(other.rows, first.rows) << sql;
        }
        return first.rows;
    }
};

TEST_F(RecordsetReadTest, EveryTypeReadsAlikeByNameInAnyOrderOrCaseAndByPosition) {
    const auto rows = readEveryWay("SELECT * FROM typed ORDER BY ID", 11);
    ASSERT_EQ(rows.size(), 2U);
    const auto& full = rows[0];
    EXPECT_EQ(full[0], engine::Variant::fromI4(1));
    EXPECT_EQ(full[1], engine::Variant::fromI2(-12));
    EXPECT_EQ(full[2], engine::Variant::fromUI1(200));
    EXPECT_EQ(full[3], engine::Variant::fromCurrency(123456));
    EXPECT_EQ(full[4], engine::Variant::fromR4(0.1F));
    EXPECT_EQ(full[5], engine::Variant::fromR8(2.5));
    EXPECT_EQ(full[6], engine::Variant::fromDate(engine::OleDateFromParts(2020, 5, 24, 10, 30, 0)));
    EXPECT_EQ(full[7], engine::Variant::fromBool(true));
    EXPECT_EQ(full[8], engine::Variant::fromText("Aoki Ken"));
    EXPECT_EQ(full[9], engine::Variant::fromText("株式会社テスト運輸"));
    EXPECT_EQ(full[10], engine::Variant::fromText("b"));

    const auto& empty = rows[1];
    EXPECT_EQ(empty[0], engine::Variant::fromI4(2));
    EXPECT_EQ(empty[7], engine::Variant::fromBool(false));
    for (std::size_t i : {1U, 2U, 3U, 4U, 5U, 6U, 8U, 9U, 10U}) {
        EXPECT_TRUE(empty[i].isNull()) << "field " << i;
    }
}

// Computed columns carry no type of their own: each value brings its own,
// and a whole number too large for a Long reads as a Double.
TEST_F(RecordsetReadTest, ComputedColumnsTakeEachValuesOwnType) {
    const auto rows = readEveryWay(
        "SELECT ID * 3000000000 AS Big, ID + 1 AS Next, Amount / 2 AS Half, Name & '!' AS Shout "
        "FROM typed ORDER BY ID",
        4);
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[0][0], engine::Variant::fromR8(3000000000.0));
    EXPECT_EQ(rows[0][1], engine::Variant::fromI4(2));
    EXPECT_EQ(rows[0][2], engine::Variant::fromR8(1.25));
    EXPECT_EQ(rows[0][3], engine::Variant::fromText("Aoki Ken!"));
    EXPECT_EQ(rows[1][0], engine::Variant::fromR8(6000000000.0));
    EXPECT_TRUE(rows[1][2].isNull());
    EXPECT_EQ(rows[1][3], engine::Variant::fromText("!"));
}

}  // namespace

// Texts are held inside a value up to a size and shared beyond it: a value
// kept from an earlier row must not change when later rows are read, on
// either side of that size and for long memos.
TEST_F(RecordsetReadTest, TextsKeptFromEarlierRowsStayAsTheyWere) {
    exec("CREATE TABLE notes (ID LONG, Body MEMO)");
    const std::vector<std::string> bodies = {
        std::string(engine::Variant::kInlineText, 'a'),
        std::string(engine::Variant::kInlineText + 1, 'b'),
        std::string(5000, 'c'),
        std::string(5000, 'd'),
        "",
        std::string(70, 'e'),
    };
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        exec("INSERT INTO notes VALUES (" + std::to_string(i) + ", '" + bodies[i] + "')");
    }
    auto rs = conn_->Execute("SELECT Body FROM notes ORDER BY ID", nullptr, -1);
    std::vector<engine::Variant> kept;
    for (; !rs->IsEOF(); rs->MoveNext()) {
        rs->Collect("Body");  // read and dropped: its memory may serve the next row
        kept.push_back(rs->Collect("Body"));
    }
    ASSERT_EQ(kept.size(), bodies.size());
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        EXPECT_EQ(kept[i].text(), bodies[i]) << "row " << i;
    }
}

// Field names alike but for one byte, at every length the name comparison
// treats differently, each read by name out of the guessed order.
TEST_F(RecordsetReadTest, NamesDifferingInOneByteFindTheirOwnField) {
    std::vector<std::string> names;
    for (std::size_t length : {1U, 2U, 3U, 5U, 8U, 12U, 16U, 17U, 30U}) {
        std::string name(length, 'n');
        const std::size_t middle = length / 2;
        name[middle] = 'x';
        names.push_back(name);
        name[middle] = 'y';
        names.push_back(name);
    }
    std::string create = "CREATE TABLE alike (";
    std::string insert = "INSERT INTO alike VALUES (";
    for (std::size_t i = 0; i < names.size(); ++i) {
        create += (i ? ", [" : "[") + names[i] + "] LONG";
        insert += (i ? ", " : "") + std::to_string(i);
    }
    exec(create + ")");
    exec(insert + ")");
    auto rs = conn_->Execute("SELECT * FROM alike", nullptr, -1);
    for (std::size_t i = names.size(); i-- > 0;) {
        EXPECT_EQ(rs->Collect(names[i]), engine::Variant::fromI4(static_cast<std::int32_t>(i)))
            << names[i];
    }
    for (std::size_t i = 0; i < names.size(); i += 2) {  // skipping: never the guess
        EXPECT_EQ(rs->Collect(names[i]), engine::Variant::fromI4(static_cast<std::int32_t>(i)))
            << names[i];
    }
}
