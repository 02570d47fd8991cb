#include <gtest/gtest.h>
#include <signal.h>

#include "platform/FlockInstanceLock.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace {

using platform::FlockInstanceLock;
using Result = platform::InstanceLock::Result;
using testsupport::ChildProcess;

constexpr char kName[] = "VantolyPatchInstance";

class FlockInstanceLockTest : public ::testing::Test {
  protected:
    std::unique_ptr<ChildProcess> StartHolder(bool spawnChild = false) {
        std::vector<std::string> argv{LOCK_HOLDER_BINARY, folder_.Folder(), kName};
        if (spawnChild) argv.push_back("spawn");
        return std::make_unique<ChildProcess>(argv);
    }

    testsupport::TempFolder folder_;
};

TEST_F(FlockInstanceLockTest, SecondProcessIsRefusedUntilTheFirstReleases) {
    FlockInstanceLock lock(folder_.Folder());
    ASSERT_EQ(lock.Acquire(kName), Result::Acquired);
    {
        auto second = StartHolder();
        EXPECT_EQ(second->ReadLine(), "HeldElsewhere");
    }
    lock.Release();
    lock.Release();  // a second release does nothing
    auto third = StartHolder();
    EXPECT_EQ(third->ReadLine(), "Acquired");
    EXPECT_EQ(lock.Acquire(kName), Result::HeldElsewhere);
    third->CloseInput();  // the holder ends normally
    EXPECT_EQ(third->Wait(), 0);
    EXPECT_EQ(lock.Acquire(kName), Result::Acquired);
}

TEST_F(FlockInstanceLockTest, KilledHolderLeavesNoLockEvenWithAChildStillRunning) {
    auto holder = StartHolder(/*spawnChild=*/true);
    ASSERT_EQ(holder->ReadLine(), "Acquired");
    const auto childLine = holder->ReadLine();
    ASSERT_TRUE(childLine && childLine->starts_with("child ")) << childLine.value_or("(nothing)");
    const pid_t child = std::stoi(childLine->substr(6));

    FlockInstanceLock lock(folder_.Folder());
    EXPECT_EQ(lock.Acquire(kName), Result::HeldElsewhere);
    holder->Signal(SIGKILL);
    holder->Wait();
    ASSERT_EQ(::kill(child, 0), 0) << "the holder's child should still run";
    EXPECT_EQ(lock.Acquire(kName), Result::Acquired) << "the child inherited the lock";
    ::kill(child, SIGKILL);
}

TEST_F(FlockInstanceLockTest, FolderThatCannotHoldTheFileRunsWithoutALock) {
    FlockInstanceLock lock(folder_.Folder() + "missing/");
    EXPECT_EQ(lock.Acquire(kName), Result::Unavailable);
    EXPECT_FALSE(lock.Held());
    EXPECT_NE(lock.LastProblem().find("missing"), std::string::npos);
}

TEST(DefaultLockFolderTest, PrefersTheRuntimeFolder) {
    const auto environment = [](std::map<std::string, std::string> values) {
        return [values](const std::string& name) -> std::optional<std::string> {
            const auto found = values.find(name);
            if (found == values.end()) return std::nullopt;
            return found->second;
        };
    };
    EXPECT_EQ(platform::DefaultLockFolder(
                  environment({{"XDG_RUNTIME_DIR", "/run/user/1"}, {"TMPDIR", "/t"}})),
              "/run/user/1/");
    EXPECT_EQ(
        platform::DefaultLockFolder(environment({{"XDG_RUNTIME_DIR", ""}, {"TMPDIR", "/t/"}})),
        "/t/");
    EXPECT_EQ(platform::DefaultLockFolder(environment({})), "/tmp/");
}

}  // namespace
