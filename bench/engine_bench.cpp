// Measures the engine against raw SQLite doing the same work in one run:
// reading a large table row by row, and running many single-row INSERT
// statements in one transaction. Prints each time and the engine's time over
// raw SQLite's, with the targets: reading within 1.1x, and inserting no slower
// than raw SQLite preparing each statement (1.0x).
//
//   engine_bench [--rows N] [--inserts N] [--repeat N] [--keep]
//
// The engine's database is an SQLite file, so the raw side opens the very
// same file with sqlite3_open_v2 and reads the same table. Both sides run
// without SQLite's own mutex (one thread each), so neither pays for locking
// the other does not.
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/Engine.h"

namespace {

constexpr double kReadTarget = 1.1;
constexpr double kInsertTarget = 1.0;
constexpr const char* kReadTable = "t_bench_read";

struct Settings {
    long rows = 1'000'000;
    long inserts = 100'000;
    int repeat = 3;     // reads are timed this often; the best time counts
    bool keep = false;  // keep the scratch folder for a look afterwards
};

// What a read loop saw, so both sides can be checked to have read the same.
struct ReadTally {
    long rows = 0;
    double numbers = 0;
    long textBytes = 0;
};

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Best(int repeat, const std::function<void()>& work) {
    double best = Seconds(work);
    for (int round = 1; round < repeat; ++round) {
        best = std::min(best, Seconds(work));
    }
    return best;
}

std::string ConnectionText(const std::string& path) {
    return "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path +
           ";Jet OLEDB:Database Password='';";
}

// A raw SQLite handle that closes itself.
class RawDatabase {
  public:
    explicit RawDatabase(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            throw std::runtime_error("sqlite3_open " + path + ": " + sqlite3_errmsg(db_));
        }
    }
    ~RawDatabase() { sqlite3_close(db_); }
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

    void Exec(const std::string& sql) {
        char* message = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
            const std::string text = message != nullptr ? message : "unknown error";
            sqlite3_free(message);
            throw std::runtime_error("sqlite3_exec " + sql + ": " + text);
        }
    }

    // The table's name as SQLite stores it (the engine may keep its own
    // spelling), found without regard to ASCII case.
    std::string StoredTableName(const std::string& name) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db_,
                           "SELECT name FROM sqlite_master WHERE type = 'table' AND "
                           "lower(name) = lower(?1)",
                           -1, &statement, nullptr);
        sqlite3_bind_text(statement, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        std::string stored;
        if (sqlite3_step(statement) == SQLITE_ROW) {
            stored = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        }
        sqlite3_finalize(statement);
        if (stored.empty()) {
            throw std::runtime_error("the engine's file holds no SQLite table named " + name);
        }
        return stored;
    }

    ReadTally ReadAll(const std::string& storedName) {
        sqlite3_stmt* statement = nullptr;
        const std::string sql = "SELECT * FROM \"" + storedName + "\"";
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            throw std::runtime_error("prepare " + sql + ": " + sqlite3_errmsg(db_));
        }
        ReadTally tally;
        const int columns = sqlite3_column_count(statement);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            ++tally.rows;
            for (int column = 0; column < columns; ++column) {
                switch (sqlite3_column_type(statement, column)) {
                    case SQLITE_INTEGER:
                        tally.numbers +=
                            static_cast<double>(sqlite3_column_int64(statement, column));
                        break;
                    case SQLITE_FLOAT:
                        tally.numbers += sqlite3_column_double(statement, column);
                        break;
                    case SQLITE_TEXT:
                        sqlite3_column_text(statement, column);
                        tally.textBytes += sqlite3_column_bytes(statement, column);
                        break;
                    default:
                        break;
                }
            }
        }
        sqlite3_finalize(statement);
        return tally;
    }

  private:
    sqlite3* db_ = nullptr;
};

ReadTally EngineReadAll(const std::shared_ptr<engine::Connection>& connection) {
    // Held as string views, as a careful caller holds its field names: a
    // bare C string would make every read measure strlen too.
    static constexpr std::string_view kColumns[] = {"ID", "Name", "Amount", "Stamp"};
    ReadTally tally;
    auto recordset = engine::Recordset::create();
    recordset->Open(kReadTable, connection, engine::adOpenForwardOnly, engine::adLockReadOnly,
                    engine::adCmdTable);
    while (!recordset->IsEOF()) {
        ++tally.rows;
        for (const std::string_view column : kColumns) {
            const engine::Variant value = recordset->Collect(column);
            if (value.vt() == engine::VT_BSTR) {
                tally.textBytes += static_cast<long>(value.text().size());
            } else {
                tally.numbers += value.toDouble();
            }
        }
        recordset->MoveNext();
    }
    recordset->Close();
    return tally;
}

// Fills the read table with `rows` rows: a thousand typed in, then doubled
// with INSERT ... SELECT until there are enough, then trimmed.
void FillReadTable(engine::Connection& connection, long rows) {
    connection.Execute(std::string("CREATE TABLE ") + kReadTable +
                       " (ID INTEGER NOT NULL, Name VARCHAR(50), Amount DOUBLE, Stamp DATETIME);");
    connection.BeginTrans();
    const long seedRows = std::min(rows, 1000L);
    for (long id = 1; id <= seedRows; ++id) {
        connection.Execute(std::string("INSERT INTO ") + kReadTable +
                           " (ID, Name, Amount, Stamp) VALUES (" + std::to_string(id) +
                           ", '株式会社テスト運輸 " + std::to_string(id) + "', " +
                           std::to_string(id) + ".25, #2020/05/" + std::to_string(1 + id % 28) +
                           " 10:" + std::to_string(10 + id % 50) + ":00#);");
    }
    for (long have = seedRows; have < rows; have *= 2) {
        connection.Execute(std::string("INSERT INTO ") + kReadTable +
                           " (ID, Name, Amount, Stamp) SELECT ID + " + std::to_string(have) +
                           ", Name, Amount, Stamp FROM " + kReadTable + ";");
    }
    connection.Execute(std::string("DELETE FROM ") + kReadTable + " WHERE ID > " +
                       std::to_string(rows) + ";");
    connection.CommitTrans();
}

// The i-th insert statement; the engine writes the date as a Jet literal,
// raw SQLite as the OLE Automation date the engine stores for it.
std::string InsertStatement(const std::string& table, long id, const std::string& stamp) {
    return "INSERT INTO " + table + " (ID, Name, Amount, Stamp) VALUES (" + std::to_string(id) +
           ", '名前 " + std::to_string(id) + "', " + std::to_string(id) + ".5, " + stamp + ");";
}

void Report(const char* what, double engineSeconds, double rawSeconds, double target) {
    const double ratio = engineSeconds / rawSeconds;
    std::printf("%-7s engine %8.3f s   raw SQLite %8.3f s   ratio %5.2fx   target <= %.1fx  %s\n",
                what, engineSeconds, rawSeconds, ratio, target,
                ratio <= target ? "met" : "NOT MET");
}

Settings ParseSettings(int argc, char** argv) {
    Settings settings;
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        auto next = [&]() -> long {
            if (index + 1 >= argc) throw std::invalid_argument(argument + " needs a number");
            return std::stol(argv[++index]);
        };
        if (argument == "--rows") {
            settings.rows = next();
        } else if (argument == "--inserts") {
            settings.inserts = next();
        } else if (argument == "--repeat") {
            settings.repeat = static_cast<int>(next());
        } else if (argument == "--keep") {
            settings.keep = true;
        } else {
            throw std::invalid_argument(
                "usage: engine_bench [--rows N] [--inserts N] "
                "[--repeat N] [--keep]");
        }
    }
    if (settings.rows < 1 || settings.inserts < 1 || settings.repeat < 1) {
        throw std::invalid_argument("counts must be at least 1");
    }
    return settings;
}

int Run(const Settings& settings) {
    std::string pattern = (std::filesystem::temp_directory_path() / "engine-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder " + pattern);
    }
    const std::filesystem::path folder = pattern;
    const std::string enginePath = (folder / "bench.mdb").string();
    const std::string rawPath = (folder / "raw-insert.sqlite").string();

    std::printf("engine_bench: reading %ld rows, %ld single-row inserts (scratch %s)\n",
                settings.rows, settings.inserts, folder.c_str());

    engine::CreateDatabase(enginePath);
    {
        auto connection = engine::Connection::create();
        connection->Open(ConnectionText(enginePath));
        FillReadTable(*connection, settings.rows);
        connection->Execute(
            "CREATE TABLE t_bench_insert (ID INTEGER NOT NULL, Name VARCHAR(50), Amount DOUBLE, "
            "Stamp DATETIME);");
    }

    // Reading. The raw side reads the engine's own file and table.
    ReadTally engineTally;
    ReadTally rawTally;
    double engineRead = 0;
    double rawRead = 0;
    {
        RawDatabase raw(enginePath);
        const std::string storedName = raw.StoredTableName(kReadTable);
        raw.ReadAll(storedName);  // warms the page cache for both sides
        rawRead = Best(settings.repeat, [&] { rawTally = raw.ReadAll(storedName); });
    }
    {
        auto connection = engine::Connection::create();
        connection->Open(ConnectionText(enginePath));
        engineRead = Best(settings.repeat, [&] { engineTally = EngineReadAll(connection); });
    }
    if (engineTally.rows != rawTally.rows || engineTally.textBytes != rawTally.textBytes) {
        std::fprintf(stderr,
                     "engine_bench: the two reads differ: %ld/%ld rows, %ld/%ld text bytes\n",
                     engineTally.rows, rawTally.rows, engineTally.textBytes, rawTally.textBytes);
        return 1;
    }

    // Inserting, each side in one transaction.
    double engineInsert = 0;
    {
        auto connection = engine::Connection::create();
        connection->Open(ConnectionText(enginePath));
        engineInsert = Seconds([&] {
            connection->BeginTrans();
            for (long id = 1; id <= settings.inserts; ++id) {
                engine::Variant affected = engine::Variant::fromI4(0);
                connection->Execute(InsertStatement("t_bench_insert", id, "#2020/05/24 10:00:00#"),
                                    &affected, -1);
            }
            connection->CommitTrans();
        });
    }
    double rawInsert = 0;
    {
        RawDatabase raw(rawPath);
        raw.Exec(
            "CREATE TABLE t_bench_insert (ID INTEGER NOT NULL, Name VARCHAR(50), "
            "Amount DOUBLE, Stamp DATETIME)");
        const std::string stamp = std::to_string(engine::OleDateFromParts(2020, 5, 24, 10, 0, 0));
        rawInsert = Seconds([&] {
            raw.Exec("BEGIN");
            for (long id = 1; id <= settings.inserts; ++id) {
                raw.Exec(InsertStatement("t_bench_insert", id, stamp));
            }
            raw.Exec("COMMIT");
        });
    }

    Report("read", engineRead, rawRead, kReadTarget);
    Report("insert", engineInsert, rawInsert, kInsertTarget);

    if (!settings.keep) {
        std::filesystem::remove_all(folder);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(ParseSettings(argc, argv));
    } catch (const engine::ComError& error) {
        std::cerr << "engine_bench: engine error 0x" << std::hex
                  << static_cast<std::uint32_t>(error.code()) << std::dec << ": "
                  << error.description().value_or("(no description)") << "\n";
    } catch (const std::exception& error) {
        std::cerr << "engine_bench: " << error.what() << "\n";
    }
    return 1;
}
