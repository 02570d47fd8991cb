// Where the database password of a command-line run comes from: a file, the
// environment, the terminal without echo, or the command line.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "support/ChildProcess.h"
#include "support/RunPatch.h"
#include "support/TempFolder.h"

namespace {

using namespace apptest;

constexpr const char* kPassword = "Pass word 1";

// A database with the password kPassword holding an empty table t.
class PasswordSourceTest : public testing::Test {
  protected:
    void SetUp() override {
        db_ = folder_.Folder() + "pw.mdb";
        const RunResult created =
            RunPatch({"--db", db_, "--password", kPassword, "query", "--create"},
                     "CREATE TABLE t (ID LONG);\n");
        ASSERT_EQ(created.exitStatus, 0) << created.err;
    }

    std::string File(const std::string& name, const std::string& content) {
        const std::string path = folder_.Folder() + name;
        testsupport::WriteFileBytes(path, content);
        return path;
    }

    testsupport::TempFolder folder_;
    std::string db_;
};

TEST_F(PasswordSourceTest, EachSourceOpensTheDatabaseInItsOrder) {
    const std::string crlf = File("crlf.txt", std::string(kPassword) + "\r\nsecond line\r\n");
    const std::string bare = File("bare.txt", kPassword);
    const std::string wrong = File("wrong.txt", "pass word 1\n");
    const std::string right = std::string("VANTOLY_PASSWORD=") + kPassword;
    // A password file may hold 4 KiB; a device never ends.
    const std::string firstLine = std::string(kPassword) + "\n";
    const std::string atCap =
        File("cap.txt", firstLine + std::string(4096 - firstLine.size(), 'x'));
    const std::string pastCap =
        File("past.txt", firstLine + std::string(4097 - firstLine.size(), 'x'));
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> environment;
        int exitStatus;
        const char* says;  // in standard error, for a refusal
    };
    const Case cases[] = {
        {{"--password-file", crlf}, {}, 0, ""},
        {{"--password-file=" + bare}, {}, 0, ""},
        {{}, {right}, 0, ""},
        {{"--password", kPassword}, {}, 0, ""},
        // An option given wins over the environment.
        {{"--password-file", bare}, {"VANTOLY_PASSWORD=wrong"}, 0, ""},
        {{"--password", kPassword}, {"VANTOLY_PASSWORD=wrong"}, 0, ""},
        {{"--password-file", wrong}, {right}, 1, "password"},
        {{}, {"VANTOLY_PASSWORD=wrong"}, 1, "password"},
        {{}, {"VANTOLY_PASSWORD="}, 1, "password"},
        // Two sources at once, or one that cannot be read, are usage errors.
        {{"--password", kPassword, "--password-file", bare}, {}, 2, "cannot be given together"},
        {{"--password-file", folder_.Folder() + "missing.txt"}, {right}, 2, "missing.txt"},
        {{"--password-file", folder_.Folder()}, {right}, 2, "password file"},
        {{"--password", "-"}, {right}, 2, "not one"},
        {{"--password-file", atCap}, {}, 0, ""},
        {{"--password-file", pastCap},
         {right},
         2,
         "past.txt is 4097 bytes; it may hold at most 4096"},
        {{"--password-file", "/dev/zero"}, {right}, 2, "/dev/zero gives more than 4096 bytes"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments{"--db", db_};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        arguments.push_back("query");
        const RunResult run = RunPatch(arguments, "SELECT COUNT(*) AS N FROM t;\n", c.environment);
        const std::string label =
            testing::PrintToString(c.options) + testing::PrintToString(c.environment);
        EXPECT_EQ(run.exitStatus, c.exitStatus) << label << "\n" << run.err;
        if (c.exitStatus == 0) {
            EXPECT_EQ(run.out, "N\n0\n") << label;
        }
        EXPECT_NE(run.err.find(c.says), std::string::npos) << label << "\n" << run.err;
    }
}

// A FIFO gives its first line, with the writer still holding it open.
TEST_F(PasswordSourceTest, FifoGivesItsFirstLine) {
    const std::string fifo = folder_.Folder() + "pw.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    testsupport::ChildProcess writer({"/bin/sh", "-c",
                                      "exec > \"$2\"; printf '%s\\n' \"$1\"; exec sleep 60", "sh",
                                      kPassword, fifo});
    const RunResult run =
        RunPatch({"--db", db_, "--password-file", fifo, "query"}, "SELECT COUNT(*) AS N FROM t;\n");
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "N\n0\n");
}

// A pseudo-terminal stands in for the operator's: the prompt appears, echo is
// off while it waits (so the typed password never comes back on the screen),
// the typed line is the password, and echo is on again afterwards.
TEST_F(PasswordSourceTest, DashAsksOnTheTerminalWithoutEcho) {
    ASSERT_TRUE(std::filesystem::exists("/usr/bin/python3"))
        << "python3 drives the pseudo-terminal; scripts/install-deps installs it";
    const std::string driver = File("pty_driver.py", R"(
import os, pty, select, sys, termios, time
typed, argv = sys.argv[1], sys.argv[2:]
pid, fd = pty.fork()
if pid == 0:
    os.execv(argv[0], argv)
seen = b""
def read_until(done, seconds=30):
    global seen
    end = time.time() + seconds
    while not done(seen) and time.time() < end:
        if select.select([fd], [], [], 0.1)[0]:
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                return
            if not chunk:
                return
            seen += chunk
read_until(lambda s: b"Password for" in s)
print("echo while asking:", "on" if termios.tcgetattr(fd)[3] & termios.ECHO else "off")
os.write(fd, typed.encode() + b"\n")
read_until(lambda s: b"N\r\n" in s)
print("echo afterwards:", "on" if termios.tcgetattr(fd)[3] & termios.ECHO else "off")
read_until(lambda s: False)
print("exit:", os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))
print("screen:", seen.decode(errors="replace").replace("\r", "").replace("\n", "|"))
)");
    const std::string script = File("count.sql", "SELECT COUNT(*) AS N FROM t;\n");
    struct Case {
        const char* typed;
        const char* exit;
    };
    // Ctrl+C at the prompt: the terminal gets its echo back and the program
    // ends as a stopped command does.
    for (const Case& c :
         {Case{kPassword, "exit: 0"}, Case{"not it", "exit: 1"}, Case{"\x03", "exit: 130"}}) {
        testsupport::ChildProcess driverRun({"/usr/bin/python3", driver, c.typed,
                                             VANTOLY_PATCH_BINARY, "--db", db_, "--password", "-",
                                             "query", "-f", script});
        std::vector<std::string> lines;
        while (auto line = driverRun.ReadLine(std::chrono::seconds(60))) lines.push_back(*line);
        ASSERT_EQ(lines.size(), 4u) << testing::PrintToString(lines);
        EXPECT_EQ(lines[0], "echo while asking: off");
        EXPECT_EQ(lines[1], "echo afterwards: on");
        EXPECT_EQ(lines[2], c.exit) << lines[3];
        EXPECT_NE(lines[3].find("Password for " + db_ + ": "), std::string::npos) << lines[3];
        EXPECT_EQ(lines[3].find(c.typed), std::string::npos) << "echoed: " << lines[3];
        if (std::string(c.exit) == "exit: 0") {
            EXPECT_NE(lines[3].find("N|0|"), std::string::npos) << lines[3];
        }
    }
}

}  // namespace
