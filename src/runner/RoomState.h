// RoomState: a room at run time, a working copy of a room resource: its fields (size, speed,
// caption, colour, background layers, views, tiles, creation code) and its instances. Leaving a
// room throws its copy away unless the room is persistent; then it is kept and re-entered as it
// was.
#pragma once

#include "objects/InstanceList.h"
#include "runner/Room.h"

namespace kr {

class RoomState {
public:
    explicit RoomState(InstanceWorld& world) : instances(world) {}
    RoomState(const RoomState&) = delete;
    RoomState& operator=(const RoomState&) = delete;

    // The resource's fields as the game changes them (the stored instance records stay as the
    // resource had them; the live instances are `instances`).
    CRoom room;
    InstanceList instances;
};

}  // namespace kr
