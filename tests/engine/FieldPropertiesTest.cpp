// Field properties beyond a field's type: Allow Zero Length, descriptions,
// calculated fields and GenGUID() defaults, each held through every way a
// row comes in and every later change of the table.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "EngineFixture.h"

namespace {

using enginetest::EngineFixture;

class FieldProperties : public EngineFixture {
  protected:
    void set(const std::string& table, const std::string& field, const std::string& property,
             const engine::Variant& value) {
        engine::SetFieldProperty(*conn_, table, field, property, value);
    }

    std::shared_ptr<engine::Table> table(const std::string& name) {
        auto catalog = engine::Catalog::create();
        catalog->putActiveConnection(enginetest::jetText(path_));
        for (long i = 0; i < catalog->Tables().Count(); ++i) {
            auto t = catalog->Tables().Item(i);
            if (t->Name() == name) return t;
        }
        ADD_FAILURE() << "no table " << name;
        return nullptr;
    }

    std::shared_ptr<engine::Column> column(const std::string& tableName, const std::string& name) {
        auto t = table(tableName);
        for (long i = 0; t && i < t->Columns().Count(); ++i) {
            if (t->Columns().Item(i)->Name() == name) return t->Columns().Item(i);
        }
        ADD_FAILURE() << "no field " << name;
        return std::make_shared<engine::Column>();
    }

    void reopen() {
        conn_->Close();
        conn_ = engine::Connection::create();
        conn_->Open(enginetest::jetText(path_));
    }

    // Every way a zero-length text can arrive in t.s.
    void expectZeroLengthRefused(const std::string& context) {
        SCOPED_TRACE(context);
        exec("INSERT INTO t (id, s) VALUES (80, 'x')");  // for the updates to meet
        for (const char* sql : {"INSERT INTO t (id, s) VALUES (90, '')", "UPDATE t SET s = ''",
                                "UPDATE t SET s = Left(s, 0)"}) {
            const engine::ComError e = refused(sql);
            EXPECT_EQ(e.jetError(), engine::jet::kZeroLengthString) << sql;
            EXPECT_EQ(e.description().value_or(""), "Field 't.s' cannot be a zero-length string.")
                << sql;
        }
        try {
            engine::RowInserter(*conn_, "t", {"id", "s"})
                .Insert({engine::Variant::fromI4(91), engine::Variant::fromText("")});
            ADD_FAILURE() << "the bulk loader took a zero-length text";
        } catch (const engine::ComError& e) {
            EXPECT_EQ(e.jetError(), engine::jet::kZeroLengthString);
        }
        EXPECT_EQ(value("SELECT COUNT(*) FROM t WHERE s = ''").intValue(), 0);
        exec("DELETE FROM t WHERE id = 80");
    }
};

TEST_F(FieldProperties, AllowZeroLengthNoRefusesTheEmptyTextWhereverItComesFrom) {
    exec("CREATE TABLE t (id LONG PRIMARY KEY, s TEXT(10), m MEMO, n LONG)");
    exec("INSERT INTO t (id, s, m) VALUES (1, 'a', 'b')");
    EXPECT_TRUE(column("t", "s")->allowZeroLength);  // as DDL makes a field
    set("t", "s", "Jet OLEDB:Allow Zero Length", engine::Variant::fromBool(false));
    set("t", "m", "AllowZeroLength", engine::Variant::fromText("No"));
    expectZeroLengthRefused("set");
    EXPECT_EQ(refused("UPDATE t SET m = ''").jetError(), engine::jet::kZeroLengthString);
    // Null and any text are still taken.
    EXPECT_EQ(exec("INSERT INTO t (id, s, m) VALUES (2, Null, Null)"), 1);
    EXPECT_EQ(exec("INSERT INTO t (id, s) VALUES (3, ' ')"), 1);
    EXPECT_FALSE(column("t", "s")->allowZeroLength);
    EXPECT_EQ(engine::FieldProperty(*column("t", "m"), "Jet OLEDB:Allow Zero Length").intValue(),
              0);

    // The rule outlives a rebuild of the table, other changes, and a reopening.
    exec("ALTER TABLE t ALTER COLUMN n DOUBLE");
    exec("ALTER TABLE t ADD COLUMN extra TEXT(5)");
    exec("CREATE INDEX ix ON t (s)");
    exec("ALTER TABLE t DROP COLUMN extra");
    reopen();
    expectZeroLengthRefused("after changes and reopening");

    // Yes again takes it.
    set("t", "s", "Jet OLEDB:Allow Zero Length", engine::Variant::fromBool(true));
    EXPECT_EQ(exec("INSERT INTO t (id, s) VALUES (4, '')"), 1);

    // Rows already holding one keep the rule from being set, and nothing changes.
    const engine::ComError e = [&] {
        try {
            set("t", "s", "Jet OLEDB:Allow Zero Length", engine::Variant::fromBool(false));
        } catch (const engine::ComError& error) {
            return error;
        }
        return engine::ComError(0, std::nullopt, std::nullopt);
    }();
    EXPECT_EQ(e.jetError(), engine::jet::kZeroLengthString);
    EXPECT_TRUE(column("t", "s")->allowZeroLength);
    EXPECT_EQ(value("SELECT COUNT(*) FROM t").intValue(), 4);

    // A dropped and remade table starts without the rule.
    set("t", "m", "AllowZeroLength", engine::Variant::fromBool(true));
    exec("DROP TABLE t");
    exec("CREATE TABLE t (id LONG, s TEXT(10))");
    EXPECT_EQ(exec("INSERT INTO t (id, s) VALUES (1, '')"), 1);
}

// The import lifts the rule when a source's rows break it, and its loader
// goes on with the same prepared insert over the rebuilt table.
TEST_F(FieldProperties, ABulkLoadGoesOnAfterTheRuleIsLifted) {
    exec("CREATE TABLE t (id LONG, s TEXT(10))");
    set("t", "s", "AllowZeroLength", engine::Variant::fromBool(false));
    engine::RowInserter loader(*conn_, "t", {"id", "s"});
    loader.Insert({engine::Variant::fromI4(1), engine::Variant::fromText("a")});
    const std::vector<engine::Variant> empty = {engine::Variant::fromI4(2),
                                                engine::Variant::fromText("")};
    EXPECT_THROW(loader.Insert(empty), engine::ComError);
    set("t", "s", "AllowZeroLength", engine::Variant::fromBool(true));
    loader.Insert(empty);
    EXPECT_EQ(value("SELECT COUNT(*) FROM t").intValue(), 2);
    EXPECT_EQ(value("SELECT COUNT(*) FROM t WHERE s = ''").intValue(), 1);
}

TEST_F(FieldProperties, TableDefinitionFacilityKeepsAllowZeroLength) {
    exec("CREATE TABLE t (id LONG)");
    auto dao = engine::DaoDatabase::create();
    dao->Open(path_);
    auto def = dao->OpenTableDef("t");
    engine::DaoFieldInfo info;
    info.type = engine::dbText;
    info.size = 10;
    info.name = "s";  // allowZeroLength false, as DAO makes a field
    def->CreateField(info);
    info.name = "open";
    info.allowZeroLength = true;
    info.ordinalPosition = 7;
    def->CreateField(info);
    dao->Close();
    expectZeroLengthRefused("DAO field");
    EXPECT_EQ(exec("INSERT INTO t (id, [open]) VALUES (1, '')"), 1);
}

TEST_F(FieldProperties, DescriptionsAreKeptInTheCatalog) {
    exec("CREATE TABLE t (id LONG, s TEXT(10))");
    set("t", "", "Description", engine::Variant::fromText("Customers, one per row"));
    set("t", "s", "description", engine::Variant::fromText("Name as printed on the invoice"));
    exec("ALTER TABLE t ALTER COLUMN id DOUBLE");  // rebuilds the table
    reopen();
    EXPECT_EQ(table("t")->Description().value_or("(none)"), "Customers, one per row");
    EXPECT_EQ(column("t", "s")->description.value_or("(none)"), "Name as printed on the invoice");
    EXPECT_EQ(engine::FieldProperty(*column("t", "s"), "Description").text(),
              "Name as printed on the invoice");
    EXPECT_TRUE(engine::FieldProperty(*column("t", "id"), "Description").isNull());

    set("t", "s", "Description", engine::Variant::null());
    EXPECT_FALSE(column("t", "s")->description);

    // What cannot be set is refused with Jet's item-not-found.
    for (const auto& [tableName, field, property] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"t", "nowhere", "Description"}, {"t", "s", "Caption"}, {"t", "", "Expression"}}) {
        try {
            set(tableName, field, property, engine::Variant::fromText("x"));
            ADD_FAILURE() << field << " " << property;
        } catch (const engine::ComError& e) {
            EXPECT_EQ(e.jetError(), engine::jet::kItemNotFound) << field << " " << property;
        }
    }
}

// A loader sets a table's properties in one call (one rebuild); one it
// cannot take leaves the table as it was, the others with it.
TEST_F(FieldProperties, SeveralPropertiesAtOnceArriveWholeOrNotAtAll) {
    exec("CREATE TABLE t (id LONG, s TEXT(10), total CURRENCY)");
    const engine::Variant text = engine::Variant::fromText("kept");
    const std::vector<engine::FieldPropertyValue> refusedOne{
        {"", "Description", text},
        {"s", "AllowZeroLength", engine::Variant::fromBool(false)},
        {"total", "Expression", engine::Variant::fromText("[id] +")}};
    EXPECT_THROW(engine::SetFieldProperties(*conn_, "t", refusedOne), engine::ComError);
    EXPECT_FALSE(table("t")->Description());
    EXPECT_TRUE(column("t", "s")->allowZeroLength);
    EXPECT_EQ(exec("INSERT INTO t (id, s) VALUES (1, '')"), 1);
    exec("DELETE FROM t");

    engine::SetFieldProperties(*conn_, "t",
                               {{"", "Description", text},
                                {"s", "AllowZeroLength", engine::Variant::fromBool(false)},
                                {"s", "Description", text},
                                {"total", "Expression", engine::Variant::fromText("[id]*2")}});
    reopen();
    EXPECT_EQ(table("t")->Description().value_or("(none)"), "kept");
    EXPECT_EQ(column("t", "s")->description.value_or("(none)"), "kept");
    EXPECT_EQ(refused("INSERT INTO t (id, s) VALUES (1, '')").jetError(),
              engine::jet::kZeroLengthString);
    exec("INSERT INTO t (id, s) VALUES (3, 'x')");
    EXPECT_EQ(value("SELECT total FROM t").toDouble(), 6.0);
}

// An empty table is made again rather than copied; what its definition
// holds beyond the fields stays: the furthest auto-number, its indexes.
TEST_F(FieldProperties, AnEmptiedTableKeepsItsAutoNumberAndIndexesWhenItsRulesChange) {
    exec("CREATE TABLE t (id COUNTER PRIMARY KEY, s TEXT(10))");
    exec("CREATE UNIQUE INDEX u ON t (s)");
    for (const char* s : {"a", "b", "c"})
        exec(std::string("INSERT INTO t (s) VALUES ('") + s + "')");
    exec("DELETE FROM t");
    set("t", "s", "AllowZeroLength", engine::Variant::fromBool(false));
    exec("INSERT INTO t (s) VALUES ('d')");
    EXPECT_EQ(value("SELECT id FROM t").intValue(), 4);
    EXPECT_THROW(exec("INSERT INTO t (s) VALUES ('d')"), engine::ComError);
    EXPECT_EQ(refused("INSERT INTO t (s) VALUES ('')").jetError(), engine::jet::kZeroLengthString);
}

TEST_F(FieldProperties, CalculatedFieldsAreComputedOnReadAndRefuseWrites) {
    exec(
        "CREATE TABLE p (id LONG PRIMARY KEY, FirstName TEXT(50), LastName TEXT(50), "
        "Salary CURRENCY, LastFirst TEXT(255), NameLength LONG, Monthly CURRENCY, "
        "IsRich YESNO, Weekly DOUBLE)");
    exec("INSERT INTO p (id, FirstName, LastName, Salary) VALUES (1, 'Bruce', 'Wayne', 1000000)");
    struct Case {
        const char* field;
        const char* expression;
    };
    const Case cases[] = {
        {"LastFirst", "[LastName] & \", \" & [FirstName]"},
        {"NameLength", "Len([LastFirst])"},
        {"Monthly", "[Salary]/12"},
        {"IsRich", "[Salary]>100000"},
        {"Weekly", "[Salary]/52"},
    };
    for (const auto& c : cases)
        set("p", c.field, "Expression", engine::Variant::fromText(c.expression));
    exec("INSERT INTO p (id, FirstName, LastName, Salary) VALUES (2, 'Bart', 'Simpson', -1)");
    exec("INSERT INTO p (id, FirstName) VALUES (3, 'John')");
    reopen();

    auto row = [&](int id) {
        auto rs = conn_->Execute(
            "SELECT LastFirst, NameLength, Monthly, IsRich, Weekly FROM p WHERE id = " +
                std::to_string(id),
            nullptr, -1);
        std::vector<engine::Variant> values;
        for (long i = 0; i < 5; ++i) values.push_back(rs->Collect(i));
        return values;
    };
    auto first = row(1);  // there before the expressions: computed all the same
    EXPECT_EQ(first[0].text(), "Wayne, Bruce");
    EXPECT_EQ(first[1].intValue(), 12);
    EXPECT_EQ(first[2].vt(), engine::VT_CY);
    EXPECT_EQ(first[2].currency(), 833333333);  // 83333.3333
    EXPECT_EQ(first[3].vt(), engine::VT_BOOL);
    EXPECT_EQ(first[3].intValue(), -1);
    EXPECT_NEAR(first[4].doubleValue(), 1000000.0 / 52, 1e-9);
    auto second = row(2);
    EXPECT_EQ(second[0].text(), "Simpson, Bart");
    EXPECT_EQ(second[3].intValue(), 0);
    auto third = row(3);  // Nulls go through the expression as Jet's operators take them
    EXPECT_EQ(third[0].text(), ", John");
    EXPECT_TRUE(third[2].isNull());
    EXPECT_TRUE(third[3].isNull());

    // A change of the fields it reads changes the value.
    exec("UPDATE p SET LastName = 'Kent' WHERE id = 1");
    EXPECT_EQ(value("SELECT LastFirst FROM p WHERE id = 1").text(), "Kent, Bruce");
    EXPECT_EQ(value("SELECT COUNT(*) FROM p WHERE IsRich").intValue(), 1);
    EXPECT_EQ(column("p", "LastFirst")->expression.value_or(""), cases[0].expression);

    // Writes to a calculated field are refused.
    for (const char* sql : {"INSERT INTO p (id, LastFirst) VALUES (9, 'x')",
                            "UPDATE p SET Monthly = 1", "UPDATE p SET IsRich = False"}) {
        const engine::ComError e = refused(sql);
        EXPECT_EQ(e.jetError(), engine::jet::kFieldNotUpdatable) << sql;
    }
    EXPECT_THROW(engine::RowInserter(*conn_, "p", {"id", "Weekly"})
                     .Insert({engine::Variant::fromI4(9), engine::Variant::fromR8(1)}),
                 engine::ComError);

    // An expression that does not translate, or names no field of the
    // table, is refused and leaves the field as it was.
    for (const char* expression : {"[Salary] +", "[Nowhere] * 2"}) {
        EXPECT_THROW(set("p", "Weekly", "Expression", engine::Variant::fromText(expression)),
                     engine::ComError)
            << expression;
        EXPECT_EQ(column("p", "Weekly")->expression.value_or(""), "[Salary]/52");
    }

    // Null makes it an ordinary field again, which takes writes.
    set("p", "Weekly", "Expression", engine::Variant::null());
    EXPECT_EQ(exec("UPDATE p SET Weekly = 7"), 3);
    EXPECT_FALSE(column("p", "Weekly")->expression);
}

TEST_F(FieldProperties, GenGuidDefaultGivesEachNewRowItsOwnGuid) {
    exec("CREATE TABLE g (id LONG, r GUID DEFAULT GenGUID())");
    for (int i = 0; i < 3; ++i) exec("INSERT INTO g (id) VALUES (" + std::to_string(i) + ")");
    engine::RowInserter(*conn_, "g", {"id"}).Insert({engine::Variant::fromI4(9)});
    std::set<std::string> guids;
    auto rs = conn_->Execute("SELECT r FROM g", nullptr, -1);
    const std::regex form(
        "\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
    for (; !rs->IsEOF(); rs->MoveNext()) {
        const std::string guid(rs->Collect(0L).text());
        EXPECT_TRUE(std::regex_match(guid, form)) << guid;
        guids.insert(guid);
    }
    EXPECT_EQ(guids.size(), 4u);
    // A GUID literal finds its row; a given value is kept.
    const std::string some = *guids.begin();
    EXPECT_EQ(value("SELECT COUNT(*) FROM g WHERE r = {guid " + some + "}").intValue(), 1);
    exec("INSERT INTO g (id, r) VALUES (5, {guid {00000000-0000-0000-0000-000000000001}})");
    EXPECT_EQ(value("SELECT r FROM g WHERE id = 5").text(),
              "{00000000-0000-0000-0000-000000000001}");
    EXPECT_EQ(column("g", "r")->defaultValue.value_or(""), "GenGUID()");
}

}  // namespace
