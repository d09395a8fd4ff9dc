// Games as text projects: a folder a person can read, edit, diff and keep under version control.
// ExtractProject writes every resource of a loaded game into one; BuildProject reads one back
// into game data that GameWriter stores. The layout is described in docs/projects.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runner/GameData.h"
#include "runner/GameLoader.h"

namespace kr {

// The extension of script text files in a project (scripts, code actions, creation codes).
inline constexpr char kScriptFileExtension[] = ".krs";
// The manifest at the top of a project folder.
inline constexpr char kManifestName[] = "game.toml";

// Writes `game` (and the D3DX library the loader handed over) into the folder `dir`, which
// must not exist yet or be empty. False with `error` set when a file cannot be written.
bool ExtractProject(const GameData& game, const std::vector<uint8_t>& d3dx_library,
                    const std::string& dir, std::string& error);

// A piece of code of a project and where it is written: a whole `.krs` file, or a value in a
// TOML file.
struct ProjectCode {
    std::string file;  // relative to the project
    int32_t line = 0;  // for a TOML value its line; 0 for a .krs file
    std::string what;  // for a TOML value, which code it is ("argument 1 of action 0")
    std::string text;  // game text
    bool expression = false;
    std::string constant;  // a constant's value: the name it defines
};

// Reads the project in `dir`. False with `error` set ("FILE:LINE: what is wrong") on a syntax
// error, an unknown key, a reference to a missing resource, a missing or undecodable file, or a
// bad value. With `code` every piece of code the game runs is listed there too, in the order
// the runner compiles them.
bool BuildProject(const std::string& dir, GameData& game, std::vector<uint8_t>& d3dx_library,
                  std::string& error, std::vector<ProjectCode>* code = nullptr);

// Compiles every piece of `code` against the game in `data` (game data from its magic number
// on) as the runner would before the game starts. False with `error` set at the first
// failure: "FILE:LINE:COLUMN: message" for a .krs file, "FILE:LINE: WHAT: message" for a TOML
// value.
bool CompileProjectCode(std::vector<uint8_t> data, const std::vector<ProjectCode>& code,
                        std::string& error);

// Whether `path` is a project folder (one with a manifest).
bool IsProjectFolder(const std::string& path);

// Builds the project in `dir` into a game held in memory: the game data from its magic number
// on, as a game file stores it. False with `error` set ("DIR/FILE:LINE: what is wrong").
bool BuildProjectData(const std::string& dir, std::vector<uint8_t>& data, std::string& error);

// Loads GAME for a command that reads it: a game file, or a project folder built in memory as
// `korvane run` builds it. A build error is shown through the host.
LoadResult LoadGameOrProject(const std::string& path, GameData& out, LoadHost& host);

// The commands: `korvane extract GAME DIR` and `korvane build DIR -o OUT [--data-only]`.
// `executable` is the running program, which a self-contained game carries.
int ExtractCommand(const std::vector<std::string>& args);
int BuildCommand(const std::vector<std::string>& args, const std::string& executable);

}  // namespace kr
