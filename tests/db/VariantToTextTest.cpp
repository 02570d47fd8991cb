#include <gtest/gtest.h>

#include <limits>

#include "db/VariantToText.h"
#include "tests/db/LocaleGuard.h"

namespace {

using engine::Variant;

struct TextCase {
    const char* label;
    Variant value;
    std::string expected;
};

void ExpectTexts(const std::vector<TextCase>& cases) {
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(db::VariantToText(c.value, "."), c.expected);
    }
}

TEST(VariantToText, PlainValues) {
    ExpectTexts({
        {"null", Variant::null(), "NULL"},
        {"empty", Variant(), "NULL"},
        {"16-bit -1", Variant::fromI2(-1), "-1"},
        {"32-bit minimum", Variant::fromI4(std::numeric_limits<std::int32_t>::min()),
         "-2147483648"},
        {"double 1.25 keeps one decimal", Variant::fromR8(1.25), "1.2"},
        {"double 2", Variant::fromR8(2.0), "2.0"},
        {"double -0.04 keeps its sign", Variant::fromR8(-0.04), "-0.0"},
        {"single widened", Variant::fromR4(0.1f), "0.1"},
        {"byte 255", Variant::fromUI1(255), "0xFF"},
        {"byte 10", Variant::fromUI1(10), "0x0A"},
        {"yes/no 0", Variant::fromBool(false), "FALSE"},
        {"yes/no -1", Variant::fromBool(true), "TRUE"},
        {"yes/no 1", Variant::withTag(engine::VT_BOOL, 1), "TRUE"},
        {"text", Variant::fromText("テーブル名"), "テーブル名"},
        {"text ends at NUL", Variant::fromText(std::string("ab\0cd", 5)), "ab"},
        {"text with a stray byte",
         Variant::fromText("a\xFF"
                           "b"),
         "a?b"},
        {"empty text", Variant::fromText(""), ""},
        {"decimal past a double's digits", Variant::fromDecimal("123456789012345678"),
         "123456789012345678"},
        {"decimal of 28 digits, negative", Variant::fromDecimal("-1234567890.123456789012345678"),
         "-1234567890.123456789012345678"},
        {"decimal from a double", Variant::fromDecimal(0.1), "0.1"},
    });
    EXPECT_EQ(db::VariantToText(Variant::fromDecimal("-12.5"), ","), "-12,5");
}

TEST(VariantToText, TagNamesAndMarkers) {
    ExpectTexts({
        {"15", Variant::withTag(15), "<Unknown>"},
        {"dispatch", Variant::withTag(engine::VT_DISPATCH), "VT_DISPATCH"},
        {"error", Variant::withTag(engine::VT_ERROR), "VT_ERROR"},
        {"I1", Variant::withTag(engine::VT_I1, 5), "VT_I1"},
        {"UI4", Variant::withTag(engine::VT_UI4, 5), "VT_UI4"},
        {"I8", Variant::fromI8(5), "VT_I8"},
        {"LPWSTR (31)", Variant::withTag(31), "VT_LPWSTR"},
        {"32", Variant::withTag(32), "<Unknown>"},
        {"FILETIME (64)", Variant::withTag(64), "VT_FILETIME"},
        {"CLSID (72)", Variant::withTag(72), "VT_CLSID"},
        {"73", Variant::withTag(73), "<Unknown>"},
        {"byte array", Variant::fromBytes({1, 2}), "Array of VT_UI1"},
        {"by-reference I4", Variant::withTag(0x4003), "Pointer to VT_I4"},
        {"by-reference yes/no", Variant::withTag(0x400B), "Pointer to VT_BOOL"},
        {"by-reference array of variants", Variant::withTag(0x600C),
         "Array of Pointer to VT_VARIANT"},
        {"array of decimals", Variant::withTag(0x200E), "Array of "},
        {"by-reference decimal", Variant::withTag(0x400E), "Pointer to "},
        {"vector", Variant::withTag(0x1003), "<Unknown>"},
        {"array of vectors", Variant::withTag(0x3011), "Array of "},
    });
}

TEST(VariantToText, DatesToTheMinute) {
    ExpectTexts({
        {"day zero", Variant::fromDate(0.0), "1899/12/30 00:00"},
        {"negative days, positive time", Variant::fromDate(-1.25), "1899/12/29 06:00"},
        {"seconds are not shown",
         Variant::fromDate(engine::OleDateFromParts(2020, 5, 24, 13, 7, 30)), "2020/05/24 13:07"},
        {"rounded to the second first",
         Variant::fromDate(engine::OleDateFromParts(2020, 5, 24, 23, 59, 59.6)),
         "2020/05/25 00:00"},
        {"year 100", Variant::fromDate(engine::OleDateFromParts(100, 1, 1)), "100/01/01 00:00"},
        {"year 9999", Variant::fromDate(engine::OleDateFromParts(9999, 12, 31, 23, 59)),
         "9999/12/31 23:59"},
        {"before year 100", Variant::fromDate(engine::OleDateFromParts(100, 1, 1) - 1.0),
         "Invalid DateTime"},
        {"after year 9999", Variant::fromDate(engine::OleDateFromParts(9999, 12, 31) + 1.0),
         "Invalid DateTime"},
    });
}

TEST(VariantToText, CurrencyWithoutTrailingZeros) {
    ExpectTexts({
        {"1.25", Variant::fromCurrency(12500), "1.25"},
        {"100", Variant::fromCurrency(1000000), "100"},
        {"-1.25", Variant::fromCurrency(-12500), "-1.25"},
        {"0", Variant::fromCurrency(0), "0"},
        {"0.0005", Variant::fromCurrency(5), "0.0005"},
        {"-0.5", Variant::fromCurrency(-5000), "-0.5"},
        {"most negative", Variant::fromCurrency(std::numeric_limits<std::int64_t>::min()),
         "-922337203685477.5808"},
    });
}

// Only the currency text follows the user's locale; every other number keeps
// the full stop.
TEST(VariantToText, UnderACommaLocaleOnlyCurrencyUsesTheComma) {
    dbtest::LocaleGuard locale(dbtest::kCommaLocale);
    ASSERT_LOCALE_ACTIVE(locale);
    EXPECT_EQ(db::VariantToText(Variant::fromCurrency(12500)), "1,25");
    EXPECT_EQ(db::VariantToText(Variant::fromR8(1.25)), "1.2");
    EXPECT_EQ(db::VariantToText(Variant::fromR4(2.5f)), "2.5");
    EXPECT_EQ(db::VariantToText(Variant::fromI4(1234567)), "1234567");
}

}  // namespace
