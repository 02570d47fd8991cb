// Message boxes without a display, for the command-line front end: each box
// is written to a stream (standard error) and questions get a preset answer.
#pragma once

#include <iosfwd>
#include <string>

#include "platform/MessageBoxes.h"

namespace platform {

// The printed form of a box:
//   --- <caption> [<icon>] ---
//   <text, with its line breaks>
//   --- answer: <Ok|Yes|No> ---
class HeadlessMessageBoxes : public MessageBoxes {
  public:
    enum class Questions { AnswerNo, AnswerYes };

    HeadlessMessageBoxes(std::string applicationTitle, Questions questions, std::ostream& out);

    MessageAnswer Show(const MessageBoxRequest& request) override;

  private:
    std::string applicationTitle_;
    Questions questions_;
    std::ostream& out_;
};

// "warning", "question", "stop", "information" or "no icon".
const char* IconName(MessageIcon icon);
const char* AnswerName(MessageAnswer answer);

}  // namespace platform
