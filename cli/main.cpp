// VantolyPatch: brings a host database from version 1.25 to 1.26.
#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/WindowModule.h"
#include "commands/HeadlessFrontEnd.h"
#include "platform/Interrupts.h"

int main(int argc, char** argv) {
    // Before any thread starts: every thread then leaves the signals to the watcher.
    platform::WatchInterrupts();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    cli::FrontEnds frontEnds = commands::HeadlessFrontEnds(std::cout, std::cerr);
    // Only the main window loads the windows' libraries.
    frontEnds.window = [&](const cli::CommandLine& line) {
        return cli::RunWindowModule(line, argc, argv, std::cout, std::cerr);
    };
    const int status = cli::RunCommandLine(arguments, std::cin, std::cout, std::cerr, frontEnds);
    // The command has reached its end or the safe point where it stopped,
    // and its owners removed what they made.
    if (platform::SettleInterrupt() != 0) platform::ExitInterrupted();
    return status;
}
