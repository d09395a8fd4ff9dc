// Script functions on sprites and backgrounds: queries, loading from image and side files,
// copies, merging, masks, alpha, colour and gradient backgrounds, saving.
//
// Every change of frames or of an image bumps the resource's revision, by which the renderer
// knows to make its textures again. Resources are loaded whole into a new object and only then
// put into the table or over the old one, so a file that fails to load changes nothing.
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "data/ImageCodecs.h"
#include "graphics/Graphics.h"
#include "library/FunctionResource.h"
#include "platform/GamePath.h"
#include "runner/RoomDraw.h"
#include "runner/Runner.h"

namespace kr {

namespace {

using Args = const RValue*;

ResourceTable<CSprite>& Sprites(Runtime& rt) {
    return RunnerOf(rt).Game().sprites;
}
ResourceTable<CBackground>& Backgrounds(Runtime& rt) {
    return RunnerOf(rt).Game().backgrounds;
}
CSprite* SpriteArg(Runtime& rt, const RValue& v) {
    return Sprites(rt).Get(ArgInt(v));
}
CBackground* BackgroundArg(Runtime& rt, const RValue& v) {
    return Backgrounds(rt).Get(ArgInt(v));
}
std::string FileArg(const RValue& v) {
    return MapGamePath(ArgStr(v));
}

// Appends a loaded resource under its generated name and gives its index.
template <typename T>
int AddNamed(ResourceTable<T>& table, const char* prefix, std::unique_ptr<T> item) {
    const int index = table.Count();
    return table.Add(prefix + std::to_string(index), std::move(item));
}
int AddSprite(Runtime& rt, std::unique_ptr<CSprite> s) {
    return AddNamed(Sprites(rt), "__newsprite", std::move(s));
}
int AddBackground(Runtime& rt, std::unique_ptr<CBackground> b) {
    return AddNamed(Backgrounds(rt), "__newbackground", std::move(b));
}

// Puts `fresh` in the place of `target`, keeping the target's texture ids (which the renderer
// frees when it sees the new revision).
void ReplaceSprite(CSprite& target, CSprite&& fresh) {
    std::vector<int32_t> textures = std::move(target.textures);
    const uint32_t revision = target.revision;
    target = std::move(fresh);
    target.textures = std::move(textures);
    target.revision = revision;
    target.Changed();
}
void ReplaceBackground(CBackground& target, CBackground&& fresh) {
    const int32_t texture = target.texture;
    const uint32_t revision = target.revision;
    target = std::move(fresh);
    target.texture = texture;
    target.revision = revision;
    target.Changed();
}

// A copy made for a new slot: no textures yet.
std::unique_ptr<CSprite> FreshCopy(const CSprite& s) {
    auto copy = std::make_unique<CSprite>(s);
    copy->textures.assign(copy->frames.size(), -1);
    copy->revision = 0;
    return copy;
}
std::unique_ptr<CBackground> FreshCopy(const CBackground& b) {
    auto copy = std::make_unique<CBackground>(b);
    copy->texture = -1;
    copy->revision = 0;
    return copy;
}

// What sprites and backgrounds share: replacing one from a file, deleting, duplicating and
// assigning it, with the same messages that name the kind.
void ReplaceResource(CSprite& target, CSprite&& fresh) {
    ReplaceSprite(target, std::move(fresh));
}
void ReplaceResource(CBackground& target, CBackground&& fresh) {
    ReplaceBackground(target, std::move(fresh));
}
int AddResource(Runtime& rt, std::unique_ptr<CSprite> s) {
    return AddSprite(rt, std::move(s));
}
int AddResource(Runtime& rt, std::unique_ptr<CBackground> b) {
    return AddBackground(rt, std::move(b));
}
template <class T>
ResourceTable<T>& TableOf(Runtime& rt) {
    if constexpr (std::is_same_v<T, CSprite>)
        return Sprites(rt);
    else
        return Backgrounds(rt);
}
template <class T>
constexpr const char* kKind = std::is_same_v<T, CSprite> ? "sprite" : "background";

// A file that fails to load (`load` gives null) leaves the resource as it was.
template <class T, class Load>
void ReplaceFromFile(Runtime& rt, const RValue& handle, Load load) {
    T* target = TableOf<T>(rt).Get(ArgInt(handle));
    if (!target) {
        rt.RuntimeError(std::string("Trying to replace non-existing ") + kKind<T> + ".");
        return;
    }
    if (std::unique_ptr<T> fresh = load()) ReplaceResource(*target, std::move(*fresh));
}
template <class T>
void DeleteResource(Runtime& rt, Args args) {
    if (!TableOf<T>(rt).Get(ArgInt(args[0]))) {
        rt.RuntimeError(std::string("Trying to delete non-existing ") + kKind<T> + ".");
        return;
    }
    TableOf<T>(rt).Remove(ArgInt(args[0]));
}
template <class T>
void DuplicateResource(Runtime& rt, Args args, RValue& result) {
    const T* r = TableOf<T>(rt).Get(ArgInt(args[0]));
    if (!r) {
        rt.RuntimeError(std::string("Trying to duplicate non-existing ") + kKind<T> + ".");
        result.SetReal(-1.0);
        return;
    }
    result.SetReal(AddResource(rt, FreshCopy(*r)));
}
template <class T>
void AssignResource(Runtime& rt, Args args) {
    T* target = TableOf<T>(rt).Get(ArgInt(args[0]));
    const T* source = TableOf<T>(rt).Get(ArgInt(args[1]));
    if (!target || !source) {
        rt.RuntimeError(std::string("Error assigning a ") + kKind<T> + ".");
        return;
    }
    if (target == source) return;
    ReplaceResource(*target, T(*source));
}

// Loads a sprite as sprite_add does, with the default masks built; null on failure.
std::unique_ptr<CSprite> LoadSprite(Args args) {
    auto s = std::make_unique<CSprite>();
    if (!s->LoadFromImageFile(FileArg(args[0]), ArgInt(args[1]), ArgBool(args[2]), ArgBool(args[3]),
                              ArgInt(args[4]), ArgInt(args[5])))
        return nullptr;
    s->BuildMasks();
    return s;
}
std::unique_ptr<CSprite> LoadSpriteSideFile(const RValue& file) {
    auto s = std::make_unique<CSprite>();
    if (!s->LoadFromSideFile(FileArg(file))) return nullptr;
    s->BuildMasks();
    return s;
}

template <int32_t CSprite::*Field>
void SpriteField(Runtime& rt, Args args, RValue& result) {
    const CSprite* s = SpriteArg(rt, args[0]);
    result.SetReal(s ? double(s->*Field) : -1.0);
}

}  // namespace

// ---- Sprite queries ---------------------------------------------------------------------------

void fn_sprite_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                      RValue& result) {
    result.SetReal(SpriteArg(rt, args[0]) ? 1.0 : 0.0);
}

void fn_sprite_get_name(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                        RValue& result) {
    result = RValue(Sprites(rt).Name(ArgInt(args[0])));
}

// The numeric queries give -1 for a missing sprite.
void fn_sprite_get_number(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                          RValue& result) {
    const CSprite* s = SpriteArg(rt, args[0]);
    result.SetReal(s ? s->FrameCount() : -1.0);
}

void fn_sprite_get_width(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                         RValue& result) {
    const CSprite* s = SpriteArg(rt, args[0]);
    result.SetReal(s ? s->Width() : -1.0);
}

void fn_sprite_get_height(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                          RValue& result) {
    const CSprite* s = SpriteArg(rt, args[0]);
    result.SetReal(s ? s->Height() : -1.0);
}

void fn_sprite_get_xoffset(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                           RValue& result) {
    SpriteField<&CSprite::x_origin>(rt, args, result);
}
void fn_sprite_get_yoffset(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                           RValue& result) {
    SpriteField<&CSprite::y_origin>(rt, args, result);
}
void fn_sprite_get_bbox_left(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                             RValue& result) {
    SpriteField<&CSprite::bbox_left>(rt, args, result);
}
void fn_sprite_get_bbox_right(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                              RValue& result) {
    SpriteField<&CSprite::bbox_right>(rt, args, result);
}
void fn_sprite_get_bbox_top(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                            RValue& result) {
    SpriteField<&CSprite::bbox_top>(rt, args, result);
}
void fn_sprite_get_bbox_bottom(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                               RValue& result) {
    SpriteField<&CSprite::bbox_bottom>(rt, args, result);
}

// ---- Sprite changes ---------------------------------------------------------------------------

void fn_sprite_set_offset(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    if (CSprite* s = SpriteArg(rt, args[0])) {
        s->x_origin = ArgInt(args[1]);
        s->y_origin = ArgInt(args[2]);
    }
}

// The masks stay as they were.
void fn_sprite_set_alpha_from_sprite(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                                     RValue&) {
    CSprite* s = SpriteArg(rt, args[0]);
    const CSprite* from = SpriteArg(rt, args[1]);
    if (!s || !from || from->frames.empty()) return;
    s->SetAlphaFrom(*from);
    s->Changed();
}

// A failed load adds nothing, so the next add takes the same index.
void fn_sprite_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue& result) {
    std::unique_ptr<CSprite> s = LoadSprite(args);
    result.SetReal(s ? AddSprite(rt, std::move(s)) : -1.0);
}

// A file that fails to load leaves the sprite as it was.
void fn_sprite_replace(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    ReplaceFromFile<CSprite>(rt, args[0], [&] { return LoadSprite(args + 1); });
}

void fn_sprite_add_sprite(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                          RValue& result) {
    std::unique_ptr<CSprite> s = LoadSpriteSideFile(args[0]);
    result.SetReal(s ? AddSprite(rt, std::move(s)) : -1.0);
}

void fn_sprite_replace_sprite(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                              RValue&) {
    ReplaceFromFile<CSprite>(rt, args[0], [&] { return LoadSpriteSideFile(args[1]); });
}

void fn_sprite_delete(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    DeleteResource<CSprite>(rt, args);
}

void fn_sprite_duplicate(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                         RValue& result) {
    DuplicateResource<CSprite>(rt, args, result);
}

void fn_sprite_assign(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    AssignResource<CSprite>(rt, args);
}

// The frames of the second sprite are appended to the first, resized to its size; the masks
// are built again with the defaults.
void fn_sprite_merge(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    CSprite* target = SpriteArg(rt, args[0]);
    if (!target) {
        rt.RuntimeError("Trying to merge to non-existing sprite.");
        return;
    }
    const CSprite* source = SpriteArg(rt, args[1]);
    if (!source) {
        rt.RuntimeError("Trying to merge from non-existing sprite.");
        return;
    }
    target->MergeFrom(*source);
    target->BuildMasks();
    target->Changed();
}

// One frame, as PNG when the name ends in ".png", otherwise as BMP.
void fn_sprite_save(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    const CSprite* s = SpriteArg(rt, args[0]);
    const int32_t frame = ArgInt(args[1]);
    if (!s || frame < 0 || frame >= s->FrameCount()) {
        rt.RuntimeError("Trying to save non-existing sprite bitmap.");
        return;
    }
    if (ArgStr(args[2]).empty()) {
        rt.RuntimeError("Trying to save sprite bitmap to empty image file name.");
        return;
    }
    SaveImageFile(s->frames[size_t(frame)], FileArg(args[2]));
}

// All frames side by side, always as PNG.
void fn_sprite_save_strip(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    const CSprite* s = SpriteArg(rt, args[0]);
    if (!s || s->frames.empty()) {
        rt.RuntimeError("Trying to save non-existing sprite bitmap.");
        return;
    }
    if (ArgStr(args[1]).empty()) {
        rt.RuntimeError("Trying to save sprite bitmap to empty image file name.");
        return;
    }
    SavePngFile(s->MakeStrip(), FileArg(args[1]));
}

// sprite_collision_mask(ind, sepmasks, bboxmode, bbleft, bbtop, bbright, bbbottom, kind,
// tolerance). Unknown modes and shapes count as automatic and precise; the tolerance is kept
// within 0..255.
void fn_sprite_collision_mask(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                              RValue&) {
    CSprite* s = SpriteArg(rt, args[0]);
    if (!s) {
        rt.RuntimeError("Trying to set collision mode for non-existing sprite.");
        return;
    }
    const int32_t mode = ArgInt(args[2]), kind = ArgInt(args[7]);
    const int32_t tolerance = ArgInt(args[8]);
    MaskParams p;
    p.box_mode = mode >= 0 && mode <= 2 ? BoxMode(mode) : BoxMode::kAutomatic;
    p.left = ArgInt(args[3]);
    p.top = ArgInt(args[4]);
    p.right = ArgInt(args[5]);
    p.bottom = ArgInt(args[6]);
    p.shape = kind >= 0 && kind <= 3 ? MaskShape(kind) : MaskShape::kPrecise;
    p.tolerance = tolerance < 0 ? 0 : tolerance > 255 ? 255 : tolerance;
    s->separate_masks = ArgBool(args[1]);
    s->mask_params = p;
    s->BuildMasks();
}

// ---- Sprites and backgrounds from the screen and from surfaces --------------------------------
// The screen is the picture the game draws (window-region pixels); its alpha means nothing, so
// images taken from it are opaque. A surface keeps its alpha. The area is cut to the screen or
// surface; when nothing of it is left (or nothing can be drawn at all) no resource is made:
// the create functions give -1 and the add functions leave the sprite as it was.

namespace {

constexpr int32_t kScreen = -1;

// The surface named by `v`, or nullopt after reporting that it does not exist.
std::optional<int32_t> SurfaceArg(Runtime& rt, const RValue& v) {
    const int32_t id = ArgInt(v);
    if (!RunnerOf(rt).Drawer().Gfx().SurfaceExists(id)) {
        rt.RuntimeError("Trying to use non-existing surface.");
        return std::nullopt;
    }
    return id;
}

// The area given by args x, y, w, h, removeback, smooth of the screen or of a surface,
// prepared as a loaded picture is; empty when there is nothing to take.
TBitmap32 TakeImage(Runtime& rt, int32_t surface, Args args) {
    TBitmap32 image = RunnerOf(rt).Drawer().Gfx().Capture(surface, ArgInt(args[0]), ArgInt(args[1]),
                                                          ArgInt(args[2]), ArgInt(args[3]));
    if (image.Empty()) return image;
    if (surface == kScreen) image.MakeOpaque();
    const bool remove_back = ArgBool(args[4]);
    if (remove_back) image.RemoveBackground();
    if (ArgBool(args[5])) image.SmoothEdges();
    if (remove_back) image.FixTransparentColors();
    return image;
}

// sprite_create_from_*: args x, y, w, h, removeback, smooth, xorig, yorig.
void CreateSprite(Runtime& rt, int32_t surface, Args args, RValue& result) {
    TBitmap32 image = TakeImage(rt, surface, args);
    if (image.Empty()) {
        result.SetReal(-1.0);
        return;
    }
    auto s = std::make_unique<CSprite>();
    s->AddFrame(std::move(image));
    s->x_origin = ArgInt(args[6]);
    s->y_origin = ArgInt(args[7]);
    s->BuildMasks();
    result.SetReal(AddSprite(rt, std::move(s)));
}

// sprite_add_from_*: the frame from args x, y, w, h, removeback, smooth is added to `s` at the
// sprite's size; the masks are built again with the defaults.
void AddSpriteFrame(Runtime& rt, CSprite& s, int32_t surface, Args args) {
    TBitmap32 image = TakeImage(rt, surface, args);
    if (image.Empty()) return;
    s.AddFrame(std::move(image));
    s.BuildMasks();
    s.Changed();
}

CSprite* SpriteToAddTo(Runtime& rt, const RValue& v) {
    CSprite* s = SpriteArg(rt, v);
    if (!s) rt.RuntimeError("Trying to add to non-existing sprite.");
    return s;
}

// background_create_from_*: args x, y, w, h, removeback, smooth.
void CreateBackground(Runtime& rt, int32_t surface, Args args, RValue& result) {
    TBitmap32 image = TakeImage(rt, surface, args);
    if (image.Empty()) {
        result.SetReal(-1.0);
        return;
    }
    auto b = std::make_unique<CBackground>();
    b->image = std::move(image);
    result.SetReal(AddBackground(rt, std::move(b)));
}

}  // namespace

void fn_sprite_create_from_screen(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                                  RValue& result) {
    CreateSprite(rt, kScreen, args, result);
}

// sprite_create_from_surface(id, x, y, w, h, removeback, smooth, xorig, yorig)
void fn_sprite_create_from_surface(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                                   RValue& result) {
    result.SetReal(-1.0);
    if (std::optional<int32_t> surface = SurfaceArg(rt, args[0]))
        CreateSprite(rt, *surface, args + 1, result);
}

// sprite_add_from_screen(ind, x, y, w, h, removeback, smooth)
void fn_sprite_add_from_screen(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                               RValue&) {
    if (CSprite* s = SpriteToAddTo(rt, args[0])) AddSpriteFrame(rt, *s, kScreen, args + 1);
}

// sprite_add_from_surface(ind, id, x, y, w, h, removeback, smooth): the sprite comes first as
// in every function that adds to one, the surface leads the area it is taken from.
void fn_sprite_add_from_surface(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                                RValue&) {
    CSprite* s = SpriteToAddTo(rt, args[0]);
    if (!s) return;
    if (std::optional<int32_t> surface = SurfaceArg(rt, args[1]))
        AddSpriteFrame(rt, *s, *surface, args + 2);
}

void fn_background_create_from_screen(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                                      RValue& result) {
    CreateBackground(rt, kScreen, args, result);
}

// background_create_from_surface(id, x, y, w, h, removeback, smooth)
void fn_background_create_from_surface(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                       Args args, RValue& result) {
    result.SetReal(-1.0);
    if (std::optional<int32_t> surface = SurfaceArg(rt, args[0]))
        CreateBackground(rt, *surface, args + 1, result);
}

// ---- Backgrounds ------------------------------------------------------------------------------

void fn_background_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                          RValue& result) {
    result.SetReal(BackgroundArg(rt, args[0]) ? 1.0 : 0.0);
}

void fn_background_get_name(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                            RValue& result) {
    result = RValue(Backgrounds(rt).Name(ArgInt(args[0])));
}

void fn_background_get_width(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                             RValue& result) {
    const CBackground* b = BackgroundArg(rt, args[0]);
    result.SetReal(b ? b->Width() : -1.0);
}

void fn_background_get_height(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                              RValue& result) {
    const CBackground* b = BackgroundArg(rt, args[0]);
    result.SetReal(b ? b->Height() : -1.0);
}

void fn_background_set_alpha_from_background(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                             Args args, RValue&) {
    CBackground* b = BackgroundArg(rt, args[0]);
    const CBackground* from = BackgroundArg(rt, args[1]);
    if (!b || !from) return;
    b->image.AlphaFromImage(from->image);
    b->Changed();
}

namespace {
// Appends a background holding `image`; -1 when the size was refused.
void AddImageBackground(Runtime& rt, TBitmap32 image, RValue& result) {
    if (image.Empty()) {
        result.SetReal(-1.0);
        return;
    }
    auto b = std::make_unique<CBackground>();
    b->image = std::move(image);
    result.SetReal(AddBackground(rt, std::move(b)));
}
std::unique_ptr<CBackground> LoadBackground(Args args) {
    auto b = std::make_unique<CBackground>();
    if (!b->LoadFromImageFile(FileArg(args[0]), ArgBool(args[1]), ArgBool(args[2]))) return nullptr;
    return b;
}
std::unique_ptr<CBackground> LoadBackgroundSideFile(const RValue& file) {
    auto b = std::make_unique<CBackground>();
    if (!b->LoadFromSideFile(FileArg(file))) return nullptr;
    return b;
}
}  // namespace

void fn_background_create_color(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                                RValue& result) {
    AddImageBackground(rt, MakeColorImage(ArgInt(args[0]), ArgInt(args[1]), ArgInt(args[2])),
                       result);
}

void fn_background_create_gradient(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                                   RValue& result) {
    AddImageBackground(rt,
                       MakeGradientImage(ArgInt(args[0]), ArgInt(args[1]), ArgInt(args[2]),
                                         ArgInt(args[3]), ArgInt(args[4])),
                       result);
}

void fn_background_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                       RValue& result) {
    std::unique_ptr<CBackground> b = LoadBackground(args);
    result.SetReal(b ? AddBackground(rt, std::move(b)) : -1.0);
}

void fn_background_replace(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    ReplaceFromFile<CBackground>(rt, args[0], [&] { return LoadBackground(args + 1); });
}

void fn_background_add_background(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                                  RValue& result) {
    std::unique_ptr<CBackground> b = LoadBackgroundSideFile(args[0]);
    result.SetReal(b ? AddBackground(rt, std::move(b)) : -1.0);
}

void fn_background_replace_background(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                                      RValue&) {
    ReplaceFromFile<CBackground>(rt, args[0], [&] { return LoadBackgroundSideFile(args[1]); });
}

void fn_background_delete(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    DeleteResource<CBackground>(rt, args);
}

void fn_background_duplicate(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args,
                             RValue& result) {
    DuplicateResource<CBackground>(rt, args, result);
}

void fn_background_assign(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    AssignResource<CBackground>(rt, args);
}

// Always PNG, whatever the name's extension.
void fn_background_save(Runtime& rt, ScriptInstance*, ScriptInstance*, int, Args args, RValue&) {
    const CBackground* b = BackgroundArg(rt, args[0]);
    if (!b || b->image.Empty()) {
        rt.RuntimeError("Trying to save non-existing background bitmap.");
        return;
    }
    if (ArgStr(args[1]).empty()) {
        rt.RuntimeError("Trying to save background bitmap to empty image file name.");
        return;
    }
    SavePngFile(b->image, FileArg(args[1]));
}

}  // namespace kr
