// Script functions for stacks, queues, lists, maps, priority queues and grids: each unpacks its
// arguments, finds the structure by its handle and calls the data structures of the runner.
#include <cmath>
#include <memory>

#include "code/Operators.h"
#include "code/Vocabulary.h"
#include "datastructures/DataStructures.h"
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
    double d = ArgReal(v);
    return std::fabs(d) < 4503599627370496.0 ? FastRound(d) : RoundToInt64(d);
}

[[gnu::cold, gnu::noinline]] static void NoSuchStructure(Runtime& rt) {
    rt.RuntimeError(kNoSuchStructure);
}

// The structure a handle names; reports the error and gives nullptr when there is none. Every
// call passes here, so the error stays out of line.
template <class T>
[[gnu::always_inline]] static inline T* Find(Runtime& rt, DsTable<T>& table, const RValue& handle) {
    T* ds = table.Get(Integer(handle));
    if (!ds) [[unlikely]]
        NoSuchStructure(rt);
    return ds;
}

template <class T>
static void Destroy(Runtime& rt, DsTable<T>& table, const RValue& handle) {
    if (!table.Remove(Integer(handle))) NoSuchStructure(rt);
}

// The destination is checked first, then the source.
template <class T>
static void Copy(Runtime& rt, DsTable<T>& table, const RValue* args) {
    T* dest = Find(rt, table, args[0]);
    if (!dest) return;
    T* src = Find(rt, table, args[1]);
    if (src && src != dest) *dest = *src;
}

template <class T>
static void Write(Runtime& rt, DsTable<T>& table, const RValue& handle, RValue& result) {
    if (T* ds = Find(rt, table, handle)) result = RValue(DsWriteText(*ds));
}

// A text of another kind leaves the structure as it is, silently; a damaged text too, with an
// error.
template <class T>
static void Read(Runtime& rt, DsTable<T>& table, const RValue* args) {
    T* ds = Find(rt, table, args[0]);
    if (ds && DsReadText(ArgStr(args[1]), *ds) == DsReadResult::kDamaged)
        rt.RuntimeError(kDamagedText);
}

static void GridRegion(Runtime& rt, DsCellOp op, const RValue* args) {
    DataStructures& ds = Ds(rt);
    DsGrid* dest = Find(rt, ds.grids, args[0]);
    if (!dest) return;
    DsGrid* src = Find(rt, ds.grids, args[1]);
    if (!src) return;
    dest->ApplyGridRegion(op, *src, Integer(args[2]), Integer(args[3]), Integer(args[4]),
                          Integer(args[5]), Integer(args[6]), Integer(args[7]));
}

// ---- Precision ----------------------------------------------------------------------------------

static void fn_ds_set_precision(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    Ds(rt).Comparison().SetPrecision(ArgReal(args[0]));
}

// ---- Stacks -------------------------------------------------------------------------------------

static void fn_ds_stack_create(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    result.SetReal(Ds(rt).stacks.Add(std::make_unique<DsStack>()));
}

static void fn_ds_stack_destroy(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    Destroy(rt, Ds(rt).stacks, args[0]);
}

static void fn_ds_stack_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    if (DsStack* s = Find(rt, Ds(rt).stacks, args[0])) s->Clear();
}

static void fn_ds_stack_copy(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    Copy(rt, Ds(rt).stacks, args);
}

static void fn_ds_stack_size(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    if (DsStack* s = Find(rt, Ds(rt).stacks, args[0])) result.SetReal(s->Size());
}

static void fn_ds_stack_empty(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    if (DsStack* s = Find(rt, Ds(rt).stacks, args[0])) result.SetReal(s->Size() == 0 ? 1 : 0);
}

static void fn_ds_stack_push(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    DsStack* s = Find(rt, Ds(rt).stacks, args[0]);
    if (!s) return;
    s->Push(args[1]);
}

static void fn_ds_stack_pop(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                            RValue& result) {
    DsStack* s = Find(rt, Ds(rt).stacks, args[0]);
    if (!s) return;
    result = s->Pop();
}

static void fn_ds_stack_top(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                            RValue& result) {
    DsStack* s = Find(rt, Ds(rt).stacks, args[0]);
    if (!s) return;
    result = s->Top();
}

static void fn_ds_stack_write(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    Write(rt, Ds(rt).stacks, args[0], result);
}

static void fn_ds_stack_read(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    Read(rt, Ds(rt).stacks, args);
}

// ---- Queues -------------------------------------------------------------------------------------

static void fn_ds_queue_create(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    result.SetReal(Ds(rt).queues.Add(std::make_unique<DsQueue>()));
}

static void fn_ds_queue_destroy(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    Destroy(rt, Ds(rt).queues, args[0]);
}

static void fn_ds_queue_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    if (DsQueue* s = Find(rt, Ds(rt).queues, args[0])) s->Clear();
}

static void fn_ds_queue_copy(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    Copy(rt, Ds(rt).queues, args);
}

static void fn_ds_queue_size(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    if (DsQueue* s = Find(rt, Ds(rt).queues, args[0])) result.SetReal(s->Size());
}

static void fn_ds_queue_empty(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    if (DsQueue* s = Find(rt, Ds(rt).queues, args[0])) result.SetReal(s->Size() == 0 ? 1 : 0);
}

static void fn_ds_queue_enqueue(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    DsQueue* s = Find(rt, Ds(rt).queues, args[0]);
    if (!s) return;
    s->Enqueue(args[1]);
}

static void fn_ds_queue_dequeue(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    DsQueue* s = Find(rt, Ds(rt).queues, args[0]);
    if (!s) return;
    result = s->Dequeue();
}

static void fn_ds_queue_head(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    DsQueue* s = Find(rt, Ds(rt).queues, args[0]);
    if (!s) return;
    result = s->Head();
}

static void fn_ds_queue_tail(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    DsQueue* s = Find(rt, Ds(rt).queues, args[0]);
    if (!s) return;
    result = s->Tail();
}

static void fn_ds_queue_write(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    Write(rt, Ds(rt).queues, args[0], result);
}

static void fn_ds_queue_read(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    Read(rt, Ds(rt).queues, args);
}

// ---- Lists --------------------------------------------------------------------------------------

static void fn_ds_list_create(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    result.SetReal(Ds(rt).lists.Add(std::make_unique<DsList>()));
}

static void fn_ds_list_destroy(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    Destroy(rt, Ds(rt).lists, args[0]);
}

static void fn_ds_list_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    if (DsList* s = Find(rt, Ds(rt).lists, args[0])) s->Clear();
}

static void fn_ds_list_copy(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                            RValue& result) {
    Copy(rt, Ds(rt).lists, args);
}

static void fn_ds_list_size(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                            RValue& result) {
    if (DsList* s = Find(rt, Ds(rt).lists, args[0])) result.SetReal(s->Size());
}

static void fn_ds_list_empty(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    if (DsList* s = Find(rt, Ds(rt).lists, args[0])) result.SetReal(s->Size() == 0 ? 1 : 0);
}

static void fn_ds_list_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                           RValue& result) {
    DsList* s = Find(rt, Ds(rt).lists, args[0]);
    if (!s) return;
    s->Add(args[1]);
}

static void fn_ds_list_insert(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    DsList* s = Find(rt, Ds(rt).lists, args[0]);
    if (!s) return;
    s->Insert(Integer(args[1]), args[2]);
}

static void fn_ds_list_replace(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    DsList* s = Find(rt, Ds(rt).lists, args[0]);
    if (!s) return;
    s->Replace(Integer(args[1]), args[2]);
}

static void fn_ds_list_delete(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    DsList* s = Find(rt, Ds(rt).lists, args[0]);
    if (!s) return;
    s->Delete(Integer(args[1]));
}

static void fn_ds_list_find_index(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                  const RValue* args, RValue& result) {
    DsList* s = Find(rt, Ds(rt).lists, args[0]);
    if (!s) return;
    result.SetReal(s->FindIndex(args[1], Ds(rt).Comparison()));
}

static void fn_ds_list_find_value(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                  const RValue* args, RValue& result) {
    DsList* s = Find(rt, Ds(rt).lists, args[0]);
    if (!s) return;
    result = s->At(Integer(args[1]));
}

static void fn_ds_list_sort(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                            RValue& result) {
    DsList* s = Find(rt, Ds(rt).lists, args[0]);
    if (!s) return;
    s->Sort(ArgBool(args[1]), Ds(rt).Comparison());
}

static void fn_ds_list_shuffle(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    DsList* s = Find(rt, Ds(rt).lists, args[0]);
    if (!s) return;
    s->Shuffle(rt.Rng());
}

static void fn_ds_list_write(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    Write(rt, Ds(rt).lists, args[0], result);
}

static void fn_ds_list_read(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                            RValue& result) {
    Read(rt, Ds(rt).lists, args);
}

// ---- Maps ---------------------------------------------------------------------------------------

static void fn_ds_map_create(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    DataStructures& ds = Ds(rt);
    result.SetReal(ds.maps.Add(std::make_unique<DsMap>(ds.Comparison())));
}

static void fn_ds_map_destroy(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    Destroy(rt, Ds(rt).maps, args[0]);
}

static void fn_ds_map_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                            RValue& result) {
    if (DsMap* s = Find(rt, Ds(rt).maps, args[0])) s->Clear();
}

static void fn_ds_map_copy(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                           RValue& result) {
    Copy(rt, Ds(rt).maps, args);
}

static void fn_ds_map_size(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                           RValue& result) {
    if (DsMap* s = Find(rt, Ds(rt).maps, args[0])) result.SetReal(s->Size());
}

static void fn_ds_map_empty(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                            RValue& result) {
    if (DsMap* s = Find(rt, Ds(rt).maps, args[0])) result.SetReal(s->Size() == 0 ? 1 : 0);
}

static void fn_ds_map_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                          RValue& result) {
    DsMap* s = Find(rt, Ds(rt).maps, args[0]);
    if (!s) return;
    s->Add(args[1], args[2]);
}

static void fn_ds_map_replace(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    DsMap* s = Find(rt, Ds(rt).maps, args[0]);
    if (!s) return;
    s->Replace(args[1], args[2]);
}

static void fn_ds_map_delete(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    DsMap* s = Find(rt, Ds(rt).maps, args[0]);
    if (!s) return;
    s->Delete(args[1]);
}

static void fn_ds_map_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    DsMap* s = Find(rt, Ds(rt).maps, args[0]);
    if (!s) return;
    result.SetReal(s->Exists(args[1]) ? 1 : 0);
}

static void fn_ds_map_find_value(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                 const RValue* args, RValue& result) {
    DsMap* s = Find(rt, Ds(rt).maps, args[0]);
    if (!s) return;
    result = s->FindValue(args[1]);
}

static void fn_ds_map_find_previous(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                    const RValue* args, RValue& result) {
    DsMap* s = Find(rt, Ds(rt).maps, args[0]);
    if (!s) return;
    result = s->FindPrevious(args[1]);
}

static void fn_ds_map_find_next(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    DsMap* s = Find(rt, Ds(rt).maps, args[0]);
    if (!s) return;
    result = s->FindNext(args[1]);
}

static void fn_ds_map_find_first(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                 const RValue* args, RValue& result) {
    DsMap* s = Find(rt, Ds(rt).maps, args[0]);
    if (!s) return;
    result = s->First();
}

static void fn_ds_map_find_last(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    DsMap* s = Find(rt, Ds(rt).maps, args[0]);
    if (!s) return;
    result = s->Last();
}

static void fn_ds_map_write(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                            RValue& result) {
    Write(rt, Ds(rt).maps, args[0], result);
}

static void fn_ds_map_read(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                           RValue& result) {
    Read(rt, Ds(rt).maps, args);
}

// ---- Priority queues ----------------------------------------------------------------------------

static void fn_ds_priority_create(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                  const RValue* args, RValue& result) {
    DataStructures& ds = Ds(rt);
    result.SetReal(ds.priorities.Add(std::make_unique<DsPriority>(ds.Comparison())));
}

static void fn_ds_priority_destroy(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                   const RValue* args, RValue& result) {
    Destroy(rt, Ds(rt).priorities, args[0]);
}

static void fn_ds_priority_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                 const RValue* args, RValue& result) {
    if (DsPriority* s = Find(rt, Ds(rt).priorities, args[0])) s->Clear();
}

static void fn_ds_priority_copy(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    Copy(rt, Ds(rt).priorities, args);
}

static void fn_ds_priority_size(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    if (DsPriority* s = Find(rt, Ds(rt).priorities, args[0])) result.SetReal(s->Size());
}

static void fn_ds_priority_empty(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                 const RValue* args, RValue& result) {
    if (DsPriority* s = Find(rt, Ds(rt).priorities, args[0]))
        result.SetReal(s->Size() == 0 ? 1 : 0);
}

static void fn_ds_priority_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    DsPriority* s = Find(rt, Ds(rt).priorities, args[0]);
    if (!s) return;
    s->Add(args[1], args[2]);
}

static void fn_ds_priority_change_priority(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                           const RValue* args, RValue& result) {
    DsPriority* s = Find(rt, Ds(rt).priorities, args[0]);
    if (!s) return;
    int32_t i = s->FindValue(args[1]);
    if (i >= 0) s->ChangePriority(i, args[2]);
}

static void fn_ds_priority_find_priority(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                         const RValue* args, RValue& result) {
    DsPriority* s = Find(rt, Ds(rt).priorities, args[0]);
    if (!s) return;
    int32_t i = s->FindValue(args[1]);
    if (i >= 0) result = s->PriorityAt(i);
}

static void fn_ds_priority_delete_value(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                        const RValue* args, RValue& result) {
    DsPriority* s = Find(rt, Ds(rt).priorities, args[0]);
    if (!s) return;
    int32_t i = s->FindValue(args[1]);
    if (i >= 0) s->DeleteAt(i);
}

static void fn_ds_priority_delete_min(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                      const RValue* args, RValue& result) {
    DsPriority* s = Find(rt, Ds(rt).priorities, args[0]);
    if (!s) return;
    int32_t i = s->MinIndex();
    if (i < 0) return;
    result = s->ValueAt(i);
    s->DeleteAt(i);
}

static void fn_ds_priority_find_min(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                    const RValue* args, RValue& result) {
    DsPriority* s = Find(rt, Ds(rt).priorities, args[0]);
    if (!s) return;
    int32_t i = s->MinIndex();
    if (i >= 0) result = s->ValueAt(i);
}

static void fn_ds_priority_delete_max(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                      const RValue* args, RValue& result) {
    DsPriority* s = Find(rt, Ds(rt).priorities, args[0]);
    if (!s) return;
    int32_t i = s->MaxIndex();
    if (i < 0) return;
    result = s->ValueAt(i);
    s->DeleteAt(i);
}

static void fn_ds_priority_find_max(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                    const RValue* args, RValue& result) {
    DsPriority* s = Find(rt, Ds(rt).priorities, args[0]);
    if (!s) return;
    int32_t i = s->MaxIndex();
    if (i >= 0) result = s->ValueAt(i);
}

static void fn_ds_priority_write(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                 const RValue* args, RValue& result) {
    Write(rt, Ds(rt).priorities, args[0], result);
}

static void fn_ds_priority_read(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    Read(rt, Ds(rt).priorities, args);
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

static void fn_ds_grid_destroy(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    Destroy(rt, Ds(rt).grids, args[0]);
}

static void fn_ds_grid_copy(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                            RValue& result) {
    Copy(rt, Ds(rt).grids, args);
}

static void fn_ds_grid_resize(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    if (!s->Resize(Integer(args[1]), Integer(args[2]))) rt.RuntimeError(kGridTooLarge);
}

static void fn_ds_grid_width(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    result.SetReal(s->Width());
}

static void fn_ds_grid_height(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                              const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    result.SetReal(s->Height());
}

static void fn_ds_grid_clear(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    s->Clear(args[1]);
}

static void fn_ds_grid_set(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                           RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    s->Apply(DsCellOp::kSet, Integer(args[1]), Integer(args[2]), args[3]);
}

static void fn_ds_grid_add(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                           RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    s->Apply(DsCellOp::kAdd, Integer(args[1]), Integer(args[2]), args[3]);
}

static void fn_ds_grid_multiply(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    s->Apply(DsCellOp::kMultiply, Integer(args[1]), Integer(args[2]), args[3]);
}

static void fn_ds_grid_set_region(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                  const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    s->ApplyRegion(DsCellOp::kSet, Integer(args[1]), Integer(args[2]), Integer(args[3]),
                   Integer(args[4]), args[5]);
}

static void fn_ds_grid_add_region(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                  const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    s->ApplyRegion(DsCellOp::kAdd, Integer(args[1]), Integer(args[2]), Integer(args[3]),
                   Integer(args[4]), args[5]);
}

static void fn_ds_grid_multiply_region(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                       const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    s->ApplyRegion(DsCellOp::kMultiply, Integer(args[1]), Integer(args[2]), Integer(args[3]),
                   Integer(args[4]), args[5]);
}

static void fn_ds_grid_set_disk(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    s->ApplyDisk(DsCellOp::kSet, ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), args[4]);
}

static void fn_ds_grid_add_disk(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    s->ApplyDisk(DsCellOp::kAdd, ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), args[4]);
}

static void fn_ds_grid_multiply_disk(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                     const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    s->ApplyDisk(DsCellOp::kMultiply, ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]),
                 args[4]);
}

static void fn_ds_grid_set_grid_region(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                       const RValue* args, RValue& result) {
    GridRegion(rt, DsCellOp::kSet, args);
}

static void fn_ds_grid_add_grid_region(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                       const RValue* args, RValue& result) {
    GridRegion(rt, DsCellOp::kAdd, args);
}

static void fn_ds_grid_multiply_grid_region(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                            const RValue* args, RValue& result) {
    GridRegion(rt, DsCellOp::kMultiply, args);
}

static void fn_ds_grid_get(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                           RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    result = s->Get(Integer(args[1]), Integer(args[2]));
}

static void fn_ds_grid_get_sum(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    DsGrid::Stats st =
        s->RegionStats(Integer(args[1]), Integer(args[2]), Integer(args[3]), Integer(args[4]));
    result.SetReal(st.sum);
}

static void fn_ds_grid_get_max(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    DsGrid::Stats st =
        s->RegionStats(Integer(args[1]), Integer(args[2]), Integer(args[3]), Integer(args[4]));
    result.SetReal(st.max);
}

static void fn_ds_grid_get_min(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    DsGrid::Stats st =
        s->RegionStats(Integer(args[1]), Integer(args[2]), Integer(args[3]), Integer(args[4]));
    result.SetReal(st.min);
}

static void fn_ds_grid_get_mean(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    DsGrid::Stats st =
        s->RegionStats(Integer(args[1]), Integer(args[2]), Integer(args[3]), Integer(args[4]));
    result.SetReal(st.Mean());
}

static void fn_ds_grid_get_disk_sum(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                    const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    DsGrid::Stats st = s->DiskStats(ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]));
    result.SetReal(st.sum);
}

static void fn_ds_grid_get_disk_max(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                    const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    DsGrid::Stats st = s->DiskStats(ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]));
    result.SetReal(st.max);
}

static void fn_ds_grid_get_disk_min(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                    const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    DsGrid::Stats st = s->DiskStats(ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]));
    result.SetReal(st.min);
}

static void fn_ds_grid_get_disk_mean(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                     const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    DsGrid::Stats st = s->DiskStats(ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]));
    result.SetReal(st.Mean());
}

static void fn_ds_grid_value_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                    const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    int32_t x = 0, y = 0;
    bool found = s->FindInRegion(Integer(args[1]), Integer(args[2]), Integer(args[3]),
                                 Integer(args[4]), args[5], Ds(rt).Comparison(), x, y);
    result.SetReal(found ? 1 : 0);
}

static void fn_ds_grid_value_x(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    int32_t x = 0, y = 0;
    s->FindInRegion(Integer(args[1]), Integer(args[2]), Integer(args[3]), Integer(args[4]), args[5],
                    Ds(rt).Comparison(), x, y);
    result.SetReal(x);
}

static void fn_ds_grid_value_y(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    int32_t x = 0, y = 0;
    s->FindInRegion(Integer(args[1]), Integer(args[2]), Integer(args[3]), Integer(args[4]), args[5],
                    Ds(rt).Comparison(), x, y);
    result.SetReal(y);
}

static void fn_ds_grid_value_disk_exists(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                         const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    int32_t x = 0, y = 0;
    bool found = s->FindInDisk(ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), args[4],
                               Ds(rt).Comparison(), x, y);
    result.SetReal(found ? 1 : 0);
}

static void fn_ds_grid_value_disk_x(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                    const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    int32_t x = 0, y = 0;
    s->FindInDisk(ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), args[4],
                  Ds(rt).Comparison(), x, y);
    result.SetReal(x);
}

static void fn_ds_grid_value_disk_y(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                                    const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    int32_t x = 0, y = 0;
    s->FindInDisk(ArgReal(args[1]), ArgReal(args[2]), ArgReal(args[3]), args[4],
                  Ds(rt).Comparison(), x, y);
    result.SetReal(y);
}

static void fn_ds_grid_shuffle(Runtime& rt, ScriptInstance*, ScriptInstance*, int,
                               const RValue* args, RValue& result) {
    DsGrid* s = Find(rt, Ds(rt).grids, args[0]);
    if (!s) return;
    s->Shuffle(rt.Rng());
}

static void fn_ds_grid_write(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                             RValue& result) {
    Write(rt, Ds(rt).grids, args[0], result);
}

static void fn_ds_grid_read(Runtime& rt, ScriptInstance*, ScriptInstance*, int, const RValue* args,
                            RValue& result) {
    Read(rt, Ds(rt).grids, args);
}

// ORDER VOCABULARY: the rows keep the registration order of the family.
static const BuiltinDef kDataStructureFunctions[] = {

    {"ds_set_precision", fn_ds_set_precision, 1},

    {"ds_stack_create", fn_ds_stack_create, 0},

    {"ds_stack_destroy", fn_ds_stack_destroy, 1},

    {"ds_stack_clear", fn_ds_stack_clear, 1},

    {"ds_stack_copy", fn_ds_stack_copy, 2},

    {"ds_stack_size", fn_ds_stack_size, 1},

    {"ds_stack_empty", fn_ds_stack_empty, 1},

    {"ds_stack_push", fn_ds_stack_push, 2},

    {"ds_stack_pop", fn_ds_stack_pop, 1},

    {"ds_stack_top", fn_ds_stack_top, 1},

    {"ds_stack_write", fn_ds_stack_write, 1},

    {"ds_stack_read", fn_ds_stack_read, 2},

    {"ds_queue_create", fn_ds_queue_create, 0},

    {"ds_queue_destroy", fn_ds_queue_destroy, 1},

    {"ds_queue_clear", fn_ds_queue_clear, 1},

    {"ds_queue_copy", fn_ds_queue_copy, 2},

    {"ds_queue_size", fn_ds_queue_size, 1},

    {"ds_queue_empty", fn_ds_queue_empty, 1},

    {"ds_queue_enqueue", fn_ds_queue_enqueue, 2},

    {"ds_queue_dequeue", fn_ds_queue_dequeue, 1},

    {"ds_queue_head", fn_ds_queue_head, 1},

    {"ds_queue_tail", fn_ds_queue_tail, 1},

    {"ds_queue_write", fn_ds_queue_write, 1},

    {"ds_queue_read", fn_ds_queue_read, 2},

    {"ds_list_create", fn_ds_list_create, 0},

    {"ds_list_destroy", fn_ds_list_destroy, 1},

    {"ds_list_clear", fn_ds_list_clear, 1},

    {"ds_list_copy", fn_ds_list_copy, 2},

    {"ds_list_size", fn_ds_list_size, 1},

    {"ds_list_empty", fn_ds_list_empty, 1},

    {"ds_list_add", fn_ds_list_add, 2},

    {"ds_list_insert", fn_ds_list_insert, 3},

    {"ds_list_replace", fn_ds_list_replace, 3},

    {"ds_list_delete", fn_ds_list_delete, 2},

    {"ds_list_find_index", fn_ds_list_find_index, 2},

    {"ds_list_find_value", fn_ds_list_find_value, 2},

    {"ds_list_sort", fn_ds_list_sort, 2},

    {"ds_list_shuffle", fn_ds_list_shuffle, 1},

    {"ds_list_write", fn_ds_list_write, 1},

    {"ds_list_read", fn_ds_list_read, 2},

    {"ds_map_create", fn_ds_map_create, 0},

    {"ds_map_destroy", fn_ds_map_destroy, 1},

    {"ds_map_clear", fn_ds_map_clear, 1},

    {"ds_map_copy", fn_ds_map_copy, 2},

    {"ds_map_size", fn_ds_map_size, 1},

    {"ds_map_empty", fn_ds_map_empty, 1},

    {"ds_map_add", fn_ds_map_add, 3},

    {"ds_map_replace", fn_ds_map_replace, 3},

    {"ds_map_delete", fn_ds_map_delete, 2},

    {"ds_map_exists", fn_ds_map_exists, 2},

    {"ds_map_find_value", fn_ds_map_find_value, 2},

    {"ds_map_find_previous", fn_ds_map_find_previous, 2},

    {"ds_map_find_next", fn_ds_map_find_next, 2},

    {"ds_map_find_first", fn_ds_map_find_first, 1},

    {"ds_map_find_last", fn_ds_map_find_last, 1},

    {"ds_map_write", fn_ds_map_write, 1},

    {"ds_map_read", fn_ds_map_read, 2},

    {"ds_priority_create", fn_ds_priority_create, 0},

    {"ds_priority_destroy", fn_ds_priority_destroy, 1},

    {"ds_priority_clear", fn_ds_priority_clear, 1},

    {"ds_priority_copy", fn_ds_priority_copy, 2},

    {"ds_priority_size", fn_ds_priority_size, 1},

    {"ds_priority_empty", fn_ds_priority_empty, 1},

    {"ds_priority_add", fn_ds_priority_add, 3},

    {"ds_priority_change_priority", fn_ds_priority_change_priority, 3},

    {"ds_priority_find_priority", fn_ds_priority_find_priority, 2},

    {"ds_priority_delete_value", fn_ds_priority_delete_value, 2},

    {"ds_priority_delete_min", fn_ds_priority_delete_min, 1},

    {"ds_priority_find_min", fn_ds_priority_find_min, 1},

    {"ds_priority_delete_max", fn_ds_priority_delete_max, 1},

    {"ds_priority_find_max", fn_ds_priority_find_max, 1},

    {"ds_priority_write", fn_ds_priority_write, 1},

    {"ds_priority_read", fn_ds_priority_read, 2},

    {"ds_grid_create", fn_ds_grid_create, 2},

    {"ds_grid_destroy", fn_ds_grid_destroy, 1},

    {"ds_grid_copy", fn_ds_grid_copy, 2},

    {"ds_grid_resize", fn_ds_grid_resize, 3},

    {"ds_grid_width", fn_ds_grid_width, 1},

    {"ds_grid_height", fn_ds_grid_height, 1},

    {"ds_grid_clear", fn_ds_grid_clear, 2},

    {"ds_grid_set", fn_ds_grid_set, 4},

    {"ds_grid_add", fn_ds_grid_add, 4},

    {"ds_grid_multiply", fn_ds_grid_multiply, 4},

    {"ds_grid_set_region", fn_ds_grid_set_region, 6},

    {"ds_grid_add_region", fn_ds_grid_add_region, 6},

    {"ds_grid_multiply_region", fn_ds_grid_multiply_region, 6},

    {"ds_grid_set_disk", fn_ds_grid_set_disk, 5},

    {"ds_grid_add_disk", fn_ds_grid_add_disk, 5},

    {"ds_grid_multiply_disk", fn_ds_grid_multiply_disk, 5},

    {"ds_grid_set_grid_region", fn_ds_grid_set_grid_region, 8},

    {"ds_grid_add_grid_region", fn_ds_grid_add_grid_region, 8},

    {"ds_grid_multiply_grid_region", fn_ds_grid_multiply_grid_region, 8},

    {"ds_grid_get", fn_ds_grid_get, 3},

    {"ds_grid_get_sum", fn_ds_grid_get_sum, 5},

    {"ds_grid_get_max", fn_ds_grid_get_max, 5},

    {"ds_grid_get_min", fn_ds_grid_get_min, 5},

    {"ds_grid_get_mean", fn_ds_grid_get_mean, 5},

    {"ds_grid_get_disk_sum", fn_ds_grid_get_disk_sum, 4},

    {"ds_grid_get_disk_max", fn_ds_grid_get_disk_max, 4},

    {"ds_grid_get_disk_min", fn_ds_grid_get_disk_min, 4},

    {"ds_grid_get_disk_mean", fn_ds_grid_get_disk_mean, 4},

    {"ds_grid_value_exists", fn_ds_grid_value_exists, 6},

    {"ds_grid_value_x", fn_ds_grid_value_x, 6},

    {"ds_grid_value_y", fn_ds_grid_value_y, 6},

    {"ds_grid_value_disk_exists", fn_ds_grid_value_disk_exists, 5},

    {"ds_grid_value_disk_x", fn_ds_grid_value_disk_x, 5},

    {"ds_grid_value_disk_y", fn_ds_grid_value_disk_y, 5},

    {"ds_grid_shuffle", fn_ds_grid_shuffle, 1},

    {"ds_grid_write", fn_ds_grid_write, 1},

    {"ds_grid_read", fn_ds_grid_read, 2},

};

void RegisterDataStructureFunctions(BuiltinRegistry& reg) {
    reg.Add(kDataStructureFunctions);
}

}  // namespace kr
