#pragma once
// A run of compressed blocks (each a 32-bit length, then that many bytes of a zlib stream) read
// one after another, as the sections of the game data store their entries. A large run is
// inflated ahead, on a second thread as well as the caller's, while the caller reads each
// entry's record in order; what the caller sees is the same as reading the blocks one by one:
// the same blocks, and a failure at the same entry.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "data/Stream.h"

namespace kr {

class CompressedEntries {
public:
    // Compressed bytes from which a run is worth a second thread.
    static constexpr size_t kThreadedFrom = size_t(1) << 20;

    // Takes the framing of `count` blocks from `source`'s position and moves `source` past
    // them. Damaged framing fails `source` at once; Next reports it at the entry it reaches.
    CompressedEntries(CStream& source, int32_t count, size_t threaded_from = kThreadedFrom);
    ~CompressedEntries();
    CompressedEntries(const CompressedEntries&) = delete;
    CompressedEntries& operator=(const CompressedEntries&) = delete;

    // The next entry's block, inflated and positioned at 0; it stays valid until the next call.
    // nullptr, with `source` failed, when that entry's framing or data is damaged.
    CStream* Next();

private:
    static constexpr int kSlots = 4;  // entries inflated and not yet read, at the most
    enum class State { kEmpty, kBusy, kReady, kBad };
    struct Span {
        size_t at, size;
    };
    struct Slot {
        CStream block;
        int32_t entry = -1;
        State state = State::kEmpty;
    };

    bool Inflate(int32_t entry, CStream& into) const;
    // Whether an entry is left to inflate and a slot is free for it; with the mutex held.
    bool CanClaim() const;
    // Inflates the next unclaimed entry; called with `lock` held, which it releases meanwhile.
    void InflateClaimed(std::unique_lock<std::mutex>& lock);
    void Work();

    CStream& source_;
    std::vector<Span> spans_;  // the entries whose framing is whole, in order
    int32_t next_ = 0;         // the entry Next hands out next

    Slot slots_[kSlots];
    std::mutex mutex_;
    std::condition_variable changed_;
    int32_t claimed_ = 0;   // entries given to an inflater so far
    int32_t released_ = 0;  // entries the caller is done with
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace kr
