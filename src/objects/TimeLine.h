// CTimeLine: a list of moments, each a step number with the event (list of actions) that runs
// when an instance's time-line position passes that step.
#pragma once

#include <cstdint>
#include <functional>
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
    // Ascending by step, one moment per step.
    std::vector<TimeLineMoment> moments;

    // The record that follows the name in a time-lines-section entry. False on a wrong version,
    // a bad event or a failed stream.
    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    void ResolveFunctions(const FunctionFinder& find, const MessageSink& report);

    // ---- Moments (kept in ascending step order) ----
    int32_t Count() const { return int32_t(moments.size()); }
    // The moment at exactly this step, or -1.
    int32_t FindMoment(int32_t step) const;
    // -1 without moments; Count() when every step is below the position; else the first moment
    // at or after it.
    int32_t FirstMomentAtOrAfter(double position) const;
    // -1 without moments or when the first step is above the position; else the last moment at
    // or before it.
    int32_t LastMomentAtOrBefore(double position) const;
    // The moment at the step, inserted empty in its place when there is none yet.
    TimeLineMoment& AddMoment(int32_t step);
    // Removes the moment at the step, if any.
    void DeleteMoment(int32_t step);
    void Clear() { moments.clear(); }
    // Brings moments stored out of order into ascending order, merging the actions of moments
    // at the same step in stored order. Time lines read from a game file pass through this.
    void SortMoments();

    bool operator==(const CTimeLine&) const = default;
};

class CInstance;

// The time-line phase for one instance running `t`: the position advances by the speed and
// perform(k) is called for every moment k passed (old position <= step < new position going
// forwards, in ascending order; new position < step <= old position going backwards, in
// descending order); then a looping time line past its end starts again. The range of moments
// is fixed before the first runs; the loop test reads the instance after them.
void AdvanceTimeLine(CInstance& inst, const CTimeLine& t,
                     const std::function<void(int32_t)>& perform);

}  // namespace kr
