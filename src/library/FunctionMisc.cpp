// Script functions for code and events, variables, external calls, the clipboard, dates and the
// debug output. Rows without a body are registered so that games compile; calling one reports
// that the function is not available yet.
#include <cmath>
#include <cstdio>
#include <vector>

#include "code/ArgumentScope.h"
#include "code/Code.h"
#include "code/DebugHook.h"
#include "code/Runtime.h"
#include "code/Vocabulary.h"
#include "library/DateTime.h"
#include "library/FunctionExternal.h"
#include "library/FunctionMath.h"
#include "platform/Files.h"
#include "platform/GamePath.h"
#include "runner/Runner.h"

namespace kr {

// ---- Code built at run time ------------------------------------------------------------------

namespace {

// Compiles `text` afresh and runs it for the caller's self and other with the arguments after
// the first; a compilation error is shown as `what` + CR + the compiler's message. Nothing is
// cached: the text may differ on every call.
void RunCodeText(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc,
                 const RValue* args, std::string text, const char* what, RValue& result) {
    ArgumentScope scope(rt, args + 1, (argc < kArgCount ? argc : kArgCount) - 1);
    CCode code(std::move(text), false);
    code.SetKeepEveryResult(true);  // a failed run still gives what it computed so far
    if (!code.Compile(rt)) {
        std::string message = std::string(what) + "\r" + rt.ErrorText();
        rt.ClearError();
        rt.ShowError(message, false);
        return;
    }
    rt.ExecuteReporting(code, self, other, result);
}

// A text file's lines, each followed by a single CR whatever line breaks the file used.
std::string ReadLinesWithCr(const std::vector<uint8_t>& bytes) {
    std::string text;
    text.reserve(bytes.size() + 1);
    size_t i = 0, n = bytes.size();
    while (i < n) {
        size_t start = i;
        while (i < n && bytes[i] != '\r' && bytes[i] != '\n') ++i;
        text.append(reinterpret_cast<const char*>(bytes.data()) + start, i - start);
        text += '\r';
        if (i < n && bytes[i] == '\r') ++i;
        if (i < n && bytes[i] == '\n') ++i;
    }
    return text;
}

}  // namespace

static void fn_execute_string(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc,
                              const RValue* args, RValue& result) {
    if (argc < 1) return;
    RunCodeText(rt, self, other, argc, args, args[0].StdStr(),
                "COMPILATION ERROR in string to be executed", result);
}

static void fn_execute_file(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int argc,
                            const RValue* args, RValue& result) {
    if (argc < 1) return;
    std::string path = MapGamePath(args[0].Str());
    std::vector<uint8_t> bytes;
    if (!FileExists(path) || !ReadWholeFile(path, bytes, rt.InterruptFlag())) {
        rt.RuntimeError("Trying to execute non-existing file.");
        return;
    }
    RunCodeText(rt, self, other, argc, args, ReadLinesWithCr(bytes),
                "COMPILATION ERROR in file to be executed", result);
}

// ---- Variables by name -----------------------------------------------------------------------

namespace {

// A name as the compiler resolves it: a built-in variable's id, else the user name id (which a
// new name gets here, as in compiled code).
int32_t VariableId(Runtime& rt, const RValue& name) {
    int32_t id = rt.FindBuiltinVariable(name.Str());
    return id >= 0 ? id : rt.Names().Intern(name.Str());
}

// The flat index of one index (array) or two (array2). Indexes of 32000 and more are a run-time
// error. A negative index finds nothing on a read, and is rejected on a write as the
// interpreter rejects it. False when the access must not happen.
bool FlatIndex(Runtime& rt, const RValue* index, int count, bool write, int32_t& flat) {
    int64_t i[2] = {0, 0};
    for (int k = 0; k < count; ++k) i[k] = RoundToInt64(ArgReal(index[k]));
    bool negative = i[0] < 0 || i[1] < 0;
    if (write && negative) {
        rt.RuntimeError("Negative array index");
        return false;
    }
    if (i[0] >= kArrayDim || i[1] >= kArrayDim) {
        rt.RuntimeError("Array index >= 32000");
        return false;
    }
    if (negative) return false;
    flat = int32_t(count == 2 ? i[0] * kArrayDim + i[1] : i[0]);
    return true;
}

// Reads for the variable functions: false when nothing was found and missing variables are not
// read as 0.
bool ReadGlobal(Runtime& rt, int32_t id, int32_t index, RValue& out) {
    if (const RValue* v = rt.Globals().List().GetVar(id, index)) {
        out = *v;
        return true;
    }
    out.SetReal(0.0);
    return rt.Settings().uninitialized_as_zero;
}

bool ReadLocal(Runtime& rt, ScriptInstance* self, int32_t id, int32_t index, RValue& out) {
    if (self && rt.ReadInstanceVariable(self, id, index, out)) return true;
    out.SetReal(0.0);
    return rt.Settings().uninitialized_as_zero;
}

// A refused write (a read-only built-in variable) is ignored without a message.
void WriteLocal(Runtime& rt, ScriptInstance* self, int32_t id, int32_t index, const RValue& value) {
    if (self) rt.WriteInstanceVariable(self, id, index, value);
}

}  // namespace

static void fn_variable_global_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                      const RValue* args, RValue& result) {
    RValue v;
    result.SetReal(ReadGlobal(rt, VariableId(rt, args[0]), 0, v) ? 1.0 : 0.0);
}

static void fn_variable_global_get(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                   const RValue* args, RValue& result) {
    ReadGlobal(rt, VariableId(rt, args[0]), 0, result);
}

static void fn_variable_global_array_get(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                         const RValue* args, RValue& result) {
    int32_t id = VariableId(rt, args[0]), index;
    if (FlatIndex(rt, args + 1, 1, false, index)) ReadGlobal(rt, id, index, result);
}

static void fn_variable_global_array2_get(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                          const RValue* args, RValue& result) {
    int32_t id = VariableId(rt, args[0]), index;
    if (FlatIndex(rt, args + 1, 2, false, index)) ReadGlobal(rt, id, index, result);
}

static void fn_variable_global_set(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                   const RValue* args, RValue&) {
    rt.Globals().List().SetVar(VariableId(rt, args[0]), 0, args[1]);
}

static void fn_variable_global_array_set(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                         const RValue* args, RValue&) {
    int32_t id = VariableId(rt, args[0]), index;
    if (FlatIndex(rt, args + 1, 1, true, index)) rt.Globals().List().SetVar(id, index, args[2]);
}

static void fn_variable_global_array2_set(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                          const RValue* args, RValue&) {
    int32_t id = VariableId(rt, args[0]), index;
    if (FlatIndex(rt, args + 1, 2, true, index)) rt.Globals().List().SetVar(id, index, args[3]);
}

static void fn_variable_local_exists(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                     const RValue* args, RValue& result) {
    RValue v;
    result.SetReal(ReadLocal(rt, self, VariableId(rt, args[0]), 0, v) ? 1.0 : 0.0);
}

static void fn_variable_local_get(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                  const RValue* args, RValue& result) {
    ReadLocal(rt, self, VariableId(rt, args[0]), 0, result);
}

static void fn_variable_local_array_get(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                        const RValue* args, RValue& result) {
    int32_t id = VariableId(rt, args[0]), index;
    if (FlatIndex(rt, args + 1, 1, false, index)) ReadLocal(rt, self, id, index, result);
}

static void fn_variable_local_array2_get(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                         const RValue* args, RValue& result) {
    int32_t id = VariableId(rt, args[0]), index;
    if (FlatIndex(rt, args + 1, 2, false, index)) ReadLocal(rt, self, id, index, result);
}

static void fn_variable_local_set(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                  const RValue* args, RValue&) {
    WriteLocal(rt, self, VariableId(rt, args[0]), 0, args[1]);
}

static void fn_variable_local_array_set(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                        const RValue* args, RValue&) {
    int32_t id = VariableId(rt, args[0]), index;
    if (FlatIndex(rt, args + 1, 1, true, index)) WriteLocal(rt, self, id, index, args[2]);
}

static void fn_variable_local_array2_set(Runtime& rt, ScriptInstance* self, ScriptInstance*, int,
                                         const RValue* args, RValue&) {
    int32_t id = VariableId(rt, args[0]), index;
    if (FlatIndex(rt, args + 1, 2, true, index)) WriteLocal(rt, self, id, index, args[3]);
}

// ---- Debug output ----------------------------------------------------------------------------

// Writes the value (a real as string() writes it) and a newline to standard output at once, so
// the lines interleave correctly with anything else the process prints.
static void fn_show_debug_message(Runtime& rt, ScriptInstance* self, ScriptInstance* other,
                                  int argc, const RValue* args, RValue& result) {
    std::string text = args[0].IsString() ? args[0].StdStr() : RealToString(args[0].real);
    if (DebugHook* debugger = rt.GetDebugHook(); debugger && debugger->OnDebugMessage(text)) return;
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// ---- Events ----------------------------------------------------------------------------------
// They perform an event for the calling instance, with the calling self and other.

static void fn_event_perform(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int,
                             const RValue* args, RValue&) {
    RunnerOf(rt).Events().PerformInstanceEvent(self, other, ArgInt(args[0]), ArgInt(args[1]));
}

// The event as the given object defines it (or inherits it), still for the calling instance.
static void fn_event_perform_object(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int,
                                    const RValue* args, RValue&) {
    RunnerOf(rt).Events().PerformEvent(self, other, ArgInt(args[0]), ArgInt(args[1]),
                                       ArgInt(args[2]));
}

// User event n is other event n + 10.
static void fn_event_user(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int,
                          const RValue* args, RValue&) {
    RunnerOf(rt).Events().PerformInstanceEvent(self, other, kEventOther,
                                               int32_t(RoundToInt64(ArgReal(args[0])) + 10));
}

// The running event as the parent of the object that defines it has it (or inherits it).
static void fn_event_inherited(Runtime& rt, ScriptInstance* self, ScriptInstance* other, int,
                               const RValue*, RValue&) {
    const EventContext ctx = rt.Event();
    Runner& runner = RunnerOf(rt);
    const CObject* object = runner.Game().objects.Get(ctx.event_object);
    if (!object || !runner.Game().objects.Get(object->parent)) return;
    runner.Events().PerformEvent(self, other, object->parent, ctx.event_type, ctx.event_number);
}

// ---- Dates and times ---------------------------------------------------------------------------

#define KR_DATE_FN(name)                                                                       \
    static void fn_##name(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* a, \
                          RValue& r)

namespace {

double Now(Runtime& rt) {
    return RunnerOf(rt).GetPlatform().clock->LocalDateTime();
}

int64_t ArgInt64(const RValue& v) {
    return RoundToInt64(ArgReal(v));
}

// Fields that form no date or time leave the function with an error and the result 0, the way
// a failing conversion leaves any built-in.
bool CheckedDate(Runtime& rt, const RValue* a, int64_t& day) {
    int64_t y = ArgInt64(a[0]), m = ArgInt64(a[1]), d = ArgInt64(a[2]);
    if (!ValidDate(y, m, d)) {
        rt.RuntimeError("Trying to create an invalid date.");
        return false;
    }
    day = DayNumber({y, int(m), int(d)});
    return true;
}

bool CheckedTime(Runtime& rt, const RValue* a, double& time) {
    int64_t h = ArgInt64(a[0]), mi = ArgInt64(a[1]), s = ArgInt64(a[2]);
    if (!ValidTime(h, mi, s)) {
        rt.RuntimeError("Trying to create an invalid time.");
        return false;
    }
    time = TimeValue(int(h), int(mi), int(s));
    return true;
}

}  // namespace

KR_DATE_FN(date_current_datetime) {
    r = Now(rt);
}
KR_DATE_FN(date_current_date) {
    r = std::trunc(Now(rt));
}
KR_DATE_FN(date_current_time) {
    double t = Now(rt);
    r = std::fabs(t - std::trunc(t));
}
KR_DATE_FN(date_create_datetime) {
    int64_t day;
    double time;
    if (CheckedDate(rt, a, day) && CheckedTime(rt, a + 3, time)) r = ComposeDateTime(day, time);
}
KR_DATE_FN(date_create_date) {
    int64_t day;
    if (CheckedDate(rt, a, day)) r = double(day);
}
KR_DATE_FN(date_create_time) {
    double time;
    if (CheckedTime(rt, a, time)) r = time;
}
KR_DATE_FN(date_valid_datetime) {
    r = ValidDate(ArgInt64(a[0]), ArgInt64(a[1]), ArgInt64(a[2])) &&
                ValidTime(ArgInt64(a[3]), ArgInt64(a[4]), ArgInt64(a[5]))
            ? 1.0
            : 0.0;
}
KR_DATE_FN(date_valid_date) {
    r = ValidDate(ArgInt64(a[0]), ArgInt64(a[1]), ArgInt64(a[2])) ? 1.0 : 0.0;
}
KR_DATE_FN(date_valid_time) {
    r = ValidTime(ArgInt64(a[0]), ArgInt64(a[1]), ArgInt64(a[2])) ? 1.0 : 0.0;
}
KR_DATE_FN(date_inc_year) {
    r = AddMonths(ArgReal(a[0]), ArgInt64(a[1]) * 12);
}
KR_DATE_FN(date_inc_month) {
    r = AddMonths(ArgReal(a[0]), ArgInt64(a[1]));
}
KR_DATE_FN(date_inc_week) {
    r = ArgReal(a[0]) + 7.0 * double(ArgInt64(a[1]));
}
KR_DATE_FN(date_inc_day) {
    r = ArgReal(a[0]) + double(ArgInt64(a[1]));
}
KR_DATE_FN(date_inc_hour) {
    r = ArgReal(a[0]) + double(ArgInt64(a[1])) / 24.0;
}
KR_DATE_FN(date_inc_minute) {
    r = ArgReal(a[0]) + double(ArgInt64(a[1])) / 1440.0;
}
KR_DATE_FN(date_inc_second) {
    r = ArgReal(a[0]) + double(ArgInt64(a[1])) / 86400.0;
}
KR_DATE_FN(date_get_year) {
    r = double(DatePart(ArgReal(a[0])).year);
}
KR_DATE_FN(date_get_month) {
    r = DatePart(ArgReal(a[0])).month;
}
KR_DATE_FN(date_get_week) {
    r = IsoWeek(ArgReal(a[0]));
}
KR_DATE_FN(date_get_day) {
    r = DatePart(ArgReal(a[0])).day;
}
KR_DATE_FN(date_get_hour) {
    r = TimePart(ArgReal(a[0])).hour;
}
KR_DATE_FN(date_get_minute) {
    r = TimePart(ArgReal(a[0])).minute;
}
KR_DATE_FN(date_get_second) {
    r = TimePart(ArgReal(a[0])).second;
}
KR_DATE_FN(date_get_weekday) {
    r = WeekDay(ArgReal(a[0]));
}
KR_DATE_FN(date_get_day_of_year) {
    r = DayOfYear(ArgReal(a[0]));
}
KR_DATE_FN(date_get_hour_of_year) {
    double t = ArgReal(a[0]);
    r = (DayOfYear(t) - 1) * 24.0 + TimePart(t).hour;
}
KR_DATE_FN(date_get_minute_of_year) {
    double t = ArgReal(a[0]);
    ClockTime c = TimePart(t);
    r = ((DayOfYear(t) - 1) * 24.0 + c.hour) * 60.0 + c.minute;
}
KR_DATE_FN(date_get_second_of_year) {
    double t = ArgReal(a[0]);
    ClockTime c = TimePart(t);
    r = (((DayOfYear(t) - 1) * 24.0 + c.hour) * 60.0 + c.minute) * 60.0 + c.second;
}
KR_DATE_FN(date_year_span) {
    r = std::fabs(ArgReal(a[0]) - ArgReal(a[1])) / 365.25;
}
KR_DATE_FN(date_month_span) {
    r = std::fabs(ArgReal(a[0]) - ArgReal(a[1])) / 30.4375;
}
KR_DATE_FN(date_week_span) {
    r = std::fabs(ArgReal(a[0]) - ArgReal(a[1])) / 7.0;
}
KR_DATE_FN(date_day_span) {
    r = std::fabs(ArgReal(a[0]) - ArgReal(a[1]));
}
KR_DATE_FN(date_hour_span) {
    r = std::fabs(ArgReal(a[0]) - ArgReal(a[1])) * 24.0;
}
KR_DATE_FN(date_minute_span) {
    r = std::fabs(ArgReal(a[0]) - ArgReal(a[1])) * 1440.0;
}
KR_DATE_FN(date_second_span) {
    r = std::fabs(ArgReal(a[0]) - ArgReal(a[1])) * 86400.0;
}
KR_DATE_FN(date_compare_datetime) {
    r = CompareDateTime(ArgReal(a[0]), ArgReal(a[1]));
}
KR_DATE_FN(date_compare_date) {
    r = CompareDate(ArgReal(a[0]), ArgReal(a[1]));
}
KR_DATE_FN(date_compare_time) {
    r = CompareTime(ArgReal(a[0]), ArgReal(a[1]));
}
KR_DATE_FN(date_date_of) {
    r = std::trunc(ArgReal(a[0]));
}
KR_DATE_FN(date_time_of) {
    double t = ArgReal(a[0]);
    r = t - std::trunc(t);
}
KR_DATE_FN(date_datetime_string) {
    r = RValue(DateTimeString(ArgReal(a[0])));
}
KR_DATE_FN(date_date_string) {
    r = RValue(DateString(ArgReal(a[0])));
}
KR_DATE_FN(date_time_string) {
    r = RValue(TimeString(ArgReal(a[0])));
}
KR_DATE_FN(date_days_in_month) {
    CivilDate d = DatePart(ArgReal(a[0]));
    r = DaysInMonth(d.year, d.month);
}
KR_DATE_FN(date_days_in_year) {
    r = IsLeapYear(DatePart(ArgReal(a[0])).year) ? 366.0 : 365.0;
}
KR_DATE_FN(date_leap_year) {
    r = IsLeapYear(DatePart(ArgReal(a[0])).year) ? 1.0 : 0.0;
}
KR_DATE_FN(date_is_today) {
    r = CompareDate(ArgReal(a[0]), Now(rt)) == 0 ? 1.0 : 0.0;
}

#undef KR_DATE_FN

// ---- Clipboard and process ---------------------------------------------------------------------

static void fn_clipboard_has_text(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                                  RValue& r) {
    r = RunnerOf(rt).GetClipboard().HasText() ? 1.0 : 0.0;
}
static void fn_clipboard_get_text(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                                  RValue& r) {
    r = RValue(RunnerOf(rt).GetClipboard().GetText());
}
static void fn_clipboard_set_text(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                  const RValue* a, RValue&) {
    RunnerOf(rt).GetClipboard().SetText(a[0].IsString() ? ArgStr(a[0]) : std::string_view());
}
static void fn_window_handle(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue*,
                             RValue& r) {
    r = double(RunnerOf(rt).GetPlatform().window->NativeHandle());
}
static void fn_set_program_priority(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                    const RValue* a, RValue&) {
    int p = ArgInt(a[0]);
    RunnerOf(rt).GetPlatform().process->SetPriority(p >= -3 && p <= 3 ? p : 0);
}
static void fn_set_application_title(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                     const RValue* a, RValue&) {
    if (a[0].IsString()) RunnerOf(rt).SetApplicationTitle(a[0].StdStr());
}

// ORDER VOCABULARY: the rows keep the registration order of the family.
static constexpr BuiltinDef kMiscFunctions[] = {
    {"event_inherited", fn_event_inherited, 0},
    {"event_perform", fn_event_perform, 2},
    {"event_user", fn_event_user, 1},
    {"event_perform_object", fn_event_perform_object, 3},
    {"external_define", fn_external_define, -1},
    {"external_call", fn_external_call, -1},
    {"external_free", fn_external_free, 1},
    {"external_define0", fn_external_define0, 3},
    {"external_call0", fn_external_call0, 1},
    {"external_define1", fn_external_define1, 4},
    {"external_call1", fn_external_call1, 2},
    {"external_define2", fn_external_define2, 5},
    {"external_call2", fn_external_call2, 3},
    {"external_define3", fn_external_define3, 6},
    {"external_call3", fn_external_call3, 4},
    {"external_define4", fn_external_define4, 7},
    {"external_call4", fn_external_call4, 5},
    {"external_define5", fn_external_define5, 3},
    {"external_call5", fn_external_call5, 6},
    {"external_define6", fn_external_define6, 3},
    {"external_call6", fn_external_call6, 7},
    {"external_define7", fn_external_define7, 3},
    {"external_call7", fn_external_call7, 8},
    {"external_define8", fn_external_define8, 3},
    {"external_call8", fn_external_call8, 9},
    {"execute_string", fn_execute_string, -1},
    {"execute_file", fn_execute_file, -1},
    {"window_handle", fn_window_handle, 0},
    {"show_debug_message", fn_show_debug_message, 1},
    {"set_program_priority", fn_set_program_priority, 1},
    {"set_application_title", fn_set_application_title, 1},
    {"variable_global_exists", fn_variable_global_exists, 1},
    {"variable_global_get", fn_variable_global_get, 1},
    {"variable_global_array_get", fn_variable_global_array_get, 2},
    {"variable_global_array2_get", fn_variable_global_array2_get, 3},
    {"variable_global_set", fn_variable_global_set, 2},
    {"variable_global_array_set", fn_variable_global_array_set, 3},
    {"variable_global_array2_set", fn_variable_global_array2_set, 4},
    {"variable_local_exists", fn_variable_local_exists, 1},
    {"variable_local_get", fn_variable_local_get, 1},
    {"variable_local_array_get", fn_variable_local_array_get, 2},
    {"variable_local_array2_get", fn_variable_local_array2_get, 3},
    {"variable_local_set", fn_variable_local_set, 2},
    {"variable_local_array_set", fn_variable_local_array_set, 3},
    {"variable_local_array2_set", fn_variable_local_array2_set, 4},
    {"clipboard_has_text", fn_clipboard_has_text, 0},
    {"clipboard_set_text", fn_clipboard_set_text, 1},
    {"clipboard_get_text", fn_clipboard_get_text, 0},
    {"date_current_datetime", fn_date_current_datetime, 0},
    {"date_current_date", fn_date_current_date, 0},
    {"date_current_time", fn_date_current_time, 0},
    {"date_create_datetime", fn_date_create_datetime, 6},
    {"date_create_date", fn_date_create_date, 3},
    {"date_create_time", fn_date_create_time, 3},
    {"date_valid_datetime", fn_date_valid_datetime, 6},
    {"date_valid_date", fn_date_valid_date, 3},
    {"date_valid_time", fn_date_valid_time, 3},
    {"date_inc_year", fn_date_inc_year, 2},
    {"date_inc_month", fn_date_inc_month, 2},
    {"date_inc_week", fn_date_inc_week, 2},
    {"date_inc_day", fn_date_inc_day, 2},
    {"date_inc_hour", fn_date_inc_hour, 2},
    {"date_inc_minute", fn_date_inc_minute, 2},
    {"date_inc_second", fn_date_inc_second, 2},
    {"date_get_year", fn_date_get_year, 1},
    {"date_get_month", fn_date_get_month, 1},
    {"date_get_week", fn_date_get_week, 1},
    {"date_get_day", fn_date_get_day, 1},
    {"date_get_hour", fn_date_get_hour, 1},
    {"date_get_minute", fn_date_get_minute, 1},
    {"date_get_second", fn_date_get_second, 1},
    {"date_get_weekday", fn_date_get_weekday, 1},
    {"date_get_day_of_year", fn_date_get_day_of_year, 1},
    {"date_get_hour_of_year", fn_date_get_hour_of_year, 1},
    {"date_get_minute_of_year", fn_date_get_minute_of_year, 1},
    {"date_get_second_of_year", fn_date_get_second_of_year, 1},
    {"date_year_span", fn_date_year_span, 2},
    {"date_month_span", fn_date_month_span, 2},
    {"date_week_span", fn_date_week_span, 2},
    {"date_day_span", fn_date_day_span, 2},
    {"date_hour_span", fn_date_hour_span, 2},
    {"date_minute_span", fn_date_minute_span, 2},
    {"date_second_span", fn_date_second_span, 2},
    {"date_compare_datetime", fn_date_compare_datetime, 2},
    {"date_compare_date", fn_date_compare_date, 2},
    {"date_compare_time", fn_date_compare_time, 2},
    {"date_date_of", fn_date_date_of, 1},
    {"date_time_of", fn_date_time_of, 1},
    {"date_datetime_string", fn_date_datetime_string, 1},
    {"date_date_string", fn_date_date_string, 1},
    {"date_time_string", fn_date_time_string, 1},
    {"date_days_in_month", fn_date_days_in_month, 1},
    {"date_days_in_year", fn_date_days_in_year, 1},
    {"date_leap_year", fn_date_leap_year, 1},
    {"date_is_today", fn_date_is_today, 1},
};

void RegisterMiscFunctions(BuiltinRegistry& reg) {
    reg.AddTable<kMiscFunctions>();
}

}  // namespace kr
