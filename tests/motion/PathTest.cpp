#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "motion/Path.h"
#include "support/RecordTestUtil.h"

namespace kr {
namespace {

CPath MakePath(int32_t kind, bool closed, int32_t precision, std::vector<PathPoint> points) {
    CPath p;
    p.kind = kind;
    p.closed = closed;
    p.precision = precision;
    p.points = std::move(points);
    p.Recompute();
    return p;
}

std::vector<std::pair<double, double>> Positions(const CPath& p) {
    std::vector<std::pair<double, double>> out;
    for (const PathPiece& q : p.Pieces()) out.emplace_back(q.x, q.y);
    return out;
}

TEST(PathRecord, RoundTripsAndRecomputesWhenRead) {
    CPath p = MakePath(CPath::kSmooth, false, 3, {{0, 0, 100}, {64, 0, 50}, {64, 64, 200}});
    auto bytes = test::SavedBytes(p);
    CPath copy;
    ASSERT_TRUE(test::LoadsExactly(bytes, copy));
    EXPECT_EQ(copy, p);
    EXPECT_EQ(copy.Pieces().size(), p.Pieces().size());
    EXPECT_DOUBLE_EQ(copy.Length(), p.Length());
    EXPECT_TRUE(test::EveryTruncationFails<CPath>(bytes));

    ASSERT_TRUE(test::PatchInteger(bytes, kPathVersion, 800));
    CStream s(bytes);
    EXPECT_FALSE(CPath().LoadFromStream(s));
}

TEST(PathRecord, ZeroPointsIsValid) {
    CPath empty = MakePath(CPath::kSmooth, true, 4, {});
    CPath copy;
    ASSERT_TRUE(test::LoadsExactly(test::SavedBytes(empty), copy));
    EXPECT_TRUE(copy.Pieces().empty());
    EXPECT_EQ(copy.Length(), 0);
    PathPiece at = copy.PointAt(0.5);
    EXPECT_EQ(at.x, 0);
    EXPECT_EQ(at.y, 0);
    EXPECT_EQ(at.speed, 100);
}

TEST(Path, DerivedPolyline) {
    using XY = std::vector<std::pair<double, double>>;
    struct Case {
        const char* what;
        CPath path;
        XY expected;
        double length;
    } cases[] = {
        {"straight closed square returns to its start",
         MakePath(CPath::kStraight, true, 0, {{0, 0}, {10, 0}, {10, 10}, {0, 10}}),
         XY{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, 40},
        {"smooth open with 2 points is the straight line",
         MakePath(CPath::kSmooth, false, 8, {{0, 0}, {30, 40}}), XY{{0, 0}, {30, 40}}, 50},
        {"smooth open with 1 point has it twice", MakePath(CPath::kSmooth, false, 4, {{5, 6}}),
         XY{{5, 6}, {5, 6}}, 0},
        {"smooth open, precision 0: the corner is cut",
         MakePath(CPath::kSmooth, false, 0, {{0, 0}, {40, 0}, {40, 30}}), XY{{0, 0}, {40, 30}}, 50},
        {"smooth open, precision 1: the curve's middle point is added",
         MakePath(CPath::kSmooth, false, 1, {{0, 0}, {40, 0}, {40, 40}}),
         XY{{0, 0}, {35, 5}, {40, 40}}, 2 * std::sqrt(1250.0)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Positions(c.path), c.expected) << c.what;
        EXPECT_NEAR(c.path.Length(), c.length, 1e-9) << c.what;
    }
}

TEST(Path, StoredPrecisionBeyondTheLimitIsBounded) {
    // Far-apart points keep every subdivision level busy: the depth must stop at 8.
    CPath p = MakePath(CPath::kSmooth, true, 1000, {{0, 0}, {1e9, 0}, {1e9, 1e9}});
    EXPECT_EQ(p.precision, 1000);  // kept as stored
    EXPECT_EQ(p.Pieces().size(), 3u * 255 + 1);
}

TEST(Path, PointAt) {
    CPath p = MakePath(CPath::kStraight, false, 0, {{0, 0, 100}, {100, 0, 200}, {100, 100, 0}});
    struct Case {
        double position, x, y, speed;
    } cases[] = {
        {-1, 0, 0, 100},      {0, 0, 0, 100},
        {0.25, 50, 0, 150},   {0.5, 100, 0, 200},
        {0.75, 100, 50, 100}, {1, 100, 100, 0},
        {1.5, 100, 100, 0},   {std::numeric_limits<double>::quiet_NaN(), 0, 0, 100},
    };
    for (const Case& c : cases) {
        PathPiece at = p.PointAt(c.position);
        EXPECT_DOUBLE_EQ(at.x, c.x) << c.position;
        EXPECT_DOUBLE_EQ(at.y, c.y) << c.position;
        EXPECT_DOUBLE_EQ(at.speed, c.speed) << c.position;
    }
    // All points equal: length 0, every position gives the first point.
    CPath still = MakePath(CPath::kStraight, false, 0, {{7, 8, 30}, {7, 8, 60}});
    EXPECT_EQ(still.Length(), 0);
    EXPECT_EQ(still.PointAt(0.9).speed, 30);
}

// A smooth path is followed along its derived polyline: a quarter of the way along
// (0,0) (35,5) (40,40) is half of the first piece.
TEST(Path, PointAtOnASmoothPath) {
    CPath p = MakePath(CPath::kSmooth, false, 1, {{0, 0, 100}, {40, 0, 50}, {40, 40, 100}});
    PathPiece at = p.PointAt(0.25);
    EXPECT_NEAR(at.x, 17.5, 1e-9);
    EXPECT_NEAR(at.y, 2.5, 1e-9);
    // The middle point's speed is (100 + 2 * 50 + 75) / 4 at the curve's middle.
    EXPECT_NEAR(p.PointAt(0.5).speed, (75 + 2 * 50 + 75) / 4.0, 1e-9);
}

// Editing ignores point numbers outside the list; the transformations work about the centre
// of the bounding rectangle and keep the polyline current.
TEST(Path, EditingAndTransformations) {
    using XY = std::vector<std::pair<double, double>>;
    auto base = [] {
        return MakePath(CPath::kStraight, false, 0, {{0, 0, 100}, {20, 0, 100}, {20, 10, 100}});
    };
    struct Case {
        const char* what;
        void (*edit)(CPath&);
        XY expected;
    } cases[] = {
        {"add", [](CPath& p) { p.AddPoint(0, 10, 50); }, XY{{0, 0}, {20, 0}, {20, 10}, {0, 10}}},
        {"insert at 0", [](CPath& p) { p.InsertPoint(0, 5, 5, 100); },
         XY{{5, 5}, {0, 0}, {20, 0}, {20, 10}}},
        {"insert at the end", [](CPath& p) { p.InsertPoint(3, 5, 5, 100); },
         XY{{0, 0}, {20, 0}, {20, 10}, {5, 5}}},
        {"insert past the end does nothing", [](CPath& p) { p.InsertPoint(4, 5, 5, 100); },
         XY{{0, 0}, {20, 0}, {20, 10}}},
        {"change", [](CPath& p) { p.ChangePoint(1, 30, 0, 100); }, XY{{0, 0}, {30, 0}, {20, 10}}},
        {"change -1 does nothing", [](CPath& p) { p.ChangePoint(-1, 30, 0, 100); },
         XY{{0, 0}, {20, 0}, {20, 10}}},
        {"delete", [](CPath& p) { p.DeletePoint(0); }, XY{{20, 0}, {20, 10}}},
        {"delete 3 does nothing", [](CPath& p) { p.DeletePoint(3); },
         XY{{0, 0}, {20, 0}, {20, 10}}},
        {"reverse", [](CPath& p) { p.Reverse(); }, XY{{20, 10}, {20, 0}, {0, 0}}},
        {"mirror", [](CPath& p) { p.Mirror(); }, XY{{20, 0}, {0, 0}, {0, 10}}},
        {"flip", [](CPath& p) { p.Flip(); }, XY{{0, 10}, {20, 10}, {20, 0}}},
        {"scale", [](CPath& p) { p.Scale(2, 0.5); }, XY{{-10, 2.5}, {30, 2.5}, {30, 7.5}}},
        {"shift", [](CPath& p) { p.Shift(3, -4); }, XY{{3, -4}, {23, -4}, {23, 6}}},
        // 90 degrees counter-clockwise about (10, 5) on a screen whose y points down.
        {"rotate", [](CPath& p) { p.Rotate(90); }, XY{{5, 15}, {5, -5}, {15, -5}}},
        {"append itself", [](CPath& p) { p.Append(p); },
         XY{{0, 0}, {20, 0}, {20, 10}, {0, 0}, {20, 0}, {20, 10}}},
        {"clear", [](CPath& p) { p.ClearPoints(); }, XY{}},
    };
    for (const Case& c : cases) {
        CPath p = base();
        c.edit(p);
        XY got;
        for (const PathPoint& q : p.points) got.emplace_back(q.x, q.y);
        ASSERT_EQ(got.size(), c.expected.size()) << c.what;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_NEAR(got[i].first, c.expected[i].first, 1e-9) << c.what << " " << i;
            EXPECT_NEAR(got[i].second, c.expected[i].second, 1e-9) << c.what << " " << i;
        }
        EXPECT_EQ(p.Pieces().size(), p.points.size()) << c.what;  // recomputed (open, straight)
    }
}

}  // namespace
}  // namespace kr
