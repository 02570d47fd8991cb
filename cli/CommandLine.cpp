#include "cli/CommandLine.h"

#include <algorithm>
#include <new>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "cli/ImportCommand.h"
#include "cli/JsonReport.h"
#include "cli/PasswordSource.h"
#include "cli/QueryCommand.h"
#include "host/HostGuard.h"
#include "host/TargetDatabaseLocation.h"
#include "platform/DatabaseLock.h"
#include "platform/RegistryFile.h"
#include "platform/Temporaries.h"
#include "update/VersionFacts.h"

namespace cli {

namespace {

constexpr const char* kProgramName = "VantolyPatch";

const OptionSpec* FindOption(const std::string& name) {
    for (const OptionSpec& spec : kOptions) {
        if (name == spec.name) {
            return &spec;
        }
    }
    return nullptr;
}

// Stores one option's value; false when it was given before.
bool Store(std::optional<std::string>& slot, std::string value) {
    if (slot.has_value()) {
        return false;
    }
    slot = std::move(value);
    return true;
}

// Jet's parameter names ignore the case of ASCII letters.
bool EqualsIgnoringAsciiCase(const std::string& a, const std::string& b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

ParsedCommandLine Refuse(std::string why) {
    return {std::nullopt, std::move(why)};
}

bool Owns(const CommandSpec& spec, const std::string& option) {
    std::istringstream words(spec.options);
    for (std::string word; words >> word;) {
        if (word == option) return true;
    }
    return false;
}

// The command that owns `option`, or null for an option every command takes.
const CommandSpec* OwnerOf(const std::string& option) {
    for (const CommandSpec& spec : kCommands) {
        if (Owns(spec, option)) return &spec;
    }
    return nullptr;
}

const CommandSpec* FindCommand(Command command) {
    for (const CommandSpec& spec : kCommands) {
        if (spec.command == command) return &spec;
    }
    return nullptr;
}

}  // namespace

bool CommandReportsJson(Command command) {
    const CommandSpec* spec = FindCommand(command);
    return spec != nullptr && spec->json;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    std::optional<std::string> commandWord;
    std::vector<std::string> ownedGiven;  // options one command owns, as given
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        const bool looksLikeOption = argument.size() > 1 && argument.front() == '-';
        if (!looksLikeOption) {
            if (commandWord.has_value()) {
                line.operands.push_back(argument);
                continue;
            }
            commandWord = argument;
            continue;
        }

        std::string name = argument;
        std::optional<std::string> inlineValue;
        if (const std::size_t equals = argument.find('=');
            argument.starts_with("--") && equals != std::string::npos) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }
        const OptionSpec* spec = FindOption(name);
        if (spec == nullptr) {
            return Refuse("unknown option \"" + name + "\"");
        }
        if (OwnerOf(name) != nullptr) ownedGiven.push_back(name);
        if (spec->kind == OptionKind::kFlag) {
            if (inlineValue.has_value()) {
                return Refuse("option " + name + " takes no value");
            }
            if (name == "--create")
                line.create = true;
            else if (name == "--version")
                line.version = true;
            else if (name == "--yes")
                line.answerYes = true;
            else if (name == "--no")
                line.answerNo = true;
            else if (name == "--all")
                line.allTables = true;
            else if (name == "--dry-run")
                line.dryRun = true;
            else if (name == "--json")
                line.json = true;
            else
                line.help = true;
            continue;
        }

        std::string value;
        if (inlineValue.has_value()) {
            value = *inlineValue;
        } else if (index + 1 < arguments.size()) {
            value = arguments[++index];
        } else {
            return Refuse("option " + name + " needs a value");
        }
        if (name == "--param") {
            const std::size_t equals = value.find('=');
            if (equals == 0 || equals == std::string::npos) {
                return Refuse("--param needs NAME=VALUE, not \"" + value + "\"");
            }
            std::string parameter = value.substr(0, equals);
            for (const auto& given : line.parameters) {
                if (EqualsIgnoringAsciiCase(given.first, parameter))
                    return Refuse("--param " + parameter + " is given twice");
            }
            line.parameters.emplace_back(std::move(parameter), value.substr(equals + 1));
            continue;
        }
        std::optional<std::string>& slot = name == "--db"              ? line.databasePath
                                           : name == "--password"      ? line.password
                                           : name == "--password-file" ? line.passwordFile
                                           : name == "--registry"      ? line.registryPath
                                           : name == "--limit"         ? line.limit
                                                                       : line.scriptPath;
        if (!Store(slot, std::move(value))) {
            return Refuse("option " + name + " is given twice");
        }
    }

    if (line.help || line.version) {
        return {line, {}};
    }
    if (line.answerYes && line.answerNo) {
        return Refuse("--yes and --no cannot be given together");
    }
    if (line.password.has_value() && line.passwordFile.has_value()) {
        return Refuse("--password and --password-file cannot be given together");
    }
    // import reads its files from its operands; the password is theirs.
    const bool importing = commandWord.has_value() && *commandWord == "import";
    if (line.password.has_value() && !line.databasePath.has_value() && !importing) {
        return Refuse("--password needs --db");
    }
    if (line.passwordFile.has_value() && !line.databasePath.has_value() && !importing) {
        return Refuse("--password-file needs --db");
    }
    if (line.databasePath.has_value() && line.databasePath->empty()) {
        return Refuse("--db needs a path");
    }
    if (!commandWord.has_value()) {
        if (!line.operands.empty()) return Refuse("unexpected argument");
        return {line, {}};  // the main window
    }
    const CommandSpec* spec = nullptr;
    for (const CommandSpec& candidate : kCommands) {
        if (*commandWord == candidate.word) spec = &candidate;
    }
    if (spec == nullptr) {
        return Refuse("unknown command \"" + *commandWord + "\"");
    }
    line.command = spec->command;
    if (static_cast<int>(line.operands.size()) > spec->operands) {
        return Refuse("unexpected argument \"" +
                      line.operands[static_cast<std::size_t>(spec->operands)] +
                      "\" after the command \"" + *commandWord + "\"");
    }
    // import without paths converts the window's own database in place.
    const bool inPlace = line.command == Command::kImport && line.operands.empty();
    if (static_cast<int>(line.operands.size()) < spec->operands && !inPlace) {
        return Refuse(std::string("the command \"") + spec->word + "\" needs " +
                      spec->operandsText);
    }
    // An empty file operand (an unset shell variable) names no file: `import
    // SOURCE ""` built the whole database before its name could not be taken.
    // A table name is looked up and answered as any other.
    const bool namesFiles =
        line.command == Command::kImport || line.command == Command::kExportSpec;
    for (const std::string& operand : line.operands) {
        if (namesFiles && operand.empty())
            return Refuse(std::string("the command \"") + spec->word + "\" needs " +
                          spec->operandsText + ", and an empty one names nothing");
    }
    for (const std::string& option : ownedGiven) {
        if (!Owns(*spec, option))
            return Refuse(option + " belongs to the " + OwnerOf(option)->word + " command");
    }
    if (line.json && !spec->json) {
        return Refuse(std::string("the command \"") + spec->word + "\" has no JSON report");
    }
    if (line.command == Command::kQuery && line.create && !line.databasePath.has_value()) {
        return Refuse("query --create needs the database to create: --db PATH");
    }
    return {line, {}};
}

namespace {

// "status, update, restore, import": the commands with a JSON report.
std::string JsonCommandList() {
    std::string list;
    for (const CommandSpec& spec : kCommands) {
        if (!spec.json) continue;
        if (!list.empty()) list += ", ";
        list += spec.word;
    }
    return list;
}

}  // namespace

void PrintUsage(std::ostream& out, const std::string& programName) {
    out << "Usage: " << programName << " [OPTIONS]                 the main window\n"
        << "       " << programName
        << " [OPTIONS] COMMAND [ARGS]  the same logic without showing it\n"
        << "\n"
        << "Commands:\n"
        << "  status             folder, name, extension, version, title and button states\n"
        << "  update             update the database to version 1.26 (answer with --yes)\n"
        << "  update --dry-run   what the update would do, run on a private copy; changes nothing\n"
        << "  restore            put the pre-update backup back in place\n"
        << "  tables [--all]     the viewer's table list (dated tables grouped unless --all)\n"
        << "  show TABLE [--limit N]  the viewer's grid copy text for TABLE (default 500 rows)\n"
        << "  create-query TABLE the table-creation statement of TABLE\n"
        << "  export-spec DIR    the table definition workbook (仕様書) into DIR\n"
        << "  import SOURCE DEST a new database DEST with everything of the genuine Access file\n"
        << "                     SOURCE (Jet 3, Jet 4 or ACE) the engine can hold; what it cannot\n"
        << "                     is listed (exit 1). The password options give DEST's password.\n"
        << "  import             the same for the registry's (or --db) database, in place: the\n"
        << "                     genuine file is kept unchanged as NAME.access-original.EXT\n"
        << "  query [--create] [-f FILE] [--param NAME=VALUE]...\n"
        << "                     runs the statements of FILE (standard input when FILE is absent\n"
        << "                     or \"-\") on the --db database, else the registry's, all in one\n"
        << "                     transaction. Lines beginning with \"#\" are comments, lines are\n"
        << "                     joined with a blank, and every \";\" ends a statement. Rows of\n"
        << "                     each SELECT are printed as tab-separated text (a tab, line break\n"
        << "                     or backslash inside a value as \\t, \\n, \\r or \\\\; result "
           "sets\n"
        << "                     separated by an empty line).\n"
        << "\n"
        << "Options (before or after the command word):\n"
        << "  --registry FILE    the registry export to read instead of $VANTOLY_REGISTRY\n"
        << "  --db PATH          the database file (.mdb or .accdb) instead of the registry\n"
        << "  --password-file FILE  its database password: the first line of FILE\n"
        << "  --password -       its database password, asked on the terminal without echo\n"
        << "  --password TEXT    its database password as given (seen by every local user in\n"
        << "                     the process list: prefer the two above or VANTOLY_PASSWORD)\n"
        << "  --yes, --no        the answer to every Yes/No question (default: No)\n"
        << "  --json             " << JsonCommandList() << ": one JSON object on standard output\n"
        << "  --create           query: create an empty database first when PATH does not exist\n"
        << "  -f FILE            query: the statements to run\n"
        << "  --param NAME=VALUE query: the value of the parameter NAME that a PARAMETERS clause\n"
        << "                     declares (also in a saved query), read as its declared type;\n"
        << "                     repeat it for each parameter\n"
        << "  --version          the program's version\n"
        << "  -h, --help         this text\n"
        << "\n"
        << "Environment:\n"
        << "  VANTOLY_PASSWORD   the --db database's password when neither --password nor\n"
        << "                     --password-file is given\n"
        << "  VANTOLY_REGISTRY   the registry export file\n"
        << "\n"
        << "Every message box is printed to standard error with its caption, icon, text and the\n"
        << "answer given. Exit status: 0 done, 1 refused, declined or failed, 2 wrong arguments,\n"
        << "128 + N stopped by signal N (130 Ctrl+C, 143 SIGTERM, 129 SIGHUP).\n";
}

const char* CommandWordOf(Command command) {
    const CommandSpec* spec = FindCommand(command);
    return spec != nullptr ? spec->word : "";
}

namespace {

// The command word among the arguments, for a report on arguments that did
// not parse; empty when there is none.
std::string CommandWordOf(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        for (const CommandSpec& spec : kCommands) {
            if (argument == spec.word) return spec.word;
        }
    }
    return {};
}

// The commands that change their database; the others only read it and
// run beside any other run.
bool ChangesDatabase(const CommandLine& line) {
    const CommandSpec* spec = FindCommand(line.command);
    return spec != nullptr && spec->changesDatabase && !line.dryRun;
}

// The database a run that changes one works on: the import's destination,
// --db, or the registry's; empty when none is named (the command says so).
std::string DatabaseToChange(const CommandLine& line) {
    if (line.command == Command::kImport && line.operands.size() == 2) return line.operands[1];
    if (line.databasePath) return *line.databasePath;
    platform::RegistryFile registry(line.registryPath.value_or(platform::RegistryFilePath()));
    host::TargetDatabase record;
    host::ReadTargetDatabaseLocation(record, registry);
    return record.FileName.empty() ? std::string() : record.FilePath();
}

// Takes the lock of the database the run changes into `lock`, held until
// the command returns. Another run holding it refuses this one: its exit
// status then, and the report names the holder.
std::optional<int> LockDatabaseToChange(const CommandLine& line, platform::DatabaseLock& lock,
                                        std::ostream& out, std::ostream& err) {
    const std::string database = DatabaseToChange(line);
    if (database.empty()) return std::nullopt;
    switch (lock.Acquire(database, CommandWordOf(line.command))) {
        case platform::DatabaseLock::Result::kAcquired:
        case platform::DatabaseLock::Result::kHeldByThisProcess:
            return std::nullopt;
        case platform::DatabaseLock::Result::kUnavailable:
            // A folder that cannot hold the lock file cannot hold SQLite's
            // journal either: the command itself fails there with its reason.
            if (!lock.FolderMissing())
                err << kProgramName << ": warning: " << lock.Problem()
                    << "; the run goes on without the database's lock\n";
            return std::nullopt;
        case platform::DatabaseLock::Result::kHeldElsewhere:
            break;
    }
    const std::string why = host::DatabaseInUseText(database, lock);
    err << kProgramName << ": " << why << "\n";
    if (line.json) {
        QJsonObject heldBy;
        const platform::LockHolder& holder = lock.Holder();
        heldBy.insert(QStringLiteral("pid"),
                      holder.pid != 0 ? QJsonValue(holder.pid) : QJsonValue(QJsonValue::Null));
        heldBy.insert(QStringLiteral("command"), holder.command.empty()
                                                     ? QJsonValue(QJsonValue::Null)
                                                     : JsonText(holder.command));
        SetPathJson(heldBy, "lockFile", lock.LockFile());
        WriteEarlyJsonReport(CommandWordOf(line.command), kOutcomeRefused, why, out,
                             {{QStringLiteral("heldBy"), heldBy}});
    }
    return kExitFailed;
}

int RunParsedCommandLine(CommandLine line, std::istream& in, std::ostream& out, std::ostream& err,
                         const FrontEnds& frontEnds) {
    if (line.help) {
        PrintUsage(out, kProgramName);
        return kExitOk;
    }
    if (line.version) {
        out << kProgramName << " " VANTOLY_VERSION " (database version " << update::kFromVersion
            << " to " << update::kToVersion << ", release " << update::kReleaseDate << ")\n";
        return kExitOk;
    }
    // Dry runs killed outright left their private copies here.
    platform::RemoveStaleTemporaries(platform::TemporaryFilesFolder());
    if (line.databasePath.has_value() || line.command == Command::kImport) {
        try {
            line.password = ResolvePassword(line, err);
        } catch (const std::runtime_error& error) {
            err << kProgramName << ": " << error.what() << "\n";
            if (line.json)
                WriteEarlyJsonReport(CommandWordOf(line.command), kOutcomeRefused, error.what(),
                                     out);
            return kExitBadArguments;
        }
    }
    platform::DatabaseLock databaseLock;
    if (ChangesDatabase(line)) {
        if (const std::optional<int> refused = LockDatabaseToChange(line, databaseLock, out, err))
            return *refused;
    }
    const CommandContext context{in, out, err, frontEnds};
    const CommandSpec* spec = FindCommand(line.command);
    return spec != nullptr ? spec->handler(line, context)
                           : RunThroughFrontEnd(line, context, &FrontEnds::window);
}

}  // namespace

int RunQueryHandler(const CommandLine& line, const CommandContext& context) {
    return RunQueryCommand(line, context.in, context.out, context.err);
}

int RunImportHandler(const CommandLine& line, const CommandContext& context) {
    if (line.operands.empty()) return RunThroughFrontEnd(line, context, &FrontEnds::importInPlace);
    return RunImportCommand(line, context.out, context.err);
}

int RunThroughFrontEnd(const CommandLine& line, const CommandContext& context,
                       CommandRunner FrontEnds::*member) {
    const CommandRunner& run = context.frontEnds.*member;
    if (!run) {
        context.err << kProgramName << ": this command needs the "
                    << (line.command == Command::kNone ? "window front end" : "command words")
                    << "\n";
        return kExitBadArguments;
    }
    return run(line);
}

int RunCommandLine(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                   std::ostream& err, const FrontEnds& frontEnds) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    const bool json = parsed.commandLine.has_value() ? parsed.commandLine->json
                                                     : std::find(arguments.begin(), arguments.end(),
                                                                 "--json") != arguments.end();
    if (!parsed.commandLine.has_value()) {
        err << kProgramName << ": " << parsed.error << "\n\n";
        PrintUsage(err, kProgramName);
        if (json)
            WriteEarlyJsonReport(CommandWordOf(arguments), kOutcomeRefused, parsed.error, out);
        return kExitBadArguments;
    }
    // The one place a command word, the query, the import and the windows
    // (whose run returns here) end when memory runs out: every transaction
    // has been rolled back on the way out, so nothing was committed.
    try {
        return RunParsedCommandLine(*parsed.commandLine, in, out, err, frontEnds);
    } catch (const std::bad_alloc&) {
        err << kProgramName << ": " << kOutOfMemoryText << "\n";
        if (json) {
            WriteEarlyJsonReport(CommandWordOf(parsed.commandLine->command), kOutcomeFailed,
                                 kOutOfMemoryText, out);
        }
        return kExitFailed;
    }
}

}  // namespace cli
