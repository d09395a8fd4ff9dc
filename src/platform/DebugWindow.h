// The debugger's window: a second window of the process, beside the game's, with an OpenGL
// context of its own. It knows nothing of games: it shows what a DebugView holds (text in rows)
// and hands back what the user asked for as DebugRequests; the debugger fills the one and
// carries out the other.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kr {

// A variable row: `depth` above 0 for the elements of an array under it; `editable` rows take a
// new value (an expression) in place.
struct DebugViewVariable {
    std::string name, value;
    int32_t depth = 0;
    bool editable = false;
};

struct DebugView {
    std::string title;
    bool stopped = false;
    std::string state;               // how the game stands: running, paused, at a breakpoint ...
    std::string stats;               // frame rate, step, room, instance count
    std::string times;               // the time per step in its parts
    std::vector<std::string> stack;  // innermost first; empty between steps
    // The instance view: id, object, x, y, depth, sprite, image index.
    std::vector<std::array<std::string, 7>> instances;
    std::vector<int32_t> instance_ids;
    int32_t chosen = 0;  // the instance whose variables are shown; 0: none
    std::vector<DebugViewVariable> variables, globals;
    struct Watch {
        std::string expression, value;
        bool global = false;
    };
    std::vector<Watch> watches;
    std::vector<std::string> messages;  // "[step] text", oldest first
    std::string code_result;
    // Speed: 0 the room speed, 1 a factor of it, 2 as fast as possible.
    int32_t speed_mode = 0;
    double speed_factor = 1;
};

struct DebugRequest {
    enum class Kind : uint8_t {
        kContinue,
        kPause,
        kStep,  // one step of the game, or over a statement when stopped in code
        kStepIn,
        kStepOut,
        kStop,
        kChoose,       // instance `id`
        kSetVariable,  // `name` of the chosen instance (global: of the globals) to `text`
        kRunCode,      // `text` for the chosen instance (global: globally)
        kAddWatch,     // `text`, `global`
        kEditWatch,    // watch `index` becomes `text`, `global`
        kRemoveWatch,  // watch `index`
        kSpeed,        // `id` the mode, `number` the factor
        kClose,        // the window (or the game's window while the game is held) was closed
    };
    Kind kind = Kind::kContinue;
    int32_t id = 0;
    int32_t index = 0;
    std::string name, text;
    double number = 0;
    bool global = false;
};

class DebugWindow {
public:
    virtual ~DebugWindow() = default;
    // Makes the window and its context; false with the reason in `error`.
    virtual bool Open(std::string& error) = 0;
    // Takes the window's input, draws `view` and shows it; appends what was asked. With
    // `capture`, the frame's pixels as RGBA rows, top row first, of Width() x Height().
    virtual void Frame(const DebugView& view, std::vector<DebugRequest>& requests,
                       std::vector<uint8_t>* capture = nullptr) = 0;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
};

}  // namespace kr
