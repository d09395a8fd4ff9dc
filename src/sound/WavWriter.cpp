#include "sound/WavWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/Files.h"

namespace kr {

namespace {
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void Header(uint8_t (&h)[44], int32_t rate, uint64_t data_bytes) {
    uint32_t data = uint32_t(std::min<uint64_t>(data_bytes, 0xFFFFFFFFu - 36));
    std::copy_n("RIFF", 4, h);
    Put32(h + 4, 36 + data);
    std::copy_n("WAVEfmt ", 8, h + 8);
    Put32(h + 16, 16);
    Put16(h + 20, 1);  // integer samples
    Put16(h + 22, 2);
    Put32(h + 24, uint32_t(rate));
    Put32(h + 28, uint32_t(rate) * 4);
    Put16(h + 32, 4);
    Put16(h + 34, 16);
    std::copy_n("data", 4, h + 36);
    Put32(h + 40, data);
}
}  // namespace

WavWriter::~WavWriter() {
    if (file_) {
        std::fclose(file_);
        if (!direct_) std::remove(writing_path_.c_str());
    }
}

bool WavWriter::Open(const std::string& path, int32_t rate) {
    // A device or pipe (/dev/stdout) is written directly: it cannot be renamed over.
    PathStatus st;
    direct_ = StatPath(path, st) && !st.regular;
    path_ = path;
    writing_path_ = direct_ ? path : path + ".part" + std::to_string(ProcessId());
    rate_ = rate;
    data_bytes_ = 0;
    failed_ = false;
    file_ = std::fopen(writing_path_.c_str(), "wb");
    if (!file_) return false;
    uint8_t h[44];
    Header(h, rate_, 0);
    failed_ = std::fwrite(h, 1, sizeof h, file_) != sizeof h;
    return true;
}

void WavWriter::Write(std::span<const float> frames) {
    if (!file_ || failed_) return;
    buffer_.resize(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        float v = std::clamp(frames[i], -1.0f, 1.0f);
        buffer_[i] = int16_t(std::lrint(v * 32767.0f));
    }
    size_t n = std::fwrite(buffer_.data(), sizeof(int16_t), buffer_.size(), file_);
    if (n != buffer_.size()) failed_ = true;
    data_bytes_ += n * sizeof(int16_t);
}

bool WavWriter::Finish() {
    if (!file_) return false;
    if (!direct_ && !failed_) {
        uint8_t h[44];
        Header(h, rate_, data_bytes_);
        failed_ =
            std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(h, 1, sizeof h, file_) != sizeof h;
    }
    failed_ = std::fclose(file_) != 0 || failed_;
    file_ = nullptr;
    if (direct_) return !failed_;
    if (failed_ || std::rename(writing_path_.c_str(), path_.c_str()) != 0) {
        std::remove(writing_path_.c_str());
        return false;
    }
    return true;
}

}  // namespace kr
