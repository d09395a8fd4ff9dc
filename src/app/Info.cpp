// korvane info: what a loaded game holds, as text for people and as JSON for tools. The JSON is
// documented in docs/info-json.md; a change there is a change of "info_format".
#include <cstdio>
#include <string>

#include "app/App.h"
#include "library/AllBuiltins.h"
#include "platform/Text.h"

namespace kr {

namespace {
using Json = nlohmann::ordered_json;

std::string Hex(std::span<const uint8_t> bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

Json Text(const std::string& game_text) {
    return GameTextToUtf8(game_text);
}

Json SettingValue(const GameSettings& settings, const SettingField& f) {
    switch (f.kind) {
        case SettingField::kBool:
            return settings.*f.b;
        case SettingField::kInt:
            return settings.*f.i;
        case SettingField::kPicture: {
            const StoredPicture& p = settings.*f.picture;
            if (!p.present) return nullptr;
            return Json{{"bmp_bytes", p.bmp.size()}};
        }
    }
    return nullptr;
}

// The names of a section's entries: null for an empty slot; absent for sections without names.
Json SectionNames(const GameData& game, SectionId id) {
    Json names = Json::array();
    if (const ResourceIndex* table = game.Table(id)) {
        for (int i = 0; i < table->Count(); ++i)
            names.push_back(table->Exists(i) ? Text(table->StoredName(i)) : Json(nullptr));
        return names;
    }
    switch (id) {
        case SectionId::kExtensionPackages:
            for (const auto& p : game.extension_packages) names.push_back(Text(p.name));
            return names;
        case SectionId::kConstants:
            for (const auto& n : game.constant_names) names.push_back(Text(n));
            return names;
        case SectionId::kIncludedFiles:
            for (const auto& f : game.included_files) names.push_back(Text(f.file_name));
            return names;
        default:
            return nullptr;
    }
}
// --- What each resource holds, in a few fields (null for an empty slot) ---

Json Summary(const CTrigger& t) {
    return {{"condition", Text(t.condition)},
            {"moment", t.moment},
            {"constant_name", Text(t.constant_name)}};
}
Json Summary(const CSound& s) {
    return {{"kind", s.kind},
            {"file_type", Text(s.file_type)},
            {"file_name", Text(s.file_name)},
            {"bytes", s.has_data ? Json(s.data.size()) : Json()},
            {"effects", s.effects},
            {"volume", s.volume},
            {"pan", s.pan},
            {"preload", s.preload}};
}
Json Summary(const CSprite& s) {
    return {{"frames", s.FrameCount()},
            {"width", s.Width()},
            {"height", s.Height()},
            {"x_origin", s.x_origin},
            {"y_origin", s.y_origin},
            {"separate_masks", s.separate_masks},
            {"bbox", {s.bbox_left, s.bbox_top, s.bbox_right, s.bbox_bottom}}};
}
Json Summary(const CBackground& b) {
    return {{"width", b.Width()}, {"height", b.Height()}};
}
Json Summary(const CPath& p) {
    return {{"points", p.points.size()},
            {"smooth", p.kind == CPath::kSmooth},
            {"closed", p.closed},
            {"precision", p.precision},
            {"length", p.Length()}};
}
Json Summary(const CScript& s) {
    return {{"bytes", s.text.size()}};
}
Json Summary(const CFont& f) {
    return {{"font_name", Text(f.name)}, {"size", f.size},   {"bold", f.bold},
            {"italic", f.italic},        {"first", f.first}, {"last", f.last}};
}
int ActionCount(const CEvent& e) {
    return int(e.actions.size());
}
Json Summary(const CTimeLine& t) {
    Json steps = Json::array();
    int actions = 0;
    for (const TimeLineMoment& m : t.moments) {
        steps.push_back(m.step);
        actions += ActionCount(m.event);
    }
    return {{"steps", steps}, {"actions", actions}};
}
Json Summary(const CObject& o) {
    int events = 0, actions = 0;
    for (const auto& by_number : o.events) {
        for (const auto& [number, e] : by_number) {
            ++events;
            actions += ActionCount(e);
        }
    }
    return {{"sprite", o.sprite},         {"parent", o.parent}, {"mask", o.mask},
            {"depth", o.depth},           {"solid", o.solid},   {"visible", o.visible},
            {"persistent", o.persistent}, {"events", events},   {"actions", actions}};
}
Json Summary(const CRoom& r) {
    return {{"caption", Text(r.caption)},
            {"width", r.width},
            {"height", r.height},
            {"speed", r.speed},
            {"persistent", r.persistent},
            {"views_enabled", r.views_enabled},
            {"instances", r.instances.size()},
            {"tiles", r.tiles.size()}};
}

template <typename T>
Json Summaries(const ResourceTable<T>& table) {
    Json all = Json::array();
    for (int i = 0; i < table.Count(); ++i) {
        const T* item = table.Get(i);
        all.push_back(item ? Summary(*item) : Json(nullptr));
    }
    return all;
}

Json PackageSummary(const CExtensionPackage& p) {
    Json files = Json::array();
    for (const CExtensionFile& f : p.files)
        files.push_back({{"name", Text(f.file_name)},
                         {"kind", f.kind},
                         {"functions", f.functions.size()},
                         {"constants", f.constants.size()},
                         {"bytes", f.contents.size()}});
    return {{"name", Text(p.name)}, {"folder", Text(p.folder)}, {"files", files}};
}

// A count with its noun: "1 frame", "2 frames".
std::string Count(const Json& n, const char* noun) {
    const bool one = n.is_number() && n.get<double>() == 1;
    return n.dump() + " " + noun + (one ? "" : "s");
}

// One line of details after a resource's name in the text form.
std::string Details(const std::string& key, const Json& r) {
    auto n = [&r](const char* field) { return r[field].dump(); };
    auto count = [&r](const char* field, const char* noun) { return Count(r[field], noun); };
    if (key == "sprites")
        return count("frames", "frame") + " " + n("width") + "x" + n("height") + ", origin " +
               n("x_origin") + "," + n("y_origin");
    if (key == "backgrounds") return n("width") + "x" + n("height");
    if (key == "sounds") return r["bytes"].is_null() ? "no data" : count("bytes", "byte");
    if (key == "paths") return count("points", "point");
    if (key == "scripts") return count("bytes", "byte");
    if (key == "fonts") return r["font_name"].get<std::string>() + " " + n("size");
    if (key == "time_lines") return Count(r["steps"].size(), "moment");
    if (key == "objects") return count("events", "event") + ", " + count("actions", "action");
    if (key == "rooms")
        return n("width") + "x" + n("height") + ", " + count("instances", "instance") + ", " +
               count("tiles", "tile");
    if (key == "triggers") return r["condition"].get<std::string>();
    return {};
}
}  // namespace

Json GameInfoJson(const GameData& game) {
    Json j;
    j["info_format"] = 1;
    j["format_version"] = kFormatVersion;
    j["debug_mode"] = game.debug_mode;
    j["game_id"] = game.game_id;
    j["application_id"] = Hex(game.application_id);
    j["d3dx"] = {{"name", Text(game.d3dx_name)}, {"bytes", game.d3dx_size}};

    Json settings = Json::object();
    for (const SettingField& f : SettingFields()) settings[f.key] = SettingValue(game.settings, f);
    j["settings"] = settings;

    Json sections = Json::object();
    for (const SectionInfo& s : Sections()) {
        Json section = {{"count", game.EntryCount(s.id)}};
        Json names = SectionNames(game, s.id);
        if (!names.is_null()) section["names"] = names;
        sections[s.key] = section;
    }
    j["sections"] = sections;

    Json constants = Json::array();
    for (size_t i = 0; i < game.constant_names.size(); ++i)
        constants.push_back(
            {{"name", Text(game.constant_names[i])}, {"value", Text(game.constant_values[i])}});
    j["constants"] = constants;

    Json files = Json::array();
    for (const CDataFile& f : game.included_files)
        files.push_back({{"name", Text(f.file_name)},
                         {"size", f.size},
                         {"stored", f.stored},
                         {"export_kind", f.export_kind},
                         {"export_folder", Text(f.export_folder)},
                         {"overwrite", f.overwrite},
                         {"free_after_export", f.free_after_export},
                         {"remove_at_end", f.remove_at_end}});
    j["included_files"] = files;

    const CGameInformation& gi = game.game_information;
    j["game_information"] = {{"caption", Text(gi.caption)},
                             {"separate_window", gi.separate_window},
                             {"left", gi.left},
                             {"top", gi.top},
                             {"width", gi.width},
                             {"height", gi.height},
                             {"text_bytes", gi.text.size()}};
    j["last_instance_id"] = game.last_instance_id;
    j["last_tile_id"] = game.last_tile_id;
    j["room_order"] = game.room_order;

    // How much of the built-in library this runner has: games calling the rest compile, but
    // those calls report that the function is not available yet.
    BuiltinRegistry functions;
    RegisterAllBuiltins(functions);
    j["builtin_functions"] = {{"implemented", functions.ImplementedCount()},
                              {"only_answer", functions.OnlyAnswersCount()},
                              {"total", functions.Count()}};
    Json resources = Json::object();
    Json packages = Json::array();
    for (const CExtensionPackage& p : game.extension_packages)
        packages.push_back(PackageSummary(p));
    resources["extension_packages"] = packages;
    resources["triggers"] = Summaries(game.triggers);
    resources["sounds"] = Summaries(game.sounds);
    resources["sprites"] = Summaries(game.sprites);
    resources["backgrounds"] = Summaries(game.backgrounds);
    resources["paths"] = Summaries(game.paths);
    resources["scripts"] = Summaries(game.scripts);
    resources["fonts"] = Summaries(game.fonts);
    resources["time_lines"] = Summaries(game.time_lines);
    resources["objects"] = Summaries(game.objects);
    resources["rooms"] = Summaries(game.rooms);
    j["resources"] = resources;
    return j;
}

std::string GameInfoText(const GameData& game) {
    Json j = GameInfoJson(game);
    std::string out;
    auto line = [&out](const std::string& s) { out += s + "\n"; };
    line("Format version: " + j["format_version"].dump());
    line(std::string("Debug mode: ") + (game.debug_mode ? "yes" : "no"));
    line("Game id: " + std::to_string(game.game_id));
    line("Application id: " + j["application_id"].get<std::string>());
    line("D3DX library: " + j["d3dx"]["name"].get<std::string>() + " (" +
         std::to_string(game.d3dx_size) + " bytes)");
    line("Settings:");
    for (const auto& [key, value] : j["settings"].items())
        line("  " + key + ": " +
             (value.is_object() ? value["bmp_bytes"].dump() + " bytes of BMP"
              : value.is_null() ? "none"
                                : value.dump()));
    line("Sections:");
    for (const SectionInfo& s : Sections()) {
        const Json& section = j["sections"][s.key];
        line("  " + std::string(s.key) + ": " + section["count"].dump());
        if (!section.contains("names")) continue;
        const Json* details = j["resources"].contains(s.key) ? &j["resources"][s.key] : nullptr;
        int i = 0;
        for (const Json& name : section["names"]) {
            std::string text = name.is_null() ? std::string("(empty)") : name.get<std::string>();
            if (details && !name.is_null() && details->at(size_t(i)).is_object()) {
                std::string more = Details(s.key, details->at(size_t(i)));
                if (!more.empty()) text += " (" + more + ")";
            }
            line("    " + std::to_string(i++) + " " + text);
        }
    }
    line("Constants:");
    for (const Json& c : j["constants"])
        line("  " + c["name"].get<std::string>() + " = " + c["value"].get<std::string>());
    std::string order;
    for (int32_t room : game.room_order) order += " " + std::to_string(room);
    line("Room order:" + order);
    line("Last instance id: " + std::to_string(game.last_instance_id) +
         ", last tile id: " + std::to_string(game.last_tile_id));
    line("Built-in functions: " + j["builtin_functions"]["implemented"].dump() + " of " +
         j["builtin_functions"]["total"].dump() + " implemented (" +
         j["builtin_functions"]["only_answer"].dump() + " of them deliberately only answer)");
    return out;
}

Json FunctionsJson() {
    BuiltinRegistry functions;
    RegisterAllBuiltins(functions);
    Json list = Json::array();
    for (int id = 0; id < functions.Count(); ++id)
        list.push_back({{"name", functions.Name(id)},
                        {"arguments", functions.ArgCount(id)},
                        {"available", functions.Fn(id) != nullptr},
                        {"only_answers", functions.OnlyAnswers(id)}});
    Json j;
    j["info_format"] = 1;
    j["implemented"] = functions.ImplementedCount();
    j["only_answer"] = functions.OnlyAnswersCount();
    j["total"] = functions.Count();
    j["functions"] = list;
    return j;
}

std::string FunctionsText() {
    Json j = FunctionsJson();
    std::string out = "Built-in functions: " + j["implemented"].dump() + " of " +
                      j["total"].dump() + " available, " + j["only_answer"].dump() +
                      " of them deliberately only answer (arguments: -1 is any number up to 16)\n";
    for (const Json& f : j["functions"]) {
        const char* state = f["only_answers"].get<bool>() ? " only answers"
                            : f["available"].get<bool>()  ? " available"
                                                          : " not available yet";
        out += f["name"].get<std::string>() + " " + f["arguments"].dump() + state + "\n";
    }
    return out;
}

}  // namespace kr
