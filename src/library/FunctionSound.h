// The sound resource functions, whose rows live in the resource family's table.
#pragma once

#include "code/BuiltinRegistry.h"

namespace kr {

#define KR_SOUND_RESOURCE_FN(name)                                                     \
    void fn_##name(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc, \
                   const RValue* args, RValue& result);
KR_SOUND_RESOURCE_FN(sound_name)
KR_SOUND_RESOURCE_FN(sound_exists)
KR_SOUND_RESOURCE_FN(sound_get_name)
KR_SOUND_RESOURCE_FN(sound_get_kind)
KR_SOUND_RESOURCE_FN(sound_get_preload)
KR_SOUND_RESOURCE_FN(sound_discard)
KR_SOUND_RESOURCE_FN(sound_restore)
KR_SOUND_RESOURCE_FN(sound_add)
KR_SOUND_RESOURCE_FN(sound_replace)
KR_SOUND_RESOURCE_FN(sound_delete)
#undef KR_SOUND_RESOURCE_FN

}  // namespace kr
