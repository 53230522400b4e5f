// The three standard message boxes: their caption before and after a page
// has set the program's name, and the answers they give. (Wine puts every
// box in the middle of the screen whatever its owner, so the centring hook
// cannot be told apart from Wine's own placement here.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TextTestSupport.h"
#include "system/wqUtils.h"

namespace {

TEST(MessageBoxes, CaptionsAndAnswers) {
    for (const std::string title : {"", "Demo"}) {
        SetMessageBoxTitle(title.c_str());
        const struct {
            char box;
            const char* fallback;
            int answer;
        } cases[] = {{'E', "Error", IDOK}, {'W', "Warning", IDOK}, {'Q', "Question", IDYES}, {'Q', "Question", IDNO}};
        for (const auto& c : cases) {
            DialogWatcher watcher(c.answer);
            int result = IDOK;
            if (c.box == 'E') ErrorBox("Archive open error!");
            if (c.box == 'W') WarningBox("Archive open error!");
            if (c.box == 'Q') result = QuestionBox("Archive open error!");
            EXPECT_EQ(result, c.answer);
            const std::string caption = title.empty() ? c.fallback : title;
            EXPECT_EQ(watcher.Seen(), std::vector<std::string>{caption + "|Archive open error!"});
        }
    }
    SetMessageBoxTitle("");
}

}  // namespace
