// The syntax tree of a Jet expression. The parser builds it; the translator
// (Translator.h) writes SQLite text from it. A node knows what it is (a
// literal and the token it came from, a field and its table, a call), so a
// rule that depends on that is written once, against the tree.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "engine/Internal.h"

namespace engine::detail::sql {

struct FunctionDef;

enum class NodeKind {
    Number,  // literal: text is its SQLite text
    Text,    // literal: text is its SQLite text (quoted)
    Date,    // literal: text is its SQLite number
    Null,
    Boolean,     // True, False and the constant words: text is "-1" or "0"
    Identity,    // @@IDENTITY
    Field,       // [table.]name: table, name
    Parameter,   // a declared parameter: name, adoType
    Call,        // function: the call's arguments are the children
    Group,       // ( expression )
    Subquery,    // ( SELECT ... ) used as a value: subquery holds its SQLite text
    Exists,      // EXISTS ( SELECT ... )
    Quantified,  // left op ANY|SOME|ALL ( SELECT ... )
    Negate,      // - operand
    Plus,        // + operand
    Not,         // NOT operand
    Chain,       // operands joined by operators of one precedence level
    Compare,     // left op right
    IsNull,      // operand IS [NOT] NULL
    Like,        // operand [NOT] LIKE pattern
    Between,     // operand [NOT] BETWEEN low AND high
    In,          // operand [NOT] IN (list) or IN (SELECT ...)
};

enum class Op {
    Imp,
    Eqv,
    Or,
    Xor,
    And,
    Concat,
    Add,
    Subtract,
    Mod,
    IntDivide,
    Multiply,
    Divide,
    Power,
};

inline constexpr std::size_t kNoToken = static_cast<std::size_t>(-1);

struct Node;
using NodePtr = std::unique_ptr<Node>;

struct Node {
    NodeKind kind = NodeKind::Null;
    std::string text;      // a literal's SQLite text; a comparison's operator; a Boolean's value
    std::string table;     // Field: the qualifier as written (may be empty)
    std::string name;      // Field, Parameter: the name; Call: the function as written
    std::string subquery;  // Subquery, Exists, Quantified, In over SELECT: its SQLite text
    std::size_t token = kNoToken;           // literal: its token, when its value may be bound there
    std::size_t offset = 0;                 // where the node begins in the statement
    const FunctionDef* function = nullptr;  // Call
    int adoType = 0;                        // Parameter
    ResultKind type = ResultKind::Dynamic;  // Parameter: the declared type
    bool negated = false;       // NOT LIKE, NOT BETWEEN, NOT IN, IS NOT NULL; Quantified: ALL
    bool distinct = false;      // Call: DISTINCT inside an aggregate, which Jet refuses
    bool star = false;          // Call: Count(*)
    bool crosstabCell = false;  // Call: an aggregate of a TRANSFORM value, computed per column
    std::vector<Op> ops;        // Chain: one between each two children
    std::vector<NodePtr> children;
};

inline NodePtr makeNode(NodeKind kind, std::size_t offset) {
    auto node = std::make_unique<Node>();
    node->kind = kind;
    node->offset = offset;
    return node;
}

inline bool isLiteral(const Node& n) {
    return n.kind == NodeKind::Number || n.kind == NodeKind::Text || n.kind == NodeKind::Date;
}

// Calls `visit` on `n` and every node below it, parents first.
template <typename Visit>
void walk(const Node& n, Visit&& visit) {
    visit(n);
    for (const auto& child : n.children) walk(*child, visit);
}

}  // namespace engine::detail::sql
