// The VBA functions of Jet's expression service, one row a case: the
// statement and either the first value it answers or the Jet error it
// raises. Each case names the public reference page it follows.
#include <cstdio>
#include <string>
#include <vector>

#include "EngineFixture.h"

namespace {

using enginetest::EngineFixture;

struct FunctionCase {
    const char* sql;
    const char* expected;  // the first column of the first row; nullptr: an error
    int error = 0;         // the Jet error number when refused
};

// Numbers through %.10g, dates as yyyy/mm/dd hh:nn:ss, Yes/No as True or
// False, Null as "Null".
std::string textOf(const engine::Variant& v) {
    char buf[64];
    switch (v.vt()) {
        case engine::VT_NULL:
        case engine::VT_EMPTY:
            return "Null";
        case engine::VT_BSTR:
            return std::string(v.text());
        case engine::VT_BOOL:
            return v.intValue() ? "True" : "False";
        case engine::VT_DATE: {
            engine::DateParts p{};
            if (!engine::OleDateToParts(v.doubleValue(), p)) return "bad date";
            std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", p.year, p.month, p.day,
                          p.hour, p.minute, p.second);
            return buf;
        }
        default:
            std::snprintf(buf, sizeof buf, "%.10g", v.toDouble());
            return buf;
    }
}

class JetFunctionsTest : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        engine::SetNowForTesting(engine::OleDateFromParts(2020, 5, 24, 13, 7, 30));
    }
    void TearDown() override { engine::SetNowForTesting(std::nullopt); }

    void expectCases(std::initializer_list<FunctionCase> cases) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.sql);
            if (c.expected) {
                try {
                    EXPECT_EQ(textOf(value(c.sql)), c.expected);
                } catch (const engine::ComError& e) {
                    ADD_FAILURE() << "refused: " << e.what();
                }
            } else {
                const engine::ComError e = refused(c.sql);
                EXPECT_EQ(e.jetError(), c.error) << e.what();
                EXPECT_FALSE(e.description().value_or("").empty());
            }
        }
    }
};

TEST_F(JetFunctionsTest, TextFunctions) {
    expectCases({
        // VBA reference: String function
        {"SELECT String(3, '*')", "***"},
        {"SELECT String(2, 'ABC')", "AA"},
        {"SELECT String(3, 42)", "***"},
        {"SELECT String(-1, 'a')", nullptr, 5},
        {"SELECT String(Null, 'a')", "Null"},
        // VBA reference: Space function
        {"SELECT 'a' & Space(3) & 'b'", "a   b"},
        {"SELECT Space(-2)", nullptr, 5},
        // VBA reference: StrComp function (text compare unless 0 is given)
        {"SELECT StrComp('ABCD', 'abcd')", "0"},
        {"SELECT StrComp('ABCD', 'abcd', 1)", "0"},
        {"SELECT StrComp('ABCD', 'abcd', 0)", "-1"},
        {"SELECT StrComp('abcd', 'ABCD', 0)", "1"},
        {"SELECT StrComp('ÉCOLE', 'école')", "0"},
        {"SELECT StrComp(Null, 'a')", "Null"},
        {"SELECT StrComp('a', 'b', 7)", nullptr, 5},
        // VBA reference: StrConv function
        {"SELECT StrConv('the QUICK brown fox', 3)", "The Quick Brown Fox"},
        {"SELECT StrConv('ÉCOLE Ωμέγα', 2)", "école ωμέγα"},
        {"SELECT StrConv('abc 12', 4)", "ａｂｃ　１２"},
        {"SELECT StrConv('ＡＢＣ　１２', 8)", "ABC 12"},
        {"SELECT StrConv('ｶﾞｯｺｳ ﾊﾟﾝ', 4)", "ガッコウ　パン"},
        {"SELECT StrConv('ガッコウ パン', 8)", "ｶﾞｯｺｳ ﾊﾟﾝ"},
        {"SELECT StrConv('ひらがなテスト', 16)", "ヒラガナテスト"},
        {"SELECT StrConv('カタカナ', 32)", "かたかな"},
        {"SELECT StrConv('abc', 1 + 4)", "ＡＢＣ"},
        {"SELECT StrConv('abc', 12)", nullptr, 5},
        {"SELECT StrConv('abc', 48)", nullptr, 5},
        // VBA reference: StrReverse function
        {"SELECT StrReverse('Test')", "tseT"},
        {"SELECT StrReverse('日本語')", "語本日"},
        {"SELECT StrReverse(Null)", nullptr, 94},
        // VBA reference: InStr function (Access SQL compares as text by default)
        {"SELECT InStr('XXpXXpXXPXXP', 'P')", "3"},
        {"SELECT InStr(4, 'XXpXXpXXPXXP', 'P', 1)", "6"},
        {"SELECT InStr(1, 'XXpXXpXXPXXP', 'P', 0)", "9"},
        {"SELECT InStr(1, 'XXpXXpXXPXXP', 'W')", "0"},
        {"SELECT InStr(2, 'abc', '')", "2"},
        {"SELECT InStr(5, 'abc', '')", "0"},
        {"SELECT InStr('日本語のテキスト', 'テ')", "5"},
        {"SELECT InStr(Null, 'a')", "Null"},
        {"SELECT InStr(0, 'abc', 'a')", nullptr, 5},
        // VBA reference: InStrRev function
        {"SELECT InStrRev('XXpXXpXXPXXP', 'P', 10, 0)", "9"},
        {"SELECT InStrRev('XXpXXpXXPXXP', 'P', -1, 0)", "12"},
        {"SELECT InStrRev('XXpXXpXXPXXP', 'p')", "12"},
        {"SELECT InStrRev('XXpXXpXXPXXP', 'p', 11, 0)", "6"},
        {"SELECT InStrRev('abc', 'c', 0)", nullptr, 5},
        // VBA reference: Replace function
        {"SELECT Replace('alphabet', 'a', 'x')", "xlphxbet"},
        {"SELECT Replace('alphabet', 'A', 'x')", "xlphxbet"},
        {"SELECT Replace('alphabet', 'A', 'x', 1, -1, 0)", "alphabet"},
        {"SELECT Replace('alphabet', 'a', 'x', 3)", "phxbet"},
        {"SELECT Replace('aaaa', 'a', 'b', 1, 2)", "bbaa"},
        {"SELECT Replace('abc', '', 'x')", "abc"},
        {"SELECT Replace('abc', 'b', '')", "ac"},
        {"SELECT Replace('abc', 'a', 'x', 9)", ""},
        {"SELECT Replace(Null, 'a', 'b')", nullptr, 94},
        {"SELECT Replace('abc', 'a', 'b', 0)", nullptr, 5},
        // VBA reference: Mid function
        {"SELECT Mid('Mid Function Demo', 5)", "Function Demo"},
        {"SELECT Mid('Mid Function Demo', 14, 4)", "Demo"},
        {"SELECT Mid('日本語の文', 2)", "本語の文"},
        {"SELECT Mid('abc', 5)", ""},
        {"SELECT Mid(Null, 2)", "Null"},
        {"SELECT Mid('abc', 0, 1)", nullptr, 5},
        {"SELECT Mid('abc', 1, -1)", nullptr, 5},
        // VBA reference: AscW function, ChrW function
        {"SELECT AscW('A')", "65"},
        {"SELECT AscW('あいう')", "12354"},
        {"SELECT AscW(ChrW(65535))", "-1"},
        {"SELECT AscW('')", nullptr, 5},
        {"SELECT ChrW(12354) & ChrW(65)", "あA"},
        {"SELECT ChrW(70000)", nullptr, 5},
        // VBA reference: Hex function, Oct function
        {"SELECT Hex(459)", "1CB"},
        {"SELECT Hex(255)", "FF"},
        {"SELECT Hex(-1)", "FFFF"},
        {"SELECT Hex(-40000)", "FFFF63C0"},
        {"SELECT Hex(10.5)", "A"},
        {"SELECT Hex(11.5)", "C"},
        {"SELECT Oct(459)", "713"},
        {"SELECT Oct(-1)", "177777"},
        {"SELECT Hex(Null)", "Null"},
        {"SELECT Hex('abc')", nullptr, 13},
    });
}

TEST_F(JetFunctionsTest, ChoosingAndInspectingValues) {
    expectCases({
        // VBA reference: Switch function
        {"SELECT Switch(1 = 2, 'a', 2 = 2, 'b', True, 'c')", "b"},
        {"SELECT Switch(False, 'a')", "Null"},
        {"SELECT Switch(Null, 'a', True, 'b')", "b"},
        {"SELECT Switch(True, 'a', False)", nullptr, 5},
        {"SELECT Switch(True)", nullptr, 3075},
        // VBA reference: Choose function
        {"SELECT Choose(2, 'Speedy', 'United', 'Federal')", "United"},
        {"SELECT Choose(1.6, 'a', 'b')", "b"},
        {"SELECT Choose(4, 'a', 'b')", "Null"},
        {"SELECT Choose(0, 'a', 'b')", "Null"},
        {"SELECT Choose(Null, 'a')", nullptr, 94},
        // VBA reference: IsDate function
        {"SELECT IsDate('2020/02/29')", "True"},
        {"SELECT IsDate('2021/02/29')", "False"},
        {"SELECT IsDate(#2020/01/01#)", "True"},
        {"SELECT IsDate(Now())", "True"},
        {"SELECT IsDate(5)", "False"},
        {"SELECT IsDate(Null)", "False"},
        // VBA reference: IsNumeric function
        {"SELECT IsNumeric('53')", "True"},
        {"SELECT IsNumeric(' -1,000.5 ')", "True"},
        {"SELECT IsNumeric('1.5E3')", "True"},
        {"SELECT IsNumeric('&HFF')", "True"},
        {"SELECT IsNumeric('459.95x')", "False"},
        {"SELECT IsNumeric('')", "False"},
        {"SELECT IsNumeric(Null)", "False"},
        {"SELECT IsNumeric(#2020/01/01#)", "False"},
        {"SELECT IsNumeric(2.5)", "True"},
        // VBA reference: IsEmpty function (a query's values are never Empty)
        {"SELECT IsEmpty(Null)", "False"},
        {"SELECT IsEmpty('')", "False"},
        // VBA reference: VarType function, TypeName function
        {"SELECT VarType('a')", "8"},
        {"SELECT VarType(1)", "3"},
        {"SELECT VarType(1.5)", "5"},
        {"SELECT VarType(Null)", "1"},
        {"SELECT VarType(#2020/01/01#)", "7"},
        {"SELECT VarType(True)", "11"},
        {"SELECT TypeName('a')", "String"},
        {"SELECT TypeName(Now())", "Date"},
        {"SELECT TypeName(Null)", "Null"},
        // VBA reference: Type conversion functions (CByte, CDec, CVar)
        {"SELECT CByte(254.5)", "254"},
        {"SELECT CByte(255.5)", nullptr, 6},
        {"SELECT CByte(-1)", nullptr, 6},
        {"SELECT CByte('12')", "12"},
        {"SELECT CByte(Null)", nullptr, 94},
        {"SELECT CByte('x')", nullptr, 13},
        {"SELECT CDec('1.25') * 2", "2.5"},
        {"SELECT CVar(5) + 1", "6"},
    });
}

TEST_F(JetFunctionsTest, DateFunctions) {
    expectCases({
        // VBA reference: DateSerial function (two-digit years, carried months and days)
        {"SELECT DateSerial(1990 - 10, 8 - 2, 1 - 1)", "1980/05/31 00:00:00"},
        {"SELECT DateSerial(20, 1, 1)", "2020/01/01 00:00:00"},
        {"SELECT DateSerial(29, 12, 31)", "2029/12/31 00:00:00"},
        {"SELECT DateSerial(30, 1, 1)", "1930/01/01 00:00:00"},
        {"SELECT DateSerial(99, 13, 1)", "2000/01/01 00:00:00"},
        {"SELECT DateSerial(2020, 13, 1)", "2021/01/01 00:00:00"},
        {"SELECT DateSerial(2020, 0, 1)", "2019/12/01 00:00:00"},
        {"SELECT DateSerial(2020, 3, -1)", "2020/02/28 00:00:00"},
        {"SELECT DateSerial(2020, 2, 30)", "2020/03/01 00:00:00"},
        {"SELECT DateSerial(Null, 1, 1)", "Null"},
        {"SELECT DateSerial(10000, 1, 1)", nullptr, 5},
        // VBA reference: TimeSerial function
        {"SELECT TimeSerial(12 - 6, -15, 0)", "1899/12/30 05:45:00"},
        {"SELECT TimeSerial(16, 35, 17)", "1899/12/30 16:35:17"},
        {"SELECT TimeSerial(25, 0, 0)", "1899/12/31 01:00:00"},
        {"SELECT TimeSerial(0, 0, 90)", "1899/12/30 00:01:30"},
        // VBA reference: TimeValue function
        {"SELECT TimeValue('4:35:17 PM')", "1899/12/30 16:35:17"},
        {"SELECT TimeValue('2020/01/01 10:00')", "1899/12/30 10:00:00"},
        {"SELECT TimeValue('noon')", nullptr, 13},
        // VBA reference: WeekdayName function, MonthName function
        {"SELECT WeekdayName(1)", "Sunday"},
        {"SELECT WeekdayName(1, True)", "Sun"},
        {"SELECT WeekdayName(1, False, 2)", "Monday"},
        {"SELECT WeekdayName(8)", nullptr, 5},
        {"SELECT MonthName(12)", "December"},
        {"SELECT MonthName(2, True)", "Feb"},
        {"SELECT MonthName(13)", nullptr, 5},
        // VBA reference: Weekday function
        {"SELECT Weekday(#2020/05/24#)", "1"},
        {"SELECT Weekday(#2020/05/24#, 2)", "7"},
        {"SELECT Weekday(#2020/05/24#, 7)", "2"},
        {"SELECT Weekday(#1899/12/28#)", "5"},
        {"SELECT Weekday(#2020/05/24#, 8)", nullptr, 5},
        // VBA reference: DatePart function, every interval and week rule
        {"SELECT DatePart('yyyy', #2020/05/24#)", "2020"},
        {"SELECT DatePart('q', #2020/05/24#)", "2"},
        {"SELECT DatePart('m', #2020/05/24#)", "5"},
        {"SELECT DatePart('y', #2020/03/01#)", "61"},
        {"SELECT DatePart('d', #2020/05/24#)", "24"},
        {"SELECT DatePart('w', #2020/05/24#)", "1"},
        {"SELECT DatePart('w', #2020/05/24#, 2)", "7"},
        {"SELECT DatePart('ww', #2020/01/01#)", "1"},
        {"SELECT DatePart('ww', #2020/12/31#)", "53"},
        {"SELECT DatePart('ww', #2021/01/01#, 1, 2)", "53"},
        {"SELECT DatePart('ww', #2021/01/03#, 1, 3)", "1"},
        {"SELECT DatePart('ww', #2021/01/02#, 1, 3)", "52"},
        {"SELECT DatePart('ww', #2021/01/04#, 2, 2)", "1"},
        {"SELECT DatePart('h', #2020/05/24 13:07:30#)", "13"},
        {"SELECT DatePart('n', #2020/05/24 13:07:30#)", "7"},
        {"SELECT DatePart('s', #2020/05/24 13:07:30#)", "30"},
        {"SELECT DatePart('x', Now())", nullptr, 5},
        {"SELECT DatePart('d', 'no date')", nullptr, 13},
        {"SELECT DatePart('d', Null)", "Null"},
        {"SELECT DatePart('ww', Now(), 9)", nullptr, 5},
        // VBA reference: DateDiff function (boundaries crossed, not time elapsed)
        {"SELECT DateDiff('yyyy', #2019/12/31#, #2020/01/01#)", "1"},
        {"SELECT DateDiff('yyyy', #2020/01/01#, #2020/12/31#)", "0"},
        {"SELECT DateDiff('yyyy', #2020/01/01#, #2019/12/31#)", "-1"},
        {"SELECT DateDiff('q', #2020/03/31#, #2020/04/01#)", "1"},
        {"SELECT DateDiff('m', #2020/01/31#, #2020/02/01#)", "1"},
        {"SELECT DateDiff('y', #2020/01/01 23:59#, #2020/01/02 00:01#)", "1"},
        {"SELECT DateDiff('d', #2020/01/01 23:59#, #2020/01/02 00:01#)", "1"},
        {"SELECT DateDiff('d', #2020/01/02#, #2020/01/01 23:00#)", "-1"},
        {"SELECT DateDiff('d', #1899/12/29 18:00#, #1899/12/30 06:00#)", "1"},
        {"SELECT DateDiff('w', #2020/05/18#, #2020/05/31#)", "1"},
        {"SELECT DateDiff('w', #2020/05/18#, #2020/05/25#)", "1"},
        {"SELECT DateDiff('ww', #2020/05/23#, #2020/05/24#)", "1"},
        {"SELECT DateDiff('ww', #2020/05/24#, #2020/05/30#)", "0"},
        {"SELECT DateDiff('ww', #2020/05/23#, #2020/05/24#, 2)", "0"},
        {"SELECT DateDiff('ww', #2020/05/24#, #2020/05/25#, 2)", "1"},
        {"SELECT DateDiff('h', #2020/01/01 10:59#, #2020/01/01 11:01#)", "1"},
        {"SELECT DateDiff('h', #2020/01/01 11:01#, #2020/01/01 10:59#)", "-1"},
        {"SELECT DateDiff('n', #2020/01/01 10:00:59#, #2020/01/01 10:01:00#)", "1"},
        {"SELECT DateDiff('s', #2020/01/01 10:00:59#, #2020/01/01 10:01:00#)", "1"},
        {"SELECT DateDiff('d', Null, Now())", "Null"},
        {"SELECT DateDiff('fortnight', Now(), Now())", nullptr, 5},
        // VBA reference: Timer function (now held at 13:07:30)
        {"SELECT Timer()", "47250"},
    });
}

TEST_F(JetFunctionsTest, MathAndRandomNumbers) {
    expectCases({
        // VBA reference: Exp, Log, Sin, Cos, Tan, Atn functions
        {"SELECT Exp(1)", "2.718281828"},
        {"SELECT Exp(710)", nullptr, 6},
        {"SELECT Log(Exp(2))", "2"},
        {"SELECT Log(0)", nullptr, 5},
        {"SELECT Log(-1)", nullptr, 5},
        {"SELECT Atn(1) * 4", "3.141592654"},
        {"SELECT Sin(Atn(1) * 2)", "1"},
        {"SELECT Cos(0)", "1"},
        {"SELECT Tan(Atn(1))", "1"},
        {"SELECT Sin(Null)", "Null"},
        {"SELECT Cos('x')", nullptr, 13},
        // VBA reference: Rnd function (a negative number repeats its number)
        {"SELECT Rnd(-1)", "0.2240070105"},
        {"SELECT Rnd(-1) - Rnd(-1)", "0"},
    });
}

TEST_F(JetFunctionsTest, RandomNumbersFollowEachOtherAndRepeatOnZero) {
    const double first = value("SELECT Rnd(-5)").toDouble();
    const double again = value("SELECT Rnd(0)").toDouble();
    EXPECT_EQ(first, again);
    const double next = value("SELECT Rnd()").toDouble();
    EXPECT_NE(next, first);
    EXPECT_GE(next, 0.0);
    EXPECT_LT(next, 1.0);
    // One number a row where the argument names a field.
    exec("CREATE TABLE r (id LONG)");
    for (int i = 1; i <= 5; ++i) exec("INSERT INTO r VALUES (" + std::to_string(i) + ")");
    auto rs = conn_->Execute("SELECT DISTINCT Rnd(id) FROM r", nullptr, -1);
    int distinct = 0;
    for (; !rs->IsEOF(); rs->MoveNext()) ++distinct;
    EXPECT_EQ(distinct, 5);
}

TEST_F(JetFunctionsTest, FinancialFunctions) {
    expectCases({
        // VBA reference: Pmt function (a loan of 10000 over 48 months at 9 %)
        {"SELECT Pmt(0.09 / 12, 48, 10000)", "-248.8504237"},
        {"SELECT Pmt(0, 10, 1000)", "-100"},
        {"SELECT Pmt(0.01, 12, 1000, 0, 1)", "-87.9690977"},
        {"SELECT Pmt(0.01, 0, 1000)", nullptr, 5},
        {"SELECT Pmt(Null, 1, 1)", nullptr, 94},
        // VBA reference: FV function
        {"SELECT FV(0.06 / 12, 10, -200, -500, 1)", "2581.403374"},
        {"SELECT FV(0, 10, -100)", "1000"},
        // VBA reference: PV function
        {"SELECT PV(0.08 / 12, 12 * 20, 500)", "-59777.14585"},
        // VBA reference: NPer function
        {"SELECT NPer(0.12 / 12, -100, -1000, 10000, 1)", "59.67386567"},
        {"SELECT NPer(0, -100, 1000)", "10"},
        // VBA reference: Rate function
        {"SELECT Rate(4 * 12, -200, 8000)", "0.007701472488"},
        {"SELECT Rate(10, 0, 0, 0, 0, 0)", nullptr, 5},
        // VBA reference: IPmt function, PPmt function
        {"SELECT IPmt(0.1 / 12, 1, 3 * 12, 8000)", "-66.66666667"},
        {"SELECT PPmt(0.1 / 12, 1, 2 * 12, 2000)", "-75.62318601"},
        {"SELECT IPmt(0.1, 5, 4, 100)", nullptr, 5},
        // VBA reference: DDB function, SLN function, SYD function
        {"SELECT DDB(2400, 300, 10, 1)", "480"},
        {"SELECT DDB(2400, 300, 10, 2)", "384"},
        {"SELECT DDB(2400, 300, 10, 10)", "22.1225472"},
        {"SELECT DDB(2400, 300, 10 * 12, 1)", "40"},
        {"SELECT DDB(1000, 100, 5, 6)", nullptr, 5},
        {"SELECT SLN(30000, 7500, 10)", "2250"},
        {"SELECT SLN(30000, 7500, 0)", nullptr, 5},
        {"SELECT SYD(30000, 7500, 10, 1)", "4090.909091"},
        {"SELECT SYD(30000, 7500, 10, 10)", "409.0909091"},
        // NPV and IRR take arrays, which a query cannot pass.
        {"SELECT NPV(0.1, 100)", nullptr, 3085},
        // Every optional argument: fv, type (any value but 0 is "due at the
        // beginning") and Rate's guess, which only chooses where the search
        // starts.
        {"SELECT Pmt(0.01, 12, 1000, 0, -1)", "-87.9690977"},
        {"SELECT Pmt(0.01, 12, 1000, -500)", "-49.42439434"},
        {"SELECT FV(0.06 / 12, 10, -200, -500, 2)", "2581.403374"},
        {"SELECT PV(0.08 / 12, 12 * 20, 500, 1000, 1)", "-60378.63155"},
        {"SELECT NPer(0.01, -100, 1000, 0, 1)", "10.47814509"},
        {"SELECT Rate(4 * 12, -200, 8000, 0, 0, 0.5)", "0.007701472488"},
        {"SELECT Rate(4 * 12, -200, 8000, 0, 1, 0.01)", "0.008052981924"},
        {"SELECT Rate(10, -100, 1000, 0, 0, 0)", "0"},
        // A guess far from the rate still finds it, never one at or below -1.
        {"SELECT Rate(360, -1000, 100000)", "0.009689245823"},
        {"SELECT Rate(360, -1000, 100000, 0, 0, 0.5)", "0.009689245823"},
        {"SELECT Rate(360, -1000, 100000, 0, 0, -0.5)", "0.009689245823"},
        {"SELECT Rate(360, -1000, 100000, 0, 0, 5)", "0.009689245823"},
        {"SELECT Rate(10, 100, 1000)", nullptr, 5},
        {"SELECT Rate(48, -200, 8000, 0, 0, -1)", nullptr, 5},
        {"SELECT Pmt(-1, 2, 100)", "0"},
        {"SELECT Rate(0, -200, 8000)", nullptr, 5},
        {"SELECT Rate(48, -200, 8000, 0, 0, Null)", nullptr, 94},
        {"SELECT IPmt(0.1 / 12, 2, 3 * 12, 8000, 0, 1)", "-64.53329892"},
        {"SELECT PPmt(0.1 / 12, 2, 2 * 12, 2000, 100, 1)", "-79.40434531"},
        {"SELECT IPmt(0.1, 0, 4, 100)", nullptr, 5},
        // A fractional period of DDB: half a year's depreciation falls
        // between the first year's and the second's.
        {"SELECT DDB(2400, 300, 10, 1.5)", "429.3250517"},
        {"SELECT DDB(2400, 300, 10, 1, 3)", "720"},
        {"SELECT DDB(2400, 300, 2, 2)", "0"},
        {"SELECT DDB(2400, 300, 10, 1, 0)", nullptr, 5},
        {"SELECT DDB(2400, 300, 10, 0)", nullptr, 5},
        {"SELECT DDB(-1, 300, 10, 1)", nullptr, 5},
        {"SELECT SYD(30000, 7500, 10, 11)", nullptr, 5},
        {"SELECT SLN(30000, Null, 10)", nullptr, 94},
    });
}

TEST_F(JetFunctionsTest, ValReadsTheNumberATextStartsWith) {
    expectCases({
        // VBA reference: Val function (blanks, tabs and line feeds are
        // dropped; reading stops at the first character of no number; &H
        // and &O are read, four hex digits being an Integer).
        {"SELECT Val('    1615 198th Street N.E.')", "1615198"},
        {"SELECT Val(' 2 45 7')", "2457"},
        {"SELECT Val('24 and 57')", "24"},
        {"SELECT Val('1 2 3')", "123"},
        {"SELECT Val('1e3')", "1000"},
        {"SELECT Val('1.5E-2x')", "0.015"},
        {"SELECT Val('2D2')", "200"},
        {"SELECT Val('1e')", "1"},
        {"SELECT Val('-1.5.3')", "-1.5"},
        {"SELECT Val('.5')", "0.5"},
        {"SELECT Val('&HFFFF')", "-1"},
        {"SELECT Val('&HFF')", "255"},
        {"SELECT Val('&H 1 0')", "16"},
        {"SELECT Val('&H10000')", "65536"},
        {"SELECT Val('&HFFFFFFFF')", "-1"},
        {"SELECT Val('&O17')", "15"},
        {"SELECT Val('&O177777')", "-1"},
        {"SELECT Val('&O19')", "1"},
        {"SELECT Val('&H')", "0"},
        {"SELECT Val('abc')", "0"},
        {"SELECT Val('')", "0"},
        {"SELECT Val('0x10')", "0"},
        {"SELECT Val('inf')", "0"},
        {"SELECT Val(12.5)", "12.5"},
        {"SELECT Val('&H100000000')", nullptr, 6},
        {"SELECT Val(Null)", nullptr, 94},
        // The conversions read a text whole, &H and &O included; blanks
        // inside the digits are no number to them.
        {"SELECT CLng('&HFF')", "255"},
        {"SELECT CInt('&HFFFF')", "-1"},
        {"SELECT CLng('&H8000')", "-32768"},
        {"SELECT CLng('&H10000')", "65536"},
        {"SELECT CLng('&O17')", "15"},
        {"SELECT CLng(' 1e3 ')", "1000"},
        {"SELECT CLng('1D3')", "1000"},
        {"SELECT CLng('1 2 3')", nullptr, 13},
        {"SELECT CLng('&HFFx')", nullptr, 13},
        {"SELECT CLng('&H')", nullptr, 13},
        {"SELECT CBool('&H0')", "False"},
        {"SELECT '&HFFFF' + 1", "0"},
    });
}

TEST_F(JetFunctionsTest, StatisticalAggregatesOverRows) {
    exec("CREATE TABLE m (grp TEXT(5), v DOUBLE, t TEXT(5))");
    for (const char* row :
         {"('a', 2, 'x')", "('a', 4, 'x')", "('a', 4, 'x')", "('a', 4, 'x')", "('a', 5, 'x')",
          "('a', 5, 'x')", "('a', 7, 'x')", "('a', 9, 'x')", "('a', Null, 'x')", "('b', 3, 'x')"}) {
        exec(std::string("INSERT INTO m VALUES ") + row);
    }
    expectCases({
        // Access SQL reference: StDev, StDevP functions; Var, VarP functions
        {"SELECT StDevP(v) FROM m WHERE grp = 'a'", "2"},
        {"SELECT VarP(v) FROM m WHERE grp = 'a'", "4"},
        {"SELECT Var(v) FROM m WHERE grp = 'a'", "4.571428571"},
        {"SELECT StDev(v) FROM m WHERE grp = 'a'", "2.138089935"},
        {"SELECT StDev(v) FROM m WHERE grp = 'b'", "Null"},
        {"SELECT StDevP(v) FROM m WHERE grp = 'b'", "0"},
        {"SELECT Var(v) FROM m WHERE grp = 'none'", "Null"},
        {"SELECT grp, Var(v) FROM m GROUP BY grp ORDER BY grp DESC", "b"},
        {"SELECT StDev(t) FROM m", nullptr, 13},
    });
    auto rs = conn_->Execute("SELECT grp, VarP(v) AS spread FROM m GROUP BY grp ORDER BY grp",
                             nullptr, -1);
    ASSERT_FALSE(rs->IsEOF());
    EXPECT_EQ(textOf(rs->Collect(1L)), "4");
    EXPECT_EQ(rs->GetFields()->Item(1L).Type(), engine::adDouble);
    rs->MoveNext();
    EXPECT_EQ(textOf(rs->Collect(1L)), "0");
}

TEST_F(JetFunctionsTest, FunctionsOverTheFieldsOfEachRow) {
    exec("CREATE TABLE p (id LONG, name TEXT(30), since DATETIME, until DATETIME)");
    exec("INSERT INTO p VALUES (1, 'Tanaka, Ichiro', #2019/12/31 23:00#, #2020/01/01 01:00#)");
    exec("INSERT INTO p VALUES (2, 'suzuki, hanako', #2020/05/24#, #2020/06/07#)");
    exec("INSERT INTO p VALUES (3, Null, Null, #2020/06/07#)");
    auto rs = conn_->Execute(
        "SELECT StrConv(Mid(name, InStr(name, ',') + 2), 3), DateDiff('yyyy', since, until), "
        "DateDiff('ww', since, until), Replace(Nz(name, ''), 'A', '*'), TimeSerial(Hour(until), 0, "
        "0) "
        "FROM p ORDER BY id",
        nullptr, -1);
    const std::vector<std::vector<std::string>> expected = {
        {"Ichiro", "1", "0", "T*n*k*, Ichiro", "1899/12/30 01:00:00"},
        {"Hanako", "0", "2", "suzuki, h*n*ko", "1899/12/30 00:00:00"},
        {"Null", "Null", "Null", "", "1899/12/30 00:00:00"},
    };
    for (const auto& row : expected) {
        ASSERT_FALSE(rs->IsEOF());
        for (long i = 0; i < static_cast<long>(row.size()); ++i) {
            EXPECT_EQ(textOf(rs->Collect(i)), row[static_cast<std::size_t>(i)]) << "column " << i;
        }
        rs->MoveNext();
    }
    EXPECT_TRUE(rs->IsEOF());
    EXPECT_EQ(rs->GetFields()->Item(4L).Type(), engine::adDate);
}

TEST_F(JetFunctionsTest, WrongArgumentCountsAreRefusedBeforeRunning) {
    // Access SQL: "Wrong number of arguments used with function in query expression" (3075)
    expectCases({
        {"SELECT String('a')", nullptr, 3075},
        {"SELECT Space()", nullptr, 3075},
        {"SELECT Mid('abc')", nullptr, 3075},
        {"SELECT InStr(1, 'a', 'b', 1, 1)", nullptr, 3075},
        {"SELECT Replace('a', 'b')", nullptr, 3075},
        {"SELECT DatePart('d')", nullptr, 3075},
        {"SELECT DateDiff('d', Now(), Now(), 1, 1, 1)", nullptr, 3075},
        {"SELECT Pmt(0.1, 2)", nullptr, 3075},
        {"SELECT StDev(1, 2)", nullptr, 3075},
        {"SELECT Timer(1)", nullptr, 3075},
    });
}

// Partition, CDbl/CSng/CCur reading texts as the other conversions do, and
// Format's firstdayofweek and firstweekofyear (2020/05/24 is a Sunday,
// 2021/01/01 a Friday; only w and ww count by them).
TEST_F(JetFunctionsTest, PartitionConversionsAndFormatsWeekArguments) {
    expectCases({
        // VBA reference: Partition function (both sides as wide as stop + 1);
        // Type conversion functions; Format function
        {"SELECT Partition(-5, 0, 99, 5)", "   : -1"},
        {"SELECT Partition(0, 0, 99, 5)", "  0:  4"},
        {"SELECT Partition(97, 0, 99, 5)", " 95: 99"},
        {"SELECT Partition(100, 0, 99, 5)", "100:   "},
        {"SELECT Partition(15, 20, 199, 10)", "   : 19"},
        {"SELECT Partition(25, 20, 199, 10)", " 20: 29"},
        {"SELECT Partition(195, 20, 199, 10)", "190:199"},
        {"SELECT Partition(1005, 100, 1010, 20)", "1000:1010"},
        {"SELECT Partition(50, 100, 1010, 20)", "    :  99"},
        {"SELECT Partition(2000, 100, 1010, 20)", "1011:    "},
        {"SELECT Partition(5, 0, 9, 1)", " 5: 5"},
        {"SELECT Partition(4.5, 0, 99, 5)", "  0:  4"},
        {"SELECT Partition(5.5, 0, 99, 5)", "  5:  9"},
        {"SELECT Partition(Null, 0, 99, 5)", "Null"},
        {"SELECT Partition(5, 0, Null, 5)", "Null"},
        {"SELECT Partition(5, -1, 99, 5)", nullptr, 5},
        {"SELECT Partition(5, 10, 10, 5)", nullptr, 5},
        {"SELECT Partition(5, 0, 99, 0)", nullptr, 5},
        {"SELECT Partition('x', 0, 99, 5)", nullptr, 13},
        {"SELECT CDbl('&H10')", "16"},
        {"SELECT CDbl(' 1,234.5 ')", "1234.5"},
        {"SELECT CDbl('1D3')", "1000"},
        {"SELECT CDbl('abc')", nullptr, 13},
        {"SELECT CDbl(Null)", nullptr, 94},
        {"SELECT CSng('&HFFFF')", "-1"},
        {"SELECT CSng(1e39)", nullptr, 6},
        {"SELECT CCur('12.34565')", "12.3456"},
        {"SELECT CCur(12.34575)", "12.3458"},
        {"SELECT CCur(1e15)", nullptr, 6},
        {"SELECT CCur('1 2')", nullptr, 13},
        {"SELECT Format(#2020-05-24#, 'w ww')", "1 22"},
        {"SELECT Format(#2020-05-24#, 'w ww', 0, 0)", "1 22"},
        {"SELECT Format(#2020-05-24#, 'w ww', 2)", "7 21"},
        {"SELECT Format(#2020-05-24#, 'w ww', 2, 2)", "7 21"},
        {"SELECT Format(#2020-05-24#, 'w ww', 2, 3)", "7 20"},
        {"SELECT Format(#2020-05-24#, 'w', 7)", "2"},
        {"SELECT Format(#2021-01-01#, 'ww', 2, 1)", "1"},
        {"SELECT Format(#2021-01-01#, 'ww', 2, 2)", "53"},
        {"SELECT Format(#2021-01-01#, 'ww', 1, 3)", "52"},
        {"SELECT Format(#2020-05-24#, 'dddd y', 2, 3)", "Sunday 145"},
        {"SELECT Format(#2020-05-24#, 'ww', Null, Null)", "22"},
        {"SELECT Format(#2020-05-24#, 'ww', 8)", nullptr, 5},
        {"SELECT Format(#2020-05-24#, 'ww', 1, 4)", nullptr, 5},
        {"SELECT Format(#2020-05-24#, 'ww', 'x')", nullptr, 13},
    });
}

}  // namespace
