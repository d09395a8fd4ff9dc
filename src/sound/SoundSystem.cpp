// The slot table and its operations, the preparation of sound resources, and the mixing clock.
#include "sound/SoundSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/Files.h"
#include "platform/audio/AudioMixer.h"

namespace kr {

namespace {

// Reals become integers by rounding to the nearest, ties to even.
int32_t RoundEven(double v) {
    if (!std::isfinite(v)) return 0;
    return int32_t(std::clamp(std::nearbyint(v), double(INT32_MIN), double(INT32_MAX)));
}

float MillibelsToGain(double mb) {
    return float(std::pow(10.0, std::min(mb, 0.0) / 2000.0));
}

void ToChannels(PcmAudio& pcm, int32_t channels) {
    if (pcm.channels == channels) return;
    std::vector<float> out;
    int64_t frames = pcm.Frames();
    out.reserve(size_t(frames) * size_t(channels));
    for (int64_t i = 0; i < frames; ++i) {
        if (channels == 2) {
            float v = pcm.samples[size_t(i)];
            out.push_back(v);
            out.push_back(v);
        } else {
            out.push_back(0.5f * (pcm.samples[size_t(2 * i)] + pcm.samples[size_t(2 * i + 1)]));
        }
    }
    pcm.samples.swap(out);
    pcm.channels = channels;
}

int32_t BitOf(EffectKind kind) {
    switch (kind) {
        case EffectKind::kChorus:
            return kEffectChorus;
        case EffectKind::kCompressor:
            return kEffectCompressor;
        case EffectKind::kEcho:
            return kEffectEcho;
        case EffectKind::kFlanger:
            return kEffectFlanger;
        case EffectKind::kGargle:
            return kEffectGargle;
        case EffectKind::kEqualizer:
            return kEffectEqualizer;
        case EffectKind::kReverb:
            return kEffectReverb;
    }
    return 0;
}

}  // namespace

struct SoundSystem::Slot {
    struct Voice {
        uint32_t id;
        bool loop;
    };
    bool in_use = false;
    int32_t kind = 0;
    PcmAudio pcm;               // the samples before effects (kinds 0 to 2)
    std::vector<uint8_t> midi;  // a MIDI file, rendered again when the tempo changes
    float midi_tempo = 1.0f;
    uint32_t buffer = 0;
    std::vector<Voice> voices;
    std::string file_name;  // the multimedia kind's file
    bool media_decoded = false;
    // Volume in hundredths of a decibel, possibly on its way to another value.
    int32_t volume = 0;
    double fade_from = 0;
    int64_t fade_start = 0, fade_frames = 0;
    float pan = 0;
    int32_t effects = 0;
    EffectSettings params;
    Sound3DSettings s3d;
};

SoundSystem::SoundSystem(MessageFn show_message) : show_message_(std::move(show_message)) {}

SoundSystem::~SoundSystem() {
    Close();
}

void SoundSystem::SetDecoder(std::unique_ptr<AudioDecoder> decoder) {
    decoder_ = std::move(decoder);
}

void SoundSystem::Open(bool with_mixer) {
    if (open_) Close();
    slots_.clear();
    mixer_wanted_ = with_mixer;
    mixer_failed_ = false;
    open_ = true;
}

AudioMixer* SoundSystem::Mixer() {
    if (mixer_ || !mixer_wanted_ || mixer_failed_) return mixer_.get();
    std::string error;
    mixer_ = AudioMixer::Open(error);
    if (!mixer_) {
        mixer_failed_ = true;
        std::fprintf(stderr, "korvane: %s\n", error.c_str());
        if (show_message_) show_message_(kNoSoundDeviceMessage);
        return nullptr;
    }
    media_voice_ = mixer_->NewVoice();
    mixer_->SetMasterGain(float(std::pow(10.0, global_volume_ / 2000.0)));
    return mixer_.get();
}

void SoundSystem::Close() {
    FreeAllSlots();
    if (mixer_) {
        for (uint32_t v : free_voices_) mixer_->FreeVoice(v);
        mixer_->FreeVoice(media_voice_);
    }
    free_voices_.clear();
    media_voice_ = 0;
    media_file_.clear();
    mixer_.reset();
    mixer_wanted_ = false;
    open_ = false;
}

SoundSystem::Slot* SoundSystem::Get(int32_t slot) {
    if (slot < 0 || slot >= int32_t(slots_.size()) || !slots_[size_t(slot)]->in_use) return nullptr;
    return slots_[size_t(slot)].get();
}

const SoundSystem::Slot* SoundSystem::Get(int32_t slot) const {
    return const_cast<SoundSystem*>(this)->Get(slot);
}

int32_t SoundSystem::AllocateSlot(int32_t kind) {
    size_t i = 0;
    while (i < slots_.size() && slots_[i]->in_use) ++i;
    if (i == slots_.size()) slots_.push_back(std::make_unique<Slot>());
    Slot& s = *slots_[i];
    s = Slot{};
    s.in_use = true;
    s.kind = HasMixer() ? kind : CSound::kMultimedia;
    return int32_t(i);
}

bool SoundSystem::DecodeForSlot(std::span<const uint8_t> bytes, int32_t kind, Slot& s) {
    if (!decoder_) decoder_ = std::make_unique<AudioDecoder>();
    PcmAudio pcm;
    if (AudioDecoder::IsMidi(bytes)) {
        if (!decoder_->RenderMidi(bytes, tempo_, pcm)) return false;
        s.midi.assign(bytes.begin(), bytes.end());
        s.midi_tempo = tempo_;
    } else if (!decoder_->Decode(bytes, pcm)) {
        return false;
    }
    // 3D sounds are points in space: one channel. The others play their two channels straight.
    ToChannels(pcm, kind == CSound::kThreeD ? 1 : 2);
    s.pcm = std::move(pcm);
    Rebuild(s);
    return s.buffer != 0;
}

int32_t SoundSystem::LoadSlotFromMemory(std::span<const uint8_t> bytes, int32_t kind) {
    if (!HasMixer()) return -1;
    int32_t slot = AllocateSlot(kind);
    Slot& s = *slots_[size_t(slot)];
    if (s.kind != CSound::kMultimedia && !DecodeForSlot(bytes, kind, s))
        s.kind = CSound::kMultimedia;
    if (s.kind == CSound::kMultimedia) {
        FreeSlot(slot);
        return -1;
    }
    return slot;
}

int32_t SoundSystem::LoadSlotFromFile(const std::string& path, int32_t kind) {
    if (!FileExists(path)) return -1;
    int32_t slot = AllocateSlot(kind);
    Slot& s = *slots_[size_t(slot)];
    if (s.kind != CSound::kMultimedia) {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(path, bytes) || !DecodeForSlot(bytes, kind, s))
            s.kind = CSound::kMultimedia;
    }
    if (s.kind == CSound::kMultimedia) s.file_name = path;
    return slot;
}

void SoundSystem::StopVoices(Slot& s) {
    for (const Slot::Voice& v : s.voices) {
        mixer_->Stop(v.id);
        free_voices_.push_back(v.id);
    }
    s.voices.clear();
}

void SoundSystem::FreeSlot(int32_t slot) {
    Slot* s = Get(slot);
    if (!s) return;
    StopSlot(slot);
    if (mixer_) {
        StopVoices(*s);
        if (media_file_ == s->file_name && s->media_decoded) {
            mixer_->Stop(media_voice_);
            media_file_.clear();
        }
        mixer_->FreeBuffer(s->buffer);
    }
    *s = Slot{};
}

void SoundSystem::FreeAllSlots() {
    for (int32_t i = 0; i < int32_t(slots_.size()); ++i) FreeSlot(i);
    slots_.clear();
}

uint32_t SoundSystem::TakeVoice() {
    if (!free_voices_.empty()) {
        uint32_t v = free_voices_.back();
        free_voices_.pop_back();
        return v;
    }
    return mixer_->NewVoice();
}

void SoundSystem::ReleaseFinished(Slot& s) {
    std::erase_if(s.voices, [&](const Slot::Voice& v) {
        if (mixer_->Playing(v.id) || mixer_->Paused(v.id)) return false;
        mixer_->Stop(v.id);
        free_voices_.push_back(v.id);
        return true;
    });
}

float SoundSystem::SlotGain(const Slot& s) const {
    double mb = s.volume;
    if (s.fade_frames > 0) {
        double t = double(frames_mixed_ - s.fade_start) / double(s.fade_frames);
        mb = s.fade_from + (s.volume - s.fade_from) * std::clamp(t, 0.0, 1.0);
    }
    return MillibelsToGain(mb);
}

void SoundSystem::ApplyVoice(Slot& s, uint32_t voice) {
    mixer_->SetGain(voice, SlotGain(s));
    if (s.kind == CSound::kThreeD) {
        const Sound3DSettings& d = s.s3d;
        mixer_->SetPosition(voice, d.position[0], d.position[1], d.position[2]);
        mixer_->SetVelocity(voice, d.velocity[0], d.velocity[1], d.velocity[2]);
        mixer_->SetDistance(voice, d.min_distance, d.max_distance);
        mixer_->SetCone(voice, d.cone[0], d.cone[1], d.cone[2], float(d.inside_angle),
                        float(d.outside_angle), MillibelsToGain(d.outside_volume));
    } else {
        mixer_->SetPan(voice, s.pan);
    }
}

void SoundSystem::Rebuild(Slot& s) {
    if (s.pcm.samples.empty() || !Mixer()) return;
    PcmAudio processed;
    const PcmAudio* use = &s.pcm;
    if (s.effects != 0) {
        processed = s.pcm;
        ApplySoundEffects(processed.samples, processed.channels, processed.rate, s.effects,
                          s.params);
        use = &processed;
    }
    uint32_t buffer = mixer_->MakeBuffer(*use);
    if (!buffer) return;
    // Instances already playing go on where they are, now with the new sound.
    ReleaseFinished(s);
    for (const Slot::Voice& v : s.voices) {
        int64_t offset = mixer_->Offset(v.id);
        mixer_->Start(v.id, buffer, v.loop, s.kind == CSound::kThreeD, offset);
        ApplyVoice(s, v.id);
    }
    mixer_->FreeBuffer(s.buffer);
    s.buffer = buffer;
}

void SoundSystem::PlaySlot(int32_t slot, bool loop) {
    Slot* s = Get(slot);
    if (!s) return;
    if (s->kind == CSound::kMultimedia) {
        if (s->file_name.size() >= 127) {
            if (show_message_) show_message_(kMusicNameTooLongMessage);
            return;
        }
        if (!FileExists(s->file_name)) return;
        if (!Mixer()) return;
        mixer_->Stop(media_voice_);
        media_file_ = s->file_name;
        if (!s->media_decoded) {
            s->media_decoded = true;
            std::vector<uint8_t> bytes;
            if (!decoder_) decoder_ = std::make_unique<AudioDecoder>();
            PcmAudio pcm;
            if (ReadWholeFile(s->file_name, bytes) && decoder_->Decode(bytes, pcm)) {
                ToChannels(pcm, 2);
                s->buffer = mixer_->MakeBuffer(pcm);
            }
        }
        if (s->buffer) mixer_->Start(media_voice_, s->buffer, loop, false);
        return;
    }
    if (!Mixer()) return;
    if (!s->midi.empty() && s->midi_tempo != tempo_) {
        // Music written as notes follows the tempo: render it again at the new one.
        PcmAudio pcm;
        if (decoder_ && decoder_->RenderMidi(s->midi, tempo_, pcm)) {
            ToChannels(pcm, s->kind == CSound::kThreeD ? 1 : 2);
            s->pcm = std::move(pcm);
            s->midi_tempo = tempo_;
            Rebuild(*s);
        }
    }
    if (!s->buffer) return;
    ReleaseFinished(*s);
    if (s->kind == CSound::kBackgroundMusic) {
        // One background music at a time: a new one replaces whatever plays.
        for (auto& other : slots_)
            if (other->in_use && other->kind == CSound::kBackgroundMusic) StopVoices(*other);
    }
    uint32_t voice = TakeVoice();
    if (!voice) return;
    mixer_->Start(voice, s->buffer, loop, s->kind == CSound::kThreeD);
    ApplyVoice(*s, voice);
    s->voices.push_back({voice, loop});
}

void SoundSystem::StopSlot(int32_t slot) {
    Slot* s = Get(slot);
    if (!s || !mixer_) return;
    if (s->kind == CSound::kMultimedia) {
        if (media_file_ == s->file_name) mixer_->Stop(media_voice_);
        return;
    }
    StopVoices(*s);
}

bool SoundSystem::SlotIsPlaying(int32_t slot) {
    Slot* s = Get(slot);
    if (!s || !mixer_) return false;
    if (s->kind == CSound::kMultimedia)
        return !media_file_.empty() && media_file_ == s->file_name && mixer_->Playing(media_voice_);
    ReleaseFinished(*s);
    for (const Slot::Voice& v : s->voices)
        if (mixer_->Playing(v.id)) return true;
    return false;
}

void SoundSystem::PauseSlot(int32_t slot, bool paused) {
    Slot* s = Get(slot);
    if (!s || !mixer_ || s->kind == CSound::kMultimedia) return;
    for (const Slot::Voice& v : s->voices) {
        if (paused)
            mixer_->Pause(v.id);
        else
            mixer_->Resume(v.id);
    }
}

bool SoundSystem::SlotIsPaused(int32_t slot) {
    Slot* s = Get(slot);
    if (!s || !mixer_) return false;
    for (const Slot::Voice& v : s->voices)
        if (mixer_->Paused(v.id)) return true;
    return false;
}

int64_t SoundSystem::SlotLengthMs(int32_t slot) const {
    const Slot* s = Get(slot);
    if (!s || s->pcm.rate <= 0) return 0;
    return s->pcm.Frames() * 1000 / s->pcm.rate;
}

void SoundSystem::StopAllSlots() {
    for (int32_t i = 0; i < int32_t(slots_.size()); ++i) StopSlot(i);
}

void SoundSystem::SetSlotVolume(int32_t slot, int32_t duration_ms, double volume) {
    Slot* s = Get(slot);
    if (!s || s->kind == CSound::kMultimedia) return;
    int32_t mb = RoundEven(volume * 9600) - 9600;
    double now_mb = std::log10(std::max(double(SlotGain(*s)), 1e-12)) * 2000.0;
    s->volume = mb;
    s->fade_frames = duration_ms > 0 ? int64_t(duration_ms) * kRate / 1000 : 0;
    s->fade_from = now_mb;
    s->fade_start = frames_mixed_;
    if (mixer_)
        for (const Slot::Voice& v : s->voices) mixer_->SetGain(v.id, SlotGain(*s));
}

int32_t SoundSystem::SlotVolumeSent(int32_t slot) const {
    const Slot* s = Get(slot);
    return s ? s->volume : 0;
}

void SoundSystem::SetSlotPan(int32_t slot, double pan) {
    Slot* s = Get(slot);
    if (!s || s->kind == CSound::kMultimedia) return;
    // Sent in hundredths of a decibel of attenuation of the far side: -10000 .. 10000.
    int32_t sent = RoundEven(pan * 10000);
    s->pan = float(std::clamp(sent, -10000, 10000)) / 10000.0f;
    if (mixer_ && s->kind != CSound::kThreeD)
        for (const Slot::Voice& v : s->voices) mixer_->SetPan(v.id, s->pan);
}

void SoundSystem::SetSlotEffects(int32_t slot, int32_t bits) {
    Slot* s = Get(slot);
    if (!s || s->kind == CSound::kMultimedia) return;
    s->effects = bits;
    Rebuild(*s);
}

void SoundSystem::SetSlotEffectParameters(int32_t slot, EffectKind kind,
                                          std::span<const double> values) {
    Slot* s = Get(slot);
    if (!s || s->kind == CSound::kMultimedia || !(s->effects & BitOf(kind))) return;
    if (s->params.Set(kind, values)) Rebuild(*s);
}

const Sound3DSettings* SoundSystem::Slot3D(int32_t slot) const {
    const Slot* s = Get(slot);
    return s && s->kind == CSound::kThreeD ? &s->s3d : nullptr;
}

void SoundSystem::SetSlot3DPosition(int32_t slot, double x, double y, double z) {
    Slot* s = Get(slot);
    if (!s || s->kind != CSound::kThreeD) return;
    s->s3d.position = {float(x), float(y), float(z)};
    if (mixer_)
        for (const Slot::Voice& v : s->voices) ApplyVoice(*s, v.id);
}

void SoundSystem::SetSlot3DVelocity(int32_t slot, double x, double y, double z) {
    Slot* s = Get(slot);
    if (!s || s->kind != CSound::kThreeD) return;
    s->s3d.velocity = {float(x), float(y), float(z)};
    if (mixer_)
        for (const Slot::Voice& v : s->voices) ApplyVoice(*s, v.id);
}

void SoundSystem::SetSlot3DDistance(int32_t slot, double min, double max) {
    Slot* s = Get(slot);
    if (!s || s->kind != CSound::kThreeD) return;
    s->s3d.min_distance = float(min < 0 ? 0 : min);
    s->s3d.max_distance = float(max);
    if (mixer_)
        for (const Slot::Voice& v : s->voices) ApplyVoice(*s, v.id);
}

void SoundSystem::SetSlot3DCone(int32_t slot, double x, double y, double z, int32_t inside,
                                int32_t outside, double outside_volume) {
    Slot* s = Get(slot);
    if (!s || s->kind != CSound::kThreeD) return;
    s->s3d.cone = {float(x), float(y), float(z)};
    s->s3d.inside_angle = inside;
    s->s3d.outside_angle = outside;
    s->s3d.outside_volume = RoundEven(outside_volume * 10000 - 10000);
    if (mixer_)
        for (const Slot::Voice& v : s->voices) ApplyVoice(*s, v.id);
}

void SoundSystem::SetGlobalVolume(double volume) {
    if (!HasMixer()) return;
    global_volume_ = std::clamp(RoundEven(volume * 11000 - 10000), -10000, 1000);
    if (mixer_) mixer_->SetMasterGain(float(std::pow(10.0, global_volume_ / 2000.0)));
}

void SoundSystem::SetBackgroundTempo(double factor) {
    if (!HasMixer()) return;
    float f = float(factor);
    if (!(f >= 0.01f)) f = 0.01f;
    if (f > 100.0f) f = 100.0f;
    tempo_ = f;
}

void SoundSystem::SetSoundSearchDirectory(const std::string& dir) {
    // Sound data is self-contained here (instruments come from the sound font), so the folder
    // is only remembered.
    search_directory_ = dir;
}

int32_t SoundSystem::SlotKind(int32_t slot) const {
    const Slot* s = Get(slot);
    return s ? s->kind : -1;
}

std::string SoundSystem::TempFileName(const std::string& extension) {
    if (temp_directory_.empty()) return {};
    return temp_directory_ + "/snd_" + std::to_string(temp_counter_++) + extension;
}

void SoundSystem::Prepare(CSound& sound) {
    int32_t kind = sound.kind;
    if (kind < CSound::kNormal || kind > CSound::kMultimedia) return;
    int32_t slot = -1;
    if (kind != CSound::kMultimedia) {
        if (!sound.has_data) return;
        slot = LoadSlotFromMemory(sound.data, kind);
        if (slot < 0) sound.kind = kind = CSound::kMultimedia;
    }
    if (kind == CSound::kMultimedia) {
        if (sound.has_data) {
            std::string path = TempFileName(sound.file_type);
            // The file stands for the data from now on; data that cannot be written is kept.
            if (!path.empty() && WriteFileAtomically(path, sound.data)) {
                sound.temporary_file = path;
                sound.data.clear();
                sound.data.shrink_to_fit();
                sound.has_data = false;
            }
        }
        if (sound.temporary_file.empty()) return;
        slot = LoadSlotFromFile(sound.temporary_file, CSound::kMultimedia);
    }
    // A sound prepared again gives up the slot it had.
    if (sound.slot >= 0 && sound.slot != slot) FreeSlot(sound.slot);
    sound.slot = slot;
    if (slot >= 0) {
        if (sound.effects >= 1) SetSlotEffects(slot, sound.effects);
        SetSlotVolume(slot, 0, sound.volume);
        SetSlotPan(slot, sound.pan);
    }
}

int32_t SoundSystem::GetSlot(CSound& sound) {
    if (sound.slot < 0) Prepare(sound);
    return sound.slot;
}

void SoundSystem::Discard(CSound& sound) {
    FreeSlot(sound.slot);
    sound.slot = -1;
}

void SoundSystem::Clear(CSound& sound) {
    if (sound.slot >= 0) FreeSlot(sound.slot);
    sound = CSound{};
    sound.kind = -1;
}

bool SoundSystem::LoadFromFile(CSound& sound, const std::string& path, int32_t kind, bool preload) {
    Clear(sound);
    std::vector<uint8_t> bytes;
    if (!FileExists(path) || !ReadWholeFile(path, bytes)) return false;
    std::string name = FileNameOf(path);
    size_t dot = name.find_last_of('.');
    sound.file_type = dot == std::string::npos ? std::string() : name.substr(dot);
    sound.file_name = name;
    sound.data = std::move(bytes);
    sound.has_data = true;
    sound.kind = kind;
    sound.preload = preload;
    if (preload) Prepare(sound);
    return true;
}

void SoundSystem::AdvanceTo(int64_t microseconds) {
    if (!clock_started_) {
        clock_started_ = true;
        clock_origin_ = microseconds;
    }
    int64_t target = (microseconds - clock_origin_) * kRate / 1000000;
    if (target > frames_mixed_) Render(target - frames_mixed_);
}

void SoundSystem::UpdateFades() {
    for (auto& p : slots_) {
        Slot& s = *p;
        if (!s.in_use || s.fade_frames <= 0) continue;
        if (frames_mixed_ - s.fade_start >= s.fade_frames) s.fade_frames = 0;
        for (const Slot::Voice& v : s.voices) mixer_->SetGain(v.id, SlotGain(s));
    }
}

void SoundSystem::Render(int64_t frames) {
    while (frames > 0) {
        bool fading = false, sounding = false;
        if (mixer_) {
            for (auto& p : slots_) {
                if (!p->in_use) continue;
                fading = fading || (p->fade_frames > 0 && !p->voices.empty());
                sounding = sounding || !p->voices.empty();
            }
            sounding = sounding || !media_file_.empty();
        }
        // Fades move in small blocks so that their steps cannot be heard.
        int32_t chunk = int32_t(std::min<int64_t>(frames, fading ? 256 : 4096));
        if (fading) UpdateFades();
        if (sounding || !outputs_.empty()) {
            scratch_.resize(size_t(chunk) * 2);
            if (mixer_ && sounding)
                mixer_->Render(scratch_.data(), chunk);
            else
                std::fill(scratch_.begin(), scratch_.end(), 0.0f);
            for (const OutputFn& out : outputs_) out(scratch_);
        }
        frames_mixed_ += chunk;
        frames -= chunk;
    }
    if (mixer_) UpdateFades();
}

}  // namespace kr
