// The 3D functions' results as scripts see them (the pictures are checked in tests/runner): 3D
// mode switching, the world matrix stack and its limits, model ids and calls on missing models.
#include <gtest/gtest.h>

#include "support/ScriptRunner.h"

namespace kr {
namespace {

using test::Show;

TEST(Function3DTest, ResultsOfModeStackAndModels) {
    struct Case {
        const char* code;
        const char* want;
    };
    const Case cases[] = {
        {"return string(d3d_start()) + string(d3d_start()) + string(d3d_end())", "\"111\""},
        // 1001 entries fit, the 1002nd push fails and changes nothing.
        {"n = 0; repeat (1002) n += d3d_transform_stack_push();"
         "return string(n) + string(d3d_transform_stack_push())",
         "\"10010\""},
        {"return string(d3d_transform_stack_empty()) + string(d3d_transform_stack_pop()) +"
         "string(d3d_transform_stack_top()) + string(d3d_transform_stack_discard())",
         "\"1000\""},
        {"d3d_transform_stack_push(); d3d_transform_stack_push(); d3d_transform_stack_discard();"
         "a = d3d_transform_stack_top(); b = d3d_transform_stack_pop(); c = "
         "d3d_transform_stack_empty(); d3d_transform_stack_push(); d3d_transform_stack_clear();"
         "return string(a) + string(b) + string(c) + string(d3d_transform_stack_empty())",
         "\"1111\""},
        // Freed ids are handed out again; calls on missing models do nothing.
        {"a = d3d_model_create(); b = d3d_model_create(); d3d_model_destroy(a);"
         "d3d_model_block(a, 0, 0, 0, 1, 1, 1, 1, 1); d3d_model_draw(7, 0, 0, 0, -1);"
         "d3d_model_save(9, \"nowhere\"); return d3d_model_create()",
         "0"},
    };
    for (const Case& c : cases) {
        test::ScriptRunner run;
        EXPECT_EQ(Show(run.Run(c.code)), c.want) << c.code;
        EXPECT_EQ(run.LastError(), "") << c.code;
    }
}

}  // namespace
}  // namespace kr
