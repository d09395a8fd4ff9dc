// Sound fixtures: wave files made in memory, and measures of mixed stereo frames.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <string>
#include <vector>

namespace kr::test {

// A 16-bit wave file of `channels` channels at `rate` holding a sine of `freq` Hz at
// `amplitude` for `seconds` (every channel alike).
inline std::vector<uint8_t> SineWave(double freq, double seconds, double amplitude = 0.5,
                                     int32_t rate = 44100, int32_t channels = 1) {
    int32_t frames = int32_t(seconds * rate);
    std::vector<uint8_t> out;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    uint32_t data = uint32_t(frames * channels * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(36 + data);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(16);
    put16(1);
    put16(uint16_t(channels));
    put32(uint32_t(rate));
    put32(uint32_t(rate * channels * 2));
    put16(uint16_t(channels * 2));
    put16(16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(data);
    for (int32_t i = 0; i < frames; ++i) {
        double v = amplitude * std::sin(2 * std::numbers::pi * freq * i / rate);
        for (int32_t c = 0; c < channels; ++c) put16(uint16_t(int16_t(std::lround(v * 32767))));
    }
    return out;
}

// The root-mean-square level of one channel (0 left, 1 right) of interleaved stereo frames
// between two frame indices.
inline double Rms(std::span<const float> stereo, int channel, size_t from, size_t to) {
    double sum = 0;
    size_t n = 0;
    for (size_t f = from; f < to && 2 * f + 1 < stereo.size(); ++f, ++n)
        sum += double(stereo[2 * f + size_t(channel)]) * stereo[2 * f + size_t(channel)];
    return n ? std::sqrt(sum / double(n)) : 0.0;
}

// The first frame from which one channel rises above `level`, or -1.
inline int64_t Onset(std::span<const float> stereo, int channel, float level = 0.02f) {
    for (size_t f = 0; 2 * f + 1 < stereo.size(); ++f)
        if (std::abs(stereo[2 * f + size_t(channel)]) > level) return int64_t(f);
    return -1;
}

// A MIDI file of one track: a piano note held for half a second.
inline std::vector<uint8_t> OneNoteMidi() {
    return {'M',  'T',  'h',  'd', 0, 0, 0, 6,  0, 0, 0, 1, 0, 96,  // format 0, 1 track, 96 ticks
            'M',  'T',  'r',  'k', 0, 0, 0, 12,                     //
            0x00, 0x90, 60,   100,                                  // note on
            0x60, 0x80, 60,   0,                                    // 96 ticks later: note off
            0x00, 0xFF, 0x2F, 0x00};                                // end of track
}

}  // namespace kr::test
