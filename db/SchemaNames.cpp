#include "db/SchemaNames.h"

namespace db {

bool IsUserTableName(std::string_view name) {
    return !name.starts_with("MS") && name.find("~TMPCLP") == std::string_view::npos;
}

std::optional<std::string> JetNameProblem(std::string_view name) {
    if (name.empty()) return "a name cannot be empty";
    if (name.front() == ' ') return "a name cannot begin with a blank";
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "a name cannot hold a control character";
        if (c == '[' || c == ']' || c == '.' || c == '!' || c == '`')
            return std::string("a name cannot hold \"") + c + "\"";
    }
    return std::nullopt;
}

std::string BracketedName(std::string_view name) {
    if (const std::optional<std::string> problem = JetNameProblem(name)) {
        // The name as the operator can read it: a control character as \xNN.
        std::string shown;
        for (const char c : name) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x20 && byte != 0x7F) {
                shown += c;
                continue;
            }
            constexpr char kHex[] = "0123456789ABCDEF";
            shown += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 0xF];
        }
        throw JetNameError("the name \"" + shown + "\" cannot be used in a statement: " + *problem);
    }
    return "[" + std::string(name) + "]";
}

}  // namespace db
