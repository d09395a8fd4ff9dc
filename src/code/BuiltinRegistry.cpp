#include "code/BuiltinRegistry.h"

#include "code/Runtime.h"

#include <algorithm>
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
    const std::string& kept = names_.emplace_back(name);
    records_.push_back(BuiltinDef{kept.c_str(), fn, argc});
    by_name_.try_emplace(kept, id);  // the first registration wins a lookup
}

void BuiltinRegistry::AddTable(std::span<const BuiltinDef> table,
                               std::span<const uint16_t> by_name) {
    families_.push_back(Family{int(records_.size()), table, by_name});
    records_.insert(records_.end(), table.begin(), table.end());
}

int BuiltinRegistry::Find(std::string_view name) const {
    int best = -1;
    auto keep = [&](int id) {
        if (best < 0 || id < best) best = id;
    };
    for (const Family& f : families_) {
        // The first row of that name in the family: rows of one name are in table order.
        auto it = std::lower_bound(f.by_name.begin(), f.by_name.end(), name,
                                   [&](uint16_t row, std::string_view n) {
                                       return std::string_view(f.rows[row].name) < n;
                                   });
        if (it != f.by_name.end() && std::string_view(f.rows[*it].name) == name)
            keep(f.first + int(*it));
    }
    if (!by_name_.empty()) {
        auto it = by_name_.find(name);
        if (it != by_name_.end()) keep(it->second);
    }
    return best;
}

int BuiltinRegistry::ImplementedCount() const {
    int n = 0;
    for (const BuiltinDef& r : records_) n += r.fn != nullptr;
    return n;
}

void BuiltinOnlyAnswers(Runtime&, ScriptInstance*, ScriptInstance*, int, const RValue*, RValue&) {}

bool BuiltinRegistry::OnlyAnswers(int id) const {
    return id >= 0 && id < Count() && records_[size_t(id)].fn == &BuiltinOnlyAnswers;
}

int BuiltinRegistry::OnlyAnswersCount() const {
    int n = 0;
    for (const BuiltinDef& r : records_) n += r.fn == &BuiltinOnlyAnswers;
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
    const BuiltinDef& r = records_[size_t(id)];
    if (!r.fn) {
        rt.RuntimeError("Function " + std::string(r.name) + " is not available yet.");
        return;
    }
    r.fn(rt, self, other, argc, args, result);
}

}  // namespace kr
