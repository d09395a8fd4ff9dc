#include "code/Variables.h"

#include "data/Stream.h"

namespace kr {

namespace {
constexpr int32_t kListVersion = 440;
constexpr int32_t kGlobalsVersion = 700;
constexpr size_t kInitialMarks = 10000;
constexpr size_t kValueRecordBytes = 16;  // kind, real, string length
}  // namespace

RVariable* CVariableList::FindSlow(int32_t id, uint32_t& cache) {
    if (items_.size() >= kIndexFrom) {
        auto it = index_.find(id);
        if (it == index_.end()) return nullptr;
        cache = it->second;
        return &items_[it->second];
    }
    for (size_t i = items_.size(); i-- > 0;) {
        if (items_[i].id == id) {
            cache = uint32_t(i);
            return &items_[i];
        }
    }
    return nullptr;
}

RVariable& CVariableList::Append(int32_t id, uint32_t& cache) {
    cache = uint32_t(items_.size());
    items_.push_back(RVariable{id, RValue(), {}});
    if (items_.size() == kIndexFrom)
        RebuildIndex();
    else if (items_.size() > kIndexFrom)
        index_.emplace(id, cache);
    return items_.back();
}

void CVariableList::RebuildIndex() {
    index_.clear();
    if (items_.size() < kIndexFrom) return;
    index_.reserve(items_.size() * 2);
    for (size_t i = 0; i < items_.size(); ++i) index_.emplace(items_[i].id, uint32_t(i));
}

void WriteValue(CStream& s, const RValue& v) {
    s.WriteInteger(v.IsString() ? 1 : 0);
    s.WriteReal(v.IsReal() ? v.real : 0.0);
    s.WriteString(v.Str());
}

RValue ReadValue(CStream& s) {
    int32_t kind = s.ReadInteger();
    double real = s.ReadReal();
    std::string str = s.ReadString();
    if (kind == 1) return RValue(std::string_view(str));
    if (kind != 0) s.SetFailed();
    return RValue(real);
}

void CVariableList::SaveToStream(CStream& s) const {
    s.WriteInteger(kListVersion);
    s.WriteInteger(int32_t(items_.size()));
    for (const RVariable& v : items_) {
        s.WriteInteger(v.id);
        WriteValue(s, v.value);
        s.WriteInteger(int32_t(v.rows.size()));
        for (const std::vector<RValue>& row : v.rows) {
            s.WriteInteger(int32_t(row.size()));
            for (const RValue& e : row) WriteValue(s, e);
        }
    }
}

bool CVariableList::LoadFromStream(CStream& s) {
    Clear();
    if (s.ReadInteger() != kListVersion) return !s.Failed();
    int32_t count = s.ReadCount(4 + kValueRecordBytes + 4);
    for (int32_t n = 0; n < count && !s.Failed(); ++n) {
        RVariable v;
        v.id = s.ReadInteger();
        v.value = ReadValue(s);
        int32_t rows = s.ReadCount(4);
        if (rows > kArrayDim) s.SetFailed();
        for (int32_t i = 0; i < rows && !s.Failed(); ++i) {
            int32_t len = s.ReadCount(kValueRecordBytes);
            if (len > kArrayDim) s.SetFailed();
            std::vector<RValue> row;
            row.reserve(size_t(len));
            for (int32_t j = 0; j < len && !s.Failed(); ++j) row.push_back(ReadValue(s));
            v.rows.push_back(std::move(row));
        }
        if (s.Failed()) break;
        // A corrupt stream may repeat an id; the later record wins, as a store would.
        uint32_t cache = 0;
        if (RVariable* old = Find(v.id, cache))
            *old = std::move(v);
        else
            Append(v.id, cache) = std::move(v);
    }
    if (s.Failed()) {
        Clear();
        return false;
    }
    return true;
}

int32_t VariableNames::Intern(std::string_view name) {
    auto it = ids_.find(std::string(name));
    if (it != ids_.end()) return it->second;
    int32_t id = kFirstUserVariable + int32_t(names_.size());
    names_.emplace_back(name);
    ids_.emplace(std::string(name), id);
    return id;
}

int32_t VariableNames::Find(std::string_view name) const {
    auto it = ids_.find(std::string(name));
    return it == ids_.end() ? -1 : it->second;
}

const std::string& VariableNames::Name(int32_t id) const {
    static const std::string kUnknown = "<unknown variable>";
    int64_t n = int64_t(id) - kFirstUserVariable;
    if (n < 0 || n >= int64_t(names_.size())) return kUnknown;
    return names_[size_t(n)];
}

void GlobalStore::Init() {
    list_.Clear();
    marks_.assign(kInitialMarks, 0);
}

void GlobalStore::DeclareGlobalVar(int32_t id) {
    if (id < kFirstUserVariable) return;
    size_t k = size_t(id - kFirstUserVariable);
    if (k >= marks_.size()) marks_.resize(k + 1000, 0);
    marks_[k] = 1;
    list_.Declare(id);
}

void GlobalStore::SaveGlobals(CStream& s) const {
    s.WriteInteger(kGlobalsVersion);
    list_.SaveToStream(s);
    s.WriteInteger(int32_t(marks_.size()));
    for (uint8_t m : marks_) s.WriteBoolean(m != 0);
}

bool GlobalStore::LoadGlobals(CStream& s) {
    if (s.ReadInteger() != kGlobalsVersion) return !s.Failed();
    CVariableList list;
    if (!list.LoadFromStream(s)) return false;
    int32_t n = s.ReadCount(4);
    std::vector<uint8_t> marks(size_t(n), 0);
    for (int32_t i = 0; i < n; ++i) marks[size_t(i)] = s.ReadBoolean() ? 1 : 0;
    if (s.Failed()) return false;
    list_ = std::move(list);
    marks_ = std::move(marks);
    if (marks_.size() < kInitialMarks) marks_.resize(kInitialMarks, 0);
    return true;
}

}  // namespace kr
