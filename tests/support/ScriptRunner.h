// A runner outside any game with the whole built-in library, for tests that run code: errors are
// shown without event context, and the last one is kept for the test to read.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "runner/Runner.h"
#include "support/TestPlatform.h"

namespace kr::test {

class ScriptRunner {
public:
    // `secure_mode`: the run is in secure mode, as if asked for on the command line.
    explicit ScriptRunner(bool secure_mode = false);

    Runner& GetRunner() { return *runner_; }
    Runtime& Rt() { return runner_->GetRuntime(); }

    // Compiles `code` as a program and runs it for `self` (also other). A compilation failure
    // fails the test and gives the string "COMPILE FAILED".
    RValue Run(std::string_view code);
    // The text of the last error shown since the last Run; empty when none was.
    std::string LastError();

    // The instance the code runs for: a temporary instance of the runner, in no room.
    CInstance& Self() { return *self_; }
    Recording recording;

private:
    Platform platform_;
    std::unique_ptr<Runner> runner_;
    std::unique_ptr<CInstance> self_;
};

// A value as a test compares it: reals in full precision, strings quoted.
std::string Show(const RValue& v);

}  // namespace kr::test
