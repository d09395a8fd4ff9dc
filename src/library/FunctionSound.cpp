// Script functions for sounds and music, sound effects, CD audio and media commands.
// Rows without a body are registered so that games compile; calling one reports that the
// function is not available yet.
#include "code/Vocabulary.h"

namespace kr {

// ORDER VOCABULARY: the rows keep the registration order of the family.
static const BuiltinDef kSoundFunctions[] = {
    {"sound_play", nullptr, 1},
    {"sound_loop", nullptr, 1},
    {"sound_stop", nullptr, 1},
    {"sound_stop_all", nullptr, 0},
    {"sound_isplaying", nullptr, 1},
    {"sound_volume", nullptr, 2},
    {"sound_fade", nullptr, 3},
    {"sound_pan", nullptr, 2},
    {"sound_background_tempo", nullptr, 1},
    {"sound_global_volume", nullptr, 1},
    {"sound_set_search_directory", nullptr, 1},
    {"sound_effect_set", nullptr, 2},
    {"sound_effect_chorus", nullptr, 8},
    {"sound_effect_compressor", nullptr, 7},
    {"sound_effect_echo", nullptr, 6},
    {"sound_effect_flanger", nullptr, 8},
    {"sound_effect_gargle", nullptr, 3},
    {"sound_effect_equalizer", nullptr, 4},
    {"sound_effect_reverb", nullptr, 5},
    {"sound_3d_set_sound_position", nullptr, 4},
    {"sound_3d_set_sound_velocity", nullptr, 4},
    {"sound_3d_set_sound_distance", nullptr, 3},
    {"sound_3d_set_sound_cone", nullptr, 7},
    {"cd_init", nullptr, 0},
    {"cd_present", nullptr, 0},
    {"cd_number", nullptr, 0},
    {"cd_playing", nullptr, 0},
    {"cd_paused", nullptr, 0},
    {"cd_track", nullptr, 0},
    {"cd_length", nullptr, 0},
    {"cd_track_length", nullptr, 1},
    {"cd_position", nullptr, 0},
    {"cd_track_position", nullptr, 0},
    {"cd_play", nullptr, 2},
    {"cd_stop", nullptr, 0},
    {"cd_pause", nullptr, 0},
    {"cd_resume", nullptr, 0},
    {"cd_set_position", nullptr, 1},
    {"cd_set_track_position", nullptr, 1},
    {"cd_open_door", nullptr, 0},
    {"cd_close_door", nullptr, 0},
    {"MCI_command", nullptr, 1},
};

void RegisterSoundFunctions(BuiltinRegistry& reg) {
    reg.Add(kSoundFunctions);
}

}  // namespace kr
