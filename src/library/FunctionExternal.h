// The bodies of the external-call functions of the misc family (external_define,
// external_call, external_free and their fixed-arity forms), kept apart from its table.
#pragma once

#include "code/BuiltinRegistry.h"

namespace kr {

#define KR_EXTERNAL_FN(name)                                                           \
    void fn_##name(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc, \
                   const RValue* args, RValue& result)
KR_EXTERNAL_FN(external_define);
KR_EXTERNAL_FN(external_call);
KR_EXTERNAL_FN(external_free);
KR_EXTERNAL_FN(external_define0);
KR_EXTERNAL_FN(external_define1);
KR_EXTERNAL_FN(external_define2);
KR_EXTERNAL_FN(external_define3);
KR_EXTERNAL_FN(external_define4);
KR_EXTERNAL_FN(external_define5);
KR_EXTERNAL_FN(external_define6);
KR_EXTERNAL_FN(external_define7);
KR_EXTERNAL_FN(external_define8);
KR_EXTERNAL_FN(external_call0);
KR_EXTERNAL_FN(external_call1);
KR_EXTERNAL_FN(external_call2);
KR_EXTERNAL_FN(external_call3);
KR_EXTERNAL_FN(external_call4);
KR_EXTERNAL_FN(external_call5);
KR_EXTERNAL_FN(external_call6);
KR_EXTERNAL_FN(external_call7);
KR_EXTERNAL_FN(external_call8);
#undef KR_EXTERNAL_FN

}  // namespace kr
