// The fused instructions: a multiply-add (and a remainder after it) and the step and test of
// a `for` loop, each emitted before the instructions it runs at once when all are reals.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "code/BuiltinRegistry.h"
#include "code/Lowerer.h"
#include "code/Operators.h"

namespace kr {

// A remainder by an integer of a fused multiply-add's sum, kept in a temporary for it
// alone: the fused form covers the remainder too.
void Lowerer::FuseMulAddMod() {
    size_t n = Here();
    if (n < 4) return;
    Instr& fused = p_.instrs[n - 4];
    const Instr& add = p_.instrs[n - 2];
    const Instr& mod = p_.instrs[n - 1];
    if ((fused.op != OP_MULADD_L && fused.op != OP_MULADD_R) || add.op != OP_ADD_RR ||
        mod.b != add.a || add.a < p_.nlocals)
        return;
    fused.op = uint16_t(fused.op == OP_MULADD_L ? OP_MULADDMOD_L : OP_MULADDMOD_R);
    // The reciprocal of the divisor, worked out once here instead of on every pass.
    SetNum(fused, 1.0 / std::fabs(Num(mod)));
}

// Inserts `op` before the last `count` instructions (none of which is a jump target yet).
void Lowerer::InsertBefore(size_t count, Op op) {
    size_t at = Here() - count;
    p_.instrs.insert(p_.instrs.begin() + ptrdiff_t(at), Instr{uint16_t(op), 0, 0, 0, 0, 0});
    p_.positions.insert(p_.positions.begin() + ptrdiff_t(at), p_.positions[at]);
}

// A product of a temporary and a number that only feeds the addition after it: the pair
// gets the fused form, which keeps the product out of memory.
void Lowerer::FuseMulAdd() {
    size_t n = Here();
    if (n < 2) return;
    const Instr& mul = p_.instrs[n - 2];
    const Instr& add = p_.instrs[n - 1];
    if (mul.op != OP_MUL_RN || add.op != OP_ADD_RR || mul.a < p_.nlocals || add.b == add.c) return;
    if (add.b == mul.a)
        InsertBefore(2, OP_MULADD_L);
    else if (add.c == mul.a)
        InsertBefore(2, OP_MULADD_R);
}

// A comparison of a register with a number (the number in the instruction) that a threshold
// can stand for: <, <=, >= or >.
static bool IsOrderWithNumber(const Instr& i) {
    return i.op == OP_LT_RN || i.op == OP_LE_RN || i.op == OP_GE_RN || i.op == OP_GT_RN;
}

// A read of a built-in variable of self or other without an index.
static bool IsPlainBuiltinRead(const Instr& i) {
    return i.op == OP_GETB && i.c == kNoReg;
}

size_t Lowerer::FuseCondition(size_t start, size_t jump) {
    const std::vector<Instr>& in = p_.instrs;
    if (jump + 1 != Here()) return jump;
    // One side: a built-in read into a register and its comparison with a number, or the
    // comparison of a local with a number. Its comparison's place, and whether it reads a
    // built-in; kNone when the code has another shape.
    constexpr size_t kNone = SIZE_MAX;
    size_t at = start;
    auto side = [&](bool& builtin) -> size_t {
        if (at + 1 < jump && IsPlainBuiltinRead(in[at]) && IsOrderWithNumber(in[at + 1]) &&
            in[at + 1].b == in[at].a) {
            builtin = true;
            at += 2;
            return at - 1;
        }
        if (at < jump && IsOrderWithNumber(in[at]) && in[at].b < p_.nlocals) {
            builtin = false;
            return at++;
        }
        return kNone;
    };
    // The comparison as one test against a threshold: v <= t, or v >= t when `up`.
    auto threshold = [&](size_t cmp, double& t, bool& up) {
        const uint16_t op = in[cmp].op;
        const int32_t tok = op == OP_LT_RN   ? kTokLess
                            : op == OP_LE_RN ? kTokLessEqual
                            : op == OP_GE_RN ? kTokGreaterEqual
                                             : kTokGreater;
        up = op == OP_GE_RN || op == OP_GT_RN;
        return CompareThreshold(tok, Num(in[cmp]), t);
    };
    bool builtin_a = false, builtin_b = false;
    const size_t a = side(builtin_a);
    if (a == kNone) return jump;
    const size_t b = side(builtin_b);
    if (b == kNone || at + 1 != jump) return jump;
    const Instr& join = in[at];
    if ((join.op != OP_LOR_RR && join.op != OP_LAND_RR) || join.b != in[a].a || join.c != in[b].a ||
        in[jump].a != join.a || in[a].a == in[b].a)
        return jump;
    double ta, tb;
    bool up_a, up_b;
    if (!threshold(a, ta, up_a) || !threshold(b, tb, up_b)) return jump;
    const bool jumps_when_true = in[jump].op == OP_JT;
    const Op op = join.op == OP_LOR_RR ? OP_CONDOR : OP_CONDAND;
    InsertBefore(Here() - start, op);
    Instr& f = p_.instrs[start];
    const Instr& get_a = p_.instrs[a];  // the built-in reads, when they are, before the
    const Instr& get_b = p_.instrs[b];  // comparisons (now one place further on)
    const bool same = builtin_a && builtin_b && get_a.d == get_b.d && get_a.e == get_b.e;
    f.a = uint16_t((builtin_a ? 1 : 0) | (builtin_b ? 2 : 0) | (up_a ? 4 : 0) | (up_b ? 8 : 0) |
                   (jumps_when_true ? 16 : 0) | (same ? 32 : 0));
    f.b = uint16_t(a + 1 - start);
    f.c = uint16_t(b + 1 - start);
    SetNum(f, ta);
    // The join's register form leaves its number unused: it keeps B's threshold.
    SetNum(p_.instrs[at + 1], tb);
    return jump + 1;
}

void Lowerer::FuseBuiltinUpdate(size_t start) {
    if (Here() != start + 4) return;
    const Instr& src = p_.instrs[start];
    const Instr& get = p_.instrs[start + 1];
    const Instr& op = p_.instrs[start + 2];
    const Instr& set = p_.instrs[start + 3];
    const bool number = src.op == OP_LOADK && p_.k[size_t(src.d)].IsReal();
    if (!number && !IsPlainBuiltinRead(src)) return;
    if (!IsPlainBuiltinRead(get) || set.op != OP_SETB || set.c != kNoReg || set.d != get.d ||
        set.e != get.e)
        return;
    if ((op.op != OP_ADD_RR && op.op != OP_SUB_RR && op.op != OP_MUL_RR) || op.a != get.a ||
        op.b != get.a || op.c != src.a || op.c == op.b || set.a != op.a)
        return;
    const int32_t kind = op.op == OP_ADD_RR ? 0 : op.op == OP_SUB_RR ? 1 : 2;
    const double k = number ? p_.k[size_t(src.d)].real : 0.0;
    InsertBefore(4, OP_UPDB);
    Instr& f = p_.instrs[start];
    f.a = number ? 1 : 0;
    f.b = uint16_t(kind);
    SetNum(f, k);
}

// Whether a `for` header has the shape of a fused step: `l += number` or `l = l + number`
// on a local l, and a comparison of l with a number or a local.
bool Lowerer::LooksLikeForStep(const RToken& cond, const RToken& step) const {
    auto is_number = [](const RToken& t) { return t.kind == kTokConstant && t.value.IsReal(); };
    if (step.kind != kTokAssign || !IsSimpleLocal(step.children[0])) return false;
    const int32_t l = step.children[0].id;
    const RToken& v = step.children[1];
    const bool adds =
        (step.id == kTokAddAssign && is_number(v)) ||
        (step.id == kTokAssign && v.kind == kNodeBinary && v.id == kTokPlus &&
         IsSimpleLocal(v.children[0]) && v.children[0].id == l && is_number(v.children[1]));
    if (!adds || cond.kind != kNodeBinary || !IsCompareToken(cond.id)) return false;
    const RToken& x = cond.children[0];
    const RToken& y = cond.children[1];
    auto is_l = [&](const RToken& t) { return IsSimpleLocal(t) && t.id == l; };
    auto is_limit = [&](const RToken& t) { return is_number(t) || IsSimpleLocal(t); };
    return (is_l(x) && is_limit(y)) || (is_number(x) && is_l(y));
}

// The placeholder at `at`, the step after it and the test after that: when the step is
// `local += number` and the test compares that local with a number or a register and jumps
// back, the placeholder becomes the fused form; otherwise it stays a no-op.
void Lowerer::FuseForStep(size_t at) {
    if (at + 3 != Here()) return;
    const Instr& inc = p_.instrs[at + 1];
    const Instr& test = p_.instrs[at + 2];
    if (inc.op != OP_ADD_RN || inc.a != inc.b || inc.a >= p_.nlocals || test.a != inc.a) return;
    int rel = int(test.op) - int(OP_JLT_RR_T);
    if (rel < 0 || rel >= 36 || rel % 2 != 0) return;  // jumps when true
    int cmp = rel / 6, form = (rel % 6) / 2;           // KR_COMPARE_OPS order; RR, RK, RN
    static const Op kNumber[] = {OP_FORLT_N, OP_FORLE_N, OP_NOP, OP_NOP, OP_FORGE_N, OP_FORGT_N};
    static const Op kRegister[] = {OP_FORLT_R, OP_FORLE_R, OP_NOP, OP_NOP, OP_FORGE_R, OP_FORGT_R};
    if (form == 2 && int16_t(test.c) < 0)  // the number form counts on a jump back
        p_.instrs[at].op = uint16_t(kNumber[cmp]);
    else if (form == 0)
        p_.instrs[at].op = uint16_t(kRegister[cmp]);
}

bool Lowerer::LooksLikeChoice(const RToken& n) const {
    if (n.children.size() != 3) return false;
    const RToken& cond = n.children[0];
    if (cond.kind != kNodeBinary || !IsCompareToken(cond.id)) return false;
    auto adds = [&](const RToken* t) {
        if (t->kind == kNodeBlock && t->children.size() == 1) t = &t->children[0];
        return t->kind == kTokAssign && (t->id == kTokAddAssign || t->id == kTokSubAssign) &&
               IsSimpleLocal(t->children[0]) && t->children[1].kind == kTokConstant &&
               t->children[1].value.IsReal();
    };
    return adds(&n.children[1]) && adds(&n.children[2]);
}

void Lowerer::FuseChoice(size_t at, size_t else_at) {
    const size_t end = Here();
    if (at + 4 > else_at || else_at >= end || end - else_at > 2) return;
    const Instr& test = p_.instrs[at + 1];
    const int rel = int(test.op) - int(OP_JLT_RR_T);
    // Only the number form that jumps to the else arm when the comparison fails.
    if (rel < 0 || rel >= 36 || rel % 6 != 5) return;
    if (at + 2 + size_t(int16_t(test.c)) != else_at) return;
    const Instr& over = p_.instrs[else_at - 1];
    if (over.op != OP_JMP || else_at + size_t(over.d) != end) return;
    // Each arm: the addition or subtraction of a number on a local, then perhaps SETRES of it.
    const size_t len = end - else_at;
    if (else_at - 1 - (at + 2) != len) return;
    const Instr& yes = p_.instrs[at + 2];
    const Instr& no = p_.instrs[else_at];
    auto fits = [&](const Instr& in) {
        return (in.op == OP_ADD_RN || in.op == OP_SUB_RN) && in.a == in.b && in.a == yes.a &&
               in.a < p_.nlocals && !std::isnan(Num(in));
    };
    if (!fits(yes) || !fits(no)) return;
    if (len == 2) {
        const Instr& r1 = p_.instrs[at + 3];
        const Instr& r2 = p_.instrs[else_at + 1];
        if (r1.op != OP_SETRES || r2.op != OP_SETRES || r1.a != yes.a || r2.a != yes.a) return;
    }
    static const Op kChoice[] = {OP_IFADD_LT, OP_IFADD_LE, OP_IFADD_EQ,
                                 OP_IFADD_NE, OP_IFADD_GE, OP_IFADD_GT};
    Instr& f = p_.instrs[at];
    f.op = uint16_t(kChoice[rel / 6]);
    f.a =
        uint16_t((len == 2 ? 1 : 0) | (yes.op == OP_SUB_RN ? 2 : 0) | (no.op == OP_SUB_RN ? 4 : 0));
    f.b = uint16_t(else_at - at);
    f.c = uint16_t(end - at);
    f.d = int32_t(yes.op);
    f.e = uint32_t(no.op);
}

}  // namespace kr
