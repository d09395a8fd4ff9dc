// 3D drawing as players see it: small games in 3D mode run headless and the picture is checked
// at chosen pixels. The shapes under an orthographic projection (step counts clamped, culling),
// hidden surfaces and perspective, fog, a directional and a point light, the order of world
// transformations, and models drawn from their device copy in the current colour.
#include <gtest/gtest.h>

#include <cstdlib>

#include "data/Background.h"
#include "library/AllBuiltins.h"
#include "objects/EventTypes.h"
#include "platform/sdl/SdlPlatform.h"
#include "runner/GameWriter.h"
#include "runner/Runner.h"
#include "support/ScratchDir.h"
#include "support/TestPlatform.h"

namespace kr {
namespace {

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kBack = 0x404040;

class Draw3DTest : public ::testing::Test {
protected:
    // Runs a game of one w x h room (grey background) whose only instance draws with `draw`;
    // the picture of its first frame.
    TBitmap32 Run(int32_t w, int32_t h, const std::string& draw) {
        GameWriter g;
        g.room_order = {0};
        // bg_stripes: a red pixel beside a blue one.
        CBackground stripes;
        stripes.image = TBitmap32(2, 1);
        stripes.image.Pixels()[0] = ScriptColorToBgra(kRed);
        stripes.image.Pixels()[1] = ScriptColorToBgra(kBlue);
        g.Add("bg_stripes", stripes);
        // bg_half: a red pixel beside a fully transparent one.
        stripes.image.Pixels()[1] = Bgra{0, 0, 0, 0};
        g.Add("bg_half", stripes);
        CAction a;
        a.kind = CAction::kCode;
        a.exec_type = CAction::kExecCode;
        a.arg_count = 1;
        a.arg_texts[0] = draw;
        CObject drawer;
        drawer.events[kEventDraw][0].actions.push_back(a);
        g.Add("obj_drawer", drawer);
        CRoom room;
        room.width = w, room.height = h;
        room.background_color = kBack;
        room.instances.push_back({0, 0, 0, 100001, ""});
        g.Add("room", room);
        RunnerOptions o;
        o.game_path = dir_.Write("game.exe", g.WriteGameFile());
        o.temp_places.executable_dir = dir_.Path();
        o.register_functions = RegisterAllBuiltins;
        o.max_steps = 0;
        runner_.reset();
        platform_.window = MakeSdlOffscreenWindow();
        runner_ = std::make_unique<Runner>(platform_, std::move(o));
        testing::internal::CaptureStderr();
        runner_->Run();
        err_ = testing::internal::GetCapturedStderr();
        Graphics& gfx = runner_->Drawer().Gfx();
        EXPECT_TRUE(gfx.HasDevice()) << "no OpenGL off screen: " << err_;
        return gfx.Capture(-1, 0, 0, gfx.RegionWidth(), gfx.RegionHeight());
    }

    test::ScratchDir dir_;
    test::Recording rec_;
    Platform platform_ = test::MakeRecordingPlatform(rec_);
    std::unique_ptr<Runner> runner_;
    std::string err_;
};

struct Probe {
    int32_t x, y, colour;
};

::testing::AssertionResult PixelIs(const TBitmap32& p, const Probe& q, int tolerance = 3) {
    if (q.x >= p.Width() || q.y >= p.Height())
        return ::testing::AssertionFailure() << "(" << q.x << "," << q.y << ") outside";
    Bgra c = p.GetPixel(q.x, q.y);
    Bgra w = ScriptColorToBgra(q.colour);
    if (std::abs(c.r - w.r) <= tolerance && std::abs(c.g - w.g) <= tolerance &&
        std::abs(c.b - w.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << q.x << "," << q.y << ") is rgb(" << int(c.r) << "," << int(c.g) << ","
           << int(c.b) << "), want rgb(" << int(w.r) << "," << int(w.g) << "," << int(w.b) << ")";
}

void ExpectPixels(const TBitmap32& p, std::initializer_list<Probe> probes) {
    for (const Probe& q : probes) EXPECT_TRUE(PixelIs(p, q));
}

TEST_F(Draw3DTest, ShapesFromAboveUnderAnOrthographicProjection) {
    TBitmap32 p = Run(128, 64, R"(
        d3d_start();
        d3d_set_projection_ortho(0, 0, 128, 64, 0);
        draw_set_color(c_red);   d3d_draw_block(4, 4, 0, 28, 28, 10, -1, 1, 1);
        draw_set_color(c_lime);  d3d_draw_cylinder(36, 4, 0, 60, 28, 10, -1, 1, 1, true, 2);
        draw_set_color(c_blue);  d3d_draw_ellipsoid(68, 4, 0, 92, 28, 10, -1, 1, 1, 500);
        draw_set_color(c_red);   d3d_draw_cone(100, 4, 0, 124, 28, 20, -1, 1, 1, false, 24);
        draw_set_color(c_lime);  d3d_draw_floor(4, 36, 0, 28, 60, 0, -1, 1, 1);
        draw_set_color(c_blue);  d3d_draw_wall(40, 40, 0, 40, 40, 20, -1, 1, 1);
        // Culling drops triangles that turn counter-clockwise on the screen.
        d3d_set_culling(true);
        draw_set_color(c_red);
        d3d_primitive_begin(pr_trianglelist);
        d3d_vertex(68, 36, 0); d3d_vertex(92, 36, 0); d3d_vertex(68, 60, 0);
        d3d_vertex(100, 36, 0); d3d_vertex(100, 60, 0); d3d_vertex(124, 36, 0);
        d3d_primitive_end();
    )");
    ASSERT_EQ(p.Width(), 128);
    ExpectPixels(p, {
                        {16, 16, kRed},
                        {30, 30, kBack},   // block
                        {56, 16, kGreen},  // cylinder with 3 steps: a triangle
                        {40, 16, kBack},   // inside its circle, outside the triangle
                        {80, 16, kBlue},
                        {70, 6, kBack},  // ellipsoid
                        {112, 16, kRed},
                        {112, 30, kBack},  // cone
                        {16, 48, kGreen},
                        {30, 48, kBack},  // floor
                        {40, 45, kBack},  // a wall without length
                        {72, 40, kRed},
                        {104, 40, kBack},  // culling
                    });
}

TEST_F(Draw3DTest, TexturesRepeatAcrossShapesAndFollowVertexCoordinates) {
    // A floor with the stripes twice across, and a textured triangle list whose coordinates
    // pick the blue half; shapes repeat the texture even with repeat off.
    TBitmap32 p = Run(64, 32, R"(
        d3d_start();
        d3d_set_projection_ortho(0, 0, 64, 32, 0);
        texture_set_interpolation(false);
        draw_set_color(c_white);
        t = background_get_texture(bg_stripes);
        d3d_draw_floor(0, 0, 0, 32, 16, 0, t, 2, 1);
        d3d_primitive_begin_texture(pr_trianglelist, t);
        d3d_vertex_normal_texture(40, 0, 0, 0, 0, 1, 0.6, 0);
        d3d_vertex_normal_texture(64, 0, 0, 0, 0, 1, 0.9, 0);
        d3d_vertex_normal_texture(40, 24, 0, 0, 0, 1, 0.6, 1);
        d3d_primitive_end();
    )");
    ExpectPixels(p, {{3, 8, kRed},
                     {11, 8, kBlue},
                     {19, 8, kRed},
                     {27, 8, kBlue},
                     {16, 24, kBack},
                     {44, 4, kBlue}});
}

TEST_F(Draw3DTest, FullyTransparentPixelsNeitherShowNorHide) {
    // A half-transparent floor in front, then a blue one behind it: the blue one shows through
    // the transparent half only.
    TBitmap32 p = Run(32, 16, R"(
        d3d_start();
        d3d_set_projection_ortho(0, 0, 32, 16, 0);
        texture_set_interpolation(false);
        draw_set_color(c_white);
        d3d_draw_floor(0, 0, -5, 32, 16, -5, background_get_texture(bg_half), 1, 1);
        draw_set_color(c_blue);
        d3d_draw_floor(0, 0, 10, 32, 16, 10, -1, 1, 1);
    )");
    ExpectPixels(p, {{8, 8, kRed}, {24, 8, kBlue}});
}

TEST_F(Draw3DTest, FlatShadingTakesTheFirstVertexColour) {
    struct Case {
        const char* shading;
        int32_t near_blue_corner;
    };
    const Case cases[] = {{"d3d_set_shading(false);", kRed}, {"d3d_set_shading(true);", kBlue}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shading);
        TBitmap32 p = Run(
            32, 32,
            std::string("d3d_start(); d3d_set_projection_ortho(0, 0, 32, 32, 0);") + c.shading + R"(
            d3d_primitive_begin(pr_trianglelist);
            d3d_vertex_color(0, 0, 0, c_red, 1);
            d3d_vertex_color(32, 0, 0, c_lime, 1);
            d3d_vertex_color(0, 32, 0, c_blue, 1);
            d3d_primitive_end();
        )");
        EXPECT_TRUE(PixelIs(p, {1, 29, c.near_blue_corner}, 80));
    }
}

// A camera 100 in front of the plane y = 0 looking along y with z up and a 90 degree view: a
// wall from (-50, 0, -50) to (50, 0, 50) fills the middle half of a 64 x 64 picture.
constexpr char kCamera[] =
    "d3d_start(); d3d_set_projection_ext(0, -100, 0, 0, 0, 0, 0, 0, 1, 90, 1, 1, 1000);";

TEST_F(Draw3DTest, PerspectiveAndHiddenSurfaces) {
    struct Case {
        const char* setup;
        int32_t centre;
    };
    // A near red block and the blue wall behind it, drawn in both orders.
    const Case cases[] = {
        {"draw_set_color(c_blue); d3d_draw_wall(-50, 0, -50, 50, 0, 50, -1, 1, 1);"
         "draw_set_color(c_red); d3d_draw_block(-5, -40, -5, 5, -30, 5, -1, 1, 1);",
         kRed},
        {"draw_set_color(c_red); d3d_draw_block(-5, -40, -5, 5, -30, 5, -1, 1, 1);"
         "draw_set_color(c_blue); d3d_draw_wall(-50, 0, -50, 50, 0, 50, -1, 1, 1);",
         kRed},
        {"d3d_set_hidden(false);"
         "draw_set_color(c_red); d3d_draw_block(-5, -40, -5, 5, -30, 5, -1, 1, 1);"
         "draw_set_color(c_blue); d3d_draw_wall(-50, 0, -50, 50, 0, 50, -1, 1, 1);",
         kBlue},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setup);
        TBitmap32 p = Run(64, 64, std::string(kCamera) + c.setup);
        // z grows upwards on the screen, and x runs to the left seen from this side.
        ExpectPixels(p, {{32, 32, c.centre},
                         {20, 32, kBlue},
                         {12, 32, kBack},
                         {32, 18, kBlue},
                         {32, 12, kBack}});
    }
}

TEST_F(Draw3DTest, FogMixesByDistance) {
    struct Case {
        const char* fog;
        int32_t centre;
    };
    const Case cases[] = {
        {"d3d_set_fog(false, c_blue, 50, 150);", kRed},
        {"d3d_set_fog(true, c_blue, 50, 150);", 0x800080},
        {"d3d_set_fog(true, c_blue, 10, 90);", kBlue},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fog);
        TBitmap32 p = Run(64, 64,
                          std::string(kCamera) + c.fog +
                              "draw_set_color(c_red); d3d_draw_wall(-50, 0, -50, 50, 0, 50, -1, "
                              "1, 1);");
        EXPECT_TRUE(PixelIs(p, {32, 32, c.centre}, 4));
    }
}

TEST_F(Draw3DTest, LightsShadeByAngleAndDistance) {
    // The wall faces the camera (its normal points along -y); lighting is per vertex.
    struct Case {
        const char* light;
        int32_t centre;
    };
    const Case cases[] = {
        {"", 0},  // lighting without a light: black
        {"d3d_light_define_direction(0, 0, 1, 0, c_white); d3d_light_enable(0, true);", 0xFFFFFF},
        {"d3d_light_define_direction(0, 0, -1, 0, c_white); d3d_light_enable(0, true);", 0},
        {"d3d_light_define_direction(0, 0, 1, -1.7320508, c_white); d3d_light_enable(0, true);",
         0x808080},
        {"d3d_light_define_direction(2, 0, 1, 0, c_white);", 0},  // never enabled
        // From (0, -50, 0) each corner is 86.6 away: 0.577 by the angle, 1 / (1 + 4 * 86.6 / 200)
        // by the distance.
        {"d3d_light_define_point(1, 0, -50, 0, 200, c_white); d3d_light_enable(1, true);",
         0x363636},
        {"d3d_light_define_point(1, 0, -50, 0, 0, c_white); d3d_light_enable(1, true);", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.light);
        TBitmap32 p = Run(64, 64,
                          std::string(kCamera) + "d3d_set_lighting(true);" + c.light +
                              "draw_set_color(c_white); d3d_draw_wall(-50, 0, -50, 50, 0, 50, -1, "
                              "1, 1);");
        EXPECT_TRUE(PixelIs(p, {32, 32, c.centre}, 4));
    }
}

TEST_F(Draw3DTest, TransformationsActInTheOrderTheyAreAdded) {
    // An orthographic view of (-64, -64) .. (64, 64): room position + 64 is the pixel.
    TBitmap32 p = Run(128, 128, R"(
        d3d_start();
        d3d_set_projection_ortho(-64, -64, 128, 128, 0);
        draw_set_color(c_red);
        d3d_transform_set_translation(40, 0, 0);
        d3d_transform_add_rotation_z(90);  // moved first, then turned about the origin
        d3d_draw_block(-4, -4, 0, 4, 4, 4, -1, 1, 1);
        draw_set_color(c_lime);
        d3d_transform_set_rotation_z(90);
        d3d_transform_add_translation(40, 0, 0);  // turned in place, then moved
        d3d_draw_block(-4, -4, 0, 4, 4, 4, -1, 1, 1);
        d3d_transform_set_identity();
        draw_set_color(c_blue);
        d3d_transform_stack_push();
        d3d_transform_set_translation(0, 40, 0);
        d3d_transform_stack_pop();
        d3d_draw_block(-4, -4, 0, 4, 4, 4, -1, 1, 1);
    )");
    ExpectPixels(p, {{64, 24, kRed}, {104, 64, kGreen}, {64, 64, kBlue}, {64, 104, kBack}});
}

TEST_F(Draw3DTest, ModelsDrawWhereAndInTheColourTheyAreDrawn) {
    // A block, a triangle in its own colour and one in the drawing colour, drawn twice in two
    // colours; a copy saved and loaded into another model draws the same.
    std::string file = dir_.Path() + "/shape.d3d";
    TBitmap32 p = Run(128, 64,
                      R"(
        d3d_start();
        d3d_set_projection_ortho(0, 0, 128, 64, 0);
        m = d3d_model_create();
        d3d_model_block(m, 0, 0, 0, 16, 16, 8, 1, 1);
        d3d_model_primitive_begin(m, pr_trianglelist);
        d3d_model_vertex_color(m, 0, 24, 0, c_blue, 1);
        d3d_model_vertex_color(m, 16, 24, 0, c_blue, 1);
        d3d_model_vertex_color(m, 0, 40, 0, c_blue, 1);
        d3d_model_vertex(m, 16, 26, 0);
        d3d_model_vertex(m, 16, 40, 0);
        d3d_model_vertex(m, 2, 40, 0);
        d3d_model_primitive_end(m);
        draw_set_color(c_red);  d3d_model_draw(m, 4, 4, 0, -1);
        draw_set_color(c_lime); d3d_model_draw(m, 68, 4, 0, -1);
        d3d_model_save(m, ")" +
                          file + R"(");
        n = d3d_model_create();
        d3d_model_load(n, ")" +
                          file + R"(");
        draw_set_color(c_red); d3d_model_draw(n, 36, 4, 0, -1);
        d3d_model_destroy(m);
        d3d_model_draw(m, 100, 4, 0, -1);  // gone: nothing
    )");
    ExpectPixels(p, {{12, 12, kRed},
                     {76, 12, kGreen},
                     {44, 12, kRed},
                     {108, 12, kBack},
                     {7, 31, kBlue},
                     {17, 41, kRed},
                     {81, 41, kGreen},
                     {71, 31, kBlue},
                     {49, 41, kRed}});
}

}  // namespace
}  // namespace kr
