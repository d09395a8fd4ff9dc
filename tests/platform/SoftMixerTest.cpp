// The web runner's mixer (it is plain code, so it is tested natively).
#include <gtest/gtest.h>

#include <vector>

#include "platform/web/SoftMixer.h"

namespace kr {
namespace {

PcmAudio Constant(int32_t rate, int64_t frames, float left, float right) {
    PcmAudio pcm;
    pcm.rate = rate;
    pcm.channels = 2;
    for (int64_t i = 0; i < frames; ++i) pcm.samples.insert(pcm.samples.end(), {left, right});
    return pcm;
}

std::vector<float> Mix(SoftMixer& m, int32_t frames) {
    std::vector<float> out(size_t(frames) * 2, 99.0f);
    m.Render(out.data(), frames);
    return out;
}

// How many frames a voice sounds for (a buffer of 100 frames of 1s), and whether it ends:
// the buffer's rate and the pitch set the pace, a loop wraps, an offset starts later.
TEST(SoftMixer, PlaysEachBufferAtItsRateAndPitch) {
    struct Case {
        int32_t rate;
        float pitch;
        bool loop;
        int64_t offset;
        int32_t sounding;  // of 400 mixed frames
        bool playing_after;
    } cases[] = {
        {44100, 1, false, 0, 100, false}, {22050, 1, false, 0, 200, false},
        {44100, 2, false, 0, 50, false},  {44100, 1, true, 0, 400, true},
        {44100, 1, false, 60, 40, false}, {44100, 1, false, 100, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, pitch " << c.pitch << ", loop " << c.loop
                                        << ", offset " << c.offset);
        SoftMixer m;
        const uint32_t b = m.MakeBuffer(Constant(c.rate, 100, 1, 1));
        const uint32_t v = m.NewVoice();
        ASSERT_NE(b, 0u);
        // Start resets the voice's settings, as the native mixer's does.
        m.Start(v, b, c.loop, false, c.offset);
        m.SetPitch(v, c.pitch);
        const std::vector<float> out = Mix(m, 400);
        int32_t sounding = 0;
        for (int32_t f = 0; f < 400; ++f) sounding += out[2 * f] > 0.5f ? 1 : 0;
        EXPECT_NEAR(sounding, c.sounding, 1);
        EXPECT_EQ(m.Playing(v), c.playing_after);
    }
}

// Gain, master gain, pan, and the distance of a voice placed in space set each side's level.
TEST(SoftMixer, SetsEachSidesLevel) {
    struct Case {
        const char* what;
        float gain, master, pan;
        bool spatial;
        float x, min, left, right;
    } cases[] = {
        {"centre", 1, 1, 0, false, 0, 1, 0.25f, 0.5f},
        {"gains", 0.5f, 0.5f, 0, false, 0, 1, 0.0625f, 0.125f},
        {"hard right", 1, 1, 1, false, 0, 1, 0, 0.5f},
        {"half left", 1, 1, -0.5f, false, 0, 1, 0.25f, 0.25f},
        {"near, right", 1, 1, 0, true, 1, 1, 0, 0.5f},
        {"four times the distance", 1, 1, 0, true, 8, 2, 0, 0.125f},
        {"within the distance", 1, 1, 0, true, -1, 4, 0.25f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SoftMixer m;
        const uint32_t b = m.MakeBuffer(Constant(44100, 100, 0.25f, 0.5f));
        const uint32_t v = m.NewVoice();
        m.Start(v, b, false, c.spatial, 0);
        m.SetGain(v, c.gain);
        m.SetMasterGain(c.master);
        m.SetPan(v, c.pan);
        m.SetPosition(v, c.x, 0, 0);
        m.SetDistance(v, c.min, 1000);
        const std::vector<float> out = Mix(m, 10);
        // A spatial voice's side follows x alone: the buffer's own channels go to their sides.
        EXPECT_FLOAT_EQ(out[10], c.left);
        EXPECT_FLOAT_EQ(out[11], c.right);
    }
}

// Two voices add up; a paused voice keeps its place; a freed buffer silences its voices and
// unknown ids change nothing.
TEST(SoftMixer, MixesPausesAndForgets) {
    SoftMixer m;
    const uint32_t a = m.MakeBuffer(Constant(44100, 1000, 0.25f, 0.25f));
    const uint32_t b = m.MakeBuffer(Constant(44100, 1000, 0.5f, 0.5f));
    const uint32_t va = m.NewVoice(), vb = m.NewVoice();
    m.Start(va, a, false, false, 0);
    m.Start(vb, b, false, false, 0);
    EXPECT_FLOAT_EQ(Mix(m, 10)[0], 0.75f);

    m.Pause(va);
    EXPECT_TRUE(m.Paused(va));
    EXPECT_FALSE(m.Playing(va));
    EXPECT_FLOAT_EQ(Mix(m, 10)[0], 0.5f);
    EXPECT_EQ(m.Offset(va), 10);
    m.Resume(va);
    EXPECT_TRUE(m.Playing(va));
    EXPECT_EQ(m.Offset(vb), 20);

    m.FreeBuffer(b);
    EXPECT_FALSE(m.Playing(vb));
    EXPECT_FLOAT_EQ(Mix(m, 10)[0], 0.25f);
    m.Start(vb, b, false, false, 0);
    EXPECT_FALSE(m.Playing(vb));
    m.SetGain(12345, 0);
    m.Stop(12345);
    EXPECT_FALSE(m.Playing(12345));
    EXPECT_EQ(m.MakeBuffer(PcmAudio{}), 0u);
}

}  // namespace
}  // namespace kr
