#include "platform/sdl/SdlKeys.h"

#include <SDL.h>

namespace kr {

namespace {

struct KeyRow {
    SDL_Keycode key;
    int32_t vk;
};

// Keys named by their keycode.
constexpr KeyRow kKeys[] = {
    {SDLK_BACKSPACE, 8},      {SDLK_TAB, 9},          {SDLK_RETURN, 13},
    {SDLK_RETURN2, 13},       {SDLK_KP_ENTER, 13},    {SDLK_LSHIFT, 16},
    {SDLK_RSHIFT, 16},        {SDLK_LCTRL, 17},       {SDLK_RCTRL, 17},
    {SDLK_LALT, 18},          {SDLK_RALT, 18},        {SDLK_PAUSE, 19},
    {SDLK_CAPSLOCK, 20},      {SDLK_ESCAPE, 27},      {SDLK_SPACE, 32},
    {SDLK_PAGEUP, 33},        {SDLK_PAGEDOWN, 34},    {SDLK_END, 35},
    {SDLK_HOME, 36},          {SDLK_LEFT, 37},        {SDLK_UP, 38},
    {SDLK_RIGHT, 39},         {SDLK_DOWN, 40},        {SDLK_SELECT, 41},
    {SDLK_PRINTSCREEN, 44},   {SDLK_INSERT, 45},      {SDLK_DELETE, 46},
    {SDLK_HELP, 47},          {SDLK_LGUI, 91},        {SDLK_RGUI, 92},
    {SDLK_APPLICATION, 93},   {SDLK_SLEEP, 95},       {SDLK_KP_MULTIPLY, 106},
    {SDLK_KP_PLUS, 107},      {SDLK_KP_MINUS, 109},   {SDLK_KP_DIVIDE, 111},
    {SDLK_NUMLOCKCLEAR, 144}, {SDLK_SCROLLLOCK, 145},
};

// Punctuation keys are named by their place on the keyboard, as the system's codes for them
// are: the codes of a US layout.
struct ScanRow {
    SDL_Scancode scan;
    int32_t vk;
};
constexpr ScanRow kPunctuation[] = {
    {SDL_SCANCODE_SEMICOLON, 186},  {SDL_SCANCODE_EQUALS, 187},
    {SDL_SCANCODE_COMMA, 188},      {SDL_SCANCODE_MINUS, 189},
    {SDL_SCANCODE_PERIOD, 190},     {SDL_SCANCODE_SLASH, 191},
    {SDL_SCANCODE_GRAVE, 192},      {SDL_SCANCODE_LEFTBRACKET, 219},
    {SDL_SCANCODE_BACKSLASH, 220},  {SDL_SCANCODE_RIGHTBRACKET, 221},
    {SDL_SCANCODE_APOSTROPHE, 222}, {SDL_SCANCODE_NONUSBACKSLASH, 226},
};

// Keypad 0..9 and the decimal point: with Num Lock off they are the navigation keys.
constexpr struct {
    SDL_Keycode key;
    int32_t with_lock, without_lock;
} kKeypad[] = {
    {SDLK_KP_0, 96, 45},  {SDLK_KP_1, 97, 35},  {SDLK_KP_2, 98, 40},       {SDLK_KP_3, 99, 34},
    {SDLK_KP_4, 100, 37}, {SDLK_KP_5, 101, 12}, {SDLK_KP_6, 102, 39},      {SDLK_KP_7, 103, 36},
    {SDLK_KP_8, 104, 38}, {SDLK_KP_9, 105, 33}, {SDLK_KP_PERIOD, 110, 46},
};

}  // namespace

int32_t VirtualKeyFromSdl(int32_t keycode, int32_t scancode, bool num_lock) {
    if (keycode >= SDLK_a && keycode <= SDLK_z) return keycode - SDLK_a + 65;
    if (keycode >= SDLK_0 && keycode <= SDLK_9) return keycode - SDLK_0 + 48;
    if (keycode >= SDLK_F1 && keycode <= SDLK_F12) return keycode - SDLK_F1 + 112;
    if (keycode >= SDLK_F13 && keycode <= SDLK_F24) return keycode - SDLK_F13 + 124;
    for (const auto& k : kKeypad)
        if (k.key == keycode) return num_lock ? k.with_lock : k.without_lock;
    for (const KeyRow& r : kKeys)
        if (r.key == keycode) return r.vk;
    for (const ScanRow& r : kPunctuation)
        if (int32_t(r.scan) == scancode) return r.vk;
    // A letter of another layout on a letter's place still counts as that letter.
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        return scancode - SDL_SCANCODE_A + 65;
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        return scancode - SDL_SCANCODE_1 + 49;
    if (scancode == SDL_SCANCODE_0) return 48;
    return 0;
}

int32_t SidedVirtualKeyFromSdl(int32_t keycode, int32_t scancode, bool num_lock) {
    switch (keycode) {
        case SDLK_LSHIFT:
            return 160;
        case SDLK_RSHIFT:
            return 161;
        case SDLK_LCTRL:
            return 162;
        case SDLK_RCTRL:
            return 163;
        case SDLK_LALT:
            return 164;
        case SDLK_RALT:
            return 165;
        default:
            return VirtualKeyFromSdl(keycode, scancode, num_lock);
    }
}

}  // namespace kr
