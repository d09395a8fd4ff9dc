// The game's own windows in headless runs: each prints its text to standard error, takes the
// answer that replayed input gives it (`text`, `button`) or else its default, and the answer
// reaches the script. The highscore table lives in the per-user store across runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "data/Bitmap32.h"
#include "data/ImageCodecs.h"

#include "support/ScratchDir.h"
#include "support/Subprocess.h"

namespace kr {
namespace {

using test::KorvanePath;
using test::RunProgram;
using test::ScratchDir;

// A game of one object in one room; its create event runs `create`, its step event `step`.
void WriteGame(const ScratchDir& dir, const std::string& create, const std::string& step = "",
               const std::string& extra_manifest = "") {
    const std::map<std::string, std::string> files = {
        {"game.toml", "format = 1\ngame_id = 4242\nroom_order = [\"r\"]\n" + extra_manifest +
                          "[resources]\nobjects = [\"o\"]\nrooms = [\"r\"]\n"},
        {"objects/o.toml",
         "name = \"o\"\n[[event]]\ntype = \"create\"\n[[event.action]]\nkind = \"code\"\n"
         "code = \"o/create.krs\"\n[[event]]\ntype = \"step\"\n[[event.action]]\nkind = "
         "\"code\"\ncode = \"o/step.krs\"\n"},
        {"objects/o/create.krs", create},
        {"objects/o/step.krs", step.empty() ? "x = 0;\n" : step},
        {"rooms/r.toml",
         "name = \"r\"\ninstances = [{ x = 0, y = 0, object = \"o\", id = 100001 }]\n"},
    };
    for (const auto& [file, text] : files) dir.Write("g/" + file, text);
}

test::ProcessResult RunGame(const ScratchDir& dir, const std::string& input, int steps = 3) {
    std::vector<std::string> args = {"run", "--headless", "--max-steps", std::to_string(steps)};
    if (!input.empty()) {
        dir.Write("input.txt", input);
        args.push_back("--input");
        args.push_back(dir / "input.txt");
    }
    args.push_back(dir / "g");
    return RunProgram(KorvanePath(), args, dir.Path());
}

// The store of this test's runs: a folder of its own, never the user's.
class DialogRun : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_DATA_HOME");
        if (old) saved_ = old;
        had_ = old != nullptr;
        ::setenv("XDG_DATA_HOME", (data_ / "").c_str(), 1);
    }
    void TearDown() override {
        if (had_)
            ::setenv("XDG_DATA_HOME", saved_.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
    ScratchDir data_;
    std::string saved_;
    bool had_ = false;
};

const char* kEveryWindow =
    "show_message('Hello#world \\# one');\n"
    "show_debug_message('string=' + get_string('Name?', 'nobody'));\n"
    "show_debug_message('integer=' + string(get_integer('How many?', 5)));\n"
    "show_debug_message('question=' + string(show_question('Sure?')));\n"
    "show_debug_message('ext=' + string(show_message_ext('Pick', 'a', '', 'c')));\n"
    "show_debug_message('menu=' + string(show_menu('x|-|y|z', -1)));\n"
    "show_debug_message('file=' + get_open_filename('Text|*.txt', 'a.txt'));\n"
    "show_debug_message('color=' + string(get_color(255)));\n";

// Each window takes the answers of its step in file order, up to the button that closes it.
TEST_F(DialogRun, EveryWindowTakesItsReplayedAnswer) {
    ScratchDir dir;
    WriteGame(dir, kEveryWindow,
              "if (!variable_global_exists('n')) global.n = 0; global.n += 1;\n"
              "if (global.n == 2) show_debug_message('later=' + get_string('Again?', 'd'));\n");
    test::ProcessResult r = RunGame(dir,
                                    "0 button 1\n"
                                    "0 text Alice\n0 button 1\n"
                                    "0 text 42\n0 button 1\n"
                                    "0 button 2\n"
                                    "0 button 3\n"
                                    "0 button 2\n"
                                    "0 text b.txt\n0 button 1\n"
                                    "0 text $FF0000\n0 button 1\n"
                                    "1 text typed later\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "string=Alice\ninteger=42\nquestion=0\next=3\nmenu=2\nfile=" + dir / "b.txt" +
                         "\ncolor=16711680\nlater=typed later\n");
    EXPECT_NE(r.err.find("Hello\nworld # one\nName?\n"), std::string::npos) << r.err;
}

// Without answers every window takes its default: OK, the default text, the first button, the
// menu's default, the initial name and colour.
TEST_F(DialogRun, WithoutAnswersEveryWindowTakesItsDefault) {
    ScratchDir dir;
    WriteGame(dir, kEveryWindow);
    test::ProcessResult r = RunGame(dir, "");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "string=nobody\ninteger=5\nquestion=1\next=1\nmenu=-1\nfile=" + dir / "a.txt" +
                         "\ncolor=255\n");
}

// Cancel gives the default back; a text that is no number gives get_integer its default; an
// answer left over from an earlier step is reported, not given to a later window.
TEST_F(DialogRun, CancelNonsenseAndStaleAnswers) {
    ScratchDir dir;
    WriteGame(dir,
              "show_debug_message(get_string('a', 'def'));\n"
              "show_debug_message(string(get_integer('b', 7)));\n",
              "if (!variable_global_exists('n')) global.n = 0; global.n += 1;\n"
              "if (global.n == 3) show_debug_message(get_string('c', 'fallback'));\n");
    test::ProcessResult r =
        RunGame(dir, "0 text x\n0 button 2\n0 text seven\n0 button 1\n1 text stale\n", 4);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "def\n7\nfallback\n");
    EXPECT_NE(r.err.find("the replayed text of step 1 found no open window"), std::string::npos)
        << r.err;
}

TEST_F(DialogRun, HighscoresKeepTheirOrderAcrossRuns) {
    ScratchDir dir;
    WriteGame(dir,
              "highscore_clear();\n"
              "highscore_add('a', 100); highscore_add('b', 300); highscore_add('c', 100);\n"
              "highscore_add('neg', -5);\n");  // beats no entry: not inserted
    ASSERT_EQ(RunGame(dir, "").status, 0);
    // The second run reads what the first wrote, inserts through the window and lists it.
    WriteGame(dir,
              "highscore_show(200);\n"
              "for (i = 1; i <= 6; i += 1) show_debug_message(highscore_name(i) + ' ' + "
              "string(highscore_value(i)));\n"
              "show_debug_message(highscore_name(11) + string(highscore_value(0)));\n");
    test::ProcessResult r = RunGame(dir, "0 text Zed\n0 button 1\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "b 300\nZed 200\na 100\nc 100\n<nobody> 0\n<nobody> 0\n0\n");
    EXPECT_NE(r.err.find("Top Ten Players\n1. b 300\n2. Zed 200\n"), std::string::npos) << r.err;
}

// F1 opens the game information: headless, its text is printed without the rich-text markup.
TEST_F(DialogRun, F1ShowsTheGameInformation) {
    ScratchDir dir;
    WriteGame(dir, "", "", "[game_information]\ntext_file = \"game_information.rtf\"\n");
    dir.Write("g/game_information.rtf",
              "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 \\b How to play\\b0\\par Use the "
              "keys.\\par}");
    test::ProcessResult r = RunGame(dir, "1 key down vk_f1\n2 key up vk_f1\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "How to play\nUse the keys.\n");
}

// Splash functions report missing files with their messages and show nothing.
TEST_F(DialogRun, SplashesOfMissingFilesSayWhatIsMissing) {
    ScratchDir dir;
    WriteGame(dir,
              "splash_show_image('nothing.png', 10);\nsplash_show_text('nothing.txt', 10);\n"
              "splash_show_video('nothing.avi', false);\nsplash_show_web('nothing.html', 0);\n"
              "show_debug_message(load_info('nothing.rtf'));\n"
              "splash_show_video('junk.avi', false);\n");
    dir.Write("junk.avi", std::string(3000, 'j'));
    test::ProcessResult r = RunGame(dir, "");
    EXPECT_EQ(r.out, "0\n");
    for (const char* m : {"Image file not found.", "Text file not found.",
                          "Video file not found (or name too long).", "Web page not found."})
        EXPECT_NE(r.err.find(m), std::string::npos) << m << "\n" << r.err;
    // The file that is there but no video gives the message too.
    size_t first = r.err.find("Video file not found");
    EXPECT_NE(r.err.find("Video file not found", first + 1), std::string::npos) << r.err;
}

// In a window (here SDL's offscreen one) an image far larger than the window is scaled into it
// and a video plays to its end; then a message box takes its replayed answer.
TEST_F(DialogRun, SplashesPlayInAWindow) {
    ScratchDir dir;
    WriteGame(dir,
              "splash_show_image('huge.png', 100);\n"
              "splash_show_video('v.y4m', false);\n"
              "show_debug_message('ext=' + string(show_message_ext('x', 'a', 'b', '')));\n");
    TBitmap32 huge(6000, 5000);
    huge.Fill(Bgra{40, 80, 160, 255});
    std::vector<uint8_t> png = EncodePng(huge);
    dir.Write("huge.png", std::string(png.begin(), png.end()));
    std::string video = "YUV4MPEG2 W16 H8 F25:1 Ip A1:1 C420jpeg\n";
    for (int k = 0; k < 5; ++k)
        video += "FRAME\n" + std::string(128, char(60 + 20 * k)) + std::string(64, char(128));
    dir.Write("v.y4m", video);
    dir.Write("input.txt", "0 button 2\n");
    test::ProcessResult r = RunProgram(
        KorvanePath(),
        {"run", "--max-steps", "1", "--time-limit", "60", "--input", dir / "input.txt", dir / "g"},
        dir.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ext=2\n");
}

// draw_highscore writes rank r on the line at y1 + (r - 1) * (y2 - y1) / 10, the name from x1
// and the score ending at x2, in the drawing colour.
TEST_F(DialogRun, DrawHighscorePlacesNamesAndScores) {
    ScratchDir dir;
    WriteGame(dir, "highscore_clear(); highscore_add('Ann', 500);\n",
              "draw_set_color(c_white); draw_highscore(20, 20, 300, 320);\n");
    dir.Write("g/objects/o.toml",
              "name = \"o\"\n[[event]]\ntype = \"create\"\n[[event.action]]\nkind = \"code\"\n"
              "code = \"o/create.krs\"\n[[event]]\ntype = \"draw\"\n[[event.action]]\nkind = "
              "\"code\"\ncode = \"o/step.krs\"\n");
    test::ProcessResult r = RunProgram(KorvanePath(),
                                       {"run", "--headless", "--max-steps", "2", "--screenshot",
                                        "1=" + dir / "shot.png", dir / "g"},
                                       dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<TBitmap32> frames;
    ASSERT_TRUE(LoadImageFile(dir / "shot.png", frames)) << r.err;
    const TBitmap32& shot = frames[0];
    // Whether the rectangle holds white text pixels.
    auto white = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x) {
                Bgra p = shot.Row(y)[x];
                if (p.r > 240 && p.g > 240 && p.b > 240) return true;
            }
        return false;
    };
    for (int rank = 0; rank < 10; ++rank) {
        int32_t y = 20 + rank * 30;
        EXPECT_TRUE(white(20, y, 60, y + 28)) << "name of rank " << rank + 1;
        EXPECT_TRUE(white(285, y, 301, y + 28)) << "score of rank " << rank + 1;
        EXPECT_FALSE(white(140, y, 260, y + 28)) << "between, rank " << rank + 1;
    }
    EXPECT_FALSE(white(0, 0, 640, 18));
    EXPECT_FALSE(white(302, 0, 640, 480));
}

}  // namespace
}  // namespace kr
