// Every file of the fuzz corpora through the function its fuzz target
// drives, in the ordinary build (and under the sanitizers in the sanitizer
// build): a corpus entry that once found a fault stays a test here.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "fuzz/FuzzEntries.h"
#include "support/Process.h"

namespace fs = std::filesystem;

namespace reliability {
namespace {

struct CorpusCase {
    std::string name;
    std::string folder;  // under fuzz/corpus
    std::function<void(std::string_view)> entry;
};

class FuzzCorpusReplay : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(FuzzCorpusReplay, EveryFileRunsWithoutFault) {
    const fs::path folder = fs::path(VANTOLY_FUZZ_CORPUS_DIR) / GetParam().folder;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        SCOPED_TRACE(entry.path().string());
        const std::string bytes = testsupport::ReadFileBytes(entry.path());
        EXPECT_NO_THROW(GetParam().entry(bytes));
        ++files;
    }
    EXPECT_GT(files, 0) << "the corpus " << folder << " is empty";
}

INSTANTIATE_TEST_SUITE_P(
    Fuzz, FuzzCorpusReplay,
    ::testing::Values(CorpusCase{"ParseStatement", "sql", fuzzentry::ParseStatement},
                      CorpusCase{"ExecuteStatement", "sql", fuzzentry::ExecuteStatement},
                      CorpusCase{"SplitQueries", "split", fuzzentry::SplitQueries},
                      CorpusCase{"ParseRegistry", "registry", fuzzentry::ParseRegistry},
                      CorpusCase{"WriteWorkbook", "workbook", fuzzentry::WriteWorkbook},
                      CorpusCase{"ImportGenuine", "genuine", fuzzentry::ImportGenuine}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace reliability

namespace reliability {
namespace {

// The statements the fuzzers found to end the program, through the query
// command as an operator would give them: each must be refused with a
// message and the program must end by itself.
struct FatalStatementCase {
    std::string name;
    std::string script;
};

// A statement split into lines the console takes whole (it cuts longer ones).
std::string InShortLines(const std::string& statement) {
    std::string script;
    for (std::size_t at = 0; at < statement.size(); at += 400)
        script += statement.substr(at, 400) + "\n";
    return script;
}

class FoundByFuzzing : public ::testing::TestWithParam<FatalStatementCase> {};

TEST_P(FoundByFuzzing, QueryCommandRefusesTheStatement) {
    testsupport::TempFolder folder;
    const std::string database = folder.Folder() + "fuzz.mdb";
    const fs::path script = folder.Path() / "script.sql";
    testsupport::WriteFileBytes(script, GetParam().script);
    const testsupport::ProcessResult run = testsupport::RunProcess(
        {VANTOLY_PATCH_BINARY, "--db", database, "query", "--create", "-f", script.string()});
    EXPECT_EQ(run.signal, 0) << "the program was ended by signal " << run.signal;
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_NE(run.err.find("Description"), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Engine, FoundByFuzzing,
    ::testing::Values(FatalStatementCase{"TypeSizeBeyondLong",
                                         "CREATE TABLE t (a VARCHAR(99999999999999999999));\n"},
                      FatalStatementCase{
                          "AutoIncrementSeedBeyondLong",
                          "CREATE TABLE t (a AUTOINCREMENT(99999999999999999999, 1));\n"},
                      FatalStatementCase{"DeeplyNestedParentheses",
                                         InShortLines("SELECT " + std::string(5000, '(') + "1" +
                                                      std::string(5000, ')') + ";")}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace reliability
