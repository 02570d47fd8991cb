// Runs the built VantolyPatch binary as an administrator would, collecting
// its exit status and both outputs.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempFolder.h"

extern char** environ;

namespace apptest {

namespace fs = std::filesystem;

struct RunResult {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Runs `binary` (the built program, or a copy of it under another name) with
// `arguments`, `input` on its standard input and `environment` ("NAME=value")
// over its own, and collects its exit status and both outputs.
inline RunResult RunProgram(const std::string& binary, const std::vector<std::string>& arguments,
                            const std::string& input = "", const std::vector<std::string>& environment = {}) {
    testsupport::TempFolder io;
    const fs::path in = io.Path() / "in";
    const fs::path out = io.Path() / "out";
    const fs::path err = io.Path() / "err";
    WriteFile(in, input);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> argvStrings{binary};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : argvStrings) argv.push_back(argument.data());
    argv.push_back(nullptr);

    RunResult result;
    pid_t pid = 0;
    // A lock folder of its own, so tests running side by side are not each
    // other's "second copy".
    std::vector<std::string> childEnvironment = environment;
    childEnvironment.push_back("XDG_RUNTIME_DIR=" + io.Path().string());
    // And a state folder of its own unless the test names one, so the
    // statement log of a run never lands in the tester's home.
    const bool stateGiven = std::any_of(environment.begin(), environment.end(), [](const std::string& entry) {
        return entry.starts_with("XDG_STATE_HOME=");
    });
    if (!stateGiven) childEnvironment.push_back("XDG_STATE_HOME=" + io.Path().string() + "/state");
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool overridden = false;
        for (const std::string& given : childEnvironment) overridden = overridden || given.rfind(name, 0) == 0;
        if (!overridden) childEnvironment.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& entry : childEnvironment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const int spawned =
        posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << binary;
        return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadFile(out);
    result.err = ReadFile(err);
    return result;
}

// The built program.
inline RunResult RunPatch(const std::vector<std::string>& arguments, const std::string& input = "",
                          const std::vector<std::string>& environment = {}) {
    return RunProgram(VANTOLY_PATCH_BINARY, arguments, input, environment);
}

}  // namespace apptest
