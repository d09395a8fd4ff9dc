// A request to stop the run (Ctrl+C, SIGTERM, the time limit) reaches the long built-ins while
// they work: with the stop flag already raised, a call on a big input gives up instead of doing
// its work, and leaves its structure as it was.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "support/ScriptRunner.h"

namespace kr {
namespace {

using test::Show;

// Calls the built-in `name` directly (the interpreter would stop before calling it) with the
// stop flag raised, then lowers the flag again.
RValue CallStopped(test::ScriptRunner& run, const char* name, std::vector<RValue> args) {
    volatile std::sig_atomic_t flag = SIGTERM;
    Runtime& rt = run.Rt();
    rt.SetInterruptFlag(&flag);
    const int id = rt.Builtins().Find(name);
    EXPECT_GE(id, 0) << name;
    std::vector<RValue> slots(args);
    slots.resize(16);
    RValue result(-1.0);
    if (id >= 0)
        rt.Builtins().Call(id, rt, nullptr, nullptr, int(args.size()), slots.data(), result);
    rt.SetInterruptFlag(nullptr);
    return result;
}

TEST(StopInsideBuiltins, DataStructureReadsGiveUpAndChangeNothing) {
    struct Case {
        const char* make;  // makes structure 0 and a text t of a structure of 100000 values
        const char* read;
        const char* size;
    } cases[] = {
        {"l = ds_list_create(); repeat (100000) ds_list_add(l, 7); t = ds_list_write(l);"
         "ds_list_clear(l); ds_list_add(l, 1);",
         "ds_list_read", "ds_list_size(0)"},
        {"m = ds_map_create(); for (i = 0; i < 100000; i += 1) ds_map_add(m, i, i);"
         "t = ds_map_write(m); ds_map_clear(m); ds_map_add(m, 1, 1);",
         "ds_map_read", "ds_map_size(0)"},
        {"q = ds_priority_create(); for (i = 0; i < 100000; i += 1) ds_priority_add(q, i, i);"
         "t = ds_priority_write(q); ds_priority_clear(q); ds_priority_add(q, 1, 1);",
         "ds_priority_read", "ds_priority_size(0)"},
        {"g = ds_grid_create(400, 250); t = ds_grid_write(g); ds_grid_resize(g, 1, 1);",
         "ds_grid_read", "ds_grid_width(0)"},
    };
    for (const Case& c : cases) {
        test::ScriptRunner run;
        const RValue text = run.Run(std::string(c.make) + "return t;");
        ASSERT_TRUE(text.IsString()) << c.read;
        CallStopped(run, c.read, {RValue(0.0), text});
        EXPECT_EQ(Show(run.Run(std::string("return ") + c.size + ";")), "1") << c.read;
        EXPECT_EQ(run.LastError(), "") << c.read;
    }
}

TEST(StopInsideBuiltins, GridPathSearchGivesUp) {
    test::ScriptRunner run;
    EXPECT_EQ(Show(run.Run("mp_grid_create(0, 0, 2000, 2000, 1, 1); return path_add();")), "0");
    // Corner to corner on an open grid: the search passes millions of cells.
    CallStopped(run, "mp_grid_path",
                {RValue(0.0), RValue(0.0), RValue(0.0), RValue(0.0), RValue(1999.0), RValue(1999.0),
                 RValue(0.0)});
    EXPECT_EQ(Show(run.Run("return path_get_number(0);")), "0");
    // The grid is left as it was: the same search now finds the route.
    EXPECT_EQ(Show(run.Run("mp_grid_path(0, 0, 0, 0, 1999, 1999, false);"
                           "return path_get_number(0) > 0;")),
              "1");
}

TEST(StopInsideBuiltins, CompilingAHugeTextGivesUp) {
    test::ScriptRunner run;
    std::string code = "global.ran = 1;";
    for (int i = 0; i < 20000; ++i) code += "a = 1;";
    CallStopped(run, "execute_string", {RValue(code)});
    EXPECT_EQ(Show(run.Run("return variable_global_exists(\"ran\");")), "0");
    EXPECT_EQ(run.LastError(), "");
}

TEST(StopInsideBuiltins, ReadingAnEndlessLineGivesUp) {
    // /dev/zero has no line end: each read would go on for ever (or until memory runs out).
    for (const char* read : {"file_text_readln", "file_text_read_string"}) {
        test::ScriptRunner run;
        EXPECT_EQ(Show(run.Run("return file_text_open_read(\"/dev/zero\");")), "1");
        CallStopped(run, read, {RValue(1.0)});
        EXPECT_EQ(run.LastError(), "") << read;
    }
}

}  // namespace
}  // namespace kr
