// Reads the schema model of every user table from the engine's catalog, in
// the physical field order the database session reports.
#pragma once

#include <string>
#include <string_view>

#include "db/DatabaseSession.h"
#include "host/TargetDatabase.h"
#include "platform/MessageBoxes.h"
#include "platform/Platform.h"
#include "viewer/SchemaModel.h"

namespace viewer {

// Caption of every message box of the viewer.
inline constexpr std::string_view kViewerCaption = "データベース";

inline constexpr std::string_view kEmptyIndexColumnText = "インデックスのカラム名が空白です。";

// "テーブル：[ " + table + " ] のフィールド取得に失敗しました。"
std::string FieldMismatchText(const std::string& tableName);

// What ReadCatalog works with; everything must outlive the call.
struct CatalogReadServices {
    db::DatabaseSession& session;          // gives each table's fields in physical order
    const host::TargetDatabase& target;    // the catalog opens a connection of its own to it
    platform::MessageBoxes& messageBoxes;  // failures, owned by the viewer window
    platform::Cursor& cursor;              // wait cursor for the duration of the read
};

enum class CatalogReadOutcome {
    Complete,  // every user table was read
    Stopped,   // a failure was shown; the map holds what was read up to it
};

// Empties `tableMap` and fills it with every table of the target database
// whose name does not begin with "MS".
//
// A catalog column, foreign key or index that does not match a field of the
// session's list stops the read with the field-mismatch message (an index
// without a first column name with kEmptyIndexColumnText); that table stays
// in the map with empty lists, tables read before it stay complete and later
// ones are missing. An engine error shows its ComErrorText, any other failure
// the unhandled-exception text; the read then ends with whatever was built,
// the current table possibly half filled. Every box has the caption
// kViewerCaption and the stop icon. Never throws.
CatalogReadOutcome ReadCatalog(const CatalogReadServices& services, TableMap& tableMap);

}  // namespace viewer
