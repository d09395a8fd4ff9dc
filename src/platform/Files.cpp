#include "platform/Files.h"
#include "platform/Memory.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace kr {

namespace {
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    // Closing keeps errno: a caller reports why the call failed, not how the close went.
    ~Fd() {
        if (fd < 0) return;
        int saved = errno;
        ::close(fd);
        errno = saved;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};
}  // namespace

ReadableFile::~ReadableFile() {
    Fd close_it(fd_);
}

bool ReadableFile::Open(const std::string& path) {
    Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (f.fd < 0) return false;
    struct stat st;
    if (::fstat(f.fd, &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    Fd close_old(fd_);
    fd_ = f.fd;
    f.fd = -1;
    size_ = uint64_t(st.st_size);
    return true;
}

bool ReadableFile::ReadAt(uint64_t offset, void* into, size_t n) const {
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::pread(fd_, static_cast<uint8_t*>(into) + got, n - got, off_t(offset + got));
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) {
            errno = ENODATA;
            return false;
        }
        got += size_t(r);
    }
    return true;
}

bool ReadableFile::ReadFrom(uint64_t offset, std::vector<uint8_t>& out,
                            const volatile std::sig_atomic_t* stop) const {
    out.clear();
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    const size_t size = offset < size_ ? size_t(size_ - offset) : 0;
    out.reserve(size);
    if (out.capacity() >= (size_t(8) << 20)) AdviseLargePages(out.data(), out.capacity());
    out.resize(size);
    size_t got = 0;
    while (true) {
        ssize_t n;
        if (stop && *stop) {
            errno = EINTR;
            return false;
        }
        if (got < out.size()) {
            constexpr size_t kPiece = size_t(16) << 20;
            n = ::pread(fd_, out.data() + got, std::min(out.size() - got, kPiece),
                        off_t(offset + got));
        } else {
            // The stated size is read. Only a file that grew goes on: the buffer is not
            // enlarged (and copied) for the end-of-file check alone.
            uint8_t more[65536];
            n = ::pread(fd_, more, sizeof more, off_t(offset + got));
            if (n > 0) out.insert(out.end(), more, more + n);
        }
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

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out,
                   const volatile std::sig_atomic_t* stop) {
    ReadableFile f;
    return f.Open(path) && f.ReadFrom(0, out, stop);
}

namespace {

constexpr const char kTempTag[] = ".kr-tmp-";

// A name beside `path` that no other write uses: the process id, then a number counted by this
// process. Removing stale files relies on the process id coming first.
std::string TempNameFor(const std::string& path) {
    static std::atomic<uint64_t> counter{0};
    return path + kTempTag + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
}

// Writes all of `data` to `fd` and flushes it to the disk.
bool WriteAllAndSync(int fd, std::span<const uint8_t> data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += size_t(n);
    }
    return ::fsync(fd) == 0;
}

// Removes the temporary files that writes of `path` by processes that no longer exist left
// behind (a process killed in the middle of a write). Files of live processes are left alone.
void RemoveStaleTempFiles(const std::string& path) {
    const std::string dir = DirectoryOf(path);
    const std::string prefix = FileNameOf(path) + kTempTag;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const int saved = errno;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (!name.starts_with(prefix)) continue;
        const std::string_view rest = name.substr(prefix.size());
        size_t digits = 0;
        while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
        if (digits == 0 || digits > 9 || (digits < rest.size() && rest[digits] != '-')) continue;
        const pid_t pid = pid_t(std::stol(std::string(rest.substr(0, digits))));
        if (pid <= 0 || pid == ::getpid()) continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to judge
        ::unlinkat(::dirfd(d), e->d_name, 0);
    }
    ::closedir(d);
    errno = saved;
}

// The write through an unnamed file: nothing of it has a name until the data is complete, so a
// process killed while writing leaves nothing behind. The finished file is linked under a fresh
// temporary name and renamed over the target (a link cannot replace an existing name). Gives
// -1 when the file system or the system does not offer unnamed files, so the caller falls back.
int WriteThroughUnnamedFile(const std::string& path, std::span<const uint8_t> data, unsigned mode) {
#ifdef O_TMPFILE
    Fd f(::open(DirectoryOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode_t(mode)));
    if (f.fd < 0) {
        // EISDIR or EINVAL: an older kernel or a file system without unnamed files; ENOENT and
        // the rest are real failures, reported as they are.
        return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? -1 : 0;
    }
    if (!WriteAllAndSync(f.fd, data)) return 0;
    const std::string tmp = TempNameFor(path);
    const std::string self = "/proc/self/fd/" + std::to_string(f.fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, tmp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        // Without /proc the file cannot be given a name: write it again the named way.
        return errno == ENOENT ? -1 : 0;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(tmp.c_str());
        errno = saved;
        return 0;
    }
    return 1;
#else
    (void)path, (void)data, (void)mode;
    return -1;
#endif
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> data, unsigned mode) {
    RemoveStaleTempFiles(path);
    const int unnamed = WriteThroughUnnamedFile(path, data, mode);
    if (unnamed >= 0) return unnamed == 1;
    const std::string tmp = TempNameFor(path);
    {
        Fd f(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode_t(mode)));
        if (f.fd < 0) return false;
        if (!WriteAllAndSync(f.fd, data)) {
            const int saved = errno;
            ::unlink(tmp.c_str());
            errno = saved;
            return false;
        }
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(tmp.c_str());
        errno = saved;
        return false;
    }
    return true;
}

bool WriteScratchFile(const std::string& path, std::span<const uint8_t> data) {
    Fd f(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (f.fd < 0) return false;
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(f.fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool ReadFirstLine(const std::string& path, std::string& line) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    size_t end = 0;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
    line.assign(reinterpret_cast<const char*>(bytes.data()), end);
    return true;
}

std::string PathErrorText(const std::string& path) {
    return path + ": " + std::strerror(errno);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateNewDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0755) == 0;
}

bool CreateDirectories(const std::string& path) {
    if (path.empty()) return false;
    if (DirectoryExists(path)) return true;
    // Create the parents first, from the top; every prefix that ends before a '/' is one.
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] != '/' || path[i - 1] == '/') continue;
        std::string prefix = path.substr(0, i);
        if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    return DirectoryExists(path);
}

bool DeleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

namespace {
// Empties the directory open as `dir` (taking ownership of the descriptor). Entries are
// examined without following links; subdirectories are opened relative to their parent with
// O_NOFOLLOW, so a link swapped in for a directory is never entered.
bool EmptyDirectory(int dir_fd) {
    DIR* d = ::fdopendir(dir_fd);
    if (!d) {
        ::close(dir_fd);
        return false;
    }
    bool ok = true;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st;
        if (::fstatat(::dirfd(d), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            int sub =
                ::openat(::dirfd(d), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0 || !EmptyDirectory(sub)) ok = false;
            if (::unlinkat(::dirfd(d), name.c_str(), AT_REMOVEDIR) != 0) ok = false;
        } else if (::unlinkat(::dirfd(d), name.c_str(), 0) != 0) {
            ok = false;
        }
    }
    ::closedir(d);
    return ok;
}
}  // namespace

bool RemoveDirectoryTree(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISDIR(st.st_mode)) return false;  // a link or a file: not a tree to remove
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    bool ok = fd >= 0 && EmptyDirectory(fd);
    return ::rmdir(path.c_str()) == 0 && ok;
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::FILE* OpenFileInPlace(const std::string& path, FileAccess access) {
    int flags = access == FileAccess::kRead    ? O_RDONLY
                : access == FileAccess::kWrite ? O_WRONLY
                                               : O_RDWR;
    int fd = ::open(path.c_str(), flags | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    // "wb" on a descriptor truncates nothing: the file was opened above without O_TRUNC.
    const char* mode = access == FileAccess::kRead    ? "rb"
                       : access == FileAccess::kWrite ? "wb"
                                                      : "r+b";
    std::FILE* f = ::fdopen(fd, mode);
    if (!f) ::close(fd);
    return f;
}

bool TruncateOpenFile(std::FILE* file) {
    std::fflush(file);
    return ::ftruncate(::fileno(file), 0) == 0;
}

bool OpenFileSize(std::FILE* file, int64_t& size) {
    struct stat st {};
    if (::fstat(::fileno(file), &st) != 0) return false;
    size = int64_t(st.st_size);
    return true;
}

bool StatPath(const std::string& path, PathStatus& status) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    status.directory = S_ISDIR(st.st_mode);
    status.regular = S_ISREG(st.st_mode);
    status.writable = ::access(path.c_str(), W_OK) == 0;
    return true;
}

bool EntryExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> ListDirectory(const std::string& dir, const std::string& pattern) {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return names;
    while (dirent* e = ::readdir(d)) {
        if (::fnmatch(pattern.c_str(), e->d_name, FNM_CASEFOLD) == 0) names.emplace_back(e->d_name);
    }
    ::closedir(d);
    return names;
}

bool DiskSpace(const std::string& path, double& free_bytes, double& total_bytes) {
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) != 0) return false;
    free_bytes = double(st.f_bavail) * double(st.f_frsize);
    total_bytes = double(st.f_blocks) * double(st.f_frsize);
    return true;
}

std::string CurrentDirectory() {
    std::string buf(4096, '\0');
    if (!::getcwd(buf.data(), buf.size())) return {};
    buf.resize(buf.find('\0'));
    return buf;
}

int64_t ProcessId() {
    return int64_t(::getpid());
}

}  // namespace kr
