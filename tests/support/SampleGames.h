// Sample games written with GameWriter: one that fills every section and moves every setting
// off its default. The loader tests and the fuzzers' seed corpus both start from them.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "runner/GameWriter.h"

namespace kr::test {

std::vector<uint8_t> Bytes(std::string_view s);
// The bytes `write` puts into a fresh stream.
std::vector<uint8_t> Record(const std::function<void(CStream&)>& write);

// Every setting moved off its default; pictures present with distinct content.
GameSettings UnusualSettings(bool progress_bar);
CDataFile SomeIncludedFile();
CExtensionPackage SomePackage();
// A game with something in every section, an empty sprite slot, a trigger, constants, an
// included file, an extension package and game information.
GameWriter FullGame();

}  // namespace kr::test
