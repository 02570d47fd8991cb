#include "xlsx/Workbook.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>
#include <stdexcept>
#include <tuple>

#include "xlsx/Zip.h"

namespace xlsx {
namespace {

// The spreadsheet's own limits.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr std::size_t kMaxCellCharacters = 32767;

constexpr std::string_view kXmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMainNamespace =
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelationshipsNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kPackageRelationshipsNamespace =
    "http://schemas.openxmlformats.org/package/2006/relationships";

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

// The length of the well-formed UTF-8 sequence at `at`, 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t offset) {
        return static_cast<unsigned char>(text[at + offset]);
    };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    std::uint32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t offset = 1; offset < length; ++offset) {
        if ((byte(offset) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(offset) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < lowest || code > 0x10FFFF || surrogate ? 0 : length;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// "_xHHHH_" in a text is the spreadsheet's escape for a character; a text
// that holds those seven characters itself has its "_" escaped.
bool LooksLikeCharacterEscape(std::string_view text, std::size_t at) {
    return at + 7 <= text.size() && text[at + 1] == 'x' && IsHexDigit(text[at + 2]) &&
           IsHexDigit(text[at + 3]) && IsHexDigit(text[at + 4]) && IsHexDigit(text[at + 5]) &&
           text[at + 6] == '_';
}

void AppendHex4(std::string& out, unsigned value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xF];
}

enum class Context { Element, Attribute };

// `text` as XML character data: markup characters as entities, control
// characters XML cannot carry as the spreadsheet's _xHHHH_ escapes, and
// bytes that are not UTF-8 as U+FFFD, so that no text can make the file
// unreadable.
void AppendText(std::string& out, std::string_view text, Context context) {
    std::size_t run = 0;  // start of the bytes not yet copied
    auto flush = [&](std::size_t end) { out.append(text.data() + run, end - run); };
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            const std::size_t length = Utf8SequenceLength(text, at);
            if (length != 0) {
                at += length;
                continue;
            }
            flush(at);
            out += "\xEF\xBF\xBD";
            // A cut-short sequence is one character gone, not several.
            const std::size_t expected = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 1;
            for (std::size_t follow = 1; follow < expected && at + 1 < text.size() &&
                                         (static_cast<unsigned char>(text[at + 1]) & 0xC0) == 0x80;
                 ++follow) {
                ++at;
            }
        } else if (c >= 0x20 && c != '&' && c != '<' && c != '>' && c != '"' && c != '_') {
            ++at;
            continue;
        } else {
            flush(at);
            switch (c) {
                case '&':
                    out += "&amp;";
                    break;
                case '<':
                    out += "&lt;";
                    break;
                case '>':
                    out += "&gt;";
                    break;
                case '"':
                    out += context == Context::Attribute ? "&quot;" : "\"";
                    break;
                case '_':
                    out += LooksLikeCharacterEscape(text, at) ? "_x005F_" : "_";
                    break;
                case '\t':
                case '\n':
                    if (context == Context::Attribute) {
                        out += c == '\t' ? "&#9;" : "&#10;";
                    } else {
                        out += static_cast<char>(c);
                    }
                    break;
                default:  // other control characters, carriage return among them
                    out += "_x";
                    AppendHex4(out, c);
                    out += '_';
                    break;
            }
        }
        ++at;
        run = at;
    }
    flush(text.size());
}

// Shortest text that reads back as the same number, with a full stop
// whatever the locale.
void AppendNumber(std::string& out, double value) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendInteger(std::string& out, long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendColumnName(std::string& out, int column) {
    char letters[4];
    int count = 0;
    for (int rest = column + 1; rest > 0; rest = (rest - 1) / 26) {
        letters[count++] = static_cast<char>('A' + (rest - 1) % 26);
    }
    while (count > 0) out += letters[--count];
}

void AppendCellName(std::string& out, int row, int column) {
    AppendColumnName(out, column);
    AppendInteger(out, row + 1);
}

void AppendRange(std::string& out, int firstRow, int firstColumn, int lastRow, int lastColumn) {
    AppendCellName(out, firstRow, firstColumn);
    if (firstRow != lastRow || firstColumn != lastColumn) {
        out += ':';
        AppendCellName(out, lastRow, lastColumn);
    }
}

// The file stores widths as the spreadsheet computes them from what its
// dialog takes: whole pixels of a 7-pixel digit plus 5 pixels of padding,
// in 1/256 of a character.
double StoredColumnWidth(double width) {
    if (width <= 0) return 0;
    const double pixels = std::floor(width * 7 + 0.5) + 5;
    return std::floor(pixels * 256 / 7) / 256;
}

void AppendRgb(std::string& out, std::uint32_t rgb) {
    out += "\"FF";
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 20; shift >= 0; shift -= 4) out += kDigits[(rgb >> shift) & 0xF];
    out += '"';
}

std::string FoldedAscii(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

// The first `characters` characters of a UTF-8 text.
std::string_view Utf8Head(std::string_view text, std::size_t characters) {
    std::size_t end = 0;
    for (std::size_t seen = 0; end < text.size(); ++end) {
        if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80 && seen++ == characters) break;
    }
    return text.substr(0, end);
}

std::size_t CharacterCount(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// ---------------------------------------------------------------------------
// Styles
// ---------------------------------------------------------------------------

struct FontKey {
    std::string name;
    double size;
    bool bold;
    bool italic;
    std::optional<std::uint32_t> color;
    auto operator<=>(const FontKey&) const = default;
};

struct FillKey {
    Fill fill;
    std::uint32_t color;
    auto operator<=>(const FillKey&) const = default;
};

struct BorderKey {
    Edge left, right, top, bottom;
    auto operator<=>(const BorderKey&) const = default;
};

FontKey FontOf(const Style& style) {
    return {style.fontName, style.fontSize, style.bold, style.italic, style.fontColor};
}
FillKey FillOf(const Style& style) {
    return {style.fill, style.fill == Fill::None ? 0 : style.fillColor};
}
BorderKey BorderOf(const Style& style) {
    return {style.left, style.right, style.top, style.bottom};
}

// Numbers items in order of first appearance; `fixed` come first.
template <typename Key>
class Numbering {
  public:
    explicit Numbering(std::vector<Key> fixed) {
        for (Key& key : fixed) Number(key);
    }
    std::size_t Number(const Key& key) {
        const auto [found, added] = numbers_.emplace(key, keys_.size());
        if (added) keys_.push_back(key);
        return found->second;
    }
    const std::vector<Key>& Keys() const { return keys_; }

  private:
    std::map<Key, std::size_t> numbers_;
    std::vector<Key> keys_;
};

void AppendEdge(std::string& out, std::string_view side, Edge edge) {
    out += '<';
    out += side;
    if (edge == Edge::None) {
        out += "/>";
        return;
    }
    out += edge == Edge::Thin ? " style=\"thin\">" : " style=\"thick\">";
    out += "<color auto=\"1\"/></";
    out += side;
    out += '>';
}

std::string StylesXml(const std::vector<Style>& styles) {
    Numbering<FontKey> fonts({FontOf(Style{})});
    Numbering<FillKey> fills(
        {{Fill::None, 0}, {Fill::Gray0625, 0}});  // 1: Excel's reserved gray125
    Numbering<BorderKey> borders({BorderOf(Style{})});
    std::string xfs;
    for (const Style& style : styles) {
        const std::size_t font = fonts.Number(FontOf(style));
        const std::size_t fill = style.fill == Fill::None ? 0 : fills.Number(FillOf(style));
        const std::size_t border = borders.Number(BorderOf(style));
        const bool aligned = style.align != Align::General || style.shrinkToFit;
        xfs += "<xf numFmtId=\"0\" fontId=\"";
        AppendInteger(xfs, static_cast<long long>(font));
        xfs += "\" fillId=\"";
        AppendInteger(xfs, static_cast<long long>(fill));
        xfs += "\" borderId=\"";
        AppendInteger(xfs, static_cast<long long>(border));
        xfs += "\" xfId=\"0\"";
        if (font != 0) xfs += " applyFont=\"1\"";
        if (fill != 0) xfs += " applyFill=\"1\"";
        if (border != 0) xfs += " applyBorder=\"1\"";
        if (!aligned) {
            xfs += "/>";
            continue;
        }
        xfs += " applyAlignment=\"1\"><alignment";
        if (style.align == Align::Left) xfs += " horizontal=\"left\"";
        if (style.align == Align::Center) xfs += " horizontal=\"center\"";
        if (style.shrinkToFit) xfs += " shrinkToFit=\"1\"";
        xfs += "/></xf>";
    }

    std::string out(kXmlDeclaration);
    out += "<styleSheet xmlns=\"";
    out += kMainNamespace;
    out += "\"><fonts count=\"";
    AppendInteger(out, static_cast<long long>(fonts.Keys().size()));
    out += "\">";
    for (const FontKey& font : fonts.Keys()) {
        out += "<font>";
        if (font.bold) out += "<b/>";
        if (font.italic) out += "<i/>";
        out += "<sz val=\"";
        AppendNumber(out, font.size);
        out += "\"/>";
        if (font.color) {
            out += "<color rgb=";
            AppendRgb(out, *font.color);
            out += "/>";
        }
        out += "<name val=\"";
        AppendText(out, font.name, Context::Attribute);
        out += "\"/><family val=\"2\"/></font>";
    }
    out += "</fonts><fills count=\"";
    AppendInteger(out, static_cast<long long>(fills.Keys().size()));
    out += "\">";
    for (std::size_t at = 0; at < fills.Keys().size(); ++at) {
        const FillKey& fill = fills.Keys()[at];
        if (at == 0) {
            out += "<fill><patternFill patternType=\"none\"/></fill>";
        } else if (at == 1) {
            out += "<fill><patternFill patternType=\"gray125\"/></fill>";
        } else if (fill.fill == Fill::Solid) {
            out += "<fill><patternFill patternType=\"solid\"><fgColor rgb=";
            AppendRgb(out, fill.color);
            out += "/><bgColor indexed=\"64\"/></patternFill></fill>";
        } else {
            out += "<fill><patternFill patternType=\"gray0625\"><bgColor rgb=";
            AppendRgb(out, fill.color);
            out += "/></patternFill></fill>";
        }
    }
    out += "</fills><borders count=\"";
    AppendInteger(out, static_cast<long long>(borders.Keys().size()));
    out += "\">";
    for (const BorderKey& border : borders.Keys()) {
        out += "<border>";
        AppendEdge(out, "left", border.left);
        AppendEdge(out, "right", border.right);
        AppendEdge(out, "top", border.top);
        AppendEdge(out, "bottom", border.bottom);
        out += "<diagonal/></border>";
    }
    out +=
        "</borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
        "borderId=\"0\"/></cellStyleXfs><cellXfs count=\"";
    AppendInteger(out, static_cast<long long>(styles.size() + 1));
    out += "\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>";
    out += xfs;
    out +=
        "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
        "builtinId=\"0\"/></cellStyles><dxfs count=\"0\"/><tableStyles count=\"0\"/>"
        "</styleSheet>";
    return out;
}

}  // namespace

std::optional<std::string> SheetNameProblem(std::string_view name) {
    if (name.empty()) {
        return "シート名が空です。";
    }
    if (CharacterCount(name) > kMaxSheetNameCharacters) {
        return "シート名は31文字までです。";
    }
    if (name.find_first_of("[]:*?/\\") != std::string_view::npos) {
        return "シート名に使えない文字（[ ] : * ? / \\）を含んでいます。";
    }
    if (name.front() == '\'' || name.back() == '\'') {
        return "シート名の最初と最後にアポストロフィは使えません。";
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// Sheet
// ---------------------------------------------------------------------------

void Sheet::SetColumns(int first, int last, double width, StyleId style) {
    if (first < 0 || last < first || last >= kMaxColumns) {
        throw std::out_of_range("xlsx::Sheet::SetColumns: columns outside the sheet");
    }
    columns_.push_back({first, last, width, style});
}

void Sheet::Add(CellEntry entry) {
    if (entry.row < 0 || entry.row >= kMaxRows || entry.column < 0 || entry.column >= kMaxColumns) {
        throw std::out_of_range("xlsx::Sheet: a cell outside the sheet");
    }
    entry.order = static_cast<std::uint32_t>(cells_.size());
    cells_.push_back(entry);
}

void Sheet::WriteBlank(int row, int column, StyleId style) {
    Add({row, column, 0, Kind::Blank, style, 0, 0});
}

void Sheet::WriteString(int row, int column, std::string_view text, StyleId style) {
    if (text.empty()) {
        WriteBlank(row, column, style);
        return;
    }
    // The spreadsheet would call a longer text damage and drop it.
    if (text.size() > kMaxCellCharacters && CharacterCount(text) > kMaxCellCharacters) {
        throw WriteError("セルの文字列が長すぎます（" + std::to_string(kMaxCellCharacters) +
                         "文字まで）：" + std::string(Utf8Head(text, 40)) + "…");
    }
    Add({row, column, 0, Kind::String, style, workbook_->SharedString(text), 0});
}

void Sheet::WriteNumber(int row, int column, double value, StyleId style) {
    Add({row, column, 0, Kind::Number, style, 0, value});
}

void Sheet::Merge(int firstRow, int firstColumn, int lastRow, int lastColumn) {
    if (firstRow < 0 || firstColumn < 0 || lastRow < firstRow || lastColumn < firstColumn ||
        lastRow >= kMaxRows || lastColumn >= kMaxColumns) {
        throw std::out_of_range("xlsx::Sheet::Merge: a range outside the sheet");
    }
    merges_.push_back({firstRow, firstColumn, lastRow, lastColumn});
}

void Sheet::LinkToLocation(int row, int column, std::string_view location, std::string_view display,
                           std::string_view tooltip) {
    links_.push_back(
        {row, column, std::string(location), std::string(display), std::string(tooltip)});
}

// ---------------------------------------------------------------------------
// Sheet XML
// ---------------------------------------------------------------------------

std::vector<Sheet::CellEntry> Sheet::SortedCells() const {
    std::vector<CellEntry> cells = cells_;
    std::sort(cells.begin(), cells.end(), [](const CellEntry& a, const CellEntry& b) {
        return std::tie(a.row, a.column, a.order) < std::tie(b.row, b.column, b.order);
    });
    // Of the writes to one cell the last one stands.
    std::size_t kept = 0;
    for (std::size_t at = 0; at < cells.size(); ++at) {
        if (kept > 0 && cells[kept - 1].row == cells[at].row &&
            cells[kept - 1].column == cells[at].column) {
            cells[kept - 1] = cells[at];
        } else {
            cells[kept++] = cells[at];
        }
    }
    cells.resize(kept);
    return cells;
}

// The parts before the cells: extent, view, default row height, columns.
void Sheet::AppendHead(std::string& out, const std::vector<CellEntry>& cells, bool selected) const {
    out += "<worksheet xmlns=\"";
    out += kMainNamespace;
    out += "\" xmlns:r=\"";
    out += kRelationshipsNamespace;
    out += "\"><dimension ref=\"";
    if (cells.empty()) {
        out += "A1";
    } else {
        const auto [first, last] = std::minmax_element(
            cells.begin(), cells.end(),
            [](const CellEntry& a, const CellEntry& b) { return a.column < b.column; });
        AppendRange(out, cells.front().row, first->column, cells.back().row, last->column);
    }
    out += "\"/><sheetViews><sheetView";
    if (selected) out += " tabSelected=\"1\"";
    if (zoom_ != 100) {
        out += " zoomScale=\"";
        AppendInteger(out, zoom_);
        out += "\" zoomScaleNormal=\"";
        AppendInteger(out, zoom_);
        out += '"';
    }
    out += " workbookViewId=\"0\"/></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
    if (columns_.empty()) return;
    out += "<cols>";
    for (const Columns& columns : columns_) {
        out += "<col min=\"";
        AppendInteger(out, columns.first + 1);
        out += "\" max=\"";
        AppendInteger(out, columns.last + 1);
        out += "\" width=\"";
        AppendNumber(out, StoredColumnWidth(columns.width));
        out += '"';
        if (columns.style != 0) {
            out += " style=\"";
            AppendInteger(out, columns.style);
            out += '"';
        }
        out += " customWidth=\"1\"/>";
    }
    out += "</cols>";
}

// Every row that has cells or a height, in order, its cells in order.
void Sheet::AppendData(std::string& out, const std::vector<CellEntry>& cells) const {
    out += "<sheetData>";
    auto height = rowHeights_.begin();
    auto cell = cells.begin();
    while (cell != cells.end() || height != rowHeights_.end()) {
        const int row = cell == cells.end()           ? height->first
                        : height == rowHeights_.end() ? cell->row
                                                      : std::min(cell->row, height->first);
        out += "<row r=\"";
        AppendInteger(out, row + 1);
        out += '"';
        if (height != rowHeights_.end() && height->first == row) {
            out += " ht=\"";
            AppendNumber(out, height->second);
            out += "\" customHeight=\"1\"";
            ++height;
        }
        if (cell == cells.end() || cell->row != row) {
            out += "/>";
            continue;
        }
        out += '>';
        for (; cell != cells.end() && cell->row == row; ++cell) {
            out += "<c r=\"";
            AppendCellName(out, row, cell->column);
            out += '"';
            if (cell->style != 0) {
                out += " s=\"";
                AppendInteger(out, cell->style);
                out += '"';
            }
            switch (cell->kind) {
                case Kind::Blank:
                    out += "/>";
                    break;
                case Kind::String:
                    out += " t=\"s\"><v>";
                    AppendInteger(out, cell->text);
                    out += "</v></c>";
                    break;
                case Kind::Number:
                    out += "><v>";
                    AppendNumber(out, cell->number);
                    out += "</v></c>";
                    break;
            }
        }
        out += "</row>";
    }
    out += "</sheetData>";
}

// The parts after the cells, in the order the format requires: merged
// ranges, links, page margins.
void Sheet::AppendTail(std::string& out) const {
    if (!merges_.empty()) {
        out += "<mergeCells count=\"";
        AppendInteger(out, static_cast<long long>(merges_.size()));
        out += "\">";
        for (const Range& range : merges_) {
            out += "<mergeCell ref=\"";
            AppendRange(out, range.firstRow, range.firstColumn, range.lastRow, range.lastColumn);
            out += "\"/>";
        }
        out += "</mergeCells>";
    }
    if (!links_.empty()) {
        out += "<hyperlinks>";
        for (const Link& link : links_) {
            out += "<hyperlink ref=\"";
            AppendCellName(out, link.row, link.column);
            out += "\" location=\"";
            AppendText(out, link.location, Context::Attribute);
            out += '"';
            if (!link.tooltip.empty()) {
                out += " tooltip=\"";
                AppendText(out, link.tooltip, Context::Attribute);
                out += '"';
            }
            out += " display=\"";
            AppendText(out, link.display, Context::Attribute);
            out += "\"/>";
        }
        out += "</hyperlinks>";
    }
    out +=
        "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
        "header=\"0.3\" footer=\"0.3\"/></worksheet>";
}

void Sheet::AppendXml(std::string& out, bool selected) const {
    const std::vector<CellEntry> cells = SortedCells();
    AppendHead(out, cells, selected);
    AppendData(out, cells);
    AppendTail(out);
}

// ---------------------------------------------------------------------------
// Workbook
// ---------------------------------------------------------------------------

class Workbook::Parts {
  public:
    Parts(const std::string& path, std::vector<std::string> names)
        : zip(path), sheetNames(std::move(names)), written(sheetNames.size(), false) {}

    struct TransparentHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };

    ZipWriter zip;
    std::vector<std::string> sheetNames;
    std::vector<bool> written;
    std::vector<Style> styles;  // id - 1
    std::map<Style, StyleId> styleIds;
    std::unordered_map<std::string, std::uint32_t, TransparentHash, std::equal_to<>> stringIds;
    std::vector<const std::string*> strings;  // in id order, owned by stringIds
    std::size_t stringUses = 0;
    std::string xml;  // reused for each sheet
};

namespace {

std::string ContentTypesXml(std::size_t sheetCount) {
    std::string out(kXmlDeclaration);
    out +=
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" "
        "ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
        "<Override PartName=\"/xl/styles.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
        "<Override PartName=\"/xl/sharedStrings.xml\" "
        "ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>";
    for (std::size_t sheet = 1; sheet <= sheetCount; ++sheet) {
        out += "<Override PartName=\"/xl/worksheets/sheet";
        AppendInteger(out, static_cast<long long>(sheet));
        out +=
            ".xml\" ContentType=\"application/"
            "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    }
    out += "</Types>";
    return out;
}

std::string PackageRelationshipsXml() {
    std::string out(kXmlDeclaration);
    out += "<Relationships xmlns=\"";
    out += kPackageRelationshipsNamespace;
    out += "\"><Relationship Id=\"rId1\" Type=\"";
    out += kRelationshipsNamespace;
    out += "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    return out;
}

void AppendRelationship(std::string& out, std::size_t id, std::string_view type,
                        std::string_view target) {
    out += "<Relationship Id=\"rId";
    AppendInteger(out, static_cast<long long>(id));
    out += "\" Type=\"";
    out += kRelationshipsNamespace;
    out += '/';
    out += type;
    out += "\" Target=\"";
    out += target;
    out += "\"/>";
}

// Sheets are rId1..rIdN, then the styles and the shared texts.
std::string WorkbookRelationshipsXml(std::size_t sheetCount) {
    std::string out(kXmlDeclaration);
    out += "<Relationships xmlns=\"";
    out += kPackageRelationshipsNamespace;
    out += "\">";
    for (std::size_t sheet = 1; sheet <= sheetCount; ++sheet) {
        AppendRelationship(out, sheet, "worksheet",
                           "worksheets/sheet" + std::to_string(sheet) + ".xml");
    }
    AppendRelationship(out, sheetCount + 1, "styles", "styles.xml");
    AppendRelationship(out, sheetCount + 2, "sharedStrings", "sharedStrings.xml");
    out += "</Relationships>";
    return out;
}

std::string WorkbookXml(const std::vector<std::string>& sheetNames) {
    std::string out(kXmlDeclaration);
    out += "<workbook xmlns=\"";
    out += kMainNamespace;
    out += "\" xmlns:r=\"";
    out += kRelationshipsNamespace;
    out +=
        "\"><workbookPr/><bookViews><workbookView xWindow=\"240\" yWindow=\"15\" "
        "windowWidth=\"16095\" windowHeight=\"9660\"/></bookViews><sheets>";
    for (std::size_t at = 0; at < sheetNames.size(); ++at) {
        out += "<sheet name=\"";
        AppendText(out, sheetNames[at], Context::Attribute);
        out += "\" sheetId=\"";
        AppendInteger(out, static_cast<long long>(at + 1));
        out += "\" r:id=\"rId";
        AppendInteger(out, static_cast<long long>(at + 1));
        out += "\"/>";
    }
    out += "</sheets><calcPr calcId=\"124519\" fullCalcOnLoad=\"1\"/></workbook>";
    return out;
}

std::string SharedStringsXml(const std::vector<const std::string*>& strings, std::size_t uses) {
    std::string out(kXmlDeclaration);
    out += "<sst xmlns=\"";
    out += kMainNamespace;
    out += "\" count=\"";
    AppendInteger(out, static_cast<long long>(uses));
    out += "\" uniqueCount=\"";
    AppendInteger(out, static_cast<long long>(strings.size()));
    out += "\">";
    for (const std::string* text : strings) {
        const bool keepBlanks = text->front() == ' ' || text->back() == ' ' ||
                                text->front() == '\t' || text->back() == '\t' ||
                                text->find('\n') != std::string::npos;
        out += keepBlanks ? "<si><t xml:space=\"preserve\">" : "<si><t>";
        AppendText(out, *text, Context::Element);
        out += "</t></si>";
    }
    out += "</sst>";
    return out;
}

}  // namespace

Workbook::Workbook(const std::string& path, std::vector<std::string> sheetNames) {
    std::set<std::string> folded;
    for (const std::string& name : sheetNames) {
        if (const auto problem = SheetNameProblem(name)) {
            throw WriteError("シート名「" + name + "」：" + *problem);
        }
        if (!folded.insert(FoldedAscii(name)).second) {
            throw WriteError("シート名「" + name + "」が重複しています。");
        }
    }
    if (sheetNames.empty()) {
        throw WriteError("シートのないブックは書き込めません。");
    }
    parts_ = std::make_unique<Parts>(path, std::move(sheetNames));
    const std::size_t count = parts_->sheetNames.size();
    parts_->zip.Add("[Content_Types].xml", ContentTypesXml(count));
    parts_->zip.Add("_rels/.rels", PackageRelationshipsXml());
    parts_->zip.Add("xl/_rels/workbook.xml.rels", WorkbookRelationshipsXml(count));
    parts_->zip.Add("xl/workbook.xml", WorkbookXml(parts_->sheetNames));
}

Workbook::~Workbook() = default;

StyleId Workbook::AddStyle(const Style& style) {
    if (style == Style{}) return 0;
    const auto [found, added] =
        parts_->styleIds.emplace(style, static_cast<StyleId>(parts_->styles.size() + 1));
    if (added) parts_->styles.push_back(style);
    return found->second;
}

std::uint32_t Workbook::SharedString(std::string_view text) {
    ++parts_->stringUses;
    const auto found = parts_->stringIds.find(text);
    if (found != parts_->stringIds.end()) return found->second;
    const auto id = static_cast<std::uint32_t>(parts_->strings.size());
    const auto inserted = parts_->stringIds.emplace(std::string(text), id).first;
    parts_->strings.push_back(&inserted->first);
    return id;
}

void Workbook::WriteSheet(std::size_t position, const Sheet& sheet) {
    if (position >= parts_->sheetNames.size() || parts_->written[position]) {
        throw std::logic_error("xlsx::Workbook::WriteSheet: no such sheet, or written already");
    }
    if (sheet.workbook_ != this) {
        throw std::logic_error("xlsx::Workbook::WriteSheet: a sheet of another workbook");
    }
    std::string& out = parts_->xml;
    out.assign(kXmlDeclaration);
    sheet.AppendXml(out, /*selected=*/position == 0);
    parts_->zip.Add("xl/worksheets/sheet" + std::to_string(position + 1) + ".xml", out);
    parts_->written[position] = true;
}

void Workbook::Close() {
    for (std::size_t at = 0; at < parts_->written.size(); ++at) {
        if (!parts_->written[at]) {
            throw std::logic_error("xlsx::Workbook::Close: sheet " + std::to_string(at + 1) +
                                   " was never written");
        }
    }
    parts_->zip.Add("xl/styles.xml", StylesXml(parts_->styles));
    parts_->zip.Add("xl/sharedStrings.xml", SharedStringsXml(parts_->strings, parts_->stringUses));
    parts_->zip.Finish();
}

}  // namespace xlsx
