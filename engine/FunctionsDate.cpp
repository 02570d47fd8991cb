// Date functions as VBA defines them: intervals, the first day of the week
// and the first week of the year, and DateDiff counting the boundaries of
// its interval that lie between two dates.
#include <chrono>
#include <cmath>
#include <ctime>
#include <string>

#include "engine/FunctionArgs.h"

namespace engine::detail {

namespace {

constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
constexpr int kClock = SQLITE_UTF8 | SQLITE_INNOCUOUS;

const char* const kMonthNames[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
const char* const kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

std::optional<Interval> readInterval(const std::string& text) {
    static const struct {
        const char* name;
        Interval interval;
    } names[] = {{"YYYY", Interval::Year},   {"Q", Interval::Quarter}, {"M", Interval::Month},
                 {"Y", Interval::DayOfYear}, {"D", Interval::Day},     {"W", Interval::Weekday},
                 {"WW", Interval::Week},     {"H", Interval::Hour},    {"N", Interval::Minute},
                 {"S", Interval::Second}};
    const std::string up = upperAscii(text);
    for (const auto& n : names) {
        if (up == n.name) return n.interval;
    }
    return std::nullopt;
}

// Reads the date argument; false when the call is already answered (Null
// or an error).
bool dateArg(sqlite3_context* ctx, sqlite3_value* v, const char* function, DateParts& parts,
             double& ole) {
    if (isNull(v)) {
        sqlite3_result_null(ctx);
        return false;
    }
    if (!argDate(v, ole)) {
        resultCoercionError(ctx, Coercion::Mismatch, function);
        return false;
    }
    if (!OleDateToParts(ole, parts)) {
        resultInvalidCall(ctx,
                          std::string(function) + " needs a date between the years 100 and 9999");
        return false;
    }
    return true;
}

std::optional<Interval> intervalArg(sqlite3_context* ctx, sqlite3_value* v, const char* function) {
    auto interval = readInterval(argText(v));
    if (!interval) {
        resultInvalidCall(ctx, std::string(function) +
                                   " takes the interval yyyy, q, m, y, d, w, ww, h, n or s, not '" +
                                   argText(v) + "'");
    }
    return interval;
}

// DatePart(interval, date[, firstdayofweek[, firstweekofyear]]).
void fnDatePart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 2 || argc > 4) return resultInvalidCall(ctx, "DatePart takes 2 to 4 arguments");
    auto interval = intervalArg(ctx, argv[0], "DatePart");
    if (!interval) return;
    auto rules = readWeekRules(ctx, argc, argv, 2, "DatePart");
    if (!rules) return;
    DateParts p{};
    double ole = 0;
    if (!dateArg(ctx, argv[1], "DatePart", p, ole)) return;
    long long v = 0;
    switch (*interval) {
        case Interval::Year:
            v = p.year;
            break;
        case Interval::Quarter:
            v = (p.month - 1) / 3 + 1;
            break;
        case Interval::Month:
            v = p.month;
            break;
        case Interval::DayOfYear:
            v = dayNumber(p) - std::llround(OleDateFromParts(p.year, 1, 1)) + 1;
            break;
        case Interval::Day:
            v = p.day;
            break;
        case Interval::Weekday:
            v = weekdayOf(dayNumber(p), rules->firstDay);
            break;
        case Interval::Week:
            v = weekOfYear(p, *rules);
            break;
        case Interval::Hour:
            v = p.hour;
            break;
        case Interval::Minute:
            v = p.minute;
            break;
        case Interval::Second:
            v = p.second;
            break;
    }
    sqlite3_result_int64(ctx, v);
}

// Weekday(date[, firstdayofweek]).
void fnWeekday(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 1 || argc > 2) return resultInvalidCall(ctx, "Weekday takes 1 or 2 arguments");
    auto rules = readWeekRules(ctx, argc, argv, 1, "Weekday");
    if (!rules) return;
    DateParts p{};
    double ole = 0;
    if (!dateArg(ctx, argv[0], "Weekday", p, ole)) return;
    sqlite3_result_int(ctx, weekdayOf(dayNumber(p), rules->firstDay));
}

// DateDiff(interval, date1, date2[, firstdayofweek[, firstweekofyear]]):
// how many boundaries of the interval lie after date1 up to date2, so
// 12/31 to 1/1 is one year; "w" counts whole weeks, "ww" the first days of
// the week passed.
void fnDateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 3 || argc > 5) return resultInvalidCall(ctx, "DateDiff takes 3 to 5 arguments");
    auto interval = intervalArg(ctx, argv[0], "DateDiff");
    if (!interval) return;
    auto rules = readWeekRules(ctx, argc, argv, 3, "DateDiff");
    if (!rules) return;
    DateParts a{}, b{};
    double oleA = 0, oleB = 0;
    if (isNull(argv[1]) || isNull(argv[2])) return sqlite3_result_null(ctx);
    if (!dateArg(ctx, argv[1], "DateDiff", a, oleA) || !dateArg(ctx, argv[2], "DateDiff", b, oleB))
        return;
    const long long dayA = dayNumber(a), dayB = dayNumber(b);
    const auto seconds = [](long long day, const DateParts& p) {
        return day * 86400 + p.hour * 3600LL + p.minute * 60LL + p.second;
    };
    long long v = 0;
    switch (*interval) {
        case Interval::Year:
            v = b.year - a.year;
            break;
        case Interval::Quarter:
            v = (b.year * 4LL + (b.month - 1) / 3) - (a.year * 4LL + (a.month - 1) / 3);
            break;
        case Interval::Month:
            v = (b.year * 12LL + b.month) - (a.year * 12LL + a.month);
            break;
        case Interval::DayOfYear:
        case Interval::Day:
            v = dayB - dayA;
            break;
        case Interval::Weekday:
            v = (dayB - dayA) / 7;
            break;
        case Interval::Week: {
            const auto weekStart = [&](long long day) {
                return day - (weekdayOf(day, rules->firstDay) - 1);
            };
            v = (weekStart(dayB) - weekStart(dayA)) / 7;
            break;
        }
        case Interval::Hour:
            v = seconds(dayB, b) / 3600 - seconds(dayA, a) / 3600;
            break;
        case Interval::Minute:
            v = seconds(dayB, b) / 60 - seconds(dayA, a) / 60;
            break;
        case Interval::Second:
            v = seconds(dayB, b) - seconds(dayA, a);
            break;
    }
    sqlite3_result_int64(ctx, v);
}

// DateSerial(year, month, day): years 0-29 are 2000-2029 and 30-99 are
// 1930-1999; months and days past their range carry into the next unit.
void fnDateSerial(sqlite3_context* ctx, int, sqlite3_value** argv) {
    long long parts[3];
    for (int i = 0; i < 3; ++i) {
        if (isNull(argv[i])) return sqlite3_result_null(ctx);
        auto n = wholeArg(ctx, argv[i], "DateSerial", -32768, 32767);
        if (!n) return;
        parts[i] = *n;
    }
    long long year = parts[0];
    if (year >= 0 && year <= 29)
        year += 2000;
    else if (year >= 30 && year <= 99)
        year += 1900;
    const double ole = OleDateFromParts(static_cast<int>(year), static_cast<int>(parts[1]),
                                        static_cast<int>(parts[2]));
    DateParts check{};
    if (!OleDateToParts(ole, check))
        return resultInvalidCall(ctx, "DateSerial gives a date outside the years 100 to 9999");
    sqlite3_result_double(ctx, ole);
}

// An OLE date for a count of seconds from 1899-12-30 00:00, which may be
// negative: before that day the whole days count back, the time forward.
double oleFromSeconds(long long total) {
    const long long day = total >= 0 ? total / 86400 : -((-total + 86399) / 86400);
    const double time = static_cast<double>(total - day * 86400) / 86400.0;
    return day < 0 ? static_cast<double>(day) - time : static_cast<double>(day) + time;
}

// TimeSerial(hour, minute, second): values past their range carry over.
void fnTimeSerial(sqlite3_context* ctx, int, sqlite3_value** argv) {
    long long total = 0;
    const long long unit[] = {3600, 60, 1};
    for (int i = 0; i < 3; ++i) {
        if (isNull(argv[i])) return sqlite3_result_null(ctx);
        auto n = wholeArg(ctx, argv[i], "TimeSerial", -32768, 32767);
        if (!n) return;
        total += *n * unit[i];
    }
    sqlite3_result_double(ctx, oleFromSeconds(total));
}

// TimeValue(text): the time of day a date or time text names.
void fnTimeValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return resultCoercionError(ctx, Coercion::Null, "TimeValue");
    double ole = 0;
    DateParts p{};
    if (!argDate(argv[0], ole) || !OleDateToParts(ole, p)) {
        return resultCoercionError(ctx, Coercion::Mismatch, "TimeValue");
    }
    sqlite3_result_double(ctx, (p.hour * 3600.0 + p.minute * 60.0 + p.second) / 86400.0);
}

// WeekdayName(weekday[, abbreviate[, firstdayofweek]]).
void fnWeekdayName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 1 || argc > 3) return resultInvalidCall(ctx, "WeekdayName takes 1 to 3 arguments");
    auto day = wholeArg(ctx, argv[0], "WeekdayName");
    if (!day) return;
    bool abbreviate = false;
    if (argc >= 2) {
        auto a = numberArg(ctx, argv[1], "WeekdayName");
        if (!a) return;
        abbreviate = *a != 0;
    }
    auto rules = readWeekRules(ctx, argc, argv, 2, "WeekdayName");
    if (!rules) return;
    if (*day < 1 || *day > 7)
        return resultInvalidCall(ctx, "WeekdayName takes a weekday from 1 to 7");
    const std::string name = kDayNames[(*day - 1 + rules->firstDay - 1) % 7];
    resultText(ctx, abbreviate ? name.substr(0, 3) : name);
}

// MonthName(month[, abbreviate]).
void fnMonthName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 1 || argc > 2) return resultInvalidCall(ctx, "MonthName takes 1 or 2 arguments");
    auto month = wholeArg(ctx, argv[0], "MonthName");
    if (!month) return;
    bool abbreviate = false;
    if (argc >= 2) {
        auto a = numberArg(ctx, argv[1], "MonthName");
        if (!a) return;
        abbreviate = *a != 0;
    }
    if (*month < 1 || *month > 12)
        return resultInvalidCall(ctx, "MonthName takes a month from 1 to 12");
    const std::string name = kMonthNames[*month - 1];
    resultText(ctx, abbreviate ? name.substr(0, 3) : name);
}

// Timer: seconds since local midnight, to the hundredth as VBA's Single.
void fnTimer(sqlite3_context* ctx, int, sqlite3_value**) {
    const double now = OleDateNow();
    const double seconds = (now - std::floor(now)) * 86400.0;
    sqlite3_result_double(ctx, std::round(seconds * 100.0) / 100.0);
}

const SqlFunction kDateFunctions[] = {
    {"vx_datepart", -1, kPure, fnDatePart},
    {"vx_weekday", -1, kPure, fnWeekday},
    {"vx_datediff", -1, kPure, fnDateDiff},
    {"vx_dateserial", 3, kPure, fnDateSerial},
    {"vx_timeserial", 3, kPure, fnTimeSerial},
    {"vx_timevalue", 1, kPure, fnTimeValue},
    {"vx_weekdayname", -1, kPure, fnWeekdayName},
    {"vx_monthname", -1, kPure, fnMonthName},
    {"vx_timer", 0, kClock, fnTimer},
};

}  // namespace

std::span<const SqlFunction> dateFunctions() {
    return kDateFunctions;
}

}  // namespace engine::detail
