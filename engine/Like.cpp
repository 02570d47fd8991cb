// Jet's Like: both wildcard sets (`*`/`%` any run, `?`/`_` one character),
// `#` one digit, and character lists `[a-z]`, `[!a-z]`, `[*]`. Text is
// compared without regard to case, as every Jet text compare is.
#include <memory>
#include <string>
#include <vector>

#include "engine/FunctionArgs.h"
#include "engine/Internal.h"
#include "engine/JetValues.h"

namespace engine::detail {

namespace {

struct PatternItem {
    enum Kind { Literal, AnyRun, OneChar, Digit, List } kind = Literal;
    char32_t ch = 0;  // Literal, folded
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;  // List, folded
};

struct Pattern {
    std::string source;
    std::vector<PatternItem> items;
};

// Reads a character list after its "[": "!" first negates, "-" first (after
// "!") or last is itself, any other "-" joins a range, which must ascend.
bool readList(const std::u32string& p, std::size_t& at, PatternItem& item) {
    item.kind = PatternItem::List;
    if (at < p.size() && p[at] == U'!') {
        item.negated = true;
        ++at;
    }
    const std::size_t first = at;
    while (at < p.size() && p[at] != U']') {
        char32_t low = foldCase(p[at]);
        char32_t high = low;
        if (p[at] != U'-' || at == first) {
            if (at + 2 < p.size() && p[at + 1] == U'-' && p[at + 2] != U']') {
                high = foldCase(p[at + 2]);
                if (p[at + 2] < p[at]) return false;
                at += 2;
            }
        }
        item.ranges.emplace_back(low, high);
        ++at;
    }
    if (at >= p.size()) return false;
    ++at;  // the "]"
    return true;
}

bool compile(const std::string& source, Pattern& out) {
    const std::u32string p = decodeUtf8(source);
    out.source = source;
    out.items.clear();
    for (std::size_t at = 0; at < p.size();) {
        PatternItem item;
        const char32_t c = p[at++];
        if (c == U'*' || c == U'%') {
            if (!out.items.empty() && out.items.back().kind == PatternItem::AnyRun) continue;
            item.kind = PatternItem::AnyRun;
        } else if (c == U'?' || c == U'_') {
            item.kind = PatternItem::OneChar;
        } else if (c == U'#') {
            item.kind = PatternItem::Digit;
        } else if (c == U'[') {
            if (!readList(p, at, item)) return false;
            // "[]" stands for nothing at all.
            if (item.ranges.empty() && !item.negated) continue;
        } else {
            item.ch = foldCase(c);
        }
        out.items.push_back(std::move(item));
    }
    return true;
}

bool matchesOne(const PatternItem& item, char32_t c) {
    switch (item.kind) {
        case PatternItem::Literal:
            return item.ch == c;
        case PatternItem::OneChar:
            return true;
        case PatternItem::Digit:
            return c >= U'0' && c <= U'9';
        case PatternItem::List: {
            bool inList = false;
            for (const auto& [low, high] : item.ranges) inList = inList || (c >= low && c <= high);
            return inList != item.negated;
        }
        case PatternItem::AnyRun:
            break;
    }
    return false;
}

// Greedy match with one backtrack point: the last `*` seen, retried one
// character further each time the rest fails. Linear in practice and never
// worse than text × pattern.
bool matches(const std::vector<PatternItem>& items, const std::u32string& text) {
    std::size_t t = 0, i = 0;
    std::size_t starItem = std::string::npos, starText = 0;
    while (t < text.size()) {
        if (i < items.size() && items[i].kind == PatternItem::AnyRun) {
            starItem = i++;
            starText = t;
        } else if (i < items.size() && matchesOne(items[i], text[t])) {
            ++i;
            ++t;
        } else if (starItem != std::string::npos) {
            i = starItem + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (i < items.size() && items[i].kind == PatternItem::AnyRun) ++i;
    return i == items.size();
}

void deletePattern(void* p) {
    delete static_cast<Pattern*>(p);
}

// vx_like(text, pattern): 1, 0, or Null when either is Null. The compiled
// pattern is kept with the statement while the pattern stays the same.
void fnLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
    const std::string source = argText(argv[1]);
    const std::u32string text = foldCase(decodeUtf8(argText(argv[0])));
    const auto* pattern = static_cast<const Pattern*>(sqlite3_get_auxdata(ctx, 1));
    if (pattern && pattern->source == source)
        return sqlite3_result_int(ctx, matches(pattern->items, text));
    auto fresh = std::make_unique<Pattern>();
    if (!compile(source, *fresh)) {
        return sqlite3_result_error(
            ctx, ("VXPATTERN:'" + source + "' has a character list without its ']'").c_str(), -1);
    }
    const bool hit = matches(fresh->items, text);
    sqlite3_set_auxdata(ctx, 1, fresh.release(), deletePattern);
    sqlite3_result_int(ctx, hit);
}

const SqlFunction kLikeFunctions[] = {
    {"vx_like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, fnLike},
};

}  // namespace

std::span<const SqlFunction> likeFunctions() {
    return kLikeFunctions;
}

}  // namespace engine::detail
