// Saving and loading the game state. Every field goes through CStream in the fixed order of
// docs/saved-games.md; the reader builds the whole saved state apart from the running game and
// only a file that reads cleanly to its end is applied.
#include "runner/SaveGame.h"

#include <algorithm>

#include "data/Stream.h"
#include "objects/Instance.h"
#include "platform/Files.h"
#include "runner/Runner.h"

namespace kr {

namespace {

// The smallest records, for ReadCount: a corrupt count can then never drive a long loop.
constexpr size_t kInstanceRecordMinBytes = 368;
constexpr size_t kTileRecordBytes = 80;
constexpr size_t kRoomSlotMinBytes = 4;
constexpr int32_t kGlobalsVersion = 700;
constexpr int32_t kVariablesVersion = 440;

// Whether the next integer is `version`, without moving past it: the global store and
// variable lists take a wrong version as an empty record, which in a saved game means damage.
bool NextIs(CStream& s, int32_t version) {
    const size_t at = s.Position();
    const bool same = s.ReadInteger() == version && !s.Failed();
    s.Seek(at);
    return same;
}

// ---- Layers, views and tiles -----------------------------------------------------------------

void WriteBack(const CBack& b, CStream& s) {
    s.WriteBoolean(b.visible);
    s.WriteBoolean(b.foreground);
    s.WriteInteger(b.index);
    s.WriteReal(b.x);
    s.WriteReal(b.y);
    s.WriteBoolean(b.tile_h);
    s.WriteBoolean(b.tile_v);
    s.WriteReal(b.xscale);
    s.WriteReal(b.yscale);
    s.WriteReal(b.hspeed);
    s.WriteReal(b.vspeed);
    s.WriteInteger(b.blend);
    s.WriteReal(b.alpha);
}

void ReadBack(CBack& b, CStream& s) {
    b.visible = s.ReadBoolean();
    b.foreground = s.ReadBoolean();
    b.index = s.ReadInteger();
    b.x = s.ReadReal();
    b.y = s.ReadReal();
    b.tile_h = s.ReadBoolean();
    b.tile_v = s.ReadBoolean();
    b.xscale = s.ReadReal();
    b.yscale = s.ReadReal();
    b.hspeed = s.ReadReal();
    b.vspeed = s.ReadReal();
    b.blend = s.ReadInteger();
    b.alpha = s.ReadReal();
    b.stretch = false;  // the scales are stored as they were applied
}

void WriteView(const CView& v, CStream& s) {
    s.WriteBoolean(v.visible);
    for (int32_t f : {v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport})
        s.WriteInteger(f);
    s.WriteReal(v.angle);
    for (int32_t f : {v.hborder, v.vborder, v.hspeed, v.vspeed, v.object}) s.WriteInteger(f);
}

void ReadView(CView& v, CStream& s) {
    v.visible = s.ReadBoolean();
    for (int32_t* f :
         {&v.xview, &v.yview, &v.wview, &v.hview, &v.xport, &v.yport, &v.wport, &v.hport})
        *f = s.ReadInteger();
    v.angle = s.ReadReal();
    for (int32_t* f : {&v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.object})
        *f = s.ReadInteger();
}

void WriteTile(const RoomTile& t, CStream& s) {
    s.WriteReal(t.x);
    s.WriteReal(t.y);
    s.WriteInteger(t.background);
    s.WriteInteger(t.left);
    s.WriteInteger(t.top);
    s.WriteInteger(t.width);
    s.WriteInteger(t.height);
    s.WriteReal(t.depth);
    s.WriteInteger(t.id);
    s.WriteReal(t.xscale);
    s.WriteReal(t.yscale);
    s.WriteInteger(t.blend);
    s.WriteReal(t.alpha);
    s.WriteBoolean(t.visible);
}

void ReadTile(RoomTile& t, CStream& s) {
    t.x = s.ReadReal();
    t.y = s.ReadReal();
    t.background = s.ReadInteger();
    t.left = s.ReadInteger();
    t.top = s.ReadInteger();
    t.width = s.ReadInteger();
    t.height = s.ReadInteger();
    t.depth = s.ReadReal();
    t.id = s.ReadInteger();
    t.xscale = s.ReadReal();
    t.yscale = s.ReadReal();
    t.blend = s.ReadInteger();
    t.alpha = s.ReadReal();
    t.visible = s.ReadBoolean();
}

// ---- Instances -------------------------------------------------------------------------------

// An instance record as stored, before an instance is made from it.
struct InstanceRecord {
    int32_t id = 0, sprite_index = -1;
    double image_index = 0, image_speed = 1, image_xscale = 1, image_yscale = 1, image_angle = 0,
           image_alpha = 1;
    int32_t image_blend = 0xFFFFFF, mask_index = -1;
    double depth = 0, x = 0, y = 0, xstart = 0, ystart = 0, xprevious = 0, yprevious = 0,
           direction = 0, speed = 0, friction = 0, gravity_direction = 270, gravity = 0, hspeed = 0,
           vspeed = 0;
    CollisionBox box;
    bool visible = true, solid = false, persistent = false;
    int32_t object_index = 0;
    std::array<int32_t, kAlarmCount> alarm{};
    bool deleted = false, deactivated = false;
    int32_t path_index = -1;
    double path_position = 0, path_positionprevious = 0, path_speed = 0, path_scale = 1,
           path_orientation = 0;
    int32_t path_endaction = 0;
    double path_xstart = 0, path_ystart = 0;
    int32_t timeline_index = -1;
    double timeline_position = 0, timeline_speed = 1;
    bool timeline_running = false, timeline_loop = false;
    std::string creation_code;
    CVariableList vars;
};

bool ReadInstanceRecord(InstanceRecord& r, CStream& s) {
    r.id = s.ReadInteger();
    r.sprite_index = s.ReadInteger();
    for (double* f : {&r.image_index, &r.image_speed, &r.image_xscale, &r.image_yscale,
                      &r.image_angle, &r.image_alpha})
        *f = s.ReadReal();
    r.image_blend = s.ReadInteger();
    r.mask_index = s.ReadInteger();
    for (double* f :
         {&r.depth, &r.x, &r.y, &r.xstart, &r.ystart, &r.xprevious, &r.yprevious, &r.direction,
          &r.speed, &r.friction, &r.gravity_direction, &r.gravity, &r.hspeed, &r.vspeed})
        *f = s.ReadReal();
    r.box.left = s.ReadInteger();
    r.box.right = s.ReadInteger();
    r.box.top = s.ReadInteger();
    r.box.bottom = s.ReadInteger();
    r.visible = s.ReadBoolean();
    r.solid = s.ReadBoolean();
    r.persistent = s.ReadBoolean();
    r.object_index = s.ReadInteger();
    for (int32_t& a : r.alarm) a = s.ReadInteger();
    r.deleted = s.ReadBoolean();
    r.deactivated = s.ReadBoolean();
    r.path_index = s.ReadInteger();
    for (double* f : {&r.path_position, &r.path_positionprevious, &r.path_speed, &r.path_scale,
                      &r.path_orientation})
        *f = s.ReadReal();
    r.path_endaction = s.ReadInteger();
    r.path_xstart = s.ReadReal();
    r.path_ystart = s.ReadReal();
    r.timeline_index = s.ReadInteger();
    r.timeline_position = s.ReadReal();
    r.timeline_speed = s.ReadReal();
    r.timeline_running = s.ReadBoolean();
    r.timeline_loop = s.ReadBoolean();
    r.creation_code = s.ReadString();
    if (s.Failed() || !NextIs(s, kVariablesVersion)) return false;
    return r.vars.LoadFromStream(s) && !s.Failed();
}

// Makes the instance of a record in `room`. The object's defaults that creation applies are
// then overwritten by the stored fields.
void MakeInstance(InstanceList& room, InstanceRecord& r, bool inactive) {
    CInstance& inst = room.AddInstanceWithId(r.object_index, r.x, r.y, r.id);
    inst.SetSprite(r.sprite_index);
    inst.SetMask(r.mask_index);
    inst.image_index = r.image_index;
    inst.image_speed = r.image_speed;
    inst.SetXScale(r.image_xscale);
    inst.SetYScale(r.image_yscale);
    inst.SetAngle(r.image_angle);
    inst.image_alpha = r.image_alpha;
    inst.image_blend = r.image_blend;
    inst.depth = r.depth;
    inst.xstart = r.xstart;
    inst.ystart = r.ystart;
    inst.xprevious = r.xprevious;
    inst.yprevious = r.yprevious;
    inst.RestoreMotion(r.direction, r.speed, r.hspeed, r.vspeed);
    inst.friction = r.friction;
    inst.gravity_direction = r.gravity_direction;
    inst.gravity = r.gravity;
    inst.RestoreBox(r.box);
    inst.visible = r.visible;
    inst.solid = r.solid;
    inst.persistent = r.persistent;
    inst.alarm = r.alarm;
    inst.deleted = r.deleted;
    inst.deactivated = inactive;
    inst.path_index = r.path_index;
    inst.SetPathPosition(r.path_position);
    inst.SetPathPositionPrevious(r.path_positionprevious);
    inst.path_speed = r.path_speed;
    inst.path_scale = r.path_scale;
    inst.path_orientation = r.path_orientation;
    inst.path_endaction = r.path_endaction;
    inst.path_xstart = r.path_xstart;
    inst.path_ystart = r.path_ystart;
    inst.timeline_index = r.timeline_index;
    inst.timeline_position = r.timeline_position;
    inst.timeline_speed = r.timeline_speed;
    inst.timeline_running = r.timeline_running;
    inst.timeline_loop = r.timeline_loop;
    inst.creation_code = std::move(r.creation_code);
    inst.vars = std::move(r.vars);
}

bool ReadInstances(InstanceList& room, CStream& s, bool inactive) {
    const int32_t n = s.ReadCount(kInstanceRecordMinBytes);
    for (int32_t i = 0; i < n; ++i) {
        InstanceRecord r;
        if (!ReadInstanceRecord(r, s)) return false;
        MakeInstance(room, r, inactive);
    }
    return !s.Failed();
}

}  // namespace

void SaveInstanceToStream(const CInstance& inst, CStream& s) {
    s.WriteInteger(inst.id);
    s.WriteInteger(inst.SpriteIndex());
    for (double f : {inst.image_index, inst.image_speed, inst.XScale(), inst.YScale(), inst.Angle(),
                     inst.image_alpha})
        s.WriteReal(f);
    s.WriteInteger(inst.image_blend);
    s.WriteInteger(inst.MaskIndex());
    for (double f : {inst.depth, inst.X(), inst.Y(), inst.xstart, inst.ystart, inst.xprevious,
                     inst.yprevious, inst.Direction(), inst.Speed(), inst.friction,
                     inst.gravity_direction, inst.gravity, inst.HSpeed(), inst.VSpeed()})
        s.WriteReal(f);
    s.WriteInteger(inst.BBoxLeft());
    s.WriteInteger(inst.BBoxRight());
    s.WriteInteger(inst.BBoxTop());
    s.WriteInteger(inst.BBoxBottom());
    s.WriteBoolean(inst.visible);
    s.WriteBoolean(inst.solid);
    s.WriteBoolean(inst.persistent);
    s.WriteInteger(inst.object_index);
    for (int32_t a : inst.alarm) s.WriteInteger(a);
    s.WriteBoolean(inst.deleted);
    s.WriteBoolean(inst.deactivated);
    s.WriteInteger(inst.path_index);
    for (double f : {inst.PathPosition(), inst.PathPositionPrevious(), inst.path_speed,
                     inst.path_scale, inst.path_orientation})
        s.WriteReal(f);
    s.WriteInteger(inst.path_endaction);
    s.WriteReal(inst.path_xstart);
    s.WriteReal(inst.path_ystart);
    s.WriteInteger(inst.timeline_index);
    s.WriteReal(inst.timeline_position);
    s.WriteReal(inst.timeline_speed);
    s.WriteBoolean(inst.timeline_running);
    s.WriteBoolean(inst.timeline_loop);
    s.WriteString(inst.creation_code);
    inst.vars.SaveToStream(s);
}

void SaveRoomToStream(const RoomState& state, CStream& s) {
    const CRoom& room = state.room;
    s.WriteInteger(kSavedGameVersion);
    s.WriteString(room.caption);
    s.WriteInteger(room.width);
    s.WriteInteger(room.height);
    s.WriteInteger(room.speed);
    s.WriteBoolean(room.persistent);
    s.WriteInteger(room.background_color);
    s.WriteBoolean(room.show_background_color);
    s.WriteString(room.creation_code);
    s.WriteInteger(kRoomBackgroundCount);
    for (const CBack& b : room.backgrounds) WriteBack(b, s);
    s.WriteBoolean(room.views_enabled);
    s.WriteInteger(kRoomViewCount);
    for (const CView& v : room.views) WriteView(v, s);
    const InstanceList& list = state.instances;
    s.WriteInteger(list.Count());
    for (int32_t i = 0; i < list.Count(); ++i) SaveInstanceToStream(*list.At(i), s);
    s.WriteInteger(list.InactiveCount());
    for (int32_t i = 0; i < list.InactiveCount(); ++i) SaveInstanceToStream(*list.InactiveAt(i), s);
    s.WriteInteger(int32_t(room.tiles.size()));
    for (const RoomTile& t : room.tiles) WriteTile(t, s);
}

// A room record with a version other than 540 or other than 8 layers or views is refused;
// reading stops there.
bool LoadRoomFromStream(RoomState& state, CStream& s) {
    state.instances.Clear();
    state.room = CRoom();
    CRoom& room = state.room;
    if (s.ReadInteger() != kSavedGameVersion) return false;
    room.caption = s.ReadString();
    room.width = s.ReadInteger();
    room.height = s.ReadInteger();
    room.speed = s.ReadInteger();
    room.persistent = s.ReadBoolean();
    room.background_color = s.ReadInteger();
    room.show_background_color = s.ReadBoolean();
    room.creation_code = s.ReadString();
    if (s.ReadInteger() != kRoomBackgroundCount) return false;
    for (CBack& b : room.backgrounds) ReadBack(b, s);
    room.views_enabled = s.ReadBoolean();
    if (s.ReadInteger() != kRoomViewCount) return false;
    for (CView& v : room.views) ReadView(v, s);
    if (s.Failed()) return false;
    if (!ReadInstances(state.instances, s, false) || !ReadInstances(state.instances, s, true))
        return false;
    // The inactive instances were appended marked; this moves them to the inactive list in
    // their stored order.
    state.instances.UpdateActivation();
    const int32_t tiles = s.ReadCount(kTileRecordBytes);
    room.tiles.resize(size_t(tiles));
    for (RoomTile& t : room.tiles) ReadTile(t, s);
    return !s.Failed();
}

SaveReadResult ReadSavedGame(CStream& s, InstanceWorld& world, const SavedGameChecks& checks,
                             SavedGame& out) {
    if (s.ReadInteger() != kSavedGameVersion || s.Failed()) return SaveReadResult::kOtherVersion;
    if (s.ReadInteger() != checks.game_id || s.Failed()) return SaveReadResult::kOtherGame;
    constexpr SaveReadResult kDamaged = SaveReadResult::kDamaged;
    out.room_index = s.ReadInteger();
    out.transition_kind = s.ReadInteger();
    out.score = s.ReadInteger();
    out.lives = s.ReadInteger();
    out.health = s.ReadReal();
    out.cursor_sprite = s.ReadInteger();
    out.step_count = s.ReadInteger();
    out.automatic_draw = s.ReadBoolean();
    if (s.Failed() || !NextIs(s, kGlobalsVersion)) return kDamaged;
    if (!out.globals.LoadGlobals(s) || s.Failed()) return kDamaged;
    const int32_t n = s.ReadCount(kRoomSlotMinBytes);
    if (s.Failed()) return kDamaged;
    out.rooms.clear();
    out.rooms.resize(size_t(n));
    for (int32_t i = 0; i < n; ++i) {
        const bool present = s.ReadBoolean();
        if (s.Failed()) return kDamaged;
        if (!present) continue;
        if (!checks.room_exists || !checks.room_exists(i)) return kDamaged;
        auto room = std::make_unique<RoomState>(world);
        if (!LoadRoomFromStream(*room, s)) return kDamaged;
        out.rooms[size_t(i)] = std::move(room);
    }
    out.last_instance_id = s.ReadInteger();
    out.last_tile_id = s.ReadInteger();
    if (s.Failed() || !s.AtEnd()) return kDamaged;
    if (out.room_index < 0 || out.room_index >= n || !out.rooms[size_t(out.room_index)])
        return kDamaged;
    return SaveReadResult::kOk;
}

void WriteSavedGame(Runner& r, CStream& s) {
    GameLoop& loop = r.Loop();
    const GameVariables& v = r.Vars();
    s.WriteInteger(kSavedGameVersion);
    s.WriteInteger(r.Game().game_id);
    s.WriteInteger(loop.RoomIndex());
    s.WriteInteger(v.transition_kind);
    s.WriteInteger(v.score);
    s.WriteInteger(v.lives);
    s.WriteReal(v.health);
    s.WriteInteger(v.cursor_sprite);
    s.WriteInteger(int32_t(std::clamp<int64_t>(loop.StepCount(), INT32_MIN, INT32_MAX)));
    s.WriteBoolean(loop.automatic_draw);
    r.GetRuntime().Globals().SaveGlobals(s);
    const std::vector<std::unique_ptr<RoomState>>& rooms = loop.KeptRooms();
    s.WriteInteger(int32_t(rooms.size()));
    for (const std::unique_ptr<RoomState>& room : rooms) {
        s.WriteBoolean(room != nullptr);
        if (room) SaveRoomToStream(*room, s);
    }
    s.WriteInteger(r.World().LastInstanceId());
    s.WriteInteger(r.Game().last_tile_id);
}

void SaveGame(Runner& r, const std::string& name) {
    Runtime& rt = r.GetRuntime();
    if (r.SecureMode() && name.find_first_of("\\/") != std::string::npos) {
        rt.RuntimeError("In secure mode you cannot save game to file " + name);
        return;
    }
    CStream s;
    WriteSavedGame(r, s);
    if (!s.SaveToFile(name)) rt.RuntimeError("Failed to save game to file " + name);
}

void LoadGame(Runner& r, const std::string& name) {
    if (!FileExists(name)) return;
    Runtime& rt = r.GetRuntime();
    CStream s;
    if (!s.LoadFromFile(name)) {
        rt.RuntimeError("Failed to load game from file " + name);
        return;
    }
    SavedGameChecks checks;
    checks.game_id = r.Game().game_id;
    checks.room_exists = [&r](int32_t room) { return r.Loop().RoomExists(room); };
    SavedGame g;
    switch (ReadSavedGame(s, r.World(), checks, g)) {
        case SaveReadResult::kOk:
            break;
        case SaveReadResult::kOtherVersion:
            rt.RuntimeError("Cannot load game saved with other version.");
            return;
        case SaveReadResult::kOtherGame:
            rt.RuntimeError("This is a save file for a different game!");
            return;
        case SaveReadResult::kDamaged:
            rt.RuntimeError("Failed to load game from file " + name + " (the file is damaged)");
            return;
    }
    // Plain assignments: lives or health at 0 raise no event here.
    GameVariables& v = r.Vars();
    v.transition_kind = g.transition_kind;
    v.score = g.score;
    v.lives = g.lives;
    v.health = g.health;
    v.cursor_sprite = g.cursor_sprite;
    GameLoop& loop = r.Loop();
    loop.SetStepCount(g.step_count);
    loop.automatic_draw = g.automatic_draw;
    rt.Globals() = std::move(g.globals);
    loop.InstallRooms(std::move(g.rooms), g.room_index);
    r.World().SetLastInstanceId(g.last_instance_id);
    r.Game().last_tile_id = g.last_tile_id;
}

// ---- The loop's side of a load ---------------------------------------------------------------

void GameLoop::InstallRooms(std::vector<std::unique_ptr<RoomState>> rooms, int32_t current) {
    carried_.clear();
    rooms_ = std::move(rooms);
    const size_t game_rooms = size_t(std::max(0, runner_.Game().rooms.Count()));
    if (rooms_.size() < game_rooms) rooms_.resize(game_rooms);
    room_index_ = current;
    current_ = rooms_[size_t(current)].get();
    GameWindow& window = *runner_.GetPlatform().window;
    window.SetCaption(Room().caption);
    if (window_shown_) {
        int32_t w, h;
        RegionSize(w, h);
        window.Open(w, h);
    }
}

}  // namespace kr
