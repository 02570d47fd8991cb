// The services of a command word: no desktop and no message pump. Message
// boxes are printed to standard error and answered by --yes / --no, the
// clipboard keeps its text for the report, "open" prints the path.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "platform/FlockInstanceLock.h"
#include "platform/Platform.h"
#include "platform/SystemServices.h"

namespace commands {

// Where a run finds its database, and how a command word answers questions.
struct ServiceOptions {
    bool answerYes = false;                   // headless: the answer to every question
    std::optional<std::string> registryPath;  // --registry, else VANTOLY_REGISTRY / XDG
    // --db PATH: the registry is replaced by these three values.
    std::optional<std::string> databasePath;
    std::string password;
};

// A registry holding only the host application's database key, with the
// folder, name and password of a database named on the command line, whose
// extension is exact: --db x/t.accdb never opens x/t.mdb.
class FixedDatabaseRegistry : public platform::Registry {
  public:
    FixedDatabaseRegistry(const std::string& databasePath, std::string password);
    bool KeyExists(const std::string& key) override;
    std::optional<std::string> ReadString(const std::string& key, const std::string& name) override;
    std::optional<std::string> ExactExtension() override;

  private:
    std::string folder_;
    std::string name_;
    std::string extension_;
    std::string password_;
};

// The services a run has whether or not it shows a window: the clock, the
// registry of `options` (the --db database, else the registry file), the
// instance lock, the host application's windows on $DISPLAY (none without a
// display) and the program's folders.
struct CommonServices {
    explicit CommonServices(const ServiceOptions& options);

    platform::SystemClock clock;
    std::unique_ptr<platform::Registry> registry;
    platform::FlockInstanceLock instanceLock;
    std::unique_ptr<platform::HostWindows> hostWindows;
    platform::SystemProgramInfo programInfo;
};

// What a front end adds to them: how it shows boxes, copies, opens and
// copies files, and what it shows while busy.
struct FrontEndServices {
    platform::MessageBoxes& messageBoxes;
    platform::Clipboard& clipboard;
    platform::Shell& shell;
    platform::FileCopier& fileCopier;
    platform::Cursor& cursor;
    platform::MessagePump& messagePump;
};

// The one bundle of both, which the windows and the logic take.
platform::Services BundleServices(CommonServices& common, const FrontEndServices& own);

// A clipboard with no desktop behind it: what is copied stays here.
class KeptClipboard : public platform::Clipboard {
  public:
    Result SetText(const std::string& text) override {
        text_ = text;
        return Result::Ok;
    }
    std::string Text() const override { return text_; }

  private:
    std::string text_;
};

// Everything a command word's services print goes to `err`: standard output
// belongs to the command's own answer, which with --json is one JSON object
// and nothing else.
class HeadlessServices {
  public:
    HeadlessServices(const ServiceOptions& options, std::string applicationTitle,
                     std::ostream& err);
    ~HeadlessServices();
    HeadlessServices(const HeadlessServices&) = delete;
    HeadlessServices& operator=(const HeadlessServices&) = delete;

    platform::Services& services() { return *services_; }

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
    std::unique_ptr<platform::Services> services_;
};

}  // namespace commands
