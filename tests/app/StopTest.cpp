// Stopping a run from outside: Ctrl+C, SIGTERM and the time limit end it cleanly even inside a
// script loop that never ends or a built-in that takes long, with the temporary directory
// removed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "support/ScratchDir.h"
#include "support/Subprocess.h"

extern char** environ;

namespace kr {
namespace {

using test::KorvanePath;

using test::ScratchDir;

// A game whose first step never ends.
std::string WriteRunawayProject(const ScratchDir& dir) {
    dir.Write("p/game.toml",
              "format = 1\nroom_order = [\"room_main\"]\n[resources]\nobjects = [\"obj_loop\"]\n"
              "rooms = [\"room_main\"]\n");
    dir.Write("p/objects/obj_loop.toml",
              "name = \"obj_loop\"\n[[event]]\ntype = \"step\"\n[[event.action]]\nlibrary = 1\n"
              "id = 603\nkind = \"code\"\nexecute = \"code\"\ncode = \"obj_loop/step.krs\"\n");
    dir.Write("p/objects/obj_loop/step.krs", "var n; n = 0; while (true) { n += 1; }\n");
    dir.Write("p/rooms/room_main.toml",
              "name = \"room_main\"\ninstances = [{ x = 0, y = 0, object = \"obj_loop\", id = "
              "100001 }]\n");
    return dir / "p";
}

// The temporary directories of runs below `base`.
int TempDirectories(const std::string& base) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(base))
        n += e.path().filename().string().starts_with("kr_ttt_");
    return n;
}

// Whether process `pid` has a handler for `signal` installed (its SigCgt mask in /proc).
bool CatchesSignal(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (!line.starts_with("SigCgt:")) continue;
        const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
        return (mask >> (signal - 1)) & 1;
    }
    return false;
}

// Runs korvane with TMPDIR set to `temp`, sends `signal` once it catches it (and a moment later,
// so that the step has begun), and returns the exit status.
int RunAndSignal(const std::vector<std::string>& args, const std::string& temp, int signal) {
    std::vector<std::string> all{KorvanePath()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_text{"TMPDIR=" + temp};
    for (char** e = environ; *e; ++e)
        if (!std::string_view(*e).starts_with("TMPDIR=")) env_text.push_back(*e);
    std::vector<char*> env;
    for (std::string& e : env_text) env.push_back(e.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    // Until the program catches the signal and, for a game, has made its temporary directory (a
    // program of the script command has none).
    auto ready = [&] {
        return CatchesSignal(pid, signal) && (args[0] != "run" || TempDirectories(temp) > 0);
    };
    for (int i = 0; i < 2000 && !ready(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::kill(pid, signal);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Stop, SignalsEndARunawayRunCleanly) {
    ScratchDir dir;
    const std::string project = WriteRunawayProject(dir);
    struct Case {
        std::vector<std::string> args;
        int signal, status;
    } cases[] = {
        {{"run", "--headless", project}, SIGINT, 130},
        {{"run", "--headless", project}, SIGTERM, 143},
        {{"script", "-e", "while (true) {}"}, SIGINT, 130},
        // One built-in that would search for an hour: it answers the signal on the way.
        {{"script", "-e",
          "s = string_repeat(\"a\", 16000000); p = string_repeat(\"a\", 8000000) + \"b\";"
          "n = string_count(p, s); while (true) {}"},
         SIGTERM,
         143},
        // A loop whose every pass is a slow built-in answers it after the call.
        {{"script", "-e", "while (true) { t = string_repeat(\"ab\", 5000000); }"}, SIGTERM, 143},
        {{"script", "-e", "sleep(3600000)"}, SIGTERM, 143},  // a wait of an hour
        // A line without end: reading it would never return.
        {{"script", "-e",
          "f = file_text_open_read(\"/dev/zero\"); file_text_readln(f); while (true) {}"},
         SIGTERM,
         143},
    };
    for (const Case& c : cases) {
        const std::string temp = dir / ("temp" + std::to_string(c.signal) + c.args[0]);
        CreateDirectories(temp);
        EXPECT_EQ(RunAndSignal(c.args, temp, c.signal), c.status) << c.args[0];
        EXPECT_EQ(TempDirectories(temp), 0) << c.args[0];
    }
}

TEST(Stop, TheTimeLimitEndsTheRunWithStatusThree) {
    ScratchDir dir;
    const std::string project = WriteRunawayProject(dir);
    test::ProcessResult r =
        test::RunProgram(KorvanePath(), {"run", "--headless", "--time-limit", "0.5", project});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "korvane: the run was ended after its time limit of 0.5 seconds\n");
}

}  // namespace
}  // namespace kr
