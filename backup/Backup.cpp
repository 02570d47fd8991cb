#include "backup/Backup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "db/DatabaseSession.h"

namespace backup {

namespace {

// Any statement that reads the file makes SQLite take its shared lock, which
// a plain BEGIN does not; this table is in every database of the engine.
constexpr char kLockingRead[] = "SELECT COUNT(*) FROM MSysDatabase";

bool PathExists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// A read transaction on the session connection: writers of other
// connections cannot commit until it ends; readers go on.
class ReadTransaction {
  public:
    explicit ReadTransaction(engine::Connection& connection) : transaction_(connection) {
        connection.Execute(kLockingRead, nullptr, -1)->Close();
    }
    void End() { transaction_.commit(); }

  private:
    engine::Transaction transaction_;
};

std::optional<std::string> CheckOpensAsDatabase(const std::string& path,
                                                const std::string& password) {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::size_t dot = path.rfind('.');
    const std::size_t nameEnd = dot == std::string::npos || dot < folder.size() ? path.size() : dot;
    // The backup is named ….mdb whatever the working file is, so it opens as
    // an .mdb file does.
    const auto connectionText =
        db::ConnectionText(folder, path.substr(folder.size(), nameEnd - folder.size()),
                           path.substr(nameEnd), password);
    if (!connectionText) return "no connection text for " + path;
    try {
        auto check = engine::Connection::create();
        check->Open(*connectionText);
        check->Execute(kLockingRead, nullptr, -1)->Close();
        check->Close();
    } catch (const engine::ComError& error) {
        return "the copy " + path + " does not open as a database: " + error.what();
    }
    return std::nullopt;
}

}  // namespace

std::string BackupFolderPath(const host::TargetDatabase& record) {
    return record.PathName + kBackupFolderName + "/";
}

std::string BackupFilePath(const host::TargetDatabase& record) {
    return BackupFolderPath(record) + record.FileName + kBackupFileSuffix;
}

bool EnsureBackupFolder(const host::TargetDatabase& record) {
    const std::string folder = BackupFolderPath(record);
    if (::mkdir(folder.c_str(), 0777) == 0) return true;
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool BackupFileExists(const host::TargetDatabase& record) {
    struct stat info {};
    return ::stat(BackupFilePath(record).c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           !BackupNameProblem(record);
}

std::optional<std::string> BackupNameProblem(const host::TargetDatabase& record) {
    const std::string path = BackupFilePath(record);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    const char* kind = S_ISDIR(info.st_mode)    ? "a folder"
                       : S_ISFIFO(info.st_mode) ? "a FIFO"
                       : S_ISCHR(info.st_mode)  ? "a character device"
                       : S_ISBLK(info.st_mode)  ? "a block device"
                       : S_ISSOCK(info.st_mode) ? "a socket"
                       : !S_ISREG(info.st_mode) ? "not a regular file"
                                                : nullptr;
    if (kind != nullptr)
        return "the backup name " + path + " holds " + kind + ", not a backup file";
    struct stat working {};
    if (::stat(record.FilePath().c_str(), &working) == 0 && working.st_dev == info.st_dev &&
        working.st_ino == info.st_ino)
        return "the backup name " + path + " leads to the working file " + record.FilePath() +
               " itself, not to a copy of it";
    return std::nullopt;
}

std::optional<std::string> CopyDatabaseUnderSharedLock(
    const std::shared_ptr<engine::Connection>& sessionConnection, platform::FileCopier& fileCopier,
    const std::string& source, const std::string& destination, const std::string& password) {
    const bool sessionOpen = sessionConnection && sessionConnection->State() == engine::adStateOpen;
    std::optional<ReadTransaction> readLock;
    try {
        if (sessionOpen) readLock.emplace(*sessionConnection);
    } catch (const engine::ComError& error) {
        return "cannot hold the database still for the copy: " + std::string(error.what());
    }
    // Note: the copier's close of its own descriptor for the file drops the
    // process's POSIX record locks, SQLite's among them; by then the copy is
    // complete, and the transaction only ends after it.
    const bool copied = fileCopier.CopyFileWithShell(source, destination, "");
    if (readLock) {
        try {
            readLock->End();
        } catch (const engine::ComError& error) {
            return "cannot end the read transaction after the copy: " + std::string(error.what());
        }
    }
    if (!copied) {
        const std::string reason = fileCopier.LastFailure();
        return "the copy of " + source + " to " + destination + " failed" +
               (reason.empty() ? std::string() : ": " + reason);
    }
    if (auto problem = CheckOpensAsDatabase(destination, password)) {
        // A damaged backup must not stay behind: it would block the next
        // backup and could be restored over the working file.
        ::unlink(destination.c_str());
        return problem;
    }
    return std::nullopt;
}

bool TakePreUpdateBackup(const host::TargetDatabase& record,
                         const std::shared_ptr<engine::Connection>& sessionConnection,
                         const BackupServices& services, const std::string& releaseDateText,
                         std::string* failureReason) {
    const auto ask = [&](const char* text) {
        return services.messageBoxes.Show(platform::MessageBoxRequest{
                   .text = text,
                   .caption = releaseDateText,
                   .buttons = platform::MessageButtons::YesNo,
                   .icon = platform::MessageIcon::Information,
                   .owner = platform::MessageOwner::Window,
               }) == platform::MessageAnswer::Yes;
    };
    if (!ask(kBackupQuestionText)) return false;

    // A folder that cannot be made shows up as a failed copy below.
    EnsureBackupFolder(record);
    const std::string folder = BackupFolderPath(record);
    const std::string backupFile = BackupFilePath(record);
    std::optional<std::string> problem = BackupNameProblem(record);
    if (!problem && PathExists(backupFile)) {
        if (ask(kBackupExistsText)) return true;
        services.shell.Open(folder);
        return false;
    }

    if (!problem)
        problem = CopyDatabaseUnderSharedLock(sessionConnection, services.fileCopier,
                                              record.FilePath(), backupFile, record.Password);
    if (!problem) return true;
    if (failureReason != nullptr) *failureReason = *problem;
    services.messageBoxes.Show(platform::MessageBoxRequest{
        .text = kCopyFailedText,
        .caption = releaseDateText,
        .buttons = platform::MessageButtons::Ok,
        .icon = platform::MessageIcon::Warning,
        .owner = platform::MessageOwner::Window,
    });
    services.shell.Open(folder);
    return false;
}

}  // namespace backup
