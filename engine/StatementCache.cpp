#include "engine/StatementCache.h"

#include <algorithm>
#include <charconv>

namespace engine::detail {

namespace {

bool startsCacheable(const std::vector<Token>& tokens) {
    const Token& first = tokens.front();
    if (first.kind == Tok::Symbol) return first.text == "(";
    if (first.kind != Tok::Word) return false;
    for (const char* word : {"SELECT", "INSERT", "UPDATE", "DELETE", "TABLE"}) {
        if (equalsNoCase(first.text, word)) return true;
    }
    return false;
}

// Only statements that are one SQLite statement over the tables as they are
// when it runs: a crosstab's columns come from the rows, and definitions
// change what the others mean.
bool cacheable(const Statement& st) {
    const bool rows = st.kind == StatementKind::Select || st.kind == StatementKind::Insert ||
                      st.kind == StatementKind::Update || st.kind == StatementKind::Delete;
    return rows && !st.crosstab && !st.sqlite.empty();
}

bool wholeNumberText(const std::string& text) {
    return text.find_first_of(".eE") == std::string::npos;
}

// Every token as written, each literal only by its kind; lengths keep a
// name's text from running into the next token's.
std::string shapeOf(const std::vector<Token>& tokens, std::vector<const Token*>& literals) {
    std::string key;
    key.reserve(tokens.size() * 8);
    for (const Token& t : tokens) {
        if (t.kind == Tok::Number || t.kind == Tok::String || t.kind == Tok::Date) {
            key += t.kind == Tok::String     ? 's'
                   : t.kind == Tok::Date     ? 'd'
                   : wholeNumberText(t.text) ? 'i'
                                             : 'r';
            literals.push_back(&t);
            continue;
        }
        const auto length = static_cast<std::uint32_t>(t.text.size());
        key += static_cast<char>('A' + static_cast<int>(t.kind));
        key.append(reinterpret_cast<const char*>(&length), sizeof length);
        key += t.text;
    }
    return key;
}

bool fixedLiteralsMatch(const std::vector<std::optional<std::string>>& fixed,
                        const std::vector<const Token*>& literals) {
    for (std::size_t i = 0; i < fixed.size(); ++i) {
        if (fixed[i] && *fixed[i] != literals[i]->text) return false;
    }
    return true;
}

template <typename Number>
bool readNumber(const std::string& text, Number& value) {
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    return error == std::errc() && end == last;
}

// Binds each literal to its parameter as the value its text stands for;
// false when a text does not read as its kind's value (the parser then says
// what is wrong with it).
bool bindLiterals(sqlite3_stmt* stmt, const std::vector<std::optional<std::string>>& fixed,
                  const std::vector<const Token*>& literals) {
    const int parameters = sqlite3_bind_parameter_count(stmt);
    for (std::size_t i = 0; i < fixed.size(); ++i) {
        const int at = static_cast<int>(i + 1);
        if (fixed[i] || at > parameters) continue;
        const Token& t = *literals[i];
        int rc = SQLITE_OK;
        if (t.kind == Tok::String) {
            rc = sqlite3_bind_text64(stmt, at, t.text.data(), t.text.size(), SQLITE_TRANSIENT,
                                     SQLITE_UTF8);
        } else if (t.kind == Tok::Date) {
            double ole = 0;
            if (!parseDateLiteral(t.text, ole)) return false;
            rc = sqlite3_bind_double(stmt, at, ole);
        } else if (wholeNumberText(t.text)) {
            std::int64_t whole = 0;
            if (!readNumber(t.text, whole)) return false;
            rc = sqlite3_bind_int64(stmt, at, whole);
        } else {
            double real = 0;
            if (!readNumber(t.text, real)) return false;
            rc = sqlite3_bind_double(stmt, at, real);
        }
        if (rc != SQLITE_OK) return false;
    }
    return true;
}

std::vector<std::optional<std::string>> allFixed(const std::vector<const Token*>& literals) {
    std::vector<std::optional<std::string>> fixed;
    for (const Token* t : literals) fixed.emplace_back(t->text);
    return fixed;
}

}  // namespace

// Yes, No, On and Off are Jet's constants unless a table of the statement
// has a field of that name: then the field wins, as in Jet.
Statement StatementCache::parseWithFields(std::string_view text, LiteralParameters* parameters) {
    Statement st = parseStatement(text, parameters);
    if (st.constantWords.empty()) return st;
    std::vector<std::string> fields;
    PreparedStatement lookup;
    if (tryPrepare(db_,
                   "SELECT 1 FROM MSysColumns WHERE TableName = ?1 AND ColumnName = ?2 "
                   "COLLATE NOCASE",
                   lookup) != SQLITE_OK) {
        return st;  // a file without a catalog has no fields to name
    }
    for (const auto& word : st.constantWords) {
        for (const auto& table : st.namedTables) {
            sqlite3_reset(lookup.get());
            sqlite3_bind_text(lookup.get(), 1, table.name.data(),
                              static_cast<int>(table.name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(lookup.get(), 2, word.data(), static_cast<int>(word.size()),
                              SQLITE_TRANSIENT);
            if (sqlite3_step(lookup.get()) == SQLITE_ROW) fields.push_back(word);
        }
    }
    if (fields.empty()) return st;
    if (parameters) *parameters = {};
    return parseStatement(text, parameters, &fields);
}

ReadyStatement StatementCache::prepare(std::string_view text) {
    const std::vector<Token> tokens = tokenize(text);
    if (!startsCacheable(tokens))
        return {std::make_shared<Statement>(parseWithFields(text)), {}, {}, 0};
    std::vector<const Token*> literals;
    std::string key = shapeOf(tokens, literals);
    if (auto found = entries_.find(key); found != entries_.end()) {
        if (fixedLiteralsMatch(found->second.fixed, literals)) {
            if (std::optional<ReadyStatement> ready =
                    fromEntry(found->first, found->second, literals)) {
                return std::move(*ready);
            }
        }
        erase(key);
    }
    return translate(text, std::move(key), literals);
}

std::optional<ReadyStatement> StatementCache::fromEntry(const std::string& key, Entry& entry,
                                                        const std::vector<const Token*>& literals) {
    recent_.splice(recent_.begin(), recent_, entry.recent);
    PreparedStatement stmt = std::move(entry.idle);
    // In use by an open recordset: a second one of the same statement.
    if (!stmt && tryPrepare(db_, entry.statement->sqlite, stmt) != SQLITE_OK) return std::nullopt;
    if (!bindLiterals(stmt.get(), entry.fixed, literals)) return std::nullopt;
    return ReadyStatement{entry.statement, std::move(stmt), key, entry.serial};
}

// One parse gives the statement with its literal slots: the translator binds
// a literal only where it stands alone as a value, so the translation never
// depends on what a bound literal holds, and the same shape serves every
// value.
ReadyStatement StatementCache::translate(std::string_view text, std::string key,
                                         const std::vector<const Token*>& literals) {
    LiteralParameters parameters;
    auto bound = std::make_shared<Statement>(parseWithFields(text, &parameters));
    if (!cacheable(*bound)) {
        // Not kept (a make-table query): its literals stay written in.
        const bool anyBound = std::any_of(parameters.baked.begin(), parameters.baked.end(),
                                          [](const std::string& b) { return !b.empty(); });
        if (anyBound) bound = std::make_shared<Statement>(parseWithFields(text));
        return {std::move(bound), {}, {}, 0};
    }

    Entry entry;
    entry.statement = std::move(bound);
    for (std::size_t i = 0; i < literals.size(); ++i) {
        entry.fixed.push_back(parameters.baked[i].empty()
                                  ? std::optional<std::string>(literals[i]->text)
                                  : std::nullopt);
    }
    PreparedStatement stmt;
    if (tryPrepare(db_, entry.statement->sqlite, stmt) != SQLITE_OK ||
        !bindLiterals(stmt.get(), entry.fixed, literals)) {
        // More literals than SQLite takes parameters, a number it reads
        // otherwise, or a statement SQLite refuses: the text with its
        // literals written in prepares, or raises what it always raised.
        auto fresh = std::make_shared<Statement>(parseWithFields(text));
        stmt = detail::prepare(db_, fresh->sqlite, "");
        entry.statement = std::move(fresh);
        entry.fixed = allFixed(literals);
    }
    Entry& kept = keep(key, std::move(entry));
    return {kept.statement, std::move(stmt), std::move(key), kept.serial};
}

StatementCache::Entry& StatementCache::keep(const std::string& key, Entry entry) {
    if (entries_.size() >= kCapacity) {
        const std::string oldest = recent_.back();
        erase(oldest);
    }
    recent_.push_front(key);
    entry.recent = recent_.begin();
    entry.serial = ++lastSerial_;
    return entries_.insert_or_assign(key, std::move(entry)).first->second;
}

void StatementCache::erase(const std::string& key) {
    auto found = entries_.find(key);
    if (found == entries_.end()) return;
    recent_.erase(found->second.recent);
    entries_.erase(found);
}

void StatementCache::giveBack(const std::string& key, std::uint64_t serial,
                              PreparedStatement prepared) {
    if (!prepared || key.empty()) return;
    auto found = entries_.find(key);
    if (found == entries_.end() || found->second.serial != serial || found->second.idle) return;
    // Reset, an idle statement holds no lock on the file and no copy of a
    // value. The code reset returns repeats a failed step's, raised already.
    sqlite3_reset(prepared.get());
    sqlite3_clear_bindings(prepared.get());
    found->second.idle = std::move(prepared);
}

std::function<void(PreparedStatement)> StatementCache::returner(const ReadyStatement& ready) {
    if (ready.key.empty()) return {};
    return [cache = weak_from_this(), key = ready.key,
            serial = ready.serial](PreparedStatement prepared) {
        if (auto alive = cache.lock()) alive->giveBack(key, serial, std::move(prepared));
    };
}

void StatementCache::clear() {
    entries_.clear();
    recent_.clear();
}

}  // namespace engine::detail
