// StartupTimes: where the start of a run goes. When the environment variable
// KORVANE_STARTUP_TIMES is set, every phase from the process's start to the end of the run
// prints its processor time (all threads) on standard error, one line each:
//   korvane: start-up: PHASE MS
// The first phase is everything before the runner existed (loading the program and its shared
// libraries, reading the command line). bench_language reads these lines.
#pragma once

namespace kr {

class StartupTimes {
public:
    StartupTimes();
    bool Enabled() const { return enabled_; }
    // Ends the phase running since the last mark (or since the process started) under `phase`.
    void Mark(const char* phase);

private:
    bool enabled_ = false;
    double last_ms_ = 0;
};

}  // namespace kr
