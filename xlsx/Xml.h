// The XML text of the workbook's parts, shared by the files of xlsx/ and
// by nothing else.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "xlsx/Workbook.h"

namespace xlsx::detail {

inline constexpr std::string_view kXmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
inline constexpr std::string_view kMainNamespace =
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr std::string_view kRelationshipsNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr std::string_view kPackageRelationshipsNamespace =
    "http://schemas.openxmlformats.org/package/2006/relationships";

enum class Context { Element, Attribute };

// `text` as XML character data: markup characters as entities, control
// characters XML cannot carry as the spreadsheet's _xHHHH_ escapes, and
// bytes that are not UTF-8 as U+FFFD, so that no text can make the file
// unreadable.
void AppendText(std::string& out, std::string_view text, Context context);

// Shortest text that reads back as the same number, with a full stop
// whatever the locale.
void AppendNumber(std::string& out, double value);
void AppendInteger(std::string& out, long long value);

// "B3" for row 2, column 1 (both from 0); a range "B3:D4", or one cell.
void AppendCellName(std::string& out, int row, int column);
void AppendRange(std::string& out, int firstRow, int firstColumn, int lastRow, int lastColumn);

std::size_t CharacterCount(std::string_view text);
// The first `characters` characters of a UTF-8 text.
std::string_view Utf8Head(std::string_view text, std::size_t characters);

// xl/styles.xml for the workbook's styles; style id n is styles[n - 1].
std::string StylesXml(const std::vector<Style>& styles);

}  // namespace xlsx::detail
