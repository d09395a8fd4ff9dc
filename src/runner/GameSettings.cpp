#include "runner/GameSettings.h"

namespace kr {

namespace {
using S = GameSettings;
constexpr SettingField B(const char* key, bool S::*m) {
    return {key, SettingField::kBool, m, nullptr, nullptr, false};
}
constexpr SettingField I(const char* key, int32_t S::*m) {
    return {key, SettingField::kInt, nullptr, m, nullptr, false};
}
constexpr SettingField P(const char* key, StoredPicture S::*m, bool with_bar) {
    return {key, SettingField::kPicture, nullptr, nullptr, m, with_bar};
}

// ORDER SETTINGS: the stored order of the settings record.
constexpr SettingField kFields[] = {
    B("start_fullscreen", &S::start_fullscreen),
    B("interpolate_colors", &S::interpolate_colors),
    B("no_border", &S::no_border),
    B("show_cursor", &S::show_cursor),
    I("scaling", &S::scaling),
    B("sizeable", &S::sizeable),
    B("stay_on_top", &S::stay_on_top),
    I("outside_color", &S::outside_color),
    B("change_display_mode", &S::change_display_mode),
    I("color_depth", &S::color_depth),
    I("resolution", &S::resolution),
    I("frequency", &S::frequency),
    B("no_caption_buttons", &S::no_caption_buttons),
    B("vsync", &S::vsync),
    B("disable_screensaver", &S::disable_screensaver),
    B("f4_switches_fullscreen", &S::f4_switches_fullscreen),
    B("f1_shows_game_information", &S::f1_shows_game_information),
    B("esc_ends_game", &S::esc_ends_game),
    B("f5_f6_save_load", &S::f5_f6_save_load),
    B("f9_screenshot", &S::f9_screenshot),
    B("close_button_acts_as_esc", &S::close_button_acts_as_esc),
    I("process_priority", &S::process_priority),
    B("freeze_when_inactive", &S::freeze_when_inactive),
    B("show_progress_bar", &S::show_progress_bar),
    P("progress_bar_back_image", &S::progress_bar_back_image, true),
    P("progress_bar_front_image", &S::progress_bar_front_image, true),
    P("loading_image", &S::loading_image, false),
    B("transparent_loading_image", &S::transparent_loading_image),
    I("loading_image_alpha", &S::loading_image_alpha),
    B("scale_progress_bar_image", &S::scale_progress_bar_image),
    B("display_errors", &S::display_errors),
    B("write_errors_to_log", &S::write_errors_to_log),
    B("abort_on_errors", &S::abort_on_errors),
    B("uninitialized_variables_are_zero", &S::uninitialized_variables_are_zero),
};
}  // namespace

std::span<const SettingField> SettingFields() {
    return kFields;
}

StoredPicture ReadStoredPicture(CStream& s) {
    StoredPicture p;
    if (!s.ReadBoolean()) return p;
    auto block = s.ReadCompressedBlock();
    if (block->Failed()) return p;  // the stream has failed too; the caller reports it
    p.present = true;
    p.bmp = std::move(block->Bytes());
    return p;
}

void WriteStoredPicture(CStream& s, const StoredPicture& picture) {
    s.WriteBoolean(picture.present);
    if (picture.present) s.WriteCompressedBlock(picture.bmp);
}

void ReadSettingsRecord(CStream& s, GameSettings& out) {
    for (const SettingField& f : kFields) {
        if (f.only_with_progress_bar && !out.show_progress_bar) continue;
        switch (f.kind) {
            case SettingField::kBool:
                out.*f.b = s.ReadBoolean();
                break;
            case SettingField::kInt:
                out.*f.i = s.ReadInteger();
                break;
            case SettingField::kPicture:
                out.*f.picture = ReadStoredPicture(s);
                break;
        }
    }
}

void WriteSettingsRecord(CStream& s, const GameSettings& settings) {
    for (const SettingField& f : kFields) {
        if (f.only_with_progress_bar && !settings.show_progress_bar) continue;
        switch (f.kind) {
            case SettingField::kBool:
                s.WriteBoolean(settings.*f.b);
                break;
            case SettingField::kInt:
                s.WriteInteger(settings.*f.i);
                break;
            case SettingField::kPicture:
                WriteStoredPicture(s, settings.*f.picture);
                break;
        }
    }
}

}  // namespace kr
