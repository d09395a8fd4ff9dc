// CScript: a script resource as the game data stores it, its source text. Compilation happens
// when the game is prepared.
#pragma once

#include <cstdint>
#include <string>

namespace kr {

class CStream;

inline constexpr int32_t kScriptVersion = 800;

class CScript {
public:
    std::string text;

    // The record that follows the name in a scripts-section entry. False on a wrong version or a
    // failed stream.
    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    bool operator==(const CScript&) const = default;
};

}  // namespace kr
