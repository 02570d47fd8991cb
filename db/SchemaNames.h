// Table and field names as the schema gives them and as statements take them.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace db {

// True unless the name starts with the bytes "MS" (case-sensitive) or
// contains "~TMPCLP": the engine's own tables and clipboard leftovers are
// not the user's.
bool IsUserTableName(std::string_view name);

// A name that cannot stand in a statement: what BracketedName refuses.
class JetNameError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// Why `name` cannot be a Jet table or field name inside brackets, or nullopt
// when it can: Jet's names are not empty, do not begin with a blank and hold
// no "[", "]", ".", "!", "`" nor control character, so such a name cannot be
// written in brackets without meaning something else.
std::optional<std::string> JetNameProblem(std::string_view name);

// The one way a table or field name goes into the text of a statement
// built here: in brackets ("Order Details" -> "[Order Details]"), whatever
// it holds otherwise (blanks, quotes, ";", reserved words, any script).
// Raises JetNameError, naming the name and why, for one JetNameProblem refuses.
std::string BracketedName(std::string_view name);

}  // namespace db
