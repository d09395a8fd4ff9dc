// A world of a few sprites and objects built in code, for instance and collision tests.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "code/Runtime.h"
#include "motion/FrameFixture.h"
#include "objects/Instance.h"

namespace kr::test {

class TestWorld : public InstanceWorld {
public:
    std::vector<std::unique_ptr<CSprite>> sprites;  // null: a deleted sprite
    std::vector<std::optional<ObjectDefaults>> objects;
    int32_t last_id = 100000;

    const CSprite* FindSprite(int32_t index) const override {
        return index >= 0 && size_t(index) < sprites.size() ? sprites[size_t(index)].get()
                                                            : nullptr;
    }
    bool FindObject(int32_t index, ObjectDefaults& out) const override {
        if (index < 0 || size_t(index) >= objects.size() || !objects[size_t(index)]) return false;
        out = *objects[size_t(index)];
        return true;
    }
    int32_t NewInstanceId() override { return ++last_id; }

    int32_t AddSprite(CSprite s) {
        sprites.push_back(std::make_unique<CSprite>(std::move(s)));
        return int32_t(sprites.size()) - 1;
    }
    int32_t AddObject(ObjectDefaults o) {
        objects.emplace_back(o);
        return int32_t(objects.size()) - 1;
    }
    // An object showing `sprite`, with an optional parent.
    int32_t AddObject(int32_t sprite, int32_t parent = -1, bool solid = false) {
        ObjectDefaults o;
        o.sprite = sprite;
        o.parent = parent;
        o.solid = solid;
        return AddObject(o);
    }
};

// A runtime that records the run-time errors instead of showing them.
class RecordingRuntime : public Runtime {
public:
    std::vector<std::string> errors;
    void RuntimeError(std::string_view message, bool) override { errors.emplace_back(message); }
};

}  // namespace kr::test
