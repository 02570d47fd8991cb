// Every file of the fuzz corpora through the function its fuzz target
// drives, in the ordinary build (and under the sanitizers in the sanitizer
// build): a corpus entry that once found a fault stays a test here.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "Process.h"
#include "fuzz/FuzzEntries.h"

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
        const std::string bytes = ReadFile(entry.path());
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
                      CorpusCase{"ParseRegistry", "registry", fuzzentry::ParseRegistry}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace reliability
