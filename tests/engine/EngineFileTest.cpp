// Opening files: connection texts, passwords, and every kind of file that is
// not a database of ours.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "EngineFixture.h"
#include "engine/FileLock.h"

namespace {

using enginetest::EngineFixture;
using enginetest::jetText;

engine::ComError openError(const std::string& text) {
    try {
        engine::Connection::create()->Open(text);
    } catch (const engine::ComError& e) {
        return e;
    }
    ADD_FAILURE() << "opened: " << text;
    return engine::ComError(0, std::nullopt, std::nullopt);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

class FileTest : public EngineFixture {};

TEST_F(FileTest, ConnectionTextsOfBothProvidersOpen) {
    for (const char* provider : {"Microsoft.Jet.OLEDB.4.0", "Microsoft.ACE.OLEDB.12.0"}) {
        auto c = engine::Connection::create();
        c->Open(std::string("Provider=") + provider + "; Data Source=" + path_ +
                ";Jet OLEDB:Database Password='';");
        EXPECT_EQ(c->State(), engine::adStateOpen);
        c->Close();
        EXPECT_EQ(c->State(), engine::adStateClosed);
    }
}

// Paths and passwords holding the connection text's own punctuation reach
// the file exactly: the database opens under its own path, the password
// guards it, and the table-definition facility opens it too.
TEST_F(FileTest, ConnectionTextsCarryAnyPathAndPassword) {
    const std::string names[] = {"a;b.mdb",     "a=b.mdb",        "it's.mdb", "say \"hi\".mdb",
                                 " blank .mdb", "both'\"; x.mdb", "plain.mdb"};
    const std::string passwords[] = {"p;w", "p=w", "it's", "say \"hi\"", " pw ", "'\";='", ""};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const std::string path = folder_.Folder() + names[i];
        SCOPED_TRACE(path + " / " + passwords[i]);
        engine::CreateDatabase(path, passwords[i]);
        auto c = engine::Connection::create();
        c->Open(engine::DatabaseConnectionText(engine::kAceProvider, path, passwords[i]));
        EXPECT_EQ(c->DataSource(), path);
        c->Close();
        if (!passwords[i].empty()) {
            EXPECT_EQ(openError(engine::DatabaseConnectionText(engine::kJetProvider, path, ""))
                          .jetError(),
                      3031);
            EXPECT_THROW(engine::DaoDatabase::create()->Open(path, false, false, ";PWD=x"),
                         engine::ComError);
        }
        auto dao = engine::DaoDatabase::create();
        dao->Open(path, false, false, ";PWD=" + engine::ConnectionTextValue(passwords[i]));
        EXPECT_TRUE(dao->IsOpen());
    }
    // Nothing was created at the part of a path before its ";".
    EXPECT_FALSE(std::filesystem::exists(folder_.Folder() + "a"));
}

// Texts written by hand: the accepted forms, and the ones refused because
// reading them any other way would be a guess.
TEST_F(FileTest, ConnectionTextsAreReadByTheQuotingRule) {
    exec("ALTER DATABASE PASSWORD [it's] NULL");
    conn_->Close();
    const std::string source = "Data Source=" + path_ + ";";
    const std::string opening[] = {
        "Provider=Microsoft.Jet.OLEDB.4.0; " + source + "Jet OLEDB:Database Password='it''s';",
        "provider = Microsoft.ACE.OLEDB.12.0 ;data source = \"" + path_ +
            "\" ;jet oledb:database password=\"it's\"",
        ";;Provider='Microsoft.Jet.OLEDB.4.0';" + source +
            "Jet OLEDB:Database Password = 'it''s' ;",
    };
    for (const std::string& text : opening) {
        SCOPED_TRACE(text);
        auto c = engine::Connection::create();
        c->Open(text);
        EXPECT_EQ(c->DataSource(), path_);
    }
    const struct {
        std::string text;
        const char* mention;
    } refusedTexts[] = {
        {"Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + folder_.Folder() + "a;b.mdb;",
         "'b.mdb' is not of the form"},
        {"Provider=Microsoft.Jet.OLEDB.4.0; " + source + "Jet OLEDB:Database Password='it's';",
         "after its closing quote"},
        {"Provider=Microsoft.Jet.OLEDB.4.0; " + source + "Jet OLEDB:Database Password='it",
         "no closing quote"},
        {"Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + path_ + ";", "no closing quote"},
    };
    for (const auto& c : refusedTexts) {
        SCOPED_TRACE(c.text);
        const engine::ComError e = openError(c.text);
        EXPECT_EQ(static_cast<std::uint32_t>(e.code()), 0x80070057u) << e.what();
        EXPECT_NE(e.description().value_or("").find(c.mention), std::string::npos) << e.what();
    }
    EXPECT_EQ(engine::ConnectionTextValue("/plain/path.mdb"), "/plain/path.mdb");
    EXPECT_EQ(engine::ConnectionTextValue("a;b"), "'a;b'");
    EXPECT_EQ(engine::ConnectionTextValue("it's"), "\"it's\"");
    EXPECT_EQ(engine::ConnectionTextValue("'\""), "'''\"'");
}

// A named pipe, a device or a folder in the database's place is refused by
// its kind before a byte is read: reading a pipe would wait for a writer
// that never comes. If that regresses, a writer turns up after 20 seconds so
// the test fails instead of hanging.
TEST_F(FileTest, SpecialFilesAreRefusedByTheirKind) {
    const std::string fifo = folder_.Folder() + "pipe.mdb";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string device = folder_.Folder() + "device.mdb";
    std::filesystem::create_symlink("/dev/zero", device);
    std::filesystem::create_directory(folder_.Folder() + "folder.mdb");
    std::atomic<bool> done = false;
    std::thread watchdog([&] {
        for (int i = 0; i < 200 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!done) ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    });
    const struct {
        std::string path;
        const char* kind;
    } cases[] = {{fifo, "a named pipe"},
                 {device, "a character device"},
                 {folder_.Folder() + "folder.mdb", "a folder"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const engine::ComError e = openError(jetText(c.path));
        EXPECT_EQ(e.jetError(), 3343);
        EXPECT_NE(e.description().value_or("").find(c.kind), std::string::npos) << e.what();
    }
    done = true;
    watchdog.join();
}

// Catalog rows with NULL where the engine always writes a value, as another
// tool can leave them: every reader raises the damaged-database error naming
// the table and column, and nothing ends the program.
TEST_F(FileTest, NullsInTheCatalogAreReportedAsDamage) {
    exec("CREATE TABLE t (a LONG PRIMARY KEY, b TEXT(10), c LONG REFERENCES t (a))");
    exec("ALTER DATABASE PASSWORD pw NULL");
    conn_->Close();
    // Loosens the catalog's NOT NULL columns first, as a tool rewriting the
    // catalog might, then damages a copy with one statement.
    int copies = 0;
    auto damaged = [&](const std::string& statement) {
        const std::string copy = folder_.Folder() + "damaged" + std::to_string(++copies) + ".mdb";
        std::filesystem::copy_file(path_, copy);
        sqlite3* db = nullptr;
        sqlite3_open(copy.c_str(), &db);
        const std::string loosen =
            "PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = replace(sql, 'NOT NULL', "
            "'') "
            "WHERE name LIKE 'MSys%'; PRAGMA writable_schema = OFF;";
        EXPECT_EQ(sqlite3_exec(db, loosen.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
        sqlite3_open(copy.c_str(), &db);
        EXPECT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
        return copy;
    };
    auto openAndRead = [](const std::string& path) {
        auto c = engine::Connection::create();
        c->Open(jetText(path, "pw"));
        c->Execute("SELECT * FROM t", nullptr, -1);
        auto catalog = engine::Catalog::create();
        catalog->putActiveConnection(jetText(path, "pw"));
        for (long i = 0; i < catalog->Tables().Count(); ++i) {
            auto table = catalog->Tables().Item(i);
            table->Columns().Count();
            table->Keys().Count();
            table->Indexes().Count();
        }
    };
    const struct {
        const char* damage;
        const char* mention;
    } cases[] = {
        {"UPDATE MSysDatabase SET Value = NULL WHERE Property = 'Format'",
         "MSysDatabase has no Value"},
        {"UPDATE MSysDatabase SET Value = NULL WHERE Property = 'PasswordHash'",
         "MSysDatabase has no Value"},
        {"UPDATE MSysColumns SET ColumnName = NULL WHERE ColumnName = 'b'",
         "MSysColumns has no ColumnName"},
        {"UPDATE MSysColumns SET Type = NULL WHERE ColumnName = 'b'", "MSysColumns has no Type"},
        {"UPDATE MSysColumns SET DefinedSize = NULL", "MSysColumns has no DefinedSize"},
        {"UPDATE MSysIndexes SET Columns = NULL", "MSysIndexes has no Columns"},
        {"UPDATE MSysRelationships SET KeyName = NULL", "MSysRelationships has no KeyName"},
        {"UPDATE MSysRelationships SET UpdateRule = NULL", "MSysRelationships has no UpdateRule"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        const std::string path = damaged(c.damage);
        try {
            openAndRead(path);
            ADD_FAILURE() << "read without an error";
        } catch (const engine::ComError& e) {
            EXPECT_EQ(e.jetError(), 3343) << e.what();
            EXPECT_NE(e.description().value_or("").find(c.mention), std::string::npos) << e.what();
        }
    }
    // A primary key has no related table: that NULL is no damage.
    openAndRead(damaged("SELECT 1"));
}

TEST_F(FileTest, BadFilesFailWithTheirOwnErrors) {
    const std::string dir = folder_.Folder();
    writeFile(dir + "empty.mdb", "");
    std::string noise(4096, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919) % 251);
    writeFile(dir + "random.mdb", noise);
    writeFile(dir + "text.mdb", "just some text\n");
    std::filesystem::create_directory(dir + "folder.mdb");
    std::filesystem::create_symlink(dir + "gone.mdb", dir + "dangling.mdb");
    {
        sqlite3* db = nullptr;
        sqlite3_open((dir + "plain.mdb").c_str(), &db);
        sqlite3_exec(db, "CREATE TABLE t (a)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    std::filesystem::copy_file(path_, dir + "truncated.mdb");
    std::filesystem::resize_file(dir + "truncated.mdb", 100);

    struct Case {
        std::string path;
        int jet;
        const char* mention;  // words the description must contain
    } cases[] = {
        {dir + "missing.mdb", 3024, "Could not find"},
        {dir + "empty.mdb", 3343, "Unrecognized"},
        {dir + "random.mdb", 3343, "Unrecognized"},
        {dir + "text.mdb", 3343, "Unrecognized"},
        {dir + "folder.mdb", 3343, "folder"},
        {dir + "dangling.mdb", 3024, "Could not find"},
        {dir + "plain.mdb", 3343, "no catalog"},
        {dir + "truncated.mdb", 3343, ""},
        // Genuine files of every generation: Jet 3, Jet 4, ACE 12 and ACE 14.
        {std::string(VANTOLY_GENUINE_DIR) + "/testV1997.mdb", 3343, "genuine Microsoft Jet"},
        {std::string(VANTOLY_GENUINE_DIR) + "/testV2000.mdb", 3343, "genuine Microsoft Jet"},
        {std::string(VANTOLY_GENUINE_DIR) + "/testV2007.accdb", 3343, "genuine Microsoft ACE"},
        {std::string(VANTOLY_GENUINE_DIR) + "/calcFieldTestV2010.accdb", 3343,
         "genuine Microsoft ACE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        engine::ComError e = openError(jetText(c.path));
        EXPECT_EQ(e.jetError(), c.jet) << e.what();
        EXPECT_NE(e.description().value_or("").find(c.mention), std::string::npos) << e.what();
    }
    EXPECT_EQ(static_cast<std::uint32_t>(
                  openError("Provider=SQLOLEDB; Data Source=" + path_ + ";").code()),
              0x800A0E7Au);
}

TEST_F(FileTest, PasswordGuardsOpeningAndCanBeChanged) {
    exec("ALTER DATABASE PASSWORD [se'cret] NULL");
    conn_->Close();
    EXPECT_EQ(static_cast<std::uint32_t>(openError(jetText(path_)).code()), 0x80040E4Du);
    EXPECT_EQ(openError(jetText(path_, "wrong")).jetError(), 3031);
    conn_->Open(jetText(path_, "se'cret"));  // a quote inside is taken as written
    EXPECT_EQ(refused("ALTER DATABASE PASSWORD newer wrong").jetError(), 3031);
    exec("ALTER DATABASE PASSWORD newer [se'cret]");
    conn_->Close();
    EXPECT_EQ(openError(jetText(path_, "se'cret")).jetError(), 3031);
    conn_->Open(jetText(path_, "newer"));
    exec("ALTER DATABASE PASSWORD NULL newer");
    conn_->Close();
    conn_->Open(jetText(path_));
    // The file never holds the password itself.
    std::ifstream in(path_, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.find("newer"), std::string::npos);
}

TEST_F(FileTest, TableDefinitionFacilityHonoursThePassword) {
    exec("CREATE TABLE t (a LONG)");
    exec("ALTER DATABASE PASSWORD pw NULL");
    auto dao = engine::DaoDatabase::create();
    EXPECT_THROW(dao->Open(path_, false, false, ";PWD=bad"), engine::ComError);
    dao->Open(path_, false, false, ";PWD=pw");
    EXPECT_THROW(dao->OpenTableDef("nowhere"), engine::ComError);
    auto def = dao->OpenTableDef("t");
    engine::DaoFieldInfo info;
    info.name = "b";
    info.type = engine::dbText;
    info.size = 10;
    def->CreateField(info);
    EXPECT_THROW(def->CreateField(info), engine::ComError);  // exists already
    def->Close();
    dao->Close();
    EXPECT_EQ(exec("INSERT INTO t (a, b) VALUES (1, 'x')"), 1);
}

// The ordinal position given with a field stays in the catalog through later
// changes of the table and a reopened file; a field that cannot be added
// changes no ordinal.
TEST_F(FileTest, FieldOrdinalPositionIsKeptInTheCatalog) {
    exec("CREATE TABLE t (a LONG, b TEXT(10))");
    auto dao = engine::DaoDatabase::create();
    dao->Open(path_, false, false, "");
    auto def = dao->OpenTableDef("t");
    engine::DaoFieldInfo info;
    info.type = engine::dbLong;
    info.size = 4;
    info.attributes = engine::dbFixedField;
    info.required = true;
    info.defaultValue = "0";
    info.ordinalPosition = 88;
    for (const char* name : {"c", "d"}) {
        info.name = name;
        def->CreateField(info);
    }
    info.name = "c";  // exists already: its ordinal position stays
    info.ordinalPosition = 5;
    EXPECT_THROW(def->CreateField(info), engine::ComError);
    def->Close();
    dao->Close();
    exec("ALTER TABLE t DROP COLUMN b");
    exec("CREATE UNIQUE INDEX ix ON t (c)");
    exec("ALTER TABLE t ADD COLUMN f TEXT(5)");
    conn_->Close();

    auto catalog = engine::Catalog::create();
    catalog->putActiveConnection(jetText(path_, ""));
    std::map<std::string, std::pair<int, int>> positions;  // name -> (physical, ordinal)
    for (long i = 0; i < catalog->Tables().Count(); ++i) {
        auto table = catalog->Tables().Item(i);
        if (table->Name() != "t") continue;
        for (long j = 0; j < table->Columns().Count(); ++j) {
            auto column = table->Columns().Item(j);
            positions[column->Name()] = {column->physicalPosition, column->ordinalPosition};
        }
    }
    const std::map<std::string, std::pair<int, int>> expected = {
        {"a", {1, 1}}, {"c", {2, 88}}, {"d", {3, 88}}, {"f", {4, 4}}};
    EXPECT_EQ(positions, expected);
}

TEST_F(FileTest, ClosedObjectsAndMissingRowsRaise) {
    auto rs = conn_->OpenSchema(engine::adSchemaTables);
    while (!rs->IsEOF()) rs->MoveNext();
    EXPECT_THROW(rs->Collect("TABLE_NAME"), engine::ComError);
    EXPECT_THROW(rs->Collect("NO_SUCH"), engine::ComError);
    rs->Close();
    EXPECT_THROW(rs->IsEOF(), engine::ComError);
    auto table = engine::Recordset::create();
    EXPECT_THROW(table->Open("nowhere", conn_), engine::ComError);
    exec("CREATE TABLE [my table] (a LONG)");
    table->Open("[my table]", conn_);
    EXPECT_TRUE(table->IsBOF());
    EXPECT_TRUE(table->IsEOF());
    conn_->Close();
    EXPECT_EQ(table->State(), engine::adStateClosed);  // closed with its connection
    EXPECT_EQ(static_cast<std::uint32_t>(refused("SELECT 1").code()), 0x800A0E78u);
    auto catalog = engine::Catalog::create();
    EXPECT_THROW(catalog->Tables(), engine::ComError);
}

TEST_F(FileTest, AnotherProcessWritingMakesWritesWaitThenFail) {
    exec("CREATE TABLE t (a LONG)");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(path_.c_str(), &db);
        sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
        char c = 'x';
        (void)!write(ready[1], &c, 1);
        sleep(5);
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    auto start = std::chrono::steady_clock::now();
    engine::ComError e = refused("INSERT INTO t VALUES (1)");
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(e.jetError(), 3045) << e.what();
    EXPECT_LT(waited, std::chrono::seconds(4));
    EXPECT_EQ(openError(jetText(path_)).jetError(), 3045);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(exec("INSERT INTO t VALUES (1)"), 1);
}

TEST_F(FileTest, CreatingOverAnExistingFileIsRefused) {
    EXPECT_THROW(engine::CreateDatabase(path_), engine::ComError);
    EXPECT_THROW(engine::CreateDatabase(folder_.Folder() + "no/such/dir/x.mdb"), engine::ComError);
}

TEST_F(FileTest, JournalIsNeverWriteAhead) {
    exec("CREATE TABLE t (a LONG)");
    exec("INSERT INTO t VALUES (1)");
    EXPECT_FALSE(std::filesystem::exists(path_ + "-wal"));
    EXPECT_FALSE(std::filesystem::exists(path_ + "-journal"));
}

// What counts as a transaction left beside the database: SQLite's own rule
// for a journal it would play back.
TEST(JournalBesideTest, OnlyAJournalSQLiteWouldPlayBackCounts) {
    testsupport::TempFolder folder;
    const std::string database = folder.Folder() + "host.mdb";
    struct Case {
        const char* suffix;
        std::string bytes;
        bool live;
    } cases[] = {
        {nullptr, "", false},
        {"-journal", "", false},
        {"-journal", std::string(512, '\0'), false},
        {"-journal", "\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", true},
        {"-wal", "", false},
        {"-wal", "\x37\x7f\x06\x82", true},
        {"-shm", "shared memory", false},
    };
    for (const Case& c : cases) {
        for (const char* suffix : {"-journal", "-wal", "-shm"})
            std::filesystem::remove(database + suffix);
        if (c.suffix != nullptr) std::ofstream(database + c.suffix, std::ios::binary) << c.bytes;
        std::string found;
        EXPECT_EQ(engine::HasJournalBeside(database, &found), c.live)
            << (c.suffix ? c.suffix : "none") << " " << c.bytes.size();
        if (c.live) {
            EXPECT_EQ(found, database + c.suffix);
        }
    }
}

// A long statement calls the connection's progress hook while it runs; what
// the hook raises ends the statement, changes nothing, and comes out as it
// was raised. The hook removed, the same statement runs untouched.
TEST_F(FileTest, ProgressHookRunsThroughALongStatementAndItsFailureEndsIt) {
    exec("CREATE TABLE t_n (n LONG)");
    for (int n = 0; n < 200; ++n) exec("INSERT INTO t_n VALUES (" + std::to_string(n) + ")");
    const std::string longStatement =
        "UPDATE t_n SET n = n + 1 WHERE n < (SELECT COUNT(*) FROM t_n AS a, t_n AS b)";
    int calls = 0;
    conn_->SetProgressHook([&calls] { ++calls; });
    exec(longStatement);
    EXPECT_GT(calls, 1) << "the hook runs through the statement, not once";
    EXPECT_EQ(value("SELECT MIN(n) FROM t_n").intValue(), 1);

    conn_->SetProgressHook([&calls] {
        if (++calls > 3) throw std::runtime_error("window gone");
    });
    calls = 0;
    try {
        exec(longStatement);
        ADD_FAILURE() << "the statement ran to its end";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "window gone");
    }
    EXPECT_EQ(value("SELECT MIN(n) FROM t_n").intValue(), 1)
        << "the stopped statement changed rows";

    conn_->SetProgressHook({});
    calls = 0;
    exec(longStatement);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(value("SELECT MIN(n) FROM t_n").intValue(), 2);
}

}  // namespace
