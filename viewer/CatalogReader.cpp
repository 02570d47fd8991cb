#include "viewer/CatalogReader.h"

#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "db/ComErrorText.h"
#include "engine/Engine.h"

namespace viewer {
namespace {

using platform::WaitCursor;

bool IsEngineTableName(const std::string& name) {
    return name.starts_with("MS");
}

CDataColumn ColumnFromCatalog(const engine::Column& source) {
    CDataColumn column;
    column.name = source.Name();
    column.typeName = std::string(TypeNameOf(source.Type()));
    if (source.DefinedSize() != 0) {
        column.sizeText = std::to_string(source.DefinedSize());
    }
    if ((source.Attributes() & engine::adColNullable) == 0) {
        column.requiredText = std::string(kYesText);
    }
    column.descriptionText = source.description.value_or("");
    return column;
}

// Moves the entries of `pending` into `target` in the order of `fieldNames`.
// False when an entry is left over, that is when the catalog knows a name
// the field list does not.
template <typename Record>
bool TakeInFieldOrder(std::map<std::string, Record>& pending,
                      const std::vector<std::string>& fieldNames, std::vector<Record>& target) {
    for (const std::string& fieldName : fieldNames) {
        const auto found = pending.find(fieldName);
        if (found != pending.end()) {
            target.push_back(std::move(found->second));
            pending.erase(found);
        }
    }
    return pending.empty();
}

// Reads one table into `table`; the failure message when the catalog and the
// field list disagree. Engine errors propagate.
std::optional<std::string> ReadTable(const engine::Table& source, db::DatabaseSession& session,
                                     CDataADOXTable& table) {
    // A second catalog column of the same name replaces the first.
    std::map<std::string, CDataColumn> catalogColumns;
    const engine::Collection<engine::Column>& columns = source.Columns();
    table.description = source.Description().value_or("");
    for (long position = 0; position < columns.Count(); ++position) {
        CDataColumn column = ColumnFromCatalog(*columns.Item(position));
        std::string name = column.name;
        catalogColumns.insert_or_assign(std::move(name), std::move(column));
    }

    std::vector<std::string> fieldNames;
    session.ListFieldNames(table.name, fieldNames);
    for (const std::string& fieldName : fieldNames) {
        const auto found = catalogColumns.find(fieldName);
        if (found != catalogColumns.end()) {
            table.columns.push_back(std::move(found->second));
            catalogColumns.erase(found);
        } else {
            CDataColumn nameOnly;
            nameOnly.name = fieldName;
            table.columns.push_back(std::move(nameOnly));
        }
    }
    if (!catalogColumns.empty()) {
        return FieldMismatchText(table.name);
    }

    // Keyed by the referencing column; a later key replaces an earlier one.
    std::map<std::string, CDataForeignKey> foreignKeys;
    const engine::Collection<engine::Key>& keys = source.Keys();
    for (long keyPosition = 0; keyPosition < keys.Count(); ++keyPosition) {
        const std::shared_ptr<engine::Key> key = keys.Item(keyPosition);
        const std::string keyName = key->Name();
        const std::string relatedTable = key->RelatedTable();
        const engine::Collection<engine::Column>& keyColumns = key->Columns();
        for (long columnPosition = 0; columnPosition < keyColumns.Count(); ++columnPosition) {
            const std::shared_ptr<engine::Column> keyColumn = keyColumns.Item(columnPosition);
            const std::string columnName = keyColumn->Name();
            const std::string relatedColumn = keyColumn->RelatedColumn();
            for (CDataColumn& column : table.columns) {
                if (column.name != columnName) {
                    continue;
                }
                switch (key->Type()) {
                    case engine::adKeyPrimary:
                        column.keyKind = std::string(kPrimaryKeyKind);
                        break;
                    case engine::adKeyForeign:
                        column.keyKind = std::string(kForeignKeyKind);
                        foreignKeys.insert_or_assign(
                            columnName,
                            CDataForeignKey{columnName, keyName, relatedTable, relatedColumn});
                        break;
                    case engine::adKeyUnique:
                        column.keyKind = std::string(kUniqueKeyKind);
                        break;
                    default:
                        break;
                }
            }
        }
    }
    if (!TakeInFieldOrder(foreignKeys, fieldNames, table.foreignKeys)) {
        return FieldMismatchText(table.name);
    }

    // Keyed by the first column; a later index with the same first column
    // replaces an earlier one.
    std::map<std::string, CDataIndex> indexes;
    const engine::Collection<engine::Index>& catalogIndexes = source.Indexes();
    for (long indexPosition = 0; indexPosition < catalogIndexes.Count(); ++indexPosition) {
        const std::shared_ptr<engine::Index> catalogIndex = catalogIndexes.Item(indexPosition);
        CDataIndex index;
        index.tableName = table.name;
        index.name = catalogIndex->Name();
        std::string firstColumn;
        const engine::Collection<engine::Column>& indexColumns = catalogIndex->Columns();
        for (long columnPosition = 0; columnPosition < indexColumns.Count(); ++columnPosition) {
            const std::string columnName = indexColumns.Item(columnPosition)->Name();
            if (columnPosition == 0) {
                firstColumn = columnName;
            }
            if (!index.columnList.empty()) {
                index.columnList += ", ";
            }
            index.columnList += columnName;
        }
        if (catalogIndex->Unique()) {
            index.uniqueText = std::string(kYesText);
        }
        if (firstColumn.empty()) {
            return std::string(kEmptyIndexColumnText);
        }
        indexes.insert_or_assign(std::move(firstColumn), std::move(index));
    }
    if (!TakeInFieldOrder(indexes, fieldNames, table.indexes)) {
        return FieldMismatchText(table.name);
    }
    return std::nullopt;
}

}  // namespace

std::string FieldMismatchText(const std::string& tableName) {
    return "テーブル：[ " + tableName + " ] のフィールド取得に失敗しました。";
}

CatalogReadOutcome ReadCatalog(const CatalogReadServices& services, TableMap& tableMap) {
    const WaitCursor waitCursor(services.cursor);
    ClearCatalog(tableMap);

    std::optional<std::string> failure;
    try {
        const host::TargetDatabase& target = services.target;
        // An extension the session does not know gives no connection text;
        // the catalog then refuses the empty text with an engine error.
        const std::string connectionText =
            db::ConnectionText(target.PathName, target.FileName, target.Extension, target.Password)
                .value_or(std::string());
        std::shared_ptr<engine::Catalog> catalog = engine::Catalog::create();
        catalog->putActiveConnection(connectionText);
        const engine::Collection<engine::Table>& tables = catalog->Tables();
        for (long position = 0; position < tables.Count() && !failure; ++position) {
            const std::shared_ptr<engine::Table> source = tables.Item(position);
            const std::string name = source->Name();
            if (IsEngineTableName(name)) {
                continue;
            }
            auto stored = std::make_unique<CDataADOXTable>(name);
            CDataADOXTable& table = *stored;
            tableMap.insert_or_assign(name, std::move(stored));
            failure = ReadTable(*source, services.session, table);
            if (failure) {
                table.ClearTable();
            }
        }
    } catch (const engine::ComError& error) {
        failure = db::ComErrorText(error);
    } catch (...) {
        // Reported to the operator like every other failure of the read.
        failure = std::string(db::kUnhandledExceptionText);
    }

    if (!failure) {
        return CatalogReadOutcome::Complete;
    }
    platform::MessageBoxRequest box;
    box.text = *failure;
    box.caption = std::string(kViewerCaption);
    box.buttons = platform::MessageButtons::Ok;
    box.icon = platform::MessageIcon::Stop;
    box.owner = platform::MessageOwner::Window;
    services.messageBoxes.Show(box);
    return CatalogReadOutcome::Stopped;
}

}  // namespace viewer
