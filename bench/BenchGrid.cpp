// Route searches on motion planning grids of 100 x 100, 400 x 400 and 1000 x 1000 cells with a
// fifth of the cells walled at random, from the top-left corner to the bottom-right one, with
// and without diagonal moves. A search visits every reachable cell at most once, so the time
// per cell should stay about the same as the grids grow: the last column shows it.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "motion/MotionGrid.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

}  // namespace

int main() {
    std::printf("%-11s %-5s %8s %10s %12s %14s\n", "grid", "diag", "found", "points", "ms/route",
                "ns/cell");
    for (int32_t n : {100, 400, 1000}) {
        for (bool diag : {false, true}) {
            kr::CGrid g(0, 0, n, n, 4, 4);
            std::vector<kr::GridPoint> route;
            // The first seed whose walls leave a way from corner to corner.
            for (uint32_t seed = 1;; ++seed) {
                std::mt19937 rng(seed);
                std::uniform_int_distribution<int> pct(0, 99);
                g.ClearAll();
                for (int32_t h = 0; h < n; ++h)
                    for (int32_t v = 0; v < n; ++v)
                        if (pct(rng) < 20) g.SetCell(h, v, kr::CGrid::kForbidden);
                g.SetCell(0, 0, kr::CGrid::kFree);
                g.SetCell(n - 1, n - 1, kr::CGrid::kFree);
                if (g.FindPath(1, 1, n * 4 - 2, n * 4 - 2, false, route)) break;
            }
            const int repeats = n <= 100 ? 200 : n <= 400 ? 20 : 5;
            bool found = false;
            const Clock::time_point t0 = Clock::now();
            for (int i = 0; i < repeats; ++i)
                found = g.FindPath(1, 1, n * 4 - 2, n * 4 - 2, diag, route);
            const double per = Seconds(Clock::now() - t0) / repeats;
            std::printf("%4d x %-4d %-5s %8s %10zu %12.3f %14.2f\n", n, n, diag ? "yes" : "no",
                        found ? "yes" : "no", found ? route.size() : size_t(0), per * 1e3,
                        per * 1e9 / (double(n) * n));
        }
    }
    return 0;
}
