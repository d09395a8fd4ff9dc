#include "code/Runtime.h"

#include <chrono>
#include <cstdio>

namespace kr {

void Runtime::RuntimeError(std::string_view message, bool fatal) {
    std::fprintf(stderr, "%s%.*s\n", fatal ? "FATAL " : "", int(message.size()), message.data());
}

uint32_t Runtime::RandomizeSeed() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace kr
