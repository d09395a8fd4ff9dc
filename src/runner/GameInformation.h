// The game information: the help text the player opens with F1, and how its window looks.
#pragma once

#include <cstdint>
#include <string>

#include "data/Stream.h"

namespace kr {

struct CGameInformation {
    int32_t background_color = 0xE1FFFF;
    bool separate_window = false;
    std::string caption = "Game Information";
    int32_t left = -1;  // negative: centred on the screen
    int32_t top = -1;
    int32_t width = 600;
    int32_t height = 400;
    bool show_border = true;
    bool sizeable = true;
    bool stay_on_top = false;
    bool freeze_game = true;
    std::string text;  // a rich-text document

    struct Rect {
        int32_t left, top, width, height;
    };
    // The window's place on a screen of the given size: the size is limited to the screen,
    // then a negative position centres the window.
    Rect Placement(int32_t screen_width, int32_t screen_height) const;

    bool operator==(const CGameInformation&) const = default;
};

// The record inside the game information section's block (it has no version of its own).
void ReadGameInformationRecord(CStream& s, CGameInformation& out);
void WriteGameInformationRecord(CStream& s, const CGameInformation& info);

}  // namespace kr
