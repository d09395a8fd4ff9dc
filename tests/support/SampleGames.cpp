#include "support/SampleGames.h"

#include <algorithm>

namespace kr::test {

std::vector<uint8_t> Bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

std::vector<uint8_t> Record(const std::function<void(CStream&)>& write) {
    CStream s;
    write(s);
    return std::move(s.Bytes());
}

GameSettings UnusualSettings(bool progress_bar) {
    GameSettings s;
    int n = 0;
    for (const SettingField& f : SettingFields()) {
        ++n;
        if (f.kind == SettingField::kBool) s.*f.b = !(s.*f.b);
        if (f.kind == SettingField::kInt) s.*f.i = 1000 + n;
        if (f.kind == SettingField::kPicture)
            s.*f.picture = {true, Bytes("BM" + std::to_string(n))};
    }
    s.show_progress_bar = progress_bar;
    return s;
}

CDataFile SomeIncludedFile() {
    CDataFile f;
    f.file_name = "data\\level1.txt";
    f.source_path = "C:\\src\\level1.txt";
    f.source_present = true;
    f.size = 5;
    f.stored = true;
    f.data = Bytes("hello");
    f.export_kind = 3;
    f.export_folder = "levels";
    f.overwrite = true;
    f.free_after_export = false;
    f.remove_at_end = false;
    return f;
}

CExtensionPackage SomePackage() {
    CExtensionPackage p;
    p.name = "Pack";
    p.folder = "packdir";
    p.seed = 4711;

    CExtensionFile lib;
    lib.file_name = "pack.dll";
    lib.kind = CExtensionFile::kLibrary;
    lib.init_function = "pack_init";
    lib.final_function = "pack_end";
    CExtensionFunction fn;
    fn.name = "  pack_add ";
    fn.external_name = "";
    fn.calling_convention = 11;
    fn.id = 7;
    fn.arg_count = 5;
    fn.arg_types.fill(CExtensionFunction::kString);
    fn.result_type = 0;
    lib.functions.push_back(fn);
    lib.constants.push_back({"PACK_MAX", "10"});
    lib.contents = Bytes(
        "\x7F"
        "ELF library bytes");

    CExtensionFile script;
    script.file_name = "pack.krs";
    script.kind = CExtensionFile::kScriptFile;
    CExtensionFunction twice;
    twice.name = twice.external_name = "pack_twice";
    twice.id = 8;
    twice.arg_count = 1;
    script.functions.push_back(twice);
    script.contents = Bytes("#define pack_twice\r\nreturn argument0 * 2;\r\n");

    CExtensionFile actions;  // action libraries store no contents
    actions.file_name = "pack.lib";
    actions.kind = CExtensionFile::kActionLibrary;

    CExtensionFile other;
    other.file_name = "readme.txt";
    other.kind = CExtensionFile::kOther;
    other.contents = Bytes("read me");

    p.files = {lib, script, actions, other};
    return p;
}

TBitmap32 PatternImage(int32_t w, int32_t h, int seed) {
    TBitmap32 image(w, h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            // The left column is transparent, so masks and alpha have something to show.
            image.Row(y)[x] = Bgra{uint8_t(seed * 37 + x * 11), uint8_t(y * 29 + seed),
                                   uint8_t(x * y + 3 * seed), uint8_t(x == 0 ? 0 : 128 + x)};
        }
    }
    return image;
}

namespace {
TMask MaskFromAlpha(const TBitmap32& frame) {
    TMask m;
    m.width = frame.Width();
    m.height = frame.Height();
    m.grid.assign(frame.PixelCount(), 0);
    m.left = m.width - 1, m.top = m.height - 1, m.right = 0, m.bottom = 0;
    for (int32_t y = 0; y < m.height; ++y) {
        for (int32_t x = 0; x < m.width; ++x) {
            if (frame.Row(y)[x].a == 0) continue;
            m.grid[size_t(y) * size_t(m.width) + size_t(x)] = 1;
            m.left = std::min(m.left, x), m.right = std::max(m.right, x);
            m.top = std::min(m.top, y), m.bottom = std::max(m.bottom, y);
        }
    }
    return m;
}
}  // namespace

CSprite PatternSprite(int32_t w, int32_t h, int frames, bool separate_masks, int seed) {
    CSprite s;
    for (int i = 0; i < frames; ++i) s.frames.push_back(PatternImage(w, h, seed + i));
    s.x_origin = w / 2;
    s.y_origin = h - 1;
    s.separate_masks = separate_masks;
    if (frames > 0) {
        for (int i = 0; i < (separate_masks ? frames : 1); ++i)
            s.masks.push_back(MaskFromAlpha(s.frames[size_t(i)]));
    }
    s.textures.assign(s.frames.size(), -1);
    s.ComputeBoundingBox();
    return s;
}

CAction MakeAction(int32_t kind, int32_t exec, std::string function, std::string code) {
    CAction a;
    a.library_id = 1;
    a.action_id = 100 + kind;
    a.kind = kind;
    a.exec_type = exec;
    a.function_name = std::move(function);
    a.code_text = std::move(code);
    return a;
}

CAction CodeAction(std::string code) {
    CAction a = MakeAction(CAction::kCode, CAction::kExecCode);
    a.arg_count = 1;
    a.arg_kinds[0] = 1;
    a.arg_texts[0] = std::move(code);
    return a;
}

namespace {
CObject Objects(int which) {
    CObject o;
    if (which == 0) {  // obj_base: a create event with a code action
        o.depth = 10;
        CAction code = CodeAction("hp = 3;\r\nspeed = 0;");
        code.applies_to = -1;
        o.events[kEventCreate][0].actions = {code};
        return o;
    }
    // obj_player: every kind of action, in several event types.
    o.sprite = 0;
    o.solid = true;
    o.visible = false;
    o.depth = -5;
    o.persistent = true;
    o.parent = 0;
    o.mask = 2;
    CAction question = MakeAction(CAction::kNormal, CAction::kExecFunction, "action_if_variable");
    question.is_question = true;
    question.is_not = true;
    question.has_applies_to = true;
    question.applies_to = -2;
    question.arg_count = 3;
    question.arg_kinds = {1, 0, 2, 0, 0, 0, 0, 0};
    question.arg_texts[0] = "hp";
    question.arg_texts[1] = "0";
    question.arg_texts[2] = "3";
    CAction move = MakeAction(CAction::kNormal, CAction::kExecFunction, "action_move_to");
    move.may_be_relative = true;
    move.relative = true;
    move.has_applies_to = true;
    move.applies_to = 1;  // an object index
    move.arg_count = 2;
    move.arg_kinds[0] = move.arg_kinds[1] = 0;
    move.arg_texts[0] = "x + 4";
    move.arg_texts[1] = "\"quoted\" text\nwith a new line";
    CAction set = MakeAction(CAction::kSetVariable, CAction::kExecNothing);
    set.arg_count = 2;
    set.arg_texts[0] = "score";
    set.arg_texts[1] = "score + 1";
    CAction repeat = MakeAction(CAction::kRepeat, CAction::kExecNothing);
    repeat.arg_count = 1;
    repeat.arg_texts[0] = "3";
    o.events[kEventStep][0].actions = {
        question,
        MakeAction(CAction::kBeginBlock, CAction::kExecNothing),
        move,
        MakeAction(CAction::kEndBlock, CAction::kExecNothing),
        MakeAction(CAction::kElse, CAction::kExecNothing),
        repeat,
        set,
        MakeAction(CAction::kExit, CAction::kExecNothing),
    };
    o.events[kEventAlarm][3].actions = {CodeAction("alarm[3] = 30; // again\r\n")};
    o.events[kEventCollision][3].actions = {
        MakeAction(CAction::kNormal, CAction::kExecFunction, "action_bounce")};
    o.events[kEventKeyboard][37].actions = {
        MakeAction(CAction::kNormal, CAction::kExecFunction, "action_move_left")};
    o.events[kEventOther][10].actions = {MakeAction(CAction::kNormal, CAction::kExecNothing)};
    // A code action that also holds a code text (which running it ignores).
    o.events[kEventTrigger][1].actions = {
        MakeAction(CAction::kCode, CAction::kExecCode, "", "instance_destroy();")};
    o.events[kEventTrigger][1].actions[0].arg_texts[0] = "x = 1;";
    return o;
}

CRoom FirstRoom() {
    CRoom r;
    r.caption = "Level \"1\"";
    r.width = 320;
    r.height = 240;
    r.speed = 60;
    r.persistent = true;
    r.background_color = 0x123456;
    r.show_background_color = false;
    r.creation_code = "global.level = 1;";
    r.backgrounds[0] = {true, false, 0, 16, -8, true, false, 1, -2, true};  // stretched
    r.backgrounds[1] = {true, false, -1, 0, 0, false, false, 0, 0, true};   // stretch, no image
    r.backgrounds[7] = {true, true, 1, 0, 0, false, true, 0, 3, false};
    r.views_enabled = true;
    r.views[0] = {true, 10, 20, 160, 120, 0, 0, 320, 240, 64, 48, -1, 4, 3};
    r.views[7].object = 100005;
    r.instances = {{32, 64, 1, 100001, ""},
                   {-16, 0, 0, 100002, "hp = 10;"},
                   {48, 48, 5, 100003, "// an object that is not there\r\n"}};
    RoomTile t;
    t.x = 96;
    t.y = 128;
    t.background = 0;
    t.left = 2;
    t.top = 1;
    t.width = 4;
    t.height = 2;
    t.depth = 1000000;
    t.id = 10000001;
    RoomTile u = t;
    u.background = 1;
    u.depth = -3;
    u.id = 10000002;
    r.tiles = {t, u};
    return r;
}
}  // namespace

GameWriter FullGame() {
    GameWriter w;
    w.debug_mode = true;
    w.settings = UnusualSettings(true);
    w.d3dx_library = Bytes("library bytes");
    w.game_id = 424242;
    for (int i = 0; i < 16; ++i) w.application_id[size_t(i)] = uint8_t(0xA0 + i);

    w.AddExtensionPackage(SomePackage());
    CExtensionPackage empty_package;
    empty_package.name = "Empty";
    empty_package.folder = "empty";
    w.AddExtensionPackage(empty_package);

    CTrigger door;
    door.name = "trig_door";
    door.condition = "x > 3";
    door.moment = CTrigger::kEndStep;
    door.constant_name = "tr_door";
    w.Add("", door);
    w.AddEmptySlot(SectionId::kTriggers);
    CTrigger other = door;
    other.name = "trig_other";
    other.condition = "instance_number(obj_player) == 0";
    other.moment = CTrigger::kStep;
    other.constant_name = "tr_other";
    w.Add("", other);

    w.AddConstant("MAX_LIVES", "3");
    w.AddConstant("TITLE", "\"Hi\"");

    CSound beep;
    beep.kind = CSound::kNormal;
    beep.file_type = ".wav";
    beep.file_name = "beep.wav";
    beep.has_data = true;
    beep.data = Bytes("RIFF....WAVEfmt sound bytes");
    beep.effects = 5;
    beep.volume = 0.75;
    beep.pan = -0.25;
    beep.preload = false;
    w.Add("snd_beep", beep);
    w.AddEmptySlot(SectionId::kSounds);
    CSound music;
    music.kind = CSound::kBackgroundMusic;
    music.file_type = ".mid";
    music.file_name = "";
    w.Add("snd_music", music);  // no data stored

    w.Add("spr_player", PatternSprite(6, 4, 2, false, 1));
    w.AddEmptySlot(SectionId::kSprites);
    w.Add("spr_wall", PatternSprite(5, 3, 3, true, 7));
    w.Add("spr/odd name?", CSprite());  // no frames; a name no file may carry
    w.Add("dup", PatternSprite(2, 2, 1, false, 3));
    w.Add("dup", PatternSprite(3, 2, 1, false, 4));  // the same name twice

    CBackground sky;
    sky.image = PatternImage(8, 4, 11);
    w.Add("bg_sky", sky);
    CBackground tiles;
    tiles.image = PatternImage(16, 8, 12);
    w.Add("bg_tiles", tiles);
    w.AddEmptySlot(SectionId::kBackgrounds);
    w.Add("bg_none", CBackground());  // no image

    CPath path;
    path.points = {{0, 0, 100}, {32.5, 16, 50}, {64, -8.25, 200}};
    path.kind = CPath::kSmooth;
    path.closed = false;
    path.precision = 6;
    path.Recompute();
    w.Add("path_zigzag", path);
    w.Add("path_empty", CPath());

    CScript move;
    move.text = "// scr_move(dx, dy)\r\nx += argument0;\r\ny += argument1;\r\n";
    w.Add("scr_move", move);
    w.AddEmptySlot(SectionId::kScripts);
    CScript empty;
    w.Add("scr_empty", empty);

    CFont font;
    font.name = "Arial";
    font.size = 10;
    font.bold = true;
    font.first = 32;
    font.last = 34;
    for (int c = 32; c <= 34; ++c) font.glyphs[size_t(c)] = {(c - 32) * 3, 0, 3, 4, 4, 1};
    font.image_width = 9;
    font.image_height = 4;
    for (int i = 0; i < 36; ++i) font.image.push_back(uint8_t(i * 7));
    w.Add("fnt_small", font);

    CTimeLine timeline;
    timeline.moments = {{0, {}}, {30, {}}};
    timeline.moments[0].event.actions = {CodeAction("speed = 2;")};
    timeline.moments[1].event.actions = {
        MakeAction(CAction::kNormal, CAction::kExecFunction, "action_kill_object")};
    w.Add("tl_intro", timeline);

    w.Add("obj_base", Objects(0));
    w.Add("obj_player", Objects(1));
    w.AddEmptySlot(SectionId::kObjects);
    w.Add("obj_wall", CObject());

    w.Add("room_first", FirstRoom());
    w.AddEmptySlot(SectionId::kRooms);
    CRoom second;
    second.caption = "Second";
    w.Add("room_second", second);
    w.last_instance_id = 100123;
    w.last_tile_id = 10000456;

    w.AddIncludedFile(SomeIncludedFile());
    CDataFile not_stored;
    not_stored.file_name = "music.ogg";
    not_stored.source_path = "C:\\src\\music.ogg";
    not_stored.size = 1234;
    w.AddIncludedFile(not_stored);

    CGameInformation info;
    info.caption = "Help!";
    info.left = 7;
    info.separate_window = true;
    info.text = "{\\rtf1\\ansi hi\\par}";
    w.SetGameInformation(info);
    w.AddLibraryInitCode("global.lives = 3;");
    w.AddLibraryInitCode("global.name = \"x\";");
    w.room_order = {2, 0};
    return w;
}

namespace {
template <typename T>
bool SameTable(const ResourceTable<T>& a, const ResourceTable<T>& b, std::string& why,
               const char* kind) {
    if (a.Count() != b.Count()) {
        why = std::string(kind) + ": " + std::to_string(a.Count()) + " slots against " +
              std::to_string(b.Count());
        return false;
    }
    for (int i = 0; i < a.Count(); ++i) {
        const T* x = a.Get(i);
        const T* y = b.Get(i);
        if (a.StoredName(i) != b.StoredName(i) || (x == nullptr) != (y == nullptr) ||
            (x && !(*x == *y))) {
            why =
                std::string(kind) + " " + std::to_string(i) + " (" + a.StoredName(i) + ") differs";
            return false;
        }
    }
    return true;
}
}  // namespace

::testing::AssertionResult SameGame(const GameData& a, const GameData& b) {
    std::string why;
    auto differ = [&why](bool same, const char* what) {
        if (!same && why.empty()) why = what;
        return !same;
    };
    differ(a.debug_mode == b.debug_mode, "debug mode");
    differ(a.settings == b.settings, "settings");
    differ(a.d3dx_name == b.d3dx_name && a.d3dx_size == b.d3dx_size, "D3DX library");
    differ(a.game_id == b.game_id && a.application_id == b.application_id, "game id");
    differ(a.extension_packages == b.extension_packages, "extension packages");
    differ(a.constant_names == b.constant_names && a.constant_values == b.constant_values,
           "constants");
    differ(a.last_instance_id == b.last_instance_id && a.last_tile_id == b.last_tile_id,
           "last ids");
    differ(a.included_files == b.included_files, "included files");
    differ(a.game_information == b.game_information, "game information");
    differ(a.library_init_code == b.library_init_code, "library init code");
    differ(a.room_order == b.room_order, "room order");
    if (why.empty()) {
        SameTable(a.triggers, b.triggers, why, "trigger") &&
            SameTable(a.sounds, b.sounds, why, "sound") &&
            SameTable(a.sprites, b.sprites, why, "sprite") &&
            SameTable(a.backgrounds, b.backgrounds, why, "background") &&
            SameTable(a.paths, b.paths, why, "path") &&
            SameTable(a.scripts, b.scripts, why, "script") &&
            SameTable(a.fonts, b.fonts, why, "font") &&
            SameTable(a.time_lines, b.time_lines, why, "time line") &&
            SameTable(a.objects, b.objects, why, "object") &&
            SameTable(a.rooms, b.rooms, why, "room");
    }
    if (why.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << why;
}

}  // namespace kr::test
