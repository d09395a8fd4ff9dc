#include "code/Operators.h"

#include <malloc.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "code/BuiltinRegistry.h"

namespace kr {

namespace {

int CompareBytes(std::string_view a, std::string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
    if (c != 0) return c < 0 ? -1 : 1;
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace

bool ExactlyEqual(const RValue& a, const RValue& b) {
    if (a.kind != b.kind) return false;
    if (a.IsReal()) return a.real == b.real;
    return a.Str() == b.Str();
}

const char* ApplyUnary(int32_t op, RValue& v) {
    if (!v.IsReal()) return "Wrong type of arguments to unary operator.";
    switch (op) {
        case kTokNot:
            v.real = RealNot(v.real);
            return nullptr;
        case kTokPlus:
            return nullptr;
        case kTokMinus:
            v.real = -v.real;
            return nullptr;
        case kTokBitNot:
            v.real = double(~BitOperand(v.real));
            return nullptr;
        default:
            return "Internal error: unknown unary operator.";
    }
}

namespace {

// Doubles (not NaN) in order as unsigned integers, and back.
uint64_t OrderKey(double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return (u >> 63) ? ~u : (u | 0x8000000000000000ull);
}
double FromOrderKey(uint64_t k) {
    uint64_t u = (k >> 63) ? (k & 0x7FFFFFFFFFFFFFFFull) : ~k;
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

}  // namespace

bool CompareThreshold(int32_t op, double b, double& t) {
    if (!std::isfinite(b)) return false;
    bool (*pass)(double, double);
    switch (op) {
        case kTokLess:
            pass = RealLess;
            break;
        case kTokLessEqual:
            pass = RealLessEqual;
            break;
        case kTokGreaterEqual:
            pass = RealGreaterEqual;
            break;
        case kTokGreater:
            pass = RealGreater;
            break;
        default:
            return false;
    }
    // Binary search over all doubles in order for the last real that passes (less forms) or the
    // first (greater forms).
    const bool up = op == kTokGreater || op == kTokGreaterEqual;
    uint64_t lo = OrderKey(-INFINITY), hi = OrderKey(INFINITY);
    if (up ? !pass(INFINITY, b) : !pass(-INFINITY, b)) return false;
    while (lo < hi) {
        uint64_t mid = up ? lo + (hi - lo) / 2 : lo + (hi - lo + 1) / 2;
        bool p = pass(FromOrderKey(mid), b);
        if (up) {
            if (p)
                hi = mid;
            else
                lo = mid + 1;
        } else {
            if (p)
                lo = mid;
            else
                hi = mid - 1;
        }
    }
    t = FromOrderKey(lo);
    return true;
}

void ConcatInto(RValue& dest, const RValue& left, std::string_view right, bool variable_shares) {
    std::string_view a = left.Str();
    const size_t n = a.size() + right.size();
    const uint32_t owners = variable_shares ? 2 : 1;
    if (&dest == &left && left.rep && left.rep->refs <= owners) {
        StrRep* r = left.rep;
        if (malloc_usable_size(r) < sizeof(StrRep) + n) {
            const size_t want = n + n / 2;
            if (r->refs == 1) {
                auto* grown = static_cast<StrRep*>(std::realloc(r, sizeof(StrRep) + want));
                if (!grown) throw std::bad_alloc();
                r = grown;
                dest.rep = r;
            } else {
                // The variable still points at the old bytes: they move to new storage with
                // room to spare, and the variable lets go of the old when it is written.
                StrRep* grown = StrRep::Alloc(want);
                std::memcpy(grown->data, a.data(), a.size());
                grown->size = uint32_t(a.size());
                dest = RValue::Adopt(grown);
                r = grown;
            }
        }
        std::memcpy(r->data + r->size, right.data(), right.size());
        r->size = uint32_t(n);
        r->data[n] = 0;
        return;
    }
    StrRep* r = StrRep::Alloc(n);
    if (!a.empty()) std::memcpy(r->data, a.data(), a.size());
    std::memcpy(r->data + a.size(), right.data(), right.size());
    dest = RValue::Adopt(r);
}

const char* ApplyBinary(int32_t op, RValue& left, const RValue& right, size_t max_string) {
    const bool reals = left.IsReal() && right.IsReal();
    switch (op) {
        case kTokPlus:
            if (reals) {
                left.real += right.real;
                return nullptr;
            }
            if (left.IsString() && right.IsString()) {
                std::string_view a = left.Str(), b = right.Str();
                if (b.empty()) return nullptr;
                if (a.size() + b.size() > max_string) return "String too long.";
                StrRep* r = StrRep::Alloc(a.size() + b.size());
                if (!a.empty()) std::memcpy(r->data, a.data(), a.size());
                std::memcpy(r->data + a.size(), b.data(), b.size());
                left = RValue::Adopt(r);
                return nullptr;
            }
            return "Wrong type of arguments to +.";
        case kTokMinus:
            if (!reals) return "Wrong type of arguments to -.";
            left.real -= right.real;
            return nullptr;
        case kTokStar:
            if (reals) {
                left.real *= right.real;
                return nullptr;
            }
            if (left.IsReal() && right.IsString()) {
                int32_t n = int32_t(RoundToInt64(left.real));
                std::string_view s = right.Str();
                if (n < 1 || s.empty()) {
                    left = RValue(std::string_view());
                    return nullptr;
                }
                if (size_t(n) > max_string / s.size()) return "String too long.";
                StrRep* r = StrRep::Alloc(size_t(n) * s.size());
                for (int32_t i = 0; i < n; ++i)
                    std::memcpy(r->data + size_t(i) * s.size(), s.data(), s.size());
                left = RValue::Adopt(r);
                return nullptr;
            }
            return "Wrong type of arguments to *.";
        case kTokSlash:
            if (!reals) return "Wrong type of arguments to /.";
            if (right.real == 0) return "Division by 0.";
            left.real /= right.real;
            return nullptr;
        case kTokDiv:
            if (!reals) return "Wrong type of arguments to div.";
            if (right.real == 0) return "Division by 0.";
            left.real = RealDiv(left.real, right.real);
            return nullptr;
        case kTokMod:
            if (!reals) return "Wrong type of arguments to mod.";
            if (right.real == 0) return "Modulo by 0.";
            left.real = RealMod(left.real, right.real);
            return nullptr;
        case kTokAnd:
            if (!reals) return "Wrong type of arguments for &&.";
            left.real = RealAnd(left.real, right.real);
            return nullptr;
        case kTokOr:
            if (!reals) return "Wrong type of arguments for ||.";
            left.real = RealOr(left.real, right.real);
            return nullptr;
        case kTokXor:
            if (!reals) return "Wrong type of arguments for ^^.";
            left.real = RealXor(left.real, right.real);
            return nullptr;
        case kTokBitOr:
            if (!reals) return "Wrong type of arguments for |.";
            left.real = double(BitOperand(left.real) | BitOperand(right.real));
            return nullptr;
        case kTokBitAnd:
            if (!reals) return "Wrong type of arguments for &.";
            left.real = double(BitOperand(left.real) & BitOperand(right.real));
            return nullptr;
        case kTokBitXor:
            if (!reals) return "Wrong type of arguments for ^.";
            left.real = double(BitOperand(left.real) ^ BitOperand(right.real));
            return nullptr;
        case kTokShiftLeft:
            if (!reals) return "Wrong type of arguments for <<.";
            left.real = RealShiftLeft(left.real, right.real);
            return nullptr;
        case kTokShiftRight:
            if (!reals) return "Wrong type of arguments for >>.";
            left.real = RealShiftRight(left.real, right.real);
            return nullptr;
        case kTokAssign:
        case kTokLess:
        case kTokLessEqual:
        case kTokEqual:
        case kTokNotEqual:
        case kTokGreaterEqual:
        case kTokGreater: {
            bool r;
            if (reals) {
                double a = left.real, b = right.real;
                switch (op) {
                    case kTokLess:
                        r = RealLess(a, b);
                        break;
                    case kTokLessEqual:
                        r = RealLessEqual(a, b);
                        break;
                    case kTokNotEqual:
                        r = RealNotEqual(a, b);
                        break;
                    case kTokGreaterEqual:
                        r = RealGreaterEqual(a, b);
                        break;
                    case kTokGreater:
                        r = RealGreater(a, b);
                        break;
                    default:
                        r = RealEqual(a, b);
                        break;
                }
            } else if (left.IsString() && right.IsString()) {
                int d = CompareBytes(left.Str(), right.Str());
                switch (op) {
                    case kTokLess:
                        r = d < 0;
                        break;
                    case kTokLessEqual:
                        r = d <= 0;
                        break;
                    case kTokNotEqual:
                        r = d != 0;
                        break;
                    case kTokGreaterEqual:
                        r = d >= 0;
                        break;
                    case kTokGreater:
                        r = d > 0;
                        break;
                    default:
                        r = d == 0;
                        break;
                }
            } else {
                return "Cannot compare arguments.";
            }
            left.SetReal(r ? 1.0 : 0.0);
            return nullptr;
        }
        default:
            return "Internal error: unknown binary operator.";
    }
}

}  // namespace kr
