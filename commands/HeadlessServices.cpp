#include "commands/HeadlessServices.h"

#include <cctype>
#include <cstdlib>

#include "host/TargetDatabaseLocation.h"
#include "platform/FileCopy.h"
#include "platform/HeadlessMessageBoxes.h"
#include "platform/RegistryFile.h"
#include "platform/X11HostWindows.h"

namespace commands {

namespace {

// Without an X display there is no host window to find.
class NoHostWindows : public platform::HostWindows {
  public:
    bool Find(const std::string&) override { return false; }
    bool RequestClose(const std::string&) override { return false; }
};

// No window to keep painting during a long loop.
class NoMessagePump : public platform::MessagePump {
  public:
    void PumpOne() override {}
    void Repaint() override {}
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

namespace {

std::unique_ptr<platform::Registry> OpenRegistry(const ServiceOptions& options) {
    if (options.databasePath)
        return std::make_unique<FixedDatabaseRegistry>(*options.databasePath, options.password);
    return std::make_unique<platform::RegistryFile>(
        options.registryPath.value_or(platform::RegistryFilePath()));
}

std::unique_ptr<platform::HostWindows> DisplayHostWindows() {
    const char* display = std::getenv("DISPLAY");
    if (display && *display) return std::make_unique<platform::X11HostWindows>(display);
    return std::make_unique<NoHostWindows>();
}

}  // namespace

CommonServices::CommonServices(const ServiceOptions& options)
    : registry(OpenRegistry(options)), hostWindows(DisplayHostWindows()) {}

platform::Services BundleServices(CommonServices& common, const FrontEndServices& own) {
    return platform::Services{own.messageBoxes,    own.clipboard,       common.clock,
                              own.shell,           own.fileCopier,      *common.registry,
                              common.instanceLock, *common.hostWindows, own.cursor,
                              own.messagePump,     common.programInfo};
}

struct HeadlessServices::Parts {
    Parts(const ServiceOptions& options, std::string applicationTitle, std::ostream& err)
        : common(options),
          messageBoxes(std::move(applicationTitle),
                       options.answerYes ? platform::HeadlessMessageBoxes::Questions::AnswerYes
                                         : platform::HeadlessMessageBoxes::Questions::AnswerNo,
                       err),
          shell(err),
          fileCopier(messageBoxes) {}

    CommonServices common;
    platform::HeadlessMessageBoxes messageBoxes;
    KeptClipboard clipboard;
    platform::HeadlessShell shell;
    platform::PosixFileCopier fileCopier;
    platform::NullCursor cursor;
    NoMessagePump messagePump;
};

HeadlessServices::HeadlessServices(const ServiceOptions& options, std::string applicationTitle,
                                   std::ostream& err)
    : parts_(std::make_unique<Parts>(options, std::move(applicationTitle), err)) {
    Parts& p = *parts_;
    services_ = std::make_unique<platform::Services>(BundleServices(
        p.common, {p.messageBoxes, p.clipboard, p.shell, p.fileCopier, p.cursor, p.messagePump}));
}

HeadlessServices::~HeadlessServices() = default;

}  // namespace commands
