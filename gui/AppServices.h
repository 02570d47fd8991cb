// The concrete services of one run: the desktop ones for the window, or the
// headless ones for a command word (message boxes printed to standard error
// and answered by --yes / --no; no desktop to open things with).
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace gui {

struct ServiceOptions {
    bool headless = false;
    bool answerYes = false;                   // headless: the answer to every question
    std::optional<std::string> registryPath;  // --registry, else VANTOLY_REGISTRY / XDG
    // --db PATH: the registry is replaced by these three values.
    std::optional<std::string> databasePath;
    std::string password;
};

// Everything the services print (message boxes, what the shell would have
// opened) goes to `err`: standard output belongs to the command's own answer,
// which with --json is one JSON object and nothing else.
class AppServices {
  public:
    AppServices(const ServiceOptions& options, std::string applicationTitle, std::ostream& err);
    ~AppServices();
    AppServices(const AppServices&) = delete;
    AppServices& operator=(const AppServices&) = delete;

    platform::Services& services() { return *services_; }

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
    std::unique_ptr<platform::Services> services_;
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

}  // namespace gui
