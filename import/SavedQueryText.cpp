#include "import/SavedQueryText.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

namespace genuine {

namespace {

// MSysQueries.Attribute: what one row describes.
enum Attribute : int {
    kKind = 1,       // Flag: the query's kind; Name1: a target table or connection
    kParameter = 2,  // Name1: the name; Flag: its DAO data type
    kOptions = 3,    // Flag: the bits below; Name1: TOP's number
    kDatabase = 4,   // Name1: the other database of IN
    kInput = 5,      // Name1: a table or query; Name2: its alias; Expression: a union's part
    kOutput = 6,     // Expression; Name1: its alias; Name2: an append's or update's target
    kJoin = 7,       // Name1, Name2: the two sides; Expression: ON; Flag: its type
    kWhere = 8,      // Expression
    kGroupBy = 9,    // Expression; a crosstab's Flag: which heading
    kHaving = 10,    // Expression
    kOrderBy = 11,   // Expression; Name1 "D": descending
};

// Attribute 3's Flag bits.
constexpr long kAllFields = 0x01;
constexpr long kDistinct = 0x02;  // a union's parts: UNION rather than UNION ALL
constexpr long kOwnerAccess = 0x04;
constexpr long kDistinctRow = 0x08;
constexpr long kTop = 0x10;
constexpr long kPercent = 0x20;

// A crosstab's output rows (Attribute 6 and 9) by their Flag.
constexpr long kCrosstabValue = 0;
constexpr long kColumnHeading = 1;
constexpr long kRowHeading = 2;

std::string Bracketed(const std::string& name) {
    return "[" + name + "]";
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Join(const std::vector<std::string>& items, const std::string& between) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? between : "") + items[i];
    return out;
}

// A PARAMETERS clause's type word for the DAO data type Jet stores.
std::string ParameterType(long type) {
    switch (type) {
        case 0:
            return "Value";
        case 1:
            return "Bit";
        case 2:
            return "Byte";
        case 3:
            return "Short";
        case 4:
            return "Long";
        case 5:
            return "Currency";
        case 6:
            return "IEEESingle";
        case 7:
            return "IEEEDouble";
        case 8:
            return "DateTime";
        case 9:
            return "Binary";
        case 10:
            return "Text (255)";
        case 11:
            return "LongBinary";
        case 12:
            return "Memo";
        case 15:
            return "Guid";
        case 20:
            return "Decimal";
        default:
            throw QueryTextError("its parameter has a data type (" + std::to_string(type) +
                                 ") that no PARAMETERS clause names");
    }
}

// The FROM clause: the input tables, joined as the join rows say. Each
// join puts together the two groups holding its sides; a join between two
// tables already in one group (a second field pair) adds its condition to
// the join that first brought them together.
class FromClause {
  public:
    void AddInput(const SourceQueryRow& row) {
        auto node = std::make_unique<Node>();
        std::string name = row.name1.value_or("");
        if (row.expression && !row.expression->empty()) {
            node->text = "(" + *row.expression + ")";
        } else if (name.empty()) {
            throw QueryTextError("an input table has no name");
        } else {
            node->text = Bracketed(name);
        }
        if (row.name2 && !row.name2->empty()) {
            node->text += " AS " + Bracketed(*row.name2);
            name = *row.name2;
        }
        node->names.push_back(Lower(name));
        groups_.push_back(std::move(node));
    }

    void AddJoin(const SourceQueryRow& row) {
        const std::string left = row.name1.value_or(""), right = row.name2.value_or("");
        if (!row.expression || row.expression->empty())
            throw QueryTextError("the join of " + left + " and " + right + " has no condition");
        const char* type = row.flag == 1   ? " INNER JOIN "
                           : row.flag == 2 ? " LEFT JOIN "
                           : row.flag == 3 ? " RIGHT JOIN "
                                           : nullptr;
        if (type == nullptr) {
            throw QueryTextError("the join of " + left + " and " + right +
                                 " is of a type Jet does not write (" + std::to_string(row.flag) +
                                 ")");
        }
        const std::size_t l = GroupOf(left), r = GroupOf(right);
        if (l == r) {
            Meeting(*groups_[l], Lower(left), Lower(right)).conditions.push_back(*row.expression);
            return;
        }
        auto node = std::make_unique<Node>();
        node->type = type;
        node->conditions.push_back(*row.expression);
        node->names = groups_[l]->names;
        node->names.insert(node->names.end(), groups_[r]->names.begin(), groups_[r]->names.end());
        node->left = std::move(groups_[l]);
        node->right = std::move(groups_[r]);
        groups_[l] = std::move(node);
        groups_.erase(groups_.begin() + static_cast<std::ptrdiff_t>(r));
    }

    bool Empty() const { return groups_.empty(); }

    std::string Text() const {
        std::vector<std::string> parts;
        for (const auto& g : groups_) parts.push_back(Render(*g, false));
        return Join(parts, ", ");
    }

  private:
    struct Node {
        std::string text;  // a table; empty for a join
        std::vector<std::string> names;
        std::unique_ptr<Node> left, right;
        const char* type = nullptr;
        std::vector<std::string> conditions;
        bool Holds(const std::string& name) const {
            return std::find(names.begin(), names.end(), name) != names.end();
        }
    };

    std::size_t GroupOf(const std::string& name) const {
        for (std::size_t i = 0; i < groups_.size(); ++i)
            if (groups_[i]->Holds(Lower(name))) return i;
        throw QueryTextError("a join names " + name + ", which is not one of its input tables");
    }

    // The join whose two sides hold `a` and `b`.
    static Node& Meeting(Node& node, const std::string& a, const std::string& b) {
        for (Node* side : {node.left.get(), node.right.get()})
            if (side && side->Holds(a) && side->Holds(b)) return Meeting(*side, a, b);
        return node;
    }

    static std::string Render(const Node& node, bool nested) {
        if (!node.type) return node.text;
        std::vector<std::string> on = node.conditions;
        if (on.size() > 1)
            for (auto& c : on) c = "(" + c + ")";
        const std::string text = Render(*node.left, true) + node.type + Render(*node.right, true) +
                                 " ON " + Join(on, " AND ");
        return nested ? "(" + text + ")" : text;
    }

    std::vector<std::unique_ptr<Node>> groups_;
};

struct Parts {
    const SourceQueryRow* kind = nullptr;
    const SourceQueryRow* options = nullptr;
    const SourceQueryRow* database = nullptr;
    std::vector<const SourceQueryRow*> parameters, inputs, outputs, joins, where, groupBy, having,
        orderBy;
};

Parts Sorted(const SourceQuery& query) {
    Parts p;
    for (const SourceQueryRow& row : query.rows) {
        switch (row.attribute) {
            case kKind:
                p.kind = &row;
                break;
            case kParameter:
                p.parameters.push_back(&row);
                break;
            case kOptions:
                p.options = &row;
                break;
            case kDatabase:
                p.database = &row;
                break;
            case kInput:
                p.inputs.push_back(&row);
                break;
            case kOutput:
                p.outputs.push_back(&row);
                break;
            case kJoin:
                p.joins.push_back(&row);
                break;
            case kWhere:
                p.where.push_back(&row);
                break;
            case kGroupBy:
                p.groupBy.push_back(&row);
                break;
            case kHaving:
                p.having.push_back(&row);
                break;
            case kOrderBy:
                p.orderBy.push_back(&row);
                break;
            default:
                break;  // the start and end markers (0, 255)
        }
    }
    if (!p.kind) throw QueryTextError("its rows do not say what kind of query it is");
    return p;
}

std::string Expression(const SourceQueryRow& row, const char* what) {
    if (!row.expression || row.expression->empty())
        throw QueryTextError(std::string(what) + " has no expression");
    return *row.expression;
}

// One clause's expressions, or nothing when it has none.
std::string Clause(const char* keyword, const std::vector<const SourceQueryRow*>& rows,
                   const char* between) {
    if (rows.empty()) return "";
    std::vector<std::string> items;
    for (const auto* row : rows) items.push_back(Expression(*row, keyword));
    return std::string(" ") + keyword + " " + Join(items, between);
}

std::string OrderBy(const Parts& p) {
    if (p.orderBy.empty()) return "";
    std::vector<std::string> items;
    for (const auto* row : p.orderBy) {
        const bool descending = row->name1 && Lower(*row->name1) == "d";
        items.push_back(Expression(*row, "ORDER BY") + (descending ? " DESC" : ""));
    }
    return " ORDER BY " + Join(items, ", ");
}

std::string OutputItem(const SourceQueryRow& row) {
    std::string item = Expression(row, "an output column");
    if (row.name1 && !row.name1->empty()) item += " AS " + Bracketed(*row.name1);
    return item;
}

std::string SelectList(const Parts& p, const std::vector<const SourceQueryRow*>& outputs) {
    const long options = p.options ? p.options->flag : 0;
    std::string head;
    if (options & kDistinct) head += "DISTINCT ";
    if (options & kDistinctRow) head += "DISTINCTROW ";
    if (options & kTop) {
        const std::string count = p.options->name1.value_or("");
        if (count.empty()) throw QueryTextError("its TOP has no number");
        head += "TOP " + count + ((options & kPercent) ? " PERCENT " : " ");
    }
    std::vector<std::string> items;
    if ((options & kAllFields) || outputs.empty()) items.push_back("*");
    for (const auto* row : outputs) items.push_back(OutputItem(*row));
    return head + Join(items, ", ");
}

// FROM with the IN of a query on another database, or nothing without inputs.
std::string From(const Parts& p) {
    FromClause from;
    for (const auto* row : p.inputs) from.AddInput(*row);
    for (const auto* row : p.joins) from.AddJoin(*row);
    if (from.Empty()) return "";
    std::string text = " FROM " + from.Text();
    if (p.database) {
        text += " IN '" + p.database->name1.value_or("") + "'";
        if (p.database->expression) text += " [" + *p.database->expression + "]";
    }
    return text;
}

std::string Tail(const Parts& p, const std::vector<const SourceQueryRow*>& groupBy) {
    return Clause("WHERE", p.where, " AND ") + Clause("GROUP BY", groupBy, ", ") +
           Clause("HAVING", p.having, " AND ") + OrderBy(p);
}

std::string OwnerAccess(const Parts& p) {
    return p.options && (p.options->flag & kOwnerAccess) ? " WITH OWNERACCESS OPTION" : "";
}

std::string Target(const Parts& p) {
    const std::string target = p.kind->name1.value_or("");
    if (target.empty()) throw QueryTextError("it names no table to write to");
    std::string text = Bracketed(target);
    if (p.kind->name2 && !p.kind->name2->empty()) text += " IN '" + *p.kind->name2 + "'";
    return text;
}

std::string Append(const Parts& p) {
    std::vector<std::string> columns;
    for (const auto* row : p.outputs)
        if (row->name2 && !row->name2->empty()) columns.push_back(*row->name2);
    if (!columns.empty() && columns.size() != p.outputs.size())
        throw QueryTextError("some of its values name no field to append to");
    std::string text =
        "INSERT INTO " + Target(p) + (columns.empty() ? "" : " (" + Join(columns, ", ") + ")");
    if (p.inputs.empty()) {
        std::vector<std::string> values;
        for (const auto* row : p.outputs) values.push_back(Expression(*row, "a value"));
        return text + " VALUES (" + Join(values, ", ") + ")";
    }
    return text + " SELECT " + SelectList(p, p.outputs) + From(p) + Tail(p, p.groupBy);
}

std::string Update(const Parts& p) {
    std::vector<std::string> sets;
    for (const auto* row : p.outputs) {
        if (!row->name2 || row->name2->empty())
            throw QueryTextError("one of its new values names no field to update");
        sets.push_back(*row->name2 + " = " + Expression(*row, "a new value"));
    }
    if (sets.empty()) throw QueryTextError("it sets no field");
    const std::string from = From(p);
    if (from.empty()) throw QueryTextError("it names no table to update");
    return "UPDATE " + from.substr(6) + " SET " + Join(sets, ", ") +
           Clause("WHERE", p.where, " AND ");
}

std::string Delete(const Parts& p) {
    std::vector<std::string> items;
    for (const auto* row : p.outputs) items.push_back(Expression(*row, "a deleted field"));
    const std::string from = From(p);
    if (from.empty()) throw QueryTextError("it names no table to delete from");
    return "DELETE " + (items.empty() ? std::string() : Join(items, ", ") + " ") + from.substr(1) +
           Clause("WHERE", p.where, " AND ");
}

std::string Crosstab(const Parts& p) {
    const SourceQueryRow* value = nullptr;
    const SourceQueryRow* pivot = nullptr;
    std::vector<const SourceQueryRow*> rowHeadings, groupBy;
    for (const auto* row : p.outputs) {
        if (row->flag == kCrosstabValue)
            value = row;
        else if (row->flag == kColumnHeading)
            pivot = row;
        else
            rowHeadings.push_back(row);
    }
    if (!value) throw QueryTextError("the crosstab has no value (TRANSFORM)");
    if (!pivot) throw QueryTextError("the crosstab has no column heading (PIVOT)");
    // The column heading is grouped by PIVOT itself.
    for (const auto* row : p.groupBy)
        if (row->flag != kColumnHeading) groupBy.push_back(row);
    Parts plain = p;
    plain.options = nullptr;
    return "TRANSFORM " + OutputItem(*value) + " SELECT " + SelectList(plain, rowHeadings) +
           From(p) + Tail(p, groupBy) + " PIVOT " + Expression(*pivot, "the column heading");
}

std::string Union(const Parts& p) {
    std::vector<std::string> parts;
    for (const auto* row : p.inputs) {
        std::string part = Expression(*row, "a part of the union");
        while (!part.empty() && std::isspace(static_cast<unsigned char>(part.back())))
            part.pop_back();
        parts.push_back(part);
    }
    if (parts.size() < 2) throw QueryTextError("the union has fewer than two parts");
    const bool distinct = p.options && (p.options->flag & kDistinct);
    return Join(parts, distinct ? " UNION " : " UNION ALL ") + OrderBy(p);
}

}  // namespace

RebuiltQuery RebuildQueryText(const SourceQuery& query) {
    const Parts p = Sorted(query);
    RebuiltQuery out;
    std::string body;
    switch (p.kind->flag) {
        case 1:
            out.kind = QueryKind::kSelect;
            body = "SELECT " + SelectList(p, p.outputs) + From(p) + Tail(p, p.groupBy) +
                   OwnerAccess(p);
            break;
        case 2:
            out.kind = QueryKind::kMakeTable;
            body = "SELECT " + SelectList(p, p.outputs) + " INTO " + Target(p) + From(p) +
                   Tail(p, p.groupBy);
            break;
        case 3:
            out.kind = QueryKind::kAppend;
            body = Append(p);
            break;
        case 4:
            out.kind = QueryKind::kUpdate;
            body = Update(p);
            break;
        case 5:
            out.kind = QueryKind::kDelete;
            body = Delete(p);
            break;
        case 6:
            out.kind = QueryKind::kCrosstab;
            body = Crosstab(p);
            break;
        case 7:
        case 8:
            out.kind = p.kind->flag == 7 ? QueryKind::kDataDefinition : QueryKind::kPassThrough;
            body = Expression(*p.kind, "the statement");
            if (out.kind == QueryKind::kPassThrough) out.connect = p.kind->name1.value_or("");
            // Stored as typed: a trailing semicolon ends it, nothing follows.
            while (!body.empty() &&
                   (body.back() == ';' || std::isspace(static_cast<unsigned char>(body.back()))))
                body.pop_back();
            out.text = body;
            return out;
        case 9:
            out.kind = QueryKind::kUnion;
            body = Union(p);
            break;
        default:
            throw QueryTextError("its kind (" + std::to_string(p.kind->flag) +
                                 ") is not one Jet writes");
    }
    std::vector<std::string> parameters;
    for (const auto* row : p.parameters) {
        const std::string name = row->name1.value_or("");
        if (name.empty()) throw QueryTextError("one of its parameters has no name");
        parameters.push_back(Bracketed(name) + " " + ParameterType(row->flag));
        out.parameters.push_back(name);
    }
    out.text = (parameters.empty() ? "" : "PARAMETERS " + Join(parameters, ", ") + "; ") + body;
    return out;
}

std::string DescribeQueryKind(QueryKind kind) {
    switch (kind) {
        case QueryKind::kSelect:
            return "select query";
        case QueryKind::kMakeTable:
            return "make-table query";
        case QueryKind::kAppend:
            return "append query";
        case QueryKind::kUpdate:
            return "update query";
        case QueryKind::kDelete:
            return "delete query";
        case QueryKind::kCrosstab:
            return "crosstab query";
        case QueryKind::kDataDefinition:
            return "data-definition query";
        case QueryKind::kPassThrough:
            return "pass-through query";
        case QueryKind::kUnion:
            return "union query";
    }
    return "query";
}

}  // namespace genuine
