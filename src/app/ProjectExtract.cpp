// korvane extract: writes a loaded game as a text project (layout in docs/projects.md). Every
// stored field is kept, so building the project gives a game whose resources are equal.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>

#include "app/Project.h"
#include "app/ProjectFormat.h"
#include "data/ImageCodecs.h"
#include "platform/Files.h"

namespace kr {

namespace {
using namespace project;

std::vector<uint8_t> TextBytes(std::string_view s) {
    return {s.begin(), s.end()};
}
// Script text as a UTF-8 file; line ends stay as stored.
std::vector<uint8_t> ScriptFile(std::string_view game_text) {
    return TextBytes(ToUtf8(game_text));
}

// How resources of one kind are referred to from other files: by name when exactly one
// resource has it (and it is no word with a meaning of its own), else by index.
class References {
public:
    template <typename T>
    explicit References(const ResourceTable<T>& table) {
        for (int i = 0; i < table.Count(); ++i) {
            names_.push_back(table.Exists(i) ? table.StoredName(i) : std::string());
            if (table.Exists(i)) ++count_[table.StoredName(i)];
        }
    }
    std::string Ref(int32_t index) const {
        if (index >= 0 && size_t(index) < names_.size()) {
            const std::string& n = names_[size_t(index)];
            if (!n.empty() && count_.at(n) == 1 && n != "self" && n != "other")
                return TomlOut::Quote(n);
        }
        return std::to_string(index);
    }

private:
    std::vector<std::string> names_;
    std::map<std::string, int> count_;
};

std::string IntArray(std::initializer_list<int64_t> values) {
    std::string s = "[";
    for (int64_t v : values) s += (s.size() > 1 ? ", " : "") + std::to_string(v);
    return s + "]";
}

// The parameters a sprite's masks were built with. Games store the masks only, so the
// parameters are found again: the first of the usual ones whose masks, built from the frames,
// are the stored masks bit for bit (the sprite's own parameters when none is).
MaskParams MaskParamsOf(const CSprite& s) {
    if (s.frames.empty() || s.masks.empty()) return s.mask_params;
    std::vector<MaskParams> tries = {s.mask_params};
    const TMask& first = s.masks[0];
    for (MaskShape shape :
         {MaskShape::kPrecise, MaskShape::kRectangle, MaskShape::kEllipse, MaskShape::kDiamond}) {
        for (BoxMode box : {BoxMode::kAutomatic, BoxMode::kFullImage, BoxMode::kManual}) {
            MaskParams p;
            p.shape = shape;
            p.box_mode = box;
            if (box == BoxMode::kManual)
                p.left = first.left, p.top = first.top, p.right = first.right,
                p.bottom = first.bottom;
            tries.push_back(p);
        }
    }
    for (const MaskParams& p : tries) {
        CSprite rebuilt;
        rebuilt.frames = s.frames;
        rebuilt.separate_masks = s.separate_masks;
        rebuilt.mask_params = p;
        rebuilt.BuildMasks();
        if (rebuilt.masks == s.masks) return p;
    }
    return s.mask_params;
}

class Extractor {
public:
    Extractor(const GameData& g, const std::vector<uint8_t>& d3dx)
        : g_(g),
          d3dx_(d3dx),
          sprites_(g.sprites),
          backgrounds_(g.backgrounds),
          objects_(g.objects),
          rooms_(g.rooms) {}

    void Run() {
        Manifest();
        Table(g_.sounds, "sounds", &Extractor::Sound);
        Table(g_.sprites, "sprites", &Extractor::Sprite);
        Table(g_.backgrounds, "backgrounds", &Extractor::Background);
        Table(g_.paths, "paths", &Extractor::Path);
        Table(g_.fonts, "fonts", &Extractor::Font);
        Table(g_.time_lines, "time_lines", &Extractor::TimeLine);
        Table(g_.objects, "objects", &Extractor::Object);
        Table(g_.rooms, "rooms", &Extractor::Room);
        files_[kManifestName] = TextBytes(manifest_.Text() + "\n" + resources_.Text());
    }

    std::map<std::string, std::vector<uint8_t>> files_;

private:
    // --- Code files ----------------------------------------------------------------------------

    // Whether a file name of the game's table of code files may name a file of the project: a
    // .krs file inside the project folder, with a name in ASCII.
    static bool InsideProject(const std::string& file) {
        if (!file.ends_with(kScriptFileExtension) || file.starts_with('/')) return false;
        size_t start = 0;
        while (start <= file.size()) {
            size_t end = file.find('/', start);
            if (end == std::string::npos) end = file.size();
            const std::string part = file.substr(start, end - start);
            if (part.empty() || part == "." || part == "..") return false;
            start = end + 1;
        }
        // ASCII only: the name goes into TOML files as game text, which is not UTF-8.
        for (char c : file)
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x80 ||
                c == '\\')
                return false;
        return true;
    }

    // The file a piece of code was written in when the game was built from a project, relative
    // to `folder`, when the game's table of code files names one there that is free (or holds
    // this very code: one file may serve several places). Entries not yet taken come first, so
    // that equal code written in several files goes back to each of them.
    std::string TableFileName(const std::string& code, const std::string& folder) {
        const uint64_t hash = CodeTextHash(code);
        const std::vector<uint8_t> bytes = ScriptFile(code);
        for (bool taken : {false, true}) {
            for (size_t i = 0; i < g_.code_files.size(); ++i) {
                const std::string& file = g_.code_files[i].file;
                if (g_.code_files[i].hash != hash || used_code_files_.count(i) != size_t(taken) ||
                    !file.starts_with(folder) || !InsideProject(file))
                    continue;
                auto written = files_.find(file);
                if (written != files_.end() && written->second != bytes) continue;
                used_code_files_.insert(i);
                return file.substr(folder.size());
            }
        }
        return {};
    }

    // The file for a piece of code, relative to `folder`: the one it was written in (so that
    // building the extracted project gives the same game), else `name`, made unique.
    std::string CodeFileName(const std::string& code, const std::string& folder,
                             const std::string& name) {
        if (std::string file = TableFileName(code, folder); !file.empty()) return file;
        const std::string stem = name.substr(0, name.size() - std::strlen(kScriptFileExtension));
        std::string unique = name;
        for (int n = 2; files_.count(folder + unique); ++n)
            unique = stem + "_" + std::to_string(n) + kScriptFileExtension;
        return unique;
    }

    // --- The manifest ------------------------------------------------------------------------

    void Manifest() {
        TomlOut& m = manifest_;
        m.Comment("A game as a text project; `korvane build` turns this folder into a game.");
        m.Comment("File names are relative to the file that names them.");
        m.Key("format", 1);
        m.Key("game_id", g_.game_id);
        static const char kDigits[] = "0123456789abcdef";
        std::string guid;
        for (uint8_t b : g_.application_id) guid += {kDigits[b >> 4], kDigits[b & 15]};
        m.Key("application_id", guid);
        m.Key("debug_mode", g_.debug_mode);
        m.Key("d3dx_name", g_.d3dx_name);
        if (!d3dx_.empty()) {
            m.Key("d3dx_file", "d3dx/library.bin");
            files_["d3dx/library.bin"] = d3dx_;
        }
        m.Key("last_instance_id", g_.last_instance_id);
        m.Key("last_tile_id", g_.last_tile_id);
        std::string order = "[";
        for (int32_t r : g_.room_order) order += (order.size() > 1 ? ", " : "") + rooms_.Ref(r);
        m.Raw("room_order", order + "]");
        std::string init = "[";
        for (size_t i = 0; i < g_.library_init_code.size(); ++i) {
            std::string file =
                CodeFileName(g_.library_init_code[i], "",
                             "library_init/" + std::to_string(i) + kScriptFileExtension);
            files_[file] = ScriptFile(g_.library_init_code[i]);
            init += (i ? ", " : "") + TomlOut::Quote(file);
        }
        m.Raw("library_init_code", init + "]");
        std::string packages = "[";
        std::set<std::string> taken;
        for (const CExtensionPackage& p : g_.extension_packages) {
            std::string stem = FileStem(p.name, taken);
            Package(p, stem);
            packages +=
                (packages.size() > 1 ? ", " : "") + TomlOut::Quote("extensions/" + stem + ".toml");
        }
        m.Raw("extension_packages", packages + "]");

        m.Table("settings");
        for (const SettingField& f : SettingFields()) {
            switch (f.kind) {
                case SettingField::kBool:
                    m.Key(f.key, g_.settings.*f.b);
                    break;
                case SettingField::kInt:
                    m.Key(f.key, g_.settings.*f.i);
                    break;
                case SettingField::kPicture: {
                    const StoredPicture& p = g_.settings.*f.picture;
                    std::string file;
                    if (p.present) {
                        file = std::string("settings/") + f.key + ".bmp";
                        files_[file] = p.bmp;
                    }
                    m.Key(f.key, file);  // "" when there is none
                }
            }
        }

        const CGameInformation& gi = g_.game_information;
        m.Table("game_information");
        m.Key("background_color", gi.background_color);
        m.Key("separate_window", gi.separate_window);
        m.Key("caption", gi.caption);
        m.Key("left", gi.left);
        m.Key("top", gi.top);
        m.Key("width", gi.width);
        m.Key("height", gi.height);
        m.Key("show_border", gi.show_border);
        m.Key("sizeable", gi.sizeable);
        m.Key("stay_on_top", gi.stay_on_top);
        m.Key("freeze_game", gi.freeze_game);
        m.Key("text_file", "game_information.rtf");
        files_["game_information.rtf"] = TextBytes(gi.text);

        for (size_t i = 0; i < g_.constant_names.size(); ++i) {
            m.ArrayTable("constant");
            m.Key("name", g_.constant_names[i]);
            m.Key("value", g_.constant_values[i]);
        }

        for (int i = 0; i < g_.triggers.Count(); ++i) {
            m.ArrayTable("trigger");
            const CTrigger* t = g_.triggers.Get(i);
            if (!t) {
                m.Key("empty", true);
                continue;
            }
            m.Key("name", t->name);
            m.Key("condition", t->condition);
            WordKey(m, "moment", kTriggerMoments, t->moment);
            m.Key("constant_name", t->constant_name);
        }

        std::set<std::string> included;
        for (const CDataFile& f : g_.included_files) {
            m.ArrayTable("included_file");
            m.Key("file_name", f.file_name);
            m.Key("source_path", f.source_path);
            m.Key("source_present", f.source_present);
            m.Key("size", f.size);
            if (f.stored) {
                std::string file = "included/" + FileStem(FileNameOf(f.file_name), included);
                files_[file] = f.data;
                m.Key("data_file", file);
            }
            m.Key("export_kind", f.export_kind);
            m.Key("export_folder", f.export_folder);
            m.Key("overwrite", f.overwrite);
            m.Key("free_after_export", f.free_after_export);
            m.Key("remove_at_end", f.remove_at_end);
        }

        resources_.Table("resources");
        resources_.Comment("Each kind's resources in index order: the file that describes each,");
        resources_.Comment("\"\" for an empty slot. Scripts are plain text files named after");
        resources_.Comment("the script, or { file = ..., name = ... } when the name differs.");
        std::string scripts = "[";
        std::set<std::string> script_stems;
        for (int i = 0; i < g_.scripts.Count(); ++i) {
            if (i) scripts += ", ";
            const CScript* s = g_.scripts.Get(i);
            if (!s) {
                scripts += "\"\"";
                continue;
            }
            const std::string& name = g_.scripts.StoredName(i);
            // A stem taken by another script (FileStem keeps them in lower case) is not reused.
            std::string stem = TableFileName(s->text, "scripts/"), lower;
            if (!stem.empty()) stem.resize(stem.size() - std::strlen(kScriptFileExtension));
            for (char c : stem) lower += char(std::tolower(static_cast<unsigned char>(c)));
            if (stem.empty() || !script_stems.insert(lower).second)
                stem = FileStem(name, script_stems);
            std::string file = "scripts/" + stem + kScriptFileExtension;
            files_[file] = ScriptFile(s->text);
            scripts += stem == name ? TomlOut::Quote(stem)
                                    : "{ file = " + TomlOut::Quote(stem) +
                                          ", name = " + TomlOut::Quote(name) + " }";
        }
        scripts_list_ = scripts + "]";
    }

    static void WordKey(TomlOut& t, std::string_view key, std::span<const Word> words,
                        int32_t value) {
        if (const char* w = WordOf(words, value))
            t.Key(key, w);
        else
            t.Key(key, value);
    }

    void Package(const CExtensionPackage& p, const std::string& stem) {
        TomlOut t;
        t.Comment("An extension package; each file's contents lie in the folder of this name.");
        t.Key("name", p.name);
        t.Key("folder", p.folder);
        t.Key("seed", p.seed);
        std::set<std::string> taken;
        for (const CExtensionFile& f : p.files) {
            t.ArrayTable("file");
            t.Key("file_name", f.file_name);
            WordKey(t, "kind", kFileKinds, f.kind);
            t.Key("init_function", f.init_function);
            t.Key("final_function", f.final_function);
            if (f.HasContents()) {
                std::string file = stem + "/" + FileStem(f.file_name, taken);
                files_["extensions/" + file] = f.contents;
                t.Key("contents", file);
            }
            for (const CExtensionFunction& fn : f.functions) {
                t.ArrayTable("file.function");
                t.Key("name", fn.name);
                t.Key("external_name", fn.external_name);
                t.Key("calling_convention", fn.calling_convention);
                t.Key("id", fn.id);
                t.Key("argument_count", fn.arg_count);
                std::string types = "[";
                for (size_t i = 0; i < fn.arg_types.size(); ++i)
                    types += (i ? ", " : "") + std::to_string(fn.arg_types[i]);
                t.Raw("argument_types", types + "]");
                t.Key("result_type", fn.result_type);
            }
            for (const CExtensionConstant& c : f.constants) {
                t.ArrayTable("file.constant");
                t.Key("name", c.name);
                t.Key("value", c.value);
            }
        }
        files_["extensions/" + stem + ".toml"] = TextBytes(t.Text());
    }

    // --- Resource files ----------------------------------------------------------------------

    template <typename T>
    void Table(const ResourceTable<T>& table, const char* kind,
               void (Extractor::*write)(const T&, const std::string& name, const std::string& stem,
                                        TomlOut& t)) {
        std::set<std::string> taken;
        std::string list = "[";
        for (int i = 0; i < table.Count(); ++i) {
            if (i) list += ", ";
            const T* item = table.Get(i);
            if (!item) {
                list += "\"\"";
                continue;
            }
            const std::string& name = table.StoredName(i);
            std::string stem = FileStem(name, taken);
            TomlOut t;
            t.Key("name", name);
            (this->*write)(*item, name, stem, t);
            files_[std::string(kind) + "/" + stem + ".toml"] = TextBytes(t.Text());
            list += TomlOut::Quote(stem);
        }
        resources_.Raw(kind, list + "]");
        // Kinds in section order; scripts sit between paths and fonts.
        if (std::string_view(kind) == "paths") resources_.Raw("scripts", scripts_list_);
    }

    void Sound(const CSound& s, const std::string&, const std::string& stem, TomlOut& t) {
        WordKey(t, "kind", kSoundKinds, s.kind);
        t.Key("file_type", s.file_type);
        t.Key("file_name", s.file_name);
        if (s.has_data) {
            std::string ext = s.file_type;
            bool plain = ext.size() >= 2 && ext.size() <= 6 && ext[0] == '.' &&
                         std::all_of(ext.begin() + 1, ext.end(), [](char c) {
                             return std::isalnum(static_cast<unsigned char>(c));
                         });
            std::string file = stem + (plain ? ext : ".bin");
            files_["sounds/" + file] = s.data;
            t.Key("data", file);
        }
        t.Key("effects", s.effects);
        t.Key("volume", s.volume);
        t.Key("pan", s.pan);
        t.Key("preload", s.preload);
    }

    void Sprite(const CSprite& s, const std::string&, const std::string& stem, TomlOut& t) {
        t.Key("x_origin", s.x_origin);
        t.Key("y_origin", s.y_origin);
        std::string frames = "[";
        for (size_t i = 0; i < s.frames.size(); ++i) {
            std::string file;
            if (!s.frames[i].Empty()) {
                file = stem + "/" + std::to_string(i) + ".png";
                files_["sprites/" + file] = EncodePng(s.frames[i]);
            }
            frames += (i ? ", " : "") + TomlOut::Quote(file);
        }
        t.Raw("frames", frames + "]");
        t.Key("separate_masks", s.separate_masks);
        t.Comment("The masks as stored: white pixels are solid. Set rebuild_masks = true to");
        t.Comment("build them from the frames with [mask_parameters] instead (after editing");
        t.Comment("the frames, say).");
        t.Key("rebuild_masks", false);
        t.Table("mask_parameters");
        const MaskParams params = MaskParamsOf(s);
        WordKey(t, "shape", kMaskShapes, int32_t(params.shape));
        t.Key("tolerance", params.tolerance);
        WordKey(t, "box", kBoxModes, int32_t(params.box_mode));
        t.Raw("manual_box", IntArray({params.left, params.top, params.right, params.bottom}));
        for (size_t i = 0; i < s.masks.size(); ++i) {
            const TMask& m = s.masks[i];
            t.ArrayTable("mask");
            if (m.width > 0 && m.height > 0) {
                std::string file = stem + "/mask" + std::to_string(i) + ".png";
                files_["sprites/" + file] = EncodeGreyPng(m.width, m.height, 1, m.grid);
                t.Key("file", file);
            } else {
                t.Raw("size", IntArray({m.width, m.height}));
            }
            t.Raw("box", IntArray({m.left, m.top, m.right, m.bottom}));
        }
    }

    void Background(const CBackground& b, const std::string&, const std::string& stem, TomlOut& t) {
        std::string file;
        if (!b.image.Empty()) {
            file = stem + ".png";
            files_["backgrounds/" + file] = EncodePng(b.image);
        }
        t.Key("image", file);
    }

    void Path(const CPath& p, const std::string&, const std::string&, TomlOut& t) {
        WordKey(t, "kind", kPathKinds, p.kind);
        t.Key("closed", p.closed);
        t.Key("precision", p.precision);
        std::string points = "[\n";
        for (const PathPoint& pt : p.points)
            points += "  [" + TomlOut::Real(pt.x) + ", " + TomlOut::Real(pt.y) + ", " +
                      TomlOut::Real(pt.speed) + "],\n";
        t.Comment("x, y, speed in percent");
        t.Raw("points", points + "]");
    }

    void Font(const CFont& f, const std::string&, const std::string& stem, TomlOut& t) {
        t.Key("font_name", f.name);
        t.Key("size", f.size);
        t.Key("bold", f.bold);
        t.Key("italic", f.italic);
        t.Key("first", f.first);
        t.Key("last", f.last);
        t.Key("image_width", f.image_width);
        t.Key("image_height", f.image_height);
        if (f.image_width > 0 && f.image_height > 0 &&
            f.image.size() == size_t(f.image_width) * size_t(f.image_height)) {
            files_["fonts/" + stem + ".png"] =
                EncodeGreyPng(f.image_width, f.image_height, 8, f.image);
            t.Key("image", stem + ".png");
        } else if (!f.image.empty()) {  // a size that does not match: kept as it is
            files_["fonts/" + stem + ".bin"] = f.image;
            t.Key("image", stem + ".bin");
        }
        t.Comment("code, x, y, width, height, advance, offset (characters not listed are zero)");
        std::string glyphs = "[\n";
        for (size_t c = 0; c < f.glyphs.size(); ++c) {
            const FontGlyph& g = f.glyphs[c];
            if (g == FontGlyph()) continue;
            glyphs += "  " +
                      IntArray({int64_t(c), g.x, g.y, g.width, g.height, g.advance, g.offset}) +
                      ",\n";
        }
        t.Raw("glyphs", glyphs + "]");
    }

    void TimeLine(const CTimeLine& tl, const std::string&, const std::string& stem, TomlOut& t) {
        for (size_t i = 0; i < tl.moments.size(); ++i) {
            const TimeLineMoment& m = tl.moments[i];
            t.ArrayTable("moment");
            t.Key("step", m.step);
            Actions(t, "moment.action", m.event, "time_lines/",
                    stem + "/" + std::to_string(m.step) + "_" + std::to_string(i));
        }
    }

    void Object(const CObject& o, const std::string&, const std::string& stem, TomlOut& t) {
        t.Raw("sprite", sprites_.Ref(o.sprite));
        t.Key("solid", o.solid);
        t.Key("visible", o.visible);
        t.Key("depth", o.depth);
        t.Key("persistent", o.persistent);
        t.Raw("parent", objects_.Ref(o.parent));
        t.Raw("mask", sprites_.Ref(o.mask));
        for (int32_t type = 0; type < kEventTypeCount; ++type) {
            for (const auto& [number, event] : o.events[size_t(type)]) {
                t.ArrayTable("event");
                const char* word = WordOf(kEventTypes, type);
                t.Key("type", word);
                if (type == kEventCollision)
                    t.Raw("object", objects_.Ref(number));
                else
                    t.Key("number", number);
                Actions(t, "event.action", event, "objects/",
                        stem + "/" + word + "_" + std::to_string(number));
            }
        }
    }

    // The actions of an event as [[header]] tables; fields at their defaults are left out.
    void Actions(TomlOut& t, const std::string& header, const CEvent& event,
                 const std::string& folder, const std::string& prefix) {
        const CAction none;
        for (size_t i = 0; i < event.actions.size(); ++i) {
            const CAction& a = event.actions[i];
            t.ArrayTable(header);
            t.Key("library", a.library_id);
            t.Key("id", a.action_id);
            WordKey(t, "kind", kActionKinds, a.kind);
            WordKey(t, "execute", kExecTypes, a.exec_type);
            if (!a.function_name.empty()) t.Key("function", a.function_name);
            // A code action's code is its argument 0; other actions that run code hold it as
            // their code text, which a code action normally leaves empty.
            const bool code_action = a.kind == CAction::kCode;
            const std::string name = prefix + "_" + std::to_string(i);
            const std::string& code = code_action ? a.arg_texts[0] : a.code_text;
            if (!code.empty()) {
                const std::string file = CodeFileName(code, folder, name + kScriptFileExtension);
                files_[folder + file] = ScriptFile(code);
                t.Key("code", file);
            }
            if (code_action && !a.code_text.empty()) {
                files_[folder + name + "_text" + kScriptFileExtension] = ScriptFile(a.code_text);
                t.Key("code_text", name + "_text" + kScriptFileExtension);
            }
            if (a.may_be_relative) t.Key("relative_option", true);
            if (a.is_question) t.Key("question", true);
            if (a.has_applies_to) t.Key("applies_option", true);
            if (a.applies_to != none.applies_to)
                t.Raw("applies_to", a.applies_to == -1   ? "\"self\""
                                    : a.applies_to == -2 ? "\"other\""
                                                         : objects_.Ref(a.applies_to));
            if (a.relative) t.Key("relative", true);
            if (a.is_not) t.Key("not", true);
            if (a.arg_count) t.Key("argument_count", a.arg_count);
            std::array<std::string, kActionMaxArguments> arg_texts = a.arg_texts;
            if (code_action) arg_texts[0].clear();  // written as the code above
            size_t kinds = a.arg_kinds.size(), texts = arg_texts.size();
            while (kinds > 0 && a.arg_kinds[kinds - 1] == 0) --kinds;
            while (texts > 0 && arg_texts[texts - 1].empty()) --texts;
            if (kinds) {
                std::string k = "[";
                for (size_t j = 0; j < kinds; ++j)
                    k += (j ? ", " : "") + std::to_string(a.arg_kinds[j]);
                t.Raw("argument_kinds", k + "]");
            }
            if (texts) {
                std::string s = "[";
                for (size_t j = 0; j < texts; ++j)
                    s += (j ? ", " : "") + TomlOut::Quote(arg_texts[j]);
                t.Raw("arguments", s + "]");
            }
        }
    }

    void Room(const CRoom& r, const std::string&, const std::string& stem, TomlOut& t) {
        t.Key("caption", r.caption);
        t.Key("width", r.width);
        t.Key("height", r.height);
        t.Key("speed", r.speed);
        t.Key("persistent", r.persistent);
        t.Key("background_color", r.background_color);
        t.Key("show_background_color", r.show_background_color);
        if (!r.creation_code.empty()) {
            std::string file =
                CodeFileName(r.creation_code, "rooms/", stem + "/creation" + kScriptFileExtension);
            files_["rooms/" + file] = ScriptFile(r.creation_code);
            t.Key("creation_code", file);
        }
        t.Key("views_enabled", r.views_enabled);

        std::set<std::string> taken;
        std::string instances = "[\n";
        for (const RoomInstance& in : r.instances) {
            instances += "  { x = " + std::to_string(in.x) + ", y = " + std::to_string(in.y) +
                         ", object = " + objects_.Ref(in.object) +
                         ", id = " + std::to_string(in.id);
            if (!in.creation_code.empty()) {
                std::string file =
                    CodeFileName(in.creation_code, "rooms/",
                                 stem + "/" + FileStem("instance_" + std::to_string(in.id), taken) +
                                     kScriptFileExtension);
                files_["rooms/" + file] = ScriptFile(in.creation_code);
                instances += ", creation_code = " + TomlOut::Quote(file);
            }
            instances += " },\n";
        }
        t.Raw("instances", instances + "]");

        t.Comment("source: left, top, width, height of the part of the background");
        std::string tiles = "[\n";
        for (const RoomTile& tile : r.tiles) {
            tiles += "  { x = " + TomlOut::Real(tile.x) + ", y = " + TomlOut::Real(tile.y) +
                     ", background = " + backgrounds_.Ref(tile.background) +
                     ", source = " + IntArray({tile.left, tile.top, tile.width, tile.height}) +
                     ", depth = " + TomlOut::Real(tile.depth) +
                     ", id = " + std::to_string(tile.id) + " },\n";
        }
        t.Raw("tiles", tiles + "]");

        const CBack default_back;
        for (size_t i = 0; i < r.backgrounds.size(); ++i) {
            const CBack& b = r.backgrounds[i];
            CBack stored = b;  // the scales follow from the stretch flag
            stored.xscale = stored.yscale = 1;
            if (stored == default_back) continue;
            t.ArrayTable("background");
            t.Key("slot", int32_t(i));
            t.Key("visible", b.visible);
            t.Key("foreground", b.foreground);
            t.Raw("background", backgrounds_.Ref(b.index));
            t.Key("x", b.x);
            t.Key("y", b.y);
            t.Key("tile_horizontally", b.tile_h);
            t.Key("tile_vertically", b.tile_v);
            t.Key("hspeed", b.hspeed);
            t.Key("vspeed", b.vspeed);
            t.Key("stretch", b.stretch);
        }
        const CView default_view;
        for (size_t i = 0; i < r.views.size(); ++i) {
            const CView& v = r.views[i];
            if (v == default_view) continue;
            t.ArrayTable("view");
            t.Key("slot", int32_t(i));
            t.Key("visible", v.visible);
            t.Raw("view", IntArray({v.xview, v.yview, v.wview, v.hview}));
            t.Raw("port", IntArray({v.xport, v.yport, v.wport, v.hport}));
            t.Raw("border", IntArray({v.hborder, v.vborder}));
            t.Raw("speed", IntArray({v.hspeed, v.vspeed}));
            t.Raw("follow", v.object >= 0 && v.object < 100000 ? objects_.Ref(v.object)
                                                               : std::to_string(v.object));
        }
    }

    const GameData& g_;
    std::set<size_t> used_code_files_;  // entries of the table of code files already named
    const std::vector<uint8_t>& d3dx_;
    References sprites_, backgrounds_, objects_, rooms_;
    TomlOut manifest_, resources_;
    std::string scripts_list_;
};
}  // namespace

bool ExtractProject(const GameData& game, const std::vector<uint8_t>& d3dx_library,
                    const std::string& dir, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(dir, ec) && !fs::is_empty(dir, ec)) {
        error = dir + ": the folder exists and is not empty";
        return false;
    }
    Extractor x(game, d3dx_library);
    x.Run();
    for (const auto& [name, bytes] : x.files_) {
        const std::string path = dir + "/" + name;
        if (!CreateDirectories(DirectoryOf(path)) || !WriteFileAtomically(path, bytes)) {
            error = path + ": cannot write the file";
            return false;
        }
    }
    return true;
}

}  // namespace kr
