// The names events have in error messages.
#include <gtest/gtest.h>

#include "objects/EventNames.h"

namespace kr {
namespace {

TEST(EventNames, EveryTypeAndItsNumbers) {
    auto object = [](int32_t i) { return "obj" + std::to_string(i); };
    auto trigger = [](int32_t i) { return "trig" + std::to_string(i); };
    const struct {
        int32_t type, number;
        const char* want;
    } cases[] = {
        {0, 0, "Create Event"},
        {1, 0, "Destroy Event"},
        {2, 11, "Alarm Event for alarm 11"},
        {3, 0, " Step Event"},  // the empty name of the normal step leaves a blank
        {3, 1, "Begin Step Event"},
        {3, 2, "End Step Event"},
        {3, 3, "<unknown> Step Event"},
        {4, 7, "Collision Event with object obj7"},
        {5, 0, "Keyboard Event for <no key> Key"},
        {5, 1, "Keyboard Event for <any key> Key"},
        {5, 37, "Keyboard Event for <Left> Key"},
        {5, 48, "Keyboard Event for 0-key Key"},
        {5, 90, "Keyboard Event for Z-key Key"},
        {9, 97, "Key Press Event for Keypad 1 Key"},
        {9, 106, "Key Press Event for Keypad * Key"},
        {10, 123, "Key Release Event for F12 Key"},
        {10, 108, "Key Release Event for <unknown> Key"},
        {10, 200, "Key Release Event for <unknown> Key"},
        {6, 0, "Mouse Event for Left Button"},
        {6, 11, "Mouse Event for Mouse Leave"},
        {6, 12, "Mouse Event for <unknown>"},
        {6, 19, "Mouse Event for Joystick 1 Down"},
        {6, 20, "Mouse Event for <unknown>"},
        {6, 21, "Mouse Event for Joystick 1 Button 1"},
        {6, 43, "Mouse Event for Joystick 2 Button 8"},
        {6, 31, "Mouse Event for Joystick 2 Left"},
        {6, 58, "Mouse Event for Glob Middle Released"},
        {6, 61, "Mouse Event for Mouse Wheel Down"},
        {7, 6, "Other Event: No More Lives"},
        {7, 25, "Other Event: User Defined 15"},
        {7, 30, "Other Event: Close Button"},
        {7, 47, "Other Event: Outside View 7"},
        {7, 50, "Other Event: Boundary View 0"},
        {7, 26, "Other Event: <unknown>"},
        {8, 0, "Draw Event"},
        {11, 3, "Trigger Event: trig3"},
        {12, 0, "<Unknown Event>"},
        {-1, 0, "<Unknown Event>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EventName(c.type, c.number, object, trigger), c.want)
            << c.type << "," << c.number;
}

}  // namespace
}  // namespace kr
