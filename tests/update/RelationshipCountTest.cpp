// The relationship counts of t_kumi and t_sofu and the rule that adds a
// foreign key to them only while the count plus 3 stays below 32.
#include <set>

#include "UpdateFixture.h"
#include "update/RelationshipCountScan.h"

namespace updatetest {
namespace {

class RelationshipCountTest : public UpdateFixture {
  protected:
    // The counts a plain run on the sample reaches (drop-list tables gone).
    update::RelationshipCounts SampleCounts() {
        static std::optional<update::RelationshipCounts> counts;
        if (!counts) {
            testsupport::TempFolder folder;
            host::TargetDatabase target{folder.Folder(), "base", ".mdb", "", ""};
            std::filesystem::copy_file(PristineSample(), target.FilePath());
            FakeMainWindow window;
            testsupport::FakeMessageBoxes boxes;
            db::DatabaseSession session(window, boxes, {kApplicationTitle, kReleaseDate});
            session.OpenDatabase(target.PathName, target.FileName, target.Extension);
            update::UpdateScriptRunner runner(window, window, session, target,
                                              {boxes, cursor_, pump_}, Texts());
            boxes.ScriptAnswers({platform::MessageAnswer::Yes});
            runner.OnUpdateTables();
            counts = runner.Counts();
        }
        return *counts;
    }

    // Adds `count` user tables, each with one foreign key to `referenced`.
    void AddReferencingTables(const std::string& referenced, const std::string& column, int count) {
        for (int i = 0; i < count; ++i) {
            const std::string name = "t_extra_" + referenced + "_" + std::to_string(i);
            Exec("CREATE TABLE " + name + " (ExtraID INTEGER PRIMARY KEY, " + column +
                 " INTEGER CONSTRAINT fk_" + name + " REFERENCES " + referenced + " (" + column +
                 "));");
        }
    }

    std::set<std::string> KeysAndIndexes(const std::string& table) {
        std::set<std::string> names;
        auto catalog = engine::Catalog::create();
        catalog->putActiveConnection(JetConnectionText(target_.FilePath()));
        for (long t = 0; t < catalog->Tables().Count(); ++t) {
            auto found = catalog->Tables().Item(t);
            if (found->Name() != table) continue;
            for (long k = 0; k < found->Keys().Count(); ++k)
                names.insert(found->Keys().Item(k)->Name());
            for (long i = 0; i < found->Indexes().Count(); ++i)
                names.insert(found->Indexes().Item(i)->Name());
        }
        return names;
    }
};

struct EdgeCase {
    const char* name;
    const char* referenced;  // the table the new foreign keys point at
    const char* column;
    int count;  // the relationship count the referenced table is brought to
    // Table, foreign key and index beside it, for both keys on that table.
    std::vector<std::array<const char*, 3>> keys;
};

class RelationshipEdgeTest : public RelationshipCountTest,
                             public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(RelationshipEdgeTest, ForeignKeysStopAt29WhileIndexesStay) {
    const EdgeCase& edge = GetParam();
    const update::RelationshipCounts sample = SampleCounts();
    const int base = std::string(edge.referenced) == "t_kumi" ? sample.kumi : sample.sofu;
    ASSERT_LE(base, edge.count);
    AddReferencingTables(edge.referenced, edge.column, edge.count - base);
    OpenSession();

    PressUpdate();

    ASSERT_EQ(ShownTexts().back(), "更新終了致しました");
    EXPECT_EQ(
        std::string(edge.referenced) == "t_kumi" ? runner_.Counts().kumi : runner_.Counts().sofu,
        edge.count);
    const bool added = update::ForeignKeyAllowed(edge.count);
    EXPECT_EQ(added, edge.count <= 28);
    for (const auto& [table, foreignKey, index] : edge.keys) {
        const std::set<std::string> names = KeysAndIndexes(table);
        EXPECT_EQ(names.count(foreignKey), added ? 1u : 0u) << foreignKey;
        EXPECT_EQ(names.count(index), 1u) << index;
    }
}

const std::vector<std::array<const char*, 3>> kKumiKeys = {
    {"t_mlg_card", "fk_mlgcard_001", "idx_mlgcard_001"},
    {"t_mlg_rate", "fk_mlgrate_001", "idx_mlgrate_001"}};
const std::vector<std::array<const char*, 3>> kSofuKeys = {
    {"t_mlg_card", "fk_mlgcard_002", "idx_mlgcard_002"},
    {"t_mlg_sofu_seikyu", "fk_mlgsofuseikyu_001", "idx_mlgsofuseikyu_001"}};

INSTANTIATE_TEST_SUITE_P(Edges, RelationshipEdgeTest,
                         ::testing::Values(EdgeCase{"Kumi28", "t_kumi", "KumiID", 28, kKumiKeys},
                                           EdgeCase{"Kumi29", "t_kumi", "KumiID", 29, kKumiKeys},
                                           EdgeCase{"Sofu28", "t_sofu", "SofuID", 28, kSofuKeys},
                                           EdgeCase{"Sofu29", "t_sofu", "SofuID", 29, kSofuKeys}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RelationshipCountTest, OnlyUserTablesAddTheirForeignKeys) {
    const update::RelationshipCounts sample = SampleCounts();
    Exec(
        "CREATE TABLE MSdata (ID INTEGER PRIMARY KEY, KumiID INTEGER CONSTRAINT fk_ms REFERENCES "
        "t_kumi (KumiID));");
    Exec(
        "CREATE TABLE [t blank] (ID INTEGER PRIMARY KEY, KumiID INTEGER CONSTRAINT fk_blank "
        "REFERENCES t_kumi (KumiID));");
    OpenSession();
    PressUpdate();
    // MSdata is the engine's; the table whose name holds a blank is a user
    // table like any other, and its foreign key takes its place among t_kumi's.
    EXPECT_EQ(runner_.Counts().kumi, sample.kumi + 1);
    EXPECT_EQ(runner_.Counts().sofu, sample.sofu);
    EXPECT_EQ(runner_.Counts().cprtCard, sample.cprtCard);
}

struct ScanFailureCase {
    const char* name;
    std::optional<std::string> connectionText;
    bool engineError;  // the text is the error block, not the fallback
};

class ScanFailureTest : public ::testing::TestWithParam<ScanFailureCase> {};

TEST_P(ScanFailureTest, EachCountShowsItsOwnBoxAndAnswersZero) {
    testsupport::FakeMessageBoxes boxes;
    testsupport::FakeCursor cursor;
    update::RelationshipCountScan scan(boxes, cursor, kApplicationTitle, GetParam().connectionText);

    EXPECT_EQ(scan.CountPrimaryKeys("t_kumi"), 0);
    EXPECT_EQ(scan.CountUniqueKeys("t_kumi"), 0);
    EXPECT_EQ(scan.CountForeignKeys("t_sofu", "t_kumi"), 0);

    ASSERT_EQ(boxes.Shown().size(), 3u);
    for (const auto& box : boxes.Shown()) {
        if (GetParam().engineError) {
            EXPECT_EQ(box.text.rfind("Message : ", 0), 0u) << box.text;
        } else {
            EXPECT_EQ(box.text, "*** 処理されない例外 ***");
        }
    }
    EXPECT_EQ(boxes.Shown()[0].caption, kApplicationTitle);
    EXPECT_EQ(boxes.Shown()[0].icon, platform::MessageIcon::Warning);
    EXPECT_EQ(boxes.Shown()[2].caption, "エラー");
    EXPECT_EQ(boxes.Shown()[2].icon, platform::MessageIcon::Stop);
    EXPECT_EQ(boxes.Shown()[2].owner, platform::MessageOwner::Window);
    EXPECT_EQ(cursor.Shown,
              (std::vector<std::string>{"wait", "arrow", "wait", "arrow", "wait", "arrow"}));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ScanFailureTest,
    ::testing::Values(ScanFailureCase{"MissingFile", JetConnectionText("/nonexistent/none.mdb"),
                                      true},
                      ScanFailureCase{"NoConnectionText", std::nullopt, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace updatetest
