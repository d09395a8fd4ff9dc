// Each effect changes a sine its own way; out-of-range parameters are refused whole.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "sound/SoundEffects.h"

namespace kr {
namespace {

constexpr int32_t kRate = 44100;

// One channel: a sine of `freq` Hz at `amp` for `seconds`, then as long again of silence.
std::vector<float> Burst(double freq, double amp, double seconds) {
    std::vector<float> s(size_t(2 * seconds * kRate), 0.0f);
    for (size_t i = 0; i < s.size() / 2; ++i)
        s[i] = float(amp * std::sin(2 * std::numbers::pi * freq * double(i) / kRate));
    return s;
}

double Rms(const std::vector<float>& s, double from, double to) {
    double sum = 0;
    size_t a = size_t(from * kRate), b = size_t(to * kRate);
    for (size_t i = a; i < b; ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(b - a));
}

TEST(SoundEffectsTest, EachEffectChangesTheSignalItsOwnWay) {
    EffectSettings p;
    const double square[] = {10, 1};
    ASSERT_TRUE(p.Set(EffectKind::kGargle, square));
    const double boost[] = {1000, 12, 15};
    ASSERT_TRUE(p.Set(EffectKind::kEqualizer, boost));
    const double squash[] = {0, 0.01, 50, -30, 20, 0};
    ASSERT_TRUE(p.Set(EffectKind::kCompressor, squash));
    const double base = Rms(Burst(1000, 0.5, 0.5), 0.1, 0.5);
    struct Case {
        int32_t bit;
        double low, high;  // the level from 0.1 to 0.5 s against the plain sine's
        double tail;       // at least this level in the silence from 0.5 to 0.7 s
    } cases[] = {
        {kEffectGargle, 0.65, 0.75, 0},   // on half the time: 1/sqrt(2)
        {kEffectEqualizer, 5.0, 6.2, 0},  // +15 dB at its centre
        {kEffectCompressor, 0.05, 0.3, 0},
        {kEffectReverb, 0.9, 3.0, 0.01},  // a tail after the sound
        {kEffectChorus, 0.5, 1.2, 0},
        {kEffectFlanger, 0.2, 1.5, 0},
        {kEffectDistortion, 1.05, 1.3, 0},  // clipped towards a square: louder
        {kEffectRoomReverb, 0.9, 2.0, 0.005},
    };
    for (const Case& c : cases) {
        std::vector<float> s = Burst(1000, 0.5, 0.5);
        ApplySoundEffects(s, 1, kRate, c.bit, p);
        double level = Rms(s, 0.1, 0.5) / base;
        EXPECT_GE(level, c.low) << c.bit;
        EXPECT_LE(level, c.high) << c.bit;
        if (c.tail > 0) {
            EXPECT_GE(Rms(s, 0.5, 0.7), c.tail) << c.bit;
        }
        for (float v : s) ASSERT_TRUE(std::isfinite(v)) << c.bit;
    }
}

TEST(SoundEffectsTest, ParametersOutsideTheirRangeAreRefusedWhole) {
    EffectSettings p;
    const double bad_echo[] = {50, 50, 0, 500, 0};  // a left delay of 0 ms
    EXPECT_FALSE(p.Set(EffectKind::kEcho, bad_echo));
    EXPECT_EQ(p.echo, EffectSettings{}.echo);
    const double nan_reverb[] = {0, 0, std::nan(""), 0.5};
    EXPECT_FALSE(p.Set(EffectKind::kReverb, nan_reverb));
    const double good_reverb[] = {-3, -6, 2000, 0.5};
    EXPECT_TRUE(p.Set(EffectKind::kReverb, good_reverb));
    EXPECT_EQ(p.reverb[2], 2000);
}

}  // namespace
}  // namespace kr
