// Reading, writing and binding stored actions.
#include "objects/Action.h"

#include "data/Stream.h"

namespace kr {

bool CAction::LoadFromStream(CStream& s) {
    if (s.ReadInteger() != kActionVersion || s.Failed()) return false;
    library_id = s.ReadInteger();
    action_id = s.ReadInteger();
    kind = s.ReadInteger();
    may_be_relative = s.ReadBoolean();
    is_question = s.ReadBoolean();
    has_applies_to = s.ReadBoolean();
    exec_type = s.ReadInteger();
    function_name = s.ReadString();
    function_id = -1;
    code_text = s.ReadString();
    arg_count = s.ReadInteger();
    if (arg_count < 0 || arg_count > kActionMaxArguments) return false;

    // The kinds and texts are fixed arrays of 8: a larger stored count is damaged data.
    int32_t kinds = s.ReadCount(4);
    if (kinds > kActionMaxArguments) return false;
    arg_kinds.fill(0);
    for (int32_t i = 0; i < kinds; ++i) arg_kinds[size_t(i)] = s.ReadInteger();
    applies_to = s.ReadInteger();
    relative = s.ReadBoolean();
    int32_t texts = s.ReadCount(4);
    if (texts > kActionMaxArguments) return false;
    arg_texts.fill(std::string());
    for (int32_t i = 0; i < texts; ++i) arg_texts[size_t(i)] = s.ReadString();
    is_not = s.ReadBoolean();
    return !s.Failed();
}

void CAction::SaveToStream(CStream& s) const {
    s.WriteInteger(kActionVersion);
    s.WriteInteger(library_id);
    s.WriteInteger(action_id);
    s.WriteInteger(kind);
    s.WriteBoolean(may_be_relative);
    s.WriteBoolean(is_question);
    s.WriteBoolean(has_applies_to);
    s.WriteInteger(exec_type);
    s.WriteString(function_name);
    s.WriteString(code_text);
    s.WriteInteger(arg_count);
    s.WriteInteger(kActionMaxArguments);
    for (int32_t k : arg_kinds) s.WriteInteger(k);
    s.WriteInteger(applies_to);
    s.WriteBoolean(relative);
    s.WriteInteger(kActionMaxArguments);
    for (const std::string& t : arg_texts) s.WriteString(t);
    s.WriteBoolean(is_not);
}

void CAction::ResolveFunction(const FunctionFinder& find, const MessageSink& report) {
    if (exec_type != kExecFunction) return;
    function_id = find ? find(function_name) : -1;
    if (function_id < 0) {
        function_id = -1;
        if (report) report("Failed to locate action function " + function_name);
    }
}

bool CAction::operator==(const CAction& o) const {
    return library_id == o.library_id && action_id == o.action_id && kind == o.kind &&
           may_be_relative == o.may_be_relative && is_question == o.is_question &&
           has_applies_to == o.has_applies_to && exec_type == o.exec_type &&
           function_name == o.function_name && code_text == o.code_text &&
           arg_count == o.arg_count && arg_kinds == o.arg_kinds && applies_to == o.applies_to &&
           relative == o.relative && arg_texts == o.arg_texts && is_not == o.is_not;
}

}  // namespace kr
