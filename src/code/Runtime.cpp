#include "code/Runtime.h"

#include <cstdio>

namespace kr {

void Runtime::RuntimeError(std::string_view message, bool fatal) {
    std::fprintf(stderr, "%s%.*s\n", fatal ? "FATAL " : "", int(message.size()), message.data());
}

}  // namespace kr
