// A platform for tests that records what the runner shows: messages, progress, the load
// display's state. A caption can be made to throw, to test the runner's handling of failures
// it did not foresee.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace kr::test {

struct Recording {
    std::vector<std::string> messages;
    std::vector<std::pair<int, std::string>> progress;
    bool shown = false, bar = false, label = false, closed = false;
    int priority = -1;
    std::string throw_at_caption;  // SetProgress throws when it receives this caption
};

Platform MakeRecordingPlatform(Recording& rec);

}  // namespace kr::test
