// The built-in vocabulary of the script language: the constants and variables that every game
// starts with, and the registration routines of the thirteen families of built-in functions.
// The tables are plain data; the registries that consume them live with the compiler and the
// owning subsystems.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "code/BuiltinRegistry.h"

namespace kr {

// ---- Constants ----------------------------------------------------------------------------

struct BuiltinConstantDef {
    const char* name;
    double value;
};

// The 289 built-in constants, in the order they are added to the constant table.
std::span<const BuiltinConstantDef> BuiltinConstants();
// Their rows ordered by name, rows of one name in table order; worked out when the program is
// built.
std::span<const uint16_t> BuiltinConstantsByName();

// ---- Variables ----------------------------------------------------------------------------

enum class VariableScope : uint8_t {
    kGame,      // one value for the whole game; the instance is ignored
    kInstance,  // read and written on the given instance
};

// How a write converts the value before it is stored.
enum class VariableWrite : uint8_t {
    kNone,        // read-only
    kValue,       // stored as given, real or string (the script arguments)
    kReal,        // the real as it is
    kRounded,     // the real rounded to the nearest integer, ties to even
    kBoolAtOne,   // true when the rounded value is at least 1 (0.5 stores false); reads 1 or 0
    kBoolAtHalf,  // true when the value is at least 0.5 (error_occurred)
    kString,      // the string
    kFirstChar,   // the first byte of the string; an empty string changes nothing
};

// index_count of instance_id: valid indexes are 0 .. instance_count-1, others read -4.
inline constexpr int32_t kIndexedByInstanceCount = -1;

struct BuiltinVariableDef {
    const char* name;
    VariableScope scope;
    // 0: not indexed. n > 0: takes an index 0..n-1, and any other flat index means 0.
    // kIndexedByInstanceCount: instance_id.
    int32_t index_count;
    VariableWrite write;

    bool ReadOnly() const { return write == VariableWrite::kNone; }
};

// The built-in variables in registration order: a variable's name id is its index here. The
// game-wide variables come first, then those of instances.
std::span<const BuiltinVariableDef> BuiltinVariables();
// The rows of BuiltinVariables() ordered by name (rows of one name in table order), worked out
// when the program is built.
std::span<const uint16_t> BuiltinVariableNameOrder();
// The names of those rows, in that order.
std::span<const std::string_view> BuiltinVariableSortedNames();

// ---- Function families --------------------------------------------------------------------
// Each family registers its table from its own unit. ORDER FAMILY: RegisterAllBuiltins
// (library/AllBuiltins.cpp) calls them in this order, which fixes the function ids.

void RegisterActionFunctions(BuiltinRegistry& reg);         // library/FunctionAction.cpp
void RegisterMathFunctions(BuiltinRegistry& reg);           // library/FunctionMath.cpp
void RegisterGraphicsFunctions(BuiltinRegistry& reg);       // library/FunctionGraphics.cpp
void RegisterGameFunctions(BuiltinRegistry& reg);           // library/FunctionGame.cpp
void RegisterFileFunctions(BuiltinRegistry& reg);           // library/FunctionFile.cpp
void RegisterInteractionFunctions(BuiltinRegistry& reg);    // library/FunctionInteraction.cpp
void RegisterMultiplayerFunctions(BuiltinRegistry& reg);    // library/FunctionMultiplayer.cpp
void RegisterMiscFunctions(BuiltinRegistry& reg);           // library/FunctionMisc.cpp
void RegisterResourceFunctions(BuiltinRegistry& reg);       // library/FunctionResource.cpp
void RegisterParticleFunctions(BuiltinRegistry& reg);       // library/FunctionParticles.cpp
void RegisterDataStructureFunctions(BuiltinRegistry& reg);  // library/FunctionDataStructures.cpp
void RegisterSoundFunctions(BuiltinRegistry& reg);          // library/FunctionSound.cpp
void Register3DFunctions(BuiltinRegistry& reg);             // library/Function3D.cpp

}  // namespace kr
