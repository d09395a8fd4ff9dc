// The register code that the interpreter runs. A checked code tree is lowered once into a
// Proto: `var` locals live in the first registers of a frame, temporaries above them; every
// name, owner, function and constant is resolved while lowering.
//
// Register values are RValues. A local that was never written holds the kind kUnsetKind,
// which every instruction reading a register treats on its slow path ("Unknown variable").
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "code/Value.h"

namespace kr {

class CCode;

constexpr RValue::Kind kUnsetKind = static_cast<RValue::Kind>(2);
constexpr uint16_t kNoReg = 0xFFFF;

// ORDER OP: the binary operators, each in three operand forms: register-register,
// register-number and number-register (a real constant held in the instruction; string
// constants are loaded into a register first).
// The formatter does not settle on one layout of this list.
// clang-format off
#define KR_BINARY_OPS(X)                                                                   \
    X(ADD) X(SUB) X(MUL) X(DIV) X(IDIV) X(MOD) X(LAND) X(LOR) X(LXOR) X(BOR) X(BAND)       \
    X(BXOR) X(SHL) X(SHR) X(LT) X(LE) X(EQ) X(NE) X(GE) X(GT)
// clang-format on
// The comparisons fused with a conditional jump.
#define KR_COMPARE_OPS(X) X(LT) X(LE) X(EQ) X(NE) X(GE) X(GT)

#define KR_OPCODES(X)                  \
    X(NOP)                             \
    X(LOADK) /* a = K[d] */            \
    X(MOVE)  /* a = b */               \
    X(CHKL)  /* local a must be set */ \
    X(NOT) X(NEG) X(BNOT) X(UPLUS) /* a = op b */                                            \
    X(JMP)        /* pc += d */                                                              \
    X(JT) X(JF)   /* if a true/false: pc += d; c = message for a string */                   \
    X(IDX1)       /* a = checked array index of b */                                         \
    X(IDX2)       /* a = a * 32000 + checked index of b */                                   \
    X(IDXRR)      /* a = checked index of b * 32000 + checked index of c */                  \
    X(OWNER)      /* a = owner value of b */                                                 \
    X(GETLA)      /* a = local b [index c] */                                                \
    X(SETLA)      /* local b [index c] = a */                                                \
    X(GETV_IMPL) X(SETV_IMPL)     /* no owner written: a / value b, id d, cache e */         \
    X(GETV_SELF) X(SETV_SELF)                                                                \
    X(GETV_GLOBAL) X(SETV_GLOBAL)                                                            \
    X(GETVX)      /* a = variable d of owner (b, or constant e when b is none), index c */   \
    X(SETVX)      /* variable d of owner (b, or e) at index c = a */                         \
    X(GETB)       /* a = built-in d of self (e 0) or other (e 1), index c */                 \
    X(SETB)       /* built-in d of self or other, index c = a */                             \
    X(GETARG)     /* a = argument d */                                                       \
    X(SETARG)     /* argument d = a */                                                       \
    X(GETARGX)    /* a = argument[index c] */                                                \
    X(SETARGX)    /* argument[index c] = a */                                                \
    X(CALLB)      /* a = built-in d (args b .. b+c-1) */                                     \
    X(CALLS)      /* a = script d */                                                         \
    X(CALLX)      /* a = extension function d */                                             \
    X(SETRES)     /* result = a */                                                           \
    X(RET)        /* end of the execution */                                                 \
    X(RETV)       /* result = a; end */                                                      \
    X(REPINIT)    /* a = repeat count of a */                                                \
    X(REPLOOP)    /* if a >= 1: a -= 1, pc += d */                                           \
    X(WITHBEGIN)  /* with slot b over owner a; none: pc += d */                              \
    X(WITHNEXT)   /* next target of with slot b: pc += d */                                  \
    X(WITHBREAK)  /* break in with slot b: several targets: pc += d */                       \
    X(SWEQ)       /* if a exactly equals b: pc += d */                                       \
    X(GLOBALVAR)  /* declare global d */                                                     \
    X(ERROR)      /* report message d */                                                     \
    X(BREAK)      /* a debugger's trap: the op it covers is in Proto::traps */               \
    /* Fused forms: each runs the instructions that follow it (two, or three for MULADDMOD)  */ \
    /* when all of their operands are reals and skips them; otherwise it does nothing and     */ \
    /* they run on their own, with their own errors and positions.                            */ \
    X(FORLT_N) X(FORLE_N) X(FORGT_N) X(FORGE_N) /* ADD_RN l += k; J<cmp>_RN_T l, number */  \
    X(FORLT_R) X(FORLE_R) X(FORGT_R) X(FORGE_R) /* ADD_RN l += k; J<cmp>_RR_T l, register */\
    X(MULADD_L) X(MULADD_R) /* MUL_RN t = x * k; ADD_RR with t as left / right operand */ \
    X(MULADDMOD_L) X(MULADDMOD_R) /* the same followed by MOD_RI of the sum; d:e 1 / divisor */ \
    X(MOD_RI)     /* MOD_RN whose number is an integer, 1 <= |n| < 2^31 */                 \
    /* J<cmp>_RN_F, then `l += k1` or `l -= k1`, JMP, else `l += k2` or `l -= k2`: the arm  */ \
    /* chosen without a branch; b, c: offsets of the else arm and of the end; a: bit 0 each */ \
    /* arm ends with SETRES l, bits 1 and 2 the arms subtract; d, e: the ops of the arms.   */ \
    X(IFADD_LT) X(IFADD_LE) X(IFADD_EQ) X(IFADD_NE) X(IFADD_GE) X(IFADD_GT)                 \
    X(IDXGETLA)   /* IDXRR t = i, j; GETLA a = local l [t]: the element read by row and column */\
    X(CONDOR) X(CONDAND) /* A || B, A && B; compares at +b, +c; thresholds, flags a */   \
    X(UPDB)       /* GETB or LOADK, GETB, op, SETB of a built-in: a number?, b op, d:e number */

enum Op : uint16_t {
#define KR_OP_ENUM(name) OP_##name,
    KR_OPCODES(KR_OP_ENUM)
#define KR_BIN_ENUM(name) OP_##name##_RR, OP_##name##_RN, OP_##name##_NR,
        KR_BINARY_OPS(KR_BIN_ENUM)
#define KR_CMPJ_ENUM(name)                                                                         \
    OP_J##name##_RR_T, OP_J##name##_RR_F, OP_J##name##_RK_T, OP_J##name##_RK_F, OP_J##name##_RN_T, \
        OP_J##name##_RN_F,
            KR_COMPARE_OPS(KR_CMPJ_ENUM)
#undef KR_OP_ENUM
#undef KR_BIN_ENUM
#undef KR_CMPJ_ENUM
                OP_COUNT_
};

// Operand forms of the compare jumps: RR (registers a, b; offset d), RK (register a, constant
// K[c]; offset d), RN (register a, number in d:e; offset c as a signed 16-bit value). The RN
// forms of <, <=, >= and > hold the threshold of CompareThreshold instead of the number: the
// jump is one test of a <= t or a >= t.
struct Instr {
    uint16_t op;
    uint16_t a;
    uint16_t b;
    uint16_t c;
    int32_t d;
    uint32_t e;  // a constant index, or the inline cache of a variable access
};
static_assert(sizeof(Instr) == 16);

// The e of an ADD_RR that is the `+=` of a user variable: its left operand was read from that
// variable just before and is written back to it right after, so a string the variable alone
// shares with the operand may be extended in place.
constexpr uint32_t kAppendToVariable = 1;

// The real constant that number forms keep in d and e.
inline double Num(const Instr& i) {
    double v;
    std::memcpy(&v, &i.d, sizeof v);
    return v;
}
inline void SetNum(Instr& i, double v) {
    std::memcpy(&i.d, &v, sizeof v);
}

// Source positions of an instruction: its own, and those of the variable references behind
// its register operands b and c (for the error of reading an unset local).
struct InstrPos {
    int32_t pos = 0;
    int32_t pos_b = 0;
    int32_t pos_c = 0;
};

// Fixed messages of the ERROR instruction and the condition jumps.
enum FixedMessage : int32_t {
    kMsgStatementExpected,
    kMsgCaseOutsideSwitch,
    kMsgDefaultOutsideSwitch,
    kMsgNotAProgram,
    kMsgExpressionExpected,
    kMsgBooleanExpected,
    kMsgSubExpressionExpected,
};
const char* FixedMessageText(int32_t m);

struct Proto {
    const CCode* code = nullptr;  // for error positions
    std::vector<Instr> instrs;
    std::vector<InstrPos> positions;  // parallel to instrs
    std::vector<RValue> k;            // constants
    std::vector<int32_t> local_ids;   // name id of each local register
    uint32_t nlocals = 0;
    uint32_t nregs = 0;         // frame size: registers (+16 after every call base), result
    uint32_t nused = 0;         // registers that instructions touch
    uint32_t nwith = 0;         // with slots
    bool local_arrays = false;  // some local is used with an index
    bool has_extras = false;    // with slots or local arrays: frames keep more state
    bool args_stable = false;   // nothing writes the arguments while the code runs

    // For debuggers. The first instruction of every statement with the statement's source
    // position, by instruction. A debugger traps a statement by writing BREAK over its first
    // instruction's op, which `traps` keeps (by instruction; meaningful only where the op is
    // BREAK); the interpreter then hands the trap to the debug hook and runs the kept op.
    // Code that no debugger touched never meets a BREAK and pays nothing for this.
    struct Statement {
        uint32_t at;
        int32_t pos;
    };
    std::vector<Statement> statements;
    std::vector<uint16_t> traps;
    uint32_t debug_generation = 0;  // the debugger's, for its own bookkeeping
    int32_t debug_source = -1;      // likewise; -1 until the debugger has looked
    bool debug_source_known = false;
};

// Writes a trap over instruction `at` (its op kept in traps), and removes every trap.
void SetTrap(Proto& p, uint32_t at);
void ClearTraps(Proto& p);
// The instruction a trap replaced (the op itself where there is no trap).
inline uint16_t TrappedOp(const Proto& p, uint32_t at) {
    return p.instrs[at].op == OP_BREAK ? p.traps[at] : p.instrs[at].op;
}

// Lowers the checked tree of a compiled code into its Proto. False (with an error recorded)
// only when the code is too large for the register form.
bool LowerCode(class Runtime& rt, const CCode& code, Proto& out);

// A readable listing of a Proto, for tools and tests.
std::string DisassembleProto(const Proto& p);

}  // namespace kr
