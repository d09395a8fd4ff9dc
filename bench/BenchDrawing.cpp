// bench_drawing: the drawing workloads of the shared peer benchmarks (g_sprites with 0, 1,000,
// 10,000 and 50,000 sprites per frame, h_objects with 10,000 moving instances) through korvane
// and through LOVE 11.4, alternately in one run, each side drawing off screen with Mesa's
// llvmpipe (SDL's offscreen video driver). Prints both frame rates, the ratio (ours / LOVE,
// above 1 is faster) and our CPU time per sprite drawn. Without LOVE, only our side runs (its
// columns show 0).
//
//   bench_drawing [ROUNDS]      (default 1 round of every workload)
// KR_SHARED_BENCH names the folder of the shared workloads when it is not beside the sources.

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "WorkloadGame.h"
#include "data/Sprite.h"
#include "objects/EventTypes.h"
#include "platform/Files.h"
#include "runner/GameWriter.h"

namespace kr {
namespace {

const std::string kShared = bench::SharedBench();
using bench::Code;
using bench::Sections;

// The game of a workload: spr_ball, obj_bench (once in a 640x480 room), obj_ball.
std::vector<uint8_t> BuildGame(const std::string& workload, int n) {
    auto s = Sections(kShared + "/ours/" + workload + ".txt");
    GameWriter w;
    CSprite ball;
    ball.LoadFromImageFile(kShared + "/assets/spr_ball.png", 1, false, false, 0, 0);
    ball.BuildMasks();
    w.Add("spr_ball", ball);
    return bench::FinishGame(
        w, s,
        bench::CreateCode(s, workload == "g_sprites" ? "global.n = 1000;" : "global.n = 10000;", n),
        true);
}

struct Result {
    double fps = 0, frames = 0, cpu = 0;
};

// Runs a command and reads "frames=F ... fps=X" from what it prints.
Result Measure(const std::string& command) {
    bench::Report r = bench::RunOffscreen(command, {"fps=", "frames="});
    return Result{r["fps="], r["frames="], r.cpu};
}

}  // namespace
}  // namespace kr

int main(int argc, char** argv) {
    using namespace kr;
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const bool have_love = bench::PeerInstalled("love", "love");
    std::string dir = "/tmp/kr_bench_drawing";
    std::system(("mkdir -p " + dir).c_str());
    struct Work {
        std::string name;
        int n;
    };
    const Work works[] = {{"g_sprites", 0},
                          {"g_sprites", 1000},
                          {"g_sprites", 10000},
                          {"g_sprites", 50000},
                          {"h_objects", 10000}};
    std::printf("%-10s %6s %10s %10s %7s %14s\n", "workload", "N", "ours fps", "LOVE fps", "ratio",
                "us/sprite(cpu)");
    for (int round = 0; round < rounds; ++round) {
        for (const Work& w : works) {
            std::string game = dir + "/" + w.name + "_" + std::to_string(w.n) + ".exe";
            if (!WriteFileAtomically(game, BuildGame(w.name, w.n))) {
                std::fprintf(stderr, "cannot write %s\n", game.c_str());
                return 1;
            }
            Result ours = Measure(std::string(KR_KORVANE) + " run " + game);
            Result love = have_love ? Measure("love " + kShared + "/love/" + w.name + " " +
                                              std::to_string(w.n) + " 5")
                                    : Result{};
            // CPU per sprite over the whole run (start-up and warm-up included, so an upper
            // bound); the frames counted are those of the 5 measured seconds.
            double sprites = ours.frames * w.n * (5.5 / 5.0);
            std::printf("%-10s %6d %10.1f %10.1f %7.2f %14.3f\n", w.name.c_str(), w.n, ours.fps,
                        love.fps, love.fps > 0 ? ours.fps / love.fps : 0.0,
                        sprites > 0 ? ours.cpu * 1e6 / sprites : 0.0);
            std::fflush(stdout);
        }
    }
    return 0;
}
