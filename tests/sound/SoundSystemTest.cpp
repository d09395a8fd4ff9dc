// The sound system as the mixed output shows it: when and how loud sounds play, panning, fades,
// overlapping starts, the end of a sound, background music, MIDI, effects, the fall-back to the
// multimedia player, and bad sound data.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "sound/SoundSystem.h"
#include "sound/SoundTestUtil.h"
#include "support/ScratchDir.h"

namespace kr {
namespace {

using test::Onset;
using test::Rms;
using test::SineWave;

constexpr int64_t kRate = SoundSystem::kRate;

class SoundSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        sound_.SetTempDirectory(dir_.Path());
        sound_.Open();
        ASSERT_TRUE(sound_.HasMixer());
        sound_.AddOutput(
            [this](std::span<const float> f) { out_.insert(out_.end(), f.begin(), f.end()); });
    }
    int32_t Load(const std::vector<uint8_t>& bytes, int32_t kind = CSound::kNormal) {
        return sound_.LoadSlotFromMemory(bytes, kind);
    }
    // Seconds of output to frames.
    static size_t At(double seconds) { return size_t(seconds * kRate); }

    std::vector<std::string> messages_;
    SoundSystem sound_{[this](std::string_view m) { messages_.emplace_back(m); }};
    std::vector<float> out_;
    test::ScratchDir dir_;
};

// A sine started after 0.5 s is heard from then on at its own level in both channels, and the
// sound reports playing until its one second is over.
TEST_F(SoundSystemTest, SoundStartsOnTimeAtItsLevelAndEnds) {
    int32_t slot = Load(SineWave(440, 1.0, 0.5));
    ASSERT_GE(slot, 0);
    sound_.Render(At(0.5));
    sound_.PlaySlot(slot, false);
    EXPECT_TRUE(sound_.SlotIsPlaying(slot));
    sound_.Render(At(0.9));
    EXPECT_TRUE(sound_.SlotIsPlaying(slot));
    sound_.Render(At(0.2));
    EXPECT_FALSE(sound_.SlotIsPlaying(slot));
    EXPECT_NEAR(double(Onset(out_, 0)), double(At(0.5)), 50);
    double level = 0.5 / std::sqrt(2.0);
    for (int ch : {0, 1}) EXPECT_NEAR(Rms(out_, ch, At(0.6), At(1.4)), level, 0.03) << ch;
    EXPECT_LT(Rms(out_, 0, At(1.52), At(1.6)), 0.001);
}

// Pan -1 leaves the right channel silent and 1 the left; two starts of one sound overlap (twice
// the amplitude); stopping stops both.
TEST_F(SoundSystemTest, PanAndOverlap) {
    int32_t slot = Load(SineWave(300, 2.0, 0.25));
    sound_.SetSlotPan(slot, -1);
    sound_.PlaySlot(slot, false);
    sound_.Render(At(0.3));
    EXPECT_GT(Rms(out_, 0, At(0.1), At(0.3)), 0.1);
    EXPECT_LT(Rms(out_, 1, At(0.1), At(0.3)), 0.002);
    sound_.SetSlotPan(slot, 1);
    sound_.Render(At(0.3));
    EXPECT_LT(Rms(out_, 0, At(0.4), At(0.6)), 0.002);
    EXPECT_GT(Rms(out_, 1, At(0.4), At(0.6)), 0.1);

    sound_.StopSlot(slot);
    sound_.SetSlotPan(slot, 0);
    out_.clear();
    sound_.PlaySlot(slot, false);
    sound_.Render(At(0.2));
    double one = Rms(out_, 0, At(0.05), At(0.2));
    sound_.PlaySlot(slot, false);  // in phase with the first only by chance: compare levels
    out_.clear();
    sound_.Render(At(0.2));
    double two = Rms(out_, 0, 0, At(0.2));
    EXPECT_NEAR(one, 0.25 / std::sqrt(2.0), 0.02);
    EXPECT_GT(two, one * 1.05);
    sound_.StopSlot(slot);
    EXPECT_FALSE(sound_.SlotIsPlaying(slot));
    out_.clear();
    sound_.Render(At(0.1));
    EXPECT_LT(Rms(out_, 0, 0, At(0.1)), 0.001);
}

// Volume follows the hundredths of a decibel sent (0.5 is -48 dB); a fade reaches its level
// at its time, passing through the levels between.
TEST_F(SoundSystemTest, VolumeAndFade) {
    int32_t slot = Load(SineWave(440, 3.0, 0.5));
    sound_.SetSlotVolume(slot, 0, 2);
    EXPECT_EQ(sound_.SlotVolumeSent(slot), 9600);  // sent unclamped, heard at full level
    sound_.PlaySlot(slot, false);
    sound_.Render(At(0.5));
    double full = Rms(out_, 0, At(0.1), At(0.5));
    EXPECT_NEAR(full, 0.5 / std::sqrt(2.0), 0.03);
    sound_.SetSlotVolume(slot, 1000, 0.875);  // -12 dB over one second
    EXPECT_EQ(sound_.SlotVolumeSent(slot), -1200);
    sound_.Render(At(1.5));
    double half_way = Rms(out_, 0, At(0.98), At(1.02));
    double after = Rms(out_, 0, At(1.6), At(2.0));
    EXPECT_NEAR(after / full, std::pow(10.0, -12.0 / 20), 0.02);
    EXPECT_NEAR(half_way / full, std::pow(10.0, -6.0 / 20), 0.05);
    sound_.SetSlotVolume(slot, 0, 0.5);
    EXPECT_EQ(sound_.SlotVolumeSent(slot), -4800);
}

// Background music plays one at a time: a new one replaces the old, a normal sound goes on.
TEST_F(SoundSystemTest, BackgroundMusicReplacesBackgroundMusic) {
    int32_t a = Load(SineWave(200, 2.0), CSound::kBackgroundMusic);
    int32_t b = Load(SineWave(300, 2.0), CSound::kBackgroundMusic);
    int32_t n = Load(SineWave(400, 2.0), CSound::kNormal);
    sound_.PlaySlot(a, true);
    sound_.PlaySlot(n, false);
    sound_.Render(At(0.1));
    sound_.PlaySlot(b, false);
    sound_.Render(At(0.1));
    EXPECT_FALSE(sound_.SlotIsPlaying(a));
    EXPECT_TRUE(sound_.SlotIsPlaying(b));
    EXPECT_TRUE(sound_.SlotIsPlaying(n));
    sound_.StopAllSlots();
    EXPECT_FALSE(sound_.SlotIsPlaying(b) || sound_.SlotIsPlaying(n));
}

// Echo adds a copy of the sound its delay later; the bit-less setter changes nothing.
TEST_F(SoundSystemTest, EchoAddsADelayedCopy) {
    auto burst = SineWave(500, 0.1, 0.5);
    auto silence = SineWave(500, 0.9, 0.0);
    burst.insert(burst.end(), silence.begin() + 44, silence.end());  // 1 s: burst, then quiet
    // Patch the sizes in the header for the longer data.
    uint32_t data = uint32_t(burst.size() - 44);
    for (int i = 0; i < 4; ++i) {
        burst[size_t(40 + i)] = uint8_t(data >> (8 * i));
        burst[size_t(4 + i)] = uint8_t((data + 36) >> (8 * i));
    }
    int32_t slot = Load(burst);
    const double echo[] = {50, 0, 300, 300, 0};
    sound_.SetSlotEffectParameters(slot, EffectKind::kEcho, echo);  // bit not set: ignored
    sound_.PlaySlot(slot, false);
    sound_.Render(At(1.0));
    EXPECT_LT(Rms(out_, 0, At(0.3), At(0.4)), 0.001);

    sound_.SetSlotEffects(slot, kEffectEcho);
    sound_.SetSlotEffectParameters(slot, EffectKind::kEcho, echo);
    out_.clear();
    sound_.PlaySlot(slot, false);
    sound_.Render(At(1.0));
    double direct = Rms(out_, 0, At(0.01), At(0.09));
    double copy = Rms(out_, 0, At(0.31), At(0.39));
    EXPECT_NEAR(direct, 0.5 * 0.5 / std::sqrt(2.0), 0.03);  // half dry
    EXPECT_NEAR(copy, direct, 0.03);                        // half wet, 300 ms later
    EXPECT_LT(Rms(out_, 0, At(0.15), At(0.25)), 0.005);
}

// MIDI is rendered through the sound font into sound.
TEST_F(SoundSystemTest, MidiMakesSound) {
    if (FindSoundFont().empty()) GTEST_SKIP() << "no sound font installed";
    int32_t slot = Load(test::OneNoteMidi(), CSound::kBackgroundMusic);
    ASSERT_GE(slot, 0);
    sound_.PlaySlot(slot, false);
    sound_.Render(At(0.5));
    EXPECT_GT(Rms(out_, 0, 0, At(0.5)), 0.005);
}

// Bad data: the sound falls back to the multimedia kind, plays nothing, and nothing crashes.
TEST_F(SoundSystemTest, BadDataFallsBackAndStaysSilent) {
    auto good = SineWave(440, 0.2);
    std::vector<std::vector<uint8_t>> bad = {
        {},
        {'R', 'I', 'F', 'F'},
        std::vector<uint8_t>(good.begin(), good.begin() + 30),  // truncated header
        test::OneNoteMidi(),                                    // patched below
    };
    bad[3].resize(16);  // MIDI cut inside its header
    auto huge = good;   // claims far more data than there is
    huge[40] = huge[41] = huge[42] = 0xFF;
    huge[43] = 0x7F;
    bad.push_back(huge);
    for (size_t i = 0; i < bad.size(); ++i) {
        CSound s;
        s.kind = CSound::kNormal;
        s.file_type = ".wav";
        s.has_data = true;
        s.data = bad[i];
        sound_.Prepare(s);
        if (i == 4) {  // readable as far as it goes
            EXPECT_EQ(s.kind, CSound::kNormal);
            continue;
        }
        EXPECT_EQ(s.kind, CSound::kMultimedia) << i;
        ASSERT_GE(s.slot, 0) << i;
        EXPECT_TRUE(FileExists(s.temporary_file));
        sound_.PlaySlot(s.slot, false);
        EXPECT_FALSE(sound_.SlotIsPlaying(s.slot));
    }
}

// The slot table hands out the lowest free entry; Discard frees it and GetSlot prepares again
// with the stored settings.
TEST_F(SoundSystemTest, SlotsAreReusedAndSoundsPreparedOnUse) {
    CSound s;
    s.has_data = true;
    s.data = SineWave(440, 0.1);
    s.volume = 0.5;
    s.preload = false;
    int32_t other = Load(SineWave(440, 0.1));
    EXPECT_EQ(sound_.GetSlot(s), 1);
    EXPECT_EQ(sound_.SlotVolumeSent(1), -4800);
    sound_.SetSlotVolume(1, 0, 1);
    sound_.FreeSlot(other);
    sound_.Discard(s);
    EXPECT_EQ(s.slot, -1);
    EXPECT_EQ(sound_.GetSlot(s), 0);
    EXPECT_EQ(sound_.SlotVolumeSent(0), -4800);
    EXPECT_EQ(sound_.SlotCount(), 2);
}

// The multimedia kind plays from its file through the one player: starting one ends the other.
TEST_F(SoundSystemTest, MultimediaSoundsPlayOneAtATime) {
    CSound a, b;
    for (CSound* s : {&a, &b}) {
        s->kind = CSound::kMultimedia;
        s->file_type = ".wav";
        s->has_data = true;
        s->data = SineWave(440, 1.0);
        sound_.Prepare(*s);
        EXPECT_FALSE(s->has_data);
        EXPECT_TRUE(FileExists(s->temporary_file));
    }
    sound_.PlaySlot(a.slot, false);
    sound_.Render(At(0.1));
    EXPECT_TRUE(sound_.SlotIsPlaying(a.slot));
    sound_.PlaySlot(b.slot, true);
    EXPECT_FALSE(sound_.SlotIsPlaying(a.slot));
    sound_.Render(At(1.5));  // loops past its end
    EXPECT_TRUE(sound_.SlotIsPlaying(b.slot));
    EXPECT_GT(Rms(out_, 0, At(1.2), At(1.5)), 0.1);
}

// Global volume and tempo are clamped as sent; 3D distance sends a negative minimum as 0.
TEST_F(SoundSystemTest, SentValuesAreClamped) {
    sound_.SetGlobalVolume(2);
    EXPECT_EQ(sound_.GlobalVolumeSent(), 1000);
    sound_.SetGlobalVolume(-1);
    EXPECT_EQ(sound_.GlobalVolumeSent(), -10000);
    sound_.SetBackgroundTempo(0);
    EXPECT_FLOAT_EQ(sound_.TempoSent(), 0.01f);
    sound_.SetBackgroundTempo(1000);
    EXPECT_FLOAT_EQ(sound_.TempoSent(), 100.0f);
    int32_t slot = Load(SineWave(440, 0.1), CSound::kThreeD);
    sound_.SetSlot3DDistance(slot, -5, 100);
    ASSERT_NE(sound_.Slot3D(slot), nullptr);
    EXPECT_EQ(sound_.Slot3D(slot)->min_distance, 0);
    sound_.SetSlot3DCone(slot, 0, 0, 1, 90, 180, 0.5);
    EXPECT_EQ(sound_.Slot3D(slot)->outside_volume, -5000);
}

// A 3D sound is quieter far away than near.
TEST_F(SoundSystemTest, ThreeDSoundFadesWithDistance) {
    int32_t slot = Load(SineWave(440, 1.0, 0.5), CSound::kThreeD);
    sound_.SetSlot3DPosition(slot, 0, 0, -1);
    sound_.PlaySlot(slot, false);
    sound_.Render(At(0.2));
    double near = Rms(out_, 0, At(0.05), At(0.2)) + Rms(out_, 1, At(0.05), At(0.2));
    sound_.SetSlot3DPosition(slot, 0, 0, -10);
    out_.clear();
    sound_.Render(At(0.2));
    double far = Rms(out_, 0, At(0.05), At(0.2)) + Rms(out_, 1, At(0.05), At(0.2));
    EXPECT_NEAR(far / near, 0.1, 0.03);
}

}  // namespace
}  // namespace kr

namespace kr {
namespace {

// Without a sound font MIDI is off: one warning, and MIDI data is refused (the sound falls back
// to the multimedia kind) while sampled sounds play on.
TEST(SoundFontTest, MissingFontTurnsMidiOffWithOneWarning) {
    ::setenv("KORVANE_SOUNDFONT", "/nonexistent/font.sf2", 1);
    SoundSystem sound(nullptr);
    sound.Open();
    testing::internal::CaptureStderr();
    int32_t first = sound.LoadSlotFromMemory(test::OneNoteMidi(), CSound::kBackgroundMusic);
    int32_t second = sound.LoadSlotFromMemory(test::OneNoteMidi(), CSound::kNormal);
    int32_t wave = sound.LoadSlotFromMemory(SineWave(440, 0.1), CSound::kNormal);
    std::string err = testing::internal::GetCapturedStderr();
    ::unsetenv("KORVANE_SOUNDFONT");
    EXPECT_EQ(first, -1);
    EXPECT_EQ(second, -1);
    EXPECT_GE(wave, 0);
    size_t at = err.find("sound font");
    ASSERT_NE(at, std::string::npos) << err;
    EXPECT_EQ(err.find("sound font", at + 1), std::string::npos) << err;
}

}  // namespace
}  // namespace kr
