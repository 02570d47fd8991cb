// Builds a large host database at version 1.25 for the update benchmark: the
// sample database, filler user tables up to the wanted count (some of them
// with relationships to t_kumi and t_sofu), and t_seikyu_data grown to the
// wanted number of rows.
//
//   make_large_host OUTPUT.mdb [--rows N] [--tables N] [--relationships N]
//
// The sample and the filler tables go through the engine. The rows of
// t_seikyu_data are copied inside SQLite from the sample's first row, each
// with a card of t_cprt_card and a month of its own, so they meet the
// table's unique key and relationships without a million parsed statements.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/QueryScript.h"
#include "engine/Engine.h"

namespace {

struct Settings {
    std::string output;
    long rows = 1'000'000;
    int tables = 300;
    int relationships = 20;  // filler tables with a key to t_kumi, and as many to t_sofu
};

std::string JetText(const std::string& path) {
    return "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path +
           ";Jet OLEDB:Database Password='';";
}

void BuildSample(engine::Connection& connection) {
    std::ifstream in(std::string(VANTOLY_SAMPLES_DIR) + "/host-1.25.sql");
    if (!in) throw std::runtime_error("cannot read the sample script in " VANTOLY_SAMPLES_DIR);
    std::stringstream text;
    text << in.rdbuf();
    const auto split = console::SplitQueries(console::SplitLines(text.str()));
    if (split.status != console::SplitStatus::kOk)
        throw std::runtime_error("the sample script does not split");
    connection.BeginTrans();
    for (const auto& statement : split.statements) connection.Execute(statement.text, nullptr, -1);
    connection.CommitTrans();
}

int CountUserTables(engine::Connection& connection) {
    int count = 0;
    for (auto schema = connection.OpenSchema(engine::adSchemaTables); !schema->IsEOF();
         schema->MoveNext()) {
        if (schema->Collect("TABLE_TYPE").text() == "TABLE") ++count;
    }
    return count;
}

void AddFillerTables(engine::Connection& connection, const Settings& settings) {
    const int existing = CountUserTables(connection);
    connection.BeginTrans();
    for (int i = 0; existing + i < settings.tables; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "t_filler_%03d", i);
        std::string sql =
            std::string("CREATE TABLE ") + name +
            " (FillerID COUNTER PRIMARY KEY, FillerCode VARCHAR(010) NOT NULL, KumiID INTEGER";
        if (i < settings.relationships) {
            sql += std::string(" CONSTRAINT fk_") + name + "_kumi REFERENCES t_kumi (KumiID)";
        }
        sql += ", SofuID INTEGER";
        if (i >= settings.relationships && i < 2 * settings.relationships) {
            sql += std::string(" CONSTRAINT fk_") + name + "_sofu REFERENCES t_sofu (SofuID)";
        }
        sql += ", Amount INTEGER DEFAULT 0, CreateDateTime DATETIME NOT NULL);";
        connection.Execute(sql, nullptr, -1);
        connection.Execute(
            std::string("INSERT INTO ") + name +
                " (FillerCode, KumiID, SofuID, CreateDateTime) VALUES ('F', 1, 1, now());",
            nullptr, -1);
    }
    connection.CommitTrans();
}

void Check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
    }
}

void GrowSeikyuData(const std::string& path, long rows) {
    sqlite3* db = nullptr;
    Check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), db,
          "opening the file");
    std::vector<std::string> columns;
    sqlite3_stmt* info = nullptr;
    Check(sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info('t_seikyu_data') ORDER BY cid",
                             -1, &info, nullptr),
          db, "reading the columns");
    while (sqlite3_step(info) == SQLITE_ROW)
        columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(info, 0)));
    sqlite3_finalize(info);
    if (columns.empty()) throw std::runtime_error("t_seikyu_data is not in the file");

    std::string names, values;
    for (const auto& column : columns) {
        names += (names.empty() ? "\"" : ", \"") + column + "\"";
        std::string value;
        if (column == "SeikyuDataID")
            value = "base.top + n.i + 1";
        else if (column == "SeikyuMonth")
            value = "printf('9%05d', n.i / cards.total)";
        else if (column == "KumiID" || column == "SofuID" || column == "CprtCardID" ||
                 column == "CardNo")
            value = "c.\"" + column + "\"";
        else
            value = "t.\"" + column + "\"";
        values += (values.empty() ? "" : ", ") + value;
    }
    const std::string sql =
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(rows - 1) +
        "), base(top) AS (SELECT MAX(SeikyuDataID) FROM t_seikyu_data), "
        "cards(total) AS (SELECT COUNT(*) FROM t_cprt_card), "
        "numbered AS (SELECT row_number() OVER (ORDER BY CprtCardID) - 1 AS k, * FROM "
        "t_cprt_card), "
        "template AS (SELECT * FROM t_seikyu_data ORDER BY SeikyuDataID LIMIT 1) "
        "INSERT INTO t_seikyu_data (" +
        names + ") SELECT " + values +
        " FROM n, base, cards, template t JOIN numbered c ON c.k = n.i % cards.total";
    Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "starting");
    Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, "copying rows");
    Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "committing");
    sqlite3_close_v2(db);
}

Settings Parse(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--rows")
            settings.rows = std::stol(next());
        else if (arg == "--tables")
            settings.tables = std::stoi(next());
        else if (arg == "--relationships")
            settings.relationships = std::stoi(next());
        else if (settings.output.empty() && arg.rfind("--", 0) != 0)
            settings.output = arg;
        else
            throw std::invalid_argument("unknown argument " + arg);
    }
    if (settings.output.empty())
        throw std::invalid_argument(
            "usage: make_large_host OUTPUT.mdb [--rows N] [--tables N] [--relationships N]");
    return settings;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Settings settings = Parse(argc, argv);
        const auto start = std::chrono::steady_clock::now();
        std::filesystem::remove(settings.output);
        engine::CreateDatabase(settings.output);
        {
            auto connection = engine::Connection::create();
            connection->Open(JetText(settings.output));
            BuildSample(*connection);
            AddFillerTables(*connection, settings);
            connection->Close();
        }
        if (settings.rows > 0) GrowSeikyuData(settings.output, settings.rows);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::cout << settings.output << ": " << settings.tables
                  << " user tables, t_seikyu_data grown by " << settings.rows << " rows, in "
                  << seconds << " s\n";
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "make_large_host: " << error.what() << "\n";
        return 1;
    }
}
