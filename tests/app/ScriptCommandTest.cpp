// korvane script as a user runs it: programs from files and from the command line, their
// arguments, scripts they call, their output and their errors.
#include <gtest/gtest.h>

#include <chrono>

#include "app/App.h"
#include "support/ScratchDir.h"
#include "support/Subprocess.h"

namespace kr {
namespace {

using test::RunProgram;
using test::ScratchDir;

// Runs `korvane script ARGS...`.
test::ProcessResult RunScript(std::vector<std::string> args) {
    args.insert(args.begin(), "script");
    return RunProgram(test::KorvanePath(), args);
}

TEST(ScriptCommand, RunsProgramsWithArgumentsAndScripts) {
    ScratchDir dir;
    std::string fib = dir.Write("fib.txt",
                                "if (argument0 < 2) return argument0;\n"
                                "return fib(argument0 - 1) + fib(argument0 - 2);\n");
    std::string prog = dir.Write("prog.txt", "show_debug_message(string(fib(argument0)));\n");
    std::string sq = dir.Write("sq.txt", "return argument0 * argument0");
    struct Case {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"-e", "show_debug_message(string(1/3))"}, "0.33\n"},
        {{"-e", "show_debug_message(1/4)"}, "0.25\n"},
        {{"-e", "show_debug_message(string(argument0 * 2) + argument1)", "21", "x"}, "42x\n"},
        // Numbers become reals; anything else stays text.
        {{"-e", "show_debug_message(string(is_real(argument0)) + string(is_string(argument1)))",
          "-2.5", "12abc"},
         "11\n"},
        {{"-e", "show_debug_message(string(argument0 + 1))", "1e3"}, "1001\n"},
        {{"-e", "show_debug_message(argument15 + 1)"}, "1\n"},
        {{"--script", "fib=" + fib, prog, "10"}, "55\n"},
        {{"--script=fib=" + fib, "--script", "sq=" + sq, "-e",
          "show_debug_message(sq(fib(7)) + script_execute(sq, 2))"},
         "173\n"},
        {{"-e", "show_debug_message('a'); show_debug_message('b')"}, "a\nb\n"},
    };
    for (const Case& c : cases) {
        test::ProcessResult r = RunScript(c.args);
        EXPECT_EQ(r.status, 0) << c.args.back() << "\n" << r.err;
        EXPECT_EQ(r.out, c.out) << c.args.back();
        EXPECT_EQ(r.err, "") << c.args.back();
    }
}

// A program outside a game has no steps: it reads the real clock and the real date, and sleep
// really waits (the process cannot end before the time it slept, which is a lower bound and
// holds on any machine).
TEST(ScriptCommand, ReadsTheRealClockAndSleepWaits) {
    const auto start = std::chrono::steady_clock::now();
    test::ProcessResult r =
        RunScript({"-e",
                   "t = current_time; sleep(300); show_debug_message(current_time - t >= 300);"
                   "show_debug_message(date_get_year(date_current_datetime()) > 2020)"});
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\n1\n");
    EXPECT_GE(elapsed, std::chrono::milliseconds(300));
}

// `-` reads the program from standard input; a second -e is refused rather than taken for an
// argument.
TEST(ScriptCommand, ProgramFromStandardInputAndOneProgramOnly) {
    const std::string korvane = test::KorvanePath();
    test::ProcessResult r = RunProgram(korvane, {"script", "-", "5"}, "",
                                       "var n; n = argument0 * 2;\nshow_debug_message(n);\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "10\n");
    r = RunScript({"-e", "show_debug_message(1)", "-e", "show_debug_message(2)"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("-e is given twice"), std::string::npos) << r.err;
}

TEST(ScriptCommand, ErrorsGoToStandardErrorWithStatusOne) {
    ScratchDir dir;
    std::string bad_script = dir.Write("bad.txt", "return = 1");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out, err_has;
    } cases[] = {
        {{"-e", "show_debug_message('before'); x = nope; show_debug_message('after')"},
         1,
         "before\n",
         "Unknown variable nope"},
        {{"-e", "x = "},
         1,
         "",
         "COMPILATION ERROR in code to be executed\nError in code at line 1"},
        // A run-time error of a built-in function is shown; the program goes on.
        {{"-e", "script_execute(4); show_debug_message('on')"},
         1,
         "on\n",
         "Trying to execute non-existing script."},
        {{"--script", "bad=" + bad_script, "-e", "bad()"},
         1,
         "",
         "COMPILATION ERROR in Script: bad\n"},
        {{dir / "missing.txt"}, 1, "", "cannot read"},
        {{"--script", "bad=" + (dir / "none.txt"), "-e", "1"}, 1, "", "cannot read"},
        {{}, 2, "", "no program given"},
        {{"-e"}, 2, "", "-e needs the code"},
        {{"--script", "2x=" + bad_script, "-e", "1"}, 2, "", "is not NAME=FILE"},
        {{"--fast", "-e", "1"}, 2, "", "unknown option '--fast'"},
        {{"-e", "1", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14",
          "15", "16", "17"},
         2,
         "",
         "at most 16 arguments"},
    };
    for (const Case& c : cases) {
        test::ProcessResult r = RunScript(c.args);
        std::string what = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(r.status, c.status) << what << "\n" << r.err;
        EXPECT_EQ(r.out, c.out) << what;
        EXPECT_NE(r.err.find(c.err_has), std::string::npos) << what << "\n" << r.err;
    }
}

TEST(ScriptCommand, ProgramArgumentsAreRealsOnlyWhenTheyAreNumbers) {
    const struct {
        const char* arg;
        bool real;
        double value;
    } cases[] = {
        {"12", true, 12},  {"-0.5", true, -0.5}, {"2e2", true, 200}, {".5", true, 0.5},
        {"", false, 0},    {"12abc", false, 0},  {"0x10", false, 0}, {"inf", false, 0},
        {"nan", false, 0}, {"1e999", false, 0},
    };
    for (const auto& c : cases) {
        RValue v = ProgramArgument(c.arg);
        EXPECT_EQ(v.IsReal(), c.real) << c.arg;
        if (c.real)
            EXPECT_EQ(v.real, c.value) << c.arg;
        else
            EXPECT_EQ(v.Str(), c.arg);
    }
}

}  // namespace
}  // namespace kr
