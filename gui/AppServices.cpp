#include "gui/AppServices.h"

#include <cstdlib>
#include <ostream>

#include "host/TargetDatabaseLocation.h"
#include "platform/FileCopy.h"
#include "platform/FlockInstanceLock.h"
#include "platform/HeadlessMessageBoxes.h"
#include "platform/RegistryFile.h"
#include "platform/SystemServices.h"
#include "platform/X11HostWindows.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtServices.h"

namespace gui {

namespace {

// Without an X display there is no host window to find.
class NoHostWindows : public platform::HostWindows {
  public:
    bool Find(const std::string&) override { return false; }
    bool RequestClose(const std::string&) override { return false; }
};

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

FixedDatabaseRegistry::FixedDatabaseRegistry(const std::string& databasePath, std::string password)
    : password_(std::move(password)) {
    const auto slash = databasePath.rfind('/');
    folder_ = slash == std::string::npos ? "" : databasePath.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? databasePath : databasePath.substr(slash + 1);
    const auto dot = file.rfind('.');
    name_ = dot == std::string::npos ? file : file.substr(0, dot);
    extension_ = dot == std::string::npos ? "" : file.substr(dot);
}

std::optional<std::string> FixedDatabaseRegistry::ExactExtension() {
    return extension_;
}

bool FixedDatabaseRegistry::KeyExists(const std::string& key) {
    return EqualsNoCase(key, host::kDatabaseKey);
}

std::optional<std::string> FixedDatabaseRegistry::ReadString(const std::string& key,
                                                             const std::string& name) {
    if (!KeyExists(key)) return std::nullopt;
    if (EqualsNoCase(name, "FileName")) return name_;
    if (EqualsNoCase(name, "PathName")) return folder_;
    if (EqualsNoCase(name, "Password")) return password_;
    return std::nullopt;
}

struct AppServices::Parts {
    std::unique_ptr<platform::MessageBoxes> messageBoxes;
    platform::QtClipboard clipboard;
    platform::SystemClock clock;
    std::unique_ptr<platform::Shell> shell;
    std::unique_ptr<platform::QtCopyProgress> copyProgress;
    std::unique_ptr<platform::PosixFileCopier> fileCopier;
    std::unique_ptr<platform::Registry> registry;
    platform::FlockInstanceLock instanceLock;
    std::unique_ptr<platform::HostWindows> hostWindows;
    std::unique_ptr<platform::Cursor> cursor;
    platform::QtMessagePump messagePump;
    platform::SystemProgramInfo programInfo;
};

AppServices::AppServices(const ServiceOptions& options, std::string applicationTitle,
                         std::ostream& err)
    : parts_(std::make_unique<Parts>()) {
    Parts& p = *parts_;
    if (options.headless) {
        p.messageBoxes = std::make_unique<platform::HeadlessMessageBoxes>(
            applicationTitle,
            options.answerYes ? platform::HeadlessMessageBoxes::Questions::AnswerYes
                              : platform::HeadlessMessageBoxes::Questions::AnswerNo,
            err);
        p.shell = std::make_unique<platform::HeadlessShell>(err);
        p.cursor = std::make_unique<platform::NullCursor>();
        p.fileCopier = std::make_unique<platform::PosixFileCopier>(*p.messageBoxes);
    } else {
        p.messageBoxes = std::make_unique<platform::QtMessageBoxes>(applicationTitle);
        p.shell = std::make_unique<platform::QtShell>(err);
        p.cursor = std::make_unique<platform::QtCursor>();
        p.copyProgress = std::make_unique<platform::QtCopyProgress>();
        p.fileCopier =
            std::make_unique<platform::PosixFileCopier>(*p.messageBoxes, p.copyProgress.get());
    }
    if (options.databasePath) {
        p.registry =
            std::make_unique<FixedDatabaseRegistry>(*options.databasePath, options.password);
    } else {
        p.registry = std::make_unique<platform::RegistryFile>(
            options.registryPath.value_or(platform::RegistryFilePath()));
    }
    const char* display = std::getenv("DISPLAY");
    if (display && *display)
        p.hostWindows = std::make_unique<platform::X11HostWindows>(display);
    else
        p.hostWindows = std::make_unique<NoHostWindows>();
    services_ = std::make_unique<platform::Services>(platform::Services{
        *p.messageBoxes, p.clipboard, p.clock, *p.shell, *p.fileCopier, *p.registry, p.instanceLock,
        *p.hostWindows, *p.cursor, p.messagePump, p.programInfo});
}

AppServices::~AppServices() = default;

}  // namespace gui
