// The registry of built-in functions. Every family of functions registers its table from its
// own unit (`RegisterXxxFunctions(BuiltinRegistry&)`); a function's id is its index in
// registration order. A row whose body is nullptr is registered so that games compile, and
// reports "Function NAME is not available yet." when called.
//
// A family registers with AddTable<kTable>(): the order of its rows by name is worked out when
// the program is built, so registering copies the rows and nothing is hashed or allocated per
// name at start; Find searches each family's order.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "code/Value.h"

namespace kr {

class Runtime;
struct ScriptInstance;

// (runtime, self, other, argument count, the arguments (16 slots), result preset to real 0).
// Misuse is reported with rt.RuntimeError(...) and the body returns leaving result as it is;
// nothing throws out of a built-in.
using BuiltinFn = void (*)(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc,
                           const RValue* args, RValue& result);

struct BuiltinDef {
    const char* name;
    BuiltinFn fn;  // nullptr: registered, not implemented yet
    int argc;      // -1: any number from 0 to 16
};

// The indices 0 to N-1 ordered by `less` (a strict order on indices), in a form that a constant
// expression can run: a bottom-up merge sort, as std::sort is not constexpr in every C++
// library the program is built with.
template <size_t N, class Less>
constexpr std::array<uint16_t, N> SortedRows(Less less) {
    static_assert(N <= 65536);
    std::array<uint16_t, N> a{}, b{};
    for (size_t i = 0; i < N; ++i) a[i] = uint16_t(i);
    for (size_t width = 1; width < N; width *= 2) {
        for (size_t lo = 0; lo < N; lo += 2 * width) {
            const size_t mid = std::min(lo + width, N), hi = std::min(lo + 2 * width, N);
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) b[k++] = less(a[j], a[i]) ? a[j++] : a[i++];
            while (i < mid) b[k++] = a[i++];
            while (j < hi) b[k++] = a[j++];
        }
        a = b;
    }
    return a;
}

// The rows of `table` ordered by name, rows of one name in table order.
template <size_t N>
consteval std::array<uint16_t, N> BuiltinNameOrder(const BuiltinDef (&table)[N]) {
    return SortedRows<N>([&](uint16_t a, uint16_t b) {
        const std::string_view x = table[a].name, y = table[b].name;
        return x < y || (x == y && a < b);
    });
}
template <const auto& Table>
inline constexpr auto kBuiltinNameOrder = BuiltinNameOrder(Table);

class BuiltinRegistry {
public:
    BuiltinRegistry() = default;
    // The rows point at names the registry holds.
    BuiltinRegistry(const BuiltinRegistry&) = delete;
    BuiltinRegistry& operator=(const BuiltinRegistry&) = delete;
    BuiltinRegistry(BuiltinRegistry&&) = default;
    BuiltinRegistry& operator=(BuiltinRegistry&&) = default;

    // One function; its name is copied.
    void Add(std::string_view name, BuiltinFn fn, int argc);
    // Rows one by one, as Add(name, fn, argc).
    void Add(std::span<const BuiltinDef> table) {
        for (const BuiltinDef& d : table) Add(d.name, d.fn, d.argc);
    }
    // A family's table of static storage (its names are not copied), with its order by name.
    template <const auto& Table>
    void AddTable() {
        AddTable(Table, kBuiltinNameOrder<Table>);
    }
    void AddTable(std::span<const BuiltinDef> table, std::span<const uint16_t> by_name);

    // Id of the first function registered under `name`, or -1.
    int Find(std::string_view name) const;
    int Count() const { return int(records_.size()); }
    int ImplementedCount() const;
    // -100 for an id outside the registry.
    int ArgCount(int id) const;
    std::string Name(int id) const { return records_[size_t(id)].name; }
    BuiltinFn Fn(int id) const { return records_[size_t(id)].fn; }
    // Whether function `id` deliberately only answers (its body is BuiltinOnlyAnswers).
    bool OnlyAnswers(int id) const;
    int OnlyAnswersCount() const;

    // Calls function `id` with `argc` arguments; `result` is set to real 0 first. A function
    // registered without a body reports "Function NAME is not available yet." as a non-fatal
    // run-time error and leaves the result real 0.
    void Call(int id, Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc,
              const RValue* args, RValue& result) const;

private:
    // A family: the id of its first row, its rows and their order by name.
    struct Family {
        int first;
        std::span<const BuiltinDef> rows;
        std::span<const uint16_t> by_name;
    };
    std::vector<BuiltinDef> records_;  // by id
    std::vector<Family> families_;
    // Functions added one at a time: their names, and their first id by name.
    std::deque<std::string> names_;
    std::unordered_map<std::string_view, int> by_name_;
};

// The body of a function that deliberately does nothing and answers real 0: one that has no
// meaning on this system but is kept so that games calling it still run. `korvane info
// --functions` lists these apart from the functions that do something.
void BuiltinOnlyAnswers(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc,
                        const RValue* args, RValue& result);

// Argument unpacking shared by every family.
// Rounds to the nearest integer, ties to even (the processor's default rounding).
int64_t RoundToInt64(double v);
inline double ArgReal(const RValue& v) {
    return v.IsReal() ? v.real : 0.0;
}
inline int32_t ArgInt(const RValue& v) {
    return int32_t(RoundToInt64(ArgReal(v)));
}
inline bool ArgBool(const RValue& v) {
    return ArgReal(v) >= 0.5;
}
inline std::string_view ArgStr(const RValue& v) {
    return v.Str();
}

}  // namespace kr
