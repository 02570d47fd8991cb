// What the viewer reads from the session: the table list and the selected
// table's records for the grid (the count query, the progress bar's range,
// then the record query, each value as its text). The viewer window shows
// them; the headless `tables` and `show` print them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/DatabaseSession.h"
#include "platform/MessageBoxes.h"
#include "viewer/GridRows.h"
#include "viewer/GridText.h"

namespace viewer {

// The table list's lines (TableListLines) from the session's user tables.
// False when the session showed a failure; `lines` then holds what it read.
bool ReadTableList(db::DatabaseSession& session, TableGrouping grouping,
                   std::vector<std::string>& lines);

// The names of the database's saved queries (CREATE VIEW, CREATE PROCEDURE),
// which the table list leaves out. False when the session showed a failure.
bool ReadSavedQueryNames(db::DatabaseSession& session, std::vector<std::string>& names);

// Where the records go as they are read.
class RecordSink {
  public:
    virtual ~RecordSink() = default;
    // The count query's answer, before the first row.
    virtual void BeginRows(long count) = 0;
    // The next cell, in row order; a null value arrives as an empty text.
    virtual void AppendCell(std::string_view text) = 0;
    // `rows` more rows have been read (every few dozen rows, and at the end).
    virtual void RowsRead(int rows) = 0;
    // Asked every kRowsPerPause rows: false stops the load there.
    virtual bool KeepGoing() = 0;
};

// Rows read between two looks at the window's events.
inline constexpr int kRowsPerPause = 2048;

// What the load works with; everything must outlive the call.
struct RecordLoadServices {
    db::DatabaseSession& session;
    platform::MessageBoxes& messageBoxes;  // failures, owned by the viewer window
};

// Loads `table`'s fields named by `headings` (each found once by name, then
// read by position), at most as many rows as `rowLimitText` asks for
// (RecordQueryText). An engine error shows its ComErrorText and then the
// statement it came from; a name no statement can hold (db::JetNameError)
// its one box; any other failure the unhandled-exception text;
// every box has the caption kViewerCaption and the stop icon. The sink keeps
// the rows read before a failure. False after a failure; never throws.
bool LoadRecords(const RecordLoadServices& services, const std::string& table,
                 const std::vector<std::string>& headings, const std::string& rowLimitText,
                 RecordSink& sink);

// A sink that keeps every row, for a load nobody watches.
class KeptRows : public RecordSink {
  public:
    explicit KeptRows(std::size_t columns) { rows.Reset(columns); }
    void BeginRows(long) override {}
    void AppendCell(std::string_view text) override { rows.AppendCell(text); }
    void RowsRead(int) override {}
    bool KeepGoing() override { return true; }

    GridRows rows;
};

}  // namespace viewer
