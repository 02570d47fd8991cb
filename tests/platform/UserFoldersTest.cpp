#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <map>

#include "platform/RegistryFile.h"
#include "platform/SystemServices.h"
#include "platform/UserFolders.h"
#include "support/TempFolder.h"

namespace {

// The paths the environment decides: which function, the variables, the answer.
struct PathCase {
    const char* name;
    std::string (*path)(const platform::EnvironmentLookup&);
    std::map<std::string, std::string> environment;
    std::string expected;

    friend void PrintTo(const PathCase& c, std::ostream* out) { *out << c.name; }
};

class EnvironmentPathCases : public ::testing::TestWithParam<PathCase> {};

TEST_P(EnvironmentPathCases, ComeFromTheEnvironment) {
    const PathCase& c = GetParam();
    const auto lookup = [&](const std::string& name) -> std::optional<std::string> {
        const auto found = c.environment.find(name);
        if (found == c.environment.end()) return std::nullopt;
        return found->second;
    };
    EXPECT_EQ(c.path(lookup), c.expected);
}

constexpr auto kRegistry = &platform::RegistryFilePath;
constexpr auto kState = &platform::UserStateFolder;

INSTANTIATE_TEST_SUITE_P(
    Paths, EnvironmentPathCases,
    ::testing::Values(
        PathCase{"registryExplicit",
                 kRegistry,
                 {{"VANTOLY_REGISTRY", "/x/r.reg"}, {"XDG_CONFIG_HOME", "/c"}},
                 "/x/r.reg"},
        PathCase{"registryXdg",
                 kRegistry,
                 {{"XDG_CONFIG_HOME", "/c/"}, {"HOME", "/h"}},
                 "/c/vantoly/registry.reg"},
        PathCase{"registryEmptyExplicitIsUnset",
                 kRegistry,
                 {{"VANTOLY_REGISTRY", ""}, {"HOME", "/h"}},
                 "/h/.config/vantoly/registry.reg"},
        PathCase{"registryRelativeXdgIsIgnored",
                 kRegistry,
                 {{"XDG_CONFIG_HOME", "rel"}, {"HOME", "/h"}},
                 "/h/.config/vantoly/registry.reg"},
        PathCase{"stateXdg", kState, {{"XDG_STATE_HOME", "/s//"}, {"HOME", "/h"}}, "/s/vantoly/"},
        PathCase{"stateDefaultUnderHome", kState, {{"HOME", "/h/"}}, "/h/.local/state/vantoly/"},
        PathCase{"stateEmptyIsUnset",
                 kState,
                 {{"XDG_STATE_HOME", ""}, {"HOME", "/h"}},
                 "/h/.local/state/vantoly/"},
        PathCase{"stateRelativeIsIgnored",
                 kState,
                 {{"XDG_STATE_HOME", "s"}, {"HOME", "/h"}},
                 "/h/.local/state/vantoly/"},
        PathCase{"stateNotFromConfig",
                 kState,
                 {{"XDG_CONFIG_HOME", "/c"}, {"HOME", "/h"}},
                 "/h/.local/state/vantoly/"}),
    [](const auto& info) { return std::string(info.param.name); });

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(CreatePrivateFolders, MakesEveryMissingFolderForTheUserAloneAndLeavesExistingOnes) {
    testsupport::TempFolder top;
    ::chmod(top.Folder().c_str(), 0755);
    const mode_t oldMask = ::umask(022);
    const platform::FileStatus made =
        platform::CreatePrivateFolders(top.Folder() + "state/vantoly/");
    const platform::FileStatus again =
        platform::CreatePrivateFolders(top.Folder() + "state/vantoly");
    ::umask(oldMask);

    ASSERT_TRUE(made.Succeeded()) << made.message;
    EXPECT_TRUE(again.Succeeded()) << again.message;
    EXPECT_EQ(ModeOf(top.Folder() + "state"), 0700u);
    EXPECT_EQ(ModeOf(top.Folder() + "state/vantoly"), 0700u);
    EXPECT_EQ(ModeOf(top.Folder()), 0755u);
}

TEST(CreatePrivateFolders, NamesThePartThatIsInTheWay) {
    testsupport::TempFolder top;
    std::ofstream(top.Folder() + "state") << "a plain file where a folder belongs";

    const platform::FileStatus status =
        platform::CreatePrivateFolders(top.Folder() + "state/vantoly/");

    EXPECT_FALSE(status.Succeeded());
    EXPECT_NE(status.message.find(top.Folder() + "state"), std::string::npos) << status.message;
    EXPECT_NE(status.message.find("Not a directory"), std::string::npos) << status.message;
}

// The application title from the program's file name, as Windows cuts the
// extension: from the last full stop that no blank follows.
TEST(ApplicationTitleOf, DropsTheExtensionOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"VantolyPatch", "VantolyPatch"}, {"VantolyPatch.EXE", "VantolyPatch"},
        {"tool.v2.bin", "tool.v2"},       {".hidden", ".hidden"},
        {"my tool.v 2", "my tool.v 2"},   {"trailing.", "trailing"},
    };
    for (const auto& [file, title] : cases)
        EXPECT_EQ(platform::ApplicationTitleOf(file), title) << file;
}

}  // namespace
