#include "platform/video/VideoDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>
#include <vector>

#include "platform/NativeLibrary.h"

namespace kr {

namespace {

// The decoding libraries bring well over a hundred libraries of their own: they are loaded when
// the first video is opened, so that a run without one never pays for loading them.
// clang-format off
#define KR_AV_FUNCTIONS(X) \
    X(av_find_best_stream) \
    X(av_frame_alloc) \
    X(av_frame_free) \
    X(av_frame_unref) \
    X(av_get_packed_sample_fmt) \
    X(av_log_set_level) \
    X(av_packet_alloc) \
    X(av_packet_free) \
    X(av_packet_unref) \
    X(av_read_frame) \
    X(av_sample_fmt_is_planar) \
    X(av_seek_frame) \
    X(avcodec_alloc_context3) \
    X(avcodec_flush_buffers) \
    X(avcodec_free_context) \
    X(avcodec_open2) \
    X(avcodec_parameters_to_context) \
    X(avcodec_receive_frame) \
    X(avcodec_send_packet) \
    X(avformat_close_input) \
    X(avformat_find_stream_info) \
    X(avformat_open_input) \
    X(sws_freeContext) \
    X(sws_getCachedContext) \
    X(sws_scale)
// clang-format on
struct AvApi {
#define KR_AV_MEMBER(name) decltype(&::name) name = nullptr;
    KR_AV_FUNCTIONS(KR_AV_MEMBER)
#undef KR_AV_MEMBER
};

AvApi g_av;

// Loads the libraries on the first call; false (with the reason) when they cannot be loaded.
bool LoadAv(std::string& error) {
    static std::string failure;
    static const bool loaded = [] {
        // Loaded for the rest of the process: decoders that live in statics are destroyed
        // after any static owner of the libraries would be.
        static auto& libs = *new std::vector<std::unique_ptr<NativeLibrary>>();
        const std::string names[] = {
            "libavutil.so." + std::to_string(LIBAVUTIL_VERSION_MAJOR),
            "libswscale.so." + std::to_string(LIBSWSCALE_VERSION_MAJOR),
            "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR),
            "libavformat.so." + std::to_string(LIBAVFORMAT_VERSION_MAJOR),
        };
        for (const std::string& name : names) {
            std::string why;
            auto lib = NativeLibrary::Open(name, &why);
            if (!lib) {
                failure = "the video libraries cannot be loaded: " + why;
                return false;
            }
            libs.push_back(std::move(lib));
        }
        auto find = [](const char* name) -> void* {
            for (const auto& lib : libs)
                if (void* f = lib->Symbol(name)) return f;
            return nullptr;
        };
        bool ok = true;
#define KR_AV_LOAD(name)                                            \
    g_av.name = reinterpret_cast<decltype(g_av.name)>(find(#name)); \
    if (!g_av.name) ok = false, failure = "the video libraries lack " #name;
        KR_AV_FUNCTIONS(KR_AV_LOAD)
#undef KR_AV_LOAD
        return ok;
    }();
    if (!loaded) error = failure;
    return loaded;
}

const AvApi& Av() {
    return g_av;
}

struct FormatCloser {
    void operator()(AVFormatContext* c) const { Av().avformat_close_input(&c); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { Av().avcodec_free_context(&c); }
};
struct FrameCloser {
    void operator()(AVFrame* f) const { Av().av_frame_free(&f); }
};
struct PacketCloser {
    void operator()(AVPacket* p) const { Av().av_packet_free(&p); }
};
struct ScaleCloser {
    void operator()(SwsContext* s) const { Av().sws_freeContext(s); }
};

class FfmpegVideo final : public VideoDecoder {
public:
    bool Init(const std::string& path, std::string& error) {
        Av().av_log_set_level(AV_LOG_QUIET);
        AVFormatContext* fmt = nullptr;
        if (Av().avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
            error = "the file cannot be read as a video";
            return false;
        }
        format_.reset(fmt);
        if (Av().avformat_find_stream_info(fmt, nullptr) < 0) {
            error = "the video's streams cannot be read";
            return false;
        }
        const AVCodec* codec = nullptr;
        stream_ = Av().av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (stream_ < 0 || !codec) {
            error = "the file holds no video this runner can decode";
            return false;
        }
        AVStream* st = fmt->streams[stream_];
        codec_.reset(Av().avcodec_alloc_context3(codec));
        if (!codec_ || Av().avcodec_parameters_to_context(codec_.get(), st->codecpar) < 0 ||
            Av().avcodec_open2(codec_.get(), codec, nullptr) < 0) {
            error = "the video's codec cannot be opened";
            return false;
        }
        width_ = codec_->width, height_ = codec_->height;
        if (width_ < 1 || height_ < 1 || width_ > kMaxVideoSide || height_ > kMaxVideoSide) {
            error = "the video's size is not usable";
            return false;
        }
        time_base_ = av_q2d(st->time_base);
        frame_.reset(Av().av_frame_alloc());
        packet_.reset(Av().av_packet_alloc());
        return frame_ && packet_;
    }

    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }

    bool NextFrame(std::vector<uint8_t>& bgra, double& seconds) override {
        for (;;) {
            int got = Av().avcodec_receive_frame(codec_.get(), frame_.get());
            if (got == 0) return Convert(bgra, seconds);
            if (got != AVERROR(EAGAIN)) return false;
            if (ended_) return false;
            int read = Av().av_read_frame(format_.get(), packet_.get());
            if (read < 0) {
                ended_ = true;
                Av().avcodec_send_packet(codec_.get(), nullptr);  // drain what is left
                continue;
            }
            if (packet_->stream_index == stream_ &&
                Av().avcodec_send_packet(codec_.get(), packet_.get()) < 0) {
                Av().av_packet_unref(packet_.get());
                return false;
            }
            Av().av_packet_unref(packet_.get());
        }
    }

    bool Rewind() override {
        if (Av().av_seek_frame(format_.get(), stream_, 0, AVSEEK_FLAG_BACKWARD) < 0) return false;
        Av().avcodec_flush_buffers(codec_.get());
        ended_ = false;
        return true;
    }

private:
    bool Convert(std::vector<uint8_t>& bgra, double& seconds) {
        AVFrame* f = frame_.get();
        if (f->width != width_ || f->height != height_) return false;  // a size change mid-video
        scale_.reset(Av().sws_getCachedContext(
            scale_.release(), width_, height_, AVPixelFormat(f->format), width_, height_,
            AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr));
        if (!scale_) return false;
        bgra.resize(size_t(width_) * size_t(height_) * 4);
        uint8_t* dst[4] = {bgra.data(), nullptr, nullptr, nullptr};
        int stride[4] = {width_ * 4, 0, 0, 0};
        Av().sws_scale(scale_.get(), f->data, f->linesize, 0, height_, dst, stride);
        int64_t pts = f->best_effort_timestamp;
        seconds = pts == AV_NOPTS_VALUE ? last_seconds_ : pts * time_base_;
        last_seconds_ = seconds;
        Av().av_frame_unref(f);
        return true;
    }

    std::unique_ptr<AVFormatContext, FormatCloser> format_;
    std::unique_ptr<AVCodecContext, CodecCloser> codec_;
    std::unique_ptr<AVFrame, FrameCloser> frame_;
    std::unique_ptr<AVPacket, PacketCloser> packet_;
    std::unique_ptr<SwsContext, ScaleCloser> scale_;
    int stream_ = -1;
    int32_t width_ = 0, height_ = 0;
    double time_base_ = 0;
    double last_seconds_ = 0;
    bool ended_ = false;
};

// One sample of channel `c` at index `i` of a decoded sound frame, as a float in -1..1, for
// the sample formats decoders produce (interleaved and planar).
float SampleAt(const AVFrame* f, int channels, int c, int i) {
    const auto fmt = AVSampleFormat(f->format);
    const bool planar = Av().av_sample_fmt_is_planar(fmt);
    const uint8_t* base = planar ? f->extended_data[c] : f->extended_data[0];
    const int at = planar ? i : i * channels + c;
    switch (Av().av_get_packed_sample_fmt(fmt)) {
        case AV_SAMPLE_FMT_U8:
            return (base[at] - 128) / 128.0f;
        case AV_SAMPLE_FMT_S16:
            return reinterpret_cast<const int16_t*>(base)[at] / 32768.0f;
        case AV_SAMPLE_FMT_S32:
            return float(reinterpret_cast<const int32_t*>(base)[at] / 2147483648.0);
        case AV_SAMPLE_FMT_FLT:
            return reinterpret_cast<const float*>(base)[at];
        case AV_SAMPLE_FMT_DBL:
            return float(reinterpret_cast<const double*>(base)[at]);
        default:
            return 0;
    }
}

}  // namespace

bool DecodeVideoSound(const std::string& path, VideoSound& out) {
    std::string unused;
    if (!LoadAv(unused)) return false;
    Av().av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* fmt_raw = nullptr;
    if (Av().avformat_open_input(&fmt_raw, path.c_str(), nullptr, nullptr) < 0) return false;
    std::unique_ptr<AVFormatContext, FormatCloser> fmt(fmt_raw);
    if (Av().avformat_find_stream_info(fmt.get(), nullptr) < 0) return false;
    const AVCodec* codec = nullptr;
    int stream = Av().av_find_best_stream(fmt.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream < 0 || !codec) return false;
    std::unique_ptr<AVCodecContext, CodecCloser> ctx(Av().avcodec_alloc_context3(codec));
    if (!ctx || Av().avcodec_parameters_to_context(ctx.get(), fmt->streams[stream]->codecpar) < 0 ||
        Av().avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return false;
    const int channels = ctx->ch_layout.nb_channels;
    if (channels < 1 || ctx->sample_rate < 1000 || ctx->sample_rate > 384000) return false;
    std::unique_ptr<AVFrame, FrameCloser> frame(Av().av_frame_alloc());
    std::unique_ptr<AVPacket, PacketCloser> packet(Av().av_packet_alloc());
    if (!frame || !packet) return false;
    VideoSound sound;
    sound.rate = ctx->sample_rate;
    const size_t limit = size_t(kMaxVideoSoundFrames) * 2;
    auto take = [&]() {
        while (Av().avcodec_receive_frame(ctx.get(), frame.get()) == 0) {
            for (int i = 0; i < frame->nb_samples && sound.samples.size() < limit; ++i) {
                float l = SampleAt(frame.get(), channels, 0, i);
                float r = channels > 1 ? SampleAt(frame.get(), channels, 1, i) : l;
                sound.samples.push_back(l);
                sound.samples.push_back(r);
            }
            Av().av_frame_unref(frame.get());
        }
    };
    while (Av().av_read_frame(fmt.get(), packet.get()) >= 0 && sound.samples.size() < limit) {
        if (packet->stream_index == stream) Av().avcodec_send_packet(ctx.get(), packet.get());
        Av().av_packet_unref(packet.get());
        take();
    }
    Av().avcodec_send_packet(ctx.get(), nullptr);
    take();
    if (sound.samples.empty()) return false;
    out = std::move(sound);
    return true;
}

std::unique_ptr<VideoDecoder> VideoDecoder::Open(const std::string& path, std::string& error) {
    if (!LoadAv(error)) return nullptr;
    auto v = std::make_unique<FfmpegVideo>();
    if (!v->Init(path, error)) return nullptr;
    return v;
}

}  // namespace kr
