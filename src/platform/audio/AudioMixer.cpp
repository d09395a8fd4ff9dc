// The mixer on the mixing library's loopback device: it renders into our buffers on request.
#define AL_ALEXT_PROTOTYPES
#include "platform/audio/AudioMixer.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <cmath>
#include <numbers>
#include <unordered_map>
#include "platform/LazyLibrary.h"

namespace kr {

namespace {

// Loaded on first use (platform/LazyLibrary.h).
LazyLibrary kOpenAl("libopenal.so.1");
KR_LAZY_FUNCTION(kOpenAl, alBufferData)
KR_LAZY_FUNCTION(kOpenAl, alDeleteBuffers)
KR_LAZY_FUNCTION(kOpenAl, alDeleteSources)
KR_LAZY_FUNCTION(kOpenAl, alDistanceModel)
KR_LAZY_FUNCTION(kOpenAl, alGenBuffers)
KR_LAZY_FUNCTION(kOpenAl, alGenSources)
KR_LAZY_FUNCTION(kOpenAl, alGetError)
KR_LAZY_FUNCTION(kOpenAl, alGetSourcei)
KR_LAZY_FUNCTION(kOpenAl, alListenerf)
KR_LAZY_FUNCTION(kOpenAl, alSource3f)
KR_LAZY_FUNCTION(kOpenAl, alSourcePause)
KR_LAZY_FUNCTION(kOpenAl, alSourcePlay)
KR_LAZY_FUNCTION(kOpenAl, alSourceStop)
KR_LAZY_FUNCTION(kOpenAl, alSourcef)
KR_LAZY_FUNCTION(kOpenAl, alSourcefv)
KR_LAZY_FUNCTION(kOpenAl, alSourcei)
KR_LAZY_FUNCTION(kOpenAl, alcCloseDevice)
KR_LAZY_FUNCTION(kOpenAl, alcCreateContext)
KR_LAZY_FUNCTION(kOpenAl, alcDestroyContext)
KR_LAZY_FUNCTION(kOpenAl, alcIsExtensionPresent)
KR_LAZY_FUNCTION(kOpenAl, alcIsRenderFormatSupportedSOFT)
KR_LAZY_FUNCTION(kOpenAl, alcLoopbackOpenDeviceSOFT)
KR_LAZY_FUNCTION(kOpenAl, alcMakeContextCurrent)
KR_LAZY_FUNCTION(kOpenAl, alcRenderSamplesSOFT)

}  // namespace

namespace {
// What a voice's gain is made of: the caller's gain and the pan's compensation.
struct VoiceState {
    float gain = 1.0f;
    float pan = 0.0f;
};

float PanCompensation(float pan) {
    // A two-channel buffer panned hard to one side puts both channels on that side: the
    // compensation keeps its level where it was in the centre.
    return 1.0f / (1.0f + std::abs(pan));
}
}  // namespace

struct AudioMixer::Device {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    std::unordered_map<uint32_t, VoiceState> voices;
    ~Device() {
        if (context) {
            alcMakeContextCurrent(nullptr);
            alcDestroyContext(context);
        }
        if (device) alcCloseDevice(device);
    }
    void Current() const { alcMakeContextCurrent(context); }
};

std::unique_ptr<AudioMixer> AudioMixer::Open(std::string& error) {
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) {
        error = "the mixing library has no loopback device";
        return nullptr;
    }
    auto d = std::make_unique<Device>();
    d->device = alcLoopbackOpenDeviceSOFT(nullptr);
    if (!d->device) {
        error = "the mixing library cannot open its loopback device";
        return nullptr;
    }
    const ALCint attrs[] = {ALC_FORMAT_CHANNELS_SOFT,
                            ALC_STEREO_SOFT,
                            ALC_FORMAT_TYPE_SOFT,
                            ALC_FLOAT_SOFT,
                            ALC_FREQUENCY,
                            kRate,
                            ALC_MONO_SOURCES,
                            240,
                            ALC_STEREO_SOURCES,
                            240,
                            ALC_HRTF_SOFT,
                            ALC_FALSE,
                            0};
    if (!alcIsRenderFormatSupportedSOFT(d->device, kRate, ALC_STEREO_SOFT, ALC_FLOAT_SOFT)) {
        error = "the mixing library cannot render 44.1 kHz stereo";
        return nullptr;
    }
    d->context = alcCreateContext(d->device, attrs);
    if (!d->context) {
        error = "the mixing library cannot make its context";
        return nullptr;
    }
    d->Current();
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    std::unique_ptr<AudioMixer> m(new AudioMixer());
    m->device_ = std::move(d);
    return m;
}

AudioMixer::~AudioMixer() = default;

uint32_t AudioMixer::MakeBuffer(const PcmAudio& pcm) {
    if (pcm.channels < 1 || pcm.channels > 2 || pcm.samples.empty()) return 0;
    if (pcm.samples.size() * sizeof(float) > size_t(INT32_MAX)) return 0;
    device_->Current();
    alGetError();
    ALuint b = 0;
    alGenBuffers(1, &b);
    if (alGetError() != AL_NO_ERROR) return 0;
    alBufferData(b, pcm.channels == 1 ? AL_FORMAT_MONO_FLOAT32 : AL_FORMAT_STEREO_FLOAT32,
                 pcm.samples.data(), ALsizei(pcm.samples.size() * sizeof(float)), pcm.rate);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &b);
        return 0;
    }
    return b;
}

void AudioMixer::FreeBuffer(uint32_t buffer) {
    if (!buffer) return;
    device_->Current();
    ALuint b = buffer;
    alDeleteBuffers(1, &b);
}

uint32_t AudioMixer::NewVoice() {
    device_->Current();
    alGetError();
    ALuint s = 0;
    alGenSources(1, &s);
    if (alGetError() != AL_NO_ERROR) return 0;
    device_->voices[s] = VoiceState{};
    return s;
}

void AudioMixer::FreeVoice(uint32_t voice) {
    if (!voice) return;
    device_->Current();
    ALuint s = voice;
    alSourceStop(s);
    alSourcei(s, AL_BUFFER, 0);
    alDeleteSources(1, &s);
    device_->voices.erase(voice);
}

void AudioMixer::Start(uint32_t voice, uint32_t buffer, bool loop, bool spatial, int64_t offset) {
    device_->Current();
    alSourceStop(voice);
    alSourcei(voice, AL_BUFFER, ALint(buffer));
    alSourcei(voice, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    alSourcei(voice, AL_SOURCE_RELATIVE, spatial ? AL_FALSE : AL_TRUE);
    alSourcef(voice, AL_ROLLOFF_FACTOR, spatial ? 1.0f : 0.0f);
    alSource3f(voice, AL_POSITION, 0, 0, 0);
    alSource3f(voice, AL_VELOCITY, 0, 0, 0);
    alSourcef(voice, AL_REFERENCE_DISTANCE, 1.0f);
    alSourcef(voice, AL_MAX_DISTANCE, 1e9f);
    alSourcef(voice, AL_CONE_INNER_ANGLE, 360.0f);
    alSourcef(voice, AL_CONE_OUTER_ANGLE, 360.0f);
    alSourcef(voice, AL_PITCH, 1.0f);
    device_->voices[voice] = VoiceState{};
    alSourcef(voice, AL_GAIN, 1.0f);
    SetPan(voice, 0.0f);
    if (offset > 0) alSourcei(voice, AL_SAMPLE_OFFSET, ALint(std::min<int64_t>(offset, INT32_MAX)));
    alSourcePlay(voice);
}

void AudioMixer::Stop(uint32_t voice) {
    device_->Current();
    alSourceStop(voice);
    alSourcei(voice, AL_BUFFER, 0);
}

void AudioMixer::Pause(uint32_t voice) {
    device_->Current();
    if (Playing(voice)) alSourcePause(voice);
}

void AudioMixer::Resume(uint32_t voice) {
    device_->Current();
    if (Paused(voice)) alSourcePlay(voice);
}

bool AudioMixer::Paused(uint32_t voice) {
    device_->Current();
    ALint state = AL_STOPPED;
    alGetSourcei(voice, AL_SOURCE_STATE, &state);
    return state == AL_PAUSED;
}

bool AudioMixer::Playing(uint32_t voice) {
    device_->Current();
    ALint state = AL_STOPPED;
    alGetSourcei(voice, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

int64_t AudioMixer::Offset(uint32_t voice) {
    device_->Current();
    ALint offset = 0;
    alGetSourcei(voice, AL_SAMPLE_OFFSET, &offset);
    return offset;
}

void AudioMixer::SetGain(uint32_t voice, float gain) {
    device_->Current();
    VoiceState& v = device_->voices[voice];
    v.gain = gain;
    alSourcef(voice, AL_GAIN, gain * PanCompensation(v.pan));
}

void AudioMixer::SetPitch(uint32_t voice, float pitch) {
    device_->Current();
    alSourcef(voice, AL_PITCH, pitch);
}

void AudioMixer::SetPan(uint32_t voice, float pan) {
    device_->Current();
    pan = std::isfinite(pan) ? std::fmax(-1.0f, std::fmin(1.0f, pan)) : 0.0f;
    VoiceState& v = device_->voices[voice];
    v.pan = pan;
    constexpr float kPi = std::numbers::pi_v<float>;
    // In the centre the two channels go straight to the two outputs; off centre both channels
    // move towards the side, the far one first, until both sit on it.
    alSourcei(voice, AL_DIRECT_CHANNELS_SOFT, pan == 0.0f ? AL_TRUE : AL_FALSE);
    float angles[2];
    if (pan >= 0) {
        angles[0] = kPi / 6 - pan * (2 * kPi / 3);
        angles[1] = -kPi / 6 - pan * (kPi / 3);
    } else {
        angles[0] = kPi / 6 - pan * (kPi / 3);
        angles[1] = -kPi / 6 - pan * (2 * kPi / 3);
    }
    alSourcefv(voice, AL_STEREO_ANGLES, angles);
    // A one-channel voice is placed on the unit circle in front of the listener.
    alSource3f(voice, AL_POSITION, std::sin(pan * kPi / 2), 0.0f, -std::cos(pan * kPi / 2));
    alSourcef(voice, AL_GAIN, v.gain * PanCompensation(pan));
}

void AudioMixer::SetPosition(uint32_t voice, float x, float y, float z) {
    device_->Current();
    alSource3f(voice, AL_POSITION, x, y, z);
}

void AudioMixer::SetVelocity(uint32_t voice, float x, float y, float z) {
    device_->Current();
    alSource3f(voice, AL_VELOCITY, x, y, z);
}

void AudioMixer::SetDistance(uint32_t voice, float min, float max) {
    device_->Current();
    alSourcef(voice, AL_REFERENCE_DISTANCE, min);
    alSourcef(voice, AL_MAX_DISTANCE, max);
}

void AudioMixer::SetCone(uint32_t voice, float x, float y, float z, float inner, float outer,
                         float outside_gain) {
    device_->Current();
    alSource3f(voice, AL_DIRECTION, x, y, z);
    alSourcef(voice, AL_CONE_INNER_ANGLE, inner);
    alSourcef(voice, AL_CONE_OUTER_ANGLE, outer);
    alSourcef(voice, AL_CONE_OUTER_GAIN, outside_gain);
}

void AudioMixer::SetMasterGain(float gain) {
    device_->Current();
    alListenerf(AL_GAIN, gain);
}

void AudioMixer::Render(float* out, int32_t frames) {
    device_->Current();
    alcRenderSamplesSOFT(device_->device, out, frames);
}

}  // namespace kr
