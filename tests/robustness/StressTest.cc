// Ten million stored cells: a table of 2500 rows x 100 columns x 40 layers
// is built, iterated once, shown through the headings for one layer and
// destroyed, and the peak resident size of the process must stay below a
// bound.
//
// Every cell is a number, 64 bytes in the table's region (a 48-byte object
// and its block header), and the 4000 leaf nodes of the cell store hold 2500
// slots each, so the table itself takes about 690 MiB. The peak measured on
// x86-64 Linux with g++ (RelWithDebInfo and unoptimised builds alike) is
// about 705 MiB; kPeakBoundMiB leaves about 30% above it. A store or cell
// layout that grows per cell by a pointer or more crosses the bound.
//
// The test takes a few seconds in an optimised build, far too long under
// the sanitizers or valgrind: it carries the CTest label "stress", and
// sanitizer builds leave it out.

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "backend/omtree/DisplayColumnHeading.h"
#include "backend/omtree/DisplayLayerHeading.h"
#include "backend/omtree/DisplayRowHeading.h"
#include "backend/omtree/PivotTable.h"

namespace {

constexpr int kRows = 2500;
constexpr int kColumns = 100;
constexpr int kLayers = 40;
constexpr long kPeakBoundMiB = 920;

// The value stored at (row, column, layer): the cell's position in the
// order of iteration, in which rows vary fastest.
double ValueAt(int row, int column, int layer) {
  return row + static_cast<double>(kRows) * (column + static_cast<double>(kColumns) * layer);
}

OmStringCell Text(const std::string& bytes) {
  return OmStringCell(bytes, nullptr, false);
}

// The number that cell holds, or -1 when it holds no number.
double NumberIn(const OmCellText* cell) {
  if (cell == nullptr || cell->OrderCode() != OmNumber::kOrderCode) return -1;
  return static_cast<const OmNumber*>(cell)->Value();
}

// The label at the bottom of a heading's label stack.
std::string InnermostLabel(const std::deque<OmDimension::ConstNode*>& stack) {
  return stack.empty() || stack.back() == nullptr ? "" : (*stack.back())->Text()->AsString();
}

TEST(OmPivotTableStress, TenMillionCellsWithinTheMemoryBound) {
  auto table = std::make_unique<OmPivotTable>(Text("Stress"), Text("Tables"), false);
  for (const auto& [name, count] : {std::pair{"r", kRows}, {"c", kColumns}, {"l", kLayers}}) {
    OmDimension& added = table->AddDimension(Text(name));
    for (int k = 0; k < count; ++k)
      added.AddNewChild(added.Root(), Text(name + std::to_string(k)), k, false);
  }
  table->Rows().push_back(0);
  table->Columns().push_back(1);
  table->Layers().push_back(2);
  table->EndTable();
  std::vector<int> index(3);
  for (index[2] = 0; index[2] < kLayers; ++index[2]) {
    for (index[1] = 0; index[1] < kColumns; ++index[1]) {
      for (index[0] = 0; index[0] < kRows; ++index[0])
        table->Cell(index, OmNumber(ValueAt(index[0], index[1], index[2])));
    }
  }

  // One pass over every cell: they come in the order of their values.
  long count = 0;
  long wrong = 0;
  for (auto it = std::as_const(*table).FirstCell(); it.Cell() != nullptr; ++it, ++count)
    if (NumberIn(it.Cell()) != static_cast<double>(count)) ++wrong;
  EXPECT_EQ(count, static_cast<long>(kRows) * kColumns * kLayers);

  {  // The first rows of one layer through the headings: labels and cells.
    constexpr int kLayer = 17;
    OmDisplayLayerHeading layers(*table, false);
    ASSERT_TRUE(layers.SwitchLayer(kLayer));
    const OmDisplayColumnHeading columns(layers, false);
    const OmDisplayRowHeading rows(layers, false, false);
    ASSERT_EQ(columns.NColumns(), kColumns);
    ASSERT_EQ(rows.NRows(), kRows);
    for (int r = 0; r < 1000; ++r) {
      if (r % 97 == 0 && InnermostLabel(rows.Row(r)) != "r" + std::to_string(r)) ++wrong;
      for (int c = 0; c < kColumns; ++c) {
        if (r == 0 && InnermostLabel(columns.Column(c)) != "c" + std::to_string(c)) ++wrong;
        layers.Fill(index);
        columns.Fill(index, c);
        rows.Fill(index, r);
        if (NumberIn(table->Cell(index)) != ValueAt(r, c, kLayer)) ++wrong;
      }
    }
  }
  EXPECT_EQ(wrong, 0) << "cells out of order, wrong labels or wrong cells";

  table.reset();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
#if defined(__APPLE__)
  const long peak = static_cast<long>(usage.ru_maxrss / (1024 * 1024));  // bytes
#else
  const long peak = static_cast<long>(usage.ru_maxrss / 1024);  // KiB
#endif
  ::testing::Test::RecordProperty("peak_resident_mib", static_cast<int>(peak));
  EXPECT_LT(peak, kPeakBoundMiB);
}

}  // namespace
