// The "query" command: an operator's statements from a file or standard input,
// run on a database file in one transaction.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/CommandLine.h"

namespace cli {

// Runs the statements and prints the rows of each SELECT to `out`; failures
// (the error text block and the failing statement) go to `err`. Answers
// kExitOk when committed, kExitFailed when nothing was committed (the
// database could not be opened or created, the script has no statement or
// lacks a final ";", or a statement was refused) and kExitBadArguments when
// the script cannot be read or the file's extension is neither .mdb nor
// .accdb.
int RunQueryCommand(const CommandLine& line, std::istream& in, std::ostream& out,
                    std::ostream& err);

// A value as one cell of tab-separated output: backslash, tab, line feed and
// carriage return written as \\, \t, \n and \r.
std::string TsvCell(const std::string& value);

}  // namespace cli
