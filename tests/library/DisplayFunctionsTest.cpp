// The display functions on the stand-in display of a window that is never shown: a mode change
// finds the closest mode of its fixed list, becomes the mode of the full screen, and
// display_reset goes back to the desktop's; screen_wait_vsync does not move the virtual clock.
#include <gtest/gtest.h>

#include "support/ScriptRunner.h"

namespace kr {
namespace {

// Each line runs after the ones before it and shows the mode the display has then.
TEST(DisplayFunctions, ModeChangesOnTheStandInDisplay) {
    test::ScriptRunner run;
    auto mode = [&] {
        return test::Show(
            run.Run("return string(display_get_width()) + 'x' + "
                    "string(display_get_height()) + 'x' + "
                    "string(display_get_colordepth()) + '@' + "
                    "string(display_get_frequency())"));
    };
    struct Step {
        const char* code;
        double result;
        const char* mode;
    } steps[] = {
        // Windowed, a set only keeps the mode for the full screen.
        {"return display_set_size(800, 600)", 1, "\"1024x768x32@60\""},
        {"window_set_fullscreen(true); return 1", 1, "\"800x600x32@60\""},
        {"return display_set_all(-1, -1, -1, 16)", 1, "\"800x600x16@60\""},
        {"return display_set_all(-1, -1, 75, 32)", 1, "\"800x600x32@75\""},
        // The smallest mode at least as large as asked for.
        {"return display_set_size(700, 500)", 1, "\"800x600x32@75\""},
        {"return display_set_size(1280, 700)", 1, "\"1280x720x32@60\""},
        {"return display_set_colordepth(16)", 1, "\"1280x720x16@60\""},
        {"return display_set_frequency(60)", 1, "\"1280x720x16@60\""},
        // No mode is that large: nothing changes.
        {"return display_set_size(4000, 3000)", 0, "\"1280x720x16@60\""},
        {"return display_set_all(2000, -1, -1, -1)", 0, "\"1280x720x16@60\""},
        {"return display_test_all(1920, 1080, 60, 32)", 1, "\"1280x720x16@60\""},
        {"return display_test_all(1920, 1200, -1, -1)", 0, "\"1280x720x16@60\""},
        {"display_reset(); return 1", 1, "\"1024x768x32@60\""},
        {"return display_set_size(320, 240)", 1, "\"320x240x32@60\""},
        {"window_set_fullscreen(false); return 1", 1, "\"1024x768x32@60\""},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(test::Show(run.Run(s.code)), test::Show(RValue(s.result))) << s.code;
        EXPECT_EQ(mode(), s.mode) << s.code;
    }
    EXPECT_EQ(run.LastError(), "");
}

TEST(DisplayFunctions, WaitingForTheDisplayTakesNoTimeHeadless) {
    test::ScriptRunner run;
    EXPECT_EQ(test::Show(run.Run("t = current_time; screen_wait_vsync(); screen_wait_vsync();"
                                 "return current_time - t")),
              "0");
}

}  // namespace
}  // namespace kr
