// Video decoding: the pictures of a small uncompressed video at their times, and files that are
// no video.
#include <gtest/gtest.h>

#include "platform/video/VideoDecoder.h"
#include "support/ScratchDir.h"

namespace kr {
namespace {

// A YUV4MPEG2 video of `frames` pictures of 16 x 8 at 25 per second, frame k of luma 60 + 80k
// without colour.
std::string SmallVideo(int frames) {
    std::string v = "YUV4MPEG2 W16 H8 F25:1 Ip A1:1 C420jpeg\n";
    for (int k = 0; k < frames; ++k) {
        v += "FRAME\n";
        v += std::string(16 * 8, char(60 + 80 * k));
        v += std::string(2 * 8 * 4, char(128));
    }
    return v;
}

TEST(VideoDecoder, PicturesComeInOrderWithTheirTimes) {
    test::ScratchDir dir;
    dir.Write("v.y4m", SmallVideo(3));
    std::string why;
    std::unique_ptr<VideoDecoder> v = VideoDecoder::Open(dir / "v.y4m", why);
    ASSERT_TRUE(v) << why;
    EXPECT_EQ(v->Width(), 16);
    EXPECT_EQ(v->Height(), 8);
    std::vector<uint8_t> bgra;
    double t = -1;
    uint8_t previous = 0;
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(v->NextFrame(bgra, t)) << k;
        ASSERT_EQ(bgra.size(), 16u * 8u * 4u);
        EXPECT_NEAR(t, k * 0.04, 1e-6);
        EXPECT_EQ(bgra[3], 255);      // opaque
        EXPECT_EQ(bgra[0], bgra[2]);  // grey
        EXPECT_GT(bgra[0], previous);
        previous = bgra[0];
    }
    EXPECT_FALSE(v->NextFrame(bgra, t));
    ASSERT_TRUE(v->Rewind());
    ASSERT_TRUE(v->NextFrame(bgra, t));
    EXPECT_NEAR(t, 0, 1e-6);
}

TEST(VideoDecoder, FilesThatAreNoVideoGiveNoDecoder) {
    test::ScratchDir dir;
    dir.Write("junk.avi", std::string(5000, '\x5a'));
    dir.Write("empty.avi", "");
    dir.Write("huge.y4m", "YUV4MPEG2 W100000 H100000 F25:1 C420jpeg\nFRAME\n");
    for (const char* name : {"junk.avi", "empty.avi", "huge.y4m", "missing.avi"}) {
        std::string why;
        EXPECT_FALSE(VideoDecoder::Open(dir / name, why)) << name;
        EXPECT_FALSE(why.empty()) << name;
    }
}

// A wave file: 16-bit samples (interleaved when stereo) at 8000 Hz.
std::string Wave(int channels, const std::vector<int16_t>& samples) {
    std::string w;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) w += char(v >> (8 * i));
    };
    auto u16 = [&](uint16_t v) { w += char(v & 0xFF), w += char(v >> 8); };
    uint32_t data = uint32_t(samples.size() * 2);
    w += "RIFF";
    u32(36 + data);
    w += "WAVEfmt ";
    u32(16), u16(1), u16(uint16_t(channels)), u32(8000), u32(8000 * 2 * channels),
        u16(uint16_t(2 * channels)), u16(16);
    w += "data";
    u32(data);
    for (int16_t s : samples) u16(uint16_t(s));
    return w;
}

// The sound track comes as stereo floats at its rate; a mono track is heard on both sides.
TEST(VideoDecoder, SoundTracksDecodeToStereo) {
    test::ScratchDir dir;
    dir.Write("stereo.wav", Wave(2, {16384, -16384, 0, 32767}));
    dir.Write("mono.wav", Wave(1, {-32768, 8192}));
    VideoSound s;
    ASSERT_TRUE(DecodeVideoSound(dir / "stereo.wav", s));
    EXPECT_EQ(s.rate, 8000);
    ASSERT_EQ(s.samples.size(), 4u);
    EXPECT_FLOAT_EQ(s.samples[0], 0.5f);
    EXPECT_FLOAT_EQ(s.samples[1], -0.5f);
    ASSERT_TRUE(DecodeVideoSound(dir / "mono.wav", s));
    ASSERT_EQ(s.samples.size(), 4u);
    EXPECT_FLOAT_EQ(s.samples[0], -1.0f);
    EXPECT_FLOAT_EQ(s.samples[1], -1.0f);
    EXPECT_FLOAT_EQ(s.samples[3], 0.25f);
    dir.Write("v.y4m", SmallVideo(1));  // pictures only
    EXPECT_FALSE(DecodeVideoSound(dir / "v.y4m", s));
}

}  // namespace
}  // namespace kr
