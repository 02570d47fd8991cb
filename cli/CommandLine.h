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

struct CommandLine;

// What runs the commands this folder does not hold: the command words on
// the main window's logic (commands/, in the executable) and the main window
// itself (the window module). kCommands names the member each command runs
// through; a missing one answers kExitBadArguments.
using CommandRunner = std::function<int(const CommandLine&)>;
struct FrontEnds {
    CommandRunner window;  // no command word: the main window
    CommandRunner status;
    CommandRunner update;  // with or without --dry-run
    CommandRunner restore;
    CommandRunner tables;
    CommandRunner show;
    CommandRunner createQuery;
    CommandRunner exportSpec;
    CommandRunner importInPlace;  // import without paths
};

// What a command's handler runs with: the streams of the run (a script is
// read from `in` when no file is named) and the front ends.
struct CommandContext {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    const FrontEnds& frontEnds;
};
using CommandHandler = int (*)(const CommandLine& line, const CommandContext& context);

// Handlers of this folder's own: the query, and the import into a new file
// (without paths the import runs through FrontEnds::importInPlace).
int RunQueryHandler(const CommandLine& line, const CommandContext& context);
int RunImportHandler(const CommandLine& line, const CommandContext& context);

// Runs `line` through the front end `member`; without one, says so.
int RunThroughFrontEnd(const CommandLine& line, const CommandContext& context,
                       CommandRunner FrontEnds::*member);
template <CommandRunner FrontEnds::*member>
int RunFrontEndHandler(const CommandLine& line, const CommandContext& context) {
    return RunThroughFrontEnd(line, context, member);
}

// The options the parser knows, every command's and the ones a command owns.
enum class OptionKind { kFlag, kValue };
struct OptionSpec {
    const char* name;
    OptionKind kind;
};
inline constexpr OptionSpec kOptions[] = {
    {"--help", OptionKind::kFlag},
    {"-h", OptionKind::kFlag},
    {"--version", OptionKind::kFlag},
    {"--yes", OptionKind::kFlag},
    {"--no", OptionKind::kFlag},
    {"--all", OptionKind::kFlag},
    {"--db", OptionKind::kValue},
    {"--password", OptionKind::kValue},
    {"--password-file", OptionKind::kValue},
    {"--registry", OptionKind::kValue},
    {"--limit", OptionKind::kValue},
    {"--create", OptionKind::kFlag},
    {"-f", OptionKind::kValue},
    {"--param", OptionKind::kValue},
    {"--dry-run", OptionKind::kFlag},
    {"--json", OptionKind::kFlag},
};

// The command words: what each needs after it, the options only it takes,
// whether it reports with --json (the commands that report an outcome, not
// the ones that print rows or files), whether it changes its database (and
// so holds the database's lock; update --dry-run does not), and its handler.
// The parser's checks, the usage text's --json line, the lock, the dispatch
// and the documentation's test come from this one table.
struct CommandSpec {
    const char* word;
    Command command;
    int operands;              // words after the command word
    const char* operandsText;  // what they are, for the operator
    const char* options;       // the options it owns, blank-separated
    bool json;
    bool changesDatabase;
    CommandHandler handler;
};
inline constexpr CommandSpec kCommands[] = {
    {"query", Command::kQuery, 0, "", "--create -f --param", false, true, RunQueryHandler},
    {"status", Command::kStatus, 0, "", "", true, false, RunFrontEndHandler<&FrontEnds::status>},
    {"update", Command::kUpdate, 0, "", "--dry-run", true, true,
     RunFrontEndHandler<&FrontEnds::update>},
    {"restore", Command::kRestore, 0, "", "", true, true, RunFrontEndHandler<&FrontEnds::restore>},
    {"tables", Command::kTables, 0, "", "--all", false, false,
     RunFrontEndHandler<&FrontEnds::tables>},
    {"show", Command::kShow, 1, "a table name", "--limit", false, false,
     RunFrontEndHandler<&FrontEnds::show>},
    {"create-query", Command::kCreateQuery, 1, "a table name", "", false, false,
     RunFrontEndHandler<&FrontEnds::createQuery>},
    {"export-spec", Command::kExportSpec, 1, "a folder", "", false, false,
     RunFrontEndHandler<&FrontEnds::exportSpec>},
    {"import", Command::kImport, 2, "the genuine file SOURCE and the new file DEST", "", true, true,
     RunImportHandler},
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

// Runs the command the arguments name and answers with the exit status.
// Rows and help go to `out`, failures to `err`; a script is read from `in`
// when no file is named.
int RunCommandLine(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                   std::ostream& err, const FrontEnds& frontEnds = {});

}  // namespace cli
