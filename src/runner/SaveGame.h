// Saved games: the runner's whole game state in one file (the game-wide values, the global
// variables, every kept room copy with its instances, inactive instances and tiles, and the id
// counters). The layout is fixed and documented in docs/saved-games.md.
//
// A load reads and checks the whole file before it changes anything: a damaged, truncated,
// other-version or other-game file is refused with a message and the game goes on as it was.
// A save writes a temporary file beside the target and renames it over the old one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "code/Variables.h"
#include "runner/RoomState.h"

namespace kr {

class CStream;
class CInstance;
class InstanceWorld;
class Runner;

inline constexpr int32_t kSavedGameVersion = 540;

// The content of a saved game, read and checked, not yet applied.
struct SavedGame {
    int32_t room_index = 0;
    int32_t transition_kind = 0;
    int32_t score = 0;
    int32_t lives = 0;
    double health = 0;
    int32_t cursor_sprite = -1;
    int32_t step_count = 0;
    bool automatic_draw = true;
    GlobalStore globals;
    std::vector<std::unique_ptr<RoomState>> rooms;  // by room number; null: no copy kept
    int32_t last_instance_id = 0;
    int32_t last_tile_id = 0;
};

enum class SaveReadResult {
    kOk,
    kOtherVersion,  // the first integer is not 540
    kOtherGame,     // the game id differs
    kDamaged,       // truncated, or holding values the game cannot run from
};

// What a reader checks a file against: the running game's id and which room numbers the
// game has.
struct SavedGameChecks {
    int32_t game_id = 0;
    std::function<bool(int32_t room)> room_exists;
};

// Reads a whole saved game from `s` into `out`, making its instances in `world`. Nothing
// outside `out` changes. kOk only when every field was read, the stream holds nothing more,
// every room record has version 540 with 8 layers and 8 views, every kept copy belongs to a
// room of the game and the current room's slot holds a copy.
SaveReadResult ReadSavedGame(CStream& s, InstanceWorld& world, const SavedGameChecks& checks,
                             SavedGame& out);

// The record forms of a room copy and an instance.
void SaveRoomToStream(const RoomState& room, CStream& s);
bool LoadRoomFromStream(RoomState& room, CStream& s);
void SaveInstanceToStream(const CInstance& inst, CStream& s);

// The runner's state as a saved game.
void WriteSavedGame(Runner& r, CStream& s);

// game_save, F5: writes the file at once. Errors are reported as non-fatal run-time errors:
// a name with a directory part in secure mode, a file that cannot be written (the old file
// then stays as it was).
void SaveGame(Runner& r, const std::string& name);
// The room request -300 and F6: replaces the game state by the file's content at once. A
// missing file does nothing; a file that cannot be read or is refused is reported and changes
// nothing.
void LoadGame(Runner& r, const std::string& name);

}  // namespace kr
