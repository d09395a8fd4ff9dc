// Games as text projects: a folder a person can read, edit, diff and keep under version control.
// ExtractProject writes every resource of a loaded game into one; BuildProject reads one back
// into game data that GameWriter stores. The layout is described in docs/projects.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runner/GameData.h"

namespace kr {

// The extension of script text files in a project (scripts, code actions, creation codes).
inline constexpr char kScriptFileExtension[] = ".krs";
// The manifest at the top of a project folder.
inline constexpr char kManifestName[] = "game.toml";

// Writes `game` (and the D3DX library the loader handed over) into the folder `dir`, which
// must not exist yet or be empty. False with `error` set when a file cannot be written.
bool ExtractProject(const GameData& game, const std::vector<uint8_t>& d3dx_library,
                    const std::string& dir, std::string& error);

// Reads the project in `dir`. False with `error` set ("FILE:LINE: what is wrong") on a syntax
// error, a reference to a missing resource, a missing or undecodable file, or a bad value.
bool BuildProject(const std::string& dir, GameData& game, std::vector<uint8_t>& d3dx_library,
                  std::string& error);

// The commands: `korvane extract GAME DIR` and `korvane build DIR -o OUT [--data-only]`.
// `executable` is the running program, which a self-contained game carries.
int ExtractCommand(const std::vector<std::string>& args);
int BuildCommand(const std::vector<std::string>& args, const std::string& executable);

}  // namespace kr
