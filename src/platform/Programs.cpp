#include "platform/Programs.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/GamePath.h"

extern char** environ;

namespace kr {

std::string ProgramsUnavailable() {
#ifdef __EMSCRIPTEN__
    return "a web page cannot start programs";
#else
    return {};
#endif
}

std::vector<std::string> SplitCommandLine(std::string_view text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i >= text.size()) break;
        std::string word;
        bool quoted = false;
        for (; i < text.size(); ++i) {
            char c = text[i];
            if (c == '\\' && i + 1 < text.size() && text[i + 1] == '"') {
                word += '"';
                ++i;
            } else if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && (c == ' ' || c == '\t')) {
                break;
            } else {
                word += c;
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool EndsWithExe(std::string_view name) {
    if (name.size() < 4) return false;
    std::string_view end = name.substr(name.size() - 4);
    return end[0] == '.' && (end[1] | 0x20) == 'e' && (end[2] | 0x20) == 'x' &&
           (end[3] | 0x20) == 'e';
}

// The first of `path` and `path` without ".exe" that is an executable file.
std::string Executable(const std::string& path) {
    if (IsExecutableFile(path)) return path;
    if (EndsWithExe(path)) {
        std::string bare = path.substr(0, path.size() - 4);
        if (IsExecutableFile(bare)) return bare;
    }
    return {};
}

}  // namespace

std::string FindProgram(std::string_view game_name) {
    if (game_name.empty()) return {};
    bool has_dir = game_name.find_first_of("\\/") != std::string_view::npos;
    std::string mapped = MapGamePath(game_name);
    if (std::string found = Executable(has_dir ? mapped : "./" + mapped); !found.empty())
        return found;
    if (has_dir) return {};
    const char* path_var = std::getenv("PATH");
    std::string_view dirs = path_var ? path_var : "/usr/local/bin:/usr/bin:/bin";
    while (!dirs.empty()) {
        size_t colon = dirs.find(':');
        std::string_view dir = dirs.substr(0, colon);
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
        if (dir.empty()) continue;
        if (std::string found = Executable(std::string(dir) + "/" + std::string(game_name));
            !found.empty())
            return found;
    }
    return {};
}

bool StartProgram(const std::string& path, const std::vector<std::string>& args, bool wait,
                  std::vector<int>& running) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    // posix_spawn reports a program that cannot be executed as its result.
    if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    if (!wait) {
        running.push_back(int(pid));
        return true;
    }
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void ReapPrograms(std::vector<int>& running) {
    std::erase_if(running, [](int pid) {
        int status = 0;
        return ::waitpid(pid_t(pid), &status, WNOHANG) != 0;
    });
}

bool OpenWithDesktop(const std::string& target, std::vector<int>& running) {
    std::string opener = FindProgram("xdg-open");
    if (opener.empty()) return false;
    return StartProgram(opener, {target}, false, running);
}

}  // namespace kr
