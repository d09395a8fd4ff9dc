// CObject: the template instances are made from: default sprite, mask, depth and flags, an
// optional parent, and per event type the events it responds to, keyed by event number.
#pragma once

#include <array>
#include <cstdint>
#include <map>

#include "objects/Event.h"
#include "objects/EventTypes.h"

namespace kr {

class CStream;

inline constexpr int32_t kObjectVersion = 430;
inline constexpr int32_t kEventTypeCount = 12;

class CObject {
public:
    int32_t sprite = -1;
    bool solid = false;
    bool visible = true;
    int32_t depth = 0;
    bool persistent = false;
    int32_t parent = -1;  // object index, -1 none
    int32_t mask = -1;    // sprite whose masks are used for collisions, -1 the sprite itself
    // Per event type, the object's events by number. Numbers can be large (collision events
    // use object indexes, keyboard events key codes), so the events are keyed, not indexed.
    std::array<std::map<int32_t, CEvent>, kEventTypeCount> events;

    // The object's own event (type, number), or null when it has none. Types outside 0..11 have
    // no events.
    const CEvent* FindEvent(int32_t type, int32_t number) const;

    // The record that follows the name in an objects-section entry: the fields, then for every
    // event type up to the stored last type a list of (number, event) ended by -1. False on a
    // wrong version, a last type beyond 11, a negative event number other than the end mark,
    // a bad event or a failed stream.
    bool LoadFromStream(CStream& s);
    // Writes all 12 event types.
    void SaveToStream(CStream& s) const;

    void ResolveFunctions(const FunctionFinder& find, const MessageSink& report);

    bool operator==(const CObject&) const = default;
};

}  // namespace kr
