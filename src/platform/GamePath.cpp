#include "platform/GamePath.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace kr {

namespace {
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The entry of `dir` that equals `name` ignoring case, or "" when there is none.
std::string FindIgnoringCase(const std::string& dir, std::string_view name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string best;
    while (dirent* e = ::readdir(d)) {
        std::string_view entry = e->d_name;
        if (SameIgnoringCase(entry, name) && (best.empty() || entry < best)) best = entry;
    }
    ::closedir(d);
    return best;
}
}  // namespace

std::string MapGamePath(std::string_view game_path) {
    std::string out;
    size_t i = 0;
    if (!game_path.empty() && (game_path[0] == '\\' || game_path[0] == '/')) out.push_back('/');
    bool matching = true;  // false once a component is missing: nothing below it can exist
    while (i < game_path.size()) {
        size_t end = i;
        while (end < game_path.size() && game_path[end] != '\\' && game_path[end] != '/') ++end;
        std::string_view part = game_path.substr(i, end - i);
        i = end + 1;
        if (part.empty()) continue;
        // The path grows in place: the directory so far, a separator, then the component as
        // written or as found on disk.
        const size_t dir_size = out.size();
        if (!out.empty() && out.back() != '/') out.push_back('/');
        const size_t base = out.size();
        out.append(part);
        if (matching && part != "." && part != ".." && !Exists(out)) {
            std::string found = FindIgnoringCase(out.substr(0, dir_size), part);
            if (!found.empty()) {
                out.resize(base);
                out.append(found);
                continue;
            }
            matching = false;
        }
    }
    // A trailing separator names a directory; keep it so callers see the same intent.
    if (!game_path.empty() && (game_path.back() == '\\' || game_path.back() == '/') &&
        !out.empty() && out.back() != '/')
        out += '/';
    return out;
}

}  // namespace kr
