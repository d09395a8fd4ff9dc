// bench_collision: the per-step collision work of rooms full of moving instances. Rooms of
// 1,000, 4,000 and 16,000 instances of two objects (the room grows with the count, so the
// density stays the same) move every instance by its speed, bouncing off the room's edges,
// and then run the collision phase between the two objects: for every instance of the first
// object, the instances of the second object's direct list that may meet it, in list order,
// tested precisely. It prints steps per second, the time of a step and of its collision phase
// (processor time of the thread), and how the cost of a step grows per 4x more instances
// (4.0x is linear).
//
//   bench_collision [processor seconds per size] [--check]
//
// --check also runs a plain test of every pair for the first steps of the smallest room and
// stops with an error when the counts of hits differ. The step is a plain function so that
// the full benchmark (step and collision events through the main loop, and the same loop in
// Lua) can be put beside it.
#include <time.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "data/Mask.h"
#include "data/Sprite.h"
#include "objects/InstanceCollision.h"
#include "objects/InstanceList.h"

using namespace kr;

namespace {

class BenchWorld : public InstanceWorld {
public:
    std::vector<CSprite> sprites;
    std::vector<ObjectDefaults> objects;
    int32_t last_id = 100000;

    const CSprite* FindSprite(int32_t i) const override {
        return i >= 0 && size_t(i) < sprites.size() ? &sprites[size_t(i)] : nullptr;
    }
    bool FindObject(int32_t i, ObjectDefaults& out) const override {
        if (i < 0 || size_t(i) >= objects.size()) return false;
        out = objects[size_t(i)];
        return true;
    }
    int32_t NewInstanceId() override { return ++last_id; }
};

// A w x h sprite with the origin in the middle: a disc when `round`, else the whole image.
CSprite MakeSprite(int32_t w, int32_t h, bool round) {
    CSprite s;
    TBitmap32 frame(w, h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const double dx = x - (w - 1) / 2.0, dy = y - (h - 1) / 2.0;
            const bool in = !round || dx * dx + dy * dy <= (w / 2.0) * (h / 2.0);
            frame.Row(y)[x] = Bgra{255, 255, 255, uint8_t(in ? 255 : 0)};
        }
    }
    s.frames.push_back(std::move(frame));
    s.x_origin = w / 2;
    s.y_origin = h / 2;
    if (!round) s.mask_params.shape = MaskShape::kRectangle;
    s.BuildMasks();
    return s;
}

struct Room {
    BenchWorld world;
    std::unique_ptr<InstanceList> list;
    double size = 0;
    int32_t a = 0, b = 1;
};

// `count` instances, half of each object, at random places with random velocities.
std::unique_ptr<Room> MakeRoom(int count, uint32_t seed) {
    auto room = std::make_unique<Room>();
    room->world.sprites.push_back(MakeSprite(16, 16, false));
    room->world.sprites.push_back(MakeSprite(12, 12, true));
    ObjectDefaults a, b;
    a.sprite = 0;
    b.sprite = 1;
    room->world.objects = {a, b};
    room->list = std::make_unique<InstanceList>(room->world);
    room->size = std::sqrt(double(count) * 64 * 64);  // one instance per 64 x 64 pixels
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> pos(0, room->size), dir(0, 360), speed(1, 3);
    for (int k = 0; k < count; ++k) {
        CInstance& inst = room->list->AddInstance(k % 2, pos(rng), pos(rng));
        inst.SetSpeed(speed(rng));
        inst.SetDirection(dir(rng));
    }
    return room;
}

// Motion: every instance moves by its speed and bounces off the room's edges.
void Move(Room& room) {
    InstanceList& list = *room.list;
    const int32_t n = list.Count();
    for (int32_t k = 0; k < n; ++k) {
        CInstance& i = *list.At(k);
        i.xprevious = i.X();
        i.yprevious = i.Y();
        if (i.X() + i.HSpeed() < 0 || i.X() + i.HSpeed() > room.size) i.SetHSpeed(-i.HSpeed());
        if (i.Y() + i.VSpeed() < 0 || i.Y() + i.VSpeed() > room.size) i.SetVSpeed(-i.VSpeed());
        i.SetPosition(i.X() + i.HSpeed(), i.Y() + i.VSpeed());
    }
}

// The collision phase for the pair (a, b): every meeting of an a with a b, found through the
// grid in list order. Returns the number of meetings.
int64_t Collide(const Room& room) {
    const InstanceList& list = *room.list;
    int64_t hits = 0;
    const int32_t n = list.DirectCount(room.a);
    for (int32_t k = 0; k < n; ++k) {
        const CInstance* i = list.DirectAt(room.a, k);
        if (!i || i->deleted) continue;
        OverlapWalk walk(list, Selection::Direct(room.b), *i);
        while (const CInstance* j = walk.Next()) hits += InstanceMeets(*i, *j, true);
    }
    return hits;
}

// The same by testing every pair.
int64_t CollideEveryPair(const Room& room) {
    const InstanceList& list = *room.list;
    int64_t hits = 0;
    for (int32_t k = 0; k < list.DirectCount(room.a); ++k)
        for (int32_t m = 0; m < list.DirectCount(room.b); ++m)
            hits += InstanceMeets(*list.DirectAt(room.a, k), *list.DirectAt(room.b, m), true);
    return hits;
}

struct Result {
    int count;
    int steps;
    double seconds;          // whole steps
    double collide_seconds;  // the collision phase alone
    double hits_per_step;
};

// Seconds of processor time used by this thread: steadier than the wall clock on a machine
// that other work shares.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

Result Run(int count, double budget) {
    std::unique_ptr<Room> room = MakeRoom(count, 1234);
    Result r{count, 0, 0, 0, 0};
    int64_t hits = 0;
    const double start = CpuSeconds();
    while (r.steps < 10 || r.seconds < budget) {
        Move(*room);
        const double collide = CpuSeconds();
        hits += Collide(*room);
        r.collide_seconds += CpuSeconds() - collide;
        ++r.steps;
        r.seconds = CpuSeconds() - start;
    }
    r.hits_per_step = double(hits) / r.steps;
    return r;
}

bool Check() {
    std::unique_ptr<Room> room = MakeRoom(1000, 99);
    for (int step = 0; step < 50; ++step) {
        Move(*room);
        const int64_t grid = Collide(*room), plain = CollideEveryPair(*room);
        if (grid != plain) {
            std::fprintf(stderr, "step %d: %lld meetings through the grid, %lld by every pair\n",
                         step, (long long)grid, (long long)plain);
            return false;
        }
    }
    std::printf("check: the grid finds the same meetings as testing every pair\n");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    double budget = 2.0;
    bool check = false;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--check") == 0)
            check = true;
        else
            budget = std::atof(argv[k]);
    }
    if (check && !Check()) return 1;
    std::printf("%10s %8s %10s %10s %12s %14s %8s\n", "instances", "steps", "steps/s", "ms/step",
                "collide ms", "meetings/step", "growth");
    std::optional<double> previous;
    for (int count : {1000, 4000, 16000}) {
        const Result r = Run(count, budget);
        const double per_step = r.seconds / r.steps;
        char growth[32] = "-";
        if (previous) std::snprintf(growth, sizeof growth, "%.2fx", per_step / *previous);
        std::printf("%10d %8d %10.1f %10.3f %12.3f %14.1f %8s\n", r.count, r.steps,
                    r.steps / r.seconds, per_step * 1000, r.collide_seconds / r.steps * 1000,
                    r.hits_per_step, growth);
        previous = per_step;
    }
    return 0;
}
