// Saving an output document: a producer builds a small document (a heading,
// a note and a table of counts) and saves it with omdoc::Save to the file
// named on the command line. Any program can then open it again, with
// omdoc::Load (see load.cc) or with `omtree-view FILE.json`.
//
//   omtree_example_save document.json

#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "Document.h"
#include "backend/omtree/omtree.h"

namespace {

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

// Counts of respondents by sex (rows) and smoking (columns); one footnote.
OmPivotTable* SmokersBySex() {
  auto* table = new OmPivotTable(Text("Smokers by sex"), Text("Crosstab"), false);
  table->SetTableTitle(Text("Smokers by sex"));
  OmDimension& sex = table->AddDimension(Text("Sex"));
  sex.AddNewChild(sex.Root(), Text("Male"), 0, false);
  sex.AddNewChild(sex.Root(), Text("Female"), 1, false);
  OmDimension& smoker = table->AddDimension(Text("Smoker"));
  smoker.AddNewChild(smoker.Root(), Text("Yes"), 0, false);
  smoker.AddNewChild(smoker.Root(), Text("No"), 1, false);

  const OmStringCell estimated = Text("Estimated.");
  OmNumber twelve(12);
  twelve.Footnotes().push_back(
      static_cast<short>(table->Footnote(OmFootnote(&estimated, nullptr, nullptr), false)));
  table->Cell({0, 0}, twelve);
  table->Cell({0, 1}, OmNumber(30));
  table->Cell({1, 0}, OmNumber(9));
  table->Cell({1, 1}, OmNumber(41));
  table->Rows().push_back(0);
  table->Columns().push_back(1);
  table->EndTable();
  return table;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: omtree_example_save FILE.json\n";
    return 2;
  }
  OmOutputTree tree;
  auto* heading = new OmHeading(Text("Survey"));
  ListTree<OmOutputPart*>::Node survey = tree.Root().AppendChild(heading);
  auto* note = new OmTextBlock(Text("Note"), "UTF-8");
  note->TextList().push_back("Counts of respondents.");
  survey.AppendChild(note);
  survey.AppendChild(SmokersBySex());

  std::ofstream out(argv[1], std::ios::binary);
  omdoc::Save(tree, out);
  out.close();
  if (!out) {
    std::cerr << argv[1] << ": cannot write\n";
    return 1;
  }
  return 0;
}
