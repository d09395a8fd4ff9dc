// Pixel work of the collision tests. Every loop runs over an area that the caller has already
// cut to the instance's bounding box; unrotated masks are visited by runs of equal cells.
#include "motion/Collision.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kr {

namespace {

int32_t ClampCoord(double v) {
    if (std::isnan(v)) return 0;
    if (v >= double(kCoordLimit)) return kCoordLimit;
    if (v <= -double(kCoordLimit)) return -kCoordLimit;
    return int32_t(v);
}

// The grid cell coordinate of a mapped value: -1 when it is outside 0..size - 1 or not a number.
inline int32_t CellOf(double v, int32_t size) {
    if (!(v >= 0.0 && v < double(size))) return -1;
    return int32_t(v);  // v >= 0, so truncation is floor
}

}  // namespace

int32_t FloorCoord(double v) {
    return ClampCoord(std::floor(v));
}
int32_t CeilCoord(double v) {
    return ClampCoord(std::ceil(v));
}

CollisionBox CollisionBox::Intersect(const CollisionBox& b) const {
    return CollisionBox{std::max(left, b.left), std::max(top, b.top), std::min(right, b.right),
                        std::min(bottom, b.bottom)};
}

bool MaskPlacement::SolidAt(double px, double py) const {
    const double dx = px - x, dy = py - y;
    const int32_t mx = CellOf(ox + (c * dx - s * dy) / xscale, mask->width);
    if (mx < 0) return false;
    const int32_t my = CellOf(oy + (s * dx + c * dy) / yscale, mask->height);
    if (my < 0) return false;
    return mask->grid[size_t(my) * size_t(mask->width) + size_t(mx)] != 0;
}

namespace {

// Unrotated placements map columns and rows separately, and each monotonically: the room
// columns that fall on one mask column form a run. Testing one column and one row per run
// gives the answer of testing every point, with work bounded by the masks' sizes instead of
// the area's (a script may scale a sprite up a million times).
inline bool Axial(const MaskPlacement& p) {
    return p.s == 0 && p.c == 1;
}

// The cell a mapped value falls on; outside the mask, -1 below it (or not a number) and -2
// above it. The two sides must differ: each value then covers one interval of the room.
inline int32_t SidedCellOf(double v, int32_t size) {
    if (v >= double(size)) return -2;
    return CellOf(v, size);
}
inline int32_t ColumnOf(const MaskPlacement& p, int32_t i) {
    return SidedCellOf(p.ox + (double(i) - p.x) / p.xscale, p.mask->width);
}
inline int32_t RowOf(const MaskPlacement& p, int32_t j) {
    return SidedCellOf(p.oy + (double(j) - p.y) / p.yscale, p.mask->height);
}

// The cells of one or two masks that a column (or row) falls on.
struct Cells {
    int32_t a, b;
    bool operator==(const Cells&) const = default;
};

// A list of the runs' cells that keeps the usual few on the stack.
class RunList {
public:
    void Add(Cells c) {
        if (size_ < kInline)
            inline_[size_] = c;
        else
            spill_.push_back(c);
        ++size_;
    }
    size_t Size() const { return size_; }
    const Cells& operator[](size_t k) const {
        return k < kInline ? inline_[k] : spill_[k - kInline];
    }

private:
    static constexpr size_t kInline = 64;
    Cells inline_[kInline];
    std::vector<Cells> spill_;
    size_t size_ = 0;
};

// The runs of [lo, hi] over which cells(v) stays the same, keeping those inside every mask.
// The end of a run is found by galloping and then halving, which is exact since each run is
// an interval.
template <class CellsAt>
void FindRuns(int32_t lo, int32_t hi, CellsAt cells, RunList& out) {
    int64_t v = lo;
    while (v <= hi) {
        const Cells c = cells(int32_t(v));
        int64_t same = v, differs = int64_t(hi) + 1;
        for (int64_t step = 1; same + step <= hi; step *= 2) {
            if (!(cells(int32_t(same + step)) == c)) {
                differs = same + step;
                break;
            }
            same += step;
        }
        while (differs - same > 1) {
            const int64_t mid = same + (differs - same) / 2;
            if (cells(int32_t(mid)) == c)
                same = mid;
            else
                differs = mid;
        }
        if (c.a >= 0 && c.b >= 0) out.Add(c);
        v = same + 1;
    }
}

inline bool Solid(const TMask& m, int32_t mx, int32_t my) {
    return m.grid[size_t(my) * size_t(m.width) + size_t(mx)] != 0;
}

}  // namespace

bool MasksMeetIn(const MaskPlacement& a, const MaskPlacement& b, const CollisionBox& area) {
    if (Axial(a) && Axial(b)) {
        RunList columns, rows;
        FindRuns(
            area.left, area.right,
            [&](int32_t i) {
                return Cells{ColumnOf(a, i), ColumnOf(b, i)};
            },
            columns);
        if (columns.Size() == 0) return false;
        FindRuns(
            area.top, area.bottom,
            [&](int32_t j) {
                return Cells{RowOf(a, j), RowOf(b, j)};
            },
            rows);
        for (size_t c = 0; c < columns.Size(); ++c)
            for (size_t r = 0; r < rows.Size(); ++r)
                if (Solid(*a.mask, columns[c].a, rows[r].a) &&
                    Solid(*b.mask, columns[c].b, rows[r].b))
                    return true;
        return false;
    }
    // Rotated: every point. The answer does not depend on the order of the points.
    for (int32_t i = area.left; i <= area.right; ++i)
        for (int32_t j = area.top; j <= area.bottom; ++j)
            if (a.SolidAt(i, j) && b.SolidAt(i, j)) return true;
    return false;
}

bool MaskSolidIn(const MaskPlacement& m, const CollisionBox& area) {
    if (Axial(m)) {
        RunList columns, rows;
        FindRuns(
            area.left, area.right,
            [&](int32_t i) {
                return Cells{ColumnOf(m, i), 0};
            },
            columns);
        if (columns.Size() == 0) return false;
        FindRuns(
            area.top, area.bottom,
            [&](int32_t j) {
                return Cells{RowOf(m, j), 0};
            },
            rows);
        for (size_t c = 0; c < columns.Size(); ++c)
            for (size_t r = 0; r < rows.Size(); ++r)
                if (Solid(*m.mask, columns[c].a, rows[r].a)) return true;
        return false;
    }
    for (int32_t i = area.left; i <= area.right; ++i)
        for (int32_t j = area.top; j <= area.bottom; ++j)
            if (m.SolidAt(i, j)) return true;
    return false;
}

bool MaskSolidInEllipse(const MaskPlacement& m, const CollisionBox& area, float cx, float cy,
                        float rx, float ry) {
    for (int32_t i = area.left; i <= area.right; ++i) {
        const float dx = (float(i) - cx) / rx;
        for (int32_t j = area.top; j <= area.bottom; ++j) {
            const float dy = (float(j) - cy) / ry;
            if (dx * dx + dy * dy <= 1.0f && m.SolidAt(i, j)) return true;
        }
    }
    return false;
}

}  // namespace kr
