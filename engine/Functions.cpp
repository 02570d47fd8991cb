// The Jet functions registered on every connection.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "engine/Checks.h"
#include "engine/Decimal.h"
#include "engine/FunctionArgs.h"
#include "engine/Internal.h"
#include "engine/JetValues.h"

namespace engine::detail {

namespace {

void fnNow(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_double(ctx, OleDateNow());
}
void fnDate(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_double(ctx, std::floor(OleDateNow()));
}
void fnTime(sqlite3_context* ctx, int, sqlite3_value**) {
    double now = OleDateNow();
    sqlite3_result_double(ctx, now - std::floor(now));
}

// Right(text, n) by characters, never cutting a UTF-8 sequence.
void fnRight(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string s = argText(argv[0]);
    long long n = sqlite3_value_int64(argv[1]);
    if (n < 0) return sqlite3_result_error(ctx, "VXARG:Right needs a length of 0 or more", -1);
    std::size_t chars = utf8Length(s);
    if (static_cast<std::size_t>(n) >= chars) {
        return sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    std::size_t skip = chars - static_cast<std::size_t>(n), pos = 0;
    while (skip > 0 && pos < s.size()) {
        ++pos;
        while (pos < s.size() && (static_cast<unsigned char>(s[pos]) & 0xC0) == 0x80) ++pos;
        --skip;
    }
    std::string out = s.substr(pos);
    sqlite3_result_text(ctx, out.c_str(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// Left(text, n) by characters.
void fnLeft(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto n = wholeArg(ctx, argv[1], "Left");
    if (!n) return;
    if (*n < 0) return sqlite3_result_error(ctx, "VXARG:Left needs a length of 0 or more", -1);
    const std::string s = argText(argv[0]);
    std::size_t pos = 0;
    for (long long left = *n; left > 0 && pos < s.size(); --left) {
        ++pos;
        while (pos < s.size() && (static_cast<unsigned char>(s[pos]) & 0xC0) == 0x80) ++pos;
    }
    sqlite3_result_text(ctx, s.data(), static_cast<int>(pos), SQLITE_TRANSIENT);
}

void fnDateAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double ole;
    if (!argDate(argv[2], ole)) return sqlite3_result_null(ctx);
    std::string interval = upperAscii(argText(argv[0]));
    double n = sqlite3_value_double(argv[1]);
    if (interval == "D" || interval == "Y" || interval == "W")
        return sqlite3_result_double(ctx, ole + n);
    if (interval == "WW") return sqlite3_result_double(ctx, ole + 7 * n);
    if (interval == "H") return sqlite3_result_double(ctx, ole + n / 24);
    if (interval == "N") return sqlite3_result_double(ctx, ole + n / 1440);
    if (interval == "S") return sqlite3_result_double(ctx, ole + n / 86400);
    DateParts p{};
    if (!OleDateToParts(ole, p)) return sqlite3_result_null(ctx);
    int months = interval == "YYYY" ? static_cast<int>(n) * 12
                 : interval == "Q"  ? static_cast<int>(n) * 3
                 : interval == "M"  ? static_cast<int>(n)
                                    : 0;
    if (months == 0 && interval != "M" && interval != "Q" && interval != "YYYY") {
        return sqlite3_result_error(ctx, "VXARG:Unknown date interval", -1);
    }
    int day = p.day;
    double first = OleDateFromParts(p.year, p.month + months, 1);
    DateParts q{};
    OleDateToParts(first, q);
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int len = lengths[q.month - 1];
    if (q.month == 2 && ((q.year % 4 == 0 && q.year % 100 != 0) || q.year % 400 == 0)) len = 29;
    sqlite3_result_double(
        ctx, OleDateFromParts(q.year, q.month, std::min(day, len), p.hour, p.minute, p.second));
}

void fnCDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double ole;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (!argDate(argv[0], ole))
        return sqlite3_result_error(ctx, "VXARG:The value is not a date", -1);
    sqlite3_result_double(ctx, ole);
}

// Val(text): the number a text starts with; Null is no text.
void fnVal(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return resultCoercionError(ctx, Coercion::Null, "Val");
    double number = 0;
    if (valNumber(argText(argv[0]), number) == RadixDigits::Overflow)
        return resultOverflow(ctx, "Val");
    sqlite3_result_double(ctx, number);
}

// FIRST/LAST aggregates: the value of the first or last row of the group.
struct Held {
    sqlite3_value* value;
    bool set;
};
void firstStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* h = static_cast<Held*>(sqlite3_aggregate_context(ctx, sizeof(Held)));
    if (h && !h->set) {
        h->value = sqlite3_value_dup(argv[0]);
        h->set = true;
    }
}
void lastStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* h = static_cast<Held*>(sqlite3_aggregate_context(ctx, sizeof(Held)));
    if (!h) return;
    if (h->set) sqlite3_value_free(h->value);
    h->value = sqlite3_value_dup(argv[0]);
    h->set = true;
}
void heldFinal(sqlite3_context* ctx) {
    auto* h = static_cast<Held*>(sqlite3_aggregate_context(ctx, 0));
    if (!h || !h->set) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, h->value);
    sqlite3_value_free(h->value);
}

const int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
const int kClock = SQLITE_UTF8 | SQLITE_INNOCUOUS;

const SqlFunction kCoreFunctions[] = {
    {"vx_now", 0, kClock, fnNow},
    {"vx_date", 0, kClock, fnDate},
    {"vx_time", 0, kClock, fnTime},
    {"vx_right", 2, kPure, fnRight},
    {"vx_left", 2, kPure, fnLeft},
    {"vx_dateadd", 3, kPure, fnDateAdd},
    {"vx_cdate", 1, kPure, fnCDate},
    {"vx_val", 1, kPure, fnVal},
    {"vx_first", 1, SQLITE_UTF8, nullptr, firstStep, heldFinal},
    {"vx_last", 1, SQLITE_UTF8, nullptr, lastStep, heldFinal},
};

}  // namespace

std::span<const SqlFunction> coreFunctions() {
    return kCoreFunctions;
}

namespace {

// A function runs inside SQLite's C code, which an exception must never
// cross: running out of memory fails the call as SQLite's own allocations
// do, and a text past std::string's reach as one past the length limit.
const SqlFunction& calledFunction(sqlite3_context* ctx) {
    return *static_cast<const SqlFunction*>(sqlite3_user_data(ctx));
}

template <typename Call>
void guarded(sqlite3_context* ctx, Call call) {
    try {
        call();
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::length_error&) {
        sqlite3_result_error_toobig(ctx);
    }
}

void guardedScalar(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    guarded(ctx, [&] { calledFunction(ctx).scalar(ctx, argc, argv); });
}
void guardedStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    guarded(ctx, [&] { calledFunction(ctx).step(ctx, argc, argv); });
}
void guardedFinal(sqlite3_context* ctx) {
    guarded(ctx, [&] { calledFunction(ctx).final(ctx); });
}

}  // namespace

// Every family of functions, each kept in the file named after it.
void registerFunctions(sqlite3* db) {
    registerTypeRuleFunctions(db);
    registerCheckFunctions(db);
    registerDecimalCollation(db);
    const std::span<const SqlFunction> families[] = {
        coreFunctions(),    textFunctions(),  dateFunctions(),       mathFunctions(),
        financeFunctions(), valueFunctions(), conversionFunctions(), formatFunctions(),
        decimalFunctions(), likeFunctions(),  arithmeticFunctions()};
    for (const auto& family : families) {
        for (const auto& f : family) {
            sqlite3_create_function(db, f.name, f.args, f.flags, const_cast<SqlFunction*>(&f),
                                    f.scalar ? guardedScalar : nullptr,
                                    f.step ? guardedStep : nullptr,
                                    f.final ? guardedFinal : nullptr);
        }
    }
}

}  // namespace engine::detail
