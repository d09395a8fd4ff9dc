#include "platform/Signals.h"

#include <sys/time.h>

#include <algorithm>
#include <cmath>

namespace kr {

namespace {
// A signal handler can reach nothing but a flag of this type: the one piece of process-wide
// state of the runner.
volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int signal) {
    if (g_stop != 0 && signal != SIGALRM) {
        // Asked twice: the run did not stop in time, so stop as if no handler were there.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    if (g_stop == 0) g_stop = signal;
}
}  // namespace

const volatile std::sig_atomic_t* StopFlag() {
    return &g_stop;
}

void InstallStopHandlers() {
    g_stop = 0;
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls (a sleep between steps) resume; the loop then sees the flag.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGALRM}) sigaction(signal, &action, nullptr);
}

void StartTimeLimit(double seconds) {
    if (!(seconds > 0)) return;
    itimerval timer = {};
    const double whole = std::floor(seconds);
    timer.it_value.tv_sec = time_t(std::min(whole, 1e9));
    timer.it_value.tv_usec = suseconds_t((seconds - whole) * 1e6);
    if (timer.it_value.tv_sec == 0 && timer.it_value.tv_usec == 0) timer.it_value.tv_usec = 1;
    setitimer(ITIMER_REAL, &timer, nullptr);
}

}  // namespace kr
