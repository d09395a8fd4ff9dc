// InstanceList: the instances of one room at run time. It owns them and keeps
//  - the active instances in room order and the inactive (deactivated) ones;
//  - per object the direct list (instances of that object) and the family list (instances of
//    that object or of a descendant), both in room order;
//  - a lookup by id;
//  - a uniform grid over the bounding boxes, kept in step by every box change, through which
//    collision searches find their candidates without testing every instance.
//
// Every per-object list is a subsequence of the room order, so candidates found through the
// grid are put back in list order by their room position, and searches visit hits in exactly
// the order a walk over the list would.
//
// Lists change only through AddInstance (appends), RemoveDeleted and UpdateActivation (which
// rebuild them). Walks over a list take its count first and read positions with the At
// functions, which give null past the current end: an event in the middle of a walk may
// shorten the list.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "motion/Collision.h"
#include "objects/Instance.h"
#include "objects/InstanceGrid.h"

namespace kr {

// Which instances a search looks at, from the obj argument of the collision functions.
struct Selection {
    enum class Kind : uint8_t { kNone, kAll, kObject, kDirect, kId };
    Kind kind = Kind::kNone;
    int32_t value = 0;

    // all (-3): every instance; 0..99999: the object's family list; 100000 and above: the
    // instance with that id; any other value: nothing.
    static Selection FromObj(int32_t obj);
    static Selection All() { return {Kind::kAll, 0}; }
    // The direct list of an object (the collision events walk these).
    static Selection Direct(int32_t object) { return {Kind::kDirect, object}; }
};

class InstanceList {
public:
    explicit InstanceList(InstanceWorld& world);
    ~InstanceList();
    InstanceList(const InstanceList&) = delete;
    InstanceList& operator=(const InstanceList&) = delete;

    InstanceWorld& World() const { return *world_; }

    // ---- The lists ----
    int32_t Count() const { return int32_t(active_.size()); }
    CInstance* At(int32_t i) const { return Get(active_, i); }
    int32_t InactiveCount() const { return int32_t(inactive_.size()); }
    CInstance* InactiveAt(int32_t i) const { return Get(inactive_, i); }
    int32_t DirectCount(int32_t object) const { return int32_t(ListOf(direct_, object).size()); }
    CInstance* DirectAt(int32_t object, int32_t i) const { return Get(ListOf(direct_, object), i); }
    int32_t FamilyCount(int32_t object) const { return int32_t(ListOf(family_, object).size()); }
    CInstance* FamilyAt(int32_t object, int32_t i) const { return Get(ListOf(family_, object), i); }
    // The position of an active instance in its object's direct list, -1 when in none.
    static int32_t DirectPosition(const CInstance& inst) { return inst.direct_pos_; }

    // The first active instance in room order with this id that is not deleted, or null.
    CInstance* Find(int32_t id) const;
    // The same, deleted instances included.
    CInstance* FindAny(int32_t id) const;
    // The first inactive instance with this id, or null.
    CInstance* FindInactive(int32_t id) const;

    // ---- Changes ----
    // Appends a new instance of `object` at (x, y) with the next run-time id (the world's
    // counter) to the room and its lists. The caller performs the create event if it wants
    // one. The reference stays valid until RemoveDeleted or Clear frees the instance.
    CInstance& AddInstance(int32_t object, double x, double y);
    // The same with a given id (instances placed in the room keep their stored ids).
    CInstance& AddInstanceWithId(int32_t object, double x, double y, int32_t id);
    // Frees the active instances marked deleted, keeping the order of the others, and rebuilds
    // the per-object lists when any was removed.
    void RemoveDeleted();
    // Moves instances no longer marked deactivated to the end of the active list (in inactive
    // order), then those marked from the active list to the end of the inactive list (in room
    // order), and rebuilds the per-object lists; nothing when no mark changed.
    void UpdateActivation();
    // Frees every instance.
    void Clear();

    // ---- Candidate search ----
    // A number that changes whenever a bounding box in the room or the lists change.
    uint64_t Epoch() const {
        if (!dirty_boxes_.empty()) UpdateBoxes();
        return epoch_;
    }
    // The selected instances, not deleted, whose boxes overlap `area` (inclusive), in list
    // order. `out` is replaced.
    void Candidates(const CollisionBox& area, Selection sel, std::vector<CInstance*>& out) const;
    // Finds the candidates of every instance in the direct list of `a` among the direct list of
    // `b` at once, in one pass over the boxes in space order, for the walks of the collision
    // phase (an OverlapWalk over Selection::Direct(b) with a probe of `a`) to take instead of
    // searching the grid each. They take them only while the epoch stays as it is now, so a walk
    // visits the same instances either way. Nothing is prepared for short lists or for boxes
    // spread over far more space than the lists fill.
    void PrepareOverlaps(int32_t a, int32_t b);
    // A hint, changing nothing, that a walk with this probe comes soon: the records of the
    // candidates PrepareOverlaps found for it, which are anywhere in memory.
    void PrefetchPrepared(const CInstance& probe) const;
    // A buffer for searches that do not run events (and so cannot nest).
    std::vector<CInstance*>& SearchBuffer() const { return search_buffer_; }

private:
    friend class CInstance;
    friend class OverlapWalk;

    using List = std::vector<CInstance*>;

    static CInstance* Get(const List& list, int32_t i) {
        return i >= 0 && size_t(i) < list.size() ? list[size_t(i)] : nullptr;
    }
    static CInstance* Get(const std::vector<std::unique_ptr<CInstance>>& list, int32_t i) {
        return i >= 0 && size_t(i) < list.size() ? list[size_t(i)].get() : nullptr;
    }
    const List& ListOf(const std::vector<List>& lists, int32_t object) const {
        return object >= 0 && size_t(object) < lists.size() ? lists[size_t(object)] : empty_;
    }

    CInstance& Append(std::unique_ptr<CInstance> inst);
    // The object and its ancestors (stopping at -1, a missing object or a cycle).
    void FamilyChain(int32_t object, std::vector<int32_t>& out) const;
    void EnterLists(CInstance& inst, const std::vector<int32_t>& chain);
    void RebuildLists();

    void LinkId(CInstance& inst);
    void UnlinkId(CInstance& inst, int32_t id);
    void IdChanged(CInstance& inst, int32_t old_id);

    void BoxMoved(CInstance& inst) {
        ++epoch_;
        grid_.Update(inst);
    }
    // A moved instance's box waits in dirty_boxes_ until something looks at boxes: searches,
    // the epoch, and every change of the lists bring them all up to date first.
    void BoxDirty(CInstance& inst) { dirty_boxes_.push_back(&inst); }
    void UpdateBoxes() const;
    bool Selected(const CInstance& inst, Selection sel) const;
    // The candidates PrepareOverlaps found for `probe`, when they are still those Candidates
    // would give for its box and `sel`; false otherwise.
    bool TakePrepared(const CInstance& probe, Selection sel, std::vector<CInstance*>& out) const;

    InstanceWorld* world_;
    std::vector<std::unique_ptr<CInstance>> active_;
    std::vector<std::unique_ptr<CInstance>> inactive_;
    std::vector<List> direct_;  // by object index
    std::vector<List> family_;  // by object index
    List empty_;
    std::unordered_map<int32_t, CInstance*> ids_;  // the first of each id chain
    mutable uint64_t epoch_ = 0;
    mutable std::vector<CInstance*> dirty_boxes_;

    InstanceGrid grid_;

    // What PrepareOverlaps found, and its working space (kept for the next phase).
    struct Prepared {
        struct Item {  // an instance of b in one cell
            CollisionBox box;
            int32_t list_pos, cell_left, cell_top, slot;
        };
        struct Slice {
            int32_t begin = 0, count = -1;  // in found; count -1: nothing prepared
        };
        bool valid = false;
        uint64_t epoch = 0;
        int32_t a = -1, b = -1;
        std::vector<Slice> slices;      // by grid entry number
        std::vector<CInstance*> found;  // each probe's candidates in list order
        std::vector<int32_t> cell_start;
        std::vector<Item> items;  // by cell, row by row
        struct Probe {            // an instance of a, with its box
            CollisionBox box;
            int32_t slot;
        };
        std::vector<Probe> sorted;  // by cell
        std::vector<int32_t> probes, probe_order, large, b_slots;
        std::vector<std::pair<int32_t, int32_t>> hits;  // (list position, entry number)
    };
    Prepared prepared_;

    mutable std::vector<CInstance*> search_buffer_;
    mutable std::vector<const InstanceGrid::Entry*> grid_hits_;
    // Buffers of finished walks, for the next ones (walks nest when events run in between).
    mutable std::vector<std::vector<CInstance*>> spare_buffers_;
};

// Walks the instances of one list (all active instances, or one object's direct list) whose
// boxes may overlap an area, in list order, from a start position on, and only positions
// below the list's count when the walk started. The area is fixed or is the current box of a
// probe instance in the room. Whenever a box or the lists changed since it last looked (events
// run between two visits may move, create or deactivate instances), it looks again from its
// position, so it visits the instances that an ordered walk over the whole list would find
// overlapping at the time of each visit. Deleted instances are skipped.
//
// The collision phase, for a pair of objects (a, b):
//     for (int32_t k = 0, n = room.DirectCount(a); k < n; ++k) {
//         CInstance* i = room.DirectAt(a, k);
//         if (!i || i->deleted) continue;
//         OverlapWalk walk(room, Selection::Direct(b), *i,
//                          a == b ? InstanceList::DirectPosition(*i) : 0);
//         while (CInstance* j = walk.Next())
//             if (InstanceMeets(*i, *j, true)) { /* put back, events, move on */ }
//     }
class OverlapWalk {
public:
    OverlapWalk(const InstanceList& room, Selection list, const CollisionBox& area,
                int32_t first = 0);
    OverlapWalk(const InstanceList& room, Selection list, const CInstance& probe,
                int32_t first = 0);
    ~OverlapWalk();
    OverlapWalk(const OverlapWalk&) = delete;
    OverlapWalk& operator=(const OverlapWalk&) = delete;
    // The next instance, or null at the end.
    CInstance* Next();

private:
    int32_t PositionOf(const CInstance& inst) const;
    void Look();

    const InstanceList& room_;
    Selection list_;
    CollisionBox area_;
    const CInstance* probe_;
    int32_t next_;  // the first list position not yet passed
    int32_t end_;   // the list's count at the start
    mutable uint64_t epoch_ = 0;
    mutable std::vector<CInstance*> dirty_boxes_;
    bool looked_ = false;
    std::vector<CInstance*> found_;
    size_t index_ = 0;
};

}  // namespace kr
