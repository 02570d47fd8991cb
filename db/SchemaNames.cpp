#include "db/SchemaNames.h"

namespace db {

std::string NormaliseTableName(std::string_view text) {
    std::string name(text.substr(0, text.find(';')));
    if (name.find(' ') != std::string::npos) {
        name = "[" + name + "]";
    }
    return name;
}

bool IsUserTableName(std::string_view normalisedName) {
    return !normalisedName.starts_with("MS") &&
           normalisedName.find("~TMPCLP") == std::string_view::npos;
}

}  // namespace db
