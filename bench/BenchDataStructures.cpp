// bench_datastructures: the data-structure workloads through `korvane script` with the real
// built-in library, beside the same work in lua5.4, alternating the two sides round by round.
// f_map is the shared peer workload (string-keyed map); g_list, h_grid and i_priority are ours,
// of the same size (10,000 insertions, 100,000 reads or 10,000 removals), in
// bench/datastructures/. It checks that the checksum lines match and prints per workload the
// best wall time of each side, their ratio (ours / Lua) and the net ratio with each side's
// start-up (its empty program) subtracted.
//
//   bench_datastructures [--korvane PATH] [--shared DIR] [--instructions] [rounds] [workload...]
//
// With --instructions each side runs once under valgrind's callgrind and the figures are
// instruction counts instead of times: on a busy shared machine the steadiest comparison.
//
// DIR is the folder of the shared peer benchmarks (by default ../shared/bench beside the
// source tree).
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Workload {
    const char* name;
    std::string ours;  // our program
    std::string lua;   // the peer's
};

std::string LastLine(std::string t) {
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
    size_t nl = t.find_last_of('\n');
    return nl == std::string::npos ? t : t.substr(nl + 1);
}

double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a shell command; returns its wall time in seconds (negative when it failed) and the last
// line of its standard output.
double Time(const std::string& cmd, std::string& last_line) {
    double t0 = Now();
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    int status = pclose(p);
    double t = Now() - t0;
    last_line = LastLine(text);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t : -1;
}

// The instructions a shell command executes, counted by callgrind; negative when it failed.
double Instructions(const std::string& cmd, std::string& last_line) {
    std::string text;
    FILE* p = popen(
        ("valgrind --tool=callgrind --callgrind-out-file=/dev/null " + cmd + " 2>&1").c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    if (pclose(p) != 0) return -1;
    size_t at = text.find("refs:");
    if (at == std::string::npos) return -1;
    double count = 0;
    for (size_t i = at + 5; i < text.size() && text[i] != '\n'; ++i)
        if (text[i] >= '0' && text[i] <= '9') count = count * 10 + (text[i] - '0');
    // The program's own output precedes valgrind's summary lines (which start with "==").
    std::string out;
    size_t line = 0;
    while (line < text.size()) {
        size_t end = text.find('\n', line);
        if (end == std::string::npos) end = text.size();
        if (text.compare(line, 2, "==") != 0) out += text.substr(line, end - line) + "\n";
        line = end + 1;
    }
    last_line = LastLine(out);
    return count;
}

bool g_instructions = false;

struct Best {
    double ours = 1e9, lua = 1e9;
    std::string sum_ours, sum_lua;
};

// Best times of both sides over `rounds`, alternating which goes first. False when one failed.
bool Measure(const std::string& korvane, const Workload& w, int rounds, Best& b) {
    std::string ours = Quote(korvane) + " script " + Quote(w.ours);
    std::string lua = "lua5.4 " + Quote(w.lua);
    for (int r = 0; r < rounds; ++r) {
        double a, l;
        if (g_instructions) {
            a = Instructions(ours, b.sum_ours);
            l = Instructions(lua, b.sum_lua);
        } else if (r % 2 == 0) {
            a = Time(ours, b.sum_ours);
            l = Time(lua, b.sum_lua);
        } else {
            l = Time(lua, b.sum_lua);
            a = Time(ours, b.sum_ours);
        }
        if (a < 0 || l < 0) {
            std::printf("%-11s failed to run (%s)\n", w.name, a < 0 ? "ours" : "lua");
            return false;
        }
        b.ours = std::min(b.ours, a);
        b.lua = std::min(b.lua, l);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string korvane = KR_KORVANE;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string shared = KR_SHARED_BENCH;
    for (;;) {
        if (!args.empty() && args[0] == "--instructions") {
            g_instructions = true;
            args.erase(args.begin());
        } else if (args.size() >= 2 && (args[0] == "--korvane" || args[0] == "--shared")) {
            (args[0] == "--korvane" ? korvane : shared) = args[1];
            args.erase(args.begin(), args.begin() + 2);
        } else {
            break;
        }
    }
    int rounds = g_instructions ? 1 : !args.empty() ? std::max(1, std::atoi(args[0].c_str())) : 9;
    const std::string own = KR_DS_BENCH;
    const std::vector<Workload> all = {
        {"f_map", shared + "/ours/f_map.txt", shared + "/lua/f_map.lua"},
        {"g_list", own + "/ours/g_list.txt", own + "/lua/g_list.lua"},
        {"h_grid", own + "/ours/h_grid.txt", own + "/lua/h_grid.lua"},
        {"i_priority", own + "/ours/i_priority.txt", own + "/lua/i_priority.lua"},
    };
    std::vector<Workload> chosen;
    for (size_t i = 1; i < args.size(); ++i)
        for (const Workload& w : all)
            if (args[i] == w.name) chosen.push_back(w);
    if (chosen.empty()) chosen = all;

    Best start;
    Workload empty{"empty", shared + "/ours/z_empty.txt", shared + "/lua/empty.lua"};
    if (!Measure(korvane, empty, rounds, start)) return 1;

    bool all_match = true;
    const char* unit = g_instructions ? "(Minstr)" : "(s)";
    const double scale = g_instructions ? 1e-6 : 1;
    std::string ours_head = std::string("ours ") + unit, lua_head = std::string("lua ") + unit;
    std::printf("%-11s %15s %15s %8s %10s  %s\n", "workload", ours_head.c_str(), lua_head.c_str(),
                "ratio", "net ratio", "checksum");
    for (const Workload& w : chosen) {
        Best b;
        if (!Measure(korvane, w, rounds, b)) return 1;
        // On a busy machine the start-up can measure longer than a whole run: no net figure.
        double net_ours = b.ours - start.ours, net_lua = b.lua - start.lua;
        char net[32] = "-";
        if (net_ours > 0 && net_lua > 0) std::snprintf(net, sizeof net, "%.2f", net_ours / net_lua);
        bool match = b.sum_ours == b.sum_lua;
        all_match = all_match && match;
        std::printf("%-11s %15.4f %15.4f %8.2f %10s  %s%s\n", w.name, b.ours * scale, b.lua * scale,
                    b.ours / b.lua, net, b.sum_ours.c_str(),
                    match ? "" : ("  MISMATCH: lua says " + b.sum_lua).c_str());
    }
    if (g_instructions)
        std::printf(
            "(instructions counted by callgrind; start-up ours %.2f M, lua %.2f M, "
            "subtracted for the net ratio)\n",
            start.ours * 1e-6, start.lua * 1e-6);
    else
        std::printf(
            "(best of %d alternating rounds; start-up ours %.4f s, lua %.4f s, subtracted "
            "for the net ratio)\n",
            rounds, start.ours, start.lua);
    return all_match ? 0 : 1;
}
