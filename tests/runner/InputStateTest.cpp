// The input state as the notifications and the check functions see it.
#include <gtest/gtest.h>

#include "runner/InputState.h"

namespace kr {
namespace {

using Marks = InputState::Marks;

TEST(InputState, KeysArePressedOnceHeldUntilReleasedAndCurrentOnlyWhileDown) {
    InputState in;
    in.KeyDown(65);
    in.ClearEdges();
    in.KeyDown(65);  // auto-repeat
    EXPECT_TRUE(in.Held(65));
    EXPECT_FALSE(in.Pressed(65));

    in.KeyDown(66);
    in.KeyUp(66);  // A is still down, but the current key was B
    EXPECT_EQ(in.CurrentKey(), 0);
    EXPECT_EQ(in.LastKey(), 66);
    EXPECT_TRUE(in.Released(66));
    EXPECT_FALSE(in.Held(66));
    EXPECT_TRUE(in.Pressed(66));  // pressed and released within one step still counts

    in.ClearKeyboard();
    EXPECT_FALSE(in.Held(65));
    EXPECT_EQ(in.LastKey(), 0);
}

TEST(InputState, CheckFunctionsKnowNoKeyAndAnyKey) {
    InputState in;
    struct Case {
        int64_t key;
        bool idle, holding_a;
    } cases[] = {
        {0, true, false},   {1, false, true},    {65, false, true},
        {66, false, false}, {300, false, false}, {-1, false, false},
    };
    for (const Case& c : cases) EXPECT_EQ(in.CheckKey(c.key, Marks::kHeld), c.idle) << c.key;
    in.KeyDown(65);
    for (const Case& c : cases) EXPECT_EQ(in.CheckKey(c.key, Marks::kHeld), c.holding_a) << c.key;
    EXPECT_TRUE(in.CheckKey(1, Marks::kPressed));
    EXPECT_TRUE(in.CheckKey(0, Marks::kReleased));
}

TEST(InputState, TheKeyMapDecidesWhichKeyAPhysicalKeyMarks) {
    InputState in;
    in.SetMap(37, 65);
    in.KeyDown(37);
    EXPECT_TRUE(in.Held(65));
    EXPECT_FALSE(in.Held(37));
    EXPECT_TRUE(in.PhysicallyDown(37));  // the direct test ignores the map
    EXPECT_EQ(in.Map(37), 65);
    EXPECT_EQ(in.Map(300), 300);
    in.SetMap(38, -1);  // mapped to no key: ignored
    in.KeyDown(38);
    EXPECT_EQ(in.LastKey(), 65);
    in.ResetMap();
    EXPECT_EQ(in.Map(37), 37);
}

TEST(InputState, TypedTextKeepsTheLast1025BytesAndHonoursBackspace) {
    InputState in;
    in.Character(8);  // nothing to remove
    EXPECT_EQ(in.TypedText(), "");
    std::string typed;
    for (int i = 0; i < 1030; ++i) {
        char c = char('a' + i % 26);
        typed += c;
        in.Character(uint8_t(c));
    }
    EXPECT_EQ(in.TypedText(), typed.substr(1030 - 1025));
    in.Character(8);  // the text is cut to 1024 bytes first, then loses its last
    EXPECT_EQ(in.TypedText(), typed.substr(1030 - 1024, 1023));
    in.Character(13);  // remembered, not typed
    EXPECT_EQ(in.LastChar(), 13);
    EXPECT_EQ(in.TypedText().size(), 1023u);
    in.ClearAll();
    EXPECT_EQ(in.TypedText().size(), 1023u);  // clearing leaves the typed text
    EXPECT_EQ(in.LastChar(), 0);
}

TEST(InputState, MouseButtonsAndWheel) {
    InputState in;
    EXPECT_TRUE(in.CheckButton(0, Marks::kHeld));
    in.MouseDown(1);
    in.MouseDown(2);
    in.MouseUp(2);
    in.Wheel(true);
    EXPECT_EQ(in.CurrentButton(), 0);
    EXPECT_EQ(in.LastButton(), 2);
    EXPECT_TRUE(in.CheckButton(-1, Marks::kHeld));
    EXPECT_FALSE(in.CheckButton(0, Marks::kHeld));
    EXPECT_TRUE(in.CheckButton(2, Marks::kReleased));
    EXPECT_FALSE(in.CheckButton(4, Marks::kPressed));
    in.ClearEdges();
    EXPECT_FALSE(in.WheelUp());
    EXPECT_FALSE(in.ButtonPressed(1));
    EXPECT_TRUE(in.ButtonHeld(1));
    // Writes from scripts accept only real buttons and keys.
    in.SetCurrentButton(0);
    in.SetLastButton(4);
    in.SetCurrentKey(256);
    EXPECT_EQ(in.CurrentButton(), 0);
    EXPECT_EQ(in.LastButton(), 2);
    EXPECT_EQ(in.CurrentKey(), 0);
}

}  // namespace
}  // namespace kr
