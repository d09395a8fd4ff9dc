// Decoding of sound files into samples: wave, Ogg, FLAC, MP3 and whatever else the sound-file
// library reads, and MIDI files, rendered through a software synthesizer with a General MIDI
// sound font. Everything works on bytes in memory; hostile or truncated data gives false, never
// more samples than a fixed limit.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kr {

// Interleaved float samples in -1..1 at their own rate; one or two channels.
struct PcmAudio {
    int32_t rate = 44100;
    int32_t channels = 0;
    std::vector<float> samples;
    int64_t Frames() const { return channels > 0 ? int64_t(samples.size()) / channels : 0; }
};

// The longest sound decoded: longer data is cut (one hour of stereo at 48 kHz is far beyond any
// game's sound, and bounds the memory hostile headers can ask for).
inline constexpr int64_t kMaxDecodedFrames = int64_t(48000) * 60 * 60;

class AudioDecoder {
public:
    // `sound_font`: the General MIDI sound font; empty: the first one found among the usual
    // places (KORVANE_SOUNDFONT, then the system's sound fonts).
    explicit AudioDecoder(std::string sound_font = {});
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // Decodes a whole sound file. More than two channels are mixed down to two. False when
    // the data is no sound this decoder reads (or MIDI without a sound font).
    bool Decode(std::span<const uint8_t> bytes, PcmAudio& out);
    // MIDI data ("MThd" at the start)?
    static bool IsMidi(std::span<const uint8_t> bytes);
    // Renders MIDI data at 44.1 kHz stereo, its tempo scaled by `tempo` (1 as written).
    bool RenderMidi(std::span<const uint8_t> bytes, double tempo, PcmAudio& out);
    // The sound font MIDI uses; empty when none was found (MIDI is then off). The first call
    // that needs it reports a missing font once on standard error.
    const std::string& SoundFont();
    // Sounds are cut after this many frames (at most kMaxDecodedFrames).
    void SetMaxFrames(int64_t frames) { max_frames_ = std::min(frames, kMaxDecodedFrames); }

private:
    struct Synth;
    std::string sound_font_;
    bool font_searched_ = false;
    std::unique_ptr<Synth> synth_;
    int64_t max_frames_ = kMaxDecodedFrames;
};

// The sound font found in the usual places, or empty.
std::string FindSoundFont();

}  // namespace kr
