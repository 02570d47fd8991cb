// Bringing a genuine Access database over: a new engine database built from
// a Jet 3, Jet 4 or ACE file, with every table, field, row, index and
// relationship the engine can hold, and a list of what it cannot.
//
// The new database is built under a temporary name beside the destination
// and renamed into place only when complete, so a failure or a kill leaves
// no destination; an existing destination is never replaced. The source is
// opened read-only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace genuine {

// The import did not happen: nothing was left at the destination.
class ImportError : public std::runtime_error {
  public:
    enum class Kind {
        kDestinationExists,  // the operator named a file that is there
        kPassword,           // the source's database password was not given
        kSource,             // the source cannot be read
        kWrite,              // the new database cannot be written
        kInterrupted,        // the run was asked to stop (a signal)
    };
    ImportError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

// Something of the source the engine cannot hold, or a rule the source's
// own data breaks (the data is kept, the rule is not created).
struct LeftOut {
    std::string table;  // empty for objects that are not part of a table
    std::string field;  // empty when not one field's
    std::string what;   // a sentence for the operator
};

struct ImportProgress {
    std::string table;
    std::uint64_t rowsDone = 0;
    std::uint64_t rowsTotal = 0;
    std::size_t tableNumber = 0;  // 1-based
    std::size_t tableCount = 0;
    bool finished = false;  // the table's last report
};

struct ImportOptions {
    std::string password;  // the new database's password; empty for none
    std::function<void(const ImportProgress&)> progress;
    // Conversion in place: told the name the genuine file will be kept
    // under before any file changes name. May be empty.
    std::function<void(const std::string& keptOriginal)> keptNameChosen;
    // Conversion in place: a point after each step of the swap, so tests can
    // end the process there. May be empty.
    std::function<void(std::string_view step)> stepDone;
};

struct ImportReport {
    std::string generation;  // "Jet 3", "Jet 4" or "ACE"
    std::vector<std::string> tables;
    std::uint64_t rows = 0;
    std::vector<std::string> queries;  // the saved queries created
    std::vector<LeftOut> leftOut;
    // Lines of warnings libmdb printed while it read the source (kept off
    // the operator's terminal), and the first of them quoted.
    std::uint64_t sourceWarnings = 0;
    std::string sourceWarningSample;
    bool Complete() const { return leftOut.empty(); }
};

// Builds `destination` from `source`. ImportError (nothing at the
// destination, the source unchanged) when it cannot.
ImportReport ImportGenuineDatabase(const std::string& source, const std::string& destination,
                                   const ImportOptions& options = {});

// Whether the file at `path` begins as a genuine Jet or ACE file does
// ("Standard Jet DB" / "Standard ACE DB" in its header).
bool IsGenuineAccessFile(const std::string& path);

struct InPlaceReport {
    ImportReport import;
    std::string keptOriginal;  // where the genuine file now is, unchanged
};

// Converts the genuine file at `path` in place: the new database takes its
// name and the genuine file, byte for byte as it was, is kept beside it as
// "NAME.access-original.EXT" (or the first free "NAME.access-original-N.EXT";
// never an existing file). The new database must pass the database check
// before it takes the name. A record beside the database
// (ConversionRecordPath) lives from before the first rename to after the
// last, so SettleInterruptedConversion can finish or undo a run killed
// part-way. ImportError, with `path` untouched, when it cannot.
InPlaceReport ConvertInPlace(const std::string& path, const ImportOptions& options = {});

// ".NAME.EXT.converting" beside the database at `path`.
std::string ConversionRecordPath(const std::string& path);

// Where a conversion in place of `path` was cut off, by its record: after
// the swap it is finished (the genuine file takes the name the record
// announced), before it undone (the converted copy removed, `path` the
// genuine file as it was). What was done, for the operator, or nothing when
// there was no record. ImportError, the record and every file left as they
// are, when the files no longer match the record.
std::optional<std::string> SettleInterruptedConversion(const std::string& path);

// The summary printed after an import: one line per thing left out, by
// table and field.
std::string DescribeLeftOut(const std::vector<LeftOut>& leftOut);

}  // namespace genuine
