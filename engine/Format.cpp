// Format and its family (FormatNumber, FormatCurrency, FormatPercent,
// FormatDateTime) as Jet's expression service answers them on a Japanese
// Windows: dates yyyy/mm/dd, the yen sign without decimals, and the English
// day and month names VBA's own format tokens give.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FunctionArgs.h"
#include "engine/JetValues.h"

namespace engine::detail {

namespace {

constexpr const char* kYen = "\xC2\xA5";  // U+00A5, the currency symbol of a Japanese Windows
const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};
const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                             "Thursday", "Friday", "Saturday"};

std::string padded(long long v, int width) {
    std::string digits = std::to_string(v);
    if (digits.size() < static_cast<std::size_t>(width))
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return digits;
}

// ---------------------------------------------------------------- numbers

// |value| with `decimals` places from its 15 significant digits, rounded
// half away from zero as Format rounds: 1.005 gives "1.01", 2.5 gives "3".
struct Fixed {
    std::string whole;     // no leading zeros; empty for zero
    std::string fraction;  // exactly `decimals` digits
};

Fixed fixedDigits(double value, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    std::string digits(1, buf[0]);
    digits.append(buf + 2, 14);
    int point = std::atoi(std::strchr(buf, 'e') + 1) + 1;  // digits before the decimal point
    if (point < 1) {
        digits.insert(0, static_cast<std::size_t>(1 - point), '0');
        point = 1;
    }
    const std::size_t keep = static_cast<std::size_t>(point + decimals);
    if (digits.size() < keep + 1) digits.append(keep + 1 - digits.size(), '0');
    const bool up = digits[keep] >= '5';
    digits.resize(keep);
    if (up) {
        std::size_t i = keep;
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i == 0) {
            digits.insert(0, "1");
            ++point;
        } else {
            ++digits[i - 1];
        }
    }
    Fixed f{digits.substr(0, static_cast<std::size_t>(point)),
            digits.substr(static_cast<std::size_t>(point))};
    f.whole.erase(0, f.whole.find_first_not_of('0'));
    if (f.whole.find_first_not_of('0') == std::string::npos) f.whole.clear();
    return f;
}

std::string grouped(const std::string& digits) {
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// A number in the style the named formats and FormatNumber share.
std::string plainNumber(double value, int decimals, bool group, bool leadingZero) {
    Fixed f = fixedDigits(value, decimals);
    std::string whole = f.whole.empty() && leadingZero ? "0" : f.whole;
    std::string out = group ? grouped(whole) : whole;
    if (decimals > 0) out += "." + f.fraction;
    return out;
}

// One element of a custom format section.
struct Item {
    enum Kind { Literal, Zero, Hash, Point, Percent, Exponent } kind;
    std::string text;  // Literal: the text; Exponent: "E+", "e-", ...
};

// Reads a section into items; quoted text, \x and any other character
// become literals. Thousands commas are reported apart.
std::vector<Item> numberItems(const std::string& s, bool& thousands, int& scaleCommas) {
    std::vector<Item> items;
    thousands = false;
    scaleCommas = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            const auto end = s.find('"', i + 1);
            items.push_back(
                {Item::Literal,
                 s.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1)});
            i = end == std::string::npos ? s.size() : end;
        } else if (c == '\\' && i + 1 < s.size()) {
            items.push_back({Item::Literal, std::string(1, s[++i])});
        } else if (c == '0') {
            items.push_back({Item::Zero, {}});
        } else if (c == '#') {
            items.push_back({Item::Hash, {}});
        } else if (c == '.') {
            items.push_back({Item::Point, {}});
        } else if (c == '%') {
            items.push_back({Item::Percent, {}});
        } else if ((c == 'E' || c == 'e') && i + 1 < s.size() &&
                   (s[i + 1] == '+' || s[i + 1] == '-')) {
            items.push_back({Item::Exponent, s.substr(i, 2)});
            ++i;
        } else if (c == ',') {
            // Between digit places it groups thousands; after the last one
            // (before the point or the end) it scales by a thousand.
            const auto next = s.find_first_not_of(',', i);
            const bool digitFollows =
                next != std::string::npos && (s[next] == '0' || s[next] == '#');
            if (digitFollows)
                thousands = true;
            else
                ++scaleCommas;
        } else {
            items.push_back({Item::Literal, std::string(1, c)});
        }
    }
    return items;
}

// Fills the whole-number places right to left; the leftmost place takes
// every digit left over.
std::string fillWhole(const std::vector<Item>& items, std::size_t end, const std::string& digits,
                      bool thousands) {
    std::string wholeDigits = digits;
    std::size_t zeros = 0;
    for (std::size_t i = 0; i < end; ++i) zeros += items[i].kind == Item::Zero;
    if (thousands) {
        if (wholeDigits.size() < zeros) wholeDigits.insert(0, zeros - wholeDigits.size(), '0');
        std::string out;
        bool placed = false;
        for (std::size_t i = 0; i < end; ++i) {
            if (items[i].kind == Item::Literal || items[i].kind == Item::Percent) {
                out += items[i].kind == Item::Percent ? "%" : items[i].text;
            } else if (!placed) {
                out += grouped(wholeDigits);
                placed = true;
            }
        }
        return out;
    }
    std::vector<std::string> parts(end);
    std::size_t remaining = wholeDigits.size();
    std::size_t first = end;
    for (std::size_t i = 0; i < end; ++i) {
        if (items[i].kind == Item::Zero || items[i].kind == Item::Hash) {
            first = i;
            break;
        }
    }
    for (std::size_t i = end; i-- > 0;) {
        const Item& it = items[i];
        if (it.kind == Item::Literal)
            parts[i] = it.text;
        else if (it.kind == Item::Percent)
            parts[i] = "%";
        else if (i == first) {
            parts[i] = wholeDigits.substr(0, remaining);
            if (parts[i].empty() && it.kind == Item::Zero) parts[i] = "0";
            remaining = 0;
        } else if (remaining > 0) {
            parts[i] = wholeDigits.substr(--remaining, 1);
        } else if (it.kind == Item::Zero) {
            parts[i] = "0";
        }
    }
    std::string out;
    for (const auto& p : parts) out += p;
    return out;
}

std::string customNumber(double value, const std::string& section) {
    bool thousands = false;
    int scaleCommas = 0;
    const std::vector<Item> items = numberItems(section, thousands, scaleCommas);
    std::size_t point = items.size(), exponent = items.size();
    int decimals = 0, optionalDecimals = 0, percents = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& it = items[i];
        if (it.kind == Item::Percent) ++percents;
        if (it.kind == Item::Exponent && exponent == items.size()) exponent = i;
        if (it.kind == Item::Point && point == items.size() && exponent == items.size()) point = i;
        if (i > point && exponent == items.size() &&
            (it.kind == Item::Zero || it.kind == Item::Hash)) {
            ++decimals;
            optionalDecimals = it.kind == Item::Hash ? optionalDecimals + 1 : 0;
        }
    }
    double v = std::fabs(value) * std::pow(100.0, percents) / std::pow(1000.0, scaleCommas);
    int power = 0;
    if (exponent != items.size()) {
        int wholePlaces = 0;
        for (std::size_t i = 0; i < std::min(point, exponent); ++i) {
            wholePlaces += items[i].kind == Item::Zero || items[i].kind == Item::Hash;
        }
        if (v != 0) {
            power = static_cast<int>(std::floor(std::log10(v))) - (std::max(wholePlaces, 1) - 1);
            v /= std::pow(10.0, power);
            Fixed check = fixedDigits(v, decimals);
            if (check.whole.size() > static_cast<std::size_t>(std::max(wholePlaces, 1))) {
                ++power;
                v /= 10;
            }
        }
    }
    Fixed f = fixedDigits(v, decimals);
    const std::size_t wholeEnd = std::min(point, exponent);
    std::string out = fillWhole(items, wholeEnd, f.whole, thousands);
    // Optional decimal places drop their trailing zeros.
    std::string fraction = f.fraction;
    for (int k = 0; k < optionalDecimals && !fraction.empty() && fraction.back() == '0'; ++k)
        fraction.pop_back();
    std::size_t used = 0;
    for (std::size_t i = wholeEnd; i < items.size(); ++i) {
        const Item& it = items[i];
        switch (it.kind) {
            case Item::Literal:
                out += it.text;
                break;
            case Item::Percent:
                out += '%';
                break;
            case Item::Point:
                out += '.';
                break;
            case Item::Zero:
            case Item::Hash:
                if (i < exponent) {
                    if (used < fraction.size()) out += fraction[used];
                    ++used;
                }
                break;
            case Item::Exponent: {
                int places = 0;
                std::size_t j = i + 1;
                for (; j < items.size() &&
                       (items[j].kind == Item::Zero || items[j].kind == Item::Hash);
                     ++j)
                    ++places;
                const bool plus = it.text[1] == '+';
                out += it.text[0];
                if (power < 0)
                    out += '-';
                else if (plus)
                    out += '+';
                out += padded(std::abs(power), places);
                i = j - 1;
                break;
            }
        }
    }
    return out;
}

std::vector<std::string> sections(const std::string& pattern) {
    std::vector<std::string> out(1);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '"') {
            const auto end = pattern.find('"', i + 1);
            const auto stop = end == std::string::npos ? pattern.size() : end + 1;
            out.back() += pattern.substr(i, stop - i);
            i = stop - 1;
        } else if (c == '\\' && i + 1 < pattern.size()) {
            out.back() += pattern.substr(i++, 2);
        } else if (c == ';') {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

// A number through a custom format of up to four sections: positive,
// negative, zero, Null. An empty section falls back to the first.
std::string formatNumber(double value, const std::vector<std::string>& parts) {
    const std::string& positive = parts[0];
    if (value < 0 && parts.size() > 1 && !parts[1].empty()) return customNumber(value, parts[1]);
    if (value == 0 && parts.size() > 2 && !parts[2].empty()) return customNumber(value, parts[2]);
    std::string text = customNumber(value, positive);
    if (value < 0 && text.find_first_of("123456789") != std::string::npos) text = "-" + text;
    return text;
}

// ------------------------------------------------------------------ dates

std::string formatDate(double ole, const std::string& pattern, const WeekRules& rules = {});

std::string namedDate(double ole, const std::string& upper, bool& known) {
    known = true;
    if (upper == "GENERAL DATE") return generalDateText(ole);
    if (upper == "LONG DATE")
        return formatDate(ole, "yyyy\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\"");
    if (upper == "MEDIUM DATE") return formatDate(ole, "yy/mm/dd");
    if (upper == "SHORT DATE") return formatDate(ole, "yyyy/mm/dd");
    if (upper == "LONG TIME") return formatDate(ole, "h:nn:ss");
    if (upper == "MEDIUM TIME") return formatDate(ole, "hh:nn AM/PM");
    if (upper == "SHORT TIME") return formatDate(ole, "hh:nn");
    known = false;
    return {};
}

// w and ww count days and weeks by `rules`; ddd and dddd name the day
// whatever day starts the week.
std::string formatDate(double ole, const std::string& p, const WeekRules& rules) {
    DateParts d{};
    if (!OleDateToParts(ole, d)) return numberText(ole);
    const int sundayBased = weekdayOf(dayNumber(d), 1);
    const std::string up = upperAscii(p);
    const bool twelve = up.find("AM/PM") != std::string::npos ||
                        up.find("A/P") != std::string::npos || up.find("AMPM") != std::string::npos;
    const int hour12 = d.hour % 12 == 0 ? 12 : d.hour % 12;
    const int dayOfYear =
        static_cast<int>(dayNumber(d) - std::llround(OleDateFromParts(d.year, 1, 1))) + 1;
    std::string out;
    bool afterHour = false;  // an m right after h is minutes
    for (std::size_t i = 0; i < p.size();) {
        const char c = p[i];
        const char lc = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        std::size_t n = 1;
        while (i + n < p.size() && (p[i + n] | 0x20) == lc && lc >= 'a' && lc <= 'z') ++n;
        if (c == '"') {
            const auto end = p.find('"', i + 1);
            out += p.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            i = end == std::string::npos ? p.size() : end + 1;
            continue;
        }
        if (c == '\\' && i + 1 < p.size()) {
            out += p[i + 1];
            i += 2;
            continue;
        }
        if (up.compare(i, 5, "AM/PM") == 0) {
            out += d.hour < 12 ? (p[i] == 'a' ? "am" : "AM") : (p[i] == 'a' ? "pm" : "PM");
            i += 5;
            continue;
        }
        if (up.compare(i, 3, "A/P") == 0) {
            out += d.hour < 12 ? (p[i] == 'a' ? "a" : "A") : (p[i] == 'a' ? "p" : "P");
            i += 3;
            continue;
        }
        if (up.compare(i, 4, "AMPM") == 0) {
            out += d.hour < 12 ? "\xE5\x8D\x88\xE5\x89\x8D"
                               : "\xE5\x8D\x88\xE5\xBE\x8C";  // 午前, 午後
            i += 4;
            continue;
        }
        bool minuteNext = false;
        if (lc == 'm') {
            // An m before s (past literals) is minutes too.
            const auto next = up.find_first_of("DMYHNSWQ", i + n);
            minuteNext = next != std::string::npos && up[next] == 'S';
        }
        switch (lc) {
            case 'c':
                out += generalDateText(ole);
                break;
            case 'd':
                if (n == 1 || n == 2)
                    out += padded(d.day, static_cast<int>(n));
                else if (n == 3)
                    out += std::string(kDays[sundayBased - 1], 3);
                else if (n == 4)
                    out += kDays[sundayBased - 1];
                else if (n == 5)
                    out += formatDate(ole, "yyyy/mm/dd");
                else
                    out +=
                        formatDate(ole, "yyyy\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\"");
                break;
            case 'w':
                if (n == 1)
                    out += std::to_string(weekdayOf(dayNumber(d), rules.firstDay));
                else
                    out += std::to_string(weekOfYear(d, rules));
                break;
            case 'm':
                if ((afterHour || minuteNext) && n <= 2)
                    out += padded(d.minute, static_cast<int>(n));
                else if (n <= 2)
                    out += padded(d.month, static_cast<int>(n));
                else if (n == 3)
                    out += std::string(kMonths[d.month - 1], 3);
                else
                    out += kMonths[d.month - 1];
                break;
            case 'q':
                out += std::to_string((d.month - 1) / 3 + 1);
                break;
            case 'y':
                if (n == 1)
                    out += std::to_string(dayOfYear);
                else if (n == 2)
                    out += padded(d.year % 100, 2);
                else
                    out += padded(d.year, 4);
                break;
            case 'h':
                out += padded(twelve ? hour12 : d.hour, n >= 2 ? 2 : 1);
                break;
            case 'n':
                out += padded(d.minute, n >= 2 ? 2 : 1);
                break;
            case 's':
                out += padded(d.second, n >= 2 ? 2 : 1);
                break;
            case 't':
                if (n == 5) {
                    out += formatDate(ole, "h:nn:ss");
                    break;
                }
                [[fallthrough]];
            default:
                out += p.substr(i, n);
                break;
        }
        if (lc >= 'a' && lc <= 'z') afterHour = lc == 'h';
        i += n;
    }
    return out;
}

bool hasDateTokens(const std::string& section) {
    for (std::size_t i = 0; i < section.size(); ++i) {
        const char c = static_cast<char>(section[i] | 0x20);
        if (section[i] == '"') {
            i = section.find('"', i + 1);
            if (i == std::string::npos) return false;
        } else if (section[i] == '\\') {
            ++i;
        } else if (std::strchr("dmyhnswqct", c) && section[i] != ' ') {
            return true;
        }
    }
    return false;
}

// ------------------------------------------------------------------ texts

// @ is a character or a blank, & a character or nothing; filled from the
// right unless ! asks for the left; < and > change the case of the whole.
std::string formatText(const std::string& text, const std::string& section) {
    bool lower = false, upper = false, leftFirst = false;
    std::vector<Item> items;  // Zero for @, Hash for &
    for (std::size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (c == '<')
            lower = true;
        else if (c == '>')
            upper = true;
        else if (c == '!')
            leftFirst = true;
        else if (c == '@')
            items.push_back({Item::Zero, {}});
        else if (c == '&')
            items.push_back({Item::Hash, {}});
        else if (c == '"') {
            const auto end = section.find('"', i + 1);
            items.push_back(
                {Item::Literal, section.substr(i + 1, end == std::string::npos ? std::string::npos
                                                                               : end - i - 1)});
            i = end == std::string::npos ? section.size() : end;
        } else if (c == '\\' && i + 1 < section.size())
            items.push_back({Item::Literal, std::string(1, section[++i])});
        else
            items.push_back({Item::Literal, std::string(1, c)});
    }
    std::string source = upper ? upperAscii(text) : text;
    if (lower && !upper) {
        for (char& ch : source) {
            if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
        }
    }
    // Characters, not bytes, fill the places.
    std::vector<std::string_view> chars;
    for (std::size_t i = 0; i < source.size();) {
        std::size_t len = 1;
        while (i + len < source.size() &&
               (static_cast<unsigned char>(source[i + len]) & 0xC0) == 0x80)
            ++len;
        chars.push_back(std::string_view(source).substr(i, len));
        i += len;
    }
    std::size_t places = 0;
    for (const auto& it : items) places += it.kind != Item::Literal;
    if (places == 0) {  // literals alone, then the text ("<" and ">" change the whole)
        std::string out;
        for (const auto& it : items) out += it.text;
        return out + source;
    }
    std::vector<std::string> parts(items.size());
    if (leftFirst) {
        std::size_t next = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].kind == Item::Literal)
                parts[i] = items[i].text;
            else if (next < chars.size())
                parts[i] = std::string(chars[next++]);
            else if (items[i].kind == Item::Zero)
                parts[i] = " ";
        }
    } else {
        std::size_t remaining = chars.size(), seen = 0;
        for (std::size_t i = items.size(); i-- > 0;) {
            if (items[i].kind == Item::Literal) {
                parts[i] = items[i].text;
                continue;
            }
            ++seen;
            if (seen == places) {  // the leftmost place takes what is left
                for (std::size_t k = 0; k < remaining; ++k) parts[i] += chars[k];
                if (remaining == 0 && items[i].kind == Item::Zero) parts[i] = " ";
                remaining = 0;
            } else if (remaining > 0) {
                parts[i] = std::string(chars[--remaining]);
            } else if (items[i].kind == Item::Zero) {
                parts[i] = " ";
            }
        }
    }
    std::string out;
    for (const auto& p : parts) out += p;
    return out;
}

bool isTextSection(const std::string& section) {
    for (std::size_t i = 0; i < section.size(); ++i) {
        if (section[i] == '"') {
            i = section.find('"', i + 1);
            if (i == std::string::npos) return false;
        } else if (section[i] == '\\') {
            ++i;
        } else if (section[i] == '@' || section[i] == '&' || section[i] == '<' ||
                   section[i] == '>') {
            return true;
        }
    }
    return false;
}

// --------------------------------------------------------------- Format()

std::optional<std::string> namedNumber(double v, const std::string& upper) {
    if (upper == "GENERAL NUMBER") return numberText(v);
    if (upper == "CURRENCY")
        return (v < 0 ? "-" : "") + std::string(kYen) + plainNumber(v, 0, true, true);
    if (upper == "FIXED") return (v < 0 ? "-" : "") + plainNumber(v, 2, false, true);
    if (upper == "STANDARD") return (v < 0 ? "-" : "") + plainNumber(v, 2, true, true);
    if (upper == "PERCENT") return (v < 0 ? "-" : "") + plainNumber(v * 100, 2, false, true) + "%";
    if (upper == "SCIENTIFIC") return customNumber(v, "0.00E+00").insert(0, v < 0 ? "-" : "");
    if (upper == "YES/NO") return std::string(v != 0 ? "Yes" : "No");
    if (upper == "TRUE/FALSE") return std::string(v != 0 ? "True" : "False");
    if (upper == "ON/OFF") return std::string(v != 0 ? "On" : "Off");
    return std::nullopt;
}

std::optional<std::string> formatValue(sqlite3_value* v, const std::string& pattern, ValueKind kind,
                                       const WeekRules& rules) {
    const int type = sqlite3_value_type(v);
    const std::vector<std::string> parts = sections(pattern);
    if (type == SQLITE_NULL) {
        if (parts.size() >= 4) return formatNumber(0, {parts[3]});
        if (parts.size() == 2 && isTextSection(parts[0])) return formatText("", parts[1]);
        return std::nullopt;
    }
    const std::string upper = upperAscii(pattern);
    double number = 0;
    const bool numeric = toNumber(v, number) == Coercion::Number;
    double ole = 0;
    const bool dateLike = kind == ValueKind::Date ||
                          (type == SQLITE_TEXT && !numeric && parseDateLiteral(argText(v), ole));
    if (kind == ValueKind::Date) ole = number;
    if (pattern.empty()) {
        if (dateLike) return generalDateText(ole);
        if (kind == ValueKind::Bool) return std::string(number != 0 ? "True" : "False");
        return type == SQLITE_TEXT ? argText(v) : numberText(number);
    }
    bool known = false;
    if (dateLike || numeric) {
        std::string named = namedDate(dateLike ? ole : number, upper, known);
        if (known) return named;
    }
    if (numeric || dateLike) {
        if (auto named = namedNumber(dateLike ? ole : number, upper)) return named;
    }
    if (isTextSection(parts[0]) || (!numeric && !dateLike)) {
        const std::string text = type == SQLITE_TEXT ? argText(v) : numberText(number);
        if (text.empty() && parts.size() > 1) return formatText(text, parts[1]);
        return isTextSection(parts[0]) ? formatText(text, parts[0]) : text;
    }
    const double value = dateLike ? ole : number;
    if (hasDateTokens(parts[0])) return formatDate(value, parts[0], rules);
    return formatNumber(value, parts);
}

// Format(value[, format[, firstdayofweek[, firstweekofyear]]]), called as
// vx_format(value, format, kind of value[, firstdayofweek[, firstweekofyear]]).
void fnFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 2 || argc > 5) return resultInvalidCall(ctx, "Format takes 1 to 4 arguments");
    const auto rules = readWeekRules(ctx, argc, argv, 3, "Format");
    if (!rules) return;
    const std::string pattern = sqlite3_value_type(argv[1]) == SQLITE_NULL ? "" : argText(argv[1]);
    const auto kind =
        argc > 2 ? static_cast<ValueKind>(sqlite3_value_int(argv[2])) : ValueKind::Other;
    // A format character gives at most kWidestToken bytes ("c" a whole date
    // and time, a digit place the 309 digits of a Double spread over its
    // places), and the value's own text is copied at most once: the bound is
    // checked before any of it is built.
    constexpr std::uint64_t kWidestToken = 32, kWidestNumber = 512;
    const int type = sqlite3_value_type(argv[0]);
    const std::uint64_t valueBytes = type == SQLITE_TEXT || type == SQLITE_BLOB
                                         ? static_cast<std::uint64_t>(sqlite3_value_bytes(argv[0]))
                                         : 0;
    const std::uint64_t bound = pattern.size() * kWidestToken + kWidestNumber + valueBytes;
    if (!fitsLength(ctx, bound, "Format")) return;
    const auto out = formatValue(argv[0], pattern, kind, *rules);
    if (!out) return sqlite3_result_null(ctx);
    resultText(ctx, *out);
}

// A tristate argument: -1 true, 0 false, -2 or missing the locale's choice.
bool tristate(sqlite3_value* v, bool fallback) {
    if (sqlite3_value_type(v) == SQLITE_NULL) return fallback;
    const int t = sqlite3_value_int(v);
    return t == -2 ? fallback : t != 0;
}

// FormatNumber / FormatCurrency / FormatPercent share their arguments:
// (value, decimals, leading zero, parentheses for negatives, grouping).
void formatFamily(sqlite3_context* ctx, sqlite3_value** argv, const char* name, const char* prefix,
                  const char* suffix, double scale, int defaultDecimals) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return resultCoercionError(ctx, Coercion::Null, name);
    double v = 0;
    const Coercion c = toNumber(argv[0], v);
    if (c != Coercion::Number) return resultCoercionError(ctx, c, name);
    int decimals = sqlite3_value_type(argv[1]) == SQLITE_NULL ? -1 : sqlite3_value_int(argv[1]);
    if (decimals == -1) decimals = defaultDecimals;
    if (decimals < 0 || decimals > 99) {
        return sqlite3_result_error(
            ctx, (std::string("VXARG:") + name + " needs 0 to 99 decimal places").c_str(), -1);
    }
    v *= scale;
    std::string body = std::string(prefix) +
                       plainNumber(v, decimals, tristate(argv[4], true), tristate(argv[2], true)) +
                       suffix;
    const Fixed rounded = fixedDigits(v, decimals);
    const bool negative =
        v < 0 && (rounded.whole + rounded.fraction).find_first_not_of('0') != std::string::npos;
    if (negative) body = tristate(argv[3], false) ? "(" + body + ")" : "-" + body;
    resultText(ctx, body);
}

void fnFormatNumber(sqlite3_context* ctx, int, sqlite3_value** argv) {
    formatFamily(ctx, argv, "FormatNumber", "", "", 1, 2);
}
void fnFormatCurrency(sqlite3_context* ctx, int, sqlite3_value** argv) {
    formatFamily(ctx, argv, "FormatCurrency", kYen, "", 1, 0);
}
void fnFormatPercent(sqlite3_context* ctx, int, sqlite3_value** argv) {
    formatFamily(ctx, argv, "FormatPercent", "", "%", 100, 2);
}

// FormatDateTime(date, kind): 0 general, 1 long date, 2 short date, 3 long
// time, 4 short time.
void fnFormatDateTime(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return resultCoercionError(ctx, Coercion::Null, "FormatDateTime");
    double ole = 0;
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        if (!parseDateLiteral(argText(argv[0]), ole)) {
            return resultCoercionError(ctx, Coercion::Mismatch, "FormatDateTime");
        }
    } else {
        ole = sqlite3_value_double(argv[0]);
    }
    static const char* const names[] = {"GENERAL DATE", "LONG DATE", "SHORT DATE", "LONG TIME",
                                        "SHORT TIME"};
    const int which = sqlite3_value_type(argv[1]) == SQLITE_NULL ? 0 : sqlite3_value_int(argv[1]);
    if (which < 0 || which > 4) {
        return sqlite3_result_error(ctx, "VXARG:FormatDateTime needs a named format of 0 to 4", -1);
    }
    bool known = false;
    resultText(ctx, namedDate(ole, names[which], known));
}

constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;

const SqlFunction kFormatFunctions[] = {
    {"vx_format", -1, kPure, fnFormat},
    {"vx_formatnumber", 5, kPure, fnFormatNumber},
    {"vx_formatcurrency", 5, kPure, fnFormatCurrency},
    {"vx_formatpercent", 5, kPure, fnFormatPercent},
    {"vx_formatdatetime", 2, kPure, fnFormatDateTime},
};

}  // namespace

std::span<const SqlFunction> formatFunctions() {
    return kFormatFunctions;
}

}  // namespace engine::detail
