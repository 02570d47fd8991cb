#include "gui/AppServices.h"

#include "platform/FileCopy.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtServices.h"

namespace gui {

struct AppServices::Parts {
    Parts(const commands::ServiceOptions& options, std::string applicationTitle, std::ostream& err)
        : common(options),
          messageBoxes(std::move(applicationTitle)),
          shell(err, messageBoxes),
          fileCopier(messageBoxes, &copyProgress) {}

    commands::CommonServices common;
    platform::QtMessageBoxes messageBoxes;
    platform::QtClipboard clipboard;
    platform::QtShell shell;
    platform::QtCopyProgress copyProgress;
    platform::PosixFileCopier fileCopier;
    platform::QtCursor cursor;
    platform::QtMessagePump messagePump;
};

AppServices::AppServices(const commands::ServiceOptions& options, std::string applicationTitle,
                         std::ostream& err)
    : parts_(std::make_unique<Parts>(options, std::move(applicationTitle), err)) {
    Parts& p = *parts_;
    services_ = std::make_unique<platform::Services>(commands::BundleServices(
        p.common, {p.messageBoxes, p.clipboard, p.shell, p.fileCopier, p.cursor, p.messagePump}));
}

AppServices::~AppServices() = default;

}  // namespace gui
