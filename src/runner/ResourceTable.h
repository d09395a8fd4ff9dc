// Resource tables: per kind, slots indexed from 0 with a parallel table of names. A slot may be
// empty; indices never move (removing a resource empties its slot, new resources are appended).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kr {

// The part of a table that does not depend on the kind: slot count, names, which slots are
// filled. Tools that only list resources work on this.
class ResourceIndex {
public:
    static constexpr std::string_view kUndefinedName = "<undefined>";

    int Count() const { return int(names_.size()); }
    bool Exists(int i) const { return i >= 0 && i < Count() && filled_[size_t(i)]; }
    // The name as scripts read it: "<undefined>" for an empty slot or an index outside the table.
    std::string_view Name(int i) const { return Exists(i) ? names_[size_t(i)] : kUndefinedName; }
    // The name as stored ("" for an empty slot).
    const std::string& StoredName(int i) const { return names_[size_t(i)]; }

protected:
    std::vector<std::string> names_;
    // Which slots hold a resource; kept here (beside the items of the typed table) so that
    // listing a table needs no knowledge of its kind.
    std::vector<bool> filled_;
};

template <typename T>
class ResourceTable : public ResourceIndex {
public:
    // `count` empty slots.
    void Reset(int count) {
        size_t n = count > 0 ? size_t(count) : 0;
        items_.clear();
        items_.resize(n);
        names_.assign(n, std::string());
        filled_.assign(n, false);
    }
    void Set(int i, std::string name, std::unique_ptr<T> item) {
        items_[size_t(i)] = std::move(item);
        names_[size_t(i)] = std::move(name);
        filled_[size_t(i)] = items_[size_t(i)] != nullptr;
    }
    // Appends a resource made at run time; returns its index.
    int Add(std::string name, std::unique_ptr<T> item) {
        items_.push_back(nullptr);
        names_.emplace_back();
        filled_.push_back(false);
        Set(Count() - 1, std::move(name), std::move(item));
        return Count() - 1;
    }
    // Empties a slot; the indices of the others stay.
    void Remove(int i) {
        if (!Exists(i)) return;
        Set(i, std::string(), nullptr);
    }
    // Empties a slot and hands over what it held (nullptr for an empty slot), for a caller that
    // must keep the resource alive a while longer.
    std::unique_ptr<T> Take(int i) {
        if (!Exists(i)) return nullptr;
        std::unique_ptr<T> item = std::move(items_[size_t(i)]);
        Set(i, std::string(), nullptr);
        return item;
    }
    // The resource in slot i, or nullptr for an empty slot or an index outside the table.
    T* Get(int i) const { return Exists(i) ? items_[size_t(i)].get() : nullptr; }

private:
    std::vector<std::unique_ptr<T>> items_;
};

}  // namespace kr
