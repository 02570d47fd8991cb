// The manual page, the bash completion and --help against the command line's
// own tables (cli::kCommands, cli::kOptions): every command word and option
// the tables hold is in each, every option a command owns is in that
// command's entry of the manual, and none names one the tables lack.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "cli/CommandLine.h"
#include "support/RunPatch.h"

namespace {

using namespace apptest;
using Words = std::set<std::string>;

const std::string kManPage = std::string(VANTOLY_PACKAGING_DIR) + "/VantolyPatch.1.in";
const std::string kCompletion =
    std::string(VANTOLY_PACKAGING_DIR) + "/VantolyPatch.bash-completion";

Words Matches(const std::string& text, const std::regex& pattern, int group = 1) {
    Words words;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
         it != std::sregex_iterator(); ++it) {
        words.insert((*it)[group].str());
    }
    return words;
}

// What --help names: options anywhere, command words at the head of the
// lines under "Commands:", environment variables anywhere.
struct HelpWords {
    Words options, commands, variables;
};

HelpWords ReadHelp() {
    const RunResult help = RunPatch({"--help"});
    EXPECT_EQ(help.exitStatus, 0) << help.err;
    HelpWords words;
    words.options = Matches(help.out, std::regex(R"((?:^|[\s\[,(])(--?[a-z][a-z-]*))"));
    words.variables = Matches(help.out, std::regex(R"(\b((?:VANTOLY|XDG)_[A-Z_]+))"));
    std::istringstream lines(help.out);
    bool inCommands = false;
    for (std::string line; std::getline(lines, line);) {
        if (line == "Commands:")
            inCommands = true;
        else if (line.empty())
            inCommands = false;
        else if (std::smatch word;
                 inCommands && std::regex_search(line, word, std::regex(R"(^  ([a-z][a-z-]*))"))) {
            words.commands.insert(word[1]);
        }
    }
    return words;
}

// The manual page's source with its escaped dashes as the reader sees them.
std::string ReadManPage() {
    std::string text = testsupport::ReadFileBytes(kManPage);
    EXPECT_FALSE(text.empty()) << kManPage;
    return std::regex_replace(text, std::regex(R"(\\-)"), "-");
}

// A word list of the completion script: `name="a b c"`.
Words CompletionList(const std::string& name) {
    std::smatch list;
    const std::string script = testsupport::ReadFileBytes(kCompletion);
    if (!std::regex_search(script, list, std::regex("local " + name + "=\"([^\"]*)\""))) {
        ADD_FAILURE() << "no list " << name << " in " << kCompletion;
        return {};
    }
    return Matches(list[1].str(), std::regex(R"((\S+))"));
}

// What the command line's tables hold.
struct TableWords {
    Words commands, options, valueOptions;
    std::map<std::string, Words> owned;  // command word -> the options it owns
};

TableWords ReadTables() {
    TableWords words;
    for (const cli::OptionSpec& option : cli::kOptions) {
        words.options.insert(option.name);
        if (option.kind == cli::OptionKind::kValue) words.valueOptions.insert(option.name);
    }
    for (const cli::CommandSpec& spec : cli::kCommands) {
        words.commands.insert(spec.word);
        words.owned[spec.word] = Matches(spec.options, std::regex(R"((\S+))"));
    }
    return words;
}

// The entries under the manual's COMMANDS, by the word each opens with;
// `update --dry-run` is one of update's.
std::map<std::string, std::string> ManualCommandEntries(const std::string& man) {
    std::map<std::string, std::string> entries;
    const std::size_t from = man.find(".SH COMMANDS"), to = man.find(".SH", from + 1);
    if (from == std::string::npos) {
        ADD_FAILURE() << "no COMMANDS in " << kManPage;
        return entries;
    }
    const std::string section = man.substr(from, to - from);
    const std::regex entry(R"(\.TP\n(?:\.B |\\fB)([a-z][a-z-]*)([\s\S]*?)(?=\.TP\n|$))");
    for (auto it = std::sregex_iterator(section.begin(), section.end(), entry);
         it != std::sregex_iterator(); ++it) {
        entries[(*it)[1].str()] += (*it)[2].str();
    }
    return entries;
}

TEST(DocumentationAgreesWithTables, HelpManualAndCompletionNameTheTablesCommandWords) {
    const TableWords table = ReadTables();
    EXPECT_EQ(ReadHelp().commands, table.commands);

    // Each entry under COMMANDS opens with its word in bold.
    Words manual;
    for (const auto& [word, text] : ManualCommandEntries(ReadManPage())) manual.insert(word);
    EXPECT_EQ(manual, table.commands);
    EXPECT_EQ(CompletionList("commands"), table.commands);
}

TEST(DocumentationAgreesWithTables, HelpManualAndCompletionNameTheTablesOptions) {
    const TableWords table = ReadTables();
    ASSERT_TRUE(table.options.contains("--db") && table.owned.at("query").contains("-f"));
    const HelpWords help = ReadHelp();
    EXPECT_EQ(help.options, table.options);
    // In the manual every option is set in bold, and only options begin a
    // bold run with a dash.
    const std::string man = ReadManPage();
    EXPECT_EQ(Matches(man, std::regex(R"((?:\\fB|\n\.B )(--?[a-z][a-z-]*))")), table.options);
    // The options a command owns are in its own entry, wherever else they are.
    const std::map<std::string, std::string> entries = ManualCommandEntries(man);
    for (const auto& [command, options] : table.owned) {
        const auto entry = entries.find(command);
        if (entry == entries.end()) continue;  // the command-word test names it
        for (const std::string& option : options) {
            EXPECT_TRUE(std::regex_search(entry->second,
                                          std::regex(R"((^|[\s\[]|\\fB))" + option + R"(\b)")))
                << option << " is not in the manual's entry of " << command;
        }
    }
    for (const std::string& variable : help.variables) {
        EXPECT_NE(man.find(".B " + variable + "\n"), std::string::npos)
            << variable << " is not under ENVIRONMENT";
    }

    EXPECT_EQ(CompletionList("options"), table.options);
    // The completion skips an option's value when it looks for the command
    // word: exactly the options that take one.
    const std::string script = testsupport::ReadFileBytes(kCompletion);
    std::smatch skipped;
    ASSERT_TRUE(
        std::regex_search(script, skipped, std::regex(R"(\n\s*([-a-z |]+)\) \(\(i\+\+\)\))")))
        << "no list of options with values in " << kCompletion;
    EXPECT_EQ(Matches(skipped[1].str(), std::regex(R"((--?[a-z][a-z-]*))")), table.valueOptions);
}

// Runs the completion in bash as the shell does on Tab, after `line`.
std::string Complete(const std::string& line) {
    const std::string script =
        "source /usr/share/bash-completion/bash_completion; source '" + kCompletion +
        "'; COMP_LINE='" + line + "'; COMP_POINT=${#COMP_LINE}; " +
        "read -ra COMP_WORDS <<< \"$COMP_LINE\"; " +
        "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=(''); " +
        "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _VantolyPatch; echo \"${COMPREPLY[*]}\"";
    const std::string command =
        "bash -c '" + std::regex_replace(script, std::regex("'"), "'\\''") + "'";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        EXPECT_EQ(::pclose(pipe), 0) << command;
    }
    if (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

TEST(BashCompletion, OffersCommandWordsOptionsAndFiles) {
    testsupport::TempFolder folder;
    testsupport::WriteFileBytes(folder.Path() / "host.mdb", "");
    testsupport::WriteFileBytes(folder.Path() / "notes.txt", "");
    struct Case {
        std::string line, expected;
    } cases[] = {
        {"VantolyPatch st", "status"},
        {"VantolyPatch --yes --db x.mdb cre", "create-query"},
        {"VantolyPatch --password-", "--password-file"},
        {"VantolyPatch status --ve", "--version"},
        {"VantolyPatch status ", ""},  // a command word needs no second one
        {"VantolyPatch --db " + folder.Folder(), folder.Folder() + "host.mdb"},
        {"VantolyPatch --limit ", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Complete(c.line), c.expected) << c.line;
}

}  // namespace
