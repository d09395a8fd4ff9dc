#include "support/ScriptRunner.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "code/Code.h"
#include "library/AllBuiltins.h"

namespace kr::test {

ScriptRunner::ScriptRunner(bool secure_mode) : platform_(MakeRecordingPlatform(recording)) {
    RunnerOptions o;
    o.secure_mode = secure_mode;
    o.outside_game = true;
    o.register_functions = RegisterAllBuiltins;
    runner_ = std::make_unique<Runner>(platform_, std::move(o));
    self_ = runner_->NewTemporaryInstance();
}

RValue ScriptRunner::Run(std::string_view code) {
    Runtime& rt = Rt();
    rt.SetErrorOccurred(false);
    rt.SetErrorLast("");
    CCode program{std::string(code), false};
    if (!program.Compile(rt)) {
        ADD_FAILURE() << "does not compile: " << code << "\n" << rt.ErrorText();
        rt.ClearError();
        return RValue("COMPILE FAILED");
    }
    RValue result;
    rt.ExecuteReporting(program, self_.get(), self_.get(), result);
    return result;
}

std::string ScriptRunner::LastError() {
    return Rt().ErrorOccurred() ? Rt().ErrorLast() : std::string();
}

std::string Show(const RValue& v) {
    if (v.IsString()) return "\"" + v.StdStr() + "\"";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v.real);
    return buf;
}

}  // namespace kr::test
