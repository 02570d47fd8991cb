#include <gtest/gtest.h>

#include <sstream>

#include "platform/HeadlessMessageBoxes.h"

namespace {

using namespace platform;

TEST(HeadlessMessageBoxesTest, PrintsEachBoxWithItsDefaultsAndAnswer) {
    struct Case {
        HeadlessMessageBoxes::Questions questions;
        MessageBoxRequest request;
        MessageAnswer answer;
        std::string printed;
    };
    const Case cases[] = {
        {HeadlessMessageBoxes::Questions::AnswerNo,
         {"すでに起動されています", "", MessageButtons::Ok, MessageIcon::None,
          MessageOwner::Application},
         MessageAnswer::Ok,
         "--- VantolyPatch [warning] ---\nすでに起動されています\n--- answer: Ok ---\n"},
        {HeadlessMessageBoxes::Questions::AnswerNo,
         {"一行目\n\n二行目\\", "2020/05/24", MessageButtons::YesNo, MessageIcon::Information,
          MessageOwner::Window},
         MessageAnswer::No,
         "--- 2020/05/24 [information] ---\n一行目\n\n二行目\\\n--- answer: No ---\n"},
        {HeadlessMessageBoxes::Questions::AnswerYes,
         {"閉じますか？", "", MessageButtons::YesNo, MessageIcon::None, MessageOwner::Window},
         MessageAnswer::Yes,
         "--- VantolyPatch [no icon] ---\n閉じますか？\n--- answer: Yes ---\n"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        HeadlessMessageBoxes boxes("VantolyPatch", c.questions, out);
        EXPECT_EQ(boxes.Show(c.request), c.answer);
        EXPECT_EQ(out.str(), c.printed);
    }
}

}  // namespace
