// Jet's functions as the translator writes them in SQLite, and which of them
// are aggregates.
#pragma once

#include <string>
#include <vector>

#include "engine/Internal.h"

namespace engine::detail::sql {

struct FunctionDef {
    const char* name;
    int minArgs;
    int maxArgs;
    const char* templ;        // $1..$3 replaced by the arguments
    const char* defaultArg2;  // used for a missing second argument, or null
    ResultKind kind;
};

// The function of that name (upper case), or null.
const FunctionDef* findFunction(const std::string& upper);

bool isAggregate(const std::string& upperName);

// The template with its arguments; $K stands for the kind of the first
// argument, $* for every argument given.
std::string applyTemplate(const char* templ, const std::vector<std::string>& args,
                          const std::string& kind = "0");

}  // namespace engine::detail::sql
