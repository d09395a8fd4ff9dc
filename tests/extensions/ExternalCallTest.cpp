// Scripts binding functions of a native library (built with the tests) and of the C library,
// and a game whose extension package brings a constant, script functions and native functions.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/Files.h"
#include "support/ScratchDir.h"
#include "support/ScriptRunner.h"
#include "support/Subprocess.h"

namespace kr {
namespace {

using test::Show;

struct Case {
    const char* code;
    const char* want;
    const char* error = "";  // the start of the error shown; "" when none is
};

// Runs in a scratch directory that holds the test library as libkrtest.so, the native name of
// "krtest.dll".
class ExternalCallTest : public ::testing::Test {
protected:
    ExternalCallTest() {
        std::vector<uint8_t> lib;
        EXPECT_TRUE(ReadWholeFile(KR_TEST_NATIVE_LIB, lib));
        dir_.Write("libkrtest.so", lib);
        char buf[4096];
        old_dir_ = ::getcwd(buf, sizeof buf) ? buf : "/";
        EXPECT_EQ(::chdir(dir_.Path().c_str()), 0);
    }
    ~ExternalCallTest() override { (void)::chdir(old_dir_.c_str()); }

    void RunCases(test::ScriptRunner& run, std::initializer_list<Case> cases) {
        for (const Case& c : cases) {
            EXPECT_EQ(Show(run.Run(c.code)), c.want) << c.code;
            std::string error = run.LastError();
            EXPECT_EQ(error.substr(0, std::string(c.error).size()), c.error) << c.code;
            if (!*c.error) {
                EXPECT_EQ(error, "") << c.code;
            }
        }
    }

    test::ScratchDir dir_;
    std::string old_dir_;
};

TEST_F(ExternalCallTest, RealsAndStringsGoInAndComeOut) {
    test::ScriptRunner run;
    RunCases(run, {
                      {"add = external_define('krtest.dll', 'kr_add', dll_cdecl, ty_real, 2, "
                       "ty_real, ty_real);"
                       "return external_call(add, 2, 3.5)",
                       "5.5"},
                      {"len = external_define('./libkrtest.so', 'kr_length', dll_stdcall, ty_real, "
                       "1, ty_string);"
                       "return external_call(len, 'four')",
                       "4"},
                      // No conversion: a real passed for a string argument is the empty string.
                      {"return external_call(len, 12345)", "0"},
                      {"j = external_define('KRTEST.DLL', 'kr_join', dll_cdecl, ty_string, 3, "
                       "ty_string, ty_real, ty_string);"
                       "return external_call(j, '<', 7, '>')",
                       "\"<7>\""},
                      {"e = external_define('krtest.dll', 'kr_empty', dll_cdecl, ty_string, 0); "
                       "return external_call(e)",
                       "\"\""},
                      // The C library's own functions.
                      {"c = external_define('libm.so.6', 'cos', dll_cdecl, ty_real, 1, ty_real); "
                       "return external_call(c, 0)",
                       "1"},
                      {"return external_call(external_define1('libc.so.6', 'getenv', ty_string, "
                       "ty_string), 'PATH') != ''",
                       "1"},
                  });
}

TEST_F(ExternalCallTest, EveryArityUpToTheLimit) {
    test::ScriptRunner run;
    RunCases(run,
             {
                 {"return external_call0(external_define0('krtest.dll', 'kr_sum0', ty_real))", "0"},
                 {"return external_call1(external_define1('krtest.dll', 'kr_sum1', ty_real, "
                  "ty_real), 1)",
                  "1"},
                 {"return external_call2(external_define2('krtest.dll', 'kr_sum2', ty_real, "
                  "ty_real, ty_real), 1, 1)",
                  "3"},
                 {"return external_call3(external_define3('krtest.dll', 'kr_sum3', 0, 0, 0, "
                  "ty_real), 1, 1, 1)",
                  "6"},
                 {"return external_call4(external_define4('krtest.dll', 'kr_sum4', 0, 0, 0, 0, "
                  "ty_real), 1, 1, 1, 1)",
                  "10"},
                 {"return external_call5(external_define5('krtest.dll', 'kr_sum5', ty_real), 1, 1, "
                  "1, 1, 1)",
                  "15"},
                 {"return external_call6(external_define6('krtest.dll', 'kr_sum6', ty_real), 1, 1, "
                  "1, 1, 1, 1)",
                  "21"},
                 {"return external_call7(external_define7('krtest.dll', 'kr_sum7', ty_real), 1, 1, "
                  "1, 1, 1, 1, 1)",
                  "28"},
                 {"return external_call8(external_define8('krtest.dll', 'kr_sum8', ty_real), 1, 1, "
                  "1, 1, 1, 1, 1, 1)",
                  "36"},
                 // A call takes 16 arguments at most: external_define binds up to 11 and
                 // external_call passes up to 15.
                 {"s = external_define('krtest.dll', 'kr_sum11', 0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, "
                  "0, 0, 0);"
                  "return external_call(s, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1)",
                  "66"},
             });
}

TEST_F(ExternalCallTest, DefinitionsAreSharedAndFreedByLibrary) {
    test::ScriptRunner run;
    RunCases(
        run,
        {
            {"a = external_define('krtest.dll', 'kr_add', 0, 0, 2, 0, 0); b = "
             "external_define('krtest.dll', 'KR_ADD', 0, 0, 2, 0, 0);"
             "return a == b",
             "1"},
            {"c = external_define('krtest.dll', 'kr_calls', 0, 0, 0); return external_call(c) + "
             "external_call(c)",
             "3"},
            // A call with another argument count does nothing.
            {"return external_call(a, 1)", "0"},
            {"external_free('KRTEST.dll'); return external_call(a, 1, 2) + external_call(c)", "0"},
            {"a = external_define('krtest.dll', 'kr_add', 0, 0, 2, 0, 0); return external_call(a, "
             "1, 2)",
             "3"},
            {"return external_call(99, 1)", "0"},
        });
}

TEST_F(ExternalCallTest, MistakesAreReported) {
    test::ScriptRunner run;
    RunCases(run,
             {
                 {"return external_define('krtest.dll', 'kr_sum5', 0, 0, 5, 0, 0, 0, 0, 1)", "0",
                  "DLL functions with more than 4 arguments cannot have string arguments"},
                 {"return external_define('krtest.dll', 'kr_add', 0, 0, 2, 0, 0, 0)", "0",
                  "Wrong number of arguments to external_define()"},
                 {"return external_define('krtest.dll', 'kr_add', 0, 0)", "0",
                  "Wrong number of arguments to external_define()"},
                 {"return external_define('nothere.dll', 'f', 0, 0, 0)", "-1",
                  "Error defining an external function.\nCannot load the library nothere.dll: "
                  "looked for nothere.so, libnothere.so in"},
                 {"return external_define('krtest.dll', 'kr_missing', 0, 0, 0)", "-1",
                  "Error defining an external function.\nThe library krtest.dll has no function "
                  "kr_missing"},
             });
    test::ScriptRunner secure(true);
    RunCases(secure,
             {
                 {"return external_define('krtest.dll', 'kr_add', 0, 0, 2, 0, 0)", "0",
                  "In secure mode you cannot use DLLs"},
                 {"return external_call(0, 1, 2)", "0", "In secure mode you cannot use DLLs"},
                 {"return external_free('krtest.dll')", "0", "In secure mode you cannot use DLLs"},
             });
}

// The example game: its package's library is named greet.dll, and its native build lies
// beside the game file.
TEST(ExtensionExample, APackageBringsConstantsScriptsAndNativeFunctions) {
    test::ScratchDir dir;
    std::vector<uint8_t> lib;
    ASSERT_TRUE(ReadWholeFile(KR_GREET_LIB, lib));
    dir.Write("libgreet.so", lib);
    std::string korvane = test::KorvanePath();
    test::ProcessResult r =
        test::RunProgram(korvane, {"build", std::string(KR_SOURCE_DIR) + "/examples/extension",
                                   "--data-only", "-o", dir / "greet.game"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::RunProgram(korvane, {"run", "--headless", dir / "greet.game"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "package ready\nHello from a package\nhi hi\n5.50\nnative and script\npackage done\n");
}

}  // namespace
}  // namespace kr
