#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>

#include "engine/Internal.h"

namespace engine {

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's method).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

const long long kOleEpoch = daysFromCivil(1899, 12, 30);

std::mutex nowMutex;
std::optional<double> fixedNow;

}  // namespace

double OleDateFromParts(int year, int month, int day, int hour, int minute, double second) {
    // Month overflow as DateSerial allows it.
    long long y = year + (month - 1) / 12;
    int m = (month - 1) % 12;
    if (m < 0) {
        m += 12;
        --y;
    }
    const long long days =
        daysFromCivil(y, static_cast<unsigned>(m + 1), 1) + (day - 1) - kOleEpoch;
    const double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    // OLE dates before the epoch count the day backwards and the time forwards.
    if (days < 0) return static_cast<double>(days) - time;
    return static_cast<double>(days) + time;
}

bool OleDateToParts(double oleDate, DateParts& parts) {
    if (!std::isfinite(oleDate) || oleDate < -657434.0 || oleDate >= 2958466.0) return false;
    double dayPart = std::trunc(oleDate);
    double fraction = std::fabs(oleDate - dayPart);
    long long seconds = std::llround(fraction * 86400.0);
    long long days = static_cast<long long>(dayPart);
    // A time that rounds up to midnight is the start of the next day, later
    // in the calendar on either side of the epoch: before it the day counts
    // backwards but the time of day still runs forwards.
    if (seconds >= 86400) {
        seconds -= 86400;
        days += 1;
    }
    int y, m, d;
    civilFromDays(days + kOleEpoch, y, m, d);
    if (y < 100 || y > 9999) return false;
    parts = DateParts{y,
                      m,
                      d,
                      static_cast<int>(seconds / 3600),
                      static_cast<int>(seconds / 60 % 60),
                      static_cast<int>(seconds % 60)};
    return true;
}

double OleDateNow() {
    {
        std::lock_guard lock(nowMutex);
        if (fixedNow) return *fixedNow;
    }
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return OleDateFromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                            local.tm_min, local.tm_sec);
}

void SetNowForTesting(std::optional<double> oleDate) {
    std::lock_guard lock(nowMutex);
    fixedNow = oleDate;
}

namespace detail {

namespace {

bool readNumber(std::string_view s, std::size_t& pos, int& value, int maxDigits) {
    int digits = 0;
    value = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && digits < maxDigits) {
        value = value * 10 + (s[pos] - '0');
        ++pos;
        ++digits;
    }
    return digits > 0;
}

void skipBlanks(std::string_view s, std::size_t& pos) {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
}

bool validDate(int y, int m, int d) {
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int len = lengths[m - 1];
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) len = 29;
    return d <= len;
}

}  // namespace

// Accepts yyyy/mm/dd and yyyy-mm-dd as written, m/d/yyyy in the US order as
// Jet reads it, and a time alone; each date with an optional hh:mm[:ss].
bool parseDateLiteral(std::string_view text, double& oleDate) {
    std::size_t pos = 0;
    skipBlanks(text, pos);
    int a = 0, b = 0, c = 0;
    int year = 1899, month = 12, day = 30;
    bool haveDate = false;
    std::size_t start = pos;
    if (readNumber(text, pos, a, 4) && pos < text.size() &&
        (text[pos] == '/' || text[pos] == '-')) {
        char sep = text[pos++];
        if (!readNumber(text, pos, b, 2) || pos >= text.size() || text[pos] != sep) return false;
        ++pos;
        if (!readNumber(text, pos, c, 4)) return false;
        if (pos - start >= 8 && a >= 100) {
            year = a, month = b, day = c;
        } else {
            month = a, day = b, year = c;
            if (year < 100) year += year < 30 ? 2000 : 1900;
        }
        if (!validDate(year, month, day)) return false;
        haveDate = true;
    } else {
        pos = start;
    }
    skipBlanks(text, pos);
    int hour = 0, minute = 0, second = 0;
    bool haveTime = false;
    if (pos < text.size()) {
        if (!readNumber(text, pos, hour, 2) || pos >= text.size() || text[pos] != ':') return false;
        ++pos;
        if (!readNumber(text, pos, minute, 2)) return false;
        if (pos < text.size() && text[pos] == ':') {
            ++pos;
            if (!readNumber(text, pos, second, 2)) return false;
        }
        skipBlanks(text, pos);
        if (pos < text.size()) {
            std::string rest = upperAscii(text.substr(pos));
            if (rest == "PM" && hour < 12)
                hour += 12;
            else if (rest == "AM" && hour == 12)
                hour = 0;
            else if (rest != "AM" && rest != "PM")
                return false;
            pos = text.size();
        }
        if (hour > 23 || minute > 59 || second > 59) return false;
        haveTime = true;
    }
    skipBlanks(text, pos);
    if (pos != text.size() || (!haveDate && !haveTime)) return false;
    oleDate = OleDateFromParts(year, month, day, hour, minute, second);
    return true;
}

}  // namespace detail
}  // namespace engine
