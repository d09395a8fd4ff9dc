// The instance record: creation from an object, the velocity coupling, the bounding box and
// the animation step.
#include "objects/Instance.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <mutex>
#include <new>
#include <utility>

#include "data/Sprite.h"
#include "objects/InstanceList.h"
#include "platform/Memory.h"

namespace kr {

namespace {

constexpr double kPi = 3.141592653589793;

// Values within this distance of an integer are taken as that integer, so that motion set up
// with round numbers stays round (hspeed 3, vspeed -4 is speed 5, not 4.999...).
constexpr double kSnap = 0.0001;

inline double Snap(double v) {
    const double r = std::nearbyint(v);
    return std::fabs(v - r) < kSnap ? r : v;
}

inline double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

#if defined(__SANITIZE_ADDRESS__)
#define KR_INSTANCE_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KR_INSTANCE_POOL 0
#endif
#endif
#ifndef KR_INSTANCE_POOL
#define KR_INSTANCE_POOL 1
#endif

constexpr size_t kLine = 64;

#if KR_INSTANCE_POOL
// Records of instances in blocks that double from 16 KiB up to 2 MiB; blocks of 2 MiB are
// aligned to it and asked to be huge pages, so that walks over a large room do not miss the
// address translation caches at every record. A freed record waits in a free list for the next
// instance; blocks are kept for the rest of the run (a room that had many instances is likely
// to have them again).
class InstancePool {
public:
    static constexpr size_t kSlot = (sizeof(CInstance) + kLine - 1) / kLine * kLine;

    void* Take() {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!free_) Grow();
        Slot* s = free_;
        free_ = s->next;
        return s;
    }
    void Give(void* p) {
        const std::lock_guard<std::mutex> lock(mutex_);
        Slot* s = static_cast<Slot*>(p);
        s->next = free_;
        free_ = s;
    }

private:
    struct Slot {
        Slot* next;
    };
    static constexpr size_t kHugeBlock = size_t(2) << 20;

    void Grow() {
        const size_t bytes = block_;
        void* mem = std::aligned_alloc(bytes >= kHugeBlock ? kHugeBlock : kLine, bytes);
        if (!mem) throw std::bad_alloc();
        if (bytes >= kHugeBlock) AdviseLargePages(mem, bytes);
        // Handed out in address order, so that instances made one after another are neighbours.
        char* base = static_cast<char*>(mem);
        for (size_t i = bytes / kSlot; i-- > 0;) {
            Slot* s = reinterpret_cast<Slot*>(base + i * kSlot);
            s->next = free_;
            free_ = s;
        }
        if (block_ < kHugeBlock) block_ *= 2;
    }

    std::mutex mutex_;
    Slot* free_ = nullptr;
    size_t block_ = size_t(16) << 10;
};

InstancePool& Pool() {
    // Never destroyed: instances may outlive every other static object.
    static InstancePool* pool = new InstancePool;
    return *pool;
}
#endif

}  // namespace

void* CInstance::operator new(size_t size) {
#if KR_INSTANCE_POOL
    if (size == sizeof(CInstance)) return Pool().Take();
#endif
    return ::operator new(size, std::align_val_t(kLine));
}

void CInstance::operator delete(void* p, size_t size) noexcept {
#if KR_INSTANCE_POOL
    if (size == sizeof(CInstance)) {
        if (p) Pool().Give(p);
        return;
    }
#endif
    // The unsized form: not every compiler declares the sized, aligned one by default.
    ::operator delete(p, std::align_val_t(kLine));
}

CInstance::CInstance(InstanceWorld& world, double x, double y, int32_t id, int32_t object_index)
    : x_(x), y_(y), world_(&world) {
    this->id = id;
    this->object_index = object_index;
    xstart = xprevious = x;
    ystart = yprevious = y;
    alarm.fill(-1);
    SetObject(object_index);
}

CInstance::~CInstance() = default;

// ---- Object, sprite and mask ----

void CInstance::SetObject(int32_t index) {
    object_index = index;
    ObjectDefaults obj;
    if (world_->FindObject(index, obj)) {
        SetSprite(obj.sprite);
        mask_index_ = obj.mask;
        depth = obj.depth;
        solid = obj.solid;
        visible = obj.visible;
        persistent = obj.persistent;
    }
    ComputeBoundingBox();
}

void CInstance::SetSprite(int32_t index) {
    sprite_index_ = index;
    const CSprite* sprite = index >= 0 ? world_->FindSprite(index) : nullptr;
    if (!sprite || double(sprite->FrameCount()) <= std::floor(image_index)) image_index = 0;
    ComputeBoundingBox();
}

void CInstance::SetMask(int32_t index) {
    mask_index_ = index;
    ComputeBoundingBox();
}

int32_t CInstance::ImageNumber() const {
    const CSprite* sprite = sprite_index_ >= 0 ? world_->FindSprite(sprite_index_) : nullptr;
    return sprite ? sprite->FrameCount() : 0;
}

bool CInstance::AdvanceAnimation() {
    image_index += image_speed;
    const int32_t n = ImageNumber();
    // Only the upper end wraps: an animation running backwards keeps a negative index.
    if (std::floor(image_index) >= double(n)) {
        image_index -= n;
        return true;
    }
    return false;
}

// ---- Position and look ----

void CInstance::SetPosition(double x, double y) {
    if (x == x_ && y == y_) return;
    x_ = x;
    y_ = y;
    MarkBoxDirty();
}

void CInstance::PositionWritten(ScriptInstance& inst) {
    static_cast<CInstance&>(inst).MarkBoxDirty();
}

void CInstance::MarkBoxDirty() {
    if (box_dirty_) return;
    box_dirty_ = true;
    if (room_) room_->BoxDirty(*this);
}

void CInstance::SetXScale(double v) {
    if (v == image_xscale_) return;
    image_xscale_ = v;
    ComputeBoundingBox();
}

void CInstance::SetYScale(double v) {
    if (v == image_yscale_) return;
    image_yscale_ = v;
    ComputeBoundingBox();
}

void CInstance::SetAngle(double v) {
    if (v == image_angle_) return;
    image_angle_ = v;
    ComputeBoundingBox();
}

// ---- Motion ----

void CInstance::SpeedFromComponents() {
    double d;
    if (hspeed_ == 0) {
        d = vspeed_ > 0 ? 270 : vspeed_ < 0 ? 90 : 0;
    } else {
        // Screen y grows downwards, so the angle of (hspeed, vspeed) is mirrored.
        const double a = std::atan2(vspeed_, hspeed_) * 180.0 / kPi;
        d = a > 0 ? 360 - a : -a;
    }
    d = Snap(d);
    direction_ = d - 360 * std::floor(d / 360);
    speed_ = Snap(std::sqrt(hspeed_ * hspeed_ + vspeed_ * vspeed_));
}

void CInstance::ComponentsFromSpeed() {
    hspeed_ = Snap(std::cos(Radians(direction_)) * speed_);
    vspeed_ = Snap(-std::sin(Radians(direction_)) * speed_);
}

void CInstance::SetDirection(double v) {
    if (v == direction_) return;
    direction_ = v - 360 * std::floor(v / 360);
    ComponentsFromSpeed();
}

void CInstance::SetSpeed(double v) {
    if (v == speed_) return;
    speed_ = v;
    ComponentsFromSpeed();
}

void CInstance::SetHSpeed(double v) {
    if (v == hspeed_) return;
    hspeed_ = v;
    SpeedFromComponents();
}

void CInstance::SetVSpeed(double v) {
    if (v == vspeed_) return;
    vspeed_ = v;
    SpeedFromComponents();
}

void CInstance::AddMotion(double d, double l) {
    hspeed_ += std::cos(Radians(d)) * l;
    vspeed_ -= std::sin(Radians(d)) * l;
    SpeedFromComponents();
}

void CInstance::ApplyFrictionAndGravity() {
    if (friction != 0) {
        const double s = speed_ > 0 ? speed_ - friction : speed_ + friction;
        // Friction brings the speed to 0 but never reverses it.
        if ((speed_ > 0 && s < 0) || (speed_ < 0 && s > 0))
            SetSpeed(0);
        else if (speed_ != 0)
            SetSpeed(s);
    }
    if (gravity != 0) AddMotion(gravity_direction, gravity);
}

// ---- Alarms and path position ----

int32_t CInstance::GetAlarm(int32_t i) const {
    return i >= 0 && i < kAlarmCount ? alarm[size_t(i)] : -1;
}

void CInstance::SetAlarm(int32_t i, int32_t value) {
    if (i >= 0 && i < kAlarmCount) alarm[size_t(i)] = value;
}

static double ClampUnit(double v) {
    return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0);
}

void CInstance::SetPathPosition(double v) {
    path_position_ = ClampUnit(v);
}
void CInstance::SetPathPositionPrevious(double v) {
    path_positionprevious_ = ClampUnit(v);
}

// ---- Copying ----

void CInstance::Assign(const CInstance& src) {
    if (&src == this) return;
    const int32_t old_id = id;
    static_cast<ScriptInstance&>(*this) = src;  // id, object_index, deleted, variables
    sprite_index_ = src.sprite_index_;
    image_index = src.image_index;
    image_speed = src.image_speed;
    image_xscale_ = src.image_xscale_;
    image_yscale_ = src.image_yscale_;
    image_angle_ = src.image_angle_;
    image_alpha = src.image_alpha;
    image_blend = src.image_blend;
    mask_index_ = src.mask_index_;
    depth = src.depth;
    x_ = src.x_;
    y_ = src.y_;
    xstart = src.xstart;
    ystart = src.ystart;
    xprevious = src.xprevious;
    yprevious = src.yprevious;
    direction_ = src.direction_;
    speed_ = src.speed_;
    friction = src.friction;
    gravity_direction = src.gravity_direction;
    gravity = src.gravity;
    hspeed_ = src.hspeed_;
    vspeed_ = src.vspeed_;
    visible = src.visible;
    solid = src.solid;
    persistent = src.persistent;
    alarm = src.alarm;
    deactivated = src.deactivated;
    path_index = src.path_index;
    path_position_ = src.path_position_;
    path_positionprevious_ = src.path_positionprevious_;
    path_speed = src.path_speed;
    path_scale = src.path_scale;
    path_orientation = src.path_orientation;
    path_endaction = src.path_endaction;
    timeline_index = src.timeline_index;
    timeline_position = src.timeline_position;
    timeline_speed = src.timeline_speed;
    timeline_running = src.timeline_running;
    timeline_loop = src.timeline_loop;
    creation_code = src.creation_code;
    if (room_ && id != old_id) room_->IdChanged(*this, old_id);
    const CollisionBox& box = src.Box();
    box_dirty_ = false;
    if (!(box_ == box)) {
        box_ = box;
        BoxChanged();
    }
}

void CInstance::ChangeId(int32_t new_id) {
    const int32_t old_id = id;
    id = new_id;
    if (room_ && new_id != old_id) room_->IdChanged(*this, old_id);
}

// ---- Fields read in place ----

// CInstance is not standard-layout, so offsetof is only conditionally supported; the compilers
// we build with support it for classes without virtual bases. The ScriptInstance part comes
// first, so an offset from the CInstance is one from its ScriptInstance too.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(CInstance, id) == offsetof(ScriptInstance, id));
int32_t CInstance::FieldOffset(std::string_view name) {
    struct Field {
        const char* name;
        size_t offset;
    };
    static constexpr Field kFields[] = {
        {"x", offsetof(CInstance, x_)},
        {"y", offsetof(CInstance, y_)},
        {"xprevious", offsetof(CInstance, xprevious)},
        {"yprevious", offsetof(CInstance, yprevious)},
        {"xstart", offsetof(CInstance, xstart)},
        {"ystart", offsetof(CInstance, ystart)},
        {"hspeed", offsetof(CInstance, hspeed_)},
        {"vspeed", offsetof(CInstance, vspeed_)},
        {"direction", offsetof(CInstance, direction_)},
        {"speed", offsetof(CInstance, speed_)},
        {"friction", offsetof(CInstance, friction)},
        {"gravity", offsetof(CInstance, gravity)},
        {"gravity_direction", offsetof(CInstance, gravity_direction)},
        {"depth", offsetof(CInstance, depth)},
        {"image_index", offsetof(CInstance, image_index)},
        {"image_xscale", offsetof(CInstance, image_xscale_)},
        {"image_yscale", offsetof(CInstance, image_yscale_)},
        {"image_angle", offsetof(CInstance, image_angle_)},
        {"image_alpha", offsetof(CInstance, image_alpha)},
        {"image_speed", offsetof(CInstance, image_speed)},
    };
    for (const Field& f : kFields)
        if (name == f.name) return int32_t(f.offset);
    return -1;
}

int32_t CInstance::BoxDirtyOffset() {
    return int32_t(offsetof(CInstance, box_dirty_));
}
#pragma GCC diagnostic pop

// ---- Bounding box and masks ----

const CSprite* CInstance::MaskSprite() const {
    const int32_t index = mask_index_ >= 0 ? mask_index_ : sprite_index_;
    return index >= 0 ? world_->FindSprite(index) : nullptr;
}

const TMask* CInstance::CurrentMask() const {
    const CSprite* sprite = MaskSprite();
    if (!sprite || sprite->frames.empty() || sprite->masks.empty()) return nullptr;
    if (!sprite->separate_masks) return &sprite->masks[0];
    const double n = double(sprite->masks.size());
    double f = std::fmod(std::floor(image_index), n);
    if (!(f >= 0)) f = std::isnan(f) ? 0 : f + n;  // non-negative remainder; NaN and inf: 0
    const size_t i = size_t(f);
    return &sprite->masks[i < sprite->masks.size() ? i : 0];
}

CollisionBox CInstance::BoxAt(double x, double y) const {
    const CSprite* sprite = MaskSprite();
    if (!sprite) return CollisionBox{kNoBox, kNoBox, kNoBox, kNoBox};
    const double bl = sprite->bbox_left, bt = sprite->bbox_top;
    const double br = sprite->bbox_right, bb = sprite->bbox_bottom;
    const double ox = sprite->x_origin, oy = sprite->y_origin;
    const double xs = image_xscale_, ys = image_yscale_;
    CollisionBox b;
    if (image_angle_ == 0) {
        b.left = RoundCoord(x + (bl - ox) * xs);
        b.right = RoundCoord(x + (br - ox + 1) * xs - 1);
        if (b.right < b.left) std::swap(b.left, b.right);  // mirrored
        b.top = RoundCoord(y + (bt - oy) * ys);
        b.bottom = RoundCoord(y + (bb - oy + 1) * ys - 1);
        if (b.bottom < b.top) std::swap(b.top, b.bottom);
        return b;
    }
    // The box around the rotated corners of the scaled mask box.
    const double x1 = (std::min(bl, br) - ox) * xs, x2 = (std::max(bl, br) - ox + 1) * xs - 1;
    const double y1 = (std::min(bt, bb) - oy) * ys, y2 = (std::max(bt, bb) - oy + 1) * ys - 1;
    const double c = std::cos(Radians(image_angle_)), s = std::sin(Radians(image_angle_));
    b.left = RoundCoord(x + std::min(c * x1, c * x2) + std::min(s * y1, s * y2));
    b.right = RoundCoord(x + std::max(c * x1, c * x2) + std::max(s * y1, s * y2));
    b.top = RoundCoord(y + std::min(c * y1, c * y2) - std::max(s * x1, s * x2));
    b.bottom = RoundCoord(y + std::max(c * y1, c * y2) - std::min(s * x1, s * x2));
    return b;
}

MaskPlacement CInstance::PlacementAt(double x, double y) const {
    MaskPlacement p;
    p.mask = CurrentMask();
    if (!p.mask) return p;
    const CSprite* sprite = MaskSprite();
    p.x = RoundCoord(x);
    p.y = RoundCoord(y);
    p.ox = sprite->x_origin;
    p.oy = sprite->y_origin;
    p.xscale = image_xscale_;
    p.yscale = image_yscale_;
    if (image_angle_ != 0) {
        p.c = std::cos(Radians(image_angle_));
        p.s = std::sin(Radians(image_angle_));
    }
    return p;
}

void CInstance::ComputeBoundingBox() {
    box_dirty_ = false;
    const CollisionBox b = BoxAt(x_, y_);
    if (b == box_) return;
    box_ = b;
    BoxChanged();
}

void CInstance::RestoreMotion(double direction, double speed, double hspeed, double vspeed) {
    direction_ = direction;
    speed_ = speed;
    hspeed_ = hspeed;
    vspeed_ = vspeed;
}

void CInstance::RestoreBox(const CollisionBox& box) {
    if (box == box_) return;
    box_ = box;
    BoxChanged();
}

void CInstance::BoxChanged() {
    if (room_) room_->BoxMoved(*this);
}

}  // namespace kr
