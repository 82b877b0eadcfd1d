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
// Every variant is replaced, so that none reaches a sanitizer's own.

namespace {

// Global blocks handed out and not yet freed.
std::atomic<long> liveGlobalBlocks{0};

void* AllocateGlobal(std::size_t size) noexcept {
  if (OmMemoryRegion::ShouldFailAllocation()) return nullptr;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) liveGlobalBlocks.fetch_add(1, std::memory_order_relaxed);
  return block;
}

void FreeGlobal(void* block) noexcept {
  if (block == nullptr) return;
  liveGlobalBlocks.fetch_sub(1, std::memory_order_relaxed);
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
  void* block = AllocateGlobal(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* operator new[](std::size_t size) {
  return operator new(size);
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

// Reaches the child indexes of category nodes through the test hook that
// OmDimension and OmDimensionNode grant the unit tests.
class OmDimensionTest {
 public:
  static std::vector<int> ChildIndex(OmDimension::ConstNode node) {
    return std::vector<int>(node->ChildIndex().begin(), node->ChildIndex().end());
  }
};

namespace {

// More runs than any sweep below needs: a sweep that reaches it never
// completed its operation.
constexpr long kMaxRuns = 100000;

OmStringCell Text(const std::string& bytes) {
  return OmStringCell(bytes, nullptr, false);
}

// The sweep driver. run(allowed, attempt) builds what it needs, performs
// its operation as attempt(operation), which lets `allowed` allocations
// succeed, fails the next one and returns whether std::bad_alloc reached
// it, then checks and destroys everything it built. The first run
// (allowed -1) fails nothing: a warm-up that also makes the library's
// lazily created state. Checks that a failure reached the test exactly when
// one was injected, that no run left a global block behind, and that more
// than minFailed runs failed before one completed.
template <typename Run>
void Sweep(long minFailed, Run&& run) {
  long allowed = -1;
  for (; allowed < kMaxRuns && !::testing::Test::HasFailure(); ++allowed) {
    const long live = liveGlobalBlocks.load();
    bool injected = false;
    run(allowed, [&](auto&& operation) {
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
      injected = allowed >= 0 && OmMemoryRegion::FailAfter(-1) < 0;
      EXPECT_EQ(caught, injected) << "run " << allowed << ": bad_alloc caught, failure injected";
      return caught;
    });
    // A failed expectation keeps its message, so blocks are counted only
    // after runs without one.
    EXPECT_TRUE(allowed < 0 || ::testing::Test::HasFailure() || liveGlobalBlocks.load() == live)
        << "run " << allowed << " leaked global blocks";
    if (allowed >= 0 && !injected) break;
  }
  EXPECT_TRUE(allowed > minFailed && allowed < kMaxRuns) << allowed << " failed runs";
  ::testing::Test::RecordProperty("failed_runs", static_cast<int>(allowed));
}

// Describes dimension's category tree in storage order: labels, subscripts
// (the root's excepted: a table numbers the roots of its dimensions), flags
// and child indexes. Checks on the way that every child index lists each
// child exactly once and that the category count is the number of leaves.
std::string Describe(const OmDimension& dimension) {
  std::string description;
  int leaves = 0;
  std::vector<OmDimension::ConstNode> pending{dimension.Root()};
  while (!pending.empty()) {
    const OmDimension::ConstNode node = pending.back();
    pending.pop_back();
    std::vector<int> index = OmDimensionTest::ChildIndex(node);
    description += node->Text()->AsString() + (node->IsGroup() ? "/g" : "/") +
                   (node.IsRoot() ? "" : std::to_string(node->Subscript())) +
                   (node->Hide() ? "h" : "") + (node->HideLabels() ? "l" : "") + "[";
    for (int k : index)
      description += std::to_string(k) + ",";
    description += "] ";
    std::sort(index.begin(), index.end());
    std::vector<int> offsets(static_cast<std::size_t>(node.NumChildren()));
    std::iota(offsets.begin(), offsets.end(), 0);
    EXPECT_EQ(index, offsets) << "the child index of " << node->Text()->AsString();
    if (!node.IsRoot() && !node->IsGroup()) ++leaves;
    for (int k = node.NumChildren() - 1; k >= 0; --k)
      pending.push_back(node.Child(k));
  }
  EXPECT_EQ(dimension.NumCategories(), leaves) << description;
  return description;
}

// Iterates over every cell of table, checks that each is found again at its
// index, and returns the number of cells.
std::size_t CheckCells(const OmPivotTable& table) {
  std::size_t count = 0;
  for (OmPivotTable::ConstIterator it = table.FirstCell(); it.Cell() != nullptr; ++it, ++count) {
    EXPECT_EQ(it.Index().size(), table.NDimensions());
    EXPECT_EQ(table.Cell(it.Index()), it.Cell());
    EXPECT_FALSE(it.Cell()->AsString().empty());
  }
  return count;
}

// Reads whatever a partly built table holds, then stores one more cell and
// finds it again with the others.
void ExerciseTable(OmPivotTable& table) {
  for (std::size_t d = 0; d < table.NDimensions(); ++d)
    Describe(table.Dimension(static_cast<int>(d)));
  for (const OmFootnote& footnote : table.Footnotes())
    EXPECT_TRUE(footnote.Text() == nullptr || !footnote.Text()->AsString().empty());
  const OmPivotTable& view = table;
  for (const OmCellText* text :
       {view.TemplateName(), view.GetTableTitle(), view.Caption(), view.CornerText()})
    EXPECT_TRUE(text == nullptr || !text->AsString().empty());
  const std::size_t cells = CheckCells(table);
  if (table.NDimensions() == 0) return;
  const std::vector<int> index(table.NDimensions(), 0);
  const bool replacing = table.Cell(index) != nullptr;
  table.Cell(index, Text("after the failure"));
  EXPECT_EQ(table.Cell(index)->AsString(), "after the failure");
  EXPECT_EQ(CheckCells(table), replacing ? cells : cells + 1);
}

constexpr std::size_t kGroup = OmDimensionNode::kNoSubscript;

// Adds a category (a group when subscript is kGroup) under parent, through
// the sorted child index (Child) or in arrival order (AddNewChild).
OmDimension::Node Add(OmDimension& dimension, OmDimension::Node parent, const char* label,
                      std::size_t subscript, bool sorted) {
  const bool group = subscript == kGroup;
  return sorted ? dimension.Child(parent, Text(label), subscript, group)
                : dimension.AddNewChild(parent, Text(label), subscript, group);
}

// Adds a dimension named name of count leaves labelled name0, name1, ...
void AddFlat(OmPivotTable& table, const std::string& name, int count) {
  OmDimension& dimension = table.AddDimension(Text(name));
  for (int k = 0; k < count; ++k)
    dimension.AddNewChild(dimension.Root(), Text(name + std::to_string(k)), k, false);
}

// Puts the dimensions on rows, columns and layers and ends the table.
void EndTable(OmPivotTable& table, std::vector<short> rows, short column, short layer) {
  for (short row : rows)
    table.Rows().push_back(row);
  table.Columns().push_back(column);
  table.Layers().push_back(layer);
  table.EndTable();
}

// A composite cell: a number followed by a note nested under a string.
std::unique_ptr<OmComposite> Composite(double value) {
  auto composite = std::make_unique<OmComposite>();
  composite->AddPart(composite->AddPart(composite->Parts().Root(), OmNumber(value)),
                     Text(" (estimated)"));
  return composite;
}

// Builds into table, with back-end settings that make two trackers: rows
// Region (groups three levels deep, a hidden leaf under a group hiding its
// labels) within Sex (its root hidden), columns Year (grouped), layers
// Measure (labelled by a number and a composite), added over the stored
// cells; cells of three kinds with metadata carried over a replacement, a
// few positions left empty; footnotes, title, caption, corner text and area
// formats. 4 dimensions of 4, 2, 3 and 2 categories, 18 cells.
void BuildTable(std::unique_ptr<OmPivotTable>& table) {
  table.reset(new OmPivotTable(Text("Region by sex"), Text("Tables"), true));
  BackendSettings settings;
  settings.setLocale("de_DE");
  settings.setUnicode(false);
  settings.setFastTables(true);
  table->setBackendSettings(settings);

  OmDimension& region = table->AddDimension(Text("Region"));
  const OmDimension::Node north = Add(region, region.Root(), "North", kGroup, true);
  Add(region, north, "Oslo", 0, true);
  const OmDimension::Node nordic = Add(region, north, "Nordic", kGroup, true);
  nordic->HideLabels(true);
  Add(region, nordic, "Turku", 1, true)->Hide(true);
  const OmDimension::Node south = Add(region, region.Root(), "South", kGroup, false);
  Add(region, south, "Rome", 2, false);
  Add(region, south, "Nice", 3, false);
  AddFlat(*table, "Sex", 2);
  table->Dimension(1).Root()->Hide(true);
  OmDimension& year = table->AddDimension(Text("Year"));
  const OmDimension::Node past = Add(year, year.Root(), "Past", kGroup, false);
  Add(year, past, "2022", 0, false);
  Add(year, past, "2023", 1, false);
  Add(year, year.Root(), "2024", 2, true);

  for (int r = 0; r < 4; ++r) {
    for (int s = 0; s < 2; ++s) {
      for (int y = 0; y < 3; ++y) {
        if ((r + y) % 3 == 2 || (s == 1 && r == 3)) continue;
        const int kind = (r + s + y) % 3;
        if (kind == 0) table->Cell({r, s, y}, OmNumber(100 * r + 10 * s + y));
        if (kind == 1) table->Cell({r, s, y}, OmValue(r + 0.5, "half", OmCellText::Labels));
        if (kind == 2) table->Cell({r, s, y}, *Composite(r));
      }
    }
  }
  OmCellMetaData meta;
  meta.Set("origin", "survey");
  table->Cell({0, 0, 0})->setMeta(meta);
  table->Cell({0, 0, 0}, OmNumber(-1.0));  // keeps the metadata
  table->Cell({0, 0, 0})->Footnotes().push_back(0);

  OmDimension& measure = table->AddDimension(Text("Measure"));  // the cells move to 0
  measure.AddNewChild(measure.Root(), OmNumber(1.5), 0, false);
  measure.AddNewChild(measure.Root(), *Composite(2.5), 1, false);
  for (int r = 0; r < 4; ++r)
    table->Cell({r, r % 2, r % 3, 1}, OmNumber(1000.0 + r));

  const OmStringCell footnote = Text("Estimated from a sample.");
  const OmStringCell second = Text("See the appendix.");
  table->Footnote(OmFootnote(&footnote, &second, nullptr), false);
  table->Footnote(OmFootnote(&footnote, nullptr, nullptr), false);  // counted again
  table->SetTableTitle(Text("Counts by region"));
  table->Caption(&footnote);
  table->CornerText(&second);
  for (FormatArea::Area area : {FormatArea::Title, FormatArea::Data})
    table->setAreaFormat(new FormatArea(area));
  EndTable(*table, {0, 1}, 2, 3);
}

// The countdown that the sweeps rely on.
TEST(OmMemoryRegionFailAfter, CountsArenasHeapBackedRegionsAndTheGlobalNew) {
  OmMemoryRegion arena(false);
  OmMemoryRegion heapBacked(true);
  void* warm = arena.Allocate(16);  // takes the arena's first chunk
  EXPECT_EQ(OmMemoryRegion::FailAfter(3), -1) << "off by default";
  void* block = heapBacked.Allocate(16);  // counted by Allocate and by the global new
  EXPECT_EQ(OmMemoryRegion::FailAfter(0), 1) << "what was left of the countdown";
  EXPECT_THROW(arena.Allocate(16), std::bad_alloc);
  EXPECT_EQ(OmMemoryRegion::FailAfter(0), -1) << "fired, and off since";
  EXPECT_EQ(arena.BlocksInUse(), 1u) << "the failed allocation took nothing";
  EXPECT_THROW(heapBacked.Allocate(16), std::bad_alloc) << "heap-backed regions fail too";
  OmMemoryRegion::FailAfter(0);
  EXPECT_THROW(static_cast<void>(std::make_unique<int>(1)), std::bad_alloc)
      << "the global operator new of this program shares the countdown";
  EXPECT_FALSE(OmMemoryRegion::ShouldFailAllocation()) << "never while off";
  OmMemoryRegion::Release(warm);
  OmMemoryRegion::Release(block);
}

TEST(AllocationFailureSweep, BuildingAPivotTable) {
  Sweep(200, [](long, auto&& attempt) {
    std::unique_ptr<OmPivotTable> table;
    const bool caught = attempt([&] { BuildTable(table); });
    if (table == nullptr) return;
    if (!caught) {
      EXPECT_EQ(table->SizeVector(), (std::vector<int>{4, 2, 3, 2}));
      EXPECT_EQ(CheckCells(*table), 18u);
      ASSERT_EQ(table->Footnotes().size(), 1u);
      EXPECT_EQ(table->Footnotes()[0].Count(), 2);
      EXPECT_TRUE(table->Cell({0, 0, 0, 0})->hasMeta());
    }
    ExerciseTable(*table);
  });
}

// A number standing for what the headings show over the current layer:
// every label stack, the layer labels, the corner texts and every displayed
// cell.
std::uint64_t ReadHeadings(OmPivotTable& table, OmDisplayLayerHeading& layers,
                           const OmDisplayColumnHeading& columns, const OmDisplayRowHeading& rows) {
  std::uint64_t digest = 0;
  auto add = [&digest](const OmCellText* text) {
    digest = 31 * digest + (text == nullptr ? 1 : text->TextLength());
  };
  auto addAll = [&add](const std::deque<OmDimension::ConstNode*>& stack) {
    for (const OmDimension::ConstNode* node : stack)
      add(node == nullptr ? nullptr : (*node)->Text());
  };
  for (int i = 0; i < layers.NDimensions(); ++i)
    addAll(layers.Nodes(i));
  for (const OmCellText* text : rows.CornerText())
    add(text);
  std::vector<int> index;
  for (int r = 0; r < rows.NRows(); ++r) {
    addAll(rows.Row(r));
    for (int c = 0; c < columns.NColumns(); ++c) {
      if (r == 0) addAll(columns.Column(c));
      layers.Fill(index);
      columns.Fill(index, c);
      rows.Fill(index, r);
      add(table.Cell(index));
    }
  }
  return digest;
}

// Builds the layer, column and row headings over layer 1 and reads them.
// The sparse table holds 5 cells in 20 x 15 x 2 positions, fewer than one
// in a hundred, so that the search for non-empty positions walks the cells.
TEST(AllocationFailureSweep, BuildingAndReadingTheHeadings) {
  const struct {
    bool sparse, hideEmpty, namesInCorner;
  } cases[] = {{false, false, false}, {false, true, true}, {true, true, false}};
  for (const auto& test : cases) {
    SCOPED_TRACE(::testing::Message() << test.sparse << test.hideEmpty << test.namesInCorner);
    std::unique_ptr<OmPivotTable> table;
    BuildTable(table);
    if (test.sparse) {
      table = std::make_unique<OmPivotTable>(Text("Table"), Text("Tables"), false);
      for (const char* name : {"Item", "Respondent", "Wave"})
        AddFlat(*table, name, name[0] == 'I' ? 20 : name[0] == 'R' ? 15 : 2);
      for (int k = 0; k < 5; ++k)
        table->Cell({4 * k, 3 * k, k % 2}, OmNumber(k));
      EndTable(*table, {0}, 1, 2);
    }
    const std::size_t tableBlocks = table->Dimension(0).Region().BlocksInUse();
    std::uint64_t expected = 0;
    Sweep(50, [&](long allowed, auto&& attempt) {
      // The headings of the run before are gone, and changed nothing.
      EXPECT_EQ(table->Dimension(0).Region().BlocksInUse(), tableBlocks) << "run " << allowed;
      std::unique_ptr<OmDisplayLayerHeading> layers;
      std::unique_ptr<OmDisplayColumnHeading> columns;
      std::unique_ptr<OmDisplayRowHeading> rows;
      std::uint64_t digest = 0;
      const bool caught = attempt([&] {
        layers = std::make_unique<OmDisplayLayerHeading>(*table, test.hideEmpty);
        layers->SwitchLayer(1);
        columns = std::make_unique<OmDisplayColumnHeading>(*layers, test.hideEmpty);
        rows = std::make_unique<OmDisplayRowHeading>(*layers, test.hideEmpty, test.namesInCorner);
        digest = ReadHeadings(*table, *layers, *columns, *rows);
      });
      if (allowed < 0) expected = digest;
      EXPECT_TRUE(caught || digest == expected);
      // Whatever was built before the failure reads as it should.
      EXPECT_TRUE(layers == nullptr || layers->getLayer() == 1);
      EXPECT_TRUE(rows == nullptr || ReadHeadings(*table, *layers, *columns, *rows) == expected)
          << "run " << allowed;
    });
  }
}

// Copies every dimension of a built table into an empty one with
// CopyDimensions, stores a cell, and adds a copy of the first dimension over
// it with AddDimension: the cell moves to subscript 0 of the copy. A failed
// copy holds no block of the table's region: a table that made only the
// steps that succeeded holds as many. (A failed store may keep the empty
// nodes it made.)
TEST(AllocationFailureSweep, CopyingDimensions) {
  std::unique_ptr<OmPivotTable> source;
  BuildTable(source);
  const std::size_t n = source->NDimensions();
  const std::vector<int> first(n, 0);
  auto made = [&](std::size_t copies, bool cell) {
    auto table = std::make_unique<OmPivotTable>(Text("Target"), Text("Tables"), false);
    for (std::size_t d = 0; d < copies; ++d) {
      table->AddDimension(source->Dimension(static_cast<int>(d % n)));
      if (d + 1 == n && cell) table->Cell(first, Text("the first cell"));
    }
    return table;
  };
  Sweep(50, [&](long allowed, auto&& attempt) {
    const std::unique_ptr<OmPivotTable> table = made(0, false);
    bool storing = false;
    const bool caught = attempt([&] {
      table->CopyDimensions(*source);
      storing = true;
      table->Cell(first, Text("the first cell"));
      storing = false;
      table->AddDimension(source->Dimension(0));
    });
    const std::size_t copies = table->NDimensions();
    EXPECT_TRUE(caught || copies == n + 1);
    for (std::size_t d = 0; d < copies; ++d) {
      EXPECT_EQ(Describe(table->Dimension(static_cast<int>(d))),
                Describe(source->Dimension(static_cast<int>(d % n))))
          << "run " << allowed;
    }
    const std::size_t cells = CheckCells(*table);
    const OmCellText* cell = cells == 0 ? nullptr : table->Cell(std::vector<int>(copies, 0));
    EXPECT_TRUE(cells == 0 || (cell != nullptr && cell->AsString() == "the first cell"));
    if (copies > 0 && !storing) {
      EXPECT_EQ(table->Dimension(0).Region().BlocksInUse(),
                made(copies, cells > 0)->Dimension(0).Region().BlocksInUse())
          << "run " << allowed;
    }
    ExerciseTable(*table);
  });
}

using Node = ListTree<OmOutputPart*>::Node;

// "level:outline text" of every entry, "-" for a null item. Checks the
// outline's level invariants on the way: the root alone at level 0, and no
// entry more than one level below the one before it.
std::string Shape(const OmOutputTree& tree) {
  std::string shape;
  int previous = -1;
  for (const auto& entry : tree.List()) {
    EXPECT_TRUE(entry.level >= 0 && entry.level <= previous + 1 &&
                (entry.level == 0) == (previous < 0))
        << shape;
    previous = entry.level;
    shape += std::to_string(entry.level) + ":" +
             (entry.item != nullptr ? entry.item->OutlineText()->AsString() : "-") + " ";
  }
  return shape;
}

// Amputating an item at level 1 replaces its children by a text block;
// deeper, the item becomes a text block and its children move up.
TEST(AllocationFailureSweep, AmputatingAnItem) {
  const std::pair<std::size_t, const char*> outline[] = {
      {1, "Tallies"}, {2, "Notes"}, {3, "Log"},       {3, "Statistics"}, {2, "Table"},
      {2, "Charts"},  {3, "Chart"}, {1, "Summaries"}, {2, "Summary"}};
  const std::pair<int, const char*> cases[] = {
      {1, "0:Output 1:Tallies 2:Cut 1:Summaries 2:Summary "},
      {2,
       "0:Output 1:Tallies 2:Log 2:Statistics 2:Notes 2:Table 2:Charts 3:Chart "
       "1:Summaries 2:Summary "},
  };
  const OmStringCell cut = Text("Cut");
  for (const auto& amputation : cases) {
    const auto position = amputation.first;
    const char* const expected = amputation.second;
    Sweep(3, [&](long, auto&& attempt) {
      OmOutputTree tree;
      std::vector<Node> parents{tree.Root()};
      for (const auto& [level, label] : outline) {
        auto part = std::make_unique<OmHeading>(Text(label));
        parents.erase(parents.begin() + static_cast<std::ptrdiff_t>(level), parents.end());
        parents.push_back(parents.back().AppendChild(part.get()));
        part.release();
      }
      const Node n(&tree, std::next(tree.List().begin(), position));
      const bool caught = attempt([&] { Amputate(n, &cut, "UTF-8"); });
      const std::string shape = Shape(tree);
      EXPECT_TRUE(caught || shape == expected) << shape;
    });
  }
}

}  // namespace
