// Cell texts: what each kind shows, the total order across kinds, and deep
// clones into another region.
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

using TextPtr = std::unique_ptr<OmCellText>;

OmStringCell Text(const std::string& bytes) {
  return OmStringCell(bytes, nullptr, false);
}

TextPtr Number(double value, int decimals) {
  auto* number = new OmNumber(value);
  number->SetDecimals(decimals);
  return TextPtr(number);
}

// bytes, then number with two decimals and a nested note "a", then " (n=3)".
OmComposite* Composite(const std::string& bytes, double number, OmMemoryRegion* region) {
  auto* composite = new (region) OmComposite(region);
  const OmComposite::PartTree::Node root = composite->Parts().Root();
  composite->AddPart(root, Text(bytes));
  composite->AddPart(composite->AddPart(root, *Number(number, 2)), Text("a"));
  composite->AddPart(root, Text(" (n=3)"));
  return composite;
}

TEST(OmCellTextKinds, EachKindShowsItsContent) {
  OmStringCell cafe = Text("Caf\xC3\xA9");
  EXPECT_EQ(cafe.AsFormattedString(), cafe.AsString()) << "until a formatted string is set";
  cafe.SetFormattedString("CAFE");
  EXPECT_EQ(cafe.AsFormattedString(), "CAFE");
  EXPECT_TRUE(cafe.AsString() == "Caf\xC3\xA9" && cafe.AsEngString() == cafe.AsString());
  EXPECT_EQ(Text(std::string("a\0b", 3)).AsString(), std::string("a\0b", 3));

  EXPECT_EQ(Number(3.14159, 2)->AsString(), "3.14");
  EXPECT_EQ(Number(3.14159, 0)->AsString(), "3");
  EXPECT_EQ(Number(3.14159, OmNumber::kShortest)->AsString(), "3.14159");
  EXPECT_EQ(Number(1e300, 1)->AsString().size(), 303u) << "301 digits, the mark and one decimal";
  EXPECT_EQ(OmNumber(-2.0).AsString() + OmNumber(1e300).AsString(), "-21e+300");
  EXPECT_EQ(OmNumber(std::nan("")).AsString(), "nan");

  EXPECT_EQ(OmVariable("age", "Age", OmCellText::Names).AsString(), "age");
  EXPECT_EQ(OmVariable("age", "Age", OmCellText::Labels).AsString(), "Age");
  EXPECT_EQ(OmVariable("age", "Age", OmCellText::NamesAndLabels).AsString(), "Age [age]");
  EXPECT_EQ(OmVariable("age", "Age", OmCellText::Labels).AsEngString(), "age");
  EXPECT_EQ(OmValue(2.5, "", OmCellText::Labels).AsString(), "2.5");
  EXPECT_EQ(OmMissing().AsString(), ".");
}

// A varied population of texts of every kind, including the awkward values,
// each one cloned and compared with every other.
TEST(OmCellTextOrder, CompareIsATotalOrderAcrossKindsAndClonesCompareEqual) {
  std::mt19937 random(11);
  std::vector<TextPtr> texts;
  const double numbers[] = {
      0.0, -0.0, 1.0, -1.5, 1e-300, 1e300, std::numeric_limits<double>::infinity(), std::nan("")};
  for (int i = 0; i < 300; ++i) {
    std::string bytes;
    for (std::size_t n = random() % 4; n > 0; --n)
      bytes += "ab\0\xff"[random() % 4];
    const double number = numbers[random() % 8];
    const auto mode = static_cast<OmCellText::ModeType>(random() % 3);
    const unsigned kind = random() % 6;
    if (kind == 0) texts.emplace_back(new OmStringCell(bytes, nullptr, random() % 2 == 0));
    if (kind == 1) texts.push_back(Number(number, static_cast<int>(random() % 3) - 1));
    if (kind == 2)
      texts.emplace_back(new OmVariable(bytes, bytes.substr(bytes.empty() ? 0 : 1), mode));
    if (kind == 3) texts.emplace_back(new OmValue(number, bytes, mode));
    if (kind == 4) texts.emplace_back(new OmMissing());
    if (kind == 5) texts.emplace_back(Composite(bytes, number, nullptr));
  }
  OmMemoryRegion region(false);
  for (const TextPtr& a : texts) {
    const TextPtr clone(a->Clone(&region));
    ASSERT_EQ(OmMemoryRegion::Of(clone.get()), &region);
    ASSERT_EQ(clone->Compare(*a), 0) << a->AsString();
    ASSERT_EQ(clone->AsString(), a->AsString());
    for (const TextPtr& b : texts) {  // with b == a too, so Compare(*a) == 0
      const short ab = a->Compare(*b);
      ASSERT_TRUE(ab >= -1 && ab <= 1);
      ASSERT_EQ(ab, -b->Compare(*a)) << a->AsString() << " vs " << b->AsString();
    }
  }
  EXPECT_EQ(region.BlocksInUse(), 0u) << "every clone goes back with all of its parts";
  std::sort(texts.begin(), texts.end(),
            [](const TextPtr& a, const TextPtr& b) { return a->Compare(*b) < 0; });
  // Transitivity: in the sorted sequence no later text orders before an
  // earlier one.
  for (std::size_t i = 0; i < texts.size(); ++i) {
    for (std::size_t j = i + 1; j < texts.size(); ++j)
      ASSERT_LE(texts[i]->Compare(*texts[j]), 0) << i << ", " << j;
  }
  EXPECT_EQ(texts.front()->OrderCode(), OmMissing::kOrderCode);

  // The directions, which a reversed but total order would also pass above.
  EXPECT_EQ(Text("ab").Compare(Text("b")), -1);
  EXPECT_EQ(Text("ab").Compare(Text("a")), 1);
  EXPECT_EQ(Text("\xff").Compare(Text("a")), 1) << "bytes compare unsigned";
  EXPECT_EQ(OmNumber(2).Compare(OmNumber(10)), -1);
  EXPECT_EQ(OmNumber(std::nan("")).Compare(OmNumber(1e308)), 1);
  EXPECT_EQ(OmValue(1, "b", OmCellText::Labels).Compare(OmValue(2, "a", OmCellText::Labels)), -1);
  EXPECT_EQ(OmNumber(5).Compare(Text("5")), -1) << "numbers first";
}

TEST(OmCompositeParts, ReadInPreOrderCompareInOrderAndCloneDeeplyWithAnnotations) {
  OmMemoryRegion region(false);
  OmMemoryRegion other(false);
  icuTracker tracker({true, "en_US"});
  TextPtr composite(Composite("Mean ", 2.5, &region));
  EXPECT_EQ(composite->AsString(), "Mean 2.50a (n=3)");
  EXPECT_EQ(composite->TextLength(), 16u);
  EXPECT_TRUE(composite->IsComposite());
  OmCellMetaData meta;
  meta.Set("id", "7");
  composite->setMeta(meta);
  meta.Set("id", "8");  // setMeta took a copy
  composite->Footnotes().push_back(2);
  composite->setMarkers({"*"});
  composite->setTracker(&tracker);

  TextPtr clone(composite->Clone(&other));
  ASSERT_TRUE(clone->hasMeta());
  EXPECT_EQ(clone->getMeta()->Get("id"), "7");
  EXPECT_EQ(clone->getMarkers(), std::vector<std::string>{"*"});
  EXPECT_EQ(clone->getTracker(), &tracker) << "shared, not copied";
  clone->Footnotes().push_back(5);
  EXPECT_EQ(composite->Footnotes(), std::vector<short>{2}) << "copied, not shared";
  const auto& parts = static_cast<const OmComposite&>(*clone).Parts();
  EXPECT_EQ(parts.Region(), &other);
  EXPECT_EQ(parts.Root().Child(1).FirstChild().Value()->AsString(), "a");
  EXPECT_EQ(OmMemoryRegion::Of(*parts.Root().Child(1)), &other) << "parts are not shared";
  composite.reset();
  EXPECT_EQ(region.BlocksInUse(), 0u) << "every part and child block goes with the composite";
  EXPECT_EQ(clone->AsEngString(), "Mean 2.50a (n=3)");

  OmComposite prefix;
  prefix.AddPart(prefix.Parts().Root(), Text("Mean "));
  EXPECT_EQ(prefix.Compare(*clone), -1) << "a proper prefix orders first";
  EXPECT_EQ(clone->Compare(prefix), 1);
  OmComposite different;
  different.AddPart(different.Parts().Root(), Text("Max "));
  EXPECT_EQ(different.Compare(*clone), -1);
  OmComposite withNull;
  withNull.Parts().AppendChild(withNull.Parts().Root(), nullptr);
  EXPECT_EQ(withNull.Compare(prefix), -1) << "a missing part orders first";
  EXPECT_EQ(withNull.AsString(), "");
  EXPECT_EQ(Text("zzz").Compare(*clone), -1) << "strings before composites";
}

TEST(OmCompositeParts, DeepPartTreesCloneAndDieWithoutRecursion) {
  OmComposite composite;
  OmComposite::PartTree::Node node = composite.Parts().Root();
  for (int level = 0; level < 100000; ++level)
    node = composite.AddPart(node, Text("x"));
  TextPtr clone(composite.Clone(nullptr));
  EXPECT_EQ(clone->TextLength(), 100000u);
  EXPECT_EQ(clone->Compare(composite), 0);
}

}  // namespace
