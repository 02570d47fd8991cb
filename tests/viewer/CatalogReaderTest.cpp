#include <gtest/gtest.h>

#include "tests/viewer/ViewerDatabase.h"
#include "viewer/CatalogReader.h"

namespace {

using platform::MessageIcon;
using viewer::CatalogReadOutcome;
using viewer::CDataColumn;
using viewer::CDataForeignKey;
using viewer::CDataIndex;

// Fields compared as one text each, so a failure shows the whole record.
std::string Describe(const CDataColumn& c) {
    return c.name + "|" + c.typeName + "|" + c.sizeText + "|" + c.requiredText + "|" + c.keyKind +
           "|" + c.defaultText;
}
std::string Describe(const CDataIndex& i) {
    return i.tableName + "|" + i.name + "|" + i.columnList + "|" + i.uniqueText + "|" +
           i.sequenceText;
}
std::string Describe(const CDataForeignKey& k) {
    return k.columnName + "|" + k.keyName + "|" + k.relatedTable + "|" + k.relatedColumn;
}
template <typename Record>
std::vector<std::string> DescribeAll(const std::vector<Record>& records) {
    std::vector<std::string> texts;
    for (const Record& record : records) texts.push_back(Describe(record));
    return texts;
}
using Texts = std::vector<std::string>;

class CatalogReaderTest : public ::testing::Test {
  protected:
    viewertest::ViewerDatabase database_;
    viewer::TableMap tableMap_;
};

// The catalog lists columns, keys and indexes by name; the model must come
// out in physical field order with every type, size and key role.
TEST_F(CatalogReaderTest, ReadsColumnsKeysAndIndexesInPhysicalOrder) {
    database_.Run({
        "CREATE TABLE parent (ID LONG, Code TEXT(10), CONSTRAINT pk_parent PRIMARY KEY (ID, Code))",
        "CREATE TABLE kid (KID COUNTER PRIMARY KEY, ID LONG NOT NULL, Code TEXT(10), "
        "Price CURRENCY, Flag YESNO, Note MEMO, Amount DOUBLE, Born DATETIME, "
        "CONSTRAINT fk_kid FOREIGN KEY (ID, Code) REFERENCES parent (ID, Code))",
        // Both start with ID, as does the foreign key's own index: the one
        // the catalog lists last (by name) is kept.
        "CREATE INDEX idx_code ON kid (Code, ID)",
        "CREATE UNIQUE INDEX idx_id ON kid (ID)",
        "CREATE TABLE MSG_LOG (a LONG)",
    });
    EXPECT_EQ(database_.Read(tableMap_), CatalogReadOutcome::Complete);
    EXPECT_TRUE(database_.Boxes().Shown().empty());
    EXPECT_EQ(database_.Cursor().Shown, (Texts{"wait", "arrow"}));

    Texts names;
    for (const auto& [name, table] : tableMap_) names.push_back(name);
    EXPECT_EQ(names, (Texts{"kid", "parent"}));  // MSG_LOG and the MSys tables are left out

    const viewer::CDataADOXTable& kid = *tableMap_.at("kid");
    EXPECT_EQ(kid.name, "kid");
    EXPECT_EQ(DescribeAll(kid.columns), (Texts{
                                            "KID|INTEGER|4|YES|Primary Key|",
                                            "ID|INTEGER|4|YES|Foreign Key|",
                                            "Code|VARCHAR|10||Foreign Key|",
                                            "Price||8|||",  // currency has no type name
                                            "Flag|adBoolean|2|||",
                                            "Note|adLongVarWChar||||",  // size 0: no size text
                                            "Amount|DOUBLE|8|||",
                                            "Born|DATE|8|||",
                                        }));
    EXPECT_EQ(DescribeAll(kid.indexes), (Texts{
                                            "kid|PrimaryKey|KID|YES|",
                                            "kid|idx_id|ID|YES|",
                                            "kid|idx_code|Code, ID||",
                                        }));
    EXPECT_EQ(DescribeAll(kid.foreignKeys), (Texts{
                                                "ID|fk_kid|parent|ID",
                                                "Code|fk_kid|parent|Code",
                                            }));

    const viewer::CDataADOXTable& parent = *tableMap_.at("parent");
    EXPECT_EQ(DescribeAll(parent.columns),
              (Texts{"ID|INTEGER|4|YES|Primary Key|", "Code|VARCHAR|10|YES|Primary Key|"}));
    EXPECT_EQ(DescribeAll(parent.indexes), (Texts{"parent|pk_parent|ID, Code|YES|"}));
    EXPECT_TRUE(parent.foreignKeys.empty());
}

// A column in both a primary and a foreign key takes the role of the key the
// catalog lists later (keys come by name) and keeps its foreign-key record.
TEST_F(CatalogReaderTest, ColumnInPrimaryAndForeignKeyTakesTheLaterKeysRole) {
    struct Case {
        const char* primaryKeyName;
        const char* foreignKeyName;
        const char* expectedKind;
    };
    const Case cases[] = {
        {"pk_line", "fk_line", "Primary Key"},  // fk_line is read first
        {"a_pk_line", "z_fk_line", "Foreign Key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expectedKind);
        viewertest::ViewerDatabase database;
        database.Run({
            "CREATE TABLE orders (OrderID LONG CONSTRAINT pk_orders PRIMARY KEY)",
            std::string("CREATE TABLE line (OrderID LONG, LineNo LONG, CONSTRAINT ") +
                c.primaryKeyName + " PRIMARY KEY (OrderID, LineNo), CONSTRAINT " +
                c.foreignKeyName + " FOREIGN KEY (OrderID) REFERENCES orders (OrderID))",
        });
        viewer::TableMap tableMap;
        ASSERT_EQ(database.Read(tableMap), CatalogReadOutcome::Complete);
        const viewer::CDataADOXTable& line = *tableMap.at("line");
        ASSERT_EQ(line.columns.size(), 2u);
        EXPECT_EQ(line.columns[0].keyKind, c.expectedKind);
        EXPECT_EQ(line.columns[1].keyKind, "Primary Key");
        EXPECT_EQ(DescribeAll(line.foreignKeys),
                  (Texts{"OrderID|" + std::string(c.foreignKeyName) + "|orders|OrderID"}));
    }
}

// A table whose name holds a blank is read like any other, and so are the
// tables after it in the catalog's order.
TEST_F(CatalogReaderTest, ATableWhoseNameHoldsABlankIsReadWhole) {
    database_.Run({
        "CREATE TABLE alpha (a LONG PRIMARY KEY, b TEXT(5))",
        "CREATE TABLE [my table] ([a b] LONG PRIMARY KEY, [c;d] LONG)",
        "CREATE TABLE zulu (z LONG)",
    });
    tableMap_.emplace("stale", std::make_unique<viewer::CDataADOXTable>("stale"));

    EXPECT_EQ(database_.Read(tableMap_), CatalogReadOutcome::Complete);

    EXPECT_TRUE(database_.Boxes().Shown().empty());
    EXPECT_EQ(database_.Cursor().Shown, (Texts{"wait", "arrow"}));
    ASSERT_EQ(tableMap_.size(), 3u);  // "stale" went with the earlier read
    EXPECT_EQ(tableMap_.at("alpha")->columns.size(), 2u);
    const viewer::CDataADOXTable& blank = *tableMap_.at("my table");
    ASSERT_EQ(blank.columns.size(), 2u);
    EXPECT_EQ(blank.columns[0].name, "a b");
    EXPECT_EQ(blank.columns[1].name, "c;d");
    EXPECT_EQ(blank.indexes.size(), 1u);
    EXPECT_EQ(tableMap_.at("zulu")->columns.size(), 1u);
}

// A target that cannot be opened ends the read with the engine's error text;
// a password-protected one is read with its password.
TEST_F(CatalogReaderTest, UnopenableTargetShowsTheEngineError) {
    database_.Run({"CREATE TABLE alpha (a LONG)"});
    database_.Target().FileName = "missing";
    EXPECT_EQ(database_.Read(tableMap_), CatalogReadOutcome::Stopped);
    ASSERT_EQ(database_.Boxes().Shown().size(), 1u);
    EXPECT_EQ(database_.Boxes().Shown()[0].text.rfind("Message : ", 0), 0u);
    EXPECT_NE(database_.Boxes().Shown()[0].text.find("\nCode : 0x"), std::string::npos);
    EXPECT_EQ(database_.Boxes().Shown()[0].icon, MessageIcon::Stop);
    EXPECT_TRUE(tableMap_.empty());
    EXPECT_EQ(database_.Cursor().Shown, (Texts{"wait", "arrow"}));
}

TEST(CatalogReaderPassword, ReadsAProtectedDatabaseWithItsPassword) {
    viewertest::ViewerDatabase database("secret");
    database.Run({"CREATE TABLE alpha (a LONG)"});
    viewer::TableMap tableMap;
    EXPECT_EQ(database.Read(tableMap), CatalogReadOutcome::Complete);
    EXPECT_EQ(tableMap.count("alpha"), 1u);

    database.Target().Password = "wrong";
    EXPECT_EQ(database.Read(tableMap), CatalogReadOutcome::Stopped);
    EXPECT_TRUE(tableMap.empty());
}

TEST(TypeNames, FollowTheTypeTable) {
    const std::pair<int, const char*> cases[] = {
        {0, "adEmpty"},
        {3, "INTEGER"},
        {5, "DOUBLE"},
        {6, ""},
        {7, "DATE"},
        {8, "adDBTimeStamp"},
        {11, "adBoolean"},
        {64, ""},
        {133, "DATETIME"},
        {135, "adDBTimeStamp"},
        {201, ""},
        {202, "VARCHAR"},
        {203, "adLongVarWChar"},
        {204, ""},
        {205, ""},
        {-1, ""},
    };
    for (const auto& [type, name] : cases) {
        EXPECT_EQ(viewer::TypeNameOf(type), name) << type;
    }
}

}  // namespace
