// The game's resource tables and the runner's state, as instances and events reach them.
#include "runner/GameWorld.h"

#include "runner/Runner.h"

namespace kr {

const CSprite* GameWorld::FindSprite(int32_t index) const {
    return runner_.Game().sprites.Get(index);
}

bool GameWorld::FindObject(int32_t index, ObjectDefaults& out) const {
    const CObject* o = runner_.Game().objects.Get(index);
    if (!o) return false;
    out.sprite = o->sprite;
    out.mask = o->mask;
    out.depth = o->depth;
    out.solid = o->solid;
    out.visible = o->visible;
    out.persistent = o->persistent;
    out.parent = o->parent;
    return true;
}

int32_t GameWorld::ObjectCount() const {
    return runner_.Game().objects.Count();
}

CObject* GameWorld::ObjectAt(int32_t index) const {
    return runner_.Game().objects.Get(index);
}

int32_t GameWorld::TriggerCount() const {
    return runner_.Game().triggers.Count();
}

InstanceList& GameWorld::Room() {
    return runner_.Instances();
}

bool GameWorld::RoomChangePending() const {
    return runner_.RoomRequest() != kNoRoomRequest;
}

bool& GameWorld::ArgumentRelative() {
    return runner_.Vars().argument_relative;
}

}  // namespace kr
