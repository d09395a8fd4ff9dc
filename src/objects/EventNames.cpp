// The event name table: event types, key names, mouse event names and other event names.
#include "objects/EventNames.h"

#include <array>

namespace kr {

namespace {
const std::string kUnknown = "<unknown>";

struct Named {
    int32_t code;
    const char* name;
};

const Named kKeyNames[] = {
    {0, "<no key>"},   {1, "<any key>"},  {8, "<Backspace>"}, {9, "<Tab>"},
    {13, "<Enter>"},   {16, "<Shift>"},   {17, "<Ctrl>"},     {18, "<Alt>"},
    {27, "<Escape>"},  {32, "<Space>"},   {33, "<Page Up>"},  {34, "<Page Down>"},
    {35, "<End>"},     {36, "<Home>"},    {37, "<Left>"},     {38, "<Up>"},
    {39, "<Right>"},   {40, "<Down>"},    {45, "<Insert>"},   {46, "<Delete>"},
    {106, "Keypad *"}, {107, "Keypad +"}, {109, "Keypad -"},  {110, "Keypad ."},
    {111, "Keypad /"},
};

const std::array<const char*, 12> kMouseButtons = {
    "Left Button",    "Right Button",    "Middle Button",  "No Button",
    "Left Pressed",   "Right Pressed",   "Middle Pressed", "Left Released",
    "Right Released", "Middle Released", "Mouse Enter",    "Mouse Leave",
};
const std::array<const char*, 9> kGlobalMouse = {
    "Glob Left Button",   "Glob Right Button",   "Glob Middle Button",
    "Glob Left Pressed",  "Glob Right Pressed",  "Glob Middle Pressed",
    "Glob Left Released", "Glob Right Released", "Glob Middle Released",
};
const std::array<const char*, 4> kJoystickDirections = {"Left", "Right", "Up", "Down"};

const std::array<const char*, 10> kOtherEvents = {
    "Outside Room", "Intersect Boundary", "Game Start",    "Game End",    "Room Start",
    "Room End",     "No More Lives",      "Animation End", "End Of Path", "No More Health",
};

// Joystick j (1 or 2) events start at `base`: four directions, a gap, eight buttons.
std::string JoystickName(int32_t number, int32_t base, int j) {
    std::string stick = "Joystick " + std::to_string(j) + " ";
    if (number < base + 4) return stick + kJoystickDirections[size_t(number - base)];
    if (number >= base + 5 && number < base + 13)
        return stick + "Button " + std::to_string(number - base - 4);
    return kUnknown;
}
}  // namespace

std::string KeyName(int32_t code) {
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z'))
        return std::string(1, char(code)) + "-key";
    if (code >= 96 && code <= 105) return "Keypad " + std::to_string(code - 96);
    if (code >= 112 && code <= 123) return "F" + std::to_string(code - 111);
    for (const Named& k : kKeyNames)
        if (k.code == code) return k.name;
    return kUnknown;
}

std::string MouseEventName(int32_t number) {
    if (number >= 0 && number < 12) return kMouseButtons[size_t(number)];
    if (number >= 16 && number < 29) return JoystickName(number, 16, 1);
    if (number >= 31 && number < 44) return JoystickName(number, 31, 2);
    if (number >= 50 && number < 59) return kGlobalMouse[size_t(number - 50)];
    if (number == 60) return "Mouse Wheel Up";
    if (number == 61) return "Mouse Wheel Down";
    return kUnknown;
}

std::string OtherEventName(int32_t number) {
    if (number >= 0 && number < 10) return kOtherEvents[size_t(number)];
    if (number >= 10 && number <= 25) return "User Defined " + std::to_string(number - 10);
    if (number == 30) return "Close Button";
    if (number >= 40 && number <= 47) return "Outside View " + std::to_string(number - 40);
    if (number >= 50 && number <= 57) return "Boundary View " + std::to_string(number - 50);
    return kUnknown;
}

std::string EventName(int32_t type, int32_t number,
                      const std::function<std::string(int32_t)>& object_name,
                      const std::function<std::string(int32_t)>& trigger_name) {
    switch (type) {
        case kEventCreate:
            return "Create Event";
        case kEventDestroy:
            return "Destroy Event";
        case kEventAlarm:
            return "Alarm Event for alarm " + std::to_string(number);
        case kEventStep: {
            // A normal step reads " Step Event", with the leading blank of an empty step name.
            const char* step = number == 0   ? ""
                               : number == 1 ? "Begin"
                               : number == 2 ? "End"
                                             : "<unknown>";
            return std::string(step) + " Step Event";
        }
        case kEventCollision:
            return "Collision Event with object " + object_name(number);
        case kEventKeyboard:
            return "Keyboard Event for " + KeyName(number) + " Key";
        case kEventMouse:
            return "Mouse Event for " + MouseEventName(number);
        case kEventOther:
            return "Other Event: " + OtherEventName(number);
        case kEventDraw:
            return "Draw Event";
        case kEventKeyPress:
            return "Key Press Event for " + KeyName(number) + " Key";
        case kEventKeyRelease:
            return "Key Release Event for " + KeyName(number) + " Key";
        case kEventTrigger:
            return "Trigger Event: " + trigger_name(number);
        default:
            return "<Unknown Event>";
    }
}

}  // namespace kr
