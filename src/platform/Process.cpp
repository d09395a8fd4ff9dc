#include "platform/Process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>

#ifdef __linux__
#include <sched.h>
#endif

namespace kr {

std::string ExecutablePath() {
    std::string buf(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || size_t(n) >= buf.size()) return {};
    buf.resize(size_t(n));
    return buf;
}

namespace {
struct File {
    int fd;
    explicit File(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~File() {
        if (fd >= 0) ::close(fd);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool Read(uint64_t at, void* out, size_t n) const {
        return ::pread(fd, out, n, off_t(at)) == ssize_t(n);
    }
};

uint64_t Le(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}
}  // namespace

uint64_t ProgramImageSize(const std::string& path) {
    File f(path);
    if (f.fd < 0) return 0;
    uint8_t eh[64];
    // Only 64-bit little-endian ELF files: the only kind this runner is built as.
    if (!f.Read(0, eh, sizeof eh) ||
        std::memcmp(eh,
                    "\x7f"
                    "ELF",
                    4) != 0 ||
        eh[4] != 2 || eh[5] != 1)
        return 0;
    uint64_t phoff = Le(eh + 0x20, 8), shoff = Le(eh + 0x28, 8);
    uint64_t phentsize = Le(eh + 0x36, 2), phnum = Le(eh + 0x38, 2);
    uint64_t shentsize = Le(eh + 0x3A, 2), shnum = Le(eh + 0x3C, 2);
    uint64_t end =
        std::max<uint64_t>(64, std::max(phoff + phentsize * phnum, shoff + shentsize * shnum));
    for (uint64_t i = 0; i < phnum && phentsize >= 56; ++i) {
        uint8_t ph[56];
        if (!f.Read(phoff + i * phentsize, ph, sizeof ph)) return 0;
        end = std::max(end, Le(ph + 0x08, 8) + Le(ph + 0x20, 8));  // p_offset + p_filesz
    }
    for (uint64_t i = 0; i < shnum && shentsize >= 64; ++i) {
        uint8_t sh[64];
        if (!f.Read(shoff + i * shentsize, sh, sizeof sh)) return 0;
        constexpr uint64_t kNoBits = 8;  // a section that takes no room in the file
        if (Le(sh + 0x04, 4) != kNoBits) end = std::max(end, Le(sh + 0x18, 8) + Le(sh + 0x20, 8));
    }
    return end;
}

std::vector<uint8_t> StripProgramImage(std::vector<uint8_t> p) {
    if (p.size() < 64 ||
        std::memcmp(p.data(),
                    "\x7f"
                    "ELF",
                    4) != 0 ||
        p[4] != 2 || p[5] != 1)
        return p;
    const uint64_t phoff = Le(&p[0x20], 8), phentsize = Le(&p[0x36], 2), phnum = Le(&p[0x38], 2);
    if (phentsize < 56 || phoff > p.size() || phnum * phentsize > p.size() - phoff) return p;
    // What the loader needs: the headers and every segment's bytes in the file.
    uint64_t end = std::max<uint64_t>(64, phoff + phentsize * phnum);
    for (uint64_t i = 0; i < phnum; ++i) {
        const uint8_t* ph = &p[phoff + i * phentsize];
        const uint64_t offset = Le(ph + 0x08, 8), size = Le(ph + 0x20, 8);
        if (offset > p.size() || size > p.size() - offset) return p;
        end = std::max(end, offset + size);
    }
    // No section header table: e_shoff, e_shnum and e_shstrndx become 0.
    std::memset(&p[0x28], 0, 8);
    std::memset(&p[0x3C], 0, 4);
    p.resize(end);
    return p;
}

bool HasAppendedData(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    uint64_t image = ProgramImageSize(path);
    return image > 0 && uint64_t(st.st_size) > image;
}

unsigned UsableCores() {
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return unsigned(CPU_COUNT(&set));
#endif
    return std::thread::hardware_concurrency();
}

}  // namespace kr

namespace kr {

std::FILE* TakeStandardOutput() {
    std::fflush(stdout);
    const int fd = dup(STDOUT_FILENO);
    if (fd < 0) return stdout;
    dup2(STDERR_FILENO, STDOUT_FILENO);
    std::FILE* out = fdopen(fd, "w");
    return out ? out : stdout;
}

}  // namespace kr
