// The run's temporaries: held ones survive another run's sweep, unheld ones
// of this program's names do not, and the registry removes what a stopped
// run still had.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/Temporaries.h"
#include "support/FileContent.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

TEST(Temporaries, SweepPassesOverHeldOnesAndTakesTheRest) {
    testsupport::TempFolder folder;
    const std::string destination = folder.Folder() + "db.mdb";
    platform::NewFile live(destination, 0600, "copying");
    ASSERT_TRUE(live.Status().Succeeded());
    const std::string left = folder.Folder() + ".db.mdb.copying-Left01";
    testsupport::WriteFileBytes(left, "a killed run's copy");
    fs::create_directory(folder.Folder() + "vantoly-dry-run-Held01");
    platform::HeldTemporary heldFolder;
    ASSERT_TRUE(heldFolder.Hold(folder.Folder() + "vantoly-dry-run-Held01",
                                platform::TemporaryKind::Folder));

    platform::RemoveStaleTemporaries(folder.Folder());
    EXPECT_TRUE(fs::exists(live.TemporaryPath()));
    EXPECT_TRUE(fs::exists(folder.Folder() + "vantoly-dry-run-Held01"));
    EXPECT_FALSE(fs::exists(left));

    heldFolder.Release();
    platform::RemoveStaleTemporaries(folder.Folder());
    EXPECT_FALSE(fs::exists(folder.Folder() + "vantoly-dry-run-Held01"));
}

// A name that no longer stands for the file this run made (a sweep took it
// and someone made another) is not taken as this run's.
TEST(Temporaries, HoldRefusesANameThatChangedFiles) {
    testsupport::TempFolder folder;
    const std::string path = folder.Folder() + ".db.mdb.import-Ab12Cd";
    const int made = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(made, 0);
    ::unlink(path.c_str());
    platform::HeldTemporary held;
    EXPECT_FALSE(held.Hold(path, platform::TemporaryKind::File, made));
    testsupport::WriteFileBytes(path, "another file");
    EXPECT_FALSE(held.Hold(path, platform::TemporaryKind::File, made));
    ::close(made);
    EXPECT_TRUE(held.Hold(path, platform::TemporaryKind::File));
}

TEST(Temporaries, RegistryRemovesWhatIsStillRegistered) {
    testsupport::TempFolder folder;
    const std::string file = folder.Folder() + ".db.mdb.creating-Ab12Cd";
    const std::string kept = folder.Folder() + ".done.mdb.creating-Ab12Cd";
    const std::string dir = folder.Folder() + "vantoly-dry-run-Ab12Cd/";
    testsupport::WriteFileBytes(file, "db");
    testsupport::WriteFileBytes(file + "-journal", "journal");
    testsupport::WriteFileBytes(kept, "put in place");
    fs::create_directory(dir);
    testsupport::WriteFileBytes(dir + "copy.mdb", "copy");

    platform::TemporaryRegistry registry;
    registry.Add(file, platform::TemporaryKind::File);
    registry.Add(dir, platform::TemporaryKind::Folder);
    registry.Remove(registry.Add(kept, platform::TemporaryKind::File));
    registry.RemoveAll();
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(file + "-journal"));
    EXPECT_FALSE(fs::exists(dir));
    EXPECT_TRUE(fs::exists(kept));
}

}  // namespace
