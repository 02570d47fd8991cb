// The database files the engine writes, held against the sqlite3 command as
// an independent reader: a file of every column type, default, index,
// constraint and relationship a Jet script makes, and genuine files imported
// by the real program (calculated fields, Decimals). Whatever new text the
// engine puts into a file's schema is covered: every function and collation
// it names must be one a plain sqlite3 connection has.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "import/ImportSupport.h"

namespace importtest {
namespace {

using testsupport::ProcessOptions;
using testsupport::ProcessResult;
using testsupport::RunProcess;

constexpr const char* kSqlite = "/usr/bin/sqlite3";

ProcessOptions Input(const std::string& text) {
    ProcessOptions options;
    options.input = text;
    return options;
}

// What the sqlite3 command prints for `sql`, one line a row, fields split by
// the unit separator; the test fails when the command fails.
std::vector<std::string> Sqlite(const fs::path& file, const std::string& sql,
                                const std::string& input = {}) {
    const ProcessOptions options = Input(input);
    std::vector<std::string> argv{kSqlite, "-batch", "-separator", "\x1f", file.string()};
    if (!sql.empty()) argv.push_back(sql);
    const ProcessResult run = RunProcess(argv, options);
    EXPECT_EQ(run.exitStatus, 0) << file << ": " << sql << "\n" << run.err;
    EXPECT_EQ(run.err, "") << file << ": " << sql;
    std::vector<std::string> lines;
    std::istringstream out(run.out);
    for (std::string line; std::getline(out, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\x1f')) fields.push_back(field);
    if (!line.empty() && line.back() == '\x1f') fields.emplace_back();
    return fields;
}

std::string Quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// The schema text with its texts and quoted names blanked out.
std::string WithoutLiterals(const std::string& sql) {
    std::string out;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c != '\'' && c != '"') {
            out += c;
            continue;
        }
        out += ' ';
        for (++i; i < sql.size(); ++i) {
            if (sql[i] != c) continue;
            if (i + 1 < sql.size() && sql[i + 1] == c) {
                ++i;
                continue;
            }
            break;
        }
    }
    return out;
}

// Words SQL writes before "(" that are no function calls.
const std::set<std::string>& SyntaxWords() {
    static const std::set<std::string> words = {
        "AND",   "AS",   "BEGIN", "BY",   "CHECK",  "END",    "EXISTS",  "FROM",
        "IN",    "IS",   "KEY",   "NOT",  "OF",     "ON",     "OR",      "REFERENCES",
        "SET",   "THEN", "ELSE",  "WHEN", "SELECT", "VALUES", "DEFAULT", "RAISE",
        "WHERE", "CAST", "TABLE", "INTO", "ALWAYS", "UNIQUE", "CASE",    "AUTOINCREMENT",
        "STRICT"};
    return words;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Every function and collation the file's schema names is one of SQLite's own.
void ExpectOnlyBuiltIns(const fs::path& file) {
    static const fs::path kPlain = ":memory:";
    std::set<std::string> functions, collations;
    for (const auto& name : Sqlite(kPlain, "SELECT name FROM pragma_function_list"))
        functions.insert(Upper(name));
    for (const auto& row : Sqlite(kPlain, "PRAGMA collation_list"))
        collations.insert(Upper(Fields(row).at(1)));
    ASSERT_TRUE(functions.count("ROUND") && collations.count("NOCASE"));
    // The engine writes a call with its "(" next to the name, a table's
    // fields after a blank.
    const std::regex call(R"(([A-Za-z_][A-Za-z0-9_]*)\()");
    const std::regex collate(R"(COLLATE\s+([A-Za-z_][A-Za-z0-9_]*))", std::regex::icase);
    for (const auto& line :
         Sqlite(file,
                "SELECT name, replace(sql, char(10), ' ') FROM "
                "sqlite_schema WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite%'")) {
        const std::vector<std::string> row = Fields(line);
        const std::string text = WithoutLiterals(row.at(1));
        for (std::sregex_iterator it(text.begin(), text.end(), call), end; it != end; ++it) {
            const std::string name = Upper((*it)[1]);
            if (SyntaxWords().count(name)) continue;
            EXPECT_TRUE(functions.count(name)) << file << ": " << row[0] << " calls " << name;
        }
        for (std::sregex_iterator it(text.begin(), text.end(), collate), end; it != end; ++it) {
            EXPECT_TRUE(collations.count(Upper((*it)[1])))
                << file << ": " << row[0] << " collates by " << (*it)[1];
        }
    }
}

struct Column {
    std::string name;
    std::string type;
    bool generated = false;
    bool decimal = false;
};

std::vector<std::string> UserTables(const fs::path& file) {
    return Sqlite(file,
                  "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE "
                  "'sqlite%' ORDER BY name");
}

std::vector<Column> Columns(const fs::path& file, const std::string& table) {
    std::vector<Column> columns;
    for (const auto& line :
         Sqlite(file, "SELECT name, type, hidden FROM pragma_table_xinfo(" + Quoted(table) + ")")) {
        const std::vector<std::string> row = Fields(line);
        Column c{row.at(0), row.at(1), row.at(2) != "0", false};
        columns.push_back(c);
    }
    // A Decimal field is declared with SQLite's decimal collation.
    const std::string sql =
        Sqlite(file, "SELECT sql FROM sqlite_schema WHERE name = '" + table + "'").at(0);
    for (auto& c : columns) {
        const std::string declared = Quoted(c.name) + " TEXT";
        const std::size_t at = sql.find(declared);
        if (at == std::string::npos) continue;
        const std::size_t next = sql.find(", \"", at);
        const std::string definition = sql.substr(at, next == std::string::npos ? next : next - at);
        c.decimal = Upper(definition).find("COLLATE DECIMAL") != std::string::npos;
    }
    return columns;
}

// The columns of an index that refuses repeats, the row's own key included.
std::set<std::string> UniqueColumns(const fs::path& file, const std::string& table) {
    std::set<std::string> unique;
    for (const auto& line :
         Sqlite(file, "SELECT ii.name FROM pragma_index_list(" + Quoted(table) +
                          ") AS il JOIN pragma_index_info(il.name) AS ii WHERE il.\"unique\"")) {
        unique.insert(line);
    }
    for (const auto& line :
         Sqlite(file, "SELECT name FROM pragma_table_info(" + Quoted(table) + ") WHERE pk > 0"))
        unique.insert(line);
    return unique;
}

// A plain row through the sqlite3 command: the first row's values again,
// new ones in fields that refuse repeats.
void InsertPlainRow(const fs::path& file, const std::string& table,
                    const std::vector<Column>& columns) {
    const std::set<std::string> unique = UniqueColumns(file, table);
    std::string names, values;
    for (const auto& c : columns) {
        if (c.generated) continue;
        const std::string q = Quoted(c.name);
        std::string value = "(SELECT " + q + " FROM " + Quoted(table) + " LIMIT 1)";
        if (unique.count(c.name)) {
            value = "(SELECT CASE WHEN typeof(max(" + q + ")) IN ('integer', 'real') OR " + "max(" +
                    q + ") IS NULL AND '" + c.type + "' <> 'TEXT' THEN coalesce(max(" + q +
                    "), 0) + 1 ELSE lower(hex(randomblob(2))) END FROM " + Quoted(table) + ")";
        }
        names += (names.empty() ? "" : ", ") + q;
        values += (values.empty() ? "" : ", ") + value;
    }
    Sqlite(file, "INSERT INTO " + Quoted(table) + " (" + names + ") SELECT " + values);
}

// Everything the sqlite3 command does with the file, then the engine reads it again.
void HoldAgainstSqliteCommand(const fs::path& file, const fs::path& scratch) {
    ExpectOnlyBuiltIns(file);
    EXPECT_EQ(Sqlite(file, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    EXPECT_TRUE(Sqlite(file, "PRAGMA foreign_key_check").empty());
    const std::vector<std::string> tables = UserTables(file);
    ASSERT_FALSE(tables.empty());
    for (const auto& table : tables) {
        SCOPED_TRACE(table);
        const std::vector<Column> columns = Columns(file, table);
        Sqlite(file, "SELECT * FROM " + Quoted(table));
        for (const auto& c : columns) {
            const std::vector<std::string> ordered =
                Sqlite(file, "SELECT " + Quoted(c.name) + " FROM " + Quoted(table) + " WHERE " +
                                 Quoted(c.name) + " IS NOT NULL ORDER BY " + Quoted(c.name));
            if (!c.decimal) continue;
            for (std::size_t i = 1; i < ordered.size(); ++i) {
                EXPECT_LE(std::strtold(ordered[i - 1].c_str(), nullptr),
                          std::strtold(ordered[i].c_str(), nullptr))
                    << c.name << ": " << ordered[i - 1] << " before " << ordered[i];
            }
        }
        // Rows of the tables that hold them; the catalog is the engine's own.
        if (table.rfind("MSys", 0) != 0 &&
            !Sqlite(file, "SELECT 1 FROM " + Quoted(table) + " LIMIT 1").empty())
            InsertPlainRow(file, table, columns);
    }
    EXPECT_EQ(Sqlite(file, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    const fs::path copy = scratch / "dumped.db";
    std::string dump;
    for (const auto& line : Sqlite(file, ".dump")) dump += line + "\n";
    Sqlite(copy, "", dump);
    EXPECT_EQ(Sqlite(copy, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    std::string reads;
    for (const auto& table : tables) reads += "SELECT * FROM [" + table + "];\n";
    const ProcessResult engine = RunPatch({"--db", file.string(), "query"}, Input(reads));
    EXPECT_EQ(engine.exitStatus, 0) << engine.err;
}

constexpr const char* kEveryKind = R"(
CREATE TABLE parent (id COUNTER PRIMARY KEY, code TEXT(10) NOT NULL UNIQUE, note MEMO, flag YESNO DEFAULT 0, b BYTE, s SHORT, l LONG DEFAULT 7, si SINGLE, dbl DOUBLE, cur CURRENCY DEFAULT 1.5, dt DATETIME DEFAULT Now(), d0 DATETIME DEFAULT Date(), t0 DATETIME DEFAULT Time(), g GUID DEFAULT GenGUID(), amt DECIMAL(10,2), big DECIMAL(28,4) DEFAULT 0, bin BINARY(8), img LONGBINARY, CONSTRAINT ck CHECK (l >= 0), CONSTRAINT ck2 CHECK (code LIKE '?*'));
CREATE TABLE child (cid COUNTER PRIMARY KEY, pid LONG, qty SHORT, CONSTRAINT fk FOREIGN KEY (pid) REFERENCES parent (id) ON UPDATE CASCADE ON DELETE CASCADE);
CREATE TABLE child2 (n COUNTER(10, 5), x LONG CONSTRAINT fk2 REFERENCES parent (id) ON DELETE SET NULL, frac DECIMAL(5,5), tag TEXT(5) NOT NULL DEFAULT 'a''b', CONSTRAINT ck3 CHECK (x / 2 >= 0));
CREATE INDEX ix_amt ON parent (amt DESC);
CREATE UNIQUE INDEX ix_pair ON child (pid, qty DESC) WITH IGNORE NULL;
CREATE INDEX ix_tag ON child2 (tag) WITH DISALLOW NULL;
ALTER TABLE parent ADD COLUMN extra DECIMAL(6,2) DEFAULT 1;
INSERT INTO parent (code, amt, si, cur, big) VALUES ('a', 12.5, 1.1, 3.25, '123456789012345678901234.5678');
INSERT INTO parent (code, amt, si, cur, big) VALUES ('b', -3.255, 2.2, -1, -0.5);
INSERT INTO parent (code, amt, big) VALUES ('c', 100, 9);
INSERT INTO parent (code, amt, big) VALUES ('d', 0.5, 10);
INSERT INTO parent (code, amt, big) VALUES ('e', 99999999.99, '-123456789012345678901234.5');
INSERT INTO parent (code, amt) VALUES ('f', -0.01);
INSERT INTO parent (code, amt) VALUES ('g', 9);
INSERT INTO child (pid, qty) VALUES (1, 2);
INSERT INTO child (pid, qty) VALUES (2, 3);
INSERT INTO child2 (x, frac) VALUES (1, 0.12345);
)";

TEST(SqliteCommand, ReadsChecksAndWritesEveryKindOfTableTheEngineMakes) {
    testsupport::TempFolder folder;
    const fs::path file = folder.Path() / "every.mdb";
    const ProcessResult made =
        RunPatch({"--db", file.string(), "query", "--create"}, Input(kEveryKind));
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    HoldAgainstSqliteCommand(file, folder.Path());
    // Writes through the engine still store values as Jet does.
    const ProcessResult wrote =
        RunPatch({"--db", file.string(), "query"},
                 Input("INSERT INTO parent (code, amt, si) VALUES ('z', 1.005, 0.1);\n"
                       "UPDATE child2 SET frac = 0.123456 WHERE x = 1;\n"));
    ASSERT_EQ(wrote.exitStatus, 0) << wrote.err;
    EXPECT_EQ(Sqlite(file,
                     "SELECT amt, si, length(g), substr(g, 16, 1) FROM parent WHERE "
                     "code = 'z'; SELECT frac FROM child2 WHERE rowid = 1"),
              (std::vector<std::string>{"1.01\x1f"
                                        "0.100000001490116\x1f"
                                        "38\x1f"
                                        "4",
                                        "0.12346"}));
    const ProcessResult refused =
        RunPatch({"--db", file.string(), "query"},
                 Input("INSERT INTO parent (code, amt) VALUES ('y', 99999999.995);\n"));
    EXPECT_NE(refused.exitStatus, 0);
    EXPECT_NE(refused.err.find("overflow"), std::string::npos) << refused.err;
    // A validation rule that needs the engine's Like is the connection's to keep.
    const ProcessResult broken = RunPatch({"--db", file.string(), "query"},
                                          Input("INSERT INTO parent (code) VALUES ('');\n"));
    EXPECT_NE(broken.exitStatus, 0);
    EXPECT_NE(broken.err.find("ck2"), std::string::npos) << broken.err;
}

// A file written before, whose schema names the engine's collation and
// functions: it opens, and writes through the engine are stored and refused
// as before.
TEST(SqliteCommand, FilesNamingTheEnginesOwnFunctionsKeepWorking) {
    testsupport::TempFolder folder;
    const fs::path file = folder.Path() / "before.mdb";
    const ProcessResult made =
        RunPatch({"--db", file.string(), "query", "--create"},
                 Input("CREATE TABLE d (id COUNTER PRIMARY KEY, amt DECIMAL(4,2));\n"
                       "CREATE INDEX ix ON d (amt);\n"
                       "INSERT INTO d (amt) VALUES (10);\nINSERT INTO d (amt) VALUES (9.5);\n"));
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    Sqlite(file,
           "PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = replace(sql, 'COLLATE "
           "decimal', 'COLLATE VXDECIMAL') WHERE name = 'd'; UPDATE sqlite_schema SET sql = "
           "substr(sql, 1, instr(sql, 'CHECK (NOT (instr') - 1) || 'CHECK (NOT "
           "(vx_decimal_overflows(\"amt\", 4, 2, ''amt'')))) STRICT' WHERE name = 'd'; PRAGMA "
           "schema_version = 100;");
    Sqlite(file,
           "PRAGMA writable_schema = ON; INSERT INTO sqlite_schema VALUES ('trigger', "
           "'vxtype:d:fixins', 'd', 0, 'CREATE TRIGGER \"vxtype:d:fixins\" AFTER INSERT ON \"d\" "
           "FOR EACH ROW WHEN NEW.\"amt\" IS NOT vx_decimal(NEW.\"amt\", 2) COLLATE BINARY BEGIN "
           "UPDATE \"d\" SET \"amt\" = vx_decimal(NEW.\"amt\", 2) COLLATE BINARY WHERE rowid = "
           "NEW.rowid; END'); PRAGMA schema_version = 101;");
    const ProcessResult wrote =
        RunPatch({"--db", file.string(), "query"},
                 Input("INSERT INTO d (amt) VALUES (1.005);\nSELECT amt FROM d ORDER BY amt;\n"));
    ASSERT_EQ(wrote.exitStatus, 0) << wrote.err;
    EXPECT_NE(wrote.out.find("1.01\n9.5\n10\n"), std::string::npos) << wrote.out;
    const ProcessResult refused =
        RunPatch({"--db", file.string(), "query"}, Input("INSERT INTO d (amt) VALUES (99.995);\n"));
    EXPECT_NE(refused.exitStatus, 0);
    EXPECT_NE(refused.err.find("overflow"), std::string::npos) << refused.err;
}

TEST(SqliteCommand, ReadsChecksAndWritesGenuineFilesTheProgramImported) {
    for (const char* name : {"calcFieldTestV2010.accdb", "fixedNumericTestV2007.accdb",
                             "compIndexTestV2000.mdb", "testV2007.accdb"}) {
        SCOPED_TRACE(name);
        testsupport::TempFolder folder;
        const fs::path file = folder.Path() / "imported.mdb";
        const ProcessResult imported = RunPatch({"import", Genuine(name).string(), file.string()});
        // Exit 1 for a table left out (fixedNumericTestV2007's MSysCompactError).
        ASSERT_TRUE(fs::exists(file)) << imported.err;
        HoldAgainstSqliteCommand(file, folder.Path());
    }
}

}  // namespace
}  // namespace importtest
