// The version 1.26 script as data: the tables dropped first, the columns
// added to existing tables, the twenty creation blocks with their indexes,
// foreign keys and reference rows, and the version stamp. Every statement
// text here is part of the database format the host application expects and
// is passed to the engine exactly as written, tabs included.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Engine.h"

namespace update {

// Tables dropped, when present, before anything is created, in this order.
// Seventeen of them belong to the creation blocks, so a run that stopped
// part-way creates them afresh.
const std::vector<std::string>& DropList();

// The tables whose relationships decide whether a foreign key may point at
// them, in the order the count scan walks them.
inline constexpr std::string_view kKumiTable = "t_kumi";
inline constexpr std::string_view kSofuTable = "t_sofu";
inline constexpr std::string_view kCprtCardTable = "t_cprt_card";

// A table may take one more relationship while its count plus 3 stays below
// 32 (the file format's limit of 32 indexes per table, with room for the
// index that backs the new key).
inline bool ForeignKeyAllowed(int relationshipCount) {
    return relationshipCount + 3 < 32;
}

// What a statement of a creation block waits for.
enum class StatementGate {
    Always,
    KumiRelationshipsAllow,  // a foreign key to t_kumi
    SofuRelationshipsAllow,  // a foreign key to t_sofu
};

struct ScriptStatement {
    std::string text;
    StatementGate gate = StatementGate::Always;
};

// One creation block: run whole when `table` is absent, skipped whole when
// it exists. Its reference rows are already turned into statements.
struct CreationBlock {
    std::string table;
    std::vector<ScriptStatement> statements;
};

// The twenty blocks, in the order they run.
const std::vector<CreationBlock>& CreationBlocks();

// ---- Columns added to existing tables -----------------------------------

inline constexpr std::string_view kKumiaiTable = "t_kumiai";
inline constexpr std::string_view kMlgCardNameColumn = "MlgCardName";
inline constexpr std::string_view kAddMlgCardNameStatement =
    "ALTER TABLE t_kumiai ADD COLUMN MlgCardName VARCHAR(050);";
inline constexpr std::string_view kMlgCardNameInitialValue =
    "UPDATE t_kumiai SET MlgCardName ='ＥＴＣ法人カード';";

// The two columns of t_seikyu_data, added through the table-definition
// facility in this order.
inline constexpr std::string_view kSeikyuDataTable = "t_seikyu_data";
inline constexpr std::string_view kMlgCardSeikyuKingakuColumn = "MlgCardSeikyuKingaku";
inline constexpr std::string_view kMlgCardSavingKingakuColumn = "MlgCardSavingKingaku";

// The field description of either t_seikyu_data column.
engine::DaoFieldInfo SeikyuColumnFieldInfo(std::string_view column);

// "UPDATE t_seikyu_data SET <column> = 0;"
std::string SeikyuColumnInitialValue(std::string_view column);

// ---- Reference rows -----------------------------------------------------

struct KodanRow {
    std::int32_t MlgKodanID;
    std::string MlgKodanCode;
    std::string MlgKodanName;
    std::string MlgKodanAbbrName;
};

// Rows whose every value, numbers included, is kept as the text written
// into the statement.
using TextRow = std::vector<std::string>;

const std::vector<KodanRow>& KodanRows();
const std::vector<TextRow>& RateTypeRows();  // MlgRateTypeID, Code, Name
const std::vector<TextRow>& StepRateRows();  // ID, RateTypeID, Lower, Upper, FeeRate, DiscountRate
const std::vector<TextRow>& CalcTaisyoRows();  // MlgCalcTaisyoID, Code, Name

std::string KodanInsert(const KodanRow& row);
std::string RateTypeInsert(const TextRow& row);
std::string StepRateInsert(const TextRow& row);
std::string CalcTaisyoInsert(const TextRow& row);

// ---- Version stamp ------------------------------------------------------

// The update-content lines of version 1.26, as the main window lists them.
const std::vector<std::string>& UpdateContents126();

inline constexpr std::string_view kVersionCommentTable = "t_db_ver_comment";
inline constexpr std::string_view kCreateVersionCommentTable =
    "CREATE TABLE t_db_ver_comment (DBVerCommentID\t\tautoincrement(1, 1) PRIMARY KEY,DBVerID\t\t\t"
    "INTEGER NOT NULL CONSTRAINT FK_VERCOMMENT_DBVERID REFERENCES t_db_ver "
    "(DBVerID),DBVerComment\t\t"
    "VARCHAR(255),UpdateDateTime\t\tDATETIME );";

// The new row of t_db_ver.
std::string VersionRowStatement();
// One row of t_db_ver_comment for one update-content line.
std::string VersionCommentStatement(const std::string& line);

}  // namespace update
