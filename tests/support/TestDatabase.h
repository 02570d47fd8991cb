// A small database at version 1.25 for tests that need a real file.
#pragma once

#include <string>

#include "engine/Engine.h"

namespace testsupport {

inline std::string JetConnectionText(const std::string& path, const std::string& password = "") {
    return engine::DatabaseConnectionText(engine::kJetProvider, path, password);
}

// Creates the file with a t_db_ver table holding 1.25 and `fillerRows` rows
// of 200 characters in a table "filler", to give it some size.
inline void MakeVersionDatabase(const std::string& path, const std::string& password = "",
                                int fillerRows = 0) {
    engine::CreateDatabase(path, password);
    auto connection = engine::Connection::create();
    connection->Open(JetConnectionText(path, password));
    connection->Execute("CREATE TABLE t_db_ver (DBVerCode CURRENCY)");
    connection->Execute("INSERT INTO t_db_ver (DBVerCode) VALUES (1.25)");
    if (fillerRows > 0) {
        connection->Execute("CREATE TABLE filler (id INTEGER, body TEXT(255))");
        connection->BeginTrans();
        for (int row = 0; row < fillerRows; ++row) {
            connection->Execute("INSERT INTO filler (id, body) VALUES (" + std::to_string(row) +
                                ", '" + std::string(200, static_cast<char>('a' + row % 26)) + "')");
        }
        connection->CommitTrans();
    }
    connection->Close();
}

}  // namespace testsupport
