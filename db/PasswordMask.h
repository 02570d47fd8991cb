// Database passwords kept out of every text the tool writes down or shows:
// the statement log, the error logs, the update error report, messages.
#pragma once

#include <string>
#include <string_view>

namespace db {

// What a password reads as once masked.
inline constexpr std::string_view kMaskedPassword = "***";

// `text` with every database password replaced by kMaskedPassword:
//  - both arguments of ALTER DATABASE PASSWORD (any case, any blanks or line
//    breaks between the words), bare, [bracketed], 'quoted' or "quoted"; a
//    NULL argument names no password and stays;
//  - the value of "Jet OLEDB:Database Password=" and of "PWD=" in a
//    connection text, quoted or not.
// Where the end of a password is in doubt (a missing closing quote or
// bracket) the mask runs on to the end of the statement's text, or of the
// connection text's line: it hides too much rather than too little.
// Masking a masked text changes nothing.
std::string MaskPasswords(std::string_view text);

// `text`, an error about `statement`, masked as MaskPasswords does, and also
// every piece of three characters or more of a password in `statement`:
// an error may quote a stretch of the statement that begins or ends inside
// a password ("near '-Word-Two;'").
std::string MaskPasswordsOfStatement(std::string_view text, std::string_view statement);

}  // namespace db
