// Rendering a large table to text: 100,000 display rows x 20 display columns
// x 5 layers, every cell filled. Reports the rendered bytes and the
// process's peak resident size.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>
#include <string>

#include "Render.h"

namespace {

std::unique_ptr<OmPivotTable> LargeTable() {
  const OmStringCell label("Large", nullptr, false);
  auto table = std::make_unique<OmPivotTable>(label, label, false);
  const int sizes[] = {1000, 100, 20, 5};  // inner rows, outer rows, columns, layers
  for (int size : sizes) {
    OmDimension& dimension = table->AddDimension(label);
    for (int i = 0; i < size; ++i) {
      dimension.AddNewChild(dimension.Root(), OmStringCell("c" + std::to_string(i), nullptr, false),
                            static_cast<std::size_t>(i), false);
    }
  }
  OmNumber value(1.25);
  value.SetDecimals(2);
  for (int l = 0; l < 5; ++l) {
    for (int c = 0; c < 20; ++c) {
      for (int o = 0; o < 100; ++o) {
        for (int i = 0; i < 1000; ++i)
          table->Cell({i, o, c, l}, value);
      }
    }
  }
  table->Rows().push_back(0);
  table->Rows().push_back(1);
  table->Columns().push_back(2);
  table->Layers().push_back(3);
  table->EndTable();
  return table;
}

void BM_RenderLargeTable(benchmark::State& state) {
  const std::unique_ptr<OmPivotTable> table = LargeTable();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = omrender::RenderTable(*table, omrender::Options());
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["rendered_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_RenderLargeTable)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
