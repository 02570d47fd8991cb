#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <random>

#include "platform/RegistryFile.h"
#include "support/TempFolder.h"

namespace {

using platform::RegistryFile;

constexpr char kKey[] = "SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE\\";
constexpr char kHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr char kSection[] = "[HKEY_CURRENT_USER\\SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE]\r\n";

std::string Utf16Le(const std::string& ascii8) {
    // Test texts are UTF-8; widen through char32_t.
    std::string out = "\xFF\xFE";
    for (std::size_t i = 0; i < ascii8.size();) {
        const auto lead = static_cast<unsigned char>(ascii8[i]);
        char32_t code = lead;
        std::size_t length = 1;
        if (lead >= 0xF0)
            code = lead & 0x07, length = 4;
        else if (lead >= 0xE0)
            code = lead & 0x0F, length = 3;
        else if (lead >= 0xC0)
            code = lead & 0x1F, length = 2;
        for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (ascii8[i + k] & 0x3F);
        i += length;
        auto put = [&](char16_t unit) {
            out += static_cast<char>(unit & 0xFF);
            out += static_cast<char>(unit >> 8);
        };
        if (code >= 0x10000) {
            put(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            put(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            put(static_cast<char16_t>(code));
        }
    }
    return out;
}

// A literal with its zero bytes, without the terminating one.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

std::string Standard(const std::string& values) {
    return std::string(kHeader) + kSection + values;
}

struct RegistryCase {
    const char* name;
    std::string bytes;
    bool keyExists;
    std::optional<std::string> fileName, pathName, password;

    friend void PrintTo(const RegistryCase& c, std::ostream* out) { *out << c.name; }
};

const std::string kLongPath = "/" + std::string(600, 'd') + "/";

std::vector<RegistryCase> Cases() {
    using std::nullopt;
    const std::string good =
        "\"FileName\"=\"Toll\"\r\n\"PathName\"=\"/data/\"\r\n\"Password\"=\"pw\"\r\n";
    return {
        {"version5Utf8", Standard(good), true, "Toll", "/data/", "pw"},
        {"regedit4",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE]\n"
         "\"FileName\"=\"Toll\"\n\"PathName\"=\"/data/\"\n\"Password\"=\"\"\n",
         true, "Toll", "/data/", ""},
        {"utf16WithByteOrderMark",
         Utf16Le(Standard(
             "\"FileName\"=\"料金𠀋\"\r\n\"PathName\"=\"/データ/\"\r\n\"Password\"=\"秘密\"\r\n")),
         true, "料金𠀋", "/データ/", "秘密"},
        {"utf8ByteOrderMark", "\xEF\xBB\xBF" + Standard(good), true, "Toll", "/data/", "pw"},
        {"escapes",
         Standard("\"FileName\"=\"a\\\"b\\\"\"\n\"PathName\"=\"C:\\\\data\\\\\"\n\"Password\"="
                  "\"x\\ny\"\n"),
         true, "a\"b\"", "C:\\data\\", "x\\ny"},
        {"keyAndValueNamesIgnoreCase",
         std::string(kHeader) + "[hkey_current_user\\Software\\Vantoly\\vantoly\\Database]\n"
                                "\"FILENAME\"=\"Toll\"\n\"pathname\"=\"/data/\"\n",
         true, "Toll", "/data/", nullopt},
        {"trailingBackslashOnKey",
         std::string(kHeader) +
             "[HKEY_CURRENT_USER\\SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE\\]\n\"FileName\"=\"T\"\n",
         true, "T", nullopt, nullopt},
        {"otherValueTypesAndContinuedHex",
         Standard("\"FileName\"=dword:00000001\n\"PathName\"=hex:2f,64,\\\n  61,74,\\\n  61,2f\n"
                  "\"Password\"=\"pw\"\n"),
         true, nullopt, nullopt, "pw"},
        {"valueLongerThan511BytesReadWhole", Standard("\"PathName\"=\"" + kLongPath + "\"\n"), true,
         nullopt, kLongPath, nullopt},
        {"keyWithoutValues", std::string(kHeader) + kSection, true, nullopt, nullopt, nullopt},
        {"otherKeyOnly",
         std::string(kHeader) + "[HKEY_CURRENT_USER\\SOFTWARE\\OTHER]\n\"FileName\"=\"x\"\n", false,
         nullopt, nullopt, nullopt},
        {"valuesOfTheLocalMachineDoNotCount",
         std::string(kHeader) +
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE]\n\"FileName\"=\"x\"\n",
         false, nullopt, nullopt, nullopt},
        {"laterLinesWin", Standard(good + "\"Password\"=\"new\"\n\"FileName\"=-\n"), true, nullopt,
         "/data/", "new"},
        {"deletedParentKey", Standard(good) + "[-HKEY_CURRENT_USER\\SOFTWARE\\VANTOLY]\n", false,
         nullopt, nullopt, nullopt},
        {"junkLinesPassedOver",
         Standard("garbage here\n\"FileName\"=\"Toll\"\n\"Broken=\"x\"\n\"PathName\" \"nokey\"\n; "
                  "comment\n"
                  "\"Password\"=\"pw\"\n"),
         true, "Toll", nullopt, "pw"},
        {"unterminatedValue", Standard("\"FileName\"=\"Toll\"\n\"Password\"=\"pw"), true, "Toll",
         nullopt, nullopt},
        {"textAfterClosingQuote", Standard("\"FileName\"=\"Toll\" trailing\n"), true, nullopt,
         nullopt, nullopt},
        {"shiftJisBytesAreUnreadable",
         Standard("\"FileName\"=\"\x97\xbf\x8b\xe0\"\n\"PathName\"=\"/d/\"\n"), true, nullopt,
         "/d/", nullopt},
        {"zeroByteEndsTheText", Standard(Bytes("\"FileName\"=\"To\0ll\"\n")), true, "To", nullopt,
         nullopt},
        {"utf16TruncatedMidCharacter",
         [] {
             std::string bytes =
                 Utf16Le(Standard("\"FileName\"=\"Toll\"\r\n\"PathName\"=\"/data/\"\r\n"));
             return bytes.substr(0, bytes.size() - 7);
         }(),
         true, "Toll", nullopt, nullopt},
        {"noHeader", std::string(kSection) + "\"FileName\"=\"Toll\"\n", false, nullopt, nullopt,
         nullopt},
        {"utf16WithoutByteOrderMark", Utf16Le(Standard(good)).substr(2), false, nullopt, nullopt,
         nullopt},
        {"binary",
         Bytes("\x7f"
               "ELF\x02\x01\x01\0\0\0\0[\"\\\xff\xfe"),
         false, nullopt, nullopt, nullopt},
        {"empty", "", false, nullopt, nullopt, nullopt},
    };
}

class RegistryCases : public ::testing::TestWithParam<RegistryCase> {
  protected:
    testsupport::TempFolder folder_;
};

TEST_P(RegistryCases, ReadsTheDatabaseKey) {
    const RegistryCase& c = GetParam();
    const std::string path = folder_.Folder() + "registry.reg";
    std::ofstream(path, std::ios::binary) << c.bytes;
    RegistryFile registry(path);
    EXPECT_EQ(registry.KeyExists(kKey), c.keyExists);
    EXPECT_EQ(registry.ReadString(kKey, "FileName"), c.fileName);
    EXPECT_EQ(registry.ReadString(kKey, "PathName"), c.pathName);
    EXPECT_EQ(registry.ReadString(kKey, "Password"), c.password);
    EXPECT_EQ(registry.KeyExists("SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE"), c.keyExists)
        << "the key without its trailing backslash is the same key";
}

INSTANTIATE_TEST_SUITE_P(Registry, RegistryCases, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RegistryFileTest, FilesThatCannotBeReadAreRegistriesWithoutKeys) {
    testsupport::TempFolder folder;
    const std::string fifo = folder.Folder() + "fifo.reg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A FIFO with no writer would block a plain open for ever.
    for (const std::string& path : {folder.Folder() + "missing.reg", folder.Folder(), fifo}) {
        RegistryFile registry(path);
        EXPECT_FALSE(registry.KeyExists(kKey)) << path;
        EXPECT_EQ(registry.ReadString(kKey, "FileName"), std::nullopt) << path;
        EXPECT_NE(registry.LoadProblem().find(path), std::string::npos) << registry.LoadProblem();
    }
}

TEST(RegistryFileTest, FileIsReadOnceAndLaterChangesAreNotNoticed) {
    testsupport::TempFolder folder;
    const std::string path = folder.Folder() + "registry.reg";
    std::ofstream(path) << Standard("\"FileName\"=\"Old\"\n");
    RegistryFile registry(path);
    EXPECT_EQ(registry.ReadString(kKey, "FileName"), "Old");
    std::ofstream(path) << Standard("\"FileName\"=\"New\"\n");
    EXPECT_EQ(registry.ReadString(kKey, "FileName"), "Old");
}

TEST(RegistryFileTest, MutatedFilesNeverCrashTheParser) {
    const std::string seed = Standard(
        "\"FileName\"=\"Toll\"\n\"PathName\"=\"C:\\\\d\\\\\"\n\"Password\"=hex:00,\\\n 01\n"
        "[-HKEY_CURRENT_USER\\X]\n@=\"d\"\n");
    const std::string seeds[] = {seed, Utf16Le(seed)};
    const char interesting[] = {'"', '\\', '\n', '[',    ']',    '=',
                                '@', '-',  '\0', '\xff', '\xfe', '\xd8'};
    std::mt19937 random(20200524);
    for (const std::string& start : seeds) {
        for (int round = 0; round < 3000; ++round) {
            std::string bytes = start;
            const int edits = 1 + static_cast<int>(random() % 8);
            for (int e = 0; e < edits && !bytes.empty(); ++e) {
                const std::size_t at = random() % bytes.size();
                switch (random() % 4) {
                    case 0:
                        bytes[at] = interesting[random() % sizeof interesting];
                        break;
                    case 1:
                        bytes.insert(at, 1, interesting[random() % sizeof interesting]);
                        break;
                    case 2:
                        bytes.erase(at, 1 + random() % 16);
                        break;
                    default:
                        bytes.resize(at);
                        break;
                }
            }
            const auto parsed = platform::RegistryExport::Parse(bytes);
            if (const auto* value =
                    parsed.Find("HKEY_CURRENT_USER\\" + std::string(kKey), "FileName");
                value != nullptr && value->kind == platform::RegistryValue::Kind::Text) {
                EXPECT_LE(value->text.size(), bytes.size());
            }
        }
    }
}

}  // namespace
