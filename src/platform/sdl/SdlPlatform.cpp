#include "platform/sdl/SdlPlatform.h"

#include <SDL.h>

#include <string>

#include "platform/Text.h"

namespace kr {

namespace {

class SdlMessageBox final : public MessageBox {
public:
    SdlMessageBox() : fallback_(MakeStderrMessageBox()) {}
    void Show(std::string_view title, std::string_view text) override {
        std::string t = GameTextToUtf8(title), m = GameTextToUtf8(text);
        // Without a display (or with a video driver that has no message boxes) the text still
        // reaches the player, on standard error.
        if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, t.c_str(), m.c_str(), nullptr) !=
            0)
            fallback_->Show(title, text);
    }

private:
    std::unique_ptr<MessageBox> fallback_;
};

class SdlClock final : public Clock {
public:
    SdlClock() : frequency_(SDL_GetPerformanceFrequency()), start_(SDL_GetPerformanceCounter()) {}
    int64_t Microseconds() override {
        uint64_t ticks = SDL_GetPerformanceCounter() - start_;
        return int64_t(ticks / frequency_ * 1000000 + ticks % frequency_ * 1000000 / frequency_);
    }
    void Sleep(int64_t us) override {
        if (us > 0) SDL_Delay(uint32_t((us + 999) / 1000));
    }
    uint32_t Seed() override { return system_->Seed(); }

private:
    uint64_t frequency_, start_;
    std::unique_ptr<Clock> system_ = MakeSystemClock();
};

}  // namespace

Platform MakeSdlPlatform() {
    Platform p;
    p.messages = std::make_unique<SdlMessageBox>();
    p.load_display = MakeTerminalLoadDisplay();
    p.clock = std::make_unique<SdlClock>();
    p.process = MakeHostProcessControl();
    return p;
}

}  // namespace kr
