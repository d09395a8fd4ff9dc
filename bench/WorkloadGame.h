// What the drawing benchmarks share: turning a shared workload file into a game (where the
// workloads are, the code sections of a workload, a code event, the objects and the room), and
// running a side off screen to read what it reports.
#pragma once

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "objects/Event.h"
#include "objects/EventTypes.h"
#include "platform/Files.h"
#include "runner/GameWriter.h"

namespace kr::bench {

// The shared workloads: $KR_SHARED_BENCH when set, else beside the source tree.
inline std::string SharedBench() {
    const char* dir = std::getenv("KR_SHARED_BENCH");
    return dir ? dir : KR_SHARED_BENCH;
}

// The sections of a workload file: "// ---- obj_bench: Draw event ----" and the code under it.
inline std::map<std::string, std::string> Sections(const std::string& file) {
    std::vector<uint8_t> bytes;
    std::map<std::string, std::string> out;
    if (!ReadWholeFile(file, bytes)) return out;
    std::string text(bytes.begin(), bytes.end()), current;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.starts_with("// ---- ")) {
            current = line.substr(8, line.find(" ----", 8) - 8);
            continue;
        }
        if (!current.empty()) out[current] += line + "\n";
    }
    return out;
}

// An event whose one action is the code.
inline CEvent Code(const std::string& code) {
    CAction a;
    a.kind = CAction::kCode;
    a.exec_type = CAction::kExecCode;
    a.arg_count = 1;
    a.arg_texts[0] = code;
    CEvent e;
    e.actions.push_back(std::move(a));
    return e;
}

// The workload's create code with its count set to n: the assignment `from` ("global.n =
// 1000;") becomes "global.n = <n>;".
inline std::string CreateCode(std::map<std::string, std::string>& sections, const std::string& from,
                              int n) {
    std::string create = sections["obj_bench: Create event"];
    if (size_t at = create.find(from); at != std::string::npos)
        create.replace(at, from.size(), "global.n = " + std::to_string(n) + ";");
    return create;
}

// Adds the benchmarks' room (640x480, one obj_bench, object 0) and returns the game file.
inline std::vector<uint8_t> FinishWithRoom(GameWriter& w) {
    CRoom room;
    room.width = 640, room.height = 480;
    room.background_color = 26 | 26 << 8 | 51 << 16;
    room.instances.push_back({0, 0, 0, 100001, ""});
    w.Add("room", room);
    return w.WriteGameFile();
}

// Finishes a workload's game after its resources: obj_bench with the create code and the
// workload's Step and Draw events; with `balls`, obj_ball (sprite 0, its End Step event); one
// obj_bench in a 640x480 room. Returns the game file.
inline std::vector<uint8_t> FinishGame(GameWriter& w, std::map<std::string, std::string>& sections,
                                       const std::string& create, bool balls) {
    w.room_order = {0};
    CObject bench;
    bench.events[kEventCreate][0] = Code(create);
    bench.events[kEventStep][0] = Code(sections["obj_bench: Step event"]);
    if (!sections["obj_bench: Draw event"].empty())
        bench.events[kEventDraw][0] = Code(sections["obj_bench: Draw event"]);
    w.Add("obj_bench", bench);
    if (balls) {
        CObject ball;
        ball.sprite = 0;
        if (!sections["obj_ball: End Step event"].empty())
            ball.events[kEventStep][2] = Code(sections["obj_ball: End Step event"]);
        w.Add("obj_ball", ball);
    }
    return FinishWithRoom(w);
}

// Processor time (user + system) of the finished children so far.
inline double ChildCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// What a benchmark program run off screen reported: the number after each of `keys` (such as
// "fps=") on the last line that holds it, the processor time the whole run took, and the
// processor time of its measured stretch alone (`window_cpu`, see RunOffscreen).
struct Report {
    std::map<std::string, double> values;
    double cpu = 0;
    double window_cpu = 0;
    double operator[](const std::string& key) const {
        auto it = values.find(key);
        return it == values.end() ? 0 : it->second;
    }
};

// Whether `program` is found on the search path. A benchmark whose peer is missing says so once
// and still runs our side.
inline bool PeerInstalled(const std::string& program, const char* package) {
    const bool found = std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
    if (!found)
        std::fprintf(stderr, "%s is not installed (Debian package %s): only our side runs\n",
                     program.c_str(), package);
    return found;
}

// Processor time (user + system, all threads, seconds) of process `root` and every process
// below it, from /proc; the children it has waited for are counted too. 0 where /proc is
// missing.
inline double TreeCpuSeconds(long root) {
    std::map<long, long> parent;
    std::map<long, double> own;
    const double tick = double(sysconf(_SC_CLK_TCK));
    DIR* proc = opendir("/proc");
    if (!proc) return 0;
    while (dirent* e = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (pid <= 0 || *end) continue;
        FILE* f = std::fopen(("/proc/" + std::string(e->d_name) + "/stat").c_str(), "r");
        if (!f) continue;
        char buf[1024];
        const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
        std::fclose(f);
        buf[n] = 0;
        // The fields after the command name, which may hold spaces and parentheses.
        const char* rest = std::strrchr(buf, ')');
        if (!rest) continue;
        char state = 0;
        long ppid = 0;
        unsigned long long times[4] = {};  // utime stime cutime cstime (fields 14-17)
        if (std::sscanf(rest + 2, "%c %ld %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu %llu %llu",
                        &state, &ppid, &times[0], &times[1], &times[2], &times[3]) != 6)
            continue;
        parent[pid] = ppid;
        own[pid] = double(times[0] + times[1] + times[2] + times[3]) / tick;
    }
    closedir(proc);
    double sum = 0;
    for (const auto& [pid, seconds] : own) {
        for (long p = pid, hops = 0; p > 0 && hops < 64; ++hops) {
            if (p == root) {
                sum += seconds;
                break;
            }
            auto it = parent.find(p);
            if (it == parent.end()) break;
            p = it->second;
        }
    }
    return sum;
}

// Runs a benchmark program off screen and reads what it reports (see Report). Both sides of a
// workload print "frames=F seconds=S" for the stretch they measure, and that stretch ends when
// they print. While the program runs, the processor time of its process tree is sampled, and
// `window_cpu` is what it used in the S seconds before its report arrived: warm-up and start-up,
// which differ between the sides (ours warms up for a number of steps, a slow frame rate
// lengthens that), are left out of it.
inline Report RunOffscreen(const std::string& command, std::initializer_list<const char*> keys) {
    using Clock = std::chrono::steady_clock;
    Report r;
    const double cpu0 = ChildCpuSeconds();
    // The shell says its number and then becomes the program.
    FILE* p = popen(("echo kr-bench-pid=$$; exec env SDL_VIDEODRIVER=offscreen "
                     "SDL_AUDIODRIVER=dummy " +
                     command + " 2>&1")
                        .c_str(),
                    "r");
    if (!p) return r;
    std::mutex mutex;
    std::vector<std::pair<Clock::time_point, double>> samples;  // (when, processor seconds)
    std::atomic<long> pid{0};
    std::atomic<bool> done{false};
    std::thread sampler([&] {
        while (!done) {
            if (const long id = pid) {
                const double cpu = TreeCpuSeconds(id);
                std::lock_guard<std::mutex> lock(mutex);
                samples.emplace_back(Clock::now(), cpu);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    Clock::time_point reported{};
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        const std::string l(line);
        if (l.starts_with("kr-bench-pid=")) {
            pid = std::atol(l.c_str() + 13);
            continue;
        }
        if (l.find("seconds=") != std::string::npos) {
            reported = Clock::now();
            r.values["seconds="] = std::atof(l.c_str() + l.find("seconds=") + 8);
        }
        for (const char* key : keys)
            if (size_t f = l.find(key); f != std::string::npos)
                r.values[key] = std::atof(l.c_str() + f + std::string(key).size());
    }
    done = true;
    sampler.join();
    pclose(p);
    r.cpu = ChildCpuSeconds() - cpu0;
    // The processor time at a moment, from the samples on either side of it.
    auto at = [&](Clock::time_point t) {
        for (size_t i = 1; i < samples.size(); ++i) {
            if (samples[i].first < t) continue;
            const auto& [t0, c0] = samples[i - 1];
            const auto& [t1, c1] = samples[i];
            const double span = std::chrono::duration<double>(t1 - t0).count();
            const double part = span > 0 ? std::chrono::duration<double>(t - t0).count() / span : 1;
            return c0 + (c1 - c0) * std::clamp(part, 0.0, 1.0);
        }
        return samples.empty() ? 0.0 : samples.back().second;
    };
    const double seconds = r["seconds="];
    if (reported != Clock::time_point{} && seconds > 0 && samples.size() > 1) {
        const auto from = reported - std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(seconds));
        if (from >= samples.front().first) r.window_cpu = at(reported) - at(from);
    }
    return r;
}

}  // namespace kr::bench
