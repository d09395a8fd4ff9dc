// Phases 2 and 3 of compilation: resolving the lexer's tokens against the runtime's functions,
// constants and variables, then parsing them into the code tree by recursive descent.
#include "code/Parser.h"

#include <string>
#include <vector>

#include "code/BuiltinRegistry.h"
#include "code/Runtime.h"

namespace kr {

namespace {

// A phase-2 token: the phase-1 kind, or 5 constant, 6 function, 7 variable.
struct RToken2 {
    int32_t kind = kTokEnd;
    int32_t id = 0;
    RValue value;
    int32_t position = 0;
};

// Numbers are built digit by digit, as the language always has: "0.3" is then the same double
// as 0.1 + 0.2.
double NumberValue(const std::string& text) {
    double value = 0;
    if (!text.empty() && text[0] == '$') {
        for (size_t i = 1; i < text.size(); ++i) {
            char c = text[i];
            int digit = c <= '9' ? c - '0' : (c <= 'F' ? c - 'A' + 10 : c - 'a' + 10);
            value = value * 16 + digit;
        }
        return value;
    }
    bool fraction = false;
    double scale = 1;
    for (char c : text) {
        if (c == '.') {
            fraction = true;
            continue;
        }
        if (!fraction) {
            value = value * 10 + (c - '0');
        } else {
            scale /= 10;
            value += (c - '0') * scale;
        }
    }
    return value;
}

bool ConvertTokens(Runtime& rt, const CCode& code, const std::vector<RToken1>& in,
                   std::vector<RToken2>& out) {
    out.resize(in.size());
    for (size_t i = 0; i < in.size() && !rt.ErrorPending(); ++i) {
        if ((i & 0xFFF) == 0xFFF && rt.Interrupted()) return false;
        const RToken1& t = in[i];
        RToken2& r = out[i];
        r.position = t.position;
        r.kind = t.kind;
        if (t.kind == kTokIdentifier) {
            if (i + 1 < in.size() && in[i + 1].kind == kTokOpen) {
                int32_t id = rt.FindFunction(t.text);
                if (id < 0) {
                    rt.ReportCodeError(code, t.position, "Unknown function or script: " + t.text);
                    break;
                }
                r.kind = kTokFunction;
                r.id = id;
            } else if (rt.FindConstant(t.text, r.value)) {
                r.kind = kTokConstant;
            } else {
                r.kind = kTokVariable;
                int32_t b = rt.FindBuiltinVariable(t.text);
                r.id = b >= 0 ? b : rt.Names().Intern(t.text);
            }
        } else if (t.kind == kTokNumber) {
            r.kind = kTokConstant;
            r.value = RValue(NumberValue(t.text));
        } else if (t.kind == kTokString) {
            r.kind = kTokConstant;
            r.value = RValue(std::string_view(t.text));
        }
    }
    return !rt.ErrorPending();
}

// Recursive descent over the phase-2 tokens. Every function stops as soon as an error has been
// recorded; the partial tree is then discarded.
class Parser {
public:
    Parser(Runtime& rt, const CCode& code, const std::vector<RToken2>& toks)
        : rt_(rt), code_(code), toks_(toks) {}

    // program -> END | block END | statement* END
    void ParseProgram(RToken& root) {
        if (Kind() == kTokEnd) {
            root.kind = kNodeEmptyProgram;
            root.position = Pos();
            return;
        }
        if (Kind() == kTokBegin) {
            root = Statement();
            if (!Failed() && Kind() != kTokEnd)
                Error(Pos(), "Program ends before end of the code.");
            return;
        }
        root = Node(kNodeBlock, Pos());
        while (!Failed() && Kind() != kTokEnd) Add(root, Statement());
    }

    // An empty token list is the constant 0; tokens after the expression are ignored.
    void ParseExpression(RToken& root) {
        if (Kind() == kTokEnd) {
            root = Node(kTokConstant, Pos());
            root.value = RValue(0.0);
            return;
        }
        root = Expression();
    }

private:
    bool Failed() const { return rt_.ErrorPending(); }
    void Error(int32_t pos, const char* msg) { rt_.ReportCodeError(code_, pos, msg); }
    int32_t Kind() const { return toks_[p_].kind; }
    int32_t Pos() const { return toks_[p_].position; }
    // The end token is never passed.
    void Next() {
        if (toks_[p_].kind != kTokEnd) ++p_;
    }
    static RToken Node(int32_t kind, int32_t pos) {
        RToken n;
        n.kind = kind;
        n.position = pos;
        return n;
    }
    void Add(RToken& parent, RToken&& child) {
        if (Failed()) return;
        if (child.height + 1 > parent.height) parent.height = child.height + 1;
        if (parent.height > kMaxTreeHeight) TooDeep(child.position);
        parent.children.push_back(std::move(child));
    }
    void TooDeep(int32_t pos) {
        if (!Failed()) Error(pos, "Code is nested too deeply.");
    }
    // Bounds the recursion of the descent; false (error recorded) when too deep.
    struct Depth {
        explicit Depth(Parser& p) : p_(p) {
            if (++p_.depth_ > kMaxTreeHeight) p_.TooDeep(p_.Pos());
        }
        ~Depth() { --p_.depth_; }
        Parser& p_;
    };
    static bool IsAssignOp(int32_t k) {
        return (k >= kTokAssign && k <= kTokDivAssign) || (k >= kTokOrAssign && k <= kTokXorAssign);
    }
    void SkipSemicolons() {
        while (Kind() == kTokSemicolon) Next();
    }

    RToken Statement() {
        Depth guard(*this);
        if (Failed()) return {};
        // A stop request ends a long parse as an error (never shown: the run is ending).
        if ((++statements_ & 0xFFF) == 0 && rt_.Interrupted()) {
            Error(Pos(), "Stopped.");
            return {};
        }
        RToken s = StatementBody();
        SkipSemicolons();
        return s;
    }

    // The statements of a block or switch body after its '{', up to and past the '}'.
    void BlockBody(RToken& n) {
        while (!Failed() && Kind() != kTokEndBlock) {
            if (Kind() == kTokEnd) {
                Error(Pos(), "Symbol } expected.");
                break;
            }
            Add(n, Statement());
        }
        Next();
    }

    RToken StatementBody() {
        int32_t pos = Pos();
        switch (Kind()) {
            case kTokBegin: {
                // block -> '{' statement* '}'
                RToken n = Node(kNodeBlock, pos);
                Next();
                BlockBody(n);
                return n;
            }
            case kTokIf: {
                // if -> IF expr [THEN] statement [ELSE statement]
                RToken n = Node(kTokIf, pos);
                Next();
                Add(n, Expression());
                if (Kind() == kTokThen) Next();
                Add(n, Statement());
                if (!Failed() && Kind() == kTokElse) {
                    Next();
                    Add(n, Statement());
                }
                return n;
            }
            case kTokWhile:
            case kTokWith: {
                // while -> WHILE expr [DO] statement;  with -> WITH expr [DO] statement
                RToken n = Node(Kind(), pos);
                Next();
                Add(n, Expression());
                if (Kind() == kTokDo) Next();
                Add(n, Statement());
                return n;
            }
            case kTokDo: {
                // do -> DO statement UNTIL expr
                RToken n = Node(kTokDo, pos);
                Next();
                Add(n, Statement());
                if (Failed()) return n;
                if (Kind() != kTokUntil) {
                    Error(Pos(), "Keyword until expected.");
                    return n;
                }
                Next();
                Add(n, Expression());
                return n;
            }
            case kTokFor: {
                // for -> FOR '(' statement [';'] expr [';'] statement ')' statement
                RToken n = Node(kTokFor, pos);
                Next();
                if (Kind() != kTokOpen) {
                    Error(Pos(), "Symbol ( expected.");
                    return n;
                }
                Next();
                Add(n, Statement());
                if (Kind() == kTokSemicolon) Next();
                Add(n, Expression());
                if (Kind() == kTokSemicolon) Next();
                Add(n, Statement());
                if (Failed()) return n;
                if (Kind() != kTokClose) {
                    Error(Pos(), "Symbol ) expected.");
                    return n;
                }
                Next();
                Add(n, Statement());
                return n;
            }
            case kTokRepeat: {
                // repeat -> REPEAT expr statement
                RToken n = Node(kTokRepeat, pos);
                Next();
                Add(n, Expression());
                Add(n, Statement());
                return n;
            }
            case kTokSwitch: {
                // switch -> SWITCH expr '{' statement* '}'
                RToken n = Node(kTokSwitch, pos);
                Next();
                Add(n, Expression());
                if (Failed()) return n;
                if (Kind() != kTokBegin) {
                    Error(Pos(), "Symbol { expected.");
                    return n;
                }
                Next();
                BlockBody(n);
                return n;
            }
            case kTokCase: {
                // case -> CASE expr ':'
                RToken n = Node(kTokCase, pos);
                Next();
                Add(n, Expression());
                if (Failed()) return n;
                if (Kind() != kTokColon) {
                    Error(Pos(), "Symbol : expected.");
                    return n;
                }
                Next();
                return n;
            }
            case kTokDefault: {
                // default -> DEFAULT ':'
                RToken n = Node(kTokDefault, pos);
                Next();
                if (Kind() != kTokColon) {
                    Error(Pos(), "Symbol : expected.");
                    return n;
                }
                Next();
                return n;
            }
            case kTokReturn: {
                // return -> RETURN expr
                RToken n = Node(kTokReturn, pos);
                Next();
                Add(n, Expression());
                return n;
            }
            case kTokExit:
            case kTokBreak:
            case kTokContinue: {
                RToken n = Node(Kind(), pos);
                Next();
                return n;
            }
            case kTokVar:
            case kTokGlobalVar: {
                // var -> VAR (variable [','])*
                RToken n = Node(Kind(), pos);
                Next();
                while (!Failed() && Kind() == kTokVariable) {
                    const RToken2& t = toks_[p_];
                    if (t.id < kBuiltinVariableLimit) {
                        Error(t.position, "Cannot redeclare a builtin variable.");
                        break;
                    }
                    RToken c = Node(kTokConstant, t.position);
                    c.id = t.id;
                    Add(n, std::move(c));
                    Next();
                    if (Kind() == kTokComma) Next();
                }
                return n;
            }
            case kTokFunction:
                return Call();
            case kTokSemicolon: {
                RToken n = Node(kNodeEmpty, pos);
                Next();
                return n;
            }
            case kTokEnd:
                Error(pos, "Unexpected end of code reached.");
                return {};
            default:
                return Assignment();
        }
    }

    // assignment -> postfix assignop expr
    RToken Assignment() {
        int32_t pos = Pos();
        RToken target = Postfix();
        if (Failed()) return {};
        if (target.kind != kTokVariable) {
            Error(pos, "Variable name expected.");
            return {};
        }
        if (!IsAssignOp(Kind())) {
            Error(Pos(), "Assignment operator expected.");
            return {};
        }
        RToken n = Node(kTokAssign, pos);
        n.id = Kind();
        Next();
        Add(n, std::move(target));
        Add(n, Expression());
        return n;
    }

    // list -> [expr (',' expr)* [',']] closer
    // The children of a call or the indexes of a variable, up to and past the closing symbol,
    // whose position goes to `close`. False after an error.
    bool ExpressionList(RToken& n, int32_t closer, const char* missing, const char* bad_separator,
                        int32_t& close) {
        while (!Failed()) {
            if (Kind() == kTokEnd) {
                Error(Pos(), missing);
                return false;
            }
            if (Kind() == closer) break;
            Add(n, Expression());
            if (Failed()) return false;
            if (Kind() == kTokComma) {
                Next();
            } else if (Kind() == kTokEnd) {
                Error(Pos(), missing);
                return false;
            } else if (Kind() != closer) {
                Error(Pos(), bad_separator);
                return false;
            }
        }
        if (Failed()) return false;
        close = Pos();
        Next();
        return true;
    }

    // call -> function '(' [expr (',' expr)* [',']] ')'
    RToken Call() {
        const RToken2& f = toks_[p_];
        RToken n = Node(kTokFunction, f.position);
        n.id = f.id;
        Next();
        if (Kind() != kTokOpen) {
            Error(Pos(), "Symbol ( expected.");
            return n;
        }
        Next();
        int32_t close = 0;
        if (!ExpressionList(n, kTokClose, "Symbol ) expected.", "Symbol , or ) expected.", close))
            return n;
        int32_t argc = rt_.FunctionArgCount(n.id);
        int32_t given = int32_t(n.children.size());
        if (given > kArgCount || (argc != -1 && argc != given))
            Error(close, "Wrong number of arguments to function or script.");
        return n;
    }

    // expr -> cmp (('&&' | '||' | '^^') cmp)*
    RToken Expression() {
        Depth guard(*this);
        if (Failed()) return {};
        RToken left = Comparison();
        while (!Failed() && (Kind() == kTokAnd || Kind() == kTokOr || Kind() == kTokXor))
            left = BinaryTail(std::move(left), &Parser::Comparison);
        return left;
    }
    // cmp -> bits (('<' | '<=' | '==' | '=' | '!=' | '>=' | '>') bits)*
    RToken Comparison() {
        RToken left = Bits();
        while (!Failed() && (Kind() == kTokAssign || (Kind() >= kTokLess && Kind() <= kTokGreater)))
            left = BinaryTail(std::move(left), &Parser::Bits);
        return left;
    }
    // bits -> shift (('|' | '&' | '^') shift)*
    RToken Bits() {
        RToken left = Shift();
        while (!Failed() && Kind() >= kTokBitOr && Kind() <= kTokBitXor)
            left = BinaryTail(std::move(left), &Parser::Shift);
        return left;
    }
    // shift -> sum (('<<' | '>>') sum)*
    RToken Shift() {
        RToken left = Sum();
        while (!Failed() && (Kind() == kTokShiftLeft || Kind() == kTokShiftRight))
            left = BinaryTail(std::move(left), &Parser::Sum);
        return left;
    }
    // sum -> term (('+' | '-') term)*
    RToken Sum() {
        RToken left = Term();
        while (!Failed() && (Kind() == kTokPlus || Kind() == kTokMinus))
            left = BinaryTail(std::move(left), &Parser::Term);
        return left;
    }
    // term -> postfix (('*' | '/' | 'div' | 'mod') postfix)*
    RToken Term() {
        RToken left = Postfix();
        while (!Failed() && (Kind() == kTokStar || Kind() == kTokSlash || Kind() == kTokDiv ||
                             Kind() == kTokMod))
            left = BinaryTail(std::move(left), &Parser::Postfix);
        return left;
    }
    RToken BinaryTail(RToken&& left, RToken (Parser::*operand)()) {
        RToken n = Node(kNodeBinary, Pos());
        n.id = Kind();
        Next();
        Add(n, std::move(left));
        Add(n, (this->*operand)());
        return n;
    }

    // postfix -> primary ('.' variable)*
    RToken Postfix() {
        RToken e = Primary();
        while (!Failed() && Kind() == kTokDot) {
            Next();
            if (Kind() != kTokVariable) {
                Error(Pos(), "Variable name expected.");
                return e;
            }
            RToken v = Variable();
            if (Failed()) return e;
            // The expression so far becomes the owner: child 0 of the variable.
            RToken owner = std::move(e);
            v.children[0] = std::move(owner);
            v.height = 1;
            for (const RToken& c : v.children)
                if (c.height + 1 > v.height) v.height = c.height + 1;
            if (v.height > kMaxTreeHeight) TooDeep(v.position);
            e = std::move(v);
        }
        return e;
    }

    // primary -> '(' expr ')' | unaryop postfix | constant | call | variable
    RToken Primary() {
        Depth guard(*this);
        if (Failed()) return {};
        int32_t pos = Pos();
        switch (Kind()) {
            case kTokOpen: {
                Next();
                RToken e = Expression();
                if (Failed()) return e;
                if (Kind() != kTokClose) {
                    Error(Pos(), "Symbol ) expected.");
                    return e;
                }
                Next();
                return e;
            }
            case kTokNot:
            case kTokPlus:
            case kTokMinus:
            case kTokBitNot: {
                RToken n = Node(kNodeUnary, pos);
                n.id = Kind();
                Next();
                Add(n, Postfix());
                return n;
            }
            case kTokConstant: {
                RToken n = Node(kTokConstant, pos);
                n.value = toks_[p_].value;
                Next();
                return n;
            }
            case kTokFunction:
                return Call();
            case kTokVariable:
                return Variable();
            default:
                Error(pos, "Unexpected symbol in expression.");
                return {};
        }
    }

    // variable -> name ['[' [expr (',' expr)* [',']] ']']
    RToken Variable() {
        const RToken2& t = toks_[p_];
        RToken n = Node(kTokVariable, t.position);
        n.id = t.id;
        RToken owner = Node(kTokConstant, t.position);
        owner.value = RValue(double(kOwnerUnwritten));
        Add(n, std::move(owner));
        Next();
        if (Kind() != kTokOpenBracket) return n;
        Next();
        int32_t close = 0;
        if (!ExpressionList(n, kTokCloseBracket, "Symbol ] expected.", "Symbol , or ] expected.",
                            close))
            return n;
        if (n.children.size() > 3) Error(close, "Only 1- and 2-dimensional arrays are supported.");
        return n;
    }

    Runtime& rt_;
    const CCode& code_;
    const std::vector<RToken2>& toks_;
    size_t p_ = 0;
    int32_t depth_ = 0;
    uint32_t statements_ = 0;  // statements begun, for the stop check
};

}  // namespace

bool ParseCode(Runtime& rt, const CCode& code, const std::vector<RToken1>& tokens, bool expression,
               RToken& root) {
    rt.ClearError();
    std::vector<RToken2> resolved;
    if (!ConvertTokens(rt, code, tokens, resolved)) return false;

    rt.ClearError();
    Parser parser(rt, code, resolved);
    if (expression)
        parser.ParseExpression(root);
    else
        parser.ParseProgram(root);
    return !rt.ErrorPending();
}

}  // namespace kr
