// The grid's entry pool and hash table (linear probing with backward-shift deletion, so there
// are no tombstones to clean up), and the entering and leaving of cells.
#include "objects/InstanceGrid.h"

#include <algorithm>
#include <utility>

namespace kr {

InstanceGrid::Cell* InstanceGrid::Find(uint64_t key) {
    return const_cast<Cell*>(std::as_const(*this).Find(key));
}

InstanceGrid::Cell& InstanceGrid::FindOrAdd(uint64_t key) {
    if ((used_ + 1) * 2 > cells_.size()) Grow();
    const size_t mask = cells_.size() - 1;
    size_t i = Hash(key) & mask;
    for (; cells_[i].used; i = (i + 1) & mask)
        if (cells_[i].key == key) return cells_[i];
    cells_[i].used = true;
    cells_[i].key = key;
    ++used_;
    return cells_[i];
}

void InstanceGrid::Grow() {
    std::vector<Cell> old = std::move(cells_);
    cells_.clear();
    cells_.resize(old.empty() ? 64 : old.size() * 2);
    const size_t mask = cells_.size() - 1;
    for (Cell& c : old) {
        if (!c.used) continue;
        size_t i = Hash(c.key) & mask;
        while (cells_[i].used) i = (i + 1) & mask;
        cells_[i] = std::move(c);
    }
}

void InstanceGrid::Erase(Cell& cell) {
    const size_t mask = cells_.size() - 1;
    size_t hole = size_t(&cell - cells_.data());
    cells_[hole].used = false;
    --used_;
    // Later members of the probe run move back into the hole when their home slot allows.
    for (size_t i = (hole + 1) & mask; cells_[i].used; i = (i + 1) & mask) {
        const size_t home = Hash(cells_[i].key) & mask;
        const bool movable = hole <= i ? (home <= hole || home > i) : (home <= hole && home > i);
        if (movable) {
            std::swap(cells_[hole], cells_[i]);
            hole = i;
        }
    }
}

void InstanceGrid::Enter(Entry& e, int32_t slot) {
    const CellRange c = CellsOf(e.box);
    if (c.Count() > kMaxCells) {
        e.large_pos = int32_t(large_.size());
        large_.push_back(slot);
        return;
    }
    e.large_pos = -1;
    e.cell_left = c.left, e.cell_top = c.top, e.cell_right = c.right, e.cell_bottom = c.bottom;
    for (int32_t cy = c.top; cy <= c.bottom; ++cy)
        for (int32_t cx = c.left; cx <= c.right; ++cx) FindOrAdd(Key(cx, cy)).items.push_back(slot);
}

void InstanceGrid::Leave(Entry& e, int32_t slot) {
    if (e.large_pos >= 0) {
        const int32_t last = large_.back();
        large_[size_t(e.large_pos)] = last;
        entries_[size_t(last)].large_pos = e.large_pos;
        large_.pop_back();
        e.large_pos = -1;
        return;
    }
    for (int32_t cy = e.cell_top; cy <= e.cell_bottom; ++cy) {
        for (int32_t cx = e.cell_left; cx <= e.cell_right; ++cx) {
            Cell* cell = Find(Key(cx, cy));
            if (!cell) continue;
            std::vector<int32_t>& items = cell->items;
            const auto at = std::find(items.begin(), items.end(), slot);
            if (at != items.end()) {
                *at = items.back();
                items.pop_back();
            }
            if (items.empty()) Erase(*cell);
        }
    }
}

void InstanceGrid::Move(Entry& e) {
    const int32_t slot = int32_t(&e - entries_.data());
    Leave(e, slot);
    Enter(e, slot);
}

void InstanceGrid::EndMoves() {
    batching_ = false;
    if (moves_.empty()) return;
    constexpr size_t kAhead = 8;
    // (The table may grow during the moves.)
    auto slot_of = [this](int32_t cx, int32_t cy) {
        return cells_.data() + (Hash(Key(cx, cy)) & (cells_.size() - 1));
    };
    for (size_t k = 0; k < moves_.size(); ++k) {
        if (k + kAhead < moves_.size() && !cells_.empty()) {
            // The table slots of the first cell the entry leaves and of the first it enters.
            const Entry& a = entries_[size_t(moves_[k + kAhead])];
            const CellRange c = CellsOf(a.box);
            __builtin_prefetch(slot_of(a.cell_left, a.cell_top));
            __builtin_prefetch(slot_of(c.left, c.top));
        }
        if (k + kAhead / 2 < moves_.size()) {
            // By now the slot is most likely there: the items of the cell left.
            const Entry& a = entries_[size_t(moves_[k + kAhead / 2])];
            if (a.large_pos < 0)
                if (const Cell* cell = std::as_const(*this).Find(Key(a.cell_left, a.cell_top)))
                    __builtin_prefetch(cell->items.data());
        }
        Move(entries_[size_t(moves_[k])]);
    }
    moves_.clear();
}

void InstanceGrid::Insert(CInstance& inst) {
    int32_t slot;
    if (!free_.empty()) {
        slot = free_.back();
        free_.pop_back();
    } else {
        slot = int32_t(entries_.size());
        entries_.emplace_back();
    }
    Entry& e = entries_[size_t(slot)];
    e = Entry{};
    e.box = inst.box_;
    e.inst = &inst;
    e.list_pos = inst.list_pos_;
    e.direct_object = inst.direct_object_;
    inst.grid_slot_ = slot;
    Enter(e, slot);
}

void InstanceGrid::Remove(CInstance& inst) {
    if (inst.grid_slot_ < 0) return;
    const int32_t slot = inst.grid_slot_;
    Leave(entries_[size_t(slot)], slot);
    entries_[size_t(slot)].inst = nullptr;
    free_.push_back(slot);
    inst.grid_slot_ = -1;
}

void InstanceGrid::Clear() {
    for (Entry& e : entries_)
        if (e.inst) e.inst->grid_slot_ = -1;
    entries_.clear();
    free_.clear();
    cells_.clear();
    used_ = 0;
    large_.clear();
}

}  // namespace kr
