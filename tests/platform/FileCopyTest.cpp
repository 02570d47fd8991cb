#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/FileCopy.h"
#include "support/FakeMessageBoxes.h"
#include "support/FileContent.h"
#include "support/TempFolder.h"

namespace {

using platform::CopyFailure;
using platform::MessageAnswer;
using platform::PosixFileCopier;

using testsupport::ReadFileBytes;

// Bytes that differ at every position, so a shifted or partial copy shows.
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7919 + i / 4096) & 0xFF);
    return bytes;
}

class FileCopyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        source_ = folder_.Folder() + "Toll.mdb";
        std::ofstream(source_, std::ios::binary) << Pattern(3 * 1024 * 1024 + 17);
    }

    // Every name in the folder but the source: a partial or temporary file shows here.
    std::vector<std::string> OtherFiles(const std::string& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            if (entry.path() != source_) names.push_back(entry.path().filename().string());
        }
        return names;
    }

    testsupport::TempFolder folder_;
    testsupport::FakeMessageBoxes boxes_;
    std::string source_;
};

TEST_F(FileCopyTest, CopiesBytesPermissionsAndTimeStamp) {
    ::chmod(source_.c_str(), 0640);
    const timespec times[2] = {{1000000000, 0}, {1590000000, 123456789}};
    ::utimensat(AT_FDCWD, source_.c_str(), times, 0);
    PosixFileCopier copier(boxes_);
    const std::string destination = folder_.Folder() + "copy.mdb";
    ASSERT_TRUE(copier.CopyFileWithShell(source_, destination, "")) << copier.LastFailure();
    EXPECT_EQ(ReadFileBytes(destination), ReadFileBytes(source_));
    struct stat info {};
    ::stat(destination.c_str(), &info);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(info.st_mtim.tv_sec, 1590000000);
    EXPECT_TRUE(boxes_.Shown().empty());
    EXPECT_EQ(OtherFiles(folder_.Folder()), std::vector<std::string>{"copy.mdb"});
}

struct FailureCase {
    const char* name;
    std::string source;       // relative to the folder; "" stays empty
    std::string destination;  // likewise
    CopyFailure failure;

    friend void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }
};

class FileCopyFailures : public FileCopyTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FileCopyFailures, LeaveNothingBehind) {
    const FailureCase& c = GetParam();
    std::ofstream(folder_.Folder() + "plain") << "a file, not a folder";
    std::filesystem::create_directory(folder_.Folder() + "folder");
    const auto inFolder = [&](const std::string& name) {
        return name.empty() ? name : folder_.Folder() + name;
    };
    PosixFileCopier copier(boxes_);
    EXPECT_FALSE(copier.CopyFileWithShell(inFolder(c.source), inFolder(c.destination), ""));
    EXPECT_EQ(copier.LastResult().failure, c.failure) << copier.LastFailure();
    EXPECT_FALSE(copier.LastFailure().empty());
    EXPECT_TRUE(boxes_.Shown().empty());
    auto left = OtherFiles(folder_.Folder());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"folder", "plain"}));
}

INSTANTIATE_TEST_SUITE_P(
    Copy, FileCopyFailures,
    ::testing::Values(
        FailureCase{"emptySource", "", "copy.mdb", CopyFailure::EmptyPath},
        FailureCase{"emptyDestination", "Toll.mdb", "", CopyFailure::EmptyPath},
        FailureCase{"missingSource", "none.mdb", "copy.mdb", CopyFailure::SourceUnreadable},
        FailureCase{"sourceIsFolder", "folder", "copy.mdb", CopyFailure::SourceUnreadable},
        FailureCase{"destinationFolderIsAPlainFile", "Toll.mdb", "plain/copy.mdb",
                    CopyFailure::TemporaryFileFailed},
        FailureCase{"destinationFolderMissing", "Toll.mdb", "missing/copy.mdb",
                    CopyFailure::TemporaryFileFailed},
        FailureCase{"destinationIsAFolder", "Toll.mdb", "folder",
                    CopyFailure::DestinationIsFolder}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileCopyTest, AsksBeforeReplacingAndKeepsTheFileOnNo) {
    const std::string destination = folder_.Folder() + "copy.mdb";
    for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        std::ofstream(destination) << "old";
        boxes_.Clear();
        boxes_.ScriptAnswers({answer});
        PosixFileCopier copier(boxes_);
        EXPECT_EQ(copier.CopyFileWithShell(source_, destination, "復元"),
                  answer == MessageAnswer::Yes);
        ASSERT_EQ(boxes_.Shown().size(), 1u);
        EXPECT_EQ(boxes_.Shown()[0].text, platform::ReplaceQuestionText(destination));
        EXPECT_EQ(boxes_.Shown()[0].caption, "復元");
        EXPECT_EQ(boxes_.Shown()[0].buttons, platform::MessageButtons::YesNo);
        EXPECT_EQ(ReadFileBytes(destination),
                  answer == MessageAnswer::Yes ? ReadFileBytes(source_) : "old");
        EXPECT_EQ(OtherFiles(folder_.Folder()), std::vector<std::string>{"copy.mdb"});
    }
}

// The disk fills up part-way: the file size limit stands in for a full disk
// (permission bits do not stop root). In a child, so the limit stays there.
TEST_F(FileCopyTest, FullDiskLeavesNeitherCopyNorTemporaryFile) {
    const std::string destination = folder_.Folder() + "copy.mdb";
    std::ofstream(destination) << "old";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024 * 1024, 1024 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const auto result = platform::CopyFileAtomically(source_, destination);
        ::_exit(result.failure == CopyFailure::WriteFailed ? 0
                                                           : 10 + static_cast<int>(result.failure));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFileBytes(destination), "old");
    EXPECT_EQ(OtherFiles(folder_.Folder()), std::vector<std::string>{"copy.mdb"});
}

class CancellingProgress : public platform::CopyProgress {
  public:
    explicit CancellingProgress(int cancelAtCall) : cancelAtCall_(cancelAtCall) {}
    bool Advance(const std::string&, std::uint64_t copied, std::uint64_t total) override {
        Reports.emplace_back(copied, total);
        return static_cast<int>(Reports.size()) != cancelAtCall_;
    }
    void Finish() override { ++Finishes; }

    std::vector<std::pair<std::uint64_t, std::uint64_t>> Reports;
    int Finishes = 0;

  private:
    int cancelAtCall_;
};

TEST_F(FileCopyTest, ProgressIsReportedAndACancelIsAFailedCopy) {
    std::filesystem::resize_file(source_, 20 * 1024 * 1024);  // beyond one chunk
    const std::string destination = folder_.Folder() + "copy.mdb";
    {
        CancellingProgress progress(0);  // never cancels
        ASSERT_TRUE(platform::CopyFileAtomically(source_, destination, &progress).Succeeded());
        ASSERT_GE(progress.Reports.size(), 3u);
        EXPECT_EQ(progress.Reports.front().first, 0u);
        EXPECT_EQ(progress.Reports.back().first, progress.Reports.back().second);
        EXPECT_EQ(progress.Finishes, 1);
    }
    std::filesystem::remove(destination);
    CancellingProgress progress(2);
    PosixFileCopier copier(boxes_, &progress);
    EXPECT_FALSE(copier.CopyFileWithShell(source_, destination, ""));
    EXPECT_EQ(copier.LastResult().failure, CopyFailure::Cancelled);
    EXPECT_EQ(progress.Finishes, 1);
    EXPECT_TRUE(OtherFiles(folder_.Folder()).empty());
}

}  // namespace
