// The command words, end to end on the sample database: what an
// administrator runs over ssh.
#include <gtest/gtest.h>
#include <locale.h>

#include <filesystem>
#include <fstream>

#include "support/RunPatch.h"
#include "support/TempFolder.h"

namespace {

using namespace apptest;

class HeadlessTest : public testing::Test {
  protected:
    void SetUp() override {
        db_ = folder_.Folder() + "host.mdb";
        const RunResult built = RunPatch(
            {"--db", db_, "query", "--create", "-f", VANTOLY_SAMPLES_DIR "/host-1.25.sql"});
        ASSERT_EQ(built.exitStatus, 0) << built.err;
    }
    RunResult run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--db", db_});
        return RunPatch(arguments);
    }
    testsupport::TempFolder folder_;
    std::string db_;
};

TEST_F(HeadlessTest, StatusUpdateAgainRestore) {
    RunResult status = run({"status"});
    EXPECT_EQ(status.exitStatus, 0) << status.err;
    EXPECT_NE(status.out.find("version\tver.1.25\n"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("title\tデータベース更新(2020/05/24)\n"), std::string::npos);
    EXPECT_NE(status.out.find("update button\tenabled\n"), std::string::npos);
    EXPECT_NE(status.out.find("restore button\tdisabled\n"), std::string::npos);

    // Questions default to No: the backup question ends the command.
    RunResult declined = run({"update"});
    EXPECT_EQ(declined.exitStatus, 1);
    EXPECT_NE(declined.err.find("--- answer: No ---"), std::string::npos) << declined.err;

    RunResult updated = run({"--yes", "update"});
    EXPECT_EQ(updated.exitStatus, 0) << updated.err;
    EXPECT_NE(updated.out.find("version\tver.1.26"), std::string::npos);
    EXPECT_NE(updated.err.find("更新終了致しました"), std::string::npos) << updated.err;
    EXPECT_TRUE(std::filesystem::exists(folder_.Folder() +
                                        "データベース更新前データ/hostver_1_25backup.mdb"));

    RunResult again = run({"--yes", "update"});
    EXPECT_EQ(again.exitStatus, 1);
    EXPECT_NE(again.err.find("1.26"), std::string::npos) << again.err;

    RunResult restored = run({"--yes", "restore"});
    EXPECT_EQ(restored.exitStatus, 0) << restored.err;
    EXPECT_NE(restored.out.find("version\tver.1.25"), std::string::npos);
    int kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Folder())) {
        const std::string name = entry.path().filename().string();
        if (name.size() == std::string("host20200524090503.mdb").size() &&
            name.rfind("host", 0) == 0)
            ++kept;
    }
    EXPECT_EQ(kept, 1);  // the updated file, kept under a time-stamped name
}

// A user whose locale writes numbers with a decimal comma: the currency
// version reads 1,25 as the viewer shows it, passes the version gate all the
// same, and the whole update (whose statements hold numbers) goes through.
TEST_F(HeadlessTest, TheUpdateUnderACommaLocale) {
    const std::vector<std::string> german = {"LC_ALL=de_DE.UTF-8", "LANG=de_DE.UTF-8"};
    const locale_t installed =
        newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr));
    ASSERT_NE(installed, static_cast<locale_t>(nullptr))
        << "de_DE.UTF-8 is missing (scripts/install-deps makes it)";
    freelocale(installed);
    struct Step {
        std::vector<std::string> arguments;
        const char* expected;  // a part of the standard output
    } steps[] = {
        {{"show", "t_db_ver"}, "\t1,25\t"},       {{"status"}, "version\tver.1.25\ntitle"},
        {{"status"}, "update button\tenabled\n"}, {{"--yes", "update"}, ""},
        {{"status"}, "version\tver.1.26\ntitle"}, {{"show", "t_db_ver"}, "\t1,26\t"},
    };
    for (const Step& step : steps) {
        std::vector<std::string> arguments = {"--db", db_};
        arguments.insert(arguments.end(), step.arguments.begin(), step.arguments.end());
        const RunResult result = RunPatch(arguments, "", german);
        EXPECT_EQ(result.exitStatus, 0) << step.arguments.back() << "\n" << result.err;
        EXPECT_NE(result.out.find(step.expected), std::string::npos)
            << step.arguments.back() << "\n"
            << result.out;
    }
}

// The program installed under a name with an extension: message boxes carry
// the name without it; the statement log keeps the whole file name.
// A renamed copy in a folder of its own, laid out as installed but without
// the window module: the command words run in the executable all the same,
// and only the main window says it cannot be loaded and where it looked.
TEST_F(HeadlessTest, TheTitleIsTheProgramNameWithoutItsExtension) {
    std::filesystem::create_directories(folder_.Folder() + "bin");
    const std::string program = folder_.Folder() + "bin/Tool.EXE";
    std::filesystem::copy_file(VANTOLY_PATCH_BINARY, program);
    const std::string state = folder_.Folder() + "state";
    const std::vector<std::string> environment = {"XDG_STATE_HOME=" + state};
    const std::string bare = folder_.Folder() + "bare.mdb";
    const RunResult made = RunProgram(program, {"--db", bare, "query", "--create"},
                                      "CREATE TABLE x (a LONG);\n", environment);
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    EXPECT_TRUE(std::filesystem::exists(state + "/vantoly/Tool.EXE実行クエリ保存.txt"));

    const RunResult update = RunProgram(program, {"--db", bare, "update"}, "", environment);
    EXPECT_NE(update.err.find("--- Tool [warning] ---\n"), std::string::npos) << update.err;
    EXPECT_EQ(update.err.find("Tool.EXE ["), std::string::npos) << update.err;
    EXPECT_EQ(update.err.find("cannot be loaded"), std::string::npos) << update.err;

    const RunResult window = RunProgram(program, {"--db", bare}, "", environment);
    EXPECT_EQ(window.exitStatus, 1);
    EXPECT_NE(window.err.find("the windows cannot be loaded"), std::string::npos) << window.err;
    EXPECT_NE(
        window.err.find("bin/../lib/vantolypatch/modules/vantolypatch-windows.so: no such file"),
        std::string::npos)
        << window.err;
}

TEST_F(HeadlessTest, ViewerCommands) {
    RunResult tables = run({"tables"});
    EXPECT_EQ(tables.exitStatus, 0) << tables.err;
    EXPECT_NE(tables.out.find("t_kumi\n"), std::string::npos);
    EXPECT_EQ(tables.out.find("MSys"), std::string::npos);

    RunResult show = run({"show", "t_db_ver", "--limit", "2"});
    EXPECT_EQ(show.exitStatus, 0) << show.err;
    EXPECT_EQ(show.out.rfind("DBVerID\tDBVerCode\tDBPatchDate\tUpdateDateTime\t\n", 0), 0u)
        << show.out;
    EXPECT_EQ(std::count(show.out.begin(), show.out.end(), '\n'), 3);

    RunResult query = run({"create-query", "t_db_ver"});
    EXPECT_EQ(query.exitStatus, 0) << query.err;
    EXPECT_EQ(query.out.rfind("CREATE TABLE [t_db_ver] (\r\n", 0), 0u) << query.out;

    RunResult missing = run({"show", "no_such_table"});
    EXPECT_EQ(missing.exitStatus, 1);

    const std::string out = folder_.Folder() + "spec";
    RunResult spec = run({"export-spec", out});
    EXPECT_EQ(spec.exitStatus, 0) << spec.err;
    EXPECT_TRUE(std::filesystem::exists(out + "/出力データ/仕様書出力/仕様書EXCEL.xlsx"));
}

TEST(HeadlessNoDatabase, StatusSaysSoAndFails) {
    testsupport::TempFolder folder;
    const std::string registry = folder.Folder() + "empty.reg";
    std::ofstream(registry) << "Windows Registry Editor Version 5.00\n";
    RunResult status = RunPatch({"--registry", registry, "status"});
    EXPECT_EQ(status.exitStatus, 1);
    EXPECT_NE(status.out.find("title\tデータベースが選択されてません"), std::string::npos)
        << status.out;
    RunResult update = RunPatch({"--registry", registry, "--yes", "update"});
    EXPECT_EQ(update.exitStatus, 1);
    EXPECT_NE(update.err.find("the update button is disabled"), std::string::npos) << update.err;
}

}  // namespace
