// Fuzz target: the saved-game reader. The input is a saved-game file for a game with id 42 and
// rooms 0 to 3; whatever it holds, reading it must not crash, read outside the input or
// allocate without bound, and the rooms of a file it accepts write out again.
#include <cstddef>
#include <cstdint>

#include "data/Stream.h"
#include "objects/Instance.h"
#include "runner/SaveGame.h"

namespace {

// A world without sprites, with objects 0 to 3.
class FuzzWorld final : public kr::InstanceWorld {
public:
    const kr::CSprite* FindSprite(int32_t) const override { return nullptr; }
    bool FindObject(int32_t index, kr::ObjectDefaults& out) const override {
        if (index < 0 || index > 3) return false;
        out = kr::ObjectDefaults{};
        return true;
    }
    int32_t NewInstanceId() override { return ++last_; }

private:
    int32_t last_ = 100000;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzWorld world;
    kr::SavedGameChecks checks;
    checks.game_id = 42;
    checks.room_exists = [](int32_t room) { return room >= 0 && room <= 3; };
    kr::CStream s(data, size);
    kr::SavedGame game;
    if (kr::ReadSavedGame(s, world, checks, game) != kr::SaveReadResult::kOk) return 0;
    // The rooms read back write their records again without trouble.
    kr::CStream out;
    for (const auto& room : game.rooms)
        if (room) kr::SaveRoomToStream(*room, out);
    return 0;
}
