// Reading a genuine Jet 3, Jet 4 or ACE file through libmdb: its tables with
// their columns, indexes and relationships as Jet defined them, its rows as
// engine values, and the objects that are not tables.
//
// The file is opened read-only and never written. libmdb stays inside this
// file's implementation: nothing of it shows in this header.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/Engine.h"

namespace genuine {

// The source cannot be read: not there, not an Access file, or damaged.
class SourceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

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

// A Decimal field some of whose values have more digits than the engine's
// Decimal (a double) holds, so they were rounded on the way in.
struct RoundedDecimals {
    std::string field;
    std::uint64_t count = 0;
    std::string firstSource;  // the first such value, as the source holds it
    std::string firstKept;    // and as it was kept
};

class GenuineSource {
  public:
    // SourceError when the file cannot be opened or is not a Jet/ACE file.
    explicit GenuineSource(const std::string& path);
    ~GenuineSource();
    GenuineSource(const GenuineSource&) = delete;
    GenuineSource& operator=(const GenuineSource&) = delete;

    // "Jet 3", "Jet 4" or "ACE".
    std::string Generation() const;
    const std::vector<SourceTable>& Tables() const { return tables_; }
    const std::vector<SourceRelationship>& Relationships() const { return relationships_; }
    const std::vector<SourceObject>& OtherObjects() const { return others_; }

    // Calls `row` with one value per column of `table` (complex columns
    // give Null), in the file's row order. SourceError when fewer rows can
    // be read than the table definition records (a damaged or cut file);
    // more is no damage, the count lags behind rows added since. Answers
    // the Decimal fields whose values could not all be kept exactly.
    std::vector<RoundedDecimals> ReadRows(
        const SourceTable& table,
        const std::function<void(const std::vector<engine::Variant>&)>& row);

  private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    std::vector<SourceTable> tables_;
    std::vector<SourceRelationship> relationships_;
    std::vector<SourceObject> others_;
};

// "Text(50)", "Decimal(18,4)", "Long Integer (AutoNumber)": the type as a
// person who knows Access reads it, for messages.
std::string DescribeType(const SourceColumn& column);

// The 16 bytes of a replication ID as the engine writes a GUID:
// "{8-4-4-4-12}" in upper case.
std::string GuidText(const std::uint8_t* bytes);

}  // namespace genuine
