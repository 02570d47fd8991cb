// A write lock held by this (test) process through SQLite itself, as the
// host application's own connection would hold it in a write transaction.
#pragma once

#include <sqlite3.h>

#include <stdexcept>
#include <string>

namespace reliability {

class WriteLockHolder {
  public:
    explicit WriteLockHolder(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &handle_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
            sqlite3_exec(handle_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot lock " + path + ": " + sqlite3_errmsg(handle_));
    }
    ~WriteLockHolder() {
        sqlite3_exec(handle_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(handle_);
    }
    WriteLockHolder(const WriteLockHolder&) = delete;
    WriteLockHolder& operator=(const WriteLockHolder&) = delete;

  private:
    sqlite3* handle_ = nullptr;
};

}  // namespace reliability
