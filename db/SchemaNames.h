// Table names as the schema probes see them.
#pragma once

#include <string>
#include <string_view>

namespace db {

// A "TABLE_NAME" value made comparable: only the part before the first ";",
// then enclosed in brackets when it contains an ASCII blank
// ("my table" -> "[my table]").
std::string NormaliseTableName(std::string_view text);

// True unless the normalised name starts with the bytes "MS" (case-sensitive)
// or contains "~TMPCLP": the engine's own tables and clipboard leftovers are
// not the user's.
bool IsUserTableName(std::string_view normalisedName);

}  // namespace db
