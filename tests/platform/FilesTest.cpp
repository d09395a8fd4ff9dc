// Whole-file writes: a process killed in the middle of one leaves the old file as it was and no
// stray file beside it, and temporary files left by dead processes go on the next write.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "support/ScratchDir.h"

namespace kr {
namespace {

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool Write(const std::string& path, const std::string& text) {
    return WriteFileAtomically(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

// The id of a process that has ended.
pid_t DeadProcess() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

TEST(Files, AWriteKilledHalfWayLeavesTheOldFileAndNothingBesideIt) {
    test::ScratchDir dir;
    const std::string save = dir.Write("game.sav", "the old state");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // The file size limit stops the process with SIGXFSZ in the middle of the write, the
        // way a kill would.
        const rlimit fsize{1 << 20, 1 << 20}, core{0, 0};
        ::setrlimit(RLIMIT_FSIZE, &fsize);
        ::setrlimit(RLIMIT_CORE, &core);
        ::signal(SIGXFSZ, SIG_DFL);
        Write(save, std::string(8 << 20, 'x'));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_EQ(test::ReadText(save), "the old state");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"game.sav"});
    ASSERT_TRUE(Write(save, "the new state"));
    EXPECT_EQ(test::ReadText(save), "the new state");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"game.sav"});
}

TEST(Files, TheNextWriteRemovesTemporaryFilesOfDeadProcesses) {
    test::ScratchDir dir;
    const std::string dead = std::to_string(DeadProcess());
    const std::string live = std::to_string(::getppid());
    for (const std::string& name :
         {"game.sav.kr-tmp-" + dead, "game.sav.kr-tmp-" + dead + "-4", "game.sav.kr-tmp-" + live,
          "game.sav.kr-tmp-" + live + "-0", std::string("game.sav.kr-tmp-notanumber"),
          "other.sav.kr-tmp-" + dead})
        dir.Write(name, "left over");
    ASSERT_TRUE(Write(dir / "game.sav", "state"));
    EXPECT_EQ(Names(dir.Path()),
              (std::vector<std::string>{"game.sav", "game.sav.kr-tmp-" + live,
                                        "game.sav.kr-tmp-" + live + "-0",
                                        "game.sav.kr-tmp-notanumber", "other.sav.kr-tmp-" + dead}));
    EXPECT_EQ(test::ReadText(dir / "game.sav"), "state");
}

}  // namespace
}  // namespace kr
