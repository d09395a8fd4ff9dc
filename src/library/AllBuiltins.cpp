// Calls the registration routine of every family of built-in functions. ORDER FAMILY: the order
// is that of code/Vocabulary.h.
#include "library/AllBuiltins.h"

#include "code/Vocabulary.h"

namespace kr {

void RegisterAllBuiltins(BuiltinRegistry& reg) {
    RegisterActionFunctions(reg);
    RegisterMathFunctions(reg);
    RegisterGraphicsFunctions(reg);
    RegisterGameFunctions(reg);
    RegisterFileFunctions(reg);
    RegisterInteractionFunctions(reg);
    RegisterMultiplayerFunctions(reg);
    RegisterMiscFunctions(reg);
    RegisterResourceFunctions(reg);
    RegisterParticleFunctions(reg);
    RegisterDataStructureFunctions(reg);
    RegisterSoundFunctions(reg);
    Register3DFunctions(reg);
}

}  // namespace kr
