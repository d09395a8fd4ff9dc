// Creating, copying, changing and destroying instances of the room.
#include "objects/InstanceOps.h"

#include <cmath>
#include <string>

#include "objects/InstanceCollision.h"

namespace kr {

namespace {

constexpr int32_t kCreateEvent = 0;   // (type 0, number 0)
constexpr int32_t kDestroyEvent = 1;  // (type 1, number 0)

void Perform(const InstanceContext& ctx, CInstance& inst, int32_t type) {
    if (ctx.events) ctx.events->PerformInstanceEvent(inst, inst, type, 0);
}

bool ObjectExists(const InstanceContext& ctx, int32_t object) {
    ObjectDefaults unused;
    return ctx.room.World().FindObject(object, unused);
}

// Calls `change` for every instance whose mask covers the point. The walk looks again after
// every event, since an event may move other instances onto or off the point; instances
// added by the events are past the count taken at the start.
template <class Change>
void AtPosition(const InstanceContext& ctx, double x, double y, Change change) {
    if (std::isnan(x) || std::isnan(y)) return;
    const CollisionBox point{FloorCoord(x), FloorCoord(y), FloorCoord(x), FloorCoord(y)};
    OverlapWalk walk(ctx.room, Selection::All(), point);
    while (CInstance* inst = walk.Next())
        if (InstanceAtPoint(*inst, x, y, true)) change(*inst);
}

}  // namespace

CInstance* InstanceCreate(const InstanceContext& ctx, int32_t object, double x, double y) {
    if (!ObjectExists(ctx, object)) {
        ctx.rt.RuntimeError("Creating instance for non-existing object: " + std::to_string(object));
        return nullptr;
    }
    CInstance& inst = ctx.room.AddInstance(object, x, y);
    Perform(ctx, inst, kCreateEvent);
    return &inst;
}

CInstance& InstanceCopy(const InstanceContext& ctx, CInstance& self, bool perform_event) {
    CInstance& copy = ctx.room.AddInstance(self.object_index, self.X(), self.Y());
    const int32_t id = copy.id;
    copy.Assign(self);
    copy.ChangeId(id);
    if (perform_event) Perform(ctx, copy, kCreateEvent);
    return copy;
}

void InstanceDestroy(const InstanceContext& ctx, CInstance& inst) {
    Perform(ctx, inst, kDestroyEvent);
    inst.deleted = true;
}

CInstance* InstanceChange(const InstanceContext& ctx, CInstance& inst, int32_t object,
                          bool perform_events) {
    if (!ObjectExists(ctx, object)) {
        ctx.rt.RuntimeError("Asking to change into non-existing object: " + std::to_string(object));
        return nullptr;
    }
    if (perform_events) Perform(ctx, inst, kDestroyEvent);
    CInstance& changed = ctx.room.AddInstance(object, inst.X(), inst.Y());
    changed.Assign(inst);  // takes inst's id as well
    changed.SetObject(object);
    inst.deleted = true;
    if (perform_events) Perform(ctx, changed, kCreateEvent);
    return &changed;
}

void PositionDestroy(const InstanceContext& ctx, double x, double y) {
    AtPosition(ctx, x, y, [&](CInstance& inst) { InstanceDestroy(ctx, inst); });
}

void PositionChange(const InstanceContext& ctx, double x, double y, int32_t object,
                    bool perform_events) {
    if (!ObjectExists(ctx, object)) {
        ctx.rt.RuntimeError("Asking to change into non-existing object: " + std::to_string(object));
        return;
    }
    AtPosition(ctx, x, y,
               [&](CInstance& inst) { InstanceChange(ctx, inst, object, perform_events); });
}

bool SetInstanceSprite(const InstanceContext& ctx, CInstance& inst, int32_t sprite) {
    if (sprite < 0 || !ctx.room.World().FindSprite(sprite)) {
        ctx.rt.RuntimeError("Setting instance to non-existing sprite: " + std::to_string(sprite));
        return false;
    }
    inst.SetSprite(sprite);
    return true;
}

}  // namespace kr
