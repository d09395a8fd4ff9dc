// Script functions on time lines: queries, adding and deleting time lines, and changing their
// moments. A moment added by a script holds code actions, prepared as they are added so that a
// compilation error shows at once.
#include <memory>
#include <string>

#include "code/Runtime.h"
#include "library/FunctionResource.h"
#include "objects/ActionExecution.h"
#include "runner/Runner.h"

namespace kr {

namespace {

ResourceTable<CTimeLine>& TimeLines(Runtime& rt) {
    return RunnerOf(rt).Game().time_lines;
}

CTimeLine* TimeLineArg(Runtime& rt, const RValue& v) {
    return TimeLines(rt).Get(ArgInt(v));
}

}  // namespace

void fn_timeline_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                        RValue& result) {
    result.SetReal(TimeLineArg(rt, args[0]) ? 1 : 0);
}

void fn_timeline_get_name(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                          RValue& result) {
    result = RValue(TimeLines(rt).Name(ArgInt(args[0])));
}

void fn_timeline_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                     RValue& result) {
    ResourceTable<CTimeLine>& t = TimeLines(rt);
    const int index = t.Count();
    result.SetReal(t.Add("__newtimeline" + std::to_string(index), std::make_unique<CTimeLine>()));
}

void fn_timeline_delete(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                        RValue& result) {
    const int32_t i = ArgInt(args[0]);
    if (!TimeLines(rt).Exists(i)) {
        rt.RuntimeError("Trying to delete non-existing timeline.");
        return;
    }
    TimeLines(rt).Remove(i);
    result.SetReal(1);
}

void fn_timeline_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                       RValue&) {
    if (CTimeLine* t = TimeLineArg(rt, args[0])) t->Clear();
}

void fn_timeline_moment_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue&) {
    if (CTimeLine* t = TimeLineArg(rt, args[0])) t->DeleteMoment(ArgInt(args[1]));
}

void fn_timeline_moment_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                            RValue&) {
    const int32_t n = ArgInt(args[0]);
    CTimeLine* t = TimeLines(rt).Get(n);
    if (!t) return;
    const int32_t step = ArgInt(args[1]);
    CAction a;
    a.library_id = 1;
    a.action_id = 603;
    a.kind = CAction::kCode;
    a.exec_type = CAction::kExecCode;
    a.has_applies_to = true;
    a.arg_count = 1;
    a.arg_texts[0] = std::string(ArgStr(args[2]));
    // Compiled with the context naming the moment, so that an error names it too.
    EventContext& ctx = rt.Event();
    const EventContext saved = ctx;
    ctx.event_type = kTimeLineEvent;
    ctx.event_object = n;
    ctx.event_number = step;
    TimeLineMoment& m = t->AddMoment(step);
    ctx.event_action = int32_t(m.event.actions.size());
    PrepareAction(rt, a);
    ctx = saved;
    m.event.actions.push_back(std::move(a));
}

}  // namespace kr
