// What the engine cannot hold is named as what it is: a linked table with
// where it lives and its connection text (an ODBC link is no report), an
// attachment or multi-value field by its kind. No genuine file here has
// them, so the reader is stood in for by a script that sends a catalog made
// with the frames both sides share.
#include <sys/stat.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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
    genuine::SourceCatalog catalog;
    catalog.generation = "ACE";
    genuine::SourceTable photos;
    photos.name = "Photos";
    photos.columns = {Column("Id", FieldType::kLong), Column("Pics", FieldType::kAttachment),
                      Column("Tags", FieldType::kMultiValue)};
    catalog.tables.push_back(photos);
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

}  // namespace
