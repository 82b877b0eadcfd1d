// Crosstabulating a CSV file of 1,000,000 rows: three category columns of
// 20, 50 and 10 distinct values, one numeric column and a weight column
// (whole numbers 1 to 5), by all three category columns (rows, columns,
// layers). Measured: the plain count; the mean of the numeric column, alone
// and with the document rendered to text; and the weighted count, mean,
// standard deviation and row percentage with totals, the work a weighted
// crosstab adds to the plain count. The file is written once,
// deterministically, before the first measurement. Reports the file's size,
// the heap's peak growth while the file is read (sampled at every progress
// report and after the build) and the process's peak resident size. CPU
// times are the process's: a file is read in a second thread. Last, the
// time against the number of distinct categories of one column.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "Crosstab.h"
#include "Text.h"

namespace {

constexpr int kRows = 1000000;

// The benchmark's input file, removed when the process ends.
class InputFile {
 public:
  InputFile()
      : _path((std::filesystem::temp_directory_path() /
               ("omtree-crosstab-bench-" + std::to_string(getpid()) + ".csv"))
                  .string()) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> region(0, 19);
    std::uniform_int_distribution<int> product(0, 49);
    std::uniform_int_distribution<int> year(0, 9);
    std::uniform_int_distribution<int> cents(0, 1000000);
    std::uniform_int_distribution<int> weight(1, 5);
    std::FILE* file = std::fopen(_path.c_str(), "wb");
    if (file == nullptr) return;  // BuildCrosstab reports it
    std::fputs("region,product,year,amount,weight\n", file);
    for (int i = 0; i < kRows; ++i) {
      const int amount = cents(random);
      std::fprintf(file, "Region %d,\"Product, %d\",%d,%d.%02d,%d\n", region(random),
                   product(random), 2000 + year(random), amount / 100, amount % 100,
                   weight(random));
    }
    _bytes = static_cast<std::size_t>(std::ftell(file));
    std::fclose(file);
  }
  ~InputFile() { std::filesystem::remove(_path); }

  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  const std::string& Path() const { return _path; }
  std::size_t Bytes() const { return _bytes; }

 private:
  std::string _path;
  std::size_t _bytes = 0;
};

const InputFile& Input() {
  static const InputFile input;
  return input;
}

std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// The workloads beside one another.
enum class Workload { kCount, kMean, kWeightedStatistics };

void Crosstab(benchmark::State& state, Workload workload, bool render) {
  using omcrosstab::Statistic;
  const InputFile& input = Input();
  omcrosstab::Request request;
  request.path = input.Path();
  request.rows = {"region"};
  request.columns = {"product"};
  request.layers = {"year"};
  request.valueColumn = "amount";
  if (workload == Workload::kMean) request.statistics = {Statistic::kMean};
  if (workload == Workload::kWeightedStatistics) {
    request.statistics = {Statistic::kCount, Statistic::kMean, Statistic::kStdDev,
                          Statistic::kRowPercent};
    request.weightColumn = "weight";
    request.totals = true;
  }
  const std::size_t heapBefore = HeapInUse();
  std::size_t heapPeak = heapBefore;
  const auto sample = [&heapPeak](std::uint64_t, std::uint64_t) {
    heapPeak = std::max(heapPeak, HeapInUse());
  };
  std::size_t rendered = 0;
  for (auto _ : state) {
    std::unique_ptr<OmOutputTree> tree;
    try {
      tree = omcrosstab::BuildCrosstab(request, sample);
    } catch (const omcrosstab::InputError& error) {
      state.SkipWithError(error.what());
      return;
    }
    heapPeak = std::max(heapPeak, HeapInUse());
    if (render) rendered = omrender::RenderDocument(*tree, omrender::Options()).size();
    benchmark::DoNotOptimize(tree.get());
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["file_MB"] = static_cast<double>(input.Bytes()) / 1e6;
  state.counters["heap_growth_MB"] = static_cast<double>(heapPeak - heapBefore) / 1e6;
  state.counters["peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  if (render) state.counters["rendered_MB"] = static_cast<double>(rendered) / 1e6;
}

void BM_CrosstabCount(benchmark::State& state) {
  Crosstab(state, Workload::kCount, false);
}
BENCHMARK(BM_CrosstabCount)->Unit(benchmark::kMillisecond)->Iterations(1)->MeasureProcessCPUTime();

void BM_CrosstabMean(benchmark::State& state) {
  Crosstab(state, Workload::kMean, false);
}
BENCHMARK(BM_CrosstabMean)->Unit(benchmark::kMillisecond)->Iterations(1)->MeasureProcessCPUTime();

void BM_CrosstabMeanAndRender(benchmark::State& state) {
  Crosstab(state, Workload::kMean, true);
}
BENCHMARK(BM_CrosstabMeanAndRender)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime();

// Weighted count, mean, standard deviation and row % with totals.
void BM_CrosstabWeightedStatistics(benchmark::State& state) {
  Crosstab(state, Workload::kWeightedStatistics, false);
}
BENCHMARK(BM_CrosstabWeightedStatistics)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime();

// High cardinality: a file of 2 * ids rows, "id,half": the ids id0, id1, ...
// each once in order of first appearance, then each again, each row in one of
// two halves. Crosstabbed by id and half, a category and two cells per id:
// the time should grow linearly with the number of distinct ids. The file is
// written before the measurement and removed after it.
void BM_CrosstabDistinctIds(benchmark::State& state) {
  const auto ids = static_cast<int>(state.range(0));
  const std::string path =
      (std::filesystem::temp_directory_path() /
       ("omtree-crosstab-ids-" + std::to_string(getpid()) + "-" + std::to_string(ids) + ".csv"))
          .string();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    state.SkipWithError("cannot write the input file");
    return;
  }
  std::fputs("id,half\n", file);
  for (int pass = 0; pass < 2; ++pass) {
    for (int id = 0; id < ids; ++id)
      std::fprintf(file, "id%d,%s\n", id, (id + pass) % 2 == 0 ? "first" : "second");
  }
  std::fclose(file);
  omcrosstab::Request request;
  request.path = path;
  request.rows = {"id"};
  request.columns = {"half"};
  for (auto _ : state) {
    std::unique_ptr<OmOutputTree> tree;
    try {
      tree = omcrosstab::BuildCrosstab(request);
    } catch (const omcrosstab::InputError& error) {
      state.SkipWithError(error.what());
      break;
    }
    benchmark::DoNotOptimize(tree.get());
  }
  std::filesystem::remove(path);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["distinct_ids"] = ids;
  state.counters["peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_CrosstabDistinctIds)
    ->Arg(100000)
    ->Arg(200000)
    ->Arg(400000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime();

}  // namespace
