// LoadGameFile: reads a game file (the runner's own executable with the game data appended, or
// a copy of one): finds the data, checks the header, reads the settings, hands the D3DX helper
// library to the caller, unscrambles the main block in place and reads the sixteen sections.
//
// The loaders never throw: a read past the end, a corrupt compressed block or anything thrown
// on the way (running out of memory) makes the load return kCorrupted, for which the caller
// shows msg::kCorrupted. Every other failure has shown its own message through the host when
// kFailed is returned.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runner/GameData.h"

namespace kr {

enum class LoadResult { kLoaded, kFailed, kCorrupted };

// What the loader asks of the runner that called it. Every method may do nothing.
class LoadHost {
public:
    virtual ~LoadHost() = default;
    virtual void ShowMessage(std::string_view text) {}
    virtual void SetLoadProgress(int percent, std::string_view caption) {}
    // Called once the settings are known, right after progress (1, "Reading data").
    virtual void ShowLoadForm(const GameData& game) {}
    // The helper library the game carries, with the file name it is stored under.
    virtual void StoreD3dxLibrary(const std::string& name, std::span<const uint8_t> bytes) {}
};

// The first place where the game data may start, and the distance between the places tried.
constexpr size_t kGameDataStart = 697344;
constexpr size_t kGameDataStep = 10000;

// The offset of the magic number that starts the game data, or nothing when no place holds it.
// A place whose magic number is followed by this format's version comes before the others.
std::optional<size_t> FindGameData(std::span<const uint8_t> file);
// Whether a place holds the magic number followed by this format's version: data a writer must
// not append to, where a bare magic number may be any four bytes of a program.
bool CarriesGameData(std::span<const uint8_t> file);

LoadResult LoadGameFile(const std::string& path, GameData& out, LoadHost& host);
// The same on a file already in memory.
LoadResult LoadGameImage(std::vector<uint8_t> file, GameData& out, LoadHost& host);
// Reads game data whose magic number sits at `offset` (already found).
LoadResult ReadGameData(std::vector<uint8_t> file, size_t offset, GameData& out, LoadHost& host);

}  // namespace kr
