// A clipboard for tests: keeps the text and records every text set.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace testsupport {

class FakeClipboard : public platform::Clipboard {
  public:
    Result SetText(const std::string& text) override {
        Texts.push_back(text);
        if (NextResult == Result::Ok) content_ = text;
        return NextResult;
    }
    std::string Text() const override { return content_; }

    Result NextResult = Result::Ok;  // what every SetText answers
    std::vector<std::string> Texts;  // every text asked to be set

  private:
    std::string content_;
};

}  // namespace testsupport
