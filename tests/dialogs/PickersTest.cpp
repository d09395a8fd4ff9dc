// The pickers' models on a made-up file system: wildcard filters, folder navigation and what OK
// and Cancel give.
#include <gtest/gtest.h>

#include <map>

#include "dialogs/Pickers.h"

namespace kr {
namespace {

std::vector<FolderEntry> FakeFolders(const std::string& folder) {
    static const std::map<std::string, std::vector<FolderEntry>> tree = {
        {"/games", {{"save", true}, {"b.TXT", false}, {"a.txt", false}, {"c.png", false}}},
        {"/games/save", {{"slot1.sav", false}}},
    };
    auto it = tree.find(folder);
    return it == tree.end() ? std::vector<FolderEntry>{} : it->second;
}

std::vector<std::string> Names(const FilePicker& p) {
    std::vector<std::string> out;
    for (const FolderEntry& e : p.Entries()) out.push_back(e.name);
    return out;
}

TEST(Pickers, PatternsMatchWithWildcardsIgnoringCase) {
    const struct {
        const char* name;
        const char* patterns;
        bool match;
    } cases[] = {
        {"a.txt", "*.txt", true},
        {"A.TXT", "*.txt", true},
        {"a.txt.bak", "*.txt", false},
        {"a.png", "*.txt;*.png", true},
        {"ab", "a?", true},
        {"abc", "a?", false},
        {"x", "*", true},
        {"x", "", false},
        {"aXbXc", "a*b*c", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesPatterns(c.name, c.patterns), c.match) << c.name << " " << c.patterns;
}

TEST(Pickers, FilePickerListsFilteredAndSortedAndNavigates) {
    FilePicker p(FilePicker::Mode::kOpen, "Open", "Text|*.txt|Images|*.png", "a.txt", "/games",
                 FakeFolders);
    EXPECT_EQ(Names(p), (std::vector<std::string>{"..", "save", "a.txt", "b.TXT"}));
    EXPECT_EQ(p.Field().Text(), "a.txt");
    p.CycleFilter();
    EXPECT_EQ(Names(p), (std::vector<std::string>{"..", "save", "c.png"}));
    // Typing a folder's name and OK opens it; a file's name and OK is the answer.
    p.Field().Type("save");
    p.Accept();
    EXPECT_FALSE(p.Closed());
    EXPECT_EQ(p.Folder(), "/games/save");
    p.CycleFilter();
    p.Field().Type("slot1.sav");
    p.Accept();
    EXPECT_TRUE(p.Closed());
    EXPECT_EQ(p.Result(), "/games/save/slot1.sav");

    FilePicker cancelled(FilePicker::Mode::kSave, "Save", "", "x.sav", "/games", FakeFolders);
    cancelled.Cancel();
    EXPECT_EQ(cancelled.Result(), "");
}

TEST(Pickers, FolderPickerListsOnlyFoldersAndGivesTheFolder) {
    FilePicker p(FilePicker::Mode::kFolder, "Folder", "", "", "/games", FakeFolders);
    EXPECT_EQ(Names(p), (std::vector<std::string>{"..", "save"}));
    p.Accept();  // nothing typed: the folder shown
    EXPECT_EQ(p.Result(), "/games");
    FilePicker q(FilePicker::Mode::kFolder, "Folder", "", "", "/games", FakeFolders);
    q.Field().Type("save");
    q.Accept();
    EXPECT_EQ(q.Result(), "/games/save");
    FilePicker up(FilePicker::Mode::kFolder, "Folder", "", "..", "/games", FakeFolders);
    EXPECT_EQ(up.Folder(), "/");
    EXPECT_EQ(Names(up), (std::vector<std::string>{}));
}

TEST(Pickers, ColourPickerKeepsTheInitialColourUnlessAccepted) {
    ColorPicker c(0x123456);
    c.SetCurrent(0xFF);
    c.Cancel();
    EXPECT_EQ(c.Result(), 0x123456);
    ColorPicker d(0x123456);
    d.SetCurrent(0xFF);
    d.Accept();
    EXPECT_EQ(d.Result(), 0xFF);
}

}  // namespace
}  // namespace kr
