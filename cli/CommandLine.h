// The command line of VantolyPatch: which command to run and with what.
//
//   VantolyPatch [--db PATH [--password-file FILE | --password -]] query [--create] [-f FILE]
//
// Options may stand before or after the command word; "--name=value" is
// accepted as well as "--name value".
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cli {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the command ran and failed; nothing was committed
inline constexpr int kExitBadArguments = 2;

// What the operator reads when the program runs out of memory (a query
// building a huge text, a file too large to load); nothing was committed.
inline constexpr const char* kOutOfMemoryText =
    "out of memory: the work stopped and nothing was committed; close other programs or ask "
    "for less (fewer rows, shorter texts) and run it again";

enum class Command {
    kNone,  // no command word: the main window
    kQuery,
    kStatus,
    kUpdate,
    kRestore,
    kTables,
    kShow,
    kCreateQuery,
    kExportSpec,
    kImport,
};

// The command words: what each needs after it, the options only it takes,
// and whether it reports with --json (the commands that report an outcome,
// not the ones that print rows or files). The parser's checks and the
// usage text's --json line come from this one table.
struct CommandSpec {
    const char* word;
    Command command;
    int operands;              // words after the command word
    const char* operandsText;  // what they are, for the operator
    const char* options;       // the options it owns, blank-separated
    bool json;
};
inline constexpr CommandSpec kCommands[] = {
    {"query", Command::kQuery, 0, "", "--create -f --param", false},
    {"status", Command::kStatus, 0, "", "", true},
    {"update", Command::kUpdate, 0, "", "--dry-run", true},
    {"restore", Command::kRestore, 0, "", "", true},
    {"tables", Command::kTables, 0, "", "--all", false},
    {"show", Command::kShow, 1, "a table name", "--limit", false},
    {"create-query", Command::kCreateQuery, 1, "a table name", "", false},
    {"export-spec", Command::kExportSpec, 1, "a folder", "", false},
    {"import", Command::kImport, 2, "the genuine file SOURCE and the new file DEST", "", true},
};

// The word of `command` ("" for the main window).
const char* CommandWordOf(Command command);

// Whether the command prints one JSON object with --json (kCommands).
bool CommandReportsJson(Command command);

struct CommandLine {
    bool help = false;
    bool version = false;                     // --version
    bool answerYes = false;                   // --yes
    bool answerNo = false;                    // --no
    bool allTables = false;                   // tables --all
    bool dryRun = false;                      // update --dry-run
    bool json = false;                        // --json: one JSON object on standard output
    std::optional<std::string> registryPath;  // --registry
    std::optional<std::string> limit;         // show --limit
    std::vector<std::string> operands;        // after the command word
    Command command = Command::kNone;
    std::optional<std::string> databasePath;  // --db
    std::optional<std::string> password;      // --password; the resolved password once run
    std::optional<std::string> passwordFile;  // --password-file
    bool create = false;                      // query --create
    std::optional<std::string> scriptPath;    // query -f; "-" is standard input
    // query --param NAME=VALUE, in the order given: the values of parameters
    // that PARAMETERS clauses declare.
    std::vector<std::pair<std::string, std::string>> parameters;
};

struct ParsedCommandLine {
    std::optional<CommandLine> commandLine;  // absent when the arguments are wrong
    std::string error;                       // why, for the operator
};

// Parses the arguments after the program name. Never throws.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage text printed by --help and after a wrong argument.
void PrintUsage(std::ostream& out, const std::string& programName);

// What runs the commands this folder does not hold: the command words on
// the main window's logic (commands/, in the executable) and the main window
// itself (the window module). A missing one answers kExitBadArguments.
using CommandRunner = std::function<int(const CommandLine&)>;
struct FrontEnds {
    CommandRunner commandWords;  // every command but query, import into a new file and the window
    CommandRunner window;        // no command word: the main window
};

// Runs the command the arguments name and answers with the exit status.
// Rows and help go to `out`, failures to `err`; a script is read from `in`
// when no file is named.
int RunCommandLine(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                   std::ostream& err, const FrontEnds& frontEnds = {});

}  // namespace cli
