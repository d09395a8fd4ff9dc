// The web runner's WAV reader (it is plain code, so it is tested natively).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/web/WavReader.h"

namespace kr {
namespace {

void Put(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void Chunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body,
           uint32_t size) {
    out.insert(out.end(), id, id + 4);
    Put(out, size, 4);
    out.insert(out.end(), body.begin(), body.end());
}

// A WAV file: `tag` 1 integer, 3 float, 0xFFFE extensible (then `sub` is the real tag).
std::vector<uint8_t> Wav(uint16_t tag, int channels, int bits, const std::vector<uint8_t>& data,
                         uint16_t sub = 0) {
    std::vector<uint8_t> fmt;
    Put(fmt, tag, 2);
    Put(fmt, uint32_t(channels), 2);
    Put(fmt, 22050, 4);
    Put(fmt, uint32_t(22050 * channels * bits / 8), 4);
    Put(fmt, uint32_t(channels * bits / 8), 2);
    Put(fmt, uint32_t(bits), 2);
    if (tag == 0xFFFE) {
        Put(fmt, 22, 2);
        Put(fmt, uint32_t(bits), 2);
        Put(fmt, 0, 4);
        Put(fmt, sub, 2);
        fmt.resize(40, 0);
    }
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    Chunk(out, "LIST", {1, 2, 3}, 3);  // an odd chunk, padded, to be skipped
    out.push_back(0);
    Chunk(out, "fmt ", fmt, uint32_t(fmt.size()));
    Chunk(out, "data", data, uint32_t(data.size()));
    return out;
}

std::vector<uint8_t> Floats(const std::vector<float>& v) {
    std::vector<uint8_t> out(v.size() * 4);
    std::memcpy(out.data(), v.data(), out.size());
    return out;
}

TEST(WavReader, ReadsEachSampleFormat) {
    struct Case {
        std::string name;
        std::vector<uint8_t> file;
        int channels;
        std::vector<float> samples;
    };
    const Case cases[] = {
        {"8-bit", Wav(1, 1, 8, {128, 192, 0}), 1, {0.0f, 0.5f, -1.0f}},
        {"16-bit stereo", Wav(1, 2, 16, {0x00, 0x40, 0x00, 0xC0}), 2, {0.5f, -0.5f}},
        {"24-bit", Wav(1, 1, 24, {0x00, 0x00, 0xC0}), 1, {-0.5f}},
        {"32-bit", Wav(1, 1, 32, {0, 0, 0, 0x40}), 1, {0.5f}},
        {"float", Wav(3, 1, 32, Floats({0.25f, -0.75f})), 1, {0.25f, -0.75f}},
        {"extensible 16-bit", Wav(0xFFFE, 1, 16, {0x00, 0x20}, 1), 1, {0.25f}},
        // Four channels: the first and third are averaged to the left, the others right.
        {"four channels", Wav(1, 4, 8, {192, 128, 64, 0}), 2, {0.0f, -0.5f}},
        // A last frame cut short is left out.
        {"cut frame", Wav(1, 2, 16, {0x00, 0x40, 0x00, 0xC0, 0x00}), 2, {0.5f, -0.5f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PcmAudio pcm;
        ASSERT_TRUE(ReadWav(c.file, kMaxDecodedFrames, pcm));
        EXPECT_EQ(pcm.rate, 22050);
        EXPECT_EQ(pcm.channels, c.channels);
        ASSERT_EQ(pcm.samples.size(), c.samples.size());
        for (size_t i = 0; i < c.samples.size(); ++i)
            EXPECT_NEAR(pcm.samples[i], c.samples[i], 1e-6) << i;
    }
}

TEST(WavReader, RefusesWhatItCannotRead) {
    std::vector<uint8_t> adpcm = Wav(2, 1, 4, {1, 2});
    std::vector<uint8_t> twelve_bits = Wav(1, 1, 12, {1, 2});
    std::vector<uint8_t> no_channels = Wav(1, 0, 16, {1, 2});
    std::vector<uint8_t> not_wave = Wav(1, 1, 16, {1, 2});
    not_wave[8] = 'X';
    // A chunk that claims to run far past the file (its offset would wrap on 32 bits).
    std::vector<uint8_t> huge = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    Chunk(huge, "junk", {0, 0, 0, 0}, 0xFFFFFFF0u);
    for (const auto& file : {adpcm, twelve_bits, no_channels, not_wave, huge}) {
        PcmAudio pcm;
        EXPECT_FALSE(ReadWav(file, kMaxDecodedFrames, pcm));
    }
}

TEST(WavReader, StopsAtTheLimit) {
    PcmAudio pcm;
    ASSERT_TRUE(ReadWav(Wav(1, 1, 8, {10, 20, 30, 40}), 2, pcm));
    EXPECT_EQ(pcm.Frames(), 2);
}

}  // namespace
}  // namespace kr
