#include "errors/ErrorLog.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "db/PasswordMask.h"
#include "platform/AtomicFile.h"

namespace errors {

namespace {

void ShowOk(platform::MessageBoxes& boxes, const std::string& text, const std::string& title) {
    boxes.Show(platform::ApplyMessageBoxDefaults(
        {text, title, platform::MessageButtons::Ok, platform::MessageIcon::Warning,
         platform::MessageOwner::Window},
        title));
}

// Writes the whole log or nothing; an empty string on success, else the
// system's reason. A log is never written through a link planted at its
// name (the rename replaces the link itself).
std::string WriteWhole(const std::string& path, const std::string& bytes) {
    const platform::FileStatus status = platform::WriteFileWhole(path, bytes, 0600);
    return status.Succeeded() ? std::string() : std::strerror(status.error);
}

}  // namespace

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string ErrorLogTimeText(const platform::LocalTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d:%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    return buf;
}

std::string ErrorLogFileName(const platform::LocalTime& time) {
    std::string digits;
    for (char c : ErrorLogTimeText(time)) {
        if (c != '/' && c != ':' && c != ' ') digits += c;
    }
    return "DBErr" + digits + ".txt";
}

std::string ErrorLogContent(const std::string& timeText, const std::string& functionName,
                            const std::string& query, const std::string& errorText,
                            const std::string& hostNote) {
    const std::string host = hostNote.empty() ? std::string() : "\nHost：\n" + hostNote + "\n";
    return WithCrLf("Time：\n" + timeText + "\n" + "\n" + "Function：\n" + functionName + "\n" +
                    "\n" + "Query：\n" + db::MaskPasswords(query) + "\n" + "\n" + "ErrorLog：\n" +
                    db::MaskPasswords(errorText) + "\n" + host);
}

std::string ErrorLogMessage(const std::string& functionName, const std::string& query,
                            const std::string& errorText) {
    return "Function :\n" + functionName + "\n\nQuery :\n" + db::MaskPasswords(query) +
           "\n\nErrorLog :\n" + db::MaskPasswords(errorText) +
           "\n\nこのエラーの記録は、[メニュー] ⇒ [データベース] ⇒ [エラー履歴] "
           "で、確認することが出来ます。";
}

ErrorLogResult WriteErrorLog(const std::string& pathName, const std::string& functionName,
                             const std::string& query, const std::string& errorText,
                             const platform::Clock& clock, platform::MessageBoxes& boxes,
                             const std::string& applicationTitle, const std::string& hostNote) {
    const std::string folder = pathName + kErrorLogFolderName;
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) ::mkdir(folder.c_str(), 0755);  // checked by the write
    const platform::LocalTime now = clock.Now();
    ErrorLogResult result;
    result.path = folder + ErrorLogFileName(now);
    result.failure = WriteWhole(result.path, ErrorLogContent(ErrorLogTimeText(now), functionName,
                                                             query, errorText, hostNote));
    result.written = result.failure.empty();
    std::string message = ErrorLogMessage(functionName, query, errorText);
    if (!result.written) {
        message += "\n\n(エラーの記録を書き込めませんでした： " + result.path + " : " +
                   result.failure + ")";
    }
    ShowOk(boxes, message, applicationTitle);
    return result;
}

void CopyTextToClipboard(const std::string& text, bool hasOwner, platform::Clipboard& clipboard,
                         platform::MessageBoxes& boxes, const std::string& applicationTitle) {
    if (!hasOwner) {
        ShowOk(boxes, "クリップボードへの貼り付けが失敗しました", applicationTitle);
        return;
    }
    switch (clipboard.SetText(text)) {
        case platform::Clipboard::Result::Ok:
            return;
        case platform::Clipboard::Result::OpenFailed:
            ShowOk(boxes, "Failed to open clipboard", applicationTitle);
            return;
        case platform::Clipboard::Result::EmptyFailed:
            ShowOk(boxes, "Failed to empty clipboard", applicationTitle);
            return;
        case platform::Clipboard::Result::SetFailed:
            // The original hands the block over without checking; here a
            // refused hand-over is said rather than lost.
            ShowOk(boxes, "クリップボードへの貼り付けが失敗しました", applicationTitle);
            return;
    }
}

}  // namespace errors
