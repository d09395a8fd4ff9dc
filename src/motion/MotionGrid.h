// Motion planning grids: a grid of cells laid over part of the room, cells marked free or
// forbidden, and the shortest route of cells between two points found by a breadth-first
// search, with or without diagonal moves. The table of grids hands out the lowest free id.
#pragma once

#include <csignal>
#include <cstdint>
#include <memory>
#include <vector>

namespace kr {

struct GridPoint {
    double x = 0, y = 0;
};

class CGrid {
public:
    static constexpr int32_t kFree = 0;
    static constexpr int32_t kForbidden = -1;
    // The most cells one grid may have (64 MiB of cells, as much again for a search).
    static constexpr int64_t kMaxCells = int64_t(1) << 24;

    // A grid of free cells. Callers check Valid() first.
    CGrid(int32_t left, int32_t top, int32_t hcells, int32_t vcells, int32_t cell_width,
          int32_t cell_height);
    // Whether a grid of this size may be made: positive counts and cell sizes, at most
    // kMaxCells cells, and room coordinates that stay in range.
    static bool Valid(int64_t left, int64_t top, int64_t hcells, int64_t vcells, int64_t cell_width,
                      int64_t cell_height);

    int32_t Left() const { return left_; }
    int32_t Top() const { return top_; }
    int32_t HCells() const { return hcells_; }
    int32_t VCells() const { return vcells_; }
    int32_t CellWidth() const { return cell_width_; }
    int32_t CellHeight() const { return cell_height_; }

    // Cell (h, v), or kForbidden outside the grid.
    int32_t Cell(int64_t h, int64_t v) const;
    // Sets cell (h, v); cells outside the grid are ignored.
    void SetCell(int64_t h, int64_t v, int32_t value);
    void ClearAll();
    // Sets every cell touched by the room rectangle with corners (x1, y1) and (x2, y2).
    void SetRectangle(double x1, double y1, double x2, double y2, int32_t value);
    // The cells touched by the room rectangle, as column and row ranges; false when none.
    bool CellsTouched(double x1, double y1, double x2, double y2, int32_t& h0, int32_t& v0,
                      int32_t& h1, int32_t& v1) const;

    // The shortest route from the start to the goal through free cells, as the points a path
    // follows: the start, the centres of the cells in between, the goal. False when either
    // point is outside the grid or on a forbidden cell, or no route exists. Diagonal moves are
    // taken only when both cells beside the corner are free. The grid is left as it was. A
    // non-zero `*stop` (a request to end the run, polled as the search goes) gives up: false.
    bool FindPath(int32_t xstart, int32_t ystart, int32_t xgoal, int32_t ygoal, bool allow_diag,
                  std::vector<GridPoint>& route, const volatile std::sig_atomic_t* stop = nullptr);

private:
    size_t Index(int32_t h, int32_t v) const { return size_t(h) * size_t(vcells_) + size_t(v); }
    // The cell holding the room point, or false when it lies outside the grid.
    bool CellOf(int32_t x, int32_t y, int32_t& h, int32_t& v) const;

    int32_t left_, top_, hcells_, vcells_, cell_width_, cell_height_;
    std::vector<int32_t> cells_;  // cell (h, v) at h * vcells + v
    std::vector<int32_t> queue_;  // the search's queue of cell indexes, kept between searches
};

// Grids addressed by number: a new grid takes the lowest empty slot.
class GridTable {
public:
    // The new grid's id, or -1 when the size is refused.
    int32_t Create(double left, double top, double hcells, double vcells, double cell_width,
                   double cell_height);
    void Destroy(int32_t id);
    // The live grid with this id, or null.
    CGrid* Get(int32_t id) const;
    void Clear() { grids_.clear(); }

private:
    std::vector<std::unique_ptr<CGrid>> grids_;
};

}  // namespace kr
