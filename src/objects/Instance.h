// CInstance: one live copy of an object in the room: its look (sprite, image, scale, rotation,
// colour), position and motion, the bounding box that follows position and look, alarms, path
// and time-line state, and (through ScriptInstance) its id and script variables.
//
// Two groups of fields are coupled and therefore only written through methods: the velocity
// (direction and speed describe the same motion as hspeed and vspeed), and everything the
// bounding box depends on (position, sprite, mask, scales, angle). Every other field is plain
// data. An instance reaches the sprite and object tables through its InstanceWorld.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "code/Runtime.h"
#include "motion/Collision.h"

namespace kr {

class CSprite;
class InstanceList;

// What an instance takes from its object when it is created or changed.
struct ObjectDefaults {
    int32_t sprite = -1;
    int32_t mask = -1;  // -1: the sprite's own mask
    int32_t depth = 0;
    bool solid = false;
    bool visible = true;
    bool persistent = false;
    int32_t parent = -1;
};

// The game's resources as instances see them, and the run-wide instance id counter. The
// runner implements it over its tables; tests implement it with a few sprites built in code.
class InstanceWorld {
public:
    // The sprite with this index, or null when there is none.
    virtual const CSprite* FindSprite(int32_t index) const = 0;
    // False when object `index` does not exist; otherwise fills `out`.
    virtual bool FindObject(int32_t index, ObjectDefaults& out) const = 0;
    // The next id for an instance created at run time: last id + 1, which becomes the last id.
    virtual int32_t NewInstanceId() = 0;

protected:
    ~InstanceWorld() = default;
};

inline constexpr int32_t kAlarmCount = 12;
// How many instances ahead a walk over many gives CInstance::Prefetch.
inline constexpr int32_t kPrefetchAhead = 4;
// The box of an instance without a mask sprite: far away, so that nothing meets it by box.
inline constexpr int32_t kNoBox = -100000;

class CInstance : public ScriptInstance {
    // What every step reads of every instance comes first, next to the ScriptInstance part:
    // position and motion, the flags, what the box is computed from, the box and the room's
    // bookkeeping, previous position, friction and gravity. From a 64-byte boundary (see
    // operator new) that is the first four cache lines, so walks over many instances read
    // those and not the whole record. The rarely used fields follow.
    double x_ = 0, y_ = 0;
    double hspeed_ = 0, vspeed_ = 0;
    // The position changed since box_ was computed; the room holds the instance in its list of
    // boxes to bring up to date.
    bool box_dirty_ = false;

public:
    bool visible = true;
    bool solid = false;
    bool persistent = false;
    bool deactivated = false;  // marked for the room's inactive list

private:
    int32_t sprite_index_ = -1;
    int32_t mask_index_ = -1;
    double image_xscale_ = 1, image_yscale_ = 1, image_angle_ = 0;
    CollisionBox box_{kNoBox, kNoBox, kNoBox, kNoBox};
    InstanceWorld* world_;
    // Room bookkeeping, owned by InstanceList.
    InstanceList* room_ = nullptr;
    int32_t list_pos_ = -1;       // position in the room's active (or inactive) array
    int32_t direct_pos_ = -1;     // position in its object's direct list, -1 when in none
    int32_t direct_object_ = -1;  // the object of that direct list
    int32_t grid_slot_ = -1;      // entry in the room's grid, -1 when not in it

public:
    double xprevious = 0, yprevious = 0;
    double friction = 0;
    double gravity_direction = 270;
    double gravity = 0;
    double image_index = 0;
    double image_speed = 1;
    double depth = 0;

private:
    double direction_ = 0, speed_ = 0;

public:
    // Create: a new instance at (x, y) with the defaults, then SetObject(object_index).
    CInstance(InstanceWorld& world, double x, double y, int32_t id, int32_t object_index);
    ~CInstance();
    CInstance(const CInstance&) = delete;
    CInstance& operator=(const CInstance&) = delete;
    // Instances come from a pool of records that start at 64-byte boundaries, in large blocks:
    // the instances of a room lie one after another, and the lines every step reads are
    // exactly the first four of each record.
    static void* operator new(size_t size);
    static void operator delete(void* p, size_t size) noexcept;

    InstanceWorld& World() const { return *world_; }

    // ---- Plain fields (written directly; those above as well) ----
    double image_alpha = 1;
    int32_t image_blend = 0xFFFFFF;
    double xstart = 0, ystart = 0;
    std::array<int32_t, kAlarmCount> alarm;  // -1: not set
    int32_t path_index = -1;
    double path_speed = 0;
    double path_scale = 1;
    double path_orientation = 0;
    int32_t path_endaction = 0;
    double path_xstart = 0, path_ystart = 0;
    int32_t timeline_index = -1;
    double timeline_position = 0;
    double timeline_speed = 1;
    bool timeline_running = false;
    bool timeline_loop = false;
    std::string creation_code;

    // ---- Coupled fields (read here, written through the setters below) ----
    double X() const { return x_; }
    double Y() const { return y_; }
    int32_t SpriteIndex() const { return sprite_index_; }
    int32_t MaskIndex() const { return mask_index_; }
    double XScale() const { return image_xscale_; }
    double YScale() const { return image_yscale_; }
    double Angle() const { return image_angle_; }
    double Direction() const { return direction_; }
    double Speed() const { return speed_; }
    double HSpeed() const { return hspeed_; }
    double VSpeed() const { return vspeed_; }
    double PathPosition() const { return path_position_; }
    double PathPositionPrevious() const { return path_positionprevious_; }
    // The box follows position changes lazily: a move only marks it, and the first reader
    // (or the room, before any search) brings it up to date.
    const CollisionBox& Box() const {
        if (box_dirty_) const_cast<CInstance*>(this)->ComputeBoundingBox();
        return box_;
    }
    int32_t BBoxLeft() const { return Box().left; }
    int32_t BBoxTop() const { return Box().top; }
    int32_t BBoxRight() const { return Box().right; }
    int32_t BBoxBottom() const { return Box().bottom; }

    // object_index = index; when the object exists, the sprite (SetSprite), mask, depth, solid,
    // visible and persistent come from it. The box is recomputed.
    void SetObject(int32_t index);
    // sprite_index = index; image_index goes back to 0 when the sprite does not exist or has no
    // more images than floor(image_index).
    void SetSprite(int32_t index);
    void SetMask(int32_t index);
    // Stores both; when either coordinate differs the box is marked for recomputing.
    void SetPosition(double x, double y);
    void SetXScale(double v);
    void SetYScale(double v);
    void SetAngle(double v);

    // direction is kept in [0, 360); hspeed and vspeed follow.
    void SetDirection(double v);
    void SetSpeed(double v);
    // direction and speed follow.
    void SetHSpeed(double v);
    void SetVSpeed(double v);
    // Adds a vector of length l in direction d (degrees) to the velocity.
    void AddMotion(double d, double l);
    // Once per step before moving: friction towards speed 0 (never past it), then gravity.
    void ApplyFrictionAndGravity();

    // Alarm i, or -1 (reading) and nothing (writing) for i outside 0..11.
    int32_t GetAlarm(int32_t i) const;
    void SetAlarm(int32_t i, int32_t value);

    // Clamped to [0, 1]; a value that is not a number stores 0.
    void SetPathPosition(double v);
    void SetPathPositionPrevious(double v);

    // The number of images of the sprite, 0 when it does not exist.
    int32_t ImageNumber() const;
    // Once per step: image_index += image_speed, wrapping past the last image. Returns true
    // when it wrapped, and the caller then performs the animation-end event.
    bool AdvanceAnimation();

    // Takes the source's fields: id, object, variables, look, position, motion, box, flags,
    // alarms, path fields (except path_xstart and path_ystart) and time-line fields. The room's
    // indexes follow (the id lookup and the spatial grid).
    void Assign(const CInstance& src);
    // Gives the instance another id, keeping the room's id lookup in step.
    void ChangeId(int32_t new_id);
    // A saved game's instance: the four motion fields exactly as stored (they are not derived
    // from one another), and the bounding box as stored (not recomputed).
    void RestoreMotion(double direction, double speed, double hspeed, double vspeed);
    void RestoreBox(const CollisionBox& box);

    // ---- Collision support ----
    // The sprite whose masks are used: mask_index when it is at least 0, else sprite_index.
    const CSprite* MaskSprite() const;
    // The mask of the current image (floor(image_index) modulo the image count for separate
    // masks), or null without a mask sprite, frames or built masks.
    const TMask* CurrentMask() const;
    // The bounding box the instance would have at (x, y).
    CollisionBox BoxAt(double x, double y) const;
    // The current mask placed at (x, y); its mask is null when there is none.
    MaskPlacement PlacementAt(double x, double y) const;
    MaskPlacement Placement() const { return PlacementAt(x_, y_); }

    // The byte offset (from the ScriptInstance) of the double field that built-in variable
    // `name` reads as it is (x, y, hspeed, depth, ...), or -1.
    static int32_t FieldOffset(std::string_view name);
    // For writers of x and y in place: the offset of the byte that is set while the box waits
    // for a move to be taken into account, and what to call after a move when it is 0.
    static int32_t BoxDirtyOffset();
    static void PositionWritten(ScriptInstance& inst);

    // A hint, changing nothing, that the instance is about to be read: the lines of what every
    // step reads (see the first fields). Walks over many instances give it a few places ahead,
    // so that the reads from memory overlap.
    void Prefetch() const {
        const char* p = reinterpret_cast<const char*>(this);
        __builtin_prefetch(p);
        __builtin_prefetch(p + 64);
        __builtin_prefetch(p + 128);
        __builtin_prefetch(p + 192);
    }

    // Recomputes the bounding box (done by every setter that needs it; the sprite functions
    // call it when a sprite an instance shows has changed).
    void ComputeBoundingBox();

private:
    friend class InstanceList;
    friend class InstanceGrid;
    friend class OverlapWalk;

    void SpeedFromComponents();
    void ComponentsFromSpeed();
    void BoxChanged();
    void MarkBoxDirty();

    double path_position_ = 0, path_positionprevious_ = 0;
    std::vector<int32_t> family_;  // the objects whose family lists hold it (own object first)
    CInstance* next_same_id_ = nullptr;  // the next active instance with this id, in room order
    bool id_linked_ = false;             // in the room's id lookup
};

}  // namespace kr
