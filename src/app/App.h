// The korvane program: the command line, and a game that carries its runner.
#pragma once

#include <span>
#include <string>

#include <nlohmann/json.hpp>

#include "code/Value.h"
#include "runner/GameData.h"

namespace kr {

// Exit status of a command-line mistake (the game's own statuses are the Runner's).
constexpr int kExitUsage = 2;
// Exit status of a run with --strict that ended normally after ignoring errors.
constexpr int kExitIgnoredErrors = 4;

// The whole program: a copy of korvane with a game appended runs that game with every argument
// as the game's parameter; otherwise the arguments are a command.
int KorvaneMain(int argc, char** argv);

// A command line without the program name. `executable` is the program's own file.
int RunCommandLine(std::span<const std::string> args, const std::string& executable);

const char* ProgramVersion();

// korvane script: runs a program of the script language outside any game (ScriptCommand.cpp).
// `args` follow the word "script".
int ScriptCommand(std::span<const std::string> args, const std::string& executable);
// korvane dap: the debug adapter on standard input and output (DapCommand.cpp).
int DapCommand(std::span<const std::string> args, const std::string& executable);
// A program argument as the program sees it: a real when the text is a number, else the text.
RValue ProgramArgument(const std::string& arg);

// What `korvane info` shows, from a loaded game.
nlohmann::ordered_json GameInfoJson(const GameData& game);
std::string GameInfoText(const GameData& game);
// What `korvane info --functions` shows: every built-in function with its argument count and
// whether this runner has it yet.
nlohmann::ordered_json FunctionsJson();
std::string FunctionsText();

}  // namespace kr
