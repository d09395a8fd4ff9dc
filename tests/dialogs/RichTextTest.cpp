// The rich-text reader and layout: styles and paragraphs of a document, plain text, and
// damaged documents that must read without harm.
#include <gtest/gtest.h>

#include "dialogs/RichText.h"

namespace kr {
namespace {

class FixedMeasure final : public TextMeasure {
public:
    int32_t Width(const FontKey&, std::string_view t) override { return int32_t(t.size()) * 6; }
    int32_t Height(const FontKey& f) override { return f.size; }
};

TEST(RichText, ReadsFontsSizesStylesColoursAndParagraphs) {
    const char* doc =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Arial;}{\\f1\\froman Times New Roman;}}\n"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\n"
        "{\\*\\generator Tool 1.0;}\\viewkind4\\uc1\\pard\\qc\\f1\\fs32\\b Title\\b0\\par\n"
        "\\pard\\f0\\fs20 plain \\i italic\\i0  \\cf1 red\\cf0  caf\\'e9\\par\n"
        "{\\b bold} back\\par\n}";
    RichDocument d = ParseRichText(doc);
    ASSERT_EQ(d.paragraphs.size(), 3u);
    const RichParagraph& title = d.paragraphs[0];
    EXPECT_EQ(title.align, 1);
    ASSERT_EQ(title.runs.size(), 1u);
    EXPECT_EQ(title.runs[0].text, "Title");
    EXPECT_EQ(title.runs[0].font, (FontKey{"Times New Roman", 16, true, false}));

    const RichParagraph& body = d.paragraphs[1];
    EXPECT_EQ(body.align, 0);
    std::string all;
    for (const RichRun& r : body.runs) all += r.text;
    EXPECT_EQ(all, "plain italic red caf\xe9");
    ASSERT_GE(body.runs.size(), 4u);
    EXPECT_EQ(body.runs[0].font, (FontKey{"Arial", 10, false, false}));
    EXPECT_TRUE(body.runs[1].font.italic);
    EXPECT_EQ(body.runs[3].text, "red");
    EXPECT_EQ(body.runs[3].color, 0x0000FF);

    // A group's bold ends with the group.
    const RichParagraph& last = d.paragraphs[2];
    ASSERT_EQ(last.runs.size(), 2u);
    EXPECT_TRUE(last.runs[0].font.bold);
    EXPECT_FALSE(last.runs[1].font.bold);
}

TEST(RichText, PlainTextIsReadLineByLine) {
    RichDocument d = ParseRichText("one\r\ntwo # three\n");
    ASSERT_EQ(d.paragraphs.size(), 3u);
    EXPECT_EQ(d.paragraphs[1].runs[0].text, "two # three");
    EXPECT_TRUE(d.paragraphs[2].runs.empty());
}

TEST(RichText, DamagedDocumentsReadWithoutHarm) {
    std::string deep = "{\\rtf1 " + std::string(100000, '{') + "x";
    const std::string cases[] = {"{\\rtf1 cut \\'",
                                 "{\\rtf1 }}}} after",
                                 "{\\rtf1 \\fs999999999999 big",
                                 deep,
                                 "{\\rtf1{\\colortbl;\\red999;}\\cf1 a\\cf99 b}",
                                 "{\\rtf1 \\u-3913? \\u66 x}",
                                 std::string("{\\rtf1 \0 z", 10)};
    FixedMeasure m;
    for (const std::string& c : cases) {
        RichDocument d = ParseRichText(c);
        RichLayout l = LayoutRichText(d, m, 100, 1);
        EXPECT_GE(l.height, 0);
    }
    RichDocument d = ParseRichText("{\\rtf1 \\fs999999999999 big}");
    EXPECT_EQ(d.paragraphs[0].runs[0].font.size, 200);
}

TEST(RichText, LayoutWrapsAndAligns) {
    FixedMeasure m;
    RichDocument d = ParseRichText("{\\rtf1\\fs20 aaa bbb ccc\\par\\qr r\\par}");
    RichLayout l = LayoutRichText(d, m, 45, 1);  // seven characters a line
    ASSERT_GE(l.pieces.size(), 3u);
    EXPECT_EQ(l.pieces[0].text, "aaa bbb");
    EXPECT_EQ(l.pieces[1].text, "ccc");
    EXPECT_EQ(l.pieces[1].y, 10);
    EXPECT_EQ(l.pieces.back().text, "r");
    EXPECT_EQ(l.pieces.back().x, 45 - 6);
}

// The viewer scrolls within the document and no further.
TEST(RichText, ViewerScrollsWithinTheDocument) {
    FixedMeasure m;
    std::string text = "{\\rtf1\\fs20 ";
    for (int i = 0; i < 40; ++i) text += "line\\par ";
    text += "}";
    TextViewer v(ParseRichText(text), "Info", 0xFFFFFF);
    v.Layout(m, FontKey{}, -1, -1, 200, 120, 640, 480, 1);
    ASSERT_GT(v.layout.height, v.page.h);
    v.Handle({DialogInput::Kind::kKeyDown, kVkEnd, 0, 0});
    EXPECT_EQ(v.scroll, v.layout.height - v.page.h);
    v.Handle({DialogInput::Kind::kWheelDown, 0, 0, 0});
    EXPECT_EQ(v.scroll, v.layout.height - v.page.h);
    v.Handle({DialogInput::Kind::kKeyDown, kVkHome, 0, 0});
    EXPECT_EQ(v.scroll, 0);
    v.Handle({DialogInput::Kind::kMouseUp, 1, v.close_box.x + 1, v.close_box.y + 1});
    EXPECT_TRUE(v.Closed());
}

}  // namespace
}  // namespace kr
