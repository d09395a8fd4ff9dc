// CTrigger: a named condition in script code, tested once per step at one of the step events;
// objects respond to it with trigger events.
#pragma once

#include <cstdint>
#include <string>

namespace kr {

class CStream;

inline constexpr int32_t kTriggerVersion = 800;

class CTrigger {
public:
    enum Moment : int32_t { kStep = 0, kBeginStep = 1, kEndStep = 2 };

    std::string name;
    std::string condition;  // script expression
    int32_t moment = kBeginStep;
    std::string constant_name;  // the name scripts use for the trigger's index

    // The whole trigger record (triggers store their name inside it). False on a wrong version
    // or a failed stream.
    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    bool operator==(const CTrigger&) const = default;
};

}  // namespace kr
