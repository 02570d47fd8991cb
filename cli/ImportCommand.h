// The import command: a genuine Access database brought over into a new
// engine database.
//
//   VantolyPatch [--password-file FILE | --password - | --password TEXT] import SOURCE DEST
#pragma once

#include <iosfwd>
#include <string>

#include "cli/CommandLine.h"
#include "cli/JsonReport.h"
#include "import/Import.h"

namespace cli {

// How an import ended, for the --json report: "imported" (everything),
// "incomplete" (something left out, listed in "leftOut"), "refused" (DEST is
// there) or "failed" (nothing made). `report` is null unless it ran to the
// end; `keptOriginal` names where a conversion in place kept the genuine file.
struct ImportOutcome {
    const char* outcome = "failed";
    const genuine::ImportReport* report = nullptr;
    std::string error;
    std::string keptOriginal;
};

// The import's JSON object on one line; `json` was started when the import
// began, so its timing covers the import.
void WriteImportJson(JsonReport& json, std::ostream& out, const std::string& source,
                     const std::string& database, const ImportOutcome& outcome);

// Prints a line per table with its rows, then what was left out. Exit
// status: kExitOk when everything was imported, kExitFailed when something
// was left out (listed) or nothing could be imported (DEST not made),
// kExitBadArguments when DEST exists. With --json the table lines go to
// `err` and `out` holds only the JSON object.
int RunImportCommand(const CommandLine& line, std::ostream& out, std::ostream& err);

}  // namespace cli
