// A fresh directory for one test, removed with everything in it when the test ends.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Files.h"

namespace kr::test {

class ScratchDir {
public:
    ScratchDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/kr_test_XXXXXX";
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~ScratchDir() {
        if (!path_.empty()) RemoveDirectoryTree(path_);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

    // Writes a file below the directory (creating its parents) and returns its path.
    std::string Write(std::string_view name, std::string_view content) const {
        std::string p = *this / name;
        CreateDirectories(DirectoryOf(p));
        WriteFileAtomically(p, {reinterpret_cast<const uint8_t*>(content.data()), content.size()});
        return p;
    }
    std::string Write(std::string_view name, const std::vector<uint8_t>& content) const {
        return Write(
            name, std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
    }

private:
    std::string path_;
};

inline std::string ReadText(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return "<missing>";
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace kr::test
