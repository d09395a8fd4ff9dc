// GameWorld: the game as instances and the event dispatch see it. Sprites and objects come from
// the runner's resource tables; the instance id counter starts at the last id the game stored,
// so that instances made at run time get the ids above it; the room, the pending room change
// and the argument_relative flag are the runner's.
#pragma once

#include <cstdint>

#include "objects/EventDispatch.h"
#include "objects/Instance.h"

namespace kr {

class Runner;

class GameWorld final : public InstanceWorld, public EventHost {
public:
    explicit GameWorld(Runner& runner) : runner_(runner) {}
    GameWorld(const GameWorld&) = delete;
    GameWorld& operator=(const GameWorld&) = delete;

    // InstanceWorld
    const CSprite* FindSprite(int32_t index) const override;
    bool FindObject(int32_t index, ObjectDefaults& out) const override;
    // Past the largest id, ids stay there: nothing in a run comes near it.
    int32_t NewInstanceId() override { return last_id_ < INT32_MAX ? ++last_id_ : last_id_; }
    int32_t LastInstanceId() const { return last_id_; }
    // Ids below 100000 would read as object indexes wherever scripts use an id as an owner
    // ((id).x, with, the collision functions), so a stored counter below it (a damaged game)
    // starts at 100000, as it does for a program run outside any game.
    void SetLastInstanceId(int32_t id) { last_id_ = id < kFirstId ? kFirstId : id; }

    // EventHost
    int32_t ObjectCount() const override;
    CObject* ObjectAt(int32_t index) const override;
    int32_t TriggerCount() const override;
    InstanceList& Room() override;
    bool RoomChangePending() const override;
    bool& ArgumentRelative() override;

private:
    static constexpr int32_t kFirstId = 100000;

    Runner& runner_;
    int32_t last_id_ = kFirstId;
};

}  // namespace kr
