// The host file-system calls the file functions of games go through: open files kept in place,
// directory listings by wildcard, and path queries.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

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

}  // namespace
}  // namespace kr
