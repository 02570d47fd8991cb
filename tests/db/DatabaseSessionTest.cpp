#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "db/ComErrorText.h"
#include "db/DatabaseSession.h"
#include "tests/db/LocaleGuard.h"
#include "tests/support/FakeMessageBoxes.h"
#include "tests/support/FakeSessionWindow.h"
#include "tests/support/TempFolder.h"

namespace {

using platform::MessageBoxRequest;
using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageOwner;

const std::string kTitle = "VantolyPatch";
const std::string kReleaseDate = "2020/05/24";
const std::string kConnectedTitle = "データベース更新(2020/05/24)";
const std::string kFailedTitle = "データベース接続に失敗しました - 対象DB名 ･･･ ";

struct ConnectionTextCase {
    const char* label;
    std::string extension;
    std::string password;
    std::optional<std::string> expected;
};

TEST(ConnectionText, ChosenByTheExtension) {
    const ConnectionTextCase cases[] = {
        {"mdb", ".mdb", "pw",
         "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/a.mdb;"
         "Jet OLEDB:Database Password='pw';"},
        {"accdb keeps the Jet password keyword", ".accdb", "",
         "Provider=Microsoft.ACE.OLEDB.12.0; Data Source=/d/a.accdb;"
         "Jet OLEDB:Database Password='';"},
        {"a single quote in the password: enclosed in double quotes", ".mdb", "it's",
         "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/a.mdb;"
         "Jet OLEDB:Database Password=\"it's\";"},
        {"both quotes: the enclosing one doubled", ".mdb", "'\"",
         "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/a.mdb;"
         "Jet OLEDB:Database Password='''\"';"},
        {"mdb is searched first, anywhere", ".accdb.mdb", "",
         "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/d/a.accdb.mdb;"
         "Jet OLEDB:Database Password='';"},
        {"capitals are not recognised", ".MDB", "", std::nullopt},
        {"neither", ".txt", "", std::nullopt},
    };
    for (const ConnectionTextCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(db::ConnectionText("/d/", "a", c.extension, c.password), c.expected);
    }
}

TEST(ExecuteStatement, WithoutAConnectionRaisesInvalidPointer) {
    try {
        db::ExecuteStatement(nullptr, "SELECT 1;");
        FAIL() << "no error raised";
    } catch (const engine::ComError& error) {
        EXPECT_EQ(static_cast<std::uint32_t>(error.code()), 0x80004003u);
        EXPECT_EQ(db::ComErrorText(error),
                  "Message : Invalid pointer\nCode : 0x80004003\nSource : null\n"
                  "Description : null\n");
    }
}

// A database file in a fresh folder, filled by the test through a connection
// of its own, and a session on it with a recording window and message boxes.
class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override { engine::CreateDatabase(DatabasePath()); }

    std::string DatabasePath() const { return folder_.Folder() + "target.mdb"; }

    void Run(std::initializer_list<std::string> statements) {
        auto connection = engine::Connection::create();
        connection->Open(*db::ConnectionText(folder_.Folder(), "target", ".mdb", ""));
        for (const std::string& statement : statements) {
            connection->Execute(statement);
        }
        connection->Close();
    }

    void OpenSession() { session_.OpenDatabase(folder_.Folder(), "target", ".mdb"); }

    // The codes of the error boxes shown, each with its owner.
    std::vector<std::pair<MessageOwner, std::string>> ShownCodes() const {
        std::vector<std::pair<MessageOwner, std::string>> codes;
        for (const MessageBoxRequest& box : boxes_.Shown()) {
            const std::size_t at = box.text.find("Code : ");
            codes.emplace_back(box.owner,
                               at == std::string::npos ? box.text : box.text.substr(at + 7, 10));
        }
        return codes;
    }

    testsupport::TempFolder folder_;
    testsupport::FakeSessionWindow window_;
    testsupport::FakeMessageBoxes boxes_;
    db::DatabaseSession session_{window_, boxes_, {kTitle, kReleaseDate}};
};

TEST_F(SessionTest, OpenShowsTitleButtonAndVersion) {
    Run({"CREATE TABLE t_db_ver (DBVerCode CURRENCY);", "INSERT INTO t_db_ver VALUES (1.25);"});
    OpenSession();
    EXPECT_TRUE(session_.Connected());
    ASSERT_TRUE(session_.SessionConnection());
    EXPECT_EQ(session_.SessionConnection()->State(), engine::adStateOpen);
    EXPECT_EQ(window_.Title, kConnectedTitle);
    EXPECT_TRUE(window_.UpdateButtonEnabled);
    EXPECT_EQ(window_.VersionText, "ver.1.25");
    EXPECT_TRUE(window_.StatesRefreshed.empty());
    EXPECT_TRUE(boxes_.Shown().empty());
    EXPECT_FALSE(session_.LastOpenErrorText());
}

TEST_F(SessionTest, UnsupportedExtensionChangesNothingButShowsABox) {
    Run({"CREATE TABLE t_db_ver (DBVerCode CURRENCY);"});
    OpenSession();
    window_ = {};
    session_.OpenDatabase(folder_.Folder(), "target", ".MDB");

    ASSERT_EQ(boxes_.Shown().size(), 1u);
    const MessageBoxRequest& box = boxes_.Shown()[0];
    EXPECT_EQ(box.text, "対応していない拡張子です：.MDB");
    EXPECT_EQ(box.caption, kTitle);
    EXPECT_EQ(box.buttons, MessageButtons::Ok);
    EXPECT_EQ(box.icon, MessageIcon::None);
    EXPECT_EQ(box.owner, MessageOwner::Window);
    EXPECT_TRUE(session_.Connected());  // unchanged, although the old connection is gone
    EXPECT_FALSE(window_.Title);
    EXPECT_TRUE(window_.StatesRefreshed.empty());
}

TEST_F(SessionTest, FailedOpenShowsTheFailureTitleWithoutABox) {
    session_.OpenDatabase(folder_.Folder(), "missing", ".mdb");
    EXPECT_FALSE(session_.Connected());
    ASSERT_TRUE(session_.SessionConnection());  // created, not open
    EXPECT_EQ(session_.SessionConnection()->State(), engine::adStateClosed);
    EXPECT_EQ(window_.Title, kFailedTitle + "missing.mdb");
    EXPECT_EQ(window_.StatesRefreshed, std::vector<db::ControlState>{db::ControlState::Idle});
    EXPECT_FALSE(window_.UpdateButtonEnabled);
    EXPECT_TRUE(boxes_.Shown().empty());
    ASSERT_TRUE(session_.LastOpenErrorText());
    EXPECT_NE(session_.LastOpenErrorText()->find("Code : 0x"), std::string::npos);
}

TEST_F(SessionTest, EngineThatCannotCreateAConnectionLeavesNone) {
    db::DatabaseSession session(
        window_, boxes_, {kTitle, kReleaseDate},
        []() -> std::shared_ptr<engine::Connection> { throw std::runtime_error("no engine"); });
    session.OpenDatabase(folder_.Folder(), "target", ".mdb");
    EXPECT_FALSE(session.SessionConnection());
    EXPECT_FALSE(session.Connected());
    EXPECT_EQ(window_.Title, kFailedTitle + "target.mdb");
    EXPECT_EQ(window_.StatesRefreshed.size(), 1u);
    EXPECT_TRUE(boxes_.Shown().empty());
}

// A failed open does not clear the flag, so it shows no failure title after a
// successful one.
TEST_F(SessionTest, FailedOpenAfterASuccessfulOneKeepsConnected) {
    Run({"CREATE TABLE t_db_ver (DBVerCode CURRENCY);"});
    OpenSession();
    session_.OpenDatabase(folder_.Folder(), "missing", ".mdb");
    EXPECT_TRUE(session_.Connected());
    EXPECT_EQ(window_.Title, kConnectedTitle);
    EXPECT_TRUE(window_.StatesRefreshed.empty());
}

// Connected stays true when the engine fails on a later open, so the close
// meets no connection object: it reports that instead of crashing.
TEST_F(SessionTest, CloseWithoutAConnectionObjectReportsInvalidPointer) {
    Run({"CREATE TABLE t_db_ver (DBVerCode CURRENCY);"});
    int created = 0;
    db::DatabaseSession session(window_, boxes_, {kTitle, kReleaseDate},
                                [&created]() -> std::shared_ptr<engine::Connection> {
                                    if (created++ > 0) throw std::runtime_error("no engine");
                                    return engine::Connection::create();
                                });
    session.OpenDatabase(folder_.Folder(), "target", ".mdb");
    session.OpenDatabase(folder_.Folder(), "target", ".mdb");
    ASSERT_TRUE(session.Connected());
    ASSERT_FALSE(session.SessionConnection());

    session.CloseDatabase();
    EXPECT_FALSE(session.Connected());
    using Shown = std::vector<std::pair<MessageOwner, std::string>>;
    EXPECT_EQ(ShownCodes(), (Shown{{MessageOwner::Window, "0x80004003"}}));
}

TEST_F(SessionTest, CloseTwiceDoesNothingTheSecondTime) {
    Run({"CREATE TABLE t_db_ver (DBVerCode CURRENCY);"});
    OpenSession();
    auto connection = session_.SessionConnection();
    session_.CloseDatabase();
    EXPECT_FALSE(session_.Connected());
    EXPECT_EQ(session_.SessionConnection(), connection);  // kept, closed
    EXPECT_EQ(connection->State(), engine::adStateClosed);
    session_.CloseDatabase();
    EXPECT_FALSE(session_.Connected());
    EXPECT_TRUE(boxes_.Shown().empty());
}

struct VersionCase {
    const char* label;
    std::string columnType;
    std::vector<std::string> values;  // as Jet SQL literals
    std::string expected;
};

class VersionTest : public SessionTest {
  protected:
    void ExpectVersions(const std::vector<VersionCase>& cases) {
        for (const VersionCase& c : cases) {
            SCOPED_TRACE(c.label);
            Run({"CREATE TABLE t_db_ver (DBVerCode " + c.columnType + ");"});
            for (const std::string& value : c.values) {
                Run({"INSERT INTO t_db_ver VALUES (" + value + ");"});
            }
            OpenSession();
            EXPECT_EQ(session_.ReadDatabaseVersion(), c.expected);
            EXPECT_TRUE(boxes_.Shown().empty());
            session_.CloseDatabase();
            Run({"DROP TABLE t_db_ver;"});
        }
    }
};

const std::vector<VersionCase> kVersionCases = {
    {"currency", "CURRENCY", {"1.20", "1.25"}, "1.25"},
    {"double keeps one decimal", "DOUBLE", {"1.3"}, "1.30"},
    {"double 1.25 reads 1.2", "DOUBLE", {"1.25"}, "1.20"},
    {"integer", "INTEGER", {"2"}, "2.00"},
    {"text", "TEXT(20)", {"'1.25'"}, "1.25"},
    {"text with letters after the number", "TEXT(20)", {"'1.25abc'"}, "1.25"},
    {"text without a number", "TEXT(20)", {"'abc'"}, "0.00"},
    {"only null", "CURRENCY", {"NULL"}, ""},
    {"no rows", "CURRENCY", {}, ""},
};

TEST_F(VersionTest, FromEachKindOfValue) {
    ExpectVersions(kVersionCases);
}

// A comma locale writes the currency 1.25 as "1,25"; it must still read 1.25,
// and the version must still be written with a full stop.
TEST_F(VersionTest, UnderACommaLocale) {
    dbtest::LocaleGuard locale(dbtest::kCommaLocale);
    ASSERT_LOCALE_ACTIVE(locale);
    ExpectVersions(kVersionCases);
}

TEST_F(SessionTest, MissingVersionTableShowsTheSystemModalBox) {
    OpenSession();
    ASSERT_TRUE(session_.Connected());
    boxes_.Clear();
    EXPECT_EQ(session_.ReadDatabaseVersion(), "");
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    const MessageBoxRequest& box = boxes_.Shown()[0];
    EXPECT_EQ(box.owner, MessageOwner::SystemModal);
    EXPECT_EQ(box.icon, MessageIcon::Warning);
    EXPECT_EQ(box.caption, kTitle);
    EXPECT_TRUE(box.text.starts_with("Message : "));
    EXPECT_TRUE(box.text.ends_with("\n\nSELECT MAX(DBVerCode) AS MaxDBVerCode FROM t_db_ver;"));
}

class ProbeTest : public SessionTest {
  protected:
    void SetUp() override {
        SessionTest::SetUp();
        Run({"CREATE TABLE plain (b TEXT(10), a INTEGER);", "CREATE TABLE [my table] (c INTEGER);",
             "CREATE TABLE [a;b] (c INTEGER);", "CREATE TABLE MSdata (x INTEGER);",
             "CREATE TABLE Ms_data (x INTEGER);", "CREATE TABLE [x~TMPCLP1] (x INTEGER);",
             "CREATE TABLE t_db_ver (DBVerCode CURRENCY);"});
        OpenSession();
        ASSERT_TRUE(session_.Connected());
        boxes_.Clear();
    }
};

TEST_F(ProbeTest, UserTablesLeaveOutMSAndClipboardNames) {
    std::vector<std::string> tables = {"stale"};
    session_.ListUserTables(tables);
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables,
              (std::vector<std::string>{"Ms_data", "a;b", "my table", "plain", "t_db_ver"}));
    EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(ProbeTest, NamesCompareExactly) {
    const std::pair<std::string, int> tableCases[] = {
        {"plain", 1},  {"Plain", 0}, {"my table", 1}, {"[my table]", 0},
        {"a;b", 1},    {"a", 0},     {"MSdata", 1},  // not filtered here
        {"nosuch", 0},
    };
    for (const auto& [name, expected] : tableCases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(session_.TableExists(name), expected);
    }

    struct ColumnCase {
        std::string table, column;
        int expected;
    };
    const ColumnCase columnCases[] = {
        {"plain", "a", 1}, {"plain", "b", 1},  {"plain", "A", 0},    {"plain", "zz", 0},
        {"Plain", "a", 0}, {"nosuch", "a", 0}, {"my table", "c", 1}, {"a;b", "c", 1},
    };
    for (const ColumnCase& c : columnCases) {
        SCOPED_TRACE(c.table + "." + c.column);
        EXPECT_EQ(session_.ColumnExists(c.table, c.column), c.expected);
    }
    EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(ProbeTest, FieldNamesInPhysicalOrder) {
    std::vector<std::string> fields = {"stale"};
    session_.ListFieldNames("plain", fields);
    EXPECT_EQ(fields, (std::vector<std::string>{"b", "a"}));
    session_.ListFieldNames("nosuch", fields);
    EXPECT_TRUE(fields.empty());
    EXPECT_TRUE(boxes_.Shown().empty());
}

// Closed: the catalog probes answer nothing without a box; the version probe
// runs its statement anyway and reports the engine's refusal.
TEST_F(ProbeTest, ClosedSessionAnswersNothing) {
    session_.CloseDatabase();
    std::vector<std::string> list = {"stale"};
    session_.ListUserTables(list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(session_.TableExists("plain"), 0);
    EXPECT_EQ(session_.ColumnExists("plain", "a"), 0);
    list = {"stale"};
    session_.ListFieldNames("plain", list);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(boxes_.Shown().empty());

    EXPECT_EQ(session_.ReadDatabaseVersion(), "");
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].owner, MessageOwner::SystemModal);
}

// No connection object: every probe reports the invalid-pointer error once
// (the column probes through their table check) and answers nothing.
TEST_F(SessionTest, AbsentConnectionReportsInvalidPointer) {
    std::vector<std::string> list = {"stale"};
    session_.ListUserTables(list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(session_.TableExists("plain"), 0);
    EXPECT_EQ(session_.ColumnExists("plain", "a"), 0);
    list = {"stale"};
    session_.ListFieldNames("plain", list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(session_.ReadDatabaseVersion(), "");

    using Shown = std::vector<std::pair<MessageOwner, std::string>>;
    EXPECT_EQ(ShownCodes(), (Shown{{MessageOwner::Window, "0x80004003"},
                                   {MessageOwner::Window, "0x80004003"},
                                   {MessageOwner::Window, "0x80004003"},
                                   {MessageOwner::Window, "0x80004003"},
                                   {MessageOwner::SystemModal, "0x80004003"}}));
    for (const MessageBoxRequest& box : boxes_.Shown()) {
        EXPECT_EQ(box.caption, kTitle);
        EXPECT_EQ(box.icon, MessageIcon::Warning);
        EXPECT_EQ(box.buttons, MessageButtons::Ok);
    }
}

TEST_F(ProbeTest, CollectTextReadsOneValue) {
    Run({"INSERT INTO plain VALUES ('x', NULL);"});
    auto recordset = session_.Execute("SELECT b, a FROM plain;");
    EXPECT_EQ(db::CollectText(*recordset, "b"), "x");
    EXPECT_EQ(db::CollectText(*recordset, "a"), std::nullopt);
    recordset->MoveNext();
    EXPECT_EQ(db::CollectText(*recordset, "b"), std::nullopt);  // at EOF
    recordset->Close();
}

}  // namespace
