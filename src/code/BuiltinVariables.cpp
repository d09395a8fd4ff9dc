// The built-in variables in registration order, with where they live, how many indexes they take
// and how a write converts the value. A variable's name id is its position in this table. The
// getters and setters belong to the subsystems that own the values.
#include <array>
#include <iterator>
#include <string_view>

#include "code/Vocabulary.h"

namespace kr {

namespace {

constexpr VariableScope G = VariableScope::kGame;
constexpr VariableScope I = VariableScope::kInstance;
constexpr VariableWrite kNone = VariableWrite::kNone;
constexpr VariableWrite kValue = VariableWrite::kValue;
constexpr VariableWrite kReal = VariableWrite::kReal;
constexpr VariableWrite kRound = VariableWrite::kRounded;
constexpr VariableWrite kBool = VariableWrite::kBoolAtOne;
constexpr VariableWrite kBoolHalf = VariableWrite::kBoolAtHalf;
constexpr VariableWrite kStr = VariableWrite::kString;
constexpr VariableWrite kChar = VariableWrite::kFirstChar;

constexpr BuiltinVariableDef kBuiltinVariables[] = {
    // Game-wide variables.
    {"argument_relative", G, 0, kNone},
    {"argument", G, 16, kValue},
    {"argument0", G, 0, kValue},
    {"argument1", G, 0, kValue},
    {"argument2", G, 0, kValue},
    {"argument3", G, 0, kValue},
    {"argument4", G, 0, kValue},
    {"argument5", G, 0, kValue},
    {"argument6", G, 0, kValue},
    {"argument7", G, 0, kValue},
    {"argument8", G, 0, kValue},
    {"argument9", G, 0, kValue},
    {"argument10", G, 0, kValue},
    {"argument11", G, 0, kValue},
    {"argument12", G, 0, kValue},
    {"argument13", G, 0, kValue},
    {"argument14", G, 0, kValue},
    {"argument15", G, 0, kValue},
    {"room", G, 0, kRound},
    {"room_first", G, 0, kNone},
    {"room_last", G, 0, kNone},
    {"transition_kind", G, 0, kRound},
    {"transition_steps", G, 0, kRound},
    {"score", G, 0, kRound},
    {"lives", G, 0, kRound},
    {"health", G, 0, kReal},
    {"game_id", G, 0, kNone},
    {"working_directory", G, 0, kNone},
    {"temp_directory", G, 0, kNone},
    {"program_directory", G, 0, kNone},
    {"instance_count", G, 0, kNone},
    {"instance_id", G, kIndexedByInstanceCount, kNone},
    {"room_width", G, 0, kNone},
    {"room_height", G, 0, kNone},
    {"room_caption", G, 0, kStr},
    {"room_speed", G, 0, kRound},
    {"room_persistent", G, 0, kBool},
    {"background_color", G, 0, kRound},
    {"background_showcolor", G, 0, kBool},
    {"background_visible", G, 8, kBool},
    {"background_foreground", G, 8, kBool},
    {"background_index", G, 8, kRound},
    {"background_x", G, 8, kReal},
    {"background_y", G, 8, kReal},
    {"background_width", G, 8, kNone},
    {"background_height", G, 8, kNone},
    {"background_htiled", G, 8, kBool},
    {"background_vtiled", G, 8, kBool},
    {"background_xscale", G, 8, kReal},
    {"background_yscale", G, 8, kReal},
    {"background_hspeed", G, 8, kReal},
    {"background_vspeed", G, 8, kReal},
    {"background_blend", G, 8, kRound},
    {"background_alpha", G, 8, kReal},
    {"view_enabled", G, 0, kBool},
    {"view_current", G, 0, kNone},
    {"view_visible", G, 8, kBool},
    {"view_xview", G, 8, kRound},
    {"view_yview", G, 8, kRound},
    {"view_wview", G, 8, kRound},
    {"view_hview", G, 8, kRound},
    {"view_xport", G, 8, kRound},
    {"view_yport", G, 8, kRound},
    {"view_wport", G, 8, kRound},
    {"view_hport", G, 8, kRound},
    {"view_angle", G, 8, kReal},
    {"view_hborder", G, 8, kRound},
    {"view_vborder", G, 8, kRound},
    {"view_hspeed", G, 8, kRound},
    {"view_vspeed", G, 8, kRound},
    {"view_object", G, 8, kRound},
    {"mouse_x", G, 0, kNone},
    {"mouse_y", G, 0, kNone},
    {"mouse_button", G, 0, kRound},
    {"mouse_lastbutton", G, 0, kRound},
    {"keyboard_key", G, 0, kRound},
    {"keyboard_lastkey", G, 0, kRound},
    {"keyboard_lastchar", G, 0, kChar},
    {"keyboard_string", G, 0, kStr},
    {"cursor_sprite", G, 0, kRound},
    {"show_score", G, 0, kBool},
    {"show_lives", G, 0, kBool},
    {"show_health", G, 0, kBool},
    {"caption_score", G, 0, kStr},
    {"caption_lives", G, 0, kStr},
    {"caption_health", G, 0, kStr},
    {"fps", G, 0, kNone},
    {"current_time", G, 0, kNone},
    {"current_year", G, 0, kNone},
    {"current_month", G, 0, kNone},
    {"current_day", G, 0, kNone},
    {"current_weekday", G, 0, kNone},
    {"current_hour", G, 0, kNone},
    {"current_minute", G, 0, kNone},
    {"current_second", G, 0, kNone},
    {"event_type", G, 0, kNone},
    {"event_number", G, 0, kNone},
    {"event_object", G, 0, kNone},
    {"event_action", G, 0, kNone},
    {"secure_mode", G, 0, kNone},
    {"debug_mode", G, 0, kNone},
    {"error_occurred", G, 0, kBoolHalf},
    {"error_last", G, 0, kStr},
    {"korvane_version", G, 0, kNone},

    // Instance variables.
    {"x", I, 0, kReal},
    {"y", I, 0, kReal},
    {"xprevious", I, 0, kReal},
    {"yprevious", I, 0, kReal},
    {"xstart", I, 0, kReal},
    {"ystart", I, 0, kReal},
    {"hspeed", I, 0, kReal},
    {"vspeed", I, 0, kReal},
    {"direction", I, 0, kReal},
    {"speed", I, 0, kReal},
    {"friction", I, 0, kReal},
    {"gravity", I, 0, kReal},
    {"gravity_direction", I, 0, kReal},
    {"object_index", I, 0, kNone},
    {"id", I, 0, kNone},
    {"alarm", I, 12, kRound},
    {"solid", I, 0, kBool},
    {"visible", I, 0, kBool},
    {"persistent", I, 0, kBool},
    {"depth", I, 0, kReal},
    {"bbox_left", I, 0, kNone},
    {"bbox_right", I, 0, kNone},
    {"bbox_top", I, 0, kNone},
    {"bbox_bottom", I, 0, kNone},
    {"sprite_index", I, 0, kRound},
    {"image_index", I, 0, kReal},
    {"image_single", I, 0, kReal},
    {"image_number", I, 0, kNone},
    {"sprite_width", I, 0, kNone},
    {"sprite_height", I, 0, kNone},
    {"sprite_xoffset", I, 0, kNone},
    {"sprite_yoffset", I, 0, kNone},
    {"image_xscale", I, 0, kReal},
    {"image_yscale", I, 0, kReal},
    {"image_angle", I, 0, kReal},
    {"image_alpha", I, 0, kReal},
    {"image_blend", I, 0, kRound},
    {"image_speed", I, 0, kReal},
    {"mask_index", I, 0, kRound},
    {"path_index", I, 0, kNone},
    {"path_position", I, 0, kReal},
    {"path_positionprevious", I, 0, kReal},
    {"path_speed", I, 0, kReal},
    {"path_scale", I, 0, kReal},
    {"path_orientation", I, 0, kReal},
    {"path_endaction", I, 0, kRound},
    {"timeline_index", I, 0, kRound},
    {"timeline_position", I, 0, kReal},
    {"timeline_speed", I, 0, kReal},
    {"timeline_running", I, 0, kBool},
    {"timeline_loop", I, 0, kBool},
};

constexpr size_t kCount = std::size(kBuiltinVariables);
constexpr std::array<uint16_t, kCount> kOrder = SortedRows<kCount>([](uint16_t a, uint16_t b) {
    const std::string_view x = kBuiltinVariables[a].name, y = kBuiltinVariables[b].name;
    return x < y || (x == y && a < b);
});
// Measured when the program is built: a search compares without measuring names first.
constexpr std::array<std::string_view, kCount> kSortedNames = [] {
    std::array<std::string_view, kCount> names{};
    for (size_t i = 0; i < kCount; ++i) names[i] = kBuiltinVariables[kOrder[i]].name;
    return names;
}();

}  // namespace

std::span<const BuiltinVariableDef> BuiltinVariables() {
    return kBuiltinVariables;
}

std::span<const uint16_t> BuiltinVariableNameOrder() {
    return kOrder;
}

std::span<const std::string_view> BuiltinVariableSortedNames() {
    return kSortedNames;
}

}  // namespace kr
