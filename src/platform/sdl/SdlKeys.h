// The translation of SDL's keys into the virtual-key codes games use. Kept free of SDL types
// so that tests can check the table: keycodes and scancodes are SDL's numbers.
#pragma once

#include <cstdint>

namespace kr {

// The virtual-key code of a key, 0 when it has none. Keypad keys give the digits and operators
// with Num Lock on and the navigation keys with it off, as the system's notifications do; left
// and right shift, control and alt both give the shared codes 16, 17 and 18.
int32_t VirtualKeyFromSdl(int32_t keycode, int32_t scancode, bool num_lock);

// The same key named by its side for the direct key test: 160/161 left/right shift, 162/163
// control, 164/165 alt; other keys as VirtualKeyFromSdl.
int32_t SidedVirtualKeyFromSdl(int32_t keycode, int32_t scancode, bool num_lock);

}  // namespace kr
