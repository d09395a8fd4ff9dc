// The CD audio device of the media commands ("cdaudio"): the tracks of the disc in the drive
// are played through the sound system like any other sound, and its position follows the
// sound system's mixing clock. The device keeps the state a drive has (playing, paused,
// stopped, the position, the time format of its commands); the disc and the tray are asked
// afresh for every command, so a disc that is changed is noticed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/CdDrive.h"
#include "sound/SoundSystem.h"

namespace kr {

class CdAudio {
public:
    explicit CdAudio(SoundSystem& sound) : sound_(sound) {}
    ~CdAudio();
    CdAudio(const CdAudio&) = delete;
    CdAudio& operator=(const CdAudio&) = delete;

    // Where the drive is found: `$KORVANE_CD` (a device, or a CUE sheet opened as a disc) when
    // it is set, else the system's first drive when `system_drive`, else none (an empty drive).
    void UseSystemDrive(bool system_drive) { system_drive_ = system_drive; }
    // A drive of the caller's instead (tests).
    void SetDrive(std::unique_ptr<CdDrive> drive) { drive_ = std::move(drive); }

    // One command addressed to the device; `words` are lower case, [0] the verb, [1] the
    // device's name. The reply, or empty when there is none or the command failed.
    std::string Command(const std::vector<std::string>& words);
    // Stops playing and forgets the drive's state (the sound system is closing).
    void Close();

private:
    enum class Mode { kStopped, kPlaying, kPaused };
    CdDrive& Drive();
    // The current sector; notices the end of what was playing.
    int64_t Position();
    int64_t DiscEnd() const;
    // A position in the current time format ("to" and "from" arguments); false when malformed
    // or outside the disc.
    bool ParsePosition(const std::string& text, int64_t& sector) const;
    std::string FormatPosition(int64_t sector) const;
    std::string FormatLength(int64_t sectors) const;
    bool Play(int64_t from, int64_t to);
    void StopSound();

    SoundSystem& sound_;
    bool system_drive_ = false;
    std::unique_ptr<CdDrive> drive_;
    std::vector<CdTrack> tracks_;  // as last read
    bool tray_open_ = false;
    bool tmsf_ = true;  // time format: tracks, minutes, seconds, frames; else milliseconds
    Mode mode_ = Mode::kStopped;
    int64_t position_ = 0;  // while not playing
    // What plays: from sector, to sector (excluded), its slot and the mixing clock.
    int64_t from_ = 0, to_ = 0;
    int32_t slot_ = -1;
    int64_t started_frames_ = 0, paused_frames_ = 0, paused_at_ = 0;
};

}  // namespace kr
