// Version text of the program.
#include "app/App.h"

namespace kr {
const char* ProgramVersion() {
    return KORVANE_VERSION_TEXT;
}
}  // namespace kr
