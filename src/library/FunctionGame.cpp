// Script functions for motion, collisions, instances, rooms and the game as a whole.
// Rows without a body are registered so that games compile; calling one reports that the
// function is not available yet.
#include "code/Vocabulary.h"
#include "runner/Runner.h"

namespace kr {

// ---- Rooms and the game ----------------------------------------------------------------------
// These only set the room request; the main loop carries it out at the end of the step.

static void fn_room_goto(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                         RValue&) {
    Runner& r = RunnerOf(rt);
    r.Loop().RequestRoom(ArgInt(args[0]), r.Vars().transition_kind);
}

static void fn_room_goto_previous(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                                  RValue&) {
    Runner& r = RunnerOf(rt);
    GameLoop& loop = r.Loop();
    if (loop.RoomIndex() == loop.FirstRoom()) {
        rt.RuntimeError("Moving to previous room before the first room.", true);
        r.SetRoomRequest(GameLoop::kRequestEndAfterError);
        return;
    }
    loop.RequestRoom(loop.PreviousRoom(loop.RoomIndex()), r.Vars().transition_kind);
}

static void fn_room_goto_next(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                              RValue&) {
    Runner& r = RunnerOf(rt);
    GameLoop& loop = r.Loop();
    if (loop.RoomIndex() == loop.LastRoom()) {
        rt.RuntimeError("Moving to next room after the last room.", true);
        r.SetRoomRequest(GameLoop::kRequestEndAfterError);
        return;
    }
    loop.RequestRoom(loop.NextRoom(loop.RoomIndex()), r.Vars().transition_kind);
}

static void fn_room_previous(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    GameLoop& loop = RunnerOf(rt).Loop();
    int32_t n = ArgInt(args[0]);
    result.SetReal(loop.RoomExists(n) && n != loop.FirstRoom() ? loop.PreviousRoom(n) : -1);
}

static void fn_room_next(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                         RValue& result) {
    GameLoop& loop = RunnerOf(rt).Loop();
    int32_t n = ArgInt(args[0]);
    result.SetReal(loop.RoomExists(n) && n != loop.LastRoom() ? loop.NextRoom(n) : -1);
}

static void fn_room_restart(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                            RValue&) {
    Runner& r = RunnerOf(rt);
    r.Loop().RequestRoom(r.Loop().RoomIndex(), r.Vars().transition_kind);
}

static void fn_game_end(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                        RValue&) {
    RunnerOf(rt).SetRoomRequest(GameLoop::kRequestEnd);
}

static void fn_game_restart(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                            RValue&) {
    RunnerOf(rt).SetRoomRequest(GameLoop::kRequestRestart);
}

// ORDER VOCABULARY: the rows keep the registration order of the family.
static const BuiltinDef kGameFunctions[] = {
    {"move_random", nullptr, 2},
    {"place_free", nullptr, 2},
    {"place_empty", nullptr, 2},
    {"place_meeting", nullptr, 3},
    {"place_snapped", nullptr, 2},
    {"move_snap", nullptr, 2},
    {"move_towards_point", nullptr, 3},
    {"move_contact", nullptr, 1},
    {"move_contact_solid", nullptr, 2},
    {"move_contact_all", nullptr, 2},
    {"move_outside_solid", nullptr, 2},
    {"move_outside_all", nullptr, 2},
    {"move_bounce", nullptr, 1},
    {"move_bounce_solid", nullptr, 1},
    {"move_bounce_all", nullptr, 1},
    {"move_wrap", nullptr, 3},
    {"motion_set", nullptr, 2},
    {"motion_add", nullptr, 2},
    {"distance_to_point", nullptr, 2},
    {"distance_to_object", nullptr, 1},
    {"path_start", nullptr, 4},
    {"path_end", nullptr, 0},
    {"mp_linear_step", nullptr, 4},
    {"mp_linear_path", nullptr, 5},
    {"mp_linear_step_object", nullptr, 4},
    {"mp_linear_path_object", nullptr, 5},
    {"mp_potential_settings", nullptr, 4},
    {"mp_potential_step", nullptr, 4},
    {"mp_potential_path", nullptr, 6},
    {"mp_potential_step_object", nullptr, 4},
    {"mp_potential_path_object", nullptr, 6},
    {"mp_grid_create", nullptr, 6},
    {"mp_grid_destroy", nullptr, 1},
    {"mp_grid_clear_all", nullptr, 1},
    {"mp_grid_clear_cell", nullptr, 3},
    {"mp_grid_clear_rectangle", nullptr, 5},
    {"mp_grid_add_cell", nullptr, 3},
    {"mp_grid_add_rectangle", nullptr, 5},
    {"mp_grid_add_instances", nullptr, 3},
    {"mp_grid_path", nullptr, 7},
    {"mp_grid_draw", nullptr, 1},
    {"collision_point", nullptr, 5},
    {"collision_rectangle", nullptr, 7},
    {"collision_circle", nullptr, 6},
    {"collision_ellipse", nullptr, 7},
    {"collision_line", nullptr, 7},
    {"instance_find", nullptr, 2},
    {"instance_exists", nullptr, 1},
    {"instance_number", nullptr, 1},
    {"instance_position", nullptr, 3},
    {"instance_nearest", nullptr, 3},
    {"instance_furthest", nullptr, 3},
    {"instance_place", nullptr, 3},
    {"instance_create", nullptr, 3},
    {"instance_copy", nullptr, 1},
    {"instance_change", nullptr, 2},
    {"instance_destroy", nullptr, 0},
    {"instance_sprite", nullptr, 1},
    {"position_empty", nullptr, 2},
    {"position_meeting", nullptr, 3},
    {"position_destroy", nullptr, 2},
    {"position_change", nullptr, 4},
    {"instance_deactivate_all", nullptr, 1},
    {"instance_deactivate_object", nullptr, 1},
    {"instance_deactivate_region", nullptr, 6},
    {"instance_activate_all", nullptr, 0},
    {"instance_activate_object", nullptr, 1},
    {"instance_activate_region", nullptr, 5},
    {"room_goto", fn_room_goto, 1},
    {"room_goto_previous", fn_room_goto_previous, 0},
    {"room_goto_next", fn_room_goto_next, 0},
    {"room_previous", fn_room_previous, 1},
    {"room_next", fn_room_next, 1},
    {"room_restart", fn_room_restart, 0},
    {"game_end", fn_game_end, 0},
    {"game_restart", fn_game_restart, 0},
    {"game_load", nullptr, 1},
    {"game_save", nullptr, 1},
    {"transition_define", nullptr, 2},
    {"transition_exists", nullptr, 1},
    {"sleep", nullptr, 1},
};

void RegisterGameFunctions(BuiltinRegistry& reg) {
    reg.Add(kGameFunctions);
}

}  // namespace kr
