#include "dialogs/Pickers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

namespace kr {

namespace {

int32_t Px(double v, double scale) {
    return int32_t(std::lround(v * scale));
}

bool Match(std::string_view name, std::string_view pat) {
    // Iterative wildcard match with one backtracking point for the last "*".
    size_t n = 0, p = 0, star = std::string_view::npos, mark = 0;
    auto eq = [](char a, char b) { return std::tolower(uint8_t(a)) == std::tolower(uint8_t(b)); };
    while (n < name.size()) {
        if (p < pat.size() && (pat[p] == '?' || (pat[p] != '*' && eq(pat[p], name[n])))) {
            ++n, ++p;
        } else if (p < pat.size() && pat[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == '*') ++p;
    return p == pat.size();
}

std::string Join(const std::string& folder, const std::string& name) {
    std::filesystem::path p(name);
    if (p.is_absolute()) return p.lexically_normal().string();
    std::string out = (std::filesystem::path(folder) / p).lexically_normal().string();
    if (out.size() > 1 && out.back() == '/') out.pop_back();
    return out.empty() ? "/" : out;
}

}  // namespace

bool MatchesPatterns(std::string_view name, std::string_view patterns) {
    size_t start = 0;
    for (;;) {
        size_t end = patterns.find(';', start);
        std::string_view pat =
            patterns.substr(start, end == std::string_view::npos ? end : end - start);
        while (!pat.empty() && pat.front() == ' ') pat.remove_prefix(1);
        while (!pat.empty() && pat.back() == ' ') pat.remove_suffix(1);
        if (!pat.empty() && Match(name, pat)) return true;
        if (end == std::string_view::npos) return false;
        start = end + 1;
    }
}

// ---- FilePicker ------------------------------------------------------------------------------

FilePicker::FilePicker(Mode mode, std::string caption, std::string_view filter,
                       const std::string& initial, std::string folder, Lister lister)
    : mode_(mode),
      caption_(std::move(caption)),
      folder_(Join("/", folder.empty() ? "/" : folder)),
      lister_(std::move(lister)) {
    size_t start = 0;
    std::vector<std::string> pieces;
    for (;;) {
        size_t end = filter.find('|', start);
        pieces.emplace_back(
            filter.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    for (size_t i = 0; i + 1 < pieces.size(); i += 2)
        if (!pieces[i + 1].empty()) filters_.emplace_back(pieces[i], pieces[i + 1]);
    if (filters_.empty()) filters_.emplace_back("All files", "*");
    if (mode_ == Mode::kFolder) {
        if (!initial.empty()) folder_ = Join(folder_, initial);
    } else if (!initial.empty()) {
        std::filesystem::path p(initial);
        if (p.has_parent_path()) folder_ = Join(folder_, p.parent_path().string());
        field_ = TextField(p.filename().string());
    }
    Refresh();
}

std::string FilePicker::FilterText() const {
    const auto& f = filters_[filter_];
    return f.first.empty() ? f.second : f.first;
}

void FilePicker::CycleFilter() {
    filter_ = (filter_ + 1) % filters_.size();
    Refresh();
}

void FilePicker::Refresh() {
    entries_.clear();
    std::vector<FolderEntry> all = lister_ ? lister_(folder_) : std::vector<FolderEntry>{};
    for (FolderEntry& e : all) {
        if (e.name.empty() || e.name == "." || e.name == "..") continue;
        if (!e.folder &&
            (mode_ == Mode::kFolder || !MatchesPatterns(e.name, filters_[filter_].second)))
            continue;
        entries_.push_back(std::move(e));
    }
    std::sort(entries_.begin(), entries_.end(), [](const FolderEntry& a, const FolderEntry& b) {
        if (a.folder != b.folder) return a.folder;
        return std::lexicographical_compare(
            a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
            [](char x, char y) { return std::tolower(uint8_t(x)) < std::tolower(uint8_t(y)); });
    });
    if (folder_ != "/") entries_.insert(entries_.begin(), FolderEntry{"..", true});
    selected = -1;
    first_row = 0;
}

void FilePicker::Enter(const std::string& name) {
    folder_ = Join(folder_, name);
    Refresh();
}

int32_t FilePicker::VisibleRows() const {
    return row_height > 0 ? std::max(1, list.h / row_height) : 1;
}

void FilePicker::Select(int32_t i) {
    if (entries_.empty()) return;
    selected = std::clamp(i, 0, int32_t(entries_.size()) - 1);
    if (selected < first_row) first_row = selected;
    if (selected >= first_row + VisibleRows()) first_row = selected - VisibleRows() + 1;
    const FolderEntry& e = entries_[size_t(selected)];
    if (e.folder == (mode_ == Mode::kFolder) && e.name != "..") field_ = TextField(e.name);
}

void FilePicker::Accept() {
    std::string name = field_.Text();
    if (name.empty()) {
        if (mode_ == Mode::kFolder) {
            result_ = folder_;
            closed_ = true;
        } else if (selected >= 0 && entries_[size_t(selected)].folder) {
            Enter(entries_[size_t(selected)].name);
        }
        return;
    }
    // A typed or chosen folder opens (in the folder picker it is the answer).
    for (const FolderEntry& e : entries_) {
        if (!e.folder || e.name != name) continue;
        if (mode_ == Mode::kFolder && name != "..") {
            result_ = Join(folder_, name);
            closed_ = true;
        } else {
            Enter(name);
            field_ = TextField();
        }
        return;
    }
    result_ = Join(folder_, name);
    closed_ = true;
}

void FilePicker::Cancel() {
    result_.clear();
    closed_ = true;
}

void FilePicker::Layout(TextMeasure& m, const FontKey& font, int32_t cw, int32_t ch, double scale) {
    const int32_t pad = Px(12, scale), gap = Px(8, scale);
    const int32_t th = m.Height(font);
    row_height = th + Px(4, scale);
    const int32_t bh = th + Px(12, scale), bw = Px(84, scale);
    int32_t w =
        std::min(cw, std::max(Px(300, scale), std::min(cw - Px(16, scale), Px(560, scale))));
    int32_t h =
        std::min(ch, std::max(Px(220, scale), std::min(ch - Px(16, scale), Px(420, scale))));
    frame = {(cw - w) / 2, (ch - h) / 2, w, h};
    const int32_t cap = th + Px(10, scale);
    caption_bar = {frame.x, frame.y, w, cap};
    int32_t y = frame.y + cap + pad;
    up_button = {frame.x + w - pad - bw, y, bw, bh};
    folder_line = {frame.x + pad, y, w - 3 * pad - bw, bh};
    y += bh + gap;
    int32_t bottom = frame.y + h - pad;
    buttons[1] = {frame.x + w - pad - bw, bottom - bh, bw, bh};
    buttons[0] = {buttons[1].x - gap - bw, bottom - bh, bw, bh};
    filter_button = {frame.x + pad, bottom - bh, std::max(1, buttons[0].x - gap - frame.x - pad),
                     bh};
    bottom -= bh + gap;
    name_box = {frame.x + pad, bottom - bh, w - 2 * pad, bh};
    bottom -= bh + gap;
    list = {frame.x + pad, y, w - 2 * pad, std::max(row_height, bottom - y)};
}

bool FilePicker::Handle(const DialogInput& in) {
    using Kind = DialogInput::Kind;
    if (closed_) return true;
    auto button_at = [&](int32_t x, int32_t y) {
        if (buttons[0].Contains(x, y)) return 0;
        if (buttons[1].Contains(x, y)) return 1;
        if (filter_button.Contains(x, y) && mode_ != Mode::kFolder) return 2;
        if (up_button.Contains(x, y)) return 3;
        return -1;
    };
    switch (in.kind) {
        case Kind::kMouseMove:
            hover = button_at(in.x, in.y);
            break;
        case Kind::kMouseDown:
            if (in.code != 1) break;
            pressed_ = button_at(in.x, in.y);
            if (list.Contains(in.x, in.y) && row_height > 0) {
                int32_t i = first_row + (in.y - list.y) / row_height;
                if (i >= int32_t(entries_.size())) break;
                // A second click on a folder opens it; on a file it is the answer.
                if (i == selected) {
                    if (entries_[size_t(i)].folder)
                        Enter(entries_[size_t(i)].name);
                    else
                        Accept();
                } else {
                    Select(i);
                }
            }
            break;
        case Kind::kMouseUp:
            if (in.code == 1 && pressed_ >= 0 && pressed_ == button_at(in.x, in.y)) {
                if (pressed_ == 0)
                    Accept();
                else if (pressed_ == 1)
                    Cancel();
                else if (pressed_ == 2)
                    CycleFilter();
                else
                    Enter("..");
            }
            pressed_ = -1;
            break;
        case Kind::kWheelUp:
        case Kind::kWheelDown: {
            int32_t most = std::max(0, int32_t(entries_.size()) - VisibleRows());
            first_row = std::clamp(first_row + (in.kind == Kind::kWheelUp ? -3 : 3), 0, most);
            break;
        }
        case Kind::kKeyDown:
            if (in.code == kVkEnter)
                Accept();
            else if (in.code == kVkEscape)
                Cancel();
            else if (in.code == kVkUp)
                Select(selected - 1);
            else if (in.code == kVkDown)
                Select(selected + 1);
            else if (in.code == kVkPageUp)
                Select(selected - VisibleRows());
            else if (in.code == kVkPageDown)
                Select(selected + VisibleRows());
            else
                field_.Key(in.code);
            break;
        case Kind::kChar:
            field_.Type(std::string(1, char(in.code)));
            break;
    }
    return closed_;
}

// ---- ColorPicker -----------------------------------------------------------------------------

ColorPicker::ColorPicker(int32_t initial)
    : initial_(initial & 0xFFFFFF), current_(initial & 0xFFFFFF) {
    // Six rows: greys, then hues at full, three-quarter and half brightness and two pale rows.
    const int32_t hues[8][3] = {{255, 0, 0},   {255, 128, 0}, {255, 255, 0}, {0, 255, 0},
                                {0, 255, 255}, {0, 0, 255},   {128, 0, 255}, {255, 0, 255}};
    for (int32_t c = 0; c < kColumns; ++c) {
        int32_t v = 255 * c / (kColumns - 1);
        palette.push_back(v | v << 8 | v << 16);
    }
    const double levels[5][2] = {{1, 0}, {0.75, 0}, {0.5, 0}, {1, 0.5}, {1, 0.75}};
    for (const auto& l : levels) {
        for (const auto& h : hues) {
            auto ch = [&](int32_t v) {
                return std::clamp(int32_t(std::lround(v * l[0] + (255 - v * l[0]) * l[1])), 0, 255);
            };
            palette.push_back(ch(h[0]) | ch(h[1]) << 8 | ch(h[2]) << 16);
        }
    }
}

void ColorPicker::Layout(TextMeasure& m, const FontKey& font, int32_t cw, int32_t ch,
                         double scale) {
    const int32_t pad = Px(12, scale), cell = Px(28, scale), gap = Px(4, scale);
    const int32_t th = m.Height(font), cap = th + Px(10, scale), bh = th + Px(12, scale),
                  bw = Px(84, scale);
    int32_t w = kColumns * (cell + gap) - gap + 2 * pad;
    int32_t h = cap + pad + kRows * (cell + gap) - gap + pad + bh + pad;
    w = std::min(w, cw), h = std::min(h, ch);
    frame = {(cw - w) / 2, (ch - h) / 2, w, h};
    caption_bar = {frame.x, frame.y, w, cap};
    swatches.clear();
    for (int32_t i = 0; i < int32_t(palette.size()); ++i)
        swatches.push_back({frame.x + pad + (i % kColumns) * (cell + gap),
                            frame.y + cap + pad + (i / kColumns) * (cell + gap), cell, cell});
    int32_t by = frame.y + h - pad - bh;
    buttons[1] = {frame.x + w - pad - bw, by, bw, bh};
    buttons[0] = {buttons[1].x - gap - bw, by, bw, bh};
    preview = {frame.x + pad, by, std::max(1, buttons[0].x - gap - frame.x - pad), bh};
}

bool ColorPicker::Handle(const DialogInput& in) {
    using Kind = DialogInput::Kind;
    if (closed_) return true;
    switch (in.kind) {
        case Kind::kMouseMove:
            hover = buttons[0].Contains(in.x, in.y) ? 0 : buttons[1].Contains(in.x, in.y) ? 1 : -1;
            break;
        case Kind::kMouseDown:
            for (size_t i = 0; i < swatches.size(); ++i)
                if (in.code == 1 && swatches[i].Contains(in.x, in.y)) current_ = palette[i];
            break;
        case Kind::kMouseUp:
            if (in.code == 1 && buttons[0].Contains(in.x, in.y))
                Accept();
            else if (in.code == 1 && buttons[1].Contains(in.x, in.y))
                Cancel();
            break;
        case Kind::kKeyDown:
            if (in.code == kVkEnter)
                Accept();
            else if (in.code == kVkEscape)
                Cancel();
            break;
        default:
            break;
    }
    return closed_;
}

}  // namespace kr
