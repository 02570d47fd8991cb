// The command line of VantolyPatch: which command to run and with what.
//
//   VantolyPatch [--db PATH [--password TEXT]] query [--create] [-f FILE]
//
// Options may stand before or after the command word; "--name=value" is
// accepted as well as "--name value".
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the command ran and failed; nothing was committed
inline constexpr int kExitBadArguments = 2;

enum class Command {
    kNone,  // no command word
    kQuery,
};

struct CommandLine {
    bool help = false;
    Command command = Command::kNone;
    std::optional<std::string> databasePath;  // --db
    std::optional<std::string> password;      // --password
    bool create = false;                      // query --create
    std::optional<std::string> scriptPath;    // query -f; "-" is standard input
};

struct ParsedCommandLine {
    std::optional<CommandLine> commandLine;  // absent when the arguments are wrong
    std::string error;                       // why, for the operator
};

// Parses the arguments after the program name. Never throws.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage text printed by --help and after a wrong argument.
void PrintUsage(std::ostream& out, const std::string& programName);

// Runs the command the arguments name and answers with the exit status.
// Rows and help go to `out`, failures to `err`; a script is read from `in`
// when no file is named.
int RunCommandLine(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                   std::ostream& err);

}  // namespace cli
