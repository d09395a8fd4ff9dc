// Writes mixed audio to a wave file: 44.1 kHz, two channels, 16-bit samples. A regular file is
// written beside its target and renamed over it when finished, so it appears whole or not at
// all; anything else (a device such as /dev/null, a pipe) is written straight.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace kr {

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // False when the file cannot be made.
    bool Open(const std::string& path, int32_t rate);
    // Interleaved stereo float frames; values beyond -1..1 are clipped.
    void Write(std::span<const float> frames);
    // Completes the header and puts the file in place. False when anything failed.
    bool Finish();
    bool IsOpen() const { return file_ != nullptr; }

private:
    std::FILE* file_ = nullptr;
    std::string path_, writing_path_;
    bool direct_ = false, failed_ = false;
    int32_t rate_ = 44100;
    uint64_t data_bytes_ = 0;
    std::vector<int16_t> buffer_;
};

}  // namespace kr
