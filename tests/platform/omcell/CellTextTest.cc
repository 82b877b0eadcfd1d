#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "backend/omtree/cell/Cell.h"
#include "platdep/icuTracker.h"

namespace {

using ::testing::ElementsAre;

using TextPtr = std::unique_ptr<OmCellText>;

OmStringCell Text(const std::string& bytes) {
  return OmStringCell(bytes, nullptr, false);
}

// Records which visit slot each text reaches.
class KindRecorder : public OmCellText::Visitor {
 public:
  void Visit(OmComposite&) override { kinds.push_back("composite"); }
  void Visit(OmStringCell&) override { kinds.push_back("string"); }
  void Visit(OmNumber&) override { kinds.push_back("number"); }
  void Visit(OmVariable&) override { kinds.push_back("variable"); }
  void Visit(OmValue&) override { kinds.push_back("value"); }
  void Visit(OmMissing&) override { kinds.push_back("missing"); }

  std::vector<std::string> kinds;
};

TEST(OmCellTextKinds, EachKindVisitsItsOwnSlot) {
  OmStringCell text = Text("a");
  OmNumber number(1.0);
  OmVariable variable("age", "Age in years", OmCellText::Labels);
  OmValue value(1.0, "Male", OmCellText::Labels);
  OmMissing missing;
  OmComposite composite;
  KindRecorder recorder;
  for (OmCellText* each :
       std::vector<OmCellText*>{&text, &number, &variable, &value, &missing, &composite}) {
    each->Accept(recorder);
  }
  EXPECT_THAT(recorder.kinds,
              ElementsAre("string", "number", "variable", "value", "missing", "composite"));
}

std::string Shown(double value, int decimals) {
  OmNumber number(value);
  number.SetDecimals(decimals);
  return number.AsString();
}

TEST(OmCellTextStrings, KindsShowTheirContent) {
  OmStringCell cafe = Text("Caf\xC3\xA9");
  EXPECT_EQ(cafe.TextLength(), 5u) << "bytes, not characters";
  cafe.SetFormattedString("CAFE");
  EXPECT_EQ(cafe.AsFormattedString(), "CAFE");
  EXPECT_EQ(cafe.AsString(), "Caf\xC3\xA9");
  EXPECT_EQ(cafe.AsEngString(), "Caf\xC3\xA9");
  EXPECT_EQ(Text("x").AsFormattedString(), "x");
  EXPECT_EQ(Text(std::string("a\0b", 3)).AsString(), std::string("a\0b", 3));

  EXPECT_EQ(Shown(3.14159, 2), "3.14");
  EXPECT_EQ(Shown(3.14159, 0), "3");
  EXPECT_EQ(Shown(3.14159, OmNumber::kShortest), "3.14159");
  EXPECT_EQ(Shown(1e300, 1).size(), 303u) << "301 digits, the mark and one decimal";
  OmNumber pi(3.14159);
  pi.SetDecimals(2);
  EXPECT_EQ(pi.TextLength(), 4u);
  EXPECT_EQ(OmNumber(-2.0).AsString(), "-2");
  EXPECT_EQ(OmNumber(1e300).AsString(), "1e+300");
  EXPECT_EQ(OmNumber(std::nan("")).AsString(), "nan");

  EXPECT_EQ(OmVariable("age", "Age", OmCellText::Names).AsString(), "age");
  EXPECT_EQ(OmVariable("age", "Age", OmCellText::Labels).AsString(), "Age");
  EXPECT_EQ(OmVariable("age", "Age", OmCellText::NamesAndLabels).AsString(), "Age [age]");
  EXPECT_EQ(OmVariable("age", "", OmCellText::Labels).AsString(), "age");
  EXPECT_EQ(OmVariable("age", "Age", OmCellText::Labels).AsEngString(), "age");
  EXPECT_EQ(OmValue(2, "Female", OmCellText::NamesAndLabels).AsString(), "Female [2]");
  EXPECT_EQ(OmValue(2.5, "", OmCellText::Labels).AsString(), "2.5");
  EXPECT_EQ(OmMissing().AsString(), ".");
}

// A varied population of texts of every kind, including the awkward values.
std::vector<TextPtr> Population(std::mt19937& random) {
  std::vector<TextPtr> texts;
  const double numbers[] = {
      0.0, -0.0, 1.0, -1.5, 1e-300, 1e300, std::numeric_limits<double>::infinity(), std::nan("")};
  for (int i = 0; i < 300; ++i) {
    std::string bytes;
    for (std::size_t n = random() % 4; n > 0; --n)
      bytes += "ab\0\xff"[random() % 4];
    const double number = numbers[random() % 8];
    const auto mode = static_cast<OmCellText::ModeType>(random() % 3);
    const unsigned kind = random() % 5;
    if (kind == 0) {
      texts.emplace_back(new OmStringCell(bytes, nullptr, random() % 2 == 0));
    } else if (kind == 1) {
      auto* text = new OmNumber(number);
      text->SetDecimals(static_cast<int>(random() % 3) - 1);
      texts.emplace_back(text);
    } else if (kind == 2) {
      texts.emplace_back(new OmVariable(bytes, bytes.empty() ? "" : bytes.substr(1), mode));
    } else if (kind == 3) {
      texts.emplace_back(new OmValue(number, bytes, mode));
    } else {
      texts.emplace_back(new OmMissing());
    }
  }
  return texts;
}

TEST(OmCellTextOrder, CompareIsATotalOrderAcrossKinds) {
  std::mt19937 random(11);
  std::vector<TextPtr> texts = Population(random);
  for (const TextPtr& a : texts) {
    ASSERT_EQ(a->Compare(*a), 0) << a->AsString();
    for (const TextPtr& b : texts) {
      const short ab = a->Compare(*b);
      ASSERT_TRUE(ab >= -1 && ab <= 1);
      ASSERT_EQ(ab, -b->Compare(*a)) << a->AsString() << " vs " << b->AsString();
    }
  }
  std::sort(texts.begin(), texts.end(),
            [](const TextPtr& a, const TextPtr& b) { return a->Compare(*b) < 0; });
  // Transitivity: in the sorted sequence no later text orders before an
  // earlier one.
  for (std::size_t i = 0; i < texts.size(); ++i) {
    for (std::size_t j = i + 1; j < texts.size(); ++j) {
      ASSERT_LE(texts[i]->Compare(*texts[j]), 0) << i << ", " << j;
    }
  }
  EXPECT_EQ(texts.front()->OrderCode(), OmMissing::kOrderCode);
}

TEST(OmCellTextOrder, KindSpecificOrders) {
  EXPECT_EQ(Text("ab").Compare(Text("b")), -1);
  EXPECT_EQ(Text("ab").Compare(Text("a")), 1);
  EXPECT_EQ(Text("\xff").Compare(Text("a")), 1) << "bytes compare unsigned";
  EXPECT_EQ(OmNumber(2).Compare(OmNumber(10)), -1);
  EXPECT_EQ(OmNumber(std::nan("")).Compare(OmNumber(1e308)), 1);
  EXPECT_EQ(OmNumber(std::nan("")).Compare(OmNumber(std::nan(""))), 0);
  EXPECT_EQ(OmValue(1, "b", OmCellText::Labels).Compare(OmValue(2, "a", OmCellText::Labels)), -1);
  EXPECT_EQ(OmNumber(5).Compare(Text("5")), -1) << "numbers first";
}

TEST(OmCellTextClone, CloneIsADeepCopyInTheGivenRegion) {
  OmMemoryRegion region(false);
  OmMemoryRegion other(false);
  icuTracker tracker({true, "en_US"});

  TextPtr original(new (&region) OmStringCell("Total", &region, false));
  OmCellMetaData meta;
  meta.Set("id", "7");
  original->setMeta(meta);
  meta.Set("id", "8");  // setMeta took a copy
  original->Footnotes().push_back(2);
  original->setMarkers({"*"});
  original->setTracker(&tracker);

  TextPtr clone(original->Clone(&other));
  EXPECT_EQ(OmMemoryRegion::Of(clone.get()), &other);
  EXPECT_EQ(clone->Compare(*original), 0);
  ASSERT_TRUE(clone->hasMeta());
  EXPECT_EQ(clone->getMeta()->Get("id"), "7");
  EXPECT_EQ(clone->getMeta()->Get("absent"), "");
  EXPECT_THAT(clone->Footnotes(), ElementsAre(2));
  EXPECT_THAT(clone->getMarkers(), ElementsAre("*"));
  EXPECT_EQ(clone->getTracker(), &tracker);

  clone->Footnotes().push_back(5);
  EXPECT_THAT(original->Footnotes(), ElementsAre(2));

  // Every block of the original (the object and its two byte copies) goes
  // back to its region with it; the clone stays whole.
  EXPECT_EQ(region.BlocksInUse(), 3u);
  original.reset();
  EXPECT_EQ(region.BlocksInUse(), 0u);
  EXPECT_EQ(clone->AsEngString(), "Total");

  // The other kinds, without annotations: the clones read none either.
  for (const OmCellText* text : std::vector<const OmCellText*>{
           new (&region) OmNumber(4.5), new (&region) OmMissing(),
           new (&region) OmVariable("v", "V", OmCellText::NamesAndLabels),
           new (&region) OmValue(3, "three", OmCellText::NamesAndLabels)}) {
    const TextPtr copy(text->Clone(&other));
    const OmCellText& read = *copy;
    EXPECT_EQ(OmMemoryRegion::Of(copy.get()), &other);
    EXPECT_EQ(copy->AsString(), text->AsString());
    EXPECT_EQ(copy->Compare(*text), 0);
    EXPECT_TRUE(!read.hasMeta() && read.getMeta() == nullptr && read.getTracker() == nullptr);
    EXPECT_TRUE(read.Footnotes().empty() && read.getMarkers().empty());
    delete text;
  }
  EXPECT_EQ(region.BlocksInUse(), 0u);
}

// "Mean " then 2.50 with a nested note "a", then " (n=3)".
void FillMean(OmComposite& composite) {
  OmComposite::PartTree::Node root = composite.Parts().Root();
  composite.AddPart(root, Text("Mean "));
  OmNumber mean(2.5);
  mean.SetDecimals(2);
  OmComposite::PartTree::Node number = composite.AddPart(root, mean);
  composite.AddPart(number, Text("a"));
  composite.AddPart(root, Text(" (n=3)"));
}

TEST(OmCompositeParts, ReadInPreOrderAndCloneDeeply) {
  OmMemoryRegion region(false);
  OmMemoryRegion other(false);
  TextPtr composite(new (&region) OmComposite(&region));
  FillMean(static_cast<OmComposite&>(*composite));
  EXPECT_EQ(composite->AsString(), "Mean 2.50a (n=3)");
  EXPECT_EQ(composite->TextLength(), 16u);
  EXPECT_TRUE(composite->IsComposite());

  TextPtr clone(composite->Clone(&other));
  EXPECT_EQ(clone->Compare(*composite), 0);
  const auto& parts = static_cast<const OmComposite&>(*clone).Parts();
  EXPECT_EQ(parts.Region(), &other);
  EXPECT_EQ(parts.Root().Child(1).FirstChild().Value()->AsString(), "a");
  EXPECT_EQ(OmMemoryRegion::Of(*parts.Root().Child(1)), &other) << "parts are not shared";

  composite.reset();
  EXPECT_EQ(region.BlocksInUse(), 0u) << "every part and child block goes with the composite";
  EXPECT_EQ(clone->AsString(), "Mean 2.50a (n=3)");
  clone.reset();
  EXPECT_EQ(other.BlocksInUse(), 0u);
}

TEST(OmCompositeParts, CompareReadsPartsInOrder) {
  OmComposite mean;
  FillMean(mean);
  OmComposite prefix;
  prefix.AddPart(prefix.Parts().Root(), Text("Mean "));
  EXPECT_EQ(prefix.Compare(mean), -1) << "a proper prefix orders first";
  EXPECT_EQ(mean.Compare(prefix), 1);

  OmComposite different;
  different.AddPart(different.Parts().Root(), Text("Max "));
  EXPECT_EQ(different.Compare(mean), -1);

  OmComposite withNull;
  withNull.Parts().AppendChild(withNull.Parts().Root(), nullptr);
  EXPECT_EQ(withNull.Compare(prefix), -1) << "a missing part orders first";
  EXPECT_EQ(withNull.AsString(), "");
  EXPECT_EQ(Text("zzz").Compare(mean), -1) << "strings before composites";
}

TEST(OmCompositeParts, DeepPartTreesCloneAndDieWithoutRecursion) {
  OmComposite composite;
  OmComposite::PartTree::Node node = composite.Parts().Root();
  const OmStringCell piece("x", nullptr, false);
  for (int level = 0; level < 100000; ++level)
    node = composite.AddPart(node, piece);
  TextPtr clone(composite.Clone(nullptr));
  EXPECT_EQ(clone->TextLength(), 100000u);
  EXPECT_EQ(clone->Compare(composite), 0);
}

}  // namespace
