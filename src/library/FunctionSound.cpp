// Script functions for sounds and music, sound effects, 3D sound, CD audio and media commands.
// Every function that names a sound reaches its slot through the sound system's GetSlot, so a
// sound that was not preloaded is prepared the first time it is used.
#include "library/FunctionSound.h"

#include <array>
#include <string>

#include "code/Runtime.h"
#include "code/Vocabulary.h"
#include "platform/GamePath.h"
#include "runner/Runner.h"

namespace kr {

namespace {

constexpr char kNoSound[] = "Sound does not exist.";

#define KR_ARGS                                                            \
    [[maybe_unused]] Runtime &rt, [[maybe_unused]] ScriptInstance *self,   \
        [[maybe_unused]] ScriptInstance *other, [[maybe_unused]] int argc, \
        [[maybe_unused]] const RValue *args, [[maybe_unused]] RValue &result

CSound* FindSound(Runtime& rt, const RValue& index) {
    return RunnerOf(rt).Game().sounds.Get(ArgInt(index));
}

// The slot of the sound named by `index`, prepared when it was not; -1 when the sound does not
// exist (reported) or could not be prepared.
int32_t SlotOf(Runtime& rt, const RValue& index) {
    CSound* s = FindSound(rt, index);
    if (!s) {
        rt.RuntimeError(kNoSound);
        return -1;
    }
    return RunnerOf(rt).Sound().GetSlot(*s);
}

SoundSystem& System(Runtime& rt) {
    return RunnerOf(rt).Sound();
}

}  // namespace

static void fn_sound_play(KR_ARGS) {
    if (int32_t slot = SlotOf(rt, args[0]); slot >= 0) System(rt).PlaySlot(slot, false);
}

static void fn_sound_loop(KR_ARGS) {
    if (int32_t slot = SlotOf(rt, args[0]); slot >= 0) System(rt).PlaySlot(slot, true);
}

static void fn_sound_stop(KR_ARGS) {
    if (int32_t slot = SlotOf(rt, args[0]); slot >= 0) System(rt).StopSlot(slot);
}

static void fn_sound_stop_all(KR_ARGS) {
    System(rt).StopAllSlots();
}

static void fn_sound_isplaying(KR_ARGS) {
    CSound* s = FindSound(rt, args[0]);
    if (!s) return;
    int32_t slot = System(rt).GetSlot(*s);
    result.SetReal(slot >= 0 && System(rt).SlotIsPlaying(slot) ? 1 : 0);
}

static void fn_sound_volume(KR_ARGS) {
    if (int32_t slot = SlotOf(rt, args[0]); slot >= 0)
        System(rt).SetSlotVolume(slot, 0, ArgReal(args[1]));
}

static void fn_sound_fade(KR_ARGS) {
    if (int32_t slot = SlotOf(rt, args[0]); slot >= 0)
        System(rt).SetSlotVolume(slot, ArgInt(args[2]), ArgReal(args[1]));
}

static void fn_sound_pan(KR_ARGS) {
    if (int32_t slot = SlotOf(rt, args[0]); slot >= 0)
        System(rt).SetSlotPan(slot, ArgReal(args[1]));
}

static void fn_sound_background_tempo(KR_ARGS) {
    System(rt).SetBackgroundTempo(ArgReal(args[0]));
}

static void fn_sound_global_volume(KR_ARGS) {
    System(rt).SetGlobalVolume(ArgReal(args[0]));
}

static void fn_sound_set_search_directory(KR_ARGS) {
    System(rt).SetSoundSearchDirectory(MapGamePath(ArgStr(args[0])));
}

static void fn_sound_effect_set(KR_ARGS) {
    if (int32_t slot = SlotOf(rt, args[0]); slot >= 0)
        System(rt).SetSlotEffects(slot, ArgInt(args[1]));
}

// The effect parameters after the sound; the positions in `integers` are rounded.
template <size_t N>
static void SetEffect(Runtime& rt, const RValue* args, EffectKind kind,
                      std::initializer_list<size_t> integers) {
    int32_t slot = SlotOf(rt, args[0]);
    if (slot < 0) return;
    std::array<double, N> values{};
    for (size_t i = 0; i < N; ++i) values[i] = ArgReal(args[i + 1]);
    for (size_t i : integers) values[i] = ArgInt(args[i + 1]);
    System(rt).SetSlotEffectParameters(slot, kind, values);
}

static void fn_sound_effect_chorus(KR_ARGS) {
    SetEffect<7>(rt, args, EffectKind::kChorus, {4, 6});
}
static void fn_sound_effect_compressor(KR_ARGS) {
    SetEffect<6>(rt, args, EffectKind::kCompressor, {});
}
static void fn_sound_effect_echo(KR_ARGS) {
    SetEffect<5>(rt, args, EffectKind::kEcho, {4});
}
static void fn_sound_effect_flanger(KR_ARGS) {
    SetEffect<7>(rt, args, EffectKind::kFlanger, {4, 6});
}
static void fn_sound_effect_gargle(KR_ARGS) {
    SetEffect<2>(rt, args, EffectKind::kGargle, {0, 1});
}
static void fn_sound_effect_equalizer(KR_ARGS) {
    SetEffect<3>(rt, args, EffectKind::kEqualizer, {});
}
static void fn_sound_effect_reverb(KR_ARGS) {
    SetEffect<4>(rt, args, EffectKind::kReverb, {});
}

static void fn_sound_3d_set_sound_position(KR_ARGS) {
    if (int32_t slot = SlotOf(rt, args[0]); slot >= 0)
        System(rt).SetSlot3DPosition(slot, ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]));
}

static void fn_sound_3d_set_sound_velocity(KR_ARGS) {
    if (int32_t slot = SlotOf(rt, args[0]); slot >= 0)
        System(rt).SetSlot3DVelocity(slot, ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]));
}

static void fn_sound_3d_set_sound_distance(KR_ARGS) {
    if (int32_t slot = SlotOf(rt, args[0]); slot >= 0)
        System(rt).SetSlot3DDistance(slot, ArgReal(args[1]), ArgReal(args[2]));
}

static void fn_sound_3d_set_sound_cone(KR_ARGS) {
    if (int32_t slot = SlotOf(rt, args[0]); slot >= 0)
        System(rt).SetSlot3DCone(slot, ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                                 ArgInt(args[4]), ArgInt(args[5]), ArgReal(args[6]));
}

// ---- Sound resources ----

void fn_sound_name(KR_ARGS) {
    result.SetString(RunnerOf(rt).Game().sounds.Name(ArgInt(args[0])));
}

void fn_sound_exists(KR_ARGS) {
    result.SetReal(RunnerOf(rt).Game().sounds.Exists(ArgInt(args[0])) ? 1 : 0);
}

void fn_sound_get_name(KR_ARGS) {
    fn_sound_name(rt, self, other, argc, args, result);
}

void fn_sound_get_kind(KR_ARGS) {
    CSound* s = FindSound(rt, args[0]);
    result.SetReal(s ? s->kind : -1);
}

void fn_sound_get_preload(KR_ARGS) {
    CSound* s = FindSound(rt, args[0]);
    result.SetReal(s ? (s->preload ? 1 : 0) : -1);
}

void fn_sound_discard(KR_ARGS) {
    if (CSound* s = FindSound(rt, args[0])) System(rt).Discard(*s);
}

void fn_sound_restore(KR_ARGS) {
    if (CSound* s = FindSound(rt, args[0])) System(rt).Prepare(*s);
}

void fn_sound_add(KR_ARGS) {
    auto sound = std::make_unique<CSound>();
    std::string path = MapGamePath(ArgStr(args[0]));
    if (!System(rt).LoadFromFile(*sound, path, ArgInt(args[1]), ArgBool(args[2]))) {
        result.SetReal(-1);
        return;
    }
    auto& sounds = RunnerOf(rt).Game().sounds;
    std::string name = "__newsound" + std::to_string(sounds.Count());
    result.SetReal(sounds.Add(std::move(name), std::move(sound)));
}

void fn_sound_replace(KR_ARGS) {
    CSound* s = FindSound(rt, args[0]);
    if (!s) {
        rt.RuntimeError("Trying to replace non-existing sound.");
        return;
    }
    bool loaded = System(rt).LoadFromFile(*s, MapGamePath(ArgStr(args[1])), ArgInt(args[2]),
                                          ArgBool(args[3]));
    result.SetReal(loaded ? 1 : 0);
}

void fn_sound_delete(KR_ARGS) {
    auto& sounds = RunnerOf(rt).Game().sounds;
    int32_t index = ArgInt(args[0]);
    CSound* s = sounds.Get(index);
    if (!s) {
        rt.RuntimeError("Trying to delete non-existing sound.");
        return;
    }
    System(rt).Clear(*s);
    sounds.Remove(index);
    result.SetReal(1);
}

// ---- CD audio: every function talks to the "cdaudio" media device with the command strings
// a drive understands, and asks it afresh each time. A machine without a drive, or without a
// disc in it, answers as an empty drive: the questions give 0 and the commands are not sent.

namespace {

std::string Cd(Runtime& rt, const std::string& command) {
    return RunnerOf(rt).Mci().Send(command);
}

// A reply as a number: a reply holding a digit is read whole as a decimal integer (0 when it
// also holds anything else), any other reply is 0.
int64_t CdNumber(const std::string& reply) {
    if (reply.find_first_of("0123456789") == std::string::npos) return 0;
    int64_t v = 0;
    for (char c : reply) {
        if (c < '0' || c > '9' || v > 1'000'000'000'000) return 0;
        v = v * 10 + (c - '0');
    }
    return v;
}

// The digits at [at, at + 2) of a reply.
int64_t CdField(const std::string& reply, size_t at) {
    return reply.size() >= at + 2 ? CdNumber(reply.substr(at, 2)) : 0;
}

bool CdPresent(Runtime& rt) {
    Cd(rt, "open cdaudio");
    return Cd(rt, "status cdaudio media present") == "true";
}

int64_t CdTracks(Runtime& rt) {
    Cd(rt, "open cdaudio");
    return CdPresent(rt) ? CdNumber(Cd(rt, "status cdaudio number of tracks")) : 0;
}

bool CdPlaying(Runtime& rt) {
    Cd(rt, "open cdaudio");
    return CdPresent(rt) && Cd(rt, "status cdaudio mode") == "playing";
}

int64_t CdTrackNow(Runtime& rt) {
    Cd(rt, "open cdaudio");
    Cd(rt, "set cdaudio time format tmsf wait");
    return CdPresent(rt) ? CdField(Cd(rt, "status cdaudio position"), 0) : 0;
}

}  // namespace

static void fn_cd_init(KR_ARGS) {
    Cd(rt, "close cdaudio");
    Cd(rt, "open cdaudio");
}
static void fn_cd_present(KR_ARGS) {
    result.SetReal(CdPresent(rt) ? 1 : 0);
}
static void fn_cd_number(KR_ARGS) {
    result.SetReal(double(CdTracks(rt)));
}
static void fn_cd_playing(KR_ARGS) {
    result.SetReal(CdPlaying(rt) ? 1 : 0);
}
// A stopped drive counts as paused.
static void fn_cd_paused(KR_ARGS) {
    Cd(rt, "open cdaudio");
    if (!CdPresent(rt)) return;
    if (Cd(rt, "status cdaudio mode") == "paused") {
        result.SetReal(1);
        return;
    }
    const std::string second = Cd(rt, "status cdaudio mode");
    result.SetReal(second == "paused" || second == "stopped" ? 1 : 0);
}
static void fn_cd_track(KR_ARGS) {
    result.SetReal(double(CdTrackNow(rt)));
}
static void fn_cd_length(KR_ARGS) {
    Cd(rt, "open cdaudio");
    Cd(rt, "set cdaudio time format ms wait");
    if (CdPresent(rt)) result.SetReal(double(CdNumber(Cd(rt, "status cdaudio length wait"))));
    Cd(rt, "set cdaudio time format tmsf wait");
}
static void fn_cd_track_length(KR_ARGS) {
    Cd(rt, "open cdaudio");
    const int32_t n = ArgInt(args[0]);
    if (n < 1 || CdTracks(rt) < n) return;
    Cd(rt, "set cdaudio time format milliseconds wait");
    if (CdPresent(rt))
        result.SetReal(
            double(CdNumber(Cd(rt, "status cdaudio length track " + std::to_string(n)))));
    Cd(rt, "set cdaudio time format tmsf wait");
}
static void fn_cd_position(KR_ARGS) {
    Cd(rt, "open cdaudio");
    Cd(rt, "set cdaudio time format milliseconds wait");
    if (CdPresent(rt)) result.SetReal(double(CdNumber(Cd(rt, "status cdaudio position"))));
    Cd(rt, "set cdaudio time format tmsf wait");
}
// The reply is "TT:MM:SS:FF": minutes and seconds into the current track.
static void fn_cd_track_position(KR_ARGS) {
    Cd(rt, "open cdaudio");
    Cd(rt, "set cdaudio time format tmsf wait");
    if (!CdPresent(rt)) return;
    const std::string reply = Cd(rt, "status cdaudio position");
    result.SetReal(double(CdField(reply, 3) * 60000 + CdField(reply, 6) * 1000));
}
static void fn_cd_play(KR_ARGS) {
    if (!CdPresent(rt)) return;
    Cd(rt, "set cdaudio time format tmsf wait");
    int32_t first = ArgInt(args[0]);
    const int32_t last = ArgInt(args[1]);
    if (last < first) return;
    if (first < 1) first = 1;
    if (last < CdTracks(rt))
        Cd(rt, "play cdaudio from " + std::to_string(first) + " to " + std::to_string(last + 1));
    else
        Cd(rt, "play cdaudio from " + std::to_string(first));
}
static void fn_cd_stop(KR_ARGS) {
    if (CdPresent(rt)) Cd(rt, "stop cdaudio");
}
static void fn_cd_pause(KR_ARGS) {
    if (CdPresent(rt)) Cd(rt, "pause cdaudio");
}
static void fn_cd_resume(KR_ARGS) {
    if (CdPresent(rt)) Cd(rt, "play cdaudio");
}
static void fn_cd_set_position(KR_ARGS) {
    if (!CdPresent(rt)) return;
    Cd(rt, "set cdaudio time format milliseconds wait");
    const std::string ms = std::to_string(ArgInt(args[0]));
    if (CdPlaying(rt))
        Cd(rt, "play cdaudio from " + ms);
    else
        Cd(rt, "seek cdaudio to " + ms);
    Cd(rt, "set cdaudio time format tmsf");
}
static void fn_cd_set_track_position(KR_ARGS) {
    if (!CdPresent(rt)) return;
    const int64_t track = CdTrackNow(rt);
    if (track < 1) return;
    const int64_t ms = ArgInt(args[0]);
    const std::string at = std::to_string(track) + ":" + std::to_string(ms / 60000) + ":" +
                           std::to_string(ms % 60000 / 1000);
    Cd(rt, "set cdaudio time format tmsf wait");
    if (CdPlaying(rt))
        Cd(rt, "play cdaudio from " + at);
    else
        Cd(rt, "seek cdaudio to " + at);
    Cd(rt, "set cdaudio time format tmsf");
}
static void fn_cd_open_door(KR_ARGS) {
    Cd(rt, "open cdaudio");
    Cd(rt, "set cdaudio door open");
}
static void fn_cd_close_door(KR_ARGS) {
    Cd(rt, "open cdaudio");
    Cd(rt, "set cdaudio door closed");
}

static void fn_MCI_command(KR_ARGS) {
    result.SetString(RunnerOf(rt).Mci().Send(ArgStr(args[0])));
}

#undef KR_ARGS

// ORDER VOCABULARY: the rows keep the registration order of the family.
static constexpr BuiltinDef kSoundFunctions[] = {
    {"sound_play", fn_sound_play, 1},
    {"sound_loop", fn_sound_loop, 1},
    {"sound_stop", fn_sound_stop, 1},
    {"sound_stop_all", fn_sound_stop_all, 0},
    {"sound_isplaying", fn_sound_isplaying, 1},
    {"sound_volume", fn_sound_volume, 2},
    {"sound_fade", fn_sound_fade, 3},
    {"sound_pan", fn_sound_pan, 2},
    {"sound_background_tempo", fn_sound_background_tempo, 1},
    {"sound_global_volume", fn_sound_global_volume, 1},
    {"sound_set_search_directory", fn_sound_set_search_directory, 1},
    {"sound_effect_set", fn_sound_effect_set, 2},
    {"sound_effect_chorus", fn_sound_effect_chorus, 8},
    {"sound_effect_compressor", fn_sound_effect_compressor, 7},
    {"sound_effect_echo", fn_sound_effect_echo, 6},
    {"sound_effect_flanger", fn_sound_effect_flanger, 8},
    {"sound_effect_gargle", fn_sound_effect_gargle, 3},
    {"sound_effect_equalizer", fn_sound_effect_equalizer, 4},
    {"sound_effect_reverb", fn_sound_effect_reverb, 5},
    {"sound_3d_set_sound_position", fn_sound_3d_set_sound_position, 4},
    {"sound_3d_set_sound_velocity", fn_sound_3d_set_sound_velocity, 4},
    {"sound_3d_set_sound_distance", fn_sound_3d_set_sound_distance, 3},
    {"sound_3d_set_sound_cone", fn_sound_3d_set_sound_cone, 7},
    {"cd_init", fn_cd_init, 0},
    {"cd_present", fn_cd_present, 0},
    {"cd_number", fn_cd_number, 0},
    {"cd_playing", fn_cd_playing, 0},
    {"cd_paused", fn_cd_paused, 0},
    {"cd_track", fn_cd_track, 0},
    {"cd_length", fn_cd_length, 0},
    {"cd_track_length", fn_cd_track_length, 1},
    {"cd_position", fn_cd_position, 0},
    {"cd_track_position", fn_cd_track_position, 0},
    {"cd_play", fn_cd_play, 2},
    {"cd_stop", fn_cd_stop, 0},
    {"cd_pause", fn_cd_pause, 0},
    {"cd_resume", fn_cd_resume, 0},
    {"cd_set_position", fn_cd_set_position, 1},
    {"cd_set_track_position", fn_cd_set_track_position, 1},
    {"cd_open_door", fn_cd_open_door, 0},
    {"cd_close_door", fn_cd_close_door, 0},
    {"MCI_command", fn_MCI_command, 1},
};

void RegisterSoundFunctions(BuiltinRegistry& reg) {
    reg.AddTable<kSoundFunctions>();
}

}  // namespace kr
