// What the drawing benchmarks share to turn a shared workload file into a game: where the
// workloads are, the code sections of a workload, and a code event.
#pragma once

#include <cstdint>
#include <cstdlib>
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

}  // namespace kr::bench
