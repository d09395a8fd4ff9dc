// bench_language: runs each language workload of the shared peer benchmarks as a user would,
// through `korvane script` with the real built-in library, the matching Lua program through
// lua5.4 and the same Lua program through luajit with its compiler off (`-joff`, its
// interpreter alone), alternating the sides round by round. It checks that the checksum lines
// match and prints per workload the best processor time of each side (wall time with
// KR_BENCH_WALL set), their ratios (ours / Lua, ours / LuaJIT), and the net ratio against Lua
// with each side's start-up (its empty program) subtracted. When luajit is not installed its
// columns show "-" and the run says so. The peak memory (resident set) of the largest run of
// each side is printed under the table for the games, and the page faults of each workload's
// runs (the fewest of the rounds) under the whole table: memory first touched costs processor
// time in the kernel, which a profile of instructions does not show.
//
//   bench_language [--korvane PATH] [bench-folder] [rounds] [workload...]
//
// For profiling, run the same command under a profiler, for example
//   valgrind --tool=callgrind korvane script --script fib=ours/fib.txt ours/b_fib.txt
//
// Workloads that need objects (e_instances) run as a game instead: a game file built with
// GameWriter whose room holds one obj_bench, whose Create event runs the workload's text;
// `korvane run --headless --max-steps 0` ends it once its room has started. Their net ratio
// subtracts the start-up of the same game with an empty Create event. The game files are left
// in $TMPDIR for profiling (the command is printed).
//
// The start-up row compares that empty game, as a whole process, with the empty Lua program,
// and the line after it gives the runner's own account of where the game's start-up goes
// (KORVANE_STARTUP_TIMES, see src/runner/StartupTimes.h).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "objects/Action.h"
#include "objects/EventTypes.h"
#include "objects/Object.h"
#include "runner/GameWriter.h"
#include "runner/Room.h"

namespace {

struct Workload {
    const char* name;
    const char* ours;     // our program, in ours/
    const char* lua;      // the peer's, in lua/
    const char* scripts;  // --script options our side needs ("" none)
    bool game = false;    // run as a game (objects obj_bench and obj_ball), not as a script
};

// a_numeric_f runs our a_numeric against Lua's all-doubles variant: our language has only
// doubles, while plain a_numeric lets Lua use integer arithmetic.
const Workload kWorkloads[] = {
    {"a_numeric", "a_numeric", "a_numeric.lua", ""},
    {"a_numeric_f", "a_numeric", "a_numeric_float.lua", ""},
    {"b_fib", "b_fib", "b_fib.lua", "fib"},
    {"c_array", "c_array", "c_array.lua", ""},
    {"d_string", "d_string", "d_string.lua", ""},
    {"e_instances", "e_instances", "e_instances.lua", "", true},
    {"z_empty", "z_empty", "empty.lua", ""},
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

// One run of a command: its time in seconds (negative when it failed), the last line of its
// standard output and its peak resident set in kilobytes.
struct Run {
    double seconds = -1;
    long peak_kb = 0;
    long faults = 0;  // page faults served without reading a file
    std::string last_line;
};

// Runs a shell command; its time is its processor time (user + system; on a machine shared with
// other work a program's processor time holds still where its wall time follows the load) when
// KR_BENCH_WALL is not set, else its wall time.
Run Time(const std::string& cmd) {
    static const bool wall = std::getenv("KR_BENCH_WALL") != nullptr;
    Run run;
    int out[2];
    if (pipe(out) != 0) return run;
    double t0 = Now();
    pid_t pid = fork();
    if (pid < 0) {
        close(out[0]);
        close(out[1]);
        return run;
    }
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, size_t(n));
    close(out[0]);
    int status = 0;
    rusage u{};
    if (wait4(pid, &status, 0, &u) != pid) return run;
    double t = wall ? Now() - t0
                    : double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                          double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
    run.last_line = LastLine(text);
    run.peak_kb = u.ru_maxrss;
    run.faults = u.ru_minflt;
    run.seconds = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t : -1;
    return run;
}

// A game whose room holds one obj_bench (no sprite, at (0, 0)) whose Create event runs `code`,
// and an object obj_ball without events; written to `path`. False when it cannot be written.
bool WriteBenchGame(const std::string& code, const std::string& path) {
    kr::GameWriter w;
    kr::CObject bench;
    kr::CAction a;
    a.kind = kr::CAction::kCode;
    a.exec_type = kr::CAction::kExecCode;
    a.arg_count = 1;
    a.arg_texts[0] = code;
    bench.events[kr::kEventCreate][0].actions.push_back(a);
    w.Add("obj_bench", bench);
    w.Add("obj_ball", kr::CObject());
    kr::CRoom room;
    room.instances.push_back(kr::RoomInstance{0, 0, 0, 100001, {}});
    w.Add("room_bench", room);
    w.room_order = {0};
    w.last_instance_id = 100001;  // instances created at run time come after obj_bench's id
    std::vector<uint8_t> bytes = w.WriteGameFile();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out.flush());
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Where the start of a game's run goes: the runner's own account of each phase (processor
// milliseconds), from one run of `cmd` with KORVANE_STARTUP_TIMES set.
std::vector<std::pair<std::string, double>> StartupPhases(const std::string& cmd) {
    std::vector<std::pair<std::string, double>> phases;
    FILE* p = popen(("KORVANE_STARTUP_TIMES=1 " + cmd + " 2>&1 >/dev/null").c_str(), "r");
    if (!p) return phases;
    static const std::string kPrefix = "korvane: start-up: ";
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        std::string l = line;
        if (l.rfind(kPrefix, 0) != 0) continue;
        l = LastLine(l.substr(kPrefix.size()));
        size_t sp = l.find_last_of(' ');
        if (sp == std::string::npos) continue;
        phases.emplace_back(l.substr(0, sp), std::atof(l.c_str() + sp + 1));
    }
    pclose(p);
    return phases;
}

// Where the game files go.
std::string GameFolder() {
    const char* t = std::getenv("TMPDIR");
    return std::string(t && *t ? t : "/tmp") + "/kr_bench_language";
}

std::string GamePath(const Workload& w) {
    return GameFolder() + "/" + w.ours + ".game";
}

std::string OursCommand(const std::string& korvane, const std::string& dir, const Workload& w) {
    if (w.game) return Quote(korvane) + " run --headless --max-steps 0 " + Quote(GamePath(w));
    std::string cmd = Quote(korvane) + " script";
    if (*w.scripts)
        cmd += " --script " +
               Quote(std::string(w.scripts) + "=" + dir + "/ours/" + w.scripts + ".txt");
    return cmd + " " + Quote(dir + "/ours/" + w.ours + ".txt");
}

// The peers: lua5.4, and luajit with its compiler off.
enum Side { kOurs, kLua, kLuaJit, kSides };
const char* const kSideName[kSides] = {"ours", "lua", "luajit"};

std::string PeerCommand(Side side, const std::string& dir, const Workload& w) {
    return std::string(side == kLua ? "lua5.4 " : "luajit -joff ") + Quote(dir + "/lua/" + w.lua);
}

std::string Command(Side side, const std::string& korvane, const std::string& dir,
                    const Workload& w) {
    return side == kOurs ? OursCommand(korvane, dir, w) : PeerCommand(side, dir, w);
}

// Whether luajit runs here.
bool HaveLuaJit() {
    return std::system("luajit -joff -e '' >/dev/null 2>&1") == 0;
}

struct Best {
    double seconds[kSides] = {1e9, 1e9, 1e9};
    long peak_kb[kSides] = {0, 0, 0};
    long faults[kSides] = {-1, -1, -1};
    std::string sum[kSides];

    // Takes a run of one side; false when it failed.
    bool Take(Side side, const Run& run) {
        if (run.seconds < 0) return false;
        seconds[side] = std::min(seconds[side], run.seconds);
        peak_kb[side] = std::max(peak_kb[side], run.peak_kb);
        if (faults[side] < 0 || run.faults < faults[side]) faults[side] = run.faults;
        sum[side] = run.last_line;
        return true;
    }
};

std::string Seconds(double t, bool have) {
    if (!have) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", t);
    return text;
}

std::string Ratio(double ours, double peer, bool have) {
    if (!have) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", ours / peer);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::string korvane = KR_KORVANE;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--korvane") {
        korvane = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    std::string dir = !args.empty() && !args[0].empty() ? args[0] : KR_SHARED_BENCH;
    int rounds = args.size() > 1 ? std::max(1, std::atoi(args[1].c_str())) : 5;
    std::vector<Workload> chosen;
    for (size_t i = 2; i < args.size(); ++i)
        for (const Workload& w : kWorkloads)
            if (args[i] == w.name) chosen.push_back(w);
    if (chosen.empty()) chosen.assign(std::begin(kWorkloads), std::end(kWorkloads));

    const bool luajit = HaveLuaJit();
    const int sides = luajit ? kSides : kLuaJit;
    if (!luajit) std::printf("(luajit is not installed: its columns are left empty)\n");

    // Each side's start-up: its empty program.
    const Workload& empty = kWorkloads[std::size(kWorkloads) - 1];
    Best start;
    for (int r = 0; r < rounds; ++r) {
        for (int s = 0; s < sides; ++s) {
            Side side = Side(s);
            if (!start.Take(side, Time(Command(side, korvane, dir, empty)))) {
                std::printf("the empty programs do not run (%s)\n", kSideName[side]);
                return 1;
            }
        }
    }

    // The games, and their start-up: the same game with an empty Create event.
    const Workload empty_game{"empty_game", "empty_game", "empty.lua", "", true};
    Best game_start;
    // The start-up of a game is always measured: it is a row of its own.
    {
        std::string folder = GameFolder();
        std::string mk = "mkdir -p " + Quote(folder);
        bool ok = std::system(mk.c_str()) == 0 && WriteBenchGame("", GamePath(empty_game));
        for (const Workload& w : chosen) {
            if (!w.game) continue;
            std::string code = ReadText(dir + "/ours/" + w.ours + ".txt");
            ok = ok && !code.empty() && WriteBenchGame(code, GamePath(w));
        }
        if (!ok) {
            std::printf("the benchmark games cannot be written in %s\n", folder.c_str());
            return 1;
        }
        for (int r = 0; r < rounds; ++r) {
            if (!game_start.Take(kOurs, Time(OursCommand(korvane, dir, empty_game)))) {
                std::printf("the empty game does not run\n");
                return 1;
            }
        }
    }

    bool all_match = true;
    std::printf("%-11s %10s %10s %10s %8s %10s %8s  %s\n", "workload", "ours (s)", "lua (s)",
                "luajit (s)", "ratio", "net ratio", "ratio lj", "checksum");
    std::vector<std::pair<const Workload*, Best>> games;
    std::string faults;
    for (const Workload& w : chosen) {
        Best b;
        for (int r = 0; r < rounds; ++r) {
            // Rotate which side goes first, so that none always runs on a warm machine.
            for (int i = 0; i < sides; ++i) {
                Side side = Side((i + r) % sides);
                if (!b.Take(side, Time(Command(side, korvane, dir, w)))) {
                    std::printf("%-11s failed to run (%s)\n", w.name, kSideName[side]);
                    return 1;
                }
            }
        }
        const double* t = b.seconds;
        double net_ours =
            std::max(t[kOurs] - (w.game ? game_start.seconds[kOurs] : start.seconds[kOurs]), 1e-6);
        double net_lua = std::max(t[kLua] - start.seconds[kLua], 1e-6);
        bool match = b.sum[kOurs] == b.sum[kLua] && (!luajit || b.sum[kLuaJit] == b.sum[kLua]);
        all_match = all_match && match;
        // The empty program is the start-up itself: it has no net time.
        std::string net =
            std::strcmp(w.name, empty.name) != 0 ? Ratio(net_ours, net_lua, true) : "-";
        std::string mismatch;
        if (b.sum[kOurs] != b.sum[kLua]) mismatch += "  MISMATCH: lua says " + b.sum[kLua];
        if (luajit && b.sum[kLuaJit] != b.sum[kLua])
            mismatch += "  MISMATCH: luajit says " + b.sum[kLuaJit];
        std::string lj_seconds = Seconds(t[kLuaJit], luajit);
        std::printf("%-11s %10.4f %10.4f %10s %8.2f %10s %8s  %s%s\n", w.name, t[kOurs], t[kLua],
                    lj_seconds.c_str(), t[kOurs] / t[kLua], net.c_str(),
                    Ratio(t[kOurs], t[kLuaJit], luajit).c_str(), b.sum[kOurs].c_str(),
                    mismatch.c_str());
        if (w.game) games.emplace_back(&w, b);
        faults += std::string(faults.empty() ? " " : "; ") + w.name + " " +
                  std::to_string(b.faults[kOurs]) + "/" + std::to_string(b.faults[kLua]);
        if (luajit) faults += "/" + std::to_string(b.faults[kLuaJit]);
    }
    std::printf(
        "(best of %d rotating rounds; start-up ours %.4f s, lua %.4f s, subtracted "
        "for the net ratio against lua)\n",
        rounds, start.seconds[kOurs], start.seconds[kLua]);
    for (const auto& [w, b] : games) {
        std::printf("(%s peak memory: ours %.1f MB, lua %.1f MB", w->name,
                    double(b.peak_kb[kOurs]) / 1024, double(b.peak_kb[kLua]) / 1024);
        if (luajit) std::printf(", luajit %.1f MB", double(b.peak_kb[kLuaJit]) / 1024);
        std::printf("; the empty game %.1f MB)\n", double(game_start.peak_kb[kOurs]) / 1024);
    }
    std::printf("(page faults, the fewest of the rounds, ours/lua%s:%s)\n", luajit ? "/luajit" : "",
                faults.c_str());
    // The empty game against the empty Lua program, and where its time goes (the best of the
    // rounds for each phase).
    std::vector<std::pair<std::string, double>> phases;
    for (int r = 0; r < rounds; ++r) {
        auto once = StartupPhases(OursCommand(korvane, dir, empty_game));
        if (phases.empty() || phases.size() != once.size()) {
            if (phases.empty()) phases = once;
            continue;
        }
        for (size_t i = 0; i < phases.size(); ++i)
            phases[i].second = std::min(phases[i].second, once[i].second);
    }
    const double game_ours = game_start.seconds[kOurs];
    std::string lj_start = Seconds(start.seconds[kLuaJit], luajit);
    std::printf(
        "%-11s %10.4f %10.4f %10s %8.2f %10s %8s  (an empty game against an empty program)\n",
        "start-up", game_ours, start.seconds[kLua], lj_start.c_str(),
        game_ours / start.seconds[kLua], "-",
        Ratio(game_ours, start.seconds[kLuaJit], luajit).c_str());
    if (!phases.empty()) {
        std::printf("(start-up of the empty game by phase, processor ms:");
        for (const auto& [name, ms] : phases) std::printf(" %s %.1f;", name.c_str(), ms);
        std::printf(")\n");
    }
    const Workload* game_row = &empty_game;
    for (const Workload& w : chosen)
        if (w.game) game_row = &w;
    std::printf("(games start up in %.4f s, subtracted for theirs; profile one with: %s)\n",
                game_ours, OursCommand(korvane, dir, *game_row).c_str());
    return all_match ? 0 : 1;
}
