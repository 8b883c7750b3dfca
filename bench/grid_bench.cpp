// The grid's cell storage at the size of a long file list: 100,000 rows of
// 10 columns of 12-byte texts, stored, written and read as "Data"; and the
// integer set under 100,000 random inserts and deletes. A counting global
// allocator reports allocations per cell.

#include "grid/data/sets.h"
#include "grid/data/storage.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>

namespace {
std::atomic<long> allocations{0};
}

void *operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void *p = std::malloc(size ? size : 1))
    return p;
  throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

using namespace marrowen;

namespace {

constexpr int rows = 100000, cols = 10;

const Variant &cellText() {
  static const Variant text(std::string("abcdefghijkl"));
  return text;
}

void fill(Tdg2DStorage &storage) {
  for (int r = 1; r <= rows; ++r)
    for (int c = 1; c <= cols; ++c)
      storage.SetValue(c, r, cellText(), ckText);
}

void StorageSetValue(benchmark::State &state) {
  long perCell = 0;
  for (auto _ : state) {
    auto storage = std::make_unique<Tdg2DStorage>(cols, rows);
    const long before = allocations.load();
    fill(*storage);
    perCell = allocations.load() - before;
    state.PauseTiming(); // freeing is not storing
    storage.reset();
    state.ResumeTiming();
  }
  state.counters["allocations"] = static_cast<double>(perCell);
}
BENCHMARK(StorageSetValue)->Unit(benchmark::kMillisecond);

void StorageSetValueKinds(benchmark::State &state) {
  // Integers, Nulls and empty cells, each on rows of their own.
  long count = 0;
  for (auto _ : state) {
    Tdg2DStorage storage(cols, rows);
    for (int c = 1; c <= cols; ++c)
      storage.SetValue(c, 1, Variant(1), ckInteger); // the row's one allocation
    const long before = allocations.load();
    for (int c = 1; c <= cols; ++c) {
      storage.SetValue(c, 1, Variant(c), ckInteger);
      storage.SetValue(c, 1, Variant::Null(), ckNull);
      storage.SetValue(c, 1, Variant(), ckText);
    }
    count = allocations.load() - before;
  }
  state.counters["allocations"] = static_cast<double>(count);
}
BENCHMARK(StorageSetValueKinds);

void StorageWriteValues(benchmark::State &state) {
  Tdg2DStorage storage(cols, rows);
  fill(storage);
  std::string out;
  for (auto _ : state) {
    out.clear();
    storage.WriteValues(out);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(out.size());
}
BENCHMARK(StorageWriteValues)->Unit(benchmark::kMillisecond);

void StorageReadValues(benchmark::State &state) {
  std::string data;
  {
    Tdg2DStorage storage(cols, rows);
    fill(storage);
    storage.WriteValues(data);
  }
  for (auto _ : state) {
    auto storage = std::make_unique<Tdg2DStorage>(cols, rows);
    storage->ReadValues(data);
    benchmark::DoNotOptimize(storage.get());
    state.PauseTiming();
    storage.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(StorageReadValues)->Unit(benchmark::kMillisecond);

void IntegerSetInsertDelete(benchmark::State &state) {
  std::vector<int> values(100000);
  std::mt19937 random(3);
  for (int &v : values)
    v = static_cast<int>(random());
  for (auto _ : state) {
    TdgIntegerSet set;
    for (int v : values)
      set.Add(v);
    for (int v : values)
      set.Remove(v);
    benchmark::DoNotOptimize(set.Count());
  }
}
BENCHMARK(IntegerSetInsertDelete)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
