// Fuzzes the reader of 3D model files. A text that reads whole is written again, and that text
// must read back to itself: writing is the reader's exact inverse on what it produced.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "graphics/Model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    kr::C3D_Model model;
    model.FromText(text);
    std::string first = model.ToText();
    kr::C3D_Model again;
    if (!again.FromText(first) || again.ToText() != first) __builtin_trap();
    return 0;
}
