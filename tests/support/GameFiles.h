// Helpers for tests that load games: a loader host that records what the loader reports, and
// access to the scrambled main block of written game data.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "runner/GameLoader.h"

namespace kr::test {

class RecordingHost : public LoadHost {
public:
    std::vector<std::string> messages;
    std::vector<std::pair<int, std::string>> progress;
    bool form_shown = false;
    std::string d3dx_name;
    std::vector<uint8_t> d3dx;

    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void SetLoadProgress(int percent, std::string_view caption) override {
        progress.emplace_back(percent, std::string(caption));
    }
    void ShowLoadForm(const GameData&) override { form_shown = true; }
    void StoreD3dxLibrary(const std::string& name, std::span<const uint8_t> bytes) override {
        d3dx_name = name;
        d3dx.assign(bytes.begin(), bytes.end());
    }
};

// Loads game data that starts with the magic number (as GameWriter::WriteData returns it).
inline LoadResult LoadData(std::vector<uint8_t> data, GameData& out, RecordingHost& host) {
    return ReadGameData(std::move(data), 0, out, host);
}

// Lets `edit` change the unscrambled body of game data written by GameWriter::WriteData, then
// scrambles it again.
void EditBody(std::vector<uint8_t>& data, const std::function<void(std::vector<uint8_t>&)>& edit);

// The position of `text` in `bytes` (it must be there).
size_t Find(std::span<const uint8_t> bytes, std::string_view text);
// Overwrites four bytes with a little-endian integer.
void PutInteger(std::vector<uint8_t>& bytes, size_t at, int32_t value);

}  // namespace kr::test
