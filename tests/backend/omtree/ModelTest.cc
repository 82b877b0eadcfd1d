// Binary payload items: which setters make a model a container, payload
// pieces appended byte for byte (models, answer trees and charts), copies
// that own their detail; and the first number of a composite, found depth
// first without recursion.

#include "backend/omtree/AnswerTree.h"
#include "backend/omtree/Chart.h"
#include "backend/omtree/Model.h"
#include "backend/omtree/Utility.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

// Each setter appends exactly the bytes it is given, zeros included, to the
// string its getter returns and to no other.
template <typename Part>
void ExpectAppends(Part& part,
                   const std::vector<std::pair<void (Part::*)(const char*, unsigned),
                                               const std::string& (Part::*)() const>>& members) {
  for (const auto& [set, get] : members) {
    (part.*set)("a\0b", 3);
    (part.*set)("\0cdef", 2);
    EXPECT_EQ((part.*get)(), std::string("a\0b\0c", 5));
  }
}

TEST(OmOutputPayload, PiecesAppendExactlyTheGivenBytesAndContainersMakeTheModelType) {
  OmModel model(Text("Model"));
  ExpectAppends<OmModel>(model, {{&OmModel::SetPMML, &OmModel::GetPMML},
                                 {&OmModel::SetBinaryDataStream, &OmModel::GetBinaryDataStream}});
  EXPECT_EQ(model.GetModelType(), OmModel::Plain) << "only containers change the type";
  model.SetPMMLContainer("", 0);
  EXPECT_EQ(model.GetModelType(), OmModel::Container) << "even an empty piece counts";
  model.SetModelType(OmModel::Plain);
  ExpectAppends<OmModel>(model, {{&OmModel::SetPMMLContainer, &OmModel::GetPMMLContainer},
                                 {&OmModel::SetStatXMLContainer, &OmModel::GetStatXMLContainer}});
  EXPECT_EQ(model.GetModelType(), OmModel::Container) << "whatever is set last";
  OmAnswerTree tree(Text("Tree"), "windows-1252");
  ExpectAppends<OmAnswerTree>(
      tree, {{&OmAnswerTree::SetPath, &OmAnswerTree::GetPath},
             {&OmAnswerTree::SetUncompressedXML, &OmAnswerTree::GetUncompressedXml},
             {&OmAnswerTree::SetUncompressedDisplayXML, &OmAnswerTree::GetUncompressedDisplayXML}});
  OmChart chart(Text("Chart"), "");
  ExpectAppends<OmChart>(chart, {{&OmChart::SetXmlDescription, &OmChart::GetXmlDescription},
                                 {&OmChart::SetBinaryDataStream, &OmChart::GetXmlData},
                                 {&OmChart::SetImageStream, &OmChart::GetImageData}});

  // Compressed pieces append while their uncompressed length is replaced.
  tree.SetCompressedXML("\x1f\0\x8b", 3, 10);
  tree.SetCompressedXML("\0abc", 4, 20);
  EXPECT_EQ(tree.GetCompressedXml(), std::string("\x1f\0\x8b\0abc", 7));
  EXPECT_EQ(tree.GetXmlUncompressedLength(), 20u);
  // Reserving for the compressed length keeps the contents.
  chart.SetXmlCompressedLength(4096);
  EXPECT_EQ(chart.GetXmlDescription(), std::string("a\0b\0c", 5));
  EXPECT_GE(chart.GetXmlDescription().capacity(), 4096u);
  EXPECT_FALSE(chart.hasMap());
  chart.SetMapInfo("\0", 1);
  EXPECT_TRUE(chart.hasMap());
}

// Run under the sanitizers: a copy that shared its source's outline text or
// detail record would be read after free here.
TEST(OmModelAndAnswerTreeCopy, CopyOwnsEverythingAfterTheSourceIsGone) {
  auto model = std::make_unique<OmModel>(Text("Model"));
  model->SetStatXMLContainer("s", 1);
  auto tree = std::make_unique<OmAnswerTree>(Text("Tree"), "UTF-8");
  tree->SetPath("p", 1);
  tree->SetTreeType(3);
  OmModel modelCopy(*model);
  OmAnswerTree treeCopy(*tree);
  modelCopy.SetPMML("+", 1);
  treeCopy.SetPath("+", 1);
  EXPECT_TRUE(model->GetPMML().empty() && tree->GetPath() == "p") << "the sources are untouched";
  model.reset();
  tree.reset();
  EXPECT_TRUE(modelCopy.OutlineText()->AsString() == "Model" && modelCopy.GetPMML() == "+" &&
              modelCopy.GetModelType() == OmModel::Container);
  EXPECT_TRUE(treeCopy.OutlineText()->AsString() == "Tree" && treeCopy.GetPath() == "p+" &&
              treeCopy.GetTreeType() == 3);
}

// Depth first, in part order: the number at the root is not a part, null
// parts are skipped but their children are read, and a number nested in an
// earlier part beats a later child of the root.
TEST(OmUtilityFirstNumber, DepthFirstBelowTheRootSkippingNullParts) {
  OmComposite composite;
  EXPECT_EQ(OmUtility::GetFirstNumber(composite), nullptr);
  const auto root = composite.Parts().Root();
  delete *root;
  *root = new OmNumber(7);
  composite.AddPart(composite.AddPart(root, Text("s")), Text("t"));
  EXPECT_EQ(OmUtility::GetFirstNumber(composite), nullptr);

  auto blank = composite.AddPart(root, Text(""));
  delete *blank;
  *blank = nullptr;
  auto inner = composite.AddPart(composite.AddPart(root, Text("h")), Text("i"));
  delete *inner;
  *inner = nullptr;
  const OmCellText* expected = *composite.AddPart(inner, OmNumber(3));
  composite.AddPart(root, OmNumber(4));
  EXPECT_EQ(OmUtility::GetFirstNumber(composite), expected);
}

TEST(OmUtilityFirstNumber, FindsTheOnlyNumberAtTheBottomOfADeepChain) {
  OmComposite composite;
  auto node = composite.Parts().Root();
  for (int level = 1; level < 100000; ++level)
    node = composite.AddPart(node, Text("x"));
  const OmCellText* bottom = *composite.AddPart(node, OmNumber(5));
  EXPECT_EQ(OmUtility::GetFirstNumber(composite), bottom);
}

}  // namespace
