// Times the table definition workbook (仕様書) export on a large schema: the catalog
// read and the workbook writing, as the viewer's output command runs them.
// The peer is libxlsxwriter writing the same texts into a workbook of the
// same sheets and rows, without looks, merges or links; the export is to
// stay within 3 times the peer.
//
//   workbook_bench [tables]    (default 300 tables of 30 columns, 5 indexes,
//                               3 foreign keys each)
//
// The database is built in a child process, so the peak memory reported
// (getrusage ru_maxrss) is that of the export alone.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

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
#include "viewer/TableDefinitionWorkbook.h"

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

// The peers: libxlsxwriter writing each table's field, index and
// foreign-key texts, one sheet per table after an index sheet of names.
// Plain: the texts in plain cells. Same shape: as the export lays them out,
// every row 33 cells wide with a look, merged in the blocks' spans, the
// template's ten rows and a link back on each sheet.
enum class PeerShape { Plain, Same };

double PeerSeconds(const viewer::TableMap& tableMap, const std::vector<std::string>& tableList,
                   const std::string& path, PeerShape shape) {
    const auto start = std::chrono::steady_clock::now();
    lxw_workbook* workbook = workbook_new(path.c_str());
    lxw_worksheet* index = workbook_add_worksheet(workbook, "index");
    lxw_format* look[4];
    for (lxw_format*& format : look) {
        format = workbook_add_format(workbook);
        format_set_border(format, LXW_BORDER_THIN);
    }
    format_set_bg_color(look[1], 0x339966);
    format_set_bg_color(look[2], 0xCCFFCC);
    format_set_bold(look[3]);
    const std::vector<std::pair<int, int>> kFieldSpans = {{0, 0},   {1, 4},   {5, 7},   {8, 10},
                                                          {11, 12}, {13, 15}, {16, 17}, {18, 21},
                                                          {22, 25}, {26, 32}};
    const std::vector<std::pair<int, int>> kIndexSpans = {
        {0, 0}, {1, 10}, {11, 26}, {27, 29}, {30, 32}};
    const std::vector<std::pair<int, int>> kKeySpans = {{0, 0},   {1, 5},   {6, 12},
                                                        {13, 18}, {19, 24}, {25, 32}};
    lxw_row_t indexRow = 0;
    for (const std::string& entry : tableList) {
        const auto found = tableMap.find(entry);
        if (found == tableMap.end()) continue;
        const viewer::CDataADOXTable& table = *found->second;
        worksheet_write_string(index, indexRow++, 1, table.name.c_str(), nullptr);
        lxw_worksheet* sheet =
            workbook_add_worksheet(workbook, viewer::SheetNameOf(table.name).c_str());
        lxw_row_t row = 10;
        const std::vector<std::pair<int, int>>* spans = &kFieldSpans;
        auto write = [&](std::initializer_list<std::string> texts) {
            if (shape == PeerShape::Plain) {
                lxw_col_t column = 0;
                for (const std::string& text : texts) {
                    worksheet_write_string(sheet, row, column++, text.c_str(), nullptr);
                }
            } else {
                auto text = texts.begin();
                for (const auto& [first, last] : *spans) {
                    const char* value = text != texts.end() ? (text++)->c_str() : "";
                    lxw_format* format = look[first == 0 ? 1 : 2];
                    if (first == last) {
                        worksheet_write_string(sheet, row, static_cast<lxw_col_t>(first), value,
                                               format);
                    } else {
                        worksheet_merge_range(sheet, row, static_cast<lxw_col_t>(first), row,
                                              static_cast<lxw_col_t>(last), value, format);
                    }
                }
            }
            ++row;
        };
        if (shape == PeerShape::Same) {
            worksheet_set_column(sheet, 0, 255, 3.63, look[0]);
            for (lxw_row_t templateRow = 0; templateRow < 10; ++templateRow) {
                if (templateRow == 4 || templateRow == 8) continue;
                for (lxw_col_t column = 0; column < 33; column += 3) {
                    worksheet_merge_range(sheet, templateRow, column, templateRow, column + 2,
                                          column == 0 ? "テーブル仕様書" : "", look[3]);
                }
            }
            worksheet_write_url_opt(sheet, 2, 5, "internal:'index'!A1", look[3], table.name.c_str(),
                                    "index");
        }
        write({"テーブル仕様書", table.name});
        for (std::size_t at = 0; at < table.columns.size(); ++at) {
            const viewer::CDataColumn& c = table.columns[at];
            write({std::to_string(at + 1), c.name, c.typeName, c.sizeText, c.defaultText,
                   c.requiredText, c.keyKind});
        }
        row += 2;
        spans = &kIndexSpans;
        write({"№", "インデックス名", "フィールド名", "カラム シーケンス", "固有"});
        for (std::size_t at = 0; at < table.indexes.size(); ++at) {
            const viewer::CDataIndex& i = table.indexes[at];
            write({std::to_string(at + 1), i.name, i.columnList, i.sequenceText, i.uniqueText});
        }
        row += 2;
        spans = &kKeySpans;
        write({"№", "フィールド名", "外部キー", "参照テーブル", "参照フィールド名", "説明"});
        for (std::size_t at = 0; at < table.foreignKeys.size(); ++at) {
            const viewer::CDataForeignKey& k = table.foreignKeys[at];
            write(
                {std::to_string(at + 1), k.columnName, k.keyName, k.relatedTable, k.relatedColumn});
        }
    }
    if (workbook_close(workbook) != LXW_NO_ERROR) {
        std::fprintf(stderr, "the peer could not write %s\n", path.c_str());
    }
    return SecondsSince(start);
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
    viewer::TableDefinitionWorkbookWriter(tableMap, tableList).Write(path, progress);
    const double totalSeconds = SecondsSince(start);

    long columns = 0, indexes = 0, foreignKeys = 0;
    for (const auto& [name, table] : tableMap) {
        columns += static_cast<long>(table->columns.size());
        indexes += static_cast<long>(table->indexes.size());
        foreignKeys += static_cast<long>(table->foreignKeys.size());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double plainSeconds =
        PeerSeconds(tableMap, tableList, target.PathName + "plain.xlsx", PeerShape::Plain);
    const double sameSeconds =
        PeerSeconds(tableMap, tableList, target.PathName + "same.xlsx", PeerShape::Same);
    std::printf("tables %zu, columns %ld, indexes %ld, foreign keys %ld, data rows %ld\n",
                tableMap.size(), columns, indexes, foreignKeys, progress.rows);
    std::printf("catalog read %.3f s, workbook %.3f s, export %.3f s (target 0.5 s)\n", readSeconds,
                totalSeconds - readSeconds, totalSeconds);
    std::printf(
        "peer libxlsxwriter, workbook of the same shape %.3f s: export / peer %.2fx "
        "(target 3x)\n",
        sameSeconds, totalSeconds / sameSeconds);
    std::printf("peer libxlsxwriter, the same texts in plain cells %.3f s: export / peer %.2fx\n",
                plainSeconds, totalSeconds / plainSeconds);
    std::printf("workbook %.1f MB, peak memory %.1f MB (target 100 MB)\n",
                static_cast<double>(std::filesystem::file_size(path)) / 1e6,
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    if (std::getenv("WORKBOOK_BENCH_KEEP") == nullptr)
        std::filesystem::remove_all(folder);
    else
        std::printf("kept %s\n", folder.c_str());
    return 0;
}
