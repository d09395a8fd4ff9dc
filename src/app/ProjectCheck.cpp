// The compile check of korvane build: every piece of a project's code is compiled against the
// built game, as the runner would before the game starts, so that a mistake is reported with
// the file, line and column where it was written instead of when the game runs.
#include <cstdio>
#include <string_view>

#include "app/Project.h"
#include "code/Code.h"
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

}  // namespace

bool CompileProjectCode(std::vector<uint8_t> data, const std::vector<ProjectCode>& code,
                        std::string& error) {
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
    for (const ProjectCode& piece : code) {
        if (!piece.constant.empty()) continue;
        CCode c(piece.text, piece.expression);
        if (!c.Compile(rt)) failed(piece);
    }
    if (errors.empty()) return true;
    error.clear();
    for (const std::string& e : errors) error += (error.empty() ? "" : "\n") + e;
    return false;
}

}  // namespace kr
