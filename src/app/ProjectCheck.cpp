// The compile check of korvane build: every piece of a project's code is compiled against the
// built game, as the runner would before the game starts, so that a mistake is reported with
// the file, line and column where it was written instead of when the game runs.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string_view>

#include "app/Project.h"
#include "app/ProjectFormat.h"
#include "code/Code.h"
#include "code/Variables.h"
#include "code/Vocabulary.h"
#include "library/AllBuiltins.h"
#include "platform/Text.h"
#include "runner/Runner.h"

namespace kr {

namespace {

// Messages the runner would show in a box are kept for the report instead.
class KeptMessages final : public MessageBox {
public:
    explicit KeptMessages(std::string& out) : out_(out) {}
    void Show(std::string_view, std::string_view text) override { out_.assign(text); }

private:
    std::string& out_;
};

class NoLoadDisplay final : public LoadDisplay {
public:
    void Show(bool, bool) override {}
    void SetProgress(int, std::string_view) override {}
    void Close() override {}
};

// The line, column and message of a compile error text ("Error in code at line 3:\r ...
// at position 7: message" or "Error in expression:...\r position 7: message").
struct CompileError {
    int32_t line = 1, column = 1;
    std::string message;
};

CompileError ParseError(const std::string& text) {
    CompileError e;
    auto number_after = [&text](std::string_view mark, size_t& at) {
        at = text.rfind(mark);
        if (at == std::string::npos) return -1;
        at += mark.size();
        int32_t v = 0;
        bool any = false;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && v < 100000000) {
            v = v * 10 + (text[at++] - '0');
            any = true;
        }
        return any ? v : -1;
    };
    size_t at = 0;
    if (int32_t line = number_after("Error in code at line ", at); line > 0) e.line = line;
    int32_t column = number_after("position ", at);
    if (column >= 0 && text.compare(at, 2, ": ") == 0) {
        e.column = column;
        e.message = text.substr(at + 2);
    } else {
        e.message = text;
    }
    for (char& c : e.message)
        if (c == '\r' || c == '\n') c = ' ';
    return e;
}

// The column the language counts includes the LF of a CR LF line break; editors do not.
int32_t EditorColumn(const std::string& source, int32_t line, int32_t column) {
    int32_t current = 1;
    for (size_t i = 0; i < source.size() && current < line; ++i) {
        const bool cr = source[i] == '\r';
        const bool lone_lf = source[i] == '\n' && (i == 0 || source[i - 1] != '\r');
        if (cr || lone_lf) {
            ++current;
            if (current == line && cr && i + 1 < source.size() && source[i + 1] == '\n')
                return column > 1 ? column - 1 : column;
        }
    }
    return column;
}

std::string Where(const ProjectCode& piece, const CompileError& e) {
    if (piece.line > 0) return piece.file + ":" + std::to_string(piece.line) + ": " + piece.what;
    return piece.file + ":" + std::to_string(e.line) + ":" +
           std::to_string(EditorColumn(piece.text, e.line, e.column));
}

// --- Warnings: code that compiles but will surely fail when it runs ---

// Where the node at 1-based `position` of a piece is: FILE:LINE:COLUMN for a .krs file (columns
// as editors count them), FILE:LINE: WHAT for a TOML value.
std::string WhereAt(const ProjectCode& piece, int32_t position) {
    if (piece.line > 0) return piece.file + ":" + std::to_string(piece.line) + ": " + piece.what;
    const std::string& s = piece.text;
    int32_t line = 1, column = 1;
    for (size_t i = 0; i + 1 < size_t(std::max(position, 1)) && i < s.size(); ++i) {
        if (s[i] == '\r' || (s[i] == '\n' && (i == 0 || s[i - 1] != '\r'))) {
            ++line;
            column = 1;
        } else if (s[i] != '\n') {
            ++column;
        }
    }
    return piece.file + ":" + std::to_string(line) + ":" + std::to_string(column);
}

template <typename F>
void ForEachNode(const RToken& n, const F& f) {
    f(n);
    for (const RToken& c : n.children) ForEachNode(c, f);
}

bool IsVariable(const RToken& n) {
    return n.kind == kTokVariable || n.kind == kTokSimpleVariable;
}

struct Compiled {
    const ProjectCode* piece;
    std::unique_ptr<CCode> code;
};

// Finds names that nothing defines and script calls with more arguments than the script reads.
class CodeCheck {
public:
    CodeCheck(Runner& runner, const std::vector<Compiled>& code)
        : runner_(runner), rt_(runner.GetRuntime()), code_(code) {}

    std::vector<std::string> Warnings() {
        for (const Compiled& c : code_)
            ForEachNode(c.code->Root(), [&](const RToken& n) { Assigns(n); });
        ScriptArguments();
        for (const Compiled& c : code_) {
            std::set<std::string> named;  // one warning per name and piece
            ForEachNode(c.code->Root(), [&](const RToken& n) {
                if (IsVariable(n) && n.id >= kBuiltinVariableLimit) {
                    const std::string name = rt_.VariableName(n.id);
                    if (!assigned_.count(name) && named.insert(name).second)
                        Warn(c, n.position, Unknown(name));
                } else if (n.kind == kTokFunction && n.id >= kScriptIdBase &&
                           n.id < kExtensionIdBase) {
                    CallsScript(c, n, n.id - kScriptIdBase);
                }
            });
        }
        return std::move(warnings_);
    }

private:
    void Warn(const Compiled& c, int32_t position, const std::string& what) {
        warnings_.push_back(WhereAt(*c.piece, position) + ": warning: " + what);
    }

    // Names the code gives a value: assignments, var and globalvar, and the names that
    // variable_*_set calls write when they are given as constant strings.
    void Assigns(const RToken& n) {
        if (n.kind == kTokAssign && !n.children.empty() && IsVariable(n.children[0])) {
            assigned_.insert(rt_.VariableName(n.children[0].id));
        } else if (n.kind == kTokVar || n.kind == kTokGlobalVar) {
            for (const RToken& c : n.children) assigned_.insert(rt_.VariableName(c.id));
        } else if (n.kind == kTokFunction && !n.children.empty() &&
                   n.children[0].kind == kTokConstant && n.children[0].value.IsString()) {
            const std::string f = rt_.FunctionName(n.id);
            if (f.starts_with("variable_") && f.find("_set") != std::string::npos)
                assigned_.insert(std::string(n.children[0].value.Str()));
        }
    }

    // The message for a name nothing defines, with the closest name that something does.
    std::string Unknown(const std::string& name) {
        if (candidates_.empty()) Candidates();
        const std::pair<std::string, std::string>* best = nullptr;
        size_t best_distance = std::max<size_t>(1, name.size() / 3) + 1;
        for (const auto& candidate : candidates_) {
            const size_t d = project::EditDistance(name, candidate.first);
            if (d < best_distance) best = &candidate, best_distance = d;
        }
        if (!best)
            return name + " is no resource, constant, script or built-in, and no code assigns it";
        return "no " + best->second + " named " + name + "; did you mean " + best->first + "?";
    }

    // Every name a variable could have been meant as, with what it is.
    void Candidates() {
        const GameData& g = runner_.Game();
        auto table = [&](const auto& t, const char* kind) {
            for (int i = 0; i < t.Count(); ++i)
                if (t.Exists(i)) candidates_.emplace_back(t.StoredName(i), kind);
        };
        table(g.sounds, "sound");
        table(g.sprites, "sprite");
        table(g.backgrounds, "background");
        table(g.paths, "path");
        table(g.fonts, "font");
        table(g.time_lines, "time line");
        table(g.objects, "object");
        table(g.rooms, "room");
        for (int32_t i = 0; i < rt_.ScriptCount(); ++i)
            if (rt_.ScriptExists(i)) candidates_.emplace_back(rt_.ScriptName(i), "script");
        for (const std::string& c : g.constant_names) candidates_.emplace_back(c, "constant");
        for (const BuiltinConstantDef& c : BuiltinConstants())
            candidates_.emplace_back(c.name, "constant");
        for (int32_t i = 0; i < rt_.BuiltinVariableCount(); ++i)
            candidates_.emplace_back(rt_.BuiltinVariableName(i), "variable");
        for (const std::string& v : assigned_) candidates_.emplace_back(v, "variable");
    }

    // How many arguments each script reads at most: argumentN, argument[N]; an index that is
    // not a constant may read any of them.
    void ScriptArguments() {
        int32_t argument_n[kArgCount];
        for (int k = 0; k < kArgCount; ++k)
            argument_n[k] = rt_.FindBuiltinVariable("argument" + std::to_string(k));
        const int32_t argument = rt_.FindBuiltinVariable("argument");
        reads_.assign(size_t(std::max(rt_.ScriptCount(), 0)), 0);
        for (int32_t s = 0; s < rt_.ScriptCount(); ++s) {
            if (!rt_.ScriptExists(s)) continue;
            CCode code(rt_.ScriptText(s), false);
            if (!code.Compile(rt_)) {
                rt_.ClearError();
                reads_[size_t(s)] = kArgCount;
                continue;
            }
            int32_t& most = reads_[size_t(s)];
            ForEachNode(code.Root(), [&](const RToken& n) {
                if (!IsVariable(n)) return;
                for (int k = 0; k < kArgCount; ++k)
                    if (n.id == argument_n[k]) most = std::max(most, k + 1);
                if (n.id != argument) return;
                if (n.children.size() < 2) {
                    most = std::max(most, 1);
                } else if (n.children[1].kind == kTokConstant && n.children[1].value.IsReal()) {
                    const double k = n.children[1].value.real;
                    most = std::max(most, k >= 0 && k < kArgCount ? int32_t(k) + 1 : kArgCount);
                } else {
                    most = kArgCount;
                }
            });
        }
    }

    void CallsScript(const Compiled& c, const RToken& call, int32_t script) {
        if (script < 0 || size_t(script) >= reads_.size()) return;
        const int32_t given = int32_t(call.children.size()), read = reads_[size_t(script)];
        if (given <= read) return;
        const std::string name = rt_.ScriptName(script);
        Warn(c, call.position,
             name + " is given " + std::to_string(given) + " argument" + (given == 1 ? "" : "s") +
                 " but reads " +
                 (read == 0
                      ? std::string("none")
                      : "only " + std::to_string(read) + " (argument0" +
                            (read > 1 ? " to argument" + std::to_string(read - 1) : "") + ")"));
    }

    Runner& runner_;
    Runtime& rt_;
    const std::vector<Compiled>& code_;
    std::set<std::string> assigned_;
    std::vector<std::pair<std::string, std::string>> candidates_;
    std::vector<int32_t> reads_;
    std::vector<std::string> warnings_;
};

}  // namespace

bool CompileProjectCode(std::vector<uint8_t> data, const std::vector<ProjectCode>& code,
                        std::string& error, std::vector<std::string>* warnings) {
    std::string message;
    Platform platform = MakeHeadlessPlatform();
    platform.messages = std::make_unique<KeptMessages>(message);
    platform.load_display = std::make_unique<NoLoadDisplay>();
    RunnerOptions options;
    options.game_path = "game";
    options.game_data = std::move(data);
    options.register_functions = RegisterAllBuiltins;
    Runner runner(platform, std::move(options));
    if (runner.LoadGameData() != LoadResult::kLoaded) {
        error = "the built game does not load: " + message;
        return false;
    }
    Runtime& rt = runner.GetRuntime();
    // The extension packages' constants and functions are known to the code that uses them.
    if (!runner.Extensions().Prepare(runner.Game().extension_packages, "", false, false)) {
        error = "the extension packages do not compile: " + GameTextToUtf8(message);
        return false;
    }
    // Constants first, in their order, as each may use the ones before it.
    std::vector<std::string> errors;
    auto failed = [&](const ProjectCode& piece) {
        CompileError e = ParseError(rt.ErrorText());
        rt.ClearError();
        errors.push_back(Where(piece, e) + ": " + GameTextToUtf8(e.message));
    };
    for (const ProjectCode& piece : code) {
        if (piece.constant.empty()) continue;
        CCode c(piece.text, true);
        if (!c.Compile(rt)) {
            failed(piece);
        } else if (!rt.DefineConstant(piece.constant, piece.text)) {
            errors.push_back(Where(piece, {}) + ": " + GameTextToUtf8(message));
        }
        rt.ClearError();
    }
    std::vector<Compiled> compiled;
    for (const ProjectCode& piece : code) {
        if (!piece.constant.empty()) continue;
        auto c = std::make_unique<CCode>(piece.text, piece.expression);
        if (!c->Compile(rt))
            failed(piece);
        else if (warnings)
            compiled.push_back({&piece, std::move(c)});
    }
    if (errors.empty()) {
        if (warnings) *warnings = CodeCheck(runner, compiled).Warnings();
        return true;
    }
    error.clear();
    for (const std::string& e : errors) error += (error.empty() ? "" : "\n") + e;
    return false;
}

}  // namespace kr
