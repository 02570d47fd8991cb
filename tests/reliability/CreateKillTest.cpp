// A new database made by `query --create`, killed part-way: the name holds
// either nothing or a whole database, and a later --create is never refused
// by a half-made file.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "support/Process.h"

namespace fs = std::filesystem;

namespace reliability {
namespace {

const std::string kScript =
    "CREATE TABLE t (id LONG, name TEXT(20));\nINSERT INTO t (id, name) VALUES (1, 'a');\n";

testsupport::ProcessResult Query(const std::string& path, const std::string& script) {
    testsupport::ProcessOptions options;
    options.input = script;
    return testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--db", path, "query"}, options);
}

testsupport::ProcessResult Create(const std::string& path,
                                  const testsupport::ProcessOptions& options = {}) {
    testsupport::ProcessOptions withScript = options;
    withScript.input = kScript;
    return testsupport::RunProcess({VANTOLY_PATCH_BINARY, "--db", path, "query", "--create"},
                                   withScript);
}

TEST(CreateKilled, NameHoldsNothingOrAWholeDatabase) {
    testsupport::TempFolder timing;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Create(timing.Folder() + "timed.mdb").exitStatus, 0);
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);

    constexpr int kKills = 20;
    int killed = 0;
    for (int i = 0; i < kKills; ++i) {
        const auto delay = span * i / kKills;
        const std::string label = "killed after " + std::to_string(delay.count()) + " µs";
        testsupport::TempFolder folder;
        const std::string path = folder.Folder() + "new.mdb";
        testsupport::ProcessOptions options;
        options.killAfter = delay;
        if (!Create(path, options).Killed()) continue;
        ++killed;
        if (fs::exists(path)) {
            const testsupport::ProcessResult read =
                Query(path, "SELECT COUNT(*) FROM MSysDatabase;\n");
            EXPECT_EQ(read.exitStatus, 0) << label << ": a half-made database under the name\n"
                                          << read.err;
        } else {
            const testsupport::ProcessResult again = Create(path);
            EXPECT_EQ(again.exitStatus, 0) << label << ": " << again.err;
            EXPECT_EQ(Query(path, "SELECT name FROM t;\n").out, "name\na\n") << label;
        }
    }
    std::cout << "creation killed " << killed << " times over " << span.count() << " µs\n";
}

// Nothing is created through a link planted at the name, and an existing
// file is never replaced.
TEST(CreateKilled, ExistingNameOrLinkIsNeverReplaced) {
    testsupport::TempFolder folder;
    const std::string victim = folder.Folder() + "victim.txt";
    testsupport::WriteFileBytes(victim, "not a database");
    const std::string link = folder.Folder() + "link.mdb";
    fs::create_symlink(victim, link);
    const testsupport::ProcessResult run = Create(link);
    EXPECT_NE(run.exitStatus, 0);
    EXPECT_EQ(testsupport::ReadFileBytes(victim), "not a database");
    EXPECT_TRUE(fs::is_symlink(link));
}

}  // namespace
}  // namespace reliability
