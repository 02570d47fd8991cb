// The compiled-in script resource as the runner reads it: its blocks, the
// foreign keys that wait for a relationship count, and a stamp that agrees
// with the release's version facts.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "update/Version126Script.h"
#include "update/VersionFacts.h"

namespace {

TEST(UpdateScriptResourceTest, BlocksReadAsTheRunnerRunsThem) {
    const auto& drops = update::DropStatements();
    ASSERT_EQ(drops.size(), 33u);
    EXPECT_EQ(drops.front().table, "t_adjustment_kingaku");
    EXPECT_EQ(drops.front().text, "DROP TABLE t_adjustment_kingaku;");
    EXPECT_EQ(drops.back().table, "t_mlg_rate_type");

    EXPECT_EQ(update::ColumnStatements(update::kKumiaiTable, update::kMlgCardNameColumn),
              (std::vector<std::string>{"ALTER TABLE t_kumiai ADD COLUMN MlgCardName VARCHAR(050);",
                                        "UPDATE t_kumiai SET MlgCardName ='ＥＴＣ法人カード';"}));
    EXPECT_EQ(
        update::ColumnStatements(update::kSeikyuDataTable, update::kMlgCardSavingKingakuColumn),
        (std::vector<std::string>{"UPDATE t_seikyu_data SET MlgCardSavingKingaku = 0;"}));
    EXPECT_THROW(update::ColumnStatements(update::kSeikyuDataTable, "NoSuchColumn"),
                 std::logic_error);

    const auto& blocks = update::CreationBlocks();
    ASSERT_EQ(blocks.size(), 20u);
    std::size_t statements = 0;
    for (const update::CreationBlock& block : blocks) {
        SCOPED_TRACE(block.table);
        ASSERT_FALSE(block.statements.empty());
        // A block is skipped whole once its table exists: the table comes first.
        EXPECT_TRUE(block.statements.front().text.starts_with("CREATE TABLE " + block.table + " "));
        statements += block.statements.size();
    }
    EXPECT_EQ(statements, 136u);
    // Tabs reach the engine as written.
    EXPECT_NE(blocks.front().statements.front().text.find("MlgKodanID\t\t\tautoincrement"),
              std::string::npos);
}

TEST(UpdateScriptResourceTest, OnlyForeignKeysToWatchedTablesWaitForTheirCount) {
    using Gate = update::StatementGate;
    std::map<std::string, Gate> gated;
    for (const update::CreationBlock& block : update::CreationBlocks()) {
        for (const update::ScriptStatement& statement : block.statements) {
            if (statement.gate != Gate::Always) gated.emplace(statement.text, statement.gate);
        }
    }
    EXPECT_EQ(gated,
              (std::map<std::string, Gate>{
                  {"ALTER TABLE t_mlg_card ADD CONSTRAINT fk_mlgcard_001 FOREIGN KEY (KumiID) "
                   "REFERENCES t_kumi (KumiID);",
                   Gate::KumiRelationshipsAllow},
                  {"ALTER TABLE t_mlg_card ADD CONSTRAINT fk_mlgcard_002 FOREIGN KEY (SofuID) "
                   "REFERENCES t_sofu (SofuID);",
                   Gate::SofuRelationshipsAllow},
                  {"ALTER TABLE t_mlg_rate ADD CONSTRAINT fk_mlgrate_001 FOREIGN KEY (KumiID) "
                   "REFERENCES t_kumi (KumiID);",
                   Gate::KumiRelationshipsAllow},
                  {"ALTER TABLE t_mlg_sofu_seikyu ADD CONSTRAINT fk_mlgsofuseikyu_001 FOREIGN KEY "
                   "(SofuID) REFERENCES t_sofu (SofuID);",
                   Gate::SofuRelationshipsAllow},
              }));
}

// The next release changes the facts and the resource together; a stamp left
// behind would mark a database with the wrong version.
TEST(UpdateScriptResourceTest, StampAgreesWithTheVersionFacts) {
    const auto& stamp = update::VersionStampStatements();
    ASSERT_EQ(stamp.size(), 2 + update::kUpdateContents.size());
    const std::string id = std::to_string(update::kToVersionId);
    EXPECT_EQ(stamp[0],
              "INSERT INTO t_db_ver (DBVerID,DBVerCode,DBPatchDate,UpdateDateTime ) VALUES (" + id +
                  "," + std::string(update::kToVersion) + ",#" + std::string(update::kReleaseDate) +
                  "#,now() );");
    EXPECT_TRUE(update::CreatesVersionCommentTable(stamp[1]));
    for (std::size_t line = 0; line < update::kUpdateContents.size(); ++line) {
        EXPECT_EQ(stamp[2 + line],
                  "INSERT INTO t_db_ver_comment (DBVerID,DBVerComment,UpdateDateTime ) VALUES (" +
                      id + ",'" + std::string(update::kUpdateContents[line]) + "',now() );");
    }
}

}  // namespace
