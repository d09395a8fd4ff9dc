// Decoding of video files through FFmpeg's libraries (any format and codec they read): the
// pictures frame by frame, and the sound track whole. A file that cannot be opened or holds no
// decodable video stream gives no decoder; a damaged frame ends the video.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kr {

// The largest picture side decoded: larger videos are refused rather than allocated.
inline constexpr int32_t kMaxVideoSide = 8192;

// The longest sound track decoded (at 48 kHz): longer ones are cut.
inline constexpr int64_t kMaxVideoSoundFrames = int64_t(48000) * 60 * 20;

// A video's sound track as interleaved stereo floats at its own rate.
struct VideoSound {
    int32_t rate = 0;
    std::vector<float> samples;
};

// Decodes the first sound track of a video file; false when it has none that decodes.
bool DecodeVideoSound(const std::string& path, VideoSound& out);

class VideoDecoder {
public:
    virtual ~VideoDecoder() = default;
    // The decoder of the file's first video stream; null with the reason in `error` when the
    // file cannot be opened or decoded.
    static std::unique_ptr<VideoDecoder> Open(const std::string& path, std::string& error);

    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    // The next picture as Bgra rows, top first (Width() * Height() * 4 bytes), with the time in
    // seconds from the start of the video at which it is shown. False at the end or on an error.
    virtual bool NextFrame(std::vector<uint8_t>& bgra, double& seconds) = 0;
    // Back to the first picture (for looping). False when the file cannot seek.
    virtual bool Rewind() = 0;
};

}  // namespace kr
