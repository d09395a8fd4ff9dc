// Hints to the system about memory the program manages itself.
#pragma once

#include <cstddef>

namespace kr {

// Asks for large pages under the whole 2 MiB units of [p, p + n): far fewer page faults for a
// big buffer about to be filled, and fewer misses of the address translation caches for one
// read all over. Nothing where the system has no such pages.
void AdviseLargePages(void* p, size_t n);

}  // namespace kr
