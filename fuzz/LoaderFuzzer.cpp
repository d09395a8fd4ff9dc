// Fuzzes the game loader with game data that starts at the magic number: header, settings,
// main block and every section. Any crash, leak, undefined behaviour or hang is a bug.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runner/GameLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kr::GameData game;
    kr::LoadHost host;  // shows nothing and writes nothing
    kr::FindGameData({data, size});
    kr::ReadGameData(std::vector<uint8_t>(data, data + size), 0, game, host);
    return 0;
}
