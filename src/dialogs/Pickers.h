// The file and folder picker and the colour picker as window models: a folder listing with a
// name field and a filter, and a palette of colours. The folder contents come from the caller,
// so the models stay free of the file system.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/DialogWindows.h"

namespace kr {

struct FolderEntry {
    std::string name;
    bool folder = false;
};

// Whether a file name matches a pattern with "*" and "?" (letter case ignored); a pattern list
// is separated by ";".
bool MatchesPatterns(std::string_view name, std::string_view patterns);

class FilePicker {
public:
    enum class Mode : uint8_t { kOpen, kSave, kFolder };
    using Lister = std::function<std::vector<FolderEntry>(const std::string& folder)>;

    // `filter`: "description|patterns|description|patterns..."; `initial`: a file name or path
    // (a folder for kFolder) to start from; `folder`: where to start when `initial` names none.
    FilePicker(Mode mode, std::string caption, std::string_view filter, const std::string& initial,
               std::string folder, Lister lister);

    void Layout(TextMeasure& m, const FontKey& font, int32_t cw, int32_t ch, double scale);
    bool Handle(const DialogInput& in);
    // Accepts as OK does, or cancels.
    void Accept();
    void Cancel();
    bool Closed() const { return closed_; }
    // The chosen path, or empty when cancelled.
    const std::string& Result() const { return result_; }

    Mode GetMode() const { return mode_; }
    const std::string& Caption() const { return caption_; }
    const std::string& Folder() const { return folder_; }
    const std::vector<FolderEntry>& Entries() const { return entries_; }
    TextField& Field() { return field_; }
    const TextField& Field() const { return field_; }
    std::string FilterText() const;
    // Opens a folder (absolute, or relative to the current one; ".." is the parent).
    void Enter(const std::string& name);
    void CycleFilter();

    DialogRect frame, caption_bar, folder_line, list, name_box, filter_button, up_button;
    std::array<DialogRect, 2> buttons{};  // OK, Cancel
    int32_t row_height = 0;
    int32_t first_row = 0;  // the listing's scroll
    int32_t selected = -1;
    int32_t hover = -1;  // 0 OK, 1 Cancel, 2 filter, 3 up

private:
    void Refresh();
    int32_t VisibleRows() const;
    void Select(int32_t i);

    Mode mode_;
    std::string caption_;
    std::vector<std::pair<std::string, std::string>> filters_;  // description, patterns
    size_t filter_ = 0;
    std::string folder_;
    Lister lister_;
    std::vector<FolderEntry> entries_;
    TextField field_;
    bool closed_ = false;
    std::string result_;
    int32_t pressed_ = -1;
};

// A palette of colours (0xBBGGRR) with the current one marked; OK keeps the marked colour.
class ColorPicker {
public:
    explicit ColorPicker(int32_t initial);
    void Layout(TextMeasure& m, const FontKey& font, int32_t cw, int32_t ch, double scale);
    bool Handle(const DialogInput& in);
    void Accept() { closed_ = true, accepted_ = true; }
    void Cancel() { closed_ = true; }
    bool Closed() const { return closed_; }
    // The chosen colour, or the initial one when cancelled.
    int32_t Result() const { return accepted_ ? current_ : initial_; }
    int32_t Current() const { return current_; }
    void SetCurrent(int32_t c) { current_ = c & 0xFFFFFF; }

    static constexpr int32_t kColumns = 8, kRows = 6;
    std::vector<int32_t> palette;
    std::vector<DialogRect> swatches;
    DialogRect frame, caption_bar, preview;
    std::array<DialogRect, 2> buttons{};
    int32_t hover = -1;

private:
    int32_t initial_, current_;
    bool closed_ = false, accepted_ = false;
};

}  // namespace kr
