// The 51 built-in instance variables (x, speed, alarm, sprite_index, ...) as getters and setters
// of the built-in variable registry. Reads give the field; writes convert the value (rounded
// integers, booleans at 1, clamped path positions) and go through the instance's operations
// where fields are coupled, so the box and the velocity stay consistent.
//
// The instance passed in must be a CInstance (every instance of a room is). A string written
// to one of these numeric variables counts as 0.
#pragma once

#include <span>
#include <string_view>

#include "code/Runtime.h"

namespace kr {

struct InstanceVariableDef {
    const char* name;
    BuiltinVarGetter get;
    BuiltinVarSetter set;  // null for read-only variables
};

// All 51, in registration order.
std::span<const InstanceVariableDef> InstanceVariables();

// The getter and setter of instance variable `name`; false for any other name.
bool InstanceVariableAccessors(std::string_view name, BuiltinVarGetter& get, BuiltinVarSetter& set);

// Tells the runtime which instance variables are plain double fields (CInstance::FieldOffset),
// so that code reads them in place. Every instance the runtime then runs code for must be a
// CInstance.
void DeclareInstanceVariableFields(Runtime& rt);

}  // namespace kr
