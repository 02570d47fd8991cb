// Mathematical functions, VBA's random number generator and the
// statistical aggregates.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "engine/FunctionArgs.h"

namespace engine::detail {

namespace {

constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;

// A function of one number; `valid` says whether the argument is in its
// domain (else error 5), and a result past a Double overflows (error 6).
struct MathFunction {
    const char* name;
    double (*f)(double);
    bool (*valid)(double);
};

template <const MathFunction& M>
void fnMath(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    auto x = numberArg(ctx, argv[0], M.name);
    if (!x) return;
    if (M.valid && !M.valid(*x)) {
        return resultInvalidCall(ctx,
                                 std::string(M.name) + " is not defined for " + numberText(*x));
    }
    const double y = M.f(*x);
    if (!std::isfinite(y)) return resultOverflow(ctx, M.name);
    sqlite3_result_double(ctx, y);
}

constexpr MathFunction kExp{"Exp", [](double x) { return std::exp(x); }, nullptr};
constexpr MathFunction kLog{"Log", [](double x) { return std::log(x); },
                            [](double x) { return x > 0; }};
constexpr MathFunction kSin{"Sin", [](double x) { return std::sin(x); }, nullptr};
constexpr MathFunction kCos{"Cos", [](double x) { return std::cos(x); }, nullptr};
constexpr MathFunction kTan{"Tan", [](double x) { return std::tan(x); }, nullptr};
constexpr MathFunction kAtn{"Atn", [](double x) { return std::atan(x); }, nullptr};

// VBA's generator: a 24-bit linear congruential sequence, shared by every
// connection of the process as VBA's is by the whole program.
std::atomic<std::uint32_t> rndSeed{327680};

// Rnd([number]): the next number; 0 repeats the last one; a negative
// number always gives the same one, seeded from its Single bits.
void fnRnd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    double number = 1;
    if (argc >= 1) {
        if (isNull(argv[0])) return resultCoercionError(ctx, Coercion::Null, "Rnd");
        auto n = numberArg(ctx, argv[0], "Rnd");
        if (!n) return;
        number = *n;
    }
    std::uint32_t seed = rndSeed.load();
    std::uint32_t next;
    do {
        next = seed;
        if (number < 0) {
            const float single = static_cast<float>(number);
            std::uint32_t bits;
            std::memcpy(&bits, &single, sizeof bits);
            next = (bits + (bits >> 24)) & 0xFFFFFF;
        }
        if (number != 0) next = (next * 1140671485U + 12820163U) & 0xFFFFFF;
    } while (!rndSeed.compare_exchange_weak(seed, next));
    sqlite3_result_double(ctx, static_cast<double>(static_cast<float>(next) / 16777216.0f));
}

// StDev, StDevP, Var and VarP by Welford's running mean, so that a long
// column of large, close values keeps its precision.
struct Spread {
    long long count;
    double mean;
    double squares;
    bool failed;
};

void spreadStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, sizeof(Spread)));
    if (!s || s->failed || isNull(argv[0])) return;
    double x = 0;
    if (toNumber(argv[0], x) != Coercion::Number) {
        s->failed = true;
        return;
    }
    ++s->count;
    const double delta = x - s->mean;
    s->mean += delta / static_cast<double>(s->count);
    s->squares += delta * (x - s->mean);
}

// The variance of a sample (`population` false) or of a whole population;
// Null for fewer than two values (one for a population).
template <bool population, bool root>
void spreadFinal(sqlite3_context* ctx) {
    auto* s = static_cast<Spread*>(sqlite3_aggregate_context(ctx, 0));
    if (s && s->failed) return resultCoercionError(ctx, Coercion::Mismatch, root ? "StDev" : "Var");
    const long long least = population ? 1 : 2;
    if (!s || s->count < least) return sqlite3_result_null(ctx);
    const double variance = s->squares / static_cast<double>(population ? s->count : s->count - 1);
    sqlite3_result_double(ctx, root ? std::sqrt(variance) : variance);
}

// Partition(number, start, stop, interval): the range of `interval` numbers
// from `start` that holds `number`, as "lower:upper" with both sides padded
// to the width of stop + 1, so that the ranges sort as texts. Numbers before
// start fall in "   :start-1", those past stop in "stop+1:   ".
void fnPartition(sqlite3_context* ctx, int, sqlite3_value** argv) {
    for (int i = 0; i < 4; ++i) {
        if (isNull(argv[i])) return sqlite3_result_null(ctx);
    }
    long long v[4];
    for (int i = 0; i < 4; ++i) {
        auto n = wholeArg(ctx, argv[i], "Partition");
        if (!n) return;
        v[i] = *n;
    }
    const long long number = v[0], start = v[1], stop = v[2], interval = v[3];
    if (start < 0 || stop <= start || interval < 1) {
        return resultInvalidCall(
            ctx,
            "Partition needs a start of 0 or more, a stop past it and an interval of 1 or more");
    }
    const std::size_t width =
        std::max(std::to_string(stop + 1).size(), std::to_string(start - 1).size());
    const auto side = [width](std::optional<long long> n) {
        std::string text = n ? std::to_string(*n) : std::string();
        return std::string(width - std::min(width, text.size()), ' ') + text;
    };
    std::optional<long long> lower, upper;
    if (number < start) {
        upper = start - 1;
    } else if (number > stop) {
        lower = stop + 1;
    } else {
        lower = start + (number - start) / interval * interval;
        upper = std::min(*lower + interval - 1, stop);
    }
    resultText(ctx, side(lower) + ":" + side(upper));
}

const SqlFunction kMathFunctions[] = {
    {"vx_partition", 4, kPure, fnPartition},
    {"vx_exp", 1, kPure, fnMath<kExp>},
    {"vx_log", 1, kPure, fnMath<kLog>},
    {"vx_sin", 1, kPure, fnMath<kSin>},
    {"vx_cos", 1, kPure, fnMath<kCos>},
    {"vx_tan", 1, kPure, fnMath<kTan>},
    {"vx_atn", 1, kPure, fnMath<kAtn>},
    {"vx_rnd", -1, SQLITE_UTF8, fnRnd},
    {"vx_stdev", 1, SQLITE_UTF8, nullptr, spreadStep, spreadFinal<false, true>},
    {"vx_stdevp", 1, SQLITE_UTF8, nullptr, spreadStep, spreadFinal<true, true>},
    {"vx_var", 1, SQLITE_UTF8, nullptr, spreadStep, spreadFinal<false, false>},
    {"vx_varp", 1, SQLITE_UTF8, nullptr, spreadStep, spreadFinal<true, false>},
};

}  // namespace

std::span<const SqlFunction> mathFunctions() {
    return kMathFunctions;
}

}  // namespace engine::detail
