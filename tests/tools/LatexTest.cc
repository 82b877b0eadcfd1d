// Tests of the LaTeX export: the exact text of a small table whose labels
// hold every character LaTeX treats specially. latex_check.py checks the
// structure of whole documents.

#include <gtest/gtest.h>

#include <string>

#include "Latex.h"
#include "tests/backend/omtree/DisplayTestSupport.h"

namespace {

using namespace display_test;  // NOLINT: table builders

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

TEST(LatexTable, SpecialCharactersEscaped) {
  OmOutputTree tree;
  auto* table = new OmPivotTable(Text("T"), Text("T"), false);
  tree.Root().AppendChild(table);
  AddDimension(*table, "R_%", {Leaf("a#$")});
  AddDimension(*table, "C&", {Leaf("x^~"), Leaf("y\\{}")});
  table->Cell({0, 0}, OmNumber(2));
  table->Cell({0, 1}, Text("p|<q>\nr"));
  table->Rows().push_back(0);
  table->Columns().push_back(1);
  table->EndTable();

  EXPECT_EQ(
      omrender::RenderLatex(tree, omrender::Options(), false),
      "\\section*{Output}\n"
      "\n"
      "\\begin{table}[htbp]\n"
      "\\centering\n"
      "\\caption{T}\n"
      "\\begin{tabular}{llrr}\n"
      "\\toprule\n"
      "\\multicolumn{2}{l}{} & \\multicolumn{2}{c}{C\\&} \\\\\n"
      "\\cmidrule(lr){3-4}\n"
      "\\multicolumn{2}{l}{} & x\\textasciicircum{}\\textasciitilde{} & "
      "y\\textbackslash{}\\{\\} \\\\\n"
      "\\midrule\n"
      "R\\_\\% & a\\#\\$ & 2 & \\shortstack[r]{p\\textbar{}\\textless{}q\\textgreater{}\\\\r} "
      "\\\\\n"
      "\\bottomrule\n"
      "\\end{tabular}\n"
      "\\end{table}\n");
  const std::string document = omrender::RenderLatex(tree, omrender::Options(), true);
  EXPECT_EQ(document.rfind("\\documentclass{article}\n", 0), 0u);
  EXPECT_NE(document.find("\\usepackage{booktabs,multirow}\n"), std::string::npos);
  EXPECT_EQ(document.substr(document.size() - 15), "\\end{document}\n");
}

}  // namespace
