// Variables of the script language: the variable record, the variable list of an instance, of
// the global store and of `var` locals, the run-wide table of user variable names and the global
// store with its globalvar marks.
//
// Every variable is a scalar that is also element [0,0] of a two-dimensional array. A reference
// reaches a list with one flat index: 0 is the scalar, any other index is row index / 32000,
// column index % 32000. Rows are grown only as far as the highest element written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "code/Value.h"

namespace kr {

class CStream;

constexpr int32_t kArrayDim = 32000;
constexpr int32_t kFirstUserVariable = 100000;
constexpr int32_t kBuiltinVariableLimit = 10000;

// The elements of a variable beyond its scalar; row 0 column 0 exists once row 0 exists but is
// never reached (index 0 is the scalar).
using ArrayRows = std::vector<std::vector<RValue>>;

struct RVariable {
    int32_t id = 0;
    RValue value;
    ArrayRows rows;
};

// Reads element `index` (not 0) of the rows; nullptr when it does not exist.
inline const RValue* ArrayElement(const ArrayRows& rows, int64_t index) {
    // Unsigned division is the cheaper one; a negative index becomes a row far past the end.
    const uint64_t u = uint64_t(index);
    size_t i = size_t(u / kArrayDim), j = size_t(u % kArrayDim);
    if (i >= rows.size() || j >= rows[i].size()) return nullptr;
    return &rows[i][j];
}
// Element `index` (not 0), growing the row and the row list as far as needed.
inline RValue& ArrayElementForWrite(ArrayRows& rows, int64_t index) {
    size_t i = size_t(index / kArrayDim), j = size_t(index % kArrayDim);
    if (rows.size() <= i) rows.resize(i + 1);
    std::vector<RValue>& row = rows[i];
    if (row.size() <= j) {
        if (j == row.size())
            row.emplace_back();  // filling a row in order
        else
            row.resize(j + 1);
    }
    return row[j];
}

// A list of variables in order of creation. Lookups are O(1): a caller may pass an inline
// cache (the slot it found last time, checked before use); lists of more than a few variables
// keep a hash index from name id to slot.
class CVariableList {
public:
    CVariableList() = default;
    CVariableList(const CVariableList& o) : items_(o.items_) { RebuildIndex(); }
    CVariableList& operator=(const CVariableList& o) {
        if (this != &o) Assign(o);
        return *this;
    }
    CVariableList(CVariableList&&) noexcept = default;
    CVariableList& operator=(CVariableList&&) noexcept = default;

    int32_t Count() const { return int32_t(items_.size()); }
    const RVariable& Item(int32_t i) const { return items_[size_t(i)]; }

    void Clear() {
        items_.clear();
        index_.clear();
    }
    void Assign(const CVariableList& source) {
        items_ = source.items_;
        RebuildIndex();
    }

    // The variable with name id `id`, or nullptr.
    RVariable* Find(int32_t id) {
        uint32_t cache = 0;
        return Find(id, cache);
    }
    const RVariable* Find(int32_t id) const { return const_cast<CVariableList*>(this)->Find(id); }
    // As Find, trying slot `cache` first and leaving the slot found in it.
    RVariable* Find(int32_t id, uint32_t& cache) {
        if (cache < items_.size() && items_[cache].id == id) return &items_[cache];
        return FindSlow(id, cache);
    }
    // The variable with name id `id`, appended with real 0 when it does not exist.
    RVariable& FindOrAdd(int32_t id, uint32_t& cache) {
        if (RVariable* v = Find(id, cache)) return *v;
        return Append(id, cache);
    }

    // Stores `value` at flat index `index`, creating the variable and growing its rows.
    void SetVar(int32_t id, int64_t index, const RValue& value) {
        uint32_t cache = 0;
        RVariable& v = FindOrAdd(id, cache);
        if (index == 0)
            v.value = value;
        else
            ArrayElementForWrite(v.rows, index) = value;
    }
    // Reads flat index `index`; nullptr when the variable or the element does not exist (the
    // caller applies the "uninitialized variables are 0" setting).
    const RValue* GetVar(int32_t id, int64_t index) const {
        const RVariable* v = Find(id);
        if (!v) return nullptr;
        return index == 0 ? &v->value : ArrayElement(v->rows, index);
    }
    // Creates the variable with real 0 if it does not exist.
    void Declare(int32_t id) {
        uint32_t cache = 0;
        FindOrAdd(id, cache);
    }

    // Stream form: version 440, count, then per variable its id, scalar, rows. Loading clears
    // the list first; a version other than 440 leaves it empty. False when the stream failed.
    void SaveToStream(CStream& s) const;
    bool LoadFromStream(CStream& s);

private:
    static constexpr size_t kIndexFrom = 8;  // lists this long and longer keep a hash index
    RVariable* FindSlow(int32_t id, uint32_t& cache);
    RVariable& Append(int32_t id, uint32_t& cache);
    void RebuildIndex();

    std::vector<RVariable> items_;
    std::unordered_map<int32_t, uint32_t> index_;  // filled once the list has kIndexFrom items
};

// Writes and reads one value record: kind, real, string (all three, always).
void WriteValue(CStream& s, const RValue& v);
RValue ReadValue(CStream& s);

// The run-wide table of user variable names: name id 100000 + n for the n-th name. Names are
// added while code is compiled and by the variable functions, and never removed.
class VariableNames {
public:
    // The id of `name`, appended when new.
    int32_t Intern(std::string_view name);
    // The id of `name`, or -1 when it was never interned.
    int32_t Find(std::string_view name) const;
    // The name of a user id, or "<unknown variable>".
    const std::string& Name(int32_t id) const;
    int32_t Count() const { return int32_t(names_.size()); }

private:
    std::vector<std::string> names_;
    std::unordered_map<std::string, int32_t> ids_;
};

// The global variables and the globalvar marks.
class GlobalStore {
public:
    GlobalStore() { Init(); }
    // A new empty global list and 10000 cleared marks.
    void Init();
    // Ids below 100000 are ignored; otherwise the mark is set (growing the marks to id - 99000
    // entries when needed) and the variable is declared in the global list.
    void DeclareGlobalVar(int32_t id);
    bool IsGlobalVar(int32_t id) const {
        uint32_t k = uint32_t(id - kFirstUserVariable);
        return id >= kFirstUserVariable && k < marks_.size() && marks_[k];
    }
    size_t MarkCount() const { return marks_.size(); }

    CVariableList& List() { return list_; }
    const CVariableList& List() const { return list_; }

    // Stream form: 700, the global list, the number of marks, one boolean per mark.
    void SaveGlobals(CStream& s) const;
    bool LoadGlobals(CStream& s);

private:
    CVariableList list_;
    std::vector<uint8_t> marks_;
};

}  // namespace kr
