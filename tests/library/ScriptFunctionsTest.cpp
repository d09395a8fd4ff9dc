// Scripts and code built at run time: script calls and their arguments, script_execute,
// execute_string, execute_file, the script functions and the variable functions by name.
#include <gtest/gtest.h>

#include "support/ScratchDir.h"
#include "support/ScriptRunner.h"

namespace kr {
namespace {

using test::Show;

struct Case {
    const char* code;
    const char* want;        // the result, as Show writes it
    const char* error = "";  // a text the error shown must contain; "" when none is shown
};

void RunCases(test::ScriptRunner& run, std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(Show(run.Run(c.code)), c.want) << c.code;
        std::string error = run.LastError();
        if (*c.error == 0)
            EXPECT_EQ(error, "") << c.code;
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << c.code << "\n" << error;
    }
}

class ScriptFunctionsTest : public ::testing::Test {
protected:
    ScriptFunctionsTest() {
        Runtime& rt = run_.Rt();
        rt.SetScript(0, "twice", "return argument0 * 2");
        rt.SetScript(1, "args_seen",
                     "return string(argument0) + ',' + string(argument1) + ',' + "
                     "string(argument2) + ',' + string(argument3) + ',' + string(argument15)");
        rt.SetScript(2, "outer", "return inner()");
        rt.SetScript(3, "inner", "x = 1;\r\nreturn missing_variable");
        rt.SetScript(4, "abs", "return 'mine'");  // named like a built-in function
        rt.SetScript(5, "clobber", "argument0 = 'changed'; argument9 = 9; return 0");
        rt.SetScript(7, "after_gap", "return 7");  // index 6 stays empty
        EXPECT_TRUE(rt.CompileScripts());
    }
    test::ScriptRunner run_;
};

TEST_F(ScriptFunctionsTest, ScriptCallsPassAndRestoreTheArguments) {
    RunCases(run_,
             {
                 {"return twice(21)", "42"},
                 {"return script_execute(twice, 21)", "42"},
                 {"return script_execute(0.4, 21)", "42"},  // the index is rounded
                 {"return args_seen(1, 2, 3)", "\"1,2,3,0,0\""},
                 {"return script_execute(args_seen, 'a', 'b')", "\"a,b,0,0,0\""},
                 // 15 arguments after the index at most: argument15 stays 0.
                 {"return script_execute(args_seen, 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15)",
                  "\"1,2,3,4,0\""},
                 {"argument0 = 5; argument9 = 4; clobber(1); return argument0 + argument9", "9"},
                 {"argument0 = 5; script_execute(clobber, 1); return argument0", "5"},
                 {"return abs(-3)", "\"mine\""},  // scripts shadow built-in functions
                 {"return after_gap()", "7"},
             });
}

TEST_F(ScriptFunctionsTest, ScriptFunctionsAnswerForEveryIndex) {
    RunCases(run_,
             {
                 {"return script_exists(twice)", "1"},
                 {"return script_exists(6)", "0"},  // an empty slot
                 {"return script_exists(-1) + script_exists(99) + script_exists(10000000000)", "0"},
                 {"return script_get_name(args_seen)", "\"args_seen\""},
                 {"return script_name(1)", "\"args_seen\""},
                 {"return script_get_name(6) + script_get_name(-5)", "\"<undefined><undefined>\""},
                 {"return script_get_text(twice)", "\"return argument0 * 2\""},
                 {"return script_get_text(99)", "\"\""},
             });
}

TEST_F(ScriptFunctionsTest, ErrorsNameEveryScriptOnTheWayOutermostFirst) {
    RunCases(run_,
             {
                 {"return script_execute(99)", "0", "Trying to execute non-existing script."},
                 {"return script_execute()", "0", "Trying to execute non-existing script."},
                 // The failure is shown at once and the call gives "ERROR"; the caller goes on.
                 {"r = script_execute(outer); return r + '!'", "\"ERROR!\"",
                  "In script outer:\rIn script inner:\rError in code at line 2:"},
             });
    // A compiled call fails the calling code with the same text.
    run_.Run("return outer()");
    EXPECT_NE(run_.LastError().find("In script outer:\rIn script inner:\r"), std::string::npos)
        << run_.LastError();
    EXPECT_NE(run_.LastError().find("missing_variable"), std::string::npos) << run_.LastError();
}

TEST_F(ScriptFunctionsTest, ExecuteStringCompilesTheTextOnEveryCall) {
    RunCases(
        run_,
        {
            {"return execute_string('return argument0 + argument1', 2, 3)", "5"},
            {"return execute_string()", "0"},
            {"return execute_string('return argument2', 1, 2)", "0"},  // unpassed arguments are 0
            {"argument0 = 1; execute_string('argument0 = 9'); return argument0", "1"},
            {"execute_string('q = 4'); return q", "4"},  // for the calling self
            {"n = 0; for (i = 1; i < 4; i += 1) n = n * 10 + execute_string('return ' + string(i));"
             " return n",
             "123"},
            {"return execute_string('x = ')", "0",
             "COMPILATION ERROR in string to be executed\rError in code at line 1:"},
            // A run-time error is shown; the result is what was computed before it.
            {"return execute_string('a = 3; b = nope')", "3", "Unknown variable nope"},
        });
}

TEST_F(ScriptFunctionsTest, ExecuteFileRunsTheFileLineByLine) {
    test::ScratchDir dir;
    dir.Write("sub/Code.txt", "var a;\r\na = argument0;\nreturn a * argument1\r");
    dir.Write("broken.txt", "a = 1\nb = );\nc = 2\n");
    // Game paths: "\" separators, letter case ignored.
    std::string code = "\\" + dir.Path().substr(1) + "\\SUB\\code.TXT";
    std::string broken = dir / "broken.txt";
    RunCases(run_, {
                       {("return execute_file('" + code + "', 6, 7)").c_str(), "42"},
                       {"return execute_file('no such file.txt', 1)", "0",
                        "Trying to execute non-existing file."},
                       {("return execute_file('" + dir.Path() + "')").c_str(), "0",
                        "Trying to execute non-existing file."},  // a directory
                       // The lines are joined with CR, so the error names line 2 of the file.
                       {("return execute_file('" + broken + "')").c_str(), "0",
                        "COMPILATION ERROR in file to be executed\rError in code at line 2:"},
                   });
}

TEST_F(ScriptFunctionsTest, GlobalVariablesByName) {
    RunCases(
        run_,
        {
            {"variable_global_set('g', 3); return global.g + variable_global_get('g')", "6"},
            {"return variable_global_exists('never_used')", "0"},
            {"global.h = 1; return variable_global_exists('h')", "1"},
            {"return variable_global_get('never_set')", "0"},
            // A built-in name is a plain global variable under the built-in's id.
            {"argument0 = 1; variable_global_set('argument0', 5); "
             "return string(argument0) + string(variable_global_get('argument0'))",
             "\"15\""},
            {"variable_global_array_set('a', 3, 'x'); return global.a[3] + "
             "variable_global_array_get('a', 3)",
             "\"xx\""},
            {"variable_global_array2_set('b', 2, 5, 9); return global.b[2, 5]", "9"},
            {"global.c[1, 2] = 8; return variable_global_array2_get('c', 1, 2)", "8"},
            {"return variable_global_array_get('a', 31999)", "0"},
            {"return variable_global_array_get('a', 32000)", "0", "Array index >= 32000"},
            {"return variable_global_array2_get('a', 0, 32000)", "0", "Array index >= 32000"},
            {"variable_global_array2_set('a', 32000, 0, 1); return 1", "1", "Array index >= 32000"},
            // Negative indexes: a read finds nothing, a write is rejected like `a[-1] = 1` is.
            {"return variable_global_array_get('a', -1)", "0"},
            {"variable_global_array_set('n', -1, 1); return variable_global_exists('n')", "0",
             "Negative array index"},
            {"variable_global_array2_set('n', 1, -2, 1); return variable_global_exists('n')", "0",
             "Negative array index"},
        });
    // Asking for a name enters it into the name table.
    EXPECT_GE(run_.Rt().Names().Find("never_used"), kFirstUserVariable);
}

TEST_F(ScriptFunctionsTest, LocalVariablesByName) {
    RunCases(run_,
             {
                 {"variable_local_set('v', 10); return v", "10"},
                 {"v = 2; return variable_local_get('v') + variable_local_exists('v')", "3"},
                 {"return variable_local_exists('nope') + variable_local_get('nope')", "0"},
                 // `var` variables of the calling code are not reached.
                 {"var t; t = 5; return variable_local_exists('t')", "0"},
                 {"variable_local_array_set('w', 4, 'q'); return w[4]", "\"q\""},
                 {"w[2, 3] = 6; return variable_local_array2_get('w', 2, 3)", "6"},
                 {"variable_local_array_set('w', -4, 1); return 0", "0", "Negative array index"},
                 {"return variable_local_array_get('w', 40000)", "0", "Array index >= 32000"},
                 // A read-only built-in variable ignores the write without a message.
                 {"variable_local_set('id', 5); return 1", "1"},
                 {"variable_local_set('korvane_version', 5); return korvane_version", "800"},
                 // Built-in variables are reached through their accessors; argument[16] means
                 // argument[0].
                 {"argument1 = 'p'; return variable_local_array_get('argument', 1)", "\"p\""},
                 {"variable_local_array_set('argument', 16, 'z'); return argument0", "\"z\""},
                 {"variable_local_set('score', 2.5); return score", "2"},
             });
}

TEST_F(ScriptFunctionsTest, UninitializedVariablesAsZeroMakeEveryNameExist) {
    run_.Rt().Settings().uninitialized_as_zero = true;
    RunCases(
        run_,
        {
            {"return variable_global_exists('nothing') + variable_local_exists('nothing')", "2"},
            {"return variable_global_array_get('nothing', 5)", "0"},
        });
}

}  // namespace
}  // namespace kr
