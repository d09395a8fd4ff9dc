// The names of events as error messages show them: "Alarm Event for alarm 3", "Keyboard Event
// for <Left> Key", "Other Event: User Defined 2". Pure data; the names of objects and triggers
// that some events mention come from the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "objects/EventTypes.h"

namespace kr {

// "<Left>", "A-key", "Keypad 5", "F10"; "<unknown>" for codes without a name.
std::string KeyName(int32_t code);
// "Left Button", "Joystick 2 Button 8", "Mouse Wheel Up"; "<unknown>" otherwise.
std::string MouseEventName(int32_t number);
// "Outside Room", "User Defined 15", "Boundary View 7"; "<unknown>" otherwise.
std::string OtherEventName(int32_t number);

// The name of event (type, number). Collision events name the other object and trigger events
// the trigger, through the two lookups.
std::string EventName(int32_t type, int32_t number,
                      const std::function<std::string(int32_t)>& object_name,
                      const std::function<std::string(int32_t)>& trigger_name);

}  // namespace kr
