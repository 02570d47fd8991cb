// VantolyPatch: brings a host database from version 1.25 to 1.26.
#include <iostream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/WindowModule.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return cli::RunCommandLine(
        arguments, std::cin, std::cout, std::cerr, [&](const cli::CommandLine& line) {
            return app::RunWindowModule(line, argc, argv, std::cout, std::cerr);
        });
}
