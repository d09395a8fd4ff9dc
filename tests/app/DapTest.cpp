// The debug adapter end to end: korvane dap runs as a child process, driven over pipes by a
// small client of the protocol, against a small project run headless.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/ScratchDir.h"
#include "support/Subprocess.h"

extern char** environ;

namespace kr {
namespace {

using nlohmann::json;
using test::ScratchDir;

class DapClient {
public:
    DapClient() {
        int to_child[2], from_child[2];
        EXPECT_EQ(pipe(to_child), 0);
        EXPECT_EQ(pipe(from_child), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, to_child[0], 0);
        posix_spawn_file_actions_adddup2(&actions, from_child[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, to_child[1]);
        posix_spawn_file_actions_addclose(&actions, from_child[0]);
        std::string program = test::KorvanePath(), word = "dap";
        char* argv[] = {program.data(), word.data(), nullptr};
        EXPECT_EQ(posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(to_child[0]);
        close(from_child[1]);
        in_ = to_child[1];
        out_ = from_child[0];
    }
    ~DapClient() {
        if (in_ >= 0) close(in_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
    }

    void SendRaw(const std::string& bytes) {
        ASSERT_EQ(write(in_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    int64_t Send(const std::string& command, json args = json::object()) {
        const int64_t seq = next_seq_++;
        json m = {{"seq", seq}, {"type", "request"}, {"command", command}, {"arguments", args}};
        const std::string body = m.dump();
        SendRaw("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
        return seq;
    }
    // The response to request `seq`; the events before it are kept.
    json Request(const std::string& command, json args = json::object()) {
        const int64_t seq = Send(command, std::move(args));
        for (;;) {
            json m = Read();
            if (m.is_null()) return m;
            if (m["type"] == "response" && m["request_seq"] == seq) return m;
            if (m["type"] == "event") events_.push_back(m);
        }
    }
    // The next event named `name` (earlier events of other names are kept as outputs).
    json WaitEvent(const std::string& name) {
        for (size_t i = 0; i < events_.size(); ++i)
            if (events_[i]["event"] == name) {
                json e = events_[i];
                Consume(i);
                return e;
            }
        for (;;) {
            json m = Read();
            if (m.is_null()) return m;
            if (m["type"] != "event") continue;
            if (m["event"] == name) return m;
            events_.push_back(m);
        }
    }
    // The text of every output event seen so far in `category`.
    std::string Outputs(const std::string& category) {
        std::string s;
        for (const json& e : output_)
            if (e["body"]["category"] == category) s += e["body"]["output"].get<std::string>();
        return s;
    }
    int Finish() {
        close(in_);
        in_ = -1;
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Starts a session: initialize, launch, the breakpoints and configurationDone.
    void Start(const std::string& program, json launch_extra = json::object(),
               std::vector<std::pair<std::string, json>> breakpoints = {},
               json exception_filters = json::array()) {
        json init = Request("initialize", {{"adapterID", "korvane"}});
        ASSERT_TRUE(init["success"]) << init;
        json launch = {{"program", program}, {"headless", true}, {"maxSteps", 5}};
        if (launch_extra.is_object()) launch.update(launch_extra);
        json r = Request("launch", launch);
        ASSERT_TRUE(r["success"]) << r;
        WaitEvent("initialized");
        for (auto& [path, list] : breakpoints) {
            json b =
                Request("setBreakpoints", {{"source", {{"path", path}}}, {"breakpoints", list}});
            ASSERT_TRUE(b["success"]) << b;
        }
        Request("setExceptionBreakpoints", {{"filters", exception_filters}});
        Request("configurationDone");
    }
    // The top frame after a stop.
    json TopFrame() {
        json r = Request("stackTrace", {{"threadId", 1}});
        EXPECT_TRUE(r["success"]) << r;
        return r["body"]["stackFrames"][0];
    }
    // The variables of the scope `name` of frame `frame` as name -> value.
    std::map<std::string, std::string> Scope(int frame, const std::string& name,
                                             int64_t* ref = nullptr) {
        json s = Request("scopes", {{"frameId", frame}});
        std::map<std::string, std::string> out;
        for (const json& scope : s["body"]["scopes"]) {
            if (scope["name"] != name) continue;
            if (ref) *ref = scope["variablesReference"];
            json v = Request("variables", {{"variablesReference", scope["variablesReference"]}});
            for (const json& e : v["body"]["variables"]) out[e["name"]] = e["value"];
        }
        return out;
    }

private:
    void Consume(size_t i) { events_.erase(events_.begin() + long(i)); }
    // One message; null when the adapter closed its output or said nothing for a long while.
    json Read() {
        std::string header;
        while (header.size() < 4 || header.substr(header.size() - 4) != "\r\n\r\n") {
            char c;
            if (!ReadByte(c)) return nullptr;
            header += c;
        }
        const size_t at = header.find("Content-Length: ");
        if (at == std::string::npos) return nullptr;
        size_t n = std::stoul(header.substr(at + 16));
        std::string body(n, '\0');
        for (size_t i = 0; i < n; ++i)
            if (!ReadByte(body[i])) return nullptr;
        json m = json::parse(body);
        if (m["type"] == "event" && m["event"] == "output") output_.push_back(m);
        return m;
    }
    bool ReadByte(char& c) {
        pollfd p{out_, POLLIN, 0};
        // A guard against a hung adapter, not a measure of speed.
        if (poll(&p, 1, 60000) <= 0) {
            ADD_FAILURE() << "the adapter said nothing for a minute";
            return false;
        }
        return read(out_, &c, 1) == 1;
    }

    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    int64_t next_seq_ = 1;
    std::vector<json> events_;
    std::vector<json> output_;
};

// A project of one object with a create event that calls a script, and a step event that counts
// and divides by zero in its third step.
class DapTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.Write("p/game.toml",
                   "format = 1\nroom_order = [\"room_main\"]\n[resources]\n"
                   "scripts = [\"scr_add\"]\nobjects = [\"obj_main\"]\nrooms = [\"room_main\"]\n");
        dir_.Write("p/scripts/scr_add.krs",
                   "var total;\n"
                   "total = argument0 + argument1;\n"
                   "show_debug_message(\"add \" + string(total));\n"
                   "return total;\n");
        dir_.Write("p/objects/obj_main.toml",
                   "name = \"obj_main\"\n"
                   "[[event]]\ntype = \"create\"\n[[event.action]]\nlibrary = 1\nid = 603\n"
                   "kind = \"code\"\nexecute = \"code\"\ncode = \"obj_main/create.krs\"\n"
                   "[[event]]\ntype = \"step\"\n[[event.action]]\nlibrary = 1\nid = 603\n"
                   "kind = \"code\"\nexecute = \"code\"\ncode = \"obj_main/step.krs\"\n");
        dir_.Write("p/objects/obj_main/create.krs",
                   "count = 0;\n"
                   "zero = 0;\n"
                   "var a;\n"
                   "a = 5;\n"
                   "n = scr_add(a, 2);\n"
                   "show_debug_message(\"n \" + string(n));\n");
        dir_.Write("p/objects/obj_main/step.krs",
                   "count += 1;\n"
                   "show_debug_message(\"count \" + string(count));\n"
                   "if (count == 3) { z = 1 / zero; }\n");
        dir_.Write("p/rooms/room_main.toml",
                   "name = \"room_main\"\ninstances = [{ x = 16, y = 8, object = \"obj_main\", id "
                   "= 100001 }]\n");
        project_ = dir_ / "p";
        script_ = std::filesystem::canonical(dir_ / "p/scripts/scr_add.krs").string();
        create_ = std::filesystem::canonical(dir_ / "p/objects/obj_main/create.krs").string();
        step_ = std::filesystem::canonical(dir_ / "p/objects/obj_main/step.krs").string();
    }
    // Continues to the end of the game: terminated and exited with status 0.
    void ContinueToEnd(DapClient& dap) {
        json c = dap.Request("continue", {{"threadId", 1}});
        EXPECT_TRUE(c["success"]) << c;
        json exited = dap.WaitEvent("exited");
        EXPECT_EQ(exited["body"]["exitCode"], 0);
        EXPECT_FALSE(dap.WaitEvent("terminated").is_null());
        dap.Request("disconnect");
        EXPECT_EQ(dap.Finish(), 0);
    }

    ScratchDir dir_;
    std::string project_, script_, create_, step_;
};

// A breakpoint in a script stops at its line with the script over its caller on the stack;
// the scopes hold the arguments, the local and the instance; evaluate and setVariable change
// what the game then prints; errors come back as the game's own text.
TEST_F(DapTest, ABreakpointShowsTheStackAndTheVariablesAndTakesChanges) {
    DapClient dap;
    dap.Start(project_, {}, {{script_, json::array({{{"line", 3}}})}});
    json stop = dap.WaitEvent("stopped");
    EXPECT_EQ(stop["body"]["reason"], "breakpoint");
    json trace = dap.Request("stackTrace", {{"threadId", 1}});
    json frames = trace["body"]["stackFrames"];
    ASSERT_EQ(frames.size(), 2u) << trace;
    EXPECT_EQ(frames[0]["name"], "scr_add");
    EXPECT_EQ(frames[0]["line"], 3);
    EXPECT_EQ(frames[0]["source"]["path"], script_);
    EXPECT_EQ(frames[1]["line"], 5);
    EXPECT_EQ(frames[1]["source"]["path"], create_);

    int64_t locals = 0;
    auto vars = dap.Scope(0, "Locals", &locals);
    EXPECT_EQ(vars["argument0"], "5");
    EXPECT_EQ(vars["argument1"], "2");
    EXPECT_EQ(vars["total"], "7");
    auto self = dap.Scope(0, "Self");
    EXPECT_EQ(self["x"], "16");
    EXPECT_EQ(self["count"], "0");
    EXPECT_EQ(dap.Scope(1, "Locals")["a"], "5");

    json e = dap.Request("evaluate",
                         {{"expression", "total * 2 + x"}, {"frameId", 0}, {"context", "watch"}});
    EXPECT_EQ(e["body"]["result"], "30") << e;
    json bad =
        dap.Request("evaluate", {{"expression", "1 +"}, {"frameId", 0}, {"context", "repl"}});
    EXPECT_FALSE(bad["success"]);
    EXPECT_NE(bad["message"].get<std::string>().find("rror"), std::string::npos) << bad;
    json unknown = dap.Request("evaluate", {{"expression", "nothing_here"}, {"frameId", 0}});
    EXPECT_FALSE(unknown["success"]);
    EXPECT_NE(unknown["message"].get<std::string>().find("nothing_here"), std::string::npos);
    // A statement runs as code execution does.
    EXPECT_TRUE(dap.Request(
        "evaluate",
        {{"expression", "count = 40;"}, {"frameId", 0}, {"context", "repl"}})["success"]);

    json set = dap.Request("setVariable",
                           {{"variablesReference", locals}, {"name", "total"}, {"value", "100"}});
    EXPECT_TRUE(set["success"]) << set;
    EXPECT_EQ(set["body"]["value"], "100");
    int64_t self_ref = 0;
    dap.Scope(0, "Self", &self_ref);
    json read_only = dap.Request(
        "setVariable", {{"variablesReference", self_ref}, {"name", "id"}, {"value", "3"}});
    EXPECT_FALSE(read_only["success"]);
    EXPECT_NE(read_only["message"].get<std::string>().find("read-only"), std::string::npos);

    ContinueToEnd(dap);
    const std::string out = dap.Outputs("stdout");
    EXPECT_NE(out.find("add 100\nn 100\ncount 41\n"), std::string::npos) << out;
}

// Step in enters the script at its first statement, next goes on by one statement, step out
// returns to the caller's next statement; next at the end of an event reaches the next code run.
TEST_F(DapTest, SteppingLandsOnTheExpectedLines) {
    DapClient dap;
    dap.Start(project_, {}, {{create_, json::array({{{"line", 5}}})}});
    EXPECT_EQ(dap.WaitEvent("stopped")["body"]["reason"], "breakpoint");
    EXPECT_EQ(dap.TopFrame()["line"], 5);
    struct Step {
        const char* command;
        std::string source;
        int line;
    } steps[] = {
        {"stepIn", script_, 2}, {"next", script_, 3}, {"stepOut", create_, 6}, {"next", step_, 1}};
    for (const Step& s : steps) {
        EXPECT_TRUE(dap.Request(s.command, {{"threadId", 1}})["success"]) << s.command;
        json stop = dap.WaitEvent("stopped");
        EXPECT_EQ(stop["body"]["reason"], "step") << s.command;
        json top = dap.TopFrame();
        EXPECT_EQ(top["source"]["path"], s.source) << s.command;
        EXPECT_EQ(top["line"], s.line) << s.command;
    }
    ContinueToEnd(dap);
}

// A conditional breakpoint stops once, when its condition holds; a logpoint prints and never
// stops; a hit count stops at the given hit.
TEST_F(DapTest, ConditionsHitCountsAndLogpoints) {
    DapClient dap;
    dap.Start(project_, {},
              {{step_, json::array({{{"line", 1}, {"logMessage", "tick {count}"}},
                                    {{"line", 2}, {"condition", "count == 2"}}})},
               {script_, json::array({{{"line", 2}, {"hitCondition", "2"}}})}});
    json stop = dap.WaitEvent("stopped");
    EXPECT_EQ(stop["body"]["reason"], "breakpoint");
    EXPECT_EQ(dap.TopFrame()["line"], 2);
    EXPECT_EQ(dap.Request("evaluate", {{"expression", "count"}, {"frameId", 0}})["body"]["result"],
              "2");
    ContinueToEnd(dap);
    EXPECT_NE(dap.Outputs("console").find("tick 0\ntick 1\ntick 2\ntick 3\ntick 4\n"),
              std::string::npos)
        << dap.Outputs("console");
}

// With the errors filter, a division by zero stops at its statement with the error text; the
// game goes on afterwards and the text is reported as error output.
TEST_F(DapTest, AnExceptionBreakpointStopsAtARunTimeError) {
    DapClient dap;
    dap.Start(project_, {}, {}, json::array({"errors"}));
    json stop = dap.WaitEvent("stopped");
    EXPECT_EQ(stop["body"]["reason"], "exception");
    EXPECT_NE(stop["body"]["text"].get<std::string>().find("Division by 0"), std::string::npos)
        << stop;
    json top = dap.TopFrame();
    EXPECT_EQ(top["source"]["path"], step_);
    EXPECT_EQ(top["line"], 3);
    EXPECT_EQ(dap.Request("evaluate", {{"expression", "count"}, {"frameId", 0}})["body"]["result"],
              "3");
    ContinueToEnd(dap);
    EXPECT_NE(dap.Outputs("stderr").find("Division by 0"), std::string::npos);
}

// Stop on entry stops at the first statement the game runs; a pause stops a running game.
TEST_F(DapTest, StopOnEntryAndPause) {
    DapClient dap;
    dap.Start(project_, {{"stopOnEntry", true}, {"maxSteps", -1}});
    json stop = dap.WaitEvent("stopped");
    EXPECT_EQ(stop["body"]["reason"], "entry");
    EXPECT_EQ(dap.TopFrame()["line"], 1);
    dap.Request("continue", {{"threadId", 1}});
    EXPECT_TRUE(dap.Request("pause", {{"threadId", 1}})["success"]);
    EXPECT_EQ(dap.WaitEvent("stopped")["body"]["reason"], "pause");
    // Ends the endless game.
    EXPECT_TRUE(dap.Request("terminate")["success"]);
    EXPECT_EQ(dap.WaitEvent("exited")["body"]["exitCode"], 0);
    dap.Request("disconnect");
    EXPECT_EQ(dap.Finish(), 0);
}

// Bad framing, bad JSON, unknown commands, missing arguments and a missing program each get an
// error response or an output message, and the adapter goes on.
TEST_F(DapTest, BadInputIsAnsweredAndTheSessionGoesOn) {
    DapClient dap;
    dap.SendRaw("Content-Length: lots\r\n\r\n");
    dap.SendRaw("Content-Length: 5\r\n\r\n{nope");
    json unknown = dap.Request("fly");
    EXPECT_FALSE(unknown["success"]);
    EXPECT_NE(unknown["message"].get<std::string>().find("fly"), std::string::npos);
    json no_args = dap.Request("launch", json::object());
    EXPECT_FALSE(no_args["success"]);
    EXPECT_NE(no_args["message"].get<std::string>().find("program"), std::string::npos);
    json missing = dap.Request("launch", {{"program", dir_ / "nowhere.exe"}});
    EXPECT_FALSE(missing["success"]);
    EXPECT_NE(missing["message"].get<std::string>().find("nowhere.exe"), std::string::npos);
    json init = dap.Request("initialize", {{"adapterID", "korvane"}});
    EXPECT_TRUE(init["success"]);
    EXPECT_NE(dap.Outputs("stderr").find("Content-Length"), std::string::npos);
    EXPECT_NE(dap.Outputs("stderr").find("JSON"), std::string::npos);
    // Now a real session in the same adapter.
    json r = dap.Request("launch", {{"program", project_}, {"headless", true}, {"maxSteps", 2}});
    EXPECT_TRUE(r["success"]) << r;
    json scopes = dap.Request("scopes", json::object());
    EXPECT_FALSE(scopes["success"]);
    dap.Request("configurationDone");
    EXPECT_EQ(dap.WaitEvent("exited")["body"]["exitCode"], 0);
    dap.Request("disconnect");
    EXPECT_EQ(dap.Finish(), 0);
}

}  // namespace
}  // namespace kr
