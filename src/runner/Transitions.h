// RoomTransitions: the animation between the room being left and the room being entered. When
// a room is left with a transition kind set, the last image of that room is drawn into one
// surface and drawing is redirected into a second one, which so receives the first frame of the
// new room; the animation then combines the two, frame by frame, with a built-in kind
// (graphics/Transition.h) or with a script or extension function that the game defined for the
// kind. No events run and no input is taken while it plays.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kr {

class Runner;

class RoomTransitions {
public:
    explicit RoomTransitions(Runner& runner) : runner_(runner) {}
    RoomTransitions(const RoomTransitions&) = delete;
    RoomTransitions& operator=(const RoomTransitions&) = delete;

    // transition_define: kind `kind` draws its frames with the function called `name` (scripts
    // first, then extension functions, then built-ins). False when no function has the name;
    // a kind outside 1..999999 is then not stored, yet the result is true.
    bool Define(int32_t kind, std::string_view name);
    // A built-in kind (1..21) or one defined by the game.
    bool Exists(int32_t kind) const;

    // Leaving a room with transition `kind`: its last image is drawn into the from surface and
    // drawing goes into the to surface from now on. Nothing happens for a kind that does not
    // exist or when a surface cannot be made.
    void Capture(int32_t kind);
    // Whether a capture waits to be played.
    bool Captured() const { return from_ >= 0 && to_ >= 0; }
    // After the new room's first frame was drawn: plays steps + 1 frames (moment i / steps for
    // i = 0 .. steps) into the picture, presenting each and then calling `frame_shown`, which
    // paces the frames and may stop the animation by giving false. Frees the surfaces.
    void Run(int32_t steps, const std::function<bool()>& frame_shown);
    // Drops a capture that will not be played (drawing goes to the picture again).
    void Discard();

private:
    struct Defined {
        int32_t function = -1;  // function id
        std::string name;
    };
    static constexpr int32_t kMaxDefinedKind = 1000000;
    void DrawDefined(const Defined& d, int32_t w, int32_t h, double f);

    Runner& runner_;
    // Defined kinds by number; a kind that was never defined has no entry.
    std::unordered_map<int32_t, Defined> defined_;
    int32_t active_ = -1;
    int32_t from_ = -1, to_ = -1;
};

}  // namespace kr
