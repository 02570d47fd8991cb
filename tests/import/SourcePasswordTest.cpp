// A genuine file's own database password. Jet keeps it in the header page;
// libmdb reads every page without asking for it, so the import checks it.
// The genuine files of every generation, none of them protected, prove the
// reading of the header: each must read as having no password. Protected
// copies are made by writing a password where those files keep theirs; the
// real program then imports them only with that password, and mdbtools still
// reads them (the rest of the file is untouched).
#include <QString>
#include <cstring>

#include "engine/Engine.h"
#include "import/ImportSupport.h"
#include "import/SourcePassword.h"

namespace {

using namespace importtest;

// `name` with `password` written into its header as Jet writes it.
std::string WithPassword(const std::string& name, const std::string& password) {
    std::string bytes = testsupport::ReadFileBytes(Genuine(name));
    auto* page = reinterpret_cast<std::uint8_t*>(bytes.data());
    genuine::ScrambleHeaderPage(page);
    std::uint8_t* field = page + 0x42;
    if (page[0x14] == 0) {  // Jet 3: single bytes, the rest zero
        std::memset(field, 0, 20);
        std::memcpy(field, password.data(), password.size());
    } else {  // UTF-16, masked with the creation date's whole days
        double created = 0;
        std::memcpy(&created, page + 0x72, sizeof created);
        const auto days = static_cast<std::uint32_t>(static_cast<std::int64_t>(created));
        const std::u16string text = QString::fromStdString(password).toStdU16String();
        std::memset(field, 0, 40);
        std::memcpy(field, text.data(), text.size() * 2);
        for (std::size_t i = 0; i < 40; ++i)
            field[i] ^= static_cast<std::uint8_t>(days >> (8 * (i % 4)));
    }
    genuine::ScrambleHeaderPage(page);
    return bytes;
}

TEST(SourcePassword, GenuineFilesWithoutOneReadAsHavingNone) {
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(VANTOLY_GENUINE_DIR)) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".mdb" && extension != ".accdb") continue;
        ++files;
        EXPECT_EQ(genuine::StoredPasswordSpellings(entry.path().string()),
                  std::vector<std::string>{})
            << entry.path();
    }
    EXPECT_GE(files, 3u);  // the three generations at least
}

TEST(SourcePassword, AProtectedFileImportsOnlyWithItsPassword) {
    const struct {
        const char* file;
        const char* password;
        const char* wrongCase;
        int exitStatus;  // of a plain import of the same file
    } cases[] = {
        {"testV1997.mdb", "Secret97", "secret97", 0},
        {"indexTestV2003.mdb", "Pässwort 2003", "pässwort 2003", 0},
        {"testV2007.accdb", "鍵 ace;2007", "鍵 ACE;2007", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        testsupport::TempFolder folder;
        const fs::path source =
            folder.Path() / (std::string("protected") + fs::path(c.file).extension().string());
        const std::string bytes = WithPassword(c.file, c.password);
        testsupport::WriteFileBytes(source, bytes);
        EXPECT_FALSE(MdbTool("mdb-tables", {"-1", source.string()}).empty());
        EXPECT_EQ(genuine::StoredPasswordSpellings(source.string()).front(), c.password);

        const fs::path dest = folder.Path() / "new.mdb";
        const auto none = RunPatch({"import", source.string(), dest.string()});
        EXPECT_EQ(none.exitStatus, 2) << none.err;
        EXPECT_NE(none.err.find("has a database password and none was given"), std::string::npos)
            << none.err;
        const auto wrong =
            RunPatch({"--password", c.wrongCase, "import", source.string(), dest.string()});
        EXPECT_EQ(wrong.exitStatus, 2) << wrong.err;
        EXPECT_NE(wrong.err.find("does not open the source"), std::string::npos) << wrong.err;
        EXPECT_EQ(wrong.err.find(c.wrongCase), std::string::npos) << "the password was printed";
        EXPECT_FALSE(fs::exists(dest));

        const auto right =
            RunPatch({"--password", c.password, "import", source.string(), dest.string()});
        ASSERT_EQ(right.exitStatus, c.exitStatus) << right.err;
        auto connection = engine::Connection::create();
        EXPECT_THROW(connection->Open(
                         engine::DatabaseConnectionText(engine::kJetProvider, dest.string(), "")),
                     engine::ComError);
        connection->Open(
            engine::DatabaseConnectionText(engine::kJetProvider, dest.string(), c.password));
        EXPECT_EQ(testsupport::ReadFileBytes(source), bytes) << "the source's bytes changed";
    }
}

}  // namespace
