// CAction: one action of an event or time-line moment, in the form the game data stores it: a
// call of a library function with up to 8 argument texts, a piece of script code, or a control
// mark (block begin and end, else, exit, repeat). The function is kept by name; ResolveFunction
// binds it once the registry of scripts, extension functions and built-ins exists.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kr {

class CStream;
struct PreparedAction;

inline constexpr int32_t kActionVersion = 440;
inline constexpr int32_t kActionMaxArguments = 8;
// The smallest stored action: 13 integer-sized fields and two empty strings.
inline constexpr size_t kActionMinBytes = 64;

// Finds a function by name (scripts, extension functions, built-ins): its id, or -1.
using FunctionFinder = std::function<int32_t(const std::string& name)>;
// Receives a message for the user; loading goes on after it.
using MessageSink = std::function<void(const std::string& message)>;

class CAction {
public:
    enum Kind : int32_t {
        kNormal = 0,
        kBeginBlock = 1,
        kEndBlock = 2,
        kElse = 3,
        kExit = 4,
        kRepeat = 5,
        kSetVariable = 6,
        kCode = 7,
    };
    enum ExecType : int32_t { kExecNothing = 0, kExecFunction = 1, kExecCode = 2 };

    int32_t library_id = 0;
    int32_t action_id = 0;
    int32_t kind = kNormal;
    bool may_be_relative = false;
    bool is_question = false;
    bool has_applies_to = false;
    int32_t exec_type = kExecNothing;
    std::string function_name;  // for kExecFunction
    int32_t function_id = -1;   // set by ResolveFunction; -1 while unresolved
    std::string code_text;      // for kExecCode
    int32_t arg_count = 0;      // 0..8
    std::array<int32_t, kActionMaxArguments> arg_kinds{};
    int32_t applies_to = -1;  // -1 self, -2 other, otherwise an object index
    bool relative = false;
    std::array<std::string, kActionMaxArguments> arg_texts;
    bool is_not = false;

    // The compiled form that PrepareAction makes (objects/ActionExecution.h); null until then.
    // Copies of a prepared action share it: it is never changed once made.
    std::shared_ptr<PreparedAction> prepared;

    // Reads one stored action: the version, the fields, then the number of argument kinds and
    // the kinds, and later the number of argument texts and the texts. False on a wrong version,
    // more than 8 arguments, kinds or texts, or a failed stream.
    bool LoadFromStream(CStream& s);
    // Writes the same form with 8 kinds and 8 texts, as stored games have them.
    void SaveToStream(CStream& s) const;

    // For a function action: looks the name up and sets function_id. A name that is not found
    // leaves -1 and sends "Failed to locate action function " + name to `report`.
    void ResolveFunction(const FunctionFinder& find, const MessageSink& report);

    // Equal stored fields (function_id and the prepared form are derived, not stored).
    bool operator==(const CAction& o) const;
};

}  // namespace kr
