#include <map>
#include <optional>

#include "xlsx/Xml.h"

namespace xlsx::detail {
namespace {

void AppendRgb(std::string& out, std::uint32_t rgb) {
    out += "\"FF";
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 20; shift >= 0; shift -= 4) out += kDigits[(rgb >> shift) & 0xF];
    out += '"';
}

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

}  // namespace

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

}  // namespace xlsx::detail
