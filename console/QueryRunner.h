// Running an operator's statements on an open connection, all or nothing.
//
// The statements run in one transaction: every one of them takes effect, or,
// when one is refused, none does. The outcome is a value; showing it (message
// boxes in the console window, standard error on the command line) is the
// caller's business.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/QueryScript.h"
#include "engine/Engine.h"

namespace console {

// The log of executed statements: every statement that
// ran, one per line, appended across runs and never emptied. Statements are
// written as each one succeeds, before the commit, so a failed run leaves the
// statements that ran before the failure in the log although they were
// rolled back. Database passwords are written masked, and the file is the
// user's alone (0600; an existing one is narrowed to that); a symbolic link
// in its place is refused, not followed.
// Told to the operator when the log could not be opened or a write to it
// failed, followed by the log's path.
// What a window says when its action ran out of memory.
inline constexpr std::string_view kOutOfMemoryText =
    "メモリが不足したため実行を中止しました。何も変更されていません。";
inline constexpr std::string_view kLogNotWrittenText = "実行クエリの記録を書き込めませんでした： ";

class QueryLog {
  public:
    // The log in `folder` (ending with "/"), named after the program:
    // PathIn("/home/u/.local/state/vantoly/", "VantolyPatch") is
    // "/home/u/.local/state/vantoly/VantolyPatch実行クエリ保存.txt".
    static std::string PathIn(const std::string& folder, const std::string& programName);

    // Creates the log empty when no file exists at `path`; false when it
    // could not be created.
    static bool EnsureExists(const std::string& path);

    // Opens the log for appending. A log that cannot be opened does not stop
    // a run: IsOpen() is false and Append does nothing.
    explicit QueryLog(const std::string& path);
    ~QueryLog();
    QueryLog(const QueryLog&) = delete;
    QueryLog& operator=(const QueryLog&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // True once a write has failed; the run goes on regardless. The log then
    // keeps nothing of the failed statement and takes no more.
    bool WriteFailed() const { return writeFailed_; }

    void Append(const std::string& statement);

  private:
    int fd_ = -1;
    bool writeFailed_ = false;
};

// Told about each statement that has run, while its result is still open.
class QueryRunObserver {
  public:
    virtual ~QueryRunObserver() = default;
    // `result` is open when the statement returned rows (a SELECT) and closed
    // otherwise. An engine::ComError raised here fails the run at this
    // statement, as if the statement itself had been refused.
    virtual void StatementExecuted(std::size_t index, const QueryStatement& statement,
                                   engine::Recordset& result) = 0;
};

enum class QueryRunStage {
    kBegin,    // the transaction could not be begun; nothing ran
    kExecute,  // a statement was refused
    kCommit,   // every statement ran but the commit failed
};

struct QueryFailure {
    QueryRunStage stage;
    std::optional<std::size_t> statementIndex;  // the refused statement (kExecute only)
    engine::ComError error;
    // Set when rolling back after the failure failed too (the transaction's
    // fate is then the engine's); absent when no roll-back was needed.
    std::optional<engine::ComError> rollbackError;
};

struct QueryRunResult {
    std::size_t executedCount = 0;  // statements that ran before the end or the failure
    std::optional<QueryFailure> failure;

    bool Committed() const { return !failure.has_value(); }
};

struct QueryRunOptions {
    QueryRunObserver* observer = nullptr;  // may be none
    QueryLog* log = nullptr;               // may be none
    // Asked before each statement and before the commit; true ends the run
    // as a statement cancelled by the user (jet::kCanceledByUser) would.
    std::function<bool()> stopRequested = nullptr;
};

// Begins a transaction on `connection`, executes each statement in order
// (options -1, the record set released after the observer has seen it),
// appends each to the log as it succeeds, and commits. At the first engine
// error everything is rolled back and the failure is returned; the
// statements after it do not run. Any other exception (from the observer,
// say) rolls back too and is passed on.
QueryRunResult RunQueries(engine::Connection& connection,
                          const std::vector<QueryStatement>& statements,
                          const QueryRunOptions& options = {});

}  // namespace console
