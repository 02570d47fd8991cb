#include "platform/HeadlessMessageBoxes.h"

#include <ostream>

namespace platform {

const char* IconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Warning:
            return "warning";
        case MessageIcon::Question:
            return "question";
        case MessageIcon::Stop:
            return "stop";
        case MessageIcon::Information:
            return "information";
        case MessageIcon::None:
            break;
    }
    return "no icon";
}

const char* AnswerName(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::Yes:
            return "Yes";
        case MessageAnswer::No:
            return "No";
        case MessageAnswer::Ok:
            break;
    }
    return "Ok";
}

HeadlessMessageBoxes::HeadlessMessageBoxes(std::string applicationTitle, Questions questions,
                                           std::ostream& out)
    : applicationTitle_(std::move(applicationTitle)), questions_(questions), out_(out) {}

MessageAnswer HeadlessMessageBoxes::Show(const MessageBoxRequest& request) {
    const MessageBoxRequest box = ApplyMessageBoxDefaults(request, applicationTitle_);
    MessageAnswer answer = MessageAnswer::Ok;
    if (box.buttons == MessageButtons::YesNo) {
        answer = questions_ == Questions::AnswerYes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    out_ << "--- " << box.caption << " [" << IconName(box.icon) << "] ---\n"
         << box.text << "\n--- answer: " << AnswerName(answer) << " ---\n"
         << std::flush;
    return answer;
}

}  // namespace platform
