// CTimeLine: a list of moments, each a step number with the event (list of actions) that runs
// when an instance's time-line position passes that step.
#pragma once

#include <cstdint>
#include <vector>

#include "objects/Event.h"

namespace kr {

class CStream;

inline constexpr int32_t kTimeLineVersion = 500;

struct TimeLineMoment {
    int32_t step = 0;
    CEvent event;

    bool operator==(const TimeLineMoment&) const = default;
};

class CTimeLine {
public:
    // In stored order; the authoring tool stores them by ascending step.
    std::vector<TimeLineMoment> moments;

    // The record that follows the name in a time-lines-section entry. False on a wrong version,
    // a bad event or a failed stream.
    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    void ResolveFunctions(const FunctionFinder& find, const MessageSink& report);

    bool operator==(const CTimeLine&) const = default;
};

}  // namespace kr
