// bench_language: runs each language workload of the shared peer benchmarks as a user would,
// through `korvane script` with the real built-in library, and the matching Lua program through
// lua5.4, alternating the two sides round by round. It checks that the checksum lines match and
// prints per workload the best processor time of each side (wall time with KR_BENCH_WALL set),
// their ratio (ours / Lua), and the net
// ratio with each side's start-up (its empty program) subtracted.
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

// Processor time (user + system) of the finished children so far. On a machine shared with
// other work, a program's processor time holds still where its wall time follows the load.
double ChildCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Runs a shell command; returns its time in seconds (negative when it failed) and the last line
// of its standard output: its processor time when KR_BENCH_WALL is not set, else its wall time.
double Time(const std::string& cmd, std::string& last_line) {
    static const bool wall = std::getenv("KR_BENCH_WALL") != nullptr;
    double t0 = wall ? Now() : ChildCpuSeconds();
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    int status = pclose(p);
    double t = (wall ? Now() : ChildCpuSeconds()) - t0;
    last_line = LastLine(text);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t : -1;
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

std::string LuaCommand(const std::string& dir, const Workload& w) {
    return "lua5.4 " + Quote(dir + "/lua/" + w.lua);
}

struct Best {
    double ours = 1e9, lua = 1e9;
    std::string sum_ours, sum_lua;
};

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

    // Each side's start-up: its empty program.
    const Workload& empty = kWorkloads[std::size(kWorkloads) - 1];
    Best start;
    for (int r = 0; r < rounds; ++r) {
        std::string ignored;
        double a = Time(OursCommand(korvane, dir, empty), ignored);
        double l = Time(LuaCommand(dir, empty), ignored);
        if (a < 0 || l < 0) {
            std::printf("the empty programs do not run (%s)\n", a < 0 ? "ours" : "lua");
            return 1;
        }
        start.ours = std::min(start.ours, a);
        start.lua = std::min(start.lua, l);
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
            std::string ignored;
            double a = Time(OursCommand(korvane, dir, empty_game), ignored);
            if (a < 0) {
                std::printf("the empty game does not run\n");
                return 1;
            }
            game_start.ours = std::min(game_start.ours, a);
        }
    }

    bool all_match = true;
    std::printf("%-11s %10s %10s %8s %10s  %s\n", "workload", "ours (s)", "lua (s)", "ratio",
                "net ratio", "checksum");
    for (const Workload& w : chosen) {
        Best b;
        for (int r = 0; r < rounds; ++r) {
            // Alternate which side goes first, so that neither always runs on a warm machine.
            double a, l;
            if (r % 2 == 0) {
                a = Time(OursCommand(korvane, dir, w), b.sum_ours);
                l = Time(LuaCommand(dir, w), b.sum_lua);
            } else {
                l = Time(LuaCommand(dir, w), b.sum_lua);
                a = Time(OursCommand(korvane, dir, w), b.sum_ours);
            }
            if (a < 0 || l < 0) {
                std::printf("%-11s failed to run (%s)\n", w.name, a < 0 ? "ours" : "lua");
                return 1;
            }
            b.ours = std::min(b.ours, a);
            b.lua = std::min(b.lua, l);
        }
        double net_ours = std::max(b.ours - (w.game ? game_start.ours : start.ours), 1e-6);
        double net_lua = std::max(b.lua - start.lua, 1e-6);
        bool match = b.sum_ours == b.sum_lua;
        all_match = all_match && match;
        // The empty program is the start-up itself: it has no net time.
        char net[32] = "-";
        if (std::strcmp(w.name, empty.name) != 0)
            std::snprintf(net, sizeof net, "%.2f", net_ours / net_lua);
        std::printf("%-11s %10.4f %10.4f %8.2f %10s  %s%s\n", w.name, b.ours, b.lua, b.ours / b.lua,
                    net, b.sum_ours.c_str(),
                    match ? "" : ("  MISMATCH: lua says " + b.sum_lua).c_str());
    }
    std::printf(
        "(best of %d alternating rounds; start-up ours %.4f s, lua %.4f s, subtracted "
        "for the net ratio)\n",
        rounds, start.ours, start.lua);
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
    std::printf("%-11s %10.4f %10.4f %8.2f %10s  (an empty game against an empty program)\n",
                "start-up", game_start.ours, start.lua, game_start.ours / start.lua, "-");
    if (!phases.empty()) {
        std::printf("(start-up of the empty game by phase, processor ms:");
        for (const auto& [name, ms] : phases) std::printf(" %s %.1f;", name.c_str(), ms);
        std::printf(")\n");
    }
    const Workload* game_row = &empty_game;
    for (const Workload& w : chosen)
        if (w.game) game_row = &w;
    std::printf("(games start up in %.4f s, subtracted for theirs; profile one with: %s)\n",
                game_start.ours, OursCommand(korvane, dir, *game_row).c_str());
    return all_match ? 0 : 1;
}
