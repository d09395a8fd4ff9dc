// RoomState: the room the game is in at run time. For now it holds the room's instances; the
// rest of the room (its working copy of the resource, views, backgrounds, tiles) joins it as
// rooms at run time are built.
#pragma once

#include "objects/InstanceList.h"

namespace kr {

class RoomState {
public:
    explicit RoomState(InstanceWorld& world) : instances(world) {}
    RoomState(const RoomState&) = delete;
    RoomState& operator=(const RoomState&) = delete;

    InstanceList instances;
};

}  // namespace kr
