// korvane build, the reading half: turns a text project (docs/projects.md) into game data.
// Every problem is reported as "FILE:LINE: what is wrong", FILE relative to the project.
#include <toml++/toml.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "app/Project.h"
#include "app/ProjectFormat.h"
#include "data/ImageCodecs.h"
#include "objects/ActionExecution.h"
#include "objects/EventNames.h"
#include "platform/Files.h"

namespace kr {

namespace {
using namespace project;

// The first problem found; it ends the build.
struct ProjectError {
    std::string text;
};

// One TOML file of the project: its name relative to the project, for messages and for the
// file names inside it, which are relative to its folder.
struct Doc {
    std::string file;
    toml::table table;

    std::string Folder() const {
        size_t slash = file.rfind('/');
        return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
    }
};

[[noreturn]] void Fail(const Doc& doc, const toml::node* at, const std::string& what) {
    std::string where = doc.file;
    if (at && at->source().begin.line > 0) where += ":" + std::to_string(at->source().begin.line);
    throw ProjectError{where + ": " + what};
}

std::string Quoted(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

// Readers of one table's keys. A missing key gives the default; a value of the wrong type is an
// error. Every key a reader asks for is a key the table knows; CheckKeys then refuses the keys
// nobody asked for, so that a misspelt key is not silently ignored.
class Fields {
public:
    Fields(const Doc& doc, const toml::table& t) : doc_(doc), t_(t) {}

    const toml::node* Node(std::string_view key) const {
        known_.emplace(key);
        return t_.get(key);
    }
    // Keys the table knows that this reading did not need to look at.
    void Known(std::initializer_list<std::string_view> keys) const {
        for (std::string_view k : keys) known_.emplace(k);
    }
    // Fails at the first key of the table that is not known, suggesting the known keys that
    // are spelt alike.
    void CheckKeys() const {
        for (const auto& [key, node] : t_) {
            if (known_.count(key.str())) continue;
            std::string close;
            for (const std::string& k : known_) {
                const size_t d = EditDistance(key.str(), k);
                if (d <= std::max<size_t>(1, std::min(k.size(), key.str().size()) / 3) ||
                    (key.str().size() >= 3 && k.starts_with(key.str())))
                    close += std::string(close.empty() ? "" : " or ") + "`" + k + "`";
            }
            std::string what = "unknown key `" + std::string(key.str()) + "`";
            if (!close.empty()) {
                what += "; did you mean " + close + "?";
            } else {
                std::string all;
                for (const std::string& k : known_) all += std::string(all.empty() ? "" : ", ") + k;
                what += all.empty() ? " (this table has no keys)" : " (known keys: " + all + ")";
            }
            kr::Fail(doc_, &node, what);
        }
    }
    const toml::node* Where(std::string_view key) const {
        const toml::node* n = Node(key);
        return n ? n : &t_;
    }
    [[noreturn]] void Fail(std::string_view key, const std::string& what) const {
        kr::Fail(doc_, Where(key), what);
    }

    int64_t Int64(std::string_view key, int64_t def) const {
        const toml::node* n = Node(key);
        if (!n) return def;
        if (auto v = n->value_exact<int64_t>()) return *v;
        Fail(key, std::string(key) + " must be an integer");
    }
    int32_t Int(std::string_view key, int32_t def) const {
        int64_t v = Int64(key, def);
        if (v < INT32_MIN || v > INT32_MAX) Fail(key, std::string(key) + " is out of range");
        return int32_t(v);
    }
    bool Bool(std::string_view key, bool def) const {
        const toml::node* n = Node(key);
        if (!n) return def;
        if (auto v = n->value_exact<bool>()) return *v;
        Fail(key, std::string(key) + " must be true or false");
    }
    double Real(std::string_view key, double def) const {
        const toml::node* n = Node(key);
        if (!n) return def;
        if (auto v = n->value_exact<double>()) return *v;
        if (auto v = n->value_exact<int64_t>()) return double(*v);
        Fail(key, std::string(key) + " must be a number");
    }
    // A string, as game text.
    std::string Str(std::string_view key, std::string_view def = {}) const {
        const toml::node* n = Node(key);
        if (!n) return std::string(def);
        return GameText(*n, key);
    }
    std::string GameText(const toml::node& n, std::string_view key) const {
        auto v = n.value_exact<std::string>();
        if (!v) kr::Fail(doc_, &n, std::string(key) + " must be a string");
        std::string out;
        if (!FromUtf8(*v, out))
            kr::Fail(doc_, &n, std::string(key) + " holds a character the game's code page lacks");
        return out;
    }
    int32_t Word(std::string_view key, std::span<const project::Word> words, int32_t def) const {
        const toml::node* n = Node(key);
        if (!n) return def;
        if (auto s = n->value_exact<std::string>()) {
            int32_t v;
            if (ValueOf(words, *s, v)) return v;
            std::string known;
            for (const project::Word& w : words)
                known += std::string(known.empty() ? "" : ", ") + w.word;
            Fail(key, "unknown " + std::string(key) + " " + Quoted(*s) + " (known: " + known + ")");
        }
        return Int(key, def);
    }
    const toml::table* Table(std::string_view key) const {
        const toml::node* n = Node(key);
        if (!n) return nullptr;
        if (const toml::table* t = n->as_table()) return t;
        Fail(key, std::string(key) + " must be a table");
    }
    const toml::array* Array(std::string_view key) const {
        const toml::node* n = Node(key);
        if (!n) return nullptr;
        if (const toml::array* a = n->as_array()) return a;
        Fail(key, std::string(key) + " must be an array");
    }
    // An array of exactly (or at most, when `exact` is false) `n` integers.
    std::vector<int32_t> Ints(std::string_view key, size_t n, bool exact = true) const {
        const toml::array* a = Array(key);
        std::vector<int32_t> out;
        if (!a) return out;
        if (exact ? a->size() != n : a->size() > n)
            Fail(key, std::string(key) + (exact ? " must hold " : " holds at most ") +
                          std::to_string(n) + " integers");
        for (const toml::node& e : *a) {
            auto v = e.value_exact<int64_t>();
            if (!v || *v < INT32_MIN || *v > INT32_MAX)
                kr::Fail(doc_, &e, std::string(key) + " must hold integers");
            out.push_back(int32_t(*v));
        }
        return out;
    }
    const Doc& doc() const { return doc_; }
    const toml::table& table() const { return t_; }

private:
    const Doc& doc_;
    const toml::table& t_;
    mutable std::set<std::string, std::less<>> known_;
};

// What a reference may hold besides an existing resource.
enum class Ref {
    kResource,          // only a resource of the kind
    kOrNone,            // or -1, none
    kOrNegative,        // or any negative owner value (an action's applies_to)
    kOrInstanceOrNone,  // or -1, or an instance id (100000 and above; a view's followed object)
    kOrAnyIndex         // or any index (rooms keep instances of deleted objects, never created)
};

// The resources of one kind by name, for references from other files.
class Names {
public:
    explicit Names(const char* kind, const char* kinds) : kind_(kind), kinds_(kinds) {}
    // Slot `index` holds a resource named `name`; Slot(index) leaves it empty.
    void Add(const std::string& name, int32_t index) {
        by_name_[name].push_back(index);
        Slot(index, true);
    }
    void Slot(int32_t index, bool exists = false) {
        if (size_t(index) >= exists_.size()) exists_.resize(size_t(index) + 1);
        if (exists) exists_[size_t(index)] = true;
    }
    bool Exists(int64_t index) const {
        return index >= 0 && size_t(index) < exists_.size() && exists_[size_t(index)];
    }

    // An index must be that of a resource (or one of the values `ref` allows); a name must
    // name exactly one resource. A missing key gives `def`.
    int32_t Resolve(const Fields& f, std::string_view key, int32_t def,
                    Ref ref = Ref::kOrNone) const {
        const toml::node* n = f.Node(key);
        if (!n) return def;
        return Resolve(f, *n, key, ref);
    }
    int32_t Resolve(const Fields& f, const toml::node& n, std::string_view key,
                    Ref ref = Ref::kResource) const {
        if (auto v = n.value_exact<int64_t>()) {
            const bool allowed = Exists(*v) || (*v == -1 && ref != Ref::kResource) ||
                                 (*v < 0 && ref == Ref::kOrNegative) ||
                                 (*v >= 100000 && ref == Ref::kOrInstanceOrNone) ||
                                 ref == Ref::kOrAnyIndex;
            if (!allowed || *v < INT32_MIN || *v > INT32_MAX) {
                std::string what = "no " + std::string(kind_) + " has index " + std::to_string(*v);
                if (*v >= 0) what += " (there are " + std::to_string(exists_.size()) + " " + kinds_;
                if (*v >= 0) what += ")";
                if (ref == Ref::kOrNone || ref == Ref::kOrInstanceOrNone) what += "; -1 is none";
                kr::Fail(f.doc(), &n, what);
            }
            return int32_t(*v);
        }
        std::string name = f.GameText(n, key);
        auto it = by_name_.find(name);
        if (it == by_name_.end())
            kr::Fail(f.doc(), &n, std::string("no ") + kind_ + " named " + Quoted(ToUtf8(name)));
        if (it->second.size() > 1)
            kr::Fail(f.doc(), &n,
                     std::string("more than one ") + kind_ + " is named " + Quoted(ToUtf8(name)) +
                         "; refer to it by index");
        return it->second[0];
    }

private:
    const char* kind_;
    const char* kinds_;
    std::map<std::string, std::vector<int32_t>> by_name_;
    std::vector<bool> exists_;
};

class Builder {
public:
    Builder(std::string dir, GameData& g, std::vector<uint8_t>& d3dx,
            std::vector<ProjectCode>* code)
        : dir_(std::move(dir)), g_(g), d3dx_(d3dx), code_(code) {}

    void Run() {
        Doc manifest = Parse(kManifestName);
        Fields m(manifest, manifest.table);
        if (m.Int("format", 1) != 1) m.Fail("format", "this project format is not known");

        // Every resource file first, so that references can go to any resource.
        const toml::table* res = m.Table("resources");
        static const toml::table kNone;
        Fields r(manifest, res ? *res : kNone);
        LoadList(r, "sounds", sounds_, sound_names_);
        LoadList(r, "sprites", sprites_, sprite_names_);
        LoadList(r, "backgrounds", backgrounds_, background_names_);
        LoadList(r, "paths", paths_, path_names_);
        LoadList(r, "fonts", fonts_, font_names_);
        LoadList(r, "time_lines", time_lines_, time_line_names_);
        LoadList(r, "objects", objects_, object_names_);
        LoadList(r, "rooms", rooms_, room_names_);

        Header(m);
        Scripts(r);
        r.CheckKeys();
        m.CheckKeys();
        if (g_.room_order.empty())
            m.Fail("room_order", "the room order is empty; the game starts in its first room");
        Build(sounds_, g_.sounds, &Builder::Sound);
        Build(sprites_, g_.sprites, &Builder::Sprite);
        Build(backgrounds_, g_.backgrounds, &Builder::Background);
        Build(paths_, g_.paths, &Builder::Path);
        Build(fonts_, g_.fonts, &Builder::Font);
        Build(time_lines_, g_.time_lines, &Builder::TimeLine);
        Build(objects_, g_.objects, &Builder::Object);
        Build(rooms_, g_.rooms, &Builder::Room);
        const BackgroundSizeLookup size = [this](int32_t index, int32_t& w, int32_t& h) {
            const CBackground* b = g_.backgrounds.Get(index);
            if (!b) return false;
            w = b->Width(), h = b->Height();
            return true;
        };
        // The table of code files in an order of its own, so that the game does not depend on
        // the order the project lists its events in; a file used twice is listed once.
        std::sort(g_.code_files.begin(), g_.code_files.end(),
                  [](const kr::CodeFile& a, const kr::CodeFile& b) {
                      return std::tie(a.file, a.hash) < std::tie(b.file, b.hash);
                  });
        g_.code_files.erase(std::unique(g_.code_files.begin(), g_.code_files.end(),
                                        [](const kr::CodeFile& a, const kr::CodeFile& b) {
                                            return a.file == b.file && a.hash == b.hash;
                                        }),
                            g_.code_files.end());
        for (int i = 0; i < g_.rooms.Count(); ++i) {
            CRoom* room = g_.rooms.Get(i);
            if (!room) continue;
            room->ApplyStretch(size);
            // A project that leaves the last ids out hands out ids after the rooms' own.
            if (derive_last_ids_) {
                for (const RoomInstance& in : room->instances)
                    if (derive_instance_id_)
                        g_.last_instance_id = std::max(g_.last_instance_id, in.id);
                for (const RoomTile& t : room->tiles)
                    if (derive_tile_id_) g_.last_tile_id = std::max(g_.last_tile_id, t.id);
            }
        }
    }

private:
    // --- Files ---------------------------------------------------------------------------------

    Doc Parse(const std::string& file) {
        Doc doc;
        doc.file = file;
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(dir_ + "/" + file, bytes))
            throw ProjectError{file + ": cannot read the file\n" +
                               PathErrorText(dir_ + "/" + file)};
        try {
            doc.table = toml::parse(
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), file);
        } catch (const toml::parse_error& e) {
            throw ProjectError{file + ":" + std::to_string(e.source().begin.line) + ":" +
                               std::to_string(e.source().begin.column) + ": " +
                               std::string(e.description())};
        }
        return doc;
    }

    // The file `name` (relative to the folder of `doc`), named at node `at`.
    std::vector<uint8_t> FileAt(const Doc& doc, const toml::node& at, const std::string& name) {
        std::vector<uint8_t> bytes;
        if (name.empty() || !ReadWholeFile(dir_ + "/" + doc.Folder() + ToUtf8(name), bytes))
            Fail(doc, &at, "cannot read the file " + Quoted(ToUtf8(name)));
        return bytes;
    }
    std::vector<uint8_t> File(const Fields& f, std::string_view key) {
        return FileAt(f.doc(), *f.Where(key), f.Str(key));
    }
    // A script file: UTF-8 text that becomes game text.
    std::string ScriptAt(const Doc& doc, const toml::node& at, const std::string& name) {
        std::vector<uint8_t> bytes = FileAt(doc, at, name);
        std::string text;
        if (!FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                      text))
            Fail(doc, &at,
                 "the file " + Quoted(ToUtf8(name)) +
                     " holds a character the game's code page lacks");
        return text;
    }
    std::string Script(const Fields& f, std::string_view key) {
        return ScriptAt(f.doc(), *f.Where(key), f.Str(key));
    }
    // Lists code for the compile check: the file named by `key` of `f`, or a TOML value.
    void CodeFile(const Fields& f, std::string_view key, const std::string& text) {
        KrsFile(f.doc().Folder() + ToUtf8(f.Str(key)), text);
    }
    // A .krs file of code: listed for the compile check, and kept in the game's table of code
    // files so that a run-time error can name it.
    void KrsFile(const std::string& file, const std::string& text) {
        if (code_) code_->push_back({file, 0, {}, text, false, {}});
        g_.code_files.push_back({CodeTextHash(text), file});
    }
    void CodeValue(const Doc& doc, const toml::node* at, std::string what, const std::string& text,
                   bool expression, std::string constant = {}) {
        if (!code_) return;
        int32_t line = at && at->source().begin.line > 0 ? int32_t(at->source().begin.line) : 1;
        code_->push_back({doc.file, line, std::move(what), text, expression, std::move(constant)});
    }

    TBitmap32 ImageAt(const Doc& doc, const toml::node& at, const std::string& name) {
        std::vector<uint8_t> bytes = FileAt(doc, at, name);
        std::vector<TBitmap32> frames;
        if (!DecodeImage(bytes, frames) || frames.empty())
            Fail(doc, &at, "the file " + Quoted(ToUtf8(name)) + " is not an image");
        return std::move(frames[0]);
    }
    TBitmap32 Image(const Fields& f, std::string_view key) {
        return ImageAt(f.doc(), *f.Where(key), f.Str(key));
    }

    // --- Resource lists ------------------------------------------------------------------------

    // Parses the files of a kind's list; empty slots stay empty.
    void LoadList(const Fields& r, const char* kind, std::vector<std::optional<Doc>>& docs,
                  Names& names) {
        const toml::array* list = r.Array(kind);
        if (!list) return;
        int32_t index = 0;
        for (const toml::node& e : *list) {
            auto stem = e.value_exact<std::string>();
            if (!stem) kr::Fail(r.doc(), &e, std::string(kind) + " lists file names");
            docs.emplace_back();
            names.Slot(index);
            if (!stem->empty()) {
                docs.back() = Parse(std::string(kind) + "/" + *stem + ".toml");
                Fields f(*docs.back(), docs.back()->table);
                names.Add(f.Str("name"), index);
            }
            ++index;
        }
    }

    template <typename T>
    void Build(const std::vector<std::optional<Doc>>& docs, ResourceTable<T>& table,
               void (Builder::*read)(const Fields&, T&)) {
        table.Reset(int(docs.size()));
        for (size_t i = 0; i < docs.size(); ++i) {
            if (!docs[i]) continue;
            Fields f(*docs[i], docs[i]->table);
            auto item = std::make_unique<T>();
            (this->*read)(f, *item);
            std::string name = f.Str("name");
            f.CheckKeys();
            table.Set(int(i), std::move(name), std::move(item));
        }
    }

    void Scripts(const Fields& r) {
        const toml::array* list = r.Array("scripts");
        g_.scripts.Reset(list ? int(list->size()) : 0);
        if (!list) return;
        int i = 0;
        for (const toml::node& e : *list) {
            std::string file, name;
            if (const toml::table* t = e.as_table()) {
                Fields f(r.doc(), *t);
                file = f.Str("file");
                name = f.Str("name");
                f.CheckKeys();
            } else if (auto s = e.value_exact<std::string>()) {
                file = *s;
                name = r.GameText(e, "scripts");
            } else {
                kr::Fail(r.doc(), &e, "scripts lists file names");
            }
            if (!file.empty()) {
                auto script = std::make_unique<CScript>();
                const std::string path = "scripts/" + file + kScriptFileExtension;
                script->text = ScriptAt(r.doc(), e, path);
                KrsFile(ToUtf8(path), script->text);
                g_.scripts.Set(i, name, std::move(script));
            }
            ++i;
        }
    }

    // --- The manifest --------------------------------------------------------------------------

    void Header(const Fields& m) {
        g_.game_id = m.Int("game_id", 0);
        std::string guid = m.Str("application_id", std::string(32, '0'));
        auto hex = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (guid.size() != 32) m.Fail("application_id", "application_id must be 32 hex digits");
        for (size_t i = 0; i < 16; ++i) {
            int hi = hex(guid[2 * i]), lo = hex(guid[2 * i + 1]);
            if (hi < 0 || lo < 0) m.Fail("application_id", "application_id must be 32 hex digits");
            g_.application_id[i] = uint8_t(hi * 16 + lo);
        }
        // `debug = true` is the short spelling of the same flag.
        g_.debug_mode = m.Bool("debug_mode", false) || m.Bool("debug", false);
        g_.d3dx_name = m.Str("d3dx_name", "D3DX8.dll");
        d3dx_.clear();
        if (m.Node("d3dx_file")) d3dx_ = File(m, "d3dx_file");
        g_.d3dx_size = d3dx_.size();
        // Left out, the last ids are the highest the rooms use (see AfterRooms).
        g_.last_instance_id = m.Int("last_instance_id", 100000);
        g_.last_tile_id = m.Int("last_tile_id", 10000000);
        derive_instance_id_ = !m.Node("last_instance_id");
        derive_tile_id_ = !m.Node("last_tile_id");
        derive_last_ids_ = derive_instance_id_ || derive_tile_id_;

        g_.room_order.clear();
        if (const toml::array* order = m.Array("room_order"))
            for (const toml::node& e : *order)
                g_.room_order.push_back(room_names_.Resolve(m, e, "room_order"));
        g_.library_init_code.clear();
        if (const toml::array* init = m.Array("library_init_code")) {
            for (const toml::node& e : *init) {
                auto file = e.value_exact<std::string>();
                if (!file) kr::Fail(m.doc(), &e, "library_init_code lists file names");
                g_.library_init_code.push_back(ScriptAt(m.doc(), e, *file));
                KrsFile(*file, g_.library_init_code.back());
            }
        }
        g_.extension_packages.clear();
        if (const toml::array* packages = m.Array("extension_packages")) {
            for (const toml::node& e : *packages) {
                auto file = e.value_exact<std::string>();
                if (!file) kr::Fail(m.doc(), &e, "extension_packages lists file names");
                g_.extension_packages.push_back(Package(Parse(*file)));
            }
        }

        g_.settings = GameSettings();
        if (const toml::table* st = m.Table("settings")) {
            Fields s(m.doc(), *st);
            for (const SettingField& f : SettingFields()) {
                switch (f.kind) {
                    case SettingField::kBool:
                        g_.settings.*f.b = s.Bool(f.key, g_.settings.*f.b);
                        break;
                    case SettingField::kInt:
                        g_.settings.*f.i = s.Int(f.key, g_.settings.*f.i);
                        break;
                    case SettingField::kPicture: {
                        StoredPicture& p = g_.settings.*f.picture;
                        p = StoredPicture();
                        if (!s.Str(f.key).empty()) {
                            p.present = true;
                            p.bmp = File(s, f.key);
                        }
                    }
                }
            }
            s.CheckKeys();
        }

        g_.game_information = CGameInformation();
        if (const toml::table* gt = m.Table("game_information")) {
            Fields f(m.doc(), *gt);
            CGameInformation& gi = g_.game_information;
            gi.background_color = f.Int("background_color", gi.background_color);
            gi.separate_window = f.Bool("separate_window", gi.separate_window);
            gi.caption = f.Str("caption", gi.caption);
            gi.left = f.Int("left", gi.left);
            gi.top = f.Int("top", gi.top);
            gi.width = f.Int("width", gi.width);
            gi.height = f.Int("height", gi.height);
            gi.show_border = f.Bool("show_border", gi.show_border);
            gi.sizeable = f.Bool("sizeable", gi.sizeable);
            gi.stay_on_top = f.Bool("stay_on_top", gi.stay_on_top);
            gi.freeze_game = f.Bool("freeze_game", gi.freeze_game);
            if (f.Node("text_file")) {
                std::vector<uint8_t> text = File(f, "text_file");
                gi.text.assign(text.begin(), text.end());
            }
            f.CheckKeys();
        }

        g_.constant_names.clear();
        g_.constant_values.clear();
        ForEachTable(m, "constant", [&](const Fields& f) {
            g_.constant_names.push_back(f.Str("name"));
            g_.constant_values.push_back(f.Str("value"));
            CodeValue(f.doc(), f.Where("value"), "the value of constant " + ToUtf8(f.Str("name")),
                      g_.constant_values.back(), true, g_.constant_names.back());
        });

        std::vector<std::unique_ptr<CTrigger>> triggers;
        ForEachTable(m, "trigger", [&](const Fields& f) {
            if (f.Bool("empty", false)) {
                f.Known({"name", "condition", "moment", "constant_name"});
                triggers.push_back(nullptr);
                return;
            }
            auto t = std::make_unique<CTrigger>();
            t->name = f.Str("name");
            t->condition = f.Str("condition");
            t->moment = f.Word("moment", kTriggerMoments, t->moment);
            t->constant_name = f.Str("constant_name");
            triggers.push_back(std::move(t));
        });
        g_.triggers.Reset(int(triggers.size()));
        for (size_t i = 0; i < triggers.size(); ++i) {
            if (!triggers[i]) continue;
            std::string name = triggers[i]->name;
            g_.triggers.Set(int(i), std::move(name), std::move(triggers[i]));
        }

        g_.included_files.clear();
        ForEachTable(m, "included_file", [&](const Fields& f) {
            CDataFile d;
            d.file_name = f.Str("file_name");
            d.source_path = f.Str("source_path");
            d.source_present = f.Bool("source_present", d.source_present);
            d.size = f.Int("size", d.size);
            if (f.Node("data_file")) {
                d.stored = d.source_present = true;
                d.data = File(f, "data_file");
            }
            d.export_kind = f.Int("export_kind", d.export_kind);
            d.export_folder = f.Str("export_folder");
            d.overwrite = f.Bool("overwrite", d.overwrite);
            d.free_after_export = f.Bool("free_after_export", d.free_after_export);
            d.remove_at_end = f.Bool("remove_at_end", d.remove_at_end);
            g_.included_files.push_back(std::move(d));
        });
    }

    // Calls `each` for every table of the array `key` ([[key]] headers).
    template <typename F>
    void ForEachTable(const Fields& f, std::string_view key, F each) {
        const toml::array* a = f.Array(key);
        if (!a) return;
        for (const toml::node& e : *a) {
            const toml::table* t = e.as_table();
            if (!t) kr::Fail(f.doc(), &e, std::string(key) + " must hold tables");
            Fields fields(f.doc(), *t);
            each(fields);
            fields.CheckKeys();
        }
    }

    CExtensionPackage Package(const Doc& doc) {
        Fields f(doc, doc.table);
        CExtensionPackage p;
        p.name = f.Str("name");
        p.folder = f.Str("folder");
        p.seed = f.Int("seed", 0);
        ForEachTable(f, "file", [&](const Fields& ff) {
            CExtensionFile file;
            file.file_name = ff.Str("file_name");
            file.kind = ff.Word("kind", kFileKinds, file.kind);
            file.init_function = ff.Str("init_function");
            file.final_function = ff.Str("final_function");
            if (ff.Node("contents")) file.contents = File(ff, "contents");
            ForEachTable(ff, "function", [&](const Fields& fn) {
                CExtensionFunction x;
                x.name = fn.Str("name");
                x.external_name = fn.Str("external_name");
                x.calling_convention = fn.Int("calling_convention", x.calling_convention);
                x.id = fn.Int("id", 0);
                x.arg_count = fn.Int("argument_count", 0);
                std::vector<int32_t> types = fn.Ints("argument_types", x.arg_types.size(), false);
                for (size_t i = 0; i < types.size(); ++i) x.arg_types[i] = types[i];
                x.result_type = fn.Int("result_type", x.result_type);
                // Stored packages are tidied when read; so is this one, so that it equals the
                // game it came from.
                CStream s;
                x.SaveToStream(s);
                s.Seek(0);
                x.LoadFromStream(s);
                file.functions.push_back(std::move(x));
            });
            ForEachTable(ff, "constant", [&](const Fields& c) {
                file.constants.push_back({c.Str("name"), c.Str("value")});
            });
            file.AssignScriptTexts();
            p.files.push_back(std::move(file));
        });
        f.CheckKeys();
        return p;
    }

    // --- Resources -----------------------------------------------------------------------------

    void Sound(const Fields& f, CSound& s) {
        s.kind = f.Word("kind", kSoundKinds, s.kind);
        s.file_type = f.Str("file_type");
        s.file_name = f.Str("file_name");
        s.has_data = f.Node("data") != nullptr;
        if (s.has_data) s.data = File(f, "data");
        s.effects = f.Int("effects", s.effects);
        s.volume = f.Real("volume", s.volume);
        s.pan = f.Real("pan", s.pan);
        s.preload = f.Bool("preload", s.preload);
    }

    void Sprite(const Fields& f, CSprite& s) {
        s.x_origin = f.Int("x_origin", 0);
        s.y_origin = f.Int("y_origin", 0);
        if (const toml::array* frames = f.Array("frames")) {
            for (const toml::node& e : *frames) {
                auto file = e.value_exact<std::string>();
                if (!file) kr::Fail(f.doc(), &e, "frames lists image files");
                if (file->empty())
                    s.frames.emplace_back();
                else
                    s.frames.push_back(ImageAt(f.doc(), e, f.GameText(e, "frames")));
            }
        }
        for (size_t i = 1; i < s.frames.size(); ++i) {
            if (s.frames[i].Width() != s.frames[0].Width() ||
                s.frames[i].Height() != s.frames[0].Height())
                f.Fail("frames", "frame " + std::to_string(i) + " differs in size from frame 0");
        }
        s.separate_masks = f.Bool("separate_masks", false);
        f.Known({"rebuild_masks", "mask"});
        if (const toml::table* mp = f.Table("mask_parameters")) {
            Fields p(f.doc(), *mp);
            s.mask_params.shape = MaskShape(p.Word("shape", kMaskShapes, 0));
            s.mask_params.tolerance = p.Int("tolerance", 0);
            s.mask_params.box_mode = BoxMode(p.Word("box", kBoxModes, 0));
            std::vector<int32_t> box = p.Ints("manual_box", 4);
            if (box.size() == 4) {
                s.mask_params.left = box[0], s.mask_params.top = box[1];
                s.mask_params.right = box[2], s.mask_params.bottom = box[3];
            }
            p.CheckKeys();
        }
        s.textures.assign(s.frames.size(), -1);
        if (f.Bool("rebuild_masks", false) || !f.Node("mask")) {
            s.BuildMasks();
            return;
        }
        ForEachTable(f, "mask", [&](const Fields& mf) {
            TMask m;
            mf.Known({"file", "size"});
            if (mf.Node("file")) {
                TBitmap32 image = Image(mf, "file");
                m.width = image.Width();
                m.height = image.Height();
                m.grid.resize(image.PixelCount());
                for (size_t i = 0; i < m.grid.size(); ++i) m.grid[i] = image.Pixels()[i].r >= 128;
            } else {
                std::vector<int32_t> size = mf.Ints("size", 2);
                if (size.size() == 2 &&
                    (size[0] < 0 || size[1] < 0 || size[0] * int64_t(size[1]) != 0))
                    mf.Fail("size", "a mask without a file has no cells");
                if (size.size() == 2) m.width = size[0], m.height = size[1];
            }
            std::vector<int32_t> box = mf.Ints("box", 4);
            if (box.size() == 4)
                m.left = box[0], m.top = box[1], m.right = box[2], m.bottom = box[3];
            s.masks.push_back(std::move(m));
        });
        const size_t want = s.frames.empty() ? 0 : s.separate_masks ? s.frames.size() : 1;
        if (s.masks.size() != want)
            f.Fail("mask", "the sprite needs " + std::to_string(want) + " masks, not " +
                               std::to_string(s.masks.size()) + " (or set rebuild_masks = true)");
        s.ComputeBoundingBox();
    }

    void Background(const Fields& f, CBackground& b) {
        if (!f.Str("image").empty()) b.image = Image(f, "image");
    }

    void Path(const Fields& f, CPath& p) {
        p.kind = f.Word("kind", kPathKinds, p.kind);
        p.closed = f.Bool("closed", p.closed);
        p.precision = f.Int("precision", p.precision);
        if (const toml::array* points = f.Array("points")) {
            for (const toml::node& e : *points) {
                const toml::array* a = e.as_array();
                std::optional<double> v[3];
                for (size_t i = 0; a && a->size() == 3 && i < 3; ++i) {
                    v[i] = (*a)[i].value<double>();
                }
                if (!v[0] || !v[1] || !v[2]) kr::Fail(f.doc(), &e, "a point is [x, y, speed]");
                p.points.push_back({*v[0], *v[1], *v[2]});
            }
        }
        p.Recompute();
    }

    void Font(const Fields& f, CFont& font) {
        font.name = f.Str("font_name");
        font.size = f.Int("size", font.size);
        font.bold = f.Bool("bold", false);
        font.italic = f.Bool("italic", false);
        font.first = f.Int("first", font.first);
        font.last = f.Int("last", font.last);
        font.image_width = f.Int("image_width", 0);
        font.image_height = f.Int("image_height", 0);
        std::string image = f.Str("image");
        if (image.ends_with(".png")) {
            TBitmap32 grey = Image(f, "image");
            if (grey.Width() != font.image_width || grey.Height() != font.image_height)
                f.Fail("image", "the image is not image_width x image_height");
            font.image.resize(grey.PixelCount());
            for (size_t i = 0; i < font.image.size(); ++i) font.image[i] = grey.Pixels()[i].r;
        } else if (!image.empty()) {
            font.image = File(f, "image");
        }
        if (const toml::array* glyphs = f.Array("glyphs")) {
            for (const toml::node& e : *glyphs) {
                const toml::array* a = e.as_array();
                int64_t v[7] = {};
                bool ok = a && a->size() == 7;
                for (size_t i = 0; ok && i < 7; ++i) {
                    auto x = (*a)[i].value_exact<int64_t>();
                    ok = x && *x >= INT32_MIN && *x <= INT32_MAX;
                    if (ok) v[i] = *x;
                }
                if (!ok || v[0] < 0 || v[0] > 255)
                    kr::Fail(f.doc(), &e,
                             "a glyph is [code 0..255, x, y, width, height, advance, offset]");
                font.glyphs[size_t(v[0])] = {int32_t(v[1]), int32_t(v[2]), int32_t(v[3]),
                                             int32_t(v[4]), int32_t(v[5]), int32_t(v[6])};
            }
        }
    }

    void TimeLine(const Fields& f, CTimeLine& t) {
        ForEachTable(f, "moment", [&](const Fields& mf) {
            TimeLineMoment m;
            m.step = mf.Int("step", 0);
            Actions(mf, m.event);
            t.moments.push_back(std::move(m));
        });
    }

    void Object(const Fields& f, CObject& o) {
        o.sprite = sprite_names_.Resolve(f, "sprite", -1);
        o.solid = f.Bool("solid", o.solid);
        o.visible = f.Bool("visible", o.visible);
        o.depth = f.Int("depth", o.depth);
        o.persistent = f.Bool("persistent", o.persistent);
        o.parent = object_names_.Resolve(f, "parent", -1);
        o.mask = sprite_names_.Resolve(f, "mask", -1);
        ForEachTable(f, "event", [&](const Fields& ef) {
            if (!ef.Node("type")) ef.Fail("type", "an event needs its type");
            ef.Known({"number", "object"});
            int32_t type = ef.Word("type", kEventTypes, 0);
            if (type < 0 || type >= kEventTypeCount)
                ef.Fail("type", "no event type " + std::to_string(type));
            const bool by_object = type == kEventCollision && ef.Node("object");
            int32_t number = by_object ? object_names_.Resolve(ef, "object", 0, Ref::kResource)
                                       : ef.Int("number", 0);
            if (!by_object) CheckEventNumber(ef, type, number);
            CEvent& e = o.events[size_t(type)][number];
            e.actions.clear();
            Actions(ef, e);
        });
    }

    // An event's number must mean something for its type.
    void CheckEventNumber(const Fields& ef, int32_t type, int32_t number) const {
        std::string range;
        bool ok = true;
        switch (type) {
            case kEventAlarm:
                ok = number >= 0 && number <= 11, range = "an alarm is 0 to 11";
                break;
            case kEventStep:
                ok = number >= 0 && number <= 2, range =
                                                     "a step event is 0 (normal), 1 (begin) "
                                                     "or 2 (end)";
                break;
            case kEventCollision:
                ok = object_names_.Exists(number);
                range = "a collision event's number is an object index";
                break;
            case kEventKeyboard:
            case kEventKeyPress:
            case kEventKeyRelease:
                ok = number >= 0 && number <= 255, range = "a key is a virtual-key code 0 to 255";
                break;
            case kEventMouse:
                ok = MouseEventName(number) != "<unknown>";
                range = "see the mouse events in docs/guide.md";
                break;
            case kEventOther:
                ok = OtherEventName(number) != "<unknown>";
                range = "see the other events in docs/guide.md";
                break;
            case kEventTrigger:
                // Games keep the events of triggers that were deleted; they never run.
                ok = number >= 0, range = "a trigger event's number is a trigger index";
                break;
            default:  // create, destroy, draw
                ok = number == 0, range = "this event has only number 0";
        }
        if (!ok)
            ef.Fail("number", "no " + std::string(WordOf(kEventTypes, type)) + " event number " +
                                  std::to_string(number) + " (" + range + ")");
    }

    void Actions(const Fields& f, CEvent& e) {
        ForEachTable(f, "action", [&](const Fields& af) {
            CAction a;
            a.library_id = af.Int("library", a.library_id);
            a.action_id = af.Int("id", a.action_id);
            a.kind = af.Word("kind", kActionKinds, a.kind);
            a.exec_type = af.Word("execute", kExecTypes, a.exec_type);
            a.function_name = af.Str("function");
            // A code action keeps its code in argument 0, as games store it; any other action
            // that runs code keeps it as the action's code text.
            const bool code_action = a.kind == CAction::kCode;
            af.Known({"code_text"});
            std::string code = af.Node("code") ? Script(af, "code") : std::string();
            if (!code_action) a.code_text = code;
            if (code_action && af.Node("code_text")) a.code_text = Script(af, "code_text");
            a.may_be_relative = af.Bool("relative_option", false);
            a.is_question = af.Bool("question", false);
            a.has_applies_to = af.Bool("applies_option", false);
            if (const toml::node* n = af.Node("applies_to")) {
                auto word = n->value_exact<std::string>();
                a.applies_to = word == "self" ? -1
                               : word == "other"
                                   ? -2
                                   : object_names_.Resolve(af, *n, "applies_to", Ref::kOrNegative);
            }
            a.relative = af.Bool("relative", false);
            a.is_not = af.Bool("not", false);
            a.arg_count = af.Int("argument_count", 0);
            if (a.arg_count < 0 || a.arg_count > kActionMaxArguments)
                af.Fail("argument_count", "an action has 0 to 8 arguments");
            std::vector<int32_t> kinds = af.Ints("argument_kinds", kActionMaxArguments, false);
            for (size_t i = 0; i < kinds.size(); ++i) a.arg_kinds[i] = kinds[i];
            if (const toml::array* args = af.Array("arguments")) {
                if (args->size() > size_t(kActionMaxArguments))
                    af.Fail("arguments", "an action has at most 8 arguments");
                size_t i = 0;
                for (const toml::node& n : *args) a.arg_texts[i++] = af.GameText(n, "arguments");
            }
            if (code_action && af.Node("code")) {
                if (!a.arg_texts[0].empty())
                    af.Fail("code",
                            "a code action gives its code as code or as argument 0, "
                            "not both");
                a.arg_texts[0] = std::move(code);
            }
            ActionCode(af, a, e.actions.size());
            e.actions.push_back(std::move(a));
        });
    }

    // The code an action runs (its code file, or an assignment made of its arguments) and
    // the arguments that are expressions, as the runner compiles them.
    void ActionCode(const Fields& af, const CAction& a, size_t index) {
        const std::string action = "action " + std::to_string(index);
        const bool is_code = a.kind == CAction::kSetVariable || a.kind == CAction::kCode;
        if (is_code || a.exec_type == CAction::kExecCode) {
            if (a.kind == CAction::kSetVariable)
                CodeValue(af.doc(), af.Where("arguments"), "the assignment of " + action,
                          a.arg_texts[0] + (a.relative ? " += " : " = ") + a.arg_texts[1], false);
            else if (af.Node("code"))
                CodeFile(af, "code", a.kind == CAction::kCode ? a.arg_texts[0] : a.code_text);
            else
                CodeValue(af.doc(), af.Where("arguments"), "the code of " + action,
                          a.kind == CAction::kCode ? a.arg_texts[0] : a.code_text, false);
        }
        if (is_code) return;
        for (int32_t i = 0; i < std::clamp(a.arg_count, 0, kActionMaxArguments); ++i) {
            const std::string& text = a.arg_texts[size_t(i)];
            int32_t kind = a.arg_kinds[size_t(i)];
            if (kind == kArgStringOrExpression)
                kind = !text.empty() && (text[0] == '\'' || text[0] == '"') ? kArgExpression
                                                                            : kArgString;
            if (kind == kArgString || kind == kArgStringToo) continue;
            CodeValue(af.doc(), af.Where("arguments"),
                      "argument " + std::to_string(i) + " of " + action, text, true);
        }
    }

    void Room(const Fields& f, CRoom& r) {
        r.caption = f.Str("caption");
        r.width = f.Int("width", r.width);
        r.height = f.Int("height", r.height);
        r.speed = f.Int("speed", r.speed);
        r.persistent = f.Bool("persistent", r.persistent);
        r.background_color = f.Int("background_color", r.background_color);
        r.show_background_color = f.Bool("show_background_color", r.show_background_color);
        if (f.Node("creation_code")) {
            r.creation_code = Script(f, "creation_code");
            CodeFile(f, "creation_code", r.creation_code);
        }
        r.views_enabled = f.Bool("views_enabled", r.views_enabled);
        ForEachTable(f, "instances", [&](const Fields& i) {
            RoomInstance in;
            in.x = i.Int("x", 0);
            in.y = i.Int("y", 0);
            if (!i.Node("object")) i.Fail("object", "an instance needs its object");
            in.object = object_names_.Resolve(i, "object", 0, Ref::kOrAnyIndex);
            in.id = i.Int("id", 0);
            if (i.Node("creation_code")) {
                in.creation_code = Script(i, "creation_code");
                CodeFile(i, "creation_code", in.creation_code);
            }
            r.instances.push_back(std::move(in));
        });
        ForEachTable(f, "tiles", [&](const Fields& t) {
            RoomTile tile;
            tile.x = t.Real("x", 0);
            tile.y = t.Real("y", 0);
            tile.background = background_names_.Resolve(t, "background", -1);
            std::vector<int32_t> src = t.Ints("source", 4);
            if (src.size() == 4)
                tile.left = src[0], tile.top = src[1], tile.width = src[2], tile.height = src[3];
            tile.depth = t.Real("depth", 0);
            tile.id = t.Int("id", 0);
            r.tiles.push_back(tile);
        });
        ForEachTable(f, "background", [&](const Fields& b) {
            int32_t slot = b.Int("slot", -1);
            if (slot < 0 || slot >= kRoomBackgroundCount) b.Fail("slot", "slot must be 0 to 7");
            CBack& back = r.backgrounds[size_t(slot)];
            back.visible = b.Bool("visible", back.visible);
            back.foreground = b.Bool("foreground", back.foreground);
            back.index = background_names_.Resolve(b, "background", -1);
            back.x = b.Real("x", 0);
            back.y = b.Real("y", 0);
            back.tile_h = b.Bool("tile_horizontally", back.tile_h);
            back.tile_v = b.Bool("tile_vertically", back.tile_v);
            back.hspeed = b.Real("hspeed", 0);
            back.vspeed = b.Real("vspeed", 0);
            back.stretch = b.Bool("stretch", false);
        });
        ForEachTable(f, "view", [&](const Fields& v) {
            int32_t slot = v.Int("slot", -1);
            if (slot < 0 || slot >= kRoomViewCount) v.Fail("slot", "slot must be 0 to 7");
            CView& view = r.views[size_t(slot)];
            view.visible = v.Bool("visible", view.visible);
            std::vector<int32_t> a = v.Ints("view", 4);
            if (a.size() == 4)
                view.xview = a[0], view.yview = a[1], view.wview = a[2], view.hview = a[3];
            a = v.Ints("port", 4);
            if (a.size() == 4)
                view.xport = a[0], view.yport = a[1], view.wport = a[2], view.hport = a[3];
            a = v.Ints("border", 2);
            if (a.size() == 2) view.hborder = a[0], view.vborder = a[1];
            a = v.Ints("speed", 2);
            if (a.size() == 2) view.hspeed = a[0], view.vspeed = a[1];
            view.object = object_names_.Resolve(v, "follow", -1, Ref::kOrInstanceOrNone);
        });
    }

    bool derive_last_ids_ = false, derive_instance_id_ = false, derive_tile_id_ = false;
    std::string dir_;
    GameData& g_;
    std::vector<uint8_t>& d3dx_;
    std::vector<ProjectCode>* code_;
    std::vector<std::optional<Doc>> sounds_, sprites_, backgrounds_, paths_, fonts_, time_lines_,
        objects_, rooms_;
    Names sound_names_{"sound", "sounds"}, sprite_names_{"sprite", "sprites"},
        background_names_{"background", "backgrounds"}, path_names_{"path", "paths"},
        font_names_{"font", "fonts"}, time_line_names_{"time line", "time lines"},
        object_names_{"object", "objects"}, room_names_{"room", "rooms"};
};
}  // namespace

bool BuildProject(const std::string& dir, GameData& game, std::vector<uint8_t>& d3dx_library,
                  std::string& error, std::vector<ProjectCode>* code) {
    game = GameData();
    try {
        if (code) code->clear();
        Builder(dir, game, d3dx_library, code).Run();
    } catch (const ProjectError& e) {
        error = e.text;
        return false;
    }
    return true;
}

}  // namespace kr
