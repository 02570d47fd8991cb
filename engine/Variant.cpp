#include "engine/Engine.h"

namespace engine {

Variant Variant::null() {
    return withTag(VT_NULL);
}

Variant Variant::withTag(std::uint16_t tag, std::int64_t payload) {
    Variant v;
    v.tag_ = tag;
    v.int_ = payload;
    v.double_ = static_cast<double>(payload);
    return v;
}

Variant Variant::fromI2(std::int16_t value) {
    return withTag(VT_I2, value);
}
Variant Variant::fromI4(std::int32_t value) {
    return withTag(VT_I4, value);
}
Variant Variant::fromI8(std::int64_t value) {
    return withTag(VT_I8, value);
}
Variant Variant::fromUI1(std::uint8_t value) {
    return withTag(VT_UI1, value);
}
Variant Variant::fromBool(bool value) {
    return withTag(VT_BOOL, value ? -1 : 0);
}
Variant Variant::fromCurrency(std::int64_t tenThousandths) {
    return withTag(VT_CY, tenThousandths);
}

static Variant fromDouble(std::uint16_t tag, double value) {
    Variant v = Variant::withTag(tag);
    return v.withDouble(value);
}

Variant Variant::withDouble(double value) const {
    Variant v = *this;
    v.double_ = value;
    v.int_ = 0;
    return v;
}

Variant Variant::fromR4(float value) {
    return fromDouble(VT_R4, value);
}
Variant Variant::fromR8(double value) {
    return fromDouble(VT_R8, value);
}
Variant Variant::fromDate(double oleDate) {
    return fromDouble(VT_DATE, oleDate);
}
Variant Variant::fromDecimal(double value) {
    return fromDouble(VT_DECIMAL, value);
}

Variant Variant::fromText(std::string utf8) {
    Variant v = withTag(VT_BSTR);
    v.text_ = std::move(utf8);
    return v;
}

Variant Variant::fromBytes(std::vector<std::uint8_t> bytes) {
    Variant v = withTag(VT_ARRAY | VT_UI1);
    v.bytes_ = std::move(bytes);
    return v;
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
