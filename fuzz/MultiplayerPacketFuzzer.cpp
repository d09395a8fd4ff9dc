// Fuzzes the reader of multiplayer packets (game id 0). The format has one encoding per packet,
// so whatever the reader takes must be written back byte for byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "network/Packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    std::optional<kr::net::Packet> p = kr::net::DecodePacket(bytes, 0);
    if (!p) return 0;
    std::vector<uint8_t> again = kr::net::EncodePacket(*p, 0);
    if (again.size() != size || !std::equal(again.begin(), again.end(), data)) __builtin_trap();
    return 0;
}
