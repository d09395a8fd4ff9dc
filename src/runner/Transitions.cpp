// Capturing the two images of a room change and playing the transition between them.
#include "runner/Transitions.h"

#include <algorithm>
#include <memory>

#include "graphics/Transition.h"
#include "runner/Runner.h"

namespace kr {

bool RoomTransitions::Define(int32_t kind, std::string_view name) {
    int32_t id = runner_.GetRuntime().FindFunction(name);
    if (id < 0) return false;
    if (kind >= 1 && kind < kMaxDefinedKind) defined_[kind] = Defined{id, std::string(name)};
    return true;
}

bool RoomTransitions::Exists(int32_t kind) const {
    return (kind >= 1 && kind <= kBuiltinTransitions) || defined_.contains(kind);
}

void RoomTransitions::Capture(int32_t kind) {
    Discard();
    active_ = kind;
    if (!Exists(kind)) return;
    Graphics& g = runner_.Drawer().Gfx();
    const int32_t w = g.RegionWidth(), h = g.RegionHeight();
    from_ = g.SurfaceCreate(w, h);
    if (from_ < 0) {
        active_ = -1;
        return;
    }
    g.SurfaceSetTarget(from_);
    // The draw events of the room being left run once more, for this image.
    int32_t request = runner_.RoomRequest();
    runner_.SetRoomRequest(kNoRoomRequest);
    runner_.Drawer().DrawFrame();
    runner_.SetRoomRequest(request);
    to_ = g.SurfaceCreate(w, h);
    if (to_ < 0) {
        Discard();
        return;
    }
    g.SurfaceSetTarget(to_);
}

void RoomTransitions::Discard() {
    Graphics& g = runner_.Drawer().Gfx();
    if (to_ >= 0 && g.CurrentTarget() == to_) g.SurfaceResetTarget();
    g.SurfaceFree(from_);
    g.SurfaceFree(to_);
    from_ = to_ = -1;
    active_ = -1;
}

void RoomTransitions::Run(int32_t steps, const std::function<bool()>& frame_shown) {
    RoomDraw& drawer = runner_.Drawer();
    if (!Captured() || !Exists(active_)) {
        Discard();
        drawer.PresentFrame();
        return;
    }
    Graphics& g = drawer.Gfx();
    g.SurfaceResetTarget();
    g.ResetProjection();
    g.SetDepth(0);
    const int32_t w = g.RegionWidth(), h = g.RegionHeight();
    steps = std::max(steps, 1);
    auto defined = defined_.find(active_);
    for (int32_t i = 0; i <= steps; ++i) {
        double f = double(i) / steps;
        if (defined != defined_.end())
            DrawDefined(defined->second, w, h, f);
        else
            DrawTransitionFrame(g, active_, from_, to_, w, h, f, steps);
        drawer.PresentFrame();
        if (frame_shown && !frame_shown()) break;
    }
    Discard();
}

// A defined kind's function draws the frame, called for a temporary instance with the two
// surfaces, the size and the moment. A failing call is reported and the animation goes on.
void RoomTransitions::DrawDefined(const Defined& d, int32_t w, int32_t h, double f) {
    Runtime& rt = runner_.GetRuntime();
    std::unique_ptr<CInstance> self = runner_.NewTemporaryInstance();
    const RValue args[5] = {RValue(double(from_)), RValue(double(to_)), RValue(double(w)),
                            RValue(double(h)), RValue(f)};
    RValue result;
    bool ok = true;
    if (d.function >= kExtensionIdBase)
        ok = rt.Host().CallExtension(rt, d.function - kExtensionIdBase, self.get(), self.get(), 5,
                                     args, result);
    else if (d.function >= kScriptIdBase && rt.ScriptExists(d.function - kScriptIdBase))
        ok = rt.CallScript(d.function - kScriptIdBase, self.get(), self.get(), result, args, 5);
    if (ok) return;
    std::string text = rt.ErrorText();
    rt.ClearError();
    rt.ShowError("ERROR in transition function " + d.name + "\r" + text, false);
}

}  // namespace kr
