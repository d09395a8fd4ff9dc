// Sound in the web runner: the mixer and the decoder, since the page has neither the mixing
// library nor the sound-file library of the native runner. The mixer keeps the same
// interface: voices resampled by linear interpolation, panned, faded with distance when placed
// in space, mixed into 44.1 kHz stereo frames when asked. The decoder reads WAV files itself
// and hands every other sound file to the browser, which decodes Ogg Vorbis, FLAC, MP3 and
// more (Web Audio's decodeAudioData); the program waits for it as it waits for a frame. MIDI
// needs a synthesizer and a sound font that the page does not have: such sounds stay silent,
// said once on the console.
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <unordered_map>

#include "platform/audio/AudioDecoder.h"
#include "platform/audio/AudioMixer.h"
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

// ---- Mixing
namespace {

struct Voice {
    uint32_t buffer = 0;
    bool loop = false, spatial = false, playing = false, paused = false;
    double position = 0;  // in the buffer's frames
    float gain = 1, pitch = 1, pan = 0;
    float x = 0, y = 0, z = 0, min_distance = 1, max_distance = 1e9f;
};

}  // namespace

struct AudioMixer::Device {
    std::unordered_map<uint32_t, PcmAudio> buffers;
    std::unordered_map<uint32_t, Voice> voices;
    uint32_t next_buffer = 1, next_voice = 1;
    float master = 1;
    Voice* Find(uint32_t id) {
        auto it = voices.find(id);
        return it == voices.end() ? nullptr : &it->second;
    }
};

std::unique_ptr<AudioMixer> AudioMixer::Open(std::string&) {
    std::unique_ptr<AudioMixer> mixer(new AudioMixer);
    mixer->device_ = std::make_unique<Device>();
    return mixer;
}
AudioMixer::~AudioMixer() = default;

uint32_t AudioMixer::MakeBuffer(const PcmAudio& pcm) {
    if (pcm.channels < 1 || pcm.channels > 2 || pcm.rate < 1) return 0;
    const uint32_t id = device_->next_buffer++;
    device_->buffers[id] = pcm;
    return id;
}
void AudioMixer::FreeBuffer(uint32_t buffer) {
    for (auto& [id, v] : device_->voices)
        if (v.buffer == buffer) v = Voice{};
    device_->buffers.erase(buffer);
}
uint32_t AudioMixer::NewVoice() {
    const uint32_t id = device_->next_voice++;
    device_->voices[id] = Voice{};
    return id;
}
void AudioMixer::FreeVoice(uint32_t voice) {
    device_->voices.erase(voice);
}
void AudioMixer::Start(uint32_t voice, uint32_t buffer, bool loop, bool spatial, int64_t offset) {
    Voice* v = device_->Find(voice);
    if (!v) return;
    *v = Voice{};
    if (!device_->buffers.count(buffer)) return;
    v->buffer = buffer;
    v->loop = loop;
    v->spatial = spatial;
    v->position = double(std::max<int64_t>(offset, 0));
    v->playing = v->position < double(device_->buffers[buffer].Frames());
}
void AudioMixer::Stop(uint32_t voice) {
    if (Voice* v = device_->Find(voice)) v->playing = v->paused = false;
}
void AudioMixer::Pause(uint32_t voice) {
    if (Voice* v = device_->Find(voice); v && v->playing) v->playing = false, v->paused = true;
}
void AudioMixer::Resume(uint32_t voice) {
    if (Voice* v = device_->Find(voice); v && v->paused) v->playing = true, v->paused = false;
}
bool AudioMixer::Paused(uint32_t voice) {
    const Voice* v = device_->Find(voice);
    return v && v->paused;
}
bool AudioMixer::Playing(uint32_t voice) {
    const Voice* v = device_->Find(voice);
    return v && v->playing;
}
int64_t AudioMixer::Offset(uint32_t voice) {
    const Voice* v = device_->Find(voice);
    return v && (v->playing || v->paused) ? int64_t(v->position) : 0;
}
void AudioMixer::SetGain(uint32_t voice, float gain) {
    if (Voice* v = device_->Find(voice)) v->gain = std::max(gain, 0.0f);
}
void AudioMixer::SetPitch(uint32_t voice, float pitch) {
    if (Voice* v = device_->Find(voice)) v->pitch = std::clamp(pitch, 0.01f, 100.0f);
}
void AudioMixer::SetPan(uint32_t voice, float pan) {
    if (Voice* v = device_->Find(voice)) v->pan = std::clamp(pan, -1.0f, 1.0f);
}
void AudioMixer::SetPosition(uint32_t voice, float x, float y, float z) {
    if (Voice* v = device_->Find(voice)) v->x = x, v->y = y, v->z = z;
}
void AudioMixer::SetVelocity(uint32_t, float, float, float) {}
void AudioMixer::SetDistance(uint32_t voice, float min, float max) {
    if (Voice* v = device_->Find(voice))
        v->min_distance = std::max(min, 1e-6f), v->max_distance = std::max(max, v->min_distance);
}
void AudioMixer::SetCone(uint32_t, float, float, float, float, float, float) {}
void AudioMixer::SetMasterGain(float gain) {
    device_->master = std::max(gain, 0.0f);
}

void AudioMixer::Render(float* out, int32_t frames) {
    std::fill(out, out + size_t(frames) * 2, 0.0f);
    for (auto& [id, v] : device_->voices) {
        if (!v.playing) continue;
        const PcmAudio& pcm = device_->buffers[v.buffer];
        const int64_t length = pcm.Frames();
        float gain = v.gain * device_->master, pan = v.pan;
        if (v.spatial) {
            // The listener is at the origin: the gain falls with the inverse of the distance
            // (clamped to the voice's range), and the side is where the voice is across x.
            const float d = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
            const float clamped = std::clamp(d, v.min_distance, v.max_distance);
            gain *= v.min_distance / clamped;
            pan = d > 0 ? std::clamp(v.x / d, -1.0f, 1.0f) : 0.0f;
        }
        const float left = gain * std::min(1.0f, 1.0f - pan);
        const float right = gain * std::min(1.0f, 1.0f + pan);
        const double step = double(pcm.rate) / double(kRate) * double(v.pitch);
        for (int32_t f = 0; f < frames; ++f) {
            if (v.position >= double(length)) {
                if (!v.loop || length == 0) {
                    v.playing = false;
                    break;
                }
                v.position = std::fmod(v.position, double(length));
            }
            const int64_t i = int64_t(v.position);
            const float t = float(v.position - double(i));
            const int64_t j = i + 1 < length ? i + 1 : (v.loop ? 0 : i);
            const float* a = &pcm.samples[size_t(i) * size_t(pcm.channels)];
            const float* b = &pcm.samples[size_t(j) * size_t(pcm.channels)];
            const float l = a[0] + (b[0] - a[0]) * t;
            const float r = pcm.channels == 2 ? a[1] + (b[1] - a[1]) * t : l;
            out[2 * f] += l * left;
            out[2 * f + 1] += r * right;
            v.position += step;
        }
    }
}

}  // namespace kr
