// Gives code run from a built-in function (execute_string, an extension's script function) its
// own argument values, the given ones and the rest real 0, and gives the caller's back when it
// ends, as a script call does.
#pragma once

#include "code/Runtime.h"

namespace kr {

class ArgumentScope {
public:
    ArgumentScope(Runtime& rt, const RValue* args, int n) : rt_(rt), saved_(rt.Args()) {
        if (n > kArgCount) n = kArgCount;
        for (int i = 0; i < n; ++i) local_[i] = args[i];
        rt_.Args() = ArgFrame{local_, n > 0 ? n : 0};
    }
    ~ArgumentScope() { rt_.Args() = saved_; }
    ArgumentScope(const ArgumentScope&) = delete;
    ArgumentScope& operator=(const ArgumentScope&) = delete;

private:
    Runtime& rt_;
    ArgFrame saved_;
    RValue local_[kArgCount];
};

}  // namespace kr
