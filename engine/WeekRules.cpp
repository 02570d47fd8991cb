// The week of Jet's date functions: which day starts it and which week is
// the year's first. DatePart, Weekday, DateDiff and Format's w and ww share
// these rules, so the same arguments count the same weeks everywhere.
#include <cmath>
#include <string>

#include "engine/FunctionArgs.h"

namespace engine::detail {

// A calendar day as a count of days (1899-12-30 is 0), whatever the sign of
// the OLE date that holds it.
long long dayNumber(const DateParts& p) {
    return static_cast<long long>(std::llround(OleDateFromParts(p.year, p.month, p.day)));
}

// 1 (firstDay) to 7; day 0 was a Saturday.
int weekdayOf(long long day, int firstDay) {
    const int sundayBased = static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;  // 1 = Sunday
    return (sundayBased - firstDay + 7) % 7 + 1;
}

std::optional<WeekRules> readWeekRules(sqlite3_context* ctx, int argc, sqlite3_value** argv,
                                       int index, const char* function) {
    WeekRules rules;
    if (index < argc && !isNull(argv[index])) {
        auto d = wholeArg(ctx, argv[index], function);
        if (!d) return std::nullopt;
        if (*d < 0 || *d > 7) {
            resultInvalidCall(ctx,
                              std::string(function) + " takes a first day of the week from 0 to 7");
            return std::nullopt;
        }
        rules.firstDay = *d == 0 ? 1 : static_cast<int>(*d);
    }
    if (index + 1 < argc && !isNull(argv[index + 1])) {
        auto w = wholeArg(ctx, argv[index + 1], function);
        if (!w) return std::nullopt;
        if (*w < 0 || *w > 3) {
            resultInvalidCall(
                ctx, std::string(function) + " takes a first week of the year from 0 to 3");
            return std::nullopt;
        }
        rules.firstWeek = *w == 0 ? 1 : static_cast<int>(*w);
    }
    return rules;
}

namespace {

// The first day of week 1 of `year`: the week holding January 1 (1), the
// first with four days of the new year (2), or the first whole week (3).
long long firstWeekStart(int year, const WeekRules& rules) {
    const long long jan1 = std::llround(OleDateFromParts(year, 1, 1));
    const long long weekStart = jan1 - (weekdayOf(jan1, rules.firstDay) - 1);
    const long long daysInYear = weekStart + 7 - jan1;
    if (rules.firstWeek == 2 && daysInYear < 4) return weekStart + 7;
    if (rules.firstWeek == 3 && daysInYear < 7) return weekStart + 7;
    return weekStart;
}

}  // namespace

int weekOfYear(const DateParts& p, const WeekRules& rules) {
    const long long day = dayNumber(p);
    long long start = firstWeekStart(p.year, rules);
    if (day < start) start = firstWeekStart(p.year - 1, rules);
    return static_cast<int>((day - start) / 7) + 1;
}

}  // namespace engine::detail
