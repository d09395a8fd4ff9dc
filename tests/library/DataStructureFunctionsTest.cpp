// The ds_ functions as scripts call them: handles and their errors, the comparison precision,
// every kind's operations, grid regions and disks, shuffles and the text forms byte for byte.
#include <gtest/gtest.h>

#include "support/ScriptRunner.h"

namespace kr {
namespace {

using test::Show;

constexpr const char* kNoSuch = "Data structure with index does not exist.";

struct Case {
    const char* code;
    const char* want;        // the result, as Show writes it
    const char* error = "";  // a text the error shown must contain; "" when none is shown
};

// Each case runs in a fresh runner, so that handles start at 0.
void RunCases(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        test::ScriptRunner run;
        EXPECT_EQ(Show(run.Run(c.code)), c.want) << c.code;
        std::string error = run.LastError();
        if (*c.error == 0)
            EXPECT_EQ(error, "") << c.code;
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << c.code << "\n" << error;
    }
}

TEST(DataStructureFunctionsTest, HandlesAreReusedAndChecked) {
    RunCases({
        {"a = ds_list_create(); b = ds_list_create(); c = ds_list_create(); ds_list_destroy(b);"
         "return ds_list_create()",
         "1"},
        // Each kind has its own handles.
        {"s = ds_stack_create(); l = ds_list_create(); return string(s) + string(l)", "\"00\""},
        {"l = ds_list_create(); ds_list_add(l, 5); return ds_list_find_value(0.4, 0)", "5"},
        {"return ds_list_size(0)", "0", kNoSuch},
        {"l = ds_list_create(); return ds_list_size(-1)", "0", kNoSuch},
        {"l = ds_list_create(); ds_list_destroy(l); ds_list_add(l, 1); return 2", "2", kNoSuch},
        {"ds_stack_destroy(3); return 1", "1", kNoSuch},
        {"m = ds_map_create(); return ds_map_find_value(m + 1, 'k')", "0", kNoSuch},
        {"g = ds_grid_create(2, 2); return ds_grid_get(1, 0, 0)", "0", kNoSuch},
        // Copying checks the destination first: a missing source leaves it as it was.
        {"a = ds_list_create(); ds_list_add(a, 7); ds_list_copy(a, 5); return ds_list_size(a)", "1",
         kNoSuch},
        {"a = ds_list_create(); b = ds_list_create(); ds_list_add(b, 'x'); ds_list_copy(a, b);"
         "ds_list_add(b, 'y'); return string(ds_list_size(a)) + ds_list_find_value(a, 0)",
         "\"1x\""},
        // A destroyed structure's handle reaches the next one created, empty.
        {"q = ds_queue_create(); ds_queue_enqueue(q, 3); ds_queue_destroy(q); q = "
         "ds_queue_create();"
         "return ds_queue_size(q) + ds_queue_empty(q)",
         "1"},
    });
}

TEST(DataStructureFunctionsTest, TwoRunnersKeepTheirOwnStructures) {
    test::ScriptRunner first, second;
    first.Run("l = ds_list_create(); ds_list_add(l, 1)");
    EXPECT_EQ(Show(second.Run("return ds_list_create()")), "0");
    EXPECT_EQ(Show(first.Run("return ds_list_size(0)")), "1");
    EXPECT_EQ(Show(second.Run("return ds_list_size(0)")), "0");
}

TEST(DataStructureFunctionsTest, ElementsCompareWithThePrecision) {
    RunCases({
        {"l = ds_list_create(); ds_list_add(l, 0.1 + 0.2); return ds_list_find_index(l, 0.3)", "0"},
        {"l = ds_list_create(); ds_list_add(l, 'x'); ds_list_add(l, 1);"
         "return ds_list_find_index(l, 1.000000001)",
         "1"},
        {"l = ds_list_create(); ds_list_add(l, 1); return ds_list_find_index(l, 1.0001)", "-1"},
        {"l = ds_list_create(); ds_list_add(l, 'A'); return ds_list_find_index(l, 'a')", "-1"},
        {"l = ds_list_create(); ds_list_add(l, 1); return ds_list_find_index(l, '1')", "-1"},
        // The absolute value is taken; 0 means a relative tolerance of 1e-12.
        {"ds_set_precision(-0.5); l = ds_list_create(); ds_list_add(l, 1);"
         "return ds_list_find_index(l, 1.4)",
         "0"},
        {"ds_set_precision(0); l = ds_list_create(); ds_list_add(l, 1);"
         "return ds_list_find_index(l, 1.000000001)",
         "-1"},
        {"ds_set_precision(0); l = ds_list_create(); ds_list_add(l, 1000000);"
         "return ds_list_find_index(l, 1000000 + 0.0000001)",
         "0"},
        // The precision is the structures' alone, not the operators'.
        {"ds_set_precision(0.5); return 1 == 1.4", "0"},
    });
}

TEST(DataStructureFunctionsTest, StacksAndQueues) {
    RunCases({
        {"s = ds_stack_create(); ds_stack_push(s, 1); ds_stack_push(s, 'b');"
         "t = ds_stack_top(s); p = ds_stack_pop(s);"
         "return t + p + string(ds_stack_pop(s)) + string(ds_stack_pop(s)) + "
         "string(ds_stack_empty(s))",
         "\"bb101\""},
        {"q = ds_queue_create(); ds_queue_enqueue(q, 1); ds_queue_enqueue(q, 2);"
         "ds_queue_enqueue(q, 3); return string(ds_queue_head(q)) + string(ds_queue_tail(q)) + "
         "string(ds_queue_dequeue(q)) + string(ds_queue_size(q))",
         "\"1312\""},
        {"q = ds_queue_create(); return string(ds_queue_dequeue(q)) + string(ds_queue_head(q)) + "
         "string(ds_queue_tail(q))",
         "\"000\""},
        {"s = ds_stack_create(); ds_stack_push(s, 1); ds_stack_clear(s);"
         "return ds_stack_size(s) + ds_stack_empty(s)",
         "1"},
    });
}

TEST(DataStructureFunctionsTest, Lists) {
    RunCases({
        // insert: 0 .. count; replace and delete: 0 .. count - 1; anything else does nothing.
        {"l = ds_list_create(); ds_list_add(l, 'b'); ds_list_insert(l, 0, 'a');"
         "ds_list_insert(l, 2, 'd'); ds_list_insert(l, 2, 'c'); ds_list_insert(l, 5, 'x');"
         "ds_list_insert(l, -1, 'x'); ds_list_replace(l, 4, 'x'); ds_list_delete(l, 4);"
         "ds_list_delete(l, -1); s = ''; for (i = 0; i < ds_list_size(l); i += 1) "
         "s += ds_list_find_value(l, i); return s",
         "\"abcd\""},
        {"l = ds_list_create(); ds_list_add(l, 1); ds_list_add(l, 2); ds_list_add(l, 3);"
         "ds_list_replace(l, 1, 'two'); ds_list_delete(l, 0);"
         "return ds_list_find_value(l, 0) + string(ds_list_find_value(l, 1)) + "
         "string(ds_list_find_value(l, 2)) + string(ds_list_find_value(l, -1))",
         "\"two300\""},
        // Reals before strings, strings by their bytes.
        {"l = ds_list_create(); ds_list_add(l, 'b'); ds_list_add(l, 3); ds_list_add(l, 'B');"
         "ds_list_add(l, -1); ds_list_add(l, 'ab'); ds_list_sort(l, 0.5); s = '';"
         "for (i = 0; i < 5; i += 1) s += string(ds_list_find_value(l, i)) + ' '; return s",
         "\"-1 3 B ab b \""},
        {"l = ds_list_create(); ds_list_add(l, 2); ds_list_add(l, 'z'); ds_list_add(l, 10);"
         "ds_list_sort(l, 0.49); return string(ds_list_find_value(l, 0)) + "
         "string(ds_list_find_value(l, 2))",
         "\"z2\""},
        // Descending puts approximately equal elements in reverse order.
        {"l = ds_list_create(); ds_list_add(l, 1); ds_list_add(l, 1.000000001); ds_list_add(l, 0);"
         "ds_list_sort(l, false); return ds_list_find_value(l, 0) - 1",
         "1.000000082740371e-09"},
    });
}

TEST(DataStructureFunctionsTest, ShufflesFollowTheGameRandomGenerator) {
    test::ScriptRunner run;
    const char* list_code =
        "random_set_seed(42); l = ds_list_create(); for (i = 0; i < 20; i += 1) ds_list_add(l, i);"
        "ds_list_shuffle(l); s = 0; t = ''; for (i = 0; i < 20; i += 1) {"
        "s += ds_list_find_value(l, i); t += string(ds_list_find_value(l, i)) + ','; }"
        "ds_list_destroy(l); return string(s) + ':' + t";
    RValue once = run.Run(list_code);
    EXPECT_EQ(Show(once), Show(run.Run(list_code)));  // the same seed, the same order
    EXPECT_EQ(once.StdStr().substr(0, 4), "190:");    // still the same elements
    EXPECT_NE(once.StdStr(), "190:0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,");

    // The draws: a list of 2 takes 16 swaps of two drawn positions, a 2 x 1 grid 16 swaps of
    // four draws (x1, x2, y1, y2), and the generator ends where those draws leave it.
    EXPECT_EQ(Show(run.Run("random_set_seed(9); l = ds_list_create(); ds_list_add(l, 0);"
                           "ds_list_add(l, 1); ds_list_shuffle(l); a = random_get_seed();"
                           "random_set_seed(9); repeat (32) irandom(1);"
                           "return a == random_get_seed()")),
              "1");
    EXPECT_EQ(Show(run.Run("random_set_seed(9); g = ds_grid_create(2, 1);"
                           "ds_grid_shuffle(g); a = random_get_seed();"
                           "random_set_seed(9); repeat (64) irandom(1);"
                           "return a == random_get_seed()")),
              "1");
}

TEST(DataStructureFunctionsTest, Maps) {
    RunCases({
        {"m = ds_map_create(); ds_map_add(m, 1, 'one'); ds_map_add(m, 'a', 'A');"
         "ds_map_add(m, 2, 'two'); return ds_map_find_next(m, 2)",
         "\"a\""},
        {"m = ds_map_create(); ds_map_add(m, 'a', 0); ds_map_add(m, 2, 0); ds_map_add(m, 1, 0);"
         "return string(ds_map_find_first(m)) + ds_map_find_last(m) + "
         "string(ds_map_find_previous(m, 'a')) + string(ds_map_find_next(m, 'a')) + "
         "string(ds_map_find_previous(m, 1))",
         "\"1a200\""},
        // Past either end: the last key below, the first key above.
        {"m = ds_map_create(); ds_map_add(m, 5, 0); ds_map_add(m, 7, 0);"
         "return string(ds_map_find_previous(m, 100)) + string(ds_map_find_next(m, -100)) + "
         "string(ds_map_find_next(m, 5.5)) + string(ds_map_find_previous(m, 6))",
         "\"7575\""},
        // Equal keys stay in the order added; the first one answers.
        {"m = ds_map_create(); ds_map_add(m, 'k', 1); ds_map_add(m, 'k', 2);"
         "a = ds_map_find_value(m, 'k'); ds_map_replace(m, 'k', 3); b = ds_map_find_value(m, 'k');"
         "ds_map_delete(m, 'k'); c = ds_map_find_value(m, 'k'); ds_map_delete(m, 'k');"
         "return string(a) + string(b) + string(c) + string(ds_map_exists(m, 'k')) + "
         "string(ds_map_size(m))",
         "\"13200\""},
        {"m = ds_map_create(); ds_map_replace(m, 1, 2); ds_map_delete(m, 1);"
         "return string(ds_map_find_value(m, 1)) + string(ds_map_find_first(m)) + "
         "string(ds_map_empty(m))",
         "\"001\""},
        {"m = ds_map_create(); ds_map_add(m, 3, 'x'); return ds_map_find_value(m, 3.000000001)",
         "\"x\""},
        {"m = ds_map_create(); ds_map_add(m, 'b', 1); n = ds_map_create(); ds_map_copy(n, m);"
         "ds_map_add(m, 'a', 2); ds_map_clear(m); return ds_map_find_value(n, 'b') + "
         "ds_map_size(n) + ds_map_size(m)",
         "2"},
    });
}

TEST(DataStructureFunctionsTest, PriorityQueues) {
    RunCases({
        // Priorities 5, 1, 3, 1: the second pair goes and the fourth moves into its place.
        {"p = ds_priority_create(); ds_priority_add(p, 'a', 5); ds_priority_add(p, 'b', 1);"
         "ds_priority_add(p, 'c', 3); ds_priority_add(p, 'd', 1);"
         "return ds_priority_delete_min(p) + ds_priority_write(p)",
         "\"b"
         "F5010000030000000000000000000000000014400000000000000000000000000000F03F00000000"
         "00000000000000000000084000000000010000000000000000000000010000006101000000000000"
         "000000000001000000640100000000000000000000000100000063\""},
        {"p = ds_priority_create(); ds_priority_add(p, 'a', 1); ds_priority_add(p, 'b', 9);"
         "ds_priority_add(p, 'c', 9); return ds_priority_find_max(p) + ds_priority_delete_max(p) "
         "+ ds_priority_delete_max(p) + ds_priority_find_min(p) + string(ds_priority_size(p))",
         "\"bbca1\""},
        {"p = ds_priority_create(); ds_priority_add(p, 'x', 4); ds_priority_add(p, 'y', 2);"
         "ds_priority_change_priority(p, 'x', 1); a = ds_priority_find_priority(p, 'x');"
         "b = ds_priority_find_min(p); ds_priority_delete_value(p, 'x');"
         "return string(a) + b + ds_priority_find_min(p) + string(ds_priority_find_priority(p, "
         "'x'))",
         "\"1xy0\""},
        {"p = ds_priority_create(); return string(ds_priority_delete_min(p)) + "
         "string(ds_priority_find_max(p)) + string(ds_priority_empty(p))",
         "\"001\""},
        // Strings rank above every real.
        {"p = ds_priority_create(); ds_priority_add(p, 1, 'low'); ds_priority_add(p, 2, "
         "1000000000);"
         "return ds_priority_find_max(p)",
         "1"},
    });
}

TEST(DataStructureFunctionsTest, GridCellsRegionsAndDisks) {
    RunCases({
        {"g = ds_grid_create(3.5, 2); return string(ds_grid_width(g)) + string(ds_grid_height(g))",
         "\"42\""},
        {"g = ds_grid_create(2, 2); ds_grid_set(g, 1, 1, 5); ds_grid_add(g, 1, 1, 2);"
         "ds_grid_multiply(g, 1, 1, 3); ds_grid_set(g, 2, 0, 9); ds_grid_add(g, -1, 0, 9);"
         "return string(ds_grid_get(g, 1, 1)) + string(ds_grid_get(g, 2, 0))",
         "\"210\""},
        // A string added to a real replaces it; strings concatenate; multiply leaves strings.
        {"g = ds_grid_create(1, 1); ds_grid_add(g, 0, 0, 'x'); ds_grid_add(g, 0, 0, 'y');"
         "ds_grid_multiply(g, 0, 0, 2); ds_grid_multiply(g, 0, 0, 's'); return ds_grid_get(g, 0, "
         "0)",
         "\"xy\""},
        {"g = ds_grid_create(1, 1); ds_grid_set(g, 0, 0, 'x'); ds_grid_add(g, 0, 0, 4);"
         "ds_grid_multiply(g, 0, 0, 's'); return ds_grid_get(g, 0, 0)",
         "4"},
        // Corners in any order, clamped to the grid.
        {"g = ds_grid_create(4, 3); ds_grid_set_region(g, 9, 9, 2, 1, 1); ds_grid_add_region(g, "
         "-5, 0, 0, 9, 10); ds_grid_multiply_region(g, 3, 2, 3, 2, 7);"
         "return string(ds_grid_get_sum(g, 0, 0, 3, 2)) + ' ' + string(ds_grid_get_max(g, 3, 2, "
         "0, 0)) + ' ' + string(ds_grid_get_min(g, 0, 0, 3, 2)) + ' ' + "
         "string(ds_grid_get_mean(g, 2, 1, 3, 2))",
         "\"40 10 0 2.50\""},
        {"g = ds_grid_create(2, 2); ds_grid_clear(g, 's'); return string(ds_grid_get_max(g, 0, 0, "
         "1, 1)) + ' ' + string(ds_grid_get_min(g, 0, 0, 1, 1)) + ' ' + string(ds_grid_get_sum(g, "
         "0, 0, 1, 1)) + ' ' + string(ds_grid_get_mean(g, 0, 0, 1, 1))",
         "\"-100000000 100000000 0 0\""},
        // The disk of radius 1 around (1, 1): the centre and its four neighbours.
        {"g = ds_grid_create(3, 3); ds_grid_set_disk(g, 1, 1, 1, 1); ds_grid_add_disk(g, 0, 0, "
         "0.5, 10); ds_grid_multiply_disk(g, 2.5, 2.5, 0.8, 3);"
         "return string(ds_grid_get_sum(g, 0, 0, 2, 2)) + ' ' + string(ds_grid_get_disk_sum(g, "
         "1, 1, 1)) + ' ' + string(ds_grid_get_disk_max(g, 0, 0, 1)) + ' ' + "
         "string(ds_grid_get_disk_min(g, 2, 2, 0)) + ' ' + string(ds_grid_get_disk_mean(g, 1, 1, "
         "1))",
         "\"15 5 10 0 1\""},
        {"g = ds_grid_create(3, 3); ds_grid_set(g, 2, 0, 7); ds_grid_set(g, 1, 2, 7);"
         "return string(ds_grid_value_exists(g, 0, 0, 2, 2, 7.000000001)) + "
         "string(ds_grid_value_x(g, 2, 2, 0, 0, 7)) + string(ds_grid_value_y(g, 0, 0, 2, 2, 7)) + "
         "string(ds_grid_value_exists(g, 0, 0, 0, 2, 7)) + string(ds_grid_value_x(g, 0, 0, 0, 2, "
         "7)) + string(ds_grid_value_disk_exists(g, 2, 1, 1, 7)) + string(ds_grid_value_disk_x(g, "
         "2, 1, 1, 7)) + string(ds_grid_value_disk_y(g, 2, 1, 1, 7)) + "
         "string(ds_grid_value_disk_y(g, 0, 0, 1, 7))",
         "\"112001200\""},
        // Resizing keeps the shared cells; new cells are 0.
        {"g = ds_grid_create(2, 2); ds_grid_clear(g, 3); ds_grid_resize(g, 3, 1);"
         "return string(ds_grid_get_sum(g, 0, 0, 2, 0)) + string(ds_grid_height(g))",
         "\"61\""},
        {"g = ds_grid_create(-2, 3); return ds_grid_width(g) + ds_grid_get(g, 0, 0)", "0"},
        {"return ds_grid_create(100000, 100000)", "-1", "too large"},
        {"g = ds_grid_create(1, 1); h = ds_grid_create(2, 1); ds_grid_set(h, 1, 0, 'v');"
         "ds_grid_copy(g, h); return string(ds_grid_width(g)) + ds_grid_get(g, 1, 0)",
         "\"2v\""},
    });
}

TEST(DataStructureFunctionsTest, GridRegionCopies) {
    // A 4 x 1 grid 1 2 3 4 written out as digits.
    const char* setup =
        "g = ds_grid_create(4, 1); for (i = 0; i < 4; i += 1) ds_grid_set(g, i, 0, i + 1);"
        "h = ds_grid_create(4, 1); ds_grid_clear(h, 10);";
    const char* show =
        "s = ''; for (i = 0; i < 4; i += 1) s += string(ds_grid_get(g, i, 0)) + ' '; return s";
    struct Op {
        const char* code;
        const char* want;
    };
    const Op ops[] = {
        // Overlapping moves within one grid read every cell before it is overwritten.
        {"ds_grid_set_grid_region(g, g, 0, 0, 2, 0, 1, 0);", "\"1 1 2 3 \""},
        {"ds_grid_set_grid_region(g, g, 1, 0, 3, 0, 0, 0);", "\"2 3 4 4 \""},
        {"ds_grid_add_grid_region(g, g, 0, 0, 2, 0, 1, 0);", "\"1 3 5 7 \""},
        // A negative position cuts the leading cells off; the rest is cut to fit.
        {"ds_grid_set_grid_region(g, h, 0, 0, 3, 0, -2, 0);", "\"10 10 3 4 \""},
        {"ds_grid_add_grid_region(g, h, 3, 0, 0, 0, 3, 0);", "\"1 2 3 14 \""},
        {"ds_grid_multiply_grid_region(g, h, 0, 0, 9, 9, 1, 0);", "\"1 20 30 40 \""},
        {"ds_grid_set_grid_region(g, h, 0, 0, 1, 0, 0, 1);", "\"1 2 3 4 \""},
    };
    for (const Op& op : ops) {
        test::ScriptRunner run;
        EXPECT_EQ(Show(run.Run(std::string(setup) + op.code + show)), op.want) << op.code;
        EXPECT_EQ(run.LastError(), "") << op.code;
    }
}

// The text forms, byte for byte, and reading them back.
TEST(DataStructureFunctionsTest, TextForms) {
    RunCases({
        {"l = ds_list_create(); ds_list_add(l, 1); ds_list_add(l, 'ab'); return ds_list_write(l)",
         "\"2D0100000200000000000000000000000000F03F0000000001000000000000000000000002000000"
         "6162\""},
        {"s = ds_stack_create(); ds_stack_push(s, 2); return ds_stack_write(s)",
         "\"650000000100000000000000000000000000004000000000\""},
        {"m = ds_map_create(); ds_map_add(m, 'k', -1); return ds_map_write(m)",
         "\"9101000001000000010000000000000000000000010000006B00000000000000000000F0BF"
         "00000000\""},
        {"g = ds_grid_create(2, 1); ds_grid_set(g, 1, 0, 0.5); return ds_grid_write(g)",
         "\"5902000002000000010000000000000000000000000000000000000000000000000000000000"
         "E03F00000000\""},
        {"g = ds_grid_create(0, 0); return ds_grid_write(g)", "\"590200000000000000000000\""},
        // A queue writes its whole array: head, tail and the slots already dequeued.
        {"q = ds_queue_create(); ds_queue_enqueue(q, 7); ds_queue_dequeue(q); return "
         "string_length(ds_queue_write(q))",
         "544"},
        {"q = ds_queue_create(); ds_queue_enqueue(q, 7); ds_queue_enqueue(q, 8);"
         "ds_queue_dequeue(q); return string_copy(ds_queue_write(q), 1, 96)",
         "\"C9000000020000000100000010000000000000000000000000001C4000000000000000000000000000"
         "00204000000000\""},
        // After 20 enqueues and 18 dequeues the rest has moved to the front.
        {"q = ds_queue_create(); for (i = 0; i < 20; i += 1) ds_queue_enqueue(q, i);"
         "repeat (18) ds_queue_dequeue(q); return string_copy(ds_queue_write(q), 1, 32)",
         "\"C9000000020000000000000020000000\""},
    });
}

TEST(DataStructureFunctionsTest, EveryKindReadsBackWhatItWrote) {
    // Each line fills a structure, writes it, reads the text into a second one and compares
    // the second one's text with the first.
    const char* fills[] = {
        "a = ds_stack_create(); ds_stack_push(a, 1); ds_stack_push(a, 'é'); b = "
        "ds_stack_create(); ds_stack_read(b, ds_stack_write(a)); t = ds_stack_write(b); "
        "r = ds_stack_pop(b);",
        "a = ds_queue_create(); repeat (20) ds_queue_enqueue(a, 'q'); ds_queue_dequeue(a); "
        "b = ds_queue_create(); ds_queue_read(b, ds_queue_write(a)); "
        "ds_queue_enqueue(a, 1); ds_queue_enqueue(b, 1); t = ds_queue_write(b);",
        "a = ds_list_create(); ds_list_add(a, -0.25); ds_list_add(a, ''); b = ds_list_create(); "
        "ds_list_read(b, ds_list_write(a)); t = ds_list_write(b);",
        "a = ds_map_create(); ds_map_add(a, 'z', 1); ds_map_add(a, 3, 'y'); ds_map_add(a, 'z', 2);"
        "b = ds_map_create(); ds_map_read(b, ds_map_write(a)); t = ds_map_write(b); "
        "if (ds_map_find_value(b, 'z') != 1) t = 'wrong value';",
        "a = ds_priority_create(); ds_priority_add(a, 'v', 3); ds_priority_add(a, 4, 'p'); "
        "b = ds_priority_create(); ds_priority_read(b, ds_priority_write(a)); "
        "t = ds_priority_write(b); if (ds_priority_find_max(b) != 4) t = 'wrong max';",
        "a = ds_grid_create(3, 2); ds_grid_set(a, 2, 1, 'c'); ds_grid_set(a, 0, 1, 9); "
        "b = ds_grid_create(1, 1); ds_grid_read(b, ds_grid_write(a)); t = ds_grid_write(b); "
        "if (ds_grid_get(b, 2, 1) != 'c') t = 'wrong cell';",
    };
    const char* writes[] = {"ds_stack_write(a)", "ds_queue_write(a)",    "ds_list_write(a)",
                            "ds_map_write(a)",   "ds_priority_write(a)", "ds_grid_write(a)"};
    for (size_t i = 0; i < std::size(fills); ++i) {
        test::ScriptRunner run;
        EXPECT_EQ(Show(run.Run(std::string(fills[i]) + "return t == " + writes[i])), "1")
            << fills[i];
        EXPECT_EQ(run.LastError(), "") << fills[i];
    }
}

TEST(DataStructureFunctionsTest, ReadingOtherOrDamagedTextsChangesNothing) {
    RunCases({
        // Another kind's text: silently ignored.
        {"l = ds_list_create(); ds_list_add(l, 1); s = ds_stack_create(); ds_stack_push(s, 2);"
         "ds_list_read(l, ds_stack_write(s)); return ds_list_find_value(l, 0)",
         "1"},
        // Damaged texts: an error, and the structure as it was.
        {"l = ds_list_create(); ds_list_add(l, 1); ds_list_read(l, 'xyz0'); return ds_list_size(l)",
         "1", "damaged"},
        {"l = ds_list_create(); ds_list_add(l, 1); t = ds_list_write(l);"
         "ds_list_read(l, string_copy(t, 1, string_length(t) - 4)); return ds_list_size(l)",
         "1", "damaged"},
        {"g = ds_grid_create(1, 1); ds_grid_read(g, '59020000FFFFFF7FFFFFFF7F');"
         "return ds_grid_width(g)",
         "1", "damaged"},
        {"m = ds_map_create(); ds_map_read(m, ''); return ds_map_size(m)", "0", "damaged"},
        {"q = ds_queue_create(); ds_queue_read(q, 5); return ds_queue_size(q)", "0", "damaged"},
        // An odd last digit is ignored.
        {"l = ds_list_create(); ds_list_add(l, 'x'); t = ds_list_write(l) + 'F'; ds_list_clear(l);"
         "ds_list_read(l, t); return ds_list_find_value(l, 0)",
         "\"x\""},
        // Lower-case digits are read too.
        {"s = ds_stack_create(); ds_stack_read(s, string_lower(ds_stack_write(s)) + ''); "
         "ds_stack_read(s, '650000000100000000000000000000000000f03f00000000');"
         "return ds_stack_top(s)",
         "1"},
    });
}

}  // namespace
}  // namespace kr
