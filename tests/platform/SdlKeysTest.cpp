// SDL's keys as virtual-key codes. Keycodes are SDL's: printable keys are their characters,
// the others the scancode with bit 30 set; scancodes follow the USB usage table.
#include <gtest/gtest.h>

#include "platform/sdl/SdlKeys.h"

namespace kr {
namespace {

constexpr int32_t Scan(int32_t scancode) {
    return scancode | 1 << 30;
}

TEST(SdlKeys, KeysBecomeTheGamesVirtualKeyCodes) {
    struct Case {
        int32_t keycode, scancode;
        bool num_lock;
        int32_t vk, sided;
    } cases[] = {
        {'a', 4, false, 65, 65},          {'z', 29, false, 90, 90},
        {'0', 39, false, 48, 48},         {'7', 36, false, 55, 55},
        {Scan(58), 58, false, 112, 112},  {Scan(69), 69, false, 123, 123},   // F1, F12
        {Scan(98), 98, true, 96, 96},     {Scan(98), 98, false, 45, 45},     // keypad 0
        {Scan(97), 97, true, 105, 105},   {Scan(99), 99, true, 110, 110},    // keypad 9, .
        {Scan(85), 85, false, 106, 106},  {Scan(84), 84, false, 111, 111},   // keypad *, /
        {Scan(88), 88, true, 13, 13},     {'\r', 40, false, 13, 13},         // enters
        {Scan(80), 80, false, 37, 37},    {Scan(81), 81, false, 40, 40},     // left, down
        {Scan(225), 225, false, 16, 160}, {Scan(229), 229, false, 16, 161},  // shifts
        {Scan(224), 224, false, 17, 162}, {Scan(230), 230, false, 18, 165},  // ctrl, alt
        {27, 41, false, 27, 27},          {'\b', 42, false, 8, 8},
        {' ', 44, false, 32, 32},         {127, 76, false, 46, 46},     // delete
        {';', 51, false, 186, 186},       {0xE9, 51, false, 186, 186},  // by place
        {'q', 20, false, 81, 81},         {Scan(5000), 0, false, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VirtualKeyFromSdl(c.keycode, c.scancode, c.num_lock), c.vk) << c.keycode;
        EXPECT_EQ(SidedVirtualKeyFromSdl(c.keycode, c.scancode, c.num_lock), c.sided) << c.keycode;
    }
}

}  // namespace
}  // namespace kr
