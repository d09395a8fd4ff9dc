#include <gtest/gtest.h>

#include "data/Stream.h"

namespace kr {
namespace {

TEST(Stream, BooleansStringsAndOverruns) {
    CStream s;
    s.WriteInteger(2);
    s.WriteInteger(-1);
    s.WriteInteger(0);   // empty string
    s.WriteInteger(-5);  // negative length: empty string, only the length consumed
    s.WriteString("\xC3\xA9t\xFF");
    s.Seek(0);
    EXPECT_TRUE(s.ReadBoolean());
    EXPECT_FALSE(s.ReadBoolean());
    EXPECT_EQ(s.ReadString(), "");
    EXPECT_EQ(s.ReadString(), "");
    EXPECT_EQ(s.ReadString(), "\xC3\xA9t\xFF");
    EXPECT_FALSE(s.Failed());
    EXPECT_EQ(s.ReadInteger(), 0);
    EXPECT_TRUE(s.Failed());
}

TEST(Stream, Hex) {
    CStream s(std::vector<uint8_t>{0x00, 0xAB});
    EXPECT_EQ(s.ToHex(), "00AB");
    CStream t;
    ASSERT_TRUE(t.FromHex("00ab"));
    EXPECT_EQ(t.Bytes(), (std::vector<uint8_t>{0x00, 0xAB}));
    ASSERT_TRUE(t.FromHex("00A"));
    EXPECT_EQ(t.Bytes(), (std::vector<uint8_t>{0x00}));
    EXPECT_FALSE(t.FromHex("0G"));
    EXPECT_EQ(CStream().ToHex(), "");
}

TEST(Stream, BlocksPastTheEndFail) {
    CStream s;
    s.WriteInteger(100);
    s.WriteInteger(1);
    s.Seek(0);
    auto b = s.ReadBlock();
    EXPECT_TRUE(s.Failed());
    EXPECT_EQ(b->Size(), 0u);

    CStream c;
    std::vector<uint8_t> content(100000, 7);
    c.WriteCompressedBlock(content);
    c.WriteInteger(3);
    c.WriteBytes("abc", 3);  // not a zlib stream
    c.Seek(0);
    auto ok = c.ReadCompressedBlock();
    EXPECT_FALSE(c.Failed());
    EXPECT_EQ(ok->Bytes(), content);
    auto bad = c.ReadCompressedBlock();
    EXPECT_TRUE(c.Failed());
    EXPECT_TRUE(bad->Failed());
}

// Contents far larger than their compressed form make the output grow several times; a limit
// below the content's size fails, one at its size does not.
TEST(Stream, InflateGivesBackWhatWasDeflated) {
    std::vector<uint8_t> varied(100000);
    for (size_t i = 0; i < varied.size(); ++i) varied[i] = uint8_t(i * 2654435761u >> 13);
    const std::vector<uint8_t> contents[] = {{},
                                             {7},
                                             std::vector<uint8_t>(4096, 1),
                                             std::vector<uint8_t>(4097, 2),
                                             varied,
                                             std::vector<uint8_t>(size_t(3) << 20, 0)};
    for (const std::vector<uint8_t>& content : contents) {
        SCOPED_TRACE(content.size());
        std::vector<uint8_t> packed = Deflate(content);
        std::vector<uint8_t> out(10, 9);  // what it held is replaced
        ASSERT_TRUE(Inflate(packed, out));
        EXPECT_EQ(out, content);
        if (content.empty()) continue;
        ASSERT_TRUE(Inflate(packed, out, content.size()));
        EXPECT_EQ(out, content);
        EXPECT_FALSE(Inflate(packed, out, content.size() - 1));
    }
}

TEST(Stream, CountsThatCannotFitFail) {
    CStream s;
    s.WriteInteger(1000000);
    s.WriteInteger(0);
    s.Seek(0);
    EXPECT_EQ(s.ReadCount(4), 0);
    EXPECT_TRUE(s.Failed());
}

TEST(Stream, SeededRangeRoundTrips) {
    for (int32_t seed : {0, 1, 12345, -7, -2000000000, 2147483647}) {
        std::vector<uint8_t> bytes(300);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
        CStream s(bytes);
        s.EncodeSeededRange(seed, 10, 0);
        s.DecodeSeededRange(seed, 10, 0);
        EXPECT_EQ(s.Bytes(), bytes) << seed;
    }
}

}  // namespace
}  // namespace kr
