// Times the table definition workbook (仕様書) export on a large schema: the catalog
// read and the workbook writing, as the viewer's output command runs them.
//
//   workbook_bench [tables]    (default 300 tables of 30 columns, 5 indexes,
//                               3 foreign keys each)
//
// The database is built in a child process, so the peak memory reported
// (getrusage ru_maxrss) is that of the export alone.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "db/DatabaseSession.h"
#include "engine/Engine.h"
#include "host/TargetDatabase.h"
#include "viewer/CatalogReader.h"
#include "viewer/GridText.h"
#include "viewer/SpecWorkbook.h"

namespace {

constexpr int kColumns = 30;
constexpr int kForeignKeys = 3;

std::string TableName(int table) {
    char name[32];
    std::snprintf(name, sizeof name, "t_bench_%03d", table);
    return name;
}

std::string ColumnName(int column) {
    char name[16];
    std::snprintf(name, sizeof name, "c%02d", column);
    return name;
}

// Each table: c00 the primary key, c01..c03 foreign keys to the next table's
// key (each with the engine's own index), one more index on c04: five indexes.
void BuildDatabase(const host::TargetDatabase& target, int tableCount) {
    engine::CreateDatabase(target.FilePath());
    auto connection = engine::Connection::create();
    connection->Open(*db::ConnectionText(target.PathName, target.FileName, target.Extension, ""));
    const char* types[] = {"LONG", "TEXT(50)", "DOUBLE", "DATETIME", "CURRENCY", "YESNO", "MEMO"};
    connection->BeginTrans();
    for (int table = 0; table < tableCount; ++table) {
        std::string statement = "CREATE TABLE " + TableName(table) + " (c00 LONG PRIMARY KEY";
        for (int column = 1; column < kColumns; ++column) {
            statement += ", " + ColumnName(column) + " " +
                         (column <= kForeignKeys ? "LONG" : types[column % 7]);
        }
        connection->Execute(statement + ")");
        connection->Execute("CREATE INDEX ix_" + TableName(table) + " ON " + TableName(table) +
                            " (c04)");
    }
    for (int table = 0; table < tableCount; ++table) {
        for (int key = 1; key <= kForeignKeys; ++key) {
            connection->Execute("ALTER TABLE " + TableName(table) + " ADD CONSTRAINT fk_" +
                                TableName(table) + "_" + std::to_string(key) + " FOREIGN KEY (" +
                                ColumnName(key) + ") REFERENCES " +
                                TableName((table + 1) % tableCount) + " (c00)");
        }
    }
    connection->CommitTrans();
    connection->Close();
}

class QuietWindow : public db::SessionWindow {
  public:
    void SetWindowTitle(const std::string&) override {}
    void EnableUpdateButton() override {}
    void ShowVersionText(const std::string&) override {}
    void RefreshControlState(db::ControlState) override {}
};

class PrintedBoxes : public platform::MessageBoxes {
  public:
    platform::MessageAnswer Show(const platform::MessageBoxRequest& request) override {
        // The session's version probe finds no version table here; say so once.
        if (request.text.find("t_db_ver") == std::string::npos) {
            std::fprintf(stderr, "message: %s\n", request.text.c_str());
        }
        return platform::MessageAnswer::No;
    }
};

class NoCursor : public platform::Cursor {
  public:
    void ShowWait() override {}
    void ShowArrow() override {}
};

class CountingProgress : public viewer::WorkbookProgress {
  public:
    void BeginTables(int) override {}
    void NextTable() override { ++tables; }
    void BeginRows(int) override {}
    void NextRow() override { ++rows; }
    long tables = 0;
    long rows = 0;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int tableCount = argc > 1 ? std::atoi(argv[1]) : 300;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("workbook_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    host::TargetDatabase target;
    target.PathName = folder.string() + "/";
    target.FileName = "bench";
    target.Extension = ".mdb";

    const pid_t builder = fork();
    if (builder == 0) {
        BuildDatabase(target, tableCount);
        std::_Exit(0);
    }
    int status = 0;
    waitpid(builder, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "building the database failed\n");
        return 1;
    }

    QuietWindow window;
    PrintedBoxes boxes;
    NoCursor cursor;
    db::DatabaseSession session(window, boxes, {"workbook_bench", "2020/05/24"});
    session.OpenDatabase(target.PathName, target.FileName, target.Extension);
    std::vector<std::string> userTables;
    session.ListUserTables(userTables);
    const std::vector<std::string> tableList =
        viewer::TableListLines(userTables, viewer::TableGrouping::Grouped);

    const auto start = std::chrono::steady_clock::now();
    viewer::TableMap tableMap;
    viewer::ReadCatalog({session, target, boxes, cursor}, tableMap);
    const double readSeconds = SecondsSince(start);
    CountingProgress progress;
    const std::string path = target.PathName + std::string(viewer::kWorkbookFileName);
    viewer::SpecWorkbookWriter(tableMap, tableList).Write(path, progress);
    const double totalSeconds = SecondsSince(start);

    long columns = 0, indexes = 0, foreignKeys = 0;
    for (const auto& [name, table] : tableMap) {
        columns += static_cast<long>(table->columns.size());
        indexes += static_cast<long>(table->indexes.size());
        foreignKeys += static_cast<long>(table->foreignKeys.size());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("tables %zu, columns %ld, indexes %ld, foreign keys %ld, data rows %ld\n",
                tableMap.size(), columns, indexes, foreignKeys, progress.rows);
    std::printf("catalog read %.3f s, workbook %.3f s, export %.3f s (target 0.5 s)\n", readSeconds,
                totalSeconds - readSeconds, totalSeconds);
    std::printf("workbook %.1f MB, peak memory %.1f MB (target 100 MB)\n",
                static_cast<double>(std::filesystem::file_size(path)) / 1e6,
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    if (std::getenv("WORKBOOK_BENCH_KEEP") == nullptr)
        std::filesystem::remove_all(folder);
    else
        std::printf("kept %s\n", folder.c_str());
    return 0;
}
