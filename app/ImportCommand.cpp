#include "app/ImportCommand.h"

#include <ostream>

#include "import/Import.h"

namespace cli {

int RunImportCommand(const CommandLine& line, std::ostream& out, std::ostream& err) {
    const std::string& source = line.operands.at(0);
    const std::string& destination = line.operands.at(1);
    genuine::ImportOptions options;
    options.password = line.password.value_or("");
    options.progress = [&out](const genuine::ImportProgress& p) {
        if (p.finished) {
            out << "[" << p.tableNumber << "/" << p.tableCount << "] " << p.table << ": "
                << p.rowsDone << " rows\n"
                << std::flush;
        }
    };
    try {
        const genuine::ImportReport report =
            genuine::ImportGenuineDatabase(source, destination, options);
        out << "Imported " << report.tables.size() << " tables, " << report.rows
            << " rows from the " << report.generation << " file " << source << " into "
            << destination << ".\n";
        if (report.Complete()) return kExitOk;
        out << "Left out (" << report.leftOut.size() << "):\n"
            << genuine::DescribeLeftOut(report.leftOut);
        return kExitFailed;
    } catch (const genuine::ImportError& error) {
        err << "VantolyPatch: import: " << error.what() << "\n";
        return error.kind() == genuine::ImportError::Kind::kDestinationExists ? kExitBadArguments
                                                                              : kExitFailed;
    }
}

}  // namespace cli
