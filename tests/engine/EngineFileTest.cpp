// Opening files: connection texts, passwords, and every kind of file that is
// not a database of ours.
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "EngineFixture.h"

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
        c->Open(std::string("Provider=") + provider + "; Data Source=" + path_ + ";Jet OLEDB:Database Password='';");
        EXPECT_EQ(c->State(), engine::adStateOpen);
        c->Close();
        EXPECT_EQ(c->State(), engine::adStateClosed);
    }
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
        {std::string(VANTOLY_SHARED_TESTDATA) + "/../../../../shared/testdata/jet4-empty.mdb", 3343, "Jet"},
        {std::string(VANTOLY_SHARED_TESTDATA) + "/../../../../shared/testdata/ace12-empty.accdb", 3343, "ACE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        if (c.path.find("shared/testdata") != std::string::npos && !std::filesystem::exists(c.path)) continue;
        engine::ComError e = openError(jetText(c.path));
        EXPECT_EQ(e.jetError(), c.jet) << e.what();
        EXPECT_NE(e.description().value_or("").find(c.mention), std::string::npos) << e.what();
    }
    EXPECT_EQ(static_cast<std::uint32_t>(openError("Provider=SQLOLEDB; Data Source=" + path_ + ";").code()),
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

}  // namespace
