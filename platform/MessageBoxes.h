// Message boxes, behind one small interface so that the logic that asks
// questions never depends on how they are shown: the windows get a Qt
// implementation, the command line a headless one and the tests a scripted
// fake that records every box.
#pragma once

#include <string>

namespace platform {

enum class MessageButtons { Ok, YesNo };

enum class MessageIcon { None, Warning, Question, Stop, Information };

// Who shows the box, which decides its defaults (see ApplyMessageBoxDefaults).
enum class MessageOwner {
    Window,       // a window of the tool, in front of which the box stands
    Application,  // the application object, with no particular window
    SystemModal,  // in front of every window, with no owner
};

enum class MessageAnswer { Ok, Yes, No };

struct MessageBoxRequest {
    std::string text;
    std::string caption;  // empty: the caller gives none
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    MessageOwner owner = MessageOwner::Window;
};

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;

    // Shows the box, waits for the operator and answers with the button
    // pressed: Ok for an Ok box, Yes or No for a Yes/No box. Closing a
    // Yes/No box without choosing answers No.
    virtual MessageAnswer Show(const MessageBoxRequest& request) = 0;
};

// The caption and icon a box really gets. A box shown through the
// application object always carries the application's title and, when the
// caller gives no icon, the warning icon (Ok) or the question icon (Yes/No).
// Any other box keeps the caller's caption and icon, with the application's
// title when the caller gives no caption.
inline MessageBoxRequest ApplyMessageBoxDefaults(MessageBoxRequest request,
                                                 const std::string& applicationTitle) {
    if (request.owner == MessageOwner::Application) {
        request.caption = applicationTitle;
        if (request.icon == MessageIcon::None) {
            request.icon = request.buttons == MessageButtons::Ok ? MessageIcon::Warning
                                                                 : MessageIcon::Question;
        }
    } else if (request.caption.empty()) {
        request.caption = applicationTitle;
    }
    return request;
}

}  // namespace platform
