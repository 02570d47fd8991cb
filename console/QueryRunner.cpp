#include "console/QueryRunner.h"

#include <cstdint>
#include <exception>
#include <filesystem>
#include <stdexcept>

namespace console {

std::string QueryLog::PathBesideProgram(const std::string& programPath) {
    return programPath + "実行クエリ保存.txt";
}

bool QueryLog::EnsureExists(const std::string& path) {
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        return true;
    }
    std::ofstream created(path, std::ios::binary | std::ios::app);
    return created.is_open();
}

QueryLog::QueryLog(const std::string& path)
    : path_(path), stream_(path, std::ios::binary | std::ios::app) {}

void QueryLog::Append(const std::string& statement) {
    if (!stream_.is_open()) {
        return;
    }
    std::error_code sizeError;
    const std::uintmax_t sizeBefore = std::filesystem::file_size(path_, sizeError);
    stream_ << statement << '\n';
    stream_.flush();
    if (!stream_) {
        // A full disk takes part of the line. Cut it off, so the log never
        // ends in half a statement, and write no more: a log with a gap
        // would misstate what ran.
        writeFailed_ = true;
        stream_.close();
        if (!sizeError) std::filesystem::resize_file(path_, sizeBefore, sizeError);
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
        for (std::size_t index = 0; index < statements.size(); ++index) {
            current = index;
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
