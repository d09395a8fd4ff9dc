// Scripts binding and calling functions of native libraries. Every function refuses in secure
// mode; a definition that fails reports "Error defining an external function." with, on the
// next line, which library or function was missing and where it was looked for.
#include "library/FunctionExternal.h"

#include "code/Runtime.h"
#include "runner/Runner.h"

namespace kr {

namespace {

bool Refused(Runtime& rt) {
    if (!RunnerOf(rt).SecureMode()) return false;
    rt.RuntimeError("In secure mode you cannot use DLLs");
    return true;
}

// "type" arguments: 1 means string, anything else real.
int32_t TypeOf(const RValue& v) {
    return ArgInt(v) == 1 ? 1 : 0;
}

void Define(Runtime& rt, const RValue& dll, const RValue& name, int32_t call_type,
            int32_t result_type, const int32_t* types, int32_t n, RValue& result) {
    std::string why;
    int32_t id = RunnerOf(rt).Externals().Define(ArgStr(dll), ArgStr(name), call_type, result_type,
                                                 types, n, &why);
    result = double(id);
    if (id < 0)
        rt.RuntimeError(why.empty() ? std::string("Error defining an external function.")
                                    : "Error defining an external function.\n" + why);
}

// external_defineN for N of 0 to 4: dll, name, the N argument types, the result type.
void DefineFixed(Runtime& rt, int n, const RValue* args, RValue& result) {
    if (Refused(rt)) return;
    int32_t types[4] = {0, 0, 0, 0};
    for (int i = 0; i < n; ++i) types[i] = TypeOf(args[2 + i]);
    Define(rt, args[0], args[1], 0, TypeOf(args[2 + n]), types, n, result);
}

// external_defineN for N of 5 to 8: dll, name, the result type; every argument real.
void DefineReals(Runtime& rt, int n, const RValue* args, RValue& result) {
    if (Refused(rt)) return;
    int32_t types[8] = {};
    Define(rt, args[0], args[1], 0, TypeOf(args[2]), types, n, result);
}

void CallFixed(Runtime& rt, int n, const RValue* args, RValue& result) {
    if (Refused(rt)) return;
    RunnerOf(rt).Externals().Call(ArgInt(args[0]), n, args + 1, result);
}

}  // namespace

void fn_external_define(Runtime& rt, ScriptInstance*, ScriptInstance*, int argc, const RValue* args,
                        RValue& result) {
    if (Refused(rt)) return;
    int32_t n = argc >= 5 ? ArgInt(args[4]) : -1;
    if (argc < 5 || argc != n + 5) {
        rt.RuntimeError("Wrong number of arguments to external_define()");
        return;
    }
    if (n >= 17) {
        rt.RuntimeError("DLL functions can have at most 16 arguments");
        return;
    }
    int32_t types[16] = {};
    for (int32_t i = 0; i < n; ++i) types[i] = TypeOf(args[5 + i]);
    if (n >= 5)
        for (int32_t i = 0; i < n; ++i)
            if (ArgInt(args[5 + i]) != 0) {
                rt.RuntimeError(
                    "DLL functions with more than 4 arguments cannot have string arguments");
                return;
            }
    Define(rt, args[0], args[1], ArgInt(args[2]), TypeOf(args[3]), types, n, result);
}

void fn_external_call(Runtime& rt, ScriptInstance*, ScriptInstance*, int argc, const RValue* args,
                      RValue& result) {
    if (Refused(rt) || argc < 1) return;
    RunnerOf(rt).Externals().Call(ArgInt(args[0]), argc - 1, args + 1, result);
}

void fn_external_free(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                      RValue&) {
    if (Refused(rt)) return;
    RunnerOf(rt).Externals().Free(ArgStr(args[0]));
}

#define KR_FIXED(n)                                                                \
    void fn_external_define##n(Runtime& rt, ScriptInstance*, ScriptInstance*, int, \
                               const RValue* args, RValue& result) {               \
        if (n <= 4)                                                                \
            DefineFixed(rt, n, args, result);                                      \
        else                                                                       \
            DefineReals(rt, n, args, result);                                      \
    }                                                                              \
    void fn_external_call##n(Runtime& rt, ScriptInstance*, ScriptInstance*, int,   \
                             const RValue* args, RValue& result) {                 \
        CallFixed(rt, n, args, result);                                            \
    }
KR_FIXED(0)
KR_FIXED(1)
KR_FIXED(2)
KR_FIXED(3)
KR_FIXED(4)
KR_FIXED(5)
KR_FIXED(6)
KR_FIXED(7)
KR_FIXED(8)
#undef KR_FIXED

}  // namespace kr
