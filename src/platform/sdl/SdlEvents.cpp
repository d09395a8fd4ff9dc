#include "platform/sdl/SdlEvents.h"

#include <deque>

#include "platform/sdl/SdlApi.h"

namespace kr {

namespace {

uint32_t claimed_ = 0;
std::deque<SDL_Event> for_game_, for_claimed_;

// The window an event belongs to; 0 for events of no window.
uint32_t WindowOf(const SDL_Event& e) {
    switch (e.type) {
        case SDL_WINDOWEVENT:
            return e.window.windowID;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            return e.key.windowID;
        case SDL_TEXTINPUT:
            return e.text.windowID;
        case SDL_TEXTEDITING:
            return e.edit.windowID;
        case SDL_MOUSEMOTION:
            return e.motion.windowID;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            return e.button.windowID;
        case SDL_MOUSEWHEEL:
            return e.wheel.windowID;
        default:
            return 0;
    }
}

bool IsClaimed(const SDL_Event& e) {
    return claimed_ != 0 && WindowOf(e) == claimed_;
}

}  // namespace

void ClaimSdlWindowEvents(uint32_t window_id) {
    claimed_ = window_id;
    for_claimed_.clear();
}

bool PollSdlEvent(SDL_Event& e) {
    if (!for_game_.empty()) {
        e = for_game_.front();
        for_game_.pop_front();
        return true;
    }
    while (Sdl().SDL_PollEvent(&e)) {
        if (!IsClaimed(e)) return true;
        for_claimed_.push_back(e);
    }
    return false;
}

bool PollClaimedSdlEvent(SDL_Event& e, bool& game_closed) {
    if (!for_claimed_.empty()) {
        e = for_claimed_.front();
        for_claimed_.pop_front();
        return true;
    }
    while (Sdl().SDL_PollEvent(&e)) {
        if (IsClaimed(e)) return true;
        if (e.type == SDL_QUIT ||
            (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE))
            game_closed = true;
        for_game_.push_back(e);
    }
    return false;
}

}  // namespace kr
