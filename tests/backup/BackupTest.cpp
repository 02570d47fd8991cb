#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "backup/Backup.h"
#include "db/DatabaseSession.h"
#include "platform/FileCopy.h"
#include "support/FakeFileCopier.h"
#include "support/FakeMessageBoxes.h"
#include "support/FakeShell.h"
#include "support/FileContent.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

namespace {

using platform::MessageAnswer;
using testsupport::ReadFileBytes;

constexpr char kReleaseDate[] = "2020/05/24";

TEST(BackupNamesTest, AreJoinedByPlainConcatenation) {
    struct Case {
        host::TargetDatabase record;
        std::string folder, file;
    };
    const Case cases[] = {
        {{"/data/", "Toll", ".accdb", "", ""},
         "/data/データベース更新前データ/",
         "/data/データベース更新前データ/Tollver_1_25backup.mdb"},
        {{"", "Toll", ".mdb", "", ""},
         "データベース更新前データ/",
         "データベース更新前データ/Tollver_1_25backup.mdb"},
        {{"/data/", "", ".mdb", "", ""},
         "/data/データベース更新前データ/",
         "/data/データベース更新前データ/ver_1_25backup.mdb"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(backup::BackupFolderPath(c.record), c.folder);
        EXPECT_EQ(backup::BackupFilePath(c.record), c.file);
    }
}

class BackupTest : public ::testing::Test {
  protected:
    void SetUp() override { Prepare(folder_.Folder(), ".mdb", ""); }

    void Prepare(const std::string& pathName, const std::string& extension,
                 const std::string& password, int fillerRows = 20) {
        record_ = host::TargetDatabase{pathName, "Toll", extension, password, ""};
        if (!std::filesystem::exists(record_.FilePath())) {
            testsupport::MakeVersionDatabase(record_.FilePath(), password, fillerRows);
        }
    }

    // The session as the main window holds it: open on the working file.
    std::shared_ptr<engine::Connection> OpenSession() const {
        auto connection = engine::Connection::create();
        connection->Open(*db::ConnectionText(record_.PathName, record_.FileName, record_.Extension,
                                             record_.Password));
        return connection;
    }

    bool TakeBackup(platform::FileCopier& copier, std::string* reason = nullptr) {
        return backup::TakePreUpdateBackup(record_, OpenSession(), {boxes_, shell_, copier},
                                           kReleaseDate, reason);
    }

    bool TakeBackup() { return TakeBackup(copier_); }

    void ExpectBox(std::size_t index, const std::string& text, platform::MessageButtons buttons,
                   platform::MessageIcon icon) const {
        ASSERT_LT(index, boxes_.Shown().size());
        const auto& box = boxes_.Shown()[index];
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, kReleaseDate);
        EXPECT_EQ(box.buttons, buttons);
        EXPECT_EQ(box.icon, icon);
        EXPECT_EQ(box.owner, platform::MessageOwner::Window);
    }

    void ExpectQuestion(std::size_t index, const std::string& text) const {
        ExpectBox(index, text, platform::MessageButtons::YesNo, platform::MessageIcon::Information);
    }

    // The names in the backup folder; a partial or temporary copy shows here.
    std::vector<std::string> BackupFolderContent() const {
        std::vector<std::string> names;
        for (const auto& entry :
             std::filesystem::directory_iterator(backup::BackupFolderPath(record_))) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    testsupport::TempFolder folder_;
    host::TargetDatabase record_;
    testsupport::FakeMessageBoxes boxes_;
    testsupport::FakeShell shell_;
    platform::PosixFileCopier copier_{boxes_};
};

TEST_F(BackupTest, FirstNoAbandonsAndTouchesNothing) {
    boxes_.ScriptAnswers({MessageAnswer::No});
    EXPECT_FALSE(TakeBackup());
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    ExpectQuestion(0,
                   "データベース更新前にバックアップファイルを作成します。\n\nバックアップファイル"
                   "は、\\データベース更新前データ\\"
                   "[データベース名]ver_1_25backup.mdb "
                   "となります。\n\n\nバックアップファイルを作成してもよろしいですか？");
    EXPECT_FALSE(std::filesystem::exists(backup::BackupFolderPath(record_)));
    EXPECT_TRUE(shell_.Opened.empty());
}

struct CopyCase {
    const char* name;
    std::string extension, password;

    friend void PrintTo(const CopyCase& c, std::ostream* out) { *out << c.name; }
};

class BackupCopies : public BackupTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(BackupCopies, YesCopiesTheWorkingFileByteForByte) {
    std::filesystem::remove(record_.FilePath());
    Prepare(folder_.Folder(), GetParam().extension, GetParam().password);
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    std::string reason;
    EXPECT_TRUE(TakeBackup(copier_, &reason)) << reason;
    EXPECT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(BackupFolderContent(), std::vector<std::string>{"Tollver_1_25backup.mdb"});
    EXPECT_EQ(ReadFileBytes(backup::BackupFilePath(record_)), ReadFileBytes(record_.FilePath()));
    EXPECT_TRUE(shell_.Opened.empty());
}

INSTANTIATE_TEST_SUITE_P(Backup, BackupCopies,
                         ::testing::Values(CopyCase{"mdb", ".mdb", ""},
                                           CopyCase{"accdb", ".accdb", ""},
                                           CopyCase{"withPassword", ".mdb", "pw'x"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BackupTest, CopyIsAskedForWithTheWorkingAndBackupPaths) {
    testsupport::FakeFileCopier copier;
    copier.CopyForReal = true;
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    EXPECT_TRUE(TakeBackup(copier));
    ASSERT_EQ(copier.Calls.size(), 1u);
    EXPECT_EQ(copier.Calls[0].source, folder_.Folder() + "Toll.mdb");
    EXPECT_EQ(copier.Calls[0].destination,
              folder_.Folder() + "データベース更新前データ/Tollver_1_25backup.mdb");
    EXPECT_EQ(copier.Calls[0].title, "");
}

TEST_F(BackupTest, ExistingBackupIsNeverReplaced) {
    const std::string kExistsText =
        "すでにバックアップファイルが存在します。今回はバックアップを取らずに更新してもよろしいです"
        "か？\n\n"
        "今回もバックアップをとる場合にはバックアップファイルのファイル名を変更してから再度更新作業"
        "をして下さい";
    std::filesystem::create_directory(backup::BackupFolderPath(record_));
    const std::string backupFile = backup::BackupFilePath(record_);
    std::ofstream(backupFile) << "the old backup";
    const auto stamp = std::filesystem::last_write_time(backupFile);
    for (const MessageAnswer second : {MessageAnswer::Yes, MessageAnswer::No}) {
        boxes_.Clear();
        shell_.Opened.clear();
        boxes_.ScriptAnswers({MessageAnswer::Yes, second});
        EXPECT_EQ(TakeBackup(), second == MessageAnswer::Yes);
        ASSERT_EQ(boxes_.Shown().size(), 2u);
        ExpectQuestion(1, kExistsText);
        EXPECT_EQ(ReadFileBytes(backupFile), "the old backup");
        EXPECT_EQ(std::filesystem::last_write_time(backupFile), stamp);
        EXPECT_EQ(shell_.Opened, second == MessageAnswer::Yes
                                     ? std::vector<std::string>{}
                                     : std::vector<std::string>{backup::BackupFolderPath(record_)});
    }
}

TEST_F(BackupTest, BackupFolderThatIsAPlainFileFailsTheCopy) {
    std::ofstream(folder_.Folder() + "データベース更新前データ") << "in the way";
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    std::string reason;
    EXPECT_FALSE(TakeBackup(copier_, &reason));
    ASSERT_EQ(boxes_.Shown().size(), 2u);
    ExpectBox(1, "コピーに失敗しました。", platform::MessageButtons::Ok,
              platform::MessageIcon::Warning);
    EXPECT_EQ(shell_.Opened, std::vector<std::string>{backup::BackupFolderPath(record_)});
    EXPECT_NE(reason.find("Tollver_1_25backup.mdb"), std::string::npos) << reason;
    EXPECT_EQ(ReadFileBytes(folder_.Folder() + "データベース更新前データ"), "in the way");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()), {}), 2);
}

// A full disk part-way through the copy, simulated by the file size limit in
// a child process: the copy fails and nothing partial is left.
TEST_F(BackupTest, FullDiskFailsTheCopyAndLeavesNothing) {
    const auto size = std::filesystem::file_size(record_.FilePath());
    ASSERT_GT(size, 16384u);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{size / 2, size / 2};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        bool tookBackup = true;
        try {
            boxes_.ScriptAnswers({MessageAnswer::Yes});
            tookBackup = TakeBackup();
        } catch (const std::exception&) {
            ::_exit(3);
        }
        const bool failureShown =
            boxes_.Shown().size() == 2 && boxes_.Shown()[1].text == "コピーに失敗しました。";
        ::_exit(tookBackup ? 1 : failureShown ? 0 : 2);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(BackupFolderContent().empty());
}

// A copy that does not open as a database is a failed copy, and is removed
// so that it can neither block the next backup nor be restored.
TEST_F(BackupTest, CopyThatIsNoDatabaseFailsAndIsRemoved) {
    class GarbageCopier : public platform::FileCopier {
      public:
        bool CopyFileWithShell(const std::string&, const std::string& destination,
                               const std::string&) override {
            std::ofstream(destination) << "SQLite format 3 but torn";
            return true;
        }
    } garbage;
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    std::string reason;
    EXPECT_FALSE(TakeBackup(garbage, &reason));
    ExpectBox(1, "コピーに失敗しました。", platform::MessageButtons::Ok,
              platform::MessageIcon::Warning);
    EXPECT_NE(reason.find("does not open as a database"), std::string::npos) << reason;
    EXPECT_TRUE(BackupFolderContent().empty());
}

// While the copy runs another process (the host) cannot commit a write.
TEST_F(BackupTest, CopyIsTakenWhileOtherWritersWait) {
    // Runs a write from another process without waiting; SQLite's result code.
    const auto writeFromAnotherProcess = [this] {
        const pid_t child = ::fork();
        if (child == 0) {
            sqlite3* database = nullptr;
            int rc = sqlite3_open_v2(record_.FilePath().c_str(), &database, SQLITE_OPEN_READWRITE,
                                     nullptr);
            if (rc == SQLITE_OK)
                rc = sqlite3_exec(database, "CREATE TABLE host_write (x)", nullptr, nullptr,
                                  nullptr);
            ::_exit(rc);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    class WatchingCopier : public platform::FileCopier {
      public:
        WatchingCopier(platform::FileCopier& inner, std::function<int()> probe)
            : inner_(inner), probe_(probe) {}
        bool CopyFileWithShell(const std::string& source, const std::string& destination,
                               const std::string& title) override {
            WriteDuringCopy = probe_();
            return inner_.CopyFileWithShell(source, destination, title);
        }
        int WriteDuringCopy = -1;

      private:
        platform::FileCopier& inner_;
        std::function<int()> probe_;
    } watching(copier_, writeFromAnotherProcess);
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    EXPECT_TRUE(TakeBackup(watching));
    EXPECT_EQ(watching.WriteDuringCopy, SQLITE_BUSY);
    EXPECT_EQ(writeFromAnotherProcess(), SQLITE_OK) << "the lock ends with the copy";
}

TEST_F(BackupTest, EmptyPathNameMakesTheFolderInTheWorkingFolder) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder_.Path());
    Prepare("", ".mdb", "");
    boxes_.ScriptAnswers({MessageAnswer::Yes});
    const bool tookBackup = TakeBackup();
    std::filesystem::current_path(previous);
    EXPECT_TRUE(tookBackup);
    EXPECT_TRUE(std::filesystem::is_regular_file(
        folder_.Folder() + "データベース更新前データ/Tollver_1_25backup.mdb"));
}

}  // namespace
