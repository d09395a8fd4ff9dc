#include "debugger/DebugWindowFace.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "data/Bitmap32.h"
#include "data/ImageCodecs.h"
#include "platform/Text.h"
#include "platform/UserStore.h"
#include "runner/Runner.h"

namespace kr {

namespace {

constexpr size_t kMaxMessages = 2000;
constexpr int64_t kMaxArrayRows = 64;
// While the game runs the window is drawn at most this often (microseconds).
constexpr int64_t kDrawInterval = 1000000 / 30;

int64_t NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string Number(double v) {
    return Debugger::Show(RValue(v));
}

}  // namespace

// The run's clock as the speed control sees it: time passes `factor` times as fast, so the loop
// that holds the room speed with it steps that much faster (and the game's clock agrees);
// factor 0 never waits.
class ScaledClock final : public Clock {
public:
    explicit ScaledClock(std::unique_ptr<Clock> inner) : inner_(std::move(inner)) {}
    std::unique_ptr<Clock> Release() { return std::move(inner_); }
    void SetFactor(double factor) {
        const int64_t now = Microseconds();
        base_inner_ = inner_->Microseconds();
        base_out_ = now;
        skipped_ = 0;
        factor_ = factor;
    }
    int64_t Microseconds() override {
        const int64_t passed = inner_->Microseconds() - base_inner_;
        return base_out_ + skipped_ +
               (factor_ <= 0 || factor_ == 1 ? passed : int64_t(double(passed) * factor_));
    }
    void Sleep(int64_t us) override {
        if (factor_ <= 0)
            skipped_ += std::max<int64_t>(us, 0);
        else
            inner_->Sleep(factor_ == 1 ? us : int64_t(double(us) / factor_));
    }
    uint32_t Seed() override { return inner_->Seed(); }
    double LocalDateTime() override { return inner_->LocalDateTime(); }

private:
    std::unique_ptr<Clock> inner_;
    double factor_ = 1;
    int64_t base_inner_ = 0, base_out_ = 0, skipped_ = 0;
};

DebugWindowFace::DebugWindowFace(Debugger& debugger, Runner& runner,
                                 std::unique_ptr<DebugWindow> window, DebugWindowOptions options)
    : debugger_(debugger),
      runner_(runner),
      window_(std::move(window)),
      options_(std::move(options)) {
    debugger_.SetFace(this);
    debugger_.SetStopOnErrors(options_.stop_on_errors);
    runner_.Loop().measure_step_times = true;
    std::unique_ptr<Clock>& clock = runner_.GetPlatform().clock;
    if (clock) {
        auto scaled = std::make_unique<ScaledClock>(std::move(clock));
        clock_ = scaled.get();
        clock = std::move(scaled);
    }
}

DebugWindowFace::~DebugWindowFace() {
    debugger_.SetFace(nullptr);
    runner_.Loop().measure_step_times = false;
    if (clock_) runner_.GetPlatform().clock = clock_->Release();
}

bool DebugWindowFace::EnsureOpen() {
    if (open_) return true;
    if (failed_) return false;
    std::string error;
    if (!window_ || !window_->Open(error)) {
        failed_ = true;
        std::fprintf(stderr, "korvane: no debugger window: %s\n", error.c_str());
        return false;
    }
    open_ = true;
    return true;
}

void DebugWindowFace::Output(const std::string& category, const std::string& text) {
    const int64_t step = runner_.Loop().StepCount();
    messages_.push_back("[" + std::to_string(step) + "] " +
                        (category == "stderr" ? "error: " : "") + text);
    if (messages_.size() > kMaxMessages)
        messages_.erase(messages_.begin(), messages_.begin() + (messages_.size() - kMaxMessages));
}

void DebugWindowFace::Poll() {
    if (in_frame_) return;
    if (!watches_loaded_) LoadWatches();
    if (step_game_) {
        // One step was asked for: hold the game again after it.
        step_game_ = false;
        debugger_.Pause();
    }
    EvaluateWatches();
    const int64_t step = runner_.Loop().StepsRun() - 1;
    bool shot = false;
    for (const auto& [when, file] : options_.screenshots) shot |= when == step;
    const int64_t now = NowUs();
    if (!shot && !options_.draw_every_step && last_draw_us_ >= 0 &&
        now - last_draw_us_ < kDrawInterval)
        return;
    last_draw_us_ = now;
    if (!EnsureOpen()) return;
    state_ = "running";
    Frame();
    if (shot) TakeScreenshots(step);
}

void DebugWindowFace::TakeScreenshots(int64_t step) {
    for (const auto& [when, file] : options_.screenshots) {
        if (when != step) continue;
        // A few frames first: the panels settle their sizes over the first ones.
        for (int i = 0; i < 3; ++i) Frame();
        std::vector<uint8_t> rgba;
        Frame(&rgba);
        const int32_t w = window_->Width(), h = window_->Height();
        TBitmap32 picture(w, h);
        if (picture.Empty() || rgba.size() != picture.ByteSize()) {
            std::fprintf(stderr, "korvane: no picture of the debugger window for step %lld\n",
                         static_cast<long long>(step));
            continue;
        }
        uint8_t* out = picture.Bytes();
        for (size_t i = 0; i < picture.PixelCount(); ++i) {
            out[i * 4 + 0] = rgba[i * 4 + 2];
            out[i * 4 + 1] = rgba[i * 4 + 1];
            out[i * 4 + 2] = rgba[i * 4 + 0];
            out[i * 4 + 3] = 255;
        }
        if (!SavePngFile(picture, file))
            std::fprintf(stderr, "korvane: cannot write the screenshot %s\n", file.c_str());
    }
}

void DebugWindowFace::WhileStopped(const std::string& reason, const std::string& text) {
    stopped_ = true;
    released_ = false;
    state_ = reason == "exception" ? "stopped at an error: " + text
             : reason == "pause"   ? "paused"
                                   : "stopped (" + reason + ")";
    if (!EnsureOpen()) {
        // Nobody can let the game go on: it goes on by itself.
        debugger_.Continue();
        stopped_ = false;
        return;
    }
    EvaluateWatches();
    while (!released_) {
        if (Frame()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    stopped_ = false;
    state_ = "running";
}

bool DebugWindowFace::Frame(std::vector<uint8_t>* capture) {
    in_frame_ = true;
    std::vector<DebugRequest> requests;
    const DebugView view = BuildView();
    window_->Frame(view, requests, capture);
    bool released = false;
    for (const DebugRequest& r : requests) released |= Apply(r);
    in_frame_ = false;
    return released;
}

bool DebugWindowFace::Apply(const DebugRequest& r) {
    using Kind = DebugRequest::Kind;
    switch (r.kind) {
        case Kind::kContinue:
            if (!stopped_) return false;
            debugger_.Continue();
            return released_ = true;
        case Kind::kPause:
            if (!stopped_) debugger_.Pause();
            return false;
        case Kind::kStep:
            if (!stopped_) {
                debugger_.Pause();
                return false;
            }
            if (debugger_.InCode()) {
                debugger_.StepOver();
            } else {
                step_game_ = true;
                debugger_.Continue();
            }
            return released_ = true;
        case Kind::kStepIn:
            if (!stopped_) return false;
            debugger_.StepIn();
            return released_ = true;
        case Kind::kStepOut:
            if (!stopped_) return false;
            debugger_.StepOut();
            return released_ = true;
        case Kind::kStop:
        case Kind::kClose:
            // Closing the window ends the game as closing the game's window does.
            debugger_.Stop();
            if (stopped_) released_ = true;
            return stopped_;
        case Kind::kChoose:
            chosen_ = r.id;
            EvaluateWatches();
            return false;
        case Kind::kSetVariable: {
            std::string error, shown;
            const std::string scope = r.global ? "global" : std::to_string(chosen_);
            if (!r.global && chosen_ == 0) return false;
            if (!debugger_.SetVariable(scope, 0, r.name, r.text, error, shown))
                code_result_ = r.name + ": " + error;
            else
                code_result_ = r.name + " = " + shown;
            EvaluateWatches();
            return false;
        }
        case Kind::kRunCode: {
            RValue result;
            std::string error;
            if (debugger_.Evaluate(r.text, -1, r.global ? 0 : chosen_, result, error, true))
                code_result_ = "> " + r.text + "\n= " + Debugger::Show(result);
            else
                code_result_ = "> " + r.text + "\n" + error;
            EvaluateWatches();
            return false;
        }
        case Kind::kAddWatch:
            watches_.push_back({r.text, "", r.global});
            SaveWatches();
            EvaluateWatches();
            return false;
        case Kind::kEditWatch:
            if (r.index >= 0 && size_t(r.index) < watches_.size()) {
                watches_[size_t(r.index)].expression = r.text;
                SaveWatches();
                EvaluateWatches();
            }
            return false;
        case Kind::kRemoveWatch:
            if (r.index >= 0 && size_t(r.index) < watches_.size()) {
                watches_.erase(watches_.begin() + r.index);
                SaveWatches();
            }
            return false;
        case Kind::kSpeed:
            speed_mode_ = r.id;
            speed_factor_ = std::clamp(r.number, 0.1, 10.0);
            ApplySpeed();
            return false;
    }
    return false;
}

void DebugWindowFace::ApplySpeed() {
    if (clock_) clock_->SetFactor(speed_mode_ == 2 ? 0 : speed_mode_ == 1 ? speed_factor_ : 1);
}

void DebugWindowFace::EvaluateWatches() {
    for (Watch& w : watches_) {
        RValue v;
        std::string error;
        if (!w.global && chosen_ == 0) {
            w.value = "(no instance chosen)";
            continue;
        }
        w.value = debugger_.Evaluate(w.expression, -1, w.global ? 0 : chosen_, v, error)
                      ? Debugger::Show(v)
                      : error;
    }
}

std::string DebugWindowFace::StoreKey() {
    // The game's path names it (its separators make nested keys, which is as good).
    return "Software\\Korvane\\Debugger\\" +
           (options_.game_key.empty() ? std::to_string(runner_.Game().game_id) : options_.game_key);
}

void DebugWindowFace::LoadWatches() {
    watches_loaded_ = true;
    UserStore store(options_.store_folder);
    std::optional<StoreValue> v = store.Read(UserStore::kCurrentUser, StoreKey(), "watches");
    if (!v || !v->is_string) return;
    // One watch a line: "g " or "i " (global or for the chosen instance), then the expression.
    size_t at = 0;
    const std::string& text = v->str;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        if (line.size() > 2) watches_.push_back({line.substr(2), "", line[0] == 'g'});
        at = end + 1;
    }
}

void DebugWindowFace::SaveWatches() {
    std::string text;
    for (const Watch& w : watches_) {
        std::string e = w.expression;
        for (char& c : e)
            if (c == '\n' || c == '\r') c = ' ';
        text += (w.global ? "g " : "i ") + e + "\n";
    }
    StoreValue value;
    value.is_string = true;
    value.str = text;
    UserStore(options_.store_folder).Write(UserStore::kCurrentUser, StoreKey(), "watches", value);
}

DebugView DebugWindowFace::BuildView() {
    DebugView v;
    GameLoop& loop = runner_.Loop();
    debugger_.ForgetChildren();
    v.stopped = stopped_;
    v.state = state_;
    const auto rows = debugger_.Instances();
    bool chosen_exists = false;
    for (const Debugger::InstanceRow& r : rows) {
        v.instances.push_back({std::to_string(r.id), r.object, Number(r.x), Number(r.y),
                               Number(r.depth), std::to_string(r.sprite), Number(r.image_index)});
        v.instance_ids.push_back(r.id);
        chosen_exists |= r.id == chosen_;
    }
    if (!chosen_exists) chosen_ = 0;
    v.chosen = chosen_;
    char stats[256];
    std::snprintf(stats, sizeof stats, "fps %d   step %lld   room %s   instances %zu",
                  int(loop.Fps()), static_cast<long long>(loop.StepCount()),
                  std::string(runner_.Game().rooms.Name(loop.RoomIndex())).c_str(), rows.size());
    v.stats = stats;
    const GameLoop::StepTimes& t = loop.step_times;
    std::snprintf(stats, sizeof stats,
                  "step time %.2f ms: events %.2f ms, collisions %.2f ms, drawing %.2f ms",
                  double(t.events + t.collisions + t.drawing) / 1000, double(t.events) / 1000,
                  double(t.collisions) / 1000, double(t.drawing) / 1000);
    v.times = stats;
    if (stopped_ && debugger_.InCode())
        for (const StackEntry& e : debugger_.Stack())
            v.stack.push_back(e.name + (e.line > 0 ? " line " + std::to_string(e.line) : ""));
    auto add = [&](std::vector<DebugViewVariable>& out, const std::vector<VariableEntry>& list) {
        for (const VariableEntry& e : list) {
            out.push_back({e.name, e.value, 0, e.children == 0});
            if (e.children == 0) continue;
            int64_t n = 0;
            for (const VariableEntry& c : debugger_.Children(e.children)) {
                if (++n > kMaxArrayRows) {
                    out.push_back({"...", "", 1, false});
                    break;
                }
                out.push_back({c.name, c.value, 1, false});
            }
        }
    };
    if (ScriptInstance* inst = chosen_ ? debugger_.FindInstance(chosen_) : nullptr)
        add(v.variables, debugger_.InstanceVariables(inst));
    add(v.globals, debugger_.Globals());
    for (const Watch& w : watches_) v.watches.push_back({w.expression, w.value, w.global});
    v.messages = messages_;
    v.code_result = code_result_;
    v.speed_mode = speed_mode_;
    v.speed_factor = speed_factor_;
    return v;
}

}  // namespace kr
