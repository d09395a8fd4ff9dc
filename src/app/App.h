// The korvane program: the command line, and a game that carries its runner.
#pragma once

#include <span>
#include <string>

#include <nlohmann/json.hpp>

#include "runner/GameData.h"

namespace kr {

// Exit status of a command-line mistake (the game's own statuses are the Runner's).
constexpr int kExitUsage = 2;

// The whole program: a copy of korvane with a game appended runs that game with every argument
// as the game's parameter; otherwise the arguments are a command.
int KorvaneMain(int argc, char** argv);

// A command line without the program name. `executable` is the program's own file.
int RunCommandLine(std::span<const std::string> args, const std::string& executable);

const char* ProgramVersion();

// What `korvane info` shows, from a loaded game.
nlohmann::ordered_json GameInfoJson(const GameData& game);
std::string GameInfoText(const GameData& game);

}  // namespace kr
