// Drawing as players see it: small games run headless, drawing off screen, and the picture at
// the end is checked at chosen pixels (a few units of tolerance per channel for filtering and
// blending). Shapes, sprites, blending, surfaces, room layers, tiles and instances by depth,
// views with scaled ports and the mouse through them, and the errors of bad ids.
#include <gtest/gtest.h>

#include <cstdlib>

#include "data/ImageCodecs.h"
#include "library/AllBuiltins.h"
#include "objects/EventTypes.h"
#include "platform/Files.h"
#include "platform/sdl/SdlPlatform.h"
#include "runner/GameWriter.h"
#include "runner/Runner.h"
#include "support/ScratchDir.h"
#include "support/TestPlatform.h"

namespace kr {
namespace {

CEvent Code(std::string code) {
    CAction a;
    a.kind = CAction::kCode;
    a.exec_type = CAction::kExecCode;
    a.arg_count = 1;
    a.arg_texts[0] = std::move(code);
    CEvent e;
    e.actions.push_back(std::move(a));
    return e;
}

TBitmap32 Solid(int32_t w, int32_t h, int32_t colour) {
    TBitmap32 b(w, h);
    b.Fill(ScriptColorToBgra(colour));
    return b;
}

CSprite SolidSprite(int32_t w, int32_t h, int32_t colour, int32_t ox = 0, int32_t oy = 0) {
    CSprite s;
    s.frames.push_back(Solid(w, h, colour));
    s.x_origin = ox, s.y_origin = oy;
    s.BuildMasks();
    return s;
}

CBackground SolidBackground(int32_t w, int32_t h, int32_t colour) {
    CBackground b;
    b.image = Solid(w, h, colour);
    return b;
}

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

class RoomDrawTest : public ::testing::Test {
protected:
    // A game of one room (w x h, black) with the given resources; object 0 has the draw event
    // `draw`, and one instance of it at depth 0 when `draw` is not empty.
    GameWriter Game(int32_t w, int32_t h, const std::string& draw) {
        GameWriter g;
        g.room_order = {0};
        g.Add("spr_red", SolidSprite(4, 4, kRed));
        g.Add("spr_green", SolidSprite(4, 4, kGreen, 2, 2));
        g.Add("bg_blue", SolidBackground(8, 8, kBlue));
        g.Add("bg_green", SolidBackground(16, 16, kGreen));
        CObject drawer;
        drawer.events[kEventDraw][0] = Code(draw);
        g.Add("obj_drawer", drawer);
        CObject red;
        red.sprite = 0;
        g.Add("obj_red", red);
        room_.width = w, room_.height = h;
        room_.background_color = 0;
        if (!draw.empty()) room_.instances.push_back({0, 0, 0, 100001, ""});
        return g;
    }

    // Runs the game for `steps` steps (0: only the room start, drawn once); the picture left at
    // the end.
    TBitmap32 Run(GameWriter& g, int64_t steps = 0, const std::string& input = {}) {
        g.Add("room", room_);
        RunnerOptions o;
        o.game_path = dir_.Write("game.exe", g.WriteGameFile());
        o.temp_places.executable_dir = dir_.Path();
        o.register_functions = RegisterAllBuiltins;
        o.max_steps = steps;
        std::string error;
        EXPECT_TRUE(ParseInputReplay(input, o.input, error)) << error;
        runner_.reset();  // its drawing goes before the window it drew in
        platform_.window = MakeSdlOffscreenWindow();
        runner_ = std::make_unique<Runner>(platform_, std::move(o));
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        status_ = runner_->Run();
        out_ = testing::internal::GetCapturedStdout();
        err_ = testing::internal::GetCapturedStderr();
        Graphics& gfx = runner_->Drawer().Gfx();
        EXPECT_TRUE(gfx.HasDevice()) << "no OpenGL off screen: " << err_;
        return gfx.Capture(-1, 0, 0, gfx.RegionWidth(), gfx.RegionHeight());
    }

    test::ScratchDir dir_;
    test::Recording rec_;
    Platform platform_ = test::MakeRecordingPlatform(rec_);
    std::unique_ptr<Runner> runner_;
    CRoom room_;
    int status_ = -1;
    std::string out_, err_;
};

// The colour at (x, y) within `tolerance` per channel of the script colour `want`.
::testing::AssertionResult PixelIs(const TBitmap32& p, int32_t x, int32_t y, int32_t want,
                                   int tolerance = 3) {
    if (x >= p.Width() || y >= p.Height())
        return ::testing::AssertionFailure() << "(" << x << "," << y << ") outside the picture";
    Bgra c = p.GetPixel(x, y);
    Bgra w = ScriptColorToBgra(want);
    if (std::abs(c.r - w.r) <= tolerance && std::abs(c.g - w.g) <= tolerance &&
        std::abs(c.b - w.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << x << "," << y << ") is rgb(" << int(c.r) << "," << int(c.g) << "," << int(c.b)
           << "), want rgb(" << int(w.r) << "," << int(w.g) << "," << int(w.b) << ")";
}

struct Probe {
    int32_t x, y, colour;
};

void ExpectPixels(const TBitmap32& p, std::initializer_list<Probe> probes) {
    for (const Probe& q : probes) EXPECT_TRUE(PixelIs(p, q.x, q.y, q.colour));
}

TEST_F(RoomDrawTest, ShapesColoursAndBlendModes) {
    GameWriter g = Game(64, 48, R"(
        draw_set_color(c_red); draw_rectangle(10, 10, 20, 20, 0);
        draw_set_color(c_white); draw_set_alpha(0.5); draw_rectangle(30, 0, 39, 9, 0);
        draw_set_alpha(1);
        draw_set_blend_mode(bm_add); draw_set_color(make_color_rgb(0, 0, 200));
        draw_rectangle(15, 15, 25, 25, 0); draw_set_blend_mode(bm_normal);
        draw_set_blend_mode_ext(1, 3);  // zero, source colour: the destination is untouched
        draw_rectangle(0, 40, 63, 47, 0); draw_set_blend_mode(bm_normal);
        draw_set_color(c_lime); draw_line(0, 30, 9, 30); draw_point(12, 35);
        draw_rectangle(45, 20, 55, 30, 1);
        draw_circle_color(56, 40, 4, c_yellow, c_yellow, 0);
        draw_rectangle_color(0, 0, 7, 7, c_red, c_red, c_blue, c_blue, 0);
    )");
    TBitmap32 p = Run(g);
    ASSERT_EQ(p.Width(), 64);
    ExpectPixels(p,
                 {
                     {10, 10, kRed},     {20, 10, kRed},     {21, 10, 0},      {10, 21, 0},
                     {9, 10, 0},         {35, 5, 0x808080},  {12, 12, kRed},   {18, 18, 0xC800FF},
                     {24, 24, 0xC80000}, {5, 44, 0},         {0, 30, kGreen},  {8, 30, kGreen},
                     {10, 31, 0},        {12, 35, kGreen},   {45, 25, kGreen}, {50, 25, 0},
                     {55, 20, kGreen},   {56, 40, 0x00FFFF}, {0, 0, kRed},
                 });
}

TEST_F(RoomDrawTest, SpritesBackgroundsAndTheirForms) {
    GameWriter g = Game(64, 48, R"(
        draw_set_color(c_blue); draw_set_alpha(0.2);
        draw_sprite(spr_red, 0, 1, 1);
        draw_set_alpha(1);
        draw_sprite(spr_green, 7, 12, 12);
        draw_sprite_ext(spr_red, 0, 20, 20, 2, 1, 0, c_white, 0.5);
        draw_sprite_ext(spr_red, 0, 40, 10, 1, 1, 90, c_white, 1);
        draw_sprite_stretched(spr_green, 0, 0, 30, 10, 6);
        draw_background_part(bg_green, 0, 0, 3, 3, 50, 40);
        draw_sprite_stretched(spr_green, 0, 60, 0, 0, 10);  // zero width: nothing
    )");
    TBitmap32 p = Run(g);
    ExpectPixels(p, {
                        {1, 1, kRed},
                        {4, 4, kRed},
                        {5, 5, 0},
                        {10, 10, kGreen},
                        {13, 13, kGreen},
                        {14, 14, 0},
                        {27, 21, 0x000080},
                        {28, 21, 0},
                        {40, 7, kRed},
                        {43, 10, kRed},
                        {41, 11, 0},
                        {9, 35, kGreen},
                        {10, 35, 0},
                        {50, 40, kGreen},
                        {52, 42, kGreen},
                        {53, 43, 0},
                        {61, 5, 0},
                    });
}

// Background layer behind, tiles and instances merged by depth, foreground in front.
TEST_F(RoomDrawTest, LayersTilesAndInstancesByDepth) {
    GameWriter g = Game(32, 32, "");
    CObject front;
    front.depth = -10;
    front.events[kEventDraw][0] =
        Code("draw_set_color(c_yellow); draw_rectangle(x, y, x + 3, y + 3, 0)");
    g.Add("obj_front", front);
    room_.backgrounds[0].visible = true;
    room_.backgrounds[0].index = 0;  // blue, tiled over the room
    room_.backgrounds[1] = room_.backgrounds[0];
    room_.backgrounds[1].index = 1;  // green foreground, one tile at (24, 24)
    room_.backgrounds[1].foreground = true;
    room_.backgrounds[1].x = 24, room_.backgrounds[1].y = 24;
    room_.backgrounds[1].tile_h = room_.backgrounds[1].tile_v = false;
    // A green tile above the red instance (depth -5 < 0) and one below it (depth 5).
    room_.tiles.push_back({10, 10, 1, 0, 0, 4, 4, -5, 10000001});
    room_.tiles.push_back({0, 0, 1, 0, 0, 6, 6, 5, 10000002});
    room_.instances.push_back({8, 8, 1, 100001, ""});  // red at 8..11
    room_.instances.push_back({0, 0, 1, 100002, ""});  // red at 0..3, over the deep tile
    room_.instances.push_back({1, 1, 2, 100003, ""});  // yellow at 1..4, in front of both
    TBitmap32 p = Run(g);
    ExpectPixels(p, {
                        {20, 4, kBlue},
                        {8, 8, kRed},
                        {10, 10, kGreen},
                        {13, 13, kGreen},
                        {0, 0, kRed},
                        {5, 5, kGreen},
                        {2, 2, 0x00FFFF},
                        {24, 24, kGreen},
                        {31, 31, kGreen},
                        {23, 31, kBlue},
                    });
}

// A view of the room's right half shown at twice its size; the mouse maps back through it.
TEST_F(RoomDrawTest, ViewsScaleTheirPortsAndMapTheMouse) {
    GameWriter g = Game(200, 100, "");
    CObject probe;
    probe.events[kEventStep][0] = Code(
        "show_debug_message(string(mouse_x) + ' ' + string(mouse_y) + ' ' + "
        "string(window_get_region_width()))");
    g.Add("obj_probe", probe);
    room_.views_enabled = true;
    CView& v = room_.views[0];
    v.visible = true;
    v.xview = 100, v.yview = 0, v.wview = 50, v.hview = 50;
    v.xport = 0, v.yport = 0, v.wport = 100, v.hport = 100;
    room_.background_color = 0x202020;
    // Red at 110..113: the quad's half-pixel shift is in room units, so the port shows it at
    // 19..26.
    room_.instances.push_back({110, 10, 1, 100001, ""});
    room_.instances.push_back({10, 10, 1, 100002, ""});  // outside the view
    room_.instances.push_back({0, 0, 2, 100003, ""});
    TBitmap32 p = Run(g, 1, "0 mouse move 24 24\n");
    ASSERT_EQ(p.Width(), 100);
    ASSERT_EQ(p.Height(), 100);
    ExpectPixels(p, {{19, 19, kRed}, {26, 26, kRed}, {27, 27, 0x202020}, {18, 18, 0x202020}});
    EXPECT_EQ(out_, "112 12 100\n");
}

TEST_F(RoomDrawTest, SurfacesAreDrawnIntoReadAndCopied) {
    GameWriter g = Game(64, 48, R"(
        s = surface_create(16, 16);
        t = surface_create(8, 8);
        surface_set_target(s);
        draw_clear(c_blue);
        draw_set_color(c_yellow); draw_point(3, 3); draw_rectangle(8, 0, 15, 7, 0);
        show_debug_message(string(surface_set_target(s)) + ' ' + string(surface_getpixel(s, 3, 3)));
        surface_reset_target();
        surface_copy_part(t, -2, 0, s, 6, 0, 8, 8);  // lands at 0: columns 8.. of s
        draw_surface(s, 40, 0);
        draw_surface_stretched(t, 0, 0, 16, 16);
        show_debug_message(string(surface_reset_target()) + ' ' + string(surface_create(100000000, 4))
            + ' ' + string(surface_create(0, 4)) + ' ' + string(draw_getpixel(43, 3)));
        surface_free(s); surface_free(t);
        show_debug_message(string(surface_exists(s)) + ' ' + string(surface_get_width(s)));
    )");
    TBitmap32 p = Run(g);
    ExpectPixels(
        p, {{40, 0, kBlue}, {43, 3, 0x00FFFF}, {50, 2, 0x00FFFF}, {1, 1, 0x00FFFF}, {20, 20, 0}});
    EXPECT_EQ(out_, "1 65535\n0 -1 -1 65535\n0 -1\n");
}

// A motion planning grid draws each cell red when forbidden, green when free, at its place in
// the room; a grid id that names nothing draws nothing.
TEST_F(RoomDrawTest, GridDrawShowsForbiddenAndFreeCells) {
    GameWriter g = Game(64, 48, R"(
        g = mp_grid_create(4, 8, 3, 2, 10, 12);
        mp_grid_add_cell(g, 1, 0); mp_grid_add_cell(g, 2, 1); mp_grid_add_cell(g, 2, 0);
        mp_grid_draw(g); mp_grid_draw(g + 1);
    )");
    TBitmap32 p = Run(g);
    constexpr int32_t kGridRed = 255, kGridGreen = 32768;
    ExpectPixels(p, {{5, 9, kGridGreen},    // (0, 0), its top-left pixel
                     {13, 19, kGridGreen},  // (0, 0), its bottom-right pixel
                     {14, 8, kGridRed},     // (1, 0)
                     {14, 20, kGridGreen},  // (1, 1), drawn after (1, 0) over their shared edge
                     {30, 25, kGridRed},    // (2, 0) and (2, 1) as one run
                     {33, 31, kGridRed},
                     // Rectangles include their far edge: the grid's last pixel is at 34, 32.
                     {34, 9, kGridRed},
                     {10, 32, kGridGreen},
                     {3, 9, 0},
                     {35, 9, 0},
                     {10, 33, 0},
                     {10, 7, 0}});
    EXPECT_EQ(err_, "");
}

// Sprites and backgrounds taken from the screen and from surfaces: the area cut to its source,
// origin, frames added at the sprite's size, background removal, the screen made opaque and a
// surface's alpha kept; drawn back, the new frames show.
TEST_F(RoomDrawTest, SpritesAndBackgroundsAreTakenFromTheScreenAndSurfaces) {
    GameWriter g = Game(64, 48, R"(
        draw_set_color(c_red); draw_rectangle(0, 0, 3, 3, 0);
        draw_set_color(c_blue); draw_rectangle(4, 0, 7, 3, 0);  // rows 4.. stay black
        a = sprite_create_from_screen(0, 0, 8, 8, false, false, 2, 3);
        b = sprite_create_from_screen(0, 0, 8, 8, true, false, 0, 0);
        c = sprite_create_from_screen(60, 40, 10, 10, false, false, 0, 0);
        show_debug_message(string(a) + ' ' + string(b) + ' ' + string(c) + ' '
            + string(sprite_create_from_screen(64, 0, 4, 4, 0, 0, 0, 0)) + ' '
            + string(sprite_create_from_screen(0, 0, 0, 4, 0, 0, 0, 0)));
        show_debug_message(sprite_get_name(a) + ' ' + string(sprite_get_width(a))
            + string(sprite_get_height(a)) + string(sprite_get_number(a))
            + string(sprite_get_xoffset(a)) + string(sprite_get_yoffset(a))
            + string(sprite_get_bbox_bottom(a)) + ' ' + string(sprite_get_bbox_bottom(b))
            + string(sprite_get_bbox_right(b)) + ' ' + string(sprite_get_width(c))
            + string(sprite_get_height(c)));
        draw_sprite(a, 0, 40, 40);  // made before the sprite gets more frames
        s = surface_create(10, 6);
        surface_set_target(s); draw_clear_alpha(c_white, 0);
        draw_set_color(c_lime); draw_rectangle(2, 1, 5, 4, 0); surface_reset_target();
        f = sprite_create_from_surface(s, 0, 0, 10, 6, false, false, 0, 0);
        sprite_add_from_surface(a, s, 2, 1, 4, 4, false, false);
        sprite_add_from_screen(a, 0, 0, 4, 4, false, false);
        bg = background_create_from_screen(0, 0, 5, 6, false, false);
        bs = background_create_from_surface(s, 0, 0, 100, 100, false, false);
        show_debug_message(string(f) + ' ' + string(sprite_get_bbox_left(f))
            + string(sprite_get_bbox_top(f)) + string(sprite_get_bbox_right(f))
            + string(sprite_get_bbox_bottom(f)) + ' ' + string(sprite_get_number(a))
            + string(sprite_get_width(a)) + string(sprite_get_bbox_bottom(a)) + ' '
            + background_get_name(bg) + ' ' + string(background_get_width(bg))
            + string(background_get_height(bg)) + ' ' + string(bs) + ' '
            + string(background_get_width(bs)) + string(background_get_height(bs)));
        draw_sprite(a, 1, 20, 10); draw_sprite(a, 2, 20, 30); draw_sprite(f, 0, 40, 0);
        draw_background(bs, 52, 20);
    )");
    TBitmap32 p = Run(g);
    EXPECT_EQ(out_,
              "2 3 4 -1 -1\n"
              "__newsprite2 881237 37 48\n"
              "5 2154 387 __newbackground2 56 3 106\n");
    EXPECT_EQ(err_, "");
    ExpectPixels(p, {{18, 7, 0x00FF00},  // frame 1 of a: the surface's lime, 8 x 8 at (18, 7)
                     {25, 14, 0x00FF00},
                     {18, 27, kRed},  // frame 2: the red corner of the screen, made 8 x 8
                     {25, 34, kRed},
                     {42, 1, 0x00FF00},  // f keeps the surface's transparent pixels
                     {40, 0, 0},
                     {55, 22, 0x00FF00},  // and so does the background
                     {52, 20, 0},
                     {38, 37, kRed},  // frame 0 as taken: red, blue, then black
                     {42, 37, kBlue}});
}

// Ids that name nothing: the defined messages, nothing drawn, the game goes on.
TEST_F(RoomDrawTest, MissingResourcesReportTheirErrors) {
    GameWriter g = Game(16, 16, R"(
        draw_sprite(42, 0, 0, 0); draw_background(-1, 0, 0); draw_surface(7, 0, 0);
        surface_save(7, 'x.png'); screen_save(''); draw_primitive_end();
        draw_set_color(c_white); draw_primitive_begin_texture(pr_trianglelist, 12345);
        draw_vertex(0, 0); draw_vertex(15, 0); draw_vertex(0, 15); draw_primitive_end();
        show_debug_message(string(texture_get_width(-1)) + ' ' + string(texture_exists(99)));
    )");
    TBitmap32 p = Run(g);
    EXPECT_EQ(status_, 0);
    for (const char* text :
         {"Trying to draw non-existing sprite.", "Trying to draw non-existing background.",
          "Trying to use non-existing surface.", "Trying to save screen to empty image file name."})
        EXPECT_NE(err_.find(text), std::string::npos) << text << " in " << err_;
    // A primitive with a texture that does not exist is drawn untextured.
    ExpectPixels(p, {{1, 1, 0xFFFFFF}});
    EXPECT_EQ(out_, "1 0\n");
}

// Saving the screen writes a whole file or none: a missing folder leaves nothing behind.
TEST_F(RoomDrawTest, ScreenSaveWritesWholeFilesOrNone) {
    std::string d = dir_.Path();
    GameWriter g =
        Game(16, 16,
             "draw_clear(c_red); screen_save('" + d + "/a.PNG'); screen_save('" + d +
                 "/missing/b.png'); screen_save_part('" + d + "/c.bmp', 4, 4, 100, 100);");
    Run(g);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(d + "/a.PNG", bytes));
    std::optional<TBitmap32> a = DecodePng(bytes);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->Width(), 16);
    EXPECT_EQ(a->GetPixel(3, 3), (Bgra{0, 0, 255, 255}));
    EXPECT_FALSE(FileExists(d + "/missing/b.png"));
    EXPECT_FALSE(FileExists(d + "/missing"));
    ASSERT_TRUE(ReadWholeFile(d + "/c.bmp", bytes));
    EXPECT_EQ(bytes[0], 'B');  // a bitmap of the part inside the picture
    std::optional<TBitmap32> c = DecodeBmp(bytes);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->Width(), 12);
}

}  // namespace
}  // namespace kr
