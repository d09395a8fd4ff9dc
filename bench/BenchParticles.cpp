// bench_particles: the particle workload of the shared peer benchmarks (j_particles: 10,000 and
// 50,000 live particles of an 8x8 sprite with colour, alpha and size over their life, updated
// and drawn each frame) through korvane and through LOVE 11.4, alternately in one run, each side
// drawing off screen with Mesa's llvmpipe (SDL's offscreen video driver). Prints both frame
// rates as each side measures itself, the ratio (ours / LOVE, above 1 is faster), the processor
// time per measured frame of each side (all threads) with its ratio, and the cost of one update per
// particle measured in-process on the engine alone.
//
//   bench_particles [ROUNDS]    (default 1 round of every workload)
// KR_SHARED_BENCH names the folder of the shared workloads when it is not beside the sources.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "WorkloadGame.h"
#include "code/Random.h"
#include "data/Sprite.h"
#include "objects/EventTypes.h"
#include "particles/Particles.h"
#include "platform/Files.h"
#include "runner/GameWriter.h"

namespace kr {
namespace {

const std::string kShared = bench::SharedBench();
using bench::Code;
using bench::Sections;

// The game: spr_dot, obj_bench once in a 640x480 room.
std::vector<uint8_t> BuildGame(int n) {
    auto s = Sections(kShared + "/ours/j_particles.txt");
    GameWriter w;
    w.room_order = {0};
    CSprite dot;
    dot.LoadFromImageFile(kShared + "/assets/spr_dot.png", 1, false, false, 0, 0);
    dot.BuildMasks();
    w.Add("spr_dot", dot);
    std::string create = s["obj_bench: Create event"];
    const std::string from = "global.n = 10000;";
    if (size_t at = create.find(from); at != std::string::npos)
        create.replace(at, from.size(), "global.n = " + std::to_string(n) + ";");
    CObject bench;
    bench.events[kEventCreate][0] = Code(create);
    bench.events[kEventStep][0] = Code(s["obj_bench: Step event"]);
    w.Add("obj_bench", bench);
    CRoom room;
    room.width = 640, room.height = 480;
    room.speed = 1000000;  // what the workload's room_speed asks for, from the first step
    room.background_color = 26 | 26 << 8 | 51 << 16;
    room.instances.push_back({0, 0, 0, 100001, ""});
    w.Add("room", room);
    return w.WriteGameFile();
}

struct Result {
    double fps = 0, live = 0, ms_per_frame = 0;
};

// Runs a command and reads "live=L frames=F ... fps=X" from what it prints (both sides measure
// themselves the same way: from the later of 1.5 s and step 90, for 5 s), with the processor
// time per measured frame (all threads, over the measured stretch alone: below about 60 fps our
// side's 90 steps of filling take far longer than the peer's 1.5 s, and spreading them over the
// measured frames made our figure look worse the slower both sides ran).
Result Measure(const std::string& command) {
    bench::Report report = bench::RunOffscreen(command, {"fps=", "live=", "frames="});
    Result r;
    r.fps = report["fps="];
    r.live = report["live="];
    if (report["frames="] > 0) r.ms_per_frame = report.window_cpu * 1e3 / report["frames="];
    return r;
}

// Nanoseconds per particle of one update of the workload's system, engine alone.
double UpdateCost(int n) {
    Random rng;
    rng.SetSeed(1);
    ParticleWorld world(rng);
    ParticleSystem& ps = *world.System(world.SystemCreate());
    ParticleType& t = *world.Type(world.TypeCreate());
    t.life_min = t.life_max = 60;
    t.speed_min = 1, t.speed_max = 3;
    t.dir_min = 0, t.dir_max = 360;
    t.color_mode = 2;
    t.color = {0xFFFFFF, 0x00A5FF, 0x0000FF, 0, 0, 0};
    t.alpha1 = 1, t.alpha2 = 0.5, t.alpha3 = 0;
    t.size_incr = -0.5 / 60;
    PEmitter& e = ps.emitters[size_t(AddComponent(ps.emitters))];
    e.xmin = e.xmax = 320, e.ymin = e.ymax = 240;
    e.type = 0, e.number = n / 60;
    for (int i = 0; i < 90; ++i) world.Update(ps);
    const int updates = 300;
    double particles = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < updates; ++i) {
        particles += double(ps.particles.size());
        world.Update(ps);
    }
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
    return ns / particles;
}

}  // namespace
}  // namespace kr

int main(int argc, char** argv) {
    using namespace kr;
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const bool have_love = bench::PeerInstalled("love", "love");
    std::string dir = "/tmp/kr_bench_particles";
    std::system(("mkdir -p " + dir).c_str());
    const int counts[] = {10000, 50000};
    std::printf("%-11s %6s %9s %9s %9s %9s %7s %10s %10s %9s %16s\n", "workload", "N", "ours live",
                "LOVE live", "ours fps", "LOVE fps", "ratio", "ours ms/f", "LOVE ms/f", "cpu ratio",
                "ns/particle upd");
    for (int round = 0; round < rounds; ++round) {
        for (int n : counts) {
            std::string game = dir + "/j_particles_" + std::to_string(n) + ".exe";
            if (!WriteFileAtomically(game, BuildGame(n))) {
                std::fprintf(stderr, "cannot write %s\n", game.c_str());
                return 1;
            }
            Result ours = Measure(std::string(KR_KORVANE) + " run " + game);
            Result love = have_love ? Measure("timeout 60 love " + kShared + "/love/j_particles " +
                                              std::to_string(n) + " 5")
                                    : Result{};
            std::printf(
                "%-11s %6d %9.0f %9.0f %9.1f %9.1f %7.2f %10.2f %10.2f %9.2f %16.1f\n",
                "j_particles", n, ours.live, love.live, ours.fps, love.fps,
                love.fps > 0 ? ours.fps / love.fps : 0.0, ours.ms_per_frame, love.ms_per_frame,
                ours.ms_per_frame > 0 ? love.ms_per_frame / ours.ms_per_frame : 0.0, UpdateCost(n));
            std::fflush(stdout);
        }
    }
    return 0;
}
