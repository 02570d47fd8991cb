#include <gtest/gtest.h>

#include "db/PasswordMask.h"
#include "engine/Engine.h"
#include "tests/support/TempFolder.h"

namespace {

using db::MaskPasswords;

struct Case {
    const char* text;
    const char* masked;
};

void ExpectMasked(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(MaskPasswords(c.text), c.masked) << c.text;
        EXPECT_EQ(MaskPasswords(c.masked), c.masked) << "masking twice changes nothing: " << c.text;
    }
}

TEST(MaskPasswordsTest, HidesEachPasswordArgumentInEveryForm) {
    ExpectMasked({
        Case{"ALTER DATABASE PASSWORD neu alt", "ALTER DATABASE PASSWORD *** ***"},
        Case{"alter  database\tPassword\r\n s3cret NULL;",
             "alter  database\tPassword\r\n *** NULL;"},
        Case{"ALTER DATABASE PASSWORD NULL [old pw]", "ALTER DATABASE PASSWORD NULL ***"},
        Case{"ALTER DATABASE PASSWORD 'it''s' \"say \"\"hi\"\"\";",
             "ALTER DATABASE PASSWORD *** ***;"},
        Case{"ALTER DATABASE PASSWORD [a]b] 12345", "ALTER DATABASE PASSWORD *** ***"},
        Case{"ALTER DATABASE PASSWORD 'unclosed old;", "ALTER DATABASE PASSWORD ***"},
        Case{"ALTER DATABASE PASSWORD 秘密;ALTER DATABASE PASSWORD x 秘密",
             "ALTER DATABASE PASSWORD ***;ALTER DATABASE PASSWORD *** ***"},
        Case{"Query :\nALTER DATABASE PASSWORD pw1 pw2\n\nErrorLog :",
             "Query :\nALTER DATABASE PASSWORD *** ***\n\nErrorLog :"},
        // Not the statement: other words in between, or part of a longer word.
        Case{"ALTER TABLE PASSWORD ADD x TEXT", "ALTER TABLE PASSWORD ADD x TEXT"},
        Case{"XALTER DATABASE PASSWORD a b", "XALTER DATABASE PASSWORD a b"},
        Case{"SELECT Password FROM users", "SELECT Password FROM users"},
    });
}

TEST(MaskPasswordsTest, HidesTheConnectionTextsPassword) {
    ExpectMasked({
        Case{"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/a.mdb;Jet OLEDB:Database "
             "Password='pw';",
             "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/a.mdb;Jet OLEDB:Database "
             "Password=***;"},
        Case{"jet oledb:database password = \"it's;x\"; Mode=Share",
             "jet oledb:database password = ***; Mode=Share"},
        Case{"Jet OLEDB:Database Password=bare pw;Data Source=a",
             "Jet OLEDB:Database Password=***;Data Source=a"},
        Case{"Jet OLEDB:Database Password='o'neil';\nnext line 'x';",
             "Jet OLEDB:Database Password=***;\nnext line 'x';"},
        Case{";PWD=geheim", ";PWD=***"},
        Case{"PWD = geheim;x=1", "PWD = ***;x=1"},
        Case{"Jet OLEDB:Database Password='';", "Jet OLEDB:Database Password=***;"},
        // A word ending in PWD, or a column compared in a statement, is no connection key.
        Case{"SELECT * FROM t WHERE OLDPWD = 1", "SELECT * FROM t WHERE OLDPWD = 1"},
        Case{"WHERE PWD = 1", "WHERE PWD = 1"},
    });
}

TEST(MaskPasswordsTest, ErrorQuotingPartOfAPasswordHidesThePart) {
    const std::string statement = "ALTER DATABASE PASSWORD \"Zwei-Wort\" Eins-Wort;";
    EXPECT_EQ(
        db::MaskPasswordsOfStatement(
            "Characters found after end of SQL statement at position 50: '-Wort;'.", statement),
        "Characters found after end of SQL statement at position 50: '***;'.");
    EXPECT_EQ(db::MaskPasswordsOfStatement("near 'PASSWORD \"Zwei-Wo'", statement),
              "near 'PASSWORD ***'");
    EXPECT_EQ(db::MaskPasswordsOfStatement("Syntax error in ALTER TABLE.", "ALTER TABLE t ADD x"),
              "Syntax error in ALTER TABLE.");
}

// The engine is the judge of what a password argument is: every statement
// here really changes the password, and its masked text holds neither one.
TEST(MaskPasswordsTest, EveryPasswordTheEngineTakesIsHidden) {
    testsupport::TempFolder folder;
    const std::string path = folder.Folder() + "pw.mdb";
    engine::CreateDatabase(path);
    auto connection = engine::Connection::create();
    connection->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";");
    struct Step {
        std::string statement;
        std::string newPassword;  // as the engine takes it
        std::string oldPassword;
    };
    for (const Step& step : {
             Step{"ALTER DATABASE PASSWORD Alpha1 NULL", "Alpha1", ""},
             Step{"alter database password\n[B r a v o] Alpha1", "B r a v o", "Alpha1"},
             Step{"ALTER DATABASE PASSWORD 'Ch''arlie' [B r a v o];", "Ch'arlie", "B r a v o"},
             Step{"Alter Database Password \"De;lta\" 'Ch''arlie'", "De;lta", "Ch'arlie"},
             Step{"ALTER DATABASE PASSWORD 31415926 \"De;lta\"", "31415926", "De;lta"},
             Step{"ALTER DATABASE PASSWORD NULL 31415926", "", "31415926"},
         }) {
        connection->Execute(step.statement);
        const std::string masked = MaskPasswords(step.statement);
        for (const std::string& password : {step.newPassword, step.oldPassword}) {
            if (password.empty()) continue;
            EXPECT_EQ(masked.find(password), std::string::npos) << masked;
        }
    }
}

}  // namespace
