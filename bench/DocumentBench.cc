// Saving and loading a document that holds one table of 1,000,000 cells
// (1000 rows x 1000 columns, numbers with two decimals), beside parsing the
// same text with nlohmann's parser alone into its own tree, the baseline that
// loading is measured against (the aim: loading takes less than twice as
// long). Saving writes without the derived layers, so that the text holds
// what loading reads. Each benchmark reports the text's size and the
// process's peak resident size; run one benchmark per process
// (--benchmark_filter) for a peak of its own.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "Document.h"

namespace {

constexpr int kSide = 1000;

std::unique_ptr<OmOutputTree> MillionCellDocument() {
  auto tree = std::make_unique<OmOutputTree>();
  const OmStringCell label("Large", nullptr, false);
  auto* table = new OmPivotTable(label, label, false);
  tree->Root().AppendChild(table);
  for (const char* name : {"Row", "Column"}) {
    OmDimension& dimension = table->AddDimension(OmStringCell(name, nullptr, false));
    for (int i = 0; i < kSide; ++i) {
      dimension.AddNewChild(dimension.Root(), OmStringCell("c" + std::to_string(i), nullptr, false),
                            static_cast<std::size_t>(i), false);
    }
  }
  for (int r = 0; r < kSide; ++r) {
    for (int c = 0; c < kSide; ++c) {
      OmNumber value((r * kSide + c) / 100.0);
      value.SetDecimals(2);
      table->Cell({r, c}, value);
    }
  }
  table->Rows().push_back(0);
  table->Columns().push_back(1);
  table->EndTable();
  return tree;
}

omdoc::SaveOptions WithoutLayers() {
  omdoc::SaveOptions options;
  options.withLayers = false;
  return options;
}

// The saved text of the million-cell document, made once.
const std::string& SavedText() {
  static const std::string text = [] {
    const std::unique_ptr<OmOutputTree> tree = MillionCellDocument();
    return omdoc::Save(*tree, WithoutLayers());
  }();
  return text;
}

void ReportSizes(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["text_MB"] = static_cast<double>(SavedText().size()) / 1e6;
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_DocumentSave(benchmark::State& state) {
  const std::unique_ptr<OmOutputTree> tree = MillionCellDocument();
  for (auto _ : state)
    benchmark::DoNotOptimize(omdoc::Save(*tree, WithoutLayers()).size());
  ReportSizes(state);
}
BENCHMARK(BM_DocumentSave)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DocumentLoad(benchmark::State& state) {
  const std::string& text = SavedText();
  for (auto _ : state)
    benchmark::DoNotOptimize(omdoc::Load(text, "million.json").get());
  ReportSizes(state);
}
BENCHMARK(BM_DocumentLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DocumentParseNlohmann(benchmark::State& state) {
  const std::string& text = SavedText();
  for (auto _ : state)
    benchmark::DoNotOptimize(nlohmann::json::parse(text).size());
  ReportSizes(state);
}
BENCHMARK(BM_DocumentParseNlohmann)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
