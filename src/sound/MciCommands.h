// Media command strings: the commands games send to play, pause, loop and stop sound and music
// files ("open FILE type T alias A", "play A from 0 repeat", "status A mode", "close all", ...),
// carried out through the sound system. Each opened file is a sound of its own; "cdaudio" is the
// CD drive (CdAudio). Devices this runner does not have (video, ...) answer as a system without
// them: an empty reply.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "sound/CdAudio.h"
#include "sound/SoundSystem.h"

namespace kr {

class MciCommands {
public:
    // `map_path` turns a file name as the game writes it into a host path.
    MciCommands(SoundSystem& sound, std::function<std::string(std::string_view)> map_path)
        : sound_(sound), map_path_(std::move(map_path)), cd_(sound) {}
    // Carries out one command; the reply (empty when there is none or the command failed).
    std::string Send(std::string_view command);
    // Closes every device (the sound system is closing).
    void CloseAll();
    CdAudio& Cd() { return cd_; }

private:
    struct Device {
        int32_t slot = -1;
        std::string file;
    };
    Device* Find(const std::string& name);
    Device* OpenFile(const std::string& file, std::string alias);

    SoundSystem& sound_;
    std::function<std::string(std::string_view)> map_path_;
    std::map<std::string, Device> devices_;  // by lower-case alias (or file name)
    CdAudio cd_;
};

}  // namespace kr
