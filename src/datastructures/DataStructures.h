// The data structures that scripts keep outside their instances: stacks, queues, lists, maps,
// priority queues and grids of values, the handle tables through which scripts reach them, the
// element comparison with its adjustable precision, and their hexadecimal text form.
//
// Nothing here knows the runner: one DataStructures object belongs to one runner, and the
// shuffles draw from the random generator they are handed.
#pragma once

#include <csignal>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "code/Random.h"
#include "code/Value.h"

namespace kr {

class CStream;

// The element comparison of every search, sort, minimum and maximum of the data structures.
// Reals within the precision of each other are equal (with precision 0 a relative tolerance of
// 1e-12, at least 1e-12, applies); strings compare by their bytes; a real is below a string.
class DsComparison {
public:
    double Precision() const { return precision_; }
    void SetPrecision(double p) { precision_ = p < 0 ? -p : p; }
    // Negative, zero or positive.
    int Compare(const RValue& a, const RValue& b) const {
        if (a.IsReal()) {
            if (!b.IsReal()) return -1;
            double d = a.real - b.real;
            double tol = precision_ != 0 ? precision_ : RelativeTolerance(a.real, b.real);
            if (d <= tol && d >= -tol) return 0;
            return a.real < b.real ? -1 : 1;
        }
        if (b.IsReal()) return 1;
        return CompareStrings(a.Str(), b.Str());
    }
    bool Equal(const RValue& a, const RValue& b) const { return Compare(a, b) == 0; }
    // The largest difference at which a real can still equal `v` (an upper bound of the
    // tolerance for every partner).
    double ToleranceBound(double v) const;

private:
    static double RelativeTolerance(double a, double b);
    static int CompareStrings(std::string_view a, std::string_view b) {
        int c = a.compare(b);  // bytes as unsigned characters
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }

    double precision_ = 1e-8;
};

// An exact total order of values (reals by value with NaN last, then strings by bytes), used
// by the indexes of the priority queue, which then look for equal elements nearby.
bool ValueTotalLess(const RValue& a, const RValue& b);

// The outcome of reading a text form.
enum class DsReadResult {
    kRead,       // the content was replaced
    kOtherKind,  // the text is of another kind of structure: nothing changed
    kDamaged,    // not hexadecimal, too short or inconsistent: nothing changed
    kStopped,    // the stop flag was raised while reading: nothing changed
};

class DsStack {
public:
    int32_t Size() const { return int32_t(items_.size()); }
    void Clear() { std::vector<RValue>().swap(items_); }
    void Push(const RValue& v) { items_.push_back(v); }
    RValue Pop();
    RValue Top() const { return items_.empty() ? RValue() : items_.back(); }

    void Write(CStream& s) const;
    DsReadResult Read(CStream& s, const volatile std::sig_atomic_t* stop = nullptr);

private:
    std::vector<RValue> items_;  // the top is the last
};

// A queue keeps its whole item array: head and tail index into it, the dequeued slots before
// head keep their old values until compaction moves the elements to the front, and the array
// grows by 16 slots when full. The text form stores all of it.
class DsQueue {
public:
    int32_t Size() const { return tail_ - head_; }
    void Clear();
    void Enqueue(const RValue& v);
    RValue Dequeue();
    RValue Head() const { return Size() > 0 ? items_[size_t(head_)] : RValue(); }
    RValue Tail() const { return Size() > 0 ? items_[size_t(tail_ - 1)] : RValue(); }
    int32_t HeadIndex() const { return head_; }
    int32_t TailIndex() const { return tail_; }

    void Write(CStream& s) const;
    DsReadResult Read(CStream& s, const volatile std::sig_atomic_t* stop = nullptr);

private:
    std::vector<RValue> items_;  // size() is the allocated length
    int32_t head_ = 0, tail_ = 0;
};

class DsList {
public:
    int32_t Size() const { return int32_t(items_.size()); }
    void Clear() { std::vector<RValue>().swap(items_); }
    void Add(const RValue& v) { items_.push_back(v); }
    // Positions outside the valid range do nothing.
    void Insert(int64_t pos, const RValue& v);
    void Replace(int64_t pos, const RValue& v);
    void Delete(int64_t pos);
    int32_t FindIndex(const RValue& v, const DsComparison& cmp) const;
    RValue At(int64_t pos) const {
        return pos >= 0 && pos < Size() ? items_[size_t(pos)] : RValue();
    }
    // The order of an insertion sort: ascending is stable, descending puts equal elements in
    // reverse order.
    void Sort(bool ascending, const DsComparison& cmp);
    // 8 x size swaps of two drawn positions.
    void Shuffle(Random& rng);

    void Write(CStream& s) const;
    DsReadResult Read(CStream& s, const volatile std::sig_atomic_t* stop = nullptr);

private:
    std::vector<RValue> items_;
};

// A map is a sequence of pairs kept in key order, equal keys in the order they were added. A
// search descends the ordered tree as a binary search over that sequence; string keys also
// have a hash index to their first pair, so that looking them up costs constant time.
class DsMap {
public:
    explicit DsMap(const DsComparison& cmp);
    DsMap(const DsMap& o);
    DsMap& operator=(const DsMap& o);

    int32_t Size() const { return int32_t(entries_.size()); }
    void Clear();
    // Inserts after every key that compares less than or equal to `key`.
    void Add(const RValue& key, const RValue& value);
    // The first pair whose key equals `key`: replace its value, delete it, read it.
    bool Replace(const RValue& key, const RValue& value);
    bool Delete(const RValue& key);
    bool Exists(const RValue& key) const;
    // Real 0 when absent.
    RValue FindValue(const RValue& key) const;
    // The largest key below / smallest key above `key`; real 0 when none.
    RValue FindPrevious(const RValue& key) const;
    RValue FindNext(const RValue& key) const;
    RValue First() const;
    RValue Last() const;

    void Write(CStream& s) const;
    DsReadResult Read(CStream& s, const volatile std::sig_atomic_t* stop = nullptr);

private:
    struct Entry {
        RValue key;
        mutable RValue value;
    };
    // Orders by the element comparison. With tolerances this is not a strict weak order, so
    // the tree is only ever searched by descent: lower_bound is the first key not less than the
    // sought one, insertion goes after every key not greater.
    struct Less {
        const DsComparison* cmp;
        using is_transparent = void;
        bool operator()(const Entry& a, const Entry& b) const {
            return cmp->Compare(a.key, b.key) < 0;
        }
        bool operator()(const Entry& a, const RValue& b) const {
            return cmp->Compare(a.key, b) < 0;
        }
        bool operator()(const RValue& a, const Entry& b) const {
            return cmp->Compare(a, b.key) < 0;
        }
    };
    using Tree = std::multiset<Entry, Less>;
    using Iter = Tree::const_iterator;

    Iter FindFirst(const RValue& key) const;
    void Erase(Iter it);
    void RebuildIndex();

    const DsComparison* cmp_;
    Tree entries_;
    // The first pair of every string key; the view points into that pair's key.
    std::unordered_map<std::string_view, Iter> first_string_;
};

// A priority queue keeps its pairs in an array in the order the operations leave them (a
// deleted pair is replaced by the last one), which the text form stores and which breaks ties.
// Two ordered indexes, by priority and by value, answer minimum, maximum and value lookups in
// logarithmic time.
class DsPriority {
public:
    explicit DsPriority(const DsComparison& cmp) : cmp_(&cmp) {}

    int32_t Size() const { return int32_t(values_.size()); }
    void Clear();
    void Add(const RValue& value, const RValue& priority);
    // The first pair in array order whose value equals `value`; -1 when none.
    int32_t FindValue(const RValue& value) const;
    void ChangePriority(int32_t index, const RValue& priority);
    const RValue& ValueAt(int32_t index) const { return values_[size_t(index)]; }
    const RValue& PriorityAt(int32_t index) const { return priorities_[size_t(index)]; }
    // The first pair in array order with the smallest (largest) priority; -1 when empty.
    int32_t MinIndex() const;
    int32_t MaxIndex() const;
    // Removes the pair, moving the last pair into its place.
    void DeleteAt(int32_t index);

    void Write(CStream& s) const;
    DsReadResult Read(CStream& s, const volatile std::sig_atomic_t* stop = nullptr);

private:
    struct Key {
        RValue v;
        uint32_t index;
    };
    struct KeyLess {
        bool operator()(const Key& a, const Key& b) const {
            if (ValueTotalLess(a.v, b.v)) return true;
            if (ValueTotalLess(b.v, a.v)) return false;
            return a.index < b.index;
        }
    };
    using Index = std::set<Key, KeyLess>;

    // The lowest array index among the elements of `idx` that equal `v`.
    int32_t FirstEqual(const Index& idx, const RValue& v) const;
    void Append(const RValue& value, const RValue& priority);

    const DsComparison* cmp_;
    std::vector<RValue> values_, priorities_;
    Index by_priority_;
    // Built by the first lookup by value and kept from then on, so that queues used only by
    // priority do not pay for it.
    mutable Index by_value_;
    mutable bool value_index_ = false;
};

enum class DsCellOp { kSet, kAdd, kMultiply };

// A grid of width x height cells, stored column by column.
class DsGrid {
public:
    // The most cells a grid may have (16 bytes each).
    static constexpr int64_t kMaxCells = int64_t(1) << 26;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // New size; cells inside both sizes keep their values, new cells are real 0. Negative sizes
    // count as 0. False (and no change) when the grid would exceed kMaxCells.
    bool Resize(int64_t w, int64_t h);
    void Clear(const RValue& v);
    RValue Get(int64_t x, int64_t y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return RValue();
        return Cell(x, y);
    }
    void Apply(DsCellOp op, int64_t x, int64_t y, const RValue& v);
    void ApplyRegion(DsCellOp op, int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v);
    void ApplyDisk(DsCellOp op, double xm, double ym, double r, const RValue& v);
    // Combines the source region (clamped to `src`) into this grid with its corner at
    // (xpos, ypos); `src` may be this grid.
    void ApplyGridRegion(DsCellOp op, const DsGrid& src, int64_t x1, int64_t y1, int64_t x2,
                         int64_t y2, int64_t xpos, int64_t ypos);

    // Sum, maximum, minimum and count of the real cells.
    struct Stats {
        double sum = 0;
        double max = -100000000;
        double min = 100000000;
        int64_t count = 0;
        double Mean() const { return count ? sum / double(count) : 0; }
    };
    Stats RegionStats(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const;
    Stats DiskStats(double xm, double ym, double r) const;
    // The first cell (x outer, y inner) equal to `v`.
    bool FindInRegion(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v,
                      const DsComparison& cmp, int32_t& x, int32_t& y) const;
    bool FindInDisk(double xm, double ym, double r, const RValue& v, const DsComparison& cmp,
                    int32_t& x, int32_t& y) const;
    // 8 x width x height swaps, each drawing x1, x2, y1, y2.
    void Shuffle(Random& rng);

    void Write(CStream& s) const;
    DsReadResult Read(CStream& s, const volatile std::sig_atomic_t* stop = nullptr);

private:
    struct Box {
        int64_t x0, x1, y0, y1;  // inclusive; empty when x0 > x1 or y0 > y1
    };
    static Box NonEmptyOrNone(Box b);
    Box Region(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const;
    Box DiskBox(double xm, double ym, double r) const;
    static bool InDisk(int64_t x, int64_t y, double xm, double ym, double r) {
        double dx = double(x) - xm, dy = double(y) - ym;
        return dx * dx + dy * dy <= r * r;
    }
    RValue& Cell(int64_t x, int64_t y) { return cells_[size_t(x * height_ + y)]; }
    const RValue& Cell(int64_t x, int64_t y) const { return cells_[size_t(x * height_ + y)]; }

    int32_t width_ = 0, height_ = 0;
    std::vector<RValue> cells_;  // cell (x, y) is cells_[x * height + y]
};

// Handles of one kind: the lowest empty slot is handed out first, so handles are reused.
template <class T>
class DsTable {
public:
    int32_t Add(std::unique_ptr<T> item) {
        if (!free_.empty()) {
            int32_t h = *free_.begin();
            free_.erase(free_.begin());
            slots_[size_t(h)] = std::move(item);
            return h;
        }
        slots_.push_back(std::move(item));
        return int32_t(slots_.size() - 1);
    }
    // nullptr for a handle outside the table or of an empty slot.
    T* Get(int64_t handle) const {
        if (handle < 0 || handle >= int64_t(slots_.size())) return nullptr;
        return slots_[size_t(handle)].get();
    }
    bool Remove(int64_t handle) {
        if (!Get(handle)) return false;
        slots_[size_t(handle)].reset();
        free_.insert(int32_t(handle));
        return true;
    }
    void Reset() {
        slots_.clear();
        free_.clear();
    }

private:
    std::vector<std::unique_ptr<T>> slots_;
    std::set<int32_t> free_;
};

// Every data structure of one run, with the comparison they share.
class DataStructures {
public:
    DataStructures() = default;
    DataStructures(const DataStructures&) = delete;
    DataStructures& operator=(const DataStructures&) = delete;

    DsComparison& Comparison() { return cmp_; }
    const DsComparison& Comparison() const { return cmp_; }

    DsTable<DsStack> stacks;
    DsTable<DsQueue> queues;
    DsTable<DsList> lists;
    DsTable<DsMap> maps;
    DsTable<DsPriority> priorities;
    DsTable<DsGrid> grids;

private:
    DsComparison cmp_;  // maps and priority queues point at it
};

// The text form: the structure's stream as upper-case hexadecimal digit pairs.
template <class T>
std::string DsWriteText(const T& ds);
// Replaces the content of `ds` from a text form; on anything but kRead `ds` is unchanged. A
// non-zero `*stop` (a request to end the run, polled every few thousand values) gives
// kStopped.
template <class T>
DsReadResult DsReadText(std::string_view text, T& ds,
                        const volatile std::sig_atomic_t* stop = nullptr);

}  // namespace kr
