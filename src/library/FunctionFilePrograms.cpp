// Programs the game starts, its command-line parameters and the environment.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "library/FunctionFile.h"
#include "library/FunctionMath.h"
#include "platform/Files.h"

namespace kr {

// ---- Programs and the environment ----

namespace {
// The error of a program that could not be started, with the reason where none can be.
std::string CannotExecute(const std::string& prog) {
    const std::string why = ProgramsUnavailable();
    return "Cannot execute " + prog + (why.empty() ? "" : ": " + why);
}
}  // namespace

KR_FILE_FN(execute_program) {
    std::string prog = ArgText(a[0]);
    if (Secure(rt)) {
        rt.RuntimeError("In Secure mode you cannot execute program " + prog);
        return;
    }
    FileFamily& fam = Files(rt);
    ReapPrograms(fam.programs);
    std::string path = FindProgram(prog);
    if (path.empty() ||
        !StartProgram(path, SplitCommandLine(ArgText(a[1])), ArgBool(a[2]), fam.programs))
        rt.RuntimeError(CannotExecute(prog));
}

KR_FILE_FN(execute_shell) {
    std::string prog = ArgText(a[0]);
    if (Secure(rt)) {
        rt.RuntimeError("In Secure mode you cannot execute program " + prog);
        return;
    }
    FileFamily& fam = Files(rt);
    ReapPrograms(fam.programs);
    // A program is started with its parameters; anything else (a document, a folder, a web
    // address) goes to the desktop's opener.
    bool is_address = prog.find("://") != std::string::npos || prog.rfind("www.", 0) == 0 ||
                      prog.rfind("mailto:", 0) == 0;
    std::string path = is_address ? std::string() : FindProgram(prog);
    bool ok = !path.empty()
                  ? StartProgram(path, SplitCommandLine(ArgText(a[1])), false, fam.programs)
                  : OpenWithDesktop(is_address ? prog : HostPath(prog), fam.programs);
    if (!ok) rt.RuntimeError(CannotExecute(prog));
}

KR_FILE_FN(parameter_count) {
    size_t n = RunnerOf(rt).Parameters().size();
    r = n > 0 ? double(n - 1) : 0.0;
}

KR_FILE_FN(parameter_string) {
    auto params = RunnerOf(rt).Parameters();
    int n = ArgInt(a[0]);
    r = RValue(n >= 0 && size_t(n) < params.size() ? params[size_t(n)] : std::string());
}

KR_FILE_FN(environment_get_variable) {
    const char* v = std::getenv(ArgText(a[0]).c_str());
    r = RValue(v ? v : "");
}

}  // namespace kr
