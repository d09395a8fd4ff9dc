// bench_model: a terrain model of 100,000 triangles drawn lit (one directional light, depth
// buffer, perspective) every frame through korvane, beside the same terrain as one static mesh
// drawn by LOVE 11.4 (bench/love3d, without lighting: LOVE has none), alternately in one run,
// both drawing off screen with Mesa's llvmpipe; then our side once more without lighting, the
// same work as LOVE's. Prints frames per second, triangles per second and the ratio (ours /
// LOVE, above 1 is faster).
//
//   bench_model [ROUNDS] [SECONDS]      (default 1 round of 5 measured seconds)
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "WorkloadGame.h"
#include "objects/EventTypes.h"
#include "platform/Files.h"
#include "runner/GameWriter.h"

namespace kr {
namespace {

constexpr int kTriangles = 250 * 200 * 2;

// The terrain: 250 x 200 squares of 2 x 2 units, two triangles each, heights and normals of
// 20 sin(x / 20) cos(y / 20); ten primitives of 20 rows (30,000 vertices) each.
const char kCreate[] = R"(
room_speed = 1000000;
set_synchronization(false);
d3d_start();
d3d_set_lighting(LIT);
d3d_light_define_direction(0, 0.3, 0.4, -1, c_white);
d3d_light_enable(0, true);
global.m = d3d_model_create();
var i, j, k, z, nx, ny, nl, c, xs, ys;
for (j = 0; j < 200; j += 1) {
    if (j mod 20 == 0) {
        if (j > 0) d3d_model_primitive_end(global.m);
        d3d_model_primitive_begin(global.m, pr_trianglelist);
    }
    for (i = 0; i < 250; i += 1) {
        for (k = 0; k < 6; k += 1) {
            xs = i * 2; ys = j * 2;
            if (k == 1 || k == 2 || k == 4) xs += 2;
            if (k == 2 || k == 4 || k == 5) ys += 2;
            z = 20 * sin(xs / 20) * cos(ys / 20);
            nx = -cos(xs / 20) * cos(ys / 20);
            ny = sin(xs / 20) * sin(ys / 20);
            nl = sqrt(nx * nx + ny * ny + 1);
            c = make_color_rgb(255 * (0.4 + 0.3 * sin(xs / 50)), 178, 76);
            d3d_model_vertex_normal_color(global.m, xs, ys, z, nx / nl, ny / nl, 1 / nl, c, 1);
        }
    }
}
d3d_model_primitive_end(global.m);
global.t_start = current_time;
global.t_meas = -1;
global.frames = 0;
)";

const char kDraw[] = R"(
d3d_set_projection_ext(250, 650, 300, 250, 200, 0, 0, 0, 1, 60, 640 / 480, 1, 2000);
d3d_model_draw(global.m, 0, 0, 0, -1);
)";

std::string Step(int seconds) {
    return R"(
var now;
now = current_time;
if (global.t_meas < 0) {
    if (now - global.t_start >= 500) { global.t_meas = now; global.frames = 0; }
} else {
    global.frames += 1;
    if (now - global.t_meas >= )" +
           std::to_string(seconds * 1000) + R"() {
        show_debug_message("model frames=" + string(global.frames)
            + " fps=" + string(global.frames * 1000 / (now - global.t_meas)));
        game_end();
    }
}
)";
}

std::vector<uint8_t> BuildGame(int seconds, bool lit) {
    GameWriter w;
    w.room_order = {0};
    CObject bench;
    std::string create = kCreate;
    create.replace(create.find("LIT"), 3, lit ? "true" : "false");
    bench.events[kEventCreate][0] = bench::Code(create);
    bench.events[kEventStep][0] = bench::Code(Step(seconds));
    bench.events[kEventDraw][0] = bench::Code(kDraw);
    w.Add("obj_bench", bench);
    return bench::FinishWithRoom(w);
}

// Runs a command and reads "fps=X" from what it prints.
double Fps(const std::string& command) {
    return bench::RunOffscreen(command, {"fps="})["fps="];
}

}  // namespace
}  // namespace kr

int main(int argc, char** argv) {
    using namespace kr;
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string lit = "/tmp/kr_bench_model_lit.exe", unlit = "/tmp/kr_bench_model.exe";
    if (!WriteFileAtomically(lit, BuildGame(seconds, true)) ||
        !WriteFileAtomically(unlit, BuildGame(seconds, false))) {
        std::fprintf(stderr, "cannot write the games into /tmp\n");
        return 1;
    }
    std::printf("%-34s %9s %9s %14s %14s %7s\n", "workload", "ours fps", "LOVE fps", "ours tri/s",
                "LOVE tri/s", "ratio");
    for (int round = 0; round < rounds; ++round) {
        // Our lit side, LOVE, then our side without lighting (the same work as LOVE's).
        double ours = Fps(std::string(KR_KORVANE) + " run " + lit);
        double love = Fps("love " KR_LOVE_SIDE " " + std::to_string(seconds));
        double plain = Fps(std::string(KR_KORVANE) + " run " + unlit);
        const std::pair<const char*, double> rows[] = {{"model 100k triangles, ours lit", ours},
                                                       {"model 100k triangles, ours unlit", plain}};
        for (const auto& [name, fps] : rows)
            std::printf("%-34s %9.2f %9.2f %14.0f %14.0f %7.2f\n", name, fps, love,
                        fps * kTriangles, love * kTriangles, love > 0 ? fps / love : 0.0);
        std::fflush(stdout);
    }
    return 0;
}
