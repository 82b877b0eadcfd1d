// Allocation-failure sweeps over representative operations of the object
// model. A sweep runs an operation over and over, letting 0, 1, 2, ...
// allocations succeed and failing the next one, until a run completes
// without a failure. Every failed run must end with std::bad_alloc reaching
// the test, leave what it built consistent enough to be read and destroyed,
// and leak nothing.
//
// Allocations are counted by the failure countdown of OmMemoryRegion: every
// OmMemoryRegion::Allocate() and, through the replacement of the global
// operator new below, every global allocation of this program (among them
// the chunks of every arena). The replacement also keeps the number of live
// global blocks, so that a run that leaks one is caught in every build, not
// only where LeakSanitizer checks at exit. It is the reason these tests are
// a program of their own. Sanitizer builds keep the replacement: its blocks
// come from malloc, which AddressSanitizer still serves and LeakSanitizer
// still tracks. Under valgrind, run the program with
// --soname-synonyms=somalloc=nouserintercepts, so that valgrind leaves the
// replacement in place (scripts/valgrind.sh does).

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <memory>
#include <new>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "backend/omtree/DisplayColumnHeading.h"
#include "backend/omtree/DisplayLayerHeading.h"
#include "backend/omtree/DisplayRowHeading.h"
#include "backend/omtree/FormatArea.h"
#include "backend/omtree/Heading.h"
#include "backend/omtree/OutputTree.h"
#include "backend/omtree/PivotTable.h"
#include "backend/omtree/Procedure.h"
#include "backend/omtree/TextBlock.h"
#include "qarniocv/BackendSettings.h"

// The global allocation functions of this program. Each allocation is
// counted against the failure countdown first; the blocks come from malloc.

namespace {

// Global blocks handed out and not yet freed.
std::atomic<long> liveGlobalBlocks{0};

void* AllocateGlobal(std::size_t size) noexcept {
  if (OmMemoryRegion::ShouldFailAllocation()) return nullptr;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) liveGlobalBlocks.fetch_add(1, std::memory_order_relaxed);
  return block;
}

void* AllocateGlobalOrThrow(std::size_t size) {
  void* block = AllocateGlobal(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void FreeGlobal(void* block) noexcept {
  if (block == nullptr) return;
  liveGlobalBlocks.fetch_sub(1, std::memory_order_relaxed);
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
  return AllocateGlobalOrThrow(size);
}
void* operator new[](std::size_t size) {
  return AllocateGlobalOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateGlobal(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateGlobal(size);
}
void operator delete(void* block) noexcept {
  FreeGlobal(block);
}
void operator delete[](void* block) noexcept {
  FreeGlobal(block);
}
void operator delete(void* block, std::size_t) noexcept {
  FreeGlobal(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  FreeGlobal(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  FreeGlobal(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  FreeGlobal(block);
}

namespace {

using Node = ListTree<OmOutputPart*>::Node;

// More runs than any sweep below needs: a sweep that reaches it never
// completed its operation.
constexpr long kMaxRuns = 100000;

OmStringCell Text(const std::string& bytes) {
  return OmStringCell(bytes, nullptr, false);
}

// Whether a run had a failure injected, and whether std::bad_alloc reached
// the test.
struct Outcome {
  bool injected;
  bool caught;
};

// Runs operation with `allowed` allocations succeeding and the next one
// failing; a negative `allowed` fails none. The countdown is off again when
// this returns, whatever operation throws.
template <typename Operation>
Outcome RunFailing(long allowed, Operation&& operation) {
  struct Disarm {
    ~Disarm() { OmMemoryRegion::FailAfter(-1); }
  } disarm;
  OmMemoryRegion::FailAfter(allowed);
  bool caught = false;
  try {
    operation();
  } catch (const std::bad_alloc&) {
    caught = true;
  }
  const bool injected = allowed >= 0 && OmMemoryRegion::FailAfter(-1) < 0;
  return {injected, caught};
}

// Calls run(-1) once, as a warm-up without failures that also makes the
// library's lazily created state, and then run(0), run(1), ... until a run
// completes without an injected failure. run(allowed) builds what it needs,
// performs its operation through RunFailing(allowed, ...), checks and
// destroys everything it built, and returns the outcome. Checks that every
// injected failure reached the test and that no run left a global block
// behind. Returns the number of failed runs.
template <typename Run>
long Sweep(Run&& run) {
  // Failed expectations so far in this test: each is one recorded part.
  auto failures = [] {
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
  };
  const int failuresBefore = failures();
  const Outcome warmUp = run(-1);
  EXPECT_FALSE(warmUp.caught) << "the operation fails without an injected failure";
  for (long allowed = 0; allowed < kMaxRuns; ++allowed) {
    const long live = liveGlobalBlocks.load();
    const Outcome outcome = run(allowed);
    // A failed expectation keeps its message, so blocks are counted only
    // after runs without one.
    if (failures() != failuresBefore) return allowed;
    EXPECT_EQ(liveGlobalBlocks.load(), live) << "run " << allowed << " leaked global blocks";
    if (!outcome.injected) {
      EXPECT_FALSE(outcome.caught) << "run " << allowed;
      return allowed;
    }
    EXPECT_TRUE(outcome.caught) << "run " << allowed << ": the failure did not reach the test";
    if (failures() != failuresBefore) return allowed;
  }
  ADD_FAILURE() << "no run completed";
  return kMaxRuns;
}

}  // namespace

// Reaches the child indexes of category nodes through the test hook that
// OmDimension and OmDimensionNode grant the unit tests.
class OmDimensionTest {
 public:
  static std::vector<int> ChildIndex(OmDimension::ConstNode node) {
    return std::vector<int>(node->ChildIndex().begin(), node->ChildIndex().end());
  }
};

namespace {

// Checks the category tree of dimension: every node's child index lists
// each of its children exactly once, and the category count is the number
// of leaves.
void CheckDimension(const OmDimension& dimension) {
  int leaves = 0;
  auto checkIndex = [](OmDimension::ConstNode node) {
    std::vector<int> index = OmDimensionTest::ChildIndex(node);
    std::sort(index.begin(), index.end());
    std::vector<int> offsets(static_cast<std::size_t>(node.NumChildren()));
    std::iota(offsets.begin(), offsets.end(), 0);
    EXPECT_EQ(index, offsets) << "the child index of " << node->Text()->AsString();
  };
  checkIndex(dimension.Root());
  OmDimension::Tree::WalkBelow(
      dimension.Root(), [](OmDimension::ConstNode) { return true; },
      [&](OmDimension::ConstNode node) {
        checkIndex(node);
        if (!node->IsGroup()) ++leaves;
      });
  EXPECT_EQ(dimension.NumCategories(), leaves) << dimension.Name().AsString();
}

// Whether two category trees have the same shape, labels, subscripts (the
// roots' excepted: a table numbers the roots of its dimensions), flags and
// child indexes, walked side by side in storage order.
bool SameTree(const OmDimension& a, const OmDimension& b) {
  auto same = [](OmDimension::ConstNode x, OmDimension::ConstNode y) {
    return x->Text() != nullptr && y->Text() != nullptr && x->Text()->Compare(*y->Text()) == 0 &&
           (x.IsRoot() || x->Subscript() == y->Subscript()) && x->IsGroup() == y->IsGroup() &&
           OmDimensionTest::ChildIndex(x) == OmDimensionTest::ChildIndex(y) &&
           x->Hide() == y->Hide() && x->HideLabels() == y->HideLabels() &&
           x.NumChildren() == y.NumChildren();
  };
  if (!same(a.Root(), b.Root()) || a.NumCategories() != b.NumCategories()) return false;
  std::vector<std::pair<OmDimension::ConstNode, OmDimension::ConstNode>> pending{
      {a.Root(), b.Root()}};
  while (!pending.empty()) {
    const auto [x, y] = pending.back();
    pending.pop_back();
    for (int k = 0; k < x.NumChildren(); ++k) {
      if (!same(x.Child(k), y.Child(k))) return false;
      pending.emplace_back(x.Child(k), y.Child(k));
    }
  }
  return true;
}

// Iterates over every cell of table, checks that each is found again at its
// index, and returns the number of cells.
std::size_t CheckCells(const OmPivotTable& table) {
  std::size_t count = 0;
  for (OmPivotTable::ConstIterator it = table.FirstCell(); it.Cell() != nullptr; ++it) {
    const std::vector<int> index = it.Index();
    EXPECT_EQ(index.size(), table.NDimensions());
    EXPECT_EQ(table.Cell(index), it.Cell());
    EXPECT_FALSE(it.Cell()->AsString().empty());
    ++count;
  }
  return count;
}

// Reads whatever a partly built table holds, then stores one more cell and
// finds it again with the others.
void ExerciseTable(OmPivotTable& table) {
  EXPECT_NE(table.TemplateName(), nullptr);
  for (std::size_t d = 0; d < table.NDimensions(); ++d)
    CheckDimension(table.Dimension(static_cast<int>(d)));
  const std::size_t cells = CheckCells(table);
  for (const OmFootnote& footnote : table.Footnotes()) {
    if (footnote.Text() != nullptr) {
      EXPECT_FALSE(footnote.Text()->AsString().empty());
    }
  }
  const OmPivotTable& view = table;
  for (const OmCellText* text : {view.GetTableTitle(), view.Caption(), view.CornerText()}) {
    if (text != nullptr) {
      EXPECT_FALSE(text->AsString().empty());
    }
  }
  for (int area = FormatArea::Title; area <= FormatArea::Borders; ++area) {
    const FormatArea* format = table.getAreaFormat(static_cast<FormatArea::Area>(area));
    if (format != nullptr) {
      EXPECT_EQ(format->getArea(), area);
    }
  }
  if (table.NDimensions() == 0) return;
  const std::vector<int> index(table.NDimensions(), 0);
  const bool replacing = table.Cell(index) != nullptr;
  table.Cell(index, Text("after the failure"));
  ASSERT_NE(table.Cell(index), nullptr);
  EXPECT_EQ(table.Cell(index)->AsString(), "after the failure");
  EXPECT_EQ(CheckCells(table), replacing ? cells : cells + 1);
}

// Puts a group labelled group with leaves labelled leaves under the
// dimension's root, through the sorted child index (Child) or in arrival
// order (AddNewChild). Leaves are numbered from *subscript on.
void AddGroup(OmDimension& dimension, const std::string& group,
              const std::vector<std::string>& leaves, bool sorted, std::size_t* subscript) {
  const OmDimension::Node parent =
      sorted ? dimension.Child(dimension.Root(), Text(group), OmDimensionNode::kNoSubscript, true)
             : dimension.AddNewChild(dimension.Root(), Text(group), OmDimensionNode::kNoSubscript,
                                     true);
  for (const std::string& leaf : leaves) {
    if (sorted) {
      dimension.Child(parent, Text(leaf), (*subscript)++, false);
    } else {
      dimension.AddNewChild(parent, Text(leaf), (*subscript)++, false);
    }
  }
}

// A composite cell: a number followed by a note nested under a string.
std::unique_ptr<OmComposite> Composite(double value) {
  auto composite = std::make_unique<OmComposite>();
  const OmComposite::PartTree::Node number =
      composite->AddPart(composite->Parts().Root(), OmNumber(value));
  composite->AddPart(number, Text(" (estimated)"));
  return composite;
}

// Builds the table of the pivot-table sweep into table: back-end settings
// with fast tables (two trackers), a grouped and a flat dimension, cells of
// several kinds with metadata carried over a replacement, a third dimension
// added over the stored cells, footnotes, title, caption and corner text,
// area formats, styles and the axes. 3 dimensions of 5, 3 and 2 categories
// and 20 cells.
void BuildTable(std::unique_ptr<OmPivotTable>& table) {
  table.reset(new OmPivotTable(Text("Crosstabulation"), Text("Tables"), true));
  BackendSettings settings;
  settings.setLocale("de_DE");
  settings.setUnicode(false);
  settings.setFastTables(true);
  table->setBackendSettings(settings);

  std::size_t subscript = 0;
  OmDimension& region = table->AddDimension(Text("Region"));
  AddGroup(region, "North", {"Oslo", "Bergen"}, true, &subscript);
  AddGroup(region, "South", {"Rome", "Nice"}, false, &subscript);
  region.Child(region.Root(), Text("Capital"), subscript++, false);
  subscript = 0;
  OmDimension& measure = table->AddDimension(Text("Measure"));
  for (const char* label : {"Count", "Mean", "Note"})
    measure.AddNewChild(measure.Root(), Text(label), subscript++, false);

  for (int r = 0; r < 5; ++r) {
    table->Cell({r, 0}, OmNumber(10.0 * r));
    table->Cell({r, 1}, OmValue(r + 0.5, "half", OmCellText::Labels));
    table->Cell({r, 2}, *Composite(r));
  }
  OmCellMetaData meta;
  meta.Set("origin", "survey");
  table->Cell({0, 0})->setMeta(meta);
  table->Cell({0, 0}, OmNumber(-1.0));  // keeps the metadata
  table->Cell({0, 0})->Footnotes().push_back(0);

  OmDimension& year = table->AddDimension(Text("Year"));  // the cells move to 2023
  year.AddNewChild(year.Root(), Text("2023"), 0, false);
  year.AddNewChild(year.Root(), Text("2024"), 1, false);
  for (int r = 0; r < 5; ++r)
    table->Cell({r, 0, 1}, OmNumber(100.0 + r));

  const OmStringCell footnote = Text("Estimated from a sample.");
  const OmStringCell second = Text("See the appendix.");
  table->Footnote(OmFootnote(&footnote, &second, nullptr), false);
  table->Footnote(OmFootnote(&footnote, nullptr, nullptr), false);  // counted again
  table->Footnote(OmFootnote(&second, nullptr, nullptr), true);
  table->SetTableTitle(Text("Counts by region"));
  const OmStringCell caption = Text("Source: survey");
  table->Caption(&caption);
  const OmStringCell corner = Text("Region / Year");
  table->CornerText(&corner);

  for (FormatArea::Area area : {FormatArea::Title, FormatArea::Data, FormatArea::Caption}) {
    auto format = std::make_unique<FormatArea>(area);
    format->setFontName("Sans Serif");
    format->setBackgroundColor("#ffffff");
    table->setAreaFormat(format.release());
  }
  table->cellStyles().push_back(OmCellProperties());
  table->emptyCellStyles()[5] = 1;
  table->setTableCustomWidths({60, 80, 80});
  table->setTableLookInfo("look");

  table->Rows().push_back(0);
  table->Columns().push_back(1);
  table->Layers().push_back(2);
  table->EndTable();
}

// What BuildTable makes when nothing fails.
void CheckBuiltTable(const OmPivotTable& table) {
  EXPECT_EQ(table.NDimensions(), 3u);
  EXPECT_EQ(table.SizeVector(), (std::vector<int>{5, 3, 2}));
  EXPECT_EQ(CheckCells(table), 20u);
  ASSERT_EQ(table.Footnotes().size(), 2u);
  EXPECT_EQ(table.Footnotes()[0].Count(), 2);
  const OmCellText* first = table.Cell({0, 0, 0});
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(first->hasMeta());
  EXPECT_EQ(first->getMeta()->Get("origin"), "survey");
  ASSERT_NE(table.getU8Tracker(), nullptr);
  EXPECT_NE(table.getU8Tracker(), table.getICUTracker());
  EXPECT_EQ(table.Cell({2, 2, 0})->getTracker(), table.getICUTracker());
}

TEST(OmMemoryRegionFailAfter, FailsOneAllocationAfterTheCountedOnes) {
  OmMemoryRegion arena(false);
  OmMemoryRegion heapBacked(true);
  void* warm = arena.Allocate(16);  // takes the arena's first chunk
  EXPECT_EQ(OmMemoryRegion::FailAfter(3), -1) << "off by default";
  void* first = arena.Allocate(16);        // counted once
  void* second = heapBacked.Allocate(16);  // counted by Allocate and by the global new
  EXPECT_EQ(OmMemoryRegion::FailAfter(0), 0);
  EXPECT_THROW(arena.Allocate(16), std::bad_alloc);
  EXPECT_EQ(OmMemoryRegion::FailAfter(-1), -1) << "fired, and off since";
  EXPECT_EQ(arena.BlocksInUse(), 2u) << "the failed allocation took nothing";
  void* third = arena.Allocate(16);
  OmMemoryRegion::FailAfter(0);
  EXPECT_THROW(heapBacked.Allocate(16), std::bad_alloc) << "heap-backed regions fail too";
  EXPECT_EQ(OmMemoryRegion::FailAfter(-1), -1);

  OmMemoryRegion::FailAfter(1);
  EXPECT_FALSE(OmMemoryRegion::ShouldFailAllocation());
  EXPECT_THROW(static_cast<void>(std::make_unique<int>(1)), std::bad_alloc)
      << "the global operator new of this program shares the countdown";
  EXPECT_EQ(OmMemoryRegion::FailAfter(-1), -1);
  EXPECT_FALSE(OmMemoryRegion::ShouldFailAllocation()) << "never while off";

  for (void* block : {warm, first, second, third})
    OmMemoryRegion::Release(block);
  EXPECT_EQ(arena.BlocksInUse(), 0u);
}

TEST(AllocationFailureSweep, BuildingAPivotTable) {
  const long failed = Sweep([](long allowed) {
    std::unique_ptr<OmPivotTable> table;
    const Outcome outcome = RunFailing(allowed, [&] { BuildTable(table); });
    if (table != nullptr) {
      if (!outcome.caught) CheckBuiltTable(*table);
      ExerciseTable(*table);
    }
    return outcome;
  });
  EXPECT_GT(failed, 200);
  ::testing::Test::RecordProperty("failed_runs", static_cast<int>(failed));
}

// The tables the headings are swept over. Dense: rows Region (grouped, one
// hidden leaf) within Sex, columns Year (grouped), layers Measure, with a
// few combinations left empty. Sparse: 20 x 15 x 2 positions holding 5
// cells, fewer than one in a hundred, so that the search for non-empty
// positions walks the cells.
std::unique_ptr<OmPivotTable> HeadingTable(bool sparse) {
  auto table = std::make_unique<OmPivotTable>(Text("Table"), Text("Tables"), false);
  const OmStringCell corner = Text("corner");
  table->CornerText(&corner);
  std::size_t subscript = 0;
  if (!sparse) {
    OmDimension& region = table->AddDimension(Text("Region"));
    AddGroup(region, "North", {"Oslo", "Bergen"}, true, &subscript);
    AddGroup(region, "South", {"Rome", "Nice"}, false, &subscript);
    region.Root().FirstChild().FirstChild()->Hide(true);
    OmDimension& sex = table->AddDimension(Text("Sex"));
    sex.AddNewChild(sex.Root(), Text("Female"), 0, false);
    sex.AddNewChild(sex.Root(), Text("Male"), 1, false);
    subscript = 0;
    OmDimension& year = table->AddDimension(Text("Year"));
    AddGroup(year, "Past", {"2022", "2023"}, false, &subscript);
    year.AddNewChild(year.Root(), Text("2024"), subscript++, false);
    OmDimension& measure = table->AddDimension(Text("Measure"));
    measure.AddNewChild(measure.Root(), Text("Count"), 0, false);
    measure.AddNewChild(measure.Root(), Text("Percent"), 1, false);
    for (int r = 0; r < 4; ++r) {
      for (int s = 0; s < 2; ++s) {
        for (int y = 0; y < 3; ++y) {
          for (int m = 0; m < 2; ++m) {
            if ((r + y) % 3 == 2 || (s == 1 && r == 3)) continue;
            table->Cell({r, s, y, m}, OmNumber(1000.0 * m + 100 * r + 10 * s + y));
          }
        }
      }
    }
    table->Rows().push_back(0);
    table->Rows().push_back(1);
    table->Columns().push_back(2);
    table->Layers().push_back(3);
  } else {
    for (const char* name : {"Item", "Respondent", "Wave"}) {
      OmDimension& dimension = table->AddDimension(Text(name));
      const int count = name[0] == 'I' ? 20 : name[0] == 'R' ? 15 : 2;
      for (int k = 0; k < count; ++k)
        dimension.AddNewChild(dimension.Root(), Text(name + std::to_string(k)), k, false);
    }
    for (int k = 0; k < 5; ++k)
      table->Cell({4 * k, 3 * k, k % 2}, OmNumber(k));
    table->Rows().push_back(0);
    table->Columns().push_back(1);
    table->Layers().push_back(2);
  }
  table->EndTable();
  return table;
}

// A number standing for what the headings show over layer 1: every label
// stack, category stack and heading slice, the corner texts, the layer
// labels, and every displayed cell.
std::uint64_t ReadHeadings(OmPivotTable& table, OmDisplayLayerHeading& layers,
                           const OmDisplayColumnHeading& columns, const OmDisplayRowHeading& rows) {
  std::uint64_t digest = 0;
  auto add = [&digest](const std::deque<OmDimension::ConstNode*>& stack) {
    for (const OmDimension::ConstNode* node : stack)
      digest = 31 * digest + (node == nullptr ? 1 : (*node)->Text()->TextLength());
  };
  for (int i = 0; i < layers.NDimensions(); ++i)
    add(layers.Nodes(i));
  for (int c = 0; c < columns.NColumns(); ++c) {
    add(columns.Column(c));
    add(columns.ColumnCategories(c));
  }
  for (int r = 0; r < columns.NRows(); ++r)
    add(columns.Row(r));
  for (int r = 0; r < rows.NRows(); ++r) {
    add(rows.Row(r));
    add(rows.RowCategories(r));
  }
  for (int c = 0; c < rows.NColumns(); ++c)
    add(rows.Column(c));
  for (const OmCellText* text : rows.CornerText())
    digest = 31 * digest + (text == nullptr ? 1 : text->TextLength());
  std::vector<int> index;
  for (int r = 0; r < rows.NRows(); ++r) {
    for (int c = 0; c < columns.NColumns(); ++c) {
      layers.Fill(index);
      columns.Fill(index, c);
      rows.Fill(index, r);
      const OmCellText* cell = table.Cell(index);
      digest = 31 * digest + (cell == nullptr ? 7 : cell->TextLength());
    }
  }
  return digest;
}

// The heading sweeps: over table, with hideEmpty and namesInCorner as given.
struct HeadingCase {
  const char* name;
  bool sparse;
  bool hideEmpty;
  bool namesInCorner;
};

const HeadingCase kHeadingCases[] = {
    {"dense", false, false, false},
    {"dense_hide_empty", false, true, true},
    {"sparse_hide_empty", true, true, false},
};

// Builds the column and row headings over layer 1 of table and reads them,
// failing one allocation after another; the layer heading too when
// withLayerHeading, else it is built before the failures start.
long SweepHeadings(OmPivotTable& table, const HeadingCase& test, bool withLayerHeading) {
  OmMemoryRegion& tableRegion = table.Dimension(0).Region();
  const std::size_t tableBlocks = tableRegion.BlocksInUse();
  std::uint64_t expected = 0;
  return Sweep([&](long allowed) {
    std::unique_ptr<OmDisplayLayerHeading> layers;
    std::unique_ptr<OmDisplayColumnHeading> columns;
    std::unique_ptr<OmDisplayRowHeading> rows;
    auto buildLayers = [&] {
      layers = std::make_unique<OmDisplayLayerHeading>(table, test.hideEmpty);
      layers->SwitchLayer(1);
    };
    if (!withLayerHeading) buildLayers();
    std::uint64_t digest = 0;
    const Outcome outcome = RunFailing(allowed, [&] {
      if (withLayerHeading) buildLayers();
      columns = std::make_unique<OmDisplayColumnHeading>(*layers, test.hideEmpty);
      rows = std::make_unique<OmDisplayRowHeading>(*layers, test.hideEmpty, test.namesInCorner);
      digest = ReadHeadings(table, *layers, *columns, *rows);
    });
    if (allowed < 0) expected = digest;
    if (!outcome.caught) {
      EXPECT_EQ(digest, expected);
    }
    if (layers != nullptr) {
      EXPECT_EQ(layers->getLayer(), 1);
      EXPECT_EQ(layers->getCurrentCellIndex().size(), table.NDimensions());
      EXPECT_FALSE(layers->Nodes(0).empty());
    }
    if (columns != nullptr && rows != nullptr) {
      EXPECT_EQ(ReadHeadings(table, *layers, *columns, *rows), expected) << "run " << allowed;
    } else if (columns != nullptr && columns->NColumns() > 0) {
      EXPECT_EQ(columns->Column(0).size(), static_cast<std::size_t>(columns->NRows()));
    }
    rows.reset();
    columns.reset();
    layers.reset();
    EXPECT_EQ(tableRegion.BlocksInUse(), tableBlocks) << "the headings changed the table";
    return outcome;
  });
}

TEST(AllocationFailureSweep, BuildingAndReadingTheColumnAndRowHeadings) {
  for (const HeadingCase& test : kHeadingCases) {
    SCOPED_TRACE(test.name);
    const std::unique_ptr<OmPivotTable> table = HeadingTable(test.sparse);
    const long failed = SweepHeadings(*table, test, false);
    EXPECT_GT(failed, 50);
    ::testing::Test::RecordProperty(std::string("failed_runs_") + test.name,
                                    static_cast<int>(failed));
  }
}

// Disabled while the layer heading's constructor leaks: when an allocation
// fails after it has laid out some dimensions, their records, whose label
// paths live in std::deque, are never destroyed. Run it with
// --gtest_also_run_disabled_tests.
TEST(AllocationFailureSweep, BuildingAndReadingAllThreeHeadings) {
  for (const HeadingCase& test : kHeadingCases) {
    SCOPED_TRACE(test.name);
    const std::unique_ptr<OmPivotTable> table = HeadingTable(test.sparse);
    const long failed = SweepHeadings(*table, test, true);
    EXPECT_GT(failed, 50);
    ::testing::Test::RecordProperty(std::string("failed_runs_") + test.name,
                                    static_cast<int>(failed));
  }
}

// The source of the dimension copies: a grouped dimension three levels deep
// with hidden nodes and a group hiding its labels, a flat one, and one whose
// labels are numbers and a composite.
std::unique_ptr<OmPivotTable> CopySource() {
  auto table = std::make_unique<OmPivotTable>(Text("Source"), Text("Tables"), false);
  std::size_t subscript = 0;
  OmDimension& place = table->AddDimension(Text("Place"));
  AddGroup(place, "Europe", {"Oslo", "Rome"}, true, &subscript);
  AddGroup(place, "Asia", {"Delhi", "Osaka"}, false, &subscript);
  const OmDimension::Node europe = place.Root().FirstChild();
  const OmDimension::Node nordic =
      place.Child(europe, Text("Nordic"), OmDimensionNode::kNoSubscript, true);
  nordic->HideLabels(true);
  place.Child(nordic, Text("Turku"), subscript++, false)->Hide(true);
  place.Child(nordic, Text("Aarhus"), subscript++, false);
  OmDimension& flat = table->AddDimension(Text("Statistic"));
  for (int k = 0; k < 12; ++k)
    flat.AddNewChild(flat.Root(), Text("s" + std::to_string(k)), static_cast<std::size_t>(k),
                     false);
  OmDimension& mixed = table->AddDimension(Text("Value"));
  mixed.AddNewChild(mixed.Root(), OmNumber(1.5), 0, false);
  mixed.AddNewChild(mixed.Root(), *Composite(2.5), 1, false);
  mixed.Root()->Hide(true);
  return table;
}

TEST(AllocationFailureSweep, CopyingDimensionsIntoANewTable) {
  const std::unique_ptr<OmPivotTable> source = CopySource();
  const long failed = Sweep([&](long allowed) {
    std::unique_ptr<OmPivotTable> target;
    const Outcome outcome = RunFailing(allowed, [&] {
      target.reset(new OmPivotTable(Text("Target"), Text("Tables"), false));
      target->CopyDimensions(*source);
    });
    if (target != nullptr) {
      if (!outcome.caught) {
        EXPECT_EQ(target->NDimensions(), source->NDimensions());
      }
      for (std::size_t d = 0; d < target->NDimensions(); ++d) {
        EXPECT_TRUE(SameTree(target->Dimension(static_cast<int>(d)),
                             source->Dimension(static_cast<int>(d))))
            << "dimension " << d << " after run " << allowed;
      }
      ExerciseTable(*target);
    }
    return outcome;
  });
  EXPECT_GT(failed, 50);
  ::testing::Test::RecordProperty("failed_runs", static_cast<int>(failed));
}

// A table with a dimension of its own holding one cell, which the copies of
// the first `copies` dimensions of source are added to.
std::unique_ptr<OmPivotTable> CopyTarget(const OmPivotTable& source, std::size_t copies) {
  auto table = std::make_unique<OmPivotTable>(Text("Target"), Text("Tables"), false);
  OmDimension& own = table->AddDimension(Text("Own"));
  own.AddNewChild(own.Root(), Text("only"), 0, false);
  table->Cell({0}, Text("the first cell"));
  for (std::size_t d = 0; d < copies; ++d)
    table->AddDimension(source.Dimension(static_cast<int>(d)));
  return table;
}

TEST(AllocationFailureSweep, AddingCopiesOfDimensionsOverStoredCells) {
  const std::unique_ptr<OmPivotTable> source = CopySource();
  const long failed = Sweep([&](long allowed) {
    std::unique_ptr<OmPivotTable> target = CopyTarget(*source, 0);
    const Outcome outcome = RunFailing(allowed, [&] {
      for (std::size_t d = 0; d < source->NDimensions(); ++d)
        target->AddDimension(source->Dimension(static_cast<int>(d)));
    });
    const std::size_t copies = target->NDimensions() - 1;
    if (!outcome.caught) {
      EXPECT_EQ(copies, source->NDimensions());
    }
    for (std::size_t d = 0; d < copies; ++d) {
      EXPECT_TRUE(SameTree(target->Dimension(static_cast<int>(d + 1)),
                           source->Dimension(static_cast<int>(d))));
    }
    // The cell moved to subscript 0 of every added dimension, and a failed
    // copy holds no block of the table's region: a table that made only the
    // copies that succeeded holds as many.
    EXPECT_EQ(CheckCells(*target), 1u);
    const OmCellText* first = target->Cell(std::vector<int>(target->NDimensions(), 0));
    EXPECT_TRUE(first != nullptr && first->AsString() == "the first cell") << "run " << allowed;
    const std::unique_ptr<OmPivotTable> reference = CopyTarget(*source, copies);
    EXPECT_EQ(target->Dimension(0).Region().BlocksInUse(),
              reference->Dimension(0).Region().BlocksInUse())
        << "run " << allowed;
    ExerciseTable(*target);
    return outcome;
  });
  EXPECT_GT(failed, 50);
  ::testing::Test::RecordProperty("failed_runs", static_cast<int>(failed));
}

// (level, outline text) of every entry, "-" for a null item.
std::vector<std::pair<int, std::string>> Shape(const OmOutputTree& tree) {
  std::vector<std::pair<int, std::string>> shape;
  for (const auto& entry : tree.List()) {
    shape.emplace_back(entry.level,
                       entry.item != nullptr ? entry.item->OutlineText()->AsString() : "-");
  }
  return shape;
}

// Checks the outline's level invariants: the root alone at level 0, and no
// entry more than one level below the one before it. Every item's text must
// be readable.
void CheckOutline(const OmOutputTree& tree) {
  int previous = -1;
  int roots = 0;
  for (const auto& entry : tree.List()) {
    EXPECT_LE(entry.level, previous + 1);
    EXPECT_GE(entry.level, 0);
    if (entry.level == 0) ++roots;
    if (entry.item != nullptr) {
      EXPECT_NE(entry.item->OutlineText(), nullptr);
    }
    previous = entry.level;
  }
  EXPECT_EQ(roots, 1);
}

// Output
//   Frequencies (a procedure)
//     Notes
//       Log
//       Statistics (a table with cells)
//     Frequency table
//     Charts
//       Chart note
//   Descriptives (a procedure)
//     Summary
std::unique_ptr<OmOutputTree> Document() {
  auto tree = std::make_unique<OmOutputTree>();
  auto adopt = [](Node parent, OmOutputPart* item) {
    std::unique_ptr<OmOutputPart> owned(item);
    const Node added = parent.AppendChild(item);
    owned.release();
    return added;
  };
  auto table = [](const std::string& name) {
    auto made = std::make_unique<OmPivotTable>(Text(name), Text("Tables"), false);
    OmDimension& dimension = made->AddDimension(Text("Value"));
    for (int k = 0; k < 3; ++k)
      dimension.AddNewChild(dimension.Root(), Text("v" + std::to_string(k)), k, false);
    for (int k = 0; k < 3; ++k)
      made->Cell({k}, OmNumber(k));
    made->Columns().push_back(0);
    made->EndTable();
    return made.release();
  };
  const Node root = tree->Root();
  const Node frequencies =
      adopt(root, new OmProcedure(Text("Frequencies"), "en", "UTF-8", "en_US"));
  const Node notes = adopt(frequencies, new OmHeading(Text("Notes")));
  adopt(notes, new OmTextBlock(Text("Log"), "UTF-8"));
  adopt(notes, table("Statistics"));
  adopt(frequencies, table("Frequency table"));
  const Node charts = adopt(frequencies, new OmHeading(Text("Charts")));
  adopt(charts, new OmTextBlock(Text("Chart note"), "UTF-8"));
  const Node descriptives =
      adopt(root, new OmProcedure(Text("Descriptives"), "en", "UTF-8", "en_US"));
  adopt(descriptives, new OmTextBlock(Text("Summary"), "UTF-8"));
  return tree;
}

using Shaped = std::vector<std::pair<int, std::string>>;

// Amputates the entry at `position` of a fresh Document(), failing one
// allocation after another, and checks the completed result against
// expected.
long SweepAmputate(int position, const Shaped& expected) {
  const OmStringCell text = Text("Cut");
  return Sweep([&](long allowed) {
    std::unique_ptr<OmOutputTree> tree = Document();
    auto entry = tree->List().begin();
    std::advance(entry, position);
    const Node n(tree.get(), entry);
    const Outcome outcome = RunFailing(allowed, [&] { Amputate(n, &text, "UTF-8"); });
    CheckOutline(*tree);
    if (!outcome.caught) {
      EXPECT_EQ(Shape(*tree), expected);
    }
    tree.reset();
    return outcome;
  });
}

TEST(AllocationFailureSweep, AmputatingAnItemBelowTheRoot) {
  const long failed = SweepAmputate(
      1, {{0, "Output"}, {1, "Frequencies"}, {2, "Cut"}, {1, "Descriptives"}, {2, "Summary"}});
  EXPECT_GT(failed, 3);
  ::testing::Test::RecordProperty("failed_runs", static_cast<int>(failed));
}

TEST(AllocationFailureSweep, AmputatingADeeperItem) {
  const long failed = SweepAmputate(2, {{0, "Output"},
                                        {1, "Frequencies"},
                                        {2, "Log"},
                                        {2, "Statistics"},
                                        {2, "Notes"},
                                        {2, "Frequency table"},
                                        {2, "Charts"},
                                        {3, "Chart note"},
                                        {1, "Descriptives"},
                                        {2, "Summary"}});
  EXPECT_GT(failed, 3);
  ::testing::Test::RecordProperty("failed_runs", static_cast<int>(failed));
}

}  // namespace
