// Preparing and running single actions: set-variable actions, argument kinds and folding,
// questions with NOT, library actions written as code with their arguments, and the library
// initialization code.
#include <gtest/gtest.h>

#include "objects/ActionExecution.h"
#include "objects/GameFixture.h"

namespace kr {
namespace {

using namespace test;

using ActionsTest = GameFixture;

CAction SetVariable(const std::string& name, const std::string& value, bool relative) {
    CAction a = Mark(CAction::kSetVariable);
    a.arg_count = 2;
    a.arg_texts[0] = name;
    a.arg_texts[1] = value;
    a.relative = relative;
    return a;
}

TEST_F(ActionsTest, SetVariableIsAnAssignmentOrRelativelyAnAddition) {
    CObject o;
    o.events[kEventCreate][0] =
        Event({Code("hp = 5; name = 'a'"), SetVariable("hp", "10", true),
               SetVariable("name", "name + 'b'", false), SetVariable("global.g", "hp * 2", false)});
    AddObject("o", o);
    ASSERT_TRUE(Start());
    CInstance& inst = Create(0);
    EXPECT_EQ(Run("return string(hp) + name + string(global.g)", &inst).StdStr(), "15ab30");
}

TEST_F(ActionsTest, ArgumentsAreStringsConstantsOrCode) {
    AddObject("obj_target", CObject());
    ASSERT_TRUE(Start());
    struct Case {
        int32_t kind;
        const char* text;
        const char* value;  // the constant, or "code" for an expression kept compiled
    } cases[] = {
        {kArgStringOrExpression, "'abc'", "\"abc\""},  // an expression: a string constant
        {kArgStringOrExpression, "abc", "\"abc\""},    // a plain string
        {kArgStringOrExpression, "\"a\" + \"b\"", "\"ab\""},
        {kArgExpression, "2 + 3", "5"},  // folded
        {kArgString, "2 + 3", "\"2 + 3\""},
        {kArgStringToo, "x", "\"x\""},
        {kArgExpression, "x + 1", "code"},
        {6, "obj_target", "0"},  // resource kinds name resources
        {3, "c_red", "255"},
    };
    for (const Case& k : cases) {
        CAction a;
        a.exec_type = CAction::kExecFunction;
        a.arg_count = 1;
        a.arg_kinds[0] = k.kind;
        a.arg_texts[0] = k.text;
        ASSERT_TRUE(PrepareAction(Rt(), a)) << k.text;
        const PreparedAction& p = *a.prepared;
        EXPECT_EQ(p.arg_codes[0] ? "code" : Show(p.arg_values[0]), k.value) << k.text;
    }
}

TEST_F(ActionsTest, QuestionsTakeTheTruthOfTheResultAndNot) {
    ASSERT_TRUE(Start());
    bool& relative = R().Vars().argument_relative;
    const ActionContext ctx{Rt(), relative};
    std::unique_ptr<CInstance> self = R().NewTemporaryInstance();
    struct Case {
        const char* value;
        bool is_not;
        bool truth;
    } cases[] = {
        {"0.3", false, false},
        {"0.3", true, true},
        {"0.5", false, true},
        {"0.49", true, true},
    };
    for (const Case& k : cases) {
        // A function question (abs of the value) and the same as code.
        CAction fn;
        fn.is_question = true;
        fn.exec_type = CAction::kExecFunction;
        fn.function_id = Rt().FindFunction("abs");
        fn.arg_count = 1;
        fn.arg_texts[0] = k.value;
        fn.is_not = k.is_not;
        CAction code = If(k.value, k.is_not);
        ASSERT_TRUE(PrepareAction(Rt(), fn) && PrepareAction(Rt(), code));
        EXPECT_EQ(ExecuteQuestion(ctx, self.get(), self.get(), fn), k.truth) << k.value;
        EXPECT_EQ(ExecuteQuestion(ctx, self.get(), self.get(), code), k.truth) << k.value;
    }
    // A string result is false.
    CAction text = If("'1'");
    ASSERT_TRUE(PrepareAction(Rt(), text));
    EXPECT_FALSE(ExecuteQuestion(ctx, self.get(), self.get(), text));
}

TEST_F(ActionsTest, CodeActionsSeeTheirArgumentsAndRelativeFlagThenRestoreThem) {
    ASSERT_TRUE(Start());
    bool& relative = R().Vars().argument_relative;
    const ActionContext ctx{Rt(), relative};
    std::unique_ptr<CInstance> self = R().NewTemporaryInstance();
    CAction a;
    a.exec_type = CAction::kExecCode;
    a.code_text =
        "global.seen = string(argument_relative) + string(argument0) + argument1 + "
        "string(argument2)";
    a.may_be_relative = true;
    a.relative = true;
    a.arg_count = 2;
    a.arg_kinds = {kArgExpression, kArgString};
    a.arg_texts[0] = "3 + 4";
    a.arg_texts[1] = "s";
    ASSERT_TRUE(PrepareAction(Rt(), a));
    Rt().SetArgument(0, RValue(99.0));
    Rt().SetArgument(2, RValue(5.0));
    ExecuteAction(ctx, self.get(), self.get(), a);
    EXPECT_EQ(Run("return global.seen").StdStr(), "17s5") << "argument2 is the caller's";
    EXPECT_EQ(Show(Rt().Argument(0)), "99");
    EXPECT_FALSE(relative);
}

TEST_F(ActionsTest, FunctionActionsCallBuiltinsAndScriptsWithTheRelativeFlag) {
    CScript script;
    script.text = "global.got = string(argument_relative) + string(argument0 + argument1)";
    w.Add("scr_add", script);
    ASSERT_TRUE(Start());
    bool& relative = R().Vars().argument_relative;
    const ActionContext ctx{Rt(), relative};
    std::unique_ptr<CInstance> self = R().NewTemporaryInstance();
    CAction a;
    a.exec_type = CAction::kExecFunction;
    a.function_id = Rt().FindFunction("scr_add");
    a.arg_count = 2;
    a.arg_texts[0] = "1";
    a.arg_texts[1] = "x + 2";
    a.may_be_relative = true;
    a.relative = true;
    ASSERT_TRUE(PrepareAction(Rt(), a));
    ExecuteAction(ctx, self.get(), self.get(), a);
    EXPECT_EQ(Run("return global.got").StdStr(), "13");

    // Without the relative option the flag is false whatever the action's relative says; a
    // function that was not found does nothing.
    a.may_be_relative = false;
    ExecuteAction(ctx, self.get(), self.get(), a);
    EXPECT_EQ(Run("return global.got").StdStr(), "03");
    a.function_id = -1;
    Run("global.got = 'kept'");
    ExecuteAction(ctx, self.get(), self.get(), a);
    EXPECT_EQ(Run("return global.got").StdStr(), "kept");
}

TEST_F(ActionsTest, FailingArgumentIsReportedAndTheActionStillRuns) {
    CObject o;
    CAction a;
    a.exec_type = CAction::kExecCode;
    a.code_text = "global.ran = argument1";
    a.arg_count = 2;
    a.arg_texts[0] = "no_such_variable";
    a.arg_texts[1] = "7";
    o.events[kEventCreate][0] = Event({a});
    AddObject("obj_o", o);
    ASSERT_TRUE(Start());
    Create(0);
    EXPECT_EQ(LastError().rfind("ERROR in|action number 1|of Create Event|for object obj_o:", 0),
              0u)
        << LastError();
    EXPECT_EQ(Show(Run("return global.ran")), "7");
}

TEST_F(ActionsTest, LibraryInitCodeRunsForATemporaryInstance) {
    CObject o;
    o.sprite = -1;
    AddObject("obj_first", o);
    w.AddLibraryInitCode(
        "global.init = string(id) + string(object_index) + string(x) + "
        "string(instance_number(all))");
    w.AddLibraryInitCode("");
    w.AddConstant("C_FROM_X", "x + 5");  // constants are evaluated for such an instance too
    ASSERT_TRUE(Start());
    ASSERT_TRUE(R().RunLibraryInitCode());
    EXPECT_EQ(Run("return global.init + string(C_FROM_X)").StdStr(), "00005");
}

TEST_F(ActionsTest, LibraryInitCodeThatDoesNotCompileIsFatal) {
    w.AddLibraryInitCode("x = ");
    ASSERT_TRUE(Start());
    EXPECT_FALSE(R().RunLibraryInitCode());
    EXPECT_EQ(
        LastError().rfind("COMPILATION ERROR in library initialization code|Error in code", 0), 0u)
        << LastError();
    EXPECT_EQ(R().RoomRequest(), kRequestEndAfterError);
}

}  // namespace
}  // namespace kr
