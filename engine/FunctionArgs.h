// Reading the arguments of the VBA-style functions and answering with the
// errors Jet's expression service raises. Not part of the public interface.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/JetValues.h"

namespace engine::detail {

inline bool isNull(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL;
}

std::string argText(sqlite3_value* v);
// Answers with `text`, or fails the call as fitsLength does when it is too long.
void resultText(sqlite3_context* ctx, const std::string& text);

// The one length check of every function that builds a text: false (and the
// call failed with error 14, naming `function`) when `bytes` exceed the
// connection's length limit. Called with the size the result will have
// before anything of that size is allocated.
bool fitsLength(sqlite3_context* ctx, std::uint64_t bytes, const char* function);

// Fails the call with error 5, "Invalid procedure call or argument".
void resultInvalidCall(sqlite3_context* ctx, const std::string& why);

// A numeric argument; on Null or a text that is no number the call has
// already failed with error 94 or 13 and nullopt comes back.
std::optional<double> numberArg(sqlite3_context* ctx, sqlite3_value* v, const char* function);
// The same, rounded half to even as VBA passes a Double to an Integer or
// Long parameter; a value outside [low, high] fails with error 6.
std::optional<long long> wholeArg(sqlite3_context* ctx, sqlite3_value* v, const char* function,
                                  long long low = -2147483648LL, long long high = 2147483647LL);
// The compare argument of InStr, InStrRev, Replace and StrComp: true for a
// binary (case-sensitive) compare. Jet's default and 1, 2 compare as text.
std::optional<bool> binaryCompareArg(sqlite3_context* ctx, int argc, sqlite3_value** argv,
                                     int index, const char* function);

// Texts as code points, so that positions count characters as VBA's do.
std::u32string decodeUtf8(std::string_view s);
std::string encodeUtf8(std::u32string_view s);
// Upper-cases a code point for comparison as text: ASCII, Latin-1, Latin
// Extended-A, Greek, Cyrillic and the full-width Latin letters.
char32_t foldCase(char32_t c);
std::u32string foldCase(std::u32string s);

// An argument read as a date: a number as the OLE date it is, a text as a
// date literal reads.
bool argDate(sqlite3_value* v, double& ole);

// The optional firstdayofweek (0 = the system's, Sunday here) and
// firstweekofyear (0 = the system's, the week of January 1) arguments.
struct WeekRules {
    int firstDay = 1;
    int firstWeek = 1;
};
// Reads them from argv[index] and argv[index + 1] where given; on a value
// out of range the call has failed with error 5 and nullopt comes back.
std::optional<WeekRules> readWeekRules(sqlite3_context* ctx, int argc, sqlite3_value** argv,
                                       int index, const char* function);
// A calendar day as a count of days (1899-12-30 is 0).
long long dayNumber(const DateParts& p);
// The day of the week of `day`, 1 being `firstDay` (1 = Sunday).
int weekdayOf(long long day, int firstDay);
// The week of the year `p` falls in, counted by `rules`.
int weekOfYear(const DateParts& p, const WeekRules& rules);

}  // namespace engine::detail
