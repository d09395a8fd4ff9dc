// The runner as the script language's host: resource names as constants, event and owner names
// for error texts, the error window and message boxes.
#include "runner/ScriptHost.h"

#include <cstdio>

#include "objects/EventNames.h"
#include "objects/Trigger.h"
#include "runner/Runner.h"

namespace kr {

int32_t StoredInteger(const RValue& v) {
    int64_t n = RoundToInt64(ArgReal(v));
    if (n > INT32_MAX) return INT32_MAX;
    if (n < INT32_MIN) return INT32_MIN;
    return int32_t(n);
}

bool StoredBoolean(const RValue& v) {
    return RoundToInt64(ArgReal(v)) >= 1;
}

namespace {

// The resource tables whose names are constants, in lookup order. Scripts come between time
// lines and rooms; their names are those of the runtime's script table, which holds the game's
// scripts and also those of a program run outside any game. The triggers follow the rooms.
const ResourceIndex& NamedTable(const GameData& g, int kind) {
    const ResourceIndex* tables[] = {&g.objects, &g.sprites, &g.sounds,     &g.backgrounds,
                                     &g.paths,   &g.fonts,   &g.time_lines, &g.rooms};
    return *tables[kind];
}
constexpr int32_t kTriggerKind = 8;
constexpr int32_t kFirstKindAfterScripts = 7;  // rooms

// Error texts are composed with CR (and CR LF) line breaks; a terminal wants LF.
std::string WithLineFeeds(const std::string& text) {
    std::string s;
    s.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            s += text[i];
            continue;
        }
        s += '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    return s;
}

}  // namespace

bool RunnerScriptHost::ResourceNamesCurrent() const {
    if (!names_built_) return false;
    const GameData& g = runner_.Game();
    for (int k = 0; k < kTriggerKind; ++k)
        if (counted_[size_t(k)] != NamedTable(g, k).Count()) return false;
    return counted_[kTriggerKind] == g.triggers.Count();
}

void RunnerScriptHost::BuildResourceNames() {
    const GameData& g = runner_.Game();
    resource_names_.clear();
    for (int k = 0; k < kTriggerKind; ++k) {
        const ResourceIndex& table = NamedTable(g, k);
        counted_[size_t(k)] = table.Count();
        for (int i = 0; i < table.Count(); ++i)
            if (table.Exists(i)) resource_names_.try_emplace(table.StoredName(i), NameEntry{k, i});
    }
    counted_[kTriggerKind] = g.triggers.Count();
    for (int i = 0; i < g.triggers.Count(); ++i) {
        const CTrigger* t = g.triggers.Get(i);
        if (t && !t->constant_name.empty())
            resource_names_.try_emplace(t->constant_name, NameEntry{kTriggerKind, i});
    }
    names_built_ = true;
}

bool RunnerScriptHost::StillNamed(const NameEntry& e, std::string_view name) const {
    if (e.kind == kTriggerKind) return runner_.Game().triggers.Exists(e.index);
    const ResourceIndex& table = NamedTable(runner_.Game(), e.kind);
    return table.Exists(e.index) && table.StoredName(e.index) == name;
}

ScriptInstance* RunnerScriptHost::FindInstance(int32_t id) {
    InstanceList& room = runner_.Instances();
    if (CInstance* inst = room.Find(id)) return inst;
    return room.FindAny(id);
}

int32_t RunnerScriptHost::InstanceCount() {
    return runner_.Instances().Count();
}

ScriptInstance* RunnerScriptHost::InstanceAt(int32_t index) {
    return runner_.Instances().At(index);
}

int32_t RunnerScriptHost::FamilyCount(int32_t object) {
    return runner_.Instances().FamilyCount(object);
}

ScriptInstance* RunnerScriptHost::FamilyAt(int32_t object, int32_t index) {
    return runner_.Instances().FamilyAt(object, index);
}

void RunnerScriptHost::WithTemporaryInstance(const std::function<void(ScriptInstance&)>& fn) {
    std::unique_ptr<CInstance> temp = runner_.NewTemporaryInstance();
    fn(*temp);
}

int32_t RunnerScriptHost::FindExtensionFunction(std::string_view name) {
    return runner_.Extensions().Find(name);
}

int32_t RunnerScriptHost::ExtensionArgCount(int32_t index) {
    return runner_.Extensions().ArgCount(index);
}

std::string RunnerScriptHost::ExtensionFunctionName(int32_t index) {
    return runner_.Extensions().Name(index);
}

bool RunnerScriptHost::CallExtension(Runtime&, int32_t index, ScriptInstance* self,
                                     ScriptInstance* other, int argc, const RValue* args,
                                     RValue& result) {
    return runner_.Extensions().Call(index, self, other, argc, args, result);
}

bool RunnerScriptHost::FindResourceConstant(std::string_view name, RValue& out) {
    if (!ResourceNamesCurrent()) BuildResourceNames();
    std::string key(name);
    auto it = resource_names_.find(key);
    if (it != resource_names_.end() && !StillNamed(it->second, name)) {
        BuildResourceNames();
        it = resource_names_.find(key);
    }
    int32_t index = -1;
    if (it != resource_names_.end() && it->second.kind < kFirstKindAfterScripts)
        index = it->second.index;
    else if (int32_t script = runner_.GetRuntime().FindScript(name); script >= 0)
        index = script;
    else if (it != resource_names_.end())
        index = it->second.index;
    if (index < 0) return false;
    out.SetReal(double(index));
    return true;
}

std::string RunnerScriptHost::EventName(const EventContext& ctx) {
    const GameData& g = runner_.Game();
    return kr::EventName(
        ctx.event_type, ctx.event_number,
        [&g](int32_t i) { return std::string(g.objects.Name(i)); },
        [&g](int32_t i) {
            return g.triggers.Exists(i) ? g.triggers.StoredName(i) : std::string("<Deleted>");
        });
}

std::string RunnerScriptHost::OwnerName(const EventContext& ctx) {
    const GameData& g = runner_.Game();
    if (ctx.event_type == kTimeLineEvent) return std::string(g.time_lines.Name(ctx.event_object));
    return std::string(g.objects.Name(ctx.event_object));
}

// Until the error window exists the text goes to standard error, and to the platform's message
// box when the game has a window; the answer is Ignore (a fatal error ends the game all the
// same).
bool RunnerScriptHost::ShowErrorWindow(const std::string& text, bool can_ignore) {
    ++errors_shown_;
    std::string shown = WithLineFeeds(text);
    std::fprintf(stderr, "%s\n", shown.c_str());
    // Where the failing code was written, as build errors name it, so editors can jump there.
    if (const std::string& where = runner_.GetRuntime().ErrorLocation(); !where.empty())
        std::fprintf(stderr, "%s: the error above is here\n", where.c_str());
    std::fflush(stderr);
    if (runner_.Windowed()) runner_.GetPlatform().messages->Show("Error Messages", shown);
    return false;
}

void RunnerScriptHost::ShowMessage(const std::string& text) {
    runner_.ShowMessage(WithLineFeeds(text));
}

void RunnerScriptHost::ClearInput() {
    if (runner_.clear_input) runner_.clear_input();
}

void RunnerScriptHost::EndGameAfterFatalError() {
    runner_.SetRoomRequest(kRequestEndAfterError);
}

bool RunnerScriptHost::FramesErrorsWithEvent() {
    return !runner_.OutsideGame();
}

}  // namespace kr
