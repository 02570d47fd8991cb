// Counting the keys and relationships that already involve a table, read
// from the database catalog, so the update adds a foreign key only where the
// file format still has room for it.
#pragma once

#include <optional>
#include <string>

#include "platform/MessageBoxes.h"
#include "platform/Platform.h"

namespace update {

class RelationshipCountScan {
  public:
    // `connectionText` is the session's connection text; nullopt when the
    // database's extension has none, which every count then reports as a
    // failure. The message boxes and the cursor must outlive the scan.
    RelationshipCountScan(platform::MessageBoxes& messageBoxes, platform::Cursor& cursor,
                          std::string applicationTitle, std::optional<std::string> connectionText);

    // Each count opens a catalog of its own and walks every table whose name
    // does not begin with "MS" and equals `table` (every table when `table`
    // is empty). A failure is shown in a message box and the count reached
    // so far is returned; a count never raises.

    // Keys of type primary.
    int CountPrimaryKeys(const std::string& table);
    // Keys of type unique.
    int CountUniqueKeys(const std::string& table);
    // Foreign keys of `table` when `table` is `referencedTable` itself, or
    // whose related table is `referencedTable`.
    int CountForeignKeys(const std::string& table, const std::string& referencedTable);

  private:
    enum class FailureBox { ApplicationWarning, WindowStop };
    template <typename Predicate>
    int CountKeys(const std::string& table, Predicate&& counts, FailureBox failureBox);

    platform::MessageBoxes& messageBoxes_;
    platform::Cursor& cursor_;
    std::string applicationTitle_;
    std::optional<std::string> connectionText_;
};

}  // namespace update
