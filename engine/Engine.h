// The database engine: Jet-dialect SQL, a Jet-style catalog and ADO/ADOX/DAO
// shaped objects over a single SQLite file.
//
// Nothing here knows Qt or any other part of VantolyPatch. Every text is UTF-8.
// Every failure raises engine::ComError (result code, source, description and
// the Jet error number); SQLite's own codes and messages never leave this
// library unwrapped.
//
// Objects are held through std::shared_ptr: an object is released when its
// last reference goes, and a connection still open at that point is closed.
//
// Example:
//
//     auto conn = engine::Connection::create();
//     conn->Open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/data/a.mdb;"
//                "Jet OLEDB:Database Password='';");
//     engine::Variant affected = engine::Variant::fromI4(0);
//     auto rs = conn->Execute("SELECT MAX(DBVerCode) AS V FROM t_db_ver;", &affected, -1);
//     if (!rs->IsEOF()) { engine::Variant v = rs->Collect("V"); }
//     rs->Close();
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// ---------------------------------------------------------------------------
// Variants
// ---------------------------------------------------------------------------

// OLE Automation variant type tags (the low 12 bits are the base type).
enum VarType : std::uint16_t {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VECTOR = 0x1000,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
};

// A database value: a type tag and the value. Numbers are held as 64-bit
// integers or doubles whatever their tag; currency as ten-thousandths; dates
// as OLE Automation dates (days since 1899-12-30); texts as UTF-8 bytes;
// decimals as the text of their digits (and the nearest double); byte arrays
// (VT_ARRAY|VT_UI1) as bytes.
class Variant {
  public:
    Variant() = default;  // VT_EMPTY

    // The factories are inline: a recordset builds one for every value it
    // hands out, and a call and a copy each would cost more than the value.
    static Variant null() { return withTag(VT_NULL); }
    static Variant fromI2(std::int16_t value) { return withTag(VT_I2, value); }
    static Variant fromI4(std::int32_t value) { return withTag(VT_I4, value); }
    static Variant fromI8(std::int64_t value) { return withTag(VT_I8, value); }
    static Variant fromUI1(std::uint8_t value) { return withTag(VT_UI1, value); }
    static Variant fromR4(float value) { return ofDouble(VT_R4, value); }
    static Variant fromR8(double value) { return ofDouble(VT_R8, value); }
    static Variant fromCurrency(std::int64_t tenThousandths) {
        return withTag(VT_CY, tenThousandths);
    }
    static Variant fromDate(double oleDate) { return ofDouble(VT_DATE, oleDate); }
    static Variant fromBool(bool value) { return withTag(VT_BOOL, value ? -1 : 0); }  // -1 / 0
    // A short text is held inside the Variant, a long one shared by its
    // copies (it never changes).
    static Variant fromText(std::string utf8) {
        if (utf8.size() <= kInlineText) return fromText(std::string_view(utf8));
        return fromSharedText(std::make_shared<const std::string>(std::move(utf8)));
    }
    static Variant fromText(std::string_view utf8) {
        if (utf8.size() > kInlineText)
            return fromSharedText(std::make_shared<const std::string>(utf8));
        Variant v(VT_BSTR);
        v.inlineSize_ = static_cast<std::uint8_t>(utf8.size());
        utf8.copy(v.inlineText_, utf8.size());
        return v;
    }
    static Variant fromText(const char* utf8) { return fromText(std::string_view(utf8)); }
    // A long text held with others, so a recordset can hand out the same
    // buffer row after row once nobody holds the last one.
    static Variant fromSharedText(std::shared_ptr<const std::string> utf8) {
        Variant v(VT_BSTR);
        v.longText_ = std::move(utf8);
        return v;
    }
    // Texts up to this many bytes live inside the Variant: reading a row
    // then allocates nothing (a name of 15 Japanese characters fits).
    static constexpr std::size_t kInlineText = 47;
    static Variant fromBytes(std::vector<std::uint8_t> bytes) {
        Variant v(VT_ARRAY | VT_UI1);
        v.bytes_ = std::move(bytes);
        return v;
    }
    // A Decimal holds its exact digits ("-12.5", no exponent) and, for
    // callers that only want a number, the nearest double.
    static Variant fromDecimal(std::string_view digits);
    static Variant fromDecimal(double value);
    // Any tag with a raw integer payload (for tags the engine never produces,
    // such as VT_DISPATCH or VT_BYREF|VT_I4).
    static Variant withTag(std::uint16_t tag, std::int64_t payload = 0) {
        Variant v(tag);
        v.int_ = payload;
        v.double_ = static_cast<double>(payload);
        return v;
    }

    std::uint16_t vt() const { return tag_; }
    bool isNull() const { return tag_ == VT_NULL; }
    bool isEmpty() const { return tag_ == VT_EMPTY; }

    std::int64_t intValue() const { return int_; }  // integer tags, VT_BOOL, VT_CY
    double doubleValue() const { return double_; }  // VT_R4, VT_R8, VT_DATE, VT_DECIMAL
    // VT_BSTR, and VT_DECIMAL's exact digits; valid while this Variant lives
    // (not a temporary's).
    std::string_view text() const {
        return longText_ ? std::string_view(*longText_)
                         : std::string_view(inlineText_, inlineSize_);
    }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::int64_t currency() const { return int_; }  // VT_CY, ten-thousandths

    // The value as a double whatever its numeric tag (texts: 0).
    double toDouble() const;

    // Equal tags and payloads; texts compare by their bytes.
    bool operator==(const Variant& other) const;

    // A copy holding a floating-point payload (for the double-valued tags).
    Variant withDouble(double value) const;

  private:
    explicit Variant(std::uint16_t tag) : tag_(tag) {}
    static Variant ofDouble(std::uint16_t tag, double value) {
        Variant v(tag);
        v.double_ = value;
        return v;
    }

    std::uint16_t tag_ = VT_EMPTY;
    std::int64_t int_ = 0;
    double double_ = 0.0;
    std::shared_ptr<const std::string> longText_;  // VT_BSTR longer than kInlineText
    std::vector<std::uint8_t> bytes_;
    std::uint8_t inlineSize_ = 0;
    char inlineText_[kInlineText] = {};
};

// ---------------------------------------------------------------------------
// Errors
// ---------------------------------------------------------------------------

// Result codes an ADO programmer knows.
namespace hr {
constexpr std::int32_t kUnspecified = static_cast<std::int32_t>(0x80004005);     // E_FAIL
constexpr std::int32_t kInvalidPointer = static_cast<std::int32_t>(0x80004003);  // E_POINTER
constexpr std::int32_t kInvalidArg = static_cast<std::int32_t>(0x80070057);      // E_INVALIDARG
constexpr std::int32_t kSyntax = static_cast<std::int32_t>(0x80040E14);   // DB_E_ERRORSINCOMMAND
constexpr std::int32_t kNoTable = static_cast<std::int32_t>(0x80040E37);  // DB_E_NOTABLE
constexpr std::int32_t kParamNotSet =
    static_cast<std::int32_t>(0x80040E10);  // DB_E_PARAMNOTOPTIONAL
constexpr std::int32_t kWrongPassword =
    static_cast<std::int32_t>(0x80040E4D);  // DB_SEC_E_AUTH_FAILED
constexpr std::int32_t kProviderNotFound =
    static_cast<std::int32_t>(0x800A0E7A);  // adErrProviderNotFound
constexpr std::int32_t kObjectClosed = static_cast<std::int32_t>(0x800A0E78);  // adErrObjectClosed
constexpr std::int32_t kObjectOpen = static_cast<std::int32_t>(0x800A0E79);    // adErrObjectOpen
constexpr std::int32_t kNoCurrentRecord =
    static_cast<std::int32_t>(0x800A0BCD);  // adErrNoCurrentRecord
constexpr std::int32_t kItemNotFound = static_cast<std::int32_t>(0x800A0CC1);  // adErrItemNotFound
constexpr std::int32_t kDataOverflow = static_cast<std::int32_t>(0x80040E57);  // DB_E_DATAOVERFLOW
constexpr std::int32_t kIntegrity =
    static_cast<std::int32_t>(0x80040E2F);  // DB_E_INTEGRITYVIOLATION
constexpr std::int32_t kTransaction =
    static_cast<std::int32_t>(0x8004D00F);                                 // XACT_E_NOTRANSACTION
constexpr std::int32_t kCanceled = static_cast<std::int32_t>(0x80040E4E);  // DB_E_CANCELED
}  // namespace hr

// Jet's error numbers (ComError::jetError), named after Jet's own messages;
// callers test them, so they are part of the interface.
namespace jet {
constexpr int kNone = 0;                  // not one of Jet's errors
constexpr int kInvalidProcedureCall = 5;  // invalid procedure call or argument
constexpr int kOverflow = 6;              // overflow in an expression
constexpr int kDivisionByZero = 11;
constexpr int kTypeMismatch = 13;    // type mismatch in an expression
constexpr int kInvalidPattern = 93;  // a Like pattern with an unclosed character list
constexpr int kInvalidUseOfNull = 94;
constexpr int kReserved = 3000;  // reserved error: the engine itself failed
constexpr int kTooManyTransactions = 3003;
constexpr int kTableExists = 3010;
constexpr int kObjectNotFound = 3011;  // no table or saved query of that name
constexpr int kObjectExists = 3012;    // a saved query of that name exists
constexpr int kNoCurrentRecord = 3021;
constexpr int kDuplicateValue = 3022;  // duplicate values in an index or key
constexpr int kFileNotFound = 3024;
constexpr int kReadOnly = 3027;
constexpr int kNotValidPassword = 3031;
constexpr int kNoTransaction = 3034;  // commit or rollback without BeginTrans
constexpr int kDiskOrNetworkError = 3043;
constexpr int kFileInUse = 3045;
constexpr int kCannotOpen = 3051;
constexpr int kOutOfMemory = 3035;     // system resource exceeded
constexpr int kCanceledByUser = 3059;  // the operation was cancelled (Connection::Cancel)
constexpr int kNullInIndex = 3058;
constexpr int kTooFewParameters = 3061;
constexpr int kDuplicateOutputAlias = 3062;
constexpr int kDuplicateOutputDestination = 3063;
constexpr int kNotARowSource = 3065;
constexpr int kNotUpdatable = 3073;  // operation must use an updatable query
constexpr int kSyntaxInExpression = 3075;
constexpr int kInputTableNotFound = 3078;
constexpr int kAmbiguousField = 3079;
constexpr int kUndefinedFunction = 3085;
constexpr int kHavingInTransform = 3092;
constexpr int kOrderByConflictsWithDistinct = 3093;
constexpr int kSystemTable = 3112;       // records cannot be changed: a system table
constexpr int kCannotJoinOnMemo = 3118;  // a join on a Memo or OLE Object field
constexpr int kGroupOnTableStar = 3120;  // GROUP BY with t.*
constexpr int kGroupOnStar = 3121;       // GROUP BY with *
constexpr int kNotPartOfAggregate = 3122;
constexpr int kInvalidName = 3125;
constexpr int kSpecifyDeleteTable = 3128;
constexpr int kInvalidStatement = 3129;
constexpr int kSyntaxInFrom = 3131;
constexpr int kSyntaxInInsert = 3134;
constexpr int kCharactersAfterEnd = 3142;
constexpr int kSyntaxInUpdate = 3144;
constexpr int kFieldTooSmall = 3163;
constexpr int kFieldNotUpdatable = 3164;  // a calculated field written to
constexpr int kDiskFull = 3183;
constexpr int kTooManyFields = 3190;
constexpr int kFieldDefinedTwice = 3191;
constexpr int kRecordHasRelated = 3200;
constexpr int kRelatedRecordRequired = 3201;
constexpr int kDatabaseExists = 3204;
constexpr int kInvalidFieldType = 3259;
constexpr int kItemNotFound = 3265;
constexpr int kTooManyIndexFields = 3277;  // more than 10 fields in an index
constexpr int kFieldInIndex = 3280;
constexpr int kPartOfRelationship = 3281;
constexpr int kPrimaryKeyExists = 3283;
constexpr int kSyntaxInIndexOptions = 3289;  // CREATE INDEX ... WITH
constexpr int kSyntaxInCreateTable = 3290;
constexpr int kSyntaxInConstraint = 3291;
constexpr int kSyntaxInFieldDefinition = 3292;
constexpr int kSyntaxInAlterTable = 3293;
constexpr int kSyntaxInDrop = 3295;
constexpr int kFieldInRelationship = 3303;
constexpr int kValueRequired = 3314;
constexpr int kZeroLengthString = 3315;  // Allow Zero Length is No
constexpr int kValidationRule = 3317;
constexpr int kUnrecognizedFormat = 3343;
constexpr int kValueCountMismatch = 3346;
constexpr int kNumericOverflow = 3349;
constexpr int kSubqueryRows = 3354;  // at most one record from this subquery
constexpr int kIndexNotFound = 3371;
constexpr int kRelationshipTypes = 3368;  // fields of different types related
constexpr int kNoUniqueIndex = 3374;
constexpr int kIndexExists = 3375;
constexpr int kTableNotFound = 3376;
constexpr int kFieldExists = 3380;
constexpr int kFieldNotFound = 3381;
constexpr int kObjectInvalid = 3420;
constexpr int kDataTypeMismatch = 3464;
constexpr int kTooManyIndexes = 3626;
constexpr int kObjectClosed = 3704;  // ADO: not allowed while closed
constexpr int kObjectOpen = 3705;    // ADO: not allowed while open
}  // namespace jet

// The error object every failing call raises.
class ComError : public std::exception {
  public:
    ComError(std::int32_t code, std::optional<std::string> source,
             std::optional<std::string> description, int jetError = 0);

    std::int32_t code() const { return code_; }
    // Absent or empty texts are reported by callers as "null".
    const std::optional<std::string>& source() const { return source_; }
    const std::optional<std::string>& description() const { return description_; }
    int jetError() const { return jetError_; }  // Jet error number, 0 when none fits

    const char* what() const noexcept override { return what_.c_str(); }

  private:
    std::int32_t code_;
    std::optional<std::string> source_;
    std::optional<std::string> description_;
    int jetError_;
    std::string what_;
};

// ---------------------------------------------------------------------------
// ADO
// ---------------------------------------------------------------------------

enum ObjectState : long { adStateClosed = 0, adStateOpen = 1 };
enum SchemaEnum : long { adSchemaTables = 20 };
enum CursorTypeEnum : long { adOpenForwardOnly = 0 };
enum LockTypeEnum : long { adLockReadOnly = 1 };
enum CommandTypeEnum : long { adCmdText = 1, adCmdTable = 2 };

// ADO data type numbers, as the catalog reports column types.
enum DataTypeEnum : int {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBoolean = 11,
    adDecimal = 14,
    adUnsignedTinyInt = 17,
    adGUID = 72,
    adNumeric = 131,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adVarBinary = 204,
    adLongVarBinary = 205,
};

// Column attribute flags.
enum ColumnAttributesEnum : long { adColFixed = 1, adColNullable = 2 };

// Key types.
enum KeyTypeEnum : int { adKeyPrimary = 1, adKeyForeign = 2, adKeyUnique = 3 };

// The order of an index's column.
enum SortOrderEnum : int { adSortAscending = 1, adSortDescending = 2 };

// Referential rules.
enum RuleEnum : int { adRINone = 0, adRICascade = 1, adRISetNull = 2 };

// The providers a connection text may name; both open the same kind of file.
inline constexpr char kJetProvider[] = "Microsoft.Jet.OLEDB.4.0";
inline constexpr char kAceProvider[] = "Microsoft.ACE.OLEDB.12.0";

// Values in connection texts follow the OLE DB rule that Connection::Open
// reads: a value with a ";", a quote or a blank at either end is enclosed in
// single quotes (double quotes when it holds a single quote and no double
// quote), and the enclosing quote is written twice inside. These write it.
std::string ConnectionTextValue(const std::string& value);        // quoted only when it must be
std::string QuotedConnectionTextValue(const std::string& value);  // always quoted
// "Provider=PROVIDER; Data Source=PATH;Jet OLEDB:Database Password='PASSWORD';"
// with each value written by that rule, the password always in quotes.
std::string DatabaseConnectionText(const std::string& provider, const std::string& path,
                                   const std::string& password);

class Recordset;
class Connection;

// A saved query (CREATE VIEW, CREATE PROCEDURE) as the catalog keeps it: its
// Jet text, with its PARAMETERS clause at the head when it has one.
struct SavedQuery {
    std::string name;
    std::string text;
    bool selects = false;  // a select query (usable as a table), not an action query
};

class Connection : public std::enable_shared_from_this<Connection> {
  public:
    static std::shared_ptr<Connection> create();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the database named by a connection text such as
    //   "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/x/a.mdb;Jet OLEDB:Database Password='pw';"
    // (or Provider=Microsoft.ACE.OLEDB.12.0); DatabaseConnectionText writes
    // one for any path and password. Raises ComError for a text that does not
    // read as Key=Value pairs, an unknown provider, a missing file, anything
    // but a regular file, a file that is not a database (a genuine Jet or ACE
    // file is named as such), a locked file or a wrong password.
    void Open(const std::string& connectionText, const std::string& user = "",
              const std::string& password = "", long options = 0);
    void Close();
    long State() const;

    // Runs one statement. A final ";" is allowed; anything after it is refused.
    // recordsAffected (may be null) receives VT_I4 with the changed row count.
    // Always returns a recordset; for statements without rows it is closed.
    std::shared_ptr<Recordset> Execute(const std::string& statement,
                                       Variant* recordsAffected = nullptr, long options = -1);

    // The tables schema: one row per table, columns TABLE_CATALOG,
    // TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE ("TABLE" / "SYSTEM TABLE"),
    // ordered by type, then by name.
    std::shared_ptr<Recordset> OpenSchema(SchemaEnum schema = adSchemaTables);

    // The value of a parameter a PARAMETERS clause declares (its name in any
    // case; "Forms!f!x" for a dotted name), for every statement run after
    // until it is given again or ClearParameters. A declared parameter without
    // a value fails the statement with jet::kTooFewParameters naming it.
    void SetParameter(const std::string& name, const Variant& value);
    void ClearParameters();

    // The saved queries, ordered by name.
    std::vector<SavedQuery> SavedQueries();

    // After BeginTrans every statement, DDL included, is undone by RollbackTrans.
    long BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    const std::string& ConnectionString() const;
    const std::string& DataSource() const;  // the database file's path

    // Commits are no longer flushed to the disk and the rollback journal
    // lives in memory (a rollback still undoes the work). Only for a file not
    // yet in its place, which its maker flushes whole before it counts: a
    // crash meanwhile may leave it damaged. Not inside a transaction.
    void WriteWithoutFlushing();

    // Stops the statement running on this connection at its next step; it
    // then fails with jet::kCanceledByUser and changes nothing. The one
    // member that may be called from another thread (an interrupt watcher, a
    // window's stop button); does nothing when the connection is closed or idle.
    void Cancel();

    // Called again and again while a statement of this connection runs (every
    // few thousand of SQLite's steps), on the thread that runs it, so that a
    // window can keep painting through a long statement. Whatever it raises
    // ends the statement, which changes nothing, and comes out of the call
    // that ran it. An empty hook removes it.
    void SetProgressHook(std::function<void()> hook);

    struct Impl;
    Impl& impl() const { return *impl_; }

  private:
    Connection();
    std::unique_ptr<Impl> impl_;
};

// All of a piece of work or none of it: BeginTrans at construction,
// CommitTrans in commit(), and RollbackTrans when the scope is left any other
// way. The rollback never throws over the error that ended the work: that
// error is the one the operator must see. The one rollback guard for work
// spanning several statements.
class Transaction {
  public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

  private:
    Connection& connection_;
    bool open_ = true;
};

class Field {
  public:
    std::string Name() const { return name_; }
    int Type() const { return type_; }  // DataTypeEnum
    long DefinedSize() const { return size_; }
    Variant Value() const;

    Field(std::shared_ptr<const Recordset> owner, int position, std::string name, int type,
          long size)
        : owner_(std::move(owner)),
          position_(position),
          name_(std::move(name)),
          type_(type),
          size_(size) {}

  private:
    std::shared_ptr<const Recordset> owner_;
    int position_;
    std::string name_;
    int type_;
    long size_;
};

class Fields {
  public:
    explicit Fields(std::vector<Field> fields) : fields_(std::move(fields)) {}
    long Count() const { return static_cast<long>(fields_.size()); }
    const Field& Item(long position) const;  // ComError (item not found) when out of range

  private:
    std::vector<Field> fields_;
};

class Recordset : public std::enable_shared_from_this<Recordset> {
  public:
    static std::shared_ptr<Recordset> create();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Opens a table by name (options adCmdTable): its rows with every field in
    // physical order. With adCmdText the source is a SELECT statement.
    void Open(const std::string& source, const std::shared_ptr<Connection>& connection,
              long cursorType = adOpenForwardOnly, long lockType = adLockReadOnly,
              long options = adCmdTable);
    void Close();
    long State() const;

    bool IsBOF() const;  // true when the recordset holds no rows
    bool IsEOF() const;
    void MoveNext();

    // The value of a column of the current row, by name (ASCII case ignored,
    // as ADO does) or position. ComError when there is no current row or no
    // such column.
    Variant Collect(std::string_view columnName) const;
    Variant Collect(long position) const;

    std::shared_ptr<Fields> GetFields() const;

    struct Impl;
    Impl& impl() const { return *impl_; }

  private:
    Recordset();
    std::unique_ptr<Impl> impl_;
};

// Appends rows to one table through one statement prepared once, each value
// bound as it is (bytes stay bytes, a double keeps every bit), for bulk loads
// such as an import. Every rule of the table (types, required fields, text
// lengths, indexes, relationships) applies to each row as to an INSERT.
class RowInserter {
  public:
    // ComError when the table or one of the fields does not exist.
    RowInserter(Connection& connection, const std::string& table,
                const std::vector<std::string>& columns);
    ~RowInserter();
    RowInserter(const RowInserter&) = delete;
    RowInserter& operator=(const RowInserter&) = delete;

    // One value per field, in the order named; ComError as an INSERT raises it.
    void Insert(const std::vector<Variant>& values);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// ---------------------------------------------------------------------------
// ADOX catalog
// ---------------------------------------------------------------------------

template <typename T>
class Collection {
  public:
    Collection() = default;
    explicit Collection(std::vector<std::shared_ptr<T>> items) : items_(std::move(items)) {}
    long Count() const { return static_cast<long>(items_.size()); }
    std::shared_ptr<T> Item(long position) const;  // ComError when out of range
    void append(std::shared_ptr<T> item) { items_.push_back(std::move(item)); }

  private:
    std::vector<std::shared_ptr<T>> items_;
};

struct Column {
    std::string name;
    int type = adInteger;  // DataTypeEnum
    long definedSize = 0;
    long attributes = 0;        // ColumnAttributesEnum flags
    std::string relatedColumn;  // for a key column: the referenced column
    bool autoIncrement = false;
    long seed = 1;
    long increment = 1;
    std::optional<std::string> defaultValue;  // the default as Jet SQL text
    int physicalPosition = 0;
    int ordinalPosition = 0;          // as set through DaoFieldInfo, else the physical position
    int sortOrder = adSortAscending;  // SortOrderEnum, for a column of an index
    bool allowZeroLength = true;      // text and memo fields
    std::optional<std::string> description;
    std::optional<std::string> expression;  // a calculated field's, as Jet SQL

    std::string Name() const { return name; }
    int Type() const { return type; }
    long DefinedSize() const { return definedSize; }
    long Attributes() const { return attributes; }
    std::string RelatedColumn() const { return relatedColumn; }
    int SortOrder() const { return sortOrder; }
};

struct Key {
    std::string name;
    int type = adKeyPrimary;  // KeyTypeEnum
    std::string relatedTable;
    int updateRule = adRINone;
    int deleteRule = adRINone;
    Collection<Column> columns;  // with relatedColumn set for a foreign key

    std::string Name() const { return name; }
    int Type() const { return type; }
    std::string RelatedTable() const { return relatedTable; }
    const Collection<Column>& Columns() const { return columns; }
};

struct Index {
    std::string name;
    bool unique = false;
    bool primaryKey = false;
    bool ignoreNulls = false;
    Collection<Column> columns;

    std::string Name() const { return name; }
    bool Unique() const { return unique; }
    bool PrimaryKey() const { return primaryKey; }
    const Collection<Column>& Columns() const { return columns; }
};

// A table of the catalog. Its columns, keys and indexes are read from the
// file the first time one of them is asked for.
class Table {
  public:
    Table(std::string name, std::string type, std::function<void(Table&)> loader)
        : name_(std::move(name)), type_(std::move(type)), loader_(std::move(loader)) {}

    std::string Name() const { return name_; }
    std::string Type() const { return type_; }  // "TABLE" or "SYSTEM TABLE"
    const std::optional<std::string>& Description() const {
        load();
        return description_;
    }
    const Collection<Column>& Columns() const {
        load();
        return columns_;
    }  // by name
    const Collection<Key>& Keys() const {
        load();
        return keys_;
    }  // by name
    const Collection<Index>& Indexes() const {
        load();
        return indexes_;
    }  // by name

    // Filled by the loader.
    mutable Collection<Column> columns_;
    mutable Collection<Key> keys_;
    mutable Collection<Index> indexes_;
    mutable std::optional<std::string> description_;

  private:
    // Catalogs of an unchanged file share their tables, possibly across
    // threads, so the first reader loads and the others wait for it.
    void load() const {
        std::call_once(loaded_, [this] {
            auto loader = std::move(loader_);
            loader_ = nullptr;
            if (loader) loader(const_cast<Table&>(*this));
        });
    }
    std::string name_;
    std::string type_;
    mutable std::function<void(Table&)> loader_;
    mutable std::once_flag loaded_;
};

// Opens a connection of its own from a connection text and answers with a
// snapshot of the catalog: tables by name (system tables included), each
// with its columns, keys and indexes ordered by name.
class Catalog {
  public:
    static std::shared_ptr<Catalog> create();
    void putActiveConnection(const std::string& connectionText);
    const Collection<Table>& Tables() const;  // ComError (object closed) before a connection

  private:
    Catalog() = default;
    std::shared_ptr<Connection> connection_;
    std::optional<Collection<Table>> tables_;
};

template <typename T>
std::shared_ptr<T> Collection<T>::Item(long position) const {
    if (position < 0 || position >= Count()) {
        throw ComError(hr::kItemNotFound, std::string("VantolyEngine"),
                       std::string("Item cannot be found in the collection: position ") +
                           std::to_string(position) + " of " + std::to_string(Count()) + ".",
                       jet::kItemNotFound);
    }
    return items_[static_cast<std::size_t>(position)];
}

// ---------------------------------------------------------------------------
// DAO table-definition facility
// ---------------------------------------------------------------------------

// DAO field type codes.
enum DaoType : short {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
    dbGUID = 15,
};
enum DaoFieldAttributes : long { dbFixedField = 1, dbVariableField = 2, dbAutoIncrField = 16 };

// The members of a field description; members left empty are not applied.
struct DaoFieldInfo {
    std::string name;
    short type = dbText;
    long size = 0;
    long attributes = 0;
    short ordinalPosition = 0;
    bool required = false;
    bool allowZeroLength = false;
    std::string defaultValue;
};

class DaoTableDef;

class DaoDatabase : public std::enable_shared_from_this<DaoDatabase> {
  public:
    static std::shared_ptr<DaoDatabase> create();
    ~DaoDatabase();
    // connect is ";PWD=password" (the password written by ConnectionTextValue) or empty.
    void Open(const std::string& path, bool exclusive = false, bool readOnly = false,
              const std::string& connect = "");
    void Close();
    bool IsOpen() const;
    std::shared_ptr<DaoTableDef> OpenTableDef(const std::string& tableName);

    Connection& connection();

  private:
    DaoDatabase();
    std::shared_ptr<Connection> connection_;
};

class DaoTableDef {
  public:
    DaoTableDef(std::shared_ptr<DaoDatabase> database, std::string tableName);
    // Adds the column to the table at once.
    void CreateField(const DaoFieldInfo& info);
    void Close();

  private:
    std::shared_ptr<DaoDatabase> database_;
    std::string tableName_;
    bool open_ = true;
};

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

// The properties Jet keeps for a field beyond its definition, as ADOX's
// Column.Properties and DAO's Field names them (case-blind):
//   "Jet OLEDB:Allow Zero Length" or "AllowZeroLength": a Boolean; False
//       refuses a zero-length text with 3315 (text and memo fields only);
//   "Description": a text, or Null to remove it;
//   "Expression": a calculated field's Jet expression over fields of its
//       table, or Null to make it an ordinary field again. Its value is
//       computed on every read and a write to it is refused with 3164.
// `field` empty names the table itself, which has a "Description" only.
// Raises 3265 for a table, field or property there is no such, 3315 when
// rows already hold a zero-length text, and the expression's error when it
// does not translate.
void SetFieldProperty(Connection& connection, const std::string& table, const std::string& field,
                      const std::string& property, const Variant& value);
// Several properties of one table's fields set at once: the table is loaded
// and, where a property needs it, rebuilt once for all of them, and the
// changes arrive whole or not at all (the first refusal is raised).
struct FieldPropertyValue {
    std::string field;  // empty: the table itself
    std::string property;
    Variant value;
};
void SetFieldProperties(Connection& connection, const std::string& table,
                        const std::vector<FieldPropertyValue>& values);
// The property as Column has it: Null when not set.
Variant FieldProperty(const Column& column, const std::string& property);

// Creates a new, empty database file; ComError when the file exists or
// cannot be written. An empty password leaves the database without one.
// kFlushed: the file and its folder are on the disk when it returns;
// kByCaller: neither is flushed, for a file not yet in its place that its
// maker fills, flushes and then moves into place itself.
enum class CreationFlush { kFlushed, kByCaller };
void CreateDatabase(const std::string& path, const std::string& password = "",
                    CreationFlush flush = CreationFlush::kFlushed);

// OLE Automation dates.
double OleDateFromParts(int year, int month, int day, int hour = 0, int minute = 0,
                        double second = 0.0);
struct DateParts {
    int year, month, day, hour, minute, second;
};
// Converts to calendar parts, rounded to the nearest second; false outside
// the years 100 to 9999.
bool OleDateToParts(double oleDate, DateParts& parts);
double OleDateNow();

// For tests and benchmarks: replaces now() with a fixed value (nullopt
// restores the clock).
void SetNowForTesting(std::optional<double> oleDate);

}  // namespace engine
