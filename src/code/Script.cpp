// Reading and writing the script record.
#include "code/Script.h"

#include "data/Stream.h"

namespace kr {

bool CScript::LoadFromStream(CStream& s) {
    if (s.ReadInteger() != kScriptVersion || s.Failed()) return false;
    text = s.ReadString();
    return !s.Failed();
}

void CScript::SaveToStream(CStream& s) const {
    s.WriteInteger(kScriptVersion);
    s.WriteString(text);
}

}  // namespace kr
