// Video decoding: the pictures of a small uncompressed video at their times, a video with
// pictures and a sound track read together and in step, and files that are no video.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cmath>
#include <cstring>

#include "platform/video/VideoDecoder.h"
#include "support/ScratchDir.h"

namespace kr {
namespace {

// A YUV4MPEG2 video of `frames` pictures of 16 x 8 at 25 per second, frame k of luma 60 + 80k
// without colour.
std::string SmallVideo(int frames) {
    std::string v = "YUV4MPEG2 W16 H8 F25:1 Ip A1:1 C420jpeg\n";
    for (int k = 0; k < frames; ++k) {
        v += "FRAME\n";
        v += std::string(16 * 8, char(60 + 80 * k));
        v += std::string(2 * 8 * 4, char(128));
    }
    return v;
}

TEST(VideoDecoder, PicturesComeInOrderWithTheirTimes) {
    test::ScratchDir dir;
    dir.Write("v.y4m", SmallVideo(3));
    std::string why;
    std::unique_ptr<VideoDecoder> v = VideoDecoder::Open(dir / "v.y4m", why);
    ASSERT_TRUE(v) << why;
    EXPECT_EQ(v->Width(), 16);
    EXPECT_EQ(v->Height(), 8);
    std::vector<uint8_t> bgra;
    double t = -1;
    uint8_t previous = 0;
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(v->NextFrame(bgra, t)) << k;
        ASSERT_EQ(bgra.size(), 16u * 8u * 4u);
        EXPECT_NEAR(t, k * 0.04, 1e-6);
        EXPECT_EQ(bgra[3], 255);      // opaque
        EXPECT_EQ(bgra[0], bgra[2]);  // grey
        EXPECT_GT(bgra[0], previous);
        previous = bgra[0];
    }
    EXPECT_FALSE(v->NextFrame(bgra, t));
    ASSERT_TRUE(v->Rewind());
    ASSERT_TRUE(v->NextFrame(bgra, t));
    EXPECT_NEAR(t, 0, 1e-6);
}

TEST(VideoDecoder, FilesThatAreNoVideoGiveNoDecoder) {
    test::ScratchDir dir;
    dir.Write("junk.avi", std::string(5000, '\x5a'));
    dir.Write("empty.avi", "");
    dir.Write("huge.y4m", "YUV4MPEG2 W100000 H100000 F25:1 C420jpeg\nFRAME\n");
    for (const char* name : {"junk.avi", "empty.avi", "huge.y4m", "missing.avi"}) {
        std::string why;
        EXPECT_FALSE(VideoDecoder::Open(dir / name, why)) << name;
        EXPECT_FALSE(why.empty()) << name;
    }
}

// A wave file: 16-bit samples (interleaved when stereo) at 8000 Hz.
std::string Wave(int channels, const std::vector<int16_t>& samples) {
    std::string w;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) w += char(v >> (8 * i));
    };
    auto u16 = [&](uint16_t v) { w += char(v & 0xFF), w += char(v >> 8); };
    uint32_t data = uint32_t(samples.size() * 2);
    w += "RIFF";
    u32(36 + data);
    w += "WAVEfmt ";
    u32(16), u16(1), u16(uint16_t(channels)), u32(8000), u32(8000 * 2 * channels),
        u16(uint16_t(2 * channels)), u16(16);
    w += "data";
    u32(data);
    for (int16_t s : samples) u16(uint16_t(s));
    return w;
}

// The sound track comes as stereo floats at its rate; a mono track is heard on both sides.
TEST(VideoDecoder, SoundTracksDecodeToStereo) {
    test::ScratchDir dir;
    dir.Write("stereo.wav", Wave(2, {16384, -16384, 0, 32767}));
    dir.Write("mono.wav", Wave(1, {-32768, 8192}));
    VideoSound s;
    ASSERT_TRUE(DecodeVideoSound(dir / "stereo.wav", s));
    EXPECT_EQ(s.rate, 8000);
    ASSERT_EQ(s.samples.size(), 4u);
    EXPECT_FLOAT_EQ(s.samples[0], 0.5f);
    EXPECT_FLOAT_EQ(s.samples[1], -0.5f);
    ASSERT_TRUE(DecodeVideoSound(dir / "mono.wav", s));
    ASSERT_EQ(s.samples.size(), 4u);
    EXPECT_FLOAT_EQ(s.samples[0], -1.0f);
    EXPECT_FLOAT_EQ(s.samples[1], -1.0f);
    EXPECT_FLOAT_EQ(s.samples[3], 0.25f);
    dir.Write("v.y4m", SmallVideo(1));  // pictures only
    EXPECT_FALSE(DecodeVideoSound(dir / "v.y4m", s));
}

// Writes a video of `frames` grey pictures of 16 x 8 at 25 per second, picture k of luma
// 60 + 30k, with a sound track of 8000 Hz mono whose samples during picture k all hold
// (k + 1) / 8. The muxer interleaves the two streams as a real video file has them.
bool WriteVideoWithSound(const std::string& path, int frames) {
    AVFormatContext* oc = nullptr;
    if (avformat_alloc_output_context2(&oc, nullptr, "nut", path.c_str()) < 0) return false;
    AVStream* vs = avformat_new_stream(oc, nullptr);
    AVStream* as = avformat_new_stream(oc, nullptr);
    if (!vs || !as) return false;
    vs->time_base = {1, 25};
    vs->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    vs->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
    vs->codecpar->width = 16;
    vs->codecpar->height = 8;
    vs->codecpar->format = AV_PIX_FMT_YUV420P;
    vs->codecpar->codec_tag = avcodec_pix_fmt_to_codec_tag(AV_PIX_FMT_YUV420P);
    as->time_base = {1, 8000};
    as->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    as->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
    as->codecpar->format = AV_SAMPLE_FMT_S16;
    as->codecpar->sample_rate = 8000;
    as->codecpar->bits_per_coded_sample = 16;
    as->codecpar->block_align = 2;
    av_channel_layout_default(&as->codecpar->ch_layout, 1);
    bool ok = avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 &&
              avformat_write_header(oc, nullptr) >= 0;
    constexpr int kSamplesPerPicture = 8000 / 25;
    for (int k = 0; ok && k < frames; ++k) {
        std::string picture(16 * 8, char(60 + 30 * k));
        picture += std::string(2 * 8 * 4, char(128));
        std::string sound;
        for (int i = 0; i < kSamplesPerPicture; ++i) {
            const int16_t level = int16_t(4096 * (k + 1));
            sound += char(level & 0xFF), sound += char(level >> 8);
        }
        for (int stream = 0; ok && stream < 2; ++stream) {
            const std::string& bytes = stream == 0 ? picture : sound;
            AVPacket* pkt = av_packet_alloc();
            ok = pkt && av_new_packet(pkt, int(bytes.size())) >= 0;
            if (ok) {
                std::memcpy(pkt->data, bytes.data(), bytes.size());
                pkt->stream_index = stream;
                const AVRational from = stream == 0 ? AVRational{1, 25} : AVRational{1, 8000};
                const int64_t start = stream == 0 ? k : int64_t(k) * kSamplesPerPicture;
                const int64_t length = stream == 0 ? 1 : kSamplesPerPicture;
                const AVRational to = oc->streams[stream]->time_base;
                pkt->pts = pkt->dts = av_rescale_q(start, from, to);
                pkt->duration = av_rescale_q(length, from, to);
                pkt->flags |= AV_PKT_FLAG_KEY;
                ok = av_interleaved_write_frame(oc, pkt) >= 0;
            }
            av_packet_free(&pkt);
        }
    }
    ok = ok && av_write_trailer(oc) >= 0;
    avio_closep(&oc->pb);
    avformat_free_context(oc);
    return ok;
}

// Pictures and sound of one file: each picture comes at its time, and the sound track heard at
// that time is the sound written with that picture.
TEST(VideoDecoder, PicturesAndTheirSoundTrackStayInStep) {
    test::ScratchDir dir;
    const std::string path = dir / "both.nut";
    constexpr int kFrames = 6;
    ASSERT_TRUE(WriteVideoWithSound(path, kFrames));
    VideoSound sound;
    ASSERT_TRUE(DecodeVideoSound(path, sound));
    ASSERT_EQ(sound.rate, 8000);
    ASSERT_EQ(sound.samples.size(), size_t(2 * kFrames * 8000 / 25));
    std::string why;
    std::unique_ptr<VideoDecoder> v = VideoDecoder::Open(path, why);
    ASSERT_TRUE(v) << why;
    ASSERT_EQ(v->Width(), 16);
    std::vector<uint8_t> bgra;
    double t = -1;
    int shown = 0;
    uint8_t previous = 0;
    while (v->NextFrame(bgra, t)) {
        const int k = shown++;
        EXPECT_NEAR(t, k * 0.04, 1e-6);
        EXPECT_GT(bgra[0], previous) << k;  // picture k, not a neighbour
        previous = bgra[0];
        // The middle of the picture's time, on both sides of the stereo track.
        const size_t i = size_t(std::lround(t * sound.rate)) + 8000 / 50;
        ASSERT_LT(2 * i + 1, sound.samples.size());
        EXPECT_NEAR(sound.samples[2 * i], (k + 1) / 8.0, 1e-3) << k;
        EXPECT_NEAR(sound.samples[2 * i + 1], (k + 1) / 8.0, 1e-3) << k;
    }
    EXPECT_EQ(shown, kFrames);
}

}  // namespace
}  // namespace kr
