// What the engine cannot hold is named as what it is: a linked table with
// where it lives and its connection text (an ODBC link is no report), an
// attachment or multi-value field by its kind. No genuine file here has
// them, so the reader is stood in for by a script that sends a catalog made
// with the frames both sides share.
#include <sys/stat.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <map>
#include <set>

#include "engine/Engine.h"
#include "import/ImportSupport.h"
#include "mdbreader/Frames.h"
#include "support/FileContent.h"

namespace {

using namespace importtest;
using genuine::FieldType;

std::string CatalogFrames(const genuine::SourceCatalog& catalog) {
    std::string payload, frames, count;
    genuine::frames::EncodeCatalog(catalog, payload);
    genuine::frames::AppendFrame(frames, genuine::frames::FrameType::kCatalog, payload);
    // The rows of each table, asked for in turn: none.
    genuine::frames::Encoder(count).U64(0);
    for (std::size_t i = 0; i < catalog.tables.size(); ++i)
        genuine::frames::AppendFrame(frames, genuine::frames::FrameType::kTableEnd, count);
    return frames;
}

genuine::SourceColumn Column(const std::string& name, FieldType type) {
    genuine::SourceColumn column;
    column.name = name;
    column.type = type;
    return column;
}

// An ACE catalog of one table without rows.
genuine::SourceCatalog OneTable(const std::string& name,
                                std::vector<genuine::SourceColumn> columns) {
    genuine::SourceCatalog catalog;
    catalog.generation = "ACE";
    genuine::SourceTable table;
    table.name = name;
    table.columns = std::move(columns);
    catalog.tables.push_back(std::move(table));
    return catalog;
}

// Imports a genuine file's name with the reader replaced by a script that
// sends `catalog` (and no rows), with --json.
testsupport::ProcessResult ImportThroughStandIn(const testsupport::TempFolder& folder,
                                                const genuine::SourceCatalog& catalog) {
    const fs::path frames = folder.Path() / "catalog.frames";
    testsupport::WriteFileBytes(frames, CatalogFrames(catalog));
    const fs::path reader = folder.Path() / "reader";
    testsupport::WriteFileBytes(reader,
                                "#!/bin/sh\ncat '" + frames.string() + "' >&3\ncat >/dev/null\n");
    ::chmod(reader.c_str(), 0755);
    testsupport::ProcessOptions options;
    options.environment = {"VANTOLY_MDB_READER=" + reader.string()};
    return RunPatch({"--json", "import", Genuine("testV2007.accdb").string(),
                     (folder.Path() / "new.accdb").string()},
                    options);
}

// The "what" of every item left out, with its table and field.
std::vector<std::string> LeftOut(const std::string& out) {
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    std::vector<std::string> items;
    for (const auto& item : json.value("leftOut").toArray()) {
        const QJsonObject o = item.toObject();
        std::string where = o.value("table").toString().toStdString();
        if (!o.value("field").toString().isEmpty())
            where += "." + o.value("field").toString().toStdString();
        items.push_back((where.empty() ? "" : where + ": ") +
                        o.value("what").toString().toStdString());
    }
    return items;
}

TEST(SourceObjects, LinkedTablesAndComplexFieldsAreNamedAsWhatTheyAre) {
    genuine::SourceCatalog catalog =
        OneTable("Photos", {Column("Id", FieldType::kLong), Column("Pics", FieldType::kAttachment),
                            Column("Tags", FieldType::kMultiValue)});
    catalog.linkedTables = {
        {"Ordrar", true, "ODBC;DSN=Sales;DATABASE=shop", "", "dbo.Ordrar"},
        {"Kunder", false, ";DATABASE=C:\\data\\kunder.mdb", "C:\\data\\kunder.mdb", "Kunder"}};
    // A report of the same name as the ODBC link: both stay what they are.
    catalog.others = {{"report", "Ordrar"}};

    testsupport::TempFolder folder;
    const auto run = ImportThroughStandIn(folder, catalog);
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_EQ(
        LeftOut(run.out),
        (std::vector<std::string>{
            "Photos.Pics: Attachment field: the engine has no such field type.",
            "Photos.Tags: multi-value field: the engine has no such field type.",
            "The linked table 'Ordrar' is table 'dbo.Ordrar' of an ODBC data source, connection "
            "\"ODBC;DSN=Sales;DATABASE=shop\"; the engine holds no links to tables elsewhere, so "
            "neither the link nor its rows were imported.",
            "The linked table 'Kunder' is table 'Kunder' of another file (C:\\data\\kunder.mdb), "
            "connection \";DATABASE=C:\\data\\kunder.mdb\"; the engine holds no links to tables "
            "elsewhere, so neither the link nor its rows were imported.",
            "The report 'Ordrar' is not a table; the engine holds tables only."}))
        << run.out;
}

genuine::SourceQuery SelectQuery(const std::string& name, const std::string& table,
                                 const std::string& field, const std::string& where = "") {
    genuine::SourceQuery query{name, {{1, 1, {}, {}, {}}, {5, 0, table, {}, {}}}};
    query.rows.push_back({6, 0, {}, {}, field});
    if (!where.empty()) query.rows.push_back({8, 0, {}, {}, where});
    return query;
}

// Each query is saved and each select query run once: a query on a query
// the file lists after it comes over too, a declared parameter runs without
// a value, and one the engine cannot run is named with its reason, not kept.
TEST(SourceObjects, SavedQueriesAreSavedAndEverySelectQueryRuns) {
    genuine::SourceCatalog catalog = OneTable("T", {Column("a", FieldType::kLong)});
    genuine::SourceQuery withParameter = SelectQuery("WithParameter", "T", "T.a", "T.a>[Least]");
    withParameter.rows.push_back({2, 4, "Least", {}, {}});
    catalog.queries = {SelectQuery("OnBase", "Base", "Base.a"), SelectQuery("Base", "T", "T.a"),
                       SelectQuery("NoSuchField", "T", "T.nope"), withParameter};

    testsupport::TempFolder folder;
    const auto run = ImportThroughStandIn(folder, catalog);
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    std::set<std::string> created;
    for (const auto& name : json.value("queries").toArray())
        created.insert(name.toString().toStdString());
    EXPECT_EQ(created, (std::set<std::string>{"Base", "OnBase", "WithParameter"})) << run.out;
    const auto leftOut = LeftOut(run.out);
    ASSERT_EQ(leftOut.size(), 1u) << run.out;
    EXPECT_EQ(leftOut[0].rfind("The select query 'NoSuchField' ", 0), 0u) << leftOut[0];
    EXPECT_NE(leftOut[0].find("Its Jet text: SELECT T.nope FROM [T]"), std::string::npos)
        << leftOut[0];

    auto connection = engine::Connection::create();
    connection->Open(engine::DatabaseConnectionText(engine::kJetProvider,
                                                    (folder.Path() / "new.accdb").string(), ""));
    std::map<std::string, std::string> texts;
    for (const auto& query : connection->SavedQueries()) texts[query.name] = query.text;
    EXPECT_EQ(
        texts,
        (std::map<std::string, std::string>{
            {"Base", "SELECT T.a FROM [T]"},
            {"OnBase", "SELECT Base.a FROM [Base]"},
            {"WithParameter", "PARAMETERS [Least] Long; SELECT T.a FROM [T] WHERE T.a>[Least]"}}));
}

}  // namespace
