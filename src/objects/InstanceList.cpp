// The room's instance collection: ownership, per-object lists, the id lookup and the grid.
#include "objects/InstanceList.h"

#include <algorithm>
#include <climits>

namespace kr {

namespace {

// A search over a list this short, or over more cells than a few times its length, walks the
// list instead of the grid.
constexpr size_t kLinearBelow = 16;
constexpr int64_t kCellCostInEntries = 8;

// PrepareOverlaps works for lists at least this long, over at most this many cells per box
// of the two lists (plus a margin), and with few boxes too large for the grid's cells.
constexpr size_t kPrepareFrom = 64;
constexpr int64_t kPreparedCellsPerBox = 4;
constexpr size_t kPreparedLargeAtMost = 8;

constexpr int32_t kObjAll = -3;
constexpr int32_t kFirstInstanceId = 100000;

inline bool Touches(const CollisionBox& a, const CollisionBox& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

}  // namespace

Selection Selection::FromObj(int32_t obj) {
    if (obj == kObjAll) return {Kind::kAll, 0};
    if (obj >= kFirstInstanceId) return {Kind::kId, obj};
    if (obj >= 0) return {Kind::kObject, obj};
    return {Kind::kNone, 0};
}

InstanceList::InstanceList(InstanceWorld& world) : world_(&world) {}

InstanceList::~InstanceList() {
    Clear();
}

// ---- Lookup by id ----
// Each id maps to a chain of the active instances with that id in room order (almost always
// one). Instances share an id only briefly: a changed instance and its replacement, or a
// persistent instance carried into a room that placed one with the same id.

CInstance* InstanceList::Find(int32_t id) const {
    for (CInstance* p = FindAny(id); p; p = p->next_same_id_)
        if (!p->deleted) return p;
    return nullptr;
}

CInstance* InstanceList::FindAny(int32_t id) const {
    const auto it = ids_.find(id);
    return it == ids_.end() ? nullptr : it->second;
}

CInstance* InstanceList::FindInactive(int32_t id) const {
    for (const auto& p : inactive_)
        if (p->id == id) return p.get();
    return nullptr;
}

void InstanceList::LinkId(CInstance& inst) {
    auto [it, fresh] = ids_.try_emplace(inst.id, &inst);
    inst.id_linked_ = true;
    inst.next_same_id_ = nullptr;
    if (fresh) return;
    CInstance* p = it->second;
    if (p->list_pos_ > inst.list_pos_) {
        inst.next_same_id_ = p;
        it->second = &inst;
        return;
    }
    while (p->next_same_id_ && p->next_same_id_->list_pos_ < inst.list_pos_) p = p->next_same_id_;
    inst.next_same_id_ = p->next_same_id_;
    p->next_same_id_ = &inst;
}

void InstanceList::UnlinkId(CInstance& inst, int32_t id) {
    if (!inst.id_linked_) return;
    inst.id_linked_ = false;
    const auto it = ids_.find(id);
    if (it == ids_.end()) return;
    if (it->second == &inst) {
        if (inst.next_same_id_)
            it->second = inst.next_same_id_;
        else
            ids_.erase(it);
    } else {
        CInstance* p = it->second;
        while (p->next_same_id_ && p->next_same_id_ != &inst) p = p->next_same_id_;
        if (p->next_same_id_ == &inst) p->next_same_id_ = inst.next_same_id_;
    }
    inst.next_same_id_ = nullptr;
}

void InstanceList::IdChanged(CInstance& inst, int32_t old_id) {
    if (!inst.id_linked_) return;  // inactive instances are not in the lookup
    UnlinkId(inst, old_id);
    LinkId(inst);
}

// ---- Lists ----

void InstanceList::FamilyChain(int32_t object, std::vector<int32_t>& out) const {
    out.clear();
    ObjectDefaults obj;
    // Game data can hold a parent cycle; the chain stops where it would repeat.
    while (object >= 0 && world_->FindObject(object, obj) &&
           std::find(out.begin(), out.end(), object) == out.end()) {
        out.push_back(object);
        object = obj.parent;
    }
}

void InstanceList::EnterLists(CInstance& inst, const std::vector<int32_t>& chain) {
    inst.family_ = chain;
    inst.direct_pos_ = -1;
    inst.direct_object_ = -1;
    if (chain.empty()) return;  // the object does not exist: in no list
    const size_t need = size_t(*std::max_element(chain.begin(), chain.end())) + 1;
    if (direct_.size() < need) {
        direct_.resize(need);
        family_.resize(need);
    }
    List& direct = direct_[size_t(chain[0])];
    inst.direct_pos_ = int32_t(direct.size());
    inst.direct_object_ = chain[0];
    direct.push_back(&inst);
    for (int32_t o : chain) family_[size_t(o)].push_back(&inst);
}

void InstanceList::RebuildLists() {
    for (List& l : direct_) l.clear();
    for (List& l : family_) l.clear();
    // Chains by object, computed once per rebuild: parents may have changed since the
    // instances were added.
    std::unordered_map<int32_t, std::vector<int32_t>> chains;
    for (size_t i = 0; i < active_.size(); ++i) {
        CInstance& inst = *active_[i];
        inst.list_pos_ = int32_t(i);
        auto [it, fresh] = chains.try_emplace(inst.object_index);
        if (fresh) FamilyChain(inst.object_index, it->second);
        EnterLists(inst, it->second);
        grid_.UpdateList(inst);
    }
    for (size_t i = 0; i < inactive_.size(); ++i) {
        inactive_[i]->list_pos_ = int32_t(i);
        inactive_[i]->direct_pos_ = -1;
        inactive_[i]->direct_object_ = -1;
    }
    ++epoch_;
}

CInstance& InstanceList::Append(std::unique_ptr<CInstance> owned) {
    CInstance& inst = *owned;
    inst.room_ = this;
    inst.list_pos_ = int32_t(active_.size());
    active_.push_back(std::move(owned));
    std::vector<int32_t> chain;
    FamilyChain(inst.object_index, chain);
    EnterLists(inst, chain);
    LinkId(inst);
    grid_.Insert(inst);
    ++epoch_;
    return inst;
}

CInstance& InstanceList::AddInstance(int32_t object, double x, double y) {
    return AddInstanceWithId(object, x, y, world_->NewInstanceId());
}

CInstance& InstanceList::AddInstanceWithId(int32_t object, double x, double y, int32_t id) {
    return Append(std::make_unique<CInstance>(*world_, x, y, id, object));
}

void InstanceList::UpdateBoxes() const {
    // Box() recomputes a box that is still marked (and through BoxMoved moves it in the grid
    // and advances the epoch when it changed); one already read since is skipped.
    std::vector<CInstance*> pending;
    pending.swap(dirty_boxes_);
    // Nothing searches the grid in here, so the moves between its cells can wait to the end.
    InstanceGrid& grid = const_cast<InstanceGrid&>(grid_);
    grid.BeginMoves();
    for (size_t k = 0; k < pending.size(); ++k) {
        if (k + kPrefetchAhead < pending.size()) pending[k + kPrefetchAhead]->Prefetch();
        pending[k]->Box();
    }
    grid.EndMoves();
    pending.clear();
    if (dirty_boxes_.empty()) dirty_boxes_.swap(pending);  // keep the capacity
}

void InstanceList::RemoveDeleted() {
    UpdateBoxes();
    size_t kept = 0;
    for (size_t i = 0; i < active_.size(); ++i) {
        CInstance& inst = *active_[i];
        if (inst.deleted) {
            UnlinkId(inst, inst.id);
            grid_.Remove(inst);
            active_[i].reset();
        } else {
            if (kept != i) active_[kept] = std::move(active_[i]);
            ++kept;
        }
    }
    if (kept == active_.size()) return;
    active_.resize(kept);
    RebuildLists();
}

void InstanceList::UpdateActivation() {
    UpdateBoxes();
    bool change = false;
    for (const auto& p : active_) change |= p->deactivated;
    for (const auto& p : inactive_) change |= !p->deactivated;
    if (!change) return;
    // Reactivated instances join the end of the room order.
    size_t kept = 0;
    for (size_t i = 0; i < inactive_.size(); ++i) {
        if (!inactive_[i]->deactivated) {
            CInstance& inst = *inactive_[i];
            inst.list_pos_ = int32_t(active_.size());
            active_.push_back(std::move(inactive_[i]));
            LinkId(inst);
            grid_.Insert(inst);
        } else {
            if (kept != i) inactive_[kept] = std::move(inactive_[i]);
            ++kept;
        }
    }
    inactive_.resize(kept);
    kept = 0;
    for (size_t i = 0; i < active_.size(); ++i) {
        if (active_[i]->deactivated) {
            CInstance& inst = *active_[i];
            UnlinkId(inst, inst.id);
            grid_.Remove(inst);
            inactive_.push_back(std::move(active_[i]));
        } else {
            if (kept != i) active_[kept] = std::move(active_[i]);
            ++kept;
        }
    }
    active_.resize(kept);
    RebuildLists();
}

void InstanceList::Clear() {
    dirty_boxes_.clear();
    grid_.Clear();
    active_.clear();
    inactive_.clear();
    direct_.clear();
    family_.clear();
    ids_.clear();
    ++epoch_;
}

// ---- Candidate search ----

bool InstanceList::Selected(const CInstance& inst, Selection sel) const {
    switch (sel.kind) {
        case Selection::Kind::kAll:
            return true;
        case Selection::Kind::kObject:
            return std::find(inst.family_.begin(), inst.family_.end(), sel.value) !=
                   inst.family_.end();
        case Selection::Kind::kDirect:
            return inst.direct_object_ == sel.value;
        case Selection::Kind::kId:
            return inst.id == sel.value;
        case Selection::Kind::kNone:
            break;
    }
    return false;
}

void InstanceList::Candidates(const CollisionBox& area, Selection sel,
                              std::vector<CInstance*>& out) const {
    if (!dirty_boxes_.empty()) UpdateBoxes();
    out.clear();
    const List* list = nullptr;
    switch (sel.kind) {
        case Selection::Kind::kNone:
            return;
        case Selection::Kind::kId: {
            CInstance* inst = Find(sel.value);
            if (inst && Touches(inst->box_, area)) out.push_back(inst);
            return;
        }
        case Selection::Kind::kAll:
            break;
        case Selection::Kind::kObject:
            list = &ListOf(family_, sel.value);
            break;
        case Selection::Kind::kDirect:
            list = &ListOf(direct_, sel.value);
            break;
    }
    const size_t length = list ? list->size() : active_.size();
    if (length < kLinearBelow ||
        int64_t(length) <= InstanceGrid::CellCount(area) * kCellCostInEntries) {
        // Walking the list is cheaper than visiting the cells, and already in order.
        for (size_t i = 0; i < length; ++i) {
            CInstance* inst = list ? (*list)[i] : active_[i].get();
            if (!inst->deleted && Touches(inst->box_, area)) out.push_back(inst);
        }
        return;
    }
    // Entries are filtered without reading the instances; only those kept are read.
    std::vector<const InstanceGrid::Entry*>& hits = grid_hits_;
    hits.clear();
    grid_.ForEachTouching(area, [&](const InstanceGrid::Entry& e) {
        if (sel.kind == Selection::Kind::kDirect && e.direct_object != sel.value) return;
        hits.push_back(&e);
    });
    // Room order is the order of every list (each is a subsequence of it).
    std::sort(hits.begin(), hits.end(),
              [](const InstanceGrid::Entry* a, const InstanceGrid::Entry* b) {
                  return a->list_pos < b->list_pos;
              });
    for (const InstanceGrid::Entry* e : hits)
        if (!e->inst->deleted && Selected(*e->inst, sel)) out.push_back(e->inst);
}

// ---- Prepared candidates for the collision phase ----
// The walks of the collision phase take their probes in list order, which is unrelated to where
// the instances are. Searching the grid for each then reads cells, entries and instances all
// over memory, and that, not the number of tests, is what grows faster than the room. Here the
// boxes of b are copied cell by cell into one array (a counting sort by cell), and the probes
// of a are visited cell by cell as well, so that every read is close to the one before.

void InstanceList::PrepareOverlaps(int32_t a, int32_t b) {
    Prepared& p = prepared_;
    p.valid = false;
    if (size_t(DirectCount(a)) < kPrepareFrom || size_t(DirectCount(b)) < kPrepareFrom) return;
    if (!dirty_boxes_.empty()) UpdateBoxes();
    const std::vector<InstanceGrid::Entry>& entries = grid_.Entries();
    constexpr int32_t kShift = InstanceGrid::kCellShift;

    // The entries of both lists, and the cells that the boxes of b cover.
    p.probes.clear();
    p.large.clear();
    p.b_slots.clear();
    int32_t cx0 = INT32_MAX, cy0 = INT32_MAX, cx1 = INT32_MIN, cy1 = INT32_MIN;
    for (size_t slot = 0; slot < entries.size(); ++slot) {
        const InstanceGrid::Entry& e = entries[slot];
        if (!e.inst) continue;
        if (e.direct_object == a) p.probes.push_back(int32_t(slot));
        if (e.direct_object != b) continue;
        if (e.large_pos >= 0) {
            if (p.large.size() == kPreparedLargeAtMost) return;
            p.large.push_back(int32_t(slot));
            continue;
        }
        p.b_slots.push_back(int32_t(slot));
        cx0 = std::min(cx0, e.cell_left);
        cy0 = std::min(cy0, e.cell_top);
        cx1 = std::max(cx1, e.cell_right);
        cy1 = std::max(cy1, e.cell_bottom);
    }
    if (p.b_slots.empty()) cx0 = cy0 = cx1 = cy1 = 0;
    const int64_t width = int64_t(cx1) - cx0 + 1, height = int64_t(cy1) - cy0 + 1;
    if (width * height > int64_t(p.probes.size() + p.b_slots.size()) * kPreparedCellsPerBox + 4096)
        return;
    auto cell_of = [&](int32_t cx, int32_t cy) {
        return size_t((int64_t(cy) - cy0) * width + (int64_t(cx) - cx0));
    };

    // The boxes of b by cell: counted, then placed.
    const size_t cells = size_t(width * height);
    p.cell_start.assign(cells + 1, 0);
    for (int32_t slot : p.b_slots) {
        const InstanceGrid::Entry& e = entries[size_t(slot)];
        for (int32_t cy = e.cell_top; cy <= e.cell_bottom; ++cy)
            for (int32_t cx = e.cell_left; cx <= e.cell_right; ++cx)
                ++p.cell_start[cell_of(cx, cy) + 1];
    }
    for (size_t c = 0; c < cells; ++c) p.cell_start[c + 1] += p.cell_start[c];
    p.items.resize(size_t(p.cell_start[cells]));
    {
        std::vector<int32_t>& fill = p.probe_order;  // as a cursor per cell for now
        fill.assign(p.cell_start.begin(), p.cell_start.end() - 1);
        for (int32_t slot : p.b_slots) {
            const InstanceGrid::Entry& e = entries[size_t(slot)];
            const Prepared::Item item{e.box, e.list_pos, e.cell_left, e.cell_top, slot};
            for (int32_t cy = e.cell_top; cy <= e.cell_bottom; ++cy)
                for (int32_t cx = e.cell_left; cx <= e.cell_right; ++cx)
                    p.items[size_t(fill[cell_of(cx, cy)]++)] = item;
        }
    }

    // The probes by the cell of their top left corner (clamped to the cells of b).
    auto clamp_x = [&](int32_t cx) { return std::clamp(cx, cx0, cx1); };
    auto clamp_y = [&](int32_t cy) { return std::clamp(cy, cy0, cy1); };
    std::vector<int32_t>& order = p.probe_order;
    order.assign(cells + 1, 0);
    auto probe_cell = [&](int32_t slot) {
        const CollisionBox& box = entries[size_t(slot)].box;
        return cell_of(clamp_x(box.left >> kShift), clamp_y(box.top >> kShift));
    };
    for (int32_t slot : p.probes) ++order[probe_cell(slot) + 1];
    for (size_t c = 0; c < cells; ++c) order[c + 1] += order[c];
    p.sorted.resize(p.probes.size());
    for (int32_t slot : p.probes) {
        // Probes too large for the grid's cells are left out: their walks search as before.
        const InstanceGrid::Entry& e = entries[size_t(slot)];
        p.sorted[size_t(order[probe_cell(slot)]++)] = {e.box, e.large_pos >= 0 ? -1 : slot};
    }

    p.slices.assign(entries.size(), Prepared::Slice{});
    p.found.clear();
    std::vector<std::pair<int32_t, int32_t>>& hits = p.hits;
    for (const Prepared::Probe& probe : p.sorted) {
        const int32_t slot = probe.slot;
        if (slot < 0) continue;
        const CollisionBox& area = probe.box;
        const int32_t left = area.left >> kShift, top = area.top >> kShift;
        const int32_t right = area.right >> kShift, bottom = area.bottom >> kShift;
        hits.clear();
        for (int32_t cy = std::max(top, cy0); cy <= std::min(bottom, cy1); ++cy) {
            for (int32_t cx = std::max(left, cx0); cx <= std::min(right, cx1); ++cx) {
                const size_t c = cell_of(cx, cy);
                for (int32_t k = p.cell_start[c]; k < p.cell_start[c + 1]; ++k) {
                    const Prepared::Item& item = p.items[size_t(k)];
                    // A box in several cells is taken in the first cell of the search it
                    // covers.
                    if (std::max(item.cell_left, left) != cx || std::max(item.cell_top, top) != cy)
                        continue;
                    if (Touches(item.box, area)) hits.emplace_back(item.list_pos, item.slot);
                }
            }
        }
        for (int32_t large : p.large) {
            const InstanceGrid::Entry& l = entries[size_t(large)];
            if (Touches(l.box, area)) hits.emplace_back(l.list_pos, large);
        }
        std::sort(hits.begin(), hits.end());
        p.slices[size_t(slot)] = {int32_t(p.found.size()), int32_t(hits.size())};
        for (const auto& h : hits) p.found.push_back(entries[size_t(h.second)].inst);
    }
    p.valid = true;
    p.epoch = epoch_;
    p.a = a;
    p.b = b;
}

void InstanceList::PrefetchPrepared(const CInstance& probe) const {
    const Prepared& p = prepared_;
    if (!p.valid || probe.grid_slot_ < 0 || size_t(probe.grid_slot_) >= p.slices.size()) return;
    const Prepared::Slice s = p.slices[size_t(probe.grid_slot_)];
    for (int32_t k = s.begin; k < s.begin + s.count; ++k) p.found[size_t(k)]->Prefetch();
}

bool InstanceList::TakePrepared(const CInstance& probe, Selection sel,
                                std::vector<CInstance*>& out) const {
    const Prepared& p = prepared_;
    if (!p.valid || sel.kind != Selection::Kind::kDirect || sel.value != p.b ||
        probe.direct_object_ != p.a || probe.grid_slot_ < 0 ||
        size_t(probe.grid_slot_) >= p.slices.size() || Epoch() != p.epoch)
        return false;
    const Prepared::Slice s = p.slices[size_t(probe.grid_slot_)];
    if (s.count < 0) return false;
    out.clear();
    for (int32_t k = s.begin; k < s.begin + s.count; ++k)
        if (!p.found[size_t(k)]->deleted) out.push_back(p.found[size_t(k)]);
    return true;
}

// ---- OverlapWalk ----

OverlapWalk::OverlapWalk(const InstanceList& room, Selection list, const CollisionBox& area,
                         int32_t first)
    : room_(room), list_(list), area_(area), probe_(nullptr), next_(std::max(first, 0)) {
    end_ = list.kind == Selection::Kind::kDirect ? room.DirectCount(list.value) : room.Count();
    if (!room.spare_buffers_.empty()) {
        found_ = std::move(room.spare_buffers_.back());
        room.spare_buffers_.pop_back();
    }
}

OverlapWalk::~OverlapWalk() {
    found_.clear();
    room_.spare_buffers_.push_back(std::move(found_));
}

OverlapWalk::OverlapWalk(const InstanceList& room, Selection list, const CInstance& probe,
                         int32_t first)
    : OverlapWalk(room, list, probe.Box(), first) {
    probe_ = &probe;
}

int32_t OverlapWalk::PositionOf(const CInstance& inst) const {
    return list_.kind == Selection::Kind::kDirect ? inst.direct_pos_ : inst.list_pos_;
}

void OverlapWalk::Look() {
    if (probe_) area_ = probe_->Box();
    if (!probe_ || !room_.TakePrepared(*probe_, list_, found_))
        room_.Candidates(area_, list_, found_);
    index_ = 0;
    epoch_ = room_.Epoch();
    looked_ = true;
}

CInstance* OverlapWalk::Next() {
    if (!looked_ || epoch_ != room_.Epoch()) Look();
    while (index_ < found_.size()) {
        CInstance* inst = found_[index_++];
        const int32_t pos = PositionOf(*inst);
        if (pos < next_) continue;
        if (pos >= end_) {
            index_ = found_.size();
            return nullptr;
        }
        next_ = pos + 1;
        if (!inst->deleted) return inst;
    }
    return nullptr;
}

}  // namespace kr
