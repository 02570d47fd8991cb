// The functions the fuzz targets drive, one per input class. The libFuzzer
// targets (clang only) and the corpus replay in the ordinary test suite call
// the same functions, so a corpus file that once crashed a target stays a
// test in every build.
//
// Each function takes any bytes. An input the code refuses the way it is
// meant to (a syntax error, a statement the database rejects) returns
// normally; anything else -- a crash, a sanitizer report, an exception of
// another kind escaping -- is the fault the fuzzer looks for.
#pragma once

#include <string_view>

namespace fuzzentry {

// Jet SQL through the engine's lexer and parser.
void ParseStatement(std::string_view bytes);

// Jet SQL executed on a small database of its own (made once per process in
// the temporary folder), inside a transaction that is rolled back, so every
// input meets the same database.
void ExecuteStatement(std::string_view bytes);

// An operator's query text through the console's line and statement split.
void SplitQueries(std::string_view bytes);

// A registry export file through its parser and the lookups the tool makes.
void ParseRegistry(std::string_view bytes);

// A genuine Access file imported into a new database, the reader in its
// child process as for the operator: the import may refuse the file
// (ImportError), never crash, hang, change the file or leave its temporary.
void ImportGenuine(std::string_view bytes);

// A workbook written to a file of its own: the first line names the sheet,
// the other lines are cell texts, links and their tips.
void WriteWorkbook(std::string_view bytes);

}  // namespace fuzzentry
