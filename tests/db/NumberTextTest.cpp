#include <gtest/gtest.h>

#include "db/NumberText.h"
#include "db/Utf8Text.h"
#include "tests/db/LocaleGuard.h"

namespace {

struct ReadCase {
    std::string text;
    std::string separator;
    double expected;
};

TEST(ReadLeadingNumber, ReadsTheLeadingNumberWithEitherSeparator) {
    const ReadCase cases[] =
        {
            // text, decimal separator of the locale, number read
            {"1.25", ".", 1.25},  {"1.25abc", ".", 1.25}, {"  -1.5", ".", -1.5},
            {"1e2", ".", 100.0},  {"abc", ".", 0.0},      {"", ".", 0.0},
            {"1,25", ".", 1.0},  // under a full-stop locale the comma ends the number
            {"1,25", ",", 1.25},  {"1.25", ",", 1.25},    {",5", ",", 0.5},
            {"-1,5x", ",", -1.5}, {",", ",", 0.0},        {"1,,5", ",", 1.0},
        };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\" with separator \"" + c.separator + "\"");
        EXPECT_DOUBLE_EQ(db::ReadLeadingNumber(c.text, c.separator), c.expected);
    }
}

TEST(FormatFixed, UsesTheFullStopUnderACommaLocale) {
    dbtest::LocaleGuard locale(dbtest::kCommaLocale);
    ASSERT_LOCALE_ACTIVE(locale);
    ASSERT_EQ(db::LocaleDecimalSeparator(), ",");

    struct Case {
        double value;
        int precision;
        int width;
        std::string expected;
    };
    const Case cases[] = {
        {1.25, 2, 3, "1.25"},  {0.0, 2, 3, "0.00"},
        {1.3, 2, 3, "1.30"},   {1.25, 1, 0, "1.2"},
        {-0.04, 1, 0, "-0.0"}, {2.0, 1, 0, "2.0"},
        {5.0, 0, 3, "  5"},    {123456.789, 1, 0, "123456.8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(db::FormatFixed(c.value, c.precision, c.width), c.expected);
    }
    EXPECT_EQ(db::FormatInteger(-1234567), "-1234567");
}

TEST(Utf8Text, CutsAndRepairsAtCharacterBoundaries) {
    const std::string a = "a";
    const std::string kana = "\xE3\x81\x82";  // あ
    EXPECT_EQ(db::CutUtf8(a + kana, 1), a);
    EXPECT_EQ(db::CutUtf8(a + kana, 3), a);
    EXPECT_EQ(db::CutUtf8(a + kana, 4), a + kana);
    EXPECT_EQ(db::CutUtf8(std::string(6, '\x80'), 4), std::string(4, '\x80'));

    EXPECT_EQ(db::RepairUtf8(a + kana), a + kana);
    EXPECT_EQ(db::RepairUtf8("\xE3\x81"), "??");         // cut character
    EXPECT_EQ(db::RepairUtf8("\xC0\xAF"), "??");         // overlong form
    EXPECT_EQ(db::RepairUtf8("\xED\xA0\x80x"), "???x");  // surrogate
    EXPECT_EQ(db::RepairUtf8("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}

}  // namespace
