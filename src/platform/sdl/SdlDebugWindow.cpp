// The debugger's window: an SDL window with an OpenGL context of its own, drawn with Dear ImGui.
// ImGui's OpenGL 3 renderer draws; its platform side (display size, time, mouse, keys, text) is
// our own, on the Sdl() table, since SDL is loaded at run time. The game's context is made
// current again after every frame.
#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/sdl/SdlApi.h"
#include "platform/sdl/SdlEvents.h"
#include "platform/sdl/SdlPlatform.h"

namespace kr {

namespace {

constexpr int32_t kWidth = 800, kHeight = 600;

// The few OpenGL calls made here, fetched from the context.
using GlViewport = void (*)(int, int, int, int);
using GlClearColor = void (*)(float, float, float, float);
using GlClear = void (*)(unsigned);
using GlPixelStorei = void (*)(unsigned, int);
using GlReadPixels = void (*)(int, int, int, int, unsigned, unsigned, void*);
constexpr unsigned kColorBufferBit = 0x4000, kPackAlignment = 0x0D05, kRgba = 0x1908,
                   kUnsignedByte = 0x1401;

class SdlDebugWindow final : public DebugWindow {
public:
    explicit SdlDebugWindow(bool offscreen) : offscreen_(offscreen) {}
    ~SdlDebugWindow() override {
        if (!window_) return;
        // Destroying the last window unloads the driver's libraries.
        KeepGraphicsDriverLoaded();
        Current current;
        Sdl().SDL_GL_MakeCurrent(window_, context_);
        if (imgui_) {
            ImGui_ImplOpenGL3_Shutdown();
            ImGui::DestroyContext(imgui_);
        }
        Sdl().SDL_GL_DeleteContext(context_);
        current.Restore();
        ClaimSdlWindowEvents(0);
        Sdl().SDL_DestroyWindow(window_);
        if (video_) {
            Sdl().SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
    }

    bool Open(std::string& error) override {
        if (window_) return true;
        if (!LoadSdl(&error)) return false;
        if (offscreen_ && Sdl().SDL_WasInit(SDL_INIT_VIDEO) == 0)
            Sdl().SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        if (Sdl().SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            error = Sdl().SDL_GetError();
            return false;
        }
        video_ = true;
        Sdl().SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        Sdl().SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        Sdl().SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        Sdl().SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        Sdl().SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
        const uint32_t flags =
            SDL_WINDOW_OPENGL | (offscreen_ ? SDL_WINDOW_HIDDEN : SDL_WINDOW_RESIZABLE);
        window_ = Sdl().SDL_CreateWindow("Debugger", SDL_WINDOWPOS_UNDEFINED,
                                         SDL_WINDOWPOS_UNDEFINED, kWidth, kHeight, flags);
        if (!window_) {
            error = Sdl().SDL_GetError();
            return false;
        }
        Current current;
        context_ = Sdl().SDL_GL_CreateContext(window_);
        if (!context_) {
            error = Sdl().SDL_GetError();
            current.Restore();
            return false;
        }
        Sdl().SDL_GL_MakeCurrent(window_, context_);
        Sdl().SDL_GL_SetSwapInterval(0);
        viewport_ = reinterpret_cast<GlViewport>(Sdl().SDL_GL_GetProcAddress("glViewport"));
        clear_color_ = reinterpret_cast<GlClearColor>(Sdl().SDL_GL_GetProcAddress("glClearColor"));
        clear_ = reinterpret_cast<GlClear>(Sdl().SDL_GL_GetProcAddress("glClear"));
        pixel_store_ =
            reinterpret_cast<GlPixelStorei>(Sdl().SDL_GL_GetProcAddress("glPixelStorei"));
        read_pixels_ = reinterpret_cast<GlReadPixels>(Sdl().SDL_GL_GetProcAddress("glReadPixels"));
        imgui_ = ImGui::CreateContext();
        ImGui::SetCurrentContext(imgui_);
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.BackendPlatformName = "korvane";
        MapKeys(io);
        ImGui::StyleColorsDark();
        const bool ok = ImGui_ImplOpenGL3_Init("#version 330") && viewport_ && clear_ &&
                        clear_color_ && pixel_store_ && read_pixels_;
        current.Restore();
        if (!ok) {
            error = "the debugger window cannot draw with this OpenGL";
            return false;
        }
        ClaimSdlWindowEvents(Sdl().SDL_GetWindowID(window_));
        frequency_ = Sdl().SDL_GetPerformanceFrequency();
        last_ = Sdl().SDL_GetPerformanceCounter();
        return true;
    }

    void Frame(const DebugView& view, std::vector<DebugRequest>& requests,
               std::vector<uint8_t>* capture) override {
        if (!window_ || !imgui_) return;
        Current current;
        Sdl().SDL_GL_MakeCurrent(window_, context_);
        ImGui::SetCurrentContext(imgui_);
        TakeInput(requests);
        int w = kWidth, h = kHeight;
        if (!offscreen_) Sdl().SDL_GetWindowSize(window_, &w, &h);
        ImGuiIO& io = ImGui::GetIO();
        io.DisplaySize = ImVec2(float(w), float(h));
        // Headless pictures repeat: the time goes on by a fixed amount each frame.
        const uint64_t now = Sdl().SDL_GetPerformanceCounter();
        io.DeltaTime =
            offscreen_ ? 1.f / 30 : std::max(float(now - last_) / float(frequency_), 1e-4f);
        last_ = now;
        ImGui_ImplOpenGL3_NewFrame();
        ImGui::NewFrame();
        Draw(view, requests);
        ImGui::Render();
        viewport_(0, 0, w, h);
        clear_color_(0.1f, 0.1f, 0.12f, 1.f);
        clear_(kColorBufferBit);
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
        if (capture) {
            capture->assign(size_t(w) * size_t(h) * 4, 0);
            std::vector<uint8_t> rows(capture->size());
            pixel_store_(kPackAlignment, 1);
            read_pixels_(0, 0, w, h, kRgba, kUnsignedByte, rows.data());
            // OpenGL's rows are bottom first.
            for (int y = 0; y < h; ++y)
                std::memcpy(&(*capture)[size_t(y) * size_t(w) * 4],
                            &rows[size_t(h - 1 - y) * size_t(w) * 4], size_t(w) * 4);
            captured_w_ = w, captured_h_ = h;
        }
        Sdl().SDL_GL_SwapWindow(window_);
        current.Restore();
    }

    int32_t Width() const override { return captured_w_; }
    int32_t Height() const override { return captured_h_; }

private:
    // The context current before the window drew (the game's), made current again after.
    struct Current {
        SDL_Window* window = Sdl().SDL_GL_GetCurrentWindow();
        SDL_GLContext context = Sdl().SDL_GL_GetCurrentContext();
        void Restore() const {
            if (window && context) Sdl().SDL_GL_MakeCurrent(window, context);
        }
    };

    static void MapKeys(ImGuiIO& io) {
        io.KeyMap[ImGuiKey_Tab] = SDL_SCANCODE_TAB;
        io.KeyMap[ImGuiKey_LeftArrow] = SDL_SCANCODE_LEFT;
        io.KeyMap[ImGuiKey_RightArrow] = SDL_SCANCODE_RIGHT;
        io.KeyMap[ImGuiKey_UpArrow] = SDL_SCANCODE_UP;
        io.KeyMap[ImGuiKey_DownArrow] = SDL_SCANCODE_DOWN;
        io.KeyMap[ImGuiKey_PageUp] = SDL_SCANCODE_PAGEUP;
        io.KeyMap[ImGuiKey_PageDown] = SDL_SCANCODE_PAGEDOWN;
        io.KeyMap[ImGuiKey_Home] = SDL_SCANCODE_HOME;
        io.KeyMap[ImGuiKey_End] = SDL_SCANCODE_END;
        io.KeyMap[ImGuiKey_Insert] = SDL_SCANCODE_INSERT;
        io.KeyMap[ImGuiKey_Delete] = SDL_SCANCODE_DELETE;
        io.KeyMap[ImGuiKey_Backspace] = SDL_SCANCODE_BACKSPACE;
        io.KeyMap[ImGuiKey_Space] = SDL_SCANCODE_SPACE;
        io.KeyMap[ImGuiKey_Enter] = SDL_SCANCODE_RETURN;
        io.KeyMap[ImGuiKey_Escape] = SDL_SCANCODE_ESCAPE;
        io.KeyMap[ImGuiKey_KeyPadEnter] = SDL_SCANCODE_KP_ENTER;
        io.KeyMap[ImGuiKey_A] = SDL_SCANCODE_A;
        io.KeyMap[ImGuiKey_C] = SDL_SCANCODE_C;
        io.KeyMap[ImGuiKey_V] = SDL_SCANCODE_V;
        io.KeyMap[ImGuiKey_X] = SDL_SCANCODE_X;
        io.KeyMap[ImGuiKey_Y] = SDL_SCANCODE_Y;
        io.KeyMap[ImGuiKey_Z] = SDL_SCANCODE_Z;
    }

    // Our platform side of ImGui: the window's events into its input state, and the
    // debugger's keys.
    void TakeInput(std::vector<DebugRequest>& requests) {
        ImGuiIO& io = ImGui::GetIO();
        io.MouseWheel = 0;
        SDL_Event e;
        bool game_closed = false;
        using Kind = DebugRequest::Kind;
        while (PollClaimedSdlEvent(e, game_closed)) {
            switch (e.type) {
                case SDL_WINDOWEVENT:
                    if (e.window.event == SDL_WINDOWEVENT_CLOSE) requests.push_back({Kind::kClose});
                    if (e.window.event == SDL_WINDOWEVENT_LEAVE) io.MousePos = ImVec2(-1e6f, -1e6f);
                    break;
                case SDL_MOUSEMOTION:
                    io.MousePos = ImVec2(float(e.motion.x), float(e.motion.y));
                    break;
                case SDL_MOUSEBUTTONDOWN:
                case SDL_MOUSEBUTTONUP: {
                    const int b = e.button.button == SDL_BUTTON_LEFT    ? 0
                                  : e.button.button == SDL_BUTTON_RIGHT ? 1
                                                                        : 2;
                    io.MouseDown[b] = e.type == SDL_MOUSEBUTTONDOWN;
                    io.MousePos = ImVec2(float(e.button.x), float(e.button.y));
                    break;
                }
                case SDL_MOUSEWHEEL:
                    io.MouseWheel += float(e.wheel.y);
                    io.MouseWheelH += float(e.wheel.x);
                    break;
                case SDL_TEXTINPUT:
                    io.AddInputCharactersUTF8(e.text.text);
                    break;
                case SDL_KEYDOWN:
                case SDL_KEYUP: {
                    const bool down = e.type == SDL_KEYDOWN;
                    const int sc = int(e.key.keysym.scancode);
                    if (sc >= 0 && sc < int(IM_ARRAYSIZE(io.KeysDown))) io.KeysDown[sc] = down;
                    const uint16_t mod = e.key.keysym.mod;
                    io.KeyShift = (mod & KMOD_SHIFT) != 0;
                    io.KeyCtrl = (mod & KMOD_CTRL) != 0;
                    io.KeyAlt = (mod & KMOD_ALT) != 0;
                    if (!down || e.key.repeat) break;
                    const bool shift = io.KeyShift;
                    switch (e.key.keysym.sym) {
                        case SDLK_F5:
                            requests.push_back({shift ? Kind::kStop : Kind::kContinue});
                            break;
                        case SDLK_F6:
                            requests.push_back({Kind::kPause});
                            break;
                        case SDLK_F10:
                            requests.push_back({Kind::kStep});
                            break;
                        case SDLK_F11:
                            requests.push_back({shift ? Kind::kStepOut : Kind::kStepIn});
                            break;
                        default:
                            break;
                    }
                    break;
                }
                default:
                    break;
            }
        }
        if (game_closed) requests.push_back({Kind::kClose});
    }

    // ---- The panels ----

    void Draw(const DebugView& view, std::vector<DebugRequest>& requests) {
        using Kind = DebugRequest::Kind;
        const ImGuiIO& io = ImGui::GetIO();
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(io.DisplaySize);
        ImGui::Begin("##debugger", nullptr,
                     ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                         ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus);
        // The controls.
        if (view.stopped) {
            if (ImGui::Button("Run (F5)")) requests.push_back({Kind::kContinue});
        } else if (ImGui::Button("Pause (F6)")) {
            requests.push_back({Kind::kPause});
        }
        ImGui::SameLine();
        if (ImGui::Button("Step (F10)")) requests.push_back({Kind::kStep});
        ImGui::SameLine();
        if (ImGui::Button("Into (F11)")) requests.push_back({Kind::kStepIn});
        ImGui::SameLine();
        if (ImGui::Button("Out (Shift+F11)")) requests.push_back({Kind::kStepOut});
        ImGui::SameLine();
        if (ImGui::Button("Stop (Shift+F5)")) requests.push_back({Kind::kStop});
        ImGui::SameLine();
        ImGui::TextUnformatted(view.state.c_str());
        ImGui::TextUnformatted(view.stats.c_str());
        if (!view.times.empty()) ImGui::TextUnformatted(view.times.c_str());
        // Speed.
        int mode = view.speed_mode;
        float factor = float(view.speed_factor);
        bool speed = false;
        ImGui::TextUnformatted("Speed:");
        ImGui::SameLine();
        speed |= ImGui::RadioButton("room speed", &mode, 0);
        ImGui::SameLine();
        speed |= ImGui::RadioButton("factor", &mode, 1);
        ImGui::SameLine();
        ImGui::SetNextItemWidth(160);
        speed |= ImGui::SliderFloat("##factor", &factor, 0.1f, 10.f, "%.1fx",
                                    ImGuiSliderFlags_Logarithmic);
        ImGui::SameLine();
        speed |= ImGui::RadioButton("as fast as possible", &mode, 2);
        if (speed) {
            DebugRequest r{Kind::kSpeed};
            r.id = mode, r.number = factor;
            requests.push_back(r);
        }
        for (const std::string& frame : view.stack) ImGui::BulletText("%s", frame.c_str());
        ImGui::Separator();

        const float left = std::max(ImGui::GetContentRegionAvail().x * 0.5f, 200.f);
        ImGui::BeginChild("instances", ImVec2(left, 0), true);
        DrawInstances(view, requests);
        ImGui::EndChild();
        ImGui::SameLine();
        ImGui::BeginChild("right", ImVec2(0, 0), true);
        if (ImGui::BeginTabBar("tabs")) {
            if (ImGui::BeginTabItem("Variables")) {
                DrawVariables(view, requests);
                ImGui::EndTabItem();
            }
            if (ImGui::BeginTabItem("Watches")) {
                DrawWatches(view, requests);
                ImGui::EndTabItem();
            }
            if (ImGui::BeginTabItem("Messages")) {
                for (const std::string& m : view.messages) ImGui::TextUnformatted(m.c_str());
                if (view.messages.size() != shown_messages_) {
                    shown_messages_ = view.messages.size();
                    ImGui::SetScrollHereY(1.f);
                }
                ImGui::EndTabItem();
            }
            ImGui::EndTabBar();
        }
        ImGui::EndChild();
        ImGui::End();
    }

    void DrawInstances(const DebugView& view, std::vector<DebugRequest>& requests) {
        ImGui::TextUnformatted("Instances");
        ImGui::SameLine();
        ImGui::SetNextItemWidth(-1);
        ImGui::InputTextWithHint("##filter", "filter by object", filter_, sizeof filter_);
        const std::string filter = Lower(filter_);
        constexpr const char* kColumns[7] = {"id", "object", "x", "y", "depth", "sprite", "image"};
        if (!ImGui::BeginTable("instance table", 7,
                               ImGuiTableFlags_RowBg | ImGuiTableFlags_ScrollY |
                                   ImGuiTableFlags_BordersInnerV | ImGuiTableFlags_Resizable))
            return;
        ImGui::TableSetupScrollFreeze(0, 1);
        // The object's name gets the room it needs; the numbers share the rest.
        for (const char* c : kColumns)
            ImGui::TableSetupColumn(c, ImGuiTableColumnFlags_WidthStretch,
                                    c == kColumns[1] ? 2.5f : 1.f);
        ImGui::TableHeadersRow();
        for (size_t i = 0; i < view.instances.size(); ++i) {
            const auto& row = view.instances[i];
            if (!filter.empty() && Lower(row[1]).find(filter) == std::string::npos) continue;
            ImGui::TableNextRow();
            ImGui::TableNextColumn();
            const int32_t id = view.instance_ids[i];
            if (ImGui::Selectable(row[0].c_str(), id == view.chosen,
                                  ImGuiSelectableFlags_SpanAllColumns)) {
                DebugRequest r{DebugRequest::Kind::kChoose};
                r.id = id;
                requests.push_back(r);
            }
            for (size_t c = 1; c < row.size(); ++c) {
                ImGui::TableNextColumn();
                ImGui::TextUnformatted(row[c].c_str());
            }
        }
        ImGui::EndTable();
    }

    // Rows of variables; an editable row is an input field that sets the variable on Enter.
    void VariableRows(const char* id, const std::vector<DebugViewVariable>& rows, bool global,
                      std::vector<DebugRequest>& requests) {
        if (!ImGui::BeginTable(
                id, 2,
                ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersInnerV | ImGuiTableFlags_Resizable))
            return;
        ImGui::TableSetupColumn("name");
        ImGui::TableSetupColumn("value");
        ImGui::TableHeadersRow();
        for (size_t i = 0; i < rows.size(); ++i) {
            const DebugViewVariable& v = rows[i];
            ImGui::TableNextRow();
            ImGui::TableNextColumn();
            ImGui::Indent(float(v.depth) * 12.f + 0.001f);
            ImGui::TextUnformatted(v.name.c_str());
            ImGui::Unindent(float(v.depth) * 12.f + 0.001f);
            ImGui::TableNextColumn();
            if (!v.editable) {
                ImGui::TextUnformatted(v.value.c_str());
                continue;
            }
            // The field shows the value until it is being edited.
            const std::string key = std::string(id) + "/" + v.name;
            ImGui::PushID(key.c_str());
            const bool editing = editing_ == key;
            char* buffer = editing ? edit_ : shown_;
            if (!editing) std::snprintf(shown_, sizeof shown_, "%s", v.value.c_str());
            ImGui::SetNextItemWidth(-1);
            const bool enter =
                ImGui::InputText("##v", buffer, sizeof edit_, ImGuiInputTextFlags_EnterReturnsTrue);
            if (ImGui::IsItemActivated()) {
                editing_ = key;
                std::snprintf(edit_, sizeof edit_, "%s", v.value.c_str());
            }
            if (enter && editing) {
                DebugRequest r{DebugRequest::Kind::kSetVariable};
                r.name = v.name, r.text = edit_, r.global = global;
                requests.push_back(r);
                editing_.clear();
            } else if (editing && !ImGui::IsItemActive() && !ImGui::IsItemActivated()) {
                editing_.clear();
            }
            ImGui::PopID();
        }
        ImGui::EndTable();
    }

    void DrawVariables(const DebugView& view, std::vector<DebugRequest>& requests) {
        // Code execution.
        ImGui::Checkbox("globally", &code_global_);
        ImGui::SameLine();
        ImGui::SetNextItemWidth(-1);
        if (ImGui::InputTextWithHint("##code", "code to run (Enter)", code_, sizeof code_,
                                     ImGuiInputTextFlags_EnterReturnsTrue)) {
            DebugRequest r{DebugRequest::Kind::kRunCode};
            r.text = code_, r.global = code_global_;
            requests.push_back(r);
        }
        if (!view.code_result.empty()) ImGui::TextWrapped("%s", view.code_result.c_str());
        if (view.chosen != 0) {
            ImGui::Text("Instance %d", view.chosen);
            VariableRows("self", view.variables, false, requests);
        } else {
            ImGui::TextUnformatted("Choose an instance to see its variables.");
        }
        ImGui::TextUnformatted("Globals");
        VariableRows("globals", view.globals, true, requests);
    }

    void DrawWatches(const DebugView& view, std::vector<DebugRequest>& requests) {
        using Kind = DebugRequest::Kind;
        for (size_t i = 0; i < view.watches.size(); ++i) {
            const DebugView::Watch& w = view.watches[i];
            ImGui::PushID(int(i));
            if (ImGui::SmallButton("x")) {
                DebugRequest r{Kind::kRemoveWatch};
                r.index = int32_t(i);
                requests.push_back(r);
            }
            ImGui::SameLine();
            const std::string key = "watch/" + std::to_string(i);
            const bool editing = editing_ == key;
            if (!editing) std::snprintf(shown_, sizeof shown_, "%s", w.expression.c_str());
            ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x * 0.5f);
            const bool enter = ImGui::InputText("##w", editing ? edit_ : shown_, sizeof edit_,
                                                ImGuiInputTextFlags_EnterReturnsTrue);
            if (ImGui::IsItemActivated()) {
                editing_ = key;
                std::snprintf(edit_, sizeof edit_, "%s", w.expression.c_str());
            }
            if (enter && editing) {
                DebugRequest r{Kind::kEditWatch};
                r.index = int32_t(i), r.text = edit_, r.global = w.global;
                requests.push_back(r);
                editing_.clear();
            } else if (editing && !ImGui::IsItemActive() && !ImGui::IsItemActivated()) {
                editing_.clear();
            }
            ImGui::SameLine();
            ImGui::Text("%s%s", w.global ? "(global) " : "", w.value.c_str());
            ImGui::PopID();
        }
        ImGui::Checkbox("global##watch", &watch_global_);
        ImGui::SameLine();
        ImGui::SetNextItemWidth(-1);
        if (ImGui::InputTextWithHint("##newwatch", "new watch (Enter)", watch_, sizeof watch_,
                                     ImGuiInputTextFlags_EnterReturnsTrue) &&
            watch_[0]) {
            DebugRequest r{Kind::kAddWatch};
            r.text = watch_, r.global = watch_global_;
            requests.push_back(r);
            watch_[0] = 0;
        }
    }

    static std::string Lower(const std::string& s) {
        std::string out = s;
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        return out;
    }

    bool offscreen_;
    bool video_ = false;
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    ImGuiContext* imgui_ = nullptr;
    GlViewport viewport_ = nullptr;
    GlClearColor clear_color_ = nullptr;
    GlClear clear_ = nullptr;
    GlPixelStorei pixel_store_ = nullptr;
    GlReadPixels read_pixels_ = nullptr;
    uint64_t frequency_ = 1, last_ = 0;
    int32_t captured_w_ = kWidth, captured_h_ = kHeight;
    size_t shown_messages_ = 0;
    char filter_[128] = {};
    char code_[512] = {};
    char watch_[256] = {};
    char edit_[512] = {};
    char shown_[512] = {};
    std::string editing_;  // the field being edited
    bool code_global_ = false, watch_global_ = false;
};

}  // namespace

std::unique_ptr<DebugWindow> MakeSdlDebugWindow(bool offscreen) {
    return std::make_unique<SdlDebugWindow>(offscreen);
}

}  // namespace kr
