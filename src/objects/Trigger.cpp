// Reading and writing the trigger record.
#include "objects/Trigger.h"

#include "data/Stream.h"

namespace kr {

bool CTrigger::LoadFromStream(CStream& s) {
    if (s.ReadInteger() != kTriggerVersion || s.Failed()) return false;
    name = s.ReadString();
    condition = s.ReadString();
    moment = s.ReadInteger();
    constant_name = s.ReadString();
    return !s.Failed();
}

void CTrigger::SaveToStream(CStream& s) const {
    s.WriteInteger(kTriggerVersion);
    s.WriteString(name);
    s.WriteString(condition);
    s.WriteInteger(moment);
    s.WriteString(constant_name);
}

}  // namespace kr
