// A genuine file whose rows break its own primary key (Jet enforced it, but a
// damaged or hand-edited file may not hold to it): the import keeps every
// row, leaves the key out and names the repeated values.
#include <cstring>

#include "engine/Engine.h"
#include "import/ImportSupport.h"

namespace {

using namespace importtest;

TEST(GenuineImport, RowsThatBreakTheirPrimaryKeyAreKeptAndNamed) {
    // Table1 of indexTestV2003.mdb: the row (id 2, otherfk1 1, otherfk2 11)
    // is stored once, its fixed fields side by side; its id becomes 1, the
    // id of the row before it.
    std::string bytes = testsupport::ReadFileBytes(Genuine("indexTestV2003.mdb"));
    const std::int32_t row[] = {2, 1, 11};
    const std::string pattern(reinterpret_cast<const char*>(row), sizeof row);
    const std::size_t at = bytes.find(pattern);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(bytes.find(pattern, at + 1), std::string::npos);
    const std::int32_t one = 1;
    std::memcpy(bytes.data() + at, &one, sizeof one);

    testsupport::TempFolder folder;
    const fs::path source = folder.Path() / "broken.mdb";
    testsupport::WriteFileBytes(source, bytes);
    const std::string exported = MdbTool("mdb-export", {source.string(), "Table1"});
    ASSERT_NE(exported.find("\n1,1,11,\"baz11-2\""), std::string::npos) << exported;

    const fs::path dest = folder.Path() / "new.mdb";
    const auto run = RunPatch({"import", source.string(), dest.string()});
    ASSERT_EQ(run.exitStatus, 1) << run.out << run.err;
    EXPECT_NE(run.out.find("index 'PrimaryKey' on (id) was not created, the rows are kept: the "
                           "source's rows repeat these values (values, times): (1, 2)"),
              std::string::npos)
        << run.out;

    auto connection = engine::Connection::create();
    connection->Open(engine::DatabaseConnectionText(engine::kJetProvider, dest.string(), ""));
    std::size_t lines = 0;
    for (char c : exported) lines += c == '\n';
    auto count = connection->Execute("SELECT COUNT(*) AS N FROM Table1", nullptr, -1);
    EXPECT_EQ(count->Collect("N").intValue(), static_cast<long>(lines - 1));  // less the heading
    auto twice = connection->Execute("SELECT COUNT(*) AS N FROM Table1 WHERE id = 1", nullptr, -1);
    EXPECT_EQ(twice->Collect("N").intValue(), 2);
    // No primary key in the catalog: the rows would break it.
    auto catalog = engine::Catalog::create();
    catalog->putActiveConnection(
        engine::DatabaseConnectionText(engine::kJetProvider, dest.string(), ""));
    bool primary = false;
    for (long i = 0; i < catalog->Tables().Count(); ++i) {
        auto table = catalog->Tables().Item(i);
        if (table->Name() != "Table1") continue;
        for (long k = 0; k < table->Indexes().Count(); ++k)
            primary |= table->Indexes().Item(k)->PrimaryKey();
    }
    EXPECT_FALSE(primary);
}

}  // namespace
