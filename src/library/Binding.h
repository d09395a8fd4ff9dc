// Built-in bodies bound by their own C++ signature. A family whose functions are a handle lookup,
// a few argument conversions and one call writes only the call, as a plain function:
//
//     static RValue fn_ds_list_find_value(DsList& list, int64_t pos) { return list.At(pos); }
//     {"ds_list_find_value", BindHandle<DsLookup, fn_ds_list_find_value>, 2},
//
// The binding reads the signature: the first parameter is the object that the first argument
// names (found by the family's lookup, which reports a missing one: the body is then not
// called); each further parameter takes the next argument, converted by its type; a `Runtime&`
// before the object takes the runtime and no argument. The return value becomes the result.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "code/BuiltinRegistry.h"
#include "code/Operators.h"

namespace kr {

// How an argument reaches a parameter of each type. Integers are rounded to the nearest, ties
// to even (int64_t: handles, positions and cells; int32_t: as ArgInt); a boolean is true from
// 0.5; a string_view is the text of a string; an RValue comes as it is.
template <class T>
struct BoundArg;
template <>
struct BoundArg<int64_t> {
    static int64_t Get(const RValue& v) {
        double d = ArgReal(v);
        return std::fabs(d) < 4503599627370496.0 ? FastRound(d) : RoundToInt64(d);
    }
};
template <>
struct BoundArg<int32_t> {
    static int32_t Get(const RValue& v) { return ArgInt(v); }
};
template <>
struct BoundArg<double> {
    static double Get(const RValue& v) { return ArgReal(v); }
};
template <>
struct BoundArg<bool> {
    static bool Get(const RValue& v) { return ArgBool(v); }
};
template <>
struct BoundArg<std::string_view> {
    static std::string_view Get(const RValue& v) { return ArgStr(v); }
};
template <>
struct BoundArg<const RValue&> {
    static const RValue& Get(const RValue& v) { return v; }
};

// What a body returns becomes the result: an RValue as it is, a number as a real, an empty
// optional leaves the result alone, void sets nothing.
template <class R>
inline void SetBoundResult(RValue& result, R&& value) {
    using T = std::remove_cvref_t<R>;
    if constexpr (std::is_same_v<T, RValue>)
        result = std::forward<R>(value);
    else if constexpr (std::is_same_v<T, std::optional<RValue>>) {
        if (value) result = std::move(*value);
    } else
        result.SetReal(double(value));
}

namespace binding {

template <class F>
struct Signature;
// R body(Object&, Args...)
template <class R, class O, class... A>
struct Signature<R (*)(O&, A...)> {
    using Result = R;
    using Object = O;
    static constexpr bool kTakesRuntime = false;
    template <size_t... I>
    static R Call(R (*body)(O&, A...), Runtime&, O& object, const RValue* args,
                  std::index_sequence<I...>) {
        // Braces convert the arguments from left to right.
        std::tuple<A...> converted{BoundArg<A>::Get(args[I + 1])...};
        return body(object, std::get<I>(converted)...);
    }
};
// R body(Runtime&, Object&, Args...)
template <class R, class O, class... A>
struct Signature<R (*)(Runtime&, O&, A...)> {
    using Result = R;
    using Object = O;
    static constexpr bool kTakesRuntime = true;
    template <size_t... I>
    static R Call(R (*body)(Runtime&, O&, A...), Runtime& rt, O& object, const RValue* args,
                  std::index_sequence<I...>) {
        std::tuple<A...> converted{BoundArg<A>::Get(args[I + 1])...};
        return body(rt, object, std::get<I>(converted)...);
    }
};

template <class F>
struct Arity;
template <class R, class O, class... A>
struct Arity<R (*)(O&, A...)> : std::integral_constant<size_t, sizeof...(A)> {};
template <class R, class O, class... A>
struct Arity<R (*)(Runtime&, O&, A...)> : std::integral_constant<size_t, sizeof...(A)> {};

}  // namespace binding

// The built-in function of `Body`: `Lookup::Find<Object>(rt, args[0])` gives the object or null
// (having reported why), then the body runs on it with the other arguments.
template <class Lookup, auto Body>
void BindHandle(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                RValue& result) {
    using Sig = binding::Signature<decltype(Body)>;
    using Object = typename Sig::Object;
    Object* object = Lookup::template Find<Object>(rt, args[0]);
    if (!object) return;
    constexpr size_t n = binding::Arity<decltype(Body)>::value;
    if constexpr (std::is_void_v<typename Sig::Result>)
        Sig::Call(Body, rt, *object, args, std::make_index_sequence<n>{});
    else
        SetBoundResult(result, Sig::Call(Body, rt, *object, args, std::make_index_sequence<n>{}));
}

}  // namespace kr
