// The mapping between Jet column types, the declared types of the SQLite
// tables that hold them and the variant tags of the values read back.
#include <cstdlib>
#include <string>

#include "engine/Internal.h"

namespace engine::detail {

// The storage class of a Jet type in a STRICT table, which makes SQLite
// itself refuse a value of the wrong kind.
std::string sqliteDeclType(const TypeInfo& type) {
    switch (type.adoType) {
        case adInteger:
        case adSmallInt:
        case adUnsignedTinyInt:
        case adBoolean:
            return "INTEGER";
        case adSingle:
        case adDouble:
        case adCurrency:
        case adDate:
            return "REAL";
        // A Decimal's 28 digits do not fit a double: its canonical text,
        // ordered by value through its collation (Decimal.h).
        case adNumeric:
            return "TEXT";
        case adVarBinary:
        case adLongVarBinary:
            return "BLOB";
        default:
            return "TEXT";
    }
}

bool typeFromDecl(const char* decl, int& adoType, long& size) {
    if (!decl) return false;
    std::string d = upperAscii(decl);
    std::string base = d.substr(0, d.find('('));
    long number = 0;
    if (auto open = d.find('('); open != std::string::npos)
        number = std::atol(d.c_str() + open + 1);
    struct Row {
        const char* decl;
        int type;
        long size;
    };
    static const Row rows[] = {
        {"INTEGER", adInteger, 4},
        {"SMALLINT", adSmallInt, 2},
        {"TINYINT", adUnsignedTinyInt, 1},
        {"SINGLE_REAL", adSingle, 4},
        {"DOUBLE", adDouble, 8},
        {"CURRENCY_REAL", adCurrency, 8},
        {"DATETIME_REAL", adDate, 8},
        {"YESNO_INT", adBoolean, 2},
        {"VARCHAR", adVarWChar, -1},
        {"LONGTEXT", adLongVarWChar, 0},
        {"TEXT", adLongVarWChar, 0},
        {"GUID_TEXT", adGUID, 16},
        {"VARBINARY_BLOB", adVarBinary, -1},
        {"LONGBINARY_BLOB", adLongVarBinary, 0},
        {"DECIMAL_REAL", adNumeric, -1},
    };
    for (const auto& r : rows) {
        if (base == r.decl) {
            adoType = r.type;
            size = r.size < 0 ? number : r.size;
            return true;
        }
    }
    return false;
}

std::uint16_t tagForAdoType(int adoType) {
    switch (adoType) {
        case adSmallInt:
            return VT_I2;
        case adInteger:
            return VT_I4;
        case adUnsignedTinyInt:
            return VT_UI1;
        case adSingle:
            return VT_R4;
        case adDouble:
            return VT_R8;
        case adCurrency:
            return VT_CY;
        case adDate:
            return VT_DATE;
        case adBoolean:
            return VT_BOOL;
        case adNumeric:
            return VT_DECIMAL;
        case adVarBinary:
        case adLongVarBinary:
            return VT_ARRAY | VT_UI1;
        default:
            return VT_BSTR;
    }
}

}  // namespace engine::detail
