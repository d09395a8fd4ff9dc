// Whole-file reads and writes on host paths. Writes are atomic: the data goes to a temporary
// file beside the target, which is then renamed over it, so a file is written whole or not at
// all.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kr {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out);
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> data);

}  // namespace kr
