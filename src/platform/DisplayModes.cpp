// Display modes: choosing the closest mode the display offers, and the stand-in display of a
// window that is never shown (headless runs), whose modes are a fixed list so that a game's mode
// changes succeed and fail the same way on every machine.
#include "platform/Platform.h"

namespace kr {

bool ClosestDisplayMode(std::span<const DisplayMode> modes, const DisplayMode& want,
                        DisplayMode& found) {
    const DisplayMode* match = nullptr;
    for (const DisplayMode& m : modes) {
        // Sorted by size, largest first: past the wanted width nothing is large enough.
        if (m.width < want.width) break;
        // Wide enough but not tall enough (another aspect ratio).
        if (m.height < want.height) {
            if (m.width == want.width) break;
            continue;
        }
        if (!match || m.width < match->width || m.height < match->height) {
            match = &m;
            continue;
        }
        if (m.depth != match->depth) {
            // Sorted deepest first: keep going down while deep enough.
            if (m.depth >= want.depth) match = &m;
            continue;
        }
        // Sorted fastest first: keep going down while fast enough.
        if (m.frequency != match->frequency && m.frequency >= want.frequency) match = &m;
    }
    if (!match) return false;
    found = *match;
    return true;
}

std::vector<DisplayMode> GameWindow::DisplayModes() {
    struct Size {
        int32_t width, height;
        bool also_75hz;
    };
    static constexpr Size kSizes[] = {{1920, 1080, false}, {1280, 1024, true}, {1280, 720, false},
                                      {1024, 768, true},   {800, 600, true},   {640, 480, true},
                                      {320, 240, false}};
    std::vector<DisplayMode> modes;
    for (const Size& s : kSizes) {
        if (s.also_75hz) modes.push_back({s.width, s.height, 32, 75});
        modes.push_back({s.width, s.height, 32, 60});
        modes.push_back({s.width, s.height, 16, 60});
    }
    return modes;
}

DisplayMode GameWindow::DesktopMode() {
    return {1024, 768, 32, 60};
}

void GameWindow::ScreenMode(int32_t& width, int32_t& height, int32_t& depth, int32_t& frequency) {
    DisplayMode m = Fullscreen() ? FullscreenMode() : DesktopMode();
    width = m.width, height = m.height, depth = m.depth, frequency = m.frequency;
}

bool GameWindow::SetFullscreenMode(const DisplayMode& mode) {
    has_fullscreen_mode_ = true;
    fullscreen_mode_ = mode;
    return true;
}

void GameWindow::ResetFullscreenMode() {
    has_fullscreen_mode_ = false;
}

DisplayMode GameWindow::FullscreenMode() {
    return has_fullscreen_mode_ ? fullscreen_mode_ : DesktopMode();
}

}  // namespace kr
