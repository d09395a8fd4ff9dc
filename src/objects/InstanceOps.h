// The run-time operations that create, copy, change and destroy instances of the current
// room. They change the room and perform the create and destroy events through a hook, which
// the event dispatch implements; without a hook no events run.
//
// Destruction is deferred: a destroyed instance is only marked deleted and stays readable
// until the room's next RemoveDeleted.
#pragma once

#include <cstdint>

#include "code/Runtime.h"
#include "objects/Instance.h"
#include "objects/InstanceList.h"

namespace kr {

// Performs event (type, number) of self's object with self and other (PerformInstanceEvent).
class InstanceEventHook {
public:
    virtual void PerformInstanceEvent(CInstance& self, CInstance& other, int32_t type,
                                      int32_t number) = 0;

protected:
    ~InstanceEventHook() = default;
};

struct InstanceContext {
    InstanceList& room;
    Runtime& rt;                          // reports the errors
    InstanceEventHook* events = nullptr;  // null: no events are performed
};

// A new instance of `object` at (x, y) with a new id, after which its create event runs.
// Null, with the error "Creating instance for non-existing object: N", when the object does
// not exist.
CInstance* InstanceCreate(const InstanceContext& ctx, int32_t object, double x, double y);
// A new instance of self's object with all of self's fields but its own new id; with
// `perform_event`, its create event runs.
CInstance& InstanceCopy(const InstanceContext& ctx, CInstance& self, bool perform_event);
// The destroy event of inst, then inst is marked deleted.
void InstanceDestroy(const InstanceContext& ctx, CInstance& inst);
// Replaces inst by an instance of `object` that keeps inst's id, variables, alarms, motion
// and everything else except what comes from the object (sprite, mask, depth, solid, visible,
// persistent); inst is marked deleted. With `perform_events` inst's destroy event runs first
// and the new instance's create event last. Null, with the error "Asking to change into
// non-existing object: N", when the object does not exist.
CInstance* InstanceChange(const InstanceContext& ctx, CInstance& inst, int32_t object,
                          bool perform_events);
// Destroys (changes) every instance whose mask covers the point, in room order.
void PositionDestroy(const InstanceContext& ctx, double x, double y);
void PositionChange(const InstanceContext& ctx, double x, double y, int32_t object,
                    bool perform_events);
// SetSprite, or the error "Setting instance to non-existing sprite: N". False on the error.
bool SetInstanceSprite(const InstanceContext& ctx, CInstance& inst, int32_t sprite);

}  // namespace kr
