// The version 1.26 statements, verbatim, on the sample host database, and
// the catalog's answers for what they create.
#include <fstream>
#include <map>

#include "EngineFixture.h"

namespace {

using enginetest::EngineFixture;

const char* const kDropList[] = {
    "t_adjustment_kingaku", "t_asayu_return", "t_read_tsuko_data", "t_card_history",
    "t_seikyu_card", "t_card", "t_mileage_registration_error", "t_mileage_rate_type",
    "t_mileage_kodan", "t_mileage_card", "t_mileage_card_status", "t_mileage_expense",
    "t_mileage", "t_mileage_status", "t_mlg_own_card_seikyu", "t_mlg_sofu_saving",
    "t_mlg_seikyu_card", "t_mlg_sofu_seikyu", "t_mlg_card_seikyu", "t_mlg_card_total",
    "t_mlg_toll", "t_kumi_mlg_kangen_return", "t_mlg_kangen_return", "t_kumi_mlg_asayu_return",
    "t_mlg_asayu_return", "t_mlg_saving_rate", "t_mlg_saving_taisyo", "t_mlg_rate",
    "t_mlg_calc_taisyo", "t_mlg_card", "t_mlg_kodan", "t_mlg_step_rate", "t_mlg_rate_type",
};

class UpdateScriptTest : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        runScript(std::string(VANTOLY_SAMPLES_DIR) + "/host-1.25.sql");
    }

    bool tableExists(const std::string& name) {
        auto rs = conn_->OpenSchema(engine::adSchemaTables);
        for (; !rs->IsEOF(); rs->MoveNext()) {
            if (rs->Collect("TABLE_NAME").text() == name) return true;
        }
        return false;
    }

    void addSeikyuColumn(const std::string& name) {
        auto dao = engine::DaoDatabase::create();
        dao->Open(path_, false, false, "");
        auto def = dao->OpenTableDef("t_seikyu_data");
        engine::DaoFieldInfo info;
        info.name = name;
        info.type = engine::dbLong;
        info.size = 4;
        info.attributes = engine::dbFixedField;
        info.ordinalPosition = 88;
        info.required = true;
        info.allowZeroLength = false;
        info.defaultValue = "0";
        def->CreateField(info);
        def->Close();
        dao->Close();
    }

    void runUpdate() {
        for (const char* table : kDropList) {
            if (tableExists(table)) exec(std::string("DROP TABLE ") + table + ";");
        }
        addSeikyuColumn("MlgCardSeikyuKingaku");
        exec("UPDATE t_seikyu_data SET MlgCardSeikyuKingaku = 0;");
        addSeikyuColumn("MlgCardSavingKingaku");
        exec("UPDATE t_seikyu_data SET MlgCardSavingKingaku = 0;");
        std::ifstream in(std::string(VANTOLY_ENGINE_TEST_DATA) + "/version-1.26.sql");
        std::string line;
        int count = 0;
        while (std::getline(in, line)) {
            if (line.empty()) continue;
            ++count;
            // Created only when absent, as the version stamp does.
            if (line.rfind("CREATE TABLE t_db_ver_comment", 0) == 0 && tableExists("t_db_ver_comment")) continue;
            try {
                conn_->Execute(line, nullptr, -1);
            } catch (const engine::ComError& e) {
                FAIL() << e.what() << "\n" << line;
            }
        }
        ASSERT_EQ(count, 141);
    }

    std::shared_ptr<engine::Table> catalogTable(const std::string& name) {
        catalog_ = engine::Catalog::create();
        catalog_->putActiveConnection(enginetest::jetText(path_));
        for (long i = 0; i < catalog_->Tables().Count(); ++i) {
            if (catalog_->Tables().Item(i)->Name() == name) return catalog_->Tables().Item(i);
        }
        return nullptr;
    }

    std::shared_ptr<engine::Catalog> catalog_;
};

TEST_F(UpdateScriptTest, SampleStartsAtVersion125WithDropListTables) {
    engine::Variant v = value("SELECT MAX(DBVerCode) AS MaxDBVerCode FROM t_db_ver;");
    EXPECT_EQ(v.vt(), engine::VT_CY);
    EXPECT_EQ(v.currency(), 12500);
    int present = 0;
    for (const char* table : kDropList) present += tableExists(table) ? 1 : 0;
    EXPECT_GE(present, 3);
    auto fields = conn_->Execute("SELECT * FROM t_seikyu_data", nullptr, -1)->GetFields();
    EXPECT_EQ(fields->Count(), 87);
}

TEST_F(UpdateScriptTest, EveryStatementRunsAndTheCatalogDescribesTheResult) {
    runUpdate();
    if (HasFatalFailure()) return;

    engine::Variant version = value("SELECT MAX(DBVerCode) AS MaxDBVerCode FROM t_db_ver;");
    EXPECT_EQ(version.currency(), 12600);
    EXPECT_EQ(value("SELECT COUNT(*) FROM t_db_ver_comment WHERE DBVerID = 26").intValue(), 1);

    const std::map<std::string, long> rows = {
        {"t_mlg_kodan", 10}, {"t_mlg_rate_type", 21}, {"t_mlg_step_rate", 32}, {"t_mlg_calc_taisyo", 3},
        {"t_mlg_asayu_return", 2}, {"t_mlg_kangen_return", 2}, {"t_mlg_calc_method", 2},
    };
    for (const auto& [table, count] : rows) {
        EXPECT_EQ(value("SELECT COUNT(*) FROM " + table).intValue(), count) << table;
    }
    engine::Variant abbr = value("SELECT MlgKodanAbbrName FROM t_mlg_kodan WHERE MlgKodanID = -1");
    EXPECT_EQ(abbr.vt(), engine::VT_BSTR);
    EXPECT_EQ(abbr.text(), "");
    EXPECT_DOUBLE_EQ(value("SELECT MlgDiscountRate FROM t_mlg_step_rate WHERE MlgStepRateID = 30").doubleValue(), 6.9);
    EXPECT_DOUBLE_EQ(value("SELECT MlgDiscountRate FROM t_mlg_step_rate WHERE MlgStepRateID = 31").doubleValue(), 13.8);
    EXPECT_EQ(value("SELECT COUNT(*) FROM t_kumiai WHERE MlgCardName <> 'ＥＴＣ法人カード' OR MlgCardName IS NULL").intValue(), 0);
    EXPECT_EQ(value("SELECT COUNT(*) FROM t_seikyu_data WHERE MlgCardSeikyuKingaku <> 0 OR MlgCardSavingKingaku <> 0").intValue(), 0);
    auto fields = conn_->Execute("SELECT * FROM t_seikyu_data", nullptr, -1)->GetFields();
    ASSERT_EQ(fields->Count(), 89);
    EXPECT_EQ(fields->Item(87).Name(), "MlgCardSeikyuKingaku");
    EXPECT_EQ(fields->Item(88).Name(), "MlgCardSavingKingaku");

    // Columns: type, defined size and attributes as the catalog reports them.
    struct ColumnCase {
        const char* table;
        const char* column;
        int type;
        long size;
        long attributes;
    } columns[] = {
        {"t_mlg_card", "MlgCardID", engine::adInteger, 4, engine::adColFixed},
        {"t_mlg_card", "SyaryoID", engine::adInteger, 4, engine::adColFixed},
        {"t_mlg_card", "MlgCardNo", engine::adVarWChar, 21, 0},
        {"t_mlg_card", "MlgCardBikou", engine::adLongVarWChar, 0, engine::adColNullable},
        {"t_mlg_card", "UpdateDateTime", engine::adDate, 8, engine::adColFixed | engine::adColNullable},
        {"t_mlg_step_rate", "MlgFeeRate", engine::adDouble, 8, engine::adColFixed},
        {"t_mlg_toll", "MlgCardNo", engine::adVarWChar, 16, 0},
        {"t_mlg_card_total", "MlgKodanCode", engine::adVarWChar, 2, engine::adColNullable},
        {"t_kumiai", "MlgCardName", engine::adVarWChar, 50, engine::adColNullable},
        {"t_seikyu_data", "MlgCardSavingKingaku", engine::adInteger, 4, engine::adColFixed},
        {"t_db_ver", "DBVerCode", engine::adCurrency, 8, engine::adColFixed},
        {"t_db_ver", "DBPatchDate", engine::adDate, 8, engine::adColFixed | engine::adColNullable},
    };
    for (const auto& c : columns) {
        SCOPED_TRACE(std::string(c.table) + "." + c.column);
        auto table = catalogTable(c.table);
        ASSERT_TRUE(table);
        bool found = false;
        for (long i = 0; i < table->Columns().Count(); ++i) {
            auto col = table->Columns().Item(i);
            if (col->Name() != c.column) continue;
            found = true;
            EXPECT_EQ(col->Type(), c.type);
            EXPECT_EQ(col->DefinedSize(), c.size);
            EXPECT_EQ(col->Attributes(), c.attributes);
        }
        EXPECT_TRUE(found);
    }

    // Keys and indexes of t_mlg_card, by name, in the catalog's name order.
    auto card = catalogTable("t_mlg_card");
    ASSERT_TRUE(card);
    std::vector<std::string> keys;
    for (long i = 0; i < card->Keys().Count(); ++i) {
        auto k = card->Keys().Item(i);
        std::string text = k->Name() + ":" + std::to_string(k->Type()) + ":" + k->RelatedTable();
        for (long c = 0; c < k->Columns().Count(); ++c) {
            text += ":" + k->Columns().Item(c)->Name() + ">" + k->Columns().Item(c)->RelatedColumn();
        }
        keys.push_back(text);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"fk_mlgcard_001:2:t_kumi:KumiID>KumiID",
                                              "fk_mlgcard_002:2:t_sofu:SofuID>SofuID",
                                              "PrimaryKey:1::MlgCardID>"}));
    std::vector<std::string> indexes;
    for (long i = 0; i < card->Indexes().Count(); ++i) {
        auto x = card->Indexes().Item(i);
        indexes.push_back(x->Name() + (x->Unique() ? " U" : "") + (x->PrimaryKey() ? " P" : ""));
    }
    EXPECT_EQ(indexes, (std::vector<std::string>{"fk_mlgcard_001", "fk_mlgcard_002", "idx_mlgcard_001",
                                                 "idx_mlgcard_002", "idx_mlgcard_003", "idx_mlgcard_004",
                                                 "PrimaryKey U P", "unq_mlgcard_001 U"}));
    auto comment = catalogTable("t_db_ver_comment");
    ASSERT_TRUE(comment);
    bool fk = false;
    for (long i = 0; i < comment->Keys().Count(); ++i) {
        auto k = comment->Keys().Item(i);
        if (k->Name() == "FK_VERCOMMENT_DBVERID" && k->Type() == engine::adKeyForeign && k->RelatedTable() == "t_db_ver") fk = true;
    }
    EXPECT_TRUE(fk);
    auto method = catalogTable("t_kumi_mlg_calc_method");
    ASSERT_TRUE(method);
    EXPECT_EQ(method->Indexes().Item(0)->Name(), "idx_kumimlgccalcmethod_001");
    EXPECT_TRUE(method->Indexes().Item(0)->Unique());

    // The new relationships hold.
    EXPECT_EQ(refused("INSERT INTO t_mlg_rate (KumiID, MlgKodanID, MlgRateTypeID, MlgCalcTaisyoID, CreateDateTime) "
                      "VALUES (-5, 1, 1, 1, now())").jetError(), 3201);
    // A referenced table cannot be dropped any more.
    EXPECT_EQ(refused("DROP TABLE t_kumi;").jetError(), 3281);
}

TEST_F(UpdateScriptTest, SchemaListsSystemTablesFirstAndUserTablesByName) {
    auto rs = conn_->OpenSchema(engine::adSchemaTables);
    std::vector<std::string> system, user;
    for (; !rs->IsEOF(); rs->MoveNext()) {
        std::string type = rs->Collect("TABLE_TYPE").text();
        EXPECT_TRUE(user.empty() || type == "TABLE") << "system table after a user table";
        (type == "TABLE" ? user : system).push_back(rs->Collect("TABLE_NAME").text());
    }
    EXPECT_FALSE(system.empty());
    for (const auto& s : system) EXPECT_EQ(s.rfind("MSys", 0), 0u) << s;
    EXPECT_TRUE(std::is_sorted(user.begin(), user.end()));
}

}  // namespace
