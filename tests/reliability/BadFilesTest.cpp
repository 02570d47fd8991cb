// Damaged, foreign and missing database files, and malformed registry
// exports naming them: the tool reports the failure in its title (or says no
// database is chosen) and exits; it never crashes and never writes to a file
// it could not open as its database.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "UpdateFixture.h"
#include "platform/RegistryFile.h"
#include "support/Process.h"

namespace fs = std::filesystem;

namespace reliability {
namespace {

constexpr char kFailureTitlePrefix[] = "データベース接続に失敗しました - 対象DB名 ･･･ ";
constexpr char kNoDatabaseTitle[] = "データベースが選択されてません";

std::string Line(const std::string& output, const std::string& name) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(name + "\t")) return line.substr(name.size() + 1);
    }
    return "(no " + name + " line)";
}

std::string RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::string SampleBytes() {
    return testsupport::ReadFileBytes(updatetest::PristineSample());
}

// A file that only looks like a Jet/ACE database: the signature of the real
// format's first page, then zeros.
std::string JetHeader() {
    std::string bytes("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    bytes.resize(4096, '\0');
    return bytes;
}

struct BadDatabaseCase {
    std::string name;
    // Makes the database at the path; answers nothing.
    std::function<void(const fs::path&)> make;
    std::string expectedTitle;  // empty: the failure title naming the file
};

std::vector<BadDatabaseCase> BadDatabaseCases() {
    auto bytes = [](std::function<std::string()> content) {
        return [content](const fs::path& path) { testsupport::WriteFileBytes(path, content()); };
    };
    auto truncated = [](std::size_t size) {
        return [size](const fs::path& path) {
            testsupport::WriteFileBytes(path, SampleBytes().substr(0, size));
        };
    };
    auto truncatedBy = [](std::size_t cut) {
        return [cut](const fs::path& path) {
            const std::string sample = SampleBytes();
            testsupport::WriteFileBytes(path, sample.substr(0, sample.size() - cut));
        };
    };
    return {
        {"Empty", bytes([] { return std::string(); }), ""},
        {"RandomBytes", bytes([] { return RandomBytes(64 * 1024, 1); }), ""},
        {"RandomBytesAfterSqliteMagic",
         bytes([] { return std::string("SQLite format 3\0", 16) + RandomBytes(8192, 2); }), ""},
        {"JetHeader", bytes(JetHeader), ""},
        {"TextFile", bytes([] { return std::string("Provider=Microsoft.Jet.OLEDB.4.0;\n"); }), ""},
        {"TruncatedTo100Bytes", truncated(100), ""},
        {"TruncatedTo512Bytes", truncated(512), ""},
        {"TruncatedToFirstPage", truncated(4096), ""},
        {"TruncatedToTwoPages", truncated(8192), ""},
        {"TruncatedTo64K", truncated(65536), ""},
        {"TruncatedToHalf",
         [](const fs::path& path) {
             const std::string sample = SampleBytes();
             testsupport::WriteFileBytes(path, sample.substr(0, sample.size() / 2));
         },
         ""},
        {"TruncatedByOnePage", truncatedBy(4096), ""},
        {"HeaderPageZeroed",
         [](const fs::path& path) {
             std::string sample = SampleBytes();
             std::fill(sample.begin(), sample.begin() + 4096, '\0');
             testsupport::WriteFileBytes(path, sample);
         },
         ""},
        {"Directory", [](const fs::path& path) { fs::create_directory(path); }, ""},
        // The location falls back to the other extension when the file is
        // not there, as it does for a missing file.
        {"DanglingSymbolicLink",
         [](const fs::path& path) {
             fs::create_symlink(path.parent_path() / "gone" / "x.mdb", path);
         },
         kNoDatabaseTitle},
        {"SymbolicLinkLoop", [](const fs::path& path) { fs::create_symlink(path, path); },
         kNoDatabaseTitle},
    };
}

// What a case leaves to compare: the bytes of a file, or a marker.
std::string Snapshot(const fs::path& path) {
    if (fs::is_symlink(path)) return "link to " + fs::read_symlink(path).string();
    if (fs::symlink_status(path).type() == fs::file_type::directory) return "directory";
    return testsupport::ReadFileBytes(path);
}

// Every file below `folder`, by relative path. The window makes the
// (empty) backup folder whenever it refreshes its buttons, so folders are
// left out: only a file would be something written.
std::vector<std::string> FilesBelow(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const bool realFolder = entry.symlink_status().type() == fs::file_type::directory;
        if (!realFolder) {
            names.push_back(entry.path().filename());
        } else if (entry.path().filename() != "host.mdb") {
            for (const auto& inner : fs::directory_iterator(entry.path()))
                names.push_back(fs::relative(inner.path(), folder).string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class BadDatabaseFiles : public ::testing::TestWithParam<BadDatabaseCase> {};

TEST_P(BadDatabaseFiles, StatusAndUpdateReportTheFailureAndLeaveTheFileAlone) {
    testsupport::TempFolder folder;
    const fs::path path = folder.Path() / "host.mdb";
    GetParam().make(path);
    const std::string before = Snapshot(path);
    const std::vector<std::string> filesBefore = FilesBelow(folder.Path());

    const testsupport::ProcessResult status =
        testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--db", path.string(), "status"});
    EXPECT_EQ(status.signal, 0) << status.err;
    EXPECT_EQ(status.exitStatus, 1) << status.out << status.err;
    const std::string expected = GetParam().expectedTitle.empty()
                                     ? std::string(kFailureTitlePrefix) + "host.mdb"
                                     : GetParam().expectedTitle;
    EXPECT_EQ(Line(status.out, "title"), expected) << status.err;
    EXPECT_EQ(Line(status.out, "update button"), "disabled");

    const testsupport::ProcessResult update =
        testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--db", path.string(), "--yes", "update"});
    EXPECT_EQ(update.signal, 0) << update.err;
    EXPECT_NE(update.exitStatus, 0) << update.out << update.err;

    EXPECT_EQ(Snapshot(path), before) << "the tool wrote to a file it could not open";
    EXPECT_EQ(FilesBelow(folder.Path()), filesBefore);
}

INSTANTIATE_TEST_SUITE_P(Database, BadDatabaseFiles, ::testing::ValuesIn(BadDatabaseCases()),
                         [](const auto& info) { return info.param.name; });

// ---- Registry exports -----------------------------------------------------

const std::string kKey = "[HKEY_CURRENT_USER\\SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE]";

// How a case's text is stored in the file.
enum class Encoding { Utf8, Utf16, Utf16WithoutByteOrderMark, Utf16OddLength, Utf16Truncated };

struct RegistryCase {
    std::string name;
    std::string text;  // "@FOLDER@" stands for the test's folder, with its "/"
    Encoding encoding;
    bool opensTheSample;
};

std::string Encode(const std::string& text, Encoding encoding) {
    if (encoding == Encoding::Utf8) return text;
    std::string bytes = "\xFF\xFE";
    for (char c : text) bytes += std::string{c, '\0'};  // the cases' texts are ASCII
    switch (encoding) {
        case Encoding::Utf16WithoutByteOrderMark:
            return bytes.substr(2);
        case Encoding::Utf16OddLength:
            return bytes + "\x41";
        case Encoding::Utf16Truncated:
            return bytes.substr(0, 80);
        default:
            return bytes;
    }
}

std::vector<RegistryCase> RegistryCases() {
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
    const std::string values = "\r\n\"FileName\"=\"host\"\r\n\"PathName\"=\"@FOLDER@\"\r\n";
    const std::string good = header + kKey + values;
    std::string thousandKeys = header;
    for (int i = 0; i < 1000; ++i)
        thousandKeys += "[HKEY_CURRENT_USER\\K" + std::to_string(i) + "]\r\n";
    thousandKeys += kKey + values;
    const auto utf8 = Encoding::Utf8;
    return {
        {"WellFormed", good, utf8, true},
        {"WellFormedUtf16", good, Encoding::Utf16, true},
        {"Utf16OddLength", good, Encoding::Utf16OddLength, true},
        {"Utf16WithoutByteOrderMark", good, Encoding::Utf16WithoutByteOrderMark, false},
        {"Utf16TruncatedInKey", good, Encoding::Utf16Truncated, false},
        {"Empty", "", utf8, false},
        {"HeaderOnly", header, utf8, false},
        {"NoHeader", kKey + values, utf8, false},
        {"RandomBytes", RandomBytes(4096, 3), utf8, false},
        {"RandomBytesAfterHeader", header + RandomBytes(4096, 4), utf8, false},
        {"KeyWithoutClosingBracket",
         header + "[HKEY_CURRENT_USER\\SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE" + values, utf8, false},
        {"ValueWithoutClosingQuote",
         header + kKey + "\r\n\"FileName\"=\"host\r\n\"PathName\"=\"@FOLDER@\"\r\n", utf8, false},
        {"ValueNameWithoutQuote",
         header + kKey + "\r\nFileName=\"host\"\r\n\"PathName\"=\"@FOLDER@\"\r\n", utf8, false},
        {"BackslashAtEndOfValue", header + kKey + "\r\n\"FileName\"=\"host\\\"\r\n", utf8, false},
        {"NulByteInValue",
         header + kKey + "\r\n\"FileName\"=\"ho" + std::string(1, '\0') +
             "st\"\r\n\"PathName\"=\"@FOLDER@\"\r\n",
         utf8, false},
        {"ValueOfAnotherType", header + kKey + "\r\n\"FileName\"=hex(2):68,00,6f,00\r\n", utf8,
         false},
        {"ContinuationAtEndOfFile", header + kKey + "\r\n\"FileName\"=hex:00,\\", utf8, false},
        {"MegabyteLine",
         header + kKey + "\r\n\"FileName\"=\"" + std::string(1 << 20, 'a') + "\"\r\n", utf8, false},
        {"ThousandKeys", thousandKeys, utf8, true},
        {"PathNameNotAFolder",
         header + kKey + "\r\n\"FileName\"=\"host\"\r\n\"PathName\"=\"/nonexistent\"\r\n", utf8,
         false},
        {"FileNameClimbingOut",
         header + kKey +
             "\r\n\"FileName\"=\"../../../../etc/passwd\"\r\n\"PathName\"=\"@FOLDER@\"\r\n",
         utf8, false},
    };
}

std::string WithFolder(std::string text, const std::string& folder) {
    for (auto at = text.find("@FOLDER@"); at != std::string::npos; at = text.find("@FOLDER@"))
        text.replace(at, 8, folder);
    return text;
}

class MalformedRegistry : public ::testing::TestWithParam<RegistryCase> {};

TEST_P(MalformedRegistry, StatusReadsWhatItCanAndNeverCrashes) {
    testsupport::TempFolder folder;
    fs::copy_file(updatetest::PristineSample(), folder.Path() / "host.mdb");
    const std::string sampleBefore = testsupport::ReadFileBytes(folder.Path() / "host.mdb");
    const fs::path registry = folder.Path() / "registry.reg";
    testsupport::WriteFileBytes(
        registry, Encode(WithFolder(GetParam().text, folder.Folder()), GetParam().encoding));

    // In process, the parser itself.
    const auto parsed = platform::RegistryExport::Parse(testsupport::ReadFileBytes(registry));
    (void)parsed.Find("HKEY_CURRENT_USER\\SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE\\", "FileName");

    const testsupport::ProcessResult status =
        testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--registry", registry.string(), "status"});
    EXPECT_EQ(status.signal, 0) << status.err;
    const std::string title = Line(status.out, "title");
    if (GetParam().opensTheSample) {
        EXPECT_EQ(status.exitStatus, 0) << status.out << status.err;
        EXPECT_EQ(Line(status.out, "version"), "ver.1.25");
    } else {
        EXPECT_EQ(status.exitStatus, 1) << status.out << status.err;
        EXPECT_TRUE(title == kNoDatabaseTitle || title.starts_with(kFailureTitlePrefix)) << title;
    }
    EXPECT_EQ(testsupport::ReadFileBytes(folder.Path() / "host.mdb"), sampleBefore);
}

INSTANTIATE_TEST_SUITE_P(Registry, MalformedRegistry, ::testing::ValuesIn(RegistryCases()),
                         [](const auto& info) { return info.param.name; });

// Exports are a few kilobytes; a file past 1 MiB (here a good export followed
// by empty lines) is refused without being read, naming its size.
TEST(MalformedRegistry, FilesPastOneMebibyteAreRefusedNamingTheirSize) {
    testsupport::TempFolder folder;
    fs::copy_file(updatetest::PristineSample(), folder.Path() / "host.mdb");
    const std::string good = WithFolder(RegistryCases().front().text, folder.Folder());
    const fs::path registry = folder.Path() / "registry.reg";
    for (const std::size_t size : {std::size_t{1} << 20, (std::size_t{1} << 20) + 1}) {
        testsupport::WriteFileBytes(registry, good + std::string(size - good.size(), '\n'));
        const testsupport::ProcessResult status = testsupport::RunProcess(
            {VANTOLY_PATCH_BINARY, "--registry", registry.string(), "status"});
        if (size == std::size_t{1} << 20) {
            EXPECT_EQ(status.exitStatus, 0) << status.err;
            EXPECT_EQ(Line(status.out, "version"), "ver.1.25");
        } else {
            EXPECT_EQ(status.exitStatus, 1);
            EXPECT_EQ(Line(status.out, "title"), kNoDatabaseTitle);
            EXPECT_NE(status.err.find("the registry file " + registry.string() +
                                      " is 1048577 bytes; it may hold at most 1048576 bytes"),
                      std::string::npos)
                << status.err;
        }
    }
}

TEST(MalformedRegistry, FolderOrMissingFileInsteadOfTheExport) {
    testsupport::TempFolder folder;
    for (const fs::path& registry : {folder.Path(), folder.Path() / "missing.reg"}) {
        const testsupport::ProcessResult status = testsupport::RunProcess(
            {VANTOLY_PATCH_BINARY, "--registry", registry.string(), "status"});
        EXPECT_EQ(status.signal, 0);
        EXPECT_EQ(status.exitStatus, 1);
        EXPECT_EQ(Line(status.out, "title"), kNoDatabaseTitle) << registry;
    }
}

}  // namespace
}  // namespace reliability
