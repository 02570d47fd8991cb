// Jet's rules for a table's definition that SQLite alone would let pass.
// Not part of the public interface.
#pragma once

#include <string>
#include <vector>

#include "engine/Internal.h"

namespace engine::detail {

// One AutoNumber field a table (3259) and at most ten fields an index, key
// or relationship (3277). Called with every definition before the catalog
// keeps it, so CREATE TABLE, ALTER TABLE and CREATE INDEX all meet it.
void checkTableDefinition(const StoredTable& t);

// A relationship joins fields of one data type, pair by pair (3368); a Long
// may refer to an AutoNumber, which is a Long.
void checkRelationshipTypes(const StoredTable& child, const std::vector<std::string>& columns,
                            const StoredTable& parent, const std::vector<std::string>& refColumns);

// A CHECK rule is a constraint of the table, written after the fields
// ("CONSTRAINT name CHECK (rule)"); Jet's field definition has no CHECK, so
// one written there is a syntax error of the field definition (3292).
void checkConstraintPlacement(const ConstraintDef& def);

}  // namespace engine::detail
