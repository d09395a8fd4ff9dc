#include "code/BuiltinRegistry.h"

#include "code/Runtime.h"

#include <cfenv>
#include <cmath>

namespace kr {

int64_t RoundToInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9.2233720368547758e18) return INT64_MAX;
    if (v <= -9.2233720368547758e18) return INT64_MIN;
    return int64_t(std::nearbyint(v));  // default rounding mode: nearest, ties to even
}

void BuiltinRegistry::Add(std::string_view name, BuiltinFn fn, int argc) {
    int id = int(records_.size());
    records_.push_back(Record{std::string(name), fn, argc});
    by_name_.try_emplace(std::string(name), id);  // the first registration wins a lookup
}

int BuiltinRegistry::Find(std::string_view name) const {
    auto it = by_name_.find(std::string(name));
    return it == by_name_.end() ? -1 : it->second;
}

int BuiltinRegistry::ImplementedCount() const {
    int n = 0;
    for (const Record& r : records_) n += r.fn != nullptr;
    return n;
}

void BuiltinOnlyAnswers(Runtime&, ScriptInstance*, ScriptInstance*, int, const RValue*, RValue&) {}

bool BuiltinRegistry::OnlyAnswers(int id) const {
    return id >= 0 && id < Count() && records_[size_t(id)].fn == &BuiltinOnlyAnswers;
}

int BuiltinRegistry::OnlyAnswersCount() const {
    int n = 0;
    for (const Record& r : records_) n += r.fn == &BuiltinOnlyAnswers;
    return n;
}

int BuiltinRegistry::ArgCount(int id) const {
    if (id < 0 || id >= Count()) return -100;
    return records_[size_t(id)].argc;
}

void BuiltinRegistry::Call(int id, Runtime& rt, ScriptInstance* self, ScriptInstance* other,
                           int argc, const RValue* args, RValue& result) const {
    result.SetReal(0.0);
    if (id < 0 || id >= Count()) {
        rt.RuntimeError("Unknown built-in function id " + std::to_string(id) + ".");
        return;
    }
    const Record& r = records_[size_t(id)];
    if (!r.fn) {
        rt.RuntimeError("Function " + r.name + " is not available yet.");
        return;
    }
    r.fn(rt, self, other, argc, args, result);
}

}  // namespace kr
