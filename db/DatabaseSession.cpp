#include "db/DatabaseSession.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <utility>

#include "db/ComErrorText.h"
#include "db/DatabaseFileCheck.h"
#include "db/NumberText.h"
#include "db/SchemaNames.h"
#include "db/VariantToText.h"

namespace db {

namespace {

constexpr std::string_view kUnsupportedExtensionText = "対応していない拡張子です：";
constexpr std::string_view kConnectedTitlePrefix = "データベース更新(";
constexpr std::string_view kFailedTitlePrefix = "データベース接続に失敗しました - 対象DB名 ･･･ ";

constexpr long kStateOpen = engine::adStateOpen;

// Runs one probe step and turns whatever it raises into the text to report:
// nullopt when it succeeded.
template <typename Body>
std::optional<std::string> FailureText(Body&& body, std::string_view otherFailureText) {
    try {
        body();
        return std::nullopt;
    } catch (const engine::ComError& error) {
        return ComErrorText(error);
    } catch (const std::exception&) {
        return std::string(otherFailureText);
    } catch (...) {
        return std::string(otherFailureText);
    }
}

// Calls `visit` with the "TABLE_NAME" of every row of the tables schema, in
// the schema's order, as it is: statements bracket it (BracketedName).
template <typename Visit>
void ForEachSchemaTableName(engine::Connection& connection, Visit&& visit) {
    std::shared_ptr<engine::Recordset> schema = connection.OpenSchema(engine::adSchemaTables);
    if (schema->IsBOF()) {
        return;
    }
    while (!schema->IsEOF()) {
        visit(VariantToText(schema->Collect("TABLE_NAME")));
        schema->MoveNext();
    }
}

}  // namespace

std::optional<std::string> ConnectionText(const std::string& folder, const std::string& name,
                                          const std::string& extension,
                                          const std::string& password) {
    std::string provider;
    if (extension.find("mdb") != std::string::npos) {
        provider = engine::kJetProvider;
    } else if (extension.find("accdb") != std::string::npos) {
        provider = engine::kAceProvider;
    } else {
        return std::nullopt;
    }
    return engine::DatabaseConnectionText(provider, folder + name + extension, password);
}

std::shared_ptr<engine::Recordset> ExecuteStatement(
    const std::shared_ptr<engine::Connection>& connection, const std::string& statement) {
    if (!connection) {
        throw engine::ComError(engine::hr::kInvalidPointer, std::nullopt, std::nullopt);
    }
    engine::Variant recordsAffected = engine::Variant::fromI4(0);
    return connection->Execute(statement, &recordsAffected, -1);
}

std::optional<std::string> CollectText(const engine::Recordset& recordset,
                                       const std::string& column) {
    if (recordset.IsEOF()) {
        return std::nullopt;
    }
    const engine::Variant value = recordset.Collect(column);
    if (value.isNull()) {
        return std::nullopt;
    }
    return VariantToText(value);
}

DatabaseSession::DatabaseSession(SessionWindow& window, platform::MessageBoxes& messageBoxes,
                                 SessionTexts texts, ConnectionFactory connectionFactory)
    : window_(window),
      messageBoxes_(messageBoxes),
      texts_(std::move(texts)),
      connectionFactory_(connectionFactory ? std::move(connectionFactory)
                                           : ConnectionFactory(&engine::Connection::create)) {}

void DatabaseSession::OpenDatabase(const std::string& folder, const std::string& name,
                                   const std::string& extension) {
    // The engine closes the previous connection when its last reference goes.
    sessionConnection_.reset();
    lastOpenError_ = FailureText(
        [&] {
            sessionConnection_ = connectionFactory_();
            if (!sessionConnection_) {
                throw std::runtime_error("the engine could not create a connection");
            }
        },
        kUnhandledExceptionText);

    if (!lastOpenError_) {
        const std::optional<std::string> connectionText =
            ConnectionText(folder, name, extension, password_);
        if (!connectionText) {
            messageBoxes_.Show({.text = std::string(kUnsupportedExtensionText) + extension,
                                .caption = texts_.applicationTitle,
                                .buttons = platform::MessageButtons::Ok,
                                .icon = platform::MessageIcon::None,
                                .owner = platform::MessageOwner::Window});
            return;
        }
        lastOpenError_ = FailureText(
            [&] {
                sessionConnection_->Open(*connectionText, "", "", 0);
                connected_ = true;
                window_.SetWindowTitle(std::string(kConnectedTitlePrefix) + texts_.releaseDateText +
                                       ")");
                window_.EnableUpdateButton();
                window_.ShowVersionText("ver." + ReadDatabaseVersion());
            },
            kUnhandledExceptionText);
    }

    if (lastOpenError_ && !connected_) {
        window_.SetWindowTitle(std::string(kFailedTitlePrefix) + name + extension);
        window_.RefreshControlState(ControlState::Idle);
    }
}

void DatabaseSession::CloseDatabase() {
    if (!connected_) {
        return;
    }
    connected_ = false;
    if (auto failure = FailureText([&] { RequireConnection().Close(); }, kUnhandledExceptionText)) {
        ShowErrorReport(*failure);
    }
}

std::shared_ptr<engine::Recordset> DatabaseSession::Execute(const std::string& statement) const {
    return ExecuteStatement(sessionConnection_, statement);
}

void DatabaseSession::ShowErrorReport(const std::string& text) {
    messageBoxes_.Show({.text = text,
                        .caption = texts_.applicationTitle,
                        .buttons = platform::MessageButtons::Ok,
                        .icon = platform::MessageIcon::Warning,
                        .owner = platform::MessageOwner::Window});
}

void DatabaseSession::ShowVersionError(const std::string& text) {
    messageBoxes_.Show({.text = text,
                        .caption = texts_.applicationTitle,
                        .buttons = platform::MessageButtons::Ok,
                        .icon = platform::MessageIcon::Warning,
                        .owner = platform::MessageOwner::SystemModal});
}

engine::Connection& DatabaseSession::RequireConnection() const {
    if (!sessionConnection_) {
        throw engine::ComError(engine::hr::kInvalidPointer, std::nullopt, std::nullopt);
    }
    return *sessionConnection_;
}

bool DatabaseSession::SessionIsOpen() const {
    return RequireConnection().State() == kStateOpen;
}

std::string DatabaseSession::ReadDatabaseVersion() {
    std::string version;
    std::optional<std::string> failure;
    try {
        version = ReadVersionText(RequireConnection());
    } catch (const engine::ComError& error) {
        failure = ComErrorText(error) + "\n" + std::string(kVersionStatement);
    } catch (...) {
        failure = std::string(kProbeUnknownErrorText);
    }
    if (failure) {
        ShowVersionError(*failure);
    }
    return version;
}

bool DatabaseSession::ListUserTables(std::vector<std::string>& list) {
    list.clear();
    auto failure = FailureText(
        [&] {
            if (!SessionIsOpen()) {
                return;
            }
            ForEachSchemaTableName(*sessionConnection_, [&](std::string name) {
                if (IsUserTableName(name)) {
                    list.push_back(std::move(name));
                }
            });
        },
        kProbeUnknownErrorText);
    if (failure) {
        ShowErrorReport(*failure);
    }
    return !failure;
}

std::optional<std::string> DatabaseSession::FindTable(const std::string& name, int& answer) {
    answer = 0;
    return FailureText(
        [&] {
            if (!SessionIsOpen()) {
                return;
            }
            ForEachSchemaTableName(*sessionConnection_, [&](const std::string& tableName) {
                if (tableName == name) {
                    answer = 1;
                }
            });
        },
        kProbeUnknownErrorText);
}

int DatabaseSession::TableExists(const std::string& name) {
    int answer = 0;
    if (auto failure = FindTable(name, answer)) {
        ShowErrorReport(*failure);
    }
    return answer;
}

void DatabaseSession::OpenTableRecordset(const std::string& table,
                                         const std::function<void(const engine::Fields&)>& visit) {
    std::shared_ptr<engine::Recordset> recordset = engine::Recordset::create();
    recordset->Open(table, sessionConnection_, engine::adOpenForwardOnly, engine::adLockReadOnly,
                    engine::adCmdTable);
    visit(*recordset->GetFields());
    recordset->Close();
}

// The table's field list, searched: the same probe, the same failure box,
// and after a failure the answer from the names read until then.
int DatabaseSession::ColumnExists(const std::string& table, const std::string& column) {
    std::vector<std::string> fields;
    ListFieldNames(table, fields);
    return std::find(fields.begin(), fields.end(), column) != fields.end() ? 1 : 0;
}

bool DatabaseSession::ListFieldNames(const std::string& table, std::vector<std::string>& list) {
    list.clear();
    int exists = 0;
    if (auto failure = FindTable(table, exists)) {
        ShowErrorReport(*failure);
        return false;
    }
    if (exists != 1) {
        return true;
    }
    auto failure = FailureText(
        [&] {
            if (!SessionIsOpen()) {
                return;
            }
            OpenTableRecordset(table, [&](const engine::Fields& fields) {
                for (long position = 0; position < fields.Count(); ++position) {
                    list.push_back(fields.Item(position).Name());
                }
            });
        },
        kProbeUnknownErrorText);
    if (failure) {
        ShowErrorReport(*failure);
    }
    return !failure;
}

}  // namespace db
