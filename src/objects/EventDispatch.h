// Event dispatch: finding an object's event with inheritance from its parents, performing it
// for an instance (the event context, the walk over its actions with blocks, conditions, else,
// repeat, exit and applies-to), the event lists that tell the dispatchers which objects respond
// to which event, the collision pair list, and the collision phase of a step.
//
// Once a room change is pending nothing is performed: the rest of the running event and every
// later event of the step are skipped.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "code/Runtime.h"
#include "objects/InstanceList.h"
#include "objects/InstanceOps.h"
#include "objects/Object.h"

namespace kr {

// What the dispatch needs from the game: the object table, the number of triggers, the room,
// the pending room change and the argument_relative flag.
class EventHost {
public:
    // Slots 0..ObjectCount()-1; ObjectAt gives null for an empty slot or an index outside.
    virtual int32_t ObjectCount() const = 0;
    virtual CObject* ObjectAt(int32_t index) const = 0;
    virtual int32_t TriggerCount() const = 0;
    virtual InstanceList& Room() = 0;
    virtual bool RoomChangePending() const = 0;
    virtual bool& ArgumentRelative() = 0;

protected:
    ~EventHost() = default;
};

// A pair of objects (a <= b) of which one has a collision event with the other.
struct CollisionPair {
    int32_t a;
    int32_t b;
    bool operator==(const CollisionPair&) const = default;
};

class EventDispatch final : public InstanceEventHook {
public:
    // The index the action walk returns to end the whole event.
    static constexpr int32_t kStop = 10000000;

    EventDispatch(Runtime& rt, EventHost& host) : rt_(rt), host_(host) {}
    EventDispatch(const EventDispatch&) = delete;
    EventDispatch& operator=(const EventDispatch&) = delete;

    // ---- Finding events ----
    // The event (type, number) with at least one action of the object or, failing that, of its
    // nearest ancestor that has one; for collisions (type 4) then the same for each ancestor of
    // the other object (number), nearest first. Null when none. `owner` receives the object
    // that defines it.
    const CEvent* FindEventOwner(int32_t object, int32_t type, int32_t number,
                                 int32_t& owner) const;
    const CEvent* FindEvent(int32_t object, int32_t type, int32_t number) const {
        int32_t owner;
        return FindEventOwner(object, type, number, owner);
    }
    // Whether `ancestor` is in the object's parent chain (the object itself does not count).
    bool IsAncestor(int32_t object, int32_t ancestor) const;

    // ---- Performing events ----
    // Runs the event (type, number) of `object` (or the ancestor it inherits it from) for self
    // and other, with the event context set to it and restored afterwards.
    void PerformEvent(ScriptInstance* self, ScriptInstance* other, int32_t object, int32_t type,
                      int32_t number);
    // Runs the actions of `ev` as PerformEvent runs an event's, with the event context set to
    // (object, type, number) and restored afterwards. Time-line moments run this way.
    void PerformActions(ScriptInstance* self, ScriptInstance* other, const CEvent& ev,
                        int32_t object, int32_t type, int32_t number);
    // PerformEvent with self's own object; nothing without a self.
    void PerformInstanceEvent(ScriptInstance* self, ScriptInstance* other, int32_t type,
                              int32_t number);
    // For every instance of the room in list order (the count taken first) that is not
    // deleted: its event, with the instance as self and other.
    void PerformEventForAll(int32_t type, int32_t number);
    // The walk of the dispatchers: for each object of the event list of (type, number), in
    // order, for each instance of its direct list (the count taken when that object's walk
    // starts) that is not deleted: fn(instance). Instances created meanwhile are not visited.
    template <class Fn>
    void ForEachResponder(int32_t type, int32_t number, Fn fn);
    // Raises (type, number) for each responding instance, with the instance as self and other.
    void PerformForResponders(int32_t type, int32_t number) {
        ForEachResponder(type, number, [&](CInstance& inst) {
            PerformEvent(&inst, &inst, inst.object_index, type, number);
        });
    }
    // InstanceEventHook: the create and destroy events of the instance operations.
    void PerformInstanceEvent(CInstance& self, CInstance& other, int32_t type,
                              int32_t number) override {
        PerformInstanceEvent(static_cast<ScriptInstance*>(&self), &other, type, number);
    }

    // ---- Event lists ----
    // Rebuilds, for every event type but collisions and every number up to the type's maximum,
    // the objects (ascending) that respond to it, inherited events included; and the pairs of
    // objects of which one has a collision event with the other. Run at game start.
    void BuildEventLists();
    // After a change of the objects' parents or events: the lists are rebuilt when next read,
    // so that a game changing many objects in a row pays for one rebuild.
    void EventListsChanged() { lists_current_ = false; }
    // The objects that respond to (type, number); empty above the type's maximum. Events never
    // read the lists, so a span taken by a dispatcher stays valid through the events it runs.
    std::span<const int32_t> EventList(int32_t type, int32_t number);
    // The highest number of a type that has an event list (-1: none).
    int32_t MaxEventNumber(int32_t type);
    std::span<const CollisionPair> CollisionPairs() {
        CurrentLists();
        return pairs_;
    }

    // ---- Objects ----
    // Prepares every action of every event of the object, setting event_type, event_number and
    // event_action to what is compiled (the caller sets event_object). False at the first
    // compilation failure, which has been shown.
    bool CompileObject(CObject& object);
    // object_set_parent: a missing object is ignored, a negative parent means none; a missing
    // parent ("Setting a non-existing parent.") and a parent that would make the object its own
    // ancestor ("Creating a cycle in the parent relation.") are refused with a run-time error.
    // The event lists follow.
    void SetParent(int32_t object, int32_t parent);

    // ---- The collision phase of a step ----
    // For each pair (a, b) of the collision pair list, each instance i of a's direct list and
    // each instance j of b's direct list that it meets (when a = b only j at or after i's own
    // position): solid instances are put back to their previous positions, i's collision event
    // with j's object and j's with i's object run, and when either is solid both move on
    // again (path, then speed) and are put back if they still meet.
    void HandleCollisions();
    // Advances an instance along its path during the collision phase (no end-of-path event).
    // Set by the motion step; without it paths do not move here.
    std::function<void(CInstance&)> advance_path;

    // The context for the instance operations, whose create and destroy events run here.
    InstanceContext Instancing() { return InstanceContext{host_.Room(), rt_, this}; }

private:
    void CurrentLists() {
        if (!lists_current_) BuildEventLists();
    }
    // The object's parent, or -1 when it has none or it is missing.
    int32_t ParentOf(int32_t object) const;
    const CEvent* OwnEventInChain(int32_t object, int32_t type, int32_t number,
                                  int32_t& owner) const;
    int32_t ExecuteAt(ScriptInstance* self, ScriptInstance* other, const CEvent& ev, int32_t i);
    int32_t SkipNext(const CEvent& ev, int32_t i) const;
    int32_t SkipBlock(const CEvent& ev, int32_t i) const;
    bool Question(ScriptInstance* self, ScriptInstance* other, const CAction& a, bool& stop);
    void Action(ScriptInstance* self, ScriptInstance* other, const CAction& a, bool& stop);
    bool Pending() const { return host_.RoomChangePending(); }
    void PutBack(CInstance& inst);
    void MoveOn(CInstance& inst);

    Runtime& rt_;
    EventHost& host_;
    int32_t depth_ = 0;       // events running inside one another
    int32_t walk_depth_ = 0;  // action units running inside one another, over all events
    std::array<std::vector<std::vector<int32_t>>, kEventTypeCount> lists_;
    std::vector<CollisionPair> pairs_;
    bool lists_current_ = false;
};

template <class Fn>
void EventDispatch::ForEachResponder(int32_t type, int32_t number, Fn fn) {
    InstanceList& room = host_.Room();
    for (int32_t object : EventList(type, number)) {
        for (int32_t k = 0, n = room.DirectCount(object); k < n; ++k) {
            if (CInstance* ahead = room.DirectAt(object, k + kPrefetchAhead)) ahead->Prefetch();
            CInstance* inst = room.DirectAt(object, k);
            if (inst && !inst->deleted) fn(*inst);
        }
    }
}

}  // namespace kr
