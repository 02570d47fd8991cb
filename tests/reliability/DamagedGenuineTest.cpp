// Genuine files damaged at random the ways files get damaged (bytes
// flipped in a page or in the catalog's rows, a page copied over another or
// zeroed, header bytes or a table definition overwritten, the file cut
// short), each imported by the real program: it never dies of a signal,
// its standard output is the --json report alone, an exit 0 has every table
// and row the undamaged file gives, the source is unchanged, nothing is left
// in TMPDIR or beside it. The reader's watchdog is set to 5 s so that a file
// that makes libmdb loop ends soon.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace reliability {
namespace {

const char* const kFiles[] = {"testV1997.mdb",   "indexTestV2003.mdb",    "compIndexTestV2000.mdb",
                              "testV2007.accdb", "overflowTestV2003.mdb", "oldDatesV2007.accdb"};

struct Imported {
    testsupport::ProcessResult run;
    QJsonObject json;
    bool jsonAlone = false;
};

Imported Import(const fs::path& source, const fs::path& folder, const std::string& tmp) {
    const fs::path dest = folder / "new.mdb";
    fs::remove(dest);
    testsupport::ProcessOptions options;
    options.environment = {"VANTOLY_READER_TIMEOUT=5", "TMPDIR=" + tmp};
    Imported i{
        testsupport::RunProcess(
            {VANTOLY_PATCH_BINARY, "--json", "import", source.string(), dest.string()}, options),
        {},
        false};
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(i.run.out), &error);
    i.jsonAlone = error.error == QJsonParseError::NoError && document.isObject();
    i.json = document.object();
    fs::remove(dest);
    return i;
}

// One damaged copy of `bytes` (pages of `page` bytes), by a kind chosen at random.
std::string Damaged(std::string bytes, std::mt19937& random, std::string& kind) {
    const std::size_t page = bytes[0x14] == 0 ? 2048 : 4096;
    const std::size_t pages = bytes.size() / page;
    auto any = [&](std::size_t from, std::size_t to) {
        return std::uniform_int_distribution<std::size_t>(from, to - 1)(random);
    };
    auto pagesOfType = [&](char type, bool catalogOnly) {
        std::vector<std::size_t> found;
        for (std::size_t p = 0; p < pages; ++p) {
            const bool catalog = bytes.compare(p * page + 4, 4, std::string("\x02\0\0\0", 4)) == 0;
            if (bytes[p * page] == type && (!catalogOnly || catalog)) found.push_back(p);
        }
        return found;
    };
    auto flip = [&](std::size_t p, std::size_t from, std::size_t count) {
        for (std::size_t k = 0; k < count; ++k)
            bytes[p * page + any(from, page)] ^= static_cast<char>(any(1, 256));
    };
    switch (any(0, 7)) {
        case 0:
            kind = "bytes flipped in a page";
            flip(any(0, pages), 0, std::size_t{1} << (3 * any(0, 3)));
            break;
        case 1: {
            kind = "a page copied over another";
            const std::size_t from = any(0, pages), to = any(0, pages);
            bytes.replace(to * page, page, bytes.substr(from * page, page));
            break;
        }
        case 2:
            kind = "header bytes overwritten";
            flip(0, 0x80, 16);
            break;
        case 3: {
            kind = "a table definition overwritten";
            const auto definitions = pagesOfType(2, false);
            flip(definitions[any(0, definitions.size())], 8, std::size_t{4} << (3 * any(0, 3)));
            break;
        }
        case 4:
            kind = "cut short";
            bytes.resize(any(4096, bytes.size()));
            break;
        case 5:
            kind = "a page zeroed";
            bytes.replace(any(1, pages) * page, page, page, '\0');
            break;
        default: {
            kind = "bytes flipped in the catalog's rows";
            const auto catalog = pagesOfType(1, true);
            flip(catalog[any(0, catalog.size())], 14, std::size_t{1} << (3 * any(0, 3)));
            break;
        }
    }
    return bytes;
}

void ImportDamagedCopies(int count, unsigned seed) {
    testsupport::TempFolder folder, tmp;
    std::map<std::string, std::pair<std::string, std::pair<int, double>>> undamaged;
    for (const char* name : kFiles) {
        const std::string bytes = testsupport::ReadFileBytes(fs::path(VANTOLY_GENUINE_DIR) / name);
        const Imported whole =
            Import(fs::path(VANTOLY_GENUINE_DIR) / name, folder.Path(), tmp.Folder());
        undamaged[name] = {bytes,
                           {static_cast<int>(whole.json.value("tables").toArray().size()),
                            whole.json.value("rows").toDouble()}};
    }
    std::mt19937 random(seed);
    std::map<std::string, int> refused, imported;
    for (int i = 0; i < count; ++i) {
        const char* name = kFiles[i % std::size(kFiles)];
        std::string kind;
        const std::string bytes = Damaged(undamaged[name].first, random, kind);
        SCOPED_TRACE(std::string(name) + ", " + kind + ", copy " + std::to_string(i));
        const fs::path source = folder.Path() / "damaged.mdb";
        testsupport::WriteFileBytes(source, bytes);
        const Imported run = Import(source, folder.Path(), tmp.Folder());
        EXPECT_EQ(run.run.signal, 0);
        EXPECT_TRUE(run.jsonAlone) << run.run.out;
        EXPECT_TRUE(run.run.exitStatus == 0 || run.run.exitStatus == 1) << run.run.err;
        // A run that went to its end ("imported", or "incomplete" with
        // what it left out listed) has every table and row of the whole
        // file; anything else is a refusal with its reason.
        const std::string outcome = run.json.value("outcome").toString().toStdString();
        if (outcome == "imported" || outcome == "incomplete") {
            ++imported[kind];
            EXPECT_EQ(run.json.value("tables").toArray().size(), undamaged[name].second.first);
            EXPECT_EQ(run.json.value("rows").toDouble(), undamaged[name].second.second);
        } else {
            ++refused[kind];
            EXPECT_EQ(outcome, "failed");
            EXPECT_EQ(run.run.exitStatus, 1);
            EXPECT_FALSE(run.json.value("error").toString().isEmpty());
        }
        EXPECT_EQ(testsupport::ReadFileBytes(source), bytes);
        EXPECT_TRUE(fs::is_empty(tmp.Path()));
        std::vector<std::string> beside;
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            beside.push_back(entry.path().filename().string());
        EXPECT_EQ(beside, std::vector<std::string>{"damaged.mdb"});
    }
    for (const auto& [kind, n] : refused) std::printf("refused  %3d  %s\n", n, kind.c_str());
    for (const auto& [kind, n] : imported) std::printf("imported %3d  %s\n", n, kind.c_str());
}

TEST(DamagedGenuine, RandomCopiesEndInAReportOrARefusal) {
    ImportDamagedCopies(42, 1);
}

TEST(DamagedGenuine, LongRandomCopiesEndInAReportOrARefusal) {
    ImportDamagedCopies(1200, 2);
}

}  // namespace
}  // namespace reliability
