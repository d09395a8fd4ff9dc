// docs/guide.md never goes stale: every file it shows is the file in examples/guide, every
// file of that game is shown, and every command it shows runs (headless, with replayed input)
// and prints what the guide says.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "support/ScratchDir.h"
#include "support/Subprocess.h"

namespace kr {
namespace {

struct Block {
    std::string first_line, text;  // text: the whole block, first line included
};

// The fenced code blocks of a Markdown text.
std::vector<Block> CodeBlocks(const std::string& markdown) {
    std::vector<Block> blocks;
    std::istringstream in(markdown);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.starts_with("```")) {
            inside = !inside;
            if (inside) blocks.emplace_back();
            continue;
        }
        if (!inside) continue;
        if (blocks.back().text.empty()) blocks.back().first_line = line;
        blocks.back().text += line + "\n";
    }
    return blocks;
}

std::vector<std::string> Words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

TEST(Guide, EveryExampleIsTheGameAndEveryCommandPrintsWhatItSays) {
    const std::string source = KR_SOURCE_DIR;
    const std::string korvane = test::KorvanePath();
    const std::vector<Block> blocks = CodeBlocks(test::ReadText(source + "/docs/guide.md"));
    std::set<std::string> shown;
    int commands = 0;
    for (const Block& b : blocks) {
        std::vector<std::string> words = Words(b.first_line);
        if (words.size() >= 2 && (words[0] == "#" || words[0] == "//") &&
            words[1].starts_with("examples/guide/")) {
            std::string file = words[1];
            if (file.ends_with(":")) file.pop_back();
            shown.insert(file);
            EXPECT_EQ(b.text, test::ReadText(source + "/" + file)) << file;
        } else if (!words.empty() && words[0] == "$") {
            ASSERT_GE(words.size(), 2u);
            ASSERT_EQ(words[1], "korvane");
            std::vector<std::string> args(words.begin() + 2, words.end());
            test::ProcessResult r = test::RunProgram(korvane, args, source);
            EXPECT_EQ(r.status, 0) << b.first_line << "\n" << r.err;
            EXPECT_EQ(r.err, "") << b.first_line;
            EXPECT_EQ(b.first_line + "\n" + r.out, b.text);
            ++commands;
        }
    }
    EXPECT_EQ(commands, 2);
    for (const auto& e :
         std::filesystem::recursive_directory_iterator(source + "/examples/guide")) {
        // Pictures and sounds cannot be shown as text.
        if (!e.is_regular_file() || e.path().extension() == ".png" ||
            e.path().extension() == ".wav")
            continue;
        const std::string file =
            "examples/guide/" +
            std::filesystem::relative(e.path(), source + "/examples/guide").string();
        EXPECT_TRUE(shown.count(file)) << file << " is not shown in docs/guide.md";
    }
}

}  // namespace
}  // namespace kr
