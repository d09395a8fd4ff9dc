#include "runner/InputReplay.h"

#include <charconv>

#include "code/Vocabulary.h"

namespace kr {

namespace {

// The words of a line, each with where it starts.
struct Word {
    std::string_view text;
    size_t at;
};

std::vector<Word> Words(std::string_view line) {
    std::vector<Word> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size() || line[i] == '#') break;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        words.push_back({line.substr(start, i - start), start});
    }
    return words;
}

bool Number(std::string_view s, int64_t lo, int64_t hi, int64_t& out) {
    int64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi) return false;
    out = v;
    return true;
}

// A key: a virtual-key code, the name of a vk_ constant (vk_left), a letter (S or s, the key
// whose code is ord('S')), or a letter or digit in quotes ('5'). A bare digit stays a code.
bool KeyCode(std::string_view s, int32_t& out) {
    int64_t v;
    if (Number(s, 0, 255, v)) {
        out = int32_t(v);
        return true;
    }
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (s.size() == 3 && s[0] == '\'' && s[2] == '\'' && s[1] >= '0' && s[1] <= '9') {
        out = s[1];
        return true;
    }
    if (s.size() == 3 && s[0] == '\'' && s[2] == '\'') s = s.substr(1, 1);
    if (s.size() == 1 && letter(s[0])) {
        out = s[0] >= 'a' ? s[0] - 'a' + 'A' : s[0];
        return true;
    }
    if (!s.starts_with("vk_")) return false;
    for (const BuiltinConstantDef& c : BuiltinConstants()) {
        if (s == c.name) {
            out = int32_t(c.value);
            return true;
        }
    }
    return false;
}

// One line without its end; false with `why` when it is malformed. `has_event` is false for a
// blank or comment line. A char event leaves its bytes in `typed`.
bool ParseLine(std::string_view line, ReplayEvent& out, bool& has_event, std::string_view& typed,
               std::string& why) {
    using Kind = InputEvent::Kind;
    std::vector<Word> w = Words(line);
    has_event = !w.empty();
    if (!has_event) return true;
    if (!Number(w[0].text, 0, INT64_MAX, out.step)) {
        why = "the step '" + std::string(w[0].text) + "' is not a number of 0 or more";
        return false;
    }
    if (w.size() < 2) {
        why = "an event must follow the step";
        return false;
    }
    std::string_view ev = w[1].text;
    auto args = [&](size_t n, const char* form) {
        if (w.size() == n + 2) return true;
        why = std::string("expected '") + form + "'";
        return false;
    };
    auto number = [&](size_t i, int64_t lo, int64_t hi, const char* what, int32_t& dst) {
        int64_t v;
        if (!Number(w[i].text, lo, hi, v)) {
            why = std::string(what) + " '" + std::string(w[i].text) + "' is not " +
                  std::to_string(lo) + ".." + std::to_string(hi);
            return false;
        }
        dst = int32_t(v);
        return true;
    };
    InputEvent& e = out.event;
    e = InputEvent{};
    if (ev == "char") {
        // The text is everything after one blank, comment signs and blanks included.
        size_t start = w[1].at + 5;
        if (start >= line.size() || line[start - 1] != ' ') {
            why = "expected 'char TEXT'";
            return false;
        }
        e.kind = Kind::kChar;
        typed = line.substr(start);
        return true;
    }
    if (ev == "text") {
        size_t start = w[1].at + 5;
        if (start > line.size() || line[start - 1] != ' ') {
            why = "expected 'text TEXT'";
            return false;
        }
        out.answer = ReplayEvent::Answer::kText;
        out.text = std::string(line.substr(std::min(start, line.size())));
        return true;
    }
    if (ev == "button") {
        out.answer = ReplayEvent::Answer::kButton;
        return args(1, "button N") && number(2, 0, 1000000, "the button", out.button);
    }
    if (ev == "key" && w.size() >= 3 && (w[2].text == "down" || w[2].text == "up")) {
        e.kind = w[2].text == "down" ? Kind::kKeyDown : Kind::kKeyUp;
        if (!args(2, "key down|up VK")) return false;
        if (KeyCode(w[3].text, e.code)) return true;
        why = "the key '" + std::string(w[3].text) +
              "' is not 0..255, a vk_ name, a letter or a quoted digit ('5')";
        return false;
    }
    if (ev == "mouse" && w.size() >= 3 && w[2].text == "move") {
        e.kind = Kind::kMouseMove;
        return args(3, "mouse move X Y") && number(3, INT32_MIN, INT32_MAX, "x", e.x) &&
               number(4, INT32_MIN, INT32_MAX, "y", e.y);
    }
    if (ev == "mouse" && w.size() >= 3 && (w[2].text == "down" || w[2].text == "up")) {
        e.kind = w[2].text == "down" ? Kind::kMouseDown : Kind::kMouseUp;
        return args(2, "mouse down|up B") && number(3, 1, 3, "the button", e.code);
    }
    if (ev == "wheel" && w.size() >= 3 && (w[2].text == "up" || w[2].text == "down")) {
        e.kind = w[2].text == "up" ? Kind::kWheelUp : Kind::kWheelDown;
        return args(1, "wheel up|down");
    }
    if (ev == "close") {
        e.kind = Kind::kClose;
        return args(0, "close");
    }
    why = "unknown event '" + std::string(line.substr(w[1].at)) + "'";
    return false;
}

}  // namespace

bool ParseInputReplay(std::string_view text, std::vector<ReplayEvent>& out, std::string& error) {
    out.clear();
    size_t pos = 0;
    int line_number = 0;
    // The latest step so far and its line: steps may repeat but not go back.
    int64_t last_step = 0;
    int last_line = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ReplayEvent e;
        bool has_event;
        std::string_view typed;
        std::string detail;
        if (!ParseLine(line, e, has_event, typed, detail)) {
            error = "line " + std::to_string(line_number) + ": " + detail;
            out.clear();
            return false;
        }
        if (!has_event) continue;
        if (e.step < last_step) {
            error = "line " + std::to_string(line_number) + ": step " + std::to_string(e.step) +
                    " comes before step " + std::to_string(last_step) + " of line " +
                    std::to_string(last_line) + "; steps must not go back";
            out.clear();
            return false;
        }
        last_step = e.step;
        last_line = line_number;
        if (e.event.kind == InputEvent::Kind::kChar) {
            for (char c : typed) {
                e.event.code = int32_t(uint8_t(c));
                out.push_back(e);
            }
            continue;
        }
        out.push_back(e);
    }
    return true;
}

}  // namespace kr
