// Reading and writing the room record.
#include "runner/Room.h"

#include <cmath>
#include <limits>

#include "data/Stream.h"

namespace kr {

namespace {
constexpr size_t kStoredBackBytes = 10 * 4;
constexpr size_t kStoredViewBytes = 14 * 4;
constexpr size_t kStoredInstanceBytes = 5 * 4;
constexpr size_t kStoredTileBytes = 9 * 4;

// Positions, speeds and depths are reals in memory and integers in the record.
int32_t StoredInt(double v) {
    if (std::isnan(v)) return 0;
    if (v <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    if (v >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return int32_t(std::nearbyint(v));
}

void ReadBack(CStream& s, CBack& b) {
    b = CBack();
    b.visible = s.ReadBoolean();
    b.foreground = s.ReadBoolean();
    b.index = s.ReadInteger();
    b.x = s.ReadInteger();
    b.y = s.ReadInteger();
    b.tile_h = s.ReadBoolean();
    b.tile_v = s.ReadBoolean();
    b.hspeed = s.ReadInteger();
    b.vspeed = s.ReadInteger();
    b.stretch = s.ReadBoolean();
}

void WriteBack(CStream& s, const CBack& b) {
    s.WriteBoolean(b.visible);
    s.WriteBoolean(b.foreground);
    s.WriteInteger(b.index);
    s.WriteInteger(StoredInt(b.x));
    s.WriteInteger(StoredInt(b.y));
    s.WriteBoolean(b.tile_h);
    s.WriteBoolean(b.tile_v);
    s.WriteInteger(StoredInt(b.hspeed));
    s.WriteInteger(StoredInt(b.vspeed));
    s.WriteBoolean(b.stretch);
}

void ReadView(CStream& s, CView& v) {
    v = CView();
    v.visible = s.ReadBoolean();
    v.xview = s.ReadInteger();
    v.yview = s.ReadInteger();
    v.wview = s.ReadInteger();
    v.hview = s.ReadInteger();
    v.xport = s.ReadInteger();
    v.yport = s.ReadInteger();
    v.wport = s.ReadInteger();
    v.hport = s.ReadInteger();
    v.hborder = s.ReadInteger();
    v.vborder = s.ReadInteger();
    v.hspeed = s.ReadInteger();
    v.vspeed = s.ReadInteger();
    v.object = s.ReadInteger();
}

void WriteView(CStream& s, const CView& v) {
    s.WriteBoolean(v.visible);
    for (int32_t i : {v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport,
                      v.hborder, v.vborder, v.hspeed, v.vspeed, v.object}) {
        s.WriteInteger(i);
    }
}
}  // namespace

bool CRoom::LoadFromStream(CStream& s) {
    if (s.ReadInteger() != kRoomVersion || s.Failed()) return false;
    caption = s.ReadString();
    width = s.ReadInteger();
    height = s.ReadInteger();
    speed = s.ReadInteger();
    persistent = s.ReadBoolean();
    background_color = s.ReadInteger();
    show_background_color = s.ReadBoolean();
    creation_code = s.ReadString();

    int32_t nbacks = s.ReadCount(kStoredBackBytes);
    if (nbacks > kRoomBackgroundCount) return false;
    backgrounds.fill(CBack());
    for (int32_t i = 0; i < nbacks; ++i) ReadBack(s, backgrounds[size_t(i)]);

    views_enabled = s.ReadBoolean();
    int32_t nviews = s.ReadCount(kStoredViewBytes);
    if (nviews > kRoomViewCount) return false;
    views.fill(CView());
    for (int32_t i = 0; i < nviews; ++i) ReadView(s, views[size_t(i)]);

    instances.resize(size_t(s.ReadCount(kStoredInstanceBytes)));
    for (RoomInstance& in : instances) {
        in.x = s.ReadInteger();
        in.y = s.ReadInteger();
        in.object = s.ReadInteger();
        in.id = s.ReadInteger();
        in.creation_code = s.ReadString();
    }

    tiles.resize(size_t(s.ReadCount(kStoredTileBytes)));
    for (RoomTile& t : tiles) {
        t = RoomTile();
        t.x = s.ReadInteger();
        t.y = s.ReadInteger();
        t.background = s.ReadInteger();
        t.left = s.ReadInteger();
        t.top = s.ReadInteger();
        t.width = s.ReadInteger();
        t.height = s.ReadInteger();
        t.depth = s.ReadInteger();
        t.id = s.ReadInteger();
    }
    return !s.Failed();
}

void CRoom::SaveToStream(CStream& s) const {
    s.WriteInteger(kRoomVersion);
    s.WriteString(caption);
    s.WriteInteger(width);
    s.WriteInteger(height);
    s.WriteInteger(speed);
    s.WriteBoolean(persistent);
    s.WriteInteger(background_color);
    s.WriteBoolean(show_background_color);
    s.WriteString(creation_code);
    s.WriteInteger(kRoomBackgroundCount);
    for (const CBack& b : backgrounds) WriteBack(s, b);
    s.WriteBoolean(views_enabled);
    s.WriteInteger(kRoomViewCount);
    for (const CView& v : views) WriteView(s, v);
    s.WriteInteger(int32_t(instances.size()));
    for (const RoomInstance& in : instances) {
        s.WriteInteger(in.x);
        s.WriteInteger(in.y);
        s.WriteInteger(in.object);
        s.WriteInteger(in.id);
        s.WriteString(in.creation_code);
    }
    s.WriteInteger(int32_t(tiles.size()));
    for (const RoomTile& t : tiles) {
        s.WriteInteger(StoredInt(t.x));
        s.WriteInteger(StoredInt(t.y));
        s.WriteInteger(t.background);
        s.WriteInteger(t.left);
        s.WriteInteger(t.top);
        s.WriteInteger(t.width);
        s.WriteInteger(t.height);
        s.WriteInteger(StoredInt(t.depth));
        s.WriteInteger(t.id);
    }
}

void CRoom::ApplyStretch(const BackgroundSizeLookup& size) {
    for (CBack& b : backgrounds) {
        if (!b.stretch) continue;
        b.xscale = 1;
        b.yscale = 1;
        if (!size) continue;
        int32_t w = 0, h = 0;
        if (!size(b.index, w, h)) continue;
        if (w > 0) b.xscale = double(width) / w;
        if (h > 0) b.yscale = double(height) / h;
    }
}

}  // namespace kr
