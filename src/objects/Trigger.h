// CTrigger: a named condition in script code, tested once per step at one of the step events;
// objects respond to it with trigger events.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kr {

class CCode;
class CStream;

inline constexpr int32_t kTriggerVersion = 800;

class CTrigger {
public:
    enum Moment : int32_t { kStep = 0, kBeginStep = 1, kEndStep = 2 };

    std::string name;
    std::string condition;  // script code: a program whose result is the condition
    int32_t moment = kBeginStep;
    std::string constant_name;  // the name scripts use for the trigger's index
    // The condition compiled as a program when the game is prepared; null until then.
    std::shared_ptr<CCode> code;

    // The whole trigger record (triggers store their name inside it). False on a wrong version
    // or a failed stream.
    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    // Equal stored fields (the compiled code is not compared).
    bool operator==(const CTrigger& o) const {
        return name == o.name && condition == o.condition && moment == o.moment &&
               constant_name == o.constant_name;
    }
};

}  // namespace kr
