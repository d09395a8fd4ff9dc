#include "support/Subprocess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "support/ScratchDir.h"

extern char** environ;

namespace kr::test {

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& work_dir, std::string_view input) {
    ScratchDir capture;
    std::string out = capture / "out", err = capture / "err";
    std::string in = input.empty() ? std::string("/dev/null") : capture.Write("in", input);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!work_dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, work_dir.c_str());
    pid_t pid = 0;
    ProcessResult r;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return r;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
    r.out = ReadText(out);
    r.err = ReadText(err);
    return r;
}

}  // namespace kr::test
