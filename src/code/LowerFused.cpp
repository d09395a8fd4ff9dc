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
    if (form == 2)
        p_.instrs[at].op = uint16_t(kNumber[cmp]);
    else if (form == 0)
        p_.instrs[at].op = uint16_t(kRegister[cmp]);
}

}  // namespace kr
