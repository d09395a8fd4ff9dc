// The action library, second part: sound, rooms, alarms and time lines, the game and its
// files, CD audio, particles and drawing. The table is in FunctionAction.cpp.
#include <string>

#include "data/Sprite.h"
#include "library/FunctionAction.h"
#include "platform/Files.h"
#include "runner/Runner.h"

namespace kr {

using action::CallBuiltin;
using action::Relative;
using action::RelX;
using action::RelY;
using action::Self;

namespace {

void SetQuestion(RValue& result, bool yes) {
    result.SetReal(yes ? 1.0 : 0.0);
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char c = s[s.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

}  // namespace

// ---- Sound -----------------------------------------------------------------------------------

void fn_action_sound(KR_ACTION_PARAMS) {
    if (!RunnerOf(rt).Game().sounds.Exists(ArgInt(a[0]))) {
        rt.RuntimeError("Trying to play non-existing sound.");
        return;
    }
    CallBuiltin(rt, self, other, ArgBool(a[1]) ? "sound_loop" : "sound_play",
                {double(ArgInt(a[0]))});
}

void fn_action_end_sound(KR_ACTION_PARAMS) {
    if (!RunnerOf(rt).Game().sounds.Exists(ArgInt(a[0]))) {
        rt.RuntimeError("Trying to stop non-existing sound.");
        return;
    }
    CallBuiltin(rt, self, other, "sound_stop", {double(ArgInt(a[0]))});
}

void fn_action_if_sound(KR_ACTION_PARAMS) {
    if (!RunnerOf(rt).Game().sounds.Exists(ArgInt(a[0]))) return SetQuestion(result, false);
    SetQuestion(result,
                ArgBool(CallBuiltin(rt, self, other, "sound_isplaying", {double(ArgInt(a[0]))})));
}

// ---- Rooms -----------------------------------------------------------------------------------
// The room functions take the transition from transition_kind, which the action sets first.

static void GotoWithTransition(Runtime& rt, ScriptInstance* self, ScriptInstance* other,
                               const RValue& transition, std::string_view fn,
                               std::initializer_list<RValue> args) {
    RunnerOf(rt).Vars().transition_kind = ArgInt(transition);
    CallBuiltin(rt, self, other, fn, args);
}

void fn_action_another_room(KR_ACTION_PARAMS) {
    GotoWithTransition(rt, self, other, a[1], "room_goto", {double(ArgInt(a[0]))});
}

void fn_action_current_room(KR_ACTION_PARAMS) {
    GotoWithTransition(rt, self, other, a[0], "room_restart", {});
}

void fn_action_previous_room(KR_ACTION_PARAMS) {
    GotoWithTransition(rt, self, other, a[0], "room_goto_previous", {});
}

void fn_action_next_room(KR_ACTION_PARAMS) {
    GotoWithTransition(rt, self, other, a[0], "room_goto_next", {});
}

void fn_action_if_previous_room(KR_ACTION_PARAMS) {
    GameLoop& loop = RunnerOf(rt).Loop();
    SetQuestion(result, loop.RoomIndex() != loop.FirstRoom());
}

void fn_action_if_next_room(KR_ACTION_PARAMS) {
    GameLoop& loop = RunnerOf(rt).Loop();
    SetQuestion(result, loop.RoomIndex() != loop.LastRoom());
}

// ---- Alarms, sleeping and time lines ---------------------------------------------------------

// Relative adds only to a running alarm: a stopped one (-1) is set, not increased.
void fn_action_set_alarm(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    const int32_t alarm = ArgInt(a[1]);
    int32_t value = ArgInt(a[0]);
    const int32_t current = inst.GetAlarm(alarm);
    if (Relative(rt) && current >= 0) value = int32_t(int64_t(current) + value);
    inst.SetAlarm(alarm, value);
}

void fn_action_sleep(KR_ACTION_PARAMS) {
    if (ArgBool(a[1])) CallBuiltin(rt, self, other, "screen_redraw", {});
    const double ms = ArgReal(a[0]);
    if (ms > 0) RunnerOf(rt).GetPlatform().clock->Sleep(int64_t(ms * 1000));
}

void fn_action_set_timeline(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.timeline_index = ArgInt(a[0]);
    inst.timeline_position = ArgInt(a[1]);
    inst.timeline_running = true;
}

void fn_action_timeline_set(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.timeline_index = ArgInt(a[0]);
    inst.timeline_position = ArgInt(a[1]);
    inst.timeline_running = ArgInt(a[2]) == 0;
    inst.timeline_loop = ArgInt(a[3]) == 1;
}

void fn_action_timeline_start(KR_ACTION_PARAMS) {
    Self(self).timeline_running = true;
}

void fn_action_timeline_pause(KR_ACTION_PARAMS) {
    Self(self).timeline_running = false;
}

void fn_action_timeline_stop(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.timeline_position = 0;
    inst.timeline_running = false;
}

void fn_action_set_timeline_position(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    const double v = ArgInt(a[0]);
    inst.timeline_position = Relative(rt) ? inst.timeline_position + v : v;
}

void fn_action_set_timeline_speed(KR_ACTION_PARAMS) {
    CInstance& inst = Self(self);
    inst.timeline_speed = Relative(rt) ? inst.timeline_speed + ArgReal(a[0]) : ArgReal(a[0]);
}

// ---- The game, its windows and files ---------------------------------------------------------

void fn_action_message(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "show_message", {a[0]});
    action::ClearInput(rt);
}

void fn_action_show_info(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "show_info", {});
    action::ClearInput(rt);
}

static bool FileThere(Runtime& rt, const RValue& name, const char* message) {
    if (FileExists(std::string(ArgStr(name)))) return true;
    rt.RuntimeError(message);
    return false;
}

void fn_action_show_video(KR_ACTION_PARAMS) {
    if (!FileThere(rt, a[0], "Video file not found (or name too long).")) return;
    CallBuiltin(rt, self, other, "show_video", {a[0], ArgReal(a[1]), ArgReal(a[2])});
}

void fn_action_splash_video(KR_ACTION_PARAMS) {
    if (!FileThere(rt, a[0], "Video file not found (or name too long).")) return;
    CallBuiltin(rt, self, other, "splash_show_video", {a[0], ArgReal(a[1])});
}

void fn_action_splash_text(KR_ACTION_PARAMS) {
    if (!FileThere(rt, a[0], "Text file not found.")) return;
    CallBuiltin(rt, self, other, "splash_show_text", {a[0], 0.0});
}

void fn_action_splash_image(KR_ACTION_PARAMS) {
    if (!FileThere(rt, a[0], "Image file not found.")) return;
    CallBuiltin(rt, self, other, "splash_show_image", {a[0], 0.0});
}

static void OpenWebPage(Runtime& rt, ScriptInstance* self, ScriptInstance* other,
                        const RValue& url) {
    if (RunnerOf(rt).SecureMode()) {
        rt.RuntimeError("In secure mode you cannot open webpages.");
        return;
    }
    CallBuiltin(rt, self, other, "execute_shell", {url, RValue("")});
}

void fn_action_splash_web(KR_ACTION_PARAMS) {
    if (ArgInt(a[1]) <= 0)
        CallBuiltin(rt, self, other, "splash_show_web", {a[0], 0.0});
    else
        OpenWebPage(rt, self, other, a[0]);
}

void fn_action_webpage(KR_ACTION_PARAMS) {
    OpenWebPage(rt, self, other, a[0]);
}

void fn_action_splash_settings(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "splash_set_caption", {a[0]});
    const int32_t size = ArgInt(a[1]);
    if (size == 0) CallBuiltin(rt, self, other, "splash_set_main", {1.0});
    if (size == 2) CallBuiltin(rt, self, other, "splash_set_fullscreen", {1.0});
    CallBuiltin(rt, self, other, "splash_set_close_button", {ArgInt(a[2]) == 0 ? 1.0 : 0.0});
    CallBuiltin(rt, self, other, "splash_set_stop_key", {ArgInt(a[3]) == 0 ? 1.0 : 0.0});
    CallBuiltin(rt, self, other, "splash_set_stop_mouse", {ArgInt(a[4]) == 0 ? 1.0 : 0.0});
}

void fn_action_end_game(KR_ACTION_PARAMS) {
    RunnerOf(rt).SetRoomRequest(kRequestEnd);
}

void fn_action_restart_game(KR_ACTION_PARAMS) {
    RunnerOf(rt).SetRoomRequest(kRequestRestart);
}

void fn_action_save_game(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "game_save", {a[0]});
}

void fn_action_load_game(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "game_load", {a[0]});
}

// The replace actions check the resource and the file, then hand the work to the resource
// functions: a side file of the resource's own kind by its extension, any other file as an
// image or sound.
static bool ReplaceChecks(Runtime& rt, bool exists, const RValue& file) {
    if (!exists) {
        rt.RuntimeError("Trying to replace non-existing resource.");
        return false;
    }
    if (!FileExists(std::string(ArgStr(file)))) {
        rt.RuntimeError("File does not exist.");
        return false;
    }
    return true;
}

void fn_action_replace_sprite(KR_ACTION_PARAMS) {
    Runner& r = RunnerOf(rt);
    const int32_t index = ArgInt(a[0]);
    const CSprite* sprite = r.Game().sprites.Get(index);
    if (!ReplaceChecks(rt, sprite != nullptr, a[1])) return;
    if (EndsWithNoCase(ArgStr(a[1]), ".krspr")) {
        CallBuiltin(rt, self, other, "sprite_replace_sprite", {double(index), a[1]});
        return;
    }
    CallBuiltin(rt, self, other, "sprite_replace",
                {double(index), a[1], double(ArgInt(a[2])), 0.0, 0.0, double(sprite->x_origin),
                 double(sprite->y_origin)});
}

void fn_action_replace_sound(KR_ACTION_PARAMS) {
    Runner& r = RunnerOf(rt);
    const int32_t index = ArgInt(a[0]);
    const CSound* sound = r.Game().sounds.Get(index);
    if (!ReplaceChecks(rt, sound != nullptr, a[1])) return;
    CallBuiltin(rt, self, other, "sound_replace",
                {double(index), a[1], double(sound->kind), sound->preload ? 1.0 : 0.0});
}

void fn_action_replace_background(KR_ACTION_PARAMS) {
    Runner& r = RunnerOf(rt);
    const int32_t index = ArgInt(a[0]);
    if (!ReplaceChecks(rt, r.Game().backgrounds.Exists(index), a[1])) return;
    if (EndsWithNoCase(ArgStr(a[1]), ".krbck")) {
        CallBuiltin(rt, self, other, "background_replace_background", {double(index), a[1]});
        return;
    }
    CallBuiltin(rt, self, other, "background_replace", {double(index), a[1], 0.0, 0.0});
}

// The cursor sprite is the game's; the system cursor goes through the window functions
// (cr_default 0, cr_none -1).
void fn_action_set_cursor(KR_ACTION_PARAMS) {
    RunnerOf(rt).Vars().cursor_sprite = ArgInt(a[0]);
    CallBuiltin(rt, self, other, "window_set_cursor", {ArgBool(a[1]) ? 0.0 : -1.0});
}

// 0 toggles, 1 a window, 2 full screen.
void fn_action_fullscreen(KR_ACTION_PARAMS) {
    const int32_t mode = ArgInt(a[0]);
    bool full = mode == 2;
    if (mode == 0) full = !ArgBool(CallBuiltin(rt, self, other, "window_get_fullscreen", {}));
    CallBuiltin(rt, self, other, "window_set_fullscreen", {full ? 1.0 : 0.0});
}

void fn_action_snapshot(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "screen_save", {a[0]});
}

// ---- CD audio --------------------------------------------------------------------------------

void fn_action_cd_play(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "cd_play", {ArgReal(a[0]), ArgReal(a[1])});
}

void fn_action_cd_stop(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "cd_stop", {});
}

void fn_action_cd_pause(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "cd_pause", {});
}

void fn_action_cd_resume(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "cd_resume", {});
}

void fn_action_cd_present(KR_ACTION_PARAMS) {
    SetQuestion(result, ArgBool(CallBuiltin(rt, self, other, "cd_present", {})));
}

void fn_action_cd_playing(KR_ACTION_PARAMS) {
    SetQuestion(result, ArgBool(CallBuiltin(rt, self, other, "cd_playing", {})));
}

// ---- Particles -------------------------------------------------------------------------------
// One system of the actions' own and 16 type and 16 emitter slots (GameVariables). Slot numbers
// outside 0 to 15 are reported and the action does nothing.

namespace {

ActionParticleSlots& Slots(Runtime& rt) {
    return RunnerOf(rt).Vars().action_particles;
}

int32_t EnsureSystem(Runtime& rt, ScriptInstance* self, ScriptInstance* other) {
    ActionParticleSlots& s = Slots(rt);
    if (s.system < 0) s.system = ArgInt(CallBuiltin(rt, self, other, "part_system_create", {}));
    return s.system;
}

bool SlotNumber(Runtime& rt, const RValue& v, int32_t& slot) {
    slot = ArgInt(v);
    if (slot >= 0 && slot < ActionParticleSlots::kSlots) return true;
    rt.RuntimeError("Particle slot " + std::to_string(slot) + " does not exist (0 to 15).");
    return false;
}

// The system, then the type in slot a[0], made when the slot is empty. False on a bad slot.
bool TypeOf(Runtime& rt, ScriptInstance* self, ScriptInstance* other, const RValue& v,
            double& type) {
    EnsureSystem(rt, self, other);
    int32_t slot;
    if (!SlotNumber(rt, v, slot)) return false;
    int32_t& t = Slots(rt).types[size_t(slot)];
    if (t < 0) t = ArgInt(CallBuiltin(rt, self, other, "part_type_create", {}));
    type = t;
    return true;
}

// The type in a slot for the secondary particles: -1 for an empty or invalid slot.
double TypeInSlot(Runtime& rt, const RValue& v) {
    const int32_t slot = ArgInt(v);
    if (slot < 0 || slot >= ActionParticleSlots::kSlots) return -1;
    return Slots(rt).types[size_t(slot)];
}

}  // namespace

void fn_action_partsyst_create(KR_ACTION_PARAMS) {
    const double system = EnsureSystem(rt, self, other);
    CallBuiltin(rt, self, other, "part_system_clear", {system});
    CallBuiltin(rt, self, other, "part_system_depth", {system, double(ArgInt(a[0]))});
    ActionParticleSlots& s = Slots(rt);
    s.types.fill(-1);
    s.emitters.fill(-1);
}

void fn_action_partsyst_destroy(KR_ACTION_PARAMS) {
    ActionParticleSlots& s = Slots(rt);
    if (s.system < 0) return;
    CallBuiltin(rt, self, other, "part_system_destroy", {double(s.system)});
    s.system = -1;
}

void fn_action_partsyst_clear(KR_ACTION_PARAMS) {
    ActionParticleSlots& s = Slots(rt);
    if (s.system < 0) return;
    CallBuiltin(rt, self, other, "part_particles_clear", {double(s.system)});
}

void fn_action_parttype_create_old(KR_ACTION_PARAMS) {
    double t;
    if (!TypeOf(rt, self, other, a[0], t)) return;
    CallBuiltin(rt, self, other, "part_type_shape", {t, ArgReal(a[1])});
    CallBuiltin(rt, self, other, "part_type_size", {t, ArgReal(a[2]), ArgReal(a[3]), 0.0, 0.0});
    CallBuiltin(rt, self, other, "part_type_color2", {t, ArgReal(a[4]), ArgReal(a[5])});
}

void fn_action_parttype_create(KR_ACTION_PARAMS) {
    double t;
    if (!TypeOf(rt, self, other, a[0], t)) return;
    CallBuiltin(rt, self, other, "part_type_shape", {t, ArgReal(a[1])});
    CallBuiltin(rt, self, other, "part_type_sprite", {t, ArgReal(a[2]), 1.0, 0.0, 0.0});
    CallBuiltin(rt, self, other, "part_type_size",
                {t, ArgReal(a[3]), ArgReal(a[4]), ArgReal(a[5]), 0.0});
}

void fn_action_parttype_color(KR_ACTION_PARAMS) {
    double t;
    if (!TypeOf(rt, self, other, a[0], t)) return;
    CallBuiltin(rt, self, other, ArgInt(a[1]) == 0 ? "part_type_color_mix" : "part_type_color2",
                {t, ArgReal(a[2]), ArgReal(a[3])});
    CallBuiltin(rt, self, other, "part_type_alpha2", {t, ArgReal(a[4]), ArgReal(a[5])});
}

void fn_action_parttype_life(KR_ACTION_PARAMS) {
    double t;
    if (!TypeOf(rt, self, other, a[0], t)) return;
    CallBuiltin(rt, self, other, "part_type_life", {t, ArgReal(a[1]), ArgReal(a[2])});
}

// The friction becomes a negative speed increment.
void fn_action_parttype_speed(KR_ACTION_PARAMS) {
    double t;
    if (!TypeOf(rt, self, other, a[0], t)) return;
    CallBuiltin(rt, self, other, "part_type_speed",
                {t, ArgReal(a[1]), ArgReal(a[2]), -ArgReal(a[5]), 0.0});
    CallBuiltin(rt, self, other, "part_type_direction",
                {t, ArgReal(a[3]), ArgReal(a[4]), 0.0, 0.0});
}

void fn_action_parttype_gravity(KR_ACTION_PARAMS) {
    double t;
    if (!TypeOf(rt, self, other, a[0], t)) return;
    CallBuiltin(rt, self, other, "part_type_gravity", {t, ArgReal(a[1]), ArgReal(a[2])});
}

void fn_action_parttype_secondary(KR_ACTION_PARAMS) {
    double t;
    if (!TypeOf(rt, self, other, a[0], t)) return;
    CallBuiltin(rt, self, other, "part_type_step", {t, ArgReal(a[2]), TypeInSlot(rt, a[1])});
    CallBuiltin(rt, self, other, "part_type_death", {t, ArgReal(a[4]), TypeInSlot(rt, a[3])});
}

void fn_action_partemit_create(KR_ACTION_PARAMS) {
    const double system = EnsureSystem(rt, self, other);
    int32_t slot;
    if (!SlotNumber(rt, a[0], slot)) return;
    int32_t& e = Slots(rt).emitters[size_t(slot)];
    if (e < 0) e = ArgInt(CallBuiltin(rt, self, other, "part_emitter_create", {system}));
    CallBuiltin(rt, self, other, "part_emitter_region",
                {system, double(e), ArgReal(a[2]), ArgReal(a[3]), ArgReal(a[4]), ArgReal(a[5]),
                 ArgReal(a[1]), 0.0});
}

void fn_action_partemit_destroy(KR_ACTION_PARAMS) {
    const double system = EnsureSystem(rt, self, other);
    int32_t slot;
    if (!SlotNumber(rt, a[0], slot)) return;
    int32_t& e = Slots(rt).emitters[size_t(slot)];
    if (e < 0) return;
    CallBuiltin(rt, self, other, "part_emitter_destroy", {system, double(e)});
    e = -1;
}

static void EmitterAction(Runtime& rt, ScriptInstance* self, ScriptInstance* other, const RValue* a,
                          std::string_view fn) {
    const double system = EnsureSystem(rt, self, other);
    int32_t slot;
    if (!SlotNumber(rt, a[0], slot)) return;
    const int32_t e = Slots(rt).emitters[size_t(slot)];
    if (e < 0) {
        rt.RuntimeError("The particle emitter must first be created.");
        return;
    }
    CallBuiltin(rt, self, other, fn, {system, double(e), TypeInSlot(rt, a[1]), ArgReal(a[2])});
}

void fn_action_partemit_burst(KR_ACTION_PARAMS) {
    EmitterAction(rt, self, other, a, "part_emitter_burst");
}

void fn_action_partemit_stream(KR_ACTION_PARAMS) {
    EmitterAction(rt, self, other, a, "part_emitter_stream");
}

// ---- Drawing ---------------------------------------------------------------------------------

void fn_action_draw_sprite(KR_ACTION_PARAMS) {
    const int32_t sprite = ArgInt(a[0]);
    if (!RunnerOf(rt).Game().sprites.Exists(sprite)) {
        rt.RuntimeError("Trying to draw a non-existing sprite.");
        return;
    }
    const double image = ArgReal(a[3]) < 0 ? Self(self).image_index : ArgReal(a[3]);
    CallBuiltin(rt, self, other, "draw_sprite",
                {double(sprite), image, RelX(rt, self, a[1]), RelY(rt, self, a[2])});
}

void fn_action_draw_background(KR_ACTION_PARAMS) {
    const int32_t back = ArgInt(a[0]);
    if (!RunnerOf(rt).Game().backgrounds.Exists(back)) {
        rt.RuntimeError("Trying to draw a non-existing background.");
        return;
    }
    CallBuiltin(rt, self, other, ArgBool(a[3]) ? "draw_background_tiled" : "draw_background",
                {double(back), RelX(rt, self, a[1]), RelY(rt, self, a[2])});
}

void fn_action_draw_text(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "draw_text", {RelX(rt, self, a[1]), RelY(rt, self, a[2]), a[0]});
}

void fn_action_draw_text_transformed(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "draw_text_transformed",
                {RelX(rt, self, a[1]), RelY(rt, self, a[2]), a[0], ArgReal(a[3]), ArgReal(a[4]),
                 ArgReal(a[5])});
}

static void DrawShape(Runtime& rt, ScriptInstance* self, ScriptInstance* other, const RValue* a,
                      std::string_view fn) {
    CallBuiltin(rt, self, other, fn,
                {RelX(rt, self, a[0]), RelY(rt, self, a[1]), RelX(rt, self, a[2]),
                 RelY(rt, self, a[3]), ArgBool(a[4]) ? 1.0 : 0.0});
}

void fn_action_draw_rectangle(KR_ACTION_PARAMS) {
    DrawShape(rt, self, other, a, "draw_rectangle");
}

void fn_action_draw_ellipse(KR_ACTION_PARAMS) {
    DrawShape(rt, self, other, a, "draw_ellipse");
}

void fn_action_draw_gradient_hor(KR_ACTION_PARAMS) {
    const double c1 = ArgReal(a[4]), c2 = ArgReal(a[5]);
    CallBuiltin(rt, self, other, "draw_rectangle_color",
                {RelX(rt, self, a[0]), RelY(rt, self, a[1]), RelX(rt, self, a[2]),
                 RelY(rt, self, a[3]), c1, c2, c2, c1, 0.0});
}

void fn_action_draw_gradient_vert(KR_ACTION_PARAMS) {
    const double c1 = ArgReal(a[4]), c2 = ArgReal(a[5]);
    CallBuiltin(rt, self, other, "draw_rectangle_color",
                {RelX(rt, self, a[0]), RelY(rt, self, a[1]), RelX(rt, self, a[2]),
                 RelY(rt, self, a[3]), c1, c1, c2, c2, 0.0});
}

void fn_action_draw_ellipse_gradient(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "draw_ellipse_color",
                {RelX(rt, self, a[0]), RelY(rt, self, a[1]), RelX(rt, self, a[2]),
                 RelY(rt, self, a[3]), ArgReal(a[4]), ArgReal(a[5]), 0.0});
}

void fn_action_draw_line(KR_ACTION_PARAMS) {
    CallBuiltin(
        rt, self, other, "draw_line",
        {RelX(rt, self, a[0]), RelY(rt, self, a[1]), RelX(rt, self, a[2]), RelY(rt, self, a[3])});
}

void fn_action_draw_arrow(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "draw_arrow",
                {RelX(rt, self, a[0]), RelY(rt, self, a[1]), RelX(rt, self, a[2]),
                 RelY(rt, self, a[3]), ArgReal(a[4])});
}

void fn_action_color(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "draw_set_color", {ArgReal(a[0])});
}

void fn_action_font(KR_ACTION_PARAMS) {
    CallBuiltin(rt, self, other, "draw_set_font", {ArgReal(a[0])});
    CallBuiltin(rt, self, other, "draw_set_halign", {ArgReal(a[1])});
}

void fn_action_effect(KR_ACTION_PARAMS) {
    CallBuiltin(
        rt, self, other, ArgBool(a[5]) ? "effect_create_above" : "effect_create_below",
        {ArgReal(a[0]), RelX(rt, self, a[1]), RelY(rt, self, a[2]), ArgReal(a[3]), ArgReal(a[4])});
}

}  // namespace kr
