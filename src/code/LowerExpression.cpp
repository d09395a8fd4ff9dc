// Lowering of expressions: operands, binary operators, calls and variable reads and writes.
#include <cstring>
#include <string>
#include <vector>

#include "code/BuiltinRegistry.h"
#include "code/Lowerer.h"
#include "code/Operators.h"

namespace kr {

// --- expressions ---
// The value of `n` as an operand: a constant, a local register read in place, or a temp.
Lowerer::Operand Lowerer::Value(const RToken& n) {
    Operand o;
    o.pos = n.position;
    if (n.kind == kTokConstant) {
        o.is_k = true;
        o.k = Constant(n.value);
        return o;
    }
    if (IsSimpleLocal(n)) {
        o.reg = local_of_[n.id];
        o.is_local = true;
        return o;
    }
    if (uint16_t r = ArgRegister(n); r != kNoReg) {
        o.reg = r;
        return o;
    }
    o.reg = Temp();
    ExprTo(n, o.reg);
    return o;
}

// The value of `n` in a register that is not an unset local (constants are loaded).
Lowerer::Operand Lowerer::ValueInRegister(const RToken& n) {
    Operand o = Value(n);
    if (o.is_k) {
        uint16_t r = Temp();
        Emit(OP_LOADK, n.position).a = r;
        p_.instrs.back().d = int32_t(o.k);
        o.is_k = false;
        o.reg = r;
    }
    return o;
}

// The value of `n` in a fresh temporary.
uint16_t Lowerer::ValueInTemp(const RToken& n) {
    uint16_t r = Temp();
    ExprTo(n, r);
    return r;
}

void Lowerer::ExprTo(const RToken& n, uint16_t dest) {
    if (failed_) return;
    switch (n.kind) {
        case kTokConstant: {
            Instr& i = Emit(OP_LOADK, n.position);
            i.a = dest;
            i.d = int32_t(Constant(n.value));
            return;
        }
        case kTokSimpleVariable:
        case kTokVariable:
            ReadVariable(n, dest);
            return;
        case kTokFunction:
            Call(n, dest);
            return;
        case kNodeUnary: {
            uint32_t mark = free_;
            Operand v = ValueInRegister(n.children[0]);
            Op op = n.id == kTokNot      ? OP_NOT
                    : n.id == kTokMinus  ? OP_NEG
                    : n.id == kTokBitNot ? OP_BNOT
                                         : OP_UPLUS;
            Instr& i = Emit(op, n.position);
            i.a = dest;
            i.b = v.reg;
            if (v.is_local) pos_back().pos_b = v.pos;
            free_ = mark;
            return;
        }
        case kNodeBinary: {
            uint32_t mark = free_;
            const RToken& l = n.children[0];
            const RToken& r = n.children[1];
            Operand a = Value(l);
            // Reading an unset local fails before the right operand is evaluated.
            if (a.is_local && !IsTrivial(r)) {
                Emit(OP_CHKL, l.position).a = a.reg;
                pos_back().pos_b = l.position;
            }
            Operand b = Value(r);
            EmitBinary(n.id, dest, a, b, n.position);
            free_ = mark;
            return;
        }
        default: {
            Emit(OP_ERROR, n.position).d = kMsgSubExpressionExpected;
            return;
        }
    }
}

Lowerer::Operand Lowerer::LoadConstant(Operand o) {
    uint16_t r = Temp();
    Emit(OP_LOADK, o.pos).a = r;
    p_.instrs.back().d = int32_t(o.k);
    return Operand{false, 0, r, false, o.pos};
}

void Lowerer::EmitBinary(int32_t tok, uint16_t dest, Operand a, Operand b, int32_t pos) {
    int bi = BinaryIndex(tok);
    if (bi < 0) {
        Fail("Internal error: unknown binary operator.");
        return;
    }
    if (a.is_k && b.is_k) {
        uint16_t r = Temp();
        Emit(OP_LOADK, pos).a = r;
        p_.instrs.back().d = int32_t(a.k);
        a.is_k = false;
        a.reg = r;
    }
    // String constants go through a register; real constants stay in the instruction.
    if (a.is_k && !p_.k[a.k].IsReal()) a = LoadConstant(a);
    if (b.is_k && !p_.k[b.k].IsReal()) b = LoadConstant(b);
    Op base = Op(OP_ADD_RR + 3 * bi);
    Instr* i;
    if (!a.is_k && !b.is_k) {
        i = &Emit(base, pos);
        i->b = a.reg;
        i->c = b.reg;
    } else if (b.is_k) {
        const double k = p_.k[b.k].real;
        i = &Emit(base == OP_MOD_RR && IsModDivisor(k) ? OP_MOD_RI : Op(base + 1), pos);
        i->b = a.reg;
        SetNum(*i, k);
    } else {
        i = &Emit(Op(base + 2), pos);
        i->c = b.reg;
        SetNum(*i, p_.k[a.k].real);
    }
    i->a = dest;
    if (a.is_local) pos_back().pos_b = a.pos;
    if (b.is_local) pos_back().pos_c = b.pos;
    if (base == OP_ADD_RR) FuseMulAdd();
    if (p_.instrs.back().op == OP_MOD_RI) FuseMulAddMod();
}

// call -> the arguments in consecutive temporaries, then one call instruction.
void Lowerer::Call(const RToken& n, uint16_t dest) {
    uint32_t mark = free_;
    uint16_t base = uint16_t(free_);
    Reserve(free_ + kArgCount);
    for (const RToken& a : n.children) {
        uint16_t r = Temp();
        ExprTo(a, r);
    }
    Op op = n.id >= kExtensionIdBase ? OP_CALLX : n.id >= kScriptIdBase ? OP_CALLS : OP_CALLB;
    Instr& i = Emit(op, n.position);
    i.a = dest;
    i.b = base;
    i.c = uint16_t(n.children.size());
    i.d = n.id >= kExtensionIdBase ? n.id - kExtensionIdBase
          : n.id >= kScriptIdBase  ? n.id - kScriptIdBase
                                   : n.id;
    free_ = mark;
}

// Evaluates the owner and the indexes of a variable node, in source order.
Lowerer::Target Lowerer::Resolve(const RToken& n) {
    Target t;
    t.id = n.id;
    t.pos = n.position;
    if (n.kind == kTokSimpleVariable) {
        t.owner = n.owner;
        return t;
    }
    const RToken& o = n.children[0];
    if (o.kind == kTokConstant && o.value.IsReal()) {
        t.owner = int32_t(RoundToInt64(o.value.real));
    } else {
        t.fixed_owner = false;
        t.owner_reg = ValueInTemp(o);
        Emit(OP_OWNER, o.position).a = t.owner_reg;
        p_.instrs.back().b = t.owner_reg;
    }
    if (n.children.size() > 2 && IsTrivial(n.children[2])) {
        // Two indexes, the second without code of its own: one instruction checks both
        // (in the same order as two would), reading locals in place.
        Operand i = ValueInRegister(n.children[1]);
        Operand j = ValueInRegister(n.children[2]);
        t.index_reg = Temp();
        Instr& x = Emit(OP_IDXRR, n.children[1].position);
        x.a = t.index_reg;
        x.b = i.reg;
        x.c = j.reg;
        pos_back().pos_b = n.children[1].position;
        pos_back().pos_c = n.children[2].position;
    } else if (n.children.size() > 1) {
        Operand i = ValueInRegister(n.children[1]);
        t.index_reg = IsTrivial(n.children[1]) ? Temp() : i.reg;  // never overwrite a local
        Instr& x = Emit(OP_IDX1, n.children[1].position);
        x.a = t.index_reg;
        x.b = i.reg;
        if (n.children.size() > 2) {
            Operand j = ValueInRegister(n.children[2]);
            Instr& y = Emit(OP_IDX2, n.children[2].position);
            y.a = t.index_reg;
            y.b = j.reg;
        }
    }
    return t;
}

void Lowerer::ReadVariable(const RToken& n, uint16_t dest) {
    uint32_t mark = free_;
    Target t = Resolve(n);
    EmitRead(t, dest);
    free_ = mark;
}

void Lowerer::EmitRead(const Target& t, uint16_t dest) {
    Instr* i;
    if (t.fixed_owner && t.owner == kOwnerLocal && local_of_.count(t.id)) {
        uint16_t l = local_of_[t.id];
        if (t.index_reg == kNoReg) {
            i = &Emit(OP_MOVE, t.pos);
            i->b = l;
            pos_back().pos_b = t.pos;
        } else {
            i = &Emit(OP_GETLA, t.pos);
            i->b = l;
            i->c = t.index_reg;
        }
        i->a = dest;
        // Two indexes checked by one instruction just before: the pair gets the fused form,
        // which finds the element by row and column without the flat index.
        const size_t n = Here();
        if (i->op == OP_GETLA && p_.instrs[n - 2].op == OP_IDXRR && p_.instrs[n - 2].a == i->c)
            InsertBefore(2, OP_IDXGETLA);
        return;
    }
    if (t.fixed_owner && t.id < kBuiltinVariableLimit &&
        (t.owner == kOwnerUnwritten || t.owner == kOwnerSelf || t.owner == kOwnerOther)) {
        int arg = ArgumentVariable(t.id);
        if (arg == -2) {
            i = &Emit(t.index_reg == kNoReg ? OP_GETARG : OP_GETARGX, t.pos);
            i->c = t.index_reg;
        } else if (arg >= 0 && arg_reg_[arg] != kNoReg) {
            i = &Emit(OP_MOVE, t.pos);
            i->b = arg_reg_[arg];
        } else if (arg >= 0) {
            i = &Emit(OP_GETARG, t.pos);
            i->d = arg;
        } else {
            i = &Emit(OP_GETB, t.pos);
            i->c = t.index_reg;
            i->d = t.id;
            i->e = t.owner == kOwnerOther ? 1 : 0;
        }
        i->a = dest;
        return;
    }
    if (t.fixed_owner && t.id >= kFirstUserVariable &&
        (t.owner == kOwnerUnwritten || t.owner == kOwnerSelf || t.owner == kOwnerGlobal)) {
        i = &Emit(t.owner == kOwnerUnwritten ? OP_GETV_IMPL
                  : t.owner == kOwnerSelf    ? OP_GETV_SELF
                                             : OP_GETV_GLOBAL,
                  t.pos);
    } else {
        i = &Emit(OP_GETVX, t.pos);
        i->b = t.owner_reg;
        i->e = uint32_t(t.owner);
    }
    i->a = dest;
    i->c = t.index_reg;
    i->d = t.id;
}

// Stores register `value` (possibly an unset local) into a resolved target.
void Lowerer::EmitWrite(const Target& t, Operand value) {
    Instr* i;
    if (t.fixed_owner && t.owner == kOwnerLocal && local_of_.count(t.id)) {
        uint16_t l = local_of_[t.id];
        if (t.index_reg == kNoReg) {
            i = &Emit(OP_MOVE, t.pos);
            i->a = l;
            i->b = value.reg;
        } else {
            i = &Emit(OP_SETLA, t.pos);
            i->a = value.reg;
            i->b = l;
            i->c = t.index_reg;
        }
        if (value.is_local) pos_back().pos_b = value.pos;
        return;
    }
    if (t.fixed_owner && t.id < kBuiltinVariableLimit &&
        (t.owner == kOwnerUnwritten || t.owner == kOwnerSelf || t.owner == kOwnerOther)) {
        int arg = ArgumentVariable(t.id);
        if (arg == -2) {
            i = &Emit(t.index_reg == kNoReg ? OP_SETARG : OP_SETARGX, t.pos);
            i->c = t.index_reg;
        } else if (arg >= 0) {
            i = &Emit(OP_SETARG, t.pos);
            i->d = arg;
        } else {
            i = &Emit(OP_SETB, t.pos);
            i->c = t.index_reg;
            i->d = t.id;
            i->e = t.owner == kOwnerOther ? 1 : 0;
        }
        i->a = value.reg;
        if (value.is_local) pos_back().pos_b = value.pos;
        return;
    }
    if (t.fixed_owner && t.id >= kFirstUserVariable &&
        (t.owner == kOwnerUnwritten || t.owner == kOwnerSelf || t.owner == kOwnerGlobal)) {
        i = &Emit(t.owner == kOwnerUnwritten ? OP_SETV_IMPL
                  : t.owner == kOwnerSelf    ? OP_SETV_SELF
                                             : OP_SETV_GLOBAL,
                  t.pos);
    } else {
        i = &Emit(OP_SETVX, t.pos);
        i->b = t.owner_reg;
        i->e = uint32_t(t.owner);
    }
    i->a = value.reg;
    i->c = t.index_reg;
    i->d = t.id;
    if (value.is_local) pos_back().pos_b = value.pos;
}

}  // namespace kr
