// RValue: the value of the script language, a 64-bit real or a byte string.
//
// A value is 16 bytes. Reals copy as plain data; strings are immutable, reference-counted byte
// buffers shared between copies, so passing and storing a string never copies its bytes. The
// runner is single-threaded, so the count is a plain integer.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

namespace kr {

// Shared string storage: one allocation holding the count, the length and the bytes.
struct StrRep {
    uint32_t refs;
    uint32_t size;
    char data[1];

    static StrRep* Make(std::string_view s) {
        if (s.empty()) return nullptr;
        auto* r = static_cast<StrRep*>(std::malloc(sizeof(StrRep) + s.size()));
        if (!r) throw std::bad_alloc();
        r->refs = 1;
        r->size = uint32_t(s.size());
        std::memcpy(r->data, s.data(), s.size());
        r->data[s.size()] = 0;
        return r;
    }
    // Storage for n bytes that the caller fills before sharing it.
    static StrRep* Alloc(size_t n) {
        auto* r = static_cast<StrRep*>(std::malloc(sizeof(StrRep) + n));
        if (!r) throw std::bad_alloc();
        r->refs = 1;
        r->size = uint32_t(n);
        r->data[n] = 0;
        return r;
    }
    static void Retain(StrRep* r) {
        if (r) ++r->refs;
    }
    static void Release(StrRep* r) {
        if (r && --r->refs == 0) std::free(r);
    }
};

struct RValue {
    enum Kind : int32_t { kReal = 0, kString = 1 };

    Kind kind = kReal;
    union {
        double real = 0.0;
        StrRep* rep;  // nullptr is the empty string
    };

    RValue() = default;
    RValue(double v) : kind(kReal), real(v) {}  // NOLINT: reals convert implicitly
    explicit RValue(std::string_view s) : kind(kString), rep(StrRep::Make(s)) {}
    explicit RValue(const char* s) : RValue(std::string_view(s)) {}
    explicit RValue(const std::string& s) : RValue(std::string_view(s)) {}

    RValue(const RValue& o) : kind(o.kind) {
        if (kind == kString) {
            rep = o.rep;
            StrRep::Retain(rep);
        } else {
            real = o.real;
        }
    }
    RValue(RValue&& o) noexcept : kind(o.kind) {
        if (kind == kString) {
            rep = o.rep;
            o.kind = kReal;
            o.real = 0.0;
        } else {
            real = o.real;
        }
    }
    RValue& operator=(const RValue& o) {
        if (this == &o) return *this;
        if (o.kind == kString) StrRep::Retain(o.rep);
        if (kind == kString) StrRep::Release(rep);
        kind = o.kind;
        if (kind == kString)
            rep = o.rep;
        else
            real = o.real;
        return *this;
    }
    RValue& operator=(RValue&& o) noexcept {
        if (this == &o) return *this;
        if (kind == kString) StrRep::Release(rep);
        kind = o.kind;
        if (kind == kString) {
            rep = o.rep;
            o.kind = kReal;
            o.real = 0.0;
        } else {
            real = o.real;
        }
        return *this;
    }
    ~RValue() {
        if (kind == kString) StrRep::Release(rep);
    }

    static RValue Real(double v) { return RValue(v); }
    static RValue String(std::string_view s) { return RValue(s); }
    // Takes over a filled StrRep (count 1) without copying.
    static RValue Adopt(StrRep* r) {
        RValue v;
        v.kind = kString;
        v.rep = r;
        return v;
    }

    bool IsReal() const { return kind == kReal; }
    bool IsString() const { return kind == kString; }

    void SetReal(double v) {
        if (kind == kString) StrRep::Release(rep);
        kind = kReal;
        real = v;
    }
    void SetString(std::string_view s) { *this = RValue(s); }

    // The bytes of a string value; the empty view for reals.
    std::string_view Str() const {
        if (kind != kString || !rep) return {};
        return std::string_view(rep->data, rep->size);
    }
    std::string StdStr() const { return std::string(Str()); }
};

static_assert(sizeof(RValue) == 16, "RValue must stay two words");

}  // namespace kr
