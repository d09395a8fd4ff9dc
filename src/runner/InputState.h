// InputState: the runner's view of the keyboard and the mouse. Window notifications (and
// replayed input) update it, the keyboard and mouse dispatchers read it once per step, and the
// input functions read and change it. Keys are the virtual-key codes of the script constants
// (vk_left is 37, vk_f1 is 112); mouse buttons are 1 left, 2 right, 3 middle.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kr {

inline constexpr int32_t kKeyCount = 256;
inline constexpr int32_t kMouseButtonCount = 3;
// The typed text is cut from its front to this many bytes when it has reached one more.
inline constexpr size_t kTypedTextKept = 1024;

class InputState {
public:
    InputState();

    // ---- Notifications ----
    // A physical key went down (auto-repeat sends it again) or up; the key map decides which
    // key it counts as.
    void KeyDown(int32_t physical);
    void KeyUp(int32_t physical);
    // A character was typed: backspace (8) removes the last byte of the typed text, other
    // control characters are only remembered as the last character.
    void Character(uint8_t c);
    void MouseDown(int32_t button);
    void MouseUp(int32_t button);
    void Wheel(bool up);

    // ---- Clearing ----
    // Keys, the current and last key and the last character; the typed text stays.
    void ClearKeyboard();
    // Buttons, the current and last button and the wheel.
    void ClearMouse();
    void ClearAll() {
        ClearKeyboard();
        ClearMouse();
    }
    // The per-step edges: pressed and released marks of keys and buttons, the wheel flags.
    void ClearEdges();
    // One key's held, pressed and released marks; one button's (1..3).
    void ClearKey(int32_t key);
    void ClearButton(int32_t button);

    // ---- Keys (0..255; other numbers are never held) ----
    bool Held(int32_t key) const { return InRange(key) && held_[size_t(key)]; }
    bool Pressed(int32_t key) const { return InRange(key) && pressed_[size_t(key)]; }
    bool Released(int32_t key) const { return InRange(key) && released_[size_t(key)]; }
    // The key that went down last and is still down (0 none) and the last that went down.
    int32_t CurrentKey() const { return current_key_; }
    int32_t LastKey() const { return last_key_; }
    // Only 0..255 are accepted; other values change nothing.
    void SetCurrentKey(int32_t key);
    void SetLastKey(int32_t key);
    uint8_t LastChar() const { return last_char_; }
    void SetLastChar(uint8_t c) { last_char_ = c; }
    const std::string& TypedText() const { return typed_; }
    void SetTypedText(std::string text);

    // The keyboard check functions: 0 no key (none held), 1 any key, 2..255 the key itself.
    enum class Marks { kHeld, kPressed, kReleased };
    bool CheckKey(int64_t key, Marks marks) const;

    // The key map: physical key p counts as key Map(p). Keys outside 0..255 map to themselves.
    int32_t Map(int64_t key) const;
    void SetMap(int32_t key, int32_t to);
    void ResetMap();

    // Physical keys down as the notifications told (independent of the map).
    bool PhysicallyDown(int32_t key) const { return InRange(key) && physical_[size_t(key)]; }

    // ---- Mouse (buttons 1..3) ----
    bool ButtonHeld(int32_t b) const { return InButtons(b) && button_held_[size_t(b - 1)]; }
    bool ButtonPressed(int32_t b) const { return InButtons(b) && button_pressed_[size_t(b - 1)]; }
    bool ButtonReleased(int32_t b) const { return InButtons(b) && button_released_[size_t(b - 1)]; }
    // The mouse check functions: -1 any button, 0 no button, 1..3 the button itself.
    bool CheckButton(int64_t button, Marks marks) const;
    int32_t CurrentButton() const { return current_button_; }
    int32_t LastButton() const { return last_button_; }
    // Only 1..3 are accepted.
    void SetCurrentButton(int32_t b);
    void SetLastButton(int32_t b);
    // Last button 0, so that a wait sees only buttons pressed after it began.
    void ForgetLastButton() { last_button_ = 0; }
    bool WheelUp() const { return wheel_up_; }
    bool WheelDown() const { return wheel_down_; }

    // The mouse in window-region pixels, as the window last reported it.
    int32_t window_mouse_x = 0, window_mouse_y = 0;

private:
    static bool InRange(int64_t key) { return key >= 0 && key < kKeyCount; }
    static bool InButtons(int64_t b) { return b >= 1 && b <= kMouseButtonCount; }
    using Keys = std::array<bool, kKeyCount>;
    using Buttons = std::array<bool, kMouseButtonCount>;
    const Keys& KeyMarks(Marks m) const {
        return m == Marks::kHeld ? held_ : m == Marks::kPressed ? pressed_ : released_;
    }
    const Buttons& ButtonMarks(Marks m) const {
        return m == Marks::kHeld      ? button_held_
               : m == Marks::kPressed ? button_pressed_
                                      : button_released_;
    }

    Keys held_{}, pressed_{}, released_{}, physical_{};
    int32_t current_key_ = 0, last_key_ = 0;
    uint8_t last_char_ = 0;
    std::string typed_;
    std::array<int32_t, kKeyCount> map_{};
    Buttons button_held_{}, button_pressed_{}, button_released_{};
    int32_t current_button_ = 0, last_button_ = 0;
    bool wheel_up_ = false, wheel_down_ = false;
};

}  // namespace kr
