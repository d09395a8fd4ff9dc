#include "data/CompressedEntries.h"

#include <system_error>

#include "platform/Process.h"

namespace kr {

CompressedEntries::CompressedEntries(CStream& source, int32_t count, size_t threaded_from)
    : source_(source) {
    size_t compressed = 0;
    for (int32_t i = 0; i < count; ++i) {
        int32_t n = source.ReadInteger();
        if (source.Failed() || n < 0 || size_t(n) > source.Remaining()) {
            source.SetFailed();
            break;
        }
        spans_.push_back({source.Position(), size_t(n)});
        source.Skip(size_t(n));
        compressed += size_t(n);
    }
    if (spans_.size() < 2 || compressed < threaded_from || UsableCores() < 2) return;
    try {
        worker_ = std::thread(&CompressedEntries::Work, this);
    } catch (const std::system_error&) {
        // No second thread: the entries are inflated one by one as they are asked for.
    }
}

CompressedEntries::~CompressedEntries() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

bool CompressedEntries::Inflate(int32_t entry, CStream& into) const {
    const Span& s = spans_[size_t(entry)];
    return into.InflateFrom(std::span<const uint8_t>(source_.Data() + s.at, s.size));
}

void CompressedEntries::InflateClaimed(std::unique_lock<std::mutex>& lock) {
    const int32_t entry = claimed_++;
    Slot& slot = slots_[entry % kSlots];
    slot.entry = entry;
    slot.state = State::kBusy;
    lock.unlock();
    const bool ok = Inflate(entry, slot.block);
    lock.lock();
    slot.state = ok ? State::kReady : State::kBad;
    changed_.notify_all();
}

bool CompressedEntries::CanClaim() const {
    // A slot is free again once the caller is done with the entry it held.
    return claimed_ < int32_t(spans_.size()) && claimed_ < released_ + kSlots;
}

void CompressedEntries::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_ && claimed_ < int32_t(spans_.size())) {
        if (CanClaim())
            InflateClaimed(lock);
        else
            changed_.wait(lock);
    }
}

CStream* CompressedEntries::Next() {
    const int32_t entry = next_++;
    if (entry >= int32_t(spans_.size())) {  // its framing is damaged
        source_.SetFailed();
        return nullptr;
    }
    Slot& slot = slots_[entry % kSlots];
    if (!worker_.joinable()) {
        if (Inflate(entry, slot.block)) return &slot.block;
        source_.SetFailed();
        return nullptr;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    released_ = entry;
    changed_.notify_all();
    // Rather than wait, this thread inflates what is free to inflate: its own entry when the
    // worker has not taken it yet, or one further on.
    while (slot.entry != entry || slot.state == State::kBusy) {
        if (CanClaim())
            InflateClaimed(lock);
        else
            changed_.wait(lock);
    }
    if (slot.state == State::kReady) return &slot.block;
    source_.SetFailed();
    return nullptr;
}

}  // namespace kr
