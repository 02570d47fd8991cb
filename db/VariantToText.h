// The one conversion of a database value into the text the tool compares,
// parses and shows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/Engine.h"

namespace db {

// The text of a database value: whole numbers in decimal, floating-point
// numbers with one decimal and a full stop, bytes as "0x%02X", dates to the
// minute ("Invalid DateTime" outside the years 100 to 9999), currency in the
// user's locale, "TRUE"/"FALSE", "NULL" for null and empty values, and the
// type's name ("VT_DISPATCH", "Array of VT_UI1", "Pointer to VT_I4", ...)
// for anything that is not a plain value. Never throws for any tag.
//
// The currency text uses the decimal separator of the C library's current
// locale; the overload takes it from the caller instead.
std::string VariantToText(const engine::Variant& value);
std::string VariantToText(const engine::Variant& value, std::string_view decimalSeparator);

// The published name of a variant type tag ("VT_EMPTY" .. "VT_CLSID"), or
// nullopt for a tag without one (14, 15, 32 to 63, above 72, any flag).
std::optional<std::string_view> VariantTagName(std::uint16_t tag);

// A currency amount (ten-thousandths) as a plain decimal: a leading minus when
// negative, no grouping, no currency sign and no trailing zeros after the
// separator ("1.25" for 12500, "100" for 1000000).
std::string CurrencyText(std::int64_t tenThousandths, std::string_view decimalSeparator);

// An OLE Automation date as "%Y/%m/%d %H:%M", rounded to the nearest second
// first; "Invalid DateTime" outside the years 100 to 9999.
std::string DateText(double oleDate);

}  // namespace db
