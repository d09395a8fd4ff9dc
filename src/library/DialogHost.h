// The host of the game's own windows (message and input boxes, menus, pickers, the highscore
// table, game information and splash screens): their settings for one run, the answers that
// replayed input gives them, and the modal loop that shows a window inside the game window
// while the game is suspended. Without a window (headless runs) nothing is shown: the caller
// prints the window's text to standard error and takes the default answer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/DialogDraw.h"
#include "dialogs/DialogWindows.h"
#include "dialogs/Highscores.h"

namespace kr {

class Runner;
class UserStore;

struct MessageSettings {
    int32_t background = -1;  // a background resource, -1 none
    int32_t button = -1;      // a sprite resource, -1 none
    FontKey text_font{"Arial", 10, false, false};
    FontKey button_font{"Arial", 10, true, false};
    FontKey input_font{"Arial", 10, false, false};
    int32_t text_color = 0, button_color = 0, input_text_color = 0;
    double alpha = 1;
    int32_t mouse_color = 0xF7D9BC;
    int32_t input_color = 0xFFFFFF;
    int32_t x = -1, y = -1, width = -1, height = -1;
    bool caption_shown = true;
    std::string caption;  // empty: the game's title
};

struct HighscoreSettings {
    int32_t background = -1;
    bool border = true;
    int32_t back_color = 0xE0F0F8;
    int32_t new_color = 0x0000FF;
    int32_t other_color = 0x000000;
    FontKey font{"Times New Roman", 12, true, false};
    std::string caption = "Top Ten Players";
    std::string nobody = "<nobody>";
    std::string escape = "press <Escape> to close";
};

struct SplashSettings {
    std::string caption;
    bool fullscreen = false, border = true;
    int32_t width = 640, height = 480;
    int32_t x = -1, y = -1;
    bool adapt = true, top = true;
    int32_t color = 0;
    bool color_set = false;  // splash_set_color was called
    bool main = true;
    int32_t scale = 0;
    bool cursor = true, interrupt = true, stop_key = true, stop_mouse = true, close_button = true;
};

// One replayed answer: text typed into the window, or a button (item) pressed.
struct DialogAnswer {
    bool is_button = false;
    std::string text;
    int32_t button = 0;
};

// A window as the modal loop drives it.
struct ModalWindow {
    // Lays the window out in a client area of w x h pixels at a scale.
    std::function<void(DialogPainter&, int32_t w, int32_t h, double scale)> layout;
    std::function<void(DialogPainter&, bool caret)> draw;
    // One input; true when the window has closed.
    std::function<bool(const DialogInput&)> handle;
    // Closes the window from outside (the player closed the game window, the run is stopping).
    std::function<void()> cancel;
    // Asked once a frame, after drawing: true when the window has ended by itself (a video
    // that played to its end). Empty: never.
    std::function<bool()> finished;
    // Milliseconds after which the window closes by itself; 0: never.
    int64_t timeout_ms = 0;
    // How dark the game's picture behind it gets (0..1).
    double shade = 0.35;
};

class DialogHost {
public:
    DialogHost();
    ~DialogHost();

    MessageSettings message;
    HighscoreSettings highscore;
    SplashSettings splash;
    // Rich text loaded with load_info, shown instead of the game's information.
    std::optional<std::string> loaded_info;

    // Whether windows can be shown (a run with a window and a graphics device).
    static bool CanShow(Runner& r);
    // The answers replayed for a window that opens now: those of the current step not taken
    // yet, in file order, up to and including the first button. Answers of earlier steps that
    // no window took are dropped with a warning.
    std::vector<DialogAnswer> TakeAnswers(Runner& r);
    // Shows `w` until it closes; the input state is cleared afterwards. False (and nothing
    // shown) when windows cannot be shown.
    bool RunModal(Runner& r, ModalWindow& w);

    // The look of message boxes from the settings (caption, fonts, images), for `r`'s game.
    MessageLook Look(Runner& r, double scale) const;
    DialogStyle Style(Runner& r) const;

    // The highscore table of the game, read from the per-user store (missing or unreadable
    // entries read as the empty-entry name with score 0), and written back whole.
    HighscoreTable ReadTable(Runner& r);
    void WriteTable(Runner& r, const HighscoreTable& table);

private:
    size_t answer_next_ = 0;
    std::unique_ptr<DialogPainter> painter_;
    std::unique_ptr<UserStore> store_;
};

// The host of a run's windows.
DialogHost& Dialogs(Runner& r);

// Scales a font key's point size.
FontKey Scaled(FontKey f, double scale);

}  // namespace kr
