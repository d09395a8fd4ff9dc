#include "runner/StartupTimes.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace kr {
namespace {

double ProcessMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

}  // namespace

StartupTimes::StartupTimes() {
    const char* v = std::getenv("KORVANE_STARTUP_TIMES");
    enabled_ = v && *v && *v != '0';
}

void StartupTimes::Mark(const char* phase) {
    if (!enabled_) return;
    const double now = ProcessMilliseconds();
    std::fprintf(stderr, "korvane: start-up: %s %.2f\n", phase, now - last_ms_);
    last_ms_ = now;
}

}  // namespace kr
