// bench_language: runs each language workload of the shared peer benchmarks through our
// interpreter (in process: compile and run) and the matching Lua program through lua5.4 (a child
// process), alternating the two sides, checks that the checksum lines match and prints per
// workload the best time of each side and the ratio ours / Lua. Lua's start-up time (its empty
// program) is subtracted from its figures, since ours runs in process.
//
//   bench_language [bench-folder] [rounds] [workload...]
//
// The functions the workloads call are registered here in minimal form until the string
// family of the built-in library is merged.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "code/Code.h"
#include "code/Runtime.h"

using namespace kr;

namespace {

std::string g_output;

void fn_show_debug_message(Runtime&, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                           RValue&) {
    if (args[0].IsString()) g_output += args[0].StdStr();
    else g_output += std::to_string(args[0].real);
    g_output += '\n';
}

void fn_string(Runtime&, ScriptInstance*, ScriptInstance*, int, const RValue* args,
               RValue& result) {
    if (args[0].IsString()) {
        result = args[0];
        return;
    }
    char buf[64];
    double v = args[0].real;
    if (v == double(int64_t(v))) std::snprintf(buf, sizeof buf, "%lld", (long long)int64_t(v));
    else std::snprintf(buf, sizeof buf, "%.2f", v);
    result = RValue(std::string_view(buf));
}

void fn_string_copy(Runtime&, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                    RValue& result) {
    std::string_view s = args[0].Str();
    int64_t index = RoundToInt64(ArgReal(args[1])), count = RoundToInt64(ArgReal(args[2]));
    if (index < 1) index = 1;
    if (index > int64_t(s.size()) || count < 1) {
        result = RValue(std::string_view());
        return;
    }
    result = RValue(s.substr(size_t(index - 1), size_t(count)));
}

void fn_string_length(Runtime&, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                      RValue& result) {
    result.SetReal(double(args[0].Str().size()));
}

std::string ReadText(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::string LastLine(const std::string& s) {
    std::string t = s;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
    size_t nl = t.find_last_of('\n');
    return nl == std::string::npos ? t : t.substr(nl + 1);
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One run of our side: a fresh runtime, compile, run. Returns seconds; the checksum line in out.
double RunOurs(const std::string& dir, const std::string& name, std::string& out) {
    double t0 = Now();
    Runtime rt;
    RegisterLanguageVariables(rt);
    rt.Builtins().Add("show_debug_message", fn_show_debug_message, 1);
    rt.Builtins().Add("string", fn_string, 1);
    rt.Builtins().Add("string_copy", fn_string_copy, 3);
    rt.Builtins().Add("string_length", fn_string_length, 1);
    rt.SetScript(0, "fib", ReadText(dir + "/ours/fib.txt"));
    g_output.clear();
    if (!rt.CompileScripts()) return -1;
    CCode code(ReadText(dir + "/ours/" + name + ".txt"), false);
    if (!code.Compile(rt)) {
        std::fprintf(stderr, "%s\n", rt.ErrorText().c_str());
        return -1;
    }
    ScriptInstance self;
    self.id = 100000;
    RValue result;
    if (!rt.Execute(code, &self, &self, result)) {
        std::fprintf(stderr, "%s\n", rt.ErrorText().c_str());
        return -1;
    }
    double t = Now() - t0;
    out = LastLine(g_output);
    return t;
}

double RunLua(const std::string& dir, const std::string& file, std::string& out) {
    std::string cmd = "lua5.4 '" + dir + "/lua/" + file + "'";
    double t0 = Now();
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    int rc = pclose(p);
    double t = Now() - t0;
    out = LastLine(text);
    return rc == 0 ? t : -1;
}

struct Workload {
    const char* ours;
    const char* lua;
};

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : KR_SHARED_BENCH;
    int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::vector<Workload> all = {{"a_numeric", "a_numeric.lua"},
                                 {"b_fib", "b_fib.lua"},
                                 {"c_array", "c_array.lua"},
                                 {"d_string", "d_string.lua"},
                                 {"z_empty", "empty.lua"}};
    std::vector<Workload> chosen;
    for (int i = 3; i < argc; ++i)
        for (const Workload& w : all)
            if (std::strcmp(w.ours, argv[i]) == 0) chosen.push_back(w);
    if (chosen.empty()) chosen = all;

    // Lua's start-up, subtracted from every Lua figure.
    std::string ignored;
    double lua_start = 1e9;
    for (int r = 0; r < rounds; ++r) lua_start = std::min(lua_start, RunLua(dir, "empty.lua", ignored));

    bool all_match = true;
    std::printf("%-10s %12s %12s %8s  %s\n", "workload", "ours (s)", "lua (s)", "ratio", "checksum");
    for (const Workload& w : chosen) {
        double best_ours = 1e9, best_lua = 1e9;
        std::string sum_ours, sum_lua;
        for (int r = 0; r < rounds; ++r) {
            double a = RunOurs(dir, w.ours, sum_ours);
            double b = RunLua(dir, w.lua, sum_lua);
            if (a < 0 || b < 0) {
                std::printf("%-10s failed to run\n", w.ours);
                return 1;
            }
            best_ours = std::min(best_ours, a);
            best_lua = std::min(best_lua, b);
        }
        double lua_net = std::max(best_lua - lua_start, 1e-6);
        bool match = sum_ours == sum_lua;
        all_match = all_match && match;
        std::printf("%-10s %12.4f %12.4f %8.2f  %s%s\n", w.ours, best_ours, lua_net,
                    best_ours / lua_net, sum_ours.c_str(), match ? "" : ("  MISMATCH: lua says " + sum_lua).c_str());
    }
    std::printf("(lua start-up %.4f s subtracted; best of %d alternating rounds)\n", lua_start,
                rounds);
    return all_match ? 0 : 1;
}
