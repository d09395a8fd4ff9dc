// The debug adapter's session: the requests before the launch (capabilities, breakpoints,
// exception filters), the run of the game with the debugger attached, and the requests while
// it runs and while it is stopped.
#include "debugger/DapAdapter.h"

#include <cctype>
#include <filesystem>
#include <thread>

namespace kr {

using nlohmann::json;

namespace {

constexpr size_t kMaxMessage = 64u << 20;
constexpr int kThreadId = 1;

// A required argument of a request (absent: the error response names it).
const json* Arg(const json& request, const char* name) {
    auto a = request.find("arguments");
    if (a == request.end() || !a->is_object()) return nullptr;
    auto v = a->find(name);
    return v == a->end() || v->is_null() ? nullptr : &*v;
}

struct MissingArgument {
    std::string name;
};

const json& Need(const json& request, const char* name) {
    const json* v = Arg(request, name);
    if (!v) throw MissingArgument{name};
    return *v;
}

}  // namespace

std::string DapSourcePath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec) return path;
    std::filesystem::path c = std::filesystem::weakly_canonical(p, ec);
    return (ec ? p : c).lexically_normal().string();
}

// ---- Framing ----------------------------------------------------------------------------------

DapReader::Result DapReader::Read(json& message, std::string& error) {
    size_t length = SIZE_MAX;
    bool header = false;
    for (;;) {
        std::string line;
        int c;
        while ((c = std::fgetc(in_)) != EOF && c != '\n') line += char(c);
        if (c == EOF && line.empty()) return kEnd;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) {
            if (header) break;
            continue;  // blank lines between messages
        }
        header = true;
        std::string name = line.substr(0, line.find(':'));
        for (char& ch : name) ch = char(std::tolower(uint8_t(ch)));
        if (name == "content-length" && line.find(':') != std::string::npos) {
            const std::string value = line.substr(line.find(':') + 1);
            char* end = nullptr;
            const unsigned long long n = std::strtoull(value.c_str(), &end, 10);
            length = end != value.c_str() ? size_t(n) : SIZE_MAX;
        }
        if (c == EOF) return kEnd;
    }
    if (length == SIZE_MAX) {
        error = "a message without a valid Content-Length header was skipped";
        return kBad;
    }
    if (length > kMaxMessage) {
        error = "a message of " + std::to_string(length) + " bytes is too long and was skipped";
        return kBad;
    }
    std::string body(length, '\0');
    if (length > 0 && std::fread(body.data(), 1, length, in_) != length) return kEnd;
    message = json::parse(body, nullptr, false);
    if (message.is_discarded() || !message.is_object()) {
        error = "a message whose body is not a JSON object was skipped";
        return kBad;
    }
    return kMessage;
}

// ---- The session ------------------------------------------------------------------------------

struct DapAdapter::Queue {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<json> items;
    bool ended = false;
};

DapAdapter::DapAdapter(std::FILE* in, std::FILE* out)
    : out_(out), queue_(std::make_shared<Queue>()) {
    // The reader may stay blocked on the input after the session: it owns its share of the
    // queue and touches nothing else.
    std::thread([q = queue_, in] {
        DapReader reader(in);
        for (;;) {
            json m;
            std::string error;
            const DapReader::Result r = reader.Read(m, error);
            std::lock_guard<std::mutex> lock(q->mutex);
            if (r == DapReader::kEnd) {
                q->ended = true;
                q->ready.notify_all();
                return;
            }
            q->items.push_back(r == DapReader::kBad ? json{{"bad message", error}} : std::move(m));
            q->ready.notify_all();
        }
    }).detach();
}

DapAdapter::~DapAdapter() = default;

bool DapAdapter::Next(json& message, bool wait) {
    std::unique_lock<std::mutex> lock(queue_->mutex);
    if (wait) queue_->ready.wait(lock, [&] { return !queue_->items.empty() || queue_->ended; });
    if (queue_->items.empty()) return false;
    message = std::move(queue_->items.front());
    queue_->items.pop_front();
    return true;
}

void DapAdapter::Send(json message) {
    message["seq"] = seq_++;
    const std::string body = message.dump(-1, ' ', false, json::error_handler_t::replace);
    std::fprintf(out_, "Content-Length: %zu\r\n\r\n", body.size());
    std::fwrite(body.data(), 1, body.size(), out_);
    std::fflush(out_);
}

void DapAdapter::Respond(const json& request, bool success, json body, const std::string& message) {
    json r = {{"type", "response"},
              {"request_seq", request.value("seq", int64_t(0))},
              {"success", success},
              {"command", request.value("command", std::string())}};
    if (!body.is_null()) r["body"] = std::move(body);
    if (!success) r["message"] = message;
    Send(std::move(r));
}

void DapAdapter::Event(const std::string& event, json body) {
    Send(json{{"type", "event"}, {"event", event}, {"body", std::move(body)}});
}

void DapAdapter::Output(const std::string& category, const std::string& text) {
    Event("output", {{"category", category}, {"output", text + "\n"}});
}

bool DapAdapter::CheckLaunch(const json& args, DapLaunch& launch, std::string& error) {
    auto program = args.find("program");
    if (program == args.end() || !program->is_string()) {
        error = "Missing argument 'program'.";
        return false;
    }
    launch.program = program->get<std::string>();
    std::error_code ec;
    if (!std::filesystem::exists(launch.program, ec)) {
        error = "Cannot launch '" + launch.program + "': there is no such file or folder.";
        return false;
    }
    if (auto a = args.find("args"); a != args.end() && a->is_array())
        for (const json& s : *a)
            launch.args.push_back(s.is_string() ? s.get<std::string>() : s.dump());
    launch.headless = args.value("headless", false);
    launch.max_steps = args.value("maxSteps", int64_t(-1));
    launch.input = args.value("input", std::string());
    if (auto s = args.find("seed"); s != args.end() && s->is_number())
        launch.seed = uint32_t(s->get<int64_t>());
    launch.stop_on_entry = args.value("stopOnEntry", false);
    return true;
}

void DapAdapter::Attach(Debugger* debugger) {
    debugger_ = debugger;
    debugger->SetFace(this);
    debugger->SetStopOnErrors(stop_on_errors_);
    for (const auto& [path, list] : pending_breakpoints_) {
        std::vector<SourceBreakpoint> bps;
        for (const json& b : list)
            bps.push_back({b.value("line", 0), b.value("condition", std::string()),
                           b.value("hitCondition", std::string()),
                           b.value("logMessage", std::string())});
        debugger->SetBreakpoints(path, bps);
    }
    if (stop_on_entry_) debugger->StopOnEntry();
}

int DapAdapter::Serve(const Launcher& launcher) {
    DapLaunch launch;
    bool launched = false, configured = false, ran = false;
    while (!end_session_) {
        json m;
        if (!Next(m, true)) break;
        if (m.value("type", std::string()) == "request" &&
            m.value("command", std::string()) == "launch" && !launched) {
            std::string error;
            const json* args = Arg(m, "program") ? &m["arguments"] : nullptr;
            if (!args) {
                Respond(m, false, nullptr, "Missing argument 'program'.");
                continue;
            }
            if (!CheckLaunch(*args, launch, error)) {
                Respond(m, false, nullptr, error);
                continue;
            }
            launched = true;
            Respond(m, true);
        } else {
            if (m.value("command", std::string()) == "configurationDone") configured = true;
            Handle(m);
        }
        if (launched && configured && !ran && !end_session_) {
            ran = true;
            running_ = true;
            stop_on_entry_ = launch.stop_on_entry;
            int status = 0;
            std::string error;
            const bool ok = launcher(launch, *this, status, error);
            debugger_ = nullptr;
            running_ = false;
            if (!ok) {
                Output("stderr", error);
                status = 1;
            }
            Event("exited", {{"exitCode", status}});
            Event("terminated");
        }
    }
    return 0;
}

void DapAdapter::Poll() {
    json m;
    while (Next(m, false)) Handle(m);
}

void DapAdapter::WhileStopped(const std::string& reason, const std::string& text) {
    stopped_ = true;
    refs_.clear();
    json body = {{"reason", reason}, {"threadId", kThreadId}, {"allThreadsStopped", true}};
    if (!text.empty()) {
        body["text"] = text;
        body["description"] = text;
    }
    Event("stopped", std::move(body));
    for (;;) {
        json m;
        if (!Next(m, true)) {
            // The client is gone: the game ends.
            if (debugger_) debugger_->Stop();
            break;
        }
        if (Handle(m)) break;
    }
    stopped_ = false;
    refs_.clear();
}

int64_t DapAdapter::NewRef(RefKind kind, int32_t frame, int64_t handle) {
    refs_.push_back(Ref{kind, frame, handle});
    return int64_t(refs_.size());
}

json DapAdapter::Variables(const std::vector<VariableEntry>& entries) {
    json list = json::array();
    for (const VariableEntry& e : entries) {
        list.push_back(
            {{"name", e.name},
             {"value", e.value},
             {"type", e.type},
             {"variablesReference", e.children ? NewRef(RefKind::kChildren, 0, e.children) : 0}});
    }
    return list;
}

bool DapAdapter::Handle(const json& request) {
    if (request.contains("bad message")) {
        Output("stderr", "korvane dap: " + request["bad message"].get<std::string>());
        return false;
    }
    if (request.value("type", std::string()) != "request" || !request.contains("command") ||
        !request["command"].is_string()) {
        Output("stderr", "korvane dap: a message that is no request was skipped");
        return false;
    }
    const std::string command = request["command"].get<std::string>();
    try {
        if (command == "initialize") {
            Respond(request, true,
                    {{"supportsConfigurationDoneRequest", true},
                     {"supportsConditionalBreakpoints", true},
                     {"supportsHitConditionalBreakpoints", true},
                     {"supportsLogPoints", true},
                     {"supportsSetVariable", true},
                     {"supportsEvaluateForHovers", true},
                     {"supportsTerminateRequest", true},
                     {"exceptionBreakpointFilters", json::array({{{"filter", "errors"},
                                                                  {"label", "Run-time errors"},
                                                                  {"default", false}}})}});
            Event("initialized");
            return false;
        }
        if (command == "launch") {
            Respond(request, false, nullptr, "The game is already launched.");
            return false;
        }
        if (command == "configurationDone") {
            Respond(request, true);
            return false;
        }
        if (command == "setBreakpoints") {
            const json& source = Need(request, "source");
            const std::string path = DapSourcePath(source.value("path", std::string()));
            json list = json::array();
            if (const json* b = Arg(request, "breakpoints"); b && b->is_array()) list = *b;
            json out = json::array();
            if (debugger_) {
                std::vector<SourceBreakpoint> bps;
                for (const json& b : list)
                    bps.push_back({b.value("line", 0), b.value("condition", std::string()),
                                   b.value("hitCondition", std::string()),
                                   b.value("logMessage", std::string())});
                const bool known = debugger_->HasSource(path);
                std::vector<int32_t> lines = debugger_->SetBreakpoints(path, bps);
                for (int32_t line : lines) {
                    json b = {{"verified", line > 0}, {"line", line}};
                    if (!known) b["message"] = "No code of the game is in this file.";
                    out.push_back(b);
                }
            } else {
                std::erase_if(pending_breakpoints_, [&](const auto& p) { return p.first == path; });
                pending_breakpoints_.emplace_back(path, list);
                for (const json& b : list)
                    out.push_back({{"verified", true}, {"line", b.value("line", 0)}});
            }
            Respond(request, true, {{"breakpoints", out}});
            return false;
        }
        if (command == "setExceptionBreakpoints") {
            stop_on_errors_ = false;
            if (const json* f = Arg(request, "filters"); f && f->is_array())
                for (const json& s : *f)
                    if (s == "errors") stop_on_errors_ = true;
            if (debugger_) debugger_->SetStopOnErrors(stop_on_errors_);
            Respond(request, true, {{"breakpoints", json::array()}});
            return false;
        }
        if (command == "threads") {
            Respond(request, true,
                    {{"threads", json::array({{{"id", kThreadId}, {"name", "game"}}})}});
            return false;
        }
        if (command == "disconnect" || command == "terminate") {
            ending_ = true;
            if (debugger_) debugger_->Stop();
            if (command == "disconnect") end_session_ = true;
            Respond(request, true);
            return true;
        }
        if (command == "pause") {
            if (debugger_ && !stopped_) debugger_->Pause();
            Respond(request, true);
            return false;
        }
        if (command == "evaluate") {
            const std::string expression = Need(request, "expression").get<std::string>();
            const json* frame = Arg(request, "frameId");
            if (!debugger_) {
                Respond(request, false, nullptr, "The game is not running.");
                return false;
            }
            RValue v;
            std::string error;
            const int32_t f = frame && stopped_ ? frame->get<int32_t>() : -1;
            const bool repl = request["arguments"].value("context", std::string()) == "repl";
            if (!debugger_->Evaluate(expression, f, 0, v, error, repl)) {
                Respond(request, false, nullptr, error);
                return false;
            }
            Respond(request, true, {{"result", Debugger::Show(v)}, {"variablesReference", 0}});
            return false;
        }
        // Everything below needs a stopped game.
        static const char* const kWhenStopped[] = {"continue",  "next",       "stepIn",
                                                   "stepOut",   "stackTrace", "scopes",
                                                   "variables", "setVariable"};
        bool known = false;
        for (const char* c : kWhenStopped) known = known || command == c;
        if (!known) {
            Respond(request, false, nullptr, "Unknown command '" + command + "'.");
            return false;
        }
        if (!debugger_ || !stopped_) {
            if (command == "continue" && debugger_) {
                Respond(request, true, {{"allThreadsContinued", true}});
                return false;
            }
            Respond(request, false, nullptr, "The game is not stopped.");
            return false;
        }
        if (command == "continue") {
            debugger_->Continue();
            Respond(request, true, {{"allThreadsContinued", true}});
            return true;
        }
        if (command == "next" || command == "stepIn" || command == "stepOut") {
            if (command == "next") debugger_->StepOver();
            if (command == "stepIn") debugger_->StepIn();
            if (command == "stepOut") debugger_->StepOut();
            Respond(request, true);
            return true;
        }
        if (command == "stackTrace") {
            std::vector<StackEntry> stack = debugger_->Stack();
            json frames = json::array();
            for (size_t i = 0; i < stack.size(); ++i) {
                json f = {{"id", int64_t(i)},
                          {"name", stack[i].name},
                          {"line", stack[i].line},
                          {"column", stack[i].line > 0 ? 1 : 0}};
                if (!stack[i].source.empty())
                    f["source"] = {
                        {"name", std::filesystem::path(stack[i].source).filename().string()},
                        {"path", stack[i].source}};
                frames.push_back(std::move(f));
            }
            Respond(request, true,
                    {{"stackFrames", frames}, {"totalFrames", int64_t(stack.size())}});
            return false;
        }
        if (command == "scopes") {
            const int32_t frame = Need(request, "frameId").get<int32_t>();
            json scopes = json::array();
            auto scope = [&](const char* name, RefKind kind, bool expensive) {
                scopes.push_back({{"name", name},
                                  {"variablesReference", NewRef(kind, frame, 0)},
                                  {"expensive", expensive}});
            };
            if (debugger_->SelfOf(frame)) {
                scope("Locals", RefKind::kLocals, false);
                scope("Self", RefKind::kSelf, false);
                if (debugger_->OtherOf(frame) &&
                    debugger_->OtherOf(frame) != debugger_->SelfOf(frame))
                    scope("Other", RefKind::kOther, false);
            }
            scope("Globals", RefKind::kGlobals, true);
            Respond(request, true, {{"scopes", scopes}});
            return false;
        }
        if (command == "variables" || command == "setVariable") {
            const int64_t ref = Need(request, "variablesReference").get<int64_t>();
            if (ref <= 0 || size_t(ref) > refs_.size()) {
                Respond(request, false, nullptr,
                        "Unknown variablesReference " + std::to_string(ref) + ".");
                return false;
            }
            const Ref r = refs_[size_t(ref - 1)];
            if (command == "variables") {
                std::vector<VariableEntry> entries;
                switch (r.kind) {
                    case RefKind::kLocals: {
                        entries = debugger_->Arguments(r.frame);
                        std::vector<VariableEntry> locals = debugger_->Locals(r.frame);
                        entries.insert(entries.end(), locals.begin(), locals.end());
                        break;
                    }
                    case RefKind::kSelf:
                        entries = debugger_->InstanceVariables(debugger_->SelfOf(r.frame));
                        break;
                    case RefKind::kOther:
                        entries = debugger_->InstanceVariables(debugger_->OtherOf(r.frame));
                        break;
                    case RefKind::kGlobals:
                        entries = debugger_->Globals();
                        break;
                    case RefKind::kChildren:
                        entries = debugger_->Children(r.handle);
                        break;
                    case RefKind::kInstance:
                        entries = debugger_->InstanceVariables(
                            debugger_->FindInstance(int32_t(r.handle)));
                        break;
                }
                Respond(request, true, {{"variables", Variables(entries)}});
                return false;
            }
            const std::string name = Need(request, "name").get<std::string>();
            const std::string value = Need(request, "value").get<std::string>();
            std::string scope;
            switch (r.kind) {
                case RefKind::kLocals:
                    scope = name.starts_with("argument") ? "argument" : "local";
                    break;
                case RefKind::kSelf:
                    scope = "self";
                    break;
                case RefKind::kOther:
                    scope = "other";
                    break;
                case RefKind::kGlobals:
                    scope = "global";
                    break;
                case RefKind::kInstance:
                    scope = std::to_string(r.handle);
                    break;
                case RefKind::kChildren:
                    Respond(request, false, nullptr,
                            "Array elements are changed with code, as in " + name + " = value.");
                    return false;
            }
            std::string error, shown;
            if (!debugger_->SetVariable(scope, r.frame, name, value, error, shown)) {
                Respond(request, false, nullptr, error);
                return false;
            }
            Respond(request, true, {{"value", shown}});
            return false;
        }
    } catch (const MissingArgument& e) {
        Respond(request, false, nullptr, "Missing argument '" + e.name + "'.");
    } catch (const json::exception& e) {
        Respond(request, false, nullptr, std::string("Bad arguments: ") + e.what());
    }
    return false;
}

}  // namespace kr
