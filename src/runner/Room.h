// CRoom: a room resource: size, speed, caption, background colour, 8 background layers (CBack),
// 8 views (CView), the instances placed in it (as stored: position, object, id, creation code)
// and its tiles. Entering a room at run time works on a copy of this resource.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kr {

class CStream;

inline constexpr int32_t kRoomVersion = 541;
inline constexpr int32_t kRoomBackgroundCount = 8;
inline constexpr int32_t kRoomViewCount = 8;

// A background or foreground layer.
class CBack {
public:
    bool visible = false;
    bool foreground = false;
    int32_t index = -1;  // background resource, -1 none
    double x = 0, y = 0;
    bool tile_h = true, tile_v = true;
    double hspeed = 0, vspeed = 0;
    // Stored flag: stretch the background over the room. CRoom::ApplyStretch turns it into the
    // scales once the backgrounds' sizes are known.
    bool stretch = false;
    double xscale = 1, yscale = 1;
    int32_t blend = 0xFFFFFF;
    double alpha = 1;

    bool operator==(const CBack&) const = default;
};

class CView {
public:
    bool visible = false;
    int32_t xview = 0, yview = 0, wview = 640, hview = 480;  // the room area shown
    int32_t xport = 0, yport = 0, wport = 640, hport = 480;  // where it is shown
    int32_t hborder = 32, vborder = 32;  // distance kept to the followed instance
    int32_t hspeed = -1, vspeed = -1;    // -1 unlimited
    int32_t object = -1;  // object index below 100000, else an instance id; negative none
    double angle = 0;     // not stored

    bool operator==(const CView&) const = default;
};

// An instance placed in the room by the authoring tool.
struct RoomInstance {
    int32_t x = 0, y = 0;
    int32_t object = 0;
    int32_t id = 0;
    std::string creation_code;

    bool operator==(const RoomInstance&) const = default;
};

struct RoomTile {
    double x = 0, y = 0;
    int32_t background = -1;
    int32_t left = 0, top = 0, width = 0, height = 0;  // the part of the background
    double depth = 0;
    int32_t id = 0;
    // Not stored; tiles start unscaled, white, opaque and visible.
    double xscale = 1, yscale = 1;
    int32_t blend = 0xFFFFFF;
    double alpha = 1;
    bool visible = true;

    bool operator==(const RoomTile&) const = default;
};

// Width and height of background `index`; false when it does not exist.
using BackgroundSizeLookup = std::function<bool(int32_t index, int32_t& width, int32_t& height)>;

class CRoom {
public:
    std::string caption;
    int32_t width = 640, height = 480;
    int32_t speed = 30;
    bool persistent = false;
    int32_t background_color = 0xC0C0C0;
    bool show_background_color = true;
    std::string creation_code;
    std::array<CBack, kRoomBackgroundCount> backgrounds;
    bool views_enabled = false;
    std::array<CView, kRoomViewCount> views;
    std::vector<RoomInstance> instances;
    std::vector<RoomTile> tiles;

    // The record that follows the name in a rooms-section entry. Stored layers and views fill
    // the slots from 0; the rest keep their defaults. False on a wrong version, more than 8
    // layers or views, or a failed stream. Stretched layers keep scale 1 until ApplyStretch.
    bool LoadFromStream(CStream& s);
    // Writes all 8 layers and views. Positions, speeds and depths are stored as integers.
    void SaveToStream(CStream& s) const;

    // Sets the scales of the layers marked stretch: room width / background width (height
    // likewise) when the background exists with a positive size, otherwise 1.
    void ApplyStretch(const BackgroundSizeLookup& size);

    bool operator==(const CRoom&) const = default;
};

}  // namespace kr
