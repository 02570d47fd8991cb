#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>

#include "engine/Checks.h"
#include "engine/Internal.h"
#include "engine/Lexer.h"
#include "engine/SavedQueries.h"
#include "engine/StatementCache.h"
#include "engine/WriteRules.h"

namespace engine {

using namespace detail;

namespace {

constexpr int kBusyTimeoutMs = 1500;

std::string trim(std::string s) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.erase(s.begin());
    while (!s.empty() && blank(s.back())) s.pop_back();
    return s;
}

struct ConnectionParts {
    std::string provider;
    std::string dataSource;
    std::string password;
};

ConnectionParts connectionParts(const std::string& text) {
    ConnectionParts parts;
    for (auto& [key, value] : parseConnectionText(text)) {
        if (key == "PROVIDER")
            parts.provider = std::move(value);
        else if (key == "DATA SOURCE")
            parts.dataSource = std::move(value);
        else if (key == "JET OLEDB:DATABASE PASSWORD")
            parts.password = std::move(value);
    }
    return parts;
}

// What a path names when it is not a regular file, for the refusal.
const char* specialFileKind(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// Names the kind of a file that is not one of ours, from its first bytes.
// Only a regular file is read: a named pipe or a device would block the
// program or hand it endless bytes. The file is opened without blocking and
// its kind taken from what was opened, so even a pipe put in place after the
// first look cannot hold this check up.
void checkFileKind(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        raise(hr::kUnspecified, jet::kFileNotFound, "Could not find file '" + path + "'.");
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        raise(hr::kUnspecified, jet::kCannotOpen,
              "The database file '" + path + "' cannot be read (" + std::strerror(errno) + ").");
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        raise(hr::kUnspecified, jet::kUnrecognizedFormat,
              "'" + path + "' is " + specialFileKind(info.st_mode) + ", not a database file.");
    }
    char header[32] = {};
    std::size_t got = 0;
    while (got < sizeof header) {
        const ssize_t n = ::read(fd, header + got, sizeof header - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got >= 20 && std::memcmp(header + 4, "Standard Jet DB", 15) == 0) {
        raise(hr::kUnspecified, jet::kUnrecognizedFormat,
              "'" + path +
                  "' is a genuine Microsoft Jet (Access .mdb) database file. This engine reads "
                  "only its own database files; convert the data first.");
    }
    if (got >= 20 && std::memcmp(header + 4, "Standard ACE DB", 15) == 0) {
        raise(hr::kUnspecified, jet::kUnrecognizedFormat,
              "'" + path +
                  "' is a genuine Microsoft ACE (Access .accdb) database file. This engine reads "
                  "only its own database files; convert the data first.");
    }
    if (got < 16 || std::memcmp(header, "SQLite format 3", 16) != 0) {
        raise(hr::kUnspecified, jet::kUnrecognizedFormat,
              "Unrecognized database format '" + path +
                  "': the file is empty, damaged or not a database.");
    }
}

sqlite3* openHandle(const std::string& path, int flags) {
    sqlite3* db = nullptr;
    // One thread uses a connection at a time, so SQLite need not lock it.
    int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        int extended = db ? sqlite3_extended_errcode(db) : rc;
        std::string message = db ? sqlite3_errmsg(db) : "";
        sqlite3_close_v2(db);
        if ((rc & 0xff) == SQLITE_CANTOPEN) {
            raiseCannotOpen(path, message);
        }
        raiseSqlite(nullptr, extended, "opening '" + path + "'");
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    // A misspelt field name must be an error, never a text literal.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    registerFunctions(db);
    return db;
}

void execRaw(sqlite3* db, const char* sql, const std::string& context) {
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) raiseSqlite(db, sqlite3_extended_errcode(db), context);
}

// Statement-level atomicity for the multi-step definition statements.
class Savepoint {
  public:
    explicit Savepoint(sqlite3* db) : db_(db) {
        execRaw(db_, "SAVEPOINT vx_statement", "starting the statement");
    }
    ~Savepoint() {
        if (!done_) {
            sqlite3_exec(db_, "ROLLBACK TO vx_statement", nullptr, nullptr, nullptr);
            sqlite3_exec(db_, "RELEASE vx_statement", nullptr, nullptr, nullptr);
        }
    }
    void commit() {
        execRaw(db_, "RELEASE vx_statement", "finishing the statement");
        done_ = true;
    }

  private:
    sqlite3* db_;
    bool done_ = false;
};

// The file's schema version: it changes with every definition, whichever
// connection makes it. -1 when it cannot be read.
long long schemaVersion(sqlite3* db) {
    PreparedStatement stmt;
    if (tryPrepare(db, "PRAGMA schema_version", stmt) == SQLITE_OK &&
        sqlite3_step(stmt.get()) == SQLITE_ROW) {
        return sqlite3_column_int64(stmt.get(), 0);
    }
    return -1;
}

// Jet types of table columns, read from the catalog once per schema version.
class ColumnTypes {
  public:
    bool find(sqlite3* db, const std::string& table, const std::string& column, int& ado,
              long& size) {
        auto& columns = load(db, table);
        auto it = columns.find(upperAscii(column));
        if (it == columns.end()) return false;
        ado = it->second.first;
        size = it->second.second;
        return true;
    }

    void forget() { schemaVersion_ = -1; }

    void checkSchema(sqlite3* db) {
        const long long version = schemaVersion(db);
        if (version != schemaVersion_ || version < 0) {
            tables_.clear();
            schemaVersion_ = version;
        }
    }

  private:
    using Columns = std::map<std::string, std::pair<int, long>>;

    Columns& load(sqlite3* db, const std::string& table) {
        const std::string key = upperAscii(table);
        auto it = tables_.find(key);
        if (it != tables_.end()) return it->second;
        Columns columns;
        auto read = [&](const char* sql, bool fromDecl) {
            PreparedStatement owner;
            if (tryPrepare(db, sql, owner) == SQLITE_OK) {
                sqlite3_stmt* stmt = owner.get();
                sqlite3_bind_text(stmt, 1, table.c_str(), -1, SQLITE_TRANSIENT);
                while (sqlite3_step(stmt) == SQLITE_ROW) {
                    std::string name = requiredText(stmt, 0);
                    int ado = 0;
                    long size = 0;
                    if (fromDecl) {
                        if (!typeFromDecl(columnText(stmt, 1).value_or("").c_str(), ado, size))
                            continue;
                    } else {
                        ado = static_cast<int>(requiredInteger(stmt, 1));
                        size = static_cast<long>(requiredInteger(stmt, 2));
                    }
                    columns[upperAscii(name)] = {ado, size};
                }
            }
        };
        read("SELECT ColumnName, Type, DefinedSize FROM MSysColumns WHERE TableName = ?1", false);
        if (columns.empty()) readSavedQuery(db, table, columns);
        if (columns.empty())
            read("SELECT name, type FROM pragma_table_info(?1)", true);  // system tables
        return tables_.emplace(key, std::move(columns)).first->second;
    }

    // A saved select query's fields that are a table's fields keep their
    // types (SQLite's view reports only affinities: a text would read as a Memo).
    void readSavedQuery(sqlite3* db, const std::string& name, Columns& columns) {
        PreparedStatement isView;
        if (tryPrepare(db,
                       "SELECT 1 FROM temp.sqlite_schema WHERE type = 'view' AND name = ?1 "
                       "COLLATE NOCASE",
                       isView) != SQLITE_OK)
            return;
        sqlite3_bind_text(isView.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(isView.get()) != SQLITE_ROW) return;
        PreparedStatement view;
        if (tryPrepare(db, "SELECT * FROM " + quoteIdent(name), view) != SQLITE_OK) return;
        for (int i = 0; i < sqlite3_column_count(view.get()); ++i) {
            const char* table = sqlite3_column_table_name(view.get(), i);
            const char* origin = sqlite3_column_origin_name(view.get(), i);
            int ado = 0;
            long size = 0;
            if (table && origin && find(db, table, origin, ado, size))
                columns[upperAscii(sqlite3_column_name(view.get(), i))] = {ado, size};
        }
    }

    long long schemaVersion_ = -1;
    std::map<std::string, Columns> tables_;
};

std::vector<ResultColumn> describeColumns(sqlite3* db, sqlite3_stmt* stmt, const Statement& st,
                                          ColumnTypes& types) {
    const int count = sqlite3_column_count(stmt);
    std::vector<ResultColumn> columns(static_cast<std::size_t>(count));
    const bool useHints = static_cast<int>(st.hints.size()) == count;
    types.checkSchema(db);
    for (int i = 0; i < count; ++i) {
        ResultColumn& col = columns[static_cast<std::size_t>(i)];
        col.name = sqlite3_column_name(stmt, i);
        int ado = 0;
        long size = 0;
        bool typed = false;
        // A table column keeps its Jet type.
        const char* table = sqlite3_column_table_name(stmt, i);
        const char* origin = sqlite3_column_origin_name(stmt, i);
        if (table && origin) typed = types.find(db, table, origin, ado, size);
        if (!typed && useHints) {
            const ResultHint& hint = st.hints[static_cast<std::size_t>(i)];
            switch (hint.kind) {
                case ResultKind::ColumnOf:
                    // An aggregate of a table column carries that column's type.
                    for (const auto& source : st.sources) {
                        if (source.name.empty()) continue;
                        if (!hint.table.empty() && !equalsNoCase(hint.table, source.name) &&
                            !equalsNoCase(hint.table, source.alias)) {
                            continue;
                        }
                        if ((typed = types.find(db, source.name, hint.column, ado, size))) break;
                    }
                    if (hint.dateOnly && ado != adDate) typed = false;
                    if (hint.exactOnly && ado != adCurrency && ado != adNumeric) typed = false;
                    break;
                case ResultKind::Count:
                case ResultKind::Long:
                    ado = adInteger, size = 4, typed = true;
                    break;
                case ResultKind::Date:
                    ado = adDate, size = 8, typed = true;
                    break;
                case ResultKind::Currency:
                    ado = adCurrency, size = 8, typed = true;
                    break;
                case ResultKind::Decimal:
                    ado = adNumeric, size = 28, typed = true;
                    break;
                case ResultKind::Double:
                    ado = adDouble, size = 8, typed = true;
                    break;
                case ResultKind::Text:
                    ado = adVarWChar, size = 255, typed = true;
                    break;
                case ResultKind::Bool:
                    ado = adBoolean, size = 2, typed = true;
                    break;
                case ResultKind::Dynamic:
                    break;
            }
        }
        col.typed = typed;
        if (typed) {
            col.adoType = ado;
            col.size = size;
            col.tag = tagForAdoType(ado);
        }
    }
    return columns;
}

}  // namespace

struct Connection::Impl {
    sqlite3* db = nullptr;
    std::mutex handleMutex;  // db's opening and closing against Cancel from another thread
    std::string connectionText;
    std::string path;
    std::string password;
    bool inTransaction = false;
    std::vector<std::weak_ptr<Recordset>> recordsets;  // closed with the connection
    ColumnTypes columnTypes;                           // Jet types of result columns
    long long schemaRowsVersion = -1;                  // schema version of schemaRows
    std::vector<std::vector<Variant>> schemaRows;      // the tables schema, asked for often
    std::shared_ptr<StatementCache> statements;        // while open
    std::function<void()> progressHook;
    ParameterValues parameters;  // read by vx_param while a statement runs
    QueryViews queryViews;
    WriteRules writeRules;  // the TEMP triggers of the file's tables

    void installProgressHook() const;

    std::shared_ptr<Recordset> executeSaved(Connection& self, const Statement& st,
                                            Variant* recordsAffected, long options);

    // A rolled-back definition takes the schema version back, and the next
    // one may reach the same number with another schema: so whatever this
    // connection changes or rolls back, the caches are read afresh.
    void forgetSchema() {
        schemaRowsVersion = -1;
        columnTypes.forget();
    }

    void requireOpen() const {
        if (!db)
            raise(hr::kObjectClosed, jet::kObjectClosed,
                  "Operation is not allowed when the connection is closed.");
    }
};

Connection::Connection() : impl_(std::make_unique<Impl>()) {}

Connection::~Connection() {
    if (impl_->db) {
        impl_->statements.reset();
        impl_->queryViews.close();
        impl_->writeRules.close();
        if (impl_->inTransaction) sqlite3_exec(impl_->db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(impl_->db);
    }
}

std::shared_ptr<Connection> Connection::create() {
    return std::shared_ptr<Connection>(new Connection());
}

void Connection::Open(const std::string& connectionText, const std::string&, const std::string&,
                      long) {
    if (impl_->db)
        raise(hr::kObjectOpen, jet::kObjectOpen,
              "Operation is not allowed when the connection is open.");
    ConnectionParts parts = connectionParts(connectionText);
    if (!equalsNoCase(parts.provider, kJetProvider) &&
        !equalsNoCase(parts.provider, kAceProvider)) {
        raise(hr::kProviderNotFound, jet::kNone,
              "Provider cannot be found. It may not be properly installed: '" + parts.provider +
                  "' (known: " + kJetProvider + ", " + kAceProvider + ").");
    }
    if (parts.dataSource.empty())
        raise(hr::kUnspecified, jet::kFileNotFound, "The connection text names no Data Source.");
    checkFileKind(parts.dataSource);
    sqlite3* db = openHandle(parts.dataSource, SQLITE_OPEN_READWRITE);
    registerParameterFunction(db, &impl_->parameters);
    try {
        execRaw(db, "PRAGMA synchronous = FULL", "opening the database");
        if (!Store::isEngineFile(db)) {
            raise(hr::kUnspecified, jet::kUnrecognizedFormat,
                  "Unrecognized database format '" + parts.dataSource +
                      "': it is an SQLite file but holds no catalog of this engine.");
        }
        // Never WAL: with no transaction open the file alone is the whole database.
        execRaw(db, "PRAGMA journal_mode = DELETE", "opening the database");
        checkPassword(Store(db), parts.dataSource, parts.password);
        impl_->writeRules.ensure(db);
    } catch (...) {
        impl_->writeRules.close();
        sqlite3_close_v2(db);
        throw;
    }
    {
        std::lock_guard<std::mutex> lock(impl_->handleMutex);
        impl_->db = db;
    }
    impl_->installProgressHook();
    impl_->statements = std::make_shared<StatementCache>(db);
    impl_->connectionText = connectionText;
    impl_->path = parts.dataSource;
    impl_->password = parts.password;
    impl_->inTransaction = false;
}

void Connection::WriteWithoutFlushing() {
    impl_->requireOpen();
    if (impl_->inTransaction)
        raise(hr::kUnspecified, jet::kNone,
              "WriteWithoutFlushing is not allowed in a transaction.");
    execRaw(impl_->db, "PRAGMA synchronous = OFF", "changing how the database is written");
    execRaw(impl_->db, "PRAGMA journal_mode = MEMORY", "changing how the database is written");
}

void Connection::Close() {
    impl_->requireOpen();
    for (auto& weak : impl_->recordsets) {
        if (auto rs = weak.lock(); rs && rs->State() == adStateOpen) rs->Close();
    }
    impl_->recordsets.clear();
    impl_->statements.reset();
    impl_->queryViews.close();
    impl_->writeRules.close();
    if (impl_->inTransaction) sqlite3_exec(impl_->db, "ROLLBACK", nullptr, nullptr, nullptr);
    impl_->inTransaction = false;
    std::lock_guard<std::mutex> lock(impl_->handleMutex);
    sqlite3_close_v2(impl_->db);
    impl_->db = nullptr;
}

namespace {

// SQLite's machine steps between two calls of a connection's progress hook.
constexpr int kProgressHookSteps = 10000;

int callProgressHook(void* context) {
    if (detail::hookFailurePending()) return 1;
    try {
        (*static_cast<const std::function<void()>*>(context))();
        return 0;
    } catch (...) {
        // No exception may cross SQLite's C code: the statement is
        // interrupted, and raiseSqlite raises this in place of the interrupt.
        detail::holdHookFailure(std::current_exception());
        return 1;
    }
}

}  // namespace

void Connection::Impl::installProgressHook() const {
    if (db == nullptr) return;
    if (progressHook) {
        sqlite3_progress_handler(db, kProgressHookSteps, callProgressHook,
                                 const_cast<std::function<void()>*>(&progressHook));
    } else {
        sqlite3_progress_handler(db, 0, nullptr, nullptr);
    }
}

void Connection::SetProgressHook(std::function<void()> hook) {
    detail::takeHookFailure();
    impl_->progressHook = std::move(hook);
    impl_->installProgressHook();
}

void Connection::Cancel() {
    std::lock_guard<std::mutex> lock(impl_->handleMutex);
    if (impl_->db) sqlite3_interrupt(impl_->db);
}

long Connection::State() const {
    return impl_->db ? adStateOpen : adStateClosed;
}

const std::string& Connection::ConnectionString() const {
    return impl_->connectionText;
}
const std::string& Connection::DataSource() const {
    return impl_->path;
}

std::shared_ptr<Recordset> Connection::Execute(const std::string& statement,
                                               Variant* recordsAffected, long options) {
    impl_->requireOpen();
    sqlite3* db = impl_->db;
    impl_->queryViews.ensure(db);
    impl_->writeRules.ensure(db);
    ReadyStatement ready = impl_->statements->prepare(statement);
    impl_->queryViews.requireValues(*ready.statement, impl_->parameters);
    if (std::vector<std::string> fields = parametersNamingFields(db, *ready.statement);
        !fields.empty()) {
        ready = {
            std::make_shared<Statement>(parseStatement(statement, nullptr, &fields)), {}, {}, 0};
    }
    Statement& st = *ready.statement;
    if (recordsAffected) *recordsAffected = Variant::fromI4(0);
    if (!st.columnUses.empty()) {
        impl_->columnTypes.checkSchema(db);
        checkColumnUses(st, [&](const std::string& table, const std::string& column) {
            int ado = 0;
            long size = 0;
            return impl_->columnTypes.find(db, table, column, ado, size) ? ado : 0;
        });
    }
    if (st.kind != StatementKind::Select) impl_->forgetSchema();
    // Whatever the cache does not keep may change the catalog.
    if (ready.key.empty() && st.kind != StatementKind::Select) impl_->statements->clear();
    auto closed = Recordset::create();
    switch (st.kind) {
        case StatementKind::Select: {
            if (st.crosstab) st.sqlite = crosstabSql(db, st);
            if (!ready.prepared) ready.prepared = prepare(db, st.sqlite, "");
            auto describe = [&](sqlite3_stmt* stmt) {
                return describeColumns(db, stmt, st, impl_->columnTypes);
            };
            auto rs = makeStatementRecordset(shared_from_this(), std::move(ready.prepared),
                                             describe, impl_->statements->returner(ready));
            trackRecordset(*this, rs);
            return rs;
        }
        case StatementKind::Insert:
        case StatementKind::Update:
        case StatementKind::Delete: {
            if (!ready.prepared) ready.prepared = prepare(db, st.sqlite, "");
            const int rc = sqlite3_step(ready.prepared.get());
            if (rc != SQLITE_DONE && rc != SQLITE_ROW)
                raiseSqlite(db, sqlite3_extended_errcode(db), "");
            if (recordsAffected) *recordsAffected = Variant::fromI4(sqlite3_changes(db));
            impl_->statements->giveBack(ready.key, ready.serial, std::move(ready.prepared));
            return closed;
        }
        case StatementKind::SelectInto: {
            Savepoint sp(db);
            PreparedStatement stmt = prepare(db, st.sqlite, "");
            const std::vector<ResultColumn> columns =
                describeColumns(db, stmt.get(), st, impl_->columnTypes);
            const long rows = runSelectInto(db, st, stmt.get(), columns);
            sp.commit();
            if (recordsAffected) *recordsAffected = Variant::fromI4(rows);
            return closed;
        }
        case StatementKind::AlterPassword: {
            Savepoint sp(db);
            Store store(db);
            const std::string newPassword = st.newPassword.value_or("");
            changePassword(store, impl_->path, st.oldPassword.value_or(""), newPassword);
            sp.commit();
            impl_->password = newPassword;
            return closed;
        }
        case StatementKind::CreateQuery:
        case StatementKind::DropQuery: {
            impl_->queryViews.forget();
            Savepoint sp(db);
            if (st.kind == StatementKind::CreateQuery)
                createSavedQuery(db, st);
            else
                dropSavedQuery(db, st);
            sp.commit();
            return closed;
        }
        case StatementKind::ExecuteQuery:
            return impl_->executeSaved(*this, st, recordsAffected, options);
        default: {
            impl_->queryViews.remove(db);
            Savepoint sp(db);
            Store(db).execute(st);
            sp.commit();
            return closed;
        }
    }
}

// EXECUTE runs the saved query's text with the values given to its
// parameters in order. They hold while it runs only: a select query's rows
// are read while they hold, so later statements see the parameters' own values.
std::shared_ptr<Recordset> Connection::Impl::executeSaved(Connection& self, const Statement& st,
                                                          Variant* recordsAffected, long options) {
    const SavedQuery query = requireSavedQuery(db, st.table);
    const Statement body = parseStatement(query.text);
    if (st.executeValues.size() > body.parameters.size()) {
        raise(hr::kSyntax, jet::kInvalidStatement,
              "The query '" + query.name + "' declares " + std::to_string(body.parameters.size()) +
                  " parameter(s); " + std::to_string(st.executeValues.size()) +
                  " value(s) were given.");
    }
    if (st.executeValues.empty()) return self.Execute(query.text, recordsAffected, options);
    const ParameterValues kept = parameters;
    struct Restore {
        ParameterValues& values;
        const ParameterValues& kept;
        ~Restore() { values = kept; }
    } restore{parameters, kept};
    for (std::size_t i = 0; i < st.executeValues.size(); ++i)
        parameters[parameterKey(body.parameters[i].name)] = st.executeValues[i];
    auto rs = self.Execute(query.text, recordsAffected, options);
    if (rs->State() != adStateOpen) return rs;
    std::vector<ResultColumn> columns;
    const auto fields = rs->GetFields();
    for (long i = 0; i < fields->Count(); ++i) {
        const Field& field = fields->Item(i);
        ResultColumn column;
        column.name = field.Name();
        column.adoType = field.Type();
        column.size = field.DefinedSize();
        columns.push_back(std::move(column));
    }
    std::vector<std::vector<Variant>> rows;
    for (; !rs->IsEOF(); rs->MoveNext()) {
        std::vector<Variant>& row = rows.emplace_back();
        for (long i = 0; i < fields->Count(); ++i) row.push_back(rs->Collect(i));
    }
    rs->Close();
    auto copy = makeMemoryRecordset(std::move(columns), std::move(rows));
    trackRecordset(self, copy);
    return copy;
}

void Connection::SetParameter(const std::string& name, const Variant& value) {
    impl_->parameters[parameterKey(name)] = value;
}

void Connection::ClearParameters() {
    impl_->parameters.clear();
}

std::vector<SavedQuery> Connection::SavedQueries() {
    impl_->requireOpen();
    return savedQueries(impl_->db);
}

std::shared_ptr<Recordset> Connection::OpenSchema(SchemaEnum schema) {
    impl_->requireOpen();
    if (schema != adSchemaTables) {
        raise(hr::kUnspecified, jet::kNone,
              "Only the tables schema (20) is provided by this engine.");
    }
    const long long version = schemaVersion(impl_->db);
    if (version < 0 || version != impl_->schemaRowsVersion) {
        Store store(impl_->db);
        std::vector<std::vector<Variant>> systemRows, userRows;
        for (const auto& name : store.tableNames(true)) {
            bool system = isSystemName(name);
            std::vector<Variant> row = {Variant::null(), Variant::null(), Variant::fromText(name),
                                        Variant::fromText(system ? "SYSTEM TABLE" : "TABLE")};
            (system ? systemRows : userRows).push_back(std::move(row));
        }
        for (auto& r : userRows) systemRows.push_back(std::move(r));
        impl_->schemaRows = std::move(systemRows);
        impl_->schemaRowsVersion = version;
    }
    auto text = [](const char* n) {
        ResultColumn c;
        c.name = n;
        c.adoType = adVarWChar;
        c.size = 64;
        c.tag = VT_BSTR;
        c.typed = true;
        return c;
    };
    return makeMemoryRecordset(
        {text("TABLE_CATALOG"), text("TABLE_SCHEMA"), text("TABLE_NAME"), text("TABLE_TYPE")},
        impl_->schemaRows);
}

long Connection::BeginTrans() {
    impl_->requireOpen();
    if (impl_->inTransaction) {
        raise(hr::kTransaction, jet::kTooManyTransactions,
              "A transaction is already running on this connection.");
    }
    execRaw(impl_->db, "BEGIN", "beginning a transaction");
    impl_->inTransaction = true;
    return 1;
}

void Connection::CommitTrans() {
    impl_->requireOpen();
    if (!impl_->inTransaction)
        raise(hr::kTransaction, jet::kNoTransaction,
              "You tried to commit without beginning a transaction.");
    try {
        execRaw(impl_->db, "COMMIT", "committing the transaction");
    } catch (...) {
        impl_->writeRules.forget();  // SQLite may have rolled it back
        throw;
    }
    impl_->inTransaction = false;
}

void Connection::RollbackTrans() {
    impl_->requireOpen();
    if (!impl_->inTransaction)
        raise(hr::kTransaction, jet::kNoTransaction,
              "You tried to roll back without beginning a transaction.");
    impl_->inTransaction = false;
    impl_->forgetSchema();
    impl_->queryViews.forget();
    impl_->writeRules.forget();
    impl_->statements->clear();
    // A full disk or a lost journal makes SQLite roll the transaction back
    // itself; what BeginTrans started is then undone already.
    if (sqlite3_get_autocommit(impl_->db)) return;
    execRaw(impl_->db, "ROLLBACK", "rolling back the transaction");
}

Transaction::Transaction(Connection& connection) : connection_(connection) {
    connection_.BeginTrans();
}

Transaction::~Transaction() {
    if (!open_) return;
    try {
        connection_.RollbackTrans();
    } catch (const ComError&) {
        // A rollback that fails leaves the transaction to SQLite, which
        // undoes it when the connection closes; the error that ended the
        // work is already on its way to the operator.
    }
}

void Transaction::commit() {
    connection_.CommitTrans();
    open_ = false;
}

namespace detail {
void trackRecordset(Connection& connection, const std::shared_ptr<Recordset>& recordset) {
    auto& list = connection.impl().recordsets;
    std::erase_if(list, [](const std::weak_ptr<Recordset>& w) { return w.expired(); });
    list.push_back(recordset);
}

sqlite3* connectionHandle(const Connection& connection) {
    connection.impl().requireOpen();
    return connection.impl().db;
}

// Reads "Key=Value;" pairs by the OLE DB rules: keys are compared without
// regard to case and blanks around keys and plain values are dropped; a value
// in single or double quotes is taken exactly, its quote written twice inside.
// Anything that cannot be read so is refused rather than guessed at: a path
// cut at a stray ";" would open a different file.
std::vector<ConnectionPair> parseConnectionText(const std::string& text) {
    std::vector<ConnectionPair> pairs;
    std::size_t pos = 0;
    const std::size_t n = text.size();
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (pos < n) {
        if (text[pos] == ';' || isBlank(text[pos])) {
            ++pos;
            continue;
        }
        const std::size_t eq = text.find('=', pos);
        const std::size_t semi = text.find(';', pos);
        if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
            const std::string part =
                trim(text.substr(pos, semi == std::string::npos ? std::string::npos : semi - pos));
            raise(hr::kInvalidArg, jet::kNone,
                  "The connection text part '" + part +
                      "' is not of the form Key=Value; a value holding ';' must be enclosed in "
                      "quotes.");
        }
        std::string key = upperAscii(trim(text.substr(pos, eq - pos)));
        pos = eq + 1;
        while (pos < n && isBlank(text[pos])) ++pos;
        std::string value;
        if (pos < n && (text[pos] == '\'' || text[pos] == '"')) {
            std::optional<std::string> quoted = readQuoted(text, pos);
            if (!quoted) {
                raise(hr::kInvalidArg, jet::kNone,
                      "The value of '" + key + "' in the connection text has no closing quote.");
            }
            value = std::move(*quoted);
            while (pos < n && isBlank(text[pos])) ++pos;
            if (pos < n && text[pos] != ';') {
                raise(hr::kInvalidArg, jet::kNone,
                      "The value of '" + key +
                          "' in the connection text goes on after its closing quote; a " +
                          "quote inside a quoted value is written twice.");
            }
        } else {
            const std::size_t end = text.find(';', pos);
            value =
                trim(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
            pos = end == std::string::npos ? n : end;
        }
        pairs.push_back({std::move(key), std::move(value)});
    }
    return pairs;
}
}  // namespace detail

namespace {

bool needsQuotes(const std::string& value) {
    if (value.empty()) return false;
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return blank(value.front()) || blank(value.back()) ||
           value.find_first_of(";'\"") != std::string::npos;
}

}  // namespace

std::string QuotedConnectionTextValue(const std::string& value) {
    const char quote =
        value.find('\'') != std::string::npos && value.find('"') == std::string::npos ? '"' : '\'';
    std::string out(1, quote);
    for (char c : value) {
        out += c;
        if (c == quote) out += c;
    }
    out += quote;
    return out;
}

std::string ConnectionTextValue(const std::string& value) {
    return needsQuotes(value) ? QuotedConnectionTextValue(value) : value;
}

std::string DatabaseConnectionText(const std::string& provider, const std::string& path,
                                   const std::string& password) {
    return "Provider=" + ConnectionTextValue(provider) +
           "; Data Source=" + ConnectionTextValue(path) +
           ";Jet OLEDB:Database Password=" + QuotedConnectionTextValue(password) + ";";
}

namespace {

[[noreturn]] void raiseExists(const std::string& path) {
    raise(hr::kUnspecified, jet::kDatabaseExists, "Database '" + path + "' already exists.");
}

// Flushes the folder's entries, so a new name survives a power cut.
void syncFolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

}  // namespace

void CreateDatabase(const std::string& path, const std::string& password, CreationFlush flush) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) raiseExists(path);
    // The database is made whole under a name of its own beside `path` and
    // only then takes its name, which it never takes from another file: a
    // creation cut off part-way leaves no half-made database under the name.
    const std::size_t slash = path.rfind('/');
    std::string temporary = path.substr(0, slash == std::string::npos ? 0 : slash + 1) + "." +
                            path.substr(slash == std::string::npos ? 0 : slash + 1) +
                            ".creating-XXXXXX";
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        raise(hr::kUnspecified, jet::kCannotOpen,
              "The database '" + path + "' cannot be created (" + std::strerror(errno) + ").");
    }
    // Held locked while the database is made: another run that cleans up
    // after killed ones leaves a locked file alone. The descriptor is closed
    // only once SQLite has let go of the file, so its own locks stay.
    ::flock(descriptor, LOCK_EX | LOCK_NB);
    struct Closing {
        int descriptor;
        ~Closing() { ::close(descriptor); }
    } closing{descriptor};
    sqlite3* db = nullptr;
    try {
        db = openHandle(temporary, SQLITE_OPEN_READWRITE);
        execRaw(db, "PRAGMA journal_mode = DELETE", "creating the database");
        if (flush == CreationFlush::kByCaller)
            execRaw(db, "PRAGMA synchronous = OFF", "creating the database");
        execRaw(db, "BEGIN", "creating the database");
        Store::initialise(db);
        if (!password.empty()) {
            Store store(db);
            setPassword(store, password);
        }
        execRaw(db, "COMMIT", "creating the database");
        sqlite3_close_v2(db);
        db = nullptr;
        int placed =
            ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
        if (placed != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // Without the flag a hard link refuses an existing name as well.
            placed = ::link(temporary.c_str(), path.c_str());
            if (placed == 0) ::unlink(temporary.c_str());
        }
        if (placed != 0) {
            if (errno == EEXIST) raiseExists(path);
            raise(hr::kUnspecified, jet::kCannotOpen,
                  "The database '" + path + "' cannot be put in place (" + std::strerror(errno) +
                      ").");
        }
    } catch (...) {
        if (db != nullptr) sqlite3_close_v2(db);
        ::unlink(temporary.c_str());
        throw;
    }
    if (flush == CreationFlush::kFlushed) syncFolderOf(path);
}

}  // namespace engine
