// The event types of objects (the first number of an event; the second is per type).
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

}  // namespace kr
