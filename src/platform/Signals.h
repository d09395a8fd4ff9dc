// Stopping a run from outside: Ctrl+C (SIGINT), SIGTERM and the run's time limit (SIGALRM from
// a real-time timer). The handlers only record the first of them; the main loop polls it
// between steps and the script interpreter on backward jumps and calls, so that even a runaway
// loop in a script ends and the run cleans up after itself.
#pragma once

#include <csignal>

namespace kr {

// The stop flag: 0 while nothing asked the run to stop, else the number of the first signal
// that did (SIGINT, SIGTERM, or SIGALRM for the time limit). A second SIGINT or SIGTERM, once
// the first is recorded, ends the process at once as the signal would by default.
const volatile std::sig_atomic_t* StopFlag();

// Installs the handlers of SIGINT, SIGTERM and SIGALRM, and clears the flag.
void InstallStopHandlers();

// Sends SIGALRM after `seconds` of real time (0 or less: no limit).
void StartTimeLimit(double seconds);

// The conventional exit status of a process ended by `signal`: 128 + its number.
inline int ExitStatusForSignal(int signal) {
    return 128 + signal;
}

}  // namespace kr
