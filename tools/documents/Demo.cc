#include "Demo.h"

#include <memory>
#include <string>
#include <vector>

namespace omrender {

namespace {

using Node = OmDimension::Node;

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

// A leaf category with the next free subscript of its dimension.
Node AddLeaf(OmDimension& dimension, const Node& parent, const std::string& label) {
  return dimension.AddNewChild(parent, Text(label),
                               static_cast<std::size_t>(dimension.NumCategories()), false);
}

Node AddGroup(OmDimension& dimension, const Node& parent, const std::string& label) {
  return dimension.AddNewChild(parent, Text(label), OmDimensionNode::kNoSubscript, true);
}

// The command line that, run on the survey's file, would make the demo's
// crosstab.
const char kCommand[] = "omtree-view survey.csv --rows region --cols sex --layers year,wave";

std::unique_ptr<OmPivotTable> NotesTable() {
  auto table = std::make_unique<OmPivotTable>(Text("Notes"), Text("Notes"), false);
  table->SetTableTitle(Text("Notes"));
  OmDimension& topics = table->AddDimension(Text("Topic"));
  topics.Root()->Hide(true);
  AddLeaf(topics, topics.Root(), "Made");
  Node input = AddGroup(topics, topics.Root(), "Input");
  AddLeaf(topics, input, "File");
  AddLeaf(topics, input, "Rows read");
  AddLeaf(topics, topics.Root(), "Command");
  OmDimension& values = table->AddDimension(Text("Value"));
  values.Root()->Hide(true);
  values.Root()->HideLabels(true);
  AddLeaf(values, values.Root(), "Value");
  const char* entries[] = {"2026-12-05 10:00:00", "survey.csv", "1,204", kCommand};
  for (int i = 0; i < 4; ++i)
    table->Cell({i, 0}, Text(entries[i]));
  table->Rows().push_back(0);
  table->Columns().push_back(1);
  table->EndTable();
  return table;
}

std::unique_ptr<OmPivotTable> Crosstab() {
  auto table = std::make_unique<OmPivotTable>(Text("Region by Sex"), Text("Crosstab"), false);
  BackendSettings settings;
  settings.setLocale("en_US");
  settings.setUnicode(true);
  settings.setFastTables(true);
  table->setBackendSettings(settings);
  table->SetTableTitle(Text("Respondents by Region and Sex"));

  // Footnotes first: texts carry the numbers the table gives them.
  const OmStringCell estimated = Text("Estimated from a partial count.");
  const OmStringCell suburbs = Text("Includes the suburbs.");
  const int estimate = table->Footnote(OmFootnote(&estimated, nullptr, nullptr), false);
  const int suburb = table->Footnote(OmFootnote(&suburbs, nullptr, nullptr), false);

  // Rows: regions in nested groups; one group hides its labels, and one
  // category is hidden.
  OmDimension& region = table->AddDimension(Text("Region"));
  Node europe = AddGroup(region, region.Root(), "Europe");
  Node north = AddGroup(region, europe, "North");
  AddLeaf(region, north, "Oslo");
  OmStringCell bergen = Text("Bergen");
  bergen.Footnotes().push_back(static_cast<short>(suburb));
  region.AddNewChild(north, bergen, static_cast<std::size_t>(region.NumCategories()), false);
  Node south = AddGroup(region, europe, "South");
  AddLeaf(region, south, "Madrid");
  AddLeaf(region, south, "Unknown")->Hide(true);
  Node other = AddGroup(region, region.Root(), "Elsewhere");
  other->HideLabels(true);
  AddLeaf(region, other, "Remote sites");

  OmDimension& sex = table->AddDimension(Text("Sex"));
  AddLeaf(sex, sex.Root(), "Male");
  AddLeaf(sex, sex.Root(), "Female");

  OmDimension& year = table->AddDimension(Text("Year"));
  AddLeaf(year, year.Root(), "2025");
  AddLeaf(year, year.Root(), "2026");
  OmDimension& wave = table->AddDimension(Text("Wave"));
  AddLeaf(wave, wave.Root(), "Spring");
  AddLeaf(wave, wave.Root(), "Autumn");

  for (int y = 0; y < 2; ++y) {
    for (int w = 0; w < 2; ++w) {
      for (int r = 0; r < 5; ++r) {
        for (int s = 0; s < 2; ++s) {
          if (r == 3) continue;  // the hidden category holds nothing
          OmNumber count(10 * (r + 1) + 3 * s + 20 * y + 7 * w);
          if (r == 4 && s == 1) count.Footnotes().push_back(static_cast<short>(estimate));
          table->Cell({r, s, y, w}, count);
        }
      }
    }
  }
  table->Rows().push_back(0);
  table->Columns().push_back(1);
  table->Layers().push_back(3);
  table->Layers().push_back(2);
  table->EndTable();
  const OmStringCell caption = Text("Counts of respondents.");
  table->Caption(&caption);
  const OmStringCell corner = Text("Count");
  table->CornerText(&corner);
  return table;
}

std::unique_ptr<OmPivotTable> WarningsTable() {
  auto table = std::make_unique<OmPivotTable>(Text("Warnings"), Text("Warnings"), false);
  table->SetTableTitle(Text("Warnings"));
  OmDimension& warnings = table->AddDimension(Text("Warnings"));
  warnings.Root()->Hide(true);
  AddLeaf(warnings, warnings.Root(), "1");
  OmDimension& column = table->AddDimension(Text("Text"));
  column.Root()->Hide(true);
  column.Root()->HideLabels(true);
  AddLeaf(column, column.Root(), "Text");
  table->Cell({0, 0}, Text("The category Unknown holds no cases and is not shown."));
  table->Rows().push_back(0);
  table->Columns().push_back(1);
  table->EndTable();
  return table;
}

template <typename Item>
void Append(ListTree<OmOutputPart*>::Node parent, std::unique_ptr<Item> item) {
  parent.AppendChild(item.get());
  item.release();
}

}  // namespace

std::unique_ptr<OmOutputTree> MakeDemoDocument() {
  auto tree = std::make_unique<OmOutputTree>();
  ListTree<OmOutputPart*>::Node root = tree->Root();

  auto title = std::make_unique<OmPageTitle>("UTF-8");
  title->TextList().push_back("Survey of regions, December 2026");
  Append(root, std::move(title));

  auto log = std::make_unique<OmTextBlock>(Text("Log"), "UTF-8");
  log->TextList().push_back(std::string("$ ") + kCommand);
  log->TextList().push_back("survey.csv: 1,204 rows read, 0 left out.");
  Append(root, std::move(log));

  auto procedure = std::make_unique<OmProcedure>(Text("Crosstab"), "en", "UTF-8", "en_US");
  procedure->SetCommand(kCommand);
  ListTree<OmOutputPart*>::Node crosstabs = root.AppendChild(procedure.get());
  procedure.release();
  Append(crosstabs, NotesTable());
  Append(crosstabs, WarningsTable());
  Append(crosstabs, Crosstab());

  auto note = std::make_unique<OmTextBlock>(Text("Note"), "UTF-8");
  note->TextList().push_back("Counts below 15 are estimates.");
  note->TextList().push_back("Wave names follow the survey calendar.");
  Append(crosstabs, std::move(note));

  auto chart = std::make_unique<OmChart>(Text("Bar chart of region"), "");
  const std::string xml = "<chart type=\"bar\"/>";
  chart->SetXmlDescription(xml.data(), static_cast<unsigned>(xml.size()));
  const char image[16] = {};
  chart->SetImageStream(image, sizeof image);
  Append(crosstabs, std::move(chart));

  auto model = std::make_unique<OmModel>(Text("Regression model"));
  const std::string pmml = "<PMML version=\"4.4\"/>";
  model->SetPMML(pmml.data(), static_cast<unsigned>(pmml.size()));
  model->SetPMMLContainer(pmml.data(), static_cast<unsigned>(pmml.size()));
  Append(crosstabs, std::move(model));

  auto answerTree = std::make_unique<OmAnswerTree>(Text("Decision tree"), "UTF-8");
  answerTree->SetTreeType(2);
  const std::string treeXml = "<tree nodes=\"7\"/>";
  answerTree->SetUncompressedXML(treeXml.data(), static_cast<unsigned>(treeXml.size()));
  Append(crosstabs, std::move(answerTree));
  return tree;
}

}  // namespace omrender
