#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/Internal.h"
#include "engine/PreparedStatement.h"

namespace engine {

using namespace detail;

struct Recordset::Impl {
    std::shared_ptr<Connection> connection;  // keeps the file open while rows are read
    sqlite3* db = nullptr;
    PreparedStatement owner;
    sqlite3_stmt* stmt = nullptr;                    // owner's, looked at for every value
    std::function<void(PreparedStatement)> release;  // where owner goes when done, if anywhere
    std::vector<ResultColumn> columns;
    std::vector<std::vector<Variant>> rows;  // memory recordsets
    bool memory = false;
    std::size_t rowPos = 0;
    bool open = false;
    bool eof = true;
    bool bof = true;

    void finalize() {
        if (release && owner) release(std::move(owner));
        owner.reset();
        stmt = nullptr;
    }

    void step() {
        if (memory) {
            eof = rowPos >= rows.size();
            return;
        }
        int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            eof = false;
        } else if (rc == SQLITE_DONE) {
            eof = true;
        } else {
            eof = true;
            sqlite3* handle = db;
            int extended = sqlite3_extended_errcode(handle);
            finalize();
            raiseSqlite(handle, extended ? extended : rc, "reading rows");
        }
    }

    void requireOpen() const {
        if (!open) {
            raise(hr::kObjectClosed, jet::kObjectClosed,
                  "Operation is not allowed when the recordset is closed.");
        }
    }

    void requireRow() const {
        requireOpen();
        if (eof) {
            raise(hr::kNoCurrentRecord, jet::kNoCurrentRecord,
                  "Either BOF or EOF is True, or the current record has been deleted: there is no "
                  "current record.");
        }
    }

    // Fields are mostly read by name in their order, row after row: the one
    // after the last found is tried first. A caller nearly always spells the
    // name as the column does, so a plain comparison settles the guess before
    // the case-blind one is needed. The exact guess is kept small enough to be
    // inlined into every read; the rest is out of line.
    int find(std::string_view name) const {
        if (nextGuess < columns.size() && sameBytes(columns[nextGuess].name, name))
            return found(nextGuess);
        return findSlowly(name);
    }
    [[gnu::noinline]] int findSlowly(std::string_view name) const {
        if (nextGuess < columns.size() && equalsNoCase(columns[nextGuess].name, name))
            return found(nextGuess);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (equalsNoCase(columns[i].name, name)) return found(i);
        }
        return -1;
    }
    int found(std::size_t i) const {
        nextGuess = i + 1 < columns.size() ? i + 1 : 0;
        return static_cast<int>(i);
    }
    mutable std::size_t nextGuess = 0;
    // Field names are short: two overlapping loads from each end compare
    // any name up to 16 bytes without a loop whose length changes from one
    // field to the next (the loop's mispredicted exits cost more than memcmp).
    static bool sameBytes(const std::string& a, std::string_view b) {
        const std::size_t n = b.size();
        if (a.size() != n) return false;
        const char* x = a.data();
        const char* y = b.data();
        if (n >= 8 && n <= 16) return sameEnds<std::uint64_t>(x, y, n);
        if (n >= 4 && n < 8) return sameEnds<std::uint32_t>(x, y, n);
        if (n >= 2 && n < 4) return sameEnds<std::uint16_t>(x, y, n);
        if (n == 1) return x[0] == y[0];
        return n == 0 || std::memcmp(x, y, n) == 0;
    }
    template <typename Word>
    static bool sameEnds(const char* x, const char* y, std::size_t n) {
        Word x0, y0, x1, y1;
        std::memcpy(&x0, x, sizeof(Word));
        std::memcpy(&y0, y, sizeof(Word));
        std::memcpy(&x1, x + n - sizeof(Word), sizeof(Word));
        std::memcpy(&y1, y + n - sizeof(Word), sizeof(Word));
        return ((x0 ^ y0) | (x1 ^ y1)) == 0;
    }

    // Each value is fetched from SQLite once and read through the
    // sqlite3_value calls: the sqlite3_column calls would look the column up
    // again for every part read (type, then number or text, then length). The
    // connection is opened without SQLite's mutex, so nothing more is given up.
    Variant value(int i) const {
        if (memory) return rows[rowPos][static_cast<std::size_t>(i)];
        sqlite3_value* cell = sqlite3_column_value(stmt, i);
        const int kind = sqlite3_value_type(cell);
        if (kind == SQLITE_NULL) return Variant::null();
        const ResultColumn& col = columns[static_cast<std::size_t>(i)];
        if (!col.typed) {
            switch (kind) {
                case SQLITE_INTEGER: {
                    sqlite3_int64 v = sqlite3_value_int64(cell);
                    if (v >= std::numeric_limits<std::int32_t>::min() &&
                        v <= std::numeric_limits<std::int32_t>::max()) {
                        return Variant::fromI4(static_cast<std::int32_t>(v));
                    }
                    return Variant::fromR8(static_cast<double>(v));
                }
                case SQLITE_FLOAT:
                    return Variant::fromR8(sqlite3_value_double(cell));
                case SQLITE_BLOB:
                    return blob(cell);
                default:
                    return text(cell, i);
            }
        }
        switch (col.tag) {
            case VT_I4:
                return Variant::fromI4(static_cast<std::int32_t>(integer(cell, kind)));
            case VT_I2:
                return Variant::fromI2(static_cast<std::int16_t>(integer(cell, kind)));
            case VT_UI1:
                return Variant::fromUI1(static_cast<std::uint8_t>(integer(cell, kind)));
            case VT_R4:
                return Variant::fromR4(static_cast<float>(sqlite3_value_double(cell)));
            case VT_R8:
                return Variant::fromR8(sqlite3_value_double(cell));
            case VT_DECIMAL:
                return decimal(cell, kind);
            case VT_DATE:
                return Variant::fromDate(sqlite3_value_double(cell));
            case VT_CY:
                return Variant::fromCurrency(std::llround(sqlite3_value_double(cell) * 10000.0));
            case VT_BOOL:
                return Variant::fromBool(sqlite3_value_double(cell) != 0.0);
            case VT_ARRAY | VT_UI1:
                return blob(cell);
            default:
                return text(cell, i);
        }
    }

    // A Decimal field keeps its digits as text; one of a file written
    // before that keeps a double.
    static Variant decimal(sqlite3_value* cell, int kind) {
        if (kind == SQLITE_FLOAT) return Variant::fromDecimal(sqlite3_value_double(cell));
        const char* p = reinterpret_cast<const char*>(sqlite3_value_text(cell));
        return Variant::fromDecimal(
            std::string_view(p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(cell))));
    }
    static std::int64_t integer(sqlite3_value* cell, int kind) {
        if (kind == SQLITE_FLOAT) return std::llround(sqlite3_value_double(cell));
        return sqlite3_value_int64(cell);
    }
    // A short text is copied into the Variant. A long one goes into the
    // column's buffer, handed out shared: once the caller has let go of the
    // last row's value, the next row's text reuses the same memory.
    mutable std::vector<std::shared_ptr<std::string>> textBuffers;  // one a column
    Variant text(sqlite3_value* cell, int column) const {
        const char* p = reinterpret_cast<const char*>(sqlite3_value_text(cell));
        const auto length = static_cast<std::size_t>(sqlite3_value_bytes(cell));
        if (length <= Variant::kInlineText)
            return Variant::fromText(std::string_view(p ? p : "", length));
        if (textBuffers.size() != columns.size()) textBuffers.resize(columns.size());
        std::shared_ptr<std::string>& buffer = textBuffers[static_cast<std::size_t>(column)];
        if (buffer && buffer.use_count() == 1) {
            // The count fell to one when the last holder let go; what that
            // holder read happened before, so the buffer is ours to write.
            std::atomic_thread_fence(std::memory_order_acquire);
            buffer->assign(p, length);
        } else {
            buffer = std::make_shared<std::string>(p, length);
        }
        return Variant::fromSharedText(buffer);
    }
    static Variant blob(sqlite3_value* cell) {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_value_blob(cell));
        return Variant::fromBytes(std::vector<std::uint8_t>(p, p + sqlite3_value_bytes(cell)));
    }
};

Recordset::Recordset() : impl_(std::make_unique<Impl>()) {}
Recordset::~Recordset() {
    impl_->finalize();
}

std::shared_ptr<Recordset> Recordset::create() {
    return std::shared_ptr<Recordset>(new Recordset());
}

void Recordset::Open(const std::string& source, const std::shared_ptr<Connection>& connection, long,
                     long, long options) {
    if (impl_->open)
        raise(hr::kObjectOpen, jet::kObjectOpen,
              "Operation is not allowed when the recordset is open.");
    if (!connection)
        raise(hr::kInvalidPointer, jet::kNone, "The recordset was given no connection.");
    std::string sql;
    if (options == adCmdTable) {
        std::string name = source;
        if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
            name = name.substr(1, name.size() - 2);
        sql = "SELECT * FROM [" + name + "]";
        if (name.find(']') != std::string::npos || name.empty()) {
            raise(hr::kNoTable, jet::kInputTableNotFound,
                  "The database engine cannot find the input table '" + source + "'.");
        }
    } else {
        sql = source;
    }
    auto rs = connection->Execute(sql, nullptr, -1);
    if (!rs->impl_->open) {
        raise(hr::kSyntax, jet::kNotARowSource,
              "The source of a recordset must return rows: '" + source + "'.");
    }
    std::swap(impl_, rs->impl_);
    trackRecordset(*connection, shared_from_this());
}

void Recordset::Close() {
    impl_->requireOpen();
    impl_->finalize();
    impl_->rows.clear();
    impl_->open = false;
    impl_->eof = impl_->bof = true;
    impl_->connection.reset();
}

long Recordset::State() const {
    return impl_->open ? adStateOpen : adStateClosed;
}

bool Recordset::IsBOF() const {
    impl_->requireOpen();
    return impl_->bof;
}

bool Recordset::IsEOF() const {
    impl_->requireOpen();
    return impl_->eof;
}

void Recordset::MoveNext() {
    impl_->requireRow();
    if (impl_->memory) ++impl_->rowPos;
    impl_->step();
}

Variant Recordset::Collect(std::string_view columnName) const {
    impl_->requireOpen();
    int i = impl_->find(columnName);
    if (i < 0) {
        raise(hr::kItemNotFound, jet::kItemNotFound,
              "Item cannot be found in the collection corresponding to the requested name: '" +
                  std::string(columnName) + "'.");
    }
    impl_->requireRow();
    return impl_->value(i);
}

Variant Recordset::Collect(long position) const {
    impl_->requireOpen();
    if (position < 0 || position >= static_cast<long>(impl_->columns.size())) {
        raise(hr::kItemNotFound, jet::kItemNotFound,
              "Item cannot be found in the collection: position " + std::to_string(position) + ".");
    }
    impl_->requireRow();
    return impl_->value(static_cast<int>(position));
}

std::shared_ptr<Fields> Recordset::GetFields() const {
    impl_->requireOpen();
    std::vector<Field> fields;
    auto self = shared_from_this();
    for (std::size_t i = 0; i < impl_->columns.size(); ++i) {
        const auto& c = impl_->columns[i];
        fields.emplace_back(self, static_cast<int>(i), c.name, c.adoType, c.size);
    }
    return std::make_shared<Fields>(std::move(fields));
}

Variant Field::Value() const {
    return owner_->Collect(static_cast<long>(position_));
}

const Field& Fields::Item(long position) const {
    if (position < 0 || position >= Count()) {
        raise(hr::kItemNotFound, jet::kItemNotFound,
              "Item cannot be found in the collection: field position " + std::to_string(position) +
                  ".");
    }
    return fields_[static_cast<std::size_t>(position)];
}

namespace detail {

std::shared_ptr<Recordset> makeStatementRecordset(
    const std::shared_ptr<Connection>& connection, PreparedStatement stmt,
    const std::function<std::vector<ResultColumn>(sqlite3_stmt*)>& describe,
    std::function<void(PreparedStatement)> release) {
    auto rs = Recordset::create();
    auto& impl = rs->impl();
    impl.connection = connection;
    impl.db = sqlite3_db_handle(stmt.get());
    impl.stmt = stmt.get();
    impl.owner = std::move(stmt);
    impl.release = std::move(release);
    impl.open = true;
    impl.step();
    impl.bof = impl.eof;
    impl.columns = describe(impl.stmt);
    return rs;
}

std::shared_ptr<Recordset> makeMemoryRecordset(std::vector<ResultColumn> columns,
                                               std::vector<std::vector<Variant>> rows) {
    auto rs = Recordset::create();
    auto& impl = rs->impl();
    impl.memory = true;
    impl.columns = std::move(columns);
    impl.rows = std::move(rows);
    impl.open = true;
    impl.step();
    impl.bof = impl.eof;
    return rs;
}

}  // namespace detail
}  // namespace engine
