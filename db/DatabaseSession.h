// The one session with the target database: its connection, opening and
// closing it, running statements on it, and the schema and version probes.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/SessionWindow.h"
#include "engine/Engine.h"
#include "platform/MessageBoxes.h"

namespace db {

// The statement whose answer is the database version.
inline constexpr std::string_view kVersionStatement =
    "SELECT MAX(DBVerCode) AS MaxDBVerCode FROM t_db_ver;";

// The connection text for a database file: the Jet provider when the
// extension contains "mdb", else the ACE provider when it contains "accdb"
// (case-sensitive, anywhere in the extension), else nullopt. Folder, name
// and extension are joined as given; the path and the password are quoted
// as connection texts require (engine::DatabaseConnectionText), so any
// bytes in them reach the engine unchanged.
std::optional<std::string> ConnectionText(const std::string& folder, const std::string& name,
                                          const std::string& extension,
                                          const std::string& password);

// Runs one statement on a connection with a records-affected variant holding
// the 32-bit integer 0 and options -1, and answers with its recordset.
// Raises engine::ComError: the engine's for a refused statement, code
// 0x80004003 (invalid pointer) with no source or description when
// `connection` is none.
std::shared_ptr<engine::Recordset> ExecuteStatement(
    const std::shared_ptr<engine::Connection>& connection, const std::string& statement);

// The text (VariantToText) of a column of the recordset's current row;
// nullopt at EOF or for a null value. Raises engine::ComError for a column
// the recordset does not have.
std::optional<std::string> CollectText(const engine::Recordset& recordset,
                                       const std::string& column);

// The texts the session shows and does not own.
struct SessionTexts {
    std::string applicationTitle;  // `ApplicationTitle`: caption of its message boxes
    std::string releaseDateText;   // `ReleaseDateText`: part of the connected title
};

// Creates the engine connection object; may throw, which the session treats
// as "the engine could not be created".
using ConnectionFactory = std::function<std::shared_ptr<engine::Connection>()>;

class DatabaseSession {
  public:
    // The window and the message boxes must outlive the session. The factory
    // defaults to engine::Connection::create.
    DatabaseSession(SessionWindow& window, platform::MessageBoxes& messageBoxes, SessionTexts texts,
                    ConnectionFactory connectionFactory = {});

    DatabaseSession(const DatabaseSession&) = delete;
    DatabaseSession& operator=(const DatabaseSession&) = delete;

    // `Password` of the target database record, put into the connection text.
    void SetPassword(std::string password) { password_ = std::move(password); }
    const std::string& Password() const { return password_; }

    // Replaces the connection and opens the database file
    // folder + name + extension. On success: connected, the connected
    // title, the update button enabled and the version shown. An extension
    // without "mdb" or "accdb" shows "対応していない拡張子です：" + extension
    // and changes nothing else. Any other failure shows no box; when not
    // connected it sets the failure title and the idle control state, and
    // its error text stays available from LastOpenErrorText().
    void OpenDatabase(const std::string& folder, const std::string& name,
                      const std::string& extension);

    // Closes the connection when connected; the object stays until the next
    // open. A failing close is shown in the error report box; the session
    // counts as closed afterwards either way.
    void CloseDatabase();

    // ExecuteStatement on `SessionConnection`.
    std::shared_ptr<engine::Recordset> Execute(const std::string& statement) const;

    // The probes. None of them raises: each shows its failure in a message
    // box and answers with what it had found so far. The two lists answer
    // false when they showed a failure.
    std::string ReadDatabaseVersion();  // "%3.2f" of the highest DBVerCode, or ""
    bool ListUserTables(std::vector<std::string>& list);
    int TableExists(const std::string& name);
    int ColumnExists(const std::string& table, const std::string& column);
    bool ListFieldNames(const std::string& table, std::vector<std::string>& list);

    // The session's connection; none before the first open or when the
    // engine could not create one.
    const std::shared_ptr<engine::Connection>& SessionConnection() const {
        return sessionConnection_;
    }
    bool Connected() const { return connected_; }

    // Why the last OpenDatabase failed (the error text block, or a fallback
    // text); nullopt after a successful open or before any.
    const std::optional<std::string>& LastOpenErrorText() const { return lastOpenError_; }

    // The error report box: `text`, Ok, warning icon, `ApplicationTitle`,
    // owned by the window.
    void ShowErrorReport(const std::string& text);

  private:
    // `SessionConnection`; the invalid-pointer error when there is none.
    engine::Connection& RequireConnection() const;
    bool SessionIsOpen() const;
    // TableExists without its box: the failure text, or nothing.
    std::optional<std::string> FindTable(const std::string& name, int& answer);
    void OpenTableRecordset(const std::string& table,
                            const std::function<void(const engine::Fields&)>& visit);
    void ShowVersionError(const std::string& text);

    SessionWindow& window_;
    platform::MessageBoxes& messageBoxes_;
    SessionTexts texts_;
    ConnectionFactory connectionFactory_;
    std::string password_;
    std::shared_ptr<engine::Connection> sessionConnection_;  // may be none
    bool connected_ = false;                                 // not cleared by a failed open
    std::optional<std::string> lastOpenError_;
};

}  // namespace db
