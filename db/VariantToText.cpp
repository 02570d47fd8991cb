#include "db/VariantToText.h"

#include <array>
#include <cstdio>

#include "db/NumberText.h"
#include "db/Utf8Text.h"

namespace db {

namespace {

constexpr std::uint16_t kArrayFlag = engine::VT_ARRAY;
constexpr std::uint16_t kByRefFlag = engine::VT_BYREF;

constexpr std::array<std::string_view, 14> kNamesFrom0 = {
    "VT_EMPTY", "VT_NULL", "VT_I2",       "VT_I4",    "VT_R4",   "VT_R8",      "VT_CY",
    "VT_DATE",  "VT_BSTR", "VT_DISPATCH", "VT_ERROR", "VT_BOOL", "VT_VARIANT", "VT_UNKNOWN"};
constexpr std::array<std::string_view, 16> kNamesFrom16 = {
    "VT_I1",     "VT_UI1",         "VT_UI2",   "VT_UI4",     "VT_I8",  "VT_UI8",
    "VT_INT",    "VT_UINT",        "VT_VOID",  "VT_HRESULT", "VT_PTR", "VT_SAFEARRAY",
    "VT_CARRAY", "VT_USERDEFINED", "VT_LPSTR", "VT_LPWSTR"};
constexpr std::array<std::string_view, 9> kNamesFrom64 = {
    "VT_FILETIME",      "VT_BLOB",        "VT_STREAM", "VT_STORAGE", "VT_STREAMED_OBJECT",
    "VT_STORED_OBJECT", "VT_BLOB_OBJECT", "VT_CF",     "VT_CLSID"};

// The text of a value read as a character string: up to the first NUL, with
// bytes that are not UTF-8 replaced.
std::string StringText(std::string_view text) {
    return RepairUtf8(text.substr(0, text.find('\0')));
}

std::string ByteText(std::int64_t payload) {
    std::array<char, 8> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "0x%02X",
                  static_cast<unsigned>(static_cast<std::uint8_t>(payload)));
    return buffer.data();
}

}  // namespace

std::optional<std::string_view> VariantTagName(std::uint16_t tag) {
    if (tag < kNamesFrom0.size()) return kNamesFrom0[tag];
    if (tag >= 16 && tag < 16 + kNamesFrom16.size()) return kNamesFrom16[tag - 16];
    if (tag >= 64 && tag < 64 + kNamesFrom64.size()) return kNamesFrom64[tag - 64];
    return std::nullopt;
}

std::string CurrencyText(std::int64_t tenThousandths, std::string_view decimalSeparator) {
    // Work on the magnitude as unsigned so that the most negative amount
    // has a magnitude too.
    const bool negative = tenThousandths < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(tenThousandths)
                                             : static_cast<std::uint64_t>(tenThousandths);
    std::string text = negative ? "-" : "";
    text += std::to_string(magnitude / 10000);
    std::uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        int digits = 4;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --digits;
        }
        std::string fractionText = std::to_string(fraction);
        fractionText.insert(0, static_cast<std::size_t>(digits) - fractionText.size(), '0');
        text.append(decimalSeparator);
        text += fractionText;
    }
    return text;
}

// All of a Decimal's digits: a double would keep only 15 of its 28.
std::string DecimalText(std::string_view digits, std::string_view decimalSeparator) {
    std::string text(digits);
    if (const auto point = text.find('.'); point != std::string::npos)
        text.replace(point, 1, decimalSeparator);
    return text;
}

std::string DateText(double oleDate) {
    engine::DateParts parts{};
    if (!engine::OleDateToParts(oleDate, parts)) {
        return "Invalid DateTime";
    }
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%d/%02d/%02d %02d:%02d", parts.year, parts.month,
                  parts.day, parts.hour, parts.minute);
    return buffer.data();
}

std::string VariantToText(const engine::Variant& value) {
    return VariantToText(value, LocaleDecimalSeparator());
}

std::string VariantToText(const engine::Variant& value, std::string_view decimalSeparator) {
    const std::uint16_t tag = value.vt();
    std::string text = "<Unknown>";
    switch (tag) {
        case engine::VT_EMPTY:
        case engine::VT_NULL:
            text = "NULL";
            break;
        case engine::VT_I2:
            text = FormatInteger(static_cast<std::int16_t>(value.intValue()));
            break;
        case engine::VT_I4:
            text = FormatInteger(static_cast<std::int32_t>(value.intValue()));
            break;
        case engine::VT_R4:
            text = FormatFixed(static_cast<double>(static_cast<float>(value.doubleValue())), 1);
            break;
        case engine::VT_R8:
            text = FormatFixed(value.doubleValue(), 1);
            break;
        case engine::VT_CY:
            text = CurrencyText(value.currency(), decimalSeparator);
            break;
        case engine::VT_DECIMAL:
            text = DecimalText(value.text(), decimalSeparator);
            break;
        case engine::VT_DATE:
            text = DateText(value.doubleValue());
            break;
        case engine::VT_BSTR:
            text = StringText(value.text());
            break;
        case engine::VT_BOOL:
            return value.intValue() == 0 ? "FALSE" : "TRUE";
        case engine::VT_UI1:
            text = ByteText(value.intValue());
            break;
        default:
            if (auto name = VariantTagName(tag)) {
                text = *name;
            }
            break;
    }

    std::uint16_t baseType = tag;
    const bool isArray = (baseType & kArrayFlag) != 0;
    if (isArray) {
        text = "Array of ";
        baseType = static_cast<std::uint16_t>(baseType & ~kArrayFlag);
    }
    if ((baseType & kByRefFlag) != 0) {
        baseType = static_cast<std::uint16_t>(baseType & ~kByRefFlag);
        text = isArray ? text + "Pointer to " : std::string("Pointer to ");
    }
    if (baseType != tag) {
        if (auto name = VariantTagName(baseType)) {
            text += *name;
        }
    }
    return text;
}

}  // namespace db
