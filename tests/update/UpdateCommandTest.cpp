// The update command's exits before the script runs (host guard, version
// gate, backup) and the script's two failure endings.
#include "UpdateFixture.h"

namespace updatetest {
namespace {

using platform::MessageAnswer;
using platform::MessageIcon;

std::string WrongVersionText(const std::string& found) {
    return "選択のデータベースバージョンが「 1.25 "
           "」ではありません。\n更新対象のデータベースをご確認下さい。\n\n"
           "選択されているデータベースのバージョンは「 " +
           found + " 」です。";
}

class UpdateCommandTest : public UpdateFixture {};

TEST_F(UpdateCommandTest, DecliningToCloseTheHostChangesNothing) {
    OpenSession();
    window_.HostAgrees = false;
    driver_.OnUpdateCommand();
    EXPECT_TRUE(window_.States.empty());
    EXPECT_TRUE(boxes_.Shown().empty());
    EXPECT_EQ(window_.BackupsOffered, 0);
}

struct GateCase {
    const char* name;
    std::vector<std::string> setup;  // run on the sample before the session opens
    std::string foundVersion;        // the text between the brackets
};

class VersionGateTest : public UpdateFixture, public ::testing::WithParamInterface<GateCase> {};

TEST_P(VersionGateTest, OnlyADatabaseReadingExactly125Passes) {
    for (const auto& sql : GetParam().setup) Exec(sql);
    OpenSession();
    const std::string before = Dump();

    driver_.OnUpdateCommand();

    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, WrongVersionText(GetParam().foundVersion));
    EXPECT_EQ(boxes_.Shown()[0].caption, kReleaseDate);
    EXPECT_EQ(boxes_.Shown()[0].icon, MessageIcon::Information);
    EXPECT_EQ(window_.States,
              (std::vector<db::ControlState>{db::ControlState::Busy, db::ControlState::Idle}));
    EXPECT_EQ(window_.BackupsOffered, 0);
    EXPECT_EQ(Dump(), before);
}

const std::string kNewVersionTable =
    "CREATE TABLE t_db_ver (DBVerID INTEGER NOT NULL PRIMARY KEY, DBVerCode DOUBLE NOT NULL, "
    "DBPatchDate DATETIME, UpdateDateTime DATETIME);";

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionGateTest,
    ::testing::Values(
        GateCase{"AlreadyAt126",
                 {"INSERT INTO t_db_ver (DBVerID,DBVerCode,DBPatchDate,UpdateDateTime) VALUES "
                  "(26,1.26,#2020/05/24#,now());"},
                 "1.26"},
        GateCase{"Currency12",
                 {"DROP TABLE t_db_ver_comment;", "DELETE FROM t_db_ver;",
                  "INSERT INTO t_db_ver (DBVerID,DBVerCode) VALUES (30,1.2);"},
                 "1.20"},
        GateCase{"EmptyTable", {"DROP TABLE t_db_ver_comment;", "DELETE FROM t_db_ver;"}, ""},
        GateCase{"DoubleVersion",
                 {"DROP TABLE t_db_ver_comment;", "DROP TABLE t_db_ver;", kNewVersionTable,
                  "INSERT INTO t_db_ver (DBVerID,DBVerCode) VALUES (25,1.25);"},
                 "1.20"}),
    [](const auto& info) { return std::string(info.param.name); });

// A currency value whose text is 1.249 rounds to 1.25 and passes.
TEST_F(UpdateCommandTest, VersionReading1249PassesTheGate) {
    Exec("INSERT INTO t_db_ver (DBVerID,DBVerCode) VALUES (30,1.249);");
    OpenSession();
    window_.Backup = update::BackupOutcome::Abandon;
    driver_.OnUpdateCommand();
    EXPECT_TRUE(boxes_.Shown().empty());
    EXPECT_EQ(window_.BackupsOffered, 1);
    EXPECT_EQ(window_.States,
              (std::vector<db::ControlState>{db::ControlState::Busy, db::ControlState::Idle}));
}

TEST_F(UpdateCommandTest, MissingVersionTableShowsTheErrorAndTheStatement) {
    Exec("DROP TABLE t_db_ver_comment;");
    Exec("DROP TABLE t_db_ver;");
    OpenSession();
    boxes_.Clear();
    driver_.OnUpdateCommand();

    ASSERT_EQ(boxes_.Shown().size(), 3u);
    EXPECT_EQ(boxes_.Shown()[0].text.rfind("Message : ", 0), 0u);
    EXPECT_EQ(boxes_.Shown()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(boxes_.Shown()[0].caption, kApplicationTitle);
    EXPECT_EQ(boxes_.Shown()[1].text, "更新に失敗しました");
    EXPECT_EQ(boxes_.Shown()[1].icon, MessageIcon::None);
    EXPECT_EQ(boxes_.Shown()[2].text, "SELECT MAX(DBVerCode) AS MaxDBVerCode FROM t_db_ver;");
    EXPECT_EQ(window_.States.back(), db::ControlState::Idle);
    EXPECT_TRUE(window_.ErrorLogs.empty());
    EXPECT_EQ(window_.BackupsOffered, 0);
}

TEST_F(UpdateCommandTest, NoSessionConnectionFailsTheGateAsADatabaseError) {
    driver_.OnUpdateCommand();
    ASSERT_EQ(boxes_.Shown().size(), 3u);
    EXPECT_NE(boxes_.Shown()[0].text.find("Code : 0x80004003"), std::string::npos);
    EXPECT_EQ(window_.States.back(), db::ControlState::Idle);
}

TEST_F(UpdateCommandTest, AbandonedBackupOrDeclinedConfirmationLeavesTheDatabase) {
    OpenSession();
    const std::string before = Dump();
    window_.Backup = update::BackupOutcome::Abandon;
    driver_.OnUpdateCommand();
    EXPECT_FALSE(window_.ProgressVisible);
    EXPECT_EQ(window_.States.back(), db::ControlState::Idle);

    window_.Backup = update::BackupOutcome::Proceed;
    boxes_.ScriptAnswers({MessageAnswer::No});
    driver_.OnUpdateCommand();
    EXPECT_EQ(boxes_.Shown().back().text, "更新してもよろしいですか？");
    EXPECT_FALSE(window_.ProgressVisible);
    EXPECT_EQ(window_.States.back(), db::ControlState::Idle);
    EXPECT_EQ(Dump(), before);
}

TEST_F(UpdateCommandTest, DatabaseErrorShowsMessageLogAndReport) {
    OpenSession();
    const std::string failing = "CREATE INDEX idx_mlgcard_001 ON t_mlg_card (KumiID);";
    runner_.SetStatementHookForTesting([&](int, const std::string& statement) {
        if (statement.rfind("CREATE TABLE t_mlg_card ", 0) == 0) {
            // The index's name is taken once the table is there.
            session_.Execute("CREATE INDEX idx_mlgcard_001 ON t_mlg_card (SofuID);");
        }
    });
    PressUpdate();

    ASSERT_EQ(window_.ErrorLogs.size(), 1u);
    EXPECT_EQ(window_.ErrorLogs[0].functionName, "CVantolyPatchDlg::OnUpdateTables");
    EXPECT_EQ(window_.ErrorLogs[0].query, failing);
    EXPECT_EQ(window_.ErrorLogs[0].errorText.rfind("Message : ", 0), 0u);
    EXPECT_EQ(runner_.CurrentStatement(), failing);
    EXPECT_EQ(ShownTexts(),
              (std::vector<std::string>{"更新してもよろしいですか？", "更新に失敗しました"}));
    EXPECT_EQ(boxes_.Shown()[1].caption, kApplicationTitle);
    EXPECT_EQ(boxes_.Shown()[1].icon, MessageIcon::None);
    ASSERT_EQ(window_.Reports.size(), 1u);
    std::string expected;
    for (char c : window_.ErrorLogs[0].errorText)
        expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(window_.Reports[0], expected + "\r\n\r\n" + failing + "\r\n");
    EXPECT_FALSE(window_.Clipboard.has_value());
    EXPECT_EQ(window_.VersionText, "ver.1.25");
    EXPECT_EQ(Value("SELECT COUNT(*) FROM t_mlg_kodan"), "10") << "blocks before the failure stay";
    EXPECT_EQ(Value("SELECT COUNT(*) FROM t_kumiai WHERE MlgCardName IS NULL"), "0");
    EXPECT_EQ(session_.TableExists("t_mlg_card"), 0) << "the failing block is undone whole";
    EXPECT_EQ(window_.States.back(), db::ControlState::Idle);
    EXPECT_FALSE(window_.ProgressVisible);
}

TEST_F(UpdateCommandTest, TableDefinitionFailureTakesTheOtherPathAndLogsTheError) {
    // The probe compares column names exactly, the engine without regard to
    // case: the facility is asked for a column it must refuse.
    Exec("ALTER TABLE t_seikyu_data ADD COLUMN mlgcardseikyukingaku INTEGER;");
    OpenSession();
    PressUpdate();

    EXPECT_EQ(ShownTexts(),
              (std::vector<std::string>{"更新してもよろしいですか？", "*** 処理されない例外 ***",
                                        "更新に失敗しました"}));
    EXPECT_EQ(boxes_.Shown()[1].icon, MessageIcon::Warning);
    EXPECT_EQ(boxes_.Shown()[1].owner, platform::MessageOwner::Application);
    ASSERT_EQ(window_.ErrorLogs.size(), 1u);
    EXPECT_NE(window_.ErrorLogs[0].errorText.find("adding the column MlgCardSeikyuKingaku"),
              std::string::npos)
        << window_.ErrorLogs[0].errorText;
    ASSERT_EQ(window_.Reports.size(), 1u);
    EXPECT_NE(window_.Reports[0].find("adding the column MlgCardSeikyuKingaku"), std::string::npos)
        << window_.Reports[0];
    EXPECT_EQ(Value("SELECT COUNT(*) FROM t_kumiai WHERE MlgCardName IS NULL"), "0")
        << "the statements before the facility stay";
}

TEST_F(UpdateCommandTest, StampIsAllOrNothing) {
    OpenSession();
    runner_.SetStatementHookForTesting([&](int, const std::string& statement) {
        if (statement.rfind("INSERT INTO t_db_ver_comment", 0) == 0) {
            throw engine::ComError(engine::hr::kUnspecified, std::string("test"),
                                   std::string("disk full"));
        }
    });
    PressUpdate();
    ASSERT_EQ(window_.ErrorLogs.size(), 1u);
    EXPECT_EQ(Value("SELECT MAX(DBVerCode) FROM t_db_ver"), "1.25");
    EXPECT_EQ(Value("SELECT COUNT(*) FROM t_db_ver WHERE DBVerID = 26"), "0");

    runner_.SetStatementHookForTesting({});
    boxes_.Clear();
    PressUpdate();
    EXPECT_EQ(ShownTexts().back(), "更新終了致しました");
    EXPECT_EQ(Value("SELECT COUNT(*) FROM t_db_ver_comment WHERE DBVerID = 26"), "1");
}

TEST(UpdateStepsTextTest, NumbersEachStepInThreePlaces) {
    update::UpdateStepList steps;
    EXPECT_EQ(update::UpdateStepsText(steps), "");
    steps.push_back(std::make_unique<update::CDataUpdateStep>("一"));
    steps.push_back(std::make_unique<update::CDataUpdateStep>("two"));
    EXPECT_EQ(update::UpdateStepsText(steps), "  1 一\n  2 two\n");
}

}  // namespace
}  // namespace updatetest
