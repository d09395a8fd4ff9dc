// Reading and writing the time-line record.
#include "objects/TimeLine.h"

#include <algorithm>

#include "data/Stream.h"
#include "objects/Instance.h"

namespace kr {

bool CTimeLine::LoadFromStream(CStream& s) {
    moments.clear();
    if (s.ReadInteger() != kTimeLineVersion || s.Failed()) return false;
    int32_t n = s.ReadCount(4 + kEventMinBytes);
    moments.resize(size_t(n));
    for (TimeLineMoment& m : moments) {
        m.step = s.ReadInteger();
        if (!m.event.LoadFromStream(s)) return false;
    }
    if (s.Failed()) return false;
    SortMoments();
    return true;
}

void CTimeLine::SaveToStream(CStream& s) const {
    s.WriteInteger(kTimeLineVersion);
    s.WriteInteger(int32_t(moments.size()));
    for (const TimeLineMoment& m : moments) {
        s.WriteInteger(m.step);
        m.event.SaveToStream(s);
    }
}

void CTimeLine::ResolveFunctions(const FunctionFinder& find, const MessageSink& report) {
    for (TimeLineMoment& m : moments) m.event.ResolveFunctions(find, report);
}

int32_t CTimeLine::FindMoment(int32_t step) const {
    auto it = std::lower_bound(moments.begin(), moments.end(), step,
                               [](const TimeLineMoment& m, int32_t s) { return m.step < s; });
    return it != moments.end() && it->step == step ? int32_t(it - moments.begin()) : -1;
}

int32_t CTimeLine::FirstMomentAtOrAfter(double position) const {
    if (moments.empty()) return -1;
    auto it = std::lower_bound(moments.begin(), moments.end(), position,
                               [](const TimeLineMoment& m, double p) { return m.step < p; });
    return int32_t(it - moments.begin());
}

int32_t CTimeLine::LastMomentAtOrBefore(double position) const {
    if (moments.empty()) return -1;
    auto it = std::upper_bound(moments.begin(), moments.end(), position,
                               [](double p, const TimeLineMoment& m) { return p < m.step; });
    return int32_t(it - moments.begin()) - 1;
}

TimeLineMoment& CTimeLine::AddMoment(int32_t step) {
    auto it = std::lower_bound(moments.begin(), moments.end(), step,
                               [](const TimeLineMoment& m, int32_t s) { return m.step < s; });
    if (it != moments.end() && it->step == step) return *it;
    TimeLineMoment m;
    m.step = step;
    return *moments.insert(it, std::move(m));
}

void CTimeLine::DeleteMoment(int32_t step) {
    const int32_t k = FindMoment(step);
    if (k >= 0) moments.erase(moments.begin() + k);
}

void CTimeLine::SortMoments() {
    if (std::is_sorted(
            moments.begin(), moments.end(),
            [](const TimeLineMoment& a, const TimeLineMoment& b) { return a.step <= b.step; }))
        return;
    std::stable_sort(
        moments.begin(), moments.end(),
        [](const TimeLineMoment& a, const TimeLineMoment& b) { return a.step < b.step; });
    std::vector<TimeLineMoment> merged;
    for (TimeLineMoment& m : moments) {
        if (!merged.empty() && merged.back().step == m.step) {
            auto& to = merged.back().event.actions;
            to.insert(to.end(), std::make_move_iterator(m.event.actions.begin()),
                      std::make_move_iterator(m.event.actions.end()));
        } else {
            merged.push_back(std::move(m));
        }
    }
    moments = std::move(merged);
}

// The moments may change or delete the time line: nothing of it is read once they begin.
void AdvanceTimeLine(CInstance& inst, const CTimeLine& t,
                     const std::function<void(int32_t)>& perform) {
    if (t.moments.empty()) return;
    const double speed = inst.timeline_speed;
    const double last_step = t.moments.back().step;
    if (speed > 0) {
        const int32_t a = t.FirstMomentAtOrAfter(inst.timeline_position);
        inst.timeline_position += speed;
        const int32_t b = t.FirstMomentAtOrAfter(inst.timeline_position);
        for (int32_t k = a; k < b; ++k) perform(k);
        if (inst.timeline_loop && last_step < inst.timeline_position) inst.timeline_position = 0;
    } else if (speed < 0) {
        const int32_t a = t.LastMomentAtOrBefore(inst.timeline_position);
        inst.timeline_position += speed;
        const int32_t b = t.LastMomentAtOrBefore(inst.timeline_position);
        for (int32_t k = a; k > b; --k) perform(k);
        if (inst.timeline_loop && inst.timeline_position < 0) inst.timeline_position = last_step;
    }
}

}  // namespace kr
