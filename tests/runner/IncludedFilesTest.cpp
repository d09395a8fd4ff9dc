// Exporting included files and removing them at the end, in and out of secure mode.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/Files.h"
#include "runner/IncludedFiles.h"
#include "support/ScratchDir.h"

namespace kr {
namespace {

using test::ReadText;
using test::ScratchDir;

// Runs each test in a scratch working directory, where kind 2 files go.
class IncludedFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(::getcwd(old_, sizeof old_));
        ASSERT_EQ(::chdir(dir_.Path().c_str()), 0);
        CreateDirectories(dir_ / "temp");
        ctx_.temp_directory = dir_ / "temp";
        ctx_.report_error = [this](std::string_view e) { errors_.emplace_back(e); };
    }
    void TearDown() override { ASSERT_EQ(::chdir(old_), 0); }

    static CDataFile File(std::string name, int kind, std::string content = "new") {
        CDataFile f;
        f.file_name = std::move(name);
        f.export_kind = kind;
        f.stored = true;
        f.data.assign(content.begin(), content.end());
        return f;
    }

    ScratchDir dir_;
    char old_[4096];
    IncludedFileContext ctx_;
    std::vector<std::string> errors_;
};

TEST_F(IncludedFiles, ExportGoesWhereTheKindSays) {
    struct Case {
        int kind;
        std::string folder;
        std::string name;
        std::string lands_at;  // relative to the scratch directory; "" for nowhere
        bool result;
    } cases[] = {
        {0, "", "none.txt", "", true},  // kind 0 is never written and counts as done
        {1, "", "t.txt", "temp/t.txt", true},
        {2, "", "w.txt", "w.txt", true},
        {3, "out\\deep", "f.txt", "out/deep/f.txt", true},  // the folder is made with its parents
        {3, "", "nofolder.txt", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDataFile f = File(c.name, c.kind);
        f.export_folder = c.folder;
        EXPECT_EQ(ExportIncludedFile(f, ctx_), c.result);
        if (!c.lands_at.empty()) {
            EXPECT_EQ(ReadText(dir_ / c.lands_at), "new");
        }
        EXPECT_EQ(f.stored, c.kind == 0);  // free after export, written or not (kind 0 keeps it)
        EXPECT_FALSE(FileExists(dir_ / c.name) && c.kind != 2);
    }
    EXPECT_FALSE(FileExists("/nofolder.txt"));
    EXPECT_TRUE(errors_.empty());
}

TEST_F(IncludedFiles, AnExistingFileIsKeptUnlessOverwriteIsOn) {
    for (bool overwrite : {false, true}) {
        dir_.Write("keep.txt", "old");
        CDataFile f = File("keep.txt", 2);
        f.overwrite = overwrite;
        EXPECT_EQ(ExportIncludedFile(f, ctx_), overwrite);
        EXPECT_EQ(ReadText(dir_ / "keep.txt"), overwrite ? "new" : "old");
        EXPECT_FALSE(f.stored);  // released all the same
        EXPECT_TRUE(f.data.empty());
    }
}

TEST_F(IncludedFiles, NothingHappensWithoutDataOrTemporaryDirectory) {
    CDataFile unstored = File("u.txt", 2);
    unstored.stored = false;
    EXPECT_FALSE(ExportIncludedFile(unstored, ctx_));
    EXPECT_FALSE(FileExists(dir_ / "u.txt"));

    ctx_.temp_directory.clear();
    CDataFile to_temp = File("notemp.txt", 1);
    EXPECT_FALSE(ExportIncludedFile(to_temp, ctx_));
    EXPECT_FALSE(FileExists("/notemp.txt"));
}

TEST_F(IncludedFiles, SecureModeRefusesPathsAndFolders) {
    ctx_.secure_mode = true;
    CDataFile sub = File("sub\\f.txt", 2);
    CDataFile slash = File("sub/g.txt", 1);
    CDataFile folder = File("h.txt", 3);
    folder.export_folder = "out";
    CDataFile plain = File("plain.txt", 2);
    EXPECT_FALSE(ExportIncludedFile(sub, ctx_));
    EXPECT_FALSE(ExportIncludedFile(slash, ctx_));
    EXPECT_FALSE(ExportIncludedFile(folder, ctx_));
    EXPECT_TRUE(ExportIncludedFile(plain, ctx_));
    EXPECT_EQ(errors_,
              (std::vector<std::string>{
                  "In secure mode you cannot export a data file to sub\\f.txt",
                  "In secure mode you cannot export a data file to sub/g.txt",
                  "In secure mode you cannot export a data file to an indicated directory.",
              }));
    EXPECT_FALSE(DirectoryExists(dir_ / "out"));
    EXPECT_TRUE(sub.stored);  // a refused file keeps its data for a later export
}

TEST_F(IncludedFiles, RemovalDeletesOnlyWhatThisRunWrote) {
    dir_.Write("users.txt", "the player's own");
    CDataFile mine = File("mine.txt", 2), temp = File("t.txt", 1), kept = File("kept.txt", 2);
    CDataFile users = File("users.txt", 2), zero = File("zero.txt", 0);
    kept.remove_at_end = false;
    for (CDataFile* f : {&mine, &temp, &kept, &users, &zero}) ExportIncludedFile(*f, ctx_);
    for (CDataFile* f : {&mine, &temp, &kept, &users, &zero}) RemoveIncludedFile(*f, ctx_);
    EXPECT_FALSE(FileExists(dir_ / "mine.txt"));
    EXPECT_FALSE(FileExists(dir_ / "temp/t.txt"));
    EXPECT_TRUE(FileExists(dir_ / "kept.txt"));
    EXPECT_EQ(ReadText(dir_ / "users.txt"), "the player's own");  // not overwritten, not removed
}

TEST(IncludedFileRecord, HoldsDataOnlyWhenPresentAndStored) {
    for (bool present : {false, true}) {
        for (bool stored : {false, true}) {
            CDataFile f;
            f.file_name = "f";
            f.source_present = present;
            f.stored = stored;
            f.data = {1, 2, 3};
            CStream s;
            WriteIncludedFileRecord(s, f);
            s.Seek(0);
            CDataFile back;
            EXPECT_TRUE(ReadIncludedFileRecord(s, back));
            EXPECT_FALSE(s.Failed());
            EXPECT_TRUE(s.AtEnd());
            EXPECT_EQ(back.stored, present && stored);
            EXPECT_EQ(back.data.size(), present && stored ? 3u : 0u);
        }
    }
}

}  // namespace
}  // namespace kr
