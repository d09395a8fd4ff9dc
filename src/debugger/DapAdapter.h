// The debug adapter: the Debug Adapter Protocol (messages framed by a Content-Length header,
// bodies in JSON) on a pair of streams, as a face of the debugger core. A reader thread takes
// the messages off the input as they come, so that a pause reaches a running game; the game's
// thread answers them between steps and while the game is stopped.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "debugger/Debugger.h"

namespace kr {

// Reads framed messages from a stream. A message with a bad header or a body that is no JSON
// object comes back as kBad with the reason, and the reader goes on with what follows.
class DapReader {
public:
    enum Result { kMessage, kBad, kEnd };
    explicit DapReader(std::FILE* in) : in_(in) {}
    Result Read(nlohmann::json& message, std::string& error);

private:
    std::FILE* in_;
};

// What the adapter was asked to launch.
struct DapLaunch {
    std::string program;            // a game file or a project folder
    std::vector<std::string> args;  // the game's parameters
    bool headless = false;
    int64_t max_steps = -1;
    std::string input;  // a replay file
    std::optional<uint32_t> seed;
    bool stop_on_entry = false;
};

class DapAdapter final : public DebuggerFace {
public:
    // Runs the launched game to its end and gives its exit status; it calls Attach with the
    // debugger of the run before the game starts. False (with `error`) when the game could not
    // be launched at all.
    using Launcher = std::function<bool(const DapLaunch& launch, DapAdapter& adapter,
                                        int& exit_status, std::string& error)>;

    DapAdapter(std::FILE* in, std::FILE* out);
    ~DapAdapter() override;

    // Serves the session until the client disconnects or the input ends. Returns 0.
    int Serve(const Launcher& launcher);

    // For the launcher: the run's debugger (sources already added), before the game starts.
    void Attach(Debugger* debugger);
    // Checks a launch before it is answered: the program must exist. False with the reason.
    static bool CheckLaunch(const nlohmann::json& args, DapLaunch& launch, std::string& error);

    // DebuggerFace
    void WhileStopped(const std::string& reason, const std::string& text) override;
    void Poll() override;
    void Output(const std::string& category, const std::string& text) override;
    bool TakesMessages() const override { return true; }

private:
    struct Queue;
    enum class RefKind { kLocals, kSelf, kOther, kGlobals, kChildren, kInstance };
    struct Ref {
        RefKind kind;
        int32_t frame;
        int64_t handle;  // children handle, or instance id
    };

    // Takes the next message: waiting when `wait`, else only one already there. False when
    // there is none (or the input ended).
    bool Next(nlohmann::json& message, bool wait);
    // Answers one request. Returns true when it lets a stopped game go on.
    bool Handle(const nlohmann::json& request);
    void Respond(const nlohmann::json& request, bool success, nlohmann::json body = {},
                 const std::string& message = {});
    void Event(const std::string& event, nlohmann::json body = nlohmann::json::object());
    void Send(nlohmann::json message);
    nlohmann::json Variables(const std::vector<VariableEntry>& entries);
    int64_t NewRef(RefKind kind, int32_t frame, int64_t handle);

    std::FILE* out_;
    std::shared_ptr<Queue> queue_;
    int64_t seq_ = 1;
    Debugger* debugger_ = nullptr;
    bool stopped_ = false;
    bool running_ = false;  // the game runs (launched, not yet ended)
    bool ending_ = false;   // disconnect or terminate was asked for
    bool end_session_ = false;
    bool stop_on_errors_ = false;
    bool stop_on_entry_ = false;
    // Breakpoints that came before the game started, by source path.
    std::vector<std::pair<std::string, nlohmann::json>> pending_breakpoints_;
    std::vector<Ref> refs_;
};

// The path a source is known by: absolute and normal, so that a client's path and the
// project's name the same file the same way.
std::string DapSourcePath(const std::string& path);

}  // namespace kr
