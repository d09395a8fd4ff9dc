// The action library, spread over FunctionAction*.cpp: the helpers its bodies share and the
// bodies that live outside FunctionAction.cpp, which keeps the family's one table.
//
// Most actions are thin layers over other built-in functions. They call those through the
// registry by name (CallBuiltin), never around it: an action then does exactly what the script
// function does, and a function whose subsystem is still missing reports that it is not
// available yet, the same way for the action as for code.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "code/BuiltinRegistry.h"
#include "code/Runtime.h"

namespace kr {

class CInstance;

// The parameters of every built-in body, so the long list is written once.
#define KR_ACTION_PARAMS                                                                 \
    Runtime &rt, ScriptInstance *self, ScriptInstance *other, int argc, const RValue *a, \
        RValue &result

namespace action {

// The calling instance: every instance of a room is a CInstance, and so is the temporary
// instance that code outside events runs for.
CInstance& Self(ScriptInstance* self);
// Whether the running action has its relative option set (argument_relative).
bool Relative(Runtime& rt);
// A coordinate of an action: with the relative flag, the instance's x (or y) is added.
double RelX(Runtime& rt, ScriptInstance* self, const RValue& v);
double RelY(Runtime& rt, ScriptInstance* self, const RValue& v);
// Calls built-in `name` with `args` for (self, other) and returns its result. An unknown name
// is a programming error reported as a run-time error.
RValue CallBuiltin(Runtime& rt, ScriptInstance* self, ScriptInstance* other, std::string_view name,
                   std::initializer_list<RValue> args);
// The comparison menus: 1 smaller than, 2 larger than, anything else equal to; exact.
bool CompareMenu(double value, double against, int32_t op);
// Clears the keyboard and mouse state, as actions do after a modal window.
void ClearInput(Runtime& rt);

}  // namespace action

// ---- Bodies in FunctionActionMedia.cpp: sound, rooms, timing, game, files, particles,
// drawing, CD audio ----
void fn_action_sound(KR_ACTION_PARAMS);
void fn_action_end_sound(KR_ACTION_PARAMS);
void fn_action_if_sound(KR_ACTION_PARAMS);
void fn_action_another_room(KR_ACTION_PARAMS);
void fn_action_current_room(KR_ACTION_PARAMS);
void fn_action_previous_room(KR_ACTION_PARAMS);
void fn_action_next_room(KR_ACTION_PARAMS);
void fn_action_if_previous_room(KR_ACTION_PARAMS);
void fn_action_if_next_room(KR_ACTION_PARAMS);
void fn_action_set_alarm(KR_ACTION_PARAMS);
void fn_action_sleep(KR_ACTION_PARAMS);
void fn_action_set_timeline(KR_ACTION_PARAMS);
void fn_action_timeline_set(KR_ACTION_PARAMS);
void fn_action_timeline_start(KR_ACTION_PARAMS);
void fn_action_timeline_pause(KR_ACTION_PARAMS);
void fn_action_timeline_stop(KR_ACTION_PARAMS);
void fn_action_set_timeline_position(KR_ACTION_PARAMS);
void fn_action_set_timeline_speed(KR_ACTION_PARAMS);
void fn_action_message(KR_ACTION_PARAMS);
void fn_action_show_info(KR_ACTION_PARAMS);
void fn_action_show_video(KR_ACTION_PARAMS);
void fn_action_splash_video(KR_ACTION_PARAMS);
void fn_action_splash_text(KR_ACTION_PARAMS);
void fn_action_splash_image(KR_ACTION_PARAMS);
void fn_action_splash_web(KR_ACTION_PARAMS);
void fn_action_splash_settings(KR_ACTION_PARAMS);
void fn_action_end_game(KR_ACTION_PARAMS);
void fn_action_restart_game(KR_ACTION_PARAMS);
void fn_action_save_game(KR_ACTION_PARAMS);
void fn_action_load_game(KR_ACTION_PARAMS);
void fn_action_replace_sprite(KR_ACTION_PARAMS);
void fn_action_replace_sound(KR_ACTION_PARAMS);
void fn_action_replace_background(KR_ACTION_PARAMS);
void fn_action_webpage(KR_ACTION_PARAMS);
void fn_action_set_cursor(KR_ACTION_PARAMS);
void fn_action_fullscreen(KR_ACTION_PARAMS);
void fn_action_snapshot(KR_ACTION_PARAMS);
void fn_action_cd_play(KR_ACTION_PARAMS);
void fn_action_cd_stop(KR_ACTION_PARAMS);
void fn_action_cd_pause(KR_ACTION_PARAMS);
void fn_action_cd_resume(KR_ACTION_PARAMS);
void fn_action_cd_present(KR_ACTION_PARAMS);
void fn_action_cd_playing(KR_ACTION_PARAMS);
void fn_action_partsyst_create(KR_ACTION_PARAMS);
void fn_action_partsyst_destroy(KR_ACTION_PARAMS);
void fn_action_partsyst_clear(KR_ACTION_PARAMS);
void fn_action_parttype_create_old(KR_ACTION_PARAMS);
void fn_action_parttype_create(KR_ACTION_PARAMS);
void fn_action_parttype_color(KR_ACTION_PARAMS);
void fn_action_parttype_life(KR_ACTION_PARAMS);
void fn_action_parttype_speed(KR_ACTION_PARAMS);
void fn_action_parttype_gravity(KR_ACTION_PARAMS);
void fn_action_parttype_secondary(KR_ACTION_PARAMS);
void fn_action_partemit_create(KR_ACTION_PARAMS);
void fn_action_partemit_destroy(KR_ACTION_PARAMS);
void fn_action_partemit_burst(KR_ACTION_PARAMS);
void fn_action_partemit_stream(KR_ACTION_PARAMS);
void fn_action_draw_sprite(KR_ACTION_PARAMS);
void fn_action_draw_background(KR_ACTION_PARAMS);
void fn_action_draw_text(KR_ACTION_PARAMS);
void fn_action_draw_text_transformed(KR_ACTION_PARAMS);
void fn_action_draw_rectangle(KR_ACTION_PARAMS);
void fn_action_draw_gradient_hor(KR_ACTION_PARAMS);
void fn_action_draw_gradient_vert(KR_ACTION_PARAMS);
void fn_action_draw_ellipse(KR_ACTION_PARAMS);
void fn_action_draw_ellipse_gradient(KR_ACTION_PARAMS);
void fn_action_draw_line(KR_ACTION_PARAMS);
void fn_action_draw_arrow(KR_ACTION_PARAMS);
void fn_action_color(KR_ACTION_PARAMS);
void fn_action_font(KR_ACTION_PARAMS);
void fn_action_effect(KR_ACTION_PARAMS);

}  // namespace kr
