// Where the database password of a command-line run comes from. A password
// on the command line shows in `ps` and /proc/PID/cmdline to every local
// user, so the quieter sources come first in the usage text:
//   --password-file FILE  its first line, without the line end
//   --password -          asked on the terminal, typed without echo
//   VANTOLY_PASSWORD      the environment, when neither option is given
//   --password TEXT       as given
// --password and --password-file exclude each other. All of them name the
// password of the --db database; the registry's database keeps the
// registry's Password.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "cli/CommandLine.h"

namespace cli {

inline constexpr const char* kPasswordVariable = "VANTOLY_PASSWORD";

// The password the sources give, or nothing when none of them gives one;
// std::runtime_error with a message for the operator when a source cannot be
// read (a missing file, "--password -" without a terminal, input ended).
// The prompt goes to `prompt`.
std::optional<std::string> ResolvePassword(const CommandLine& line, std::ostream& prompt);

// The first line of `path` without its line end ("\n" or "\r\n"). A FIFO or
// a terminal gives its first line; more than platform::kPasswordLimit (4 KiB)
// before the line end (a device such as /dev/zero) is refused, as is a
// longer line typed at the prompt.
std::string ReadPasswordFile(const std::string& path);

// Asks for the password on the terminal at standard input with echo off,
// restoring the terminal afterwards, also when a signal ends the program
// while it waits.
std::string AskPasswordOnTerminal(const std::string& promptText, std::ostream& prompt);

}  // namespace cli
