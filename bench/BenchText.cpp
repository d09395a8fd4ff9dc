// bench_text: the text workload of the shared peer benchmarks (i_text: about 20,000 characters
// of a 12-point sans-serif font per frame) through korvane, once in the default font and once in
// a font of the game, and through LOVE 11.4, alternately in one run, each side drawing off screen
// with Mesa's llvmpipe (SDL's offscreen video driver). Prints both frame rates, the ratio (ours /
// LOVE, above 1 is faster) and the processor time per frame of each side with its ratio.
//
//   bench_text [ROUNDS] [N]      (default 1 round of 20,000 characters)
// KR_SHARED_BENCH names the folder of the shared workloads when it is not beside the sources.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "WorkloadGame.h"
#include "graphics/Text.h"
#include "objects/EventTypes.h"
#include "platform/Files.h"
#include "runner/GameWriter.h"

namespace kr {
namespace {

const std::string kShared = bench::SharedBench();
using bench::Code;
using bench::Sections;

// The game: obj_bench once in a 640x480 room; with `game_font` a 12-point sans-serif font
// resource (rendered here as the authoring tool would) that the Create event selects.
std::vector<uint8_t> BuildGame(int n, bool game_font) {
    auto s = Sections(kShared + "/ours/i_text.txt");
    GameWriter w;
    std::string create = bench::CreateCode(s, "global.n = 20000;", n);
    if (game_font) {
        CFont font;
        font.name = "Arial";
        font.size = 12;
        font.first = 32;
        font.last = 127;
        FontRender(font);
        w.Add("fnt_sans", font);
        create += "draw_set_font(fnt_sans);\n";
    }
    return bench::FinishGame(w, s, create, false);
}

struct Result {
    double fps = 0, frames = 0, chars = 0, cpu = 0;  // cpu: of the measured stretch
};

// Runs a command and reads "N=C frames=F ... fps=X" from what it prints.
Result Measure(const std::string& command) {
    bench::Report r = bench::RunOffscreen(command, {"fps=", "frames=", " N="});
    return Result{r["fps="], r["frames="], r[" N="], r.window_cpu};
}

}  // namespace
}  // namespace kr

int main(int argc, char** argv) {
    using namespace kr;
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    int n = argc > 2 ? std::max(54, std::atoi(argv[2])) : 20000;
    if (Sections(kShared + "/ours/i_text.txt").empty()) {
        std::fprintf(stderr, "no workload %s/ours/i_text.txt (set KR_SHARED_BENCH)\n",
                     kShared.c_str());
        return 1;
    }
    const bool have_love = bench::PeerInstalled("love", "love");
    std::string dir = "/tmp/kr_bench_text";
    std::system(("mkdir -p " + dir).c_str());
    // The processor time per frame (all threads, over the measured stretch alone) is steadier
    // than the frame rate on a machine that others share.
    std::printf("%-16s %6s %10s %10s %7s %12s %12s %9s\n", "workload", "N", "ours fps", "LOVE fps",
                "ratio", "ours ms/f", "LOVE ms/f", "cpu ratio");
    for (int round = 0; round < rounds; ++round) {
        for (bool game_font : {false, true}) {
            std::string name = game_font ? "i_text_font" : "i_text_default";
            std::string game = dir + "/" + name + ".exe";
            if (!WriteFileAtomically(game, BuildGame(n, game_font))) {
                std::fprintf(stderr, "cannot write %s\n", game.c_str());
                return 1;
            }
            Result ours = Measure(std::string(KR_KORVANE) + " run " + game);
            Result love =
                have_love ? Measure("love " + kShared + "/love/i_text " + std::to_string(n) + " 5")
                          : Result{};
            auto per_frame = [](const Result& r) {
                return r.frames > 0 ? r.cpu * 1e3 / r.frames : 0;
            };
            double ours_ms = per_frame(ours), love_ms = per_frame(love);
            std::printf("%-16s %6.0f %10.1f %10.1f %7.2f %12.2f %12.2f %9.2f\n", name.c_str(),
                        ours.chars, ours.fps, love.fps, love.fps > 0 ? ours.fps / love.fps : 0.0,
                        ours_ms, love_ms, ours_ms > 0 ? love_ms / ours_ms : 0.0);
            std::fflush(stdout);
        }
    }
    return 0;
}
