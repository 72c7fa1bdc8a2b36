// The same-name analysis alone on synthetic drives of a million files.
//
// Counters: files per second, and the analysis's own peak heap use per file
// (working arrays plus the report it writes), measured by counting the bytes
// that operator new hands out while one analysis runs.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <string>

#include "analysis/same_name_analysis.h"
#include "app/scan_display.h"
#include "app/scan_state.h"

namespace {

std::size_t live_bytes = 0;
std::size_t peak_bytes = 0;

void* CountedAllocate(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  live_bytes += malloc_usable_size(p);
  if (live_bytes > peak_bytes) peak_bytes = live_bytes;
  return p;
}

void CountedFree(void* p) {
  if (p == nullptr) return;
  live_bytes -= malloc_usable_size(p);
  std::free(p);
}

}  // namespace

void* operator new(std::size_t size) { return CountedAllocate(size); }
void* operator new[](std::size_t size) { return CountedAllocate(size); }
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedFree(p); }

namespace vorlex {
namespace {

constexpr int kFiles = 1'000'000;

// A name that starts with one of many first bytes, upper and lower case.
std::string NameFor(std::uint32_t id) {
  static const char kFirst[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_~";
  std::string name(1, kFirst[id % (sizeof(kFirst) - 1)]);
  name += "file";
  name += std::to_string(id);
  name += ".txt";
  return name;
}

// Fills `state` with kFiles files; `name_of(i)` gives the name id of file i.
template <typename NameOf>
void FillDrive(ScanState& state, NameOf name_of) {
  std::mt19937 random(1);
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = NameFor(name_of(i, random));
    std::string line = "/media/usb/dir" + std::to_string(random() % 5000) + "/sub" +
                       std::to_string(random() % 20) + "/" + name;
    line += " . . . . . 3 KB 2017/10/29 19:04:38";
    state.EntryNames.push_back(name);
    state.EntryPaths.push_back(line);
    state.EntrySizesKB.push_back(3);
  }
}

void RunAnalysis(benchmark::State& bench, ScanState& scan) {
  ScanDisplay null_display;
  std::size_t peak_extra = 0;
  for (auto _ : bench) {
    // The last report is dropped outside the timing, so the peak counts the
    // whole new report.
    bench.PauseTiming();
    scan.ReportLines.clear();
    scan.EntryCount = kFiles;
    bench.ResumeTiming();
    const std::size_t before = live_bytes;
    peak_bytes = live_bytes;
    AnalyzeDuplicates(scan, null_display);
    peak_extra = peak_bytes - before;
    benchmark::DoNotOptimize(scan.EntryCount);
  }
  bench.SetItemsProcessed(bench.iterations() * kFiles);
  bench.counters["report_lines"] = static_cast<double>(scan.EntryCount + 1);
  bench.counters["peak_bytes_per_file"] = static_cast<double>(peak_extra) / kFiles;
}

// About 400,000 names, most occurring two or three times.
void BM_ManyGroups(benchmark::State& bench) {
  static ScanState scan;
  if (scan.EntryNames.empty()) {
    FillDrive(scan, [](int, std::mt19937& random) { return static_cast<std::uint32_t>(random() % 400'000); });
  }
  RunAnalysis(bench, scan);
}

// One name 100,000 times among 900,000 names that occur once.
void BM_OneName100k(benchmark::State& bench) {
  static ScanState scan;
  if (scan.EntryNames.empty()) {
    FillDrive(scan, [](int i, std::mt19937&) { return i % 10 == 0 ? 0u : static_cast<std::uint32_t>(i) + 1; });
  }
  RunAnalysis(bench, scan);
}

// Exactly 200,000 groups of two among 600,000 names that occur once.
void BM_200kGroups(benchmark::State& bench) {
  static ScanState scan;
  if (scan.EntryNames.empty()) {
    FillDrive(scan, [](int i, std::mt19937&) {
      return i < 400'000 ? static_cast<std::uint32_t>(i % 200'000) : static_cast<std::uint32_t>(i);
    });
  }
  RunAnalysis(bench, scan);
}

BENCHMARK(BM_ManyGroups)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneName100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_200kGroups)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlex

BENCHMARK_MAIN();
