// The version 1.26 statements, verbatim, on the sample host database, and
// the catalog's answers for what they create.
#include <map>
#include <sstream>

#include "EngineFixture.h"
#include "support/FileContent.h"
#include "update/Version126Script.h"

namespace {

using enginetest::EngineFixture;

// The statements of the update script resource, one a line, without its
// headings and comments.
std::vector<std::string> ScriptStatements() {
    std::istringstream in(testsupport::ReadFileBytes(VANTOLY_UPDATE_SCRIPT));
    std::vector<std::string> statements;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && !line.starts_with("--")) statements.push_back(line);
    }
    return statements;
}

bool IsDrop(const std::string& statement) {
    return statement.starts_with("DROP TABLE ");
}

// "DROP TABLE t;" -> "t"
std::string DroppedTable(const std::string& statement) {
    return statement.substr(11, statement.size() - 12);
}

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
        def->CreateField(update::SeikyuColumnFieldInfo(name));
        def->Close();
        dao->Close();
    }

    // The script as the update runs it: drops only of tables present, the
    // t_seikyu_data columns added (the engine's table-definition facility)
    // before the statements that fill them, the comment table created only
    // when absent.
    void runUpdate() {
        addSeikyuColumn("MlgCardSeikyuKingaku");
        addSeikyuColumn("MlgCardSavingKingaku");
        int count = 0;
        for (const std::string& statement : ScriptStatements()) {
            ++count;
            if (IsDrop(statement) && !tableExists(DroppedTable(statement))) continue;
            if (statement.starts_with("CREATE TABLE t_db_ver_comment") &&
                tableExists("t_db_ver_comment"))
                continue;
            try {
                conn_->Execute(statement, nullptr, -1);
            } catch (const engine::ComError& e) {
                FAIL() << e.what() << "\n" << statement;
            }
        }
        // 33 drops, 2 + 2 column statements, 136 of the creation blocks, 3 of the stamp.
        ASSERT_EQ(count, 176);
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
    for (const std::string& statement : ScriptStatements()) {
        if (IsDrop(statement)) present += tableExists(DroppedTable(statement)) ? 1 : 0;
    }
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
        {"t_mlg_kodan", 10},      {"t_mlg_rate_type", 21},   {"t_mlg_step_rate", 32},
        {"t_mlg_calc_taisyo", 3}, {"t_mlg_asayu_return", 2}, {"t_mlg_kangen_return", 2},
        {"t_mlg_calc_method", 2},
    };
    for (const auto& [table, count] : rows) {
        EXPECT_EQ(value("SELECT COUNT(*) FROM " + table).intValue(), count) << table;
    }
    engine::Variant abbr = value("SELECT MlgKodanAbbrName FROM t_mlg_kodan WHERE MlgKodanID = -1");
    EXPECT_EQ(abbr.vt(), engine::VT_BSTR);
    EXPECT_EQ(abbr.text(), "");
    EXPECT_DOUBLE_EQ(
        value("SELECT MlgDiscountRate FROM t_mlg_step_rate WHERE MlgStepRateID = 30").doubleValue(),
        6.9);
    EXPECT_DOUBLE_EQ(
        value("SELECT MlgDiscountRate FROM t_mlg_step_rate WHERE MlgStepRateID = 31").doubleValue(),
        13.8);
    EXPECT_EQ(value("SELECT COUNT(*) FROM t_kumiai WHERE MlgCardName <> 'ＥＴＣ法人カード' OR "
                    "MlgCardName IS NULL")
                  .intValue(),
              0);
    EXPECT_EQ(value("SELECT COUNT(*) FROM t_seikyu_data WHERE MlgCardSeikyuKingaku <> 0 OR "
                    "MlgCardSavingKingaku <> 0")
                  .intValue(),
              0);
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
        {"t_mlg_card", "UpdateDateTime", engine::adDate, 8,
         engine::adColFixed | engine::adColNullable},
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
            text +=
                ":" + k->Columns().Item(c)->Name() + ">" + k->Columns().Item(c)->RelatedColumn();
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
    EXPECT_EQ(indexes,
              (std::vector<std::string>{"fk_mlgcard_001", "fk_mlgcard_002", "idx_mlgcard_001",
                                        "idx_mlgcard_002", "idx_mlgcard_003", "idx_mlgcard_004",
                                        "PrimaryKey U P", "unq_mlgcard_001 U"}));
    auto comment = catalogTable("t_db_ver_comment");
    ASSERT_TRUE(comment);
    bool fk = false;
    for (long i = 0; i < comment->Keys().Count(); ++i) {
        auto k = comment->Keys().Item(i);
        if (k->Name() == "FK_VERCOMMENT_DBVERID" && k->Type() == engine::adKeyForeign &&
            k->RelatedTable() == "t_db_ver")
            fk = true;
    }
    EXPECT_TRUE(fk);
    auto method = catalogTable("t_kumi_mlg_calc_method");
    ASSERT_TRUE(method);
    EXPECT_EQ(method->Indexes().Item(0)->Name(), "idx_kumimlgccalcmethod_001");
    EXPECT_TRUE(method->Indexes().Item(0)->Unique());

    // The new relationships hold.
    EXPECT_EQ(refused("INSERT INTO t_mlg_rate (KumiID, MlgKodanID, MlgRateTypeID, MlgCalcTaisyoID, "
                      "CreateDateTime) "
                      "VALUES (-5, 1, 1, 1, now())")
                  .jetError(),
              3201);
    // A referenced table cannot be dropped any more.
    EXPECT_EQ(refused("DROP TABLE t_kumi;").jetError(), 3281);
}

TEST_F(UpdateScriptTest, SchemaListsSystemTablesFirstAndUserTablesByName) {
    auto rs = conn_->OpenSchema(engine::adSchemaTables);
    std::vector<std::string> system, user;
    for (; !rs->IsEOF(); rs->MoveNext()) {
        std::string type(rs->Collect("TABLE_TYPE").text());
        EXPECT_TRUE(user.empty() || type == "TABLE") << "system table after a user table";
        (type == "TABLE" ? user : system).emplace_back(rs->Collect("TABLE_NAME").text());
    }
    EXPECT_FALSE(system.empty());
    for (const auto& s : system) EXPECT_EQ(s.rfind("MSys", 0), 0u) << s;
    EXPECT_TRUE(std::is_sorted(user.begin(), user.end()));
}

}  // namespace
