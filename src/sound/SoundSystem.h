// The sound system: the table of sound slots through which every play, stop and setting goes,
// the preparation of sound resources into slots, and the mixing of what plays on the caller's
// clock. Normal sounds and 3D sounds overlap (also with themselves); background music plays one
// at a time; multimedia sounds play from their file through one shared player, one at a time.
// Nothing here knows the runner: messages go through a callback, time comes from the caller.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/audio/AudioDecoder.h"
#include "sound/Sound.h"
#include "sound/SoundEffects.h"

namespace kr {

class AudioMixer;

inline constexpr char kNoSoundDeviceMessage[] = "No sound device detected. Sounds might not play.";
inline constexpr char kMusicNameTooLongMessage[] = "Music file name too long for player.";

// What the 3D setters send, in the units of the sound card interface the values come from.
struct Sound3DSettings {
    std::array<float, 3> position{0, 0, 0}, velocity{0, 0, 0};
    float min_distance = 1, max_distance = 1e9f;
    std::array<float, 3> cone{0, 0, 1};
    int32_t inside_angle = 360, outside_angle = 360;
    int32_t outside_volume = 0;  // hundredths of a decibel
};

class SoundSystem {
public:
    using MessageFn = std::function<void(std::string_view)>;
    // Receives every mixed block: interleaved stereo float frames at 44.1 kHz.
    using OutputFn = std::function<void(std::span<const float>)>;
    static constexpr int32_t kRate = 44100;

    explicit SoundSystem(MessageFn show_message);
    ~SoundSystem();
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    // Opens the sound system (closing first when open), with a mixer or without. The mixer
    // itself is made when the first sound needs it: until then nothing can sound, and a run
    // without sounds never pays for it. Without one every sound falls back to the multimedia
    // player, which stays silent then; the message says so once.
    void Open(bool with_mixer = true);
    void Close();
    // Whether sounds are mixed: a mixer was asked for and, once tried, could be made.
    bool HasMixer() const { return mixer_ != nullptr || (mixer_wanted_ && !mixer_failed_); }
    // The folder where the multimedia kind's files are written.
    void SetTempDirectory(std::string dir) { temp_directory_ = std::move(dir); }
    // The decoder (its sound font) used from now on.
    void SetDecoder(std::unique_ptr<AudioDecoder> decoder);
    void AddOutput(OutputFn out) { outputs_.push_back(std::move(out)); }

    // ---- Slots ----
    int32_t AllocateSlot(int32_t kind);
    int32_t LoadSlotFromMemory(std::span<const uint8_t> bytes, int32_t kind);
    int32_t LoadSlotFromFile(const std::string& path, int32_t kind);
    void FreeSlot(int32_t slot);
    void FreeAllSlots();
    void PlaySlot(int32_t slot, bool loop);
    void StopSlot(int32_t slot);
    bool SlotIsPlaying(int32_t slot);
    void StopAllSlots();
    // Pauses every playing instance of the slot, or lets the paused ones go on.
    void PauseSlot(int32_t slot, bool paused);
    bool SlotIsPaused(int32_t slot);
    // The length of the slot's sound in milliseconds (0 when unknown).
    int64_t SlotLengthMs(int32_t slot) const;
    void SetSlotVolume(int32_t slot, int32_t duration_ms, double volume);
    void SetSlotPan(int32_t slot, double pan);
    void SetSlotEffects(int32_t slot, int32_t bits);
    // Hands all parameters of one effect to the slot; nothing happens when the effect's bit is
    // not set on it or a value lies outside its range.
    void SetSlotEffectParameters(int32_t slot, EffectKind kind, std::span<const double> values);
    void SetSlot3DPosition(int32_t slot, double x, double y, double z);
    void SetSlot3DVelocity(int32_t slot, double x, double y, double z);
    void SetSlot3DDistance(int32_t slot, double min, double max);
    void SetSlot3DCone(int32_t slot, double x, double y, double z, int32_t inside, int32_t outside,
                       double outside_volume);
    void SetGlobalVolume(double volume);
    void SetBackgroundTempo(double factor);
    void SetSoundSearchDirectory(const std::string& dir);

    // What a slot holds, for tests and tools: -1 when not in use.
    int32_t SlotKind(int32_t slot) const;
    int32_t SlotCount() const { return int32_t(slots_.size()); }
    // The last values sent: a slot's volume in hundredths of a decibel, the global volume in
    // the same unit, the tempo factor.
    int32_t SlotVolumeSent(int32_t slot) const;
    int32_t GlobalVolumeSent() const { return global_volume_; }
    float TempoSent() const { return tempo_; }
    const Sound3DSettings* Slot3D(int32_t slot) const;

    // ---- Sound resources ----
    void Prepare(CSound& sound);
    int32_t GetSlot(CSound& sound);
    void Discard(CSound& sound);
    // Frees the slot and resets every field.
    void Clear(CSound& sound);
    // Clear, then the whole file at `path` becomes the sound's data (false when there is no
    // such file); prepared at once when `preload`.
    bool LoadFromFile(CSound& sound, const std::string& path, int32_t kind, bool preload);

    // ---- Time ----
    // Mixes everything up to `microseconds` on the caller's clock (the first call sets its
    // origin) and hands the frames to the outputs.
    void AdvanceTo(int64_t microseconds);
    // Mixes `frames` more frames.
    void Render(int64_t frames);
    int64_t FramesMixed() const { return frames_mixed_; }

private:
    struct Slot;
    Slot* Get(int32_t slot);
    const Slot* Get(int32_t slot) const;
    // A slot's samples with its effects made into a mixer buffer; playing voices move over.
    void Rebuild(Slot& s);
    void ApplyVoice(Slot& s, uint32_t voice);
    float SlotGain(const Slot& s) const;
    void StopVoices(Slot& s);
    uint32_t TakeVoice();
    void ReleaseFinished(Slot& s);
    void UpdateFades();
    bool DecodeForSlot(std::span<const uint8_t> bytes, int32_t kind, Slot& s);
    std::string TempFileName(const std::string& extension);

    MessageFn show_message_;
    std::unique_ptr<AudioDecoder> decoder_;
    // The mixer, made by Mixer() on first need; null before, or when it cannot be made.
    AudioMixer* Mixer();
    std::unique_ptr<AudioMixer> mixer_;
    bool mixer_wanted_ = false, mixer_failed_ = false;
    bool open_ = false;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::vector<uint32_t> free_voices_;
    // The multimedia player: one voice, the file it has open, and whether it loops.
    uint32_t media_voice_ = 0;
    std::string media_file_;
    int32_t global_volume_ = 0;
    float tempo_ = 1.0f;
    std::string search_directory_;
    std::string temp_directory_;
    int32_t temp_counter_ = 0;
    std::vector<OutputFn> outputs_;
    bool clock_started_ = false;
    int64_t clock_origin_ = 0;
    int64_t frames_mixed_ = 0;
    std::vector<float> scratch_;
};

}  // namespace kr
