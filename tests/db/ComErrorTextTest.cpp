#include <gtest/gtest.h>

#include "db/ComErrorText.h"
#include "db/Utf8Text.h"

namespace {

struct BlockCase {
    const char* label;
    std::uint32_t code;
    std::optional<std::string> source;
    std::optional<std::string> description;
    std::string expected;
};

TEST(ComErrorText, FourLines) {
    const BlockCase cases[] = {
        {"system text, source and description", 0x80004005, "Microsoft JET Database Engine",
         "Could not find file.",
         "Message : Unspecified error\nCode : 0x80004005\n"
         "Source : Microsoft JET Database Engine\nDescription : Could not find file.\n"},
        {"no source, empty description", 0x80004003, std::nullopt, "",
         "Message : Invalid pointer\nCode : 0x80004003\nSource : null\nDescription : null\n"},
        {"OLE DB code without system text", 0x80040E14, "", std::nullopt,
         "Message : IDispatch error #3092\nCode : 0x80040e14\nSource : null\n"
         "Description : null\n"},
        {"ADO code without system text", 0x800A0E7A, "ADODB.Connection", "Provider not found.",
         "Message : Unknown error 0x800A0E7A\nCode : 0x800a0e7a\n"
         "Source : ADODB.Connection\nDescription : Provider not found.\n"},
        {"small code, no padding in the message", 0x00000001, std::nullopt, std::nullopt,
         "Message : Unknown error 0x1\nCode : 0x00000001\nSource : null\nDescription : null\n"},
    };
    for (const BlockCase& c : cases) {
        SCOPED_TRACE(c.label);
        const engine::ComError error(static_cast<std::int32_t>(c.code), c.source, c.description);
        EXPECT_EQ(db::ComErrorText(error), c.expected);
    }
}

TEST(ComErrorText, MessageFallbacksAtTheirBoundaries) {
    const std::pair<std::uint32_t, std::string> cases[] = {
        {0x80040200, "Unknown error 0x80040200"},
        {0x80040201, "IDispatch error #1"},
        {0x8004FFFF, "IDispatch error #65023"},
        {0x80050000, "Unknown error 0x80050000"},
        {0x8007000E, "Not enough memory resources are available to complete this operation."},
        {0x80070057, "The parameter is incorrect."},
        {0x80004001, "Not implemented"},
        {0x80040154, "Class not registered"},  // a system text inside the IDispatch range
    };
    for (const auto& [code, expected] : cases) {
        SCOPED_TRACE(code);
        EXPECT_EQ(db::ResultCodeMessage(static_cast<std::int32_t>(code)), expected);
    }
}

TEST(ComErrorText, LongLinesAreCutBetweenCharacters) {
    std::string description;
    for (int i = 0; i < 500; ++i) {
        description += "\xE3\x81\x82";  // あ, three bytes each
    }
    const engine::ComError error(engine::hr::kSyntax, std::string(2000, 's'), description);
    const std::string block = db::ComErrorText(error);

    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = block.find('\n'); end != std::string::npos;
         start = end + 1, end = block.find('\n', start)) {
        lines.push_back(block.substr(start, end + 1 - start));
    }
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(start, block.size());
    EXPECT_EQ(lines[2], "Source : " + std::string(1023 - 10, 's') + "\n");
    EXPECT_LE(lines[3].size(), 1023u);
    EXPECT_GE(lines[3].size(), 1023u - 3);
    EXPECT_EQ(db::RepairUtf8(lines[3]), lines[3]);
}

}  // namespace
