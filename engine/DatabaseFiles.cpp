#include "engine/DatabaseFiles.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/Decimal.h"
#include "engine/Internal.h"

namespace engine {

using namespace detail;

namespace {

constexpr int kFindingsReported = 5;
constexpr int kBusyPauseMs = 2;
// A source written between steps starts the copy over. A database written
// without pause is given up on after this many restarts rather than locked
// for a whole pass: the host application's writes must never wait for a copy.
constexpr int kRestartsAllowed = 64;
// How long another program may keep the source locked before the copy
// gives up, as a connection's busy timeout would.
constexpr int kLockedGiveUpMs = 10000;

// A handle of its own, closed however the work ends.
class Handle {
  public:
    Handle(const std::string& path, int flags) {
        const int rc = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_EXRESCODE, nullptr);
        if (rc != SQLITE_OK) {
            const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
            sqlite3_close_v2(db_);
            db_ = nullptr;
            raiseCannotOpen(path, message);
        }
        sqlite3_extended_result_codes(db_, 1);
        // A check reads the indexes of Decimal fields, ordered by their collation.
        detail::registerDecimalCollation(db_);
    }
    ~Handle() { sqlite3_close_v2(db_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    sqlite3* get() const { return db_; }

  private:
    sqlite3* db_ = nullptr;
};

}  // namespace

std::optional<std::string> FindDamage(const std::string& path) {
    const Handle handle(path, SQLITE_OPEN_READONLY);
    sqlite3_stmt* raw = nullptr;
    const std::string check = "PRAGMA quick_check(" + std::to_string(kFindingsReported) + ")";
    if (sqlite3_prepare_v2(handle.get(), check.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
        return std::string(sqlite3_errmsg(handle.get()));
    }
    std::string findings;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
        const std::string line = text ? text : "";
        if (line == "ok") continue;
        findings += (findings.empty() ? "" : "; ") + line;
    }
    if (rc != SQLITE_DONE && findings.empty()) findings = sqlite3_errmsg(handle.get());
    sqlite3_finalize(raw);
    if (findings.empty()) return std::nullopt;
    return findings;
}

void CopyDatabaseOnline(const std::string& source, const std::string& destination,
                        int pagesPerStep) {
    struct stat info {};
    if (::lstat(destination.c_str(), &info) == 0) {
        raise(hr::kUnspecified, jet::kCannotOpen,
              "The copy's destination '" + destination + "' exists already.");
    }
    const Handle from(source, SQLITE_OPEN_READONLY);
    bool copied = false;
    try {
        const Handle to(destination, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        // A copy nobody uses yet: a crash leaves a file the caller discards.
        sqlite3_exec(to.get(), "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
        sqlite3_backup* backup = sqlite3_backup_init(to.get(), "main", from.get(), "main");
        if (backup == nullptr)
            raiseSqlite(to.get(), sqlite3_extended_errcode(to.get()), "starting the copy");
        int restarts = 0;
        int lastRemaining = -1;
        int lockedMs = 0;
        int rc = SQLITE_OK;
        while (restarts <= kRestartsAllowed) {
            rc = sqlite3_backup_step(backup, pagesPerStep);
            if (rc == SQLITE_DONE) break;
            if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
                if (lockedMs >= kLockedGiveUpMs) break;
                lockedMs += sqlite3_sleep(kBusyPauseMs);  // a writer is committing: let it finish
                continue;
            }
            if (rc != SQLITE_OK) break;
            lockedMs = 0;
            // A step that copied pages yet left no fewer to go started over.
            const int remaining = sqlite3_backup_remaining(backup);
            if (lastRemaining >= 0 && remaining >= lastRemaining) ++restarts;
            lastRemaining = remaining;
        }
        const int finished = sqlite3_backup_finish(backup);
        if (rc == SQLITE_OK) {
            raise(hr::kUnspecified, jet::kNone,
                  "The database '" + source + "' was written to " +
                      std::to_string(kRestartsAllowed) +
                      " times while it was being copied; the copy was given up so that the "
                      "program writing it is not held up. Try again when it is less busy.");
        }
        if (rc != SQLITE_DONE) raiseSqlite(to.get(), rc, "copying '" + source + "'");
        if (finished != SQLITE_OK) raiseSqlite(to.get(), finished, "finishing the copy");
        copied = true;
    } catch (...) {
        if (!copied) ::unlink(destination.c_str());
        throw;
    }
}

}  // namespace engine
