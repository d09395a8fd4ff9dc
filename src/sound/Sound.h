// CSound: a sound resource as the game data stores it: how it is played, its source file's name
// and type, the complete sound file, and its effects, volume, pan and preload flag.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kr {

class CStream;

inline constexpr int32_t kSoundVersion = 800;

class CSound {
public:
    enum Kind : int32_t { kNormal = 0, kBackgroundMusic = 1, kThreeD = 2, kMultimedia = 3 };

    int32_t kind = kNormal;
    std::string file_type;      // extension of the source file with its dot, e.g. ".wav"
    std::string file_name;      // the source file's name; informational
    bool has_data = false;      // whether `data` was stored (an empty file is still data)
    std::vector<uint8_t> data;  // the whole sound file
    int32_t effects = 0;        // bit set of sound effects
    double volume = 1.0;        // 0..1
    double pan = 0.0;           // -1 left .. 1 right
    bool preload = true;
    // While the game runs: the sound's slot in the sound system (-1 while not prepared), and
    // the file that stands for the data once a multimedia sound was prepared.
    int32_t slot = -1;
    std::string temporary_file;

    // The record that follows the name in a sounds-section entry. False on a wrong version or a
    // failed stream.
    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    bool operator==(const CSound&) const = default;
};

}  // namespace kr
