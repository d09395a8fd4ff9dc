// Where the temporary directory goes, how it is named, and that removing it touches nothing
// outside it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <regex>

#include "platform/Files.h"
#include "runner/TempDirectory.h"
#include "support/ScratchDir.h"

namespace kr {
namespace {

using test::ScratchDir;

TempDirectoryPlaces Places(const std::string& exe_dir, std::map<std::string, std::string> env,
                           const std::string& system_temp) {
    TempDirectoryPlaces p;
    p.executable_dir = exe_dir;
    auto shared = std::make_shared<std::map<std::string, std::string>>(std::move(env));
    p.getenv = [shared](const char* name) -> const char* {
        auto it = shared->find(name);
        return it == shared->end() ? nullptr : it->second.c_str();
    };
    p.system_temp = system_temp;
    return p;
}

TEST(TempDirectory, BaseComesFromTempdirTxtThenTheEnvironmentThenTheSystem) {
    ScratchDir dir;
    struct Case {
        const char* tempdir_txt;  // nullptr: no file
        std::map<std::string, std::string> env;
        std::string want;
    } cases[] = {
        {"/games/tmp\r\nsecond line", {{"TEMP", "/env/temp"}}, "/games/tmp"},
        {"", {{"temp", "/env/temp"}}, "/env/temp"},  // an empty first line names nothing
        {nullptr, {{"TEMP", "/env/temp"}, {"TMP", "/env/tmp"}}, "/env/temp"},
        {nullptr, {{"tmp", "/env/tmp"}, {"TMPDIR", "/env/tmpdir"}}, "/env/tmp"},
        {nullptr, {{"TEMP", ""}, {"TMPDIR", "/env/tmpdir"}}, "/env/tmpdir"},
        {nullptr, {}, "/sys/tmp"},
    };
    for (const Case& c : cases) {
        std::string exe_dir = dir / "exe";
        RemoveDirectoryTree(exe_dir);
        if (c.tempdir_txt) dir.Write("exe/tempdir.txt", c.tempdir_txt);
        EXPECT_EQ(ChooseTempBase(Places(exe_dir, c.env, "/sys/tmp")), c.want);
    }
}

TEST(TempDirectory, IsANewNumberedDirectoryInTheBase) {
    ScratchDir dir;
    Random rng;
    rng.SetSeed(1234);
    Random peek = rng;
    std::string taken = dir / ("missing/parent/kr_ttt_" + std::to_string(peek.NextBelow(100000)));
    ASSERT_TRUE(CreateDirectories(taken));

    std::string made = TryCreateTempDirectory(dir / "missing/parent", rng);
    EXPECT_TRUE(
        std::regex_match(made, std::regex(dir.Path() + "/missing/parent/kr_ttt_[0-9]{1,5}")))
        << made;
    EXPECT_NE(made, taken);  // a taken name makes it draw again
    EXPECT_TRUE(DirectoryExists(made));
}

TEST(TempDirectory, FallsBackToTheSystemFolderThenTheCurrentDirectory) {
    ScratchDir dir;
    std::string file = dir.Write("plain-file", "x");  // nothing can be made below a file
    Random rng;
    std::string made =
        CreateTempDirectory(Places(dir.Path(), {{"TEMP", file + "/a"}}, dir / "sys"), rng);
    EXPECT_EQ(made.rfind(dir / "sys/kr_ttt_", 0), 0u) << made;

    std::string cwd = dir / "cwd";
    ASSERT_TRUE(CreateDirectories(cwd));
    char old[4096];
    ASSERT_TRUE(::getcwd(old, sizeof old));
    ASSERT_EQ(::chdir(cwd.c_str()), 0);
    made = CreateTempDirectory(Places(dir.Path(), {{"TEMP", file + "/a"}}, file + "/b"), rng);
    // Every base failing (the current directory is gone) leaves the run without one.
    ASSERT_TRUE(RemoveDirectoryTree(cwd));
    std::string none =
        CreateTempDirectory(Places(dir.Path(), {{"TEMP", file + "/a"}}, file + "/b"), rng);
    ASSERT_EQ(::chdir(old), 0);
    EXPECT_EQ(made.rfind(cwd + "/kr_ttt_", 0), 0u) << made;
    EXPECT_EQ(none, "");
}

TEST(TempDirectory, RemovalDeletesEverythingInsideAndNothingOutside) {
    ScratchDir dir;
    std::string temp = dir / "kr_ttt_1";
    dir.Write("kr_ttt_1/a.txt", "a");
    dir.Write("kr_ttt_1/sub/deeper/b.txt", "b");
    std::string outside_file = dir.Write("outside/keep.txt", "keep");
    ASSERT_EQ(::symlink((dir / "outside").c_str(), (temp + "/sub/link-to-dir").c_str()), 0);
    ASSERT_EQ(::symlink(outside_file.c_str(), (temp + "/link-to-file").c_str()), 0);

    DeleteDirectoryTree(dir / "outside", temp);  // not inside the temporary directory
    EXPECT_TRUE(FileExists(outside_file));

    DeleteDirectoryTree(temp, temp);
    struct stat st;
    EXPECT_NE(::lstat(temp.c_str(), &st), 0);
    EXPECT_EQ(test::ReadText(outside_file), "keep");
}

TEST(TempDirectory, InsideMeansBelowByWholeComponents) {
    struct Case {
        const char* path;
        bool inside;
    } cases[] = {
        {"/t/kr_ttt_1", true},
        {"/t/kr_ttt_1/", true},
        {"/t/kr_ttt_1/x/y", true},
        {"/t/kr_ttt_12", false},
        {"/t", false},
        {"/t/kr_ttt_1/../x", false},
        {"/t/kr_ttt_1/a/..", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsInsideDirectory(c.path, "/t/kr_ttt_1"), c.inside) << c.path;
}

}  // namespace
}  // namespace kr
