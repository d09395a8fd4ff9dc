// The text form of replayed input.
#include <gtest/gtest.h>

#include "runner/InputReplay.h"

namespace kr {
namespace {

using Kind = InputEvent::Kind;

TEST(InputReplay, EveryEventAndCommentsParse) {
    std::vector<ReplayEvent> out;
    std::string error;
    ASSERT_TRUE(
        ParseInputReplay("# a comment\r\n"
                         "0 key down vk_left\n"
                         "\n"
                         "0 key up 37\n"
                         "1 char a #b\n"
                         "2 mouse move -5 7   # trailing comment\n"
                         "2 mouse down 3\n"
                         "3 mouse up 1\n"
                         "3 wheel up\n"
                         "3 wheel down\n"
                         "4 close",
                         out, error))
        << error;
    std::vector<ReplayEvent> want = {
        {0, {Kind::kKeyDown, 37}},         {0, {Kind::kKeyUp, 37}},
        {1, {Kind::kChar, 'a'}},           {1, {Kind::kChar, ' '}},
        {1, {Kind::kChar, '#'}},           {1, {Kind::kChar, 'b'}},
        {2, {Kind::kMouseMove, 0, -5, 7}}, {2, {Kind::kMouseDown, 3}},
        {3, {Kind::kMouseUp, 1}},          {3, {Kind::kWheelUp}},
        {3, {Kind::kWheelDown}},           {4, {Kind::kClose}},
    };
    EXPECT_EQ(out, want);
}

// A key may be written as the letter or digit it types: a letter bare or quoted (either
// case), a digit quoted, since a bare number is a virtual-key code.
TEST(InputReplay, KeysByLetterOrDigit) {
    std::vector<ReplayEvent> out;
    std::string error;
    ASSERT_TRUE(
        ParseInputReplay("0 key down S\n0 key up s\n1 key down 'q'\n1 key down '5'\n"
                         "2 key down 5\n",
                         out, error))
        << error;
    std::vector<ReplayEvent> want = {
        {0, {Kind::kKeyDown, 'S'}}, {0, {Kind::kKeyUp, 'S'}}, {1, {Kind::kKeyDown, 'Q'}},
        {1, {Kind::kKeyDown, '5'}}, {2, {Kind::kKeyDown, 5}},
    };
    EXPECT_EQ(out, want);
}

// Answers to the game's windows keep their text whole, comment signs and blanks included.
TEST(InputReplay, WindowAnswersParse) {
    std::vector<ReplayEvent> out;
    std::string error;
    ASSERT_TRUE(ParseInputReplay("0 text Bob # Smith \n1 text \n1 button 3 # third\n", out, error))
        << error;
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].answer, ReplayEvent::Answer::kText);
    EXPECT_EQ(out[0].text, "Bob # Smith ");
    EXPECT_EQ(out[1].text, "");
    EXPECT_EQ(out[2].step, 1);
    EXPECT_EQ(out[2].answer, ReplayEvent::Answer::kButton);
    EXPECT_EQ(out[2].button, 3);
}

TEST(InputReplay, MalformedLinesAreNamed) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"x key down 1", "line 1: the step 'x' is not a number of 0 or more"},
        {"-1 close", "line 1: the step '-1' is not a number of 0 or more"},
        {"# ok\n3", "line 2: an event must follow the step"},
        {"0 key down 256",
         "line 1: the key '256' is not 0..255, a vk_ name, a letter or a quoted digit ('5')"},
        {"0 key down vk_lft",
         "line 1: the key 'vk_lft' is not 0..255, a vk_ name, a letter or a quoted digit ('5')"},
        {"0 key down SS",
         "line 1: the key 'SS' is not 0..255, a vk_ name, a letter or a quoted digit ('5')"},
        {"0 key down '55'",
         "line 1: the key ''55'' is not 0..255, a vk_ name, a letter or a quoted digit ('5')"},
        {"0 key down 1\n5 close\n5 close\n# later\n4 key up 1",
         "line 5: step 4 comes before step 5 of line 3; steps must not go back"},
        {"0 key down", "line 1: expected 'key down|up VK'"},
        {"0 mouse down 4", "line 1: the button '4' is not 1..3"},
        {"0 mouse move 1", "line 1: expected 'mouse move X Y'"},
        {"0 wheel left", "line 1: unknown event 'wheel left'"},
        {"0 close now", "line 1: expected 'close'"},
        {"0 char", "line 1: expected 'char TEXT'"},
        {"0 jump", "line 1: unknown event 'jump'"},
        {"0 text", "line 1: expected 'text TEXT'"},
        {"0 button", "line 1: expected 'button N'"},
        {"0 button two", "line 1: the button 'two' is not 0..1000000"},
    };
    for (const Case& c : cases) {
        std::vector<ReplayEvent> out;
        std::string error;
        EXPECT_FALSE(ParseInputReplay(c.text, out, error)) << c.text;
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(out.empty());
    }
}

}  // namespace
}  // namespace kr
