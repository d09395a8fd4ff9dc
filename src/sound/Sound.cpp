// Reading and writing the sound record.
#include "sound/Sound.h"

#include "data/Stream.h"

namespace kr {

bool CSound::LoadFromStream(CStream& s) {
    if (s.ReadInteger() != kSoundVersion || s.Failed()) return false;
    kind = s.ReadInteger();
    file_type = s.ReadString();
    file_name = s.ReadString();
    has_data = s.ReadBoolean();
    data.clear();
    if (has_data) {
        auto block = s.ReadBlock();
        data = std::move(block->Bytes());
    }
    effects = s.ReadInteger();
    volume = s.ReadReal();
    pan = s.ReadReal();
    preload = s.ReadBoolean();
    return !s.Failed();
}

void CSound::SaveToStream(CStream& s) const {
    s.WriteInteger(kSoundVersion);
    s.WriteInteger(kind);
    s.WriteString(file_type);
    s.WriteString(file_name);
    s.WriteBoolean(has_data);
    if (has_data) s.WriteBlock(data);
    s.WriteInteger(effects);
    s.WriteReal(volume);
    s.WriteReal(pan);
    s.WriteBoolean(preload);
}

}  // namespace kr
