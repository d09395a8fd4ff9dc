#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kr {

namespace {
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};
}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (f.fd < 0) return false;
    struct stat st;
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    out.clear();
    out.resize(size_t(st.st_size));
    size_t got = 0;
    while (true) {
        if (got == out.size()) out.resize(out.size() + 65536);  // the file grew, or is special
        ssize_t n = ::read(f.fd, out.data() + got, out.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    out.resize(got);
    return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> data) {
    std::string tmp = path + ".kr-tmp-" + std::to_string(::getpid());
    {
        Fd f(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (f.fd < 0) return false;
        size_t done = 0;
        while (done < data.size()) {
            ssize_t n = ::write(f.fd, data.data() + done, data.size() - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                ::unlink(tmp.c_str());
                return false;
            }
            done += size_t(n);
        }
        if (::fsync(f.fd) != 0) {
            ::unlink(tmp.c_str());
            return false;
        }
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace kr
