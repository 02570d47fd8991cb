// Statements and scripts an operator can make as large as they like, run by
// the real program: a text past the engine's value limit fails with Jet's
// error 14 before it is built, running out of memory ends the run with a
// message, and in neither case does the process die or commit anything.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

#include "UpdateFixture.h"
#include "support/Process.h"

namespace fs = std::filesystem;

namespace reliability {
namespace {

// Memory a test leaves the program, far below what the runaway statements
// would take (String(2000000000, 'x') once grew to 9 GB). Address-space
// limits and AddressSanitizer's shadow memory do not mix.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryLimitWorks = false;
#else
constexpr bool kMemoryLimitWorks = true;
#endif
constexpr rlim_t kMemoryLimit = 1536ULL * 1024 * 1024;

constexpr char kMarkRow[] = "INSERT INTO t_db_ver (DBVerID, DBVerCode) VALUES (99, 9.99);\n";

class ValueLimits : public ::testing::Test {
  protected:
    void SetUp() override {
        database_ = (folder_.Path() / "host.mdb").string();
        fs::copy_file(updatetest::PristineSample(), database_);
    }

    testsupport::ProcessResult Query(const std::string& script,
                                     std::optional<rlim_t> memory = std::nullopt,
                                     const std::vector<std::string>& more = {}) {
        std::vector<std::string> argv{VANTOLY_PATCH_BINARY, "--db", database_, "query"};
        argv.insert(argv.end(), more.begin(), more.end());
        testsupport::ProcessOptions options;
        options.input = script;
        if (kMemoryLimitWorks) options.memoryLimit = memory;
        return testsupport::RunProcess(argv, options);
    }

    // The mark row was not committed: the run changed nothing.
    void ExpectNothingCommitted() {
        const testsupport::ProcessResult check =
            Query("SELECT COUNT(*) FROM t_db_ver WHERE DBVerID = 99;\n");
        ASSERT_EQ(check.exitStatus, 0) << check.err;
        EXPECT_NE(check.out.find("\n0\n"), std::string::npos) << check.out;
    }

    testsupport::TempFolder folder_;
    std::string database_;
};

// Every function that builds a text, and SQLite's own joining, refuses a
// result past the limit before allocating it.
TEST_F(ValueLimits, TextsPastTheLimitFailAsOutOfStringSpaceAndCommitNothing) {
    const char* const statements[] = {
        "SELECT String(2000000000, 'x');",
        "SELECT String(30000000, 'あ');",  // 90 million bytes as UTF-8
        "SELECT Space(2000000000);",
        "SELECT Replace(String(20000000, 'a'), 'a', 'bbbb');",
        "SELECT String(40000000, 'x') & String(40000000, 'y');",
        "SELECT String(40000000, 'x') + String(40000000, 'y');",
        "SELECT StrConv(String(30000000, 'a'), 4);",  // full-width: three bytes each
        "SELECT Format(1, String(3000000, '0'));",
        "SELECT Format(Now(), String(3000000, 'c'));",
        "UPDATE t_kumi SET KumiKana = String(70000000, 'k');",
    };
    for (const char* statement : statements) {
        SCOPED_TRACE(statement);
        const testsupport::ProcessResult run =
            Query(std::string(kMarkRow) + statement + "\n", kMemoryLimit);
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.exitStatus, 1) << run.err;
        EXPECT_NE(run.err.find("Out of string space"), std::string::npos) << run.err;
        ExpectNothingCommitted();
    }
    // Just under the limit still works.
    const testsupport::ProcessResult fits =
        Query("SELECT Len(String(60000000, 'x') & Space(1000));\n", kMemoryLimit);
    EXPECT_EQ(fits.exitStatus, 0) << fits.err;
    EXPECT_NE(fits.out.find("60001000"), std::string::npos) << fits.out;
}

// Memory that runs out under the limit: inside an engine function, while
// rows are printed, or a script too large to read, the run ends with a message
// and a failure status, and nothing is committed.
TEST_F(ValueLimits, OutOfMemoryEndsTheRunWithAMessageAndCommitsNothing) {
    if (!kMemoryLimitWorks) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
    const std::string scripts[] = {
        std::string(kMarkRow) + "SELECT StrConv(String(60000000, 'a'), 4) FROM t_kumi;\n",
        std::string(kMarkRow) +
            "SELECT String(60000000, 'x') & KumiName, String(60000000, 'y') & KumiName "
            "FROM t_kumi;\n",
    };
    for (const std::string& script : scripts) {
        SCOPED_TRACE(script);
        const testsupport::ProcessResult run = Query(script, 400ULL * 1024 * 1024);
        EXPECT_EQ(run.signal, 0) << run.err;
        EXPECT_EQ(run.exitStatus, 1) << run.err;
        const bool said = run.err.find("out of memory") != std::string::npos ||
                          run.err.find("System resource exceeded") != std::string::npos;
        EXPECT_TRUE(said) << run.err;
        ExpectNothingCommitted();
    }

    // A script file larger than the memory is refused by its size before
    // any of it is read, so no part of it runs.
    const std::string script = (folder_.Path() / "huge.sql").string();
    testsupport::WriteFileBytes(script, kMarkRow);
    fs::resize_file(script, 2ULL * 1024 * 1024 * 1024);  // sparse: costs no disk
    const testsupport::ProcessResult run = Query("", 400ULL * 1024 * 1024, {"-f", script});
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitStatus, 2) << run.err;
    EXPECT_NE(run.err.find("is 2147483648 bytes"), std::string::npos) << run.err;
    ExpectNothingCommitted();
}

}  // namespace
}  // namespace reliability
