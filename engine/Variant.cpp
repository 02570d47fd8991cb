#include <charconv>

#include "engine/Decimal.h"
#include "engine/Engine.h"

namespace engine {

Variant Variant::fromDecimal(std::string_view digits) {
    Variant v = fromText(digits);
    v.tag_ = VT_DECIMAL;
    std::from_chars(digits.data(), digits.data() + digits.size(), v.double_);
    return v;
}

Variant Variant::fromDecimal(double value) {
    const auto d = detail::decimalFromDouble(value);
    const std::string digits = d ? detail::decimalText(*d) : std::string();
    Variant v = fromDecimal(std::string_view(digits));
    v.double_ = value;
    return v;
}

Variant Variant::withDouble(double value) const {
    Variant v = *this;
    v.double_ = value;
    v.int_ = 0;
    return v;
}

bool Variant::operator==(const Variant& other) const {
    return tag_ == other.tag_ && int_ == other.int_ && double_ == other.double_ &&
           text() == other.text() && bytes_ == other.bytes_;
}

double Variant::toDouble() const {
    switch (tag_) {
        case VT_R4:
        case VT_R8:
        case VT_DATE:
        case VT_DECIMAL:
            return double_;
        case VT_CY:
            return static_cast<double>(int_) / 10000.0;
        case VT_BSTR:
        case VT_EMPTY:
        case VT_NULL:
            return 0.0;
        default:
            return static_cast<double>(int_);
    }
}

}  // namespace engine
