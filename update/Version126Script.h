// The version 1.26 script: its statements live in one resource,
// update/version-1.26.sql, compiled into the program; this reads it into its
// blocks and says what each block waits for. The probes and gates that decide
// whether a block runs are the runner's; the texts are the resource's, passed
// to the engine exactly as written, tabs included.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/Engine.h"

namespace update {

// The whole resource as compiled in.
std::string_view ScriptResource();

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

// ---- [drop] ---------------------------------------------------------------

// One "DROP TABLE t;" of the drop block, run only when t exists.
struct DropStatement {
    std::string table;
    std::string text;
};

// The drops, in the order they run. Seventeen of the tables belong to the
// creation blocks, so a run that stopped part-way creates them afresh.
const std::vector<DropStatement>& DropStatements();

// ---- [column TABLE.COLUMN] ------------------------------------------------

inline constexpr std::string_view kKumiaiTable = "t_kumiai";
inline constexpr std::string_view kMlgCardNameColumn = "MlgCardName";

// The two columns of t_seikyu_data, added through the table-definition
// facility in this order.
inline constexpr std::string_view kSeikyuDataTable = "t_seikyu_data";
inline constexpr std::string_view kMlgCardSeikyuKingakuColumn = "MlgCardSeikyuKingaku";
inline constexpr std::string_view kMlgCardSavingKingakuColumn = "MlgCardSavingKingaku";

// The field description of either t_seikyu_data column.
engine::DaoFieldInfo SeikyuColumnFieldInfo(std::string_view column);

// The statements of the block "[column table.column]", run when the column
// is absent: t_kumiai's adds the column and gives it its first value;
// t_seikyu_data's give the value to a column the facility has just added.
const std::vector<std::string>& ColumnStatements(std::string_view table, std::string_view column);

// ---- [table NAME] ---------------------------------------------------------

// What a statement of a creation block waits for: a foreign key to t_kumi or
// t_sofu waits for that table's relationship count; everything else runs.
enum class StatementGate {
    Always,
    KumiRelationshipsAllow,
    SofuRelationshipsAllow,
};

struct ScriptStatement {
    std::string text;
    StatementGate gate = StatementGate::Always;
};

// One creation block: run whole, in one transaction, when `table` is absent;
// skipped whole when it exists.
struct CreationBlock {
    std::string table;
    std::vector<ScriptStatement> statements;
};

// The twenty blocks, in the order they run.
const std::vector<CreationBlock>& CreationBlocks();

// ---- [stamp] --------------------------------------------------------------

// The version stamp, run in one transaction: the new row of t_db_ver, the
// creation of t_db_ver_comment (run only when that table is absent) and its
// rows, one per update-content line.
const std::vector<std::string>& VersionStampStatements();

inline constexpr std::string_view kVersionCommentTable = "t_db_ver_comment";

// True for the stamp's statement that creates t_db_ver_comment.
bool CreatesVersionCommentTable(const std::string& statement);

}  // namespace update
