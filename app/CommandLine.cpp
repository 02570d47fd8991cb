#include "app/CommandLine.h"

#include <ostream>

#include "app/QueryCommand.h"

namespace cli {

namespace {

constexpr const char* kProgramName = "VantolyPatch";

enum class OptionKind { kFlag, kValue };

struct OptionSpec {
    const char* name;
    OptionKind kind;
};

constexpr OptionSpec kOptions[] = {
    {"--help", OptionKind::kFlag},   {"-h", OptionKind::kFlag},
    {"--db", OptionKind::kValue},    {"--password", OptionKind::kValue},
    {"--create", OptionKind::kFlag}, {"-f", OptionKind::kValue},
};

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

ParsedCommandLine Refuse(std::string why) {
    return {std::nullopt, std::move(why)};
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    std::optional<std::string> commandWord;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        const bool looksLikeOption = argument.size() > 1 && argument.front() == '-';
        if (!looksLikeOption) {
            if (commandWord.has_value()) {
                return Refuse("unexpected argument \"" + argument + "\" after the command \"" +
                              *commandWord + "\"");
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
        if (spec->kind == OptionKind::kFlag) {
            if (inlineValue.has_value()) {
                return Refuse("option " + name + " takes no value");
            }
            if (name == "--create") {
                line.create = true;
            } else {
                line.help = true;
            }
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
        std::optional<std::string>& slot = name == "--db"         ? line.databasePath
                                           : name == "--password" ? line.password
                                                                  : line.scriptPath;
        if (!Store(slot, std::move(value))) {
            return Refuse("option " + name + " is given twice");
        }
    }

    if (line.help) {
        return {line, {}};
    }
    if (!commandWord.has_value()) {
        return Refuse("no command given");
    }
    if (*commandWord != "query") {
        return Refuse("unknown command \"" + *commandWord + "\"");
    }
    line.command = Command::kQuery;
    if (line.password.has_value() && !line.databasePath.has_value()) {
        return Refuse("--password needs --db");
    }
    if (!line.databasePath.has_value()) {
        return Refuse("query needs the database: --db PATH");
    }
    if (line.databasePath->empty()) {
        return Refuse("--db needs a path");
    }
    return {line, {}};
}

void PrintUsage(std::ostream& out, const std::string& programName) {
    out << "Usage: " << programName << " [--db PATH [--password TEXT]] query [--create] [-f FILE]\n"
        << "\n"
        << "query    Runs the statements of FILE (standard input when FILE is absent or \"-\")\n"
        << "         on the database at PATH, all in one transaction: every statement takes\n"
        << "         effect, or none does. Lines beginning with \"#\" are comments, lines are\n"
        << "         joined with a blank, and every \";\" ends a statement (also one inside a\n"
        << "         quoted text). Lines are read up to 512 bytes.\n"
        << "         The rows of each SELECT are printed as tab-separated text: a heading\n"
        << "         line, then one line per row; a tab, a line break or a backslash inside\n"
        << "         a value is written as \\t, \\n, \\r or \\\\. Result sets are separated by\n"
        << "         an empty line.\n"
        << "\n"
        << "Options (before or after the command word):\n"
        << "  --db PATH          the database file (.mdb or .accdb)\n"
        << "  --password TEXT    its database password\n"
        << "  --create           create an empty database first when PATH does not exist\n"
        << "  -f FILE            the statements to run\n"
        << "  -h, --help         this text\n"
        << "\n"
        << "Exit status: 0 committed, 1 failed (nothing committed), 2 wrong arguments.\n";
}

int RunCommandLine(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                   std::ostream& err) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.commandLine.has_value()) {
        err << kProgramName << ": " << parsed.error << "\n\n";
        PrintUsage(err, kProgramName);
        return kExitBadArguments;
    }
    const CommandLine& line = *parsed.commandLine;
    if (line.help) {
        PrintUsage(out, kProgramName);
        return kExitOk;
    }
    switch (line.command) {
        case Command::kQuery:
            return RunQueryCommand(line, in, out, err);
        case Command::kNone:
            break;
    }
    PrintUsage(err, kProgramName);
    return kExitBadArguments;
}

}  // namespace cli
