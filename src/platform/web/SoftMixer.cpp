// The web runner's mixer (SoftMixer.h).
#include "platform/web/SoftMixer.h"

#include <algorithm>
#include <cmath>

namespace kr {

SoftMixer::Voice* SoftMixer::Find(uint32_t id) {
    auto it = voices_.find(id);
    return it == voices_.end() ? nullptr : &it->second;
}
const SoftMixer::Voice* SoftMixer::Find(uint32_t id) const {
    auto it = voices_.find(id);
    return it == voices_.end() ? nullptr : &it->second;
}

uint32_t SoftMixer::MakeBuffer(const PcmAudio& pcm) {
    if (pcm.channels < 1 || pcm.channels > 2 || pcm.rate < 1) return 0;
    const uint32_t id = next_buffer_++;
    buffers_[id] = pcm;
    return id;
}
void SoftMixer::FreeBuffer(uint32_t buffer) {
    for (auto& [id, v] : voices_)
        if (v.buffer == buffer) v = Voice{};
    buffers_.erase(buffer);
}
uint32_t SoftMixer::NewVoice() {
    const uint32_t id = next_voice_++;
    voices_[id] = Voice{};
    return id;
}
void SoftMixer::FreeVoice(uint32_t voice) {
    voices_.erase(voice);
}
void SoftMixer::Start(uint32_t voice, uint32_t buffer, bool loop, bool spatial, int64_t offset) {
    Voice* v = Find(voice);
    if (!v) return;
    *v = Voice{};
    if (!buffers_.count(buffer)) return;
    v->buffer = buffer;
    v->loop = loop;
    v->spatial = spatial;
    v->position = double(std::max<int64_t>(offset, 0));
    v->playing = v->position < double(buffers_[buffer].Frames());
}
void SoftMixer::Stop(uint32_t voice) {
    if (Voice* v = Find(voice)) v->playing = v->paused = false;
}
void SoftMixer::Pause(uint32_t voice) {
    if (Voice* v = Find(voice); v && v->playing) v->playing = false, v->paused = true;
}
void SoftMixer::Resume(uint32_t voice) {
    if (Voice* v = Find(voice); v && v->paused) v->playing = true, v->paused = false;
}
bool SoftMixer::Paused(uint32_t voice) const {
    const Voice* v = Find(voice);
    return v && v->paused;
}
bool SoftMixer::Playing(uint32_t voice) const {
    const Voice* v = Find(voice);
    return v && v->playing;
}
int64_t SoftMixer::Offset(uint32_t voice) const {
    const Voice* v = Find(voice);
    return v && (v->playing || v->paused) ? int64_t(v->position) : 0;
}
void SoftMixer::SetGain(uint32_t voice, float gain) {
    if (Voice* v = Find(voice)) v->gain = std::max(gain, 0.0f);
}
void SoftMixer::SetPitch(uint32_t voice, float pitch) {
    if (Voice* v = Find(voice)) v->pitch = std::clamp(pitch, 0.01f, 100.0f);
}
void SoftMixer::SetPan(uint32_t voice, float pan) {
    if (Voice* v = Find(voice)) v->pan = std::clamp(pan, -1.0f, 1.0f);
}
void SoftMixer::SetPosition(uint32_t voice, float x, float y, float z) {
    if (Voice* v = Find(voice)) v->x = x, v->y = y, v->z = z;
}
void SoftMixer::SetDistance(uint32_t voice, float min, float max) {
    if (Voice* v = Find(voice))
        v->min_distance = std::max(min, 1e-6f), v->max_distance = std::max(max, v->min_distance);
}
void SoftMixer::SetMasterGain(float gain) {
    master_ = std::max(gain, 0.0f);
}

void SoftMixer::Render(float* out, int32_t frames) {
    std::fill(out, out + size_t(frames) * 2, 0.0f);
    for (auto& [id, v] : voices_) {
        if (!v.playing) continue;
        const PcmAudio& pcm = buffers_[v.buffer];
        const int64_t length = pcm.Frames();
        float gain = v.gain * master_, pan = v.pan;
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
