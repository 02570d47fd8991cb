#include "engine/DdlRules.h"

namespace engine::detail {

namespace {

constexpr std::size_t kMaxIndexFields = 10;

const StoredColumn* columnNamed(const StoredTable& t, const std::string& name) {
    for (const auto& c : t.columns) {
        if (equalsNoCase(c.name, name)) return &c;
    }
    return nullptr;
}

std::string fieldList(const std::vector<std::string>& columns) {
    std::string out;
    for (const auto& c : columns) out += (out.empty() ? "'" : ", '") + c + "'";
    return out;
}

}  // namespace

void checkTableDefinition(const StoredTable& t) {
    const StoredColumn* counter = nullptr;
    for (const auto& c : t.columns) {
        if (!c.type.autoIncrement) continue;
        if (counter) {
            raise(hr::kSyntax, jet::kInvalidFieldType,
                  "Invalid field data type: field '" + c.name +
                      "' cannot be an AutoNumber, table '" + t.name + "' already has one ('" +
                      counter->name + "') and a table has at most one.");
        }
        counter = &c;
    }
    const auto checkWidth = [&](const std::string& name, const std::vector<std::string>& columns) {
        if (columns.size() > kMaxIndexFields) {
            raise(hr::kSyntax, jet::kTooManyIndexFields,
                  "Can't have more than 10 fields in an index: '" + name + "' of table '" + t.name +
                      "' has " + std::to_string(columns.size()) + ".");
        }
    };
    for (const auto& idx : t.indexes) checkWidth(idx.name, idx.columns);
    for (const auto& key : t.keys) checkWidth(key.name, key.columns);
}

void checkRelationshipTypes(const StoredTable& child, const std::vector<std::string>& columns,
                            const StoredTable& parent, const std::vector<std::string>& refColumns) {
    for (std::size_t i = 0; i < columns.size() && i < refColumns.size(); ++i) {
        const StoredColumn* c = columnNamed(child, columns[i]);
        const StoredColumn* p = columnNamed(parent, refColumns[i]);
        // An AutoNumber is the Long it holds; fixed and variable Text are one type.
        if (!c || !p || c->type.adoType == p->type.adoType) continue;
        raise(hr::kSyntax, jet::kRelationshipTypes,
              "Relationship must be on the same number of fields with the same data types: "
              "field '" +
                  c->name + "' of table '" + child.name + "' is not of the type of field '" +
                  p->name + "' of table '" + parent.name + "' (" + fieldList(columns) + " to " +
                  fieldList(refColumns) + ").");
    }
}

void checkConstraintPlacement(const ConstraintDef& def) {
    if (def.kind != ConstraintKind::Check || def.columns.empty()) return;
    raise(hr::kSyntax, jet::kSyntaxInFieldDefinition,
          "Syntax error in field definition: field '" + def.columns.front() +
              "' cannot carry a CHECK rule; write it after the fields as CONSTRAINT name CHECK (" +
              def.checkJet + ").");
}

}  // namespace engine::detail
