// Stacks, queues, lists, maps, priority queues and grids, and their text form.
#include "datastructures/DataStructures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "code/Operators.h"
#include "data/Stream.h"

namespace kr {

// ---- Comparison ------------------------------------------------------------------------------

double DsComparison::RelativeTolerance(double a, double b) {
    return std::max(std::min(std::fabs(a), std::fabs(b)) * 1e-12, 1e-12);
}

double DsComparison::ToleranceBound(double v) const {
    return precision_ > 0 ? precision_ : std::max(std::fabs(v) * 1e-12, 1e-12);
}

bool ValueTotalLess(const RValue& a, const RValue& b) {
    if (a.IsReal() != b.IsReal()) return a.IsReal();
    if (a.IsReal()) {
        if (std::isnan(a.real)) return false;
        if (std::isnan(b.real)) return true;
        return a.real < b.real;
    }
    return a.Str() < b.Str();  // string_view compares bytes as unsigned chars
}

// ---- Value records ---------------------------------------------------------------------------
// A value record is always kind, real, string; a string's real and a real's string are empty.

static void WriteValue(CStream& s, const RValue& v) {
    s.WriteInteger(v.IsString() ? 1 : 0);
    s.WriteReal(v.IsReal() ? v.real : 0.0);
    s.WriteString(v.Str());
}

static bool ReadValue(CStream& s, RValue& out) {
    int32_t kind = s.ReadInteger();
    double real = s.ReadReal();
    std::string str = s.ReadString();
    if (s.Failed()) return false;
    if (kind == 1)
        out = RValue(str);
    else
        out = RValue(real);
    return true;
}

// The smallest value record: kind, real and an empty string.
constexpr size_t kMinRecord = 16;

// A count of following items of at least `item_bytes` each: false when it is negative or
// cannot fit in the rest of the stream, so a damaged count never drives a huge allocation.
static bool ReadCount(CStream& s, size_t item_bytes, int32_t& n) {
    n = s.ReadInteger();
    if (s.Failed() || n < 0) return false;
    return size_t(n) <= s.Remaining() / item_bytes;
}

// Whether the stop flag is raised; asked every few thousand items, so it costs nothing.
static bool StopAt(size_t i, const volatile std::sig_atomic_t* stop) {
    return (i & 0xFFF) == 0xFFF && stop && *stop;
}

// kRead, kDamaged, or kStopped when the stop flag was raised on the way.
static DsReadResult ReadValues(CStream& s, int32_t n, std::vector<RValue>& out,
                               const volatile std::sig_atomic_t* stop) {
    out.resize(size_t(n));
    for (size_t i = 0; i < out.size(); ++i) {
        if (!ReadValue(s, out[i])) return DsReadResult::kDamaged;
        if (StopAt(i, stop)) return DsReadResult::kStopped;
    }
    return DsReadResult::kRead;
}

// The first integer of a text form: the kind's number or another.
static DsReadResult ReadKind(CStream& s, int32_t kind) {
    int32_t k = s.ReadInteger();
    if (s.Failed()) return DsReadResult::kDamaged;
    return k == kind ? DsReadResult::kRead : DsReadResult::kOtherKind;
}

template <class T>
std::string DsWriteText(const T& ds) {
    CStream s;
    ds.Write(s);
    return s.ToHex();
}

template <class T>
DsReadResult DsReadText(std::string_view text, T& ds, const volatile std::sig_atomic_t* stop) {
    CStream s;
    if (!s.FromHex(text)) return DsReadResult::kDamaged;
    if (stop && *stop) return DsReadResult::kStopped;
    return ds.Read(s, stop);
}

template std::string DsWriteText(const DsStack&);
template std::string DsWriteText(const DsQueue&);
template std::string DsWriteText(const DsList&);
template std::string DsWriteText(const DsMap&);
template std::string DsWriteText(const DsPriority&);
template std::string DsWriteText(const DsGrid&);
template DsReadResult DsReadText(std::string_view, DsStack&, const volatile std::sig_atomic_t*);
template DsReadResult DsReadText(std::string_view, DsQueue&, const volatile std::sig_atomic_t*);
template DsReadResult DsReadText(std::string_view, DsList&, const volatile std::sig_atomic_t*);
template DsReadResult DsReadText(std::string_view, DsMap&, const volatile std::sig_atomic_t*);
template DsReadResult DsReadText(std::string_view, DsPriority&, const volatile std::sig_atomic_t*);
template DsReadResult DsReadText(std::string_view, DsGrid&, const volatile std::sig_atomic_t*);

// ---- Stack -----------------------------------------------------------------------------------

RValue DsStack::Pop() {
    if (items_.empty()) return RValue();
    RValue v = std::move(items_.back());
    items_.pop_back();
    return v;
}

void DsStack::Write(CStream& s) const {
    s.WriteInteger(101);
    s.WriteInteger(Size());
    for (const RValue& v : items_) WriteValue(s, v);
}

DsReadResult DsStack::Read(CStream& s, const volatile std::sig_atomic_t* stop) {
    DsReadResult kind = ReadKind(s, 101);
    if (kind != DsReadResult::kRead) return kind;
    int32_t n;
    std::vector<RValue> items;
    if (!ReadCount(s, kMinRecord, n)) return DsReadResult::kDamaged;
    if (DsReadResult r = ReadValues(s, n, items, stop); r != DsReadResult::kRead) return r;
    items_.swap(items);
    return DsReadResult::kRead;
}

// ---- Queue -----------------------------------------------------------------------------------

void DsQueue::Clear() {
    std::vector<RValue>().swap(items_);
    head_ = tail_ = 0;
}

void DsQueue::Enqueue(const RValue& v) {
    if (size_t(tail_) == items_.size()) items_.resize(items_.size() + 16);
    items_[size_t(tail_++)] = v;
}

RValue DsQueue::Dequeue() {
    if (head_ >= tail_) return RValue();
    RValue v = items_[size_t(head_)];
    // Compaction looks at the head the element was taken from: at 17 or more, and past half
    // the used slots, the rest moves to the front (so 20 enqueues and 18 dequeues leave head 0
    // and tail 2). The array keeps its length.
    int32_t taken = head_++;
    if (taken >= 17 && taken > tail_ / 2) {
        std::move(items_.begin() + head_, items_.begin() + tail_, items_.begin());
        tail_ -= head_;
        head_ = 0;
    }
    return v;
}

void DsQueue::Write(CStream& s) const {
    s.WriteInteger(201);
    s.WriteInteger(tail_);
    s.WriteInteger(head_);
    s.WriteInteger(int32_t(items_.size()));
    for (const RValue& v : items_) WriteValue(s, v);
}

DsReadResult DsQueue::Read(CStream& s, const volatile std::sig_atomic_t* stop) {
    DsReadResult kind = ReadKind(s, 201);
    if (kind != DsReadResult::kRead) return kind;
    int32_t tail = s.ReadInteger(), head = s.ReadInteger(), n;
    std::vector<RValue> items;
    if (!ReadCount(s, kMinRecord, n) || head < 0 || head > tail || tail > n)
        return DsReadResult::kDamaged;
    if (DsReadResult r = ReadValues(s, n, items, stop); r != DsReadResult::kRead) return r;
    items_.swap(items);
    head_ = head;
    tail_ = tail;
    return DsReadResult::kRead;
}

// ---- List ------------------------------------------------------------------------------------

void DsList::Insert(int64_t pos, const RValue& v) {
    if (pos >= 0 && pos <= Size()) items_.insert(items_.begin() + pos, v);
}

void DsList::Replace(int64_t pos, const RValue& v) {
    if (pos >= 0 && pos < Size()) items_[size_t(pos)] = v;
}

void DsList::Delete(int64_t pos) {
    if (pos >= 0 && pos < Size()) items_.erase(items_.begin() + pos);
}

int32_t DsList::FindIndex(const RValue& v, const DsComparison& cmp) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (cmp.Equal(items_[i], v)) return int32_t(i);
    return -1;
}

// Whether the comparison orders these values consistently: only when two distinct reals lie
// within the tolerance of each other can "equal" fail to be transitive.
static bool ConsistentlyOrdered(const std::vector<RValue>& items, const DsComparison& cmp) {
    std::vector<double> reals;
    for (const RValue& v : items)
        if (v.IsReal()) {
            if (std::isnan(v.real)) return false;
            reals.push_back(v.real);
        }
    std::sort(reals.begin(), reals.end());
    for (size_t i = 1; i < reals.size(); ++i)
        if (reals[i] != reals[i - 1] && cmp.Compare(RValue(reals[i]), RValue(reals[i - 1])) == 0)
            return false;
    return true;
}

// A stable merge sort by `before` (strictly-before); safe for any comparison.
template <class Before>
static void MergeSort(std::vector<RValue>& v, Before before) {
    std::vector<RValue> tmp(v.size());
    for (size_t width = 1; width < v.size(); width *= 2) {
        for (size_t lo = 0; lo < v.size(); lo += 2 * width) {
            size_t mid = std::min(lo + width, v.size()), hi = std::min(lo + 2 * width, v.size());
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) tmp[k++] = before(v[j], v[i]) ? v[j++] : v[i++];
            while (i < mid) tmp[k++] = v[i++];
            while (j < hi) tmp[k++] = v[j++];
        }
        v.swap(tmp);
    }
}

void DsList::Sort(bool ascending, const DsComparison& cmp) {
    // The order is that of an insertion sort which swaps an element towards the front while
    // its left neighbour is greater (ascending) or less than or equal (descending). When the
    // comparison is consistent on these values a stable merge sort gives the same order (for
    // descending: the list reversed, then sorted stably), in n log n. Values that are only
    // approximately equal make the result depend on the exact swaps, so those lists take the
    // insertion sort itself, unless they are so long that it would take minutes.
    constexpr size_t kLiteralLimit = 20000;
    if (items_.size() < 2) return;
    if (!ConsistentlyOrdered(items_, cmp) && items_.size() <= kLiteralLimit) {
        for (size_t i = 1; i < items_.size(); ++i)
            for (size_t j = i; j > 0; --j) {
                int c = cmp.Compare(items_[j - 1], items_[j]);
                if (ascending ? c <= 0 : c > 0) break;
                std::swap(items_[j - 1], items_[j]);
            }
        return;
    }
    if (ascending) {
        MergeSort(items_, [&](const RValue& a, const RValue& b) { return cmp.Compare(a, b) < 0; });
    } else {
        std::reverse(items_.begin(), items_.end());
        MergeSort(items_, [&](const RValue& a, const RValue& b) { return cmp.Compare(a, b) > 0; });
    }
}

void DsList::Shuffle(Random& rng) {
    uint32_t n = uint32_t(items_.size());
    if (n == 0) return;
    for (uint64_t k = 0, swaps = 8 * uint64_t(n); k < swaps; ++k) {
        uint32_t a = rng.NextBelow(n);
        uint32_t b = rng.NextBelow(n);
        std::swap(items_[a], items_[b]);
    }
}

void DsList::Write(CStream& s) const {
    s.WriteInteger(301);
    s.WriteInteger(Size());
    for (const RValue& v : items_) WriteValue(s, v);
}

DsReadResult DsList::Read(CStream& s, const volatile std::sig_atomic_t* stop) {
    DsReadResult kind = ReadKind(s, 301);
    if (kind != DsReadResult::kRead) return kind;
    int32_t n;
    std::vector<RValue> items;
    if (!ReadCount(s, kMinRecord, n)) return DsReadResult::kDamaged;
    if (DsReadResult r = ReadValues(s, n, items, stop); r != DsReadResult::kRead) return r;
    items_.swap(items);
    return DsReadResult::kRead;
}

// ---- Map -------------------------------------------------------------------------------------

DsMap::DsMap(const DsComparison& cmp) : cmp_(&cmp), entries_(Less{&cmp}) {}

DsMap::DsMap(const DsMap& o) : cmp_(o.cmp_), entries_(o.entries_) {
    RebuildIndex();
}

DsMap& DsMap::operator=(const DsMap& o) {
    if (this != &o) {
        entries_ = o.entries_;
        RebuildIndex();
    }
    return *this;
}

void DsMap::RebuildIndex() {
    first_string_.clear();
    for (Iter it = entries_.begin(); it != entries_.end(); ++it)
        if (it->key.IsString()) first_string_.try_emplace(it->key.Str(), it);
}

void DsMap::Clear() {
    first_string_.clear();
    entries_.clear();
}

void DsMap::Add(const RValue& key, const RValue& value) {
    Iter it = entries_.insert(Entry{key, value});
    if (key.IsString()) first_string_.try_emplace(it->key.Str(), it);
}

DsMap::Iter DsMap::FindFirst(const RValue& key) const {
    if (key.IsString()) {
        auto f = first_string_.find(key.Str());
        return f == first_string_.end() ? entries_.end() : f->second;
    }
    Iter it = entries_.lower_bound(key);
    if (it != entries_.end() && cmp_->Equal(it->key, key)) return it;
    return entries_.end();
}

void DsMap::Erase(Iter it) {
    if (it->key.IsString()) {
        auto f = first_string_.find(it->key.Str());
        if (f != first_string_.end() && f->second == it) {
            first_string_.erase(f);
            Iter next = std::next(it);
            if (next != entries_.end() && next->key.IsString() && next->key.Str() == it->key.Str())
                first_string_.emplace(next->key.Str(), next);
        }
    }
    entries_.erase(it);
}

bool DsMap::Replace(const RValue& key, const RValue& value) {
    Iter it = FindFirst(key);
    if (it == entries_.end()) return false;
    it->value = value;
    return true;
}

bool DsMap::Delete(const RValue& key) {
    Iter it = FindFirst(key);
    if (it == entries_.end()) return false;
    Erase(it);
    return true;
}

bool DsMap::Exists(const RValue& key) const {
    return FindFirst(key) != entries_.end();
}

RValue DsMap::FindValue(const RValue& key) const {
    Iter it = FindFirst(key);
    return it == entries_.end() ? RValue() : it->value;
}

RValue DsMap::FindPrevious(const RValue& key) const {
    Iter it = entries_.lower_bound(key);
    return it == entries_.begin() ? RValue() : std::prev(it)->key;
}

RValue DsMap::FindNext(const RValue& key) const {
    Iter it = entries_.upper_bound(key);
    return it == entries_.end() ? RValue() : it->key;
}

RValue DsMap::First() const {
    return entries_.empty() ? RValue() : entries_.begin()->key;
}

RValue DsMap::Last() const {
    return entries_.empty() ? RValue() : std::prev(entries_.end())->key;
}

void DsMap::Write(CStream& s) const {
    s.WriteInteger(401);
    s.WriteInteger(Size());
    for (const Entry& e : entries_) WriteValue(s, e.key);
    for (const Entry& e : entries_) WriteValue(s, e.value);
}

DsReadResult DsMap::Read(CStream& s, const volatile std::sig_atomic_t* stop) {
    DsReadResult kind = ReadKind(s, 401);
    if (kind != DsReadResult::kRead) return kind;
    int32_t n;
    std::vector<RValue> keys, values;
    if (!ReadCount(s, 2 * kMinRecord, n)) return DsReadResult::kDamaged;
    if (DsReadResult r = ReadValues(s, n, keys, stop); r != DsReadResult::kRead) return r;
    if (DsReadResult r = ReadValues(s, n, values, stop); r != DsReadResult::kRead) return r;
    // A text written by a map lists its keys in order, so each pair goes to the end; keys out
    // of order are placed where they belong.
    Tree tree(Less{cmp_});
    for (size_t i = 0; i < keys.size(); ++i) {
        tree.insert(tree.end(), Entry{std::move(keys[i]), std::move(values[i])});
        if (StopAt(i, stop)) return DsReadResult::kStopped;
    }
    entries_.swap(tree);
    RebuildIndex();
    return DsReadResult::kRead;
}

// ---- Priority queue --------------------------------------------------------------------------

void DsPriority::Clear() {
    std::vector<RValue>().swap(values_);
    std::vector<RValue>().swap(priorities_);
    by_priority_.clear();
    by_value_.clear();
    value_index_ = false;
}

void DsPriority::Append(const RValue& value, const RValue& priority) {
    uint32_t i = uint32_t(values_.size());
    values_.push_back(value);
    priorities_.push_back(priority);
    if (value_index_) by_value_.insert(Key{value, i});
    by_priority_.insert(Key{priority, i});
}

void DsPriority::Add(const RValue& value, const RValue& priority) {
    Append(value, priority);
}

int32_t DsPriority::FirstEqual(const Index& idx, const RValue& v) const {
    if (v.IsString()) {
        auto it = idx.lower_bound(Key{v, 0});
        return it != idx.end() && it->v.IsString() && it->v.Str() == v.Str() ? int32_t(it->index)
                                                                             : -1;
    }
    if (!std::isfinite(v.real)) return -1;  // an infinity or NaN equals nothing
    // Every real equal to v lies within the tolerance bound; widen it a little against rounding
    // and let the comparison decide. Each distinct value's entries are ordered by index, so
    // the first of each is the lowest.
    double t = cmp_->ToleranceBound(v.real) * 1.5 + 1e-300;
    double hi = v.real + t;
    int32_t best = -1;
    auto it = idx.lower_bound(Key{RValue(v.real - t), 0});
    while (it != idx.end() && it->v.IsReal() && it->v.real <= hi) {
        if (cmp_->Equal(it->v, v) && (best < 0 || int32_t(it->index) < best))
            best = int32_t(it->index);
        it = idx.upper_bound(Key{it->v, UINT32_MAX});
    }
    return best;
}

int32_t DsPriority::FindValue(const RValue& value) const {
    if (!value_index_) {
        for (size_t i = 0; i < values_.size(); ++i) by_value_.insert(Key{values_[i], uint32_t(i)});
        value_index_ = true;
    }
    return FirstEqual(by_value_, value);
}

void DsPriority::ChangePriority(int32_t index, const RValue& priority) {
    by_priority_.erase(Key{priorities_[size_t(index)], uint32_t(index)});
    priorities_[size_t(index)] = priority;
    by_priority_.insert(Key{priority, uint32_t(index)});
}

// The smallest priority is the first in the index; the answer is the lowest array index among
// the priorities that compare equal to it, as a scan in array order that keeps the first of
// equal ones would find.
int32_t DsPriority::MinIndex() const {
    if (by_priority_.empty()) return -1;
    const RValue& m = by_priority_.begin()->v;
    int32_t best = int32_t(by_priority_.begin()->index);
    auto it = by_priority_.upper_bound(Key{m, UINT32_MAX});
    while (it != by_priority_.end() && cmp_->Equal(it->v, m)) {
        best = std::min(best, int32_t(it->index));
        it = by_priority_.upper_bound(Key{it->v, UINT32_MAX});
    }
    return best;
}

int32_t DsPriority::MaxIndex() const {
    if (by_priority_.empty()) return -1;
    const RValue m = std::prev(by_priority_.end())->v;
    auto group = by_priority_.lower_bound(Key{m, 0});
    int32_t best = int32_t(group->index);
    while (group != by_priority_.begin()) {
        auto prev = std::prev(group);
        if (!cmp_->Equal(prev->v, m)) break;
        group = by_priority_.lower_bound(Key{prev->v, 0});
        best = std::min(best, int32_t(group->index));
    }
    return best;
}

void DsPriority::DeleteAt(int32_t index) {
    size_t i = size_t(index), last = values_.size() - 1;
    if (value_index_) by_value_.erase(Key{values_[i], uint32_t(i)});
    by_priority_.erase(Key{priorities_[i], uint32_t(i)});
    if (i != last) {
        if (value_index_) by_value_.erase(Key{values_[last], uint32_t(last)});
        by_priority_.erase(Key{priorities_[last], uint32_t(last)});
        values_[i] = std::move(values_[last]);
        priorities_[i] = std::move(priorities_[last]);
        if (value_index_) by_value_.insert(Key{values_[i], uint32_t(i)});
        by_priority_.insert(Key{priorities_[i], uint32_t(i)});
    }
    values_.pop_back();
    priorities_.pop_back();
}

void DsPriority::Write(CStream& s) const {
    s.WriteInteger(501);
    s.WriteInteger(Size());
    for (const RValue& v : priorities_) WriteValue(s, v);
    for (const RValue& v : values_) WriteValue(s, v);
}

DsReadResult DsPriority::Read(CStream& s, const volatile std::sig_atomic_t* stop) {
    DsReadResult kind = ReadKind(s, 501);
    if (kind != DsReadResult::kRead) return kind;
    int32_t n;
    std::vector<RValue> prios, values;
    if (!ReadCount(s, 2 * kMinRecord, n)) return DsReadResult::kDamaged;
    if (DsReadResult r = ReadValues(s, n, prios, stop); r != DsReadResult::kRead) return r;
    if (DsReadResult r = ReadValues(s, n, values, stop); r != DsReadResult::kRead) return r;
    // The indexes are built into a fresh queue, so that a stop on the way changes nothing.
    DsPriority read(*cmp_);
    for (size_t i = 0; i < prios.size(); ++i) {
        read.Append(values[i], prios[i]);
        if (StopAt(i, stop)) return DsReadResult::kStopped;
    }
    *this = std::move(read);
    return DsReadResult::kRead;
}

// ---- Grid ------------------------------------------------------------------------------------

bool DsGrid::Resize(int64_t w, int64_t h) {
    w = std::max<int64_t>(w, 0);
    h = std::max<int64_t>(h, 0);
    if (w > kMaxCells || h > kMaxCells || w * h > kMaxCells) return false;
    if (w == width_ && h == height_) return true;
    std::vector<RValue> cells(size_t(w * h));
    int64_t cw = std::min<int64_t>(w, width_), ch = std::min<int64_t>(h, height_);
    for (int64_t x = 0; x < cw; ++x)
        for (int64_t y = 0; y < ch; ++y) cells[size_t(x * h + y)] = std::move(Cell(x, y));
    cells_.swap(cells);
    width_ = int32_t(w);
    height_ = int32_t(h);
    return true;
}

void DsGrid::Clear(const RValue& v) {
    std::fill(cells_.begin(), cells_.end(), v);
}

static void Combine(DsCellOp op, RValue& cell, const RValue& v) {
    switch (op) {
        case DsCellOp::kSet:
            cell = v;
            return;
        case DsCellOp::kAdd:
            if (cell.IsReal() && v.IsReal()) {
                cell.real += v.real;
            } else if (cell.IsString() && v.IsString()) {
                // A string that would pass the language's limit stays as it is.
                if (!v.Str().empty() && cell.Str().size() + v.Str().size() <= kMaxStringLength)
                    ConcatInto(cell, cell, v.Str());
            } else {
                cell = v;
            }
            return;
        case DsCellOp::kMultiply:
            if (cell.IsReal() && v.IsReal()) cell.real *= v.real;
            return;
    }
}

void DsGrid::Apply(DsCellOp op, int64_t x, int64_t y, const RValue& v) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    Combine(op, Cell(x, y), v);
}

// A box that is empty along one axis is made empty along x, so that no loop runs over the
// other axis alone.
DsGrid::Box DsGrid::NonEmptyOrNone(Box b) {
    if (b.y0 > b.y1) b.x1 = b.x0 - 1;
    return b;
}

DsGrid::Box DsGrid::Region(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const {
    return NonEmptyOrNone(Box{
        std::max<int64_t>(std::min(x1, x2), 0), std::min<int64_t>(std::max(x1, x2), width_ - 1),
        std::max<int64_t>(std::min(y1, y2), 0), std::min<int64_t>(std::max(y1, y2), height_ - 1)});
}

// The bounding box of a disk, in cells of the grid. Coordinates far outside clamp first, so
// no conversion overflows; NaN gives an empty box.
DsGrid::Box DsGrid::DiskBox(double xm, double ym, double r) const {
    auto lo = [](double v) {
        return std::isnan(v) ? std::numeric_limits<int64_t>::max()
                             : int64_t(std::clamp(std::floor(v), -1e15, 1e15));
    };
    auto hi = [](double v) {
        return std::isnan(v) ? std::numeric_limits<int64_t>::min()
                             : int64_t(std::clamp(std::ceil(v), -1e15, 1e15));
    };
    return NonEmptyOrNone(
        Box{std::max<int64_t>(lo(xm - r), 0), std::min<int64_t>(hi(xm + r), width_ - 1),
            std::max<int64_t>(lo(ym - r), 0), std::min<int64_t>(hi(ym + r), height_ - 1)});
}

void DsGrid::ApplyRegion(DsCellOp op, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                         const RValue& v) {
    Box b = Region(x1, y1, x2, y2);
    for (int64_t x = b.x0; x <= b.x1; ++x)
        for (int64_t y = b.y0; y <= b.y1; ++y) Combine(op, Cell(x, y), v);
}

void DsGrid::ApplyDisk(DsCellOp op, double xm, double ym, double r, const RValue& v) {
    Box b = DiskBox(xm, ym, r);
    for (int64_t x = b.x0; x <= b.x1; ++x)
        for (int64_t y = b.y0; y <= b.y1; ++y)
            if (InDisk(x, y, xm, ym, r)) Combine(op, Cell(x, y), v);
}

void DsGrid::ApplyGridRegion(DsCellOp op, const DsGrid& src, int64_t x1, int64_t y1, int64_t x2,
                             int64_t y2, int64_t xpos, int64_t ypos) {
    constexpr int64_t kFar = int64_t(1) << 40;  // beyond any grid; keeps the sums below exact
    xpos = std::clamp(xpos, -kFar, kFar);
    ypos = std::clamp(ypos, -kFar, kFar);
    Box b = src.Region(x1, y1, x2, y2);
    int64_t sx = b.x0, sy = b.y0, w = b.x1 - b.x0 + 1, h = b.y1 - b.y0 + 1;
    if (w <= 0 || h <= 0) return;
    if (xpos < 0) {
        sx -= xpos;
        w += xpos;
        xpos = 0;
    }
    if (ypos < 0) {
        sy -= ypos;
        h += ypos;
        ypos = 0;
    }
    w = std::min(w, width_ - xpos);
    h = std::min(h, height_ - ypos);
    if (w <= 0 || h <= 0) return;
    if (&src == this) {
        // Every source cell is read before any is overwritten, as a memory move would.
        std::vector<RValue> copy(size_t(w * h));
        for (int64_t i = 0; i < w; ++i)
            for (int64_t j = 0; j < h; ++j) copy[size_t(i * h + j)] = Cell(sx + i, sy + j);
        for (int64_t i = 0; i < w; ++i)
            for (int64_t j = 0; j < h; ++j)
                Combine(op, Cell(xpos + i, ypos + j), copy[size_t(i * h + j)]);
        return;
    }
    for (int64_t i = 0; i < w; ++i)
        for (int64_t j = 0; j < h; ++j)
            Combine(op, Cell(xpos + i, ypos + j), src.Cell(sx + i, sy + j));
}

static void Count(DsGrid::Stats& s, const RValue& v) {
    if (!v.IsReal()) return;
    s.sum += v.real;
    if (s.count == 0 || v.real > s.max) s.max = v.real;
    if (s.count == 0 || v.real < s.min) s.min = v.real;
    ++s.count;
}

DsGrid::Stats DsGrid::RegionStats(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const {
    Stats s;
    Box b = Region(x1, y1, x2, y2);
    for (int64_t x = b.x0; x <= b.x1; ++x)
        for (int64_t y = b.y0; y <= b.y1; ++y) Count(s, Cell(x, y));
    return s;
}

DsGrid::Stats DsGrid::DiskStats(double xm, double ym, double r) const {
    Stats s;
    Box b = DiskBox(xm, ym, r);
    for (int64_t x = b.x0; x <= b.x1; ++x)
        for (int64_t y = b.y0; y <= b.y1; ++y)
            if (InDisk(x, y, xm, ym, r)) Count(s, Cell(x, y));
    return s;
}

bool DsGrid::FindInRegion(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v,
                          const DsComparison& cmp, int32_t& fx, int32_t& fy) const {
    Box b = Region(x1, y1, x2, y2);
    for (int64_t x = b.x0; x <= b.x1; ++x)
        for (int64_t y = b.y0; y <= b.y1; ++y)
            if (cmp.Equal(Cell(x, y), v)) {
                fx = int32_t(x);
                fy = int32_t(y);
                return true;
            }
    return false;
}

bool DsGrid::FindInDisk(double xm, double ym, double r, const RValue& v, const DsComparison& cmp,
                        int32_t& fx, int32_t& fy) const {
    Box b = DiskBox(xm, ym, r);
    for (int64_t x = b.x0; x <= b.x1; ++x)
        for (int64_t y = b.y0; y <= b.y1; ++y)
            if (InDisk(x, y, xm, ym, r) && cmp.Equal(Cell(x, y), v)) {
                fx = int32_t(x);
                fy = int32_t(y);
                return true;
            }
    return false;
}

void DsGrid::Shuffle(Random& rng) {
    if (cells_.empty()) return;
    uint32_t w = uint32_t(width_), h = uint32_t(height_);
    for (uint64_t k = 0, swaps = 8 * uint64_t(w) * h; k < swaps; ++k) {
        uint32_t xa = rng.NextBelow(w);
        uint32_t xb = rng.NextBelow(w);
        uint32_t ya = rng.NextBelow(h);
        uint32_t yb = rng.NextBelow(h);
        std::swap(Cell(xa, ya), Cell(xb, yb));
    }
}

void DsGrid::Write(CStream& s) const {
    s.WriteInteger(601);
    s.WriteInteger(width_);
    s.WriteInteger(height_);
    for (const RValue& v : cells_) WriteValue(s, v);
}

DsReadResult DsGrid::Read(CStream& s, const volatile std::sig_atomic_t* stop) {
    DsReadResult kind = ReadKind(s, 601);
    if (kind != DsReadResult::kRead) return kind;
    int32_t w = s.ReadInteger(), h = s.ReadInteger();
    if (s.Failed() || w < 0 || h < 0 || w > kMaxCells || h > kMaxCells)
        return DsReadResult::kDamaged;
    int64_t n = int64_t(w) * h;
    if (uint64_t(n) > s.Remaining() / kMinRecord) return DsReadResult::kDamaged;
    std::vector<RValue> cells;
    if (DsReadResult r = ReadValues(s, int32_t(n), cells, stop); r != DsReadResult::kRead) return r;
    cells_.swap(cells);
    width_ = w;
    height_ = h;
    return DsReadResult::kRead;
}

}  // namespace kr
