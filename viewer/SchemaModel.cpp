#include "viewer/SchemaModel.h"

#include <algorithm>
#include <array>
#include <utility>

namespace viewer {

void CDataADOXTable::ClearTable() {
    columns.clear();
    indexes.clear();
    foreignKeys.clear();
}

void ClearCatalog(TableMap& tableMap) {
    for (auto& [name, table] : tableMap) {
        table->ClearTable();
    }
    tableMap.clear();
}

std::string_view TypeNameOf(int adoType) {
    // Some rows give a word of the SQL dialect, the others the ADO constant's
    // own name; 8 (adBSTR) deliberately shares the text of 135.
    static constexpr std::array<std::pair<int, std::string_view>, 31> kTypeNames = {{
        {0, "adEmpty"},
        {2, "adSmallInt"},
        {3, "INTEGER"},
        {4, "adSingle"},
        {5, "DOUBLE"},
        {7, "DATE"},
        {8, "adDBTimeStamp"},
        {9, "adIDispatch"},
        {10, "adError"},
        {11, "adBoolean"},
        {12, "adVariant"},
        {13, "adIUnknown"},
        {14, "adDecimal"},
        {16, "adTinyInt"},
        {17, "adUnsignedTinyInt"},
        {18, "adUnsignedSmallInt"},
        {19, "adUnsignedInt"},
        {20, "adBigInt"},
        {21, "adUnsignedBigInt"},
        {72, "adGUID"},
        {128, "adBinary"},
        {129, "adChar"},
        {130, "adWChar"},
        {131, "adNumeric"},
        {132, "adUserDefined"},
        {133, "DATETIME"},
        {134, "adDBTime"},
        {135, "adDBTimeStamp"},
        {200, "adVarChar"},
        {202, "VARCHAR"},
        {203, "adLongVarWChar"},
    }};
    const auto found = std::find_if(kTypeNames.begin(), kTypeNames.end(),
                                    [adoType](const auto& row) { return row.first == adoType; });
    return found == kTypeNames.end() ? std::string_view() : found->second;
}

const CDataADOXTable* FindTable(const TableMap& tableMap, const std::string& name) {
    const auto found = tableMap.find(name);
    return found == tableMap.end() ? nullptr : found->second.get();
}

}  // namespace viewer
