// The input state's updates and clearing.
#include "runner/InputState.h"

namespace kr {

InputState::InputState() {
    ResetMap();
}

void InputState::KeyDown(int32_t physical) {
    if (InRange(physical)) physical_[size_t(physical)] = true;
    int32_t k = Map(physical);
    if (!InRange(k)) return;
    current_key_ = last_key_ = k;
    // Auto-repeat sends more downs while the key is held; only the first one presses it.
    if (!held_[size_t(k)]) pressed_[size_t(k)] = true;
    held_[size_t(k)] = true;
}

void InputState::KeyUp(int32_t physical) {
    if (InRange(physical)) physical_[size_t(physical)] = false;
    int32_t k = Map(physical);
    if (!InRange(k)) return;
    if (k == current_key_) current_key_ = 0;
    held_[size_t(k)] = false;
    released_[size_t(k)] = true;
}

void InputState::Character(uint8_t c) {
    last_char_ = c;
    if (typed_.size() >= kTypedTextKept + 1) typed_.erase(0, typed_.size() - kTypedTextKept);
    if (c == 8) {
        if (!typed_.empty()) typed_.pop_back();
    } else if (c >= 32) {
        typed_ += char(c);
    }
}

void InputState::MouseDown(int32_t button) {
    if (!InButtons(button)) return;
    current_button_ = last_button_ = button;
    button_held_[size_t(button - 1)] = true;
    button_pressed_[size_t(button - 1)] = true;
}

void InputState::MouseUp(int32_t button) {
    if (!InButtons(button)) return;
    current_button_ = 0;
    button_held_[size_t(button - 1)] = false;
    button_released_[size_t(button - 1)] = true;
}

void InputState::Wheel(bool up) {
    (up ? wheel_up_ : wheel_down_) = true;
}

void InputState::ClearKeyboard() {
    current_key_ = last_key_ = 0;
    last_char_ = 0;
    held_.fill(false);
    pressed_.fill(false);
    released_.fill(false);
}

void InputState::ClearMouse() {
    current_button_ = last_button_ = 0;
    button_held_.fill(false);
    button_pressed_.fill(false);
    button_released_.fill(false);
    wheel_up_ = wheel_down_ = false;
}

void InputState::ClearEdges() {
    pressed_.fill(false);
    released_.fill(false);
    button_pressed_.fill(false);
    button_released_.fill(false);
    wheel_up_ = wheel_down_ = false;
}

void InputState::ClearKey(int32_t key) {
    if (!InRange(key)) return;
    held_[size_t(key)] = pressed_[size_t(key)] = released_[size_t(key)] = false;
}

void InputState::ClearButton(int32_t b) {
    if (!InButtons(b)) return;
    size_t i = size_t(b - 1);
    button_held_[i] = button_pressed_[i] = button_released_[i] = false;
}

void InputState::SetCurrentKey(int32_t key) {
    if (InRange(key)) current_key_ = key;
}

void InputState::SetLastKey(int32_t key) {
    if (InRange(key)) last_key_ = key;
}

void InputState::SetTypedText(std::string text) {
    typed_ = std::move(text);
}

bool InputState::CheckKey(int64_t key, Marks marks) const {
    const Keys& m = KeyMarks(marks);
    if (key == 0 || key == 1) {
        bool any = false;
        for (bool b : m) any = any || b;
        return key == 1 ? any : !any;
    }
    return InRange(key) && m[size_t(key)];
}

int32_t InputState::Map(int64_t key) const {
    if (!InRange(key)) return int32_t(key);
    return map_[size_t(key)];
}

void InputState::SetMap(int32_t key, int32_t to) {
    if (InRange(key)) map_[size_t(key)] = to;
}

void InputState::ResetMap() {
    for (int32_t k = 0; k < kKeyCount; ++k) map_[size_t(k)] = k;
}

bool InputState::CheckButton(int64_t button, Marks marks) const {
    const Buttons& m = ButtonMarks(marks);
    bool any = m[0] || m[1] || m[2];
    if (button == -1) return any;
    if (button == 0) return !any;
    return InButtons(button) && m[size_t(button - 1)];
}

void InputState::SetCurrentButton(int32_t b) {
    if (InButtons(b)) current_button_ = b;
}

void InputState::SetLastButton(int32_t b) {
    if (InButtons(b)) last_button_ = b;
}

}  // namespace kr
