// Damaged copies of a genuine Jet 4 file (indexTestV2003.mdb: Table1 of 4
// rows, Table2 and Table3 of 4), made the way files get damaged: cut short,
// bytes flipped in the catalog's rows, a table definition or a usage map
// overwritten, a page copied over another. The pages are found in the
// file's own structures, not by fixed numbers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace importtest {

constexpr std::size_t kPage = 4096;

inline std::uint32_t Little(const std::string& bytes, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// The table definition page (type 2) that names `field`.
inline std::size_t DefinitionPageNaming(const std::string& bytes, const std::string& field) {
    std::string wide;
    for (char c : field) wide += std::string{c, '\0'};
    for (std::size_t page = 3; page < bytes.size() / kPage; ++page) {
        const std::string_view content(bytes.data() + page * kPage, kPage);
        if (content[0] == 2 && content.find(wide) != std::string_view::npos) return page;
    }
    ADD_FAILURE() << "no table definition names " << field;
    return 0;
}

// The first data page (type 1) of the catalog, whose definition is page 2.
inline std::size_t CatalogDataPage(const std::string& bytes) {
    for (std::size_t page = 3; page < bytes.size() / kPage; ++page) {
        if (bytes[page * kPage] == 1 && Little(bytes, page * kPage + 4, 4) == 2) return page;
    }
    ADD_FAILURE() << "no catalog data page";
    return 0;
}

struct Damage {
    const char* name;
    std::function<void(std::string&)> apply;
    std::string message;  // part of what the program says about it
};

inline std::vector<Damage> DamagedCopies() {
    return {
        {"CutTo36KB", [](std::string& b) { b.resize(9 * kPage); },
         "is shorter than its pages: the catalog"},
        {"CatalogRowsFlipped",
         [](std::string& b) {
             const std::size_t page = CatalogDataPage(b);
             for (std::size_t at = 14; at < kPage; at += 101) b[page * kPage + at] ^= '\xff';
         },
         "its catalog records 28 objects, but"},
        {"TableDefinitionOverwritten",
         [](std::string& b) {
             const std::size_t page = DefinitionPageNaming(b, "otherfk1");
             b.replace(page * kPage + 8, kPage - 8, kPage - 8, '\xA5');
         },
         "the definition of table 'Table1' cannot be read"},
        {"UsageMapOverwritten",
         [](std::string& b) {
             // The table definition points at its usage map's row: a row
             // number at byte 55, its page in the three bytes after.
             const std::size_t definition = DefinitionPageNaming(b, "otherfk1") * kPage;
             const std::size_t row = static_cast<unsigned char>(b[definition + 55]);
             const std::size_t page = Little(b, definition + 56, 3) * kPage;
             const std::size_t start = Little(b, page + 14 + 2 * row, 2) & 0x1fff;
             const std::size_t end = row == 0 ? kPage : Little(b, page + 12 + 2 * row, 2) & 0x1fff;
             // The map's type byte and first page stay; its bits all say "used".
             b.replace(page + start + 5, end - start - 5, end - start - 5, '\xff');
         },
         "is shorter than its pages: table 'Table1' has pages up to number"},
        {"PageCopiedOverAnother",
         [](std::string& b) {
             // Table1's definition over the next table's.
             const std::size_t from = DefinitionPageNaming(b, "otherfk1");
             std::size_t to = from + 1;
             while (to < b.size() / kPage && b[to * kPage] != 2) ++to;
             b.replace(to * kPage, kPage, b.substr(from * kPage, kPage));
         },
         "the page map of table 'Table2' names page"},
    };
}

inline void PrintTo(const Damage& d, std::ostream* out) {
    *out << d.name;
}

}  // namespace importtest
