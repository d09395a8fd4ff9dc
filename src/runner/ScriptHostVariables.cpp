// The built-in variables as the runner registers them: all of them in their fixed order, with the
// accessors of the language's own variables and of the game-wide values the runner holds.
// Instance variables get the accessors of the instances (objects/InstanceVariables.h).
// Variables of rooms, views, backgrounds and input are registered without accessors
// (they read real 0 and ignore writes) until their subsystem attaches them.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "code/Vocabulary.h"
#include "objects/InstanceVariables.h"
#include "runner/Runner.h"

namespace kr {

namespace {

using Vars = GameVariables;

bool Put(RValue& out, double v) {
    out.SetReal(v);
    return true;
}
bool Put(RValue& out, std::string_view s) {
    out = RValue(s);
    return true;
}

// Plain stored values: integers (rounded on write), reals, booleans (true from 1 on) and
// strings, each a field of GameVariables.
template <int32_t Vars::*F>
bool GetInt(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, double(RunnerOf(rt).Vars().*F));
}
template <int32_t Vars::*F>
bool SetInt(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    RunnerOf(rt).Vars().*F = StoredInteger(v);
    return true;
}
template <bool Vars::*F>
bool GetBool(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, RunnerOf(rt).Vars().*F ? 1.0 : 0.0);
}
template <bool Vars::*F>
bool SetBool(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    RunnerOf(rt).Vars().*F = StoredBoolean(v);
    return true;
}
template <std::string Vars::*F>
bool GetStr(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, std::string_view(RunnerOf(rt).Vars().*F));
}
template <std::string Vars::*F>
bool SetStr(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    RunnerOf(rt).Vars().*F = std::string(v.Str());
    return true;
}

bool get_health(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, RunnerOf(rt).Vars().health);
}
bool set_health(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    RunnerOf(rt).SetHealth(ArgReal(v));
    return true;
}
bool set_lives(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    RunnerOf(rt).SetLives(StoredInteger(v));
    return true;
}
bool set_transition_steps(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    int32_t steps = StoredInteger(v);
    RunnerOf(rt).Vars().transition_steps = steps < 1 ? 1 : steps;
    return true;
}
bool set_show_score(Runtime& rt, ScriptInstance*, int32_t, const RValue& v) {
    Vars& vars = RunnerOf(rt).Vars();
    vars.show_score = StoredBoolean(v);
    vars.show_score_assigned = true;
    return true;
}

bool get_game_id(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, double(RunnerOf(rt).Game().game_id));
}
bool get_working_directory(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::current_path(ec);
    return Put(out, ec ? std::string() : p.string());
}
bool get_temp_directory(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, std::string_view(RunnerOf(rt).TempDirectory()));
}
bool get_program_directory(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, RunnerOf(rt).ProgramDirectory());
}
bool get_secure_mode(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, RunnerOf(rt).SecureMode() ? 1.0 : 0.0);
}
bool get_debug_mode(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, RunnerOf(rt).DebugMode() ? 1.0 : 0.0);
}
bool get_korvane_version(Runtime&, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, 800.0);
}

// current_time: milliseconds of the runner's clock as an unsigned 32-bit tick count, which
// wraps after 49.7 days as the system's tick count does.
bool get_current_time(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    int64_t ms = RunnerOf(rt).GetPlatform().clock->Microseconds() / 1000;
    return Put(out, double(uint32_t(uint64_t(ms))));
}

// The local date and time, read anew at every access.
std::tm LocalNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}
template <int std::tm::*F, int Offset>
bool GetDatePart(Runtime&, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, double(LocalNow().*F + Offset));
}

template <int32_t EventContext::*F>
bool GetEvent(Runtime& rt, ScriptInstance*, int32_t, RValue& out) {
    return Put(out, double(rt.Event().*F));
}

struct Accessors {
    const char* name;
    BuiltinVarGetter get;
    BuiltinVarSetter set;
};

const Accessors kGameVariables[] = {
    {"argument_relative", &GetBool<&Vars::argument_relative>, nullptr},
    {"transition_kind", &GetInt<&Vars::transition_kind>, &SetInt<&Vars::transition_kind>},
    {"transition_steps", &GetInt<&Vars::transition_steps>, &set_transition_steps},
    {"score", &GetInt<&Vars::score>, &SetInt<&Vars::score>},
    {"lives", &GetInt<&Vars::lives>, &set_lives},
    {"health", &get_health, &set_health},
    {"game_id", &get_game_id, nullptr},
    {"working_directory", &get_working_directory, nullptr},
    {"temp_directory", &get_temp_directory, nullptr},
    {"program_directory", &get_program_directory, nullptr},
    {"cursor_sprite", &GetInt<&Vars::cursor_sprite>, &SetInt<&Vars::cursor_sprite>},
    {"show_score", &GetBool<&Vars::show_score>, &set_show_score},
    {"show_lives", &GetBool<&Vars::show_lives>, &SetBool<&Vars::show_lives>},
    {"show_health", &GetBool<&Vars::show_health>, &SetBool<&Vars::show_health>},
    {"caption_score", &GetStr<&Vars::caption_score>, &SetStr<&Vars::caption_score>},
    {"caption_lives", &GetStr<&Vars::caption_lives>, &SetStr<&Vars::caption_lives>},
    {"caption_health", &GetStr<&Vars::caption_health>, &SetStr<&Vars::caption_health>},
    {"fps", &GetInt<&Vars::fps>, nullptr},
    {"current_time", &get_current_time, nullptr},
    {"current_year", &GetDatePart<&std::tm::tm_year, 1900>, nullptr},
    {"current_month", &GetDatePart<&std::tm::tm_mon, 1>, nullptr},
    {"current_day", &GetDatePart<&std::tm::tm_mday, 0>, nullptr},
    {"current_weekday", &GetDatePart<&std::tm::tm_wday, 1>, nullptr},  // 1 = Sunday
    {"current_hour", &GetDatePart<&std::tm::tm_hour, 0>, nullptr},
    {"current_minute", &GetDatePart<&std::tm::tm_min, 0>, nullptr},
    {"current_second", &GetDatePart<&std::tm::tm_sec, 0>, nullptr},
    {"event_type", &GetEvent<&EventContext::event_type>, nullptr},
    {"event_number", &GetEvent<&EventContext::event_number>, nullptr},
    {"event_object", &GetEvent<&EventContext::event_object>, nullptr},
    {"event_action", &GetEvent<&EventContext::event_action>, nullptr},
    {"secure_mode", &get_secure_mode, nullptr},
    {"debug_mode", &get_debug_mode, nullptr},
    {"korvane_version", &get_korvane_version, nullptr},
};

}  // namespace

void RegisterRunnerVariables(Runtime& rt) {
    const std::span<const BuiltinVariableDef> table = BuiltinVariables();
    const std::span<const uint16_t> order = BuiltinVariableNameOrder();
    const std::span<const std::string_view> names = BuiltinVariableSortedNames();
    const int32_t first = rt.AddBuiltinVariableTable(table, order, names);
    // A variable takes the accessors of the first list that names it: the language's own
    // variables, then those of instances, then the game-wide values.
    std::vector<bool> attached(table.size());
    auto attach = [&](std::string_view name, BuiltinVarGetter get, BuiltinVarSetter set) {
        for (size_t k = size_t(std::lower_bound(names.begin(), names.end(), name) - names.begin());
             k < names.size() && names[k] == name; ++k) {
            const uint16_t row = order[k];
            if (attached[row]) continue;
            attached[row] = true;
            rt.AttachBuiltinVariable(first + int32_t(row), get, set);
        }
    };
    for (const LanguageVariableDef& v : LanguageVariables()) attach(v.name, v.get, v.set);
    for (const InstanceVariableDef& v : InstanceVariables()) attach(v.name, v.get, v.set);
    for (const Accessors& a : kGameVariables) attach(a.name, a.get, a.set);
    DeclareInstanceVariableFields(rt);
}

}  // namespace kr
