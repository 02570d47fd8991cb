// What the kill drivers share: the step counter that ends the process at a
// chosen step, and the command line "DATABASE [--list | --kill-at N]".
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "host/TargetDatabase.h"

namespace killdriver {

struct StepCounter {
    bool list = false;
    long killAt = 0;  // 0: never
    long steps = 0;

    // Prints "N<TAB>phase<TAB>text" with --list (the text's first line).
    void Step(std::string_view phase, std::string_view text = {}) {
        ++steps;
        if (list) {
            std::cout << steps << '\t' << phase;
            if (!text.empty()) std::cout << '\t' << text.substr(0, text.find('\n'));
            std::cout << '\n' << std::flush;
        }
        if (steps == killAt) ::kill(::getpid(), SIGKILL);
    }
};

// The database named on the command line and the counter its options ask
// for; nothing after printing the usage.
inline std::optional<host::TargetDatabase> ParseCommandLine(int argc, char** argv,
                                                            const char* program,
                                                            StepCounter& counter) {
    if (argc < 2) {
        std::cerr << "usage: " << program << " DATABASE [--list | --kill-at N]\n";
        return std::nullopt;
    }
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--list")
            counter.list = true;
        else if (option == "--kill-at" && i + 1 < argc)
            counter.killAt = std::atol(argv[++i]);
        else {
            std::cerr << "unknown option " << option << "\n";
            return std::nullopt;
        }
    }
    const std::filesystem::path file = std::filesystem::absolute(argv[1]);
    host::TargetDatabase target;
    target.PathName = file.parent_path().string() + "/";
    target.FileName = file.stem().string();
    target.Extension = file.extension().string();
    return target;
}

}  // namespace killdriver
