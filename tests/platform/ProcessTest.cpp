// Finding the program's own file, and whether a game was appended to it.
#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "support/ScratchDir.h"

namespace kr {
namespace {

TEST(Process, TellsAPlainProgramFromOneWithDataAppended) {
    std::string self = ExecutablePath();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(FileNameOf(self), "kr_test_platform");
    EXPECT_FALSE(HasAppendedData(self));

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(self, bytes));
    EXPECT_EQ(ProgramImageSize(self), bytes.size());
    test::ScratchDir dir;
    bytes.push_back(0);
    EXPECT_TRUE(HasAppendedData(dir.Write("with-data", bytes)));
    EXPECT_FALSE(HasAppendedData(dir.Write("not-a-program", "MZ just text")));
    EXPECT_FALSE(HasAppendedData(dir / "missing"));
}

TEST(Text, GameTextBecomesUtf8) {
    EXPECT_EQ(GameTextToUtf8("plain"), "plain");
    EXPECT_EQ(GameTextToUtf8("caf\xE9 \x80 \x81"), "caf\xC3\xA9 \xE2\x82\xAC \xC2\x81");
}

}  // namespace
}  // namespace kr
