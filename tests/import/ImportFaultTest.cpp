// The import refused or failed by the real program: a cut or damaged genuine
// file, a file that is not Access at all, a destination that is there or
// that cannot be made, a full disk. Every case: a message that says what
// happened, no destination and no temporary file left, the source unchanged.
#include <fstream>

#include "import/ImportSupport.h"

namespace {

using namespace importtest;

constexpr std::size_t kJet4Page = 4096;

// A copy of a genuine file with one of Table1's data pages changed (page 18
// of compIndexTestV2000.mdb holds 151 of its 512 rows).
std::string WithPage18(const std::function<void(std::string&, std::size_t)>& change) {
    std::string bytes = testsupport::ReadFileBytes(Genuine("compIndexTestV2000.mdb"));
    change(bytes, 18 * kJet4Page);
    return bytes;
}

struct FaultCase {
    const char* name;
    std::function<std::string()> sourceBytes;  // written to the source file
    std::string message;                       // part of what the program says
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

class BadSourceTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(BadSourceTest, IsRefusedWithNoDestinationLeft) {
    const FaultCase& c = GetParam();
    testsupport::TempFolder sourceFolder;
    testsupport::TempFolder destFolder;
    const fs::path source = sourceFolder.Path() / "source.mdb";
    const std::string bytes = c.sourceBytes();
    testsupport::WriteFileBytes(source, bytes);
    const fs::path dest = destFolder.Path() / "new.mdb";

    const auto run = RunPatch({"import", source.string(), dest.string()});
    EXPECT_EQ(run.exitStatus, 1) << run.out << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_TRUE(FolderEntries(destFolder.Path()).empty())
        << "left behind: " << FolderEntries(destFolder.Path()).size();
    EXPECT_EQ(testsupport::ReadFileBytes(source), bytes) << "the source's bytes changed";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BadSourceTest,
    ::testing::Values(
        FaultCase{
            "CutMidPage",
            [] { return testsupport::ReadFileBytes(Genuine("testV2000.mdb")).substr(0, 1000000); },
            "is cut short"},
        FaultCase{"CutAtAPageBoundary",
                  [] {
                      return testsupport::ReadFileBytes(Genuine("compIndexTestV2000.mdb"))
                          .substr(0, 20 * kJet4Page);
                  },
                  "is shorter than its pages: table 'Table1'"},
        FaultCase{"DataPageZeroed",
                  [] {
                      return WithPage18([](std::string& b, std::size_t at) {
                          b.replace(at, kJet4Page, kJet4Page, '\0');
                      });
                  },
                  "is damaged: the page map of table 'Table1' names page 18, which holds no rows"},
        FaultCase{"DataPageRowsOverwritten",
                  [] {
                      return WithPage18([](std::string& b, std::size_t at) {
                          b.replace(at + 14, kJet4Page - 14, kJet4Page - 14, '\xA5');
                      });
                  },
                  "is damaged: table 'Table1'"},
        FaultCase{"PlainText", [] { return std::string("Name,Amount\nA,1\n"); },
                  "is not a genuine Access database"},
        FaultCase{"EmptyFile", [] { return std::string(); }, "is not a genuine Access database"},
        FaultCase{"ThisProgramsOwnDatabase",
                  [] {
                      testsupport::TempFolder folder;
                      const fs::path made = folder.Path() / "own.mdb";
                      testsupport::ProcessOptions options;
                      options.input = "CREATE TABLE t (a LONG);\n";
                      const auto created =
                          RunPatch({"--db", made.string(), "query", "--create"}, options);
                      EXPECT_EQ(created.exitStatus, 0) << created.err;
                      return testsupport::ReadFileBytes(made);
                  },
                  "already a database of this program"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST(ImportDestination, AnExistingFileIsNeverReplaced) {
    testsupport::TempFolder folder;
    const fs::path dest = folder.Path() / "there.mdb";
    testsupport::WriteFileBytes(dest, "the operator's file");
    const auto run = RunPatch({"import", Genuine("testV2000.mdb").string(), dest.string()});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find("already exists"), std::string::npos) << run.err;
    EXPECT_EQ(testsupport::ReadFileBytes(dest), "the operator's file");
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"there.mdb"});
}

TEST(ImportDestination, AFolderThatIsAPlainFileFailsCleanly) {
    testsupport::TempFolder folder;
    testsupport::WriteFileBytes(folder.Path() / "plain", "not a folder");
    const fs::path dest = folder.Path() / "plain" / "new.mdb";
    const auto run = RunPatch({"import", Genuine("testV2000.mdb").string(), dest.string()});
    EXPECT_EQ(run.exitStatus, 1) << run.out;
    EXPECT_NE(run.err.find("cannot be written"), std::string::npos) << run.err;
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"plain"});
    EXPECT_EQ(testsupport::ReadFileBytes(folder.Path() / "plain"), "not a folder");
}

TEST(ImportDestination, AFullDiskAtAnyMomentLeavesNothing) {
    // Limits from the new file's very first page to past the rows of all 512:
    // the write fails in the catalog, the rows or the index that follows them.
    const fs::path source = Genuine("compIndexTestV2000.mdb");
    const std::string before = testsupport::ReadFileBytes(source);
    for (rlim_t limit : {rlim_t{2048}, rlim_t{16384}, rlim_t{40960}, rlim_t{65536}}) {
        SCOPED_TRACE(limit);
        testsupport::TempFolder folder;
        testsupport::ProcessOptions options;
        options.fileSizeLimit = limit;
        const auto run =
            RunPatch({"import", source.string(), (folder.Path() / "new.mdb").string()}, options);
        EXPECT_EQ(run.exitStatus, 1) << run.out << run.err;
        EXPECT_NE(run.err.find("Nothing was left there"), std::string::npos) << run.err;
        EXPECT_TRUE(FolderEntries(folder.Path()).empty());
    }
    EXPECT_EQ(testsupport::ReadFileBytes(source), before);
}

TEST(ImportArguments, OneOrThreePathsAreBadArguments) {
    // None is the conversion in place; two are SOURCE and DEST.
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"import", "only-source.mdb"},
          std::vector<std::string>{"import", "a", "b", "c"}}) {
        const auto run = RunPatch(arguments);
        EXPECT_EQ(run.exitStatus, 2) << run.err;
        EXPECT_NE(run.err.find("import"), std::string::npos) << run.err;
    }
}

}  // namespace
