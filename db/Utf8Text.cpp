#include "db/Utf8Text.h"

namespace db {

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 character starting at text[position], or 0
// when the bytes there are not one (overlong forms, surrogates and code points
// above U+10FFFF included).
std::size_t CharacterLength(std::string_view text, std::size_t position) {
    const auto lead = static_cast<unsigned char>(text[position]);
    std::size_t length = 0;
    unsigned char secondMin = 0x80;
    unsigned char secondMax = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) secondMin = 0xA0;
        if (lead == 0xED) secondMax = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) secondMin = 0x90;
        if (lead == 0xF4) secondMax = 0x8F;
    } else {
        return 0;
    }
    if (position + length > text.size()) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(text[position + 1]);
    if (second < secondMin || second > secondMax) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!IsContinuation(static_cast<unsigned char>(text[position + i]))) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string CutUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return std::string(text);
    }
    // Step back over the continuation bytes of a character cut at the limit;
    // a character has at most three of them, so a longer run is not one
    // character and is cut where the limit falls.
    std::size_t end = maxBytes;
    while (end > 0 && maxBytes - end < 3 && IsContinuation(static_cast<unsigned char>(text[end]))) {
        --end;
    }
    if (IsContinuation(static_cast<unsigned char>(text[end]))) {
        end = maxBytes;
    }
    return std::string(text.substr(0, end));
}

std::string RepairUtf8(std::string_view text) {
    std::string repaired;
    repaired.reserve(text.size());
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t length = CharacterLength(text, position);
        if (length == 0) {
            repaired += '?';
            ++position;
        } else {
            repaired.append(text.substr(position, length));
            position += length;
        }
    }
    return repaired;
}

bool IsWellFormedUtf8(std::string_view text) {
    for (std::size_t position = 0; position < text.size();) {
        const std::size_t length = CharacterLength(text, position);
        if (length == 0) return false;
        position += length;
    }
    return true;
}

}  // namespace db
