// Registration of every built-in function of the script language.
#pragma once

#include "code/BuiltinRegistry.h"

namespace kr {

// Registers the thirteen families in their fixed order; the order gives the function ids.
void RegisterAllBuiltins(BuiltinRegistry& reg);

}  // namespace kr
