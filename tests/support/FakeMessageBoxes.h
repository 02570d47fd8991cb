// A message-box fake for tests: answers from a script and records every box
// it was asked to show.
#pragma once

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/MessageBoxes.h"

namespace testsupport {

class FakeMessageBoxes : public platform::MessageBoxes {
  public:
    // The answers to the next Yes/No boxes, in order. A Yes/No box with no
    // scripted answer left is a test fault and throws std::logic_error.
    void ScriptAnswers(std::initializer_list<platform::MessageAnswer> answers) {
        answers_.insert(answers_.end(), answers);
    }

    platform::MessageAnswer Show(const platform::MessageBoxRequest& request) override {
        shown_.push_back(request);
        if (request.buttons == platform::MessageButtons::Ok) {
            return platform::MessageAnswer::Ok;
        }
        if (answers_.empty()) {
            throw std::logic_error("FakeMessageBoxes: no scripted answer for the question \"" +
                                   request.text + "\"");
        }
        const platform::MessageAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    const std::vector<platform::MessageBoxRequest>& Shown() const { return shown_; }
    std::size_t UnusedAnswers() const { return answers_.size(); }
    void Clear() {
        shown_.clear();
        answers_.clear();
    }

  private:
    std::deque<platform::MessageAnswer> answers_;
    std::vector<platform::MessageBoxRequest> shown_;
};

}  // namespace testsupport
