// Builds an example project from examples/, runs it headless for `steps` steps and returns the
// picture of its last step; nothing (with the reason in `error`) when any stage fails.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/ImageCodecs.h"
#include "platform/Files.h"
#include "support/ScratchDir.h"
#include "support/Subprocess.h"

namespace kr::test {

inline std::optional<TBitmap32> ExampleScreenshot(const ScratchDir& dir, const std::string& name,
                                                  int steps, std::string& error) {
    const std::string korvane = std::string(KR_BINARY_DIR) + "/src/app/korvane";
    const std::string example = std::string(KR_SOURCE_DIR) + "/examples/" + name;
    ProcessResult r = RunProgram(korvane, {"build", example, "-o", dir / name});
    error = r.err;
    if (r.status != 0) return std::nullopt;
    r = RunProgram(korvane,
                   {"run", "--headless", "--max-steps", std::to_string(steps), "--screenshot",
                    std::to_string(steps - 1) + "=" + (dir / "shot.png"), dir / name},
                   dir.Path());
    error = r.err;
    std::vector<uint8_t> bytes;
    if (r.status != 0 || !ReadWholeFile(dir / "shot.png", bytes)) return std::nullopt;
    return DecodePng(bytes);
}

}  // namespace kr::test
