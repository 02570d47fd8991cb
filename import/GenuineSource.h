// Reading a genuine Jet 3, Jet 4 or ACE file: its tables with their columns,
// indexes and relationships as Jet defined them, its rows as engine values,
// and the objects that are not tables.
//
// libmdb reads the file in a child process (ReaderProcess.h), opened
// read-only; this process never holds libmdb, so a damaged file that
// crashes it or makes it loop ends in a SourceError, not in a crash.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "mdbreader/SourceCatalog.h"

namespace genuine {

// The source cannot be read: not there, not an Access file, or damaged.
class SourceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The run was asked to stop (a signal) while the source was read; the
// reader was stopped.
class SourceInterrupted : public SourceError {
  public:
    using SourceError::SourceError;
};

class ReaderProcess;

class GenuineSource {
  public:
    // SourceError when the file cannot be opened, is not a Jet/ACE file, or
    // its catalog cannot be read whole (objects or pages missing).
    explicit GenuineSource(const std::string& path);
    ~GenuineSource();
    GenuineSource(const GenuineSource&) = delete;
    GenuineSource& operator=(const GenuineSource&) = delete;

    // "Jet 3", "Jet 4" or "ACE".
    std::string Generation() const { return catalog_.generation; }
    const std::vector<SourceTable>& Tables() const { return catalog_.tables; }
    const std::vector<SourceRelationship>& Relationships() const { return catalog_.relationships; }
    const std::vector<SourceObject>& OtherObjects() const { return catalog_.others; }
    const std::vector<SourceQuery>& Queries() const { return catalog_.queries; }
    const std::vector<SourceLinkedTable>& LinkedTables() const { return catalog_.linkedTables; }

    // The lines of warnings libmdb printed while reading, so far.
    std::uint64_t WarningLines() const;
    // The first of them, quoted; empty when none.
    std::string WarningSample() const;

    // Calls `row` with one value per column of `table` (complex columns
    // give Null), in the file's row order. SourceError when fewer rows can
    // be read than the table definition records (a damaged or cut file);
    // more is no damage, the count lags behind rows added since.
    void ReadRows(const SourceTable& table,
                  const std::function<void(const std::vector<engine::Variant>&)>& row);

  private:
    SourceCatalog StartReader();

    std::string path_;
    std::uint64_t size_ = 0;
    std::unique_ptr<ReaderProcess> reader_;
    bool inStep_ = true;  // false after rows left unread: the next request starts a new reader
    std::uint64_t earlierWarnings_ = 0;  // of readers replaced
    SourceCatalog catalog_;
};

// "Text(50)", "Decimal(18,4)", "Long Integer (AutoNumber)": the type as a
// person who knows Access reads it, for messages.
std::string DescribeType(const SourceColumn& column);

// The 16 bytes of a replication ID as the engine writes a GUID:
// "{8-4-4-4-12}" in upper case.
std::string GuidText(const std::uint8_t* bytes);

}  // namespace genuine
