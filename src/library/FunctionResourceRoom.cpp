// Script functions that add objects and rooms and change them while the game runs. Objects
// change for instances created or examined afterwards; rooms change for the next time they
// start (the room being played is a copy).
//
// An object's event, or the object itself, may be removed while one of its events is being
// walked. What is removed is therefore kept alive until the run ends (GameData's retired
// lists), so the walk finishes over the actions it started with.
#include <string>
#include <utility>

#include "library/FunctionResource.h"
#include "objects/ActionExecution.h"
#include "runner/Runner.h"

namespace kr {

namespace {

using Args = const RValue*;

ResourceTable<CRoom>& Rooms(Runtime& rt) {
    return RunnerOf(rt).Game().rooms;
}
CRoom* RoomArg(Runtime& rt, const RValue& v) {
    return Rooms(rt).Get(ArgInt(v));
}
int AddRoom(Runtime& rt, std::unique_ptr<CRoom> room) {
    ResourceTable<CRoom>& rooms = Rooms(rt);
    const int index = rooms.Count();
    return rooms.Add("__newroom" + std::to_string(index), std::move(room));
}

}  // namespace

// ---- Objects ---------------------------------------------------------------------------------

void fn_object_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args, RValue& result) {
    Runner& runner = RunnerOf(rt);
    ResourceTable<CObject>& objects = runner.Game().objects;
    const int index = objects.Count();
    objects.Add("__newobject" + std::to_string(index), std::make_unique<CObject>());
    runner.Events().EventListsChanged();
    result.SetReal(index);
}

void fn_object_delete(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                      RValue& result) {
    Runner& runner = RunnerOf(rt);
    std::unique_ptr<CObject> gone = runner.Game().objects.Take(ArgInt(args[0]));
    if (!gone) {
        rt.RuntimeError("Trying to delete non-existing object.");
        result.SetReal(0.0);
        return;
    }
    runner.Game().retired_objects.push_back(std::move(gone));
    runner.Events().EventListsChanged();
    result.SetReal(1.0);
}

namespace {
// The object's event map of `type`, or null when the object is missing or the type unknown.
std::map<int32_t, CEvent>* EventsOf(Runtime& rt, const RValue& ind, const RValue& type) {
    CObject* o = RunnerOf(rt).Game().objects.Get(ArgInt(ind));
    const int32_t t = ArgInt(type);
    if (!o || t < 0 || t >= kEventTypeCount) return nullptr;
    return &o->events[size_t(t)];
}
}  // namespace

// object_event_clear(ind, evtype, evnumb): the object no longer has the event.
void fn_object_event_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    std::map<int32_t, CEvent>* events = EventsOf(rt, args[0], args[1]);
    if (!events) return;
    auto node = events->extract(ArgInt(args[2]));
    if (node.empty()) return;
    Runner& runner = RunnerOf(rt);
    runner.Game().retired_events.push_back(std::move(node));
    runner.Events().EventListsChanged();
}

// object_event_add(ind, evtype, evnumb, codestr): appends a code action running codestr to the
// event (made when the object had none). Gives 1, or 0 when nothing was added: a missing
// object, an unknown event type or number, or code that does not compile (whose error is
// shown).
void fn_object_event_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                         RValue& result) {
    result.SetReal(0.0);
    std::map<int32_t, CEvent>* events = EventsOf(rt, args[0], args[1]);
    const int32_t number = ArgInt(args[2]);
    if (!events || number < 0) return;

    CAction action;
    action.kind = CAction::kCode;
    action.exec_type = CAction::kExecCode;
    action.arg_count = 1;
    action.arg_texts[0] = std::string(ArgStr(args[3]));
    EventContext& ctx = rt.Event();
    const EventContext saved = ctx;
    ctx.event_object = ArgInt(args[0]);
    ctx.event_type = ArgInt(args[1]);
    ctx.event_number = number;
    auto found = events->find(number);
    ctx.event_action = found == events->end() ? 0 : int32_t(found->second.actions.size());
    const bool prepared = PrepareAction(rt, action);
    ctx = saved;
    if (!prepared) return;

    // The event gets a new node; the old one may be walked right now and stays as it is.
    CEvent changed;
    if (found != events->end()) {
        changed = found->second;
        Runner& runner = RunnerOf(rt);
        runner.Game().retired_events.push_back(events->extract(found));
    }
    changed.actions.push_back(std::move(action));
    events->emplace(number, std::move(changed));
    RunnerOf(rt).Events().EventListsChanged();
    result.SetReal(1.0);
}

// ---- Rooms -----------------------------------------------------------------------------------

void fn_room_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue& result) {
    result.SetReal(RoomArg(rt, args[0]) ? 1.0 : 0.0);
}

void fn_room_get_name(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                      RValue& result) {
    result = RValue(Rooms(rt).Name(ArgInt(args[0])));
}

// The setters ignore a missing room.
void fn_room_set_width(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    if (CRoom* r = RoomArg(rt, args[0])) r->width = ArgInt(args[1]);
}

void fn_room_set_height(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    if (CRoom* r = RoomArg(rt, args[0])) r->height = ArgInt(args[1]);
}

void fn_room_set_caption(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    if (CRoom* r = RoomArg(rt, args[0])) r->caption = std::string(ArgStr(args[1]));
}

void fn_room_set_persistent(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                            RValue&) {
    if (CRoom* r = RoomArg(rt, args[0])) r->persistent = ArgBool(args[1]);
}

void fn_room_set_code(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    if (CRoom* r = RoomArg(rt, args[0])) r->creation_code = std::string(ArgStr(args[1]));
}

void fn_room_set_background_color(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                                  RValue&) {
    if (CRoom* r = RoomArg(rt, args[0])) {
        r->background_color = ArgInt(args[1]);
        r->show_background_color = ArgBool(args[2]);
    }
}

// room_set_background(ind, bind, vis, fore, back, x, y, htiled, vtiled, hspeed, vspeed, alpha)
void fn_room_set_background(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                            RValue&) {
    CRoom* r = RoomArg(rt, args[0]);
    const int32_t layer = ArgInt(args[1]);
    if (!r || layer < 0 || layer >= kRoomBackgroundCount) return;
    CBack& b = r->backgrounds[size_t(layer)];
    b.visible = ArgBool(args[2]);
    b.foreground = ArgBool(args[3]);
    b.index = ArgInt(args[4]);
    b.x = ArgReal(args[5]);
    b.y = ArgReal(args[6]);
    b.tile_h = ArgBool(args[7]);
    b.tile_v = ArgBool(args[8]);
    b.hspeed = ArgReal(args[9]);
    b.vspeed = ArgReal(args[10]);
    b.alpha = ArgReal(args[11]);
    b.stretch = false;
    b.xscale = b.yscale = 1;
}

// room_set_view(ind, vind, vis, xview, yview, wview, hview, xport, yport, wport, hport,
// hborder, vborder, hspeed, vspeed, obj)
void fn_room_set_view(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    CRoom* r = RoomArg(rt, args[0]);
    const int32_t index = ArgInt(args[1]);
    if (!r || index < 0 || index >= kRoomViewCount) return;
    CView& v = r->views[size_t(index)];
    v.visible = ArgBool(args[2]);
    int32_t* fields[] = {&v.xview, &v.yview,   &v.wview,   &v.hview,  &v.xport,  &v.yport, &v.wport,
                         &v.hport, &v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.object};
    for (size_t i = 0; i < std::size(fields); ++i) *fields[i] = ArgInt(args[3 + i]);
}

void fn_room_set_view_enabled(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                              RValue&) {
    if (CRoom* r = RoomArg(rt, args[0])) r->views_enabled = ArgBool(args[1]);
}

void fn_room_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args, RValue& result) {
    result.SetReal(AddRoom(rt, std::make_unique<CRoom>()));
}

void fn_room_duplicate(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                       RValue& result) {
    const CRoom* r = RoomArg(rt, args[0]);
    if (!r) {
        rt.RuntimeError("Trying to duplicate non-existing room.");
        result.SetReal(-1.0);
        return;
    }
    result.SetReal(AddRoom(rt, std::make_unique<CRoom>(*r)));
}

void fn_room_assign(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    CRoom* target = RoomArg(rt, args[0]);
    const CRoom* source = RoomArg(rt, args[1]);
    if (!target || !source) {
        rt.RuntimeError("Error assigning a room.");
        return;
    }
    if (target != source) *target = *source;
}

// room_instance_add(ind, x, y, obj): the record takes the next instance id of the run.
void fn_room_instance_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                          RValue& result) {
    CRoom* r = RoomArg(rt, args[0]);
    if (!r) {
        result.SetReal(-1.0);
        return;
    }
    RoomInstance inst;
    inst.x = ArgInt(args[1]);
    inst.y = ArgInt(args[2]);
    inst.object = ArgInt(args[3]);
    inst.id = RunnerOf(rt).World().NewInstanceId();
    r->instances.push_back(std::move(inst));
    result.SetReal(r->instances.back().id);
}

void fn_room_instance_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                            RValue&) {
    if (CRoom* r = RoomArg(rt, args[0])) r->instances.clear();
}

namespace {
// room_tile_add(ind, back, left, top, width, height, x, y, depth) and, with scale and alpha
// arguments, room_tile_add_ext. The tile takes the next tile id of the run.
void AddTile(Runtime& rt, Args args, double xscale, double yscale, double alpha, RValue& result) {
    Runner& runner = RunnerOf(rt);
    CRoom* r = RoomArg(rt, args[0]);
    if (!r || !runner.Game().backgrounds.Exists(ArgInt(args[1]))) {
        result.SetReal(-1.0);
        return;
    }
    RoomTile t;
    t.background = ArgInt(args[1]);
    t.left = ArgInt(args[2]);
    t.top = ArgInt(args[3]);
    t.width = ArgInt(args[4]);
    t.height = ArgInt(args[5]);
    t.x = ArgReal(args[6]);
    t.y = ArgReal(args[7]);
    t.depth = ArgReal(args[8]);
    t.xscale = xscale;
    t.yscale = yscale;
    t.alpha = alpha;
    int32_t& last = runner.Game().last_tile_id;
    if (last < INT32_MAX) ++last;
    t.id = last;
    r->tiles.push_back(t);
    result.SetReal(t.id);
}
}  // namespace

void fn_room_tile_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                      RValue& result) {
    AddTile(rt, args, 1, 1, 1, result);
}

void fn_room_tile_add_ext(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                          RValue& result) {
    AddTile(rt, args, ArgReal(args[9]), ArgReal(args[10]), ArgReal(args[11]), result);
}

void fn_room_tile_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    if (CRoom* r = RoomArg(rt, args[0])) r->tiles.clear();
}

}  // namespace kr
