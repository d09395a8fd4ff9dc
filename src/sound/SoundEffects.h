// The effect chain of a sound, rendered into its samples: chorus, echo, flanger, gargle,
// parametric equalizer, reverb, compressor, distortion, in the fixed chain order. The parameters
// are those scripts set, in their units and ranges; docs/sound.md says how each is used.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kr {

// Effect bits as scripts spell them (se_chorus ...), plus distortion and the room reverb.
enum SoundEffectBit : int32_t {
    kEffectChorus = 1,
    kEffectEcho = 2,
    kEffectFlanger = 4,
    kEffectGargle = 8,
    kEffectReverb = 16,
    kEffectCompressor = 32,
    kEffectEqualizer = 64,
    kEffectDistortion = 128,
    kEffectRoomReverb = 256,
};

enum class EffectKind : uint8_t {
    kChorus,
    kCompressor,
    kEcho,
    kFlanger,
    kGargle,
    kEqualizer,
    kReverb
};

// Every effect's parameters; a new sound starts with the defaults.
struct EffectSettings {
    // wetdry %, depth %, feedback %, frequency Hz, wave (0 triangle, 1 sine), delay ms, phase 0..4
    std::array<double, 7> chorus{50, 10, 25, 1.1, 1, 16, 3};
    // gain dB, attack ms, release ms, threshold dB, ratio, predelay ms
    std::array<double, 6> compressor{0, 10, 200, -20, 3, 4};
    // wetdry %, feedback %, left delay ms, right delay ms, pan delay (0/1)
    std::array<double, 5> echo{50, 50, 500, 500, 0};
    // as chorus
    std::array<double, 7> flanger{50, 100, -50, 0.25, 1, 2, 2};
    // rate Hz, wave (0 triangle, 1 square)
    std::array<double, 2> gargle{20, 0};
    // centre Hz, bandwidth semitones, gain dB
    std::array<double, 3> equalizer{8000, 12, 0};
    // input gain dB, reverb mix dB, time ms, high-frequency time ratio
    std::array<double, 4> reverb{0, 0, 1000, 0.001};

    // Stores `values` for `kind` when every one lies in its range and gives true; otherwise
    // nothing changes and the result is false.
    bool Set(EffectKind kind, std::span<const double> values);
};

// Runs the chain of `bits` over interleaved samples of `channels` channels at `rate`.
void ApplySoundEffects(std::vector<float>& samples, int32_t channels, int32_t rate, int32_t bits,
                       const EffectSettings& settings);

}  // namespace kr
