// The desktop services of the main window: Qt message boxes, clipboard,
// shell, cursor, message pump and copy progress. The command words run on
// the headless ones (commands/HeadlessServices.h).
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "commands/HeadlessServices.h"
#include "platform/Platform.h"

namespace gui {

// What the shell would have opened without a desktop goes to `err`.
class AppServices {
  public:
    AppServices(const commands::ServiceOptions& options, std::string applicationTitle,
                std::ostream& err);
    ~AppServices();
    AppServices(const AppServices&) = delete;
    AppServices& operator=(const AppServices&) = delete;

    platform::Services& services() { return *services_; }

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
    std::unique_ptr<platform::Services> services_;
};

}  // namespace gui
