// Replayed input: the text form that `korvane run --input FILE` reads, one event a line:
//     STEP EVENT ARGS
// STEP counts the game's steps from 0; the events of a step reach the game, in file order,
// just before that step runs. EVENT ARGS is one of
//     key down VK | key up VK | char TEXT | mouse move X Y | mouse down B | mouse up B |
//     wheel up | wheel down | close | text TEXT | button N
// VK is a virtual-key code (0..255) or the name of a vk_ constant (vk_left), B a button (1 left, 2
// right, 3 middle), X and Y are window-region pixels, TEXT is the rest of the line after one blank,
// each byte one typed character. `#` starts a comment that runs to the end of the line (except
// inside TEXT); blank lines are skipped. `text` and `button` answer the game's own windows (message
// and input boxes, menus, pickers, the highscore table) rather than reaching the game: `text`
// types TEXT into the open window, `button N` presses its button N (a menu's item N).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace kr {

struct ReplayEvent {
    int64_t step = 0;
    InputEvent event;
    // An answer to a window instead of an input event: its text or button number.
    enum class Answer : uint8_t { kNone, kText, kButton };
    Answer answer = Answer::kNone;
    std::string text;
    int32_t button = 0;

    bool operator==(const ReplayEvent&) const = default;
};

// Parses a whole replay text into events in file order. Steps must not decrease from line to
// line. On a malformed line returns false with `error` naming the line ("line 3: ...").
bool ParseInputReplay(std::string_view text, std::vector<ReplayEvent>& out, std::string& error);

}  // namespace kr
