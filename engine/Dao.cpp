#include "engine/Internal.h"

namespace engine {

using namespace detail;

namespace {

// The Jet SQL type words for a DAO field description.
std::string typeWords(const DaoFieldInfo& info) {
    if (info.attributes & dbAutoIncrField) return "COUNTER";
    switch (info.type) {
        case dbBoolean:
            return "YESNO";
        case dbByte:
            return "BYTE";
        case dbInteger:
            return "SHORT";
        case dbLong:
            return "LONG";
        case dbCurrency:
            return "CURRENCY";
        case dbSingle:
            return "SINGLE";
        case dbDouble:
            return "DOUBLE";
        case dbDate:
            return "DATETIME";
        case dbText:
            return "TEXT(" + std::to_string(info.size > 0 ? info.size : 255) + ")";
        case dbLongBinary:
            return "LONGBINARY";
        case dbMemo:
            return "MEMO";
        case dbGUID:
            return "GUID";
        default:
            raise(hr::kInvalidArg, jet::kInvalidFieldType,
                  "Invalid field data type " + std::to_string(info.type) + " for field '" +
                      info.name + "'.");
    }
}

std::string bracketed(const std::string& name) {
    if (name.find(']') != std::string::npos || name.empty()) {
        raise(hr::kInvalidArg, jet::kInvalidName, "'" + name + "' is not a valid name.");
    }
    return "[" + name + "]";
}

}  // namespace

DaoDatabase::DaoDatabase() = default;
DaoDatabase::~DaoDatabase() = default;

std::shared_ptr<DaoDatabase> DaoDatabase::create() {
    return std::shared_ptr<DaoDatabase>(new DaoDatabase());
}

void DaoDatabase::Open(const std::string& path, bool, bool readOnly, const std::string& connect) {
    if (readOnly)
        raise(hr::kInvalidArg, jet::kReadOnly, "Read-only opening is not provided by this engine.");
    std::string password;
    for (auto& [key, value] : parseConnectionText(connect)) {
        if (key == "PWD") password = std::move(value);
    }
    auto connection = Connection::create();
    connection->Open(DatabaseConnectionText(kJetProvider, path, password));
    connection_ = connection;
}

void DaoDatabase::Close() {
    if (connection_ && connection_->State() == adStateOpen) connection_->Close();
    connection_.reset();
}

bool DaoDatabase::IsOpen() const {
    return connection_ && connection_->State() == adStateOpen;
}

Connection& DaoDatabase::connection() {
    if (!IsOpen())
        raise(hr::kObjectClosed, jet::kObjectInvalid,
              "Object invalid or no longer set: the database is not open.");
    return *connection_;
}

std::shared_ptr<DaoTableDef> DaoDatabase::OpenTableDef(const std::string& tableName) {
    sqlite3* db = connectionHandle(connection());
    if (!Store(db).findTable(tableName) || isSystemName(tableName)) {
        raise(hr::kItemNotFound, jet::kItemNotFound,
              "Item not found in this collection: there is no table '" + tableName + "'.");
    }
    return std::make_shared<DaoTableDef>(shared_from_this(), tableName);
}

DaoTableDef::DaoTableDef(std::shared_ptr<DaoDatabase> database, std::string tableName)
    : database_(std::move(database)), tableName_(std::move(tableName)) {}

void DaoTableDef::CreateField(const DaoFieldInfo& info) {
    if (!open_)
        raise(hr::kObjectClosed, jet::kObjectInvalid,
              "Object invalid or no longer set: the table definition is closed.");
    std::string sql = "ALTER TABLE " + bracketed(tableName_) + " ADD COLUMN " +
                      bracketed(info.name) + " " + typeWords(info);
    if (info.required) sql += " NOT NULL";
    if (!info.defaultValue.empty()) {
        translateExpression(info.defaultValue);  // refuses a default that is not a plain value
        sql += " DEFAULT " + info.defaultValue;
    }
    Connection& connection = database_->connection();
    // A text field DAO makes refuses a zero-length text unless told otherwise.
    const bool refuseZeroLength =
        !info.allowZeroLength && (info.type == dbText || info.type == dbMemo);
    if (info.ordinalPosition == 0 && !refuseZeroLength) {
        connection.Execute(sql, nullptr, -1);
        return;
    }
    // The field, its ordinal position and its properties arrive together or not at all.
    Transaction transaction(connection);
    connection.Execute(sql, nullptr, -1);
    if (info.ordinalPosition != 0) {
        Store store(connectionHandle(connection));
        store.setOrdinalPosition(store.findTable(tableName_).value_or(tableName_), info.name,
                                 info.ordinalPosition);
    }
    if (refuseZeroLength)
        SetFieldProperty(connection, tableName_, info.name, "AllowZeroLength",
                         Variant::fromBool(false));
    transaction.commit();
}

void DaoTableDef::Close() {
    open_ = false;
}

}  // namespace engine
