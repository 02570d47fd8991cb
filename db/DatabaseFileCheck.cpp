#include "db/DatabaseFileCheck.h"

#include "db/DatabaseSession.h"
#include "db/NumberText.h"
#include "db/VariantToText.h"
#include "engine/DatabaseFiles.h"

namespace db {

namespace {

std::string Reason(const engine::ComError& error) {
    return error.description().value_or(error.what());
}

}  // namespace

std::string ReadVersionText(engine::Connection& connection) {
    engine::Variant recordsAffected = engine::Variant::fromI4(0);
    std::shared_ptr<engine::Recordset> recordset =
        connection.Execute(std::string(kVersionStatement), &recordsAffected, -1);
    std::string version;
    if (!recordset->IsEOF()) {
        const engine::Variant value = recordset->Collect("MaxDBVerCode");
        if (!value.isNull()) {
            // The currency text carries the locale's separator, so the
            // number is read with it as well as with the full stop.
            const std::string separator = LocaleDecimalSeparator();
            version =
                FormatFixed(ReadLeadingNumber(VariantToText(value, separator), separator), 2, 3);
        }
    }
    recordset->Close();
    return version;
}

std::optional<std::string> CheckDatabaseFile(const std::string& path, const std::string& password,
                                             std::string_view requiredVersion) {
    auto connection = engine::Connection::create();
    try {
        // The engine's own checks: the file's kind, its catalog, the password.
        connection->Open(engine::DatabaseConnectionText(engine::kJetProvider, path, password));
    } catch (const engine::ComError& error) {
        return "does not open as a database of this program: " + Reason(error);
    }
    try {
        connection->Close();
        if (const std::optional<std::string> damage = engine::FindDamage(path))
            return "is damaged (SQLite quick_check: " + *damage + ").";
        if (requiredVersion.empty()) return std::nullopt;
        connection->Open(engine::DatabaseConnectionText(engine::kJetProvider, path, password));
        const std::string version = ReadVersionText(*connection);
        connection->Close();
        if (version != requiredVersion) {
            return "holds database version " + (version.empty() ? "(none)" : version) + ", not " +
                   std::string(requiredVersion) + ".";
        }
    } catch (const engine::ComError& error) {
        return "cannot be read as a database: " + Reason(error);
    }
    return std::nullopt;
}

}  // namespace db
