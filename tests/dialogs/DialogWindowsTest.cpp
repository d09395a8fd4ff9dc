// The window models without any drawing: text conversion and wrapping, the text field, the
// buttons of message boxes, menu numbering, and the highscore table with its stored form.
#include <gtest/gtest.h>

#include "dialogs/DialogWindows.h"
#include "dialogs/Highscores.h"

namespace kr {
namespace {

// Every character 6 pixels wide, lines 10 high.
class FixedMeasure final : public TextMeasure {
public:
    int32_t Width(const FontKey&, std::string_view t) override { return int32_t(t.size()) * 6; }
    int32_t Height(const FontKey&) override { return 10; }
};

DialogInput Key(int32_t vk) {
    return {DialogInput::Kind::kKeyDown, vk, 0, 0};
}
DialogInput Mouse(DialogInput::Kind k, int32_t x, int32_t y) {
    return {k, 1, x, y};
}

TEST(MessageText, HashBreaksLinesUnlessEscaped) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"a#b", "a\nb"}, {"a\\#b", "a#b"}, {"a\r\nb", "a\nb"},
        {"\\", "\\"},    {"a\\b", "a\\b"}, {"##", "\n\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(MessageText(c.in), c.out) << c.in;
}

TEST(WrapLines, WrapsAtBlanksAndCutsLongWords) {
    FixedMeasure m;
    FontKey f;
    // 5 characters per line of 30 pixels.
    EXPECT_EQ(WrapLines(m, f, "ab cd ef", 30), (std::vector<std::string>{"ab cd", "ef"}));
    EXPECT_EQ(WrapLines(m, f, "abcdefgh", 30), (std::vector<std::string>{"abcde", "fgh"}));
    EXPECT_EQ(WrapLines(m, f, "a\n\nb", 30), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(WrapLines(m, f, "", 30), (std::vector<std::string>{""}));
}

TEST(TextField, TypingReplacesTheSelectedDefaultThenEdits) {
    TextField f("default");
    EXPECT_TRUE(f.AllSelected());
    f.Type("ab");
    EXPECT_EQ(f.Text(), "ab");
    f.Key(kVkLeft);
    f.Type("X");
    EXPECT_EQ(f.Text(), "aXb");
    f.Key(kVkBackspace);
    f.Key(kVkDelete);
    EXPECT_EQ(f.Text(), "a");
    f.Key(kVkHome);
    f.Type("\x01\r>");  // control characters are not typed
    EXPECT_EQ(f.Text(), ">a");
    f.Key(kVkEnd);
    f.Type("\b");  // a typed backspace erases
    EXPECT_EQ(f.Text(), ">");

    TextField g("keep");
    g.Key(kVkEnd);  // moving the cursor keeps the text
    g.Type("s");
    EXPECT_EQ(g.Text(), "keeps");
}

TEST(MessageWindow, HiddenButtonsKeepTheNumbersOfTheOthers) {
    FixedMeasure m;
    MessageWindow w("Pick", {"one", "", "three"});
    w.Layout(m, MessageLook{}, 640, 480, 1);
    EXPECT_EQ(w.button_rects[1].w, 0);
    ASSERT_GT(w.button_rects[2].w, 0);
    // Down and up on the third button presses it.
    const DialogRect& b = w.button_rects[2];
    w.Handle(Mouse(DialogInput::Kind::kMouseMove, b.x + 2, b.y + 2));
    w.Handle(Mouse(DialogInput::Kind::kMouseDown, b.x + 2, b.y + 2));
    EXPECT_FALSE(w.Closed());
    EXPECT_TRUE(w.Handle(Mouse(DialogInput::Kind::kMouseUp, b.x + 2, b.y + 2)));
    EXPECT_EQ(w.Result(), 3);
    // A hidden button cannot be pressed.
    MessageWindow v("Pick", {"one", "", "three"});
    v.Press(2);
    EXPECT_FALSE(v.Closed());
}

TEST(MessageWindow, KeyboardPressesFocusedButtonAndEscapeCancels) {
    const struct {
        std::array<std::string, 3> buttons;
        std::vector<int32_t> keys;
        int32_t result;
    } cases[] = {
        {{"OK", "", ""}, {kVkEnter}, 1},
        {{"Yes", "No", ""}, {kVkTab, kVkEnter}, 2},
        {{"Yes", "No", ""}, {kVkEscape}, 0},
        {{"OK", "", ""}, {kVkEscape}, 1},           // a single button is also the cancel one
        {{"a", "", "c"}, {kVkRight, kVkEnter}, 3},  // focus skips the hidden button
        {{"", "", ""}, {kVkEnter}, 0},
    };
    for (const auto& c : cases) {
        MessageWindow w("x", c.buttons);
        for (int32_t k : c.keys) w.Handle(Key(k));
        EXPECT_TRUE(w.Closed());
        EXPECT_EQ(w.Result(), c.result) << c.buttons[0] << c.buttons[1] << c.buttons[2];
    }
}

TEST(MessageWindow, LayoutStaysInsideASmallClientArea) {
    FixedMeasure m;
    MessageWindow w(std::string(400, 'x'), {"OK", "Cancel", ""}, true, "d");
    w.Layout(m, MessageLook{}, 200, 150, 1);
    EXPECT_GE(w.frame.x, 0);
    EXPECT_GE(w.frame.y, 0);
    EXPECT_LE(w.frame.x + w.frame.w, 200);
    EXPECT_LE(w.frame.y + w.frame.h, 150);
    for (const std::string& l : w.lines) EXPECT_LE(m.Width({}, l), w.text_area.w);
}

TEST(MessageWindow, InputBoxTakesTypedKeysAndEnterIsOk) {
    MessageWindow w("Name?", {"OK", "Cancel", ""}, true, "player");
    for (char c : std::string("Bo")) w.Handle({DialogInput::Kind::kChar, c, 0, 0});
    w.Handle(Key(kVkLeft));  // arrows move the caret in the field, not the focus
    w.Handle({DialogInput::Kind::kChar, 'x', 0, 0});
    w.Handle(Key(kVkEnter));
    EXPECT_EQ(w.Result(), 1);
    EXPECT_EQ(w.Field().Text(), "Bxo");
}

// A click in the input field puts the caret at the nearest character boundary.
TEST(MessageWindow, ClickInTheFieldPlacesTheCaret) {
    FixedMeasure m;
    MessageWindow w("Name?", {"OK", "", ""}, true, "abcd");
    w.Layout(m, MessageLook{}, 640, 480, 1);
    const int32_t x0 = w.input_box.x + 4, y = w.input_box.y + 2;
    w.Handle(Mouse(DialogInput::Kind::kMouseDown, x0 + 10, y));  // past the middle of 'b'
    EXPECT_EQ(w.Field().Cursor(), 2u);
    EXPECT_FALSE(w.Field().AllSelected());
    w.Handle(Mouse(DialogInput::Kind::kMouseDown, w.input_box.x + w.input_box.w - 2, y));
    EXPECT_EQ(w.Field().Cursor(), 4u);
}

TEST(HighscoreWindow, TheNewEntryTakesTheNameAndEnterOrEscapeCloses) {
    std::vector<HighscoreWindow::Row> rows(10, {"<nobody>", 0});
    HighscoreWindow w(rows, 2, "Top", "press <Escape>");
    for (char c : std::string("Zed")) w.Handle({DialogInput::Kind::kChar, c, 0, 0});
    w.Handle(Key(kVkBackspace));
    w.Handle({DialogInput::Kind::kMouseUp, 1, 5, 5});  // a click does not end the typing
    EXPECT_FALSE(w.Closed());
    w.Handle(Key(kVkEscape));
    EXPECT_TRUE(w.Closed());
    EXPECT_EQ(w.Field().Text(), "Ze");
    HighscoreWindow shown(rows, -1, "Top", "");
    shown.Handle({DialogInput::Kind::kMouseUp, 1, 5, 5});
    EXPECT_TRUE(shown.Closed());
}

TEST(MenuWindow, SeparatorsHaveNoNumberAndNothingChosenGivesTheDefault) {
    MenuWindow menu("a|-|b|c", 7);
    ASSERT_EQ(menu.items.size(), 4u);
    EXPECT_EQ(menu.items[1].number, -1);
    EXPECT_EQ(menu.items[2].number, 1);
    MenuWindow keys("a|-|b", 7);
    keys.Handle(Key(kVkDown));
    keys.Handle(Key(kVkDown));  // over the separator to b
    keys.Handle(Key(kVkEnter));
    EXPECT_EQ(keys.Result(), 1);
    MenuWindow escaped("a|b", 7);
    escaped.Handle(Key(kVkEscape));
    EXPECT_EQ(escaped.Result(), 7);
    MenuWindow outside("a|b", 7);
    FixedMeasure m;
    outside.Layout(m, {}, 10, 10, 640, 480, 1);
    outside.Handle(Mouse(DialogInput::Kind::kMouseDown, 600, 400));
    EXPECT_TRUE(outside.Closed());
    EXPECT_EQ(outside.Result(), 7);
}

TEST(SplashPicture, FillsTheAreaOrKeepsItsOwnSizeCentred) {
    const DialogRect area{10, 20, 400, 300};
    struct Case {
        int32_t pw, ph;
        bool fit;
        double ui_scale;
        PicturePlace want;
    } cases[] = {
        // Scaled to the area, proportions kept: the narrower side decides.
        {100, 50, true, 1, {10, 70, 400, 200}},
        {50, 100, true, 1, {135, 20, 150, 300}},
        {800, 600, true, 1, {10, 20, 400, 300}},
        // At its own size (times the screen's dialog scale), centred.
        {100, 50, false, 1, {160, 145, 100, 50}},
        {100, 50, false, 2, {110, 120, 200, 100}},
        // Larger than the area: made smaller to fit, proportions kept.
        {800, 300, false, 1, {10, 95, 400, 150}},
        // Nothing to draw.
        {0, 50, true, 1, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlacePicture(area, c.pw, c.ph, c.fit, c.ui_scale), c.want)
            << c.pw << "x" << c.ph << " fit " << c.fit << " scale " << c.ui_scale;
}

TEST(Highscores, InsertionPlacesEqualScoresBelowAndDropsTheLast) {
    HighscoreTable t;
    for (int i = 0; i < 10; ++i) t[size_t(i)] = {"n" + std::to_string(i), 1000 - 100 * i};
    EXPECT_EQ(HighscoreInsert(t, "x", 800), 3);  // rank 3 holds 800: x goes to rank 4
    EXPECT_EQ(t[2].name, "n2");
    EXPECT_EQ(t[3], (HighscoreEntry{"x", 800}));
    EXPECT_EQ(t[4].name, "n3");
    EXPECT_EQ(t[9].name, "n8");                     // n9 fell off
    EXPECT_EQ(HighscoreInsert(t, "low", 200), -1);  // beats nobody
    EXPECT_EQ(HighscoreInsert(t, "top", 5000), 0);
}

TEST(Highscores, StoredTextRoundTripsInLettersAToP) {
    for (int32_t id : {0, 7, 123456, -5}) {
        for (const HighscoreEntry& e :
             {HighscoreEntry{"Ann", 1234}, HighscoreEntry{"", 0}, HighscoreEntry{"neg", -77},
              HighscoreEntry{std::string("\xff#\x01", 3), INT32_MAX}}) {
            std::string text = HighscoreEncode(e, id);
            EXPECT_EQ(text.size(), 2 * (16 + e.name.size()));
            EXPECT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOP"), std::string::npos);
            HighscoreEntry back;
            ASSERT_TRUE(HighscoreDecode(text, id, back));
            EXPECT_EQ(back, e);
        }
    }
    // Score 1, game 0: the bytes 1, 0, 0 at positions 1, 2, 3 become 2, 2, 3.
    EXPECT_EQ(HighscoreEncode({"", 1}, 0).substr(0, 6), "ACACAD");
    HighscoreEntry out{"unchanged", 3};
    for (const char* bad : {"", "AB", "ZZZZ", "ACA"}) EXPECT_FALSE(HighscoreDecode(bad, 0, out));
    EXPECT_EQ(out.name, "unchanged");
    // Names past the 256th position are cut.
    HighscoreEntry longer{std::string(300, 'n'), 5};
    ASSERT_TRUE(HighscoreDecode(HighscoreEncode(longer, 1), 1, out));
    EXPECT_EQ(out.name.size(), 240u);
}

}  // namespace
}  // namespace kr
