#include "platform/web/WavReader.h"

#include <algorithm>
#include <cstring>

namespace kr {

namespace {

uint32_t Le(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

// One sample of `bits` bits at `p`, as -1..1.
float Sample(const uint8_t* p, int bits, bool is_float) {
    if (is_float) {
        if (bits == 32) {
            float f;
            std::memcpy(&f, p, 4);
            return f;
        }
        double d;
        std::memcpy(&d, p, 8);
        return float(d);
    }
    if (bits == 8) return (float(p[0]) - 128.0f) / 128.0f;
    const int bytes = bits / 8;
    const uint32_t raw = Le(p, bytes) << (32 - bits);
    return float(int32_t(raw)) / 2147483648.0f;
}

}  // namespace

bool ReadWav(std::span<const uint8_t> bytes, int64_t max_frames, PcmAudio& out) {
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return false;
    int channels = 0, bits = 0;
    uint32_t rate = 0;
    bool is_float = false, have_format = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint8_t* chunk = bytes.data() + at;
        const size_t size = Le(chunk + 4, 4);
        const size_t avail = std::min(size, bytes.size() - at - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && avail >= 16) {
            uint32_t tag = Le(chunk + 8, 2);
            if (tag == 0xFFFE && avail >= 40) tag = Le(chunk + 32, 2);  // the extensible header
            channels = int(Le(chunk + 10, 2));
            rate = Le(chunk + 12, 4);
            bits = int(Le(chunk + 22, 2));
            is_float = tag == 3;
            have_format = (tag == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32)) ||
                          (is_float && (bits == 32 || bits == 64));
            if (!have_format || channels < 1 || rate < 1 || rate > 384000) return false;
        } else if (std::memcmp(chunk, "data", 4) == 0 && have_format) {
            const size_t frame_bytes = size_t(channels) * size_t(bits / 8);
            int64_t frames = std::min<int64_t>(int64_t(avail / frame_bytes), max_frames);
            const int out_channels = std::min(channels, 2);
            out.rate = int32_t(rate);
            out.channels = out_channels;
            out.samples.assign(size_t(frames) * size_t(out_channels), 0.0f);
            for (int64_t f = 0; f < frames; ++f) {
                const uint8_t* p = chunk + 8 + size_t(f) * frame_bytes;
                for (int c = 0; c < channels; ++c) {
                    const float s = Sample(p + size_t(c) * size_t(bits / 8), bits, is_float);
                    // More than two channels: the odd ones go left, the even ones right.
                    const int to = out_channels == 1 ? 0 : c % 2;
                    out.samples[size_t(f) * size_t(out_channels) + size_t(to)] +=
                        channels > 2 ? s / float((channels + 1 - to) / 2) : s;
                }
            }
            return true;
        }
        if (size >= bytes.size() - at - 8) break;  // the last chunk (or a damaged size)
        at += 8 + size + (size & 1);
    }
    return false;
}

}  // namespace kr
