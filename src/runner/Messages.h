// The messages the runner shows when a game cannot be loaded or prepared. Players and tools
// may know them word for word, misspellings included; they never change.
#pragma once

namespace kr::msg {

inline constexpr char kCannotReadGame[] = "Error: Cannot read the game file.";
inline constexpr char kNotValidGame[] = "Error: Not a valid game file.";
inline constexpr char kWrongVersion[] = "Error: Wrong version number.";
inline constexpr char kResourceData[] = "Error: Error in resource data.";
inline constexpr char kExtensionPackages[] = "Error in loading extension packages.";
inline constexpr char kCorrupted[] = "Failed to load the game data. File seems corrupted.";
inline constexpr char kUnexpected[] = "Unexpected error occured when running the game.";
inline constexpr char kTempDir[] =
    "Failed to create temp dir. This can cause serious problems with sounds, etc.";

}  // namespace kr::msg
