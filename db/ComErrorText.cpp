#include "db/ComErrorText.h"

#include <array>
#include <cstdio>
#include <utility>

#include "db/Utf8Text.h"

namespace db {

namespace {

// A line of the block is formatted in a 1024-byte buffer, one byte of which
// holds the terminating NUL.
constexpr std::size_t kMaxLineBytes = 1023;

// The texts the system keeps for the result codes this tool meets; a code
// not listed has no system text.
constexpr std::array<std::pair<std::uint32_t, std::string_view>, 19> kSystemMessages = {{
    {0x00000000, "The operation completed successfully."},
    {0x80004001, "Not implemented"},
    {0x80004002, "No such interface supported"},
    {0x80004003, "Invalid pointer"},
    {0x80004004, "Operation aborted"},
    {0x80004005, "Unspecified error"},
    {0x8000FFFF, "Catastrophic failure"},
    {0x80040154, "Class not registered"},
    {0x800401F0, "CoInitialize has not been called."},
    {0x800401F3, "Invalid class string"},
    {0x80070002, "The system cannot find the file specified."},
    {0x80070003, "The system cannot find the path specified."},
    {0x80070005, "Access is denied."},
    {0x80070006, "The handle is invalid."},
    {0x8007000E, "Not enough memory resources are available to complete this operation."},
    {0x80070020, "The process cannot access the file because it is being used by another process."},
    {0x80070057, "The parameter is incorrect."},
    {0x80070070, "There is not enough space on the disk."},
    {0x8007007B, "The filename, directory name, or volume label syntax is incorrect."},
}};

std::string Line(std::string_view label, std::string_view value) {
    std::string line(label);
    line += value;
    return CutUtf8(line, kMaxLineBytes - 1) + "\n";
}

std::string TextOrNull(const std::optional<std::string>& text) {
    return text && !text->empty() ? RepairUtf8(*text) : std::string("null");
}

}  // namespace

std::optional<std::string> SystemMessageText(std::int32_t code) {
    const auto key = static_cast<std::uint32_t>(code);
    for (const auto& [messageCode, text] : kSystemMessages) {
        if (messageCode == key) {
            return std::string(text);
        }
    }
    return std::nullopt;
}

std::string ResultCodeMessage(std::int32_t code) {
    if (auto text = SystemMessageText(code)) {
        return *text;
    }
    const auto key = static_cast<std::uint32_t>(code);
    std::array<char, 64> buffer{};
    if (key >= 0x80040201u && key <= 0x8004FFFFu) {
        std::snprintf(buffer.data(), buffer.size(), "IDispatch error #%u", key - 0x80040200u);
    } else {
        std::snprintf(buffer.data(), buffer.size(), "Unknown error 0x%X", key);
    }
    return buffer.data();
}

std::string ComErrorText(const engine::ComError& error) {
    std::array<char, 16> code{};
    std::snprintf(code.data(), code.size(), "0x%08x", static_cast<std::uint32_t>(error.code()));
    return Line("Message : ", ResultCodeMessage(error.code())) + Line("Code : ", code.data()) +
           Line("Source : ", TextOrNull(error.source())) +
           Line("Description : ", TextOrNull(error.description()));
}

}  // namespace db
