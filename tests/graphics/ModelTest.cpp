// The model file: its exact text, a round trip that gives the same file, other spacing and number
// notation read back, and damaged files that fail cleanly (no crash, no huge allocation).
#include <gtest/gtest.h>

#include "graphics/Model.h"

namespace kr {
namespace {

C3D_Model Sample() {
    C3D_Model m;
    m.Add(kModelPrimitiveBegin, {4});
    m.Add(kModelVertex, {10, 20, 0});
    m.Add(kModelVertexNormalTextureColor, {1.5, -2.25, 3, 0, 0, 1, 0.125, 1, 255, 0.5});
    m.Add(kModelPrimitiveEnd, {});
    m.Add(kModelCylinder, {0, 0, 0, 32, 32, 64, 2, 1, 1, 16});
    return m;
}

TEST(Model, FileTextIsFixedNotationWithFourDecimalsAndCrLf) {
    C3D_Model m;
    m.Add(kModelVertex, {10, 20, 0});
    m.Add(kModelVertexColor, {-0.00001, 1.23456, 2e10, 255, 1});
    EXPECT_EQ(m.ToText(),
              "100\r\n2\r\n"
              "2 10.0000 20.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000\r\n"
              "3 0.0000 1.2346 2.00000000000000E+10 255.0000 1.0000 0.0000 0.0000 0.0000 "
              "0.0000 0.0000\r\n");
}

TEST(Model, SavedLoadedAndSavedAgainGivesTheSameFile) {
    std::string first = Sample().ToText();
    C3D_Model loaded;
    ASSERT_TRUE(loaded.FromText(first));
    ASSERT_EQ(loaded.Commands().size(), 5u);
    EXPECT_EQ(loaded.Commands()[2].code, kModelVertexNormalTextureColor);
    EXPECT_EQ(loaded.Commands()[2].values[1], -2.25);
    EXPECT_EQ(loaded.ToText(), first);
}

TEST(Model, AnySpacingAndNumberNotationReadsBack) {
    C3D_Model m;
    ASSERT_TRUE(
        m.FromText("  1e2\n\t2 \n2 1.0E1 +20 0 0 0 0 0 0 0 0\n"
                   "3 .5 -7. 3 255 1 0 0 0 0 0"));
    ASSERT_EQ(m.Commands().size(), 2u);
    EXPECT_EQ(m.Commands()[0].values[0], 10);
    EXPECT_EQ(m.Commands()[0].values[1], 20);
    EXPECT_EQ(m.Commands()[1].values[0], 0.5);
    EXPECT_EQ(m.Commands()[1].values[1], -7);
}

TEST(Model, DamagedFilesFailCleanly) {
    // What the model holds afterwards: the count read with zero commands past the damage, or
    // nothing when the version or the count itself is wrong.
    struct Case {
        const char* name;
        std::string text;
        size_t commands;
    };
    const std::string line = "2 1 2 3 0 0 0 0 0 0 0\r\n";
    const Case cases[] = {
        {"empty", "", 0},
        {"wrong version", "101\r\n1\r\n" + line, 0},
        {"no count", "100\r\n", 0},
        {"negative count", "100\r\n-1\r\n" + line, 0},
        {"count the file cannot hold", "100\r\n2000000000\r\n" + line, 0},
        {"huge count", "100\r\n1e300\r\n" + line, 0},
        {"count not a number", "100\r\nmany\r\n" + line, 0},
        {"cut off in a command", "100\r\n2\r\n" + line + "2 1 2 3 0 0 0 0 0 0", 2},
        {"not a number in a command", "100\r\n2\r\n" + line + "2 1 2 x 0 0 0 0 0 0 0", 2},
        {"infinity", "100\r\n1\r\n2 inf 0 0 0 0 0 0 0 0 0\r\n", 1},
    };
    for (const Case& c : cases) {
        C3D_Model m;
        m.Add(kModelVertex, {1, 1, 1});
        EXPECT_FALSE(m.FromText(c.text)) << c.name;
        EXPECT_EQ(m.Commands().size(), c.commands) << c.name;
    }
    // After the damage the commands are all zero.
    C3D_Model m;
    m.FromText("100\r\n2\r\n" + line + "14 1 2 x" + std::string(40, ' '));
    ASSERT_EQ(m.Commands().size(), 2u);
    EXPECT_EQ(m.Commands()[0].values[2], 3);
    EXPECT_EQ(m.Commands()[1].values[2], 0);
}

}  // namespace
}  // namespace kr
