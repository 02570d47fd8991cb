#include "viewer/GridText.h"

#include <cctype>
#include <charconv>
#include <map>

#include "db/SchemaNames.h"

namespace viewer {
namespace {

constexpr std::size_t kDateSuffixLength = 7;  // "_" and six digits
constexpr std::size_t kHeadingBufferBytes = 255;

bool HasDateSeparator(std::string_view name) {
    return name.size() >= kDateSuffixLength && name[name.size() - kDateSuffixLength] == '_';
}

std::string_view DatePrefix(std::string_view name) {
    return name.substr(0, name.size() - kDateSuffixLength);
}

std::string_view DateDigits(std::string_view name) {
    return name.substr(name.size() - 6);
}

bool IsDatedName(std::string_view name) {
    if (!HasDateSeparator(name)) {
        return false;
    }
    for (const char c : DateDigits(name)) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// The leading integer of a text as C's atoi reads it; nullopt when there is
// none or it does not fit a long.
std::optional<long> LeadingInteger(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
    if (at < text.size() && text[at] == '+') {
        ++at;  // from_chars takes no plus sign
        if (at < text.size() && text[at] == '-') {
            return std::nullopt;
        }
    }
    long value = 0;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (error != std::errc()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::vector<std::string> TableListLines(const std::vector<std::string>& userTables,
                                        TableGrouping grouping) {
    const bool grouped = grouping == TableGrouping::Grouped;
    // Prefix to the name of its newest dated member.
    std::map<std::string_view, std::string_view> newestOfFamily;
    if (grouped) {
        for (const std::string& name : userTables) {
            if (!IsDatedName(name)) {
                continue;
            }
            const auto [entry, inserted] = newestOfFamily.try_emplace(DatePrefix(name), name);
            // Six digits compare as numbers exactly as they compare as texts.
            if (!inserted && DateDigits(name) > DateDigits(entry->second)) {
                entry->second = name;
            }
        }
    }

    std::vector<std::string> lines;
    for (const std::string& name : userTables) {
        if (name.starts_with("MSys")) {
            continue;
        }
        if (grouped && HasDateSeparator(name)) {
            // The digits are not looked at again: an undated sibling of a
            // dated family is hidden as well.
            const auto family = newestOfFamily.find(DatePrefix(name));
            if (family != newestOfFamily.end() && family->second != name) {
                continue;
            }
        }
        lines.push_back(name);
    }
    return lines;
}

std::string CountQueryText(const std::string& table) {
    return "SELECT COUNT(*) AS DataCount FROM " + db::BracketedName(table) + " ;";
}

long IntegerValueOf(const std::string& text) {
    return LeadingInteger(text).value_or(0);
}

std::optional<long> RowLimitFromText(const std::string& rowLimitText) {
    const std::optional<long> limit = LeadingInteger(rowLimitText);
    if (!limit || *limit == 0) {
        return std::nullopt;
    }
    return limit;
}

std::string RecordQueryText(const std::string& table, const std::vector<std::string>& headings,
                            const std::string& rowLimitText) {
    std::string query = "SELECT ";
    // The number itself rather than the field's text goes into the statement,
    // so nothing but digits ever reaches the engine from that field.
    if (const std::optional<long> limit = RowLimitFromText(rowLimitText)) {
        query += "TOP " + std::to_string(*limit) + " ";
    }
    for (std::size_t column = 0; column < headings.size(); ++column) {
        query += db::BracketedName(headings[column]);
        query += column + 1 < headings.size() ? "," : " ";
    }
    query += "FROM " + db::BracketedName(table) + " ;";
    return query;
}

std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t end = maxBytes;
    // Step back over continuation bytes to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

std::string GridCopyText(const std::vector<std::string>& headings, std::size_t rowCount,
                         const GridCellText& cell) {
    std::string text;
    for (const std::string& heading : headings) {
        text += Utf8Prefix(heading, kHeadingBufferBytes);
        text += '\t';
    }
    text += '\n';
    for (std::size_t row = 0; row < rowCount; ++row) {
        for (std::size_t column = 0; column < headings.size(); ++column) {
            text += cell(row, column);
            text += '\t';
        }
        text += '\n';
    }
    return text;
}

std::string GridCopyText(const std::vector<std::string>& headings,
                         const std::vector<std::vector<std::string>>& rows) {
    return GridCopyText(headings, rows.size(), [&rows](std::size_t row, std::size_t column) {
        const std::vector<std::string>& cells = rows[row];
        return column < cells.size() ? std::string_view(cells[column]) : std::string_view();
    });
}

}  // namespace viewer
