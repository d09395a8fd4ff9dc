// The event types of objects (the first number of an event) and the numbers within a type (the
// second) that the runner raises itself.
#pragma once

#include <cstdint>

namespace kr {

enum EventType : int32_t {
    kEventCreate = 0,
    kEventDestroy = 1,
    kEventAlarm = 2,
    kEventStep = 3,
    kEventCollision = 4,
    kEventKeyboard = 5,
    kEventMouse = 6,
    kEventOther = 7,
    kEventDraw = 8,
    kEventKeyPress = 9,
    kEventKeyRelease = 10,
    kEventTrigger = 11,
};

// Step events (and the moments of triggers).
inline constexpr int32_t kStepNormal = 0;
inline constexpr int32_t kStepBegin = 1;
inline constexpr int32_t kStepEnd = 2;

// Keyboard, key press and key release events: a key code from 8 up, or one of these two.
inline constexpr int32_t kKeyNone = 0;
inline constexpr int32_t kKeyAny = 1;
inline constexpr int32_t kFirstKeyEvent = 8;

// Mouse events. Buttons count from 0 (left, right, middle) in the local events and in the
// global ones.
inline constexpr int32_t kMouseButtonHeld = 0;  // + button
inline constexpr int32_t kMouseNoButton = 3;
inline constexpr int32_t kMouseButtonPressed = 4;   // + button
inline constexpr int32_t kMouseButtonReleased = 7;  // + button
inline constexpr int32_t kMouseEnter = 10;
inline constexpr int32_t kMouseLeave = 11;
inline constexpr int32_t kMouseGlobalPressed = 12;   // any button
inline constexpr int32_t kMouseGlobalReleased = 13;  // any button
// Joystick j (0 or 1): left, right, up, down, a gap, then buttons 1 to 8.
inline constexpr int32_t kMouseJoystick1 = 16;
inline constexpr int32_t kMouseJoystick2 = 31;
inline constexpr int32_t kJoystickLeft = 0, kJoystickRight = 1, kJoystickUp = 2, kJoystickDown = 3;
inline constexpr int32_t kJoystickButton1 = 5;
inline constexpr int32_t kMouseGlobalButtonHeld = 50;      // + button
inline constexpr int32_t kMouseGlobalButtonPressed = 53;   // + button
inline constexpr int32_t kMouseGlobalButtonReleased = 56;  // + button
inline constexpr int32_t kMouseWheelUp = 60;
inline constexpr int32_t kMouseWheelDown = 61;

// Other events.
inline constexpr int32_t kOtherOutsideRoom = 0;
inline constexpr int32_t kOtherIntersectBoundary = 1;
inline constexpr int32_t kOtherGameStart = 2;
inline constexpr int32_t kOtherGameEnd = 3;
inline constexpr int32_t kOtherRoomStart = 4;
inline constexpr int32_t kOtherRoomEnd = 5;
inline constexpr int32_t kOtherNoMoreLives = 6;
inline constexpr int32_t kOtherAnimationEnd = 7;
inline constexpr int32_t kOtherEndOfPath = 8;
inline constexpr int32_t kOtherNoMoreHealth = 9;
inline constexpr int32_t kOtherUser0 = 10;  // user events 0 to 15
inline constexpr int32_t kOtherCloseButton = 30;
inline constexpr int32_t kOtherOutsideView0 = 40;   // views 0 to 7
inline constexpr int32_t kOtherBoundaryView0 = 50;  // views 0 to 7

}  // namespace kr
