// Finding and performing events, the action walk, the event lists and the collision phase.
#include "objects/EventDispatch.h"

#include <algorithm>

#include "objects/ActionExecution.h"
#include "objects/InstanceCollision.h"

namespace kr {

namespace {

// Action lists nested deeper than this through conditions and blocks (or events through one
// another) stop with an error instead of exhausting the native stack.
constexpr int32_t kMaxWalkDepth = 5000;
constexpr const char* kEventsTooDeep = "Stack overflow: events nested too deeply.";
constexpr const char* kActionsTooDeep = "Stack overflow: actions nested too deeply.";

// The highest event number with an event list, per type (collisions use the pair list).
int32_t MaxNumber(int32_t type, int32_t triggers) {
    switch (type) {
        case kEventAlarm:
            return 12;
        case kEventStep:
            return 16;
        case kEventKeyboard:
        case kEventMouse:
        case kEventOther:
        case kEventKeyPress:
        case kEventKeyRelease:
            return 128;
        case kEventTrigger:
            return triggers - 1;
        case kEventCollision:
            return -1;
        default:
            return 0;  // create, destroy, draw
    }
}

bool Intersect(const std::vector<int32_t>& a, const std::vector<int32_t>& b) {
    auto i = a.begin(), j = b.begin();
    while (i != a.end() && j != b.end()) {
        if (*i == *j) return true;
        if (*i < *j)
            ++i;
        else
            ++j;
    }
    return false;
}

}  // namespace

// ---- Finding events ----

int32_t EventDispatch::ParentOf(int32_t object) const {
    const CObject* o = host_.ObjectAt(object);
    return o ? o->parent : -1;
}

// The chain is cut after as many steps as there are objects: game data can hold a parent
// cycle, which object_set_parent refuses to make.
const CEvent* EventDispatch::OwnEventInChain(int32_t object, int32_t type, int32_t number,
                                             int32_t& owner) const {
    int32_t steps = host_.ObjectCount();
    for (int32_t o = object; steps-- > 0;) {
        const CObject* obj = host_.ObjectAt(o);
        if (!obj) break;
        const CEvent* ev = obj->FindEvent(type, number);
        if (ev && ev->Exists()) {
            owner = o;
            return ev;
        }
        o = obj->parent;
    }
    return nullptr;
}

const CEvent* EventDispatch::FindEventOwner(int32_t object, int32_t type, int32_t number,
                                            int32_t& owner) const {
    owner = -1;
    if (const CEvent* ev = OwnEventInChain(object, type, number, owner)) return ev;
    if (type != kEventCollision || !host_.ObjectAt(number)) return nullptr;
    // A collision event with an ancestor of the other object answers for it, the nearest
    // ancestor first.
    int32_t steps = host_.ObjectCount();
    for (int32_t p = ParentOf(number); p >= 0 && host_.ObjectAt(p) && steps-- > 0;
         p = ParentOf(p)) {
        if (const CEvent* ev = OwnEventInChain(object, type, p, owner)) return ev;
    }
    return nullptr;
}

bool EventDispatch::IsAncestor(int32_t object, int32_t ancestor) const {
    int32_t steps = host_.ObjectCount();
    for (int32_t p = ParentOf(object); p >= 0 && host_.ObjectAt(p) && steps-- > 0;
         p = ParentOf(p)) {
        if (p == ancestor) return true;
    }
    return false;
}

// ---- Performing events ----

void EventDispatch::PerformEvent(ScriptInstance* self, ScriptInstance* other, int32_t object,
                                 int32_t type, int32_t number) {
    if (Pending()) return;
    int32_t owner;
    const CEvent* ev = FindEventOwner(object, type, number, owner);
    if (!ev) return;
    if (depth_ >= Runtime::kMaxNativeDepth) {
        rt_.RuntimeError(kEventsTooDeep);
        return;
    }
    EventContext& ctx = rt_.Event();
    const EventContext saved = ctx;
    ctx.event_object = owner;
    ctx.event_type = type;
    ctx.event_number = number;
    ++depth_;
    for (int32_t i = 0; i < int32_t(ev->actions.size());) i = ExecuteAt(self, other, *ev, i);
    --depth_;
    // event_action is left as the event left it.
    ctx.event_object = saved.event_object;
    ctx.event_type = saved.event_type;
    ctx.event_number = saved.event_number;
}

void EventDispatch::PerformActions(ScriptInstance* self, ScriptInstance* other, const CEvent& ev,
                                   int32_t object, int32_t type, int32_t number) {
    if (Pending()) return;
    if (depth_ >= Runtime::kMaxNativeDepth) {
        rt_.RuntimeError(kEventsTooDeep);
        return;
    }
    EventContext& ctx = rt_.Event();
    const EventContext saved = ctx;
    ctx.event_object = object;
    ctx.event_type = type;
    ctx.event_number = number;
    ++depth_;
    for (int32_t i = 0; i < int32_t(ev.actions.size());) i = ExecuteAt(self, other, ev, i);
    --depth_;
    ctx.event_object = saved.event_object;
    ctx.event_type = saved.event_type;
    ctx.event_number = saved.event_number;
}

void EventDispatch::PerformInstanceEvent(ScriptInstance* self, ScriptInstance* other, int32_t type,
                                         int32_t number) {
    if (self) PerformEvent(self, other, self->object_index, type, number);
}

void EventDispatch::PerformEventForAll(int32_t type, int32_t number) {
    InstanceList& room = host_.Room();
    // Instances created by the events are not visited: the count is taken first.
    const int32_t n = room.Count();
    for (int32_t k = 0; k < n && !Pending(); ++k) {
        CInstance* inst = room.At(k);
        if (inst && !inst->deleted) PerformEvent(inst, inst, inst->object_index, type, number);
    }
}

// ---- The action walk ----
// ExecuteAt runs the unit that starts at action i (an action, a block, a condition with what it
// guards and its else, a repeat with what it repeats) and gives the index after it, or kStop to
// end the whole event. Values at or past the action count also end the event, but only kStop
// ends an enclosing repeat: a block without its end runs to the end of the list each time.

int32_t EventDispatch::ExecuteAt(ScriptInstance* self, ScriptInstance* other, const CEvent& ev,
                                 int32_t i) {
    const int32_t n = int32_t(ev.actions.size());
    if (i >= n || Pending()) return kStop;
    if (walk_depth_ >= kMaxWalkDepth) {
        rt_.RuntimeError(kActionsTooDeep);
        return kStop;
    }
    struct Nest {
        int32_t& d;
        explicit Nest(int32_t& d) : d(d) { ++d; }
        ~Nest() { --d; }
    } nest(walk_depth_);

    const CAction& a = ev.actions[size_t(i)];
    EventContext& ctx = rt_.Event();
    if (a.kind == CAction::kBeginBlock) {
        int32_t j = i + 1;
        while (j < n && ev.actions[size_t(j)].kind != CAction::kEndBlock) {
            j = ExecuteAt(self, other, ev, j);
            if (j >= kStop || Pending()) return kStop;
        }
        return j + 1;
    }
    if (a.kind == CAction::kRepeat) {
        ctx.event_action = i;
        const int64_t count = RoundToInt64(ArgReal(ActionArgument(rt_, self, other, a, 0)));
        if (Pending()) return kStop;
        for (int64_t k = 0; k < count; ++k) {
            const int32_t r = ExecuteAt(self, other, ev, i + 1);
            if (r >= kStop || Pending()) return kStop;
        }
        return SkipNext(ev, i + 1);
    }
    if (a.is_question) {
        ctx.event_action = i;
        bool stop = false;
        const bool result = Question(self, other, a, stop);
        if (stop) return kStop;
        int32_t j = result ? ExecuteAt(self, other, ev, i + 1) : SkipNext(ev, i + 1);
        if (j < n && ev.actions[size_t(j)].kind == CAction::kElse)
            j = result ? SkipNext(ev, j + 1) : ExecuteAt(self, other, ev, j + 1);
        return Pending() ? kStop : j;
    }
    ctx.event_action = i;
    if (a.kind == CAction::kExit) return kStop;
    bool stop = false;
    Action(self, other, a, stop);
    return stop || Pending() ? kStop : i + 1;
}

// The unit that starts at i is skipped. Conditions and repeats take the unit after them along;
// nested blocks are followed with a count instead of recursion, so that no list, however
// deeply nested, runs out of stack.
int32_t EventDispatch::SkipNext(const CEvent& ev, int32_t i) const {
    const int32_t n = int32_t(ev.actions.size());
    while (i < n) {
        const CAction& a = ev.actions[size_t(i)];
        if (a.kind == CAction::kBeginBlock) return SkipBlock(ev, i);
        if (!a.is_question && a.kind != CAction::kRepeat) return i + 1;
        ++i;
    }
    return kStop;
}

// The index after the end block that matches the begin block at i. As in SkipNext, a condition
// or repeat inside takes the unit after it along, even when that unit is an end block.
int32_t EventDispatch::SkipBlock(const CEvent& ev, int32_t i) const {
    const int32_t n = int32_t(ev.actions.size());
    int32_t open = 1;  // blocks being skipped, the innermost at j
    int32_t j = i + 1;
    for (;;) {
        if (j < n && ev.actions[size_t(j)].kind != CAction::kEndBlock) {
            // j = SkipNext(j), entering a nested block instead of calling SkipBlock.
            while (j < n && ev.actions[size_t(j)].kind != CAction::kBeginBlock &&
                   (ev.actions[size_t(j)].is_question ||
                    ev.actions[size_t(j)].kind == CAction::kRepeat))
                ++j;
            if (j >= n) {
                j = kStop;
            } else {
                if (ev.actions[size_t(j)].kind == CAction::kBeginBlock) ++open;
                ++j;
                continue;
            }
        }
        // The innermost block ends at j: its end block, the end of the list, or kStop.
        j = j >= kStop ? kStop : j + 1;
        if (--open == 0) return j;
    }
}

bool EventDispatch::Question(ScriptInstance* self, ScriptInstance* other, const CAction& a,
                             bool& stop) {
    const ActionContext actx{rt_, host_.ArgumentRelative()};
    const int32_t target = a.has_applies_to ? a.applies_to : kOwnerSelf;
    if (target == kOwnerSelf) return ExecuteQuestion(actx, self, other, a);
    if (target == kOwnerOther) return ExecuteQuestion(actx, other, self, a);
    // An object: true when it holds for every one of its instances, so also when there are
    // none.
    InstanceList& room = host_.Room();
    const int32_t n = target >= 0 ? room.FamilyCount(target) : 0;
    for (int32_t k = 0; k < n; ++k) {
        CInstance* inst = room.FamilyAt(target, k);
        if (!inst || inst->deleted) continue;
        const bool holds = ExecuteQuestion(actx, inst, other, a);
        if (Pending()) {
            stop = true;
            return false;
        }
        if (!holds) return false;
    }
    return true;
}

void EventDispatch::Action(ScriptInstance* self, ScriptInstance* other, const CAction& a,
                           bool& stop) {
    const ActionContext actx{rt_, host_.ArgumentRelative()};
    const int32_t target = a.has_applies_to ? a.applies_to : kOwnerSelf;
    if (target == kOwnerSelf) return ExecuteAction(actx, self, other, a);
    if (target == kOwnerOther) return ExecuteAction(actx, other, self, a);
    if (target < 0 || target >= host_.ObjectCount()) return;
    InstanceList& room = host_.Room();
    const int32_t n = room.FamilyCount(target);
    for (int32_t k = 0; k < n; ++k) {
        CInstance* inst = room.FamilyAt(target, k);
        if (!inst || inst->deleted) continue;
        ExecuteAction(actx, inst, other, a);
        if (Pending()) {
            stop = true;
            return;
        }
    }
}

// ---- Event lists ----

int32_t EventDispatch::MaxEventNumber(int32_t type) {
    CurrentLists();
    return type >= 0 && type < kEventTypeCount ? int32_t(lists_[size_t(type)].size()) - 1 : -1;
}

std::span<const int32_t> EventDispatch::EventList(int32_t type, int32_t number) {
    if (type < 0 || type >= kEventTypeCount) return {};
    CurrentLists();
    const auto& lists = lists_[size_t(type)];
    if (number < 0 || size_t(number) >= lists.size()) return {};
    return lists[size_t(number)];
}

void EventDispatch::BuildEventLists() {
    lists_current_ = true;
    const int32_t count = host_.ObjectCount();
    const int32_t triggers = host_.TriggerCount();
    for (int32_t t = 0; t < kEventTypeCount; ++t) {
        const int32_t max = MaxNumber(t, triggers);
        lists_[size_t(t)].assign(size_t(max + 1), {});
    }
    pairs_.clear();

    // Per object: its chain (itself and its ancestors, sorted) and the collision events the
    // chain defines (sorted). An object responds to an event when any object of its chain
    // has it with actions: what FindEvent would find.
    std::vector<std::vector<int32_t>> chains(size_t(std::max(count, 0)));
    std::vector<std::vector<int32_t>> collides(chains.size());
    std::vector<std::pair<int32_t, int32_t>> keys;
    for (int32_t o = 0; o < count; ++o) {
        if (!host_.ObjectAt(o)) continue;
        keys.clear();
        std::vector<int32_t>& chain = chains[size_t(o)];
        int32_t steps = count;
        for (int32_t p = o; steps-- > 0;) {
            const CObject* obj = host_.ObjectAt(p);
            if (!obj) break;
            chain.push_back(p);
            for (int32_t t = 0; t < kEventTypeCount; ++t) {
                const int32_t max = t == kEventCollision ? INT32_MAX : MaxNumber(t, triggers);
                for (const auto& [number, ev] : obj->events[size_t(t)]) {
                    if (number > max) break;
                    if (number >= 0 && ev.Exists()) keys.emplace_back(t, number);
                }
            }
            p = obj->parent;
        }
        std::sort(chain.begin(), chain.end());
        chain.erase(std::unique(chain.begin(), chain.end()), chain.end());
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        for (const auto& [t, number] : keys) {
            if (t == kEventCollision)
                collides[size_t(o)].push_back(number);
            else
                lists_[size_t(t)][size_t(number)].push_back(o);
        }
    }
    // a has a collision event with b when a's chain defines one with b or an ancestor of b.
    for (int32_t a = 0; a < count; ++a) {
        if (chains[size_t(a)].empty()) continue;
        for (int32_t b = a; b < count; ++b) {
            if (chains[size_t(b)].empty()) continue;
            if (collides[size_t(a)].empty() && collides[size_t(b)].empty()) continue;
            if (Intersect(collides[size_t(a)], chains[size_t(b)]) ||
                Intersect(collides[size_t(b)], chains[size_t(a)]))
                pairs_.push_back({a, b});
        }
    }
}

// ---- Objects ----

bool EventDispatch::CompileObject(CObject& object) {
    EventContext& ctx = rt_.Event();
    for (int32_t t = 0; t < kEventTypeCount; ++t) {
        for (auto& [number, ev] : object.events[size_t(t)]) {
            ctx.event_type = t;
            ctx.event_number = number;
            for (size_t i = 0; i < ev.actions.size(); ++i) {
                ctx.event_action = int32_t(i);
                if (!PrepareAction(rt_, ev.actions[i])) return false;
            }
        }
    }
    return true;
}

void EventDispatch::SetParent(int32_t object, int32_t parent) {
    CObject* obj = host_.ObjectAt(object);
    if (!obj) return;
    if (parent < 0) {
        parent = -1;
    } else if (!host_.ObjectAt(parent)) {
        rt_.RuntimeError("Setting a non-existing parent.");
        return;
    } else if (parent == object || IsAncestor(parent, object)) {
        rt_.RuntimeError("Creating a cycle in the parent relation.");
        return;
    }
    obj->parent = parent;
    EventListsChanged();
}

// ---- The collision phase ----

void EventDispatch::PutBack(CInstance& inst) {
    inst.SetPosition(inst.xprevious, inst.yprevious);
    inst.SetPathPosition(inst.PathPositionPrevious());
}

void EventDispatch::MoveOn(CInstance& inst) {
    if (advance_path) advance_path(inst);
    inst.SetPosition(inst.X() + inst.HSpeed(), inst.Y() + inst.VSpeed());
}

void EventDispatch::HandleCollisions() {
    InstanceList& room = host_.Room();
    // By index, and brought up to date at each pair: an event may change the objects.
    for (size_t p = 0; CurrentLists(), p < pairs_.size(); ++p) {
        const CollisionPair pair = pairs_[p];
        const int32_t n = room.DirectCount(pair.a);
        room.PrepareOverlaps(pair.a, pair.b);
        for (int32_t k = 0; k < n; ++k) {
            // The probes further on, and the candidates of those nearer, whose records are
            // all over memory (the probe's own record has arrived by then).
            if (CInstance* ahead = room.DirectAt(pair.a, k + 2 * kPrefetchAhead)) ahead->Prefetch();
            if (CInstance* near = room.DirectAt(pair.a, k + kPrefetchAhead))
                room.PrefetchPrepared(*near);
            CInstance* i = room.DirectAt(pair.a, k);
            if (!i || i->deleted) continue;
            // The candidates are the instances of b whose boxes overlap i's, in list order;
            // the walk looks again whenever an event has moved, made or removed instances.
            OverlapWalk walk(room, Selection::Direct(pair.b), *i,
                             pair.a == pair.b ? InstanceList::DirectPosition(*i) : 0);
            while (CInstance* j = walk.Next()) {
                if (!InstanceMeets(*i, *j, true)) continue;
                if (i->solid || j->solid) {
                    PutBack(*i);
                    PutBack(*j);
                }
                PerformEvent(i, j, i->object_index, kEventCollision, j->object_index);
                PerformEvent(j, i, j->object_index, kEventCollision, i->object_index);
                // Tested again: the events may have changed it.
                if (i->solid || j->solid) {
                    MoveOn(*i);
                    MoveOn(*j);
                    if (InstanceMeets(*i, *j, true)) {
                        PutBack(*i);
                        PutBack(*j);
                    }
                }
            }
        }
    }
}

}  // namespace kr
