// RoomDraw: the game's display. It makes the graphics device on the game window, draws the
// current room into the window region each frame (background colour and layers, tiles and
// instances merged by depth, foregrounds, the cursor sprite; once per view when views are on,
// following the instances the views track), presents it, lays out the region for each room and
// maps the mouse between the window, the region and the room through the views.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/Graphics.h"
#include "graphics/Text.h"
#include "platform/Platform.h"
#include "runner/Transitions.h"

namespace kr {

class Runner;
class CInstance;
class Runtime;

class RoomDraw {
public:
    explicit RoomDraw(Runner& runner);
    ~RoomDraw();
    RoomDraw(const RoomDraw&) = delete;
    RoomDraw& operator=(const RoomDraw&) = delete;

    Graphics& Gfx() { return graphics_; }
    // The transitions of room changes and the kinds the game defined.
    RoomTransitions& Transitions() { return transitions_; }

    // Start-up, after the window exists: the device and the settings' window state. A windowed
    // game without a device has been told so and gets false; a headless one draws nothing.
    bool Init();
    // Makes the drawing context current again after another window was closed.
    void ResumeDrawing();
    // The end of the run: the device goes before the window.
    void Finish();

    // One frame of the current room into the picture (nothing when there is no room yet).
    void DrawFrame();
    // Shows the picture in the window.
    void PresentFrame();
    // The size in pixels of the window's drawable area (the client size without a context).
    void DrawableSize(int32_t& width, int32_t& height);
    // The region size the current room needs; the window follows it. `width` and `height`
    // become the client size the window should have.
    void RoomRegionSize(int32_t& width, int32_t& height);
    // After step `step` (counted from 0) of the loop: screenshots asked for on the command line.
    void StepDone(int64_t step);
    // Writes the screenshots asked for step `step` from the picture as it is now (also for the
    // frames of a transition, which count as steps of the run).
    void TakeScreenshots(int64_t step);
    // The screenshots asked for steps the run never reached.
    std::vector<std::pair<int64_t, std::string>> UnreachedScreenshots() const;

    // ---- Mouse ----
    // The client area: size, and the mouse relative to it.
    void ClientSize(int32_t& w, int32_t& h);
    // The mouse in the region.
    void MouseRegion(int32_t& x, int32_t& y);
    // The mouse in the room through the view under it (mouse_x, mouse_y).
    void MouseRoom(int32_t& x, int32_t& y);
    // The mouse in the room through view slot `slot`.
    void MouseView(int32_t slot, int32_t& x, int32_t& y);
    // Room position to region position through view slot `slot` (the room position itself
    // when the slot is unusable).
    void RoomToRegion(int32_t slot, double x, double y, int32_t& rx, int32_t& ry) const;
    // Moves the mouse to region position (x, y).
    void SetMouseRegion(int32_t x, int32_t y);
    // The first view slot in use, -1 when none.
    int32_t FirstSlot() const;

    // ---- Window state of the window functions ----
    // Applies full screen, border, icons, sizeable and stay-on-top to the window.
    void ApplyWindowStyle();
    // window_set_region_size / _scale: with a positive scale the window is resized to the
    // scaled region when `adapt`, otherwise only when it is smaller.
    void AdaptWindow(bool adapt);
    // window_default: client size = scaled region, centred on the screen.
    void WindowDefault();
    bool show_border = true, show_icons = true, sizeable = false, stay_on_top = false;
    bool visible = true;
    int32_t cursor = 0;
    std::string caption;
    int32_t view_current = 0;
    int32_t cursor_frame = 0;
    // A tile id never used in this run (above every stored one).
    int32_t NewTileId();
    // Screenshots to write: (step, file).
    std::vector<std::pair<int64_t, std::string>> screenshots;
    int64_t last_step_done = -1;  // the last step TakeScreenshots saw
    // Current font, alignments and the default font of the text functions.
    TextState text;

private:
    struct Slot {
        bool in_use = false;
        double xport = 0, yport = 0, wport = 0, hport = 0;
        double xview = 0, yview = 0, wview = 0, hview = 0, angle = 0;
    };
    bool RegionToRoom(int32_t slot, int32_t x, int32_t y, int32_t& rx, int32_t& ry) const;
    void FollowViews();
    void DrawView(double left, double top, double right, double bottom);
    void DrawLayers(bool foreground, double left, double top, double right, double bottom);
    void DrawInstance(CInstance& inst);
    void UpdateCaption();

    Runner& runner_;
    Graphics graphics_;
    RoomTransitions transitions_{runner_};
    std::array<Slot, 32> slots_{};
    std::vector<CInstance*> order_;
    bool caption_shown_ = false;
    int32_t last_tile_id_ = -1;
};

// Gives view_current its accessor.
void AttachDrawVariables(Runtime& rt);

}  // namespace kr
