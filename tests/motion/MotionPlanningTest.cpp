// Planning steps and routes for a point mover among blocked rectangles.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "motion/MotionPlanning.h"
#include "motion/Path.h"

namespace kr {
namespace {

struct Box {
    double x0, y0, x1, y1;
};

class PointMover final : public Mover {
public:
    double x = 0, y = 0, dir = 0;
    std::vector<Box> walls;

    double X() const override { return x; }
    double Y() const override { return y; }
    double Direction() const override { return dir; }
    void SetDirection(double d) override { dir = d - 360 * std::floor(d / 360); }
    void MoveTo(double nx, double ny) override {
        x = nx;
        y = ny;
    }
    bool Free(double px, double py) const override {
        for (const Box& b : walls)
            if (px >= b.x0 && px <= b.x1 && py >= b.y0 && py <= b.y1) return false;
        return true;
    }
};

TEST(MotionPlanning, PointDirection) {
    struct Case {
        double x2, y2, dir;
    } cases[] = {{0, 0, 0}, {5, 0, 0}, {0, -5, 90}, {-5, 0, 180}, {0, 5, 270}, {5, 5, 315}};
    for (const Case& c : cases) EXPECT_NEAR(PointDirection(0, 0, c.x2, c.y2), c.dir, 1e-9);
}

TEST(MotionPlanning, LinearStep) {
    struct Case {
        const char* what;
        double gx, gy, step;
        std::vector<Box> walls;
        bool reached;
        double x, y;
    } cases[] = {
        {"at the goal", 0, 0, 4, {}, true, 0, 0},
        {"a step along", 30, -40, 5, {}, false, 3, -4},
        {"onto a near goal", 3, 4, 10, {}, true, 3, 4},
        {"blocked step stays", 30, 0, 5, {{4, -1, 6, 1}}, false, 0, 0},
        {"blocked goal in reach: reached but not moved", 3, 0, 10, {{2, -1, 4, 1}}, true, 0, 0},
    };
    for (const Case& c : cases) {
        PointMover m;
        m.walls = c.walls;
        EXPECT_EQ(LinearStep(m, c.gx, c.gy, c.step), c.reached) << c.what;
        EXPECT_NEAR(m.x, c.x, 1e-9) << c.what;
        EXPECT_NEAR(m.y, c.y, 1e-9) << c.what;
    }
}

// Steering turns away from a wall in front, but only within the maximal rotation; with no
// direction left it turns on the spot.
TEST(MotionPlanning, PotentialStep) {
    PotentialSettings s;
    PointMover m;
    m.walls = {{8, -2, 40, 2}};  // a wall straight ahead, narrow
    EXPECT_FALSE(PotentialStep(m, s, 100, 0, 4));
    // 0 fails (look-ahead 12 is in the wall); -10 is tried before +10: 350 degrees.
    EXPECT_NEAR(m.dir, 350, 1e-9);
    EXPECT_GT(m.y, 0);

    PointMover boxed;
    boxed.walls = {{-100, -100, 100, 100}};
    boxed.x = boxed.y = 0;
    boxed.walls[0].x0 = 1;  // everything ahead to the right is blocked, and nothing within 30
    boxed.dir = 0;
    EXPECT_FALSE(PotentialStep(boxed, s, 200, 0, 4));
    EXPECT_EQ(boxed.x, 0);
    EXPECT_NEAR(boxed.dir, 30, 1e-9);
    s.on_spot = false;
    boxed.dir = 0;
    PotentialStep(boxed, s, 200, 0, 4);
    EXPECT_EQ(boxed.dir, 0);

    PointMover near;
    EXPECT_TRUE(PotentialStep(near, s, 3, 0, 4));
    EXPECT_EQ(near.x, 3);
}

TEST(MotionPlanning, Routes) {
    PointMover m;
    m.x = 10;
    m.y = 10;
    m.dir = 45;
    CPath path;
    path.kind = CPath::kSmooth;
    ASSERT_TRUE(LinearPath(m, path, 30, 10, 8));
    EXPECT_EQ(path.points.size(), 4u);  // start, 18, 26, goal
    EXPECT_EQ(path.points.back().x, 30);
    EXPECT_EQ(path.kind, CPath::kStraight);
    EXPECT_FALSE(path.closed);
    EXPECT_EQ(m.x, 10);  // the mover is back
    EXPECT_EQ(m.dir, 45);

    // Blocked half-way: the route stops where the mover stopped, without the goal.
    m.walls = {{24, 0, 28, 20}};
    EXPECT_FALSE(LinearPath(m, path, 30, 10, 8));
    EXPECT_EQ(path.points.size(), 2u);
    EXPECT_FALSE(LinearPath(m, path, 30, 10, 0));  // a step of 0 changes nothing
    EXPECT_EQ(path.points.size(), 2u);

    // Steering that cannot get round gives up past factor times the distance, and keeps the
    // route found so far.
    PointMover boxed;
    boxed.walls = {{4, -1000, 6, 1000}};
    CPath tried;
    EXPECT_FALSE(PotentialPath(boxed, PotentialSettings{}, tried, 50, 0, 2, 3));
    EXPECT_GT(tried.points.size(), 1u);
    EXPECT_GT(tried.Length(), 3 * 50.0 - 2 * 2);
    EXPECT_EQ(boxed.x, 0);
    EXPECT_FALSE(PotentialPath(boxed, PotentialSettings{}, tried, 50, 0, 2, 0.5));

    // Stuck for good (no way to move, no turning on the spot): failure, not an endless search.
    PointMover stuck;
    stuck.walls = {{1, -100, 100, 100}};
    PotentialSettings still;
    still.on_spot = false;
    EXPECT_FALSE(PotentialPath(stuck, still, tried, 50, 0, 2, 3));
    EXPECT_EQ(tried.points.size(), 2u);
}

}  // namespace
}  // namespace kr
