// bench_events: whole steps of a game with rooms of 1,000, 4,000, 16,000 and 64,000 moving
// instances of two objects, run headless through the runner's own pieces: step events (code that
// bounces the instances off the room's edges), motion (friction, gravity, position by speed), and
// the collision phase with the collision events between the two objects. The room grows with the
// count, so the density stays the same. It prints steps per second and how the cost of a step
// grows per 4x more instances (4.0x is linear), and runs the same update loop in Lua 5.4 (plain
// tables, the same arithmetic, every pair's bounding boxes tested) in the same run, with the
// ratio of the two, up to 16,000 instances (Lua's test of every pair would take minutes for
// one step of 64,000).
//
//   bench_events [processor seconds per size] [one instance count to run alone]
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "code/Code.h"
#include "data/Bitmap32.h"
#include "data/Mask.h"
#include "data/Sprite.h"
#include "library/AllBuiltins.h"
#include "objects/EventTypes.h"
#include "objects/InstanceOps.h"
#include "platform/Files.h"
#include "runner/GameWriter.h"
#include "runner/Runner.h"

using namespace kr;

namespace {

constexpr int32_t kA = 0, kB = 1;
constexpr double kCellPerInstance = 64;  // one instance per 64 x 64 pixels
constexpr int kLuaLargest = 16000;       // the largest room the Lua side runs

// The bounce, as both objects' step event.
constexpr const char* kStepCode =
    "if ((x < 0 && hspeed < 0) || (x > global.w && hspeed > 0)) hspeed = -hspeed;\n"
    "if ((y < 0 && vspeed < 0) || (y > global.h && vspeed > 0)) vspeed = -vspeed;";
constexpr const char* kHitCode = "global.hits += 1";

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// A w x h sprite with the origin in the middle, rectangular masks.
CSprite MakeSprite(int32_t w, int32_t h) {
    CSprite s;
    TBitmap32 frame(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) frame.Row(y)[x] = Bgra{255, 255, 255, 255};
    s.frames.push_back(std::move(frame));
    s.x_origin = w / 2;
    s.y_origin = h / 2;
    s.mask_params.shape = MaskShape::kRectangle;
    s.BuildMasks();
    return s;
}

CAction CodeAction(const char* code) {
    CAction a;
    a.kind = CAction::kCode;
    a.exec_type = CAction::kExecCode;
    a.arg_count = 1;
    a.arg_texts[0] = code;
    return a;
}

std::vector<uint8_t> MakeGame() {
    GameWriter w;
    w.Add("spr_a", MakeSprite(16, 16));
    w.Add("spr_b", MakeSprite(12, 12));
    for (int32_t o : {kA, kB}) {
        CObject obj;
        obj.sprite = o;
        obj.events[kEventStep][0].actions.push_back(CodeAction(kStepCode));
        obj.events[kEventCollision][o == kA ? kB : kA].actions.push_back(CodeAction(kHitCode));
        w.Add(o == kA ? "obj_a" : "obj_b", obj);
    }
    return w.WriteGameFile();
}

struct Game {
    std::string path;
    Platform platform = MakeHeadlessPlatform();
    std::unique_ptr<Runner> runner;
    double size = 0;
};

void Exec(Runner& r, const std::string& text) {
    CCode code(text, false);
    if (!code.Compile(r.GetRuntime())) std::abort();
    std::unique_ptr<CInstance> temp = r.NewTemporaryInstance();
    RValue result;
    r.GetRuntime().ExecuteReporting(code, temp.get(), temp.get(), result);
}

// A prepared game with `count` instances, half of each object, at random places with random
// velocities (the same for the Lua side, from the same generator).
std::unique_ptr<Game> MakeRoom(const std::string& path, int count, uint32_t seed,
                               std::vector<double>& start) {
    auto g = std::make_unique<Game>();
    RunnerOptions o;
    o.game_path = path;
    o.register_functions = RegisterAllBuiltins;
    g->runner = std::make_unique<Runner>(g->platform, std::move(o));
    Runner& r = *g->runner;
    if (r.LoadGameData() != LoadResult::kLoaded || !r.PrepareGame()) std::abort();
    r.BuildEventLists();
    g->size = std::sqrt(double(count)) * kCellPerInstance;
    Exec(r, "global.hits = 0; global.w = " + std::to_string(g->size) +
                "; global.h = " + std::to_string(g->size));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> pos(0, g->size), dir(0, 360), speed(1, 3);
    start.clear();
    for (int k = 0; k < count; ++k) {
        const double x = pos(rng), y = pos(rng), s = speed(rng), d = dir(rng);
        CInstance* inst = InstanceCreate(r.Instancing(), k % 2, x, y);
        inst->SetSpeed(s);
        inst->SetDirection(d);
        start.insert(start.end(), {double(k % 2), x, y, inst->HSpeed(), inst->VSpeed()});
    }
    return g;
}

// Processor time spent in the step events and in the collision phase.
struct Split {
    double events = 0;
    double collide = 0;
};

// One step: previous positions, step events, motion, collision phase.
void Step(Runner& r, Split& split) {
    InstanceList& room = r.Instances();
    const int32_t n = room.Count();
    // As the runner's own walks, a few instances ahead of the one updated.
    for (int32_t k = 0; k < n; ++k) {
        if (CInstance* ahead = room.At(k + kPrefetchAhead)) ahead->Prefetch();
        CInstance& i = *room.At(k);
        i.xprevious = i.X();
        i.yprevious = i.Y();
    }
    EventDispatch& ev = r.Events();
    const double t0 = CpuSeconds();
    ev.PerformForResponders(kEventStep, 0);
    const double t1 = CpuSeconds();
    for (int32_t k = 0; k < n; ++k) {
        if (CInstance* ahead = room.At(k + kPrefetchAhead)) ahead->Prefetch();
        CInstance& i = *room.At(k);
        if (i.deleted) continue;
        i.ApplyFrictionAndGravity();
        i.SetPosition(i.X() + i.HSpeed(), i.Y() + i.VSpeed());
    }
    const double t2 = CpuSeconds();
    r.HandleCollisions();
    split.events += t1 - t0;
    split.collide += CpuSeconds() - t2;
}

// The same loop in Lua: instances as tables, the bounce, the motion, and every pair of an A and
// a B tested by their bounding boxes (rounded as the runner rounds them), each meeting counting
// two events. Reads the instances from a file; prints steps, seconds and hits per step.
constexpr const char* kLuaProgram = R"LUA(
local path, size, budget = arg[1], tonumber(arg[2]), tonumber(arg[3])
local as, bs = {}, {}
for line in io.lines(path) do
  local o, x, y, hs, vs = line:match("(%S+) (%S+) (%S+) (%S+) (%S+)")
  local inst = {x = tonumber(x), y = tonumber(y), hs = tonumber(hs), vs = tonumber(vs)}
  if o == "0" then inst.w, inst.ox = 16, 8; as[#as + 1] = inst
  else inst.w, inst.ox = 12, 6; bs[#bs + 1] = inst end
end
local floor = math.floor
local function round(v) return floor(v + 0.5) end
local function step(list)
  for k = 1, #list do
    local i = list[k]
    i.xp, i.yp = i.x, i.y
    if (i.x < 0 and i.hs < 0) or (i.x > size and i.hs > 0) then i.hs = -i.hs end
    if (i.y < 0 and i.vs < 0) or (i.y > size and i.vs > 0) then i.vs = -i.vs end
    i.x, i.y = i.x + i.hs, i.y + i.vs
    i.l, i.t = round(i.x - i.ox), round(i.y - i.ox)
    i.r, i.b = round(i.x - i.ox + i.w - 1), round(i.y - i.ox + i.w - 1)
  end
end
local hits, steps = 0, 0
local start = os.clock()
repeat
  step(as); step(bs)
  for k = 1, #as do
    local i = as[k]
    local l, t, r, b = i.l, i.t, i.r, i.b
    for m = 1, #bs do
      local j = bs[m]
      if j.l < r + 1 and l < j.r + 1 and j.t < b + 1 and t < j.b + 1 then hits = hits + 2 end
    end
  end
  steps = steps + 1
until os.clock() - start >= budget
print(steps, os.clock() - start, hits / steps)
)LUA";

struct Side {
    int steps = 0;
    double seconds = 0;
    double events_per_step = 0;
};

Side RunLua(const std::string& dir, const std::vector<double>& start, double size, double budget) {
    std::string data;
    for (size_t k = 0; k < start.size(); k += 5) {
        char line[160];
        std::snprintf(line, sizeof line, "%.0f %.17g %.17g %.17g %.17g\n", start[k], start[k + 1],
                      start[k + 2], start[k + 3], start[k + 4]);
        data += line;
    }
    const std::string data_path = dir + "/instances.txt", program = dir + "/bench.lua";
    WriteFileAtomically(data_path, {reinterpret_cast<const uint8_t*>(data.data()), data.size()});
    WriteFileAtomically(program, {reinterpret_cast<const uint8_t*>(kLuaProgram),
                                  std::string_view(kLuaProgram).size()});
    const std::string cmd = "lua5.4 '" + program + "' '" + data_path + "' " + std::to_string(size) +
                            " " + std::to_string(budget);
    Side s;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return s;
    if (std::fscanf(p, "%d %lf %lf", &s.steps, &s.seconds, &s.events_per_step) != 3) s.steps = 0;
    pclose(p);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const double budget = argc > 1 ? std::atof(argv[1]) : 2.0;
    const int only = argc > 2 ? std::atoi(argv[2]) : 0;  // for profiling one size
    char dir_template[] = "/tmp/kr_bench_events_XXXXXX";
    const char* dir = mkdtemp(dir_template);
    if (!dir) return 1;
    const std::string path = std::string(dir) + "/game.exe";
    const std::vector<uint8_t> game = MakeGame();
    WriteFileAtomically(path, game);

    std::printf("%10s | %7s %9s %8s %9s %10s %11s %7s | %7s %9s %7s | %7s\n", "instances", "steps",
                "steps/s", "ms/step", "step evs", "collision", "events/step", "growth", "lua stp",
                "lua stp/s", "growth", "ratio");
    std::optional<double> previous, previous_lua;
    for (int count : {1000, 4000, 16000, 64000}) {
        if (only && count != only) continue;
        std::vector<double> start;
        std::unique_ptr<Game> g = MakeRoom(path, count, 1234, start);
        Runner& r = *g->runner;
        int steps = 0;
        double seconds = 0;
        Split split;
        const double t0 = CpuSeconds();
        while (steps < 10 || seconds < budget) {
            Step(r, split);
            ++steps;
            seconds = CpuSeconds() - t0;
        }
        RValue hits;
        r.GetRuntime().ReadVariable(kOwnerGlobal, r.GetRuntime().Names().Find("hits"), 0, nullptr,
                                    nullptr, hits);
        const double per_step = seconds / steps;
        const Side lua = count <= kLuaLargest ? RunLua(dir, start, g->size, budget) : Side{};
        const double lua_per_step = lua.steps ? lua.seconds / lua.steps : 0;

        char growth[16] = "-", lua_growth[16] = "-", ratio[16] = "-";
        if (previous) std::snprintf(growth, sizeof growth, "%.2fx", per_step / *previous);
        if (previous_lua && lua.steps)
            std::snprintf(lua_growth, sizeof lua_growth, "%.2fx", lua_per_step / *previous_lua);
        if (lua.steps) std::snprintf(ratio, sizeof ratio, "%.1fx", lua_per_step / per_step);
        std::printf("%10d | %7d %9.1f %8.3f %9.3f %10.3f %11.1f %7s | %7d %9.2f %7s | %7s\n", count,
                    steps, steps / seconds, per_step * 1000, split.events / steps * 1000,
                    split.collide / steps * 1000, ArgReal(hits) / steps, growth, lua.steps,
                    lua.steps ? lua.steps / lua.seconds : 0.0, lua_growth, ratio);
        std::fflush(stdout);
        previous = per_step;
        if (lua.steps) previous_lua = lua_per_step;
    }
    std::printf(
        "times in ms per step; step evs and collision: the step events and the collision phase "
        "alone\nratio: Lua's time per step over the runner's (above 1: the runner is faster)\n");
    RemoveDirectoryTree(dir);
    return 0;
}
