// The grid search marks each reached cell with its distance from the start plus one, in the
// cell array itself, so it needs no visited set and visits every cell at most once; the cells
// it marked are set back to free afterwards. The route is read backwards from the goal by
// stepping to a neighbour one nearer each time.
#include "motion/MotionGrid.h"

#include <algorithm>
#include <cmath>

namespace kr {

namespace {

// Rounds a script number to an integer, or gives false for one out of int32 range.
bool RoundedInt(double v, int64_t& out) {
    if (!(std::fabs(v) < 2147483647.0)) return false;
    out = int64_t(std::nearbyint(v));
    return true;
}

}  // namespace

CGrid::CGrid(int32_t left, int32_t top, int32_t hcells, int32_t vcells, int32_t cell_width,
             int32_t cell_height)
    : left_(left),
      top_(top),
      hcells_(hcells),
      vcells_(vcells),
      cell_width_(cell_width),
      cell_height_(cell_height),
      cells_(size_t(hcells) * size_t(vcells), kFree) {}

bool CGrid::Valid(int64_t left, int64_t top, int64_t hcells, int64_t vcells, int64_t cell_width,
                  int64_t cell_height) {
    if (hcells <= 0 || vcells <= 0 || cell_width <= 0 || cell_height <= 0) return false;
    if (hcells > kMaxCells || vcells > kMaxCells || hcells * vcells > kMaxCells) return false;
    // Every cell's room rectangle must be expressible in 32-bit coordinates.
    const int64_t limit = int64_t(INT32_MAX);
    return left + hcells * cell_width < limit && top + vcells * cell_height < limit &&
           left > -limit && top > -limit;
}

int32_t CGrid::Cell(int64_t h, int64_t v) const {
    if (h < 0 || h >= hcells_ || v < 0 || v >= vcells_) return kForbidden;
    return cells_[Index(int32_t(h), int32_t(v))];
}

void CGrid::SetCell(int64_t h, int64_t v, int32_t value) {
    if (h < 0 || h >= hcells_ || v < 0 || v >= vcells_) return;
    cells_[Index(int32_t(h), int32_t(v))] = value;
}

void CGrid::ClearAll() {
    std::fill(cells_.begin(), cells_.end(), kFree);
}

// The room coordinates are rounded to integers and divided truncating toward zero, and only
// then raised to the first cell or lowered to the last. So a rectangle that ends less than one
// cell left of (or above) the grid still touches its first column (or row).
bool CGrid::CellsTouched(double x1, double y1, double x2, double y2, int32_t& h0, int32_t& v0,
                         int32_t& h1, int32_t& v1) const {
    // NaN touches nothing; coordinates far outside the grid are held where they cannot overflow.
    if (std::isnan(x1) || std::isnan(y1) || std::isnan(x2) || std::isnan(y2)) return false;
    auto whole = [](double v) {
        constexpr double kFar = 1e15;
        return int64_t(std::nearbyint(std::clamp(v, -kFar, kFar)));
    };
    const int64_t c0 = (std::min(whole(x1), whole(x2)) - left_) / cell_width_;
    const int64_t c1 = (std::max(whole(x1), whole(x2)) - left_) / cell_width_;
    const int64_t r0 = (std::min(whole(y1), whole(y2)) - top_) / cell_height_;
    const int64_t r1 = (std::max(whole(y1), whole(y2)) - top_) / cell_height_;
    if (c1 < 0 || r1 < 0 || c0 >= hcells_ || r0 >= vcells_) return false;
    h0 = int32_t(std::max<int64_t>(c0, 0));
    v0 = int32_t(std::max<int64_t>(r0, 0));
    h1 = int32_t(std::min<int64_t>(c1, hcells_ - 1));
    v1 = int32_t(std::min<int64_t>(r1, vcells_ - 1));
    return true;
}

void CGrid::SetRectangle(double x1, double y1, double x2, double y2, int32_t value) {
    int32_t h0, v0, h1, v1;
    if (!CellsTouched(x1, y1, x2, y2, h0, v0, h1, v1)) return;
    for (int32_t h = h0; h <= h1; ++h)
        std::fill(cells_.begin() + ptrdiff_t(Index(h, v0)),
                  cells_.begin() + ptrdiff_t(Index(h, v1)) + 1, value);
}

bool CGrid::CellOf(int32_t x, int32_t y, int32_t& h, int32_t& v) const {
    const int64_t dx = int64_t(x) - left_, dy = int64_t(y) - top_;
    if (dx < 0 || dy < 0) return false;
    const int64_t ch = dx / cell_width_, cv = dy / cell_height_;
    if (ch >= hcells_ || cv >= vcells_) return false;
    h = int32_t(ch);
    v = int32_t(cv);
    return true;
}

bool CGrid::FindPath(int32_t xstart, int32_t ystart, int32_t xgoal, int32_t ygoal, bool allow_diag,
                     std::vector<GridPoint>& route, const volatile std::sig_atomic_t* stop) {
    int32_t sh, sv, gh, gv;
    if (!CellOf(xstart, ystart, sh, sv) || !CellOf(xgoal, ygoal, gh, gv)) return false;
    const size_t start = Index(sh, sv), goal = Index(gh, gv);
    if (cells_[start] == kForbidden || cells_[goal] == kForbidden) return false;

    int32_t* const c = cells_.data();
    const int32_t vn = vcells_, hn = hcells_;
    // Neighbour offsets in the flat array: one column is vn cells, one row is 1.
    const ptrdiff_t kW = -ptrdiff_t(vn), kE = vn, kN = -1, kS = 1;
    queue_.resize(cells_.size());
    size_t head = 0, tail = 0;
    c[start] = 1;
    queue_[tail++] = int32_t(start);
    bool found = false;
    while (head < tail) {
        const ptrdiff_t i = queue_[head++];
        if (size_t(i) == goal) {
            found = true;
            break;
        }
        if ((head & 0xFFFF) == 0 && stop && *stop) break;
        const int32_t h = int32_t(i / vn), v = int32_t(i % vn);
        const int32_t d = c[i] + 1;
        // Which neighbours were free and unreached before any of them is set.
        const bool w = h > 0 && c[i + kW] == 0;
        const bool e = h < hn - 1 && c[i + kE] == 0;
        const bool n = v > 0 && c[i + kN] == 0;
        const bool s = v < vn - 1 && c[i + kS] == 0;
        const bool sw = w && s && c[i + kW + kS] == 0;
        const bool nw = w && n && c[i + kW + kN] == 0;
        const bool se = e && s && c[i + kE + kS] == 0;
        const bool ne = e && n && c[i + kE + kN] == 0;
        auto visit = [&](ptrdiff_t off) {
            c[i + off] = d;
            queue_[tail++] = int32_t(i + off);
        };
        if (w) visit(kW);
        if (e) visit(kE);
        if (n) visit(kN);
        if (s) visit(kS);
        if (allow_diag) {
            if (sw) visit(kW + kS);
            if (nw) visit(kW + kN);
            if (se) visit(kE + kS);
            if (ne) visit(kE + kN);
        }
    }

    if (found) {
        route.clear();
        route.push_back({double(xgoal), double(ygoal)});
        int32_t h = gh, v = gv;
        while (!(h == sh && v == sv)) {
            const int32_t want = c[Index(h, v)] - 1;
            // A neighbour one nearer; a diagonal one only when neither cell beside the corner
            // is forbidden, so the route never cuts a corner.
            auto nearer = [&](int32_t dh, int32_t dv) {
                const int64_t nh = int64_t(h) + dh, nv = int64_t(v) + dv;
                if (Cell(nh, nv) != want) return false;
                if (dh != 0 && dv != 0 && (Cell(nh, v) == kForbidden || Cell(h, nv) == kForbidden))
                    return false;
                h = int32_t(nh);
                v = int32_t(nv);
                return true;
            };
            const bool moved =
                nearer(-1, 0) || nearer(1, 0) || nearer(0, -1) || nearer(0, 1) ||
                (allow_diag && (nearer(-1, 1) || nearer(1, 1) || nearer(-1, -1) || nearer(1, -1)));
            if (!moved) break;  // cannot happen with a consistent search; never loop
            if (h == sh && v == sv) break;
            route.push_back({double(left_) + double(h) * cell_width_ + cell_width_ / 2,
                             double(top_) + double(v) * cell_height_ + cell_height_ / 2});
        }
        route.push_back({double(xstart), double(ystart)});
        std::reverse(route.begin(), route.end());
    }
    // Only the queued cells were marked.
    for (size_t k = 0; k < tail; ++k) c[queue_[k]] = kFree;
    return found;
}

int32_t GridTable::Create(double left, double top, double hcells, double vcells, double cell_width,
                          double cell_height) {
    int64_t l, t, h, v, w, ht;
    if (!RoundedInt(left, l) || !RoundedInt(top, t) || !RoundedInt(hcells, h) ||
        !RoundedInt(vcells, v) || !RoundedInt(cell_width, w) || !RoundedInt(cell_height, ht))
        return -1;
    if (!CGrid::Valid(l, t, h, v, w, ht)) return -1;
    auto grid = std::make_unique<CGrid>(int32_t(l), int32_t(t), int32_t(h), int32_t(v), int32_t(w),
                                        int32_t(ht));
    for (size_t i = 0; i < grids_.size(); ++i) {
        if (!grids_[i]) {
            grids_[i] = std::move(grid);
            return int32_t(i);
        }
    }
    grids_.push_back(std::move(grid));
    return int32_t(grids_.size() - 1);
}

void GridTable::Destroy(int32_t id) {
    if (id >= 0 && size_t(id) < grids_.size()) grids_[size_t(id)].reset();
}

CGrid* GridTable::Get(int32_t id) const {
    return id >= 0 && size_t(id) < grids_.size() ? grids_[size_t(id)].get() : nullptr;
}

}  // namespace kr
