// Script functions for motion, collisions, instances, rooms and the game as a whole.
// Rows without a body are registered so that games compile; calling one reports that the
// function is not available yet.
#include <algorithm>
#include <cmath>

#include "code/Vocabulary.h"
#include "library/FunctionGame.h"
#include "objects/InstanceCollision.h"
#include "objects/InstanceOps.h"
#include "runner/Runner.h"
#include "runner/SaveGame.h"

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
        r.SetRoomRequest(kRequestEndAfterError);
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
        r.SetRoomRequest(kRequestEndAfterError);
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
    RunnerOf(rt).SetRoomRequest(kRequestEnd);
}

static void fn_game_restart(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                            RValue&) {
    RunnerOf(rt).SetRoomRequest(kRequestRestart);
}

// game_save writes at once, in the middle of the event; game_load only remembers the file and
// asks for the load at the end of the step (a second call replaces the file).
// transition_define(kind, name): kind draws with the named script or function from now on.
static void fn_transition_define(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                 const RValue* args, RValue& result) {
    bool found = RunnerOf(rt).Drawer().Transitions().Define(ArgInt(args[0]), ArgStr(args[1]));
    result.SetReal(found ? 1.0 : 0.0);
}

static void fn_transition_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                 const RValue* args, RValue& result) {
    result.SetReal(RunnerOf(rt).Drawer().Transitions().Exists(ArgInt(args[0])) ? 1.0 : 0.0);
}

static void fn_game_save(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                         RValue&) {
    SaveGame(RunnerOf(rt), std::string(ArgStr(args[0])));
}

static void fn_game_load(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                         RValue&) {
    Runner& r = RunnerOf(rt);
    r.Loop().save_file_name = std::string(ArgStr(args[0]));
    r.SetRoomRequest(kRequestLoad);
}

// ---- Activation ------------------------------------------------------------------------------
// Each function marks instances and then moves them between the room's active and inactive
// lists at once, so that a deactivated instance receives no further event of the step.

namespace {

// Whether the instance lies wholly outside the region: its bounding box, or its position when
// it has neither sprite nor mask.
bool OutsideRegion(Runner& r, const CInstance& inst, double left, double top, double width,
                   double height) {
    const GameWorld& world = r.World();
    double l = inst.X(), t = inst.Y(), rt = l, b = t;
    if (world.FindSprite(inst.SpriteIndex()) || world.FindSprite(inst.MaskIndex())) {
        l = inst.BBoxLeft();
        t = inst.BBoxTop();
        rt = inst.BBoxRight();
        b = inst.BBoxBottom();
    }
    return rt < left || l > left + width || b < top || t > top + height;
}

}  // namespace

static void fn_instance_deactivate_all(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                       const RValue* args, RValue&) {
    InstanceList& room = RunnerOf(rt).Instances();
    bool notme = ArgBool(args[0]);
    for (int32_t i = 0, n = room.Count(); i < n; ++i)
        if (CInstance* inst = room.At(i); inst && !(notme && inst == self))
            inst->deactivated = true;
    room.UpdateActivation();
}

static void fn_instance_deactivate_object(Runtime& rt, ScriptInstance* self, ScriptInstance* other,
                                          int, const RValue* args, RValue&) {
    InstanceList& room = RunnerOf(rt).Instances();
    int32_t obj = ArgInt(args[0]);
    if (obj == kOwnerSelf || obj == kOwnerOther) {
        ScriptInstance* target = obj == kOwnerSelf ? self : other;
        if (target) static_cast<CInstance*>(target)->deactivated = true;
    } else if (obj == kOwnerAll) {
        for (int32_t i = 0, n = room.Count(); i < n; ++i)
            if (CInstance* inst = room.At(i)) inst->deactivated = true;
    } else if (obj >= 0 && obj < kScriptIdBase) {
        for (int32_t i = 0, n = room.FamilyCount(obj); i < n; ++i)
            if (CInstance* inst = room.FamilyAt(obj, i)) inst->deactivated = true;
    } else if (obj >= kScriptIdBase) {
        if (CInstance* inst = room.Find(obj)) inst->deactivated = true;
    }
    room.UpdateActivation();
}

static void fn_instance_deactivate_region(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                          const RValue* args, RValue&) {
    Runner& r = RunnerOf(rt);
    InstanceList& room = r.Instances();
    bool inside = ArgBool(args[4]), notme = ArgBool(args[5]);
    for (int32_t i = 0, n = room.Count(); i < n; ++i) {
        CInstance* inst = room.At(i);
        if (!inst || (notme && inst == self)) continue;
        bool out = OutsideRegion(r, *inst, ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]),
                                 ArgReal(args[3]));
        if (out != inside) inst->deactivated = true;
    }
    room.UpdateActivation();
}

static void fn_instance_activate_all(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                     const RValue*, RValue&) {
    InstanceList& room = RunnerOf(rt).Instances();
    for (int32_t i = 0, n = room.InactiveCount(); i < n; ++i)
        if (CInstance* inst = room.InactiveAt(i)) inst->deactivated = false;
    room.UpdateActivation();
}

static void fn_instance_activate_object(Runtime& rt, ScriptInstance* self, ScriptInstance* other,
                                        int, const RValue* args, RValue&) {
    Runner& r = RunnerOf(rt);
    InstanceList& room = r.Instances();
    int32_t obj = ArgInt(args[0]);
    if (obj == kOwnerSelf || obj == kOwnerOther) {
        ScriptInstance* target = obj == kOwnerSelf ? self : other;
        if (target) static_cast<CInstance*>(target)->deactivated = false;
    } else {
        for (int32_t i = 0, n = room.InactiveCount(); i < n; ++i) {
            CInstance* inst = room.InactiveAt(i);
            if (!inst) continue;
            bool hit =
                obj == kOwnerAll ||
                (obj >= 0 && obj < kScriptIdBase &&
                 (inst->object_index == obj || r.Events().IsAncestor(inst->object_index, obj))) ||
                (obj >= kScriptIdBase && inst->id == obj);
            if (hit) inst->deactivated = false;
        }
    }
    room.UpdateActivation();
}

static void fn_instance_activate_region(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                        const RValue* args, RValue&) {
    Runner& r = RunnerOf(rt);
    InstanceList& room = r.Instances();
    bool inside = ArgBool(args[4]);
    for (int32_t i = 0, n = room.InactiveCount(); i < n; ++i) {
        CInstance* inst = room.InactiveAt(i);
        if (!inst) continue;
        bool out = OutsideRegion(r, *inst, ArgReal(args[0]), ArgReal(args[1]), ArgReal(args[2]),
                                 ArgReal(args[3]));
        if (out != inside) inst->deactivated = false;
    }
    room.UpdateActivation();
}

// ---- Instances and collisions ----------------------------------------------------------------
// The calling instance is a CInstance: every instance of a room is, and so is the temporary
// instance that code outside events runs for. Object arguments select as the collision
// functions do: all (-3) every instance, an object index the instances of the object and its
// descendants, an instance id that instance; deleted instances are never selected, and an id
// result of "nothing" is noone (-4).

namespace {

constexpr double kNoone = -4;

CInstance& Self(ScriptInstance* self) {
    return *static_cast<CInstance*>(self);
}

double IdOf(const CInstance* inst) {
    return inst ? double(inst->id) : kNoone;
}

// Calls fn(inst) for each selected instance that is not deleted, in list order, until fn
// returns false.
template <class Fn>
void ForEachSelected(const InstanceList& room, int32_t obj, Fn fn) {
    const Selection sel = Selection::FromObj(obj);
    switch (sel.kind) {
        case Selection::Kind::kAll:
            for (int32_t k = 0, n = room.Count(); k < n; ++k) {
                CInstance* inst = room.At(k);
                if (inst && !inst->deleted && !fn(*inst)) return;
            }
            return;
        case Selection::Kind::kObject:
            for (int32_t k = 0, n = room.FamilyCount(sel.value); k < n; ++k) {
                CInstance* inst = room.FamilyAt(sel.value, k);
                if (inst && !inst->deleted && !fn(*inst)) return;
            }
            return;
        case Selection::Kind::kId:
            if (CInstance* inst = room.Find(sel.value)) fn(*inst);
            return;
        default:
            return;
    }
}

// The selected instance whose position is nearest to (furthest from) the point; the first in
// list order among equals.
CInstance* Extreme(const InstanceList& room, double x, double y, int32_t obj, bool nearest) {
    CInstance* best = nullptr;
    double best_d = 0;
    ForEachSelected(room, obj, [&](CInstance& inst) {
        const double d = std::hypot(inst.X() - x, inst.Y() - y);
        if (!best || (nearest ? d < best_d : d > best_d)) {
            best = &inst;
            best_d = d;
        }
        return true;
    });
    return best;
}

}  // namespace

static void fn_instance_create(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    // A missing object is reported and gives noone, not 0: 0 names object 0 as an owner.
    CInstance* inst = InstanceCreate(RunnerOf(rt).Instancing(), ArgInt(args[2]), ArgReal(args[0]),
                                     ArgReal(args[1]));
    result.SetReal(IdOf(inst));
}

static void fn_instance_copy(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                             const RValue* args, RValue& result) {
    result.SetReal(InstanceCopy(RunnerOf(rt).Instancing(), Self(self), ArgBool(args[0])).id);
}

static void fn_instance_destroy(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                const RValue*, RValue&) {
    InstanceDestroy(RunnerOf(rt).Instancing(), Self(self));
}

static void fn_instance_change(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                               const RValue* args, RValue&) {
    InstanceChange(RunnerOf(rt).Instancing(), Self(self), ArgInt(args[0]), ArgBool(args[1]));
}

// A sprite that does not exist is reported and the instance keeps its own.
static void fn_instance_sprite(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                               const RValue* args, RValue&) {
    SetInstanceSprite(RunnerOf(rt).Instancing(), Self(self), ArgInt(args[0]));
}

static void fn_position_destroy(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue&) {
    PositionDestroy(RunnerOf(rt).Instancing(), ArgReal(args[0]), ArgReal(args[1]));
}

static void fn_position_change(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue&) {
    PositionChange(RunnerOf(rt).Instancing(), ArgReal(args[0]), ArgReal(args[1]), ArgInt(args[2]),
                   ArgBool(args[3]));
}

// instance_find(obj, n): the n-th selected instance (from 0), or noone.
static void fn_instance_find(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    int64_t n = RoundToInt64(ArgReal(args[1]));
    CInstance* found = nullptr;
    if (n >= 0) {
        ForEachSelected(RunnerOf(rt).Instances(), ArgInt(args[0]), [&](CInstance& inst) {
            if (n-- > 0) return true;
            found = &inst;
            return false;
        });
    }
    result.SetReal(IdOf(found));
}

static void fn_instance_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    bool any = false;
    ForEachSelected(RunnerOf(rt).Instances(), ArgInt(args[0]), [&](CInstance&) {
        any = true;
        return false;
    });
    result.SetReal(any ? 1.0 : 0.0);
}

static void fn_instance_number(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    int32_t count = 0;
    ForEachSelected(RunnerOf(rt).Instances(), ArgInt(args[0]), [&](CInstance&) {
        ++count;
        return true;
    });
    result.SetReal(count);
}

// instance_nearest(x, y, obj), instance_furthest(x, y, obj): by the distance of the instance's
// position (not its box) to the point. The calling instance counts like any other.
static void fn_instance_nearest(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    result.SetReal(IdOf(Extreme(RunnerOf(rt).Instances(), ArgReal(args[0]), ArgReal(args[1]),
                                ArgInt(args[2]), true)));
}

static void fn_instance_furthest(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                 const RValue* args, RValue& result) {
    result.SetReal(IdOf(Extreme(RunnerOf(rt).Instances(), ArgReal(args[0]), ArgReal(args[1]),
                                ArgInt(args[2]), false)));
}

static void fn_place_free(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                          const RValue* args, RValue& result) {
    result.SetReal(
        PlaceFree(RunnerOf(rt).Instances(), Self(self), ArgReal(args[0]), ArgReal(args[1])));
}

static void fn_place_empty(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                           const RValue* args, RValue& result) {
    result.SetReal(
        PlaceEmpty(RunnerOf(rt).Instances(), Self(self), ArgReal(args[0]), ArgReal(args[1])));
}

static void fn_place_meeting(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                             const RValue* args, RValue& result) {
    result.SetReal(PlaceMeeting(RunnerOf(rt).Instances(), Self(self), ArgReal(args[0]),
                                ArgReal(args[1]), ArgInt(args[2])));
}

static void fn_instance_place(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    result.SetReal(IdOf(InstancePlace(RunnerOf(rt).Instances(), Self(self), ArgReal(args[0]),
                                      ArgReal(args[1]), ArgInt(args[2]))));
}

static void fn_instance_position(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                 const RValue* args, RValue& result) {
    result.SetReal(IdOf(InstancePosition(RunnerOf(rt).Instances(), ArgReal(args[0]),
                                         ArgReal(args[1]), ArgInt(args[2]))));
}

static void fn_collision_point(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                               const RValue* a, RValue& result) {
    result.SetReal(IdOf(CollisionPoint(RunnerOf(rt).Instances(), &Self(self), ArgReal(a[0]),
                                       ArgReal(a[1]), ArgInt(a[2]), ArgBool(a[3]), ArgBool(a[4]))));
}

static void fn_collision_rectangle(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                   const RValue* a, RValue& result) {
    result.SetReal(IdOf(CollisionRectangle(RunnerOf(rt).Instances(), &Self(self), ArgReal(a[0]),
                                           ArgReal(a[1]), ArgReal(a[2]), ArgReal(a[3]),
                                           ArgInt(a[4]), ArgBool(a[5]), ArgBool(a[6]))));
}

static void fn_collision_circle(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                const RValue* a, RValue& result) {
    result.SetReal(
        IdOf(CollisionCircle(RunnerOf(rt).Instances(), &Self(self), ArgReal(a[0]), ArgReal(a[1]),
                             ArgReal(a[2]), ArgInt(a[3]), ArgBool(a[4]), ArgBool(a[5]))));
}

static void fn_collision_ellipse(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                 const RValue* a, RValue& result) {
    result.SetReal(IdOf(CollisionEllipse(RunnerOf(rt).Instances(), &Self(self), ArgReal(a[0]),
                                         ArgReal(a[1]), ArgReal(a[2]), ArgReal(a[3]), ArgInt(a[4]),
                                         ArgBool(a[5]), ArgBool(a[6]))));
}

static void fn_collision_line(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                              const RValue* a, RValue& result) {
    result.SetReal(IdOf(CollisionLine(RunnerOf(rt).Instances(), &Self(self), ArgReal(a[0]),
                                      ArgReal(a[1]), ArgReal(a[2]), ArgReal(a[3]), ArgInt(a[4]),
                                      ArgBool(a[5]), ArgBool(a[6]))));
}

// Waits the given milliseconds on the runner's clock (a headless run's clock just advances).
// A long wait is taken in slices so that Ctrl+C or SIGTERM ends it at once.
static void fn_sleep(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                     RValue&) {
    double ms = ArgReal(args[0]);
    if (!(ms > 0)) return;
    Runner& runner = RunnerOf(rt);
    constexpr int64_t kSlice = 50'000;
    for (int64_t left = int64_t(std::min(ms, 3.6e6) * 1000.0); left > 0 && !runner.StopRequested();
         left -= kSlice)
        runner.GetPlatform().clock->Sleep(std::min(left, kSlice));
}

// ORDER VOCABULARY: the rows keep the registration order of the family.
static constexpr BuiltinDef kGameFunctions[] = {
    {"move_random", fn_move_random, 2},
    {"place_free", fn_place_free, 2},
    {"place_empty", fn_place_empty, 2},
    {"place_meeting", fn_place_meeting, 3},
    {"place_snapped", fn_place_snapped, 2},
    {"move_snap", fn_move_snap, 2},
    {"move_towards_point", fn_move_towards_point, 3},
    {"move_contact", fn_move_contact, 1},
    {"move_contact_solid", fn_move_contact_solid, 2},
    {"move_contact_all", fn_move_contact_all, 2},
    {"move_outside_solid", fn_move_outside_solid, 2},
    {"move_outside_all", fn_move_outside_all, 2},
    {"move_bounce", fn_move_bounce, 1},
    {"move_bounce_solid", fn_move_bounce_solid, 1},
    {"move_bounce_all", fn_move_bounce_all, 1},
    {"move_wrap", fn_move_wrap, 3},
    {"motion_set", fn_motion_set, 2},
    {"motion_add", fn_motion_add, 2},
    {"distance_to_point", fn_distance_to_point, 2},
    {"distance_to_object", fn_distance_to_object, 1},
    {"path_start", fn_path_start, 4},
    {"path_end", fn_path_end, 0},
    {"mp_linear_step", fn_mp_linear_step, 4},
    {"mp_linear_path", fn_mp_linear_path, 5},
    {"mp_linear_step_object", fn_mp_linear_step_object, 4},
    {"mp_linear_path_object", fn_mp_linear_path_object, 5},
    {"mp_potential_settings", fn_mp_potential_settings, 4},
    {"mp_potential_step", fn_mp_potential_step, 4},
    {"mp_potential_path", fn_mp_potential_path, 6},
    {"mp_potential_step_object", fn_mp_potential_step_object, 4},
    {"mp_potential_path_object", fn_mp_potential_path_object, 6},
    {"mp_grid_create", fn_mp_grid_create, 6},
    {"mp_grid_destroy", fn_mp_grid_destroy, 1},
    {"mp_grid_clear_all", fn_mp_grid_clear_all, 1},
    {"mp_grid_clear_cell", fn_mp_grid_clear_cell, 3},
    {"mp_grid_clear_rectangle", fn_mp_grid_clear_rectangle, 5},
    {"mp_grid_add_cell", fn_mp_grid_add_cell, 3},
    {"mp_grid_add_rectangle", fn_mp_grid_add_rectangle, 5},
    {"mp_grid_add_instances", fn_mp_grid_add_instances, 3},
    {"mp_grid_path", fn_mp_grid_path, 7},
    {"mp_grid_draw", fn_mp_grid_draw, 1},
    {"collision_point", fn_collision_point, 5},
    {"collision_rectangle", fn_collision_rectangle, 7},
    {"collision_circle", fn_collision_circle, 6},
    {"collision_ellipse", fn_collision_ellipse, 7},
    {"collision_line", fn_collision_line, 7},
    {"instance_find", fn_instance_find, 2},
    {"instance_exists", fn_instance_exists, 1},
    {"instance_number", fn_instance_number, 1},
    {"instance_position", fn_instance_position, 3},
    {"instance_nearest", fn_instance_nearest, 3},
    {"instance_furthest", fn_instance_furthest, 3},
    {"instance_place", fn_instance_place, 3},
    {"instance_create", fn_instance_create, 3},
    {"instance_copy", fn_instance_copy, 1},
    {"instance_change", fn_instance_change, 2},
    {"instance_destroy", fn_instance_destroy, 0},
    {"instance_sprite", fn_instance_sprite, 1},
    {"position_empty", fn_position_empty, 2},
    {"position_meeting", fn_position_meeting, 3},
    {"position_destroy", fn_position_destroy, 2},
    {"position_change", fn_position_change, 4},
    {"instance_deactivate_all", fn_instance_deactivate_all, 1},
    {"instance_deactivate_object", fn_instance_deactivate_object, 1},
    {"instance_deactivate_region", fn_instance_deactivate_region, 6},
    {"instance_activate_all", fn_instance_activate_all, 0},
    {"instance_activate_object", fn_instance_activate_object, 1},
    {"instance_activate_region", fn_instance_activate_region, 5},
    {"room_goto", fn_room_goto, 1},
    {"room_goto_previous", fn_room_goto_previous, 0},
    {"room_goto_next", fn_room_goto_next, 0},
    {"room_previous", fn_room_previous, 1},
    {"room_next", fn_room_next, 1},
    {"room_restart", fn_room_restart, 0},
    {"game_end", fn_game_end, 0},
    {"game_restart", fn_game_restart, 0},
    {"game_load", fn_game_load, 1},
    {"game_save", fn_game_save, 1},
    {"transition_define", fn_transition_define, 2},
    {"transition_exists", fn_transition_exists, 1},
    {"sleep", fn_sleep, 1},
};

void RegisterGameFunctions(BuiltinRegistry& reg) {
    reg.AddTable<kGameFunctions>();
}

}  // namespace kr
