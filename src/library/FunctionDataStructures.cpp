// Script functions for stacks, queues, lists, maps, priority queues and grids: each finds the
// structure by its handle and calls the data structures of the runner. The operations every
// kind shares are one generic helper each; the rest are bodies bound by their signature
// (Binding.h): the structure the first argument names, then the other arguments.
#include <cmath>
#include <memory>
#include <optional>
#include <type_traits>

#include "code/Operators.h"
#include "code/Vocabulary.h"
#include "datastructures/DataStructures.h"
#include "library/Binding.h"
#include "runner/Runner.h"

namespace kr {

static constexpr const char* kNoSuchStructure = "Data structure with index does not exist.";
static constexpr const char* kDamagedText = "Trying to read a data structure from a damaged text.";
static constexpr const char* kGridTooLarge = "Trying to create a grid that is too large.";

static DataStructures& Ds(Runtime& rt) {
    return RunnerOf(rt).Structures();
}

// Handles, positions and cells are rounded to integers (ties to even).
static int64_t Integer(const RValue& v) {
    return BoundArg<int64_t>::Get(v);
}

// The table of each kind of structure.
template <class T>
static DsTable<T>& TableOf(DataStructures& ds) {
    if constexpr (std::is_same_v<T, DsStack>)
        return ds.stacks;
    else if constexpr (std::is_same_v<T, DsQueue>)
        return ds.queues;
    else if constexpr (std::is_same_v<T, DsList>)
        return ds.lists;
    else if constexpr (std::is_same_v<T, DsMap>)
        return ds.maps;
    else if constexpr (std::is_same_v<T, DsPriority>)
        return ds.priorities;
    else
        return ds.grids;
}

[[gnu::cold, gnu::noinline]] static void NoSuchStructure(Runtime& rt) {
    rt.RuntimeError(kNoSuchStructure);
}

// The structure a handle names; reports the error and gives nullptr when there is none. Every
// call passes here, so the error stays out of line.
template <class T>
[[gnu::always_inline]] static inline T* Find(Runtime& rt, const RValue& handle) {
    T* ds = TableOf<T>(Ds(rt)).Get(Integer(handle));
    if (!ds) [[unlikely]]
        NoSuchStructure(rt);
    return ds;
}

namespace {
// The lookup of the bound bodies: a handle of the body's kind of structure.
struct DsLookup {
    template <class T>
    [[gnu::always_inline]] static T* Find(Runtime& rt, const RValue& handle) {
        return kr::Find<T>(rt, handle);
    }
};
}  // namespace

// The built-in function of a body that works on one structure.
template <auto Body>
static constexpr BuiltinFn Bound = &BindHandle<DsLookup, Body>;

// ---- What every kind shares ---------------------------------------------------------------------

// Maps and priority queues compare through the runner's comparison (its precision).
template <class T>
static void DsCreate(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                     RValue& result) {
    DataStructures& ds = Ds(rt);
    if constexpr (std::is_constructible_v<T, const DsComparison&>)
        result.SetReal(TableOf<T>(ds).Add(std::make_unique<T>(ds.Comparison())));
    else
        result.SetReal(TableOf<T>(ds).Add(std::make_unique<T>()));
}

template <class T>
static void DsDestroy(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                      RValue& result) {
    if (!TableOf<T>(Ds(rt)).Remove(Integer(args[0]))) NoSuchStructure(rt);
}

// The destination is checked first, then the source.
template <class T>
static void DsCopy(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                   RValue& result) {
    T* dest = Find<T>(rt, args[0]);
    if (!dest) return;
    T* src = Find<T>(rt, args[1]);
    if (src && src != dest) *dest = *src;
}

template <class T>
static void DsClear(T& s) {
    s.Clear();
}

template <class T>
static auto DsSize(T& s) {
    return s.Size();
}

template <class T>
static bool DsEmpty(T& s) {
    return s.Size() == 0;
}

template <class T>
static RValue DsWrite(T& s) {
    return RValue(DsWriteText(s));
}

// A text of another kind leaves the structure as it is, silently; a damaged text too, with an
// error. A long read answers a request to stop the run on the way, leaving the structure as it
// was.
template <class T>
static void DsRead(Runtime& rt, T& s, std::string_view text) {
    if (DsReadText(text, s, rt.InterruptFlag()) == DsReadResult::kDamaged)
        rt.RuntimeError(kDamagedText);
}

// ---- Precision ----------------------------------------------------------------------------------

static void fn_ds_set_precision(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    Ds(rt).Comparison().SetPrecision(ArgReal(args[0]));
}

// ---- Stacks -------------------------------------------------------------------------------------

static void fn_ds_stack_push(DsStack& s, const RValue& v) {
    s.Push(v);
}
static RValue fn_ds_stack_pop(DsStack& s) {
    return s.Pop();
}
static RValue fn_ds_stack_top(DsStack& s) {
    return s.Top();
}

// ---- Queues -------------------------------------------------------------------------------------

static void fn_ds_queue_enqueue(DsQueue& s, const RValue& v) {
    s.Enqueue(v);
}
static RValue fn_ds_queue_dequeue(DsQueue& s) {
    return s.Dequeue();
}
static RValue fn_ds_queue_head(DsQueue& s) {
    return s.Head();
}
static RValue fn_ds_queue_tail(DsQueue& s) {
    return s.Tail();
}

// ---- Lists --------------------------------------------------------------------------------------

static void fn_ds_list_add(DsList& s, const RValue& v) {
    s.Add(v);
}
static void fn_ds_list_insert(DsList& s, int64_t pos, const RValue& v) {
    s.Insert(pos, v);
}
static void fn_ds_list_replace(DsList& s, int64_t pos, const RValue& v) {
    s.Replace(pos, v);
}
static void fn_ds_list_delete(DsList& s, int64_t pos) {
    s.Delete(pos);
}
static auto fn_ds_list_find_index(Runtime& rt, DsList& s, const RValue& v) {
    return s.FindIndex(v, Ds(rt).Comparison());
}
static RValue fn_ds_list_find_value(DsList& s, int64_t pos) {
    return s.At(pos);
}
static void fn_ds_list_sort(Runtime& rt, DsList& s, bool ascending) {
    s.Sort(ascending, Ds(rt).Comparison());
}
static void fn_ds_list_shuffle(Runtime& rt, DsList& s) {
    s.Shuffle(rt.Rng());
}

// ---- Maps ---------------------------------------------------------------------------------------

static void fn_ds_map_add(DsMap& s, const RValue& key, const RValue& v) {
    s.Add(key, v);
}
static void fn_ds_map_replace(DsMap& s, const RValue& key, const RValue& v) {
    s.Replace(key, v);
}
static void fn_ds_map_delete(DsMap& s, const RValue& key) {
    s.Delete(key);
}
static bool fn_ds_map_exists(DsMap& s, const RValue& key) {
    return s.Exists(key);
}
static RValue fn_ds_map_find_value(DsMap& s, const RValue& key) {
    return s.FindValue(key);
}
static RValue fn_ds_map_find_previous(DsMap& s, const RValue& key) {
    return s.FindPrevious(key);
}
static RValue fn_ds_map_find_next(DsMap& s, const RValue& key) {
    return s.FindNext(key);
}
static RValue fn_ds_map_find_first(DsMap& s) {
    return s.First();
}
static RValue fn_ds_map_find_last(DsMap& s) {
    return s.Last();
}

// ---- Priority queues ----------------------------------------------------------------------------

// A value that is not in the queue changes nothing and finds nothing (the result stays 0).
static void fn_ds_priority_add(DsPriority& s, const RValue& v, const RValue& priority) {
    s.Add(v, priority);
}
static void fn_ds_priority_change_priority(DsPriority& s, const RValue& v, const RValue& priority) {
    int32_t i = s.FindValue(v);
    if (i >= 0) s.ChangePriority(i, priority);
}
static std::optional<RValue> fn_ds_priority_find_priority(DsPriority& s, const RValue& v) {
    int32_t i = s.FindValue(v);
    if (i < 0) return std::nullopt;
    return s.PriorityAt(i);
}
static void fn_ds_priority_delete_value(DsPriority& s, const RValue& v) {
    int32_t i = s.FindValue(v);
    if (i >= 0) s.DeleteAt(i);
}

// The value of the lowest or the highest priority, taken out of the queue with `take`.
template <bool highest, bool take>
static std::optional<RValue> PriorityEnd(DsPriority& s) {
    int32_t i = highest ? s.MaxIndex() : s.MinIndex();
    if (i < 0) return std::nullopt;
    RValue v = s.ValueAt(i);
    if (take) s.DeleteAt(i);
    return v;
}

// ---- Grids --------------------------------------------------------------------------------------

static void fn_ds_grid_create(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    auto grid = std::make_unique<DsGrid>();
    if (!grid->Resize(Integer(args[0]), Integer(args[1]))) {
        rt.RuntimeError(kGridTooLarge);
        result.SetReal(-1);
        return;
    }
    result.SetReal(Ds(rt).grids.Add(std::move(grid)));
}

static void fn_ds_grid_resize(Runtime& rt, DsGrid& s, int64_t w, int64_t h) {
    if (!s.Resize(w, h)) rt.RuntimeError(kGridTooLarge);
}
static auto fn_ds_grid_width(DsGrid& s) {
    return s.Width();
}
static auto fn_ds_grid_height(DsGrid& s) {
    return s.Height();
}
static void fn_ds_grid_clear(DsGrid& s, const RValue& v) {
    s.Clear(v);
}
static RValue fn_ds_grid_get(DsGrid& s, int64_t x, int64_t y) {
    return s.Get(x, y);
}
static void fn_ds_grid_shuffle(Runtime& rt, DsGrid& s) {
    s.Shuffle(rt.Rng());
}

// Setting, adding to and multiplying cells: one cell, a rectangle, a disk, or a rectangle of
// another grid (whose handle is checked after the destination's).
template <DsCellOp op>
static void GridCell(DsGrid& s, int64_t x, int64_t y, const RValue& v) {
    s.Apply(op, x, y, v);
}
template <DsCellOp op>
static void GridRegion(DsGrid& s, int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v) {
    s.ApplyRegion(op, x1, y1, x2, y2, v);
}
template <DsCellOp op>
static void GridDisk(DsGrid& s, double x, double y, double radius, const RValue& v) {
    s.ApplyDisk(op, x, y, radius, v);
}
template <DsCellOp op>
static void GridGridRegion(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                           RValue& result) {
    DsGrid* dest = Find<DsGrid>(rt, args[0]);
    if (!dest) return;
    DsGrid* src = Find<DsGrid>(rt, args[1]);
    if (!src) return;
    dest->ApplyGridRegion(op, *src, Integer(args[2]), Integer(args[3]), Integer(args[4]),
                          Integer(args[5]), Integer(args[6]), Integer(args[7]));
}

// The sum, largest, smallest and mean value of a rectangle or a disk of cells.
enum class GridStat { kSum, kMax, kMin, kMean };
template <GridStat stat>
static double Pick(const DsGrid::Stats& st) {
    if constexpr (stat == GridStat::kSum)
        return st.sum;
    else if constexpr (stat == GridStat::kMax)
        return st.max;
    else if constexpr (stat == GridStat::kMin)
        return st.min;
    else
        return st.Mean();
}
template <GridStat stat>
static double GridRegionStat(DsGrid& s, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    return Pick<stat>(s.RegionStats(x1, y1, x2, y2));
}
template <GridStat stat>
static double GridDiskStat(DsGrid& s, double x, double y, double radius) {
    return Pick<stat>(s.DiskStats(x, y, radius));
}

// Whether a value is in a rectangle or a disk of cells, and the column and row where it is
// found first (0 when it is not).
enum class GridFound { kExists, kX, kY };
template <GridFound what>
static double Found(bool found, int32_t x, int32_t y) {
    if constexpr (what == GridFound::kExists)
        return found ? 1 : 0;
    else if constexpr (what == GridFound::kX)
        return x;
    else
        return y;
}
template <GridFound what>
static double GridValueInRegion(Runtime& rt, DsGrid& s, int64_t x1, int64_t y1, int64_t x2,
                                int64_t y2, const RValue& v) {
    int32_t x = 0, y = 0;
    bool found = s.FindInRegion(x1, y1, x2, y2, v, Ds(rt).Comparison(), x, y);
    return Found<what>(found, x, y);
}
template <GridFound what>
static double GridValueInDisk(Runtime& rt, DsGrid& s, double cx, double cy, double radius,
                              const RValue& v) {
    int32_t x = 0, y = 0;
    bool found = s.FindInDisk(cx, cy, radius, v, Ds(rt).Comparison(), x, y);
    return Found<what>(found, x, y);
}

// ORDER VOCABULARY: the rows keep the registration order of the family.
static constexpr BuiltinDef kDataStructureFunctions[] = {

    {"ds_set_precision", fn_ds_set_precision, 1},

    {"ds_stack_create", DsCreate<DsStack>, 0},

    {"ds_stack_destroy", DsDestroy<DsStack>, 1},

    {"ds_stack_clear", Bound<DsClear<DsStack>>, 1},

    {"ds_stack_copy", DsCopy<DsStack>, 2},

    {"ds_stack_size", Bound<DsSize<DsStack>>, 1},

    {"ds_stack_empty", Bound<DsEmpty<DsStack>>, 1},

    {"ds_stack_push", Bound<fn_ds_stack_push>, 2},

    {"ds_stack_pop", Bound<fn_ds_stack_pop>, 1},

    {"ds_stack_top", Bound<fn_ds_stack_top>, 1},

    {"ds_stack_write", Bound<DsWrite<DsStack>>, 1},

    {"ds_stack_read", Bound<DsRead<DsStack>>, 2},

    {"ds_queue_create", DsCreate<DsQueue>, 0},

    {"ds_queue_destroy", DsDestroy<DsQueue>, 1},

    {"ds_queue_clear", Bound<DsClear<DsQueue>>, 1},

    {"ds_queue_copy", DsCopy<DsQueue>, 2},

    {"ds_queue_size", Bound<DsSize<DsQueue>>, 1},

    {"ds_queue_empty", Bound<DsEmpty<DsQueue>>, 1},

    {"ds_queue_enqueue", Bound<fn_ds_queue_enqueue>, 2},

    {"ds_queue_dequeue", Bound<fn_ds_queue_dequeue>, 1},

    {"ds_queue_head", Bound<fn_ds_queue_head>, 1},

    {"ds_queue_tail", Bound<fn_ds_queue_tail>, 1},

    {"ds_queue_write", Bound<DsWrite<DsQueue>>, 1},

    {"ds_queue_read", Bound<DsRead<DsQueue>>, 2},

    {"ds_list_create", DsCreate<DsList>, 0},

    {"ds_list_destroy", DsDestroy<DsList>, 1},

    {"ds_list_clear", Bound<DsClear<DsList>>, 1},

    {"ds_list_copy", DsCopy<DsList>, 2},

    {"ds_list_size", Bound<DsSize<DsList>>, 1},

    {"ds_list_empty", Bound<DsEmpty<DsList>>, 1},

    {"ds_list_add", Bound<fn_ds_list_add>, 2},

    {"ds_list_insert", Bound<fn_ds_list_insert>, 3},

    {"ds_list_replace", Bound<fn_ds_list_replace>, 3},

    {"ds_list_delete", Bound<fn_ds_list_delete>, 2},

    {"ds_list_find_index", Bound<fn_ds_list_find_index>, 2},

    {"ds_list_find_value", Bound<fn_ds_list_find_value>, 2},

    {"ds_list_sort", Bound<fn_ds_list_sort>, 2},

    {"ds_list_shuffle", Bound<fn_ds_list_shuffle>, 1},

    {"ds_list_write", Bound<DsWrite<DsList>>, 1},

    {"ds_list_read", Bound<DsRead<DsList>>, 2},

    {"ds_map_create", DsCreate<DsMap>, 0},

    {"ds_map_destroy", DsDestroy<DsMap>, 1},

    {"ds_map_clear", Bound<DsClear<DsMap>>, 1},

    {"ds_map_copy", DsCopy<DsMap>, 2},

    {"ds_map_size", Bound<DsSize<DsMap>>, 1},

    {"ds_map_empty", Bound<DsEmpty<DsMap>>, 1},

    {"ds_map_add", Bound<fn_ds_map_add>, 3},

    {"ds_map_replace", Bound<fn_ds_map_replace>, 3},

    {"ds_map_delete", Bound<fn_ds_map_delete>, 2},

    {"ds_map_exists", Bound<fn_ds_map_exists>, 2},

    {"ds_map_find_value", Bound<fn_ds_map_find_value>, 2},

    {"ds_map_find_previous", Bound<fn_ds_map_find_previous>, 2},

    {"ds_map_find_next", Bound<fn_ds_map_find_next>, 2},

    {"ds_map_find_first", Bound<fn_ds_map_find_first>, 1},

    {"ds_map_find_last", Bound<fn_ds_map_find_last>, 1},

    {"ds_map_write", Bound<DsWrite<DsMap>>, 1},

    {"ds_map_read", Bound<DsRead<DsMap>>, 2},

    {"ds_priority_create", DsCreate<DsPriority>, 0},

    {"ds_priority_destroy", DsDestroy<DsPriority>, 1},

    {"ds_priority_clear", Bound<DsClear<DsPriority>>, 1},

    {"ds_priority_copy", DsCopy<DsPriority>, 2},

    {"ds_priority_size", Bound<DsSize<DsPriority>>, 1},

    {"ds_priority_empty", Bound<DsEmpty<DsPriority>>, 1},

    {"ds_priority_add", Bound<fn_ds_priority_add>, 3},

    {"ds_priority_change_priority", Bound<fn_ds_priority_change_priority>, 3},

    {"ds_priority_find_priority", Bound<fn_ds_priority_find_priority>, 2},

    {"ds_priority_delete_value", Bound<fn_ds_priority_delete_value>, 2},

    {"ds_priority_delete_min", Bound<PriorityEnd<false, true>>, 1},

    {"ds_priority_find_min", Bound<PriorityEnd<false, false>>, 1},

    {"ds_priority_delete_max", Bound<PriorityEnd<true, true>>, 1},

    {"ds_priority_find_max", Bound<PriorityEnd<true, false>>, 1},

    {"ds_priority_write", Bound<DsWrite<DsPriority>>, 1},

    {"ds_priority_read", Bound<DsRead<DsPriority>>, 2},

    {"ds_grid_create", fn_ds_grid_create, 2},

    {"ds_grid_destroy", DsDestroy<DsGrid>, 1},

    {"ds_grid_copy", DsCopy<DsGrid>, 2},

    {"ds_grid_resize", Bound<fn_ds_grid_resize>, 3},

    {"ds_grid_width", Bound<fn_ds_grid_width>, 1},

    {"ds_grid_height", Bound<fn_ds_grid_height>, 1},

    {"ds_grid_clear", Bound<fn_ds_grid_clear>, 2},

    {"ds_grid_set", Bound<GridCell<DsCellOp::kSet>>, 4},

    {"ds_grid_add", Bound<GridCell<DsCellOp::kAdd>>, 4},

    {"ds_grid_multiply", Bound<GridCell<DsCellOp::kMultiply>>, 4},

    {"ds_grid_set_region", Bound<GridRegion<DsCellOp::kSet>>, 6},

    {"ds_grid_add_region", Bound<GridRegion<DsCellOp::kAdd>>, 6},

    {"ds_grid_multiply_region", Bound<GridRegion<DsCellOp::kMultiply>>, 6},

    {"ds_grid_set_disk", Bound<GridDisk<DsCellOp::kSet>>, 5},

    {"ds_grid_add_disk", Bound<GridDisk<DsCellOp::kAdd>>, 5},

    {"ds_grid_multiply_disk", Bound<GridDisk<DsCellOp::kMultiply>>, 5},

    {"ds_grid_set_grid_region", GridGridRegion<DsCellOp::kSet>, 8},

    {"ds_grid_add_grid_region", GridGridRegion<DsCellOp::kAdd>, 8},

    {"ds_grid_multiply_grid_region", GridGridRegion<DsCellOp::kMultiply>, 8},

    {"ds_grid_get", Bound<fn_ds_grid_get>, 3},

    {"ds_grid_get_sum", Bound<GridRegionStat<GridStat::kSum>>, 5},

    {"ds_grid_get_max", Bound<GridRegionStat<GridStat::kMax>>, 5},

    {"ds_grid_get_min", Bound<GridRegionStat<GridStat::kMin>>, 5},

    {"ds_grid_get_mean", Bound<GridRegionStat<GridStat::kMean>>, 5},

    {"ds_grid_get_disk_sum", Bound<GridDiskStat<GridStat::kSum>>, 4},

    {"ds_grid_get_disk_max", Bound<GridDiskStat<GridStat::kMax>>, 4},

    {"ds_grid_get_disk_min", Bound<GridDiskStat<GridStat::kMin>>, 4},

    {"ds_grid_get_disk_mean", Bound<GridDiskStat<GridStat::kMean>>, 4},

    {"ds_grid_value_exists", Bound<GridValueInRegion<GridFound::kExists>>, 6},

    {"ds_grid_value_x", Bound<GridValueInRegion<GridFound::kX>>, 6},

    {"ds_grid_value_y", Bound<GridValueInRegion<GridFound::kY>>, 6},

    {"ds_grid_value_disk_exists", Bound<GridValueInDisk<GridFound::kExists>>, 5},

    {"ds_grid_value_disk_x", Bound<GridValueInDisk<GridFound::kX>>, 5},

    {"ds_grid_value_disk_y", Bound<GridValueInDisk<GridFound::kY>>, 5},

    {"ds_grid_shuffle", Bound<fn_ds_grid_shuffle>, 1},

    {"ds_grid_write", Bound<DsWrite<DsGrid>>, 1},

    {"ds_grid_read", Bound<DsRead<DsGrid>>, 2},

};

void RegisterDataStructureFunctions(BuiltinRegistry& reg) {
    reg.AddTable<kDataStructureFunctions>();
}

}  // namespace kr
