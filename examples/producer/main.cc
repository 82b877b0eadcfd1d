// The producer's side of omtree: builds the output of one procedure run, a
// procedure heading with one pivot table below it, step by step. Then it
// reads back what it built, prints a short summary and exits non-zero when
// the summary differs from what it put in.
//
// The table counts respondents by sex (rows), age group (columns) and region
// (layers):
//
//   Region: North                           Region: South
//            Under 18  Adults                        Under 18  Adults
//                      18-39  40-64                            18-39  40-64
//   Male           12     30     25         Male           9a     27      0
//   Female         14     41     22         Female         11     33     29
//
// a: a footnote. A zero count is simply not stored: the cell store is sparse.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "backend/omtree/omtree.h"

namespace {

// Every label, title and note is a cell text. The library keeps clones of the
// texts it is given, so temporaries will do.
OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

// counts[region][sex][age], with the subscripts the categories get below.
constexpr int kCounts[2][2][3] = {{{12, 30, 25}, {14, 41, 22}}, {{9, 27, 0}, {11, 33, 29}}};
constexpr int kStoredCells = 11;  // every count but the zero

// Builds the table. The caller receives it before it joins an output tree.
std::unique_ptr<OmPivotTable> MakeTable() {
  // 1. The table: its outline label, and the template it is made from.
  std::unique_ptr<OmPivotTable> table(
      new OmPivotTable(Text("Region by sex"), Text("Crosstab"), false));

  // 2. Back-end settings come first. Asking for fast tables makes the table's
  //    code-page tracker, which is then stamped into every text it stores.
  BackendSettings settings;
  settings.setLocale("en_US");
  settings.setUnicode(true);
  settings.setFastTables(true);
  table->setBackendSettings(settings);

  // 3. Dimensions, numbered 0, 1, 2 in the order they are added. Each leaf
  //    category gets a subscript, its position along the dimension's axis of
  //    the cell store: 0, 1, ... Groups gather categories under a label and
  //    have no subscript.
  OmDimension& sex = table->AddDimension(Text("Sex"));
  sex.Child(sex.Root(), Text("Male"), 0, false);
  sex.Child(sex.Root(), Text("Female"), 1, false);

  OmDimension& age = table->AddDimension(Text("Age group"));
  age.Child(age.Root(), Text("Under 18"), 0, false);
  // A node handle stays valid until its parent's children change, so the
  // group is filled before anything else is added beside it.
  OmDimension::Node adults =
      age.Child(age.Root(), Text("Adults"), OmDimensionNode::kNoSubscript, true);
  age.Child(adults, Text("18-39"), 1, false);
  age.Child(adults, Text("40-64"), 2, false);

  OmDimension& region = table->AddDimension(Text("Region"));
  region.Child(region.Root(), Text("North"), 0, false);
  region.Child(region.Root(), Text("South"), 1, false);

  // 4. Cells. A cell index holds one subscript per dimension, dimension 0
  //    first: {sex, age, region}.
  for (int r = 0; r < 2; ++r) {
    for (int s = 0; s < 2; ++s) {
      for (int a = 0; a < 3; ++a) {
        if (kCounts[r][s][a] != 0) table->Cell({s, a, r}, OmNumber(kCounts[r][s][a]));
      }
    }
  }

  // 5. A footnote on one cell (South, Male, Under 18): register the note with
  //    the table, which answers its number, and mark the cell's text with
  //    that number before storing it (storing replaces the unmarked cell).
  const OmStringCell note = Text("Fewer respondents than planned.");
  const int number = table->Footnote(OmFootnote(&note, nullptr, nullptr), false);
  OmNumber marked(kCounts[1][0][0]);
  marked.Footnotes().push_back(static_cast<short>(number));
  table->Cell({0, 0, 1}, marked);

  // 6. The title shown above the table.
  table->SetTableTitle(Text("Respondents by sex, age group and region"));

  // 7. Which dimensions run down the rows, across the columns and through
  //    the layers; EndTable then checks that each dimension has its place.
  table->Rows().push_back(0);
  table->Columns().push_back(1);
  table->Layers().push_back(2);
  table->EndTable();
  return table;
}

int CountStoredCells(const OmPivotTable& table) {
  int cells = 0;
  for (OmPivotTable::ConstIterator it = table.FirstCell(); it.Cell() != nullptr; ++it)
    ++cells;
  return cells;
}

}  // namespace

int main() {
  // The output tree starts with its root heading, "Output". Items are made
  // with new; the tree owns each one from the moment it is appended.
  OmOutputTree output;
  OmOutputTree::Node procedure =
      output.Root().AppendChild(new OmProcedure(Text("Crosstab"), "en", "UTF-8", "en_US"));

  // Appending hands the table over; the reference stays valid while the
  // tree holds it.
  std::unique_ptr<OmPivotTable> made = MakeTable();
  const OmPivotTable& table = *made;
  procedure.AppendChild(made.release());

  // Read back what was built.
  std::vector<int> levels;
  for (const auto& entry : output.List())
    levels.push_back(entry.level);
  const int cells = CountStoredCells(table);
  const OmCellText* marked = table.Cell({0, 0, 1});
  const bool noteAttached =
      marked != nullptr && marked->Footnotes() == std::vector<short>{0} &&
      table.Footnotes().size() == 1 &&
      table.Footnotes()[0].Text()->AsString() == "Fewer respondents than planned.";

  std::printf("outline items: %d\n", output.Size());
  std::printf("dimensions: %zu (%zu x %zu x %zu categories)\n", table.NDimensions(), table.Size(0),
              table.Size(1), table.Size(2));
  std::printf("stored cells: %d\n", cells);
  const std::string title =
      table.GetTableTitle() == nullptr ? "" : table.GetTableTitle()->AsString();
  std::printf("title: %s\n", title.c_str());
  std::printf("footnote on South/Male/Under 18: %s\n", noteAttached ? "yes" : "MISSING");

  const bool ok = levels == std::vector<int>{0, 1, 2} && table.NDimensions() == 3 &&
                  table.SizeVector() == std::vector<int>{2, 3, 2} && cells == kStoredCells &&
                  title == "Respondents by sex, age group and region" && noteAttached &&
                  table.fastTable() && marked->getTracker() != nullptr &&
                  marked->getTracker() == table.getICUTracker();
  std::printf("%s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
