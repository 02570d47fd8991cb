// Byte limits and repairs for UTF-8 texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace db {

// The longest prefix of `text` of at most `maxBytes` bytes that does not end
// inside a UTF-8 character.
std::string CutUtf8(std::string_view text, std::size_t maxBytes);

// The text with every byte that does not belong to a well-formed UTF-8
// character replaced by "?", the default character for text that has no
// counterpart.
std::string RepairUtf8(std::string_view text);

// Whether every byte of `text` belongs to a well-formed UTF-8 character.
bool IsWellFormedUtf8(std::string_view text);

}  // namespace db
