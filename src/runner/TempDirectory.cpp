#include "runner/TempDirectory.h"

#include <cerrno>

#include "platform/Files.h"
#include "platform/GamePath.h"

namespace kr {

namespace {
std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::string cwd = CurrentDirectory();
    return cwd.empty() ? path : cwd + "/" + path;
}

std::string WithoutTrailingSlashes(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}
}  // namespace

std::string ChooseTempBase(const TempDirectoryPlaces& places) {
    std::string line;
    // An empty first line names no directory; it would put the directory at the top of the
    // file system.
    if (ReadFirstLine(places.executable_dir + "/tempdir.txt", line) && !line.empty())
        return MapGamePath(line);
    for (const char* name : {"temp", "TEMP", "tmp", "TMP", "TMPDIR"}) {
        const char* v = places.getenv ? places.getenv(name) : nullptr;
        if (v && *v) return v;
    }
    return places.system_temp;
}

std::string TryCreateTempDirectory(const std::string& base, Random& rng) {
    std::string root = WithoutTrailingSlashes(Absolute(base));
    if (root.empty() || !CreateDirectories(root)) return {};
    if (root == "/") root.clear();
    // Creating the directory claims the name, so two runs never share one. The bound only
    // matters when nearly all 100000 names are taken.
    for (int attempt = 0; attempt < 1000000; ++attempt) {
        std::string path = root + "/kr_ttt_" + std::to_string(rng.NextBelow(100000));
        if (CreateNewDirectory(path)) return path;
        if (errno != EEXIST) return {};
    }
    return {};
}

std::string CreateTempDirectory(const TempDirectoryPlaces& places, Random& rng) {
    for (const std::string& base :
         {ChooseTempBase(places), places.system_temp, CurrentDirectory()}) {
        std::string dir = TryCreateTempDirectory(base, rng);
        if (!dir.empty()) return dir;
    }
    return {};
}

bool IsInsideDirectory(const std::string& path, const std::string& root) {
    std::string p = WithoutTrailingSlashes(path), r = WithoutTrailingSlashes(root);
    if (r.empty() || p.size() < r.size() || p.compare(0, r.size(), r) != 0) return false;
    if (p.size() > r.size() && p[r.size()] != '/' && r != "/") return false;
    // A ".." below the root could lead back out of it.
    std::string rest = p.substr(r.size()) + "/";
    return rest.find("/../") == std::string::npos;
}

void DeleteDirectoryTree(const std::string& dir, const std::string& temp_root) {
    if (dir.empty() || !IsInsideDirectory(dir, temp_root)) return;
    RemoveDirectoryTree(dir);
}

}  // namespace kr
