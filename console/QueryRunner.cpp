#include "console/QueryRunner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <stdexcept>

#include "db/PasswordMask.h"

namespace console {

std::string QueryLog::PathIn(const std::string& folder, const std::string& programName) {
    return folder + programName + "実行クエリ保存.txt";
}

namespace {

// The log opened for appending, created 0600 when missing; -1 when it cannot
// be opened.
int OpenLog(const std::string& path) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    // A log from before statements were masked may be readable by others;
    // it is the user's alone from now on, or it is not written to.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || ((info.st_mode & 077) != 0 && ::fchmod(fd, 0600) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

bool QueryLog::EnsureExists(const std::string& path) {
    const int fd = OpenLog(path);
    return fd >= 0 && ::close(fd) == 0;
}

QueryLog::QueryLog(const std::string& path) : fd_(OpenLog(path)) {}

QueryLog::~QueryLog() {
    if (fd_ >= 0) ::close(fd_);
}

void QueryLog::Append(const std::string& statement) {
    if (fd_ < 0) {
        return;
    }
    struct stat before {};
    const bool sizeKnown = ::fstat(fd_, &before) == 0;
    if (!WriteAll(fd_, db::MaskPasswords(statement) + '\n')) {
        // A full disk takes part of the line. Cut it off, so the log never
        // ends in half a statement, and write no more: a log with a gap
        // would misstate what ran.
        writeFailed_ = true;
        if (sizeKnown && ::ftruncate(fd_, before.st_size) != 0) {
            // The half line stays; the operator is told that the log failed.
        }
        ::close(fd_);
        fd_ = -1;
    }
}

namespace {

// Rolls back after a failure. The roll-back's own failure is answered, not
// raised, so the failure that caused it stays the one reported.
std::optional<engine::ComError> RollBack(engine::Connection& connection) {
    try {
        connection.RollbackTrans();
        return std::nullopt;
    } catch (const engine::ComError& error) {
        return error;
    }
}

}  // namespace

QueryRunResult RunQueries(engine::Connection& connection,
                          const std::vector<QueryStatement>& statements,
                          const QueryRunOptions& options) {
    QueryRunResult result;
    try {
        connection.BeginTrans();
    } catch (const engine::ComError& error) {
        result.failure = QueryFailure{QueryRunStage::kBegin, std::nullopt, error, std::nullopt};
        return result;
    }

    QueryRunStage stage = QueryRunStage::kExecute;
    std::optional<std::size_t> current;
    try {
        const auto stopIfAsked = [&options] {
            if (options.stopRequested && options.stopRequested()) {
                throw engine::ComError(engine::hr::kCanceled, std::nullopt,
                                       "The run was stopped; nothing was committed.",
                                       engine::jet::kCanceledByUser);
            }
        };
        for (std::size_t index = 0; index < statements.size(); ++index) {
            current = index;
            stopIfAsked();
            engine::Variant recordsAffected = engine::Variant::fromI4(0);
            std::shared_ptr<engine::Recordset> recordset =
                connection.Execute(statements[index].text, &recordsAffected, -1);
            if (options.observer != nullptr) {
                options.observer->StatementExecuted(index, statements[index], *recordset);
            }
            if (recordset->State() == engine::adStateOpen) {
                recordset->Close();
            }
            ++result.executedCount;
            if (options.log != nullptr) {
                options.log->Append(statements[index].text);
            }
        }
        if (current) stopIfAsked();  // the failure then names the last statement
        stage = QueryRunStage::kCommit;
        current.reset();
        connection.CommitTrans();
    } catch (const engine::ComError& error) {
        result.failure = QueryFailure{stage, current, error, RollBack(connection)};
    } catch (const std::exception& other) {
        if (std::optional<engine::ComError> rollbackError = RollBack(connection)) {
            throw std::runtime_error(std::string(other.what()) +
                                     "; rolling back failed as well: " + rollbackError->what());
        }
        throw;
    }
    return result;
}

}  // namespace console
