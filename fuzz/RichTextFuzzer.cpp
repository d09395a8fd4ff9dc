// Fuzzes the rich-text reader of the game information and text splashes, and the layout of
// whatever document it reads, with a measure that needs no fonts.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "dialogs/RichText.h"

namespace {

class FixedMeasure final : public kr::TextMeasure {
public:
    int32_t Width(const kr::FontKey& f, std::string_view t) override {
        return int32_t(t.size()) * (f.size / 2 + 1);
    }
    int32_t Height(const kr::FontKey& f) override { return f.size + 2; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    kr::RichDocument doc = kr::ParseRichText(text);
    FixedMeasure m;
    kr::LayoutRichText(doc, m, 1 + int32_t(size % 500), 1 + double(size % 3));
    return 0;
}
