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
    kComplex,     // a complex field of a kind the file does not name
    kAttachment,  // complex: files attached to the row
    kMultiValue,  // complex: several values of one type
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

// Something of the source that is not a user table, a saved query or a
// linked table: a form, a report, a macro or a module.
struct SourceObject {
    std::string kind;
    std::string name;
};

// One row of MSysQueries: what a saved query is made of, one part a row
// (its kind, a parameter, an input table, an output column, a join, a
// clause), as Jet's designer left it.
struct SourceQueryRow {
    int attribute = 0;
    long flag = 0;
    std::optional<std::string> name1;
    std::optional<std::string> name2;
    std::optional<std::string> expression;
};

struct SourceQuery {
    std::string name;
    std::vector<SourceQueryRow> rows;  // in the file's order
};

// A table that lives elsewhere: in another file, or on an ODBC server.
struct SourceLinkedTable {
    std::string name;
    bool odbc = false;
    std::string connect;      // MSysObjects.Connect: the connection text
    std::string database;     // MSysObjects.Database: the other file, for a file link
    std::string foreignName;  // the table's name where it lives
};

// Everything the reader reads before the first row.
struct SourceCatalog {
    std::string generation;  // "Jet 3", "Jet 4" or "ACE"
    std::vector<SourceTable> tables;
    std::vector<SourceRelationship> relationships;
    std::vector<SourceObject> others;
    std::vector<SourceQuery> queries;
    std::vector<SourceLinkedTable> linkedTables;
};

}  // namespace genuine
