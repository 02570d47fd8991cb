// Format and its family as Jet's expression service answers them on a
// Japanese Windows. Each case names the public reference page it follows.
#include "AnswerCheck.h"
#include "EngineFixture.h"

namespace {

using enginetest::EngineFixture;

class JetFormatTest : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        exec("CREATE TABLE t (id LONG PRIMARY KEY, d DATETIME, x DOUBLE, s TEXT(20))");
        exec("INSERT INTO t VALUES (1, #2020/05/24 13:07:30#, 1234.5, 'abc')");
        exec("INSERT INTO t VALUES (2, Null, Null, Null)");
    }

    struct FormatCase {
        const char* sql;       // an expression, selected as SELECT <sql> FROM t WHERE id = <id>
        const char* expected;  // "NULL" for Null
    };

    void expectFormats(std::initializer_list<FormatCase> cases, int id = 1) {
        const std::string where = " FROM t WHERE id = " + std::to_string(id);
        enginetest::expectAnswers(cases, [&](const std::string& expression) {
            return enginetest::answerText(value("SELECT " + expression + where));
        });
    }
};

TEST_F(JetFormatTest, NamedNumberFormats) {
    expectFormats({
        // VBA reference: Format function, named numeric formats; the
        // currency of a Japanese Windows is the yen without decimals.
        {"Format(1234.5, 'General Number')", "1234.5"},
        {"Format(x, 'Currency')",
         "\xC2\xA5"
         "1,235"},
        {"Format(-x, 'Currency')",
         "-\xC2\xA5"
         "1,235"},
        {"Format(1234.5, 'Fixed')", "1234.50"},
        {"Format(0.5, 'fixed')", "0.50"},
        {"Format(-0.5, 'Fixed')", "-0.50"},
        {"Format(1234.5, 'Standard')", "1,234.50"},
        {"Format(0.1234, 'Percent')", "12.34%"},
        {"Format(1234.5, 'Scientific')", "1.23E+03"},
        {"Format(0.000123, 'Scientific')", "1.23E-04"},
        {"Format(0, 'Yes/No')", "No"},
        {"Format(3, 'Yes/No')", "Yes"},
        {"Format(True, 'True/False')", "True"},
        {"Format(1 = 2, 'True/False')", "False"},
        {"Format(0, 'On/Off')", "Off"},
        {"Format(-1, 'On/Off')", "On"},
    });
}

TEST_F(JetFormatTest, CustomNumberFormats) {
    expectFormats({
        // VBA reference: User-defined numeric formats.
        {"Format(5459.4, '##,##0.00')", "5,459.40"},
        {"Format(334.9, '###0.00')", "334.90"},
        {"Format(5, '0.00%')", "500.00%"},
        {"Format(0.5, '#.##')", ".5"},
        {"Format(1.5, '0.0#')", "1.5"},
        {"Format(1.25, '0.0#')", "1.25"},
        {"Format(1234567, '#,##0')", "1,234,567"},
        {"Format(1234567, '#,##0,')", "1,235"},
        {"Format(-1234.5, '#,##0.0')", "-1,234.5"},
        {"Format(12345.678, '0.00E+00')", "1.23E+04"},
        {"Format(0.000123, '0.00E-00')", "1.23E-04"},
        {"Format(123, '0.00E-00')", "1.23E02"},
        {"Format(5551234, '000-0000')", "555-1234"},
        {"Format(7, '000')", "007"},
        {"Format(42, '\\$0')", "$42"},
        {"Format(42, '\"No. \"0')", "No. 42"},
        // Format rounds half away from zero, on the decimal digits.
        {"Format(2.5, '0')", "3"},
        {"Format(1.005, '0.00')", "1.01"},
        {"Format(999.996, '0.00')", "1000.00"},
        // Sections: positive; negative; zero; Null.
        {"Format(-5, '0;(0)')", "(5)"},
        {"Format(5, '0;(0)')", "5"},
        {"Format(0, '0;(0);\"zero\"')", "zero"},
        {"Format(-5, '0;;\"zero\"')", "-5"},
        // User-defined numeric formats: the table of 5, -5 and 0.5, and the
        // sections of "$#,##0.00;($#,##0.00);\"Zero\";\"Null\"". A negative
        // section shows no minus sign of its own; one left empty borrows the
        // positive section, minus sign and all.
        {"Format(5, '$#,##0;($#,##0)')", "$5"},
        {"Format(-5, '$#,##0;($#,##0)')", "($5)"},
        {"Format(0.5, '$#,##0;($#,##0)')", "$1"},
        {"Format(0.5, '$#,##0.00;($#,##0.00)')", "$0.50"},
        {"Format(-5, '0%')", "-500%"},
        {"Format(0.5, '0.00E+00')", "5.00E-01"},
        {"Format(-5, '0.00E-00')", "-5.00E00"},
        {"Format(-5, '#,##0.00')", "-5.00"},
        {"Format(5, '$#,##0.00;($#,##0.00);\"Zero\";\"Null\"')", "$5.00"},
        {"Format(-5, '$#,##0.00;($#,##0.00);\"Zero\";\"Null\"')", "($5.00)"},
        {"Format(0, '$#,##0.00;($#,##0.00);\"Zero\";\"Null\"')", "Zero"},
        {"Format(0, '$#,##0;;\\Z\\e\\r\\o')", "Zero"},
        {"Format(-5, '$#,##0;;\\Z\\e\\r\\o')", "-$5"},
        {"Format(0, '0.00;;;\"Null\"')", "0.00"},
    });
    expectFormats(
        {
            {"Format(x, '0;(0);\"zero\";\"none\"')", "none"},
            {"Format(x, '$#,##0.00;($#,##0.00);\"Zero\";\"Null\"')", "Null"},
            {"Format(x, '0.00')", "NULL"},
        },
        2);
}

TEST_F(JetFormatTest, NamedDateFormats) {
    expectFormats({
        // VBA reference: Format function, named date/time formats, as a
        // Japanese Windows sets its short and long date and its times.
        {"Format(d, 'General Date')", "2020/05/24 13:07:30"},
        {"Format(d, 'Long Date')", "2020年5月24日"},
        {"Format(d, 'Medium Date')", "20/05/24"},
        {"Format(d, 'Short Date')", "2020/05/24"},
        {"Format(d, 'Long Time')", "13:07:30"},
        {"Format(d, 'Medium Time')", "01:07 PM"},
        {"Format(d, 'Short Time')", "13:07"},
        {"Format(#2020/05/24#, 'General Date')", "2020/05/24"},
        {"Format(#09:05#, 'General Date')", "9:05:00"},
        // No format: the value as CStr shows it.
        {"Format(d)", "2020/05/24 13:07:30"},
        {"Format(#2020/05/24#)", "2020/05/24"},
        {"Format(2.5)", "2.5"},
        {"Format(True)", "True"},
        {"Format(s)", "abc"},
    });
}

TEST_F(JetFormatTest, CustomDateFormats) {
    expectFormats({
        // VBA reference: User-defined date/time formats (2020/05/24 is a Sunday).
        {"Format(d, 'yyyy/mm/dd hh:nn:ss')", "2020/05/24 13:07:30"},
        {"Format(d, 'dddd, mmmm d, yyyy')", "Sunday, May 24, 2020"},
        {"Format(d, 'ddd mmm')", "Sun May"},
        {"Format(d, 'm/d/yy')", "5/24/20"},
        {"Format(d, 'h:mm AM/PM')", "1:07 PM"},
        {"Format(d, 'hh:nn am/pm')", "01:07 pm"},
        {"Format(d, 'h a/p')", "1 p"},
        {"Format(#2020/05/24 09:00#, 'h A/P')", "9 A"},
        {"Format(d, 'hh:mm')", "13:07"},
        {"Format(d, 'mm:ss')", "07:30"},
        {"Format(d, 'q')", "2"},
        {"Format(d, 'w')", "1"},
        {"Format(d, 'ww')", "22"},
        {"Format(d, 'y')", "145"},
        {"Format(d, 'yy')", "20"},
        {"Format(d, 'c')", "2020/05/24 13:07:30"},
        {"Format(d, 'ddddd')", "2020/05/24"},
        {"Format(d, 'ttttt')", "13:07:30"},
        {"Format(d, '\"Today is \"dddd')", "Today is Sunday"},
        {"Format(d, '\\d\\a\\y d')", "day 24"},
        // A number and a date text take a date format as dates.
        {"Format(45000, 'yyyy/mm/dd')", "2023/03/15"},
        {"Format('2020/05/24', 'mmm d')", "May 24"},
    });
}

TEST_F(JetFormatTest, StringFormats) {
    expectFormats({
        // VBA reference: User-defined string formats.
        {"Format(s, '>')", "ABC"},
        {"Format('ABC', '<')", "abc"},
        {"Format('12345', '@@@-@@')", "123-45"},
        {"Format('ab', '@@@@')", "  ab"},
        {"Format('ab', '!@@@@')", "ab  "},
        {"Format('ab', '&&&&')", "ab"},
        {"Format('abcdef', '@@-@@')", "abcd-ef"},
        {"Format('', '@;\"empty\"')", "empty"},
        {"Format('ｱｲｳ', '@@@@')", " ｱｲｳ"},
        {"Format('abc', '0.00')", "abc"},
        // Two sections: the text; a zero-length text or Null.
        {"Format('abc', '@;\"empty\"')", "abc"},
        {"Format('abc', '>;\"(none)\"')", "ABC"},
        {"Format(123, '@@@@@')", "  123"},
    });
    expectFormats(
        {
            {"Format(s, '@;\"empty\"')", "empty"},
            {"Format(s, '>;\"(none)\"')", "(none)"},
        },
        2);
}

TEST_F(JetFormatTest, FormatNumberCurrencyPercentDateTime) {
    expectFormats({
        // VBA reference: FormatNumber function (value, digits, leading digit,
        // parentheses, grouping; -2 takes the locale's choice).
        {"FormatNumber(1234.567)", "1,234.57"},
        {"FormatNumber(1234.567, 1)", "1,234.6"},
        {"FormatNumber(0.5, 2, 0)", ".50"},
        {"FormatNumber(-3, 0, -1, -1)", "(3)"},
        {"FormatNumber(-3, 0, -2, 0)", "-3"},
        {"FormatNumber(1234, 0, -1, 0, 0)", "1234"},
        {"FormatNumber(-0.001, 2)", "0.00"},
        // VBA reference: FormatCurrency function.
        {"FormatCurrency(x)",
         "\xC2\xA5"
         "1,235"},
        {"FormatCurrency(-5, 2)",
         "-\xC2\xA5"
         "5.00"},
        {"FormatCurrency(-5, 2, -1, -1)",
         "(\xC2\xA5"
         "5.00)"},
        // VBA reference: FormatPercent function.
        {"FormatPercent(0.1234)", "12.34%"},
        {"FormatPercent(0.5, 0)", "50%"},
        // VBA reference: FormatDateTime function (vbGeneralDate .. vbShortTime).
        {"FormatDateTime(d)", "2020/05/24 13:07:30"},
        {"FormatDateTime(d, 1)", "2020年5月24日"},
        {"FormatDateTime(d, 2)", "2020/05/24"},
        {"FormatDateTime(d, 3)", "13:07:30"},
        {"FormatDateTime(d, 4)", "13:07"},
    });
    const enginetest::JetRefusal refusals[] = {
        {"SELECT FormatNumber('abc')", 13},
        {"SELECT FormatNumber(Null)", 94},
        {"SELECT FormatDateTime(#2020/05/24#, 7)", 5},
        {"SELECT FormatDateTime('not a date')", 13},
    };
    enginetest::expectRefusals(refusals, [this](const std::string& sql) { return refused(sql); });
}

}  // namespace
