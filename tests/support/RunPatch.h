// Runs the built VantolyPatch binary as an administrator would, collecting
// its exit status and both outputs (testsupport::RunProcess), with the
// standard input and environment most command tests give it.
#pragma once

#include <string>
#include <vector>

#include "support/FileContent.h"
#include "support/Process.h"

namespace apptest {

namespace fs = std::filesystem;

using RunResult = testsupport::ProcessResult;

// Runs `binary` (the built program, or a copy of it under another name) with
// `arguments`, `input` on its standard input and `environment` ("NAME=value")
// over its own.
inline RunResult RunProgram(const std::string& binary, const std::vector<std::string>& arguments,
                            const std::string& input = "",
                            const std::vector<std::string>& environment = {}) {
    std::vector<std::string> argv{binary};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    testsupport::ProcessOptions options;
    options.input = input;
    options.environment = environment;
    return testsupport::RunProcess(argv, options);
}

// The built program.
inline RunResult RunPatch(const std::vector<std::string>& arguments, const std::string& input = "",
                          const std::vector<std::string>& environment = {}) {
    return RunProgram(VANTOLY_PATCH_BINARY, arguments, input, environment);
}

}  // namespace apptest
