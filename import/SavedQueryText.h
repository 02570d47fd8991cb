// A saved query's Jet text, made again from its MSysQueries rows. libmdb's
// own rendering of a query drops its joins, grouping, aliases and kind, so
// the import builds the statement itself, clause by clause, as Jet's
// designer stored it.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "mdbreader/SourceCatalog.h"

namespace genuine {

enum class QueryKind {
    kSelect,
    kMakeTable,
    kAppend,
    kUpdate,
    kDelete,
    kCrosstab,
    kDataDefinition,
    kPassThrough,
    kUnion,
};

// The rows do not describe a statement (a kind, a parameter type or a join
// this import does not know, a join naming a table the query does not list):
// the message says which row.
class QueryTextError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct RebuiltQuery {
    QueryKind kind = QueryKind::kSelect;
    // The Jet statement, its PARAMETERS clause first; for a data-definition
    // or pass-through query the statement as stored.
    std::string text;
    std::string connect;                  // a pass-through query's ODBC connection text
    std::vector<std::string> parameters;  // the names its PARAMETERS clause declares
};

// QueryTextError when the rows describe no statement.
RebuiltQuery RebuildQueryText(const SourceQuery& query);

// "select query", "append query", ... for messages.
std::string DescribeQueryKind(QueryKind kind);

}  // namespace genuine
