// What the drawing benchmarks share: turning a shared workload file into a game (where the
// workloads are, the code sections of a workload, a code event, the objects and the room), and
// running a side off screen to read what it reports.
#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <string>
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
// "fps=") on the last line that holds it, and the processor time the run took.
struct Report {
    std::map<std::string, double> values;
    double cpu = 0;
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

inline Report RunOffscreen(const std::string& command, std::initializer_list<const char*> keys) {
    Report r;
    const double cpu0 = ChildCpuSeconds();
    FILE* p = popen(
        ("SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " + command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        const std::string l(line);
        for (const char* key : keys)
            if (size_t f = l.find(key); f != std::string::npos)
                r.values[key] = std::atof(l.c_str() + f + std::string(key).size());
    }
    pclose(p);
    r.cpu = ChildCpuSeconds() - cpu0;
    return r;
}

}  // namespace kr::bench
