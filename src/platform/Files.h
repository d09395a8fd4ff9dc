// Host file-system helpers. Paths here are host paths; a path that comes from a game goes
// through MapGamePath (GamePath.h) first.
//
// Whole-file writes are atomic: the data goes to a temporary file beside the target, which is
// then renamed over it, so a file is written whole or not at all. The temporary file has no name
// while it is written where the file system allows it, so a process killed in the middle leaves
// nothing behind; elsewhere it is named NAME.kr-tmp-PID-N, and such files of processes that no
// longer exist are removed by the next write of NAME.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace kr {

// Reads a regular file whole. On failure errno says why (EISDIR for a directory). A non-zero
// `*stop` (a request to end the run, polled between pieces of a few megabytes) gives up:
// false with EINTR.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out,
                   const volatile std::sig_atomic_t* stop = nullptr);

// A regular file open for reading, for readers that look at a few places before deciding what
// to read (a game's data appended to a program is read without the program before it).
class ReadableFile {
public:
    ReadableFile() = default;
    ~ReadableFile();
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;

    // False when `path` cannot be opened or is not a regular file; errno says why (EISDIR for a
    // directory).
    bool Open(const std::string& path);
    // The size when it was opened.
    uint64_t Size() const { return size_; }
    // Exactly `n` bytes at `offset`; false on an error (errno), or with ENODATA past the end of
    // the file.
    bool ReadAt(uint64_t offset, void* into, size_t n) const;
    // Everything from `offset` to the end of the file, what it grew by since it was opened
    // included (nothing when `offset` is past the end). `stop` as for ReadWholeFile.
    bool ReadFrom(uint64_t offset, std::vector<uint8_t>& out,
                  const volatile std::sig_atomic_t* stop = nullptr) const;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};
// "path: reason" for the failure errno holds ("No such file or directory", "Permission
// denied", "Is a directory"), for the line under a failure's own message.
std::string PathErrorText(const std::string& path);
// `mode` gives the permission bits of a new file (0755 for a program).
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> data,
                         unsigned mode = 0644);

// Writes a whole file in one go, replacing what was there, with neither a temporary name nor a
// flush to the disk: for files in a directory of this process's own that nothing else reads and
// that do not outlive the run.
bool WriteScratchFile(const std::string& path, std::span<const uint8_t> data);
// The first line of a text file without its line end; false when the file cannot be read.
bool ReadFirstLine(const std::string& path, std::string& line);

// Existence tests; a symbolic link counts as what it points to.
bool FileExists(const std::string& path);  // anything that is not a directory
bool DirectoryExists(const std::string& path);

// Creates `path` and every missing parent. True when the directory exists afterwards.
bool CreateDirectories(const std::string& path);
// Creates exactly one directory. Fails (with errno EEXIST) when anything of that name exists,
// which makes it a safe way to claim a fresh name.
bool CreateNewDirectory(const std::string& path);

// Deletes one file or symbolic link (never what the link points to).
bool DeleteFile(const std::string& path);

// Removes a directory and everything below it. Symbolic links inside are removed as links and
// never followed, so nothing outside the tree is touched. Returns false when something could
// not be removed (the rest is removed all the same).
bool RemoveDirectoryTree(const std::string& path);

// The directory part of a host path ("." when there is none) and the last component.
std::string DirectoryOf(const std::string& path);
std::string FileNameOf(const std::string& path);

// ---- Open files, directory listings and queries, for the file functions of games.

// How OpenFileInPlace opens a file.
enum class FileAccess { kRead, kWrite, kReadWrite };
// Opens a file at position 0 without truncating it; a missing file is created (mode 0644).
// Null on failure.
std::FILE* OpenFileInPlace(const std::string& path, FileAccess access);
// Cuts an open file to length 0 (after flushing it); its position is left where it was.
bool TruncateOpenFile(std::FILE* file);
// The size in bytes of an open file, as the file system has it (flush first).
bool OpenFileSize(std::FILE* file, int64_t& size);

// What a path names, following symbolic links.
struct PathStatus {
    bool directory = false;
    bool regular = false;   // a plain file (not a directory, device, pipe or socket)
    bool writable = false;  // this process may write it
};
// False when nothing is there.
bool StatPath(const std::string& path, PathStatus& status);
// Whether anything at all has this name, a dangling symbolic link included.
bool EntryExists(const std::string& path);
// The names in a directory ("." and ".." included) that match a wildcard pattern (`*`, `?`,
// `[...]`), letters in either case; empty when the directory cannot be read.
std::vector<std::string> ListDirectory(const std::string& dir, const std::string& pattern);

// The free space (for this user) and the total size in bytes of the file system holding
// `path`; false when they cannot be read.
bool DiskSpace(const std::string& path, double& free_bytes, double& total_bytes);
// The process's working directory; empty when it cannot be read.
std::string CurrentDirectory();
// This process's id, for names no other process picks.
int64_t ProcessId();

}  // namespace kr
