// The fused instructions: a multiply-add (and a remainder after it) and the step and test of
// a `for` loop, each emitted before the instructions it runs at once when all are reals.
#include <cmath>
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
