// Runs a program and collects its exit status and output, for tests of the korvane command.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kr::test {

struct ProcessResult {
    int status = -1;  // the exit status; -1 when the program did not exit normally
    std::string out, err;
};

// Runs `program` with `args` (without the program name) in `work_dir` (when not empty), with
// `input` as standard input (empty: none).
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& work_dir = "", std::string_view input = {});

// The korvane program of this build.
inline std::string KorvanePath() {
    return std::string(KR_BINARY_DIR) + "/src/app/korvane";
}

}  // namespace kr::test
