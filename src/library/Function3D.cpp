// Script functions for 3D drawing: 3D mode and its states, projections, the world
// transformation and its stack, lights, primitives, the built-in shapes and models with their
// files. The drawing itself is the renderer's (graphics/Graphics.h); the stack of world
// matrices is the family's own state in the runner.
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "code/Vocabulary.h"
#include "platform/Files.h"
#include "platform/GamePath.h"
#include "runner/Runner.h"

namespace kr {

namespace {

constexpr double kPi = std::numbers::pi;

#define KR_3D_FN(name)                                                                  \
    void fn_##name([[maybe_unused]] Runtime& rt, ScriptInstance*, ScriptInstance*, int, \
                   [[maybe_unused]] const RValue* args, [[maybe_unused]] RValue& result)

Graphics& Gfx(Runtime& rt) {
    return RunnerOf(rt).Drawer().Gfx();
}

double R(const RValue* a, int i) {
    return ArgReal(a[i]);
}

// Degrees as the matrices take them: negated, so that a positive angle turns counter-clockwise
// on a screen whose y axis points down.
double Angle(const RValue& v) {
    return -ArgReal(v) * kPi / 180;
}

// The stack of saved world matrices: up to 1001 entries.
struct TransformStack {
    static constexpr int32_t kSize = 1001;
    std::vector<Mat4> entries;
};

TransformStack& Stack(Runtime& rt) {
    return RunnerOf(rt).FamilyState<TransformStack>();
}

// ---- Mode and states ----

// Switching fails only when the device cannot give a depth buffer; the runner then stays in
// 2D mode.
bool Switch3D(Runtime& rt, bool on) {
    Graphics& g = Gfx(rt);
    if (g.Mode3D() == on) return true;
    if (g.Set3DMode(on)) return true;
    RunnerOf(rt).ShowMessage("Failed to use 3D mode.");
    g.Set3DMode(false);
    return false;
}

KR_3D_FN(d3d_start) {
    result.SetReal(Switch3D(rt, true) ? 1 : 0);
}
KR_3D_FN(d3d_end) {
    result.SetReal(Switch3D(rt, false) ? 1 : 0);
}
KR_3D_FN(d3d_set_perspective) {
    Gfx(rt).SetPerspective(ArgBool(args[0]));
}
KR_3D_FN(d3d_set_hidden) {
    Gfx(rt).SetHidden(ArgBool(args[0]));
}
KR_3D_FN(d3d_set_depth) {
    Gfx(rt).SetDepth(R(args, 0));
}
KR_3D_FN(d3d_set_lighting) {
    Gfx(rt).SetLighting(ArgBool(args[0]));
}
KR_3D_FN(d3d_set_shading) {
    Gfx(rt).SetSmoothShading(ArgBool(args[0]));
}
KR_3D_FN(d3d_set_fog) {
    Gfx(rt).SetFog(ArgBool(args[0]), ArgInt(args[1]), R(args, 2), R(args, 3));
}
KR_3D_FN(d3d_set_culling) {
    Gfx(rt).SetCulling(ArgBool(args[0]));
}

// ---- Primitives ----

KR_3D_FN(d3d_primitive_begin) {
    Gfx(rt).Primitive3DBegin(ArgInt(args[0]), -1);
}
KR_3D_FN(d3d_primitive_begin_texture) {
    Gfx(rt).Primitive3DBegin(ArgInt(args[0]), ArgInt(args[1]));
}
KR_3D_FN(d3d_primitive_end) {
    Gfx(rt).Primitive3DEnd();
}

// A vertex from the arguments: position, then a normal, texture coordinates and a colour with
// alpha as the form has them.
void Vertex(Runtime& rt, const RValue* a, bool normal, bool texture, bool color) {
    Graphics& g = Gfx(rt);
    Vertex3D v{float(R(a, 0)), float(R(a, 1)), float(R(a, 2)), 0, 0, 0, g.VertexColor(), 0, 0};
    int i = 3;
    if (normal) {
        v.nx = float(R(a, 3)), v.ny = float(R(a, 4)), v.nz = float(R(a, 5));
        i = 6;
    }
    if (texture) {
        v.u = float(R(a, i)), v.v = float(R(a, i + 1));
        i += 2;
    }
    if (color) v.color = ScriptColorToDevice(ArgInt(a[i]), R(a, i + 1));
    g.Primitive3DVertex(v);
}

KR_3D_FN(d3d_vertex) {
    Vertex(rt, args, false, false, false);
}
KR_3D_FN(d3d_vertex_color) {
    Vertex(rt, args, false, false, true);
}
KR_3D_FN(d3d_vertex_texture) {
    Vertex(rt, args, false, true, false);
}
KR_3D_FN(d3d_vertex_texture_color) {
    Vertex(rt, args, false, true, true);
}
KR_3D_FN(d3d_vertex_normal) {
    Vertex(rt, args, true, false, false);
}
KR_3D_FN(d3d_vertex_normal_color) {
    Vertex(rt, args, true, false, true);
}
KR_3D_FN(d3d_vertex_normal_texture) {
    Vertex(rt, args, true, true, false);
}
KR_3D_FN(d3d_vertex_normal_texture_color) {
    Vertex(rt, args, true, true, true);
}

// ---- Shapes ----

// x1, y1, z1, x2, y2, z2, texid, hrepeat, vrepeat [, closed, steps | steps]
void Shape(Runtime& rt, int32_t shape, const RValue* a) {
    bool closed = false;
    int32_t steps = 0;
    if (shape == kModelCylinder || shape == kModelCone) {
        closed = ArgBool(a[9]);
        steps = ArgInt(a[10]);
    } else if (shape == kModelEllipsoid) {
        steps = ArgInt(a[9]);
    }
    Gfx(rt).DrawShape(shape, R(a, 0), R(a, 1), R(a, 2), R(a, 3), R(a, 4), R(a, 5), ArgInt(a[6]),
                      R(a, 7), R(a, 8), closed, steps);
}

KR_3D_FN(d3d_draw_block) {
    Shape(rt, kModelBlock, args);
}
KR_3D_FN(d3d_draw_cylinder) {
    Shape(rt, kModelCylinder, args);
}
KR_3D_FN(d3d_draw_cone) {
    Shape(rt, kModelCone, args);
}
KR_3D_FN(d3d_draw_ellipsoid) {
    Shape(rt, kModelEllipsoid, args);
}
KR_3D_FN(d3d_draw_wall) {
    Shape(rt, kModelWall, args);
}
KR_3D_FN(d3d_draw_floor) {
    Shape(rt, kModelFloor, args);
}

// ---- Projections ----

Mat4 LookAt(const RValue* a) {
    const double from[3] = {R(a, 0), R(a, 1), R(a, 2)};
    const double to[3] = {R(a, 3), R(a, 4), R(a, 5)};
    const double up[3] = {R(a, 6), R(a, 7), R(a, 8)};
    return Mat4::LookAtLH(from, to, up);
}

KR_3D_FN(d3d_set_projection) {
    Gfx(rt).SetView(LookAt(args));
}
KR_3D_FN(d3d_set_projection_ext) {
    Gfx(rt).SetViewProjection(
        LookAt(args),
        Mat4::PerspectiveFovLH(R(args, 9) * kPi / 180, R(args, 10), R(args, 11), R(args, 12)));
}

// The room area (x, y, w, h) turned by angle, seen from straight in front.
void AreaProjection(Runtime& rt, const RValue* a, bool perspective) {
    double x = R(a, 0), y = R(a, 1), w = R(a, 2), h = R(a, 3), t = -R(a, 4) * kPi / 180;
    const double up[3] = {std::sin(t), std::cos(t), 0};
    const double at[3] = {x + w / 2, y + h / 2, 0};
    const double eye[3] = {x + w / 2, y + h / 2, perspective ? -w : -16000};
    Mat4 view = Mat4::LookAtLH(eye, at, up);
    Gfx(rt).SetViewProjection(view, perspective ? Mat4::PerspectiveLH(1, h / w, 1, 32000)
                                                : Mat4::OrthoLH(w, -h, 1, 32000));
}

KR_3D_FN(d3d_set_projection_ortho) {
    AreaProjection(rt, args, false);
}
KR_3D_FN(d3d_set_projection_perspective) {
    AreaProjection(rt, args, true);
}

// ---- World transformation ----

void SetWorld(Runtime& rt, const Mat4& m) {
    Gfx(rt).SetWorld(m);
}
void AddWorld(Runtime& rt, const Mat4& m) {
    Gfx(rt).SetWorld(Gfx(rt).World() * m);
}

KR_3D_FN(d3d_transform_set_identity) {
    SetWorld(rt, Mat4::Identity());
}
KR_3D_FN(d3d_transform_set_translation) {
    SetWorld(rt, Mat4::Translation(R(args, 0), R(args, 1), R(args, 2)));
}
KR_3D_FN(d3d_transform_set_scaling) {
    SetWorld(rt, Mat4::Scaling(R(args, 0), R(args, 1), R(args, 2)));
}
KR_3D_FN(d3d_transform_set_rotation_x) {
    SetWorld(rt, Mat4::RotationX(Angle(args[0])));
}
KR_3D_FN(d3d_transform_set_rotation_y) {
    SetWorld(rt, Mat4::RotationY(Angle(args[0])));
}
KR_3D_FN(d3d_transform_set_rotation_z) {
    SetWorld(rt, Mat4::RotationZ(Angle(args[0])));
}
KR_3D_FN(d3d_transform_set_rotation_axis) {
    SetWorld(rt, Mat4::RotationAxis(R(args, 0), R(args, 1), R(args, 2), Angle(args[3])));
}
KR_3D_FN(d3d_transform_add_translation) {
    AddWorld(rt, Mat4::Translation(R(args, 0), R(args, 1), R(args, 2)));
}
KR_3D_FN(d3d_transform_add_scaling) {
    AddWorld(rt, Mat4::Scaling(R(args, 0), R(args, 1), R(args, 2)));
}
KR_3D_FN(d3d_transform_add_rotation_x) {
    AddWorld(rt, Mat4::RotationX(Angle(args[0])));
}
KR_3D_FN(d3d_transform_add_rotation_y) {
    AddWorld(rt, Mat4::RotationY(Angle(args[0])));
}
KR_3D_FN(d3d_transform_add_rotation_z) {
    AddWorld(rt, Mat4::RotationZ(Angle(args[0])));
}
KR_3D_FN(d3d_transform_add_rotation_axis) {
    AddWorld(rt, Mat4::RotationAxis(R(args, 0), R(args, 1), R(args, 2), Angle(args[3])));
}

KR_3D_FN(d3d_transform_stack_clear) {
    Stack(rt).entries.clear();
}
KR_3D_FN(d3d_transform_stack_empty) {
    result.SetReal(Stack(rt).entries.empty() ? 1 : 0);
}
KR_3D_FN(d3d_transform_stack_push) {
    TransformStack& s = Stack(rt);
    if (int32_t(s.entries.size()) >= TransformStack::kSize) return;
    s.entries.push_back(Gfx(rt).World());
    result.SetReal(1);
}
KR_3D_FN(d3d_transform_stack_pop) {
    TransformStack& s = Stack(rt);
    if (s.entries.empty()) return;
    Gfx(rt).SetWorld(s.entries.back());
    s.entries.pop_back();
    result.SetReal(1);
}
KR_3D_FN(d3d_transform_stack_top) {
    TransformStack& s = Stack(rt);
    if (s.entries.empty()) return;
    Gfx(rt).SetWorld(s.entries.back());
    result.SetReal(1);
}
KR_3D_FN(d3d_transform_stack_discard) {
    TransformStack& s = Stack(rt);
    if (s.entries.empty()) return;
    s.entries.pop_back();
    result.SetReal(1);
}

// ---- Lights ----

KR_3D_FN(d3d_light_define_direction) {
    Gfx(rt).LightDefineDirection(ArgInt(args[0]), R(args, 1), R(args, 2), R(args, 3),
                                 ArgInt(args[4]));
}
KR_3D_FN(d3d_light_define_point) {
    Gfx(rt).LightDefinePoint(ArgInt(args[0]), R(args, 1), R(args, 2), R(args, 3), R(args, 4),
                             ArgInt(args[5]));
}
KR_3D_FN(d3d_light_enable) {
    Gfx(rt).LightEnable(ArgInt(args[0]), ArgBool(args[1]));
}

// ---- Models ----

C3D_Model* ModelArg(Runtime& rt, const RValue& id) {
    return Gfx(rt).GetModel(ArgInt(id));
}

KR_3D_FN(d3d_model_create) {
    result.SetReal(Gfx(rt).ModelCreate());
}
KR_3D_FN(d3d_model_destroy) {
    Gfx(rt).ModelDestroy(ArgInt(args[0]));
}
KR_3D_FN(d3d_model_clear) {
    if (C3D_Model* m = ModelArg(rt, args[0])) m->Clear();
}
// A file that cannot be read or is not a model leaves what the reader made of it; the result
// stays 0 either way.
KR_3D_FN(d3d_model_load) {
    C3D_Model* m = ModelArg(rt, args[0]);
    if (!m) return;
    m->Clear();
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(MapGamePath(ArgStr(args[1])), bytes)) return;
    m->FromText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
// The file is replaced only once it is written whole.
KR_3D_FN(d3d_model_save) {
    C3D_Model* m = ModelArg(rt, args[0]);
    if (!m) return;
    std::string text = m->ToText();
    WriteFileAtomically(MapGamePath(ArgStr(args[1])),
                        std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}
KR_3D_FN(d3d_model_draw) {
    Gfx(rt).ModelDraw(ArgInt(args[0]), R(args, 1), R(args, 2), R(args, 3), ArgInt(args[4]));
}

// Appends command `code` with the arguments after the model id as its values.
void Command(Runtime& rt, const RValue* a, int argc, int32_t code) {
    C3D_Model* m = ModelArg(rt, a[0]);
    if (!m) return;
    double v[10] = {};
    for (int i = 1; i < argc && i <= 10; ++i) v[i - 1] = ArgReal(a[i]);
    m->Add(code, {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]});
}

#define KR_MODEL_FN(name, code, argc)  \
    KR_3D_FN(name) {                   \
        Command(rt, args, argc, code); \
    }
KR_MODEL_FN(d3d_model_primitive_begin, kModelPrimitiveBegin, 2)
KR_MODEL_FN(d3d_model_primitive_end, kModelPrimitiveEnd, 1)
KR_MODEL_FN(d3d_model_vertex, kModelVertex, 4)
KR_MODEL_FN(d3d_model_vertex_color, kModelVertexColor, 6)
KR_MODEL_FN(d3d_model_vertex_texture, kModelVertexTexture, 6)
KR_MODEL_FN(d3d_model_vertex_texture_color, kModelVertexTextureColor, 8)
KR_MODEL_FN(d3d_model_vertex_normal, kModelVertexNormal, 7)
KR_MODEL_FN(d3d_model_vertex_normal_color, kModelVertexNormalColor, 9)
KR_MODEL_FN(d3d_model_vertex_normal_texture, kModelVertexNormalTexture, 9)
KR_MODEL_FN(d3d_model_vertex_normal_texture_color, kModelVertexNormalTextureColor, 11)
KR_MODEL_FN(d3d_model_block, kModelBlock, 9)
KR_MODEL_FN(d3d_model_cylinder, kModelCylinder, 11)
KR_MODEL_FN(d3d_model_cone, kModelCone, 11)
KR_MODEL_FN(d3d_model_ellipsoid, kModelEllipsoid, 10)
KR_MODEL_FN(d3d_model_wall, kModelWall, 9)
KR_MODEL_FN(d3d_model_floor, kModelFloor, 9)
#undef KR_MODEL_FN
#undef KR_3D_FN

}  // namespace

// ORDER VOCABULARY: the rows keep the registration order of the family.
static constexpr BuiltinDef k3DFunctions[] = {
    {"d3d_start", &fn_d3d_start, 0},
    {"d3d_end", &fn_d3d_end, 0},
    {"d3d_set_perspective", &fn_d3d_set_perspective, 1},
    {"d3d_set_hidden", &fn_d3d_set_hidden, 1},
    {"d3d_set_depth", &fn_d3d_set_depth, 1},
    {"d3d_set_lighting", &fn_d3d_set_lighting, 1},
    {"d3d_set_shading", &fn_d3d_set_shading, 1},
    {"d3d_set_fog", &fn_d3d_set_fog, 4},
    {"d3d_set_culling", &fn_d3d_set_culling, 1},
    {"d3d_primitive_begin", &fn_d3d_primitive_begin, 1},
    {"d3d_primitive_begin_texture", &fn_d3d_primitive_begin_texture, 2},
    {"d3d_primitive_end", &fn_d3d_primitive_end, 0},
    {"d3d_vertex", &fn_d3d_vertex, 3},
    {"d3d_vertex_color", &fn_d3d_vertex_color, 5},
    {"d3d_vertex_texture", &fn_d3d_vertex_texture, 5},
    {"d3d_vertex_texture_color", &fn_d3d_vertex_texture_color, 7},
    {"d3d_vertex_normal", &fn_d3d_vertex_normal, 6},
    {"d3d_vertex_normal_color", &fn_d3d_vertex_normal_color, 8},
    {"d3d_vertex_normal_texture", &fn_d3d_vertex_normal_texture, 8},
    {"d3d_vertex_normal_texture_color", &fn_d3d_vertex_normal_texture_color, 10},
    {"d3d_draw_block", &fn_d3d_draw_block, 9},
    {"d3d_draw_cylinder", &fn_d3d_draw_cylinder, 11},
    {"d3d_draw_cone", &fn_d3d_draw_cone, 11},
    {"d3d_draw_ellipsoid", &fn_d3d_draw_ellipsoid, 10},
    {"d3d_draw_wall", &fn_d3d_draw_wall, 9},
    {"d3d_draw_floor", &fn_d3d_draw_floor, 9},
    {"d3d_set_projection", &fn_d3d_set_projection, 9},
    {"d3d_set_projection_ext", &fn_d3d_set_projection_ext, 13},
    {"d3d_set_projection_ortho", &fn_d3d_set_projection_ortho, 5},
    {"d3d_set_projection_perspective", &fn_d3d_set_projection_perspective, 5},
    {"d3d_transform_set_identity", &fn_d3d_transform_set_identity, 0},
    {"d3d_transform_set_translation", &fn_d3d_transform_set_translation, 3},
    {"d3d_transform_set_scaling", &fn_d3d_transform_set_scaling, 3},
    {"d3d_transform_set_rotation_x", &fn_d3d_transform_set_rotation_x, 1},
    {"d3d_transform_set_rotation_y", &fn_d3d_transform_set_rotation_y, 1},
    {"d3d_transform_set_rotation_z", &fn_d3d_transform_set_rotation_z, 1},
    {"d3d_transform_set_rotation_axis", &fn_d3d_transform_set_rotation_axis, 4},
    {"d3d_transform_add_translation", &fn_d3d_transform_add_translation, 3},
    {"d3d_transform_add_scaling", &fn_d3d_transform_add_scaling, 3},
    {"d3d_transform_add_rotation_x", &fn_d3d_transform_add_rotation_x, 1},
    {"d3d_transform_add_rotation_y", &fn_d3d_transform_add_rotation_y, 1},
    {"d3d_transform_add_rotation_z", &fn_d3d_transform_add_rotation_z, 1},
    {"d3d_transform_add_rotation_axis", &fn_d3d_transform_add_rotation_axis, 4},
    {"d3d_transform_stack_clear", &fn_d3d_transform_stack_clear, 0},
    {"d3d_transform_stack_empty", &fn_d3d_transform_stack_empty, 0},
    {"d3d_transform_stack_push", &fn_d3d_transform_stack_push, 0},
    {"d3d_transform_stack_pop", &fn_d3d_transform_stack_pop, 0},
    {"d3d_transform_stack_top", &fn_d3d_transform_stack_top, 0},
    {"d3d_transform_stack_discard", &fn_d3d_transform_stack_discard, 0},
    {"d3d_light_define_direction", &fn_d3d_light_define_direction, 5},
    {"d3d_light_define_point", &fn_d3d_light_define_point, 6},
    {"d3d_light_enable", &fn_d3d_light_enable, 2},
    {"d3d_model_create", &fn_d3d_model_create, 0},
    {"d3d_model_destroy", &fn_d3d_model_destroy, 1},
    {"d3d_model_clear", &fn_d3d_model_clear, 1},
    {"d3d_model_load", &fn_d3d_model_load, 2},
    {"d3d_model_save", &fn_d3d_model_save, 2},
    {"d3d_model_draw", &fn_d3d_model_draw, 5},
    {"d3d_model_primitive_begin", &fn_d3d_model_primitive_begin, 2},
    {"d3d_model_primitive_end", &fn_d3d_model_primitive_end, 1},
    {"d3d_model_vertex", &fn_d3d_model_vertex, 4},
    {"d3d_model_vertex_color", &fn_d3d_model_vertex_color, 6},
    {"d3d_model_vertex_texture", &fn_d3d_model_vertex_texture, 6},
    {"d3d_model_vertex_texture_color", &fn_d3d_model_vertex_texture_color, 8},
    {"d3d_model_vertex_normal", &fn_d3d_model_vertex_normal, 7},
    {"d3d_model_vertex_normal_color", &fn_d3d_model_vertex_normal_color, 9},
    {"d3d_model_vertex_normal_texture", &fn_d3d_model_vertex_normal_texture, 9},
    {"d3d_model_vertex_normal_texture_color", &fn_d3d_model_vertex_normal_texture_color, 11},
    {"d3d_model_block", &fn_d3d_model_block, 9},
    {"d3d_model_cylinder", &fn_d3d_model_cylinder, 11},
    {"d3d_model_cone", &fn_d3d_model_cone, 11},
    {"d3d_model_ellipsoid", &fn_d3d_model_ellipsoid, 10},
    {"d3d_model_wall", &fn_d3d_model_wall, 9},
    {"d3d_model_floor", &fn_d3d_model_floor, 9},
};

void Register3DFunctions(BuiltinRegistry& reg) {
    reg.AddTable<k3DFunctions>();
}

}  // namespace kr
