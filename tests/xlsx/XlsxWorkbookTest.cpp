#include <gtest/gtest.h>
#include <stdio.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "tests/support/TempFolder.h"
#include "tests/viewer/WorkbookFacts.h"
#include "xlsx/Workbook.h"

namespace {

using viewertest::ReadWorkbookFacts;
using xlsx::Edge;

std::string RunCommand(const std::string& command) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    std::string output;
    char buffer[4096];
    std::size_t read = 0;
    while (pipe != nullptr && (read = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, read);
    }
    if (pipe != nullptr) pclose(pipe);
    return output;
}

class XlsxWorkbook : public ::testing::Test {
  protected:
    testsupport::TempFolder folder_;
    const std::string path_ = folder_.Folder() + "book.xlsx";
};

// Cells written out of order, overwritten and merged land where they were
// written, with their looks, as an independent reader sees them.
TEST_F(XlsxWorkbook, CellsReadBackInPlaceWithTheirLooks) {
    {
        xlsx::Workbook book(path_, {"First", "Second"});
        xlsx::Style framed;
        framed.fontName = "ＭＳ 明朝";
        framed.fontSize = 16;
        framed.bold = true;
        framed.italic = true;
        framed.fontColor = 0xFFFFFF;
        framed.fill = xlsx::Fill::Solid;
        framed.fillColor = 0x339966;
        framed.align = xlsx::Align::Center;
        framed.shrinkToFit = true;
        framed.left = framed.right = Edge::Thin;
        framed.top = framed.bottom = Edge::Thick;
        xlsx::Style grey;
        grey.fill = xlsx::Fill::Gray0625;
        grey.fillColor = 0xCCFFCC;
        grey.align = xlsx::Align::Left;
        const xlsx::StyleId framedId = book.AddStyle(framed);
        const xlsx::StyleId greyId = book.AddStyle(grey);
        EXPECT_EQ(book.AddStyle(framed), framedId);
        EXPECT_EQ(book.AddStyle(xlsx::Style{}), 0u);

        // The second sheet first: positions, not writing order, decide.
        xlsx::Sheet second = book.NewSheet();
        second.WriteNumber(0, 0, 2.5, 0);
        book.WriteSheet(1, second);

        xlsx::Sheet first = book.NewSheet();
        first.SetZoom(115);
        first.SetColumns(0, 255, 3.63, greyId);
        first.SetRowHeight(4, 6.75);  // a row with a height and no cells
        first.WriteString(2, 27, "later row, far column", framedId);
        first.WriteString(0, 0, "replaced", greyId);
        first.Merge(0, 0, 1, 2);
        first.WriteString(0, 0, "title", framedId);
        first.WriteBlank(1, 2, framedId);
        first.WriteNumber(3, 1, 12345678901.0, 0);
        first.WriteString(3, 3, "Second", greyId);
        first.LinkToLocation(3, 3, "'Second'!A1", "Second", "to the second sheet");
        book.WriteSheet(0, first);
        book.Close();
    }
    viewertest::WorkbookFacts facts = ReadWorkbookFacts(path_);
    const std::pair<std::string, std::string> expected[] = {
        {"sheets", "First|Second"},
        {"First!zoom", "115"},
        {"First!cols.A-IV", "4.29"},  // 3.63 characters as the spreadsheet stores them
        {"First!row.5", "6.75"},
        {"First!merges", "A1:C2"},
        {"First!A1.value", "s:title"},
        {"First!A1.font", "ＭＳ 明朝/16/bi/FFFFFFFF/none"},
        {"First!A1.fill", "solid/FF339966/i64"},
        {"First!A1.border", "thin/thick/thin/thick"},
        {"First!A1.align", "center/shrink"},
        // The reader draws a merged range's covered cells from its outline.
        {"First!C2.border", "none/none/thin/thick"},
        {"First!AB3.value", "s:later row, far column"},
        {"First!B4.value", "n:12345678901"},
        {"First!D4.fill", "gray0625/00000000/FFCCFFCC"},
        {"First!D4.align", "left/"},
        {"First!D4.link", "'Second'!A1|to the second sheet|"},
        {"Second!A1.value", "n:2.5"},
        {"Second!zoom", "100"},
    };
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(facts[key], value) << key;
    }
}

// Texts keep every character, markup and control characters included; bytes
// that are not UTF-8 become U+FFFD instead of making the file unreadable.
TEST_F(XlsxWorkbook, TextsSurviveEscaping) {
    const std::pair<std::string, std::string> cases[] = {
        {"a & b < c > d \"e\" 'f'", "a & b < c > d \"e\" 'f'"},
        {"  leading and trailing  ", "  leading and trailing  "},
        {"two\nlines\tand a tab", "two\nlines\tand a tab"},
        // The spreadsheet reads _xHHHH_ as the character; this reader leaves it.
        {"bell\x07 and return\r", "bell_x0007_ and return_x000D_"},
        {"_x0041_ stays as typed", "_x0041_ stays as typed"},
        {"テーブル仕様書", "テーブル仕様書"},
        {"broken \xE3\x81 utf-8 \xFF \xED\xA0\x80",
         "broken \xEF\xBF\xBD utf-8 \xEF\xBF\xBD \xEF\xBF\xBD"},
    };
    {
        xlsx::Workbook book(path_, {"Texts & <names>"});
        xlsx::Sheet sheet = book.NewSheet();
        for (std::size_t at = 0; at < std::size(cases); ++at) {
            sheet.WriteString(static_cast<int>(at), 0, cases[at].first, 0);
            sheet.WriteString(static_cast<int>(at), 1, cases[at].first, 0);  // shared once
        }
        sheet.LinkToLocation(0, 0, "'Texts & <names>'!A1", cases[0].first, "tip \"quoted\"\n");
        book.WriteSheet(0, sheet);
        book.Close();
    }
    // The reader answers in hexadecimal UTF-8, so that every byte compares.
    const std::string output = RunCommand(
        "/usr/bin/python3 -c \"import openpyxl,sys\n"
        "ws=openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
        "h=lambda t: t.encode('utf-8').hex()\n"
        "print(h(ws.title), h(ws['A1'].hyperlink.tooltip))\n"
        "for r in ws.iter_rows(values_only=True): print(h(r[0]), r[0]==r[1])\" '" +
        path_ + "'");
    auto hex = [](const std::string& text) {
        std::string out;
        char digits[3];
        for (const unsigned char c : text) {
            std::snprintf(digits, sizeof digits, "%02x", c);
            out += digits;
        }
        return out;
    };
    std::string expected = hex("Texts & <names>") + " " + hex("tip \"quoted\"\n") + "\n";
    for (const auto& [written, read] : cases) {
        expected += hex(read) + " True\n";
    }
    EXPECT_EQ(output, expected);
}

// The archive is whole for an independent zip reader (every member's
// checksum, every part a workbook needs) and every part is well-formed XML,
// whatever the names and texts hold.
TEST_F(XlsxWorkbook, ArchiveIsWholeAndEveryPartWellFormed) {
    const std::vector<std::string> names = {"A & <B>", "it's \"C\"", "\xE3\x81 \x01"};
    {
        xlsx::Workbook book(path_, names);
        for (std::size_t at : {2u, 0u, 1u}) {
            xlsx::Sheet sheet = book.NewSheet();
            for (int row = 0; row < 2000; ++row) {
                sheet.WriteString(row, 0, "row " + std::to_string(row) + " \x02\r<&>", 0);
            }
            sheet.LinkToLocation(0, 0, "'" + names[at] + "'!A1", names[at], "\x03\"tip\"");
            book.WriteSheet(at, sheet);
        }
        book.Close();
    }
    EXPECT_EQ(RunCommand("/usr/bin/python3 -c \"import zipfile,sys,xml.dom.minidom as m\n"
                         "z=zipfile.ZipFile(sys.argv[1])\n"
                         "print(z.testzip())\n"
                         "[m.parseString(z.read(n)) for n in z.namelist()]\n"
                         "print(' '.join(sorted(z.namelist())))\" '" +
                         path_ + "'"),
              "None\n[Content_Types].xml _rels/.rels xl/_rels/workbook.xml.rels "
              "xl/sharedStrings.xml xl/styles.xml xl/workbook.xml xl/worksheets/sheet1.xml "
              "xl/worksheets/sheet2.xml xl/worksheets/sheet3.xml\n");
    EXPECT_EQ(ReadWorkbookFacts(path_)["sheets"], "A & <B>|it's \"C\"|\xEF\xBF\xBD _x0001_");
}

// A file that cannot be created or written, and a text no cell can hold,
// are errors that say why; the file errors name the file.
TEST(XlsxWorkbookFailure, FailuresAreErrorsThatSayWhy) {
    testsupport::TempFolder folder;
    const std::string plainFile = folder.Folder() + "plain";
    std::ofstream(plainFile) << "x";
    try {
        xlsx::Workbook book(plainFile + "/book.xlsx", {"A"});
        ADD_FAILURE() << "opened a path through a plain file";
    } catch (const xlsx::WriteError& error) {
        EXPECT_NE(std::string(error.what()).find(plainFile + "/book.xlsx"), std::string::npos);
        EXPECT_NE(std::string(error.what()).find(std::strerror(ENOTDIR)), std::string::npos);
    }

    {
        xlsx::Workbook book(folder.Folder() + "long.xlsx", {"A"});
        xlsx::Sheet sheet = book.NewSheet();
        sheet.WriteString(0, 0, std::string(32767, 'x'), 0);  // the most a cell holds
        EXPECT_THROW(sheet.WriteString(1, 0, std::string(32766, 'x') + "日本", 0),
                     xlsx::WriteError);
    }

    xlsx::Workbook full("/dev/full", {"A"});
    xlsx::Sheet sheet = full.NewSheet();
    sheet.WriteString(0, 0, "text", 0);
    full.WriteSheet(0, sheet);
    try {
        full.Close();
        ADD_FAILURE() << "a full device took the workbook";
    } catch (const xlsx::WriteError& error) {
        EXPECT_NE(std::string(error.what()).find(std::strerror(ENOSPC)), std::string::npos)
            << error.what();
    }
}

TEST(XlsxSheetNames, ProblemsAreNamed) {
    const std::string thirtyOne = "テーブル名が三十一文字ちょうどのシート名になるかを確かめる名前";
    ASSERT_EQ(thirtyOne.size(), 31u * 3);
    const std::pair<std::string, bool> cases[] = {
        {"t_kumi", true},   {thirtyOne, true}, {thirtyOne + "x", false}, {"", false},
        {"a[b", false},     {"a]b", false},    {"a:b", false},           {"a*b", false},
        {"a?b", false},     {"a/b", false},    {"a\\b", false},          {"'quoted", false},
        {"quoted'", false}, {"it's", true},    {"テーブル一覧", true},
    };
    for (const auto& [name, allowed] : cases) {
        EXPECT_EQ(!xlsx::SheetNameProblem(name).has_value(), allowed) << name;
    }
    testsupport::TempFolder folder;
    EXPECT_THROW(xlsx::Workbook(folder.Folder() + "b.xlsx", {"Alpha", "ALPHA"}), xlsx::WriteError);
    EXPECT_THROW(xlsx::Workbook(folder.Folder() + "b.xlsx", {"a:b"}), xlsx::WriteError);
}

}  // namespace
