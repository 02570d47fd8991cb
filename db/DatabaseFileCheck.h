// The check a file passes before it takes the working database's name:
// whatever swaps a database into place (the restore, the conversion in
// place) runs it on its staging copy first, so a damaged or foreign file
// never stands where the host application opens its database.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/Engine.h"

namespace db {

// "%3.2f" of the highest DBVerCode in t_db_ver; "" when the table holds no
// version. ComError when it cannot be read.
std::string ReadVersionText(engine::Connection& connection);

// Opens the file at `path` with the engine and `password`, reads every page
// (SQLite's quick_check) and the version table; with a `requiredVersion`
// the version must be that one. What is wrong, worded to follow the file's
// name ("is damaged (…)", "holds database version 1.26, not 1.25."), or
// nothing when the file can stand in as the working database. Nothing in
// the file is changed.
std::optional<std::string> CheckDatabaseFile(const std::string& path, const std::string& password,
                                             std::string_view requiredVersion = {});

}  // namespace db
