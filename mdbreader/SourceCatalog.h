// What a genuine Access file holds besides its rows, as the reader program
// hands it to the import: its tables with their columns, indexes and
// relationships as Jet defined them, and the objects that are not tables.
// Plain data, shared by both sides of the pipe; nothing of libmdb or of the
// engine shows here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace genuine {

// Jet's field types, as the file records them.
enum class FieldType {
    kBoolean,
    kByte,
    kInteger,
    kLong,
    kCurrency,
    kSingle,
    kDouble,
    kDateTime,
    kBinary,
    kText,
    kOle,
    kMemo,
    kGuid,
    kDecimal,
    kComplex,  // attachment or multi-value field
    kUnknown,
};

struct SourceColumn {
    std::string name;
    FieldType type = FieldType::kText;
    int rawType = 0;    // the file's type number, for messages
    long size = 0;      // characters for text, bytes for binary
    int precision = 0;  // decimal
    int scale = 0;      // decimal
    bool autoNumber = false;
    bool autoGuid = false;
    bool required = false;
    bool allowZeroLength = true;
    std::optional<std::string> defaultValue;  // as Jet holds it
    std::optional<std::string> description;
    std::optional<std::string> expression;  // a calculated field's
};

struct SourceIndexColumn {
    std::string name;
    bool descending = false;
};

struct SourceIndex {
    std::string name;
    bool primaryKey = false;
    bool unique = false;
    bool ignoreNulls = false;
    bool required = false;
    std::vector<SourceIndexColumn> columns;
};

struct SourceTable {
    std::string name;
    std::optional<std::string> description;
    std::vector<SourceColumn> columns;  // in the order Jet lists them
    std::vector<SourceIndex> indexes;   // without the ones relationships bring
    std::uint64_t rowCount = 0;         // as the table definition records it
};

struct SourceRelationship {
    std::string name;
    std::string table;  // the many side, holding the foreign key
    std::vector<std::string> columns;
    std::string relatedTable;  // the one side
    std::vector<std::string> relatedColumns;
    bool enforced = true;
    bool cascadeUpdate = false;
    bool cascadeDelete = false;
    bool cascadeSetNull = false;
};

// Something of the source that is not a user table: a saved query, a linked
// table, a form, a report, a macro or a module.
struct SourceObject {
    std::string kind;
    std::string name;
};

// Everything the reader reads before the first row.
struct SourceCatalog {
    std::string generation;  // "Jet 3", "Jet 4" or "ACE"
    std::vector<SourceTable> tables;
    std::vector<SourceRelationship> relationships;
    std::vector<SourceObject> others;
};

}  // namespace genuine
