// The error log files written when the update fails on a statement, one file
// per failure in the folder "DBErr/" beside the database.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace errors {

inline constexpr const char* kErrorLogFolderName = "DBErr/";

// Every "\n" as CR LF: the line ends of the log files and of the report
// dialog's edit box.
std::string WithCrLf(const std::string& text);

// "%04d/%02d/%02d %02d:%02d:%02d:%03d" of the local time.
std::string ErrorLogTimeText(const platform::LocalTime& time);
// "DBErr" + the time text without "/", ":" and blanks + ".txt".
std::string ErrorLogFileName(const platform::LocalTime& time);
// The file's bytes: the seven writes, every "\n" written as CR LF; database
// passwords in the statement and the error text masked (db::MaskPasswords).
// A `hostNote` (what became of the host application's window) follows
// under "Host：" when it is not empty.
std::string ErrorLogContent(const std::string& timeText, const std::string& functionName,
                            const std::string& query, const std::string& errorText,
                            const std::string& hostNote = {});
// The message shown after the file is written, passwords masked likewise.
std::string ErrorLogMessage(const std::string& functionName, const std::string& query,
                            const std::string& errorText);

struct ErrorLogResult {
    std::string path;  // the file the log went to
    bool written = false;
    std::string failure;  // why it was not written, for the operator
};

// Creates the folder when missing, writes the file (whole or not at all:
// through a temporary file renamed into place) and always shows the message,
// OK button, warning icon, `applicationTitle` as caption. A file that could
// not be written is said in the message, so the record is never lost silently.
ErrorLogResult WriteErrorLog(const std::string& pathName, const std::string& functionName,
                             const std::string& query, const std::string& errorText,
                             const platform::Clock& clock, platform::MessageBoxes& boxes,
                             const std::string& applicationTitle, const std::string& hostNote = {});

// Copies `text` to the clipboard; `hasOwner` false stands for a call with no
// owner window. Each failure shows its message (OK, warning, application title).
void CopyTextToClipboard(const std::string& text, bool hasOwner, platform::Clipboard& clipboard,
                         platform::MessageBoxes& boxes, const std::string& applicationTitle);

}  // namespace errors
