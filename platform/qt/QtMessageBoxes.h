// Message boxes on screen, through QMessageBox.
#pragma once

#include <functional>
#include <string>

#include "platform/MessageBoxes.h"

class QWidget;

namespace platform {

class QtMessageBoxes : public MessageBoxes {
  public:
    // The window a box of a window stands in front of; by default the
    // application's active window.
    using OwnerWindow = std::function<QWidget*()>;

    explicit QtMessageBoxes(std::string applicationTitle, OwnerWindow ownerWindow = {});

    // Boxes of a window are modal to that window; boxes of the application
    // object and system-modal boxes have no parent and block every window,
    // system-modal ones staying on top. Yes is the default button of a
    // question and closing it answers No.
    MessageAnswer Show(const MessageBoxRequest& request) override;

  private:
    std::string applicationTitle_;
    OwnerWindow ownerWindow_;
};

}  // namespace platform
