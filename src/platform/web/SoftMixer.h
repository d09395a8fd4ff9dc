// The web runner's mixer, in plain code (the page has no mixing library): voices playing
// sample buffers, resampled by linear interpolation (the buffer's rate times the pitch),
// gained, panned, and, when placed in space, faded with the inverse of their distance from a
// listener at the origin (clamped to the voice's range) and panned by where they are across x.
// Cones and velocity are not applied. Mixed into 44.1 kHz stereo frames on request, as the
// native mixer is. Ids are never 0; calls with an unknown id do nothing.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "platform/audio/AudioDecoder.h"

namespace kr {

class SoftMixer {
public:
    static constexpr int32_t kRate = 44100;

    // 0 for a buffer of no or more than two channels, or no rate.
    uint32_t MakeBuffer(const PcmAudio& pcm);
    // Voices playing the buffer stop.
    void FreeBuffer(uint32_t buffer);
    uint32_t NewVoice();
    void FreeVoice(uint32_t voice);
    void Start(uint32_t voice, uint32_t buffer, bool loop, bool spatial, int64_t offset);
    void Stop(uint32_t voice);
    void Pause(uint32_t voice);
    void Resume(uint32_t voice);
    bool Paused(uint32_t voice) const;
    bool Playing(uint32_t voice) const;
    int64_t Offset(uint32_t voice) const;
    void SetGain(uint32_t voice, float gain);
    void SetPitch(uint32_t voice, float pitch);
    void SetPan(uint32_t voice, float pan);
    void SetPosition(uint32_t voice, float x, float y, float z);
    void SetDistance(uint32_t voice, float min, float max);
    void SetMasterGain(float gain);
    // Mixes the next `frames` frames, interleaved left/right, into `out`.
    void Render(float* out, int32_t frames);

private:
    struct Voice {
        uint32_t buffer = 0;
        bool loop = false, spatial = false, playing = false, paused = false;
        double position = 0;  // in the buffer's frames
        float gain = 1, pitch = 1, pan = 0;
        float x = 0, y = 0, z = 0, min_distance = 1, max_distance = 1e9f;
    };
    Voice* Find(uint32_t id);
    const Voice* Find(uint32_t id) const;

    std::unordered_map<uint32_t, PcmAudio> buffers_;
    std::unordered_map<uint32_t, Voice> voices_;
    uint32_t next_buffer_ = 1, next_voice_ = 1;
    float master_ = 1;
};

}  // namespace kr
