// The viewer's texts that do not depend on its window: the lines of the
// table list, the statements that load the record grid and the grid's
// clipboard text.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace viewer {

enum class TableGrouping {
    Grouped,  // each family of dated tables (prefix, "_", six digits) shows its newest member
    All,      // every name is listed
};

// The lines of the table list from ListUserTables' names, in their order.
// Names that begin with "MSys" are never listed. Grouped, a name of the form
// prefix + "_" + six digits is listed only when its digits are the highest of
// its prefix (the first one wins a tie), and any other name of the form
// prefix + "_" + six characters is hidden when that prefix has a dated
// member. Lengths count bytes.
std::vector<std::string> TableListLines(const std::vector<std::string>& userTables,
                                        TableGrouping grouping);

// "SELECT COUNT(*) AS DataCount FROM [" + table + "] ;". A name that cannot
// be bracketed raises db::JetNameError, here and in RecordQueryText.
std::string CountQueryText(const std::string& table);

// The field of the count query's answer.
inline constexpr std::string_view kCountField = "DataCount";

// The leading integer of a text as C's atoi reads it (the row count from the
// count query's value, a size from its text); 0 when there is none or it
// does not fit.
long IntegerValueOf(const std::string& text);

// The row limit that the limit field's text asks for: nullopt (every row)
// for an empty text, 0, a text without a leading integer or one too large to
// hold; otherwise the leading integer, leading blanks and sign allowed.
std::optional<long> RowLimitFromText(const std::string& rowLimitText);

// "SELECT " [+ "TOP " + limit + " "] + headings joined with "," + " FROM " +
// table + " ;", every name in brackets, for example
// "SELECT TOP 500 [ID],[NAME] FROM [t_sample] ;"; with no heading the
// statement reads "SELECT TOP 500 FROM [t_sample] ;", which the engine refuses.
std::string RecordQueryText(const std::string& table, const std::vector<std::string>& headings,
                            const std::string& rowLimitText);

// The grid as the clipboard gets it: every heading followed by a tab, a line
// feed, then every row likewise, so each line ends with a tab before its
// line feed. Headings longer than 255 bytes are cut at a character boundary,
// as the grid hands them out. `cell(row, column)` gives a cell's text.
using GridCellText = std::function<std::string_view(std::size_t row, std::size_t column)>;
std::string GridCopyText(const std::vector<std::string>& headings, std::size_t rowCount,
                         const GridCellText& cell);
std::string GridCopyText(const std::vector<std::string>& headings,
                         const std::vector<std::vector<std::string>>& rows);

// The longest prefix of `text` of at most `maxBytes` bytes that does not end
// inside a UTF-8 character.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes);

}  // namespace viewer
