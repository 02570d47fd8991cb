// The statements of one connection, translated and prepared once per shape.
//
// Operators and the host application send many small statements that differ
// only in their values. A statement's shape is its token sequence with each
// literal replaced by its kind; the cache keeps, per shape, the Jet→SQLite
// translation with the literals as parameters and the prepared statement, so
// a statement seen before costs a tokenization, a lookup and the binding of
// its literals. A literal binds as the value its text stands for: a text as
// text, a date #…# as its date, a whole number as an integer and any other
// number as a real, as SQLite would read them written into the text.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/Internal.h"
#include "engine/Lexer.h"

namespace engine::detail {

// A statement ready to run. For SELECT, INSERT, UPDATE and DELETE `prepared`
// holds the prepared statement with this text's literals bound; for the others
// it is empty and the statement is carried out from its parse.
struct ReadyStatement {
    // Shared with the cache when `key` is set, and then never to be changed.
    std::shared_ptr<Statement> statement;
    PreparedStatement prepared;
    std::string key;           // the shape; empty for a statement the cache does not keep
    std::uint64_t serial = 0;  // the translation's, so a statement goes back only to its own
};

class StatementCache : public std::enable_shared_from_this<StatementCache> {
  public:
    static constexpr std::size_t kCapacity = 128;  // shapes kept, the least recently used go first

    explicit StatementCache(sqlite3* db) : db_(db) {}

    // Parses `text` (from the cache when its shape was seen) and prepares it.
    // Raises exactly what parsing and preparing it afresh raise.
    ReadyStatement prepare(std::string_view text);

    // Takes back the prepared statement of a finished run for the next
    // statement of its shape; a statement from before clear() is finalized.
    void giveBack(const std::string& key, std::uint64_t serial, PreparedStatement prepared);
    // What a recordset calls when it is done with the prepared statement it
    // was handed; safe to call after the cache is gone.
    std::function<void(PreparedStatement)> returner(const ReadyStatement& ready);

    // Forgets every statement: after a definition or a rollback, and before
    // the connection closes.
    void clear();

    std::size_t size() const { return entries_.size(); }

  private:
    struct Entry {
        std::shared_ptr<Statement> statement;
        // Per literal token: nullopt when it binds as parameter ?N (N its
        // place), else the text it must have for this translation to hold.
        std::vector<std::optional<std::string>> fixed;
        PreparedStatement idle;  // empty while in use
        std::uint64_t serial = 0;
        std::list<std::string>::iterator recent;
    };

    std::optional<ReadyStatement> fromEntry(const std::string& key, Entry& entry,
                                            const std::vector<const Token*>& literals);
    Statement parseWithFields(std::string_view text, LiteralParameters* parameters = nullptr);
    ReadyStatement translate(std::string_view text, std::string key,
                             const std::vector<const Token*>& literals);
    Entry& keep(const std::string& key, Entry entry);
    void erase(const std::string& key);

    sqlite3* db_;
    std::uint64_t lastSerial_ = 0;
    std::unordered_map<std::string, Entry> entries_;
    std::list<std::string> recent_;  // most recently used first
};

}  // namespace engine::detail
