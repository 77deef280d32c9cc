// Throughput of the unformatted reader and the binary packing routines, each beside a baseline
// that does the same work with plain stdio and memcpy, so that the ratio is read from one run:
//   BM_FreadRecords      baseline: length word, fread of data and trailer, fields memcpy'd out
//   BM_FscanunfRecords   the same records through fscanunf
//   BM_FscanunfBlocks    the same records through fscanunf as one "%A" block each: the reading
//                        alone, without the distribution over thirteen items
//   BM_MemcpyPack / BM_SprtunfPack, BM_MemcpyUnpack / BM_SscanunfUnpack: one 100-byte record
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "nuvex/runtime/binary.h"

namespace {

constexpr int kRecords = 10000;
constexpr int kReals = 12;  // an int and twelve doubles: 100 data bytes per record
constexpr std::uint32_t kRecordBytes = sizeof(std::int32_t) + kReals * sizeof(double);
constexpr const char* kControl = "%d%lf%lf%lf%lf%lf%lf%lf%lf%lf%lf%lf%lf";

struct Item {
  std::int32_t id;
  double reals[kReals];
};

void writeRecord(FILE* file, const Item& item) {
  std::fwrite(&kRecordBytes, sizeof kRecordBytes, 1, file);
  std::fwrite(&item.id, sizeof item.id, 1, file);
  std::fwrite(item.reals, sizeof item.reals, 1, file);
  std::fwrite(&kRecordBytes, sizeof kRecordBytes, 1, file);
}

// An anonymous temporary file of kRecords records, removed when closed.
FILE* recordFile() {
  static FILE* file = [] {
    FILE* created = std::tmpfile();
    for (int i = 0; i < kRecords; ++i) {
      Item item{i, {}};
      for (int k = 0; k < kReals; ++k) item.reals[k] = i * 0.5 + k;
      writeRecord(created, item);
    }
    std::fflush(created);
    return created;
  }();
  return file;
}

void BM_FreadRecords(benchmark::State& state) {
  FILE* file = recordFile();
  char buffer[kRecordBytes + sizeof kRecordBytes];
  Item item{};
  for (auto _ : state) {
    std::rewind(file);
    std::uint32_t length = 0;
    while (std::fread(&length, sizeof length, 1, file) == 1 && length == kRecordBytes &&
           std::fread(buffer, 1, length + sizeof length, file) == length + sizeof length) {
      std::memcpy(&item.id, buffer, sizeof item.id);
      std::memcpy(item.reals, buffer + sizeof item.id, sizeof item.reals);
      benchmark::DoNotOptimize(item);
    }
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_FreadRecords);

void BM_FscanunfRecords(benchmark::State& state) {
  FILE* file = recordFile();
  Item item{};
  double* r = item.reals;
  for (auto _ : state) {
    std::rewind(file);
    while (fscanunf(file, kControl, &item.id, r, r + 1, r + 2, r + 3, r + 4, r + 5, r + 6, r + 7,
                    r + 8, r + 9, r + 10, r + 11) > 0) {
      benchmark::DoNotOptimize(item);
    }
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_FscanunfRecords);

void BM_FscanunfBlocks(benchmark::State& state) {
  FILE* file = recordFile();
  Item item{};
  for (auto _ : state) {
    std::rewind(file);
    while (fscanunf(file, "%A", std::size_t{kRecordBytes}, &item) > 0) {
      benchmark::DoNotOptimize(item);
    }
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_FscanunfBlocks);

Item sampleItem() {
  Item item{42, {}};
  for (int k = 0; k < kReals; ++k) item.reals[k] = 1.25 * k;
  return item;
}

void BM_MemcpyPack(benchmark::State& state) {
  const Item item = sampleItem();
  char record[kRecordBytes];
  for (auto _ : state) {
    std::memcpy(record, &item.id, sizeof item.id);
    std::memcpy(record + sizeof item.id, item.reals, sizeof item.reals);
    benchmark::DoNotOptimize(record);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MemcpyPack);

void BM_SprtunfPack(benchmark::State& state) {
  const Item item = sampleItem();
  const double* r = item.reals;
  char record[kRecordBytes];
  for (auto _ : state) {
    benchmark::DoNotOptimize(sprtunf(record, kControl, item.id, r[0], r[1], r[2], r[3], r[4], r[5],
                                     r[6], r[7], r[8], r[9], r[10], r[11]));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SprtunfPack);

void BM_MemcpyUnpack(benchmark::State& state) {
  char record[kRecordBytes];
  const Item source = sampleItem();
  std::memcpy(record, &source.id, sizeof source.id);
  std::memcpy(record + sizeof source.id, source.reals, sizeof source.reals);
  Item item{};
  for (auto _ : state) {
    std::memcpy(&item.id, record, sizeof item.id);
    std::memcpy(item.reals, record + sizeof item.id, sizeof item.reals);
    benchmark::DoNotOptimize(item);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MemcpyUnpack);

void BM_SscanunfUnpack(benchmark::State& state) {
  char record[kRecordBytes];
  const Item source = sampleItem();
  std::memcpy(record, &source.id, sizeof source.id);
  std::memcpy(record + sizeof source.id, source.reals, sizeof source.reals);
  Item item{};
  double* r = item.reals;
  for (auto _ : state) {
    benchmark::DoNotOptimize(sscanunf(record, kControl, &item.id, r, r + 1, r + 2, r + 3, r + 4,
                                      r + 5, r + 6, r + 7, r + 8, r + 9, r + 10, r + 11));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SscanunfUnpack);

}  // namespace

BENCHMARK_MAIN();
