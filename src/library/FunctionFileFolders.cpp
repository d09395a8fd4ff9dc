// File management on the host: existence, deleting, renaming, copying, directories, searches
// with attributes, and the disk space of the current directory.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "library/FunctionFile.h"
#include "library/FunctionMath.h"
#include "platform/Files.h"

namespace kr {

// ---- File management ----

KR_FILE_FN(file_exists) {
    r = FileExists(HostPath(ArgText(a[0]))) ? 1.0 : 0.0;
}

KR_FILE_FN(file_delete) {
    std::string name = ArgText(a[0]);
    if (Secure(rt) && HasSeparator(name)) {
        rt.RuntimeError("In Secure mode you cannot delete file " + name);
        return;
    }
    DeleteFile(HostPath(name));
}

KR_FILE_FN(file_rename) {
    std::string from = ArgText(a[0]), to = ArgText(a[1]);
    if (Secure(rt) && (HasSeparator(from) || HasSeparator(to))) {
        rt.RuntimeError("In Secure mode you cannot rename file " + from + " into " + to);
        return;
    }
    (void)std::rename(HostPath(from).c_str(), HostPath(to).c_str());
}

KR_FILE_FN(file_copy) {
    std::string from = ArgText(a[0]), to = ArgText(a[1]);
    if (Secure(rt) && (HasSeparator(from) || HasSeparator(to))) {
        rt.RuntimeError("In Secure mode you cannot copy file " + from + " to " + to);
        return;
    }
    std::vector<uint8_t> bytes;
    if (ReadWholeFile(HostPath(from), bytes, rt.InterruptFlag()))
        WriteFileAtomically(HostPath(to), bytes);
}

KR_FILE_FN(directory_exists) {
    r = DirectoryExists(HostPath(ArgText(a[0]))) ? 1.0 : 0.0;
}

KR_FILE_FN(directory_create) {
    std::string name = ArgText(a[0]);
    if (Secure(rt) && HasSeparator(name)) {
        rt.RuntimeError("In Secure mode you cannot create directory " + name);
        return;
    }
    CreateDirectories(HostPath(name));
}

namespace {

// File attributes as games know them, read off the host: read-only when the file may not be
// written, hidden for a name that starts with a point, directory, and archive for every other
// file (the flag a fresh file carries).
constexpr int kAttrReadOnly = 1, kAttrHidden = 2, kAttrSystem = 4, kAttrVolume = 8,
              kAttrDirectory = 16, kAttrArchive = 32;

std::optional<int> Attributes(const std::string& host_path) {
    PathStatus st;
    if (!StatPath(host_path, st)) return std::nullopt;
    int attr = 0;
    if (!st.writable) attr |= kAttrReadOnly;
    std::string name = FileNameOf(host_path);
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") attr |= kAttrHidden;
    attr |= st.directory ? kAttrDirectory : kAttrArchive;
    return attr;
}

}  // namespace

KR_FILE_FN(file_find_first) {
    FileFamily& fam = Files(rt);
    fam.found.clear();
    fam.searching = true;
    std::string mask = ArgText(a[0]);
    int want = ArgInt(a[1]);
    size_t sep = mask.find_last_of("\\/");
    std::string dir = sep == std::string::npos ? "." : HostPath(mask.substr(0, sep + 1));
    std::string pattern = sep == std::string::npos ? mask : mask.substr(sep + 1);
    // The root for a mask like "/x"; appended, as GCC 12 reports assigning "/" here as an
    // overlapping copy.
    if (dir.empty()) dir.push_back('/');
    // Files with special attributes (hidden, system, volume, directory) are found only when
    // the search asks for them; every other file is found whatever it asks.
    int exclude = ~want & (kAttrHidden | kAttrSystem | kAttrVolume | kAttrDirectory);
    for (std::string& name : ListDirectory(dir, pattern)) {
        std::optional<int> attr = Attributes(dir + "/" + name);
        if (!attr || (*attr & exclude) != 0) continue;
        fam.found.push_back(std::move(name));
    }
    std::sort(fam.found.begin(), fam.found.end());
    std::reverse(fam.found.begin(), fam.found.end());  // taken from the back
    r = RValue("");
    if (!fam.found.empty()) {
        r = RValue(fam.found.back());
        fam.found.pop_back();
    }
}

KR_FILE_FN(file_find_next) {
    FileFamily& fam = Files(rt);
    r = RValue("");
    if (!fam.searching || fam.found.empty()) return;
    r = RValue(fam.found.back());
    fam.found.pop_back();
}

KR_FILE_FN(file_find_close) {
    FileFamily& fam = Files(rt);
    fam.searching = false;
    fam.found.clear();
}

KR_FILE_FN(file_attributes) {
    std::optional<int> attr = Attributes(HostPath(ArgText(a[0])));
    r = !attr ? -1.0 : (*attr & ArgInt(a[1])) != 0 ? 1.0 : 0.0;
}

// ---- Disk space: the file system of the current directory (there are no drive letters) ----

namespace {

void DiskBytes(bool free_space, RValue& r) {
    double free_bytes = 0, total_bytes = 0;
    if (!DiskSpace(".", free_bytes, total_bytes)) {
        r = -1.0;
        return;
    }
    r = free_space ? free_bytes : total_bytes;
}

}  // namespace

KR_FILE_FN(disk_free) {
    DiskBytes(true, r);
}
KR_FILE_FN(disk_size) {
    DiskBytes(false, r);
}

}  // namespace kr
