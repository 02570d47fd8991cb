// Whole-file work on a database that needs no open connection of the
// caller's: reading every page for damage, and copying a database that
// other processes go on using.
#pragma once

#include <optional>
#include <string>

namespace engine {

// Reads every page of the database at `path` (SQLite's quick_check)
// without writing to it. What is damaged, in SQLite's words (the first few
// findings), or nothing when every page reads as it should.
std::optional<std::string> FindDamage(const std::string& path);

// Copies the database at `source` to `destination`, which must not exist,
// `pagesPerStep` pages at a time. The source is read-locked only while a
// step runs, so a writer elsewhere waits no longer than one step; a write
// between steps starts the copy over. ComError when the copy cannot be made
// or the source was written to too often to finish it (nothing is left at
// `destination` then).
void CopyDatabaseOnline(const std::string& source, const std::string& destination,
                        int pagesPerStep = 256);

}  // namespace engine
