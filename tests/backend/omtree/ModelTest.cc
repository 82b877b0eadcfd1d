#include "backend/omtree/AnswerTree.h"
#include "backend/omtree/Model.h"
#include "backend/omtree/Utility.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

namespace {

using ConstText = const OmCellText*;

TEST(OmModelType, PlainUntilAContainerArrivesThenWhateverIsSetLast) {
  OmModel model(OmStringCell("Model", nullptr, false));
  EXPECT_EQ(model.GetModelType(), OmModel::Plain);
  model.SetPMML("<p/>", 4);
  model.SetBinaryDataStream("bin", 3);
  EXPECT_EQ(model.GetModelType(), OmModel::Plain) << "only containers change the type";

  model.SetPMMLContainer("", 0);
  EXPECT_EQ(model.GetModelType(), OmModel::Container) << "even an empty piece counts";
  model.SetModelType(OmModel::Plain);
  EXPECT_EQ(model.GetModelType(), OmModel::Plain);
  model.SetStatXMLContainer("x", 1);
  EXPECT_EQ(model.GetModelType(), OmModel::Container);
  EXPECT_EQ(static_cast<std::int32_t>(OmModel::Container), 1);
}

TEST(OmModelPayload, AppendsExactlyTheGivenBytesZerosIncluded) {
  OmModel model(OmStringCell("Model", nullptr, false));
  model.SetPMML("a\0b", 3);
  model.SetPMML("cdef", 2);
  model.SetBinaryDataStream("\0\0", 2);
  model.SetBinaryDataStream("\0z", 2);
  model.SetPMMLContainer("q\0", 2);
  model.SetStatXMLContainer("\0", 1);
  EXPECT_EQ(model.GetPMML(), std::string("a\0bcd", 5));
  EXPECT_EQ(model.GetBinaryDataStream(), std::string("\0\0\0z", 4));
  EXPECT_EQ(model.GetPMMLContainer(), std::string("q\0", 2));
  EXPECT_EQ(model.GetStatXMLContainer(), std::string("\0", 1));
}

TEST(OmAnswerTreePayload, CompressedPiecesAppendWhileTheLengthIsReplaced) {
  OmAnswerTree tree(OmStringCell("Tree", nullptr, false), "windows-1252");
  EXPECT_EQ(tree.GetTreeType(), -1);
  EXPECT_EQ(tree.GetXmlUncompressedLength(), 0u);

  tree.SetCompressedXML("\x1f\0\x8b", 3, 10);
  tree.SetCompressedXML("\0abc", 4, 20);
  tree.SetPath("a/\0b", 4);
  tree.SetUncompressedXML("<t>", 3);
  tree.SetUncompressedXML("</t>", 4);
  tree.SetUncompressedDisplayXML("\0", 1);
  tree.SetTreeType(2);
  tree.Done();

  EXPECT_EQ(tree.GetCompressedXml(), std::string("\x1f\0\x8b\0abc", 7));
  EXPECT_EQ(tree.GetXmlUncompressedLength(), 20u);
  EXPECT_EQ(tree.GetPath(), std::string("a/\0b", 4));
  EXPECT_EQ(tree.GetUncompressedXml(), "<t></t>");
  EXPECT_EQ(tree.GetUncompressedDisplayXML(), std::string("\0", 1));
  EXPECT_EQ(tree.GetTreeType(), 2);
}

// Run under the sanitizers: a copy that shared its source's outline text or
// detail record would be read after free here.
TEST(OmModelAndAnswerTreeCopy, CopyOwnsEverythingAfterTheSourceIsGone) {
  const OmStringCell label("Model", nullptr, false);
  auto model = std::make_unique<OmModel>(label);
  model->SetPMML("pmml", 4);
  model->SetStatXMLContainer("s", 1);
  auto tree = std::make_unique<OmAnswerTree>(label, "UTF-8");
  tree->SetCompressedXML("zz", 2, 9);
  tree->SetTreeType(3);

  OmModel modelCopy(*model);
  OmAnswerTree treeCopy(*tree);
  EXPECT_NE(modelCopy.OutlineText(), model->OutlineText());
  modelCopy.SetPMML("+", 1);
  treeCopy.SetPath("p", 1);
  EXPECT_EQ(model->GetPMML(), "pmml") << "the source is untouched by the copy's appends";
  EXPECT_EQ(tree->GetPath(), "");
  model.reset();
  tree.reset();

  EXPECT_EQ(modelCopy.OutlineText()->AsString(), "Model");
  EXPECT_EQ(modelCopy.GetPMML(), "pmml+");
  EXPECT_EQ(modelCopy.GetModelType(), OmModel::Container);
  EXPECT_EQ(treeCopy.GetCompressedXml(), "zz");
  EXPECT_EQ(treeCopy.GetXmlUncompressedLength(), 9u);
  EXPECT_EQ(treeCopy.GetTreeType(), 3);
}

class RecordingVisitor : public OmOutputPart::Visitor {
 public:
  using OmOutputPart::Visitor::Visit;
  void Visit(OmModel& model) override { Record("model", &model); }
  void Visit(OmAnswerTree& tree) override { Record("tree", &tree); }
  void Visit(OmChart& chart) override { Record("chart", &chart); }
  void Visit(OmTextBlock& block) override { Record("text", &block); }
  void Visit(OmHeading& heading) override { Record("heading", &heading); }
  void Visit(OmPivotTable& table) override { Record("table", &table); }

  std::string kinds;
  const void* argument = nullptr;

 private:
  void Record(const char* kind, const void* part) {
    kinds += kind;
    argument = part;
  }
};

TEST(OmModelAndAnswerTreeDispatch, AcceptReachesTheVisitOfItsOwnClassWithItself) {
  const OmStringCell label("Item", nullptr, false);
  OmModel model(label);
  OmAnswerTree tree(label, "");
  RecordingVisitor visitor;

  static_cast<OmOutputPart&>(model).Accept(visitor);
  EXPECT_EQ(visitor.kinds, "model");
  EXPECT_EQ(visitor.argument, &model);
  static_cast<OmOutputPart&>(tree).Accept(visitor);
  EXPECT_EQ(visitor.kinds, "modeltree");
  EXPECT_EQ(visitor.argument, &tree);
}

TEST(OmUtilityFirstNumber, EmptyCompositeAndNumberAtTheRootGiveNull) {
  OmComposite composite;
  EXPECT_EQ(OmUtility::GetFirstNumber(composite), nullptr);

  OmCellText*& rootText = *composite.Parts().Root();
  delete rootText;
  rootText = new OmNumber(7);
  EXPECT_EQ(OmUtility::GetFirstNumber(composite), nullptr);
  composite.AddPart(composite.Parts().Root(), OmStringCell("s", nullptr, false));
  EXPECT_EQ(OmUtility::GetFirstNumber(composite), nullptr);
}

TEST(OmUtilityFirstNumber, NestedNumberInAnEarlierPartBeatsALaterChild) {
  OmComposite composite;
  const auto root = composite.Parts().Root();
  const auto a = composite.AddPart(root, OmStringCell("a", nullptr, false));
  const ConstText n1 = *composite.AddPart(a, OmNumber(1));
  composite.AddPart(root, OmNumber(2));
  EXPECT_EQ(OmUtility::GetFirstNumber(composite), n1);
}

TEST(OmUtilityFirstNumber, NullPartsAreSkippedButTheirChildrenAreRead) {
  OmComposite composite;
  const auto root = composite.Parts().Root();
  auto blank = composite.AddPart(root, OmStringCell("", nullptr, false));
  delete *blank;
  *blank = nullptr;
  auto holder = composite.AddPart(root, OmStringCell("h", nullptr, false));
  auto inner = composite.AddPart(holder, OmStringCell("i", nullptr, false));
  delete *inner;
  *inner = nullptr;
  const ConstText n = *composite.AddPart(inner, OmNumber(3));
  composite.AddPart(root, OmNumber(4));
  EXPECT_EQ(OmUtility::GetFirstNumber(composite), n);
}

TEST(OmUtilityFirstNumber, FindsTheOnlyNumberAtTheBottomOfADeepChain) {
  constexpr int kDepth = 100000;
  OmComposite composite;
  auto node = composite.Parts().Root();
  for (int level = 1; level < kDepth; ++level)
    node = composite.AddPart(node, OmStringCell("x", nullptr, false));
  const ConstText bottom = *composite.AddPart(node, OmNumber(5));
  EXPECT_EQ(OmUtility::GetFirstNumber(composite), bottom);
  EXPECT_EQ(OmUtility::GetFirstNumber(composite)->Value(), 5.0);
}

}  // namespace
