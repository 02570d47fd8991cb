// The four-line text into which every caught engine error is turned before it
// is shown or logged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/Engine.h"

namespace db {

// Fallback texts for failures that are not engine errors.
inline constexpr std::string_view kUnhandledExceptionText = "*** 処理されない例外 ***";
inline constexpr std::string_view kProbeUnknownErrorText = "UnKnown Error";

// The system's message text for a result code, or nullopt when the system
// has none (OLE DB and ADO codes among them).
std::optional<std::string> SystemMessageText(std::int32_t code);

// The message line's text: the system's text, else "IDispatch error #%d"
// (the code minus 0x80040200) for 0x80040201..0x8004FFFF, else
// "Unknown error 0x%0lX".
std::string ResultCodeMessage(std::int32_t code);

// "Message : ...\n", "Code : 0x%08lx\n", "Source : ...\n" and
// "Description : ...\n"; an absent or empty source or description reads
// "null". Each line, its line end included, is at most 1023 bytes; a longer
// one is cut at a character boundary and keeps its line end.
std::string ComErrorText(const engine::ComError& error);

}  // namespace db
