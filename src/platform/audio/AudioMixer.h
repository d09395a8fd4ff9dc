// The mixer: many voices playing sample buffers, resampled, panned or placed in 3D space
// (distances, cones, velocity), mixed into 44.1 kHz stereo float frames that the caller asks
// for, so that mixing follows whatever clock the caller keeps (a loopback device: nothing is
// sent to the sound card from here).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/audio/AudioDecoder.h"

namespace kr {

class AudioMixer {
public:
    static constexpr int32_t kRate = 44100;

    // Null, with the reason in `error`, when the mixing library cannot make its device.
    static std::unique_ptr<AudioMixer> Open(std::string& error);
    ~AudioMixer();
    AudioMixer(const AudioMixer&) = delete;
    AudioMixer& operator=(const AudioMixer&) = delete;

    // A buffer holding `pcm`; 0 when it cannot be made.
    uint32_t MakeBuffer(const PcmAudio& pcm);
    void FreeBuffer(uint32_t buffer);

    // Voices play one buffer each. 0 when no voice is left.
    uint32_t NewVoice();
    void FreeVoice(uint32_t voice);
    // Plays `buffer` from `offset` frames. A spatial voice is placed by SetPosition and friends
    // and fades with distance; any other voice is panned by SetPan.
    void Start(uint32_t voice, uint32_t buffer, bool loop, bool spatial, int64_t offset = 0);
    void Stop(uint32_t voice);
    void Pause(uint32_t voice);
    void Resume(uint32_t voice);
    bool Paused(uint32_t voice);
    bool Playing(uint32_t voice);
    // The frame the voice is at.
    int64_t Offset(uint32_t voice);
    void SetGain(uint32_t voice, float gain);
    void SetPitch(uint32_t voice, float pitch);
    // -1 left .. 1 right; a voice of a two-channel buffer.
    void SetPan(uint32_t voice, float pan);
    void SetPosition(uint32_t voice, float x, float y, float z);
    void SetVelocity(uint32_t voice, float x, float y, float z);
    void SetDistance(uint32_t voice, float min, float max);
    // Direction, inner and outer angles in degrees, gain outside the outer cone.
    void SetCone(uint32_t voice, float x, float y, float z, float inner, float outer,
                 float outside_gain);
    // The gain of everything.
    void SetMasterGain(float gain);

    // Mixes the next `frames` frames, interleaved left/right, into `out`.
    void Render(float* out, int32_t frames);

private:
    AudioMixer() = default;
    struct Device;
    std::unique_ptr<Device> device_;
};

}  // namespace kr
