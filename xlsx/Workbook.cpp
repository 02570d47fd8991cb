#include "xlsx/Workbook.h"

#include <functional>
#include <set>
#include <stdexcept>
#include <unordered_map>

#include "xlsx/Xml.h"
#include "xlsx/Zip.h"

namespace xlsx {

using namespace detail;

std::string FoldedSheetName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

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
        if (!folded.insert(FoldedSheetName(name)).second) {
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
