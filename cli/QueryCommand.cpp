#include "cli/QueryCommand.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>
#include <utility>

#include "console/QueryRunner.h"
#include "console/QueryScript.h"
#include "db/ComErrorText.h"
#include "db/DatabaseSession.h"
#include "db/PasswordMask.h"
#include "db/VariantToText.h"
#include "host/TargetDatabaseLocation.h"
#include "platform/BoundedRead.h"
#include "platform/Interrupts.h"
#include "platform/RegistryFile.h"
#include "platform/SystemServices.h"
#include "platform/UserFolders.h"

namespace cli {

namespace {

constexpr std::string_view kUnsupportedExtensionText = "対応していない拡張子です：";

std::string StatementLocation(const console::QueryStatement& statement) {
    return console::StatementLocationText(statement) + "\n";
}

// Prints each result set as a heading line and one line per row.
class TsvPrinter : public console::QueryRunObserver {
  public:
    explicit TsvPrinter(std::ostream& out) : out_(out) {}

    void StatementExecuted(std::size_t, const console::QueryStatement&,
                           engine::Recordset& result) override {
        if (result.State() != engine::adStateOpen) {
            return;
        }
        if (resultSets_++ > 0) {
            out_ << '\n';
        }
        const std::shared_ptr<engine::Fields> fields = result.GetFields();
        const long count = fields->Count();
        for (long position = 0; position < count; ++position) {
            out_ << (position > 0 ? "\t" : "") << TsvCell(fields->Item(position).Name());
        }
        out_ << '\n';
        for (; !result.IsEOF(); result.MoveNext()) {
            for (long position = 0; position < count; ++position) {
                out_ << (position > 0 ? "\t" : "")
                     << TsvCell(db::VariantToText(result.Collect(position)));
            }
            out_ << '\n';
        }
    }

  private:
    std::ostream& out_;
    int resultSets_ = 0;
};

struct DatabaseFile {
    std::string folder;     // up to and including the last "/", or empty
    std::string name;       // the file name without its extension
    std::string extension;  // from the last "." of the file name, or empty
};

DatabaseFile SplitDatabasePath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    DatabaseFile file{path.substr(0, nameStart), path.substr(nameStart), {}};
    if (const std::size_t dot = file.name.rfind('.'); dot != std::string::npos) {
        file.extension = file.name.substr(dot);
        file.name.erase(dot);
    }
    return file;
}

// Reads the script, at most platform::kStatementFileLimit bytes of it;
// nullopt (with the reason written to `err`) when it cannot be read or is
// larger.
std::optional<std::string> ReadScript(const CommandLine& line, std::istream& in,
                                      std::ostream& err) {
    const platform::BoundedReadOptions options{.what = "the statement file",
                                               .limit = platform::kStatementFileLimit};
    platform::BoundedReadResult read;
    if ((!line.scriptPath.has_value() || *line.scriptPath == "-") && &in == &std::cin) {
        // The program's own standard input: a pipe whose writer never ends
        // or a terminal nobody types at still gives way to Ctrl+C.
        read = platform::ReadBounded(
            [](char* buffer, std::size_t capacity) {
                return platform::ReadWhenReady(STDIN_FILENO, buffer, capacity);
            },
            "on standard input", options);
    } else if (!line.scriptPath.has_value() || *line.scriptPath == "-") {
        read = platform::ReadBounded(
            [&in](char* buffer, std::size_t capacity) -> ssize_t {
                in.read(buffer, static_cast<std::streamsize>(capacity));
                if (in.bad()) {
                    errno = EIO;
                    return -1;
                }
                return in.gcount();
            },
            "on standard input", options);
    } else {
        read = platform::ReadBoundedFile(*line.scriptPath, options);
    }
    if (!read.Succeeded()) {
        err << "VantolyPatch: " << read.problem << "\n";
        return std::nullopt;
    }
    return std::move(read.bytes);
}

void ReportFailure(const console::QueryFailure& failure,
                   const std::vector<console::QueryStatement>& statements, std::ostream& err) {
    // The error may quote part of the refused statement, a password with it.
    err << db::MaskPasswordsOfStatement(
        db::ComErrorText(failure.error),
        failure.statementIndex ? statements.at(*failure.statementIndex).text : std::string());
    switch (failure.stage) {
        case console::QueryRunStage::kBegin:
            err << "(the transaction could not be begun; nothing ran)\n";
            break;
        case console::QueryRunStage::kExecute:
            err << StatementLocation(statements.at(*failure.statementIndex));
            break;
        case console::QueryRunStage::kCommit:
            err << "(every statement ran, but the commit failed)\n";
            break;
    }
    if (failure.rollbackError.has_value()) {
        err << "Rolling back failed as well:\n" << db::ComErrorText(*failure.rollbackError);
    }
}

// Creates an empty database at `path`, and the folders above it, when no
// file is there yet; true when it did.
bool CreateIfAbsent(const std::string& path, const std::string& password) {
    const std::filesystem::path file(path);
    if (std::filesystem::exists(file)) {
        return false;
    }
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path());
    }
    engine::CreateDatabase(path, password);
    return true;
}

}  // namespace

std::string TsvCell(const std::string& value) {
    std::string cell;
    cell.reserve(value.size());
    for (const char c : value) {
        switch (c) {
            case '\\':
                cell += "\\\\";
                break;
            case '\t':
                cell += "\\t";
                break;
            case '\n':
                cell += "\\n";
                break;
            case '\r':
                cell += "\\r";
                break;
            default:
                cell += c;
        }
    }
    return cell;
}

namespace {

// The console's statement log, which the command keeps too: every statement
// that runs is appended to it. A log that cannot be written does not stop
// the run; the operator is told, as the console tells it.
class StatementLog {
  public:
    explicit StatementLog(std::ostream& err)
        : err_(err),
          folder_(platform::UserStateFolder()),
          path_(console::QueryLog::PathIn(folder_, platform::SystemProgramInfo().ProgramName())),
          folderStatus_(platform::CreatePrivateFolders(folder_)),
          log_(path_) {}

    console::QueryLog* ForRun() { return log_.IsOpen() ? &log_ : nullptr; }

    void ReportFailure() const {
        if (log_.IsOpen() && !log_.WriteFailed()) return;
        err_ << console::kLogNotWrittenText << path_ << "\n";
        if (!folderStatus_.Succeeded()) err_ << folderStatus_.message << "\n";
    }

  private:
    std::ostream& err_;
    std::string folder_;
    std::string path_;
    platform::FileStatus folderStatus_;
    console::QueryLog log_;
};

}  // namespace

namespace {

// The database of the run: --db with the password options, else the one the
// registry names with the registry's password, as every other command word.
std::optional<std::pair<std::string, std::string>> DatabaseOfRun(const CommandLine& line,
                                                                 std::ostream& err) {
    if (line.databasePath) return std::make_pair(*line.databasePath, line.password.value_or(""));
    platform::RegistryFile registry(line.registryPath.value_or(platform::RegistryFilePath()));
    host::TargetDatabase record;
    if (!host::ReadTargetDatabaseLocation(record, registry)) {
        err << "VantolyPatch: query: no database to run on: give --db PATH, or name one in the "
               "registry file "
            << registry.Path() << " (";
        if (!registry.LoadProblem().empty())
            err << registry.LoadProblem();
        else
            err << record.PathName << record.FileName << ".mdb or .accdb does not exist";
        err << ")\n";
        return std::nullopt;
    }
    return std::make_pair(record.FilePath(), record.Password);
}

}  // namespace

int RunQueryCommand(const CommandLine& line, std::istream& in, std::ostream& out,
                    std::ostream& err) {
    const auto database = DatabaseOfRun(line, err);
    if (!database) return kExitFailed;
    const std::string& path = database->first;
    const std::string& password = database->second;
    const DatabaseFile file = SplitDatabasePath(path);
    const std::optional<std::string> connectionText =
        db::ConnectionText(file.folder, file.name, file.extension, password);
    if (!connectionText.has_value()) {
        err << kUnsupportedExtensionText << file.extension << "\n";
        return kExitBadArguments;
    }

    const std::optional<std::string> script = ReadScript(line, in, err);
    if (!script.has_value()) {
        return kExitBadArguments;
    }
    const console::SplitResult split = console::SplitQueryText(*script);
    if (split.status == console::SplitStatus::kLineTooLong) {
        err << console::LineTooLongText(split.cutLines) << "\n";
        return kExitFailed;
    }
    if (split.status == console::SplitStatus::kNotText) {
        err << console::NotTextLinesText(split.notTextLines) << "\n";
        return kExitFailed;
    }
    if (split.status == console::SplitStatus::kNoQuery) {
        err << console::kNoQueryText << "\n";
        return kExitFailed;
    }
    if (split.status == console::SplitStatus::kMissingSemicolon) {
        err << console::kMissingSemicolonText << "\n" << StatementLocation(*split.unterminated);
        return kExitFailed;
    }

    try {
        platform::RemoveStaleTemporaries(file.folder);
        const bool created = line.create && CreateIfAbsent(path, password);
        const std::shared_ptr<engine::Connection> connection = engine::Connection::create();
        connection->Open(*connectionText, "", "", 0);
        for (const auto& [name, value] : line.parameters)
            connection->SetParameter(name, engine::Variant::fromText(value));
        // Ctrl+C (or SIGTERM, SIGHUP) stops the running statement; the run
        // then rolls back as for a refused statement.
        const platform::InterruptHook stopStatement([connection] { connection->Cancel(); });

        TsvPrinter printer(out);
        StatementLog log(err);
        const console::QueryRunResult result = console::RunQueries(
            *connection, split.statements,
            {&printer, log.ForRun(), [] { return platform::InterruptRequested(); }});
        out.flush();
        log.ReportFailure();
        if (!result.Committed()) {
            ReportFailure(*result.failure, split.statements, err);
        }
        connection->Close();
        // A run stopped before its commit leaves no trace: not even the
        // empty database it created for its statements.
        if (created && !result.Committed() && platform::InterruptRequested()) {
            std::error_code ignored;  // a database that stays is whole and empty
            std::filesystem::remove(path, ignored);
        }
        return result.Committed() ? kExitOk : kExitFailed;
    } catch (const engine::ComError& error) {
        err << db::ComErrorText(error);
        return kExitFailed;
    } catch (const std::filesystem::filesystem_error& error) {
        err << "VantolyPatch: " << error.what() << "\n";
        return kExitFailed;
    }
}

}  // namespace cli
