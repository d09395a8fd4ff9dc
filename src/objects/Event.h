// CEvent: the ordered list of actions that runs when an event happens to an instance, or when a
// time line reaches a moment. An event "exists" only when it has at least one action.
#pragma once

#include <cstdint>
#include <vector>

#include "objects/Action.h"

namespace kr {

class CStream;

inline constexpr int32_t kEventVersion = 400;
// The smallest stored event: its version and an action count of 0.
inline constexpr size_t kEventMinBytes = 8;

class CEvent {
public:
    std::vector<CAction> actions;

    bool Exists() const { return !actions.empty(); }

    // Version, action count, then the actions. False on a wrong version, a bad action or a
    // failed stream.
    bool LoadFromStream(CStream& s);
    void SaveToStream(CStream& s) const;

    // Binds the function of every function action (CAction::ResolveFunction).
    void ResolveFunctions(const FunctionFinder& find, const MessageSink& report);

    bool operator==(const CEvent&) const = default;
};

}  // namespace kr
