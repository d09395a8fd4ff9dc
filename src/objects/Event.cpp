// Reading and writing stored events.
#include "objects/Event.h"

#include "data/Stream.h"

namespace kr {

bool CEvent::LoadFromStream(CStream& s) {
    actions.clear();
    if (s.ReadInteger() != kEventVersion || s.Failed()) return false;
    int32_t n = s.ReadCount(kActionMinBytes);
    actions.resize(size_t(n));
    for (CAction& a : actions) {
        if (!a.LoadFromStream(s)) return false;
    }
    return !s.Failed();
}

void CEvent::SaveToStream(CStream& s) const {
    s.WriteInteger(kEventVersion);
    s.WriteInteger(int32_t(actions.size()));
    for (const CAction& a : actions) a.SaveToStream(s);
}

void CEvent::ResolveFunctions(const FunctionFinder& find, const MessageSink& report) {
    for (CAction& a : actions) a.ResolveFunction(find, report);
}

}  // namespace kr
