// The whole update on a copy of the sample database, pressed through the
// update command with scripted answers: the schema and rows it leaves, what
// the operator sees, and that a run stopped after any statement is completed
// by the next run to the same end state.
#include <algorithm>
#include <functional>
#include <set>

#include "UpdateFixture.h"

namespace updatetest {
namespace {

struct TableExpectation {
    const char* table;
    const char* columns;  // name:adoType/definedSize, in creation order
};

// Columns of every created table, with the engine's ADO type numbers
// (3 integer, 5 double, 7 date, 202 text, 203 long text).
const TableExpectation kCreatedTables[] = {
    {"t_mlg_kodan",
     "MlgKodanID:3/4 MlgKodanCode:202/3 MlgKodanName:202/50 MlgKodanAbbrName:202/50 "
     "CreateDateTime:7/8 UpdateDateTime:7/8"},
    {"t_mlg_card",
     "MlgCardID:3/4 KumiID:3/4 SofuID:3/4 SofuMeisaiNameID:3/4 SyaryoID:3/4 MlgCardNo:202/21 "
     "UserName:202/50 UseStartMonth:202/6 MlgCardBikou:203/0 CreateDateTime:7/8 "
     "UpdateDateTime:7/8"},
    {"t_mlg_asayu_return",
     "MlgAsayuReturnID:3/4 MlgAsayuReturnCode:202/2 MlgAsayuReturnName:202/50 CreateDateTime:7/8 "
     "UpdateDateTime:7/8"},
    {"t_kumi_mlg_asayu_return",
     "KumiMlgAsayuReturnID:3/4 MlgAsayuReturnID:3/4 KumiID:3/4 CreateDateTime:7/8 "
     "UpdateDateTime:7/8"},
    {"t_mlg_kangen_return",
     "MlgKangenReturnID:3/4 MlgKangenReturnCode:202/2 MlgKangenReturnName:202/50 "
     "CreateDateTime:7/8 UpdateDateTime:7/8"},
    {"t_kumi_mlg_kangen_return",
     "KumiMlgKangenReturnID:3/4 MlgKangenReturnID:3/4 KumiID:3/4 CreateDateTime:7/8 "
     "UpdateDateTime:7/8"},
    {"t_mlg_calc_method",
     "MlgCalcMethodID:3/4 MlgCalcMethodCode:202/2 MlgCalcMethodName:202/50 CreateDateTime:7/8 "
     "UpdateDateTime:7/8"},
    {"t_kumi_mlg_calc_method",
     "KumiMlgCalcMethodID:3/4 MlgCalcMethodID:3/4 KumiID:3/4 CreateDateTime:7/8 "
     "UpdateDateTime:7/8"},
    {"t_mlg_rate_type",
     "MlgRateTypeID:3/4 MlgRateTypeCode:202/3 MlgRateTypeName:202/50 CreateDateTime:7/8 "
     "UpdateDateTime:7/8"},
    {"t_mlg_step_rate",
     "MlgStepRateID:3/4 MlgRateTypeID:3/4 LowerKingaku:3/4 UpperKingaku:3/4 MlgFeeRate:5/8 "
     "MlgDiscountRate:5/8 CreateDateTime:7/8 UpdateDateTime:7/8"},
    {"t_mlg_calc_taisyo",
     "MlgCalcTaisyoID:3/4 MlgCalcTaisyoCode:202/3 MlgCalcTaisyoName:202/50 CreateDateTime:7/8 "
     "UpdateDateTime:7/8"},
    {"t_mlg_rate",
     "MlgRateID:3/4 KumiID:3/4 MlgKodanID:3/4 MlgRateTypeID:3/4 MlgCalcTaisyoID:3/4 "
     "CreateDateTime:7/8 UpdateDateTime:7/8"},
    {"t_mlg_saving_rate",
     "MlgSavingRateID:3/4 KumiID:3/4 StartMonth:202/6 EndMonth:202/6 MlgKodanID:3/4 "
     "MlgCalcTaisyoID:3/4 MlgSavingRate:5/8 CreateDateTime:7/8 UpdateDateTime:7/8"},
    {"t_mlg_toll",
     "MlgTollID:3/4 MlgKodanID:3/4 MlgCardID:3/4 MlgCardNo:202/16 SeikyuMonth:202/6 "
     "TsukoDateTime:7/8 SyasyuCode:202/2 SyaryoNo:202/4 InnGateName:202/20 OutGateName:202/20 "
     "RiyouKingaku:3/4 KangenKingaku:3/4 KonoKingaku:3/4 WaribikiKubun:202/50"},
    {"t_mlg_card_total",
     "MlgCardTotalID:3/4 SeikyuMonth:202/6 MlgKodanID:3/4 MlgKodanCode:202/2 MlgCardID:3/4 "
     "MlgCardNo:202/16 RiyouKingaku:3/4 KangenKingaku:3/4 KonoKingaku:3/4 PlusKingaku:3/4 "
     "CreateDateTime:7/8 UpdateDateTime:7/8"},
    {"t_mlg_card_seikyu",
     "MlgCardSeikyuID:3/4 MlgCardID:3/4 SeikyuMonth:202/6 MlgKodanID:3/4 RiyouKingaku:3/4 "
     "AsayuKingaku:3/4 MlgKangenKingaku:3/4 TaisyoKingaku:3/4 MlgFee:3/4 MlgDiscount:3/4 "
     "SeikyuKingaku:3/4 CreateDateTime:7/8 UpdateDateTime:7/8"},
    {"t_mlg_sofu_seikyu",
     "MlgSofuSeikyuID:3/4 SofuID:3/4 SeikyuMonth:202/6 MlgKodanID:3/4 RiyouKingaku:3/4 "
     "AsayuKingaku:3/4 MlgKangenKingaku:3/4 TaisyoKingaku:3/4 MlgFee:3/4 MlgDiscount:3/4 "
     "SeikyuKingaku:3/4 CreateDateTime:7/8 UpdateDateTime:7/8"},
    {"t_mlg_sofu_saving",
     "MlgSofuSavingID:3/4 SofuID:3/4 SeikyuMonth:202/6 LastMonthKingaku:3/4 TaisyoKingaku:3/4 "
     "SavingKingaku:3/4 SavingHenkin:3/4 TotalSavingKingaku:3/4 SavingHenkinReason:202/255 "
     "CreateDateTime:7/8 UpdateDateTime:7/8"},
    {"t_mlg_own_card_seikyu",
     "MlgOwnCardSeikyuID:3/4 MlgCardID:3/4 SeikyuMonth:202/6 MlgKodanID:3/4 AsayuKingaku:3/4 "
     "TaisyoKingaku:3/4 CreateDateTime:7/8 UpdateDateTime:7/8"},
    {"t_cover_uchiwake",
     "CoverUchiwakeID:3/4 SofuID:3/4 SeikyuMonth:202/6 PrintTypeID:3/4 CoverUchiwakeName:202/96 "
     "RiyouKingaku:3/4 AsayuKingaku:3/4 MlgKangenKingaku:3/4 TaisyoKingaku:3/4 SyaryoTani:3/4 "
     "KeiyakusyaTani:3/4 SeikyuDiscount:3/4 SeikyuFee:3/4 SeikyuOther:3/4 SeikyuKingaku:3/4 "
     "SeikyuBikou:202/96 CreateDateTime:7/8 UpdateDateTime:7/8"},
};

// Named indexes of every created table ("U" marks a unique one).
const std::map<std::string, std::string> kIndexes = {
    {"t_mlg_kodan", ""},
    {"t_mlg_card",
     "idx_mlgcard_001 idx_mlgcard_002 idx_mlgcard_003 idx_mlgcard_004 unq_mlgcard_001U"},
    {"t_mlg_asayu_return", ""},
    {"t_kumi_mlg_asayu_return", "idx_kumimlgasayureturn_001U"},
    {"t_mlg_kangen_return", ""},
    {"t_kumi_mlg_kangen_return", "idx_kumimlgkangenreturn_001U"},
    {"t_mlg_calc_method", ""},
    {"t_kumi_mlg_calc_method", "idx_kumimlgccalcmethod_001U"},
    {"t_mlg_rate_type", "idx_mlgratetype_001U"},
    {"t_mlg_step_rate", "idx_mlgsteprate_001U idx_mlgsteprate_002U"},
    {"t_mlg_calc_taisyo", "idx_mlgcalctaisyo_001U"},
    {"t_mlg_rate", "idx_mlgrate_001U"},
    {"t_mlg_saving_rate", "idx_mlgsavingrate_001U"},
    {"t_mlg_toll", "idx_mlgtoll_001 idx_mlgtoll_002 idx_mlgtoll_003 idx_mlgtoll_004"},
    {"t_mlg_card_total",
     "idx_mlgcardtotal_001 idx_mlgcardtotal_002 idx_mlgcardtotal_003 idx_mlgcardtotal_004"},
    {"t_mlg_card_seikyu",
     "idx_mlgcardseikyu_001 idx_mlgcardseikyu_002 idx_mlgcardseikyu_003 unq_mlgcardseikyu_001U"},
    {"t_mlg_sofu_seikyu",
     "idx_mlgsofuseikyu_001 idx_mlgsofuseikyu_002 idx_mlgsofuseikyu_003 unq_mlgsofuseikyu_001U"},
    {"t_mlg_sofu_saving", "idx_mlgsofusaving_001 idx_mlgsofusaving_002 unq_mlgsofusaving_001U"},
    {"t_mlg_own_card_seikyu",
     "idx_mlgownuscrdsky_001 idx_mlgownuscrdsky_002 idx_mlgownuscrdsky_003 "
     "unq_mlgownuscrdsky_001U"},
    {"t_cover_uchiwake", "idx_coveruchiwake_001 idx_coveruchiwake_002 idx_coveruchiwake_003"},
};

class CatalogView {
  public:
    explicit CatalogView(const std::string& path, const std::string& password = "") {
        catalog_ = engine::Catalog::create();
        catalog_->putActiveConnection(JetConnectionText(path, password));
    }
    std::shared_ptr<engine::Table> Table(const std::string& name) const {
        for (long i = 0; i < catalog_->Tables().Count(); ++i) {
            if (catalog_->Tables().Item(i)->Name() == name) return catalog_->Tables().Item(i);
        }
        return nullptr;
    }
    // "name:type/size" of the named columns, in the order asked.
    std::string Columns(const engine::Table& table, const std::vector<std::string>& names) const {
        std::string text;
        for (const auto& name : names) {
            for (long i = 0; i < table.Columns().Count(); ++i) {
                auto column = table.Columns().Item(i);
                if (column->Name() != name) continue;
                if (!text.empty()) text += " ";
                text += name + ":" + std::to_string(column->Type()) + "/" +
                        std::to_string(column->DefinedSize());
            }
        }
        return text;
    }
    // Named indexes (primary key and foreign-key indexes left out), by name.
    std::string Indexes(const engine::Table& table) const {
        std::vector<std::string> names;
        for (long i = 0; i < table.Indexes().Count(); ++i) {
            auto index = table.Indexes().Item(i);
            if (index->PrimaryKey() || index->Name().rfind("fk_", 0) == 0) continue;
            names.push_back(index->Name() + (index->Unique() ? "U" : ""));
        }
        std::sort(names.begin(), names.end());
        std::string text;
        for (const auto& name : names) text += (text.empty() ? "" : " ") + name;
        return text;
    }
    // "name>related" of the foreign keys.
    std::set<std::string> ForeignKeys(const engine::Table& table) const {
        std::set<std::string> keys;
        for (long i = 0; i < table.Keys().Count(); ++i) {
            auto key = table.Keys().Item(i);
            if (key->Type() == engine::adKeyForeign)
                keys.insert(key->Name() + ">" + key->RelatedTable());
        }
        return keys;
    }

  private:
    std::shared_ptr<engine::Catalog> catalog_;
};

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// The statements of the script resource a first update of the sample runs
// beyond its drops, in the order they run: the sample holds t_db_ver_comment
// already, so its creation is skipped.
std::vector<std::string> ExpectedStatementsAfterDrops() {
    using namespace update;
    std::vector<std::string> statements = ColumnStatements(kKumiaiTable, kMlgCardNameColumn);
    for (std::string_view column : {kMlgCardSeikyuKingakuColumn, kMlgCardSavingKingakuColumn}) {
        const auto& filling = ColumnStatements(kSeikyuDataTable, column);
        statements.insert(statements.end(), filling.begin(), filling.end());
    }
    for (const CreationBlock& block : CreationBlocks()) {
        for (const ScriptStatement& statement : block.statements)
            statements.push_back(statement.text);
    }
    for (const std::string& statement : VersionStampStatements()) {
        if (!CreatesVersionCommentTable(statement)) statements.push_back(statement);
    }
    return statements;
}

// The first line where two dumps differ, or "" when they are equal.
std::string FirstDifference(const std::string& actual, const std::string& expected) {
    std::istringstream a(actual), e(expected);
    std::string lineA, lineE;
    for (int number = 1;; ++number) {
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreE = static_cast<bool>(std::getline(e, lineE));
        if (!moreA && !moreE) return "";
        if (!moreA || !moreE || lineA != lineE) {
            return "line " + std::to_string(number) + "\n  actual:   " + (moreA ? lineA : "(end)") +
                   "\n  expected: " + (moreE ? lineE : "(end)");
        }
    }
}

class UpdateEndToEndTest : public UpdateFixture {};

TEST_F(UpdateEndToEndTest, SampleIsUpdatedToVersion126) {
    OpenSession();
    std::vector<std::string> statements;
    std::vector<int> progress;  // the bar's position as each statement has run
    runner_.SetStatementHookForTesting([&](int, const std::string& statement) {
        statements.push_back(statement);
        progress.push_back(window_.Progress);
    });
    // The scan walks the user tables the drop phase leaves.
    std::vector<std::string> userTables;
    session_.ListUserTables(userTables);
    const auto& drops = update::DropStatements();
    const int tableCount =
        static_cast<int>(std::count_if(userTables.begin(), userTables.end(), [&](const auto& name) {
            return std::none_of(drops.begin(), drops.end(), [&](const update::DropStatement& drop) {
                return drop.table == name;
            });
        }));

    PressUpdate();

    // What the operator saw: the last confirmation and the success message.
    ASSERT_EQ(ShownTexts(),
              (std::vector<std::string>{"更新してもよろしいですか？", "更新終了致しました"}));
    EXPECT_EQ(boxes_.Shown()[0].caption, "確認");
    EXPECT_EQ(boxes_.Shown()[0].icon, platform::MessageIcon::Warning);
    EXPECT_EQ(boxes_.Shown()[1].caption, "2020/05/24更新");
    EXPECT_EQ(boxes_.Shown()[1].icon, platform::MessageIcon::None);
    EXPECT_EQ(window_.VersionText, "ver.1.26");
    EXPECT_EQ(window_.Clipboard, "");
    EXPECT_EQ(window_.States,
              (std::vector<db::ControlState>{db::ControlState::Busy, db::ControlState::Idle}));
    EXPECT_FALSE(window_.ProgressVisible);
    // The bar moves with every statement, by its share of the whole script
    // and of the scan, and is full only once the last has run.
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end(), std::less_equal<>()))
        << "the bar went back or stood still over a statement";
    EXPECT_EQ(progress.back(), window_.ProgressUpper);
    EXPECT_GE(window_.ProgressUpper, 3 * tableCount + static_cast<int>(statements.size()));
    EXPECT_EQ(window_.Progress, window_.ProgressUpper);
    // The window painted at every step and took no click or key meanwhile.
    EXPECT_GE(pump_.Repaints, 3 * tableCount + static_cast<int>(statements.size()));
    EXPECT_EQ(pump_.Pumps, 0);
    EXPECT_EQ(cursor_.Shown.back(), "arrow");
    EXPECT_TRUE(window_.ErrorLogs.empty());

    // Every statement of the resource, in its order: the drops of the tables
    // the sample holds, then all the rest.
    std::vector<std::string> scripted;
    std::vector<std::string> droppedTables;
    for (const auto& statement : statements) {
        if (statement.starts_with("DROP TABLE ")) {
            droppedTables.push_back(statement.substr(11, statement.size() - 12));
        } else {
            scripted.push_back(statement);
        }
    }
    std::vector<std::string> expectedDrops;
    for (const update::DropStatement& drop : update::DropStatements()) {
        if (std::find(userTables.begin(), userTables.end(), drop.table) != userTables.end())
            expectedDrops.push_back(drop.table);
    }
    EXPECT_EQ(droppedTables, expectedDrops);
    const std::vector<std::string> expected = ExpectedStatementsAfterDrops();
    EXPECT_EQ(scripted.size(), expected.size());
    for (std::size_t i = 0; i < std::min(scripted.size(), expected.size()); ++i) {
        ASSERT_EQ(scripted[i], expected[i]) << "statement " << i + 1;
    }

    CatalogView catalog(target_.FilePath());
    for (const auto& expected : kCreatedTables) {
        SCOPED_TRACE(expected.table);
        auto table = catalog.Table(expected.table);
        ASSERT_TRUE(table);
        std::vector<std::string> names;
        for (const auto& word : Words(expected.columns))
            names.push_back(word.substr(0, word.find(':')));
        EXPECT_EQ(table->Columns().Count(), static_cast<long>(names.size()));
        EXPECT_EQ(catalog.Columns(*table, names), expected.columns);
        EXPECT_EQ(catalog.Indexes(*table), kIndexes.at(expected.table));
    }
    EXPECT_EQ(catalog.ForeignKeys(*catalog.Table("t_mlg_card")),
              (std::set<std::string>{"fk_mlgcard_001>t_kumi", "fk_mlgcard_002>t_sofu"}));
    EXPECT_EQ(catalog.ForeignKeys(*catalog.Table("t_mlg_rate")),
              (std::set<std::string>{"fk_mlgrate_001>t_kumi"}));
    EXPECT_EQ(catalog.ForeignKeys(*catalog.Table("t_mlg_sofu_seikyu")),
              (std::set<std::string>{"fk_mlgsofuseikyu_001>t_sofu"}));
    EXPECT_EQ(catalog.Columns(*catalog.Table("t_kumiai"), {"MlgCardName"}), "MlgCardName:202/50");
    EXPECT_EQ(catalog.Columns(*catalog.Table("t_seikyu_data"),
                              {"MlgCardSeikyuKingaku", "MlgCardSavingKingaku"}),
              "MlgCardSeikyuKingaku:3/4 MlgCardSavingKingaku:3/4");
    for (long i = 0; i < catalog.Table("t_seikyu_data")->Columns().Count(); ++i) {
        auto column = catalog.Table("t_seikyu_data")->Columns().Item(i);
        if (column->Name().rfind("MlgCard", 0) == 0) {
            EXPECT_EQ(column->ordinalPosition, 88) << column->Name();
        }
    }
    // Tables of the drop list that version 1.26 does not create are gone.
    for (const char* gone :
         {"t_card", "t_mileage", "t_asayu_return", "t_mlg_seikyu_card", "t_mlg_saving_taisyo"}) {
        EXPECT_FALSE(catalog.Table(gone)) << gone;
    }

    // Reference rows and first values.
    const std::vector<std::pair<std::string, std::string>> values = {
        {"SELECT COUNT(*) FROM t_mlg_kodan", "10"},
        {"SELECT COUNT(*) FROM t_mlg_rate_type", "21"},
        {"SELECT COUNT(*) FROM t_mlg_step_rate", "32"},
        {"SELECT COUNT(*) FROM t_mlg_calc_taisyo", "3"},
        {"SELECT COUNT(*) FROM t_mlg_asayu_return", "2"},
        {"SELECT COUNT(*) FROM t_mlg_kangen_return", "2"},
        {"SELECT COUNT(*) FROM t_mlg_calc_method", "2"},
        {"SELECT MlgKodanName FROM t_mlg_kodan WHERE MlgKodanID = -1", "未区分"},
        {"SELECT COUNT(*) FROM t_mlg_kodan WHERE MlgKodanID = -1 AND MlgKodanAbbrName = ''", "1"},
        {"SELECT MlgKodanCode FROM t_mlg_kodan WHERE MlgKodanID = 3", "09"},
        {"SELECT MlgRateTypeName FROM t_mlg_rate_type WHERE MlgRateTypeID = 21",
         "コーポ割引（6.9%/13.8%)"},
        {"SELECT COUNT(*) FROM t_mlg_step_rate WHERE MlgStepRateID = -1 AND MlgRateTypeID = -1",
         "1"},
        {"SELECT COUNT(*) FROM t_mlg_step_rate WHERE MlgStepRateID = 30 AND MlgDiscountRate = 6.9",
         "1"},
        {"SELECT COUNT(*) FROM t_mlg_step_rate WHERE MlgStepRateID = 31 AND MlgDiscountRate = 13.8",
         "1"},
        {"SELECT MlgCalcTaisyoName FROM t_mlg_calc_taisyo WHERE MlgCalcTaisyoID = 3", "後納金額"},
        {"SELECT MlgCalcMethodName FROM t_mlg_calc_method WHERE MlgCalcMethodID = 2",
         "カード毎に計算"},
        {"SELECT COUNT(*) FROM t_kumiai WHERE MlgCardName = 'ＥＴＣ法人カード'",
         Value("SELECT COUNT(*) FROM t_kumiai")},
        {"SELECT COUNT(*) FROM t_seikyu_data WHERE MlgCardSeikyuKingaku = 0 AND "
         "MlgCardSavingKingaku = 0",
         Value("SELECT COUNT(*) FROM t_seikyu_data")},
        {"SELECT COUNT(*) FROM t_db_ver WHERE DBVerID = 26 AND DBVerCode = 1.26 AND DBPatchDate = "
         "#2020/05/24#",
         "1"},
        {"SELECT DBVerComment FROM t_db_ver_comment WHERE DBVerID = 26",
         "１．マイレージデータ追加"},
        {"SELECT COUNT(*) FROM t_db_ver_comment WHERE DBVerID = 26", "1"},
    };
    for (const auto& [sql, expected] : values) EXPECT_EQ(Value(sql), expected) << sql;
    EXPECT_NE(Value("SELECT COUNT(*) FROM t_kumiai"), "0");
    EXPECT_NE(Value("SELECT COUNT(*) FROM t_seikyu_data"), "0");

    // A second press meets the gate: the database reads 1.26 now.
    boxes_.Clear();
    driver_.OnUpdateCommand();
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_NE(boxes_.Shown()[0].text.find("「 1.26 」です。"), std::string::npos);
}

// A run that stops after statement k, for every k, is completed by the next
// run to the state an undisturbed run reaches. A failure anywhere inside one
// transaction leaves the same database, and the next run on the same
// database does the same again: every statement still fails once, but the
// next run is made once for each database the failures leave (some forty of
// over a hundred and fifty).
TEST_F(UpdateEndToEndTest, RerunAfterAFailureAtAnyStatementReachesTheSameEnd) {
    OpenSession();
    int statementCount = 0;
    runner_.SetStatementHookForTesting(
        [&](int number, const std::string&) { statementCount = number; });
    PressUpdate();
    const std::string expected = Dump();
    ASSERT_GT(statementCount, 100);
    std::set<std::string> leftBehind;  // the databases failures left, each completed once

    for (int failAfter = 1; failAfter <= statementCount; ++failAfter) {
        SCOPED_TRACE("failure after statement " + std::to_string(failAfter));
        session_.CloseDatabase();
        std::filesystem::remove(target_.FilePath());
        std::filesystem::copy_file(PristineSample(), target_.FilePath());
        OpenSession();

        std::string failedStatement;
        runner_.SetStatementHookForTesting([&](int number, const std::string& statement) {
            if (number == failAfter) {
                failedStatement = statement;
                throw engine::ComError(engine::hr::kUnspecified, std::string("test"),
                                       std::string("injected"));
            }
        });
        PressUpdate();
        ASSERT_EQ(window_.ErrorLogs.size(), 1u);
        EXPECT_EQ(window_.ErrorLogs[0].query, failedStatement);
        window_.ErrorLogs.clear();
        EXPECT_EQ(Value("SELECT MAX(DBVerCode) FROM t_db_ver"), "1.25");
        if (!leftBehind.insert(Dump()).second) continue;

        runner_.SetStatementHookForTesting({});
        boxes_.Clear();
        PressUpdate();
        EXPECT_TRUE(window_.ErrorLogs.empty());
        ASSERT_EQ(FirstDifference(Dump(), expected), "");
    }
    std::cout << statementCount << " failures left " << leftBehind.size() << " databases\n";
}

// Tables of the drop list with relationships among them, the kept tables
// with rows of their own, one t_seikyu_data column already there, and no
// comment table yet.
TEST_F(UpdateEndToEndTest, EarlierObjectsAreDroppedKeptOrSkipped) {
    Exec("CREATE TABLE t_mlg_kodan (MlgKodanID INTEGER PRIMARY KEY, X VARCHAR(10));");
    Exec(
        "CREATE TABLE t_mlg_card (MlgCardID INTEGER PRIMARY KEY, KumiID INTEGER NOT NULL "
        "CONSTRAINT fk_old_kumi "
        "REFERENCES t_kumi (KumiID), MlgKodanID INTEGER CONSTRAINT fk_old_kodan REFERENCES "
        "t_mlg_kodan (MlgKodanID));");
    Exec(
        "CREATE TABLE t_mlg_toll (MlgTollID INTEGER PRIMARY KEY, MlgCardID INTEGER CONSTRAINT "
        "fk_old_card "
        "REFERENCES t_mlg_card (MlgCardID));");
    Exec(
        "CREATE TABLE t_mlg_calc_method (MlgCalcMethodID INTEGER PRIMARY KEY, MlgCalcMethodName "
        "VARCHAR(50));");
    Exec("INSERT INTO t_mlg_calc_method (MlgCalcMethodID, MlgCalcMethodName) VALUES (7, 'kept');");
    Exec(
        "CREATE TABLE t_kumi_mlg_calc_method (KumiMlgCalcMethodID INTEGER PRIMARY KEY, KumiID "
        "INTEGER);");
    Exec("INSERT INTO t_kumi_mlg_calc_method (KumiMlgCalcMethodID, KumiID) VALUES (5, 1);");
    Exec("CREATE TABLE t_cover_uchiwake (CoverUchiwakeID INTEGER PRIMARY KEY, SofuID INTEGER);");
    Exec("INSERT INTO t_cover_uchiwake (CoverUchiwakeID, SofuID) VALUES (3, 1);");
    Exec("ALTER TABLE t_seikyu_data ADD COLUMN MlgCardSeikyuKingaku INTEGER;");
    Exec("DROP TABLE t_db_ver_comment;");
    Exec("UPDATE t_seikyu_data SET MlgCardSeikyuKingaku = 5;");
    OpenSession();
    std::vector<std::string> statements;
    runner_.SetStatementHookForTesting(
        [&](int, const std::string& statement) { statements.push_back(statement); });

    PressUpdate();

    ASSERT_EQ(ShownTexts().back(), "更新終了致しました");
    auto ran = [&](const std::string& text) {
        return std::find(statements.begin(), statements.end(), text) != statements.end();
    };
    EXPECT_TRUE(ran("DROP TABLE t_mlg_toll;"));
    EXPECT_TRUE(ran("DROP TABLE t_mlg_card;"));
    EXPECT_TRUE(ran("DROP TABLE t_mlg_kodan;"));
    EXPECT_FALSE(ran("UPDATE t_seikyu_data SET MlgCardSeikyuKingaku = 0;"));
    EXPECT_TRUE(ran("UPDATE t_seikyu_data SET MlgCardSavingKingaku = 0;"));
    EXPECT_EQ(Value("SELECT COUNT(*) FROM t_seikyu_data WHERE MlgCardSeikyuKingaku <> 5"), "0");
    EXPECT_EQ(Value("SELECT COUNT(*) FROM t_seikyu_data WHERE MlgCardSavingKingaku <> 0"), "0");
    EXPECT_EQ(Value("SELECT MlgCalcMethodName FROM t_mlg_calc_method"), "kept");
    EXPECT_EQ(Value("SELECT COUNT(*) FROM t_mlg_calc_method"), "1");
    EXPECT_EQ(Value("SELECT KumiMlgCalcMethodID FROM t_kumi_mlg_calc_method"), "5");
    EXPECT_EQ(Value("SELECT CoverUchiwakeID FROM t_cover_uchiwake"), "3");
    // The kodan table was dropped with its relationships and made afresh.
    EXPECT_EQ(Value("SELECT COUNT(*) FROM t_mlg_kodan"), "10");
    // The comment table, absent before, is made with its relationship.
    EXPECT_TRUE(
        std::any_of(statements.begin(), statements.end(), update::CreatesVersionCommentTable));
    EXPECT_EQ(Value("SELECT COUNT(*) FROM t_db_ver_comment"), "1");
    CatalogView catalog(target_.FilePath());
    EXPECT_EQ(catalog.ForeignKeys(*catalog.Table("t_db_ver_comment")),
              (std::set<std::string>{"FK_VERCOMMENT_DBVERID>t_db_ver"}));
}

TEST_F(UpdateEndToEndTest, PasswordProtectedDatabaseUpdatesLikeAnyOther) {
    std::filesystem::remove(target_.FilePath());
    target_.Password = "秘密pw";
    BuildSampleDatabase(target_.FilePath(), target_.Password);
    OpenSession();

    PressUpdate();

    EXPECT_EQ(ShownTexts(),
              (std::vector<std::string>{"更新してもよろしいですか？", "更新終了致しました"}));
    EXPECT_EQ(window_.VersionText, "ver.1.26");
    EXPECT_GT(runner_.Counts().kumi, 0);  // the scan read the protected catalog
    EXPECT_EQ(Value("SELECT COUNT(*) FROM t_seikyu_data WHERE MlgCardSavingKingaku = 0"),
              Value("SELECT COUNT(*) FROM t_seikyu_data"));
}

}  // namespace
}  // namespace updatetest
