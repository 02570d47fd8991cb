// Damaged genuine files through the real program: every kind of damage ends
// in a refusal that names what is missing, never a crash, a hang or exit 0;
// standard output holds the --json report alone, the source is unchanged and
// nothing is left behind, for the import and for the conversion in place.
// A reader that crashes, hangs, breaks its stream or prints on its standard
// output is stood in for by a small script in its place.
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>

#include "import/DamagedCopies.h"
#include "import/ImportSupport.h"

namespace {

using namespace importtest;

const std::string kReader = VANTOLY_MDB_READER;

// Standard output as one JSON object, or a failure naming what else is there.
QJsonObject OnlyJson(const std::string& out) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << "standard output: " << out;
    EXPECT_TRUE(document.isObject()) << out;
    return document.object();
}

struct Outcome {
    testsupport::ProcessResult run;
    QJsonObject json;
};

// Everything a refused import must leave true.
void ExpectRefused(const Outcome& o, const std::string& message) {
    EXPECT_EQ(o.run.signal, 0) << "the program ended by signal " << o.run.signal;
    EXPECT_EQ(o.run.exitStatus, 1) << o.run.err;
    EXPECT_NE(o.run.err.find(message), std::string::npos) << o.run.err;
    EXPECT_EQ(o.json.value("outcome").toString().toStdString(), "failed");
    EXPECT_NE(o.json.value("error").toString().toStdString().find(message), std::string::npos)
        << o.run.out;
}

class DamagedSource : public ::testing::TestWithParam<Damage> {
  protected:
    void SetUp() override {
        bytes_ = testsupport::ReadFileBytes(Genuine("indexTestV2003.mdb"));
        GetParam().apply(bytes_);
    }
    Outcome Run(const std::vector<std::string>& arguments,
                const std::vector<std::string>& environment = {}) {
        testsupport::ProcessOptions options;
        options.environment = environment;
        options.environment.push_back("TMPDIR=" + tmp_.Folder());
        Outcome o{RunPatch(arguments, options), {}};
        o.json = OnlyJson(o.run.out);
        EXPECT_TRUE(FolderEntries(tmp_.Path()).empty()) << "left in TMPDIR";
        return o;
    }
    std::string bytes_;
    testsupport::TempFolder tmp_;
};

TEST_P(DamagedSource, ImportIsRefusedNamingWhatIsMissing) {
    testsupport::TempFolder sourceFolder, destFolder;
    const fs::path source = sourceFolder.Path() / "source.mdb";
    testsupport::WriteFileBytes(source, bytes_);
    const Outcome o =
        Run({"--json", "import", source.string(), (destFolder.Path() / "new.mdb").string()});
    ExpectRefused(o, GetParam().message);
    EXPECT_TRUE(FolderEntries(destFolder.Path()).empty());
    EXPECT_EQ(FolderEntries(sourceFolder.Path()), std::vector<std::string>{"source.mdb"});
    EXPECT_EQ(testsupport::ReadFileBytes(source), bytes_);
}

TEST_P(DamagedSource, ConversionInPlaceKeepsTheGenuineFile) {
    testsupport::TempFolder folder;
    const fs::path working = folder.Path() / "host.mdb";
    testsupport::WriteFileBytes(working, bytes_);
    const Outcome o = Run({"--db", working.string(), "--yes", "--json", "import"});
    ExpectRefused(o, GetParam().message);
    for (const auto& name : FolderEntries(folder.Path())) {
        // The backup folder is made by every start with a database named.
        EXPECT_TRUE(name == "host.mdb" || name.rfind("データベース", 0) == 0)
            << "left behind: " << name;
    }
    EXPECT_EQ(testsupport::ReadFileBytes(working), bytes_);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamagedSource, ::testing::ValuesIn(DamagedCopies()),
                         [](const auto& info) { return std::string(info.param.name); });

// The reader replaced by a script, for what a damaged file can make libmdb
// do but no small file here does on demand.
struct ReaderFault {
    const char* name;
    std::string script;  // after "#!/bin/sh\n"; $READER is the real reader
    std::vector<std::string> environment;
    std::string message;
};

void PrintTo(const ReaderFault& f, std::ostream* out) {
    *out << f.name;
}

class ReaderFaults : public ::testing::TestWithParam<ReaderFault> {};

TEST_P(ReaderFaults, EndInARefusalNamingWhatWasRead) {
    const ReaderFault& f = GetParam();
    testsupport::TempFolder folder, tmp;
    const fs::path reader = folder.Path() / "reader";
    testsupport::WriteFileBytes(reader, "#!/bin/sh\nREADER=" + kReader + "\n" + f.script);
    ::chmod(reader.c_str(), 0755);
    const fs::path source = folder.Path() / "source.mdb";
    const std::string bytes = testsupport::ReadFileBytes(Genuine("indexTestV2003.mdb"));
    testsupport::WriteFileBytes(source, bytes);
    testsupport::ProcessOptions options;
    options.environment = f.environment;
    options.environment.push_back("VANTOLY_MDB_READER=" + reader.string());
    options.environment.push_back("TMPDIR=" + tmp.Folder());
    const auto run = RunPatch(
        {"--json", "import", source.string(), (folder.Path() / "new.mdb").string()}, options);
    ExpectRefused({run, OnlyJson(run.out)}, f.message);
    EXPECT_EQ(FolderEntries(folder.Path()), (std::vector<std::string>{"reader", "source.mdb"}));
    EXPECT_TRUE(FolderEntries(tmp.Path()).empty());
    EXPECT_EQ(testsupport::ReadFileBytes(source), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Stood, ReaderFaults,
    ::testing::Values(
        ReaderFault{"Crashes", "kill -SEGV $$\n", {}, "the reader ended with SIGSEGV, a crash"},
        ReaderFault{"CrashesInATable",
                    // The catalog goes through, the first table's rows end in a crash.
                    // (An asynchronous command's standard input is /dev/null
                    // unless given; the requests come on this one's.)
                    "exec 4<&0\n\"$READER\" \"$@\" <&4 & pid=$!\nsleep 0.5\nkill -SEGV $pid\n"
                    "wait $pid\nkill -SEGV $$\n",
                    {"VANTOLY_MDB_READER_STALL=Table1"},
                    "ended with SIGSEGV, a crash while reading the rows of table 'Table1'"},
        ReaderFault{"HangsInTheCatalog",
                    "exec \"$READER\" \"$@\"\n",
                    {"VANTOLY_MDB_READER_STALL=catalog", "VANTOLY_READER_TIMEOUT=1"},
                    "took more than 1 s, which is more than a file of this size needs, and was "
                    "stopped while reading the catalog (MSysObjects)"},
        ReaderFault{"HangsInATable",
                    "exec \"$READER\" \"$@\"\n",
                    {"VANTOLY_MDB_READER_STALL=Table2", "VANTOLY_READER_TIMEOUT=1"},
                    "and was stopped while reading the rows of table 'Table2'"},
        ReaderFault{"BreaksTheStream",
                    "printf 'garbage that is no frame' >&3\n",
                    {},
                    "the reader sent a broken stream"},
        ReaderFault{"PrintsEndlesslyAndHangs",
                    // Gigabytes of warnings on both outputs: read, counted,
                    // capped, never on ours; the watchdog ends it.
                    "echo 'warning: page 7 does not match its map'\n"
                    "yes '0000: 41 42 43 44' >&2\n",
                    {"VANTOLY_READER_TIMEOUT=1"},
                    "line(s) of warnings, the first: \"warning: page 7 does not match its map\""}),
    [](const auto& info) { return std::string(info.param.name); });

// A catalog the fuzzer found that makes libmdb allocate without end (about
// 1 GB a second): the reader meets its memory limit and the import says so.
TEST(ReaderLimits, LibmdbGrowingWithoutEndIsRefused) {
    testsupport::TempFolder folder, tmp;
    const fs::path source = folder.Path() / "source.mdb";
    const std::string bytes = testsupport::ReadFileBytes(
        fs::path(VANTOLY_FUZZ_CORPUS_DIR) / "genuine" / "catalog-grows-without-end.mdb");
    testsupport::WriteFileBytes(source, bytes);
    testsupport::ProcessOptions options;
    options.environment = {"TMPDIR=" + tmp.Folder()};
    const auto run = RunPatch(
        {"--json", "import", source.string(), (folder.Path() / "new.mdb").string()}, options);
    ExpectRefused({run, OnlyJson(run.out)}, "could not be read: the reader ");
    EXPECT_NE(run.err.find("while reading the catalog (MSysObjects)"), std::string::npos)
        << run.err;
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"source.mdb"});
    EXPECT_TRUE(FolderEntries(tmp.Path()).empty());
    EXPECT_EQ(testsupport::ReadFileBytes(source), bytes);
}

// Once the file is open the reader gives up the rest: the seccomp filter
// is in place wherever the kernel offers seccomp (Landlock is reported, and
// refused by some kernels).
TEST(ReaderConfinement, SeccompIsInPlaceWhereTheKernelHasIt) {
    if (!fs::exists("/proc/sys/kernel/seccomp/actions_avail"))
        GTEST_SKIP() << "this kernel has no seccomp";
    testsupport::ProcessOptions options;
    options.environment = {"VANTOLY_MDB_READER_SAY_CONFINEMENT=1"};
    // Its frames go nowhere: only what it says on standard error counts.
    const auto run = testsupport::RunProcess({"/bin/sh", "-c", "exec \"$0\" \"$1\" 3>/dev/null",
                                              kReader, Genuine("testV1997.mdb").string()},
                                             options);
    EXPECT_NE(run.err.find("confined: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(", seccomp\n"), std::string::npos) << run.err;
}

// Standard output of the reader (libmdb's hex dumps) never reaches ours:
// the report counts it as warnings.
TEST(ReaderOutput, IsCountedAndKeptOffStandardOutput) {
    testsupport::TempFolder folder;
    const fs::path reader = folder.Path() / "reader";
    testsupport::WriteFileBytes(
        reader, "#!/bin/sh\necho '0000: 53 74 61 6e  Stan'\nexec " + kReader + " \"$@\"\n");
    ::chmod(reader.c_str(), 0755);
    testsupport::ProcessOptions options;
    options.environment = {"VANTOLY_MDB_READER=" + reader.string()};
    const auto run = RunPatch({"--json", "import", Genuine("indexTestV2003.mdb").string(),
                               (folder.Path() / "new.mdb").string()},
                              options);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    const QJsonObject json = OnlyJson(run.out);
    EXPECT_EQ(json.value("outcome").toString().toStdString(), "imported");
    EXPECT_EQ(json.value("sourceWarnings").toDouble(), 1.0);
    EXPECT_NE(run.err.find("1 line(s) of warnings while reading the source, the first: \"0000: "
                           "53 74 61 6e  Stan\""),
              std::string::npos)
        << run.err;
}

// Ctrl+C while the reader is busy: the reader is stopped, the run ends as
// any stopped import, nothing is left.
TEST(ReaderStop, AnInterruptStopsTheReader) {
    testsupport::TempFolder folder, tmp;
    testsupport::ProcessOptions options;
    options.environment = {"VANTOLY_MDB_READER_STALL=Table2", "TMPDIR=" + tmp.Folder()};
    options.killAfter = std::chrono::milliseconds(700);
    options.killSignal = SIGINT;
    const auto run = RunPatch({"--json", "import", Genuine("indexTestV2003.mdb").string(),
                               (folder.Path() / "new.mdb").string()},
                              options);
    EXPECT_EQ(run.exitStatus, 130) << run.err;
    EXPECT_EQ(OnlyJson(run.out).value("outcome").toString().toStdString(), "interrupted");
    EXPECT_TRUE(FolderEntries(folder.Path()).empty());
    EXPECT_TRUE(FolderEntries(tmp.Path()).empty());
}

}  // namespace
