// Rendering large tables: to text, 100,000 display rows x 20 display
// columns x 5 layers; to text, HTML, Markdown, tidy CSV and LaTeX, 100,000 rows x 10
// columns (1,000,000 cells); to an XLSX workbook, 1,000,000 number cells
// (50,000 rows x 20 columns, one layer); every cell filled. Reports the
// bytes written and the process's peak resident size.
//
// BM_Stream10M/...: a table of 10,000,000 cells (1000 x 1000 rows, 10
// columns, one layer) in every format, each written to a stream that
// discards it (XLSX to a temporary file), reporting besides the peak the
// resident size once the table is built. They take a minute or more each,
// so they run only when OMTREE_BENCH_10M is set in the environment, one
// process per format for a peak of its own:
//   OMTREE_BENCH_10M=1 omtree_bench --benchmark_filter=BM_Stream10M/Html

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include "Document.h"
#include "Html.h"
#include "Latex.h"
#include "Markdown.h"
#include "Text.h"
#include "TidyCsv.h"
#include "Xlsx.h"

namespace {

// A table of inner x outer rows, columns and layers, every cell 1.25.
std::unique_ptr<OmPivotTable> LargeTable(int inner = 1000, int outer = 100, int columns = 20,
                                         int layers = 5) {
  const OmStringCell label("Large", nullptr, false);
  auto table = std::make_unique<OmPivotTable>(label, label, false);
  const int sizes[] = {inner, outer, columns, layers};
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
      for (int o = 0; o < outer; ++o) {
        for (int i = 0; i < inner; ++i)
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

// A table of 1,000,000 cells (1000 x 100 rows, 10 columns, one layer) in
// each text format of omtree-view, as a document of its own.
template <typename Write>
void RenderLargeDocument(benchmark::State& state, Write write) {
  OmOutputTree tree;
  tree.Root().AppendChild(LargeTable(1000, 100, 10, 1).release());
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

void BM_RenderLargeText(benchmark::State& state) {
  RenderLargeDocument(state, [](OmOutputTree& tree) {
    return omrender::RenderDocument(tree, omrender::Options());
  });
}
BENCHMARK(BM_RenderLargeText)->Unit(benchmark::kSecond)->Iterations(1);

void BM_RenderLargeHtml(benchmark::State& state) {
  RenderLargeDocument(state, [](OmOutputTree& tree) {
    return omrender::RenderHtml(tree, omrender::Options(), "Large");
  });
}
BENCHMARK(BM_RenderLargeHtml)->Unit(benchmark::kSecond)->Iterations(1);

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
// Writes tree as a workbook to a new temporary file, once per iteration,
// and returns the file's path; empty, with the benchmark skipped, when no
// file can be made. The caller removes the file.
std::string WriteXlsxToTemporaryFile(benchmark::State& state, OmOutputTree& tree) {
  char path[] = "/tmp/omtree-bench-XXXXXX.xlsx";
  const int descriptor = mkstemps(path, 5);
  if (descriptor < 0) {
    state.SkipWithError("cannot create a temporary file");
    return {};
  }
  close(descriptor);
  for (auto _ : state)
    omrender::WriteXlsx(tree, omrender::Options(), omrender::XlsxOptions(), path);
  return path;
}

void BM_WriteLargeTableXlsx(benchmark::State& state) {
  OmOutputTree tree;
  tree.Root().AppendChild(LargeTable(1000, 50, 20, 1).release());
  const std::string path = WriteXlsxToTemporaryFile(state, tree);
  if (path.empty()) return;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  long bytes = 0;
  if (file != nullptr && std::fseek(file, 0, SEEK_END) == 0) bytes = std::ftell(file);
  if (file != nullptr) std::fclose(file);
  std::remove(path.c_str());
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["written_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_WriteLargeTableXlsx)->Unit(benchmark::kSecond)->Iterations(1);

// A stream buffer that counts the bytes it is given and keeps none.
class DiscardBuffer : public std::streambuf {
 public:
  std::size_t bytes() const { return _bytes; }

 protected:
  std::streamsize xsputn(const char* /*text*/, std::streamsize count) override {
    _bytes += static_cast<std::size_t>(count);
    return count;
  }
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) ++_bytes;
    return traits_type::not_eof(c);
  }

 private:
  std::size_t _bytes = 0;
};

// The process's resident size now, in MB.
double ResidentMB() {
  std::ifstream statm("/proc/self/statm");
  double pages = 0;
  double resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

double PeakResidentMB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) * 1024 / 1e6;
}

// The 10,000,000-cell document written once by write(tree, out).
template <typename Write>
void Stream10M(benchmark::State& state, Write write) {
  OmOutputTree tree;
  tree.Root().AppendChild(LargeTable(1000, 1000, 10, 1).release());
  state.counters["table_RSS_MB"] = ResidentMB();
  DiscardBuffer discard;
  std::ostream out(&discard);
  for (auto _ : state)
    write(tree, out);
  state.counters["written_MB"] = static_cast<double>(discard.bytes()) / 1e6;
  state.counters["peak_RSS_MB"] = PeakResidentMB();
}

// The same document as a workbook, written to a temporary file.
void Stream10MXlsx(benchmark::State& state) {
  OmOutputTree tree;
  tree.Root().AppendChild(LargeTable(1000, 1000, 10, 1).release());
  state.counters["table_RSS_MB"] = ResidentMB();
  const std::string path = WriteXlsxToTemporaryFile(state, tree);
  if (path.empty()) return;
  std::remove(path.c_str());
  state.counters["peak_RSS_MB"] = PeakResidentMB();
}

template <typename Write>
void Register(const std::string& format, Write write) {
  benchmark::RegisterBenchmark(("BM_Stream10M/" + format).c_str(), Stream10M<Write>, write)
      ->Unit(benchmark::kSecond)
      ->Iterations(1);
}

void RegisterStream10M() {
  Register("Text", [](OmOutputTree& tree, std::ostream& out) {
    omrender::RenderDocument(tree, omrender::Options(), out);
  });
  Register("Html", [](OmOutputTree& tree, std::ostream& out) {
    omrender::RenderHtml(tree, omrender::Options(), "Large", out);
  });
  Register("Markdown", [](OmOutputTree& tree, std::ostream& out) {
    omrender::RenderMarkdown(tree, omrender::Options(), out);
  });
  Register("TidyCsv",
           [](OmOutputTree& tree, std::ostream& out) { omrender::RenderTidyCsv(tree, out); });
  Register("Latex", [](OmOutputTree& tree, std::ostream& out) {
    omrender::RenderLatex(tree, omrender::Options(), false, out);
  });
  Register("Json", [](OmOutputTree& tree, std::ostream& out) {
    omdoc::Save(tree, out, omdoc::SaveOptions{true, omrender::Options()});
  });
  benchmark::RegisterBenchmark("BM_Stream10M/Xlsx", Stream10MXlsx)
      ->Unit(benchmark::kSecond)
      ->Iterations(1);
}

const bool kStream10MRegistered = [] {
  if (std::getenv("OMTREE_BENCH_10M") != nullptr) RegisterStream10M();
  return true;
}();

}  // namespace
