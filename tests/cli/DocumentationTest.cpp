// The manual page and the bash completion against the program's own --help:
// every command word and option the usage text names is in both, and
// neither names one the usage text does not.
#include <gtest/gtest.h>

#include <cstdio>
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

TEST(DocumentationAgreesWithHelp, ParserHelpManualAndCompletionNameTheSameCommandWords) {
    const HelpWords help = ReadHelp();
    Words parser;
    for (const cli::CommandSpec& spec : cli::kCommands) parser.insert(spec.word);
    EXPECT_EQ(help.commands, parser);

    // Each entry under COMMANDS opens with its word in bold.
    const std::string man = ReadManPage();
    const std::size_t from = man.find(".SH COMMANDS"), to = man.find(".SH", from + 1);
    ASSERT_NE(from, std::string::npos);
    EXPECT_EQ(
        Matches(man.substr(from, to - from), std::regex(R"(\.TP\n(?:\.B |\\fB)([a-z][a-z-]*))")),
        help.commands);
    EXPECT_EQ(CompletionList("commands"), help.commands);
}

TEST(DocumentationAgreesWithHelp, HelpManualAndCompletionNameTheSameOptions) {
    const HelpWords help = ReadHelp();
    ASSERT_TRUE(help.options.contains("--db") && help.options.contains("-f"))
        << "the help text was not read";
    // In the manual every option is set in bold, and only options begin a
    // bold run with a dash.
    const std::string man = ReadManPage();
    EXPECT_EQ(Matches(man, std::regex(R"((?:\\fB|\n\.B )(--?[a-z][a-z-]*))")), help.options);
    EXPECT_EQ(CompletionList("options"), help.options);
    for (const std::string& variable : help.variables) {
        EXPECT_NE(man.find(".B " + variable + "\n"), std::string::npos)
            << variable << " is not under ENVIRONMENT";
    }
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
