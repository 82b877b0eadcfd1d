// Rendering large tables: to text, 100,000 display rows x 20 display
// columns x 5 layers; to Markdown, tidy CSV and LaTeX, 100,000 rows x 10
// columns (1,000,000 cells); every cell filled. Reports the rendered bytes
// and the process's peak resident size.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>
#include <string>

#include "Latex.h"
#include "Markdown.h"
#include "Render.h"
#include "TidyCsv.h"

namespace {

// 1000 inner rows x 100 outer rows x columns x layers, every cell filled.
std::unique_ptr<OmPivotTable> LargeTable(int columns, int layers) {
  const OmStringCell label("Large", nullptr, false);
  auto table = std::make_unique<OmPivotTable>(label, label, false);
  const int sizes[] = {1000, 100, columns, layers};
  for (int size : sizes) {
    OmDimension& dimension = table->AddDimension(label);
    for (int i = 0; i < size; ++i) {
      dimension.AddNewChild(dimension.Root(), OmStringCell("c" + std::to_string(i), nullptr, false),
                            static_cast<std::size_t>(i), false);
    }
  }
  OmNumber value(1.25);
  value.SetDecimals(2);
  for (int l = 0; l < layers; ++l) {
    for (int c = 0; c < columns; ++c) {
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
  const std::unique_ptr<OmPivotTable> table = LargeTable(20, 5);
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

// A table of 1,000,000 cells (1000 x 100 rows, 10 columns, one layer) in
// each text format of omtree-view, as a document of its own.
template <typename Write>
void RenderLargeDocument(benchmark::State& state, Write write) {
  OmOutputTree tree;
  tree.Root().AppendChild(LargeTable(10, 1).release());
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = write(tree);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["rendered_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_RenderLargeMarkdown(benchmark::State& state) {
  RenderLargeDocument(state, [](OmOutputTree& tree) {
    return omrender::RenderMarkdown(tree, omrender::Options());
  });
}
BENCHMARK(BM_RenderLargeMarkdown)->Unit(benchmark::kSecond)->Iterations(1);

void BM_RenderLargeTidyCsv(benchmark::State& state) {
  RenderLargeDocument(state, [](OmOutputTree& tree) { return omrender::RenderTidyCsv(tree); });
}
BENCHMARK(BM_RenderLargeTidyCsv)->Unit(benchmark::kSecond)->Iterations(1);

void BM_RenderLargeLatex(benchmark::State& state) {
  RenderLargeDocument(state, [](OmOutputTree& tree) {
    return omrender::RenderLatex(tree, omrender::Options(), false);
  });
}
BENCHMARK(BM_RenderLargeLatex)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
