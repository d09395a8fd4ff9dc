// Reading and writing the object record.
#include "objects/Object.h"

#include "data/Stream.h"

namespace kr {

namespace {
constexpr int32_t kEndOfEvents = -1;
}

const CEvent* CObject::FindEvent(int32_t type, int32_t number) const {
    if (type < 0 || type >= kEventTypeCount) return nullptr;
    const auto& byNumber = events[size_t(type)];
    auto it = byNumber.find(number);
    return it == byNumber.end() ? nullptr : &it->second;
}

bool CObject::LoadFromStream(CStream& s) {
    if (s.ReadInteger() != kObjectVersion || s.Failed()) return false;
    sprite = s.ReadInteger();
    solid = s.ReadBoolean();
    visible = s.ReadBoolean();
    depth = s.ReadInteger();
    persistent = s.ReadBoolean();
    parent = s.ReadInteger();
    mask = s.ReadInteger();
    int32_t last_type = s.ReadInteger();
    if (s.Failed() || last_type < -1 || last_type >= kEventTypeCount) return false;
    for (auto& byNumber : events) byNumber.clear();
    for (int32_t type = 0; type <= last_type; ++type) {
        for (;;) {
            int32_t number = s.ReadInteger();
            if (s.Failed() || number < kEndOfEvents) return false;
            if (number == kEndOfEvents) break;
            // A number stored twice keeps its last event.
            CEvent& ev = events[size_t(type)][number];
            if (!ev.LoadFromStream(s)) return false;
        }
    }
    return !s.Failed();
}

void CObject::SaveToStream(CStream& s) const {
    s.WriteInteger(kObjectVersion);
    s.WriteInteger(sprite);
    s.WriteBoolean(solid);
    s.WriteBoolean(visible);
    s.WriteInteger(depth);
    s.WriteBoolean(persistent);
    s.WriteInteger(parent);
    s.WriteInteger(mask);
    s.WriteInteger(kEventTypeCount - 1);
    for (const auto& byNumber : events) {
        for (const auto& [number, ev] : byNumber) {
            s.WriteInteger(number);
            ev.SaveToStream(s);
        }
        s.WriteInteger(kEndOfEvents);
    }
}

void CObject::ResolveFunctions(const FunctionFinder& find, const MessageSink& report) {
    for (auto& byNumber : events) {
        for (auto& [number, ev] : byNumber) ev.ResolveFunctions(find, report);
    }
}

}  // namespace kr
