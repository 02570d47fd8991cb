// Shared by the import tests: the genuine files, the real program and
// mdbtools' command-line tools run as separate processes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/TempFolder.h"

namespace importtest {

namespace fs = std::filesystem;

inline fs::path Genuine(const std::string& name) {
    return fs::path(VANTOLY_GENUINE_DIR) / name;
}

using testsupport::RunPatch;

// What an mdbtools program prints; the test fails when it fails.
inline std::string MdbTool(const std::string& tool, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"/usr/bin/" + tool};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const testsupport::ProcessResult result = testsupport::RunProcess(argv);
    EXPECT_EQ(result.exitStatus, 0) << tool << ": " << result.err;
    return result.out;
}

// The files of a folder, by name.
inline std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace importtest
