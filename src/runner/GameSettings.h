// The game settings: the record stored near the start of the game data, with the value every
// setting has before the record is read. They live for the whole run.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "data/Stream.h"

namespace kr {

// A picture of the settings as stored: the content of its BMP file. Present but undecodable
// pictures count as absent wherever they are shown.
struct StoredPicture {
    bool present = false;
    std::vector<uint8_t> bmp;

    bool operator==(const StoredPicture&) const = default;
};

struct GameSettings {
    bool start_fullscreen = false;
    bool interpolate_colors = false;
    bool no_border = false;
    bool show_cursor = true;
    int32_t scaling = 100;
    bool sizeable = false;
    bool stay_on_top = false;
    int32_t outside_color = 0xFFFFFF;
    bool change_display_mode = false;
    int32_t color_depth = 0;  // 0 no change, 1 16-bit, 2 32-bit
    int32_t resolution = 0;   // 0 no change, 1 320x240 .. 6 1600x1200
    int32_t frequency = 0;    // 0 no change, 1 60 Hz .. 5 120 Hz
    bool no_caption_buttons = false;
    bool vsync = false;
    bool disable_screensaver = true;
    bool f4_switches_fullscreen = true;
    bool f1_shows_game_information = true;
    bool esc_ends_game = true;
    bool f5_f6_save_load = true;
    bool f9_screenshot = true;
    bool close_button_acts_as_esc = true;
    int32_t process_priority = 0;  // 0 normal, 1 above normal, 2 high
    bool freeze_when_inactive = false;
    bool show_progress_bar = true;
    StoredPicture progress_bar_back_image;   // stored only when show_progress_bar
    StoredPicture progress_bar_front_image;  // stored only when show_progress_bar
    StoredPicture loading_image;
    bool transparent_loading_image = false;
    int32_t loading_image_alpha = 255;
    bool scale_progress_bar_image = true;
    bool display_errors = true;
    bool write_errors_to_log = false;
    bool abort_on_errors = false;
    bool uninitialized_variables_are_zero = false;

    bool operator==(const GameSettings&) const = default;
};

// One row per stored field, in stored order (ORDER SETTINGS). `key` is the name tools use.
struct SettingField {
    enum Kind { kBool, kInt, kPicture };
    const char* key;
    Kind kind;
    bool GameSettings::*b;
    int32_t GameSettings::*i;
    StoredPicture GameSettings::*picture;
    bool only_with_progress_bar;  // stored only when show_progress_bar is true
};
std::span<const SettingField> SettingFields();

constexpr int32_t kSettingsVersion = 800;

// Reads the settings record (the content of the settings block) into `out`, which the caller
// has reset to the defaults. Stream errors show in s.Failed().
void ReadSettingsRecord(CStream& s, GameSettings& out);
void WriteSettingsRecord(CStream& s, const GameSettings& settings);

// A picture: the "present" flag, then a compressed block holding a BMP file.
StoredPicture ReadStoredPicture(CStream& s);
void WriteStoredPicture(CStream& s, const StoredPicture& picture);

}  // namespace kr
