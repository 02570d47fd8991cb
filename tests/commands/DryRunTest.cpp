// update --dry-run and the --json reports, through the real program on real
// files: what the dry run records is what a real run then does, the database
// file stays byte for byte as it was, and every report parses as JSON.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <set>

#include "JsonReportCheck.h"
#include "support/RunPatch.h"
#include "support/TempFolder.h"

namespace {

using namespace apptest;

const std::string kVersionRow26 =
    "INSERT INTO t_db_ver (DBVerID,DBVerCode,DBPatchDate,UpdateDateTime ) VALUES (26,";
const std::string kBackupFolder = "データベース更新前データ";

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(entry.path().string());
    return names;
}

class DryRunTest : public testing::Test {
  protected:
    void SetUp() override { MakeSample(); }
    // A fresh sample database in a folder of its own.
    void MakeSample() {
        fs::remove_all(dbFolder_.Path() / "db");
        fs::create_directory(dbFolder_.Path() / "db");
        db_ = (dbFolder_.Path() / "db" / "host.mdb").string();
        const RunResult built = RunPatch(
            {"--db", db_, "query", "--create", "-f", VANTOLY_SAMPLES_DIR "/host-1.25.sql"});
        ASSERT_EQ(built.exitStatus, 0) << built.err;
    }
    RunResult Run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--db", db_});
        return RunPatch(arguments, "", {"TMPDIR=" + tmp_.Path().string()});
    }
    void Query(const std::string& statements) {
        const RunResult run = RunPatch({"--db", db_, "query"}, statements);
        ASSERT_EQ(run.exitStatus, 0) << run.err;
    }
    // Runs the dry run and checks it changed nothing: the file byte for byte,
    // no file beside it, nothing left in the temporary folder.
    QJsonObject DryRun(int expectedStatus) {
        const std::string before = testsupport::ReadFileBytes(db_);
        const std::set<std::string> listing = Listing(dbFolder_.Path());
        const RunResult run = Run({"--json", "update", "--dry-run"});
        EXPECT_EQ(run.exitStatus, expectedStatus) << run.err;
        EXPECT_TRUE(testsupport::ReadFileBytes(db_) == before)
            << "the dry run changed the database file";
        EXPECT_EQ(Listing(dbFolder_.Path()), listing) << "the dry run left a file behind";
        EXPECT_TRUE(fs::is_empty(tmp_.Path())) << "the private copy was not removed";
        const QJsonObject report = ParseReport(run);
        EXPECT_TRUE(report.value("dryRun").toBool());
        return report;
    }
    QJsonObject RealUpdate(int expectedStatus) {
        const RunResult run = Run({"--json", "--yes", "update"});
        EXPECT_EQ(run.exitStatus, expectedStatus) << run.err;
        const QJsonObject report = ParseReport(run);
        EXPECT_FALSE(report.value("dryRun").toBool());
        return report;
    }
    // The dry run's record against what the real run then did on the same file.
    void ExpectSameRun(const QJsonObject& dry, const QJsonObject& real) {
        for (const char* field :
             {"outcome", "versionBefore", "versionAfter", "failingStatement", "error"}) {
            EXPECT_EQ(dry.value(QLatin1String(field)), real.value(QLatin1String(field))) << field;
        }
        const QJsonArray drySteps = dry.value("steps").toArray();
        const QJsonArray realSteps = real.value("steps").toArray();
        ASSERT_EQ(drySteps.size(), realSteps.size());
        for (qsizetype i = 0; i < drySteps.size(); ++i) {
            ASSERT_EQ(drySteps[i], realSteps[i])
                << "step " << i << ": "
                << QJsonDocument(drySteps[i].toObject()).toJson().toStdString();
        }
    }

    testsupport::TempFolder dbFolder_;
    testsupport::TempFolder tmp_;
    std::string db_;
};

bool HasStep(const QJsonObject& report, const std::string& probe,
             const std::string& statementStart) {
    for (const QJsonValue& step : report.value("steps").toArray()) {
        const QJsonObject entry = step.toObject();
        const std::string said = Text(entry, "statement") + Text(entry, "verdict");
        if (Text(entry, "probe") == probe && said.rfind(statementStart, 0) == 0) return true;
    }
    return false;
}

TEST_F(DryRunTest, SampleDatabaseRecordsWhatTheRealUpdateThenRuns) {
    const QJsonObject dry = DryRun(0);
    EXPECT_EQ(Text(dry, "outcome"), "updated");
    EXPECT_EQ(Text(dry, "versionBefore"), "1.25");
    EXPECT_EQ(Text(dry, "versionAfter"), "1.26");
    const QJsonObject backup = dry.value("backup").toObject();
    EXPECT_EQ(Text(backup, "path"),
              (dbFolder_.Path() / "db" / kBackupFolder / "hostver_1_25backup.mdb").string());
    EXPECT_TRUE(backup.value("taken").toBool());
    EXPECT_FALSE(backup.value("existed").toBool());
    EXPECT_EQ(backup.value("size").toDouble(), static_cast<double>(fs::file_size(db_)));
    EXPECT_TRUE(HasStep(dry, "t_adjustment_kingaku exists", "DROP TABLE t_adjustment_kingaku;"));
    EXPECT_TRUE(HasStep(dry, "column MlgCardName of t_kumiai absent",
                        "ALTER TABLE t_kumiai ADD COLUMN MlgCardName"));
    EXPECT_TRUE(HasStep(dry, "relationship count of t_kumi 6",
                        "ALTER TABLE t_mlg_card ADD CONSTRAINT fk_mlgcard_001"));
    EXPECT_TRUE(HasStep(dry, "version stamp", kVersionRow26));

    // The text report: gate, backup, then each probe answer with its statement.
    const RunResult text = Run({"update", "--dry-run"});
    EXPECT_EQ(text.exitStatus, 0) << text.err;
    EXPECT_NE(text.out.find("version gate\tpassed (1.25)\nbackup\t"), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("\nt_adjustment_kingaku exists → DROP TABLE t_adjustment_kingaku;\n"),
              std::string::npos);
    EXPECT_NE(text.out.find("\nversion\tver.1.26\noutcome\tupdated\n"), std::string::npos)
        << text.out;
    EXPECT_EQ(text.err.find("DBErr"), std::string::npos);

    ExpectSameRun(dry, RealUpdate(0));
}

TEST_F(DryRunTest, StopsWhereTheRealRunFailsAndThenShowsThePartWayDatabase) {
    // A row 26 already there: the version stamp is refused, after every
    // drop, column and creation block has run.
    Query("INSERT INTO t_db_ver (DBVerID,DBVerCode) VALUES (26,1.25);");
    const QJsonObject dry = DryRun(1);
    EXPECT_EQ(Text(dry, "outcome"), "failed");
    EXPECT_EQ(Text(dry, "failingStatement").rfind(kVersionRow26, 0), 0u)
        << Text(dry, "failingStatement");
    EXPECT_FALSE(Text(dry, "error").empty());
    EXPECT_EQ(Text(dry, "versionAfter"), "1.25");
    ExpectSameRun(dry, RealUpdate(1));
    EXPECT_TRUE(fs::exists(dbFolder_.Path() / "db" / "DBErr"))
        << "the real run writes its error log";

    // The file the failure left: columns there, blocks there, stamp missing.
    Query("DELETE FROM t_db_ver WHERE DBVerID = 26;");
    const QJsonObject partWay = DryRun(0);
    EXPECT_EQ(Text(partWay, "outcome"), "updated");
    EXPECT_TRUE(HasStep(partWay, "column MlgCardName of t_kumiai present", "skipped"));
    EXPECT_TRUE(
        HasStep(partWay, "column MlgCardSeikyuKingaku of t_seikyu_data present", "skipped"));
    EXPECT_TRUE(HasStep(partWay, "t_mlg_card exists", "DROP TABLE t_mlg_card;"));
    EXPECT_TRUE(HasStep(partWay, "t_mlg_card absent", "CREATE TABLE t_mlg_card"));
    EXPECT_TRUE(partWay.value("backup").toObject().value("existed").toBool());
    EXPECT_FALSE(partWay.value("backup").toObject().value("taken").toBool());
    ExpectSameRun(partWay, RealUpdate(0));
}

TEST_F(DryRunTest, RefusedBeforeAnyStatement) {
    struct Case {
        const char* name;
        const char* statements;
        const char* outcome;
        const char* versionBefore;  // null: no version read
        const char* error;          // part of the report's error; null: none
    };
    // A refusal's report said nothing ("error": null) where the window
    // showed why: a script could not tell a wrong version from a lock.
    const Case cases[] = {
        {"at 1.26", "INSERT INTO t_db_ver (DBVerID,DBVerCode) VALUES (26,1.26);", "already-current",
         "1.26", nullptr},
        {"at 1.24", "UPDATE t_db_ver SET DBVerCode = 1.24 WHERE DBVerCode = 1.25;", "refused",
         "1.24", "「 1.24 」です"},
        {"no t_db_ver", "DROP TABLE t_db_ver_comment; DROP TABLE t_db_ver;", "refused", nullptr,
         "the version could not be read (SELECT MAX(DBVerCode)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeSample();
        Query(c.statements);
        const QJsonObject dry = DryRun(1);
        EXPECT_EQ(Text(dry, "outcome"), c.outcome);
        EXPECT_TRUE(dry.value("steps").toArray().isEmpty());
        EXPECT_FALSE(dry.value("backup").toObject().value("taken").toBool());
        if (c.versionBefore) {
            EXPECT_EQ(Text(dry, "versionBefore"), c.versionBefore);
        } else {
            EXPECT_TRUE(dry.value("versionBefore").isNull());
        }
        const QJsonObject real = RealUpdate(1);
        ExpectSameRun(dry, real);
        EXPECT_FALSE(real.value("backup").toObject().value("taken").toBool());
        for (const QJsonObject& report : {dry, real}) {
            if (c.error) {
                EXPECT_NE(Text(report, "error").find(c.error), std::string::npos)
                    << Text(report, "error");
            } else {
                EXPECT_TRUE(report.value("error").isNull());
            }
        }
    }
}

TEST_F(DryRunTest, ForeignKeysLeftOutWhereTheRelationshipCountIsTooHigh) {
    // t_kumi has 6 keys and relationships in the sample; 23 more make 29.
    std::string statements;
    for (int i = 0; i < 23; ++i) {
        const std::string n = std::to_string(i);
        statements += "CREATE TABLE x_ref" + n + " (ID INTEGER, KumiID INTEGER CONSTRAINT fk_x" +
                      n + " REFERENCES t_kumi (KumiID));\n";
    }
    Query(statements);
    const QJsonObject dry = DryRun(0);
    EXPECT_TRUE(
        HasStep(dry, "relationship count of t_kumi 29",
                "foreign key left out: ALTER TABLE t_mlg_card ADD CONSTRAINT fk_mlgcard_001"));
    EXPECT_TRUE(HasStep(dry, "t_mlg_card absent", "CREATE INDEX idx_mlgcard_001"));
    EXPECT_TRUE(HasStep(dry, "relationship count of t_sofu 4",
                        "ALTER TABLE t_mlg_card ADD CONSTRAINT fk_mlgcard_002"));
    ExpectSameRun(dry, RealUpdate(0));
}

TEST_F(DryRunTest, NoPlaceForTheCopyIsAFailureThatSaysSo) {
    const fs::path plainFile = tmp_.Path() / "plain";
    testsupport::WriteFileBytes(plainFile, "not a folder");
    const std::string before = testsupport::ReadFileBytes(db_);
    const RunResult run = RunPatch({"--db", db_, "--json", "update", "--dry-run"}, "",
                                   {"TMPDIR=" + (plainFile / "below").string()});
    EXPECT_EQ(run.exitStatus, 1);
    const QJsonObject report = ParseReport(run);
    EXPECT_EQ(Text(report, "outcome"), "failed");
    EXPECT_NE(Text(report, "error").find("cannot create a temporary folder"), std::string::npos)
        << run.out;
    EXPECT_NE(run.err.find("cannot create a temporary folder"), std::string::npos) << run.err;
    EXPECT_TRUE(testsupport::ReadFileBytes(db_) == before);
}

// Every outcome of every command with a JSON report, parsed.
TEST_F(DryRunTest, JsonReportsOfEveryOutcome) {
    const std::string backupPath =
        (dbFolder_.Path() / "db" / kBackupFolder / "hostver_1_25backup.mdb").string();
    auto expect = [&](std::vector<std::string> arguments, int status, const char* command,
                      const char* outcome) {
        const RunResult run = Run(arguments);
        EXPECT_EQ(run.exitStatus, status) << run.err;
        const QJsonObject report = ParseReport(run);
        EXPECT_EQ(Text(report, "command"), command);
        EXPECT_EQ(Text(report, "outcome"), outcome) << run.out;
        EXPECT_EQ(Text(report, "database"), db_);
        return report;
    };
    QJsonObject status = expect({"--json", "status"}, 0, "status", "ready");
    EXPECT_TRUE(status.value("updateButton").toBool());
    EXPECT_EQ(Text(status, "versionBefore"), "1.25");
    expect({"--json", "restore"}, 1, "restore", "refused");
    const RunResult declined = Run({"--json", "update"});
    EXPECT_EQ(Text(ParseReport(declined), "outcome"), "declined");
    EXPECT_NE(declined.err.find("--- answer: No ---"), std::string::npos)
        << "the questions still go to standard error";
    QJsonObject updated = expect({"--json", "--yes", "update"}, 0, "update", "updated");
    EXPECT_EQ(Text(updated.value("backup").toObject(), "path"), backupPath);
    EXPECT_TRUE(updated.value("backup").toObject().value("taken").toBool());
    expect({"--json", "status"}, 0, "status", "already-current");
    expect({"--json", "--yes", "update"}, 1, "update", "already-current");
    expect({"--json", "restore"}, 1, "restore", "declined");
    QJsonObject restored = expect({"--json", "--yes", "restore"}, 0, "restore", "restored");
    EXPECT_EQ(Text(restored, "versionBefore"), "1.26");
    EXPECT_EQ(Text(restored, "versionAfter"), "1.25");

    // A database that does not open: status and update fail, with the reason.
    db_ = (dbFolder_.Path() / "db" / "missing.mdb").string();
    QJsonObject missing = expect({"--json", "status"}, 1, "status", "failed");
    EXPECT_NE(Text(missing, "error").find("not open"), std::string::npos) << Text(missing, "error");
    expect({"--json", "--yes", "update"}, 1, "update", "failed");
    expect({"--json", "update", "--dry-run"}, 1, "update", "failed");

    // Commands that print rows have no JSON report.
    EXPECT_EQ(Run({"--json", "tables"}).exitStatus, 2);
    EXPECT_EQ(Run({"--dry-run", "status"}).exitStatus, 2);
}

}  // namespace
