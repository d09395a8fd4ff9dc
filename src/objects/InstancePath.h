// An instance following a path: starting it (placed at the path's start or relative to where
// the instance is) and the step that advances it by its path speed, handles the end of the path
// and moves the instance to its new point, with the path scaled and rotated about its start.
#pragma once

#include <cstdint>

#include "motion/Path.h"
#include "objects/Instance.h"

namespace kr {

enum PathEndAction : int32_t {
    kPathEndStop = 0,
    kPathEndRestart = 1,
    kPathEndContinue = 2,
    kPathEndReverse = 3,
};

// Starts path `index` (`path` is that path, or null when it does not exist). A negative index
// just ends the current path; a missing or zero-length path, or a negative scale, leaves the
// instance on no path.
void StartPath(CInstance& inst, int32_t index, const CPath* path, double speed, int32_t end_action,
               bool relative, double scale, double orientation);

// One step along the instance's path (`path` is path_index's path, or null). True when the end
// (or, moving backwards, the start) was reached in this step.
bool FollowPathStep(CInstance& inst, const CPath* path);

}  // namespace kr
