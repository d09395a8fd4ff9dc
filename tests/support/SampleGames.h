// Sample games written with GameWriter: a rich one with every kind of resource (empty slots,
// masks, rooms with layers, views, instances and tiles, actions of every kind, extension
// packages, included files) and every setting off its default. The loader tests, the project
// round trip and the fuzzers' seed corpus all start from it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "runner/GameData.h"
#include "runner/GameWriter.h"

namespace kr::test {

std::vector<uint8_t> Bytes(std::string_view s);
// The bytes `write` puts into a fresh stream.
std::vector<uint8_t> Record(const std::function<void(CStream&)>& write);

// Every setting moved off its default; pictures present with distinct content.
GameSettings UnusualSettings(bool progress_bar);
CDataFile SomeIncludedFile();
// A package with a library, a script file, an action library and another file; its one library
// function is stored untidy (blanks around the name, no external name, five string arguments,
// result type 0), as the reader tidies it.
CExtensionPackage SomePackage();

// A small image whose pixels differ from each other (and from other seeds').
TBitmap32 PatternImage(int32_t w, int32_t h, int seed);
// A sprite of `frames` pattern frames with masks built from their alpha.
CSprite PatternSprite(int32_t w, int32_t h, int frames, bool separate_masks, int seed);
// An action of the given kind and execution type; function actions call `function`.
CAction MakeAction(int32_t kind, int32_t exec, std::string function = {}, std::string code = {});
// A code action as games store it: the code is argument 0.
CAction CodeAction(std::string code);

// The rich game (see the file comment); its resources are listed in SampleGames.cpp.
GameWriter FullGame();

// Equal resources, settings and sections: names, slots, fields, pixels, texts, actions.
::testing::AssertionResult SameGame(const GameData& a, const GameData& b);

}  // namespace kr::test
