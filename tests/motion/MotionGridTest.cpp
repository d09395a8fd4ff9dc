// Motion planning grids: shortest routes on small drawn grids, walls, the diagonal corner rule,
// marking by rectangle, the grid left clean after a search, sizes refused and ids reused.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "motion/MotionGrid.h"

namespace kr {
namespace {

// A grid of 10 x 10 pixel cells drawn as rows of text: '#' forbidden, anything else free.
CGrid Drawn(const std::vector<std::string>& rows) {
    CGrid g(0, 0, int32_t(rows[0].size()), int32_t(rows.size()), 10, 10);
    for (size_t v = 0; v < rows.size(); ++v)
        for (size_t h = 0; h < rows[v].size(); ++h)
            if (rows[v][h] == '#') g.SetCell(int64_t(h), int64_t(v), CGrid::kForbidden);
    return g;
}

// The route's points as cells, for comparing with a drawing.
std::vector<std::pair<int, int>> Cells(const std::vector<GridPoint>& route) {
    std::vector<std::pair<int, int>> out;
    for (const GridPoint& p : route) out.emplace_back(int(p.x) / 10, int(p.y) / 10);
    return out;
}

bool Clean(const CGrid& g) {
    for (int32_t h = 0; h < g.HCells(); ++h)
        for (int32_t v = 0; v < g.VCells(); ++v)
            if (g.Cell(h, v) > 0) return false;
    return true;
}

TEST(MotionGrid, ShortestRoutes) {
    using Cells_ = std::vector<std::pair<int, int>>;
    struct Case {
        const char* what;
        std::vector<std::string> rows;
        int sx, sy, gx, gy;
        bool diag, found;
        Cells_ route;
    } cases[] = {
        {"same cell: start and goal", {"...."}, 1, 2, 8, 7, false, true, Cells_{{0, 0}, {0, 0}}},
        {"straight east",
         {"...."},
         5,
         5,
         35,
         5,
         false,
         true,
         Cells_{{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
        // West, east, north, south: the search prefers to go round west-first; the route down
        // and across is as short as any.
        {"around a wall",
         {".#.", ".#.", "..."},
         5,
         5,
         25,
         5,
         false,
         true,
         Cells_{{0, 0}, {0, 1}, {0, 2}, {1, 2}, {2, 2}, {2, 1}, {2, 0}}},
        {"diagonal across open ground",
         {"...", "...", "..."},
         5,
         5,
         25,
         25,
         true,
         true,
         Cells_{{0, 0}, {1, 1}, {2, 2}}},
        // The corner of a forbidden cell may not be cut: (0,0) to (1,1) must go round.
        {"no corner cutting",
         {".#", ".."},
         5,
         5,
         15,
         15,
         true,
         true,
         Cells_{{0, 0}, {0, 1}, {1, 1}}},
        {"walled off", {".#.", "##."}, 5, 5, 25, 5, true, false, {}},
        {"goal forbidden", {"..#"}, 5, 5, 25, 5, false, false, {}},
        {"goal outside", {"..."}, 5, 5, 30, 5, false, false, {}},
        {"start left of the grid", {"..."}, -1, 5, 25, 5, false, false, {}},
    };
    for (Case& c : cases) {
        CGrid g = Drawn(c.rows);
        std::vector<GridPoint> route = {{-7, -7}};
        EXPECT_EQ(g.FindPath(c.sx, c.sy, c.gx, c.gy, c.diag, route), c.found) << c.what;
        EXPECT_TRUE(Clean(g)) << c.what;
        if (!c.found) {
            EXPECT_EQ(route.size(), 1u) << c.what << ": the route is left as it was";
            continue;
        }
        EXPECT_EQ(Cells(route), c.route) << c.what;
        // The ends are the exact points asked for, the rest cell centres.
        EXPECT_EQ(route.front().x, c.sx) << c.what;
        EXPECT_EQ(route.back().y, c.gy) << c.what;
        for (size_t i = 1; i + 1 < route.size(); ++i) EXPECT_EQ(int(route[i].x) % 10, 5) << c.what;
    }
}

// A maze whose shortest route is long and unique: the route has one point per step.
TEST(MotionGrid, MazeRouteLengthAndNoWalls) {
    CGrid g = Drawn({
        ".#...#...",
        ".#.#.#.#.",
        ".#.#.#.#.",
        "...#...#.",
    });
    std::vector<GridPoint> route;
    ASSERT_TRUE(g.FindPath(5, 5, 85, 5, true, route));
    // 3 down, 2 across, 3 up, ... : 4 columns of 3 plus 8 steps across, plus the start.
    EXPECT_EQ(route.size(), 4u * 3 + 8 + 1);
    for (const GridPoint& p : route) EXPECT_NE(g.Cell(int(p.x) / 10, int(p.y) / 10), -1);
    for (size_t i = 1; i < route.size(); ++i) {
        const double d =
            std::abs(route[i].x - route[i - 1].x) + std::abs(route[i].y - route[i - 1].y);
        EXPECT_EQ(d, 10) << "no diagonal is possible in this maze, step " << i;
    }
}

// The grid's cells as rows of text: '#' forbidden, '.' free, '|' after each row.
std::string Picture(const CGrid& g) {
    std::string got;
    for (int v = 0; v < g.VCells(); ++v, got += '|')
        for (int h = 0; h < g.HCells(); ++h) got += g.Cell(h, v) == CGrid::kForbidden ? '#' : '.';
    return got;
}

TEST(MotionGrid, Rectangles) {
    // A grid of 4 x 3 cells of 10 pixels at (100, 50). Columns and rows come from rounded
    // coordinates divided truncating toward zero, then held inside the grid: a rectangle that
    // ends less than one cell left of or above the grid still touches the first column or row.
    struct Case {
        double x1, y1, x2, y2;
        const char* want;
    } cases[] = {
        {125, 55, 111, 64, ".##.|.##.|....|"},   // corners in any order
        {130, 70, 500, 500, "....|....|...#|"},  // overlapping the far edges: cut
        {80, 50, 95, 80, "#...|#...|#...|"},     // ends 5 pixels left of the grid
        {100, 35, 119, 45, "##..|....|....|"},   // ends 5 pixels above it
        {70, 30, 91, 41, "#...|....|....|"},     // both
        {70, 50, 89, 80, "....|....|....|"},     // ends a whole cell left: nothing
        {70, 50, 89.6, 80, "....|....|....|"},   // 89.6 rounds to 90, one cell left
        {100, 20, 139, 39, "....|....|....|"},   // a whole cell above: nothing
        {140, 50, 150, 80, "....|....|....|"},   // right of the grid
        {-1e300, -1e300, 1e300, 1e300, "####|####|####|"},
        {std::nan(""), 50, 120, 60, "....|....|....|"},
    };
    for (const Case& c : cases) {
        CGrid g(100, 50, 4, 3, 10, 10);
        g.SetRectangle(c.x1, c.y1, c.x2, c.y2, CGrid::kForbidden);
        EXPECT_EQ(Picture(g), c.want) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
        g.SetRectangle(0, 0, 1000, 1000, CGrid::kForbidden);
        g.SetRectangle(c.x1, c.y1, c.x2, c.y2, CGrid::kFree);  // clearing takes the same cells
        std::string cleared = c.want;
        for (char& ch : cleared) ch = ch == '#' ? '.' : ch == '.' ? '#' : ch;
        EXPECT_EQ(Picture(g), cleared) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    }
    // Cells outside are ignored.
    CGrid g(100, 50, 4, 3, 10, 10);
    g.SetCell(5, 2, CGrid::kForbidden);
    g.SetCell(-1, 0, CGrid::kForbidden);
    EXPECT_EQ(g.Cell(5, 2), CGrid::kForbidden);  // reads as forbidden: outside
    EXPECT_EQ(g.Cell(0, 0), CGrid::kFree);
}

TEST(MotionGrid, TableRefusesBadSizesAndReusesIds) {
    GridTable t;
    struct Case {
        double l, t, h, v, w, ht;
    } refused[] = {
        {0, 0, 0, 10, 16, 16},         {0, 0, 10, -1, 16, 16}, {0, 0, 10, 10, 0, 16},
        {0, 0, 100000, 100000, 1, 1},  {0, 0, 1e300, 1, 1, 1}, {0, 0, 10, 10, 1e9, 16},
        {0, 0, std::nan(""), 1, 1, 1},
    };
    for (const Case& c : refused) EXPECT_EQ(t.Create(c.l, c.t, c.h, c.v, c.w, c.ht), -1);
    EXPECT_EQ(t.Create(0, 0, 4, 4, 8, 8), 0);
    EXPECT_EQ(t.Create(0, 0, 4, 4, 8, 8), 1);
    t.Destroy(0);
    t.Destroy(7);  // ignored
    EXPECT_EQ(t.Get(0), nullptr);
    EXPECT_EQ(t.Create(0, 0, 2, 2, 8, 8), 0);
    EXPECT_EQ(t.Get(0)->HCells(), 2);
}

}  // namespace
}  // namespace kr
