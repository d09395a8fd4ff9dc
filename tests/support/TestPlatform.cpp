#include "support/TestPlatform.h"

#include <stdexcept>

namespace kr::test {

namespace {
class RecordingMessages final : public MessageBox {
public:
    explicit RecordingMessages(Recording& r) : r_(r) {}
    void Show(std::string_view, std::string_view text) override { r_.messages.emplace_back(text); }

private:
    Recording& r_;
};

class RecordingLoadDisplay final : public LoadDisplay {
public:
    explicit RecordingLoadDisplay(Recording& r) : r_(r) {}
    void Show(bool bar, bool label) override {
        r_.shown = true;
        r_.bar = bar;
        r_.label = label;
    }
    void SetProgress(int percent, std::string_view caption) override {
        if (!r_.throw_at_caption.empty() && caption == r_.throw_at_caption)
            throw std::runtime_error("injected failure");
        r_.progress.emplace_back(percent, std::string(caption));
    }
    void Close() override { r_.closed = r_.shown; }

private:
    Recording& r_;
};

class RecordingProcess final : public ProcessControl {
public:
    explicit RecordingProcess(Recording& r) : r_(r) {}
    void SetPriority(int level) override { r_.priority = level; }

private:
    Recording& r_;
};
}  // namespace

Platform MakeRecordingPlatform(Recording& rec) {
    Platform p;
    p.messages = std::make_unique<RecordingMessages>(rec);
    p.load_display = std::make_unique<RecordingLoadDisplay>(rec);
    p.clock = MakeVirtualClock();
    p.process = std::make_unique<RecordingProcess>(rec);
    return p;
}

}  // namespace kr::test
