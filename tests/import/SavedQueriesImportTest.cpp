// The saved queries of a genuine file (queryTestV1997.mdb: one of every
// kind) through the real program: each comes over as the Jet text worked
// out by hand from its MSysQueries rows, or is named with that text and why.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <map>
#include <set>

#include "engine/Engine.h"
#include "import/ImportSupport.h"

namespace {

using namespace importtest;

// The text each query's rows describe (mdb-queries prints them without
// their joins, grouping and aliases).
const std::map<std::string, std::string> kExpected = {
    {"AppendQuery",
     "INSERT INTO [Table3] (col2, col2, col3) SELECT [Table1].[col2], [Table2].[col2], "
     "[Table2].[col3] FROM [Table3], [Table1] INNER JOIN [Table2] ON "
     "[Table1].[col1]=[Table2].[col1]"},
    {"CrosstabQuery",
     "TRANSFORM Count([Table2].[col2]) AS [CountOfcol2] SELECT Table2_1.col1, [Table2].[col3], "
     "Avg(Table2_1.col2) AS [AvgOfcol2] FROM ([Table1] INNER JOIN [Table2] ON "
     "[Table1].[col1]=[Table2].[col1]) INNER JOIN [Table2] AS [Table2_1] ON "
     "[Table2].[col1]=Table2_1.col3 WHERE ((([Table1].[col1])>\"10\") And ((Table2_1.col1) Is Not "
     "Null) And ((Avg(Table2_1.col2))>\"10\")) GROUP BY Table2_1.col1, [Table2].[col3] ORDER BY "
     "[Table2].[col3] PIVOT [Table1].[col1]"},
    {"DataDefinitionQuery", "CREATE TABLE Table5 (col1 CHAR, col2 CHAR)"},
    {"DeleteQuery",
     "DELETE Table1.col1, Table1.col2, Table1.col3 FROM [Table1] WHERE "
     "(((Table1.col1)>\"blah\"))"},
    {"MakeTableQuery",
     "SELECT Max(Table2.col1) AS [MaxOfcol1], Table2.col2, Table3.col2 INTO [Table4] FROM "
     "([Table2] INNER JOIN [Table1] ON Table2.col1 = Table1.col2) RIGHT JOIN [Table3] ON "
     "Table1.col2 = Table3.col3 GROUP BY Table2.col2, Table3.col2 HAVING "
     "(((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"))"},
    {"PassthroughQuery", "ALTER TABLE Table4 DROP COLUMN col5"},
    {"SelectQuery",
     "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3 FROM ([Table1] LEFT JOIN "
     "[Table3] ON Table1.col1 = Table3.col1) INNER JOIN [Table2] ON (Table3.col1 = Table2.col1) "
     "AND (Table3.col1 = Table2.col2) WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In "
     "(\"buzz\",\"bazz\"))) ORDER BY Table2.col1"},
    // The file's two parts (flag 1: UNION ALL), each as stored.
    {"UnionQuery",
     "Select Table1.col1, Table1.col2\r\nwhere Table1.col1 = \"foo\"\r\nUNION\r\nSelect "
     "Table2.col1, Table2.col2 UNION ALL Select Table3.col1, Table3.col2\r\nwhere Table3.col3 > "
     "\"blah\""},
    {"UpdateQuery",
     "PARAMETERS [User Name] Text (255); UPDATE [Table1] SET Table1.col1 = \"foo\", Table1.col2 = "
     "[Table2].[col3], [Table2].[col1] = [User Name] WHERE ((([Table2].[col1]) Is Not Null))"},
};

TEST(SavedQueriesImport, EveryKindComesOverAsItsRowsDescribeOrIsNamedWithItsText) {
    testsupport::TempFolder folder;
    const fs::path dest = folder.Path() / "queries.mdb";
    const auto run =
        RunPatch({"--json", "import", Genuine("queryTestV1997.mdb").string(), dest.string()});
    ASSERT_EQ(run.exitStatus, 1) << run.err;
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    std::map<std::string, std::string> leftOut;  // query name: what was said
    for (const auto& item : json.value("leftOut").toArray()) {
        const std::string what = item.toObject().value("what").toString().toStdString();
        for (const auto& [name, text] : kExpected)
            if (what.find("'" + name + "'") != std::string::npos) leftOut[name] = what;
    }
    std::set<std::string> created;
    for (const auto& name : json.value("queries").toArray())
        created.insert(name.toString().toStdString());
    auto connection = engine::Connection::create();
    connection->Open(engine::DatabaseConnectionText(engine::kJetProvider, dest.string(), ""));
    std::map<std::string, std::string> saved;
    for (const auto& query : connection->SavedQueries()) saved[query.name] = query.text;
    connection->Close();
    EXPECT_EQ(saved.size(), created.size());
    for (const auto& [name, text] : kExpected) {
        SCOPED_TRACE(name);
        EXPECT_NE(created.count(name) + leftOut.count(name), 2u) << "created and left out";
        if (created.count(name)) {
            EXPECT_EQ(saved[name], text);
            continue;
        }
        ASSERT_EQ(leftOut.count(name), 1u) << "neither created nor named";
        EXPECT_NE(leftOut[name].find(text), std::string::npos) << leftOut[name];
    }
    EXPECT_NE(leftOut["PassthroughQuery"].find("ODBC server (connection \"ODBC;\")"),
              std::string::npos)
        << leftOut["PassthroughQuery"];
}

}  // namespace
