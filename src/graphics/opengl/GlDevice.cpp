// The graphics device on OpenGL 3.3 core. The picture of the window region is a framebuffer of
// its own; presenting blits it, scaled, into the window. Every target is drawn upside down
// relative to OpenGL's convention (top row first), so that pixels read back, textures uploaded
// and surfaces drawn as textures all share one orientation.
#include "graphics/opengl/GlDevice.h"

#include <GL/glcorearb.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace kr {

namespace {

// ORDER: sorted.
#define KR_GL_FUNCTIONS(X)                                         \
    X(PFNGLACTIVETEXTUREPROC, glActiveTexture)                     \
    X(PFNGLATTACHSHADERPROC, glAttachShader)                       \
    X(PFNGLBINDBUFFERPROC, glBindBuffer)                           \
    X(PFNGLBINDFRAMEBUFFERPROC, glBindFramebuffer)                 \
    X(PFNGLBINDRENDERBUFFERPROC, glBindRenderbuffer)               \
    X(PFNGLBINDTEXTUREPROC, glBindTexture)                         \
    X(PFNGLBINDVERTEXARRAYPROC, glBindVertexArray)                 \
    X(PFNGLBLENDFUNCPROC, glBlendFunc)                             \
    X(PFNGLBLITFRAMEBUFFERPROC, glBlitFramebuffer)                 \
    X(PFNGLBUFFERDATAPROC, glBufferData)                           \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, glCheckFramebufferStatus)   \
    X(PFNGLCLEARCOLORPROC, glClearColor)                           \
    X(PFNGLCLEARPROC, glClear)                                     \
    X(PFNGLCOMPILESHADERPROC, glCompileShader)                     \
    X(PFNGLCREATEPROGRAMPROC, glCreateProgram)                     \
    X(PFNGLCREATESHADERPROC, glCreateShader)                       \
    X(PFNGLCULLFACEPROC, glCullFace)                               \
    X(PFNGLDELETEBUFFERSPROC, glDeleteBuffers)                     \
    X(PFNGLDELETEFRAMEBUFFERSPROC, glDeleteFramebuffers)           \
    X(PFNGLDELETEPROGRAMPROC, glDeleteProgram)                     \
    X(PFNGLDELETERENDERBUFFERSPROC, glDeleteRenderbuffers)         \
    X(PFNGLDELETESHADERPROC, glDeleteShader)                       \
    X(PFNGLDELETETEXTURESPROC, glDeleteTextures)                   \
    X(PFNGLDELETEVERTEXARRAYSPROC, glDeleteVertexArrays)           \
    X(PFNGLDEPTHFUNCPROC, glDepthFunc)                             \
    X(PFNGLDEPTHMASKPROC, glDepthMask)                             \
    X(PFNGLDISABLEPROC, glDisable)                                 \
    X(PFNGLDRAWARRAYSPROC, glDrawArrays)                           \
    X(PFNGLENABLEPROC, glEnable)                                   \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, glEnableVertexAttribArray) \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, glFramebufferRenderbuffer) \
    X(PFNGLFRAMEBUFFERTEXTURE2DPROC, glFramebufferTexture2D)       \
    X(PFNGLFRONTFACEPROC, glFrontFace)                             \
    X(PFNGLGENBUFFERSPROC, glGenBuffers)                           \
    X(PFNGLGENFRAMEBUFFERSPROC, glGenFramebuffers)                 \
    X(PFNGLGENRENDERBUFFERSPROC, glGenRenderbuffers)               \
    X(PFNGLGENTEXTURESPROC, glGenTextures)                         \
    X(PFNGLGENVERTEXARRAYSPROC, glGenVertexArrays)                 \
    X(PFNGLGETERRORPROC, glGetError)                               \
    X(PFNGLGETINTEGERVPROC, glGetIntegerv)                         \
    X(PFNGLGETPROGRAMIVPROC, glGetProgramiv)                       \
    X(PFNGLGETSHADERIVPROC, glGetShaderiv)                         \
    X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation)           \
    X(PFNGLLINKPROGRAMPROC, glLinkProgram)                         \
    X(PFNGLPIXELSTOREIPROC, glPixelStorei)                         \
    X(PFNGLREADPIXELSPROC, glReadPixels)                           \
    X(PFNGLRENDERBUFFERSTORAGEPROC, glRenderbufferStorage)         \
    X(PFNGLSCISSORPROC, glScissor)                                 \
    X(PFNGLSHADERSOURCEPROC, glShaderSource)                       \
    X(PFNGLTEXIMAGE2DPROC, glTexImage2D)                           \
    X(PFNGLTEXPARAMETERIPROC, glTexParameteri)                     \
    X(PFNGLTEXSUBIMAGE2DPROC, glTexSubImage2D)                     \
    X(PFNGLUNIFORM1FPROC, glUniform1f)                             \
    X(PFNGLUNIFORM1IPROC, glUniform1i)                             \
    X(PFNGLUNIFORM3FPROC, glUniform3f)                             \
    X(PFNGLUNIFORM3FVPROC, glUniform3fv)                           \
    X(PFNGLUNIFORM4FPROC, glUniform4f)                             \
    X(PFNGLUNIFORM4FVPROC, glUniform4fv)                           \
    X(PFNGLUNIFORMMATRIX4FVPROC, glUniformMatrix4fv)               \
    X(PFNGLUSEPROGRAMPROC, glUseProgram)                           \
    X(PFNGLVERTEXATTRIBPOINTERPROC, glVertexAttribPointer)         \
    X(PFNGLVIEWPORTPROC, glViewport)

struct Gl {
#define KR_GL_POINTER(type, name) type name = nullptr;
    KR_GL_FUNCTIONS(KR_GL_POINTER)
#undef KR_GL_POINTER
    // Not in OpenGL ES, whose flat shading always takes the last vertex.
    PFNGLPROVOKINGVERTEXPROC glProvokingVertex = nullptr;
    // One of the two: OpenGL ES has only the float one.
    PFNGLCLEARDEPTHPROC glClearDepth = nullptr;
    PFNGLCLEARDEPTHFPROC glClearDepthf = nullptr;
};

// The first lines of every shader. The shaders are written in the common part of GLSL 3.30
// core and GLSL ES 3.00. OpenGL ES has no BGRA vertex attributes: there the colour bytes
// arrive as R, G, B, A in memory order and are put right in the shader.
constexpr char kDesktopShaderHeader[] = "#version 330 core\n#define VERTEX_COLOR(c) (c)\n";
constexpr char kEsShaderHeader[] =
    "#version 300 es\nprecision highp float;\nprecision highp int;\n"
    "#define VERTEX_COLOR(c) (c).bgra\n";

// The plain program: what 2D drawing needs and no more, so that it pays nothing for 3D.
constexpr char kPlainVertexShader[] = R"(layout(location = 0) in vec3 position;
layout(location = 1) in vec4 color;
layout(location = 2) in vec2 texcoord;
layout(location = 4) in float follow;
uniform mat4 transform;
uniform vec4 follow_color;
out vec4 v_color;
out vec2 v_texcoord;
void main() {
    gl_Position = transform * vec4(position, 1.0);
    v_color = follow > 0.5 ? follow_color : VERTEX_COLOR(color);
    v_texcoord = texcoord;
}
)";

// MODE: 0 vertex colour only, 1 texture times vertex colour, 2 texture alone. Each mode is a
// program of its own: a software rasterizer runs a shader's branches for every pixel.
constexpr char kPlainFragmentShader[] = R"(in vec4 v_color;
in vec2 v_texcoord;
uniform sampler2D image;
out vec4 fragment;
void main() {
#if MODE == 0
    fragment = v_color;
#elif MODE == 1
    fragment = texture(image, v_texcoord) * v_color;
#else
    fragment = texture(image, v_texcoord);
#endif
}
)";

// The full program, used while lighting, fog, the alpha test or flat shading is on.
// Lighting follows the fixed-function model: the vertex colour is the material, lit per
// vertex in world space by the ambient light and the enabled lights.
constexpr char kVertexShader[] = R"(layout(location = 0) in vec3 position;
layout(location = 1) in vec4 color;
layout(location = 2) in vec2 texcoord;
layout(location = 3) in vec3 normal;
layout(location = 4) in float follow;
uniform mat4 transform;
uniform vec4 follow_color;
uniform mat4 world;
uniform mat4 view;
uniform bool lighting;
uniform bool fog;
uniform vec3 ambient;
uniform int light_count;
uniform vec4 light_position[8];
uniform vec3 light_color[8];
uniform vec3 light_range[8];
out vec4 v_color;
flat out vec4 v_first_color;
out vec2 v_texcoord;
out float v_distance;
void main() {
    gl_Position = transform * vec4(position, 1.0);
    vec4 base = follow > 0.5 ? follow_color : VERTEX_COLOR(color);
    vec4 c = base;
    vec4 p = lighting || fog ? world * vec4(position, 1.0) : vec4(0.0);
    if (lighting) {
        vec3 n = mat3(world) * normal;
        float len = length(n);
        if (len > 0.0) n /= len;
        vec3 sum = ambient;
        for (int i = 0; i < light_count; ++i) {
            vec3 l;
            float a = 1.0;
            if (light_position[i].w == 0.0) {
                l = -light_position[i].xyz;
            } else {
                l = light_position[i].xyz - p.xyz;
                float d = length(l);
                if (d > light_range[i].x) continue;
                a = 1.0 / max(light_range[i].y + light_range[i].z * d, 0.000001);
            }
            float ll = length(l);
            if (ll > 0.0) l /= ll;
            sum += light_color[i] * max(dot(n, l), 0.0) * a;
        }
        c = vec4(min(base.rgb * sum, vec3(1.0)), base.a);
    }
    v_color = c;
    v_first_color = c;
    v_texcoord = texcoord;
    v_distance = fog ? (view * p).z : 0.0;
}
)";

// mode: 0 vertex colour only, 1 texture times vertex colour, 2 texture alone. The alpha test
// keeps fully transparent pixels out of the depth buffer; fog mixes in linearly with the eye
// distance.
constexpr char kFragmentShader[] = R"(in vec4 v_color;
flat in vec4 v_first_color;
in vec2 v_texcoord;
in float v_distance;
uniform sampler2D image;
uniform int mode;
uniform bool smooth_shading;
uniform bool fog;
uniform vec3 fog_color;
uniform float fog_start;
uniform float fog_end;
out vec4 fragment;
void main() {
    vec4 c = smooth_shading ? v_color : v_first_color;
    if (mode == 1) c = texture(image, v_texcoord) * c;
    else if (mode == 2) c = texture(image, v_texcoord);
#ifdef ALPHA_TEST
    if (c.a < 0.5 / 255.0) discard;
#endif
    if (fog) {
        float f = fog_end > fog_start
            ? clamp((fog_end - v_distance) / (fog_end - fog_start), 0.0, 1.0)
            : (v_distance < fog_end ? 1.0 : 0.0);
        c.rgb = mix(fog_color, c.rgb, f);
    }
    fragment = c;
}
)";

GLenum BlendFactor(int32_t f, GLenum fallback) {
    switch (f) {
        case 1:
            return GL_ZERO;
        case 2:
            return GL_ONE;
        case 3:
            return GL_SRC_COLOR;
        case 4:
            return GL_ONE_MINUS_SRC_COLOR;
        case 5:
            return GL_SRC_ALPHA;
        case 6:
            return GL_ONE_MINUS_SRC_ALPHA;
        case 7:
            return GL_DST_ALPHA;
        case 8:
            return GL_ONE_MINUS_DST_ALPHA;
        case 9:
            return GL_DST_COLOR;
        case 10:
            return GL_ONE_MINUS_DST_COLOR;
        case 11:
            return GL_SRC_ALPHA_SATURATE;
        default:
            return fallback;
    }
}

// A software rasterizer allocates the transformed vertices and the binned triangles of a frame
// afresh for every frame (megabytes for tens of thousands of quads) and frees them when the frame
// is drawn. By default the C library hands blocks that large straight back to the system, and
// the next frame pays a page fault for every page it touches again. Freed memory is kept for
// reuse instead, up to a limit well above what a frame needs.
void KeepFrameMemory() {
#ifdef __GLIBC__
    static const bool done = [] {
        mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest the library allows
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
        return true;
    }();
    (void)done;
#endif
}

class GlDevice final : public GraphicsDevice {
public:
    GlDevice(std::unique_ptr<GlContext> context, const Gl& gl)
        : context_(std::move(context)), gl_(gl) {}
    ~GlDevice() override {
        for (auto& [tex, fb] : framebuffers_) gl_.glDeleteFramebuffers(1, &fb);
        for (auto& [tex, info] : textures_) gl_.glDeleteTextures(1, &tex);
        for (auto& [id, mesh] : meshes_) {
            gl_.glDeleteVertexArrays(1, &mesh.vao);
            gl_.glDeleteBuffers(1, &mesh.buffer);
            if (mesh.follows) gl_.glDeleteBuffers(1, &mesh.follows);
        }
        if (depth_rb_) gl_.glDeleteRenderbuffers(1, &depth_rb_);
        if (buffer3d_) gl_.glDeleteBuffers(1, &buffer3d_);
        if (vao3d_) gl_.glDeleteVertexArrays(1, &vao3d_);
        if (picture_fb_) gl_.glDeleteFramebuffers(1, &picture_fb_);
        if (picture_tex_) gl_.glDeleteTextures(1, &picture_tex_);
        if (buffer_) gl_.glDeleteBuffers(1, &buffer_);
        if (vao_) gl_.glDeleteVertexArrays(1, &vao_);
        for (Program* p : {&plain_[0], &plain_[1], &plain_[2], &full_, &opaque_})
            if (p->id) gl_.glDeleteProgram(p->id);
    }

    bool Init(std::string& error) {
        KeepFrameMemory();
        for (int mode = 0; mode < 3; ++mode) {
            const std::string source =
                "#define MODE " + std::to_string(mode) + "\n" + kPlainFragmentShader;
            plain_[mode].id = Link(kPlainVertexShader, source.c_str(), error);
            if (!plain_[mode].id) return false;
            plain_[mode].fixed_mode = mode;
        }
        // The full program comes with the alpha test and without: a shader that may discard
        // keeps the rasterizer from testing depth early, so it is used only when a draw may
        // have fully transparent pixels.
        std::string with_test = kFragmentShader;
        with_test.insert(0, "#define ALPHA_TEST\n");
        full_.id = Link(kVertexShader, with_test.c_str(), error);
        if (!full_.id) return false;
        opaque_.id = Link(kVertexShader, kFragmentShader, error);
        if (!opaque_.id) return false;
        for (Program* p : {&plain_[0], &plain_[1], &plain_[2], &full_, &opaque_}) {
            gl_.glUseProgram(p->id);
            p->transform = gl_.glGetUniformLocation(p->id, "transform");
            p->mode = gl_.glGetUniformLocation(p->id, "mode");
            p->follow_color = gl_.glGetUniformLocation(p->id, "follow_color");
            for (size_t i = 0; i < kUniformCount; ++i)
                p->loc[i] = gl_.glGetUniformLocation(p->id, kUniformNames[i]);
            gl_.glUniform1i(p->loc[kSmooth], 1);
            gl_.glUniform1i(gl_.glGetUniformLocation(p->id, "image"), 0);
        }
        static const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        current_ = &opaque_;  // the last one the loop used
        SetWorldView(kIdentity, kIdentity);
        Use(Plain());
        gl_.glGenVertexArrays(1, &vao3d_);
        gl_.glGenBuffers(1, &buffer3d_);
        gl_.glBindVertexArray(vao3d_);
        gl_.glBindBuffer(GL_ARRAY_BUFFER, buffer3d_);
        Attributes3D();
        gl_.glGenVertexArrays(1, &vao_);
        gl_.glBindVertexArray(vao_);
        gl_.glGenBuffers(1, &buffer_);
        gl_.glBindBuffer(GL_ARRAY_BUFFER, buffer_);
        gl_.glEnableVertexAttribArray(0);
        gl_.glEnableVertexAttribArray(1);
        gl_.glEnableVertexAttribArray(2);
        gl_.glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                                  reinterpret_cast<void*>(offsetof(Vertex, x)));
        // The device colour 0xAARRGGBB lies in memory as B, G, R, A.
        gl_.glVertexAttribPointer(1, es_ ? 4 : GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                                  reinterpret_cast<void*>(offsetof(Vertex, color)));
        gl_.glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                                  reinterpret_cast<void*>(offsetof(Vertex, u)));
        bound_vao_ = vao_;
        gl_.glEnable(GL_BLEND);
        gl_.glDisable(GL_DEPTH_TEST);
        gl_.glDepthFunc(GL_LEQUAL);
        if (gl_.glProvokingVertex) gl_.glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
        gl_.glDisable(GL_CULL_FACE);
        gl_.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        gl_.glPixelStorei(GL_PACK_ALIGNMENT, 4);
        gl_.glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture_);
        SetBlend(5, 6);
        if (!SetPictureSize(640, 480)) {
            error = "cannot make the off-screen picture";
            return false;
        }
        SetTarget(0);
        return true;
    }

    int32_t MaxTextureSize() const override { return max_texture_; }

    DeviceTexture CreateTexture(int32_t w, int32_t h, bool render_target) override {
        if (w < 1 || h < 1 || w > max_texture_ || h > max_texture_) return 0;
        GLuint tex = 0;
        gl_.glGenTextures(1, &tex);
        if (!tex) return 0;
        while (gl_.glGetError() != GL_NO_ERROR) {
        }
        gl_.glBindTexture(GL_TEXTURE_2D, tex);
        gl_.glTexImage2D(GL_TEXTURE_2D, 0, InternalFormat(), w, h, 0, PixelFormat(),
                         GL_UNSIGNED_BYTE, nullptr);
        gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        bound_tex_ = tex;
        if (gl_.glGetError() != GL_NO_ERROR) {
            gl_.glDeleteTextures(1, &tex);
            bound_tex_ = 0;
            return 0;
        }
        textures_[tex] = TexInfo{w, h, -1, -1};
        if (render_target) {
            GLuint fb = 0;
            gl_.glGenFramebuffers(1, &fb);
            gl_.glBindFramebuffer(GL_FRAMEBUFFER, fb);
            gl_.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
            bool ok = gl_.glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
            gl_.glBindFramebuffer(GL_FRAMEBUFFER, CurrentFramebuffer());
            if (!ok) {
                gl_.glDeleteFramebuffers(1, &fb);
                FreeTexture(tex);
                return 0;
            }
            framebuffers_[tex] = fb;
        }
        return tex;
    }

    bool UploadTexture(DeviceTexture tex, int32_t w, int32_t h, const Bgra* pixels) override {
        auto it = textures_.find(tex);
        if (it == textures_.end() || w > it->second.w || h > it->second.h) return false;
        gl_.glBindTexture(GL_TEXTURE_2D, tex);
        bound_tex_ = tex;
        if (es_) {
            // OpenGL ES takes no BGRA pixels: they go up as RGBA.
            upload_.assign(pixels, pixels + size_t(w) * size_t(h));
            SwapRedBlue(upload_.data(), upload_.size());
            pixels = upload_.data();
        }
        gl_.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, PixelFormat(), GL_UNSIGNED_BYTE, pixels);
        return true;
    }

    void FreeTexture(DeviceTexture tex) override {
        if (auto f = framebuffers_.find(tex); f != framebuffers_.end()) {
            if (target_ == tex) SetTarget(0);
            gl_.glDeleteFramebuffers(1, &f->second);
            framebuffers_.erase(f);
        }
        if (textures_.erase(tex)) gl_.glDeleteTextures(1, &tex);
        if (bound_tex_ == tex) bound_tex_ = 0;
    }

    bool SetPictureSize(int32_t w, int32_t h) override {
        w = std::max(w, 1), h = std::max(h, 1);
        if (picture_fb_ && w == picture_w_ && h == picture_h_) return true;
        if (w > max_texture_ || h > max_texture_) return false;
        GLuint tex = 0, fb = 0;
        gl_.glGenTextures(1, &tex);
        gl_.glBindTexture(GL_TEXTURE_2D, tex);
        gl_.glTexImage2D(GL_TEXTURE_2D, 0, InternalFormat(), w, h, 0, PixelFormat(),
                         GL_UNSIGNED_BYTE, nullptr);
        gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        bound_tex_ = tex;
        gl_.glGenFramebuffers(1, &fb);
        gl_.glBindFramebuffer(GL_FRAMEBUFFER, fb);
        gl_.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
        if (gl_.glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            gl_.glDeleteFramebuffers(1, &fb);
            gl_.glDeleteTextures(1, &tex);
            gl_.glBindFramebuffer(GL_FRAMEBUFFER, CurrentFramebuffer());
            return false;
        }
        // The old picture's contents stay visible where the new one overlaps it.
        gl_.glClearColor(0, 0, 0, 1);
        gl_.glDisable(GL_SCISSOR_TEST);
        gl_.glClear(GL_COLOR_BUFFER_BIT);
        if (picture_fb_) {
            gl_.glBindFramebuffer(GL_READ_FRAMEBUFFER, picture_fb_);
            int32_t cw = std::min(w, picture_w_), ch = std::min(h, picture_h_);
            gl_.glBlitFramebuffer(0, 0, cw, ch, 0, 0, cw, ch, GL_COLOR_BUFFER_BIT, GL_NEAREST);
            gl_.glDeleteFramebuffers(1, &picture_fb_);
            gl_.glDeleteTextures(1, &picture_tex_);
        }
        picture_fb_ = fb, picture_tex_ = tex, picture_w_ = w, picture_h_ = h;
        bool depth_ok = !depth_rb_ || AttachDepth();
        gl_.glBindFramebuffer(GL_FRAMEBUFFER, CurrentFramebuffer());
        return depth_ok;
    }

    void SetTarget(DeviceTexture tex) override {
        if (tex && !framebuffers_.count(tex)) tex = 0;
        target_ = tex;
        gl_.glBindFramebuffer(GL_FRAMEBUFFER, CurrentFramebuffer());
    }

    void SetViewport(int32_t x, int32_t y, int32_t w, int32_t h) override {
        vx_ = x, vy_ = y, vw_ = w, vh_ = h;
        gl_.glViewport(x, y, w, h);
    }

    void SetTransform(const float* matrix) override {
        std::copy(matrix, matrix + 16, transform_);
        gl_.glUniformMatrix4fv(current_->transform, 1, GL_FALSE, matrix);
    }

    void SetBlend(int32_t source, int32_t destination) override {
        gl_.glBlendFunc(BlendFactor(source, GL_SRC_ALPHA),
                        BlendFactor(destination, GL_ONE_MINUS_SRC_ALPHA));
    }

    void SetTextureStates(bool interpolate, bool modulate) override {
        interpolate_ = interpolate;
        modulate_ = modulate;
    }

    void Clear(uint32_t color) override {
        gl_.glEnable(GL_SCISSOR_TEST);
        gl_.glScissor(vx_, vy_, std::max(vw_, 0), std::max(vh_, 0));
        gl_.glClearColor(float((color >> 16) & 0xFF) / 255.f, float((color >> 8) & 0xFF) / 255.f,
                         float(color & 0xFF) / 255.f, float(color >> 24) / 255.f);
        gl_.glClear(GL_COLOR_BUFFER_BIT);
        gl_.glDisable(GL_SCISSOR_TEST);
    }

    void Draw(Primitive kind, DeviceTexture tex, bool wrap, const Vertex* vertices,
              size_t count) override {
        if (!count) return;
        Choose(textures_.count(tex) != 0, vertices, count);
        BindTexture(tex, wrap);
        UseArrays(vao_, buffer_);
        size_t bytes = count * sizeof(Vertex);
        // A fresh store for each draw keeps the driver from waiting on the previous one.
        gl_.glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(bytes), vertices, GL_STREAM_DRAW);
        gl_.glDrawArrays(Mode(kind), 0, GLsizei(count));
    }

    // Binds `tex` (none for 0 or an unknown one) with the sampling and the shader mode it needs.
    void BindTexture(DeviceTexture tex, bool wrap) {
        int mode = 0;
        auto it = tex ? textures_.find(tex) : textures_.end();
        if (it != textures_.end()) {
            mode = modulate_ ? 1 : 2;
            if (bound_tex_ != tex) {
                gl_.glBindTexture(GL_TEXTURE_2D, tex);
                bound_tex_ = tex;
            }
            // Sampling is set per texture, and only when it changes.
            int filter = interpolate_ ? 1 : 0, address = wrap ? 1 : 0;
            if (it->second.filter != filter) {
                GLint f = interpolate_ ? GL_LINEAR : GL_NEAREST;
                gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, f);
                gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, f);
                it->second.filter = filter;
            }
            if (it->second.address != address) {
                GLint a = wrap ? GL_REPEAT : GL_CLAMP_TO_EDGE;
                gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, a);
                gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, a);
                it->second.address = address;
            }
        }
        if (mode != mode_) {
            mode_ = mode;
            if (current_->fixed_mode >= 0)
                Use(Plain());
            else
                gl_.glUniform1i(current_->mode, mode);
        }
    }

    static GLenum Mode(Primitive kind) {
        return kind == Primitive::kPoints  ? GL_POINTS
               : kind == Primitive::kLines ? GL_LINES
                                           : GL_TRIANGLES;
    }

    void UseArrays(GLuint vao, GLuint buffer) {
        if (bound_vao_ == vao) return;
        gl_.glBindVertexArray(vao);
        gl_.glBindBuffer(GL_ARRAY_BUFFER, buffer);
        bound_vao_ = vao;
    }

    // The attribute layout of Vertex3D in the bound vertex array and buffer.
    void Attributes3D() {
        for (GLuint i = 0; i < 4; ++i) gl_.glEnableVertexAttribArray(i);
        gl_.glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex3D),
                                  reinterpret_cast<void*>(offsetof(Vertex3D, x)));
        gl_.glVertexAttribPointer(1, es_ ? 4 : GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex3D),
                                  reinterpret_cast<void*>(offsetof(Vertex3D, color)));
        gl_.glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex3D),
                                  reinterpret_cast<void*>(offsetof(Vertex3D, u)));
        gl_.glVertexAttribPointer(3, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex3D),
                                  reinterpret_cast<void*>(offsetof(Vertex3D, nx)));
    }

    bool SetDepthBuffer(bool on) override {
        if (!on) {
            if (depth_rb_) {
                gl_.glBindFramebuffer(GL_FRAMEBUFFER, picture_fb_);
                gl_.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                              0);
                gl_.glDeleteRenderbuffers(1, &depth_rb_);
                depth_rb_ = 0;
                gl_.glBindFramebuffer(GL_FRAMEBUFFER, CurrentFramebuffer());
            }
            return true;
        }
        if (depth_rb_) return true;
        gl_.glGenRenderbuffers(1, &depth_rb_);
        bool ok = AttachDepth();
        if (!ok) SetDepthBuffer(false);
        gl_.glBindFramebuffer(GL_FRAMEBUFFER, CurrentFramebuffer());
        return ok;
    }

    void ClearDepth() override {
        gl_.glEnable(GL_SCISSOR_TEST);
        gl_.glScissor(vx_, vy_, std::max(vw_, 0), std::max(vh_, 0));
        gl_.glDepthMask(GL_TRUE);
        if (gl_.glClearDepthf)
            gl_.glClearDepthf(1.0f);
        else
            gl_.glClearDepth(1.0);
        gl_.glClear(GL_DEPTH_BUFFER_BIT);
        gl_.glDisable(GL_SCISSOR_TEST);
    }

    void SetShading(const DeviceShading& s) override {
        if (s.depth_test)
            gl_.glEnable(GL_DEPTH_TEST);
        else
            gl_.glDisable(GL_DEPTH_TEST);
        // Targets are drawn with their top row first, which turns the screen's
        // counter-clockwise into OpenGL's clockwise: the back faces.
        if (s.cull) {
            gl_.glEnable(GL_CULL_FACE);
            gl_.glFrontFace(GL_CCW);
            gl_.glCullFace(GL_BACK);
        } else {
            gl_.glDisable(GL_CULL_FACE);
        }
        auto channel = [](uint32_t c, int shift) { return float((c >> shift) & 0xFF) / 255.f; };
        size_t n = std::min(s.light_count, DeviceShading::kMaxLights);
        float pos[4 * DeviceShading::kMaxLights] = {}, col[3 * DeviceShading::kMaxLights] = {},
                      range[3 * DeviceShading::kMaxLights] = {};
        for (size_t i = 0; i < n; ++i) {
            const DeviceLight& l = s.lights[i];
            pos[4 * i] = l.x, pos[4 * i + 1] = l.y, pos[4 * i + 2] = l.z;
            pos[4 * i + 3] = l.point ? 1.f : 0.f;
            col[3 * i] = l.r, col[3 * i + 1] = l.g, col[3 * i + 2] = l.b;
            range[3 * i] = l.range, range[3 * i + 1] = l.att0, range[3 * i + 2] = l.att1;
        }
        // The full programs' uniforms are set while each is in use.
        for (Program* p : {&full_, &opaque_}) {
            Use(p);
            const GLint* loc = p->loc;
            gl_.glUniform1i(loc[kSmooth], s.smooth);
            gl_.glUniform1i(loc[kLighting], s.lighting);
            gl_.glUniform3f(loc[kAmbient], channel(s.ambient, 16), channel(s.ambient, 8),
                            channel(s.ambient, 0));
            gl_.glUniform1i(loc[kLightCount], GLint(n));
            if (n) {
                gl_.glUniform4fv(loc[kLightPosition], GLsizei(n), pos);
                gl_.glUniform3fv(loc[kLightColor], GLsizei(n), col);
                gl_.glUniform3fv(loc[kLightRange], GLsizei(n), range);
            }
            gl_.glUniform1i(loc[kFog], s.fog);
            gl_.glUniform3f(loc[kFogColor], channel(s.fog_color, 16), channel(s.fog_color, 8),
                            channel(s.fog_color, 0));
            gl_.glUniform1f(loc[kFogStart], s.fog_start);
            gl_.glUniform1f(loc[kFogEnd], s.fog_end);
        }
        full_needed_ = s.lighting || s.fog || !s.smooth;
        alpha_test_ = s.depth_test;
        Use(full_needed_ ? &opaque_ : Plain());
    }

    void SetWorldView(const float* world, const float* view) override {
        Program* keep = current_;
        for (Program* p : {&full_, &opaque_}) {
            Use(p);
            gl_.glUniformMatrix4fv(p->loc[kWorld], 1, GL_FALSE, world);
            gl_.glUniformMatrix4fv(p->loc[kView], 1, GL_FALSE, view);
        }
        Use(keep);
    }

    // The program for a draw: the one with the alpha test when the test is on and the draw
    // may have fully transparent pixels (a texture, or a vertex of alpha 0); otherwise the full
    // one while lighting, fog or flat shading is on, else the plain one.
    template <class V>
    void Choose(bool textured, const V* vertices, size_t count, bool transparent_follow = false) {
        bool transparent = false;
        if (alpha_test_) {
            transparent = textured || transparent_follow;
            for (size_t i = 0; i < count && !transparent; ++i)
                transparent = (vertices[i].color >> 24) == 0;
        }
        Use(transparent ? &full_ : full_needed_ ? &opaque_ : Plain());
    }

    void Draw3D(Primitive kind, DeviceTexture tex, bool wrap, const Vertex3D* vertices,
                size_t count) override {
        if (!count) return;
        Choose(textures_.count(tex) != 0, vertices, count);
        BindTexture(tex, wrap);
        UseArrays(vao3d_, buffer3d_);
        gl_.glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(count * sizeof(Vertex3D)), vertices,
                         GL_STREAM_DRAW);
        gl_.glDrawArrays(Mode(kind), 0, GLsizei(count));
    }

    DeviceMesh CreateMesh(const Vertex3D* vertices, const uint8_t* follows, size_t count) override {
        if (!count || count > size_t(1) << 26) return 0;
        Mesh m;
        gl_.glGenVertexArrays(1, &m.vao);
        gl_.glGenBuffers(1, &m.buffer);
        gl_.glBindVertexArray(m.vao);
        gl_.glBindBuffer(GL_ARRAY_BUFFER, m.buffer);
        bound_vao_ = m.vao;
        while (gl_.glGetError() != GL_NO_ERROR) {
        }
        gl_.glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(count * sizeof(Vertex3D)), vertices,
                         GL_STATIC_DRAW);
        Attributes3D();
        if (follows) {
            gl_.glGenBuffers(1, &m.follows);
            gl_.glBindBuffer(GL_ARRAY_BUFFER, m.follows);
            gl_.glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(count), follows, GL_STATIC_DRAW);
            gl_.glEnableVertexAttribArray(4);
            gl_.glVertexAttribPointer(4, 1, GL_UNSIGNED_BYTE, GL_FALSE, 1, nullptr);
            gl_.glBindBuffer(GL_ARRAY_BUFFER, m.buffer);
        }
        if (gl_.glGetError() != GL_NO_ERROR) {
            gl_.glDeleteVertexArrays(1, &m.vao);
            gl_.glDeleteBuffers(1, &m.buffer);
            if (m.follows) gl_.glDeleteBuffers(1, &m.follows);
            UseArrays(vao_, buffer_);
            return 0;
        }
        m.count = count;
        for (size_t i = 0; i < count && !m.transparent; ++i)
            m.transparent = (!follows || !follows[i]) && (vertices[i].color >> 24) == 0;
        DeviceMesh id = ++last_mesh_;
        meshes_[id] = m;
        return id;
    }

    void FreeMesh(DeviceMesh mesh) override {
        auto it = meshes_.find(mesh);
        if (it == meshes_.end()) return;
        if (bound_vao_ == it->second.vao) UseArrays(vao_, buffer_);
        gl_.glDeleteVertexArrays(1, &it->second.vao);
        gl_.glDeleteBuffers(1, &it->second.buffer);
        if (it->second.follows) gl_.glDeleteBuffers(1, &it->second.follows);
        meshes_.erase(it);
    }

    void DrawMesh(DeviceMesh mesh, Primitive kind, DeviceTexture tex, bool wrap, uint32_t color,
                  size_t first, size_t count) override {
        auto it = meshes_.find(mesh);
        if (it == meshes_.end() || first >= it->second.count) return;
        count = std::min(count, it->second.count - first);
        if (!count) return;
        Choose<Vertex3D>(textures_.count(tex) != 0, nullptr, 0,
                         it->second.transparent || (color >> 24) == 0);
        BindTexture(tex, wrap);
        UseArrays(it->second.vao, it->second.buffer);
        gl_.glUniform4f(current_->follow_color, float((color >> 16) & 0xFF) / 255.f,
                        float((color >> 8) & 0xFF) / 255.f, float(color & 0xFF) / 255.f,
                        float(color >> 24) / 255.f);
        gl_.glDrawArrays(Mode(kind), GLint(first), GLsizei(count));
    }

    bool ReadPixels(DeviceTexture tex, int32_t x, int32_t y, int32_t w, int32_t h,
                    Bgra* out) override {
        GLuint fb = tex ? FramebufferOf(tex) : picture_fb_;
        if (!fb || w < 1 || h < 1) return false;
        gl_.glBindFramebuffer(GL_READ_FRAMEBUFFER, fb);
        gl_.glReadPixels(x, y, w, h, PixelFormat(), GL_UNSIGNED_BYTE, out);
        if (es_) SwapRedBlue(out, size_t(w) * size_t(h));
        gl_.glBindFramebuffer(GL_READ_FRAMEBUFFER, CurrentFramebuffer());
        return gl_.glGetError() == GL_NO_ERROR;
    }

    void CopyRect(DeviceTexture source, int32_t sx, int32_t sy, int32_t w, int32_t h,
                  DeviceTexture destination, int32_t dx, int32_t dy) override {
        GLuint from = source ? FramebufferOf(source) : picture_fb_;
        GLuint to = destination ? FramebufferOf(destination) : picture_fb_;
        if (!from || !to) return;
        gl_.glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
        gl_.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
        gl_.glBlitFramebuffer(sx, sy, sx + w, sy + h, dx, dy, dx + w, dy + h, GL_COLOR_BUFFER_BIT,
                              GL_NEAREST);
        gl_.glBindFramebuffer(GL_FRAMEBUFFER, CurrentFramebuffer());
    }

    void Present(const PresentLayout& l) override {
        if (context_->Offscreen()) return;
        gl_.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        gl_.glViewport(0, 0, l.client_width, l.client_height);
        uint32_t c = l.band_color;
        gl_.glClearColor(float((c >> 16) & 0xFF) / 255.f, float((c >> 8) & 0xFF) / 255.f,
                         float(c & 0xFF) / 255.f, 1.f);
        // The bands around the picture; none when it covers the window (a full clear costs as
        // much as the copy on a software rasterizer).
        if (l.x > 0 || l.y > 0 || l.x + l.width < l.client_width ||
            l.y + l.height < l.client_height)
            gl_.glClear(GL_COLOR_BUFFER_BIT);
        gl_.glBindFramebuffer(GL_READ_FRAMEBUFFER, picture_fb_);
        // The window's framebuffer has its first row at the bottom: the blit turns it over.
        int32_t top = l.client_height - l.y;
        bool scaled = l.width != picture_w_ || l.height != picture_h_;
        gl_.glBlitFramebuffer(0, 0, picture_w_, picture_h_, l.x, top, l.x + l.width, top - l.height,
                              GL_COLOR_BUFFER_BIT, scaled ? GL_LINEAR : GL_NEAREST);
        context_->SwapBuffers();
        gl_.glBindFramebuffer(GL_FRAMEBUFFER, CurrentFramebuffer());
        gl_.glViewport(vx_, vy_, vw_, vh_);
    }

    void SetVsync(bool sync) override { context_->SetSwapInterval(sync); }
    bool DrawableSize(int32_t& w, int32_t& h) override {
        context_->DrawableSize(w, h);
        return true;
    }
    void Resume() override { context_->MakeCurrent(); }

private:
    struct Mesh {
        GLuint vao = 0, buffer = 0, follows = 0;
        size_t count = 0;
        bool transparent = false;  // a vertex of its own colour has alpha 0
    };
    enum Uniform : size_t {
        kWorld,
        kView,
        kLighting,
        kAmbient,
        kLightCount,
        kLightPosition,
        kLightColor,
        kLightRange,
        kSmooth,
        kFog,
        kFogColor,
        kFogStart,
        kFogEnd,
        kUniformCount
    };
    // ORDER Uniform.
    static constexpr const char* kUniformNames[kUniformCount] = {
        "world",          "view",        "lighting",    "ambient",        "light_count",
        "light_position", "light_color", "light_range", "smooth_shading", "fog",
        "fog_color",      "fog_start",   "fog_end"};

    struct Program {
        GLuint id = 0;
        GLint transform = -1, mode = -1, follow_color = -1;
        int fixed_mode = -1;  // the mode a plain program is made for; -1: the mode uniform
        GLint loc[kUniformCount] = {};  // the full programs' uniforms
    };

    // A depth buffer of the picture's size on the picture's framebuffer (bound afterwards).
    bool AttachDepth() {
        gl_.glBindRenderbuffer(GL_RENDERBUFFER, depth_rb_);
        gl_.glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, picture_w_, picture_h_);
        gl_.glBindFramebuffer(GL_FRAMEBUFFER, picture_fb_);
        gl_.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                      depth_rb_);
        return gl_.glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }

    struct TexInfo {
        int32_t w, h;
        int filter, address;  // last sampling sent, -1 none yet
    };

    GLuint FramebufferOf(DeviceTexture tex) const {
        auto it = framebuffers_.find(tex);
        return it == framebuffers_.end() ? 0 : it->second;
    }
    GLuint CurrentFramebuffer() const { return target_ ? FramebufferOf(target_) : picture_fb_; }

    // The format of pixels going to and from textures: OpenGL ES has only RGBA.
    GLenum PixelFormat() const { return es_ ? GL_RGBA : GL_BGRA; }
    // How textures and the picture are stored. Given a sized GL_RGBA8, the software rasterizer
    // stores R, G, B, A in memory order; the unsized GL_RGBA lets it keep the B, G, R, A that
    // our pixels arrive in, which is also the window's order. The software rasterizer then blends
    // into the picture and samples textures without turning channels around (about 7 % fewer
    // instructions a frame for 10,000 particles) and presents with a plain copy. The pixels are
    // the same 8 bits a channel either way. OpenGL ES takes its pixels as R, G, B, A anyway.
    GLint InternalFormat() const { return es_ ? GL_RGBA8 : GL_RGBA; }
    static void SwapRedBlue(Bgra* pixels, size_t count) {
        for (size_t i = 0; i < count; ++i) std::swap(pixels[i].b, pixels[i].r);
    }

    GLuint Compile(GLenum type, const char* body) {
        const std::string source = std::string(es_ ? kEsShaderHeader : kDesktopShaderHeader) + body;
        const char* text = source.c_str();
        GLuint s = gl_.glCreateShader(type);
        gl_.glShaderSource(s, 1, &text, nullptr);
        gl_.glCompileShader(s);
        GLint ok = 0;
        gl_.glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            gl_.glDeleteShader(s);
            return 0;
        }
        return s;
    }

    // Makes `p` the program in use, with the current transform and texture mode.
    void Use(Program* p) {
        if (current_ == p) return;
        current_ = p;
        gl_.glUseProgram(p->id);
        gl_.glUniformMatrix4fv(p->transform, 1, GL_FALSE, transform_);
        gl_.glUniform1i(p->mode, mode_ < 0 ? 0 : mode_);
    }

    GLuint Link(const char* vertex, const char* fragment, std::string& error) {
        GLuint vs = Compile(GL_VERTEX_SHADER, vertex);
        GLuint fs = Compile(GL_FRAGMENT_SHADER, fragment);
        if (!vs || !fs) {
            error = "the drawing shaders do not compile";
            return 0;
        }
        GLuint p = gl_.glCreateProgram();
        gl_.glAttachShader(p, vs);
        gl_.glAttachShader(p, fs);
        gl_.glLinkProgram(p);
        gl_.glDeleteShader(vs);
        gl_.glDeleteShader(fs);
        GLint ok = 0;
        gl_.glGetProgramiv(p, GL_LINK_STATUS, &ok);
        if (!ok) {
            gl_.glDeleteProgram(p);
            error = "the drawing shaders do not link";
            return 0;
        }
        return p;
    }

    // Declared first: the context is released after the device's objects are freed.
    std::unique_ptr<GlContext> context_;
    bool es_ = context_->OpenGlEs();
    std::vector<Bgra> upload_;  // pixels on their way up as RGBA (OpenGL ES)
    Gl gl_;
    GLuint vao_ = 0, buffer_ = 0;
    GLint max_texture_ = 2048;
    Program plain_[3], full_, opaque_;
    // The plain program of the current mode.
    Program* Plain() { return &plain_[mode_ < 0 ? 0 : mode_]; }
    bool full_needed_ = false, alpha_test_ = false;
    Program* current_ = nullptr;
    float transform_[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    int mode_ = -1;
    GLuint vao3d_ = 0, buffer3d_ = 0, bound_vao_ = 0, depth_rb_ = 0;
    DeviceMesh last_mesh_ = 0;
    std::unordered_map<DeviceMesh, Mesh> meshes_;
    GLuint picture_fb_ = 0, picture_tex_ = 0;
    int32_t picture_w_ = 0, picture_h_ = 0;
    DeviceTexture target_ = 0;
    GLuint bound_tex_ = 0;
    int32_t vx_ = 0, vy_ = 0, vw_ = 640, vh_ = 480;
    bool interpolate_ = true, modulate_ = true;
    std::unordered_map<GLuint, TexInfo> textures_;
    std::unordered_map<GLuint, GLuint> framebuffers_;
};

}  // namespace

std::unique_ptr<GraphicsDevice> MakeGlDevice(std::unique_ptr<GlContext> context,
                                             std::string& error) {
    Gl gl;
#define KR_GL_RESOLVE(type, name)                                  \
    gl.name = reinterpret_cast<type>(context->ProcAddress(#name)); \
    if (!gl.name) {                                                \
        error = "OpenGL has no " #name;                            \
        return nullptr;                                            \
    }
    KR_GL_FUNCTIONS(KR_GL_RESOLVE)
#undef KR_GL_RESOLVE
    gl.glProvokingVertex =
        reinterpret_cast<PFNGLPROVOKINGVERTEXPROC>(context->ProcAddress("glProvokingVertex"));
    if (!gl.glProvokingVertex && !context->OpenGlEs()) {
        error = "OpenGL has no glProvokingVertex";
        return nullptr;
    }
    if (context->OpenGlEs())
        gl.glClearDepthf =
            reinterpret_cast<PFNGLCLEARDEPTHFPROC>(context->ProcAddress("glClearDepthf"));
    else
        gl.glClearDepth =
            reinterpret_cast<PFNGLCLEARDEPTHPROC>(context->ProcAddress("glClearDepth"));
    if (!gl.glClearDepth && !gl.glClearDepthf) {
        error = "OpenGL has no glClearDepth";
        return nullptr;
    }
    auto device = std::make_unique<GlDevice>(std::move(context), gl);
    if (!device->Init(error)) return nullptr;
    return device;
}

}  // namespace kr
