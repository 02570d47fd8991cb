#include <sys/stat.h>

#include <algorithm>
#include <mutex>
#include <set>

#include "engine/Internal.h"
#include "engine/PreparedStatement.h"

namespace engine {

using namespace detail;

namespace {

std::shared_ptr<Column> makeColumn(const StoredColumn& c, bool inPrimaryKey) {
    auto col = std::make_shared<Column>();
    col->name = c.name;
    col->type = c.type.adoType;
    col->definedSize = c.type.definedSize;
    col->attributes = (c.type.fixed ? long{adColFixed} : 0L) |
                      (c.notNull || inPrimaryKey ? 0L : long{adColNullable});
    col->autoIncrement = c.type.autoIncrement;
    col->seed = c.type.seed;
    col->increment = c.type.increment;
    col->defaultValue = c.defaultJet;
    col->physicalPosition = c.position;
    col->ordinalPosition = c.ordinalPosition.value_or(c.position);
    col->allowZeroLength = c.allowZeroLength;
    col->description = c.description;
    col->expression = c.expressionJet;
    return col;
}

bool lessNoCase(const std::string& a, const std::string& b) {
    return upperAscii(a) < upperAscii(b);
}

void loadUserTable(sqlite3* db, Table& table) {
    StoredTable stored = Store(db).loadTable(table.Name());
    table.description_ = stored.description;
    std::set<std::string> primary;
    for (const auto& k : stored.keys) {
        if (k.type == adKeyPrimary) {
            for (const auto& c : k.columns) primary.insert(upperAscii(c));
        }
    }
    auto byName = [&](const std::string& name) -> const StoredColumn* {
        for (const auto& c : stored.columns) {
            if (equalsNoCase(c.name, name)) return &c;
        }
        return nullptr;
    };
    std::vector<StoredColumn> sorted = stored.columns;
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return lessNoCase(a.name, b.name); });
    for (const auto& c : sorted)
        table.columns_.append(makeColumn(c, primary.count(upperAscii(c.name)) > 0));
    for (const auto& k : stored.keys) {
        auto key = std::make_shared<Key>();
        key->name = k.name;
        key->type = k.type;
        key->relatedTable = k.type == adKeyForeign ? k.refTable : "";
        key->updateRule = k.updateRule;
        key->deleteRule = k.deleteRule;
        for (std::size_t i = 0; i < k.columns.size(); ++i) {
            const StoredColumn* c = byName(k.columns[i]);
            auto col = c ? makeColumn(*c, primary.count(upperAscii(c->name)) > 0)
                         : std::make_shared<Column>();
            if (!c) col->name = k.columns[i];
            if (i < k.refColumns.size()) col->relatedColumn = k.refColumns[i];
            key->columns.append(col);
        }
        table.keys_.append(key);
    }
    for (const auto& i : stored.indexes) {
        auto index = std::make_shared<Index>();
        index->name = i.name;
        index->unique = i.unique;
        index->primaryKey = i.primary;
        index->ignoreNulls = i.ignoreNulls;
        for (std::size_t n = 0; n < i.columns.size(); ++n) {
            const StoredColumn* c = byName(i.columns[n]);
            auto col = c ? makeColumn(*c, primary.count(upperAscii(c->name)) > 0)
                         : std::make_shared<Column>();
            if (!c) col->name = i.columns[n];
            col->sortOrder = i.isDescending(n) ? adSortDescending : adSortAscending;
            index->columns.append(col);
        }
        table.indexes_.append(index);
    }
}

// The engine's own system tables are described from SQLite's view of them.
void loadSystemTable(sqlite3* db, Table& table) {
    const PreparedStatement owner = prepare(db,
                                            "SELECT name, type, \"notnull\", cid FROM "
                                            "pragma_table_info(?) ORDER BY name COLLATE NOCASE",
                                            "reading the catalog");
    sqlite3_stmt* stmt = owner.get();
    std::string name = table.Name();
    sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        auto col = std::make_shared<Column>();
        col->name = requiredText(stmt, 0);
        int ado = adLongVarWChar;
        long size = 0;
        typeFromDecl(columnText(stmt, 1).value_or("").c_str(), ado, size);
        col->type = ado;
        col->definedSize = size;
        col->attributes = (ado == adInteger ? long{adColFixed} : 0L) |
                          (sqlite3_column_int(stmt, 2) ? 0L : long{adColNullable});
        col->physicalPosition = sqlite3_column_int(stmt, 3) + 1;
        col->ordinalPosition = col->physicalPosition;
        table.columns_.append(col);
    }
}

// The connection of the last catalog, kept for the next one on the same file.
// The relationship count scan opens a catalog hundreds of times in a row, and
// each fresh SQLite connection parses the whole schema again. A kept
// connection is used again only while the connection text is the same, the
// path still names the same file, and the password it was opened with is
// still the database's.
//
// The tables read through it are kept too, and handed to the next catalog
// while the file is unchanged: SQLite's schema version moves with every DDL
// statement, and its data version with every change another connection
// commits (catalog rows such as a field's ordinal position change without
// DDL). The kept connection itself never writes.
struct KeptConnection {
    std::string connectionText;
    dev_t device = 0;
    ino_t inode = 0;
    std::optional<std::string> passwordHash;
    std::shared_ptr<Connection> connection;
    std::pair<long long, long long> versions{-1, -1};  // schema, data
    std::optional<Collection<Table>> tables;
};

std::mutex keptMutex;
std::optional<KeptConnection> kept;

bool sameFile(const std::string& path, dev_t device, ino_t inode) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && info.st_dev == device && info.st_ino == inode;
}

std::optional<std::string> storedPasswordHash(Connection& connection) {
    return Store(connectionHandle(connection)).property("PasswordHash");
}

long long pragmaValue(sqlite3* db, const char* sql) {
    PreparedStatement stmt = prepare(db, sql, "reading the catalog");
    if (sqlite3_step(stmt.get()) != SQLITE_ROW)
        raiseSqlite(db, sqlite3_extended_errcode(db), "reading the catalog");
    return sqlite3_column_int64(stmt.get(), 0);
}

Collection<Table> readTables(const std::shared_ptr<Connection>& connection) {
    sqlite3* db = connectionHandle(*connection);
    Collection<Table> tables;
    for (const auto& name : Store(db).tableNames(true)) {
        bool system = isSystemName(name);
        // The loader holds the connection, so a table outlives its catalog.
        tables.append(std::make_shared<Table>(name, system ? "SYSTEM TABLE" : "TABLE",
                                              [connection, system](Table& t) {
                                                  sqlite3* handle = connectionHandle(*connection);
                                                  if (system)
                                                      loadSystemTable(handle, t);
                                                  else
                                                      loadUserTable(handle, t);
                                              }));
    }
    return tables;
}

// The kept connection for `connectionText`, opened afresh when it cannot be
// used again; called with keptMutex held.
std::shared_ptr<Connection> catalogConnection(const std::string& connectionText) {
    if (kept && kept->connectionText == connectionText &&
        kept->connection->State() == adStateOpen &&
        sameFile(kept->connection->DataSource(), kept->device, kept->inode)) {
        try {
            if (storedPasswordHash(*kept->connection) == kept->passwordHash)
                return kept->connection;
        } catch (const ComError&) {
            // The kept connection no longer reads its file; open afresh below.
        }
    }
    kept.reset();
    auto connection = Connection::create();
    connection->Open(connectionText);
    struct stat info {};
    if (::stat(connection->DataSource().c_str(), &info) == 0) {
        kept = KeptConnection{
            connectionText, info.st_dev, info.st_ino, storedPasswordHash(*connection),
            connection,     {-1, -1},    {}};
    }
    return connection;
}

struct Snapshot {
    std::shared_ptr<Connection> connection;
    Collection<Table> tables;
};

Snapshot catalogSnapshot(const std::string& connectionText) {
    std::lock_guard lock(keptMutex);
    auto connection = catalogConnection(connectionText);
    sqlite3* db = connectionHandle(*connection);
    const std::pair versions{pragmaValue(db, "PRAGMA schema_version"),
                             pragmaValue(db, "PRAGMA data_version")};
    if (!kept || kept->connection != connection) return {connection, readTables(connection)};
    if (!kept->tables || kept->versions != versions) {
        kept->tables = readTables(connection);
        kept->versions = versions;
    }
    return {connection, *kept->tables};
}

}  // namespace

std::shared_ptr<Catalog> Catalog::create() {
    return std::shared_ptr<Catalog>(new Catalog());
}

void Catalog::putActiveConnection(const std::string& connectionText) {
    Snapshot snapshot = catalogSnapshot(connectionText);
    connection_ = std::move(snapshot.connection);
    tables_ = std::move(snapshot.tables);
}

const Collection<Table>& Catalog::Tables() const {
    if (!tables_) {
        raise(hr::kObjectClosed, jet::kObjectClosed,
              "The catalog has no active connection: set ActiveConnection first.");
    }
    return *tables_;
}

}  // namespace engine
