// Reading and writing the time-line record.
#include "objects/TimeLine.h"

#include "data/Stream.h"

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
    return !s.Failed();
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

}  // namespace kr
