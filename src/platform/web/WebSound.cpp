// Sound in the web runner: the mixer and the decoder, since the page has neither the mixing
// library nor the sound-file library of the native runner. The mixer keeps the native one's
// interface over a mixer of its own (SoftMixer.h). The decoder reads WAV files itself
// and hands every other sound file to the browser, which decodes Ogg Vorbis, FLAC, MP3 and
// more (Web Audio's decodeAudioData); the program waits for it as it waits for a frame. MIDI
// needs a synthesizer and a sound font that the page does not have: such sounds stay silent,
// said once on the console.
#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>

#include "platform/audio/AudioDecoder.h"
#include "platform/audio/AudioMixer.h"
#include "platform/web/SoftMixer.h"
#include "platform/web/WavReader.h"

// clang-format off
// Decodes the bytes with the browser, resampled to 44.1 kHz; the channels are kept in
// Module.korvaneDecoded until kr_audio_take copies them out. The frame count, or 0 when the
// browser cannot decode them.
EM_ASYNC_JS(int, kr_audio_decode, (const uint8_t* bytes, int size), {
    Module.korvaneDecoded = null;
    var C = window.OfflineAudioContext || window.webkitOfflineAudioContext;
    if (!C) return 0;
    try {
        var copy = HEAPU8.slice(bytes, bytes + size).buffer;
        var audio = await new C(2, 1, 44100).decodeAudioData(copy);
        Module.korvaneDecoded = audio;
        return audio.length;
    } catch (e) {
        return 0;
    }
});
EM_JS(int, kr_audio_decoded_channels, (), {
    return Module.korvaneDecoded ? Module.korvaneDecoded.numberOfChannels : 0;
});
// Interleaves the first `frames` frames into `out` as `channels` channels (1 or 2); more
// channels than that are mixed down, the even ones to the left and the odd ones to the right.
EM_JS(void, kr_audio_take, (float* out, int frames, int channels), {
    var audio = Module.korvaneDecoded;
    Module.korvaneDecoded = null;
    var n = audio.numberOfChannels, base = out >> 2, count = [0, 0];
    for (var c = 0; c < n; c++) count[c % channels]++;
    for (var c = 0; c < n; c++) {
        var data = audio.getChannelData(c), to = c % channels, weight = 1 / count[to];
        for (var i = 0; i < frames; i++) HEAPF32[base + i * channels + to] += data[i] * weight;
    }
});
// clang-format on

namespace kr {

// ---- Decoding
std::string FindSoundFont() {
    return {};
}
struct AudioDecoder::Synth {};
AudioDecoder::AudioDecoder(std::string sound_font) : sound_font_(std::move(sound_font)) {}
AudioDecoder::~AudioDecoder() = default;
const std::string& AudioDecoder::SoundFont() {
    return sound_font_;
}
bool AudioDecoder::IsMidi(std::span<const uint8_t> bytes) {
    return bytes.size() >= 4 && std::memcmp(bytes.data(), "MThd", 4) == 0;
}
bool AudioDecoder::RenderMidi(std::span<const uint8_t>, double, PcmAudio&) {
    // Said once: there is no sound font to look for on a page.
    if (!font_searched_) {
        font_searched_ = true;
        std::fputs("korvane: a web page cannot play MIDI music; MIDI sounds stay silent\n", stderr);
    }
    return false;
}

bool AudioDecoder::Decode(std::span<const uint8_t> bytes, PcmAudio& out) {
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "RIFF", 4) == 0)
        return ReadWav(bytes, max_frames_, out);
    if (bytes.empty() || bytes.size() > size_t(INT32_MAX)) return false;
    const int64_t frames =
        std::min<int64_t>(kr_audio_decode(bytes.data(), int(bytes.size())), max_frames_);
    const int channels = std::min(kr_audio_decoded_channels(), 2);
    if (frames <= 0 || channels <= 0) return false;
    out.rate = AudioMixer::kRate;
    out.channels = channels;
    out.samples.assign(size_t(frames) * size_t(channels), 0.0f);
    kr_audio_take(out.samples.data(), int(frames), channels);
    return true;
}

// ---- Mixing: the web runner's own mixer (SoftMixer.h).
struct AudioMixer::Device {
    SoftMixer mixer;
};

std::unique_ptr<AudioMixer> AudioMixer::Open(std::string&) {
    std::unique_ptr<AudioMixer> mixer(new AudioMixer);
    mixer->device_ = std::make_unique<Device>();
    return mixer;
}
AudioMixer::~AudioMixer() = default;

uint32_t AudioMixer::MakeBuffer(const PcmAudio& pcm) {
    return device_->mixer.MakeBuffer(pcm);
}
void AudioMixer::FreeBuffer(uint32_t buffer) {
    device_->mixer.FreeBuffer(buffer);
}
uint32_t AudioMixer::NewVoice() {
    return device_->mixer.NewVoice();
}
void AudioMixer::FreeVoice(uint32_t voice) {
    device_->mixer.FreeVoice(voice);
}
void AudioMixer::Start(uint32_t voice, uint32_t buffer, bool loop, bool spatial, int64_t offset) {
    device_->mixer.Start(voice, buffer, loop, spatial, offset);
}
void AudioMixer::Stop(uint32_t voice) {
    device_->mixer.Stop(voice);
}
void AudioMixer::Pause(uint32_t voice) {
    device_->mixer.Pause(voice);
}
void AudioMixer::Resume(uint32_t voice) {
    device_->mixer.Resume(voice);
}
bool AudioMixer::Paused(uint32_t voice) {
    return device_->mixer.Paused(voice);
}
bool AudioMixer::Playing(uint32_t voice) {
    return device_->mixer.Playing(voice);
}
int64_t AudioMixer::Offset(uint32_t voice) {
    return device_->mixer.Offset(voice);
}
void AudioMixer::SetGain(uint32_t voice, float gain) {
    device_->mixer.SetGain(voice, gain);
}
void AudioMixer::SetPitch(uint32_t voice, float pitch) {
    device_->mixer.SetPitch(voice, pitch);
}
void AudioMixer::SetPan(uint32_t voice, float pan) {
    device_->mixer.SetPan(voice, pan);
}
void AudioMixer::SetPosition(uint32_t voice, float x, float y, float z) {
    device_->mixer.SetPosition(voice, x, y, z);
}
// Moving voices and cones are not applied (SoftMixer.h).
void AudioMixer::SetVelocity(uint32_t, float, float, float) {}
void AudioMixer::SetDistance(uint32_t voice, float min, float max) {
    device_->mixer.SetDistance(voice, min, max);
}
void AudioMixer::SetCone(uint32_t, float, float, float, float, float, float) {}
void AudioMixer::SetMasterGain(float gain) {
    device_->mixer.SetMasterGain(gain);
}
void AudioMixer::Render(float* out, int32_t frames) {
    device_->mixer.Render(out, frames);
}

}  // namespace kr
