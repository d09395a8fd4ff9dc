// The host file-system calls the file functions of games go through: open files kept in place,
// directory listings by wildcard, path queries, and whole-file writes, of which one killed half way
// leaves the old file as it was and no stray file beside it.
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

TEST(Files, OpensInPlaceTruncatesAndMeasuresOpenFiles) {
    test::ScratchDir dir;
    const std::string kept = dir.Write("kept.bin", "abcdef");
    // Opening for writing neither truncates nor moves past the start.
    std::FILE* f = OpenFileInPlace(kept, FileAccess::kWrite);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fputc('X', f), 'X');
    std::fflush(f);
    int64_t size = -1;
    ASSERT_TRUE(OpenFileSize(f, size));
    EXPECT_EQ(size, 6);
    ASSERT_TRUE(TruncateOpenFile(f));
    ASSERT_TRUE(OpenFileSize(f, size));
    EXPECT_EQ(size, 0);
    std::fclose(f);
    EXPECT_EQ(test::ReadText(kept), "");

    // A missing file is created; reading a fresh one gives end of file at once.
    f = OpenFileInPlace(dir / "new.bin", FileAccess::kRead);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fgetc(f), EOF);
    std::fclose(f);
    EXPECT_TRUE(FileExists(dir / "new.bin"));
    EXPECT_EQ(OpenFileInPlace(dir / "no/such/dir/x", FileAccess::kReadWrite), nullptr);
}

TEST(Files, ListsByWildcardInAnyCaseAndTellsWhatAPathIs) {
    test::ScratchDir dir;
    dir.Write("Save1.DAT", "1");
    dir.Write("save2.dat", "2");
    dir.Write("notes.txt", "");
    CreateDirectories(dir / "Sub.dat");
    std::vector<std::string> names = ListDirectory(dir.Path(), "*.dat");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Save1.DAT", "Sub.dat", "save2.dat"}));
    EXPECT_TRUE(ListDirectory(dir / "missing", "*").empty());

    PathStatus st;
    ASSERT_TRUE(StatPath(dir / "notes.txt", st));
    EXPECT_TRUE(st.regular && st.writable && !st.directory);
    ASSERT_TRUE(StatPath(dir / "Sub.dat", st));
    EXPECT_TRUE(st.directory && !st.regular);
    EXPECT_FALSE(StatPath(dir / "missing", st));

    // A dangling link is an entry though nothing is behind it.
    ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "link").c_str()), 0);
    EXPECT_TRUE(EntryExists(dir / "link"));
    EXPECT_FALSE(StatPath(dir / "link", st));
    EXPECT_FALSE(EntryExists(dir / "missing"));

    double free_bytes = -1, total_bytes = -1;
    ASSERT_TRUE(DiskSpace(dir.Path(), free_bytes, total_bytes));
    EXPECT_GT(total_bytes, 0);
    EXPECT_GE(free_bytes, 0);
    EXPECT_LE(free_bytes, total_bytes);
    EXPECT_EQ(CurrentDirectory().front(), '/');
}

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
