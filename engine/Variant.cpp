#include "engine/Engine.h"

namespace engine {

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
