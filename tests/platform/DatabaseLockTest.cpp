#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/DatabaseLock.h"
#include "support/FileContent.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using platform::DatabaseLock;
using platform::DatabaseLockPath;
using Result = DatabaseLock::Result;

// Every name of one database gives one lock; another database another.
TEST(DatabaseLockPathTest, EveryPathToOneDatabaseGivesOneLock) {
    testsupport::TempFolder folder;
    const fs::path real = folder.Path() / "sites" / "a";
    fs::create_directories(real);
    fs::create_directory_symlink(real, folder.Path() / "link");
    testsupport::WriteFileBytes((real / "db.mdb").string(), "x");
    fs::create_symlink(real / "db.mdb", folder.Path() / "alias.mdb");
    const std::string lock = (real / ".db.vantolypatch-lock").string();
    for (const fs::path& path :
         {real / "db.mdb", folder.Path() / "link" / "db.mdb", real / "." / ".." / "a" / "db.mdb",
          folder.Path() / "alias.mdb", real / "db.accdb", real / "db.MDB", real / "db"}) {
        EXPECT_EQ(DatabaseLockPath(path.string()), lock) << path;
    }
    EXPECT_NE(DatabaseLockPath((real / "db2.mdb").string()), lock);
    EXPECT_NE(DatabaseLockPath((real / "db.sqlite").string()), lock);
    EXPECT_EQ(DatabaseLockPath((real / "missing" / "new.mdb").string()),
              (real / "missing" / ".new.vantolypatch-lock").string());
}

// A second lock of this process reads as its own; the holder's line names
// the process and its command; the file goes with the release.
TEST(DatabaseLockTest, HolderIsNamedAndTheFileGoesWithTheRelease) {
    testsupport::TempFolder folder;
    const std::string db = folder.Folder() + "db.mdb";
    DatabaseLock first;
    ASSERT_EQ(first.Acquire(db, "update"), Result::kAcquired);
    EXPECT_EQ(testsupport::ReadFileBytes(first.LockFile()),
              std::to_string(::getpid()) + " update\n");
    DatabaseLock second;
    EXPECT_EQ(second.Acquire(db, "restore"), Result::kHeldByThisProcess);
    EXPECT_EQ(second.Holder().command, "update");
    first.Release();
    EXPECT_FALSE(fs::exists(first.LockFile()));
    EXPECT_EQ(second.Acquire(db, "restore"), Result::kAcquired);

    DatabaseLock nowhere;
    EXPECT_EQ(nowhere.Acquire(folder.Folder() + "missing/db.mdb", "query"), Result::kUnavailable);
    EXPECT_TRUE(nowhere.FolderMissing()) << nowhere.Problem();
}

TEST(DatabaseLockTest, HolderTextForTheOperator) {
    EXPECT_EQ(platform::DescribeHolder({1234, "update"}), "VantolyPatch update (pid 1234)");
    EXPECT_EQ(platform::DescribeHolder({77, "window"}), "the VantolyPatch window (pid 77)");
    EXPECT_EQ(platform::DescribeHolder({}), "another run of VantolyPatch");
}

}  // namespace
