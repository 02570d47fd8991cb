// Jet's answers: text compared without regard to case, + on texts, True as
// -1, the conversions and their errors, date arithmetic keeping the date
// type. Each case names the public reference page it follows.
#include "AnswerCheck.h"
#include "EngineFixture.h"

namespace {

using enginetest::EngineFixture;

class JetAnswersTest : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        engine::SetNowForTesting(engine::OleDateFromParts(2020, 5, 24, 13, 7, 30));
        exec(
            "CREATE TABLE words (id LONG PRIMARY KEY, w TEXT(20), born DATETIME, ok YESNO, n "
            "DOUBLE)");
        exec("INSERT INTO words VALUES (1, 'apple', #2019/04/01#, True, 2.5)");
        exec("INSERT INTO words VALUES (2, 'APPLE', #2019/04/02 09:30#, False, 3.5)");
        exec("INSERT INTO words VALUES (3, 'Apple ', #2020/01/15#, True, -2.5)");
        exec("INSERT INTO words VALUES (4, 'banana', Null, False, Null)");
        exec("INSERT INTO words VALUES (5, 'アップル', Null, False, Null)");
        exec("CREATE TABLE names (k TEXT(20), label TEXT(20))");
        exec("INSERT INTO names VALUES ('BANANA', 'fruit')");
        exec("INSERT INTO names VALUES ('ｱｯﾌﾟﾙ', 'half-width')");
    }
    void TearDown() override { engine::SetNowForTesting(std::nullopt); }

    struct AnswerCase {
        const char* sql;
        const char* expected;  // the first column of the first row
    };
    void expectAnswers(std::initializer_list<AnswerCase> cases);
};

std::string textOf(const engine::Variant& v) {
    return enginetest::answerText(v, true);
}

void JetAnswersTest::expectAnswers(std::initializer_list<AnswerCase> cases) {
    enginetest::expectAnswers(cases, [this](const std::string& sql) { return textOf(value(sql)); });
}

TEST_F(JetAnswersTest, TextComparesWithoutRegardToCase) {
    expectAnswers({
        // Access SQL reference: comparison operators; Jet's default sort ignores case.
        {"SELECT IIf('abc' = 'ABC', 'same', 'differs')", "same"},
        {"SELECT IIf('a' < 'B', 'less', 'not less')", "less"},
        {"SELECT IIf('Zeta' > 'alpha', 'greater', 'not greater')", "greater"},
        // Access SQL reference: IN operator.
        {"SELECT IIf('ABC' IN ('x', 'abc'), 'in', 'out')", "in"},
        // Access SQL reference: Between...And operator.
        {"SELECT IIf('b' BETWEEN 'A' AND 'C', 'in', 'out')", "in"},
        // A column against an expression and the other way round.
        {"SELECT COUNT(*) FROM words WHERE UCase(w) = 'apple'", "2"},
        {"SELECT COUNT(*) FROM words WHERE 'APPLE' = w", "2"},
        {"SELECT COUNT(*) FROM words WHERE Trim(w) = 'apple'", "3"},
        {"SELECT COUNT(*) FROM words WHERE w & '' IN ('APPLE', 'Banana')", "3"},
        // Access SQL reference: DISTINCT predicate; GROUP BY clause.
        {"SELECT COUNT(*) FROM (SELECT DISTINCT w FROM words) AS d", "4"},
        {"SELECT COUNT(*) FROM (SELECT DISTINCT Trim(w) AS t FROM words) AS d", "3"},
        {"SELECT COUNT(*) FROM (SELECT Trim(w) AS t FROM words GROUP BY Trim(w)) AS g", "3"},
        {"SELECT MAX(c) FROM (SELECT Trim(w) AS t, COUNT(*) AS c FROM words GROUP BY Trim(w)) AS g",
         "3"},
        // A derived table's computed column keeps comparing without case.
        {"SELECT COUNT(*) FROM (SELECT w & '' AS t FROM words) AS d WHERE t = 'APPLE'", "2"},
        // Access SQL reference: INNER JOIN operation, on text fields.
        {"SELECT n.label FROM words AS x INNER JOIN names AS n ON x.w = n.k", "fruit"},
        {"SELECT COUNT(*) FROM words AS x INNER JOIN names AS n ON UCase(x.w) = n.k & ''", "1"},
        // Access SQL reference: UNION operation drops rows equal without case.
        {"SELECT COUNT(*) FROM (SELECT 'abc' AS t FROM names UNION SELECT 'ABC' FROM names) AS u",
         "1"},
        // ORDER BY over an expression sorts without case.
        {"SELECT TOP 1 w & '' FROM words WHERE id IN (2, 4) ORDER BY w & '' DESC", "banana"},
        // Japanese text compares as stored: half-width and full-width kana,
        // hiragana and katakana, full-width letters are different text.
        {"SELECT COUNT(*) FROM words AS x INNER JOIN names AS n ON x.w = n.k", "1"},
        {"SELECT IIf('アップル' = 'ｱｯﾌﾟﾙ', 'same', 'differs')", "differs"},
        {"SELECT IIf('あ' = 'ア', 'same', 'differs')", "differs"},
        {"SELECT IIf('Ａ' = 'ａ', 'same', 'differs')", "differs"},
        {"SELECT COUNT(*) FROM words WHERE w = 'アップル'", "1"},
    });
}

TEST_F(JetAnswersTest, PlusJoinsTextsAndTrueIsMinusOne) {
    expectAnswers({
        // Access: + operator: two strings are concatenated; Null propagates.
        {"SELECT 'abc' + 'def'", "abcdef"},
        {"SELECT 'abc' + Null", "NULL"},
        {"SELECT w + '!' FROM words WHERE id = 4", "banana!"},
        {"SELECT w + Null FROM words WHERE id = 4", "NULL"},
        // & treats Null as a zero-length string instead (& operator).
        {"SELECT 'abc' & Null", "abc"},
        // A numeric string and a number add.
        {"SELECT '1' + 2", "3"},
        {"SELECT n + 1 FROM words WHERE id = 1", "3.5"},
        // VBA reference: Boolean data type; True is -1 in arithmetic.
        {"SELECT True", "-1"},
        {"SELECT False", "0"},
        {"SELECT (1 = 1)", "-1"},
        {"SELECT (1 = 2)", "0"},
        {"SELECT ('a' = 'A') AND (2 > 1)", "-1"},
        {"SELECT NOT (1 = 2)", "-1"},
        {"SELECT (1 = 1) + 1", "0"},
        {"SELECT (5 > 3) * 10", "-10"},
        {"SELECT IIf((1 = 1) = True, 'true is -1', 'no')", "true is -1"},
        {"SELECT COUNT(*) FROM words WHERE ok = (1 = 1)", "2"},
    });
    // A comparison stored into a Yes/No field is True.
    exec("UPDATE words SET ok = (n > 3) WHERE id = 2");
    EXPECT_EQ(value("SELECT ok FROM words WHERE id = 2").intValue(), -1);
}

TEST_F(JetAnswersTest, LikeTakesBothWildcardSetsAndCharacterLists) {
    exec("INSERT INTO names VALUES ('タダ券', 'kana')");
    exec("INSERT INTO names VALUES ('a*b', 'star')");
    exec("INSERT INTO names VALUES ('R2D2', 'digits')");
    expectAnswers({
        // Access: Using wildcard characters in string comparisons (? or _,
        // * or %, # a digit, [charlist], [!charlist]; case is ignored).
        {"SELECT COUNT(*) FROM words WHERE w LIKE '[a-c]%'", "4"},
        {"SELECT COUNT(*) FROM words WHERE w LIKE '[!a-c]*'", "1"},
        {"SELECT label FROM names WHERE k LIKE '[タダ]%'", "kana"},
        {"SELECT label FROM names WHERE k LIKE '[!あ-ん]ダ?'", "kana"},
        {"SELECT COUNT(*) FROM words WHERE w LIKE 'APP*'", "3"},
        {"SELECT COUNT(*) FROM words WHERE w LIKE 'appl_'", "2"},
        {"SELECT COUNT(*) FROM words WHERE w LIKE 'appl?'", "2"},
        {"SELECT label FROM names WHERE k LIKE 'R#D#'", "digits"},
        {"SELECT COUNT(*) FROM names WHERE k LIKE 'R#D'", "0"},
        // [*], [?], [#] match themselves; "[]" is a zero-length string; a
        // "-" first in the list is itself.
        {"SELECT label FROM names WHERE k LIKE 'a[*]b'", "star"},
        {"SELECT COUNT(*) FROM names WHERE k LIKE 'a[*]c'", "0"},
        {"SELECT IIf('a?' LIKE 'a[?]', 'yes', 'no')", "yes"},
        {"SELECT IIf('ab' LIKE 'a[]b', 'yes', 'no')", "yes"},
        {"SELECT IIf('-' LIKE '[-a]', 'yes', 'no')", "yes"},
        {"SELECT IIf('abc' NOT LIKE '[x-z]*', 'yes', 'no')", "yes"},
        {"SELECT IIf('abcabd' LIKE '*ab?', 'yes', 'no')", "yes"},
        {"SELECT IIf(Null LIKE '*', 'yes', 'Null')", "Null"},
    });
    // VBA reference: error 93, Invalid pattern string.
    EXPECT_EQ(refused("SELECT COUNT(*) FROM words WHERE w LIKE '[a-c'").jetError(), 93);
}

TEST_F(JetAnswersTest, YesNoOnOffAreConstantsUnlessAFieldIsNamedSo) {
    // Access: Yes/No data type (Yes, True, On are -1; No, False, Off are 0),
    // as Northwind's queries write "Discontinued = No".
    expectAnswers({
        {"SELECT Yes", "-1"},
        {"SELECT Off", "0"},
        {"SELECT COUNT(*) FROM words WHERE ok = No", "3"},
        {"SELECT COUNT(*) FROM words WHERE ok = On AND id < 3", "1"},
        {"SELECT IIf(No, 'yes', 'no')", "no"},
    });
    exec("CREATE TABLE flags (Yes LONG, [On] TEXT(5))");
    exec("INSERT INTO flags VALUES (7, 'x')");
    expectAnswers({
        {"SELECT Yes FROM flags", "7"},
        {"SELECT Yes + 1 FROM flags WHERE No = 0", "8"},
        {"SELECT No FROM flags", "0"},
    });
}

TEST_F(JetAnswersTest, ArithmeticReadsTextsAsJetDoes) {
    expectAnswers({
        // VBA reference: Type conversion functions (blanks around a number,
        // &H and &O prefixes, thousands separators).
        {"SELECT ' 12 ' * 2", "24"},
        {"SELECT '&H10' - 1", "15"},
        {"SELECT '&O17' * 1", "15"},
        {"SELECT '1,234.5' * 2", "2469"},
        {"SELECT -'3'", "-3"},
        {"SELECT '2' ^ 3", "8"},
        // VBA reference: \ operator and Mod operator round their operands
        // half to even before dividing.
        {"SELECT 10.5 \\ 2", "5"},
        {"SELECT 11.5 \\ 2", "6"},
        {"SELECT 12.5 Mod 5", "2"},
        {"SELECT 13.5 Mod 5", "4"},
        {"SELECT -7 \\ 2", "-3"},
        {"SELECT -7 Mod 2", "-1"},
        {"SELECT 7 / 2", "3.5"},
        {"SELECT Null / 0", "NULL"},
    });
}

TEST_F(JetAnswersTest, ConversionsGiveJetTextsAndRoundHalfToEven) {
    expectAnswers({
        // VBA reference: CStr function; a date gives the date text, a Boolean True or False.
        {"SELECT CStr(#2020/05/24 13:07:30#)", "2020/05/24 13:07:30"},
        {"SELECT CStr(#2020/05/24#)", "2020/05/24"},
        {"SELECT CStr(#09:05:00#)", "9:05:00"},
        {"SELECT CStr(Date() + 1)", "2020/05/25"},
        {"SELECT CStr(born) FROM words WHERE id = 2", "2019/04/02 9:30:00"},
        {"SELECT CStr(born + 1) FROM words WHERE id = 1", "2019/04/02"},
        {"SELECT CStr(ok) FROM words WHERE id = 1", "True"},
        {"SELECT CStr(ok + 1) FROM words WHERE id = 1", "0"},
        {"SELECT CStr(x.born) FROM words AS x WHERE x.id = 1", "2019/04/01"},
        {"SELECT (SELECT CStr(born) FROM words AS y WHERE y.id = 1) FROM names WHERE k = 'BANANA'",
         "2019/04/01"},
        {"SELECT w & ' ' & born & ' ' & ok FROM words WHERE id = 1", "apple 2019/04/01 True"},
        {"SELECT CStr(True)", "True"},
        {"SELECT CStr(1 = 2)", "False"},
        {"SELECT CStr(2.5)", "2.5"},
        {"SELECT CStr(0.1 + 0.2)", "0.3"},
        {"SELECT CStr(1E+20)", "1E+20"},
        {"SELECT CStr(0.00001)", "1E-05"},
        {"SELECT 'born ' & #2020/05/24#", "born 2020/05/24"},
        {"SELECT 'ok: ' & (1 = 1)", "ok: True"},
        // VBA reference: Str function keeps a blank for the sign of a positive number.
        {"SELECT Str(42)", " 42"},
        {"SELECT Str(-42)", "-42"},
        {"SELECT Str(0.5)", " .5"},
        {"SELECT Str(-0.25)", "-.25"},
        {"SELECT Str(Null)", "NULL"},
        // VBA reference: type conversion functions; CInt and CLng round half to even.
        {"SELECT CInt(2.5)", "2"},
        {"SELECT CInt(3.5)", "4"},
        {"SELECT CInt(-2.5)", "-2"},
        {"SELECT CLng(0.5)", "0"},
        {"SELECT CLng(1.5)", "2"},
        {"SELECT CLng('  12 ')", "12"},
        {"SELECT CInt(n) FROM words WHERE id = 3", "-2"},
        // VBA reference: Round function rounds half to even.
        {"SELECT Round(2.5)", "2"},
        {"SELECT Round(3.5)", "4"},
        {"SELECT Round(0.125, 2)", "0.12"},
        {"SELECT Round(0.135, 2)", "0.14"},
        {"SELECT Round(-1.5)", "-2"},
        {"SELECT Round(Null)", "NULL"},
        // VBA reference: CBool function reads "True" and "False" in any case.
        {"SELECT CBool('false')", "0"},
        {"SELECT CBool('TRUE')", "-1"},
        {"SELECT CBool('0')", "0"},
        {"SELECT CBool(7)", "-1"},
    });
}

TEST_F(JetAnswersTest, ConversionsRefuseWhatDoesNotFit) {
    const enginetest::JetRefusal cases[] = {
        // VBA reference: CInt range -32,768 to 32,767; CLng -2,147,483,648 to
        // 2,147,483,647; beyond them the Overflow error (6).
        {"SELECT CInt(32768)", 6},
        {"SELECT CInt(-32768.6)", 6},
        {"SELECT CLng(2147483647.5)", 6},
        {"SELECT CLng(n * 1E+10) FROM words WHERE id = 1", 6},
        // Type mismatch (13) for a text that is not a number.
        {"SELECT CInt('abc')", 13},
        {"SELECT CBool('maybe')", 13},
        {"SELECT 'abc' + 1", 13},
        {"SELECT 'abc' * 2", 13},
        {"SELECT 2 - 'abc'", 13},
        {"SELECT -'abc'", 13},
        {"SELECT 'abc' / 2", 13},
        {"SELECT 'abc' Mod 2", 13},
        {"SELECT '0x10' * 1", 13},
        {"SELECT 'inf' * 1", 13},
        {"SELECT w * 2 FROM words WHERE id = 1", 13},
        // VBA reference: Division by zero (11) for /, \ and Mod; 0 / 0 is
        // an overflow (6) in VBA.
        {"SELECT 1 / 0", 11},
        {"SELECT n / 0 FROM words WHERE id = 1", 11},
        {"SELECT 5 \\ 0", 11},
        {"SELECT 5 \\ 0.4", 11},
        {"SELECT 5 Mod 0", 11},
        {"SELECT 0 / 0", 6},
        // Invalid procedure call (5): Sqr of a negative, Asc of a
        // zero-length string, a negative length to Left, Right and Mid.
        {"SELECT Sqr(-1)", 5},
        {"SELECT Asc('')", 5},
        {"SELECT Left('abc', -1)", 5},
        {"SELECT Right('abc', -1)", 5},
        {"SELECT Mid('abc', 1, -1)", 5},
        // Invalid use of Null (94).
        {"SELECT CStr(Null)", 94},
        {"SELECT CLng(n) FROM words WHERE id = 4", 94},
    };
    enginetest::expectRefusals(cases, [this](const std::string& sql) { return refused(sql); });
    // The edges themselves still convert.
    EXPECT_EQ(value("SELECT CInt(32767.4)").intValue(), 32767);
    EXPECT_EQ(value("SELECT CLng(-2147483648)").intValue(), -2147483648LL);
}

TEST_F(JetAnswersTest, DateArithmeticKeepsTheDateType) {
    struct TypeCase {
        const char* sql;
        std::uint16_t tag;
        const char* expected;
    } cases[] = {
        // Access: date arithmetic: a date plus or minus a number is a date,
        // a date minus a date a number of days.
        {"SELECT #2020/05/24# + 1", engine::VT_DATE, "2020/05/25 00:00:00"},
        {"SELECT 1 + #2020/05/24#", engine::VT_DATE, "2020/05/25 00:00:00"},
        {"SELECT #2020/05/24# - 1.5", engine::VT_DATE, "2020/05/22 12:00:00"},
        {"SELECT Date() + 1", engine::VT_DATE, "2020/05/25 00:00:00"},
        {"SELECT Now() - Time()", engine::VT_DATE, "2020/05/24 00:00:00"},
        {"SELECT #2020/05/24 13:00# - #01:00#", engine::VT_DATE, "2020/05/24 12:00:00"},
        {"SELECT born + 1 FROM words WHERE id = 1", engine::VT_DATE, "2019/04/02 00:00:00"},
        {"SELECT born - 0.5 FROM words WHERE id = 1", engine::VT_DATE, "2019/03/31 12:00:00"},
        {"SELECT #2020/05/25# - #2020/05/24#", engine::VT_R8, "1"},
        {"SELECT Date() - born FROM words WHERE id = 3", engine::VT_R8, "130"},
        // A number column plus a number stays a number.
        {"SELECT n + 1 FROM words WHERE id = 1", engine::VT_R8, "3.5"},
        {"SELECT id + 1 FROM words WHERE id = 1", engine::VT_I4, "2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        const engine::Variant v = value(c.sql);
        EXPECT_EQ(v.vt(), c.tag);
        EXPECT_EQ(textOf(v), c.expected);
    }
}

TEST_F(JetAnswersTest, DatesBeforeTheEpochRoundToTheSecondForwards) {
    // OLE dates below zero count the day backwards and the time forwards:
    // -1.5 is noon of 1899/12/29, and -1.9999999 is a moment before
    // midnight that starts 1899/12/30.
    EXPECT_EQ(textOf(value("SELECT CDate(-1.5)")), "1899/12/29 12:00:00");
    EXPECT_EQ(textOf(value("SELECT CDate(-1.9999999)")), "1899/12/30 00:00:00");
    EXPECT_EQ(textOf(value("SELECT CDate(1.9999999)")), "1900/01/01 00:00:00");
    EXPECT_EQ(textOf(value("SELECT CDate(-2.25)")), "1899/12/28 06:00:00");
    EXPECT_EQ(textOf(value("SELECT Format(CDate(-1.9999999), 'yyyy/mm/dd hh:nn:ss')")),
              "1899/12/30 00:00:00");
}

}  // namespace
