// The registry: keys and values of the game kept in the user's store (UserStore).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "library/FunctionFile.h"
#include "library/FunctionMath.h"
#include "platform/Files.h"

namespace kr {

// ---- The registry ----

namespace {

std::string GameKey(Runtime& rt) {
    return "Software\\Korvane\\" + std::to_string(RunnerOf(rt).Game().game_id);
}

void StoreRead(Runtime& rt, int root, const std::string& key, const RValue& name, bool as_string,
               RValue& r) {
    std::optional<StoreValue> v = Files(rt).Store().Read(root, key, ArgText(name));
    if (as_string)
        r = RValue(v && v->is_string ? v->str : std::string());
    else
        r = v && !v->is_string ? v->real : 0.0;
}

void StoreWrite(Runtime& rt, int root, const std::string& key, const RValue& name,
                const RValue& value, bool as_string) {
    StoreValue v;
    v.is_string = as_string;
    if (as_string)
        v.str = ArgText(value);
    else
        v.real = ArgReal(value);
    Files(rt).Store().Write(root, key, ArgText(name), v);
}

bool SecureRefusesRegistry(Runtime& rt, const std::string& key) {
    if (!Secure(rt)) return false;
    rt.RuntimeError("In Secure mode you cannot write registry entries in " + key);
    return true;
}

}  // namespace

KR_FILE_FN(registry_write_string) {
    StoreWrite(rt, UserStore::kCurrentUser, GameKey(rt), a[0], a[1], true);
}
KR_FILE_FN(registry_write_real) {
    StoreWrite(rt, UserStore::kCurrentUser, GameKey(rt), a[0], a[1], false);
}
KR_FILE_FN(registry_read_string) {
    StoreRead(rt, UserStore::kCurrentUser, GameKey(rt), a[0], true, r);
}
KR_FILE_FN(registry_read_real) {
    StoreRead(rt, UserStore::kCurrentUser, GameKey(rt), a[0], false, r);
}
KR_FILE_FN(registry_exists) {
    r = Files(rt).Store().Read(UserStore::kCurrentUser, GameKey(rt), ArgText(a[0])) ? 1.0 : 0.0;
}
KR_FILE_FN(registry_write_string_ext) {
    std::string key = ArgText(a[0]);
    if (!SecureRefusesRegistry(rt, key))
        StoreWrite(rt, Files(rt).registry_root, key, a[1], a[2], true);
}
KR_FILE_FN(registry_write_real_ext) {
    std::string key = ArgText(a[0]);
    if (!SecureRefusesRegistry(rt, key))
        StoreWrite(rt, Files(rt).registry_root, key, a[1], a[2], false);
}
KR_FILE_FN(registry_read_string_ext) {
    StoreRead(rt, Files(rt).registry_root, ArgText(a[0]), a[1], true, r);
}
KR_FILE_FN(registry_read_real_ext) {
    StoreRead(rt, Files(rt).registry_root, ArgText(a[0]), a[1], false, r);
}
KR_FILE_FN(registry_exists_ext) {
    FileFamily& fam = Files(rt);
    r = fam.Store().Read(fam.registry_root, ArgText(a[0]), ArgText(a[1])) ? 1.0 : 0.0;
}
KR_FILE_FN(registry_set_root) {
    int root = ArgInt(a[0]);
    Files(rt).registry_root = root >= 0 && root <= 3 ? root : UserStore::kCurrentUser;
}

}  // namespace kr
