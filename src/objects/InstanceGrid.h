// InstanceGrid: a uniform grid over the bounding boxes of a room's active instances, through
// which collision searches find the instances near an area without looking at every one.
//
// Cells are 64 x 64 pixels, kept in an open-addressing hash table by their coordinates, so
// boxes anywhere (also far outside the room) cost nothing for the empty space between them.
// Each instance has an entry in a compact pool with what a search filters on (its box, its
// room position and its object); cells hold entry numbers. A search therefore reads instances
// only for the entries it keeps, which matters once a room's instances no longer fit in the
// processor's caches. An instance whose box touches more than kMaxCells cells is kept in a
// separate short list that every search looks at. A box change costs a comparison of cell
// ranges unless the box enters other cells.
#pragma once

#include <cstdint>
#include <vector>

#include "motion/Collision.h"
#include "objects/Instance.h"

namespace kr {

class InstanceGrid {
public:
    static constexpr int kCellShift = 6;
    static constexpr int64_t kMaxCells = 64;

    // What a search knows of an instance without reading it.
    struct Entry {
        CollisionBox box;
        int32_t list_pos = -1;       // room position
        int32_t direct_object = -1;  // the object whose direct list holds it, -1 none
        CInstance* inst = nullptr;
        int32_t cell_left = 0, cell_top = 0, cell_right = 0, cell_bottom = 0;
        int32_t large_pos = -1;  // position in the large list, -1 when in cells
    };

    InstanceGrid() = default;
    InstanceGrid(const InstanceGrid&) = delete;
    InstanceGrid& operator=(const InstanceGrid&) = delete;

    void Insert(CInstance& inst);
    void Remove(CInstance& inst);
    // After a change of inst's box.
    void Update(CInstance& inst) {
        if (inst.grid_slot_ < 0) return;
        Entry& e = entries_[size_t(inst.grid_slot_)];
        e.box = inst.box_;
        if (e.large_pos < 0) {
            const CellRange c = CellsOf(e.box);
            if (c.left == e.cell_left && c.top == e.cell_top && c.right == e.cell_right &&
                c.bottom == e.cell_bottom)
                return;  // most moves stay within the same cells
        }
        if (batching_)
            moves_.push_back(inst.grid_slot_);
        else
            Move(e);
    }
    // Between these two, Update only notes the entries whose boxes enter other cells, and
    // EndMoves moves them all, fetching the cells of those a few places ahead from memory: the
    // cells of a large room are in no order that the instances follow. No search may run in
    // between.
    void BeginMoves() { batching_ = true; }
    void EndMoves();
    // After a change of inst's room position or direct list.
    void UpdateList(const CInstance& inst) {
        if (inst.grid_slot_ < 0) return;
        Entry& e = entries_[size_t(inst.grid_slot_)];
        e.list_pos = inst.list_pos_;
        e.direct_object = inst.direct_object_;
    }
    void Clear();

    // Every entry by number; those with a null instance are free.
    const std::vector<Entry>& Entries() const { return entries_; }

    // The number of cells a search of `area` would visit.
    static int64_t CellCount(const CollisionBox& area) { return CellsOf(area).Count(); }

    // Calls visit(entry) exactly once for every instance in the grid whose box touches `area`
    // (inclusive), in no particular order.
    template <class Visit>
    void ForEachTouching(const CollisionBox& area, Visit&& visit) const {
        const CellRange range = CellsOf(area);
        for (int32_t cy = range.top; cy <= range.bottom; ++cy) {
            for (int32_t cx = range.left; cx <= range.right; ++cx) {
                const Cell* cell = Find(Key(cx, cy));
                if (!cell) continue;
                for (int32_t slot : cell->items) {
                    const Entry& e = entries_[size_t(slot)];
                    // An instance in several cells is taken in the first cell of the search
                    // that it covers.
                    if ((e.cell_left > range.left ? e.cell_left : range.left) != cx ||
                        (e.cell_top > range.top ? e.cell_top : range.top) != cy)
                        continue;
                    if (Touches(e.box, area)) visit(e);
                }
            }
        }
        for (int32_t slot : large_) {
            const Entry& e = entries_[size_t(slot)];
            if (Touches(e.box, area)) visit(e);
        }
    }

private:
    struct CellRange {
        int32_t left, top, right, bottom;
        int64_t Count() const { return (int64_t(right) - left + 1) * (int64_t(bottom) - top + 1); }
    };
    struct Cell {
        uint64_t key = 0;
        bool used = false;
        std::vector<int32_t> items;  // entry numbers
    };

    static CellRange CellsOf(const CollisionBox& b) {
        // Arithmetic shift: floor division, also for negative coordinates.
        return {b.left >> kCellShift, b.top >> kCellShift, b.right >> kCellShift,
                b.bottom >> kCellShift};
    }
    static uint64_t Key(int32_t cx, int32_t cy) {
        return uint64_t(uint32_t(cx)) << 32 | uint32_t(cy);
    }
    static size_t Hash(uint64_t key) {
        key ^= key >> 29;
        key *= 0xbf58476d1ce4e5b9ull;
        return size_t(key ^ (key >> 32));
    }
    static bool Touches(const CollisionBox& a, const CollisionBox& b) {
        return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
    }

    const Cell* Find(uint64_t key) const {
        if (cells_.empty()) return nullptr;
        const size_t mask = cells_.size() - 1;
        for (size_t i = Hash(key) & mask;; i = (i + 1) & mask) {
            const Cell& c = cells_[i];
            if (!c.used) return nullptr;
            if (c.key == key) return &c;
        }
    }
    Cell* Find(uint64_t key);
    Cell& FindOrAdd(uint64_t key);
    void Erase(Cell& cell);
    void Grow();
    void Enter(Entry& e, int32_t slot);
    void Leave(Entry& e, int32_t slot);
    void Move(Entry& e);

    std::vector<Entry> entries_;
    std::vector<int32_t> free_;  // entry numbers to use again
    std::vector<Cell> cells_;    // a power of two in size, at most half used
    size_t used_ = 0;
    std::vector<int32_t> large_;
    bool batching_ = false;
    std::vector<int32_t> moves_;  // entry numbers noted by Update while batching_
};

}  // namespace kr
