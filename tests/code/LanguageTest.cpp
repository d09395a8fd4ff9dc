// The script language end to end: source text in, result value or positioned error out.
// Cases are tables of (source, expected); an expected error is written "column: message" as
// the error text's "at position" line gives it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "code/Bytecode.h"
#include "code/Code.h"
#include "code/DebugHook.h"
#include "code/Operators.h"
#include "code/Runtime.h"

namespace kr {
namespace {

// A room of plain instances for owner values, `with` and object families.
class TestRoom : public ScriptHost {
public:
    std::vector<ScriptInstance*> instances;
    ScriptInstance* FindInstance(int32_t id) override {
        for (ScriptInstance* i : instances)
            if (i->id == id) return i;
        return nullptr;
    }
    int32_t InstanceCount() override { return int32_t(instances.size()); }
    ScriptInstance* InstanceAt(int32_t i) override { return instances[size_t(i)]; }
    int32_t FamilyCount(int32_t object) override { return int32_t(Family(object).size()); }
    ScriptInstance* FamilyAt(int32_t object, int32_t i) override {
        return Family(object)[size_t(i)];
    }
    bool FindResourceConstant(std::string_view name, RValue& out) override {
        if (name == "obj_ball") {
            out = RValue(1.0);
            return true;
        }
        return false;
    }
    bool ShowErrorWindow(const std::string& text, bool) override {
        shown.push_back(text);
        return false;
    }
    std::vector<std::string> shown;

private:
    std::vector<ScriptInstance*> Family(int32_t object) {
        std::vector<ScriptInstance*> f;
        for (ScriptInstance* i : instances)
            if (i->object_index == object) f.push_back(i);
        return f;
    }
};

int g_calls = 0;
void fn_count(Runtime&, ScriptInstance*, ScriptInstance*, int, const RValue*, RValue& r) {
    r.SetReal(double(++g_calls));
}
void fn_echo(Runtime&, ScriptInstance*, ScriptInstance*, int argc, const RValue* a, RValue& r) {
    if (argc > 0) r = a[0];
}
void fn_argc(Runtime&, ScriptInstance*, ScriptInstance*, int argc, const RValue*, RValue& r) {
    r.SetReal(argc);
}
void fn_self_id(Runtime&, ScriptInstance* self, ScriptInstance*, int, const RValue*, RValue& r) {
    r.SetReal(self->id);
}
void fn_other_id(Runtime&, ScriptInstance*, ScriptInstance* o, int, const RValue*, RValue& r) {
    r.SetReal(o->id);
}
// Writes argument0 of the running script, as a nested execution of code could.
void fn_set_arg0(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*, RValue&) {
    rt.SetArgument(0, RValue(std::string_view("set")));
}

class Language : public ::testing::Test {
protected:
    Language() {
        rt.SetHost(&room);
        RegisterLanguageVariables(rt);
        rt.AddBuiltinVariable("id", &GetId, nullptr, false);
        rt.AddBuiltinVariable("score", &GetScore, &SetScore, true);
        rt.AddBuiltinVariable("pending", nullptr, nullptr, true);  // accessors not built yet
        rt.Builtins().Add("count", fn_count, 0);
        rt.Builtins().Add("echo", fn_echo, -1);
        rt.Builtins().Add("argc", fn_argc, -1);
        rt.Builtins().Add("random", fn_count, 1);
        rt.Builtins().Add("self_id", fn_self_id, 0);
        rt.Builtins().Add("other_id", fn_other_id, 0);
        rt.Builtins().Add("later", nullptr, 0);
        rt.Builtins().Add("set_arg0", fn_set_arg0, 0);
        rt.AddConstant("c_red", RValue(255.0));
        rt.AddConstant("all", RValue(-3.0));
        rt.AddConstant("noone", RValue(-4.0));
        rt.AddConstant("self", RValue(-1.0));
        rt.AddConstant("other", RValue(-2.0));
        rt.AddConstant("global", RValue(-5.0));
        rt.AddConstant("local", RValue(-7.0));
        a.id = 100001;
        b.id = 100002;
        c.id = 100003;
        b.object_index = 1;
        c.object_index = 1;
        room.instances = {&a, &b, &c};
        g_calls = 0;
    }

    static bool GetId(Runtime&, ScriptInstance* i, int32_t, RValue& out) {
        out.SetReal(i->id);
        return true;
    }
    static bool GetScore(Runtime&, ScriptInstance*, int32_t, RValue& out) {
        out.SetReal(score);
        return true;
    }
    static bool SetScore(Runtime&, ScriptInstance*, int32_t, const RValue& v) {
        score = double(RoundToInt64(ArgReal(v)));
        return true;
    }

    struct Outcome {
        bool compiled = false;
        bool ok = false;
        RValue value;
        std::string error;  // "column: message" of the recorded text
        std::string text;   // the whole recorded text
    };

    static std::string Tail(const std::string& text) {
        size_t at = text.rfind("at position ");
        if (at != std::string::npos) return text.substr(at + 12);
        at = text.rfind(" position ");
        return at == std::string::npos ? text : text.substr(at + 10);
    }

    Outcome Run(const std::string& src, bool expression = false) {
        Outcome o;
        CCode code(src, expression);
        o.compiled = code.Compile(rt);
        if (!o.compiled) {
            o.text = rt.ErrorText();
            o.error = Tail(o.text);
            return o;
        }
        o.ok = rt.Execute(code, &a, &b, o.value);
        if (!o.ok) {
            o.text = rt.ErrorText();
            o.error = Tail(o.text);
        }
        return o;
    }

    // Expects the code to run and give `want`.
    void ExpectValue(const std::string& src, const RValue& want) {
        Outcome o = Run(src);
        ASSERT_TRUE(o.ok) << src << "\n" << o.text;
        EXPECT_EQ(o.value.kind, want.kind) << src;
        if (want.IsReal())
            EXPECT_EQ(o.value.real, want.real) << src;
        else
            EXPECT_EQ(o.value.Str(), want.Str()) << src;
    }
    // Expects a compile (compile = true) or run-time error "column: message".
    void ExpectError(const std::string& src, const std::string& want, bool compile) {
        Outcome o = Run(src);
        EXPECT_EQ(o.compiled, !compile) << src << "\n" << o.text;
        EXPECT_FALSE(o.ok) << src;
        EXPECT_EQ(o.error, want) << src;
    }

    // Built-in errors go through the overridable RuntimeError, which records them here before
    // showing them as the runtime would.
    class HookedRuntime : public Runtime {
    public:
        void RuntimeError(std::string_view message, bool fatal) override {
            hooked.emplace_back(message);
            Runtime::RuntimeError(message, fatal);
        }
        std::vector<std::string> hooked;
    };

    static inline double score = 0;
    TestRoom room;
    HookedRuntime rt;
    ScriptInstance a, b, c;
};

struct ValueCase {
    const char* src;
    RValue want;
};
struct ErrorCase {
    const char* src;
    const char* want;
};

RValue S(const char* s) {
    return RValue(std::string_view(s));
}

TEST_F(Language, LexerAndNumbers) {
    const ValueCase cases[] = {
        {"", RValue(0.0)},
        {"  // only a comment", RValue(0.0)},
        {"/* open comment", RValue(0.0)},
        {"x = \"it's\"", S("it's")},
        {"x = 'say \"hi\"'", S("say \"hi\"")},
        {"x = $FF + $ff", RValue(510.0)},
        {"x = $", RValue(0.0)},
        {"x = .5", RValue(0.5)},
        {"x = 1.2.3", RValue(1.23)},
        {"x = 0.3 == 0.1 + 0.2", RValue(1.0)},
        {"x = 0.3 - (0.1 + 0.2)", RValue(0.0)},  // digit-by-digit building: the same double
        {"x = 'open", S("open   ")},             // an unterminated string takes the padding
        {"begin x = 2 end", RValue(2.0)},
        {"x := 4", RValue(4.0)},
        {"x = 5 e5 = 1 x = x", RValue(5.0)},
        {"x = 2 y = x<>3", RValue(1.0)},
    };
    for (const ValueCase& c : cases) ExpectValue(c.src, c.want);
    ExpectError("x = 1 # 2", "7: Unexpected symbol.", true);
    // "/*/" closes itself, so "*/" is left over as operators.
    ExpectError("x = 1 /*/ x = 2 */", "18: Unexpected symbol in expression.", true);
    // No escapes: 'it''s' is two strings, and a string cannot start a statement.
    ExpectError("x = 'it''s'", "9: Variable name expected.", true);
    ExpectError("x = 1\r\ny = @", "6: Unexpected symbol.", true);
    ExpectError("x = \xC3\xA9", "5: Unexpected symbol.", true);
}

TEST_F(Language, Operators) {
    const ValueCase cases[] = {
        {"x = \"a\" + \"b\"", S("ab")},
        {"x = 3 * \"ab\"", S("ababab")},
        {"x = 0 * \"ab\"", S("")},
        {"x = -2 * \"ab\"", S("")},
        {"x = 2.5 * \"x\"", S("xx")},
        {"x = 7 div 2", RValue(3.0)},
        {"x = -7 div 2", RValue(-3.0)},
        {"x = 7 mod -2", RValue(1.0)},
        {"x = -7 mod 2", RValue(-1.0)},
        {"x = 7.5 mod 2", RValue(1.5)},
        {"x = -7 mod 3", RValue(-1.0)},
        {"x = 5 | 2.5", RValue(7.0)},
        {"x = ~0", RValue(-1.0)},
        {"x = 1 << 3", RValue(8.0)},
        {"x = -1 >> 60", RValue(15.0)},
        {"x = 1 << 64", RValue(0.0)},
        {"x = 6 & 3 ^ 1", RValue(3.0)},
        {"x = \"abc\" < \"abd\"", RValue(1.0)},
        {"x = \"B\" < \"a\"", RValue(1.0)},
        {"x = \"a\" == \"A\"", RValue(0.0)},
        {"x = \"ab\" < \"abc\"", RValue(1.0)},
        {"x = !0.5", RValue(0.0)},
        {"x = !0.49", RValue(1.0)},
        {"x = not 1", RValue(0.0)},
        {"x = - -3", RValue(3.0)},
        {"x = 1 == 1 + 0.000000000001", RValue(0.0)},
        {"x = 0.4 or 0.4", RValue(0.0)},
        {"x = 1 xor 0", RValue(1.0)},
        {"x = 1 ^^ 1", RValue(0.0)},
        {"x = 1 and 0.5", RValue(1.0)},
        // one level for all logical operators, one for all comparisons, bitwise tighter
        {"x = 0 and 1 or 1", RValue(1.0)},
        {"x = 1 or 1 and 0", RValue(0.0)},
        {"x = 2 == 2 | 0", RValue(1.0)},
        {"x = 1 < 2 == 1", RValue(1.0)},
        {"x = 1 + 2 * 3 - 4 / 2", RValue(5.0)},
        {"x = 2 * (3 + 4)", RValue(14.0)},
        {"x = (1 = 1)", RValue(1.0)},
        {"a = 2 x = a * \"ab\"", S("abab")},
        {"a = \"q\" x = a + a", S("qq")},
        {"a = 3 x = a == 3", RValue(1.0)},
        {"a = 1 x = a / 4", RValue(0.25)},
    };
    for (const ValueCase& c : cases) ExpectValue(c.src, c.want);
    const ErrorCase compile_errors[] = {
        {"x = \"a\" + 1", "9: Wrong type of arguments to +."},
        {"x = 1 + \"a\"", "7: Wrong type of arguments to +."},
        {"x = \"ab\" * 3", "10: Wrong type of arguments to *."},
        {"x = 1 - \"a\"", "7: Wrong type of arguments to -."},
        {"x = 1 / \"a\"", "7: Wrong type of arguments to /."},
        {"x = 1 div \"a\"", "7: Wrong type of arguments to div."},
        {"x = 1 mod \"a\"", "7: Wrong type of arguments to mod."},
        {"x = 1 / 0", "7: Division by 0."},
        {"x = 1 div 0", "7: Division by 0."},
        {"x = 1 mod 0", "7: Modulo by 0."},
        {"x = 1 && \"a\"", "7: Wrong type of arguments for &&."},
        {"x = 1 || \"a\"", "7: Wrong type of arguments for ||."},
        {"x = 1 ^^ \"a\"", "7: Wrong type of arguments for ^^."},
        {"x = 1 | \"a\"", "7: Wrong type of arguments for |."},
        {"x = 1 & \"a\"", "7: Wrong type of arguments for &."},
        {"x = 1 ^ \"a\"", "7: Wrong type of arguments for ^."},
        {"x = 1 << \"a\"", "7: Wrong type of arguments for <<."},
        {"x = 1 >> \"a\"", "7: Wrong type of arguments for >>."},
        {"x = \"1\" == 1", "9: Cannot compare arguments."},
        {"x = -\"x\"", "5: Wrong type of arguments to unary operator."},
    };
    for (const ErrorCase& c : compile_errors) ExpectError(c.src, c.want, true);
    // The same rules at run time, where the operands come from variables.
    const ErrorCase run_errors[] = {
        {"s = \"a\" x = s + 1", "15: Wrong type of arguments to +."},
        {"z = 0 x = 1 / z", "13: Division by 0."},
        {"z = 0 x = 1 mod z", "13: Modulo by 0."},
        {"s = \"1\" x = s < 1", "15: Cannot compare arguments."},
        {"s = \"x\" x = ~s", "13: Wrong type of arguments to unary operator."},
    };
    for (const ErrorCase& c : run_errors) ExpectError(c.src, c.want, false);
}

TEST_F(Language, Statements) {
    const ValueCase cases[] = {
        {"if 0.5 x = 1 else x = 2", RValue(1.0)},
        {"if 0.49 x = 1 else x = 2", RValue(2.0)},
        {"if -1 x = 1 else x = 2", RValue(2.0)},
        {"if (1) then x = 3", RValue(3.0)},
        {"n = 0 repeat 2.5 n += 1 x = n", RValue(2.0)},
        {"n = 0 repeat 3.5 n += 1 x = n", RValue(4.0)},
        {"n = 0 repeat -1 n += 1 x = n", RValue(0.0)},
        {"i = 0 while (1) { i += 1; if i > 3 break } x = i", RValue(4.0)},
        {"i = 0 do i += 1 until i >= 5 x = i", RValue(5.0)},
        {"s = 0 for (i = 0; i < 3; i += 1) s += i x = s", RValue(3.0)},
        {"s = 0 for (i = 0 i < 5 i += 1) { if i == 2 continue; s += i } x = s", RValue(8.0)},
        {"s = 0 i = 0 while i < 5 { i += 1 if i mod 2 continue s += i } x = s", RValue(6.0)},
        {"x = 5", RValue(5.0)},
        {"x = 5; exit; x = 6", RValue(5.0)},
        {"x = 5; return x * 2; x = 1", RValue(10.0)},
        {"{ x = 1 }", RValue(1.0)},
        {"x = 1; break; x = 2", RValue(1.0)},  // break at the top ends the code
        {"x = 1; continue; x = 2", RValue(1.0)},
        {"switch (2) { default: x = 0; case 2: x = 2 }", RValue(2.0)},
        {"x = 0 switch (2) { case 1: x += 1 case 2: x += 2 case 3: x += 3 }", RValue(5.0)},
        {"x = 0 switch (2) { case 2: x += 2; break; case 3: x += 3 }", RValue(2.0)},
        {"x = 9 switch (\"a\") { case \"A\": x = 1 }", RValue(9.0)},
        {"x = 9 switch (0.1 + 0.2) { case 0.3: x = 1 }", RValue(1.0)},
        {"x = 9 switch (1) { case \"1\": x = 1 }", RValue(9.0)},
        {"x = 0 switch (5) { default: x = 1; case 5: x += 10 }", RValue(11.0)},
        {"x = 0 switch (7) { case 1: x = 1 }", RValue(0.0)},
        {"n = 0 for (i = 0; i < 3; i += 1) switch (i) { case 1: continue; default: n += 1 } x = n",
         RValue(2.0)},
        {"var v; v = 3; x = v", RValue(3.0)},
        {"x = 1; var x; x = 2; return self.x", RValue(1.0)},
        {"a[3] = 7; x = a[0] + a[1] + a[2] + a + a[3]", RValue(7.0)},
        {"a = 5; x = a[0,0] + a[0]", RValue(10.0)},
        {"a = 5; a[0,0] = \"x\"; x = a", S("x")},
        {"b[2,5] = 1; x = b[2,4]", RValue(0.0)},
        {"var l; l[1,2] = 4; x = l[1,2] + l", RValue(4.0)},
        {"a[] = 3; x = a", RValue(3.0)},
        {"x = echo(1,)", RValue(1.0)},
        {"x = argc(1, 2, 3,)", RValue(3.0)},
        {"x = argc()", RValue(0.0)},
        {"c = 0 x = count() + count() * 0 + c", RValue(1.0)},
        {"x = c_red + 1", RValue(256.0)},
        {"x = obj_ball", RValue(1.0)},
        {"globalvar g; g = 4; x = global.g", RValue(4.0)},
        {"global.h = 2; x = global.h + 1", RValue(3.0)},
        {"score = 2.5; x = score", RValue(2.0)},
        {"global.score = 9; x = score", RValue(2.0)},
    };
    for (const ValueCase& c : cases) ExpectValue(c.src, c.want);
    // Inside an expression `=` compares: this `if` reads a (unknown) instead of assigning it.
    ExpectError("if zq = 1 b = 2", "4: Unknown variable zq", false);
    // Every argument is evaluated: the logical operators do not short-circuit.
    g_calls = 0;
    ExpectValue("x = 0 and count() and count()", RValue(0.0));
    EXPECT_EQ(g_calls, 2);
}

TEST_F(Language, CompileErrors) {
    const ErrorCase cases[] = {
        {"{ a = 1 } b = 2", "11: Program ends before end of the code."},
        {"{ a = 1", "7: Symbol } expected."},
        {"do a = 1", "8: Keyword until expected."},
        {"for i = 0", "5: Symbol ( expected."},
        {"for (i = 0; i < 1; i += 1 x = 1", "27: Symbol ) expected."},
        {"switch (1) x = 1", "12: Symbol { expected."},
        {"switch (1) { x = 1", "18: Symbol } expected."},
        {"switch (1) { case 1 x = 1 }", "21: Symbol : expected."},
        {"switch (1) { default x = 1 }", "22: Symbol : expected."},
        {"var id", "5: Cannot redeclare a builtin variable."},
        {"x = 1 +", "7: Unexpected symbol in expression."},
        {"if x = 1", "8: Unexpected end of code reached."},
        {"3 = x", "1: Variable name expected."},
        {"x.(y) = 1", "3: Variable name expected."},
        {"x.3 = 1", "2: Assignment operator expected."},  // ".3" is a number
        {"x 1", "3: Assignment operator expected."},
        {"x = nothing(1)", "5: Unknown function or script: nothing"},
        {"x = echo(1 2)", "12: Symbol , or ) expected."},
        {"x = echo(1", "10: Symbol ) expected."},
        {"x = random(1, 2)", "16: Wrong number of arguments to function or script."},
        {"x = echo(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17)",
         "51: Wrong number of arguments to function or script."},
        {"a[1,2,3] = 0", "8: Only 1- and 2-dimensional arrays are supported."},
        {"x = a[1 2]", "9: Symbol , or ] expected."},
        {"x = a[1", "7: Symbol ] expected."},
        {"x = (1", "6: Symbol ) expected."},
        {"\"abc\".x = 1", "7: Left hand side must be a real value."},
        {"x = 1 / 0", "7: Division by 0."},
    };
    for (const ErrorCase& c : cases) ExpectError(c.src, c.want, true);
    // An expression holding "1 2" compiles to the constant 1.
    CCode e("1 2", true);
    ASSERT_TRUE(e.Compile(rt));
    EXPECT_EQ(e.kind(), CCode::kConstantExpression);
    EXPECT_EQ(e.Constant().real, 1.0);
}

TEST_F(Language, RuntimeErrors) {
    const ErrorCase cases[] = {
        {"{ ; x = 1 }", "3: Statement expected."},
        {"case 1: x = 1", "1: Case statement only allowed inside switch statement."},
        {"default: x = 1", "1: Default statement only allowed inside switch statement."},
        {"switch (1) { case 1: { case 2: } }",
         "24: Case statement only allowed inside switch statement."},
        {"s = \"a\" if s x = 1", "12: Expression expected"},
        {"s = \"a\" while s x = 1", "15: Boolean expression expected"},
        {"s = \"a\" do x = 1 until s", "24: Boolean expression expected"},
        {"s = \"a\" for (i = 0; s; i += 1) x = 1", "21: Expression expected"},
        {"s = \"a\" repeat s x = 1", "16: Repeat count must be a number"},
        {"s = \"a\" with (s) x = 1", "15: Object id expected"},
        {"with (local) x = 1", "7: Cannot use local in with statement."},
        {"with (global) x = 1", "7: Cannot use global in with statement."},
        {"x = a[40000]", "7: Array index >= 32000"},
        {"x = a[-1]", "7: Negative array index"},
        {"x = a[\"s\"]", "7: Wrong type of array index"},
        {"x = a[1, 32000]", "10: Array index >= 32000"},
        {"x = a[3]", "5: Unknown variable a or array index out of bounds"},
        {"x = nope", "5: Unknown variable nope"},
        {"x = (\"s\").y[1]", "6: Wrong type of variable index"},
        {"b[2,5] = 1; x = b[1,0]", "17: Unknown variable b or array index out of bounds"},
        {"var v; x = v + count()", "12: Unknown variable v"},
        {"var v; v += 1", "8: Unknown variable v"},
        {"id = 3", "1: Cannot assign to the variable"},
        {"noone.x = 1", "7: Cannot assign to the variable"},
        {"x = noone.x", "11: Unknown variable x"},
        {"x = (100000 + 99999999).x", "25: Unknown variable x"},
        {"x = 1; var x; return self.y", "27: Unknown variable y"},
        // an unset local is reported where it is read, not stored in a variable or array
        {"var v; a = v; x = 1", "12: Unknown variable v"},
        {"var v; a[1, 2] = v; x = 1", "18: Unknown variable v"},
        {"var v, l; l[1] = v", "18: Unknown variable v"},
        {"var v; argument0 = v", "20: Unknown variable v"},
    };
    for (const ErrorCase& c : cases) ExpectError(c.src, c.want, false);
    // A failed unset read does not evaluate the rest of the expression.
    g_calls = 0;
    ExpectError("var v; x = v + count()", "12: Unknown variable v", false);
    EXPECT_EQ(g_calls, 0);
    // Writing through an instance id that does not exist is ignored.
    ExpectValue("(100000 + 99999999).x = 1; x = 2", RValue(2.0));
    // Unimplemented built-ins report and give 0; the code goes on.
    ExpectValue("x = later() + 1", RValue(1.0));
    EXPECT_EQ(rt.hooked, std::vector<std::string>{"Function later is not available yet."});
    ASSERT_EQ(room.shown.size(), 1u);
    EXPECT_NE(room.shown[0].find("Function later is not available yet."), std::string::npos);
    // So do built-in variables without accessors, read or written, directly or by owner.
    room.shown.clear();
    ExpectValue("pending = 3; self.pending = 4; return pending + self.pending + 1", RValue(1.0));
    ASSERT_EQ(room.shown.size(), 4u);
    for (const std::string& shown : room.shown)
        EXPECT_NE(shown.find("Variable pending is not available yet."), std::string::npos);
}

TEST_F(Language, UninitializedAsZero) {
    rt.Settings().uninitialized_as_zero = true;
    const ValueCase cases[] = {
        {"x = nope + 1", RValue(1.0)},
        {"var v; x = v + 2", RValue(2.0)},
        {"x = a[5]", RValue(0.0)},
        {"b[2,5] = 1; x = b[1,0]", RValue(0.0)},
        {"var v; v += 3; x = v", RValue(3.0)},
        {"var v; a = v; x = a + 1", RValue(1.0)},
        {"var v, l; l[3] = v; x = l[3]", RValue(0.0)},
        {"var i, j; a[0, 0] = 3; x = a[i, j]", RValue(3.0)},
    };
    for (const ValueCase& c : cases) ExpectValue(c.src, c.want);
}

TEST_F(Language, OwnersAndWith) {
    const ValueCase cases[] = {
        {"other.v = 5; x = other.v", RValue(5.0)},
        {"x = self_id()", RValue(100001.0)},
        {"with (other) x = self_id()", RValue(100002.0)},
        {"with (other) x = other_id()", RValue(100001.0)},
        {"global.n = 0 with (all) global.n += 1 x = global.n", RValue(3.0)},
        {"global.n = 0 with (1) global.n += self_id() x = global.n", RValue(200005.0)},
        {"global.n = 0 with (100003) global.n += self_id() x = global.n", RValue(100003.0)},
        {"global.n = 0 with (noone) global.n = 1 x = global.n", RValue(0.0)},
        {"global.n = 0 with (all) { global.n += 1; if self_id() == 100002 break } x = global.n",
         RValue(2.0)},
        {"i = 0 while (1) { i += 1; with (other) break } x = i", RValue(1.0)},
        {"i = 0 while (i < 3) { i += 1; with (all) break } x = i", RValue(3.0)},
        {"all.w = 4; x = (100003).w + obj_ball.w", RValue(8.0)},
        {"x = all.id", RValue(100001.0)},
        {"x = obj_ball.id", RValue(100002.0)},
        {"(100002).z = 6; x = other.z", RValue(6.0)},
    };
    for (const ValueCase& c : cases) ExpectValue(c.src, c.want);
    // globalvar names mean the global variable in every instance, from the declaration on.
    ExpectValue("globalvar gg; gg = 7", RValue(7.0));
    CCode read("return gg", false);
    ASSERT_TRUE(read.Compile(rt));
    RValue v;
    ASSERT_TRUE(rt.Execute(read, &c, &c, v));
    EXPECT_EQ(v.real, 7.0);
    ExpectError("return self.gg", "13: Unknown variable gg", false);
    // Destroyed instances are skipped by with and reads.
    b.deleted = true;
    ExpectValue("global.n = 0 with (all) global.n += 1 x = global.n", RValue(2.0));
    ExpectValue("x = obj_ball.id", RValue(100003.0));
}

TEST_F(Language, ScriptsAndArguments) {
    rt.SetScript(0, "twice", "return argument0 * 2");
    rt.SetScript(1, "args", "return argument3 + argument[1]");
    rt.SetScript(2, "inner", "x = 1\r\ny = nope");
    rt.SetScript(3, "outer", "return inner()");
    rt.SetScript(4, "last", "x = 5");
    rt.SetScript(5, "setarg", "argument5 = 3; return argument5 + argument[16]");
    rt.SetScript(6, "deep", "return deep()");
    rt.SetScript(7, "echo", "return 42");  // a script shadows the built-in of that name
    ASSERT_TRUE(rt.CompileScripts());
    ExpectValue("x = twice(21)", RValue(42.0));
    ExpectValue("x = args(1, 2, 3)", RValue(2.0));
    ExpectValue("x = last()", RValue(5.0));
    ExpectValue("x = setarg(1)", RValue(4.0));
    ExpectValue("x = echo(7)", RValue(42.0));
    // The caller's arguments are intact after a call.
    RValue args[2] = {RValue(10.0), RValue(S("s"))};
    RValue r;
    rt.SetScript(8, "keeps", "y = twice(1); return argument0 + y");
    ASSERT_TRUE(rt.CallScript(8, &a, &b, r, args, 2));
    EXPECT_EQ(r.real, 12.0);
    // Errors name every script on the way, outermost first.
    Outcome o = Run("x = outer()");
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.text,
              "In script outer:\rIn script inner:\rError in code at line 2:\r   \ny = nope\r"
              "       ^\rat position 6: Unknown variable nope");
    o = Run("x = deep()");
    EXPECT_FALSE(o.ok);
    EXPECT_NE(o.text.find("Stack overflow: script calls nested too deeply."), std::string::npos);
    EXPECT_FALSE(rt.CallScript(40, &a, &b, r, args, 0));
    ASSERT_TRUE(rt.CallScript(2, &a, &b, r, args, 0) == false);
    EXPECT_EQ(r.Str(), "ERROR");
}

TEST_F(Language, ErrorTexts) {
    // A CR LF program: the line text starts with the LF, which also counts as a column.
    CCode code("a = 1\r\nb = +\r\n", false);
    rt.ClearError();
    rt.ReportCodeError(code, 12, "Unexpected symbol in expression.");
    EXPECT_EQ(rt.ErrorText(),
              "Error in code at line 2:\r   \nb = +\r       ^\rat position 6: "
              "Unexpected symbol in expression.");
    // Only the first error is kept; positions are clamped into the text.
    rt.ReportCodeError(code, 1, "second");
    EXPECT_NE(rt.ErrorText().find("Unexpected symbol"), std::string::npos);
    rt.ClearError();
    rt.ReportCodeError(code, 0, "m");
    EXPECT_EQ(rt.ErrorText(), "Error in code at line 1:\r   a = 1\r  ^\rat position 1: m");
    rt.ClearError();
    rt.ReportCodeError(code, 999, "m");
    EXPECT_EQ(rt.ErrorText().substr(0, 24), "Error in code at line 3:");
    // Lines broken by LF alone show just their line.
    CCode lf("a = 1\nb = c\nd = 2", false);
    rt.ClearError();
    rt.ReportCodeError(lf, 11, "m");
    EXPECT_EQ(rt.ErrorText(), "Error in code at line 2:\r   \nb = c\r      ^\rat position 5: m");
    CCode expr("1 + ", true);
    rt.ClearError();
    rt.ReportCodeError(expr, 3, "m");
    EXPECT_EQ(rt.ErrorText(), "Error in expression:1 + \r position 3: m");
    // The runtime context around a message, and the time-line form.
    rt.Event() = EventContext{3, 0, 1, 2};
    rt.ShowRuntimeError("boom", false);
    EXPECT_EQ(room.shown.back(),
              "ERROR in\r\naction number 3\r\nof <event>\r\nfor object <undefined>:\r\n\r\nboom");
    rt.Event() = EventContext{kTimeLineEvent, 40, 0, 0};
    rt.ShowRuntimeError("tl", true);
    EXPECT_EQ(room.shown.back(),
              "FATAL ERROR in\r\naction number 1\r\nat time step 40\r\nof time line "
              "<undefined>:\r\n\r\ntl");
    EXPECT_TRUE(rt.Aborting());
    rt.ShowError("ignored once aborting", false);
    EXPECT_EQ(room.shown.size(), 2u);
}

TEST_F(Language, ErrorSettingsAndLog) {
    std::string path = ::testing::TempDir() + "kr_game_errors.log";
    std::remove(path.c_str());
    rt.SetErrorLogPath(path);
    rt.Settings().display_errors = false;
    rt.Settings().log_errors = true;
    rt.ShowError("one", false);
    rt.SetErrorOccurred(false);
    rt.ShowError("two", false);
    rt.ShowError("three", false);
    EXPECT_TRUE(room.shown.empty());
    EXPECT_TRUE(rt.ErrorOccurred());
    EXPECT_EQ(rt.ErrorLast(), "three");
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buf[256] = {};
    size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    EXPECT_EQ(std::string(buf, n), "one\r\n\r\n\r\ntwo\r\n\r\n\r\nthree\r\n\r\n\r\n");
    // A new run starts the log afresh.
    Runtime second;
    second.SetErrorLogPath(path);
    second.Settings().display_errors = false;
    second.Settings().log_errors = true;
    second.ShowError("fresh", false);
    f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    EXPECT_EQ(std::string(buf, n), "fresh\r\n\r\n\r\n");
    std::remove(path.c_str());
    // error_occurred and error_last as variables.
    ExpectValue("error_occurred = 0; x = error_occurred", RValue(0.0));
    ExpectValue("x = error_last", S("three"));
    // Abort on all errors makes any error fatal and ends the game.
    rt.Settings().abort_on_all_errors = true;
    rt.ShowError("fatal now", false);
    EXPECT_TRUE(rt.Aborting());
}

// Loops, products, remainders and array indexes have faster forms for reals; a value of
// another kind met half way must give exactly what the plain instructions give.
TEST_F(Language, FastFormsMeetOtherKinds) {
    const ValueCase values[] = {
        {"s = 0 for (i = 10; i > 0; i += -2) s += i x = s", RValue(30.0)},
        {"s = 0 n = 5 for (i = 7; i >= n; i = i + -0.5) s += i x = s", RValue(30.0)},
        {"s = 0 n = 5 for (i = 0; i <= n; i += 1) { if i == 2 n = 3; s += i } x = s", RValue(6.0)},
        {"s = 0 for (i = 0; i < 10; i += 1) { if (i mod 2) continue; s += i } x = s", RValue(20.0)},
        {"for (i = 0; i < 4; i += 1) { if (i == 1) i = 10 } x = i", RValue(11.0)},
        {"for (i = 0; i < 1; i += 0.1) {} x = i", RValue(0.99999999999999989)},
        {"s = \"\" for (i = 0; i < 3; i += 1) s += \"ab\" x = s", S("ababab")},
        // multiply-add: the same roundings as the two operations
        {"var v, w; v = 0.1; w = 0.2; x = v * 3 + w", RValue(0.1 * 3 + 0.2)},
        {"var v; v = 3; v = v * 3 + v; x = v", RValue(12.0)},
        {"var v; v = \"ab\"; x = 2 * v + \"c\"", S("ababc")},
        {"var s, i; s = -3; i = 4; x = (s * 7 + i) mod -5", RValue(-2.0)},
        {"var s, i; s = 0.5; i = 1; x = (i + s * 7) mod 2", RValue(0.5)},
        {"var s; s = 2; x = (s * 3 + s) mod 7", RValue(1.0)},
        // two indexes read in place, rounded ties to even
        {"var i, j; a[2, 3] = 5; i = 2.5; j = 3; x = a[i, j]", RValue(5.0)},
        {"var i, j; i = 0; j = -0.5; d[i, j] = 4; x = d", RValue(4.0)},
        {"var l, i; i = 1.5; l[i] = 2; x = l[2]", RValue(2.0)},
        // a local array read by row and column
        {"var a, i, j; a[2, 3] = 5; i = 2.5; j = 3; x = a[i, j]", RValue(5.0)},
        {"var a, i, j; a = 7; a[1, 1] = 2; i = -0.4; j = 0; x = a[i, j]", RValue(7.0)},
        {"var a, i, j; a = \"s\"; a[1, 1] = 4; i = 1; j = 1; x = a[i, j]", RValue(4.0)},
        {"var a, i, j; a[1, 2] = \"q\"; i = 1; j = 2; x = a[i, j] + a[i, j]", S("qq")},
        {"var a, i, j; a[0, 5] = 2; i = 0; j = 5; x = a[i, j]", RValue(2.0)},
        {"var a, i, j; a[1, 31999] = 6; i = 0.5000001; j = 31999.4999; x = a[i, j]", RValue(6.0)},
        {"var a, i; a[2] = 3; i = -0.5; a[i] = 1; i = 1.5; x = a + a[i]", RValue(4.0)},
    };
    for (const ValueCase& c : values) ExpectValue(c.src, c.want);
    const ErrorCase errors[] = {
        {"for (i = 0; i < 5; i += 1) { if (i == 3) i = \"a\" }",
         "20: Wrong type of arguments to +."},
        {"n = 5 for (i = 0; i < n; i += 1) { if (i == 2) n = \"s\" }",
         "21: Cannot compare arguments."},
        {"var n; for (i = 0; i < n; i += 1) x = 1", "24: Unknown variable n"},
        {"var v; x = v * 2 + 1", "12: Unknown variable v"},
        {"var v, w; v = 1; x = v * 2 + w", "30: Unknown variable w"},
        {"y = 2; z = y * 3 + \"s\"", "18: Wrong type of arguments to +."},
        {"var s, i; s = 3; i = \"a\"; x = (s * 7 + i) mod 5", "38: Wrong type of arguments to +."},
        {"var s, i; s = \"b\"; i = 1; x = (i + s * 7) mod 5", "38: Wrong type of arguments to *."},
        {"var i, j; i = 1; x = b[i, j]", "27: Unknown variable j"},
        {"var i; i = \"s\"; x = c[i, 0]", "23: Wrong type of array index"},
        {"var i, j; i = 1; j = 32000; x = c[i, j]", "38: Array index >= 32000"},
        {"var i, j; i = -1; j = \"s\"; x = c[i, j]", "34: Negative array index"},
        {"var a, i; i = \"q\"; a[i] = 2", "22: Wrong type of array index"},
        {"var a, i; a[i] = 2", "13: Unknown variable i"},
        {"var a, i, j; a[1, 1] = 1; i = 1; j = 2; x = a[i, j]",
         "45: Unknown variable a or array index out of bounds"},
        {"var a, i, j; a[3, 1] = 1; i = 2; j = 1; x = a[i, j]",
         "45: Unknown variable a or array index out of bounds"},
        {"var a, i, j; i = 1; j = 31999.5; x = a[i, j]", "43: Array index >= 32000"},
        {"var a, i, j; i = -0.5000001; j = 0; x = a[i, j]", "43: Negative array index"},
        {"var a, i; i = 31999.5; a[i] = 1", "26: Array index >= 32000"},
        {"var a, i; i = -0.5000001; a[i] = 1", "29: Negative array index"},
        {"var a, i, j; i = 1; j = 1; x = a[i, j]",
         "32: Unknown variable a or array index out of bounds"},
        {"var a, i, j; a[1, 1] = 1; i = 1; j = \"s\"; x = a[i, j]",
         "52: Wrong type of array index"},
        // a choice between two additions to one local
        {"var s, t; s = 1; t = \"a\"; if (s > 0) t += 1 else t -= 1",
         "38: Wrong type of arguments to +."},
        {"var s, t; s = 1; if (s > 0) t += 1 else t -= 1", "29: Unknown variable t"},
        {"var s, t; t = 1; if (s > 0) t += 1 else t -= 1", "22: Unknown variable s"},
        {"var s, t; s = \"a\"; t = 1; if (s > 0) t += 1 else t -= 1",
         "33: Cannot compare arguments."},
    };
    for (const ErrorCase& c : errors) ExpectError(c.src, c.want, false);
    rt.SetStepLimit(1000);
    ExpectError("for (i = 0; i < 1; i += 0) {}", "15: Execution step limit reached.", false);
}

// A debugger's traps over every statement change nothing the code does, fused forms included;
// each statement is reported once per run with its source position, and an error is reported
// while its frames are still there.
TEST_F(Language, TrappedStatementsRunAsBefore) {
    struct Hook : DebugHook {
        Runtime* rt = nullptr;
        std::vector<int32_t> positions;
        size_t frames_at_error = 0;
        void OnEnter(Proto& p) override {
            ClearTraps(p);
            for (const Proto::Statement& s : p.statements) SetTrap(p, s.at);
        }
        void OnTrap(Proto& p, uint32_t at) override {
            for (const Proto::Statement& s : p.statements)
                if (s.at == at) positions.push_back(s.pos);
        }
        void OnError() override { frames_at_error = rt->DebugFrames().size(); }
    } hook;
    hook.rt = &rt;
    rt.SetDebugHook(&hook);
    const ValueCase values[] = {
        {"s = 0 for (i = 10; i > 0; i += -2) s += i x = s", RValue(30.0)},
        {"s = 0 n = 5 for (i = 0; i <= n; i += 1) { if i == 2 n = 3; s += i } x = s", RValue(6.0)},
        {"var v; v = 3; v = v * 3 + v; x = v", RValue(12.0)},
        {"var s; s = 2; x = (s * 3 + s) mod 7", RValue(1.0)},
        {"s = \"\" repeat (3) s += \"ab\" x = s", S("ababab")},
        {"var k; k = 0; while (k < 5) k += 1; x = k", RValue(5.0)},
        {"var a, i, j; a[1, 2] = 3; i = 1; j = 2; x = a[i, j]", RValue(3.0)},
        {"var s, t; s = 7; t = 0; if (s > 5) t += 1 else t -= 2; x = t", RValue(1.0)},
        {"var s, t; s = 3; t = 0; if (s > 5) { t += 1 } else { t -= 2 } x = t", RValue(-2.0)},
    };
    for (const ValueCase& c : values) ExpectValue(c.src, c.want);
    hook.positions.clear();
    ExpectValue("a = 1\nb = 2\nx = a + b", RValue(3.0));
    EXPECT_EQ(hook.positions, (std::vector<int32_t>{1, 7, 13}));
    // The arm a fused choice takes is still reported.
    hook.positions.clear();
    ExpectValue("var s, t;\ns = 1;\nt = 0;\nif (s < 2) t += 3 else t -= 3", RValue(3.0));
    EXPECT_EQ(hook.positions, (std::vector<int32_t>{11, 18, 25, 36}));
    // So is the step of a fused `for` loop, at every pass, with a number or a local as limit.
    for (const char* src : {"var i, s;\ns = 0;\nfor (i = 0; i < 3; i += 1) s += i;\nx = s",
                            "var i, n;\nn = 3;\nfor (i = 0; i < n; i += 1) n -= 0;\nx = i"}) {
        hook.positions.clear();
        ExpectValue(src, RValue(3.0));
        EXPECT_EQ(hook.positions, (std::vector<int32_t>{11, 23, 45, 37, 45, 37, 45, 37, 53}));
    }
    ExpectError("var v, w; v = 1; x = v * 2 + w", "30: Unknown variable w", false);
    EXPECT_EQ(hook.frames_at_error, 1u);
    rt.SetDebugHook(nullptr);
    // Traps left behind by a debugger that went away still run the code they cover.
    CCode code("y = 4; x = y * 2", false);
    ASSERT_TRUE(code.Compile(rt));
    hook.OnEnter(*code.GetProto());
    RValue out;
    ASSERT_TRUE(rt.Execute(code, &a, &b, out));
    EXPECT_EQ(a.vars.GetVar(rt.Names().Find("x"), 0)->real, 8.0);
}

// `s = s + t` and `s += t` extend the bytes of s in place only while no other value shares
// them.
TEST_F(Language, ConcatenationInPlace) {
    const ValueCase cases[] = {
        {"var s, t; s = \"ab\"; t = s; s += \"c\"; x = t + \"|\" + s", S("ab|abc")},
        {"var s; s = \"ab\"; s = s + s; x = s", S("abab")},
        {"var s; s = \"ab\"; s += \"\"; x = s", S("ab")},
        {"var s; s = \"\"; s += \"q\"; x = s", S("q")},
        {"s = \"ab\"; t = s; s += \"c\"; x = t", S("ab")},
        // `+=` on instance and global variables and their arrays: extended in place while the
        // variable alone holds the bytes, copied while anything else shares them.
        {"s = \"ab\"; s += s; x = s", S("abab")},
        {"s = \"a\"; repeat (100) s += \"b\"; t = s; s += \"c\"; x = (t + \"c\" == s) + (t != s)",
         2.0},
        {"s[2] = \"p\"; s[2] += \"q\"; t = s[2]; s[2] += \"r\"; x = t + \"|\" + s[2]", S("pq|pqr")},
        {"global.g = \"m\"; global.g += \"n\"; h = global.g; global.g += \"o\";"
         "x = h + \"|\" + global.g",
         S("mn|mno")},
        {"other.w = \"u\"; with (other) { w += \"v\"; z = w; w += \"w\" } x = other.z + other.w",
         S("uvuvw")},
    };
    for (const ValueCase& c : cases) ExpectValue(c.src, c.want);
    std::string built;
    for (int i = 0; i < 3000; ++i) built += "xy";
    ExpectValue("var s; s = \"\"; repeat (3000) s += \"xy\"; x = s", S(built.c_str()));
    // Built piece by piece in a variable, a long string costs linear time: copied at every
    // step this would take minutes.
    std::string long_text;
    for (int i = 0; i < 300000; ++i) long_text += "if (1) ";
    ExpectValue("s = \"\"; repeat (300000) s += \"if (1) \"; x = s", S(long_text.c_str()));
    ExpectValue("global.s = \"\"; repeat (300000) global.s += \"if (1) \"; x = global.s",
                S(long_text.c_str()));
    rt.SetMaxStringLength(5);
    ExpectError("var s; s = \"abc\"; s += \"def\"", "19: String too long.", false);
}

// A remainder of integers is computed in integers; it must be the very double of
// a - trunc(a / b) * b, signed zeros included.
TEST(Remainder, QuickFormEqualsTheDefinition) {
    const double cases[][2] = {
        {-0.0, 5},
        {0.0, -5},
        {7, -3},
        {-7, 3},
        {-14, 7},
        {14, -7},
        {5.5, 2},
        {17, 0.5},
        {3, 2147483648.0},
        {3, 2147483647},
        {2251799813685247.0, 3},
        {-2251799813685247.0, 1000003},
        {2251799813685248.0, 7},
        {4503599627370497.0, 3},
        {1e300, 7},
        {-1e300, 3},
        {1, 1e-300},
        {7, 1},
        {-7, -1},
        {0.5, 3},
    };
    auto bits = [](double v) {
        uint64_t b;
        std::memcpy(&b, &v, sizeof b);
        return b;
    };
    for (const auto& c : cases)
        EXPECT_EQ(bits(RealModQuick(c[0], c[1])), bits(RealMod(c[0], c[1])))
            << c[0] << " mod " << c[1];
    EXPECT_TRUE(std::isnan(RealModQuick(std::nan(""), 3)));
    EXPECT_TRUE(std::isnan(RealModQuick(INFINITY, 3)));
    // A sweep over dividends near multiples, large and small, of many divisors.
    uint64_t seed = 12345;
    for (int n = 0; n < 200000; ++n) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        double b = double(int64_t(seed >> 33) % 2000003 - 1000001);
        if (b == 0) continue;
        double q = double(int64_t(seed % 4000000000ull) - 2000000000);
        double a = q * b + double(int64_t((seed >> 20) % 5) - 2);
        if (std::fabs(a) >= 2251799813685248.0) continue;
        ASSERT_EQ(bits(RealModQuick(a, b)), bits(RealMod(a, b))) << a << " mod " << b;
    }
}

// The fused multiply-add-remainder keeps the divisor's reciprocal in the instruction; its
// result must be the very double of the operations one at a time: a * k, then + c, then
// x - trunc(x / m) * m. Operands cross 2^51 and 2^53, are negative, zero or not whole.
TEST_F(Language, FusedRemainderEqualsTheOperationsOneByOne) {
    struct Case {
        double s, k, c, m;
    } const cases[] = {
        {208754, 7, 9999999, 1000003},
        {-3, 7, 4, -5},
        {-3, 7, 2, 5},
        {0, 7, 0, 3},
        {0, -7, 0, 3},  // -0 + 0
        {1000002, 7, 1, 1000003},
        {4, 3, -12, 7},  // a nonzero multiple: +0
        {321685687669321.0, 7, 0, 1000003},
        {321685687669322.0, 7, 5, 3},            // past 2^51
        {1286742750677284.0, 7, 1, 2147483647},  // past 2^53: the sum rounds
        {-1286742750677284.0, 7, -3, 1000003},
        {0.5, 7, 1, 2},
        {2.25, 3, 0.125, 4},
        {9007199254740992.0, 3, 1, 7},
        {3, 1, 2, -2147483647},
    };
    auto bits = [](double v) {
        uint64_t b;
        std::memcpy(&b, &v, sizeof b);
        return b;
    };
    auto text = [](double v) {
        char t[40];
        std::snprintf(t, sizeof t, "%.17g", v);
        return std::string(t);
    };
    for (const Case& c : cases) {
        volatile double product = c.s * c.k;
        volatile double sum = product + c.c;
        const double want = RealMod(sum, c.m);
        const std::string set = "var s, i; s = " + text(c.s) + "; i = " + text(c.c) + "; ";
        const std::string k = text(c.k), m = text(c.m);
        for (const std::string& e :
             {"(s * " + k + " + i) mod " + m, "(i + s * " + k + ") mod " + m}) {
            const std::string src = set + "return " + e + ";";
            CCode code(src, false);
            ASSERT_TRUE(code.Compile(rt)) << src;
            bool fused = false;
            for (const Instr& in : code.GetProto()->instrs)
                fused = fused || in.op == OP_MULADDMOD_L || in.op == OP_MULADDMOD_R;
            EXPECT_TRUE(fused) << src;
            RValue got;
            ASSERT_TRUE(rt.Execute(code, &a, &b, got)) << src;
            EXPECT_EQ(bits(got.real), bits(want)) << src << " gives " << text(got.real);
        }
    }
}

// An `if` whose arms each add a number to (or subtract one from) the same local picks the
// number without a branch; the local must become the very double that the arm taken gives as
// `t = t + k` or `t = t - k`, which has no fused form: comparisons at and across the
// tolerance, signed zeros, rounding at 2^53, overflow.
TEST_F(Language, FusedChoiceEqualsTheArmTaken) {
    struct Case {
        double s;
        const char* cmp;
        double n, t;
        char op1;
        double k1;
        char op2;
        double k2;
    } const cases[] = {
        {500001, ">", 500000, 0, '+', 1, '-', 1},
        {500000, ">", 500000, 0, '+', 1, '-', 1},
        {500000.00000000006, ">", 500000, 0, '+', 1, '-', 1},  // within the tolerance
        {500000.001, ">", 500000, 0, '+', 1, '-', 1},
        {-0.0, "==", 0, -0.0, '+', 0, '-', 0},  // -0 + 0 is +0
        {1.0, "==", 0, -0.0, '+', 0, '-', 0},   // -0 - 0 stays -0
        {1.0, "!=", 0, -0.0, '+', -0.0, '-', -0.0},
        {0.0, "!=", 0, -0.0, '+', -0.0, '-', -0.0},       // -0 - -0 is +0
        {2, "<", 3, 9007199254740992.0, '+', 1, '-', 1},  // rounds back to 2^53
        {3, "<", 3, 9007199254740992.0, '+', 1, '-', 1},
        {4, "<=", 4, 0.1, '+', 0.2, '+', 0.7},
        {4.5, "<=", 4, 0.1, '+', 0.2, '+', 0.7},
        {-1e-14, ">=", 0, 1e308, '+', 1e308, '-', 1e308},  // overflow to infinity
        {-1, ">=", 0, -1e308, '+', 1e308, '-', 1e308},
        {7, ">", 5, -2.5, '-', 0.75, '+', 1e-300},
        {3, ">", 5, -2.5, '-', 0.75, '+', 1e-300},
    };
    auto text = [](double v) {  // numbers have no exponent in the language
        char t[700];
        std::snprintf(t, sizeof t, "%.17g", v);
        if (std::strchr(t, 'e')) std::snprintf(t, sizeof t, "%.340f", v);
        return std::string(std::signbit(v) && v == 0 ? "-0" : t);
    };
    auto run = [&](const std::string& src, bool want_fused) {
        CCode code(src, false);
        EXPECT_TRUE(code.Compile(rt)) << src;
        bool fused = false;
        for (const Instr& in : code.GetProto()->instrs)
            fused = fused || (in.op >= OP_IFADD_LT && in.op <= OP_IFADD_GT);
        EXPECT_EQ(fused, want_fused) << src;
        RValue got;
        EXPECT_TRUE(rt.Execute(code, &a, &b, got)) << src;
        uint64_t bits;
        std::memcpy(&bits, &got.real, sizeof bits);
        return bits;
    };
    for (const Case& c : cases) {
        const std::string set = "var s, t; s = " + text(c.s) + "; t = " + text(c.t) + "; ";
        const std::string test = "if (s " + std::string(c.cmp) + " " + text(c.n) + ") ";
        const std::string k1 = text(c.k1), k2 = text(c.k2);
        const std::string fused = test + "t " + c.op1 + "= " + k1 + " else t " + c.op2 + "= " + k2;
        const std::string plain =
            test + "t = t " + c.op1 + " " + k1 + " else t = t " + c.op2 + " " + k2;
        // The arms as the last statement (each stores the result) and inside a block.
        const uint64_t want = run(set + plain, false);
        EXPECT_EQ(run(set + fused, true), want) << set + fused;
        EXPECT_EQ(run(set + "{ " + fused + " } return t;", true), want) << set + fused;
    }
}

// The comparison tolerance is the extended-precision 1e-13, held as the doubles either side.
TEST(Comparison, ToleranceBracketsTheExtendedConstant) {
    EXPECT_LT((long double)kTolBelow, 1e-13L);
    EXPECT_GT((long double)kTolAbove, 1e-13L);
    EXPECT_EQ(std::nextafter(kTolBelow, 1.0), kTolAbove);
}

// Comparisons with a number test against a threshold; it must agree with the tolerance rule
// for every real, here the ones around the boundary and around the number itself.
TEST(Comparison, ThresholdsAgreeWithTheTolerance) {
    const int32_t ops[] = {kTokLess, kTokLessEqual, kTokGreaterEqual, kTokGreater};
    bool (*const rules[])(double, double) = {RealLess, RealLessEqual, RealGreaterEqual,
                                             RealGreater};
    const double numbers[] = {0.0,     -0.0,      1.0,   -1.0,   0.5,      2.0,
                              1e-13,   -1e-13,    3e-13, 1e-300, 10000000, 500000,
                              31999.5, 0.1 + 0.2, 1e15,  -7e17,  1e300,    -1.7976931348623157e308};
    for (size_t k = 0; k < 4; ++k) {
        for (double b : numbers) {
            double t = 0;
            ASSERT_TRUE(CompareThreshold(ops[k], b, t)) << b;
            const bool at_most = k < 2;
            for (double start : {t, b, b + 1e-13, b - 1e-13}) {
                double a = start;
                for (int i = 0; i < 8; ++i) a = std::nextafter(a, -INFINITY);
                for (int i = 0; i < 16; ++i, a = std::nextafter(a, INFINITY))
                    ASSERT_EQ(rules[k](a, b), at_most ? a <= t : a >= t)
                        << "op " << k << " a " << a << " b " << b;
            }
        }
        double t;
        EXPECT_FALSE(CompareThreshold(ops[k], INFINITY, t));
        EXPECT_FALSE(CompareThreshold(ops[k], std::nan(""), t));
    }
}

TEST_F(Language, ScriptCallsAndArgumentReads) {
    rt.SetScript(0, "cat", "if (argument0 <= 0) return \"\"; return cat(argument0 - 1) + \"x\"");
    rt.SetScript(
        1, "fib",
        "if (argument0 < 2) return argument0; return fib(argument0 - 1) + fib(argument0 - 2)");
    rt.SetScript(2, "reread", "y = argument0; set_arg0(); return argument0 + \"|\" + y");
    rt.SetScript(3, "written", "y = argument0; argument0 = 7; return argument0 + y");
    rt.SetScript(4, "spare", "return argument3");
    rt.SetScript(5, "twice", "return argument0 + argument0");
    ASSERT_TRUE(rt.CompileScripts());
    const ValueCase cases[] = {
        {"x = cat(5)", S("xxxxx")},
        {"x = cat(3) + cat(2)", S("xxxxx")},
        {"x = fib(15)", RValue(610.0)},
        {"x = reread(\"old\")", S("set|old")},
        {"x = written(1)", RValue(8.0)},
        {"x = spare(1)", RValue(0.0)},
        {"x = twice(\"ab\") + twice(\"c\")", S("ababcc")},
        {"v = cat(2); x = twice(v)", S("xxxx")},
    };
    for (const ValueCase& c : cases) ExpectValue(c.src, c.want);
    ExpectError("x = fib(\"s\")", "15: Cannot compare arguments.", false);
}

TEST_F(Language, NestingIsBounded) {
    std::string deep(5000, '(');
    Outcome o = Run("x = " + deep);
    EXPECT_EQ(o.error.substr(o.error.find(':') + 2), "Code is nested too deeply.");
    std::string chain = "x = 1";
    for (int i = 0; i < 5000; ++i) chain += " + 1";
    o = Run(chain);
    EXPECT_EQ(o.error.substr(o.error.find(':') + 2), "Code is nested too deeply.");
    std::string blocks(5000, '{');
    o = Run(blocks);
    EXPECT_EQ(o.error.substr(o.error.find(':') + 2), "Code is nested too deeply.");
    std::string unary = "x = " + std::string(5000, '-') + "1";
    o = Run(unary);
    EXPECT_EQ(o.error.substr(o.error.find(':') + 2), "Code is nested too deeply.");
    // Long but shallow code is fine.
    std::string many;
    for (int i = 0; i < 3000; ++i) many += "x = x + 1\n";
    ExpectValue("x = 0\n" + many, RValue(3000.0));
}

TEST_F(Language, StepLimitStopsLoops) {
    rt.SetStepLimit(1000);
    ExpectError("while (1) {}", "8: Execution step limit reached.", false);
    ExpectError("i = 0 repeat 100000 i += 1", "7: Execution step limit reached.", false);
}

TEST_F(Language, RecompileAndUncompiled) {
    CCode code("x = 1", false);
    ASSERT_TRUE(code.Compile(rt));
    EXPECT_FALSE(code.Compile(rt));
    EXPECT_NE(rt.ErrorText().find("Internal Error: Recompiling compiled code."), std::string::npos);
    CCode never("x = 1", false);
    RValue r;
    EXPECT_FALSE(rt.Execute(never, &a, &a, r));
    EXPECT_NE(rt.ErrorText().find("Internal Error: Executing non-compiled code."),
              std::string::npos);
    EXPECT_FALSE(rt.Execute(code, nullptr, &a, r));
    EXPECT_NE(rt.ErrorText().find("Internal Error: Executing code for nil instance."),
              std::string::npos);
    EXPECT_FALSE(rt.ExecuteForValue(never, &a, &a, r));
    EXPECT_EQ(r.Str(), "ERROR");
}

TEST_F(Language, GameConstants) {
    EXPECT_TRUE(rt.DefineConstant("  big ", "c_red + 1"));
    ExpectValue("x = big", RValue(256.0));
    EXPECT_TRUE(rt.DefineConstant("c_red", "\"shadow\""));
    ExpectValue("x = c_red", S("shadow"));
    EXPECT_FALSE(rt.DefineConstant("2fast", "1"));
    EXPECT_FALSE(rt.DefineConstant("bad", "1 +"));
    EXPECT_FALSE(rt.DefineConstant("worse", "1 / nope"));
}

}  // namespace
}  // namespace kr
