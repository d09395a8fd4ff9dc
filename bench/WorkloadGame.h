// What the drawing benchmarks share: turning a shared workload file into a game (where the
// workloads are, the code sections of a workload, a code event), and running a side off screen
// to read what it reports.
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
#include "platform/Files.h"

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
