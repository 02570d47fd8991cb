#include "update/Version126Script.h"

#include <stdexcept>

namespace update {

namespace {

enum class ReferenceRows {
    Kodan,
    AsayuReturn,
    KangenReturn,
    CalcMethod,
    RateType,
    StepRate,
    CalcTaisyo
};

// Joins texts with a separator.
std::string Joined(const TextRow& values, std::string_view separator) {
    std::string text;
    for (std::size_t position = 0; position < values.size(); ++position) {
        if (position > 0) {
            text += separator;
        }
        text += values[position];
    }
    return text;
}

// "(" id "," "'" code "'" "," "'" name "'" "," "now()" ")": the rate-type and
// calculation-basis rows share this shape.
std::string CodeNameValues(const TextRow& row) {
    return "(" + row.at(0) + "," + "'" + row.at(1) + "'" + "," + "'" + row.at(2) + "'" + "," +
           "now()" + ")";
}

std::vector<std::string> ReferenceRowStatements(ReferenceRows rows) {
    std::vector<std::string> statements;
    switch (rows) {
        case ReferenceRows::Kodan:
            for (const KodanRow& row : KodanRows()) {
                statements.push_back(KodanInsert(row));
            }
            break;
        case ReferenceRows::AsayuReturn:
            statements = {
                "INSERT INTO t_mlg_asayu_return (MlgAsayuReturnID, MlgAsayuReturnCode, "
                "MlgAsayuReturnName, CreateDateTime) VALUES (1, '01', '平日朝夕割還元額を戻す', "
                "now());",
                "INSERT INTO t_mlg_asayu_return (MlgAsayuReturnID, MlgAsayuReturnCode, "
                "MlgAsayuReturnName, CreateDateTime) VALUES (2, '02', "
                "'平日朝夕割還元額を戻さない', "
                "now());",
            };
            break;
        case ReferenceRows::KangenReturn:
            statements = {
                "INSERT INTO t_mlg_kangen_return (MlgKangenReturnID, MlgKangenReturnCode, "
                "MlgKangenReturnName, CreateDateTime) VALUES (1, '01', 'マイレージ還元額を戻す', "
                "now());",
                "INSERT INTO t_mlg_kangen_return (MlgKangenReturnID, MlgKangenReturnCode, "
                "MlgKangenReturnName, CreateDateTime) VALUES (2, '02', "
                "'マイレージ還元額を戻さない', "
                "now());",
            };
            break;
        case ReferenceRows::CalcMethod:
            statements = {
                "INSERT INTO t_mlg_calc_method (MlgCalcMethodID, MlgCalcMethodCode, "
                "MlgCalcMethodName, CreateDateTime) VALUES (1, '01', '送付先毎に計算', now());",
                "INSERT INTO t_mlg_calc_method (MlgCalcMethodID, MlgCalcMethodCode, "
                "MlgCalcMethodName, CreateDateTime) VALUES (2, '02', 'カード毎に計算', now());",
            };
            break;
        case ReferenceRows::RateType:
            for (const TextRow& row : RateTypeRows()) {
                statements.push_back(RateTypeInsert(row));
            }
            break;
        case ReferenceRows::StepRate:
            for (const TextRow& row : StepRateRows()) {
                statements.push_back(StepRateInsert(row));
            }
            break;
        case ReferenceRows::CalcTaisyo:
            for (const TextRow& row : CalcTaisyoRows()) {
                statements.push_back(CalcTaisyoInsert(row));
            }
            break;
    }
    return statements;
}

// The pieces a creation block is written with.
struct BlockItem {
    std::vector<ScriptStatement> statements;
};
BlockItem Always(std::string text) {
    return {{{std::move(text), StatementGate::Always}}};
}
BlockItem IfKumiAllows(std::string text) {
    return {{{std::move(text), StatementGate::KumiRelationshipsAllow}}};
}
BlockItem IfSofuAllows(std::string text) {
    return {{{std::move(text), StatementGate::SofuRelationshipsAllow}}};
}
BlockItem Rows(ReferenceRows rows) {
    BlockItem item;
    for (std::string& text : ReferenceRowStatements(rows)) {
        item.statements.push_back({std::move(text), StatementGate::Always});
    }
    return item;
}

struct BlockSource {
    std::string table;
    std::vector<BlockItem> items;
};

std::vector<CreationBlock> BuildCreationBlocks() {
    const std::vector<BlockSource> sources = {
        {"t_mlg_kodan",
         {
             Always("CREATE TABLE t_mlg_kodan (MlgKodanID\t\t\tautoincrement(1, 1) PRIMARY "
                    "KEY,MlgKodanCode\t\tVARCHAR(003) NOT NULL,MlgKodanName\t\tVARCHAR(050) NOT "
                    "NULL,MlgKodanAbbrName\tVARCHAR(050) NOT NULL,CreateDateTime\t\tDATETIME NOT "
                    "NULL,UpdateDateTime\t\tDATETIME DEFAULT NULL);"),
             Rows(ReferenceRows::Kodan),
         }},
        {"t_mlg_card",
         {
             Always("CREATE TABLE t_mlg_card (MlgCardID\t\t\tautoincrement(1, 1) PRIMARY "
                    "KEY,KumiID\t\t\t\tINTEGER NOT NULL,SofuID\t\t\t\tINTEGER NOT "
                    "NULL,SofuMeisaiNameID\tINTEGER NOT NULL,SyaryoID\t\t\tINTEGER NOT NULL "
                    "DEFAULT -1,MlgCardNo\t\t\tVARCHAR(021) NOT NULL,UserName\t\t\tVARCHAR(050) "
                    "NOT NULL,UseStartMonth\t\tVARCHAR(006) NOT "
                    "NULL,MlgCardBikou\t\tTEXT,CreateDateTime\t\tDATETIME NOT "
                    "NULL,UpdateDateTime\t\tDATETIME DEFAULT NULL);"),
             Always("CREATE INDEX idx_mlgcard_001 ON t_mlg_card (KumiID);"),
             IfKumiAllows("ALTER TABLE t_mlg_card ADD CONSTRAINT fk_mlgcard_001 FOREIGN KEY "
                          "(KumiID) REFERENCES t_kumi (KumiID);"),
             Always("CREATE INDEX idx_mlgcard_002 ON t_mlg_card (SofuID);"),
             IfSofuAllows("ALTER TABLE t_mlg_card ADD CONSTRAINT fk_mlgcard_002 FOREIGN KEY "
                          "(SofuID) REFERENCES t_sofu (SofuID);"),
             Always("CREATE INDEX idx_mlgcard_003 ON t_mlg_card (SofuMeisaiNameID);"),
             Always("CREATE INDEX idx_mlgcard_004 ON t_mlg_card (SyaryoID);"),
             Always("CREATE UNIQUE INDEX unq_mlgcard_001 ON t_mlg_card (MlgCardNo);"),
         }},
        {"t_mlg_asayu_return",
         {
             Always("CREATE TABLE t_mlg_asayu_return (MlgAsayuReturnID\t\tautoincrement(1, 1) "
                    "PRIMARY KEY,MlgAsayuReturnCode\t\tVARCHAR(002) NOT "
                    "NULL,MlgAsayuReturnName\t\tVARCHAR(050) NOT NULL,CreateDateTime\t\t\tDATETIME "
                    "NOT NULL,UpdateDateTime\t\t\tDATETIME DEFAULT NULL);"),
             Rows(ReferenceRows::AsayuReturn),
         }},
        {"t_kumi_mlg_asayu_return",
         {
             Always("CREATE TABLE t_kumi_mlg_asayu_return (KumiMlgAsayuReturnID\tautoincrement(1, "
                    "1) PRIMARY KEY,MlgAsayuReturnID\t\tINTEGER NOT NULL,KumiID\t\t\t\t\tINTEGER "
                    "NOT NULL,CreateDateTime\t\t\tDATETIME NOT NULL,UpdateDateTime\t\t\tDATETIME "
                    "DEFAULT NULL);"),
             Always("CREATE UNIQUE INDEX idx_kumimlgasayureturn_001 ON t_kumi_mlg_asayu_return "
                    "(KumiID);"),
         }},
        {"t_mlg_kangen_return",
         {
             Always("CREATE TABLE t_mlg_kangen_return (MlgKangenReturnID\t\tautoincrement(1, 1) "
                    "PRIMARY KEY,MlgKangenReturnCode\tVARCHAR(002) NOT "
                    "NULL,MlgKangenReturnName\tVARCHAR(050) NOT NULL,CreateDateTime\t\t\tDATETIME "
                    "NOT NULL,UpdateDateTime\t\t\tDATETIME DEFAULT NULL);"),
             Rows(ReferenceRows::KangenReturn),
         }},
        {"t_kumi_mlg_kangen_return",
         {
             Always(
                 "CREATE TABLE t_kumi_mlg_kangen_return (KumiMlgKangenReturnID\tautoincrement(1, "
                 "1) PRIMARY KEY,MlgKangenReturnID\t\tINTEGER NOT NULL,KumiID\t\t\t\t\tINTEGER NOT "
                 "NULL,CreateDateTime\t\t\tDATETIME NOT NULL,UpdateDateTime\t\t\tDATETIME DEFAULT "
                 "NULL);"),
             Always("CREATE UNIQUE INDEX idx_kumimlgkangenreturn_001 ON t_kumi_mlg_kangen_return "
                    "(KumiID);"),
         }},
        {"t_mlg_calc_method",
         {
             Always("CREATE TABLE t_mlg_calc_method (MlgCalcMethodID\t\tautoincrement(1, 1) "
                    "PRIMARY KEY,MlgCalcMethodCode\t\tVARCHAR(002) NOT "
                    "NULL,MlgCalcMethodName\t\tVARCHAR(050) NOT NULL,CreateDateTime\t\t\tDATETIME "
                    "NOT NULL,UpdateDateTime\t\t\tDATETIME DEFAULT NULL);"),
             Rows(ReferenceRows::CalcMethod),
         }},
        {"t_kumi_mlg_calc_method",
         {
             Always("CREATE TABLE t_kumi_mlg_calc_method (KumiMlgCalcMethodID\tautoincrement(1, 1) "
                    "PRIMARY KEY,MlgCalcMethodID\t\tINTEGER NOT NULL,KumiID\t\t\t\t\tINTEGER NOT "
                    "NULL,CreateDateTime\t\t\tDATETIME NOT NULL,UpdateDateTime\t\t\tDATETIME "
                    "DEFAULT NULL);"),
             Always("CREATE UNIQUE INDEX idx_kumimlgccalcmethod_001 ON t_kumi_mlg_calc_method "
                    "(KumiID);"),
         }},
        {"t_mlg_rate_type",
         {
             Always("CREATE TABLE t_mlg_rate_type (MlgRateTypeID\t\tautoincrement(1, 1) PRIMARY "
                    "KEY,MlgRateTypeCode\tVARCHAR(003) NOT NULL,MlgRateTypeName\tVARCHAR(050) NOT "
                    "NULL,CreateDateTime\t\tDATETIME NOT NULL,UpdateDateTime\t\tDATETIME DEFAULT "
                    "NULL );"),
             Always(
                 "CREATE UNIQUE INDEX idx_mlgratetype_001 ON t_mlg_rate_type ( MlgRateTypeName );"),
             Rows(ReferenceRows::RateType),
         }},
        {"t_mlg_step_rate",
         {
             Always("CREATE TABLE t_mlg_step_rate (MlgStepRateID\t\tautoincrement(1, 1) PRIMARY "
                    "KEY,MlgRateTypeID\t\tINTEGER NOT NULL,LowerKingaku\t\tINTEGER NOT "
                    "NULL,UpperKingaku\t\tINTEGER NOT NULL,MlgFeeRate\t\t\tDOUBLE NOT NULL DEFAULT "
                    "0.0,MlgDiscountRate\tDOUBLE NOT NULL DEFAULT 0.0,CreateDateTime\t\tDATETIME "
                    "NOT NULL,UpdateDateTime\t\tDATETIME DEFAULT NULL );"),
             Always("CREATE UNIQUE INDEX idx_mlgsteprate_001 ON t_mlg_step_rate ( MlgRateTypeID, "
                    "LowerKingaku );"),
             Always("CREATE UNIQUE INDEX idx_mlgsteprate_002 ON t_mlg_step_rate ( MlgRateTypeID, "
                    "UpperKingaku );"),
             Rows(ReferenceRows::StepRate),
         }},
        {"t_mlg_calc_taisyo",
         {
             Always("CREATE TABLE t_mlg_calc_taisyo (MlgCalcTaisyoID\tautoincrement(1, 1) PRIMARY "
                    "KEY,MlgCalcTaisyoCode\tVARCHAR(003) NOT NULL,MlgCalcTaisyoName\tVARCHAR(050) "
                    "NOT NULL,CreateDateTime\t\tDATETIME NOT NULL,UpdateDateTime\t\tDATETIME "
                    "DEFAULT NULL );"),
             Always("CREATE UNIQUE INDEX idx_mlgcalctaisyo_001 ON t_mlg_calc_taisyo ( "
                    "MlgCalcTaisyoName );"),
             Rows(ReferenceRows::CalcTaisyo),
         }},
        {"t_mlg_rate",
         {
             Always("CREATE TABLE t_mlg_rate (MlgRateID\t\t\tautoincrement(1, 1) PRIMARY "
                    "KEY,KumiID\t\t\t\tINTEGER NOT NULL,MlgKodanID\t\t\tINTEGER NOT "
                    "NULL,MlgRateTypeID\t\tINTEGER NOT NULL,MlgCalcTaisyoID\tINTEGER NOT "
                    "NULL,CreateDateTime\t\tDATETIME NOT NULL,UpdateDateTime\t\tDATETIME DEFAULT "
                    "NULL );"),
             Always("CREATE UNIQUE INDEX idx_mlgrate_001 ON t_mlg_rate ( KumiID, MlgKodanID );"),
             IfKumiAllows("ALTER TABLE t_mlg_rate ADD CONSTRAINT fk_mlgrate_001 FOREIGN KEY "
                          "(KumiID) REFERENCES t_kumi (KumiID);"),
         }},
        {"t_mlg_saving_rate",
         {
             Always("CREATE TABLE t_mlg_saving_rate (MlgSavingRateID\tautoincrement(1, 1) PRIMARY "
                    "KEY,KumiID\t\t\t\tINTEGER NOT NULL,StartMonth\t\t\tVARCHAR(006) NOT "
                    "NULL,EndMonth\t\t\tVARCHAR(006) NOT NULL,MlgKodanID\t\t\tINTEGER NOT "
                    "NULL,MlgCalcTaisyoID\tINTEGER NOT NULL,MlgSavingRate\t\tDOUBLE NOT NULL "
                    "DEFAULT 0.0,CreateDateTime\t\tDATETIME NOT NULL,UpdateDateTime\t\tDATETIME "
                    "DEFAULT NULL );"),
             Always("CREATE UNIQUE INDEX idx_mlgsavingrate_001 ON t_mlg_saving_rate ( KumiID, "
                    "MlgKodanID );"),
         }},
        {"t_mlg_toll",
         {
             Always("CREATE TABLE t_mlg_toll (MlgTollID\t\t\tautoincrement(1,1) PRIMARY "
                    "KEY,MlgKodanID\t\t\tINTEGER NOT NULL,MlgCardID\t\t\tINTEGER NOT "
                    "NULL,MlgCardNo\t\t\tVARCHAR(016) NOT NULL,SeikyuMonth\t\tVARCHAR(006) NOT "
                    "NULL,TsukoDateTime\t\tDATETIME,SyasyuCode\t\t\tVARCHAR(002),"
                    "SyaryoNo\t\t\tVARCHAR(004),InnGateName\t\tVARCHAR(020),OutGateName\t\tVARCHAR("
                    "020),RiyouKingaku\t\tINTEGER DEFAULT 0,KangenKingaku\t\tINTEGER DEFAULT "
                    "0,KonoKingaku\t\tINTEGER DEFAULT 0,WaribikiKubun\t\tVARCHAR(050) );"),
             Always("CREATE INDEX idx_mlgtoll_001 ON t_mlg_toll ( SeikyuMonth );"),
             Always("CREATE INDEX idx_mlgtoll_002 ON t_mlg_toll ( MlgKodanID );"),
             Always("CREATE INDEX idx_mlgtoll_003 ON t_mlg_toll ( MlgCardID );"),
             Always("CREATE INDEX idx_mlgtoll_004 ON t_mlg_toll ( MlgCardNo );"),
         }},
        {"t_mlg_card_total",
         {
             Always("CREATE TABLE t_mlg_card_total (MlgCardTotalID\t\tautoincrement(1,1) PRIMARY "
                    "KEY,SeikyuMonth\t\tVARCHAR(006) NOT NULL,MlgKodanID\t\t\tINTEGER NOT "
                    "NULL,MlgKodanCode\t\tVARCHAR(002),MlgCardID\t\t\tINTEGER NOT "
                    "NULL,MlgCardNo\t\t\tVARCHAR(016) NOT NULL,RiyouKingaku\t\tINTEGER DEFAULT "
                    "0,KangenKingaku\t\tINTEGER DEFAULT 0,KonoKingaku\t\tINTEGER DEFAULT "
                    "0,PlusKingaku\t\tINTEGER DEFAULT 0,CreateDateTime\t\tDATETIME NOT "
                    "NULL,UpdateDateTime\t\tDATETIME DEFAULT NULL );"),
             Always("CREATE INDEX idx_mlgcardtotal_001 ON t_mlg_card_total ( SeikyuMonth );"),
             Always("CREATE INDEX idx_mlgcardtotal_002 ON t_mlg_card_total ( MlgKodanID );"),
             Always("CREATE INDEX idx_mlgcardtotal_003 ON t_mlg_card_total ( MlgCardID );"),
             Always("CREATE INDEX idx_mlgcardtotal_004 ON t_mlg_card_total ( MlgCardNo );"),
         }},
        {"t_mlg_card_seikyu",
         {
             Always(
                 "CREATE TABLE t_mlg_card_seikyu (MlgCardSeikyuID\tautoincrement(1,1) PRIMARY "
                 "KEY,MlgCardID\t\t\tINTEGER NOT NULL,SeikyuMonth\t\tVARCHAR(006) NOT "
                 "NULL,MlgKodanID\t\t\tINTEGER NOT NULL,RiyouKingaku\t\tINTEGER NOT "
                 "NULL,AsayuKingaku\t\tINTEGER NOT NULL DEFAULT 0,MlgKangenKingaku\tINTEGER NOT "
                 "NULL DEFAULT 0,TaisyoKingaku\t\tINTEGER NOT NULL DEFAULT 0,MlgFee\t\t\t\tINTEGER "
                 "NOT NULL DEFAULT 0,MlgDiscount\t\tINTEGER NOT NULL DEFAULT "
                 "0,SeikyuKingaku\t\tINTEGER NOT NULL DEFAULT 0,CreateDateTime\t\tDATETIME NOT "
                 "NULL,UpdateDateTime\t\tDATETIME DEFAULT NULL );"),
             Always("CREATE INDEX idx_mlgcardseikyu_001 ON t_mlg_card_seikyu (MlgCardID);"),
             Always("CREATE INDEX idx_mlgcardseikyu_002 ON t_mlg_card_seikyu (SeikyuMonth);"),
             Always("CREATE INDEX idx_mlgcardseikyu_003 ON t_mlg_card_seikyu (MlgKodanID);"),
             Always("CREATE UNIQUE INDEX unq_mlgcardseikyu_001 ON t_mlg_card_seikyu (MlgCardID, "
                    "SeikyuMonth, MlgKodanID);"),
         }},
        {"t_mlg_sofu_seikyu",
         {
             Always("CREATE TABLE t_mlg_sofu_seikyu (MlgSofuSeikyuID\tautoincrement(1,1) PRIMARY "
                    "KEY,SofuID\t\t\t\tINTEGER NOT NULL,SeikyuMonth\t\tVARCHAR(006) NOT "
                    "NULL,MlgKodanID\t\t\tINTEGER NOT NULL,RiyouKingaku\t\tINTEGER NOT "
                    "NULL,AsayuKingaku\t\tINTEGER NOT NULL,MlgKangenKingaku\tINTEGER NOT "
                    "NULL,TaisyoKingaku\t\tINTEGER NOT NULL,MlgFee\t\t\t\tINTEGER NOT NULL DEFAULT "
                    "0,MlgDiscount\t\tINTEGER NOT NULL DEFAULT 0,SeikyuKingaku\t\tINTEGER NOT NULL "
                    "DEFAULT 0,CreateDateTime\t\tDATETIME NOT NULL,UpdateDateTime\t\tDATETIME "
                    "DEFAULT NULL );"),
             Always("CREATE INDEX idx_mlgsofuseikyu_001 ON t_mlg_sofu_seikyu (SofuID);"),
             IfSofuAllows("ALTER TABLE t_mlg_sofu_seikyu ADD CONSTRAINT fk_mlgsofuseikyu_001 "
                          "FOREIGN KEY (SofuID) REFERENCES t_sofu (SofuID);"),
             Always("CREATE INDEX idx_mlgsofuseikyu_002 ON t_mlg_sofu_seikyu (SeikyuMonth);"),
             Always("CREATE INDEX idx_mlgsofuseikyu_003 ON t_mlg_sofu_seikyu (MlgKodanID);"),
             Always("CREATE UNIQUE INDEX unq_mlgsofuseikyu_001 ON t_mlg_sofu_seikyu (SofuID, "
                    "SeikyuMonth, MlgKodanID);"),
         }},
        {"t_mlg_sofu_saving",
         {
             Always(
                 "CREATE TABLE t_mlg_sofu_saving (MlgSofuSavingID\t\tautoincrement(1,1) PRIMARY "
                 "KEY,SofuID\t\t\t\t\tINTEGER NOT NULL,SeikyuMonth\t\t\tVARCHAR(006) NOT "
                 "NULL,LastMonthKingaku\t\tINTEGER NOT NULL DEFAULT 0,TaisyoKingaku\t\t\tINTEGER "
                 "NOT NULL,SavingKingaku\t\t\tINTEGER NOT NULL DEFAULT 0,SavingHenkin\t\t\tINTEGER "
                 "NOT NULL DEFAULT 0,TotalSavingKingaku\t\tINTEGER NOT NULL DEFAULT "
                 "0,SavingHenkinReason\t\tVARCHAR(255),CreateDateTime\t\t\tDATETIME NOT "
                 "NULL,UpdateDateTime\t\t\tDATETIME DEFAULT NULL );"),
             Always("CREATE INDEX idx_mlgsofusaving_001 ON t_mlg_sofu_saving (SofuID);"),
             Always("CREATE INDEX idx_mlgsofusaving_002 ON t_mlg_sofu_saving (SeikyuMonth);"),
             Always("CREATE UNIQUE INDEX unq_mlgsofusaving_001 ON t_mlg_sofu_saving (SofuID, "
                    "SeikyuMonth);"),
         }},
        {"t_mlg_own_card_seikyu",
         {
             Always("CREATE TABLE t_mlg_own_card_seikyu (MlgOwnCardSeikyuID\tautoincrement(1,1) "
                    "PRIMARY KEY,MlgCardID\t\t\tINTEGER NOT NULL,SeikyuMonth\t\tVARCHAR(006) NOT "
                    "NULL,MlgKodanID\t\t\tINTEGER NOT NULL,AsayuKingaku\t\tINTEGER NOT "
                    "NULL,TaisyoKingaku\t\tINTEGER NOT NULL,CreateDateTime\t\tDATETIME NOT "
                    "NULL,UpdateDateTime\t\tDATETIME DEFAULT NULL );"),
             Always("CREATE INDEX idx_mlgownuscrdsky_001 ON t_mlg_own_card_seikyu (MlgCardID);"),
             Always("CREATE INDEX idx_mlgownuscrdsky_002 ON t_mlg_own_card_seikyu (SeikyuMonth);"),
             Always("CREATE INDEX idx_mlgownuscrdsky_003 ON t_mlg_own_card_seikyu (MlgKodanID);"),
             Always("CREATE UNIQUE INDEX unq_mlgownuscrdsky_001 ON t_mlg_own_card_seikyu "
                    "(MlgCardID, SeikyuMonth, MlgKodanID);"),
         }},
        {"t_cover_uchiwake",
         {
             Always("CREATE TABLE t_cover_uchiwake (CoverUchiwakeID\t\tautoincrement(1, 1) PRIMARY "
                    "KEY, SofuID\t\t\t\t\tINTEGER NOT NULL,SeikyuMonth\t\t\tVARCHAR(006) NOT "
                    "NULL,PrintTypeID\t\t\tINTEGER NOT NULL,CoverUchiwakeName\t\tVARCHAR(096) NOT "
                    "NULL,RiyouKingaku\t\t\tINTEGER NOT NULL DEFAULT 0,AsayuKingaku\t\t\tINTEGER "
                    "NOT NULL DEFAULT 0,MlgKangenKingaku\t\tINTEGER NOT NULL DEFAULT "
                    "0,TaisyoKingaku\t\t\tINTEGER NOT NULL DEFAULT 0,SyaryoTani\t\t\t\tINTEGER NOT "
                    "NULL DEFAULT 0,KeiyakusyaTani\t\t\tINTEGER NOT NULL DEFAULT "
                    "0,SeikyuDiscount\t\t\tINTEGER NOT NULL DEFAULT 0,SeikyuFee\t\t\t\tINTEGER NOT "
                    "NULL DEFAULT 0,SeikyuOther\t\t\tINTEGER NOT NULL DEFAULT "
                    "0,SeikyuKingaku\t\t\tINTEGER NOT NULL DEFAULT 0,SeikyuBikou\t\t\tVARCHAR(096) "
                    "NOT NULL,CreateDateTime\t\t\tDATETIME NOT NULL,UpdateDateTime\t\t\tDATETIME "
                    "DEFAULT NULL );"),
             Always("CREATE INDEX idx_coveruchiwake_001 ON t_cover_uchiwake (SofuID);"),
             Always("CREATE INDEX idx_coveruchiwake_002 ON t_cover_uchiwake (SeikyuMonth);"),
             Always("CREATE INDEX idx_coveruchiwake_003 ON t_cover_uchiwake (PrintTypeID);"),
         }},
    };
    std::vector<CreationBlock> blocks;
    for (const BlockSource& source : sources) {
        CreationBlock block{source.table, {}};
        for (const BlockItem& item : source.items) {
            block.statements.insert(block.statements.end(), item.statements.begin(),
                                    item.statements.end());
        }
        blocks.push_back(std::move(block));
    }
    return blocks;
}

}  // namespace

const std::vector<std::string>& DropList() {
    static const std::vector<std::string> tables = {
        "t_adjustment_kingaku",
        "t_asayu_return",
        "t_read_tsuko_data",
        "t_card_history",
        "t_seikyu_card",
        "t_card",
        "t_mileage_registration_error",
        "t_mileage_rate_type",
        "t_mileage_kodan",
        "t_mileage_card",
        "t_mileage_card_status",
        "t_mileage_expense",
        "t_mileage",
        "t_mileage_status",
        "t_mlg_own_card_seikyu",
        "t_mlg_sofu_saving",
        "t_mlg_seikyu_card",
        "t_mlg_sofu_seikyu",
        "t_mlg_card_seikyu",
        "t_mlg_card_total",
        "t_mlg_toll",
        "t_kumi_mlg_kangen_return",
        "t_mlg_kangen_return",
        "t_kumi_mlg_asayu_return",
        "t_mlg_asayu_return",
        "t_mlg_saving_rate",
        "t_mlg_saving_taisyo",
        "t_mlg_rate",
        "t_mlg_calc_taisyo",
        "t_mlg_card",
        "t_mlg_kodan",
        "t_mlg_step_rate",
        "t_mlg_rate_type",
    };
    return tables;
}

const std::vector<CreationBlock>& CreationBlocks() {
    static const std::vector<CreationBlock> blocks = BuildCreationBlocks();
    return blocks;
}

engine::DaoFieldInfo SeikyuColumnFieldInfo(std::string_view column) {
    engine::DaoFieldInfo info;
    info.name = std::string(column);
    info.type = engine::dbLong;
    info.size = 4;
    info.attributes = engine::dbFixedField;
    info.ordinalPosition = 88;
    info.required = true;
    info.allowZeroLength = false;
    info.defaultValue = "0";
    return info;
}

std::string SeikyuColumnInitialValue(std::string_view column) {
    return "UPDATE t_seikyu_data SET " + std::string(column) + " = 0;";
}

const std::vector<KodanRow>& KodanRows() {
    static const std::vector<KodanRow> rows = {
        {-1, "00", "未区分", ""},
        {1, "01", "東/中/西日本高速道路株式会社", "NEXCO"},
        {2, "04", "本四高速道路株式会社", "本四高速"},
        {3, "09", "首都高速道路株式会社", "首都高速"},
        {4, "05", "阪神高速道路株式会社", "阪神高速"},
        {5, "06", "名古屋高速道路公社", "名古屋高速"},
        {6, "07", "愛知県道路公社", "愛知県公社"},
        {7, "08", "福北高速道路公社", "福北高速"},
        {8, "10", "神戸市道路公社", "神戸市公社"},
        {9, "11", "広島高速道路公社", "広島高速"},
    };
    return rows;
}

const std::vector<TextRow>& RateTypeRows() {
    static const std::vector<TextRow> rows = {
        {"1", "01", "割引・管理料なし"},
        {"2", "02", "1.0%割引"},
        {"3", "03", "2.0%割引"},
        {"4", "04", "3.0%割引"},
        {"5", "05", "4.0%割引"},
        {"6", "06", "5.0%割引"},
        {"7", "07", "6.0%割引"},
        {"8", "08", "7.0%割引"},
        {"9", "09", "8.0%割引"},
        {"10", "10", "1.0%管理料"},
        {"11", "11", "2.0%管理料"},
        {"12", "12", "3.0%管理料"},
        {"13", "13", "4.0%管理料"},
        {"14", "14", "5.0%管理料"},
        {"15", "15", "6.0%管理料"},
        {"16", "16", "7.0%管理料"},
        {"17", "17", "8.0%管理料"},
        {"18", "18", "コーポ割引（20%/30%/40%)"},
        {"19", "19", "コーポ割引（10%/20%/30%)"},
        {"20", "20", "コーポ割引（10%/15%/20%)"},
        {"21", "21", "コーポ割引（6.9%/13.8%)"},
    };
    return rows;
}

const std::vector<TextRow>& StepRateRows() {
    static const std::vector<TextRow> rows = {
        {"-1", "-1", "0", "9999999", "0", "0"},     {"1", "1", "0", "9999999", "0", "0"},
        {"2", "2", "0", "9999999", "0", "1"},       {"3", "3", "0", "9999999", "0", "2"},
        {"4", "4", "0", "9999999", "0", "3"},       {"5", "5", "0", "9999999", "0", "4"},
        {"6", "6", "0", "9999999", "0", "5"},       {"7", "7", "0", "9999999", "0", "6"},
        {"8", "8", "0", "9999999", "0", "7"},       {"9", "9", "0", "9999999", "0", "8"},
        {"10", "10", "0", "9999999", "1", "0"},     {"11", "11", "0", "9999999", "2", "0"},
        {"12", "12", "0", "9999999", "3", "0"},     {"13", "13", "0", "9999999", "4", "0"},
        {"14", "14", "0", "9999999", "5", "0"},     {"15", "15", "0", "9999999", "6", "0"},
        {"16", "16", "0", "9999999", "7", "0"},     {"17", "17", "0", "9999999", "8", "0"},
        {"18", "18", "0", "5000", "0", "0"},        {"19", "18", "5000", "10000", "0", "20"},
        {"20", "18", "10000", "30000", "0", "30"},  {"21", "18", "30000", "9999999", "0", "40"},
        {"22", "19", "0", "5000", "0", "0"},        {"23", "19", "5000", "10000", "0", "10"},
        {"24", "19", "10000", "30000", "0", "20"},  {"25", "19", "30000", "9999999", "0", "30"},
        {"26", "20", "0", "5000", "0", "0"},        {"27", "20", "5000", "10000", "0", "10"},
        {"28", "20", "10000", "30000", "0", "15"},  {"29", "20", "30000", "9999999", "0", "20"},
        {"30", "21", "10000", "50000", "0", "6.9"}, {"31", "21", "50000", "9999999", "0", "13.8"},
    };
    return rows;
}

const std::vector<TextRow>& CalcTaisyoRows() {
    static const std::vector<TextRow> rows = {
        {"1", "01", "利用金額"},
        {"2", "02", "朝夕割引後"},
        {"3", "03", "後納金額"},
    };
    return rows;
}

std::string KodanInsert(const KodanRow& row) {
    return "INSERT INTO t_mlg_kodan (MlgKodanID,MlgKodanCode,MlgKodanName,MlgKodanAbbrName,"
           "CreateDateTime) VALUES (" +
           std::to_string(row.MlgKodanID) + ",'" + row.MlgKodanCode + "','" + row.MlgKodanName +
           "','" + row.MlgKodanAbbrName + "',now());";
}

std::string RateTypeInsert(const TextRow& row) {
    return "INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, "
           "CreateDateTime) VALUES " +
           CodeNameValues(row);
}

std::string StepRateInsert(const TextRow& row) {
    if (row.size() != 6) {
        throw std::invalid_argument("a step-rate row has six values, not " +
                                    std::to_string(row.size()));
    }
    return "INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, "
           "UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES " +
           std::string("(") + Joined(row, ",") + "," + "now()" + ")";
}

std::string CalcTaisyoInsert(const TextRow& row) {
    return "INSERT INTO t_mlg_calc_taisyo(MlgCalcTaisyoID, MlgCalcTaisyoCode, "
           "MlgCalcTaisyoName, CreateDateTime) VALUES " +
           CodeNameValues(row);
}

const std::vector<std::string>& UpdateContents126() {
    static const std::vector<std::string> lines = {"１．マイレージデータ追加"};
    return lines;
}

namespace {
constexpr std::string_view kVersionId = "26";
constexpr std::string_view kVersionCode = "1.26";
constexpr std::string_view kPatchDate = "2020/05/24";
}  // namespace

std::string VersionRowStatement() {
    return "INSERT INTO t_db_ver (DBVerID,DBVerCode,DBPatchDate,UpdateDateTime ) VALUES (" +
           std::string(kVersionId) + "," + std::string(kVersionCode) + ",#" +
           std::string(kPatchDate) + "#,now() );";
}

std::string VersionCommentStatement(const std::string& line) {
    return "INSERT INTO t_db_ver_comment (DBVerID,DBVerComment,UpdateDateTime ) VALUES (" +
           std::string(kVersionId) + ",'" + line + "',now() );";
}

}  // namespace update
