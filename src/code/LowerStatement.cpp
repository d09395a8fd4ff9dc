// Lowering of statements: control flow with the completion-code rules of the tree walk,
// conditions, assignments and switch.
#include <cstring>
#include <string>
#include <vector>

#include "code/BuiltinRegistry.h"
#include "code/Lowerer.h"
#include "code/Operators.h"

namespace kr {

// --- statements ---
void Lowerer::Statement(const RToken& n, bool store) {
    if (failed_) return;
    uint32_t mark = free_;
    if (n.kind != kNodeBlock && n.kind != kNodeEmpty && n.kind != kNodeEmptyProgram) {
        // A statement that starts where the one around it starts (the first statement of a
        // for header) is the finer place to stop.
        const uint32_t at = uint32_t(Here());
        if (!p_.statements.empty() && p_.statements.back().at == at)
            p_.statements.back().pos = n.position;
        else
            p_.statements.push_back({at, n.position});
    }
    switch (n.kind) {
        case kNodeBlock:
            for (const RToken& c : n.children) Statement(c, store);
            break;
        case kTokAssign:
            Assignment(n, store);
            break;
        case kTokFunction: {
            uint16_t r = Temp();
            Call(n, r);
            if (store) Emit(OP_SETRES, n.position).a = r;
            break;
        }
        case kTokIf: {
            // Arms that each add a number to one local get a fused form in front of them.
            const size_t at = Here();
            const bool choice = LooksLikeChoice(n);
            if (choice) Emit(OP_NOP, n.position);
            size_t skip = CondJump(n.children[0], false, kMsgExpressionExpected);
            Statement(n.children[1], store);
            if (n.children.size() > 2) {
                size_t over = EmitJump(OP_JMP, n.position);
                PatchHere(skip);
                Statement(n.children[2], store);
                PatchHere(over);
                if (choice) FuseChoice(at, over + 1);
            } else {
                PatchHere(skip);
            }
            break;
        }
        case kTokWhile: {
            size_t to_cond = EmitJump(OP_JMP, n.position);
            size_t body = Here();
            ctx_.push_back(Ctx{kLoop, {}, {}, 0});
            Statement(n.children[1], store);
            size_t cond = Here();
            PatchHere(to_cond);
            size_t back = CondJump(n.children[0], true, kMsgBooleanExpected);
            PatchTo(back, body);
            CloseLoop(cond);
            break;
        }
        case kTokDo: {
            size_t body = Here();
            ctx_.push_back(Ctx{kLoop, {}, {}, 0});
            Statement(n.children[0], store);
            size_t cond = Here();
            size_t back = CondJump(n.children[1], false, kMsgBooleanExpected);
            PatchTo(back, body);
            CloseLoop(cond);
            break;
        }
        case kTokFor: {
            // The header's statements work on a scratch value, never on the result.
            ctx_.push_back(Ctx{kHeader, {}, {}, 0});
            Statement(n.children[0], false);
            ctx_.pop_back();
            size_t to_cond = EmitJump(OP_JMP, n.position);
            size_t body = Here();
            ctx_.push_back(Ctx{kLoop, {}, {}, 0});
            Statement(n.children[3], store);
            Ctx loop = std::move(ctx_.back());
            ctx_.pop_back();
            size_t step = Here();
            // A step that adds a number to a local and a test of that local get a fused
            // form in front of them (a placeholder until both are known to fit).
            const bool fusable = LooksLikeForStep(n.children[1], n.children[2]);
            if (fusable) Emit(OP_NOP, n.position);
            ctx_.push_back(Ctx{kHeader, {}, {}, 0});
            Statement(n.children[2], false);
            ctx_.pop_back();
            PatchHere(to_cond);
            size_t back = CondJump(n.children[1], true, kMsgExpressionExpected);
            PatchTo(back, body);
            if (fusable) FuseForStep(step);
            for (size_t j : loop.continues) PatchTo(j, step);
            for (size_t j : loop.breaks) PatchHere(j);
            break;
        }
        case kTokRepeat: {
            uint16_t count = ValueInTemp(n.children[0]);
            Emit(OP_REPINIT, n.children[0].position).a = count;
            size_t to_test = EmitJump(OP_JMP, n.position);
            size_t body = Here();
            ctx_.push_back(Ctx{kLoop, {}, {}, 0});
            Statement(n.children[1], store);
            size_t test = Here();
            PatchHere(to_test);
            Emit(OP_REPLOOP, n.position).a = count;
            PatchTo(Here() - 1, body);
            CloseLoop(test);
            break;
        }
        case kTokWith: {
            uint16_t owner = ValueInTemp(n.children[0]);
            uint16_t slot = uint16_t(with_depth_++);
            if (uint32_t(with_depth_) > p_.nwith) p_.nwith = uint32_t(with_depth_);
            size_t begin = EmitJump(OP_WITHBEGIN, n.children[0].position);
            p_.instrs[begin].a = owner;
            p_.instrs[begin].b = slot;
            size_t body = Here();
            ctx_.push_back(Ctx{kWith, {}, {}, slot});
            Statement(n.children[1], store);
            Ctx w = std::move(ctx_.back());
            ctx_.pop_back();
            size_t next = Here();
            Emit(OP_WITHNEXT, n.position).b = slot;
            PatchTo(next, body);
            for (size_t j : w.continues) PatchTo(j, next);
            for (size_t j : w.breaks) PatchHere(j);
            PatchHere(begin);
            --with_depth_;
            break;
        }
        case kTokSwitch:
            Switch(n, store);
            break;
        case kTokReturn: {
            Operand v = ValueInRegisterOrLocal(n.children[0]);
            Emit(OP_RETV, n.position).a = v.reg;
            if (v.is_local) pos_back().pos_b = v.pos;
            break;
        }
        case kTokExit:
            Emit(OP_RET, n.position);
            break;
        case kTokBreak:
        case kTokContinue:
            Abrupt(n.kind == kTokBreak, n.position);
            break;
        case kTokVar:
            break;
        case kTokGlobalVar:
            for (const RToken& c : n.children) Emit(OP_GLOBALVAR, c.position).d = c.id;
            break;
        case kTokCase:
            Emit(OP_ERROR, n.position).d = kMsgCaseOutsideSwitch;
            break;
        case kTokDefault:
            Emit(OP_ERROR, n.position).d = kMsgDefaultOutsideSwitch;
            break;
        default:
            Emit(OP_ERROR, n.position).d = kMsgStatementExpected;
            break;
    }
    free_ = mark;
}

void Lowerer::CloseLoop(size_t continue_target) {
    Ctx loop = std::move(ctx_.back());
    ctx_.pop_back();
    for (size_t j : loop.continues) PatchTo(j, continue_target);
    for (size_t j : loop.breaks) PatchHere(j);
}

// break / continue: the jumps their completion codes take through the enclosing
// statements. A `with` decides at run time: with several targets `break` ends it, with a
// single target the code goes on outwards.
void Lowerer::Abrupt(bool is_break, int32_t pos) {
    for (size_t k = ctx_.size(); k-- > 0;) {
        Ctx& c = ctx_[k];
        switch (c.kind) {
            case kLoop:
                (is_break ? c.breaks : c.continues).push_back(EmitJump(OP_JMP, pos));
                return;
            case kSwitch:
                if (is_break) {
                    c.breaks.push_back(EmitJump(OP_JMP, pos));
                    return;
                }
                break;
            case kWith:
                if (!is_break) {
                    c.continues.push_back(EmitJump(OP_JMP, pos));
                    return;
                }
                c.breaks.push_back(EmitJump(OP_WITHBREAK, pos));
                p_.instrs.back().b = c.with_slot;
                break;
            case kHeader:
                break;
        }
    }
    Emit(OP_RET, pos);  // reaching the top ends the code like exit
}

// Jumps (to be patched) when the condition's truth equals `when`.
size_t Lowerer::CondJump(const RToken& cond, bool when, int32_t message) {
    uint32_t mark = free_;
    size_t at;
    if (cond.kind == kNodeBinary && IsCompareToken(cond.id)) {
        const RToken* l = &cond.children[0];
        const RToken* r = &cond.children[1];
        int32_t op = cond.id;
        if (l->kind == kTokConstant && r->kind != kTokConstant) {
            std::swap(l, r);
            op = SwappedCompare(op);
        }
        Operand a = ValueInRegister(*l);
        if (a.is_local && !IsTrivial(*r)) {
            Emit(OP_CHKL, l->position).a = a.reg;
            pos_back().pos_b = l->position;
        }
        Operand b = Value(*r);
        if (b.is_k && b.k > 0xFFFF) {
            uint16_t t = Temp();
            Emit(OP_LOADK, cond.position).a = t;
            p_.instrs.back().d = int32_t(b.k);
            b.is_k = false;
            b.reg = t;
        }
        int ci = CompareIndex(op);
        Op base = Op(OP_JLT_RR_T + 6 * ci);
        // The number forms of <, <=, >=, > test against a threshold instead.
        double number = b.is_k && p_.k[b.k].IsReal() ? p_.k[b.k].real : 0.0;
        const int32_t tok = op == kTokAssign ? kTokEqual : op;
        bool num =
            b.is_k && p_.k[b.k].IsReal() &&
            (tok == kTokEqual || tok == kTokNotEqual || CompareThreshold(tok, number, number));
        Op o = Op(base + (num ? 4 : b.is_k ? 2 : 0) + (when ? 0 : 1));
        at = EmitJump(o, cond.position);
        Instr& i = p_.instrs[at];
        i.a = a.reg;
        if (num) {
            SetNum(i, number);
        } else if (b.is_k) {
            i.c = uint16_t(b.k);
        } else {
            i.b = b.reg;
        }
        if (a.is_local) p_.positions[at].pos_b = a.pos;
        if (b.is_local) p_.positions[at].pos_c = b.pos;
    } else {
        const size_t start = Here();
        Operand v = ValueInRegister(cond);
        at = EmitJump(when ? OP_JT : OP_JF, cond.position);
        p_.instrs[at].a = v.reg;
        p_.instrs[at].c = uint16_t(message);
        if (v.is_local) p_.positions[at].pos_b = v.pos;
        if (cond.kind == kNodeBinary && (cond.id == kTokOr || cond.id == kTokAnd))
            at = FuseCondition(start, at);
    }
    free_ = mark;
    return at;
}

void Lowerer::Assignment(const RToken& n, bool store) {
    const RToken& target = n.children[0];
    const RToken& value = n.children[1];
    const int32_t op = n.id;
    const bool plain = op == kTokAssign;
    if (IsSimpleLocal(target)) {
        uint16_t l = local_of_[target.id];
        if (plain) {
            ExprTo(value, l);
        } else {
            Operand self{false, 0, l, true, target.position};
            uint32_t mark = free_;
            Operand v = Value(value);
            EmitBinary(CompoundToBinary(op), l, self, v, n.position);
            free_ = mark;
        }
        if (store) Emit(OP_SETRES, n.position).a = l;
        return;
    }
    const size_t start = Here();
    Target t = Resolve(target);
    Operand v = Value(value);
    if (v.is_local) {
        // A local read in place may be unset: the move reports it (or reads 0) before the
        // write, so no variable or result ever holds the unset mark.
        uint16_t r = Temp();
        Emit(OP_MOVE, value.position).a = r;
        p_.instrs.back().b = v.reg;
        pos_back().pos_b = v.pos;
        v = Operand{false, 0, r, false, value.position};
    } else if (v.is_k) {
        uint16_t r = Temp();
        Emit(OP_LOADK, value.position).a = r;
        p_.instrs.back().d = int32_t(v.k);
        v = Operand{false, 0, r, false, value.position};
    }
    if (!plain) {
        uint16_t cur = Temp();
        EmitRead(t, cur);
        Operand c{false, 0, cur, false, target.position};
        EmitBinary(CompoundToBinary(op), cur, c, v, n.position);
        Instr& add = p_.instrs.back();
        if (add.op == OP_ADD_RR && add.b == cur && t.fixed_owner && t.id >= kFirstUserVariable &&
            (t.owner == kOwnerUnwritten || t.owner == kOwnerSelf || t.owner == kOwnerGlobal))
            add.e = kAppendToVariable;
        v = c;
    }
    EmitWrite(t, v);
    if (!plain && !store) FuseBuiltinUpdate(start);
    if (store) {
        Emit(OP_SETRES, n.position).a = v.reg;
        if (v.is_local) pos_back().pos_b = v.pos;
    }
}

// switch: the scan over the labels that are direct children (up to the first default),
// then the body with the labels as jump targets.
void Lowerer::Switch(const RToken& n, bool store) {
    uint16_t x = ValueInTemp(n.children[0]);
    std::vector<std::pair<size_t, size_t>> label_jumps;  // (jump, child index)
    bool has_default = false;
    for (size_t i = 1; i < n.children.size() && !failed_; ++i) {
        const RToken& c = n.children[i];
        if (c.kind == kTokDefault) {
            label_jumps.emplace_back(EmitJump(OP_JMP, c.position), i);
            has_default = true;
            break;
        }
        if (c.kind != kTokCase) continue;
        uint32_t mark = free_;
        size_t j;
        if (c.children[0].kind == kTokConstant) {
            uint32_t k = Constant(c.children[0].value);
            j = EmitJump(OP_SWEQ, c.position);
            p_.instrs[j].b = kNoReg;
            p_.instrs[j].e = k;
        } else {
            uint16_t v = ValueInTemp(c.children[0]);
            j = EmitJump(OP_SWEQ, c.position);
            p_.instrs[j].b = v;
        }
        p_.instrs[j].a = x;
        label_jumps.emplace_back(j, i);
        free_ = mark;
    }
    size_t no_match = has_default ? 0 : EmitJump(OP_JMP, n.position);
    ctx_.push_back(Ctx{kSwitch, {}, {}, 0});
    std::vector<size_t> label_at(n.children.size(), 0);
    for (size_t i = 1; i < n.children.size() && !failed_; ++i) {
        const RToken& c = n.children[i];
        if (c.kind == kTokCase || c.kind == kTokDefault) {
            label_at[i] = Here();
            continue;
        }
        Statement(c, store);
    }
    Ctx sw = std::move(ctx_.back());
    ctx_.pop_back();
    for (auto [j, i] : label_jumps) PatchTo(j, label_at[i]);
    if (!has_default) PatchHere(no_match);
    for (size_t j : sw.breaks) PatchHere(j);
}

}  // namespace kr
