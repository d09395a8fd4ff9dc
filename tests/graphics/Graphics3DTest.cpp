// The renderer's 3D state without a device: the current depth outside and inside 3D mode, and
// the matrices' conventions (row vectors, left-handed, positive angles as the helpers make them).
#include <gtest/gtest.h>

#include <numbers>

#include "graphics/Graphics.h"

namespace kr {
namespace {

TEST(Graphics3D, DepthIsZeroOutside3DModeAndClampedInIt) {
    Graphics g;
    g.SetDepth(20000);
    EXPECT_EQ(g.Depth(), 0);
    ASSERT_TRUE(g.Set3DMode(true));
    EXPECT_TRUE(g.Perspective());
    EXPECT_TRUE(g.Hidden());
    const double cases[][2] = {{20000, 16000}, {-20000, -16000}, {123.5, 123.5}};
    for (const auto& c : cases) {
        g.SetDepth(c[0]);
        EXPECT_EQ(g.Depth(), c[1]) << c[0];
    }
    ASSERT_TRUE(g.Set3DMode(false));
    EXPECT_EQ(g.Depth(), 0);
    EXPECT_FALSE(g.Perspective());
}

TEST(Graphics3D, MatricesTransformRowVectorsInTheOrderMultiplied) {
    constexpr double kPi = std::numbers::pi;
    double p[4];
    // Moved by (100, 0, 0), then turned a quarter about z: (0, 100, 0).
    (Mat4::Translation(100, 0, 0) * Mat4::RotationZ(kPi / 2)).Apply(0, 0, 0, p);
    EXPECT_NEAR(p[0], 0, 1e-9);
    EXPECT_NEAR(p[1], 100, 1e-9);
    // Any axis agrees with the axis of its own.
    Mat4 a = Mat4::RotationAxis(0, 0, 2, 0.7), z = Mat4::RotationZ(0.7);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(a.m[i][j], z.m[i][j], 1e-12);
    // Looking from (0, 0, -10) at the origin, the origin lies 10 ahead; a perspective
    // projection puts the near plane at depth 0 and the far plane at 1.
    const double eye[3] = {0, 0, -10}, at[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    (Mat4::LookAtLH(eye, at, up) * Mat4::PerspectiveFovLH(kPi / 2, 1, 1, 100)).Apply(0, 0, -9, p);
    EXPECT_NEAR(p[2] / p[3], 0, 1e-9);
    (Mat4::LookAtLH(eye, at, up) * Mat4::PerspectiveFovLH(kPi / 2, 1, 1, 100)).Apply(0, 0, 90, p);
    EXPECT_NEAR(p[2] / p[3], 1, 1e-9);
}

}  // namespace
}  // namespace kr
