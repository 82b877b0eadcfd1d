// Test support for the save/load round trip of output documents: a seeded
// generator of random documents and a deep comparison of two documents.
//
// RandomDocument builds a document through the library's public interface
// alone, reaching every item kind and every field that a setter or a
// producer call can give a value: viewer flags, payloads made of every byte
// value, every cell kind with its second forms and annotations, texts that
// are not UTF-8 or that hold zero bytes, category trees edited after they
// were built, footnote registration, axis lists left with unassigned places,
// area formats, styles, and back-end settings applied at different moments
// of a table's construction (which decides which texts carry a tracker). The
// same seed and options always give the same document: the engine is
// std::mt19937, whose output the language fixes, and no standard
// distribution (whose results vary between libraries) is used.
//
// ExpectSameDocument compares two documents through the getters only, never
// through any writer, so that it stays independent of the code under test.
// It walks the outline, category trees and composite part trees with
// explicit stacks, so chains of any depth cost no call stack. Differences
// are collected and reported as one gtest failure that lists the first of
// them, each with a readable path such as
//   item 7 (pivotTable) / cell [1,0,2] / footnotes: 2 entries vs 1 entries
// A document built by the generator keeps no pointer to itself, so two
// documents from one seed compare equal.
//
// The comparison leaves out what the public interface cannot observe or
// what a document does not carry: the viewer's client data; a chart's
// uncompressed XML length (it has no getter) and any bytes of its map-info
// record beyond the four strings; the memory regions of texts and records;
// and the private child index of category nodes.

#ifndef OMTREE_TESTS_TOOLS_DOCUMENTMODEL_H_
#define OMTREE_TESTS_TOOLS_DOCUMENTMODEL_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "backend/omtree/omtree.h"

namespace document_test {

struct RandomDocumentOptions {
  // Outline entries below the root. The first ten are one of each kind, in
  // a random order: the eight item kinds, a log block and an entry without
  // an item.
  int items = 24;
  // The deepest outline level below the root.
  int maxLevel = 5;
  // Dimensions of a pivot table, and children of a category group.
  int maxDimensions = 3;
  int maxCategories = 4;
  // Levels of category groups below a dimension's root.
  int maxCategoryDepth = 3;
  // Cells a pivot table is offered (indices may repeat).
  int maxCells = 30;
  int maxPayloadBytes = 300;
  // Nesting of composite texts: levels of a part tree, and composites
  // within parts.
  int maxCompositeDepth = 3;
  // When positive, the document ends with three chains of this many levels:
  // headings nested in the outline, and at the bottom of them a pivot table
  // whose first dimension is a chain of groups and whose first cell is a
  // composite whose parts form a chain.
  int deepLevels = 0;
};

namespace internal {

// Seeded random choices. Every draw is a plain function of the engine's
// output, the same on every platform. Callers make one draw per statement
// (or per sequenced operand): the order in which a call's arguments are
// evaluated varies between compilers.
class Random {
 public:
  explicit Random(std::uint32_t seed) : _engine(seed) {}

  // A number in [0, n). REQUIRES: n > 0.
  std::uint32_t Below(std::uint32_t n) { return _engine() % n; }
  int Below(int n) { return static_cast<int>(Below(static_cast<std::uint32_t>(n))); }
  bool Chance(int percent) { return Below(100) < percent; }
  std::uint32_t Bits32() { return _engine(); }
  std::uint64_t Bits64() {
    const std::uint64_t high = _engine();
    return (high << 32) | _engine();
  }

  template <typename T>
  const T& Pick(const std::vector<T>& values) {
    return values[static_cast<std::size_t>(Below(static_cast<int>(values.size())))];
  }

  // Fisher-Yates with Below, since std::shuffle's draws differ between
  // libraries.
  template <typename T>
  void Shuffle(std::vector<T>& values) {
    for (std::size_t i = values.size(); i > 1; --i) {
      std::swap(values[i - 1], values[Below(static_cast<std::uint32_t>(i))]);
    }
  }

 private:
  std::mt19937 _engine;
};

// Pieces of the generated strings: plain words, UTF-8 of every sequence
// length, bytes that are not UTF-8 (stray continuation, cut-off sequence,
// surrogate, overlong form, beyond U+10FFFF), zero bytes, and characters
// that a text format must escape.
inline const std::vector<std::string_view>& Atoms() {
  using namespace std::string_view_literals;  // NOLINT: "\0"sv keeps its zero byte
  // clang-format off
  static const std::vector<std::string_view> atoms = {
      "Region"sv, "income"sv, "North"sv, "South"sv, "Total"sv, "Mean"sv, "Count"sv, "Valid"sv,
      " "sv, "42"sv, "Gr\303\266\303\237e"sv, "\346\235\261\344\272\254"sv, "\360\237\230\200"sv,
      "e\314\201"sv, "\357\273\277"sv, "\342\200\250"sv, "\377"sv, "\200"sv, "\303"sv,
      "\355\240\200"sv, "\300\257"sv, "\364\220\200\200"sv, "\0"sv, "a\0b"sv, "\""sv, "\\"sv,
      "\\u0000"sv, "\t"sv, "\n"sv, "\r\n"sv, "\x01"sv, "\x1F"sv, "\x7F"sv, "</script>"sv,
      "{\"k\": [1]}"sv, "'"sv, "%s"sv};
  // clang-format on
  return atoms;
}

// How the generator draws a field's value beyond what the setter's type
// says (bytes for a string, any int32 for an integer or an enumeration):
// now and then a small integer from -1 to 2, a payload, or a colour.
enum class Draw { kByType, kSmall, kPayload, kColor };

// The fields that a setter (or a producer's appending call) gives a value
// and a getter reads back, each listed once for the generator, which sets
// it with a chance of percent, and for the comparison, which reads it:
// visit(name, getter, setter, percent[, draw]), or visit(name, member[,
// draw]) for a plain struct. A field missing here is neither made nor
// compared, which the comparison's own tests (DocumentModelTest) watch for.
template <typename Visit>
void ProcedureFields(Visit&& visit) {
  using P = OmProcedure;
  visit("command", &P::Command, &P::SetCommand, 40);
  visit("translatedCommand", &P::TransCommand, &P::SetTransCommand, 50);
  visit("outlineVarDisplay", &P::OutlineVarDisplay, &P::OutlineVarDisplay, 50);
  visit("outlineValueDisplay", &P::OutlineValueDisplay, &P::OutlineValueDisplay, 50);
  visit("tableVarDisplay", &P::TableVarDisplay, &P::TableVarDisplay, 50);
  visit("tableValueDisplay", &P::TableValueDisplay, &P::TableValueDisplay, 50);
}

template <typename Visit>
void ChartFields(Visit&& visit) {
  using C = OmChart;
  visit("xmlDescription", &C::GetXmlDescription, &C::SetXmlDescription, 100);
  visit("xmlData", &C::GetXmlData, &C::SetBinaryDataStream, 100);
  visit("image", &C::GetImageData, &C::SetImageStream, 100);
  visit("subType", &C::GetChartSubType, &C::SetImageSubType, 60);
}

template <typename Visit>
void ModelFields(Visit&& visit) {
  using M = OmModel;
  visit("pmml", &M::GetPMML, &M::SetPMML, 100);
  visit("binaryData", &M::GetBinaryDataStream, &M::SetBinaryDataStream, 100);
  visit("pmmlContainer", &M::GetPMMLContainer, &M::SetPMMLContainer, 40);
  visit("statXmlContainer", &M::GetStatXMLContainer, &M::SetStatXMLContainer, 40);
  visit("modelType", &M::GetModelType, &M::SetModelType, 30, Draw::kSmall);
}

template <typename Visit>
void AnswerTreeFields(Visit&& visit) {
  using A = OmAnswerTree;
  visit("treeType", &A::GetTreeType, &A::SetTreeType, 70);
  visit("path", &A::GetPath, &A::SetPath, 100);
  visit("uncompressedXml", &A::GetUncompressedXml, &A::SetUncompressedXML, 100);
  visit("uncompressedDisplayXml", &A::GetUncompressedDisplayXML, &A::SetUncompressedDisplayXML,
        100);
}

template <typename Visit>
void DisplayFields(Visit&& visit) {
  using T = OmPivotTable;
  visit("show", &T::Show, &T::Show, 60);
  visit("rotateRowLabels", &T::RotateRowLabels, &T::RotateRowLabels, 60);
  visit("rotateColumnLabels", &T::RotateColumnLabels, &T::RotateColumnLabels, 60);
  visit("optionNumber", &T::OptionNumber, &T::OptionNumber, 60);
  visit("tableId", &T::TableId, &T::TableId, 60);
  visit("tableLocale", &T::TableLocale, &T::TableLocale, 60);
  visit("minColumnWidth", &T::MinColumnWidth, &T::MinColumnWidth, 60);
  visit("maxColumnWidth", &T::MaxColumnWidth, &T::MaxColumnWidth, 60);
  visit("minRowWidth", &T::MinRowWidth, &T::MinRowWidth, 60);
  visit("maxRowWidth", &T::MaxRowWidth, &T::MaxRowWidth, 60);
  visit("layerLoc", &T::getLayerLoc, &T::setLayerLoc, 60, Draw::kSmall);
  visit("borderInfo", &T::getBorderInfo, &T::setBorderInfo, 60, Draw::kPayload);
  visit("tableLookInfo", &T::getTableLookInfo, &T::setTableLookInfo, 60);
  visit("tablePropertiesInfo", &T::getTablePropertiesInfo, &T::setTablePropertiesInfo, 60);
  visit("customWidths", &T::getTableCustomWidths, &T::setTableCustomWidths, 60);
  visit("customHeights", &T::getTableCustomHeights, &T::setTableCustomHeights, 60);
  visit("backendOwns", &T::backendOwns, &T::setBackendOwns, 60);
  visit("fastTable", &T::fastTable, &T::setFastTable, 60);
}

template <typename Visit>
void AreaFormatFields(Visit&& visit) {
  using F = FormatArea;
  visit("fontName", &F::getFontName, &F::setFontName, 70);
  visit("fontSize", &F::getFontSize, &F::setFontSize, 70);
  visit("fontStyle", &F::getFontStyle, &F::setFontStyle, 70);
  visit("underline", &F::getUnderline, &F::setUnderline, 70);
  visit("horizontalAlignment", &F::getHorizontalAlignment, &F::setHorizontalAlignment, 70);
  visit("verticalAlignment", &F::getVerticalAlignment, &F::setVerticalAlignment, 70);
  visit("textColor", &F::getTextColor, &F::setTextColor, 70);
  visit("backgroundColor", &F::getBackgroundColor, &F::setBackgroundColor, 70);
  visit("useAltRowColors", &F::getUseAltRowColors, &F::setUseAltRowColors, 70);
  visit("alternateTextColor", &F::getAlternateTextColor, &F::setAlternateTextColor, 70);
  visit("alternateBackgroundColor", &F::getAlternateBackgroundColor,
        &F::setAlternateBackgroundColor, 70);
  visit("marginLeft", &F::getMarginLeft, &F::setMarginLeft, 70);
  visit("marginRight", &F::getMarginRight, &F::setMarginRight, 70);
  visit("marginTop", &F::getMarginTop, &F::setMarginTop, 70);
  visit("marginBottom", &F::getMarginBottom, &F::setMarginBottom, 70);
}

template <typename Visit>
void CellStyleFields(Visit&& visit) {
  using C = OmCellProperties;
  visit("fontName", &C::fontName);
  visit("fontSize", &C::fontSize);
  visit("bold", &C::bold);
  visit("italic", &C::italic);
  visit("underline", &C::underline);
  visit("textColor", &C::textColor, Draw::kColor);
  visit("backgroundColor", &C::backgroundColor);
  visit("horizontalAlignment", &C::horizontalAlignment);
  visit("verticalAlignment", &C::verticalAlignment);
  visit("numberFormat", &C::numberFormat);
}

// Builds random documents; see RandomDocument.
class Generator {
 public:
  Generator(std::uint32_t seed, const RandomDocumentOptions& options)
      : _random(seed), _options(options) {}

  std::unique_ptr<OmOutputTree> Document() {
    std::unique_ptr<OmOutputTree> tree(new OmOutputTree());
    Decorate(*tree->Root().Item());
    AddRandomOutline(*tree);
    if (_options.deepLevels > 0) {
      AddDeepChains(*tree);
    } else {
      Reshape(*tree);
    }
    return tree;
  }

 private:
  using Text = std::unique_ptr<OmCellText>;
  using OutlineNode = ListTree<OmOutputPart*>::Node;

  // clang-format off
  enum Kind { kHeading, kProcedure, kTextBlock, kLog, kPageTitle, kChart, kModel, kAnswerTree,
              kPivotTable, kNoItem, kKinds };
  // clang-format on

  // Strings and numbers.

  std::string Bytes() {
    std::string bytes;
    for (int n = _random.Below(4); n > 0; --n)
      bytes += _random.Pick(Atoms());
    return bytes;
  }

  // Opaque payload bytes; sometimes every byte value in order, then noise.
  std::string Payload() {
    std::string bytes;
    if (_random.Chance(15)) {
      for (int value = 0; value < 256; ++value)
        bytes += static_cast<char>(value);
    }
    if (_random.Chance(25)) return bytes;
    for (int n = _random.Below(_options.maxPayloadBytes + 1); n > 0; --n)
      bytes += static_cast<char>(_random.Below(256));
    return bytes;
  }

  // Hands bytes to an appending producer call in one to four pieces, as a
  // producer streams them; an empty payload may come as one empty piece.
  template <typename Append>
  void AppendInPieces(const std::string& bytes, Append append) {
    if (bytes.empty()) {
      if (_random.Chance(50)) append(bytes.data(), 0u);
      return;
    }
    std::vector<std::size_t> cuts{0, bytes.size()};
    for (int n = _random.Below(4); n > 0; --n)
      cuts.push_back(_random.Below(static_cast<std::uint32_t>(bytes.size() + 1)));
    std::sort(cuts.begin(), cuts.end());
    for (std::size_t k = 1; k < cuts.size(); ++k) {
      append(bytes.data() + cuts[k - 1], static_cast<unsigned int>(cuts[k] - cuts[k - 1]));
    }
  }

  std::int32_t Int32() {
    using Limits = std::numeric_limits<std::int32_t>;
    static const std::vector<std::int32_t> edges = {0, 1, -1, 2, Limits::min(), Limits::max()};
    return _random.Chance(50) ? _random.Pick(edges) : static_cast<std::int32_t>(_random.Bits32());
  }

  double Number() {
    using Limits = std::numeric_limits<double>;
    // clang-format off
    static const std::vector<double> edges = {
        0.0, -0.0, 1.0, -1.0, 0.1, 0.5, 1.0 / 3.0, -2.5, 0.1 + 0.2, 12345.678,
        9007199254740993.0, 1e21, 1e-7, 1e300, -1e-300, Limits::max(), Limits::lowest(),
        Limits::min(), Limits::denorm_min(), -Limits::denorm_min(), Limits::quiet_NaN(),
        Limits::infinity(), -Limits::infinity()};
    // clang-format on
    switch (_random.Below(3)) {
      case 0:
        return _random.Pick(edges);
      case 1:
        return (_random.Below(200001) - 100000) / 100.0;
      default: {
        const std::uint64_t bits = _random.Bits64();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        // Random bits make NaNs with payloads; the documents hold the one
        // quiet NaN that computations produce.
        return std::isnan(value) ? std::numeric_limits<double>::quiet_NaN() : value;
      }
    }
  }

  float Float() {
    using Limits = std::numeric_limits<float>;
    // clang-format off
    static const std::vector<float> edges = {0.0f, -0.0f, 10.5f, 0.1f, 1e-40f, Limits::max(),
                                             Limits::min(), Limits::infinity(),
                                             Limits::quiet_NaN()};
    // clang-format on
    return _random.Chance(40) ? _random.Pick(edges) : static_cast<float>(_random.Below(400)) / 4;
  }

  // A display mode; now and then one outside the enumeration, which a
  // document keeps as it is.
  OmCellText::ModeType Mode() {
    static const std::vector<int> outside = {-1, 7};
    const int mode = _random.Chance(10) ? _random.Pick(outside) : _random.Below(3);
    return static_cast<OmCellText::ModeType>(mode);
  }

  std::int64_t TableId() {
    using Limits = std::numeric_limits<std::int64_t>;
    static const std::vector<std::int64_t> edges = {0, -1, Limits::min(), Limits::max(),
                                                    (std::int64_t{1} << 53) + 1};
    return _random.Chance(50) ? _random.Pick(edges) : static_cast<std::int64_t>(_random.Bits64());
  }

  std::vector<unsigned> Unsigneds() {
    std::vector<unsigned> values;
    for (int n = _random.Below(5); n > 0; --n)
      values.push_back(_random.Chance(20) ? std::numeric_limits<unsigned>::max()
                                          : _random.Below(500u));
    return values;
  }

  // A value for a setter that takes a T.
  template <typename T>
  T Make(Draw draw) {
    if constexpr (std::is_same_v<T, bool>) {
      return _random.Chance(50);
    } else if constexpr (std::is_same_v<T, float>) {
      return Float();
    } else if constexpr (std::is_same_v<T, std::string>) {
      if (draw == Draw::kColor && _random.Chance(50)) return "#1a2b3c";
      return draw == Draw::kPayload && _random.Chance(50) ? Payload() : Bytes();
    } else if constexpr (std::is_same_v<T, std::vector<unsigned>>) {
      return Unsigneds();
    } else if constexpr (std::is_same_v<T, std::int64_t>) {
      return TableId();
    } else if constexpr (std::is_same_v<T, OmCellText::ModeType>) {
      return Mode();
    } else {
      if (draw == Draw::kSmall && _random.Chance(70)) return static_cast<T>(_random.Below(4) - 1);
      return static_cast<T>(Int32());
    }
  }

  // The visitor of the field lists that sets the fields of owner.
  template <typename Owner>
  struct SetFields {
    Generator& generator;
    Owner& owner;

    template <typename R, typename V>
    void operator()(const char*, R (Owner::*)() const, void (Owner::*set)(V), int percent,
                    Draw draw = Draw::kByType) {
      if (generator._random.Chance(percent)) (owner.*set)(generator.Make<std::decay_t<V>>(draw));
    }
    void operator()(const char*, const std::string& (Owner::*)() const,
                    void (Owner::*append)(const char*, unsigned int), int percent) {
      if (!generator._random.Chance(percent)) return;
      generator.AppendInPieces(
          generator.Payload(),
          [this, append](const char* data, unsigned int size) { (owner.*append)(data, size); });
    }
    template <typename T>
    void operator()(const char*, T Owner::*member, Draw draw = Draw::kByType) {
      owner.*member = generator.Make<T>(draw);
    }
  };

  // Texts.

  // A text of any kind, with annotations. depth bounds the nesting of
  // composites: none at 0.
  Text MakeText(int depth) {
    Text text;
    const int choice = _random.Below(10);
    if (choice <= 3 || (choice == 9 && depth <= 0)) {
      const std::string bytes = Bytes();
      std::unique_ptr<OmStringCell> string(new OmStringCell(bytes, nullptr, _random.Chance(15)));
      if (_random.Chance(25)) string->SetFormattedString(Bytes());
      text = std::move(string);
    } else if (choice <= 5) {
      std::unique_ptr<OmNumber> number(new OmNumber(Number()));
      switch (_random.Below(5)) {
        case 0:
          break;  // never set: the shortest form
        case 1:
          number->SetDecimals(OmNumber::kShortest);
          break;
        case 2:
          // Out of range: clamped to 0 or kMaxDecimals.
          number->SetDecimals(_random.Chance(50) ? -5 : 40);
          break;
        default:
          number->SetDecimals(_random.Below(OmNumber::kMaxDecimals + 1));
      }
      text = std::move(number);
    } else if (choice == 6) {
      const std::string name = Bytes();
      const std::string label = Bytes();
      text.reset(new OmVariable(name, label, Mode()));
    } else if (choice == 7) {
      const double value = Number();
      const std::string label = Bytes();
      text.reset(new OmValue(value, label, Mode()));
    } else if (choice == 8) {
      text.reset(new OmMissing());
    } else {
      text = MakeComposite(depth);
    }
    Annotate(*text);
    return text;
  }

  // A short plain label, as category and dimension names mostly are.
  Text MakeLabel() {
    if (_random.Chance(20)) return MakeText(1);
    const std::string word(_random.Pick(Atoms()));
    Text text(new OmStringCell(word + std::to_string(_random.Below(6)), nullptr, false));
    Annotate(*text);
    return text;
  }

  void Annotate(OmCellText& text) {
    if (_random.Chance(30)) {
      static const std::vector<short> edges = {-1, -2, std::numeric_limits<short>::min(),
                                               std::numeric_limits<short>::max()};
      for (int n = 1 + _random.Below(3); n > 0; --n) {
        text.Footnotes().push_back(_random.Chance(25) ? _random.Pick(edges)
                                                      : static_cast<short>(_random.Below(6)));
      }
    }
    if (_random.Chance(15)) {
      std::vector<std::string> markers;
      for (int n = 1 + _random.Below(3); n > 0; --n)
        markers.push_back(Bytes());
      text.setMarkers(markers);
    }
    if (_random.Chance(15)) {
      // Possibly no keys: a text with empty metadata differs from one
      // without (hasMeta).
      OmCellMetaData meta;
      for (int n = _random.Below(4); n > 0; --n) {
        const std::string key = Bytes();
        meta.Set(key, Bytes());
      }
      text.setMeta(meta);
    }
  }

  std::unique_ptr<OmComposite> MakeComposite(int depth) {
    std::unique_ptr<OmComposite> composite(new OmComposite());
    OmComposite::PartTree& parts = composite->Parts();
    // The root part is an empty string at first; it may hold any text, or
    // none.
    if (_random.Chance(30)) {
      OmCellText*& root = *parts.Root();
      delete root;
      root = _random.Chance(30) ? nullptr : MakeText(0)->Clone(parts.Region());
    }
    FillParts(*composite, parts.Root(), depth);
    return composite;
  }

  // Appends all children of parent first, then fills them: appending to a
  // child's own children never moves its siblings, so their handles stay
  // valid. Recursion is bounded by depth.
  void FillParts(OmComposite& composite, OmComposite::PartTree::Node parent, int depth) {
    const int count = _random.Below(4);
    for (int k = 0; k < count; ++k)
      composite.AddPart(parent, *MakeText(depth - 1));
    for (int k = 0; k < count; ++k) {
      OmComposite::PartTree::Node child = parent.Child(k);
      if (_random.Chance(10)) {
        delete *child;
        *child = nullptr;
      }
      if (depth > 1 && _random.Chance(40)) FillParts(composite, child, depth - 1);
    }
  }

  // Footnote records.

  void AddFootnoteRecords(OmVector<OmFootnote>& footnotes) {
    for (int n = _random.Below(4); n > 0; --n) {
      const Text text = _random.Chance(85) ? MakeText(1) : nullptr;
      const Text second = _random.Chance(40) ? MakeText(1) : nullptr;
      OmFootnote* record = footnotes.emplace_back(text.get(), second.get(), nullptr);
      record->Count(_random.Chance(50) ? Int32() : _random.Below(5));
    }
  }

  // Items.

  void Decorate(OmOutputPart& item) {
    item.Visible(_random.Chance(80));
    item.Expanded(_random.Chance(70));
  }

  std::string CodePage() {
    static const std::vector<std::string> codePages = {
        "", "", "UTF-8", "ISO-8859-1", "CP1252", "1252", "UTF-16LE", "no-such-code-page"};
    return _random.Chance(20) ? Bytes() : _random.Pick(codePages);
  }

  void AddLines(OmTextBlock& block) {
    for (int n = _random.Below(5); n > 0; --n)
      block.TextList().push_back(Bytes());
  }

  OmOutputPart* MakeItem(Kind kind) {
    switch (kind) {
      case kHeading: {
        OmHeading* heading = new OmHeading(*MakeText(2));
        AddFootnoteRecords(heading->Footnotes());
        return heading;
      }
      case kProcedure:
        return MakeProcedure();
      case kTextBlock: {
        const Text text = MakeText(2);
        OmTextBlock* block = new OmTextBlock(*text, CodePage());
        AddLines(*block);
        return block;
      }
      case kLog: {
        // A block is a log when its outline text reads "Log".
        OmStringCell text("Log", nullptr, _random.Chance(50));
        Annotate(text);
        OmTextBlock* block = new OmTextBlock(text, CodePage());
        AddLines(*block);
        return block;
      }
      case kPageTitle: {
        OmPageTitle* title = new OmPageTitle(CodePage());
        AddLines(*title);
        return title;
      }
      case kChart:
        return MakeChart();
      case kModel:
        return MakeModel();
      case kAnswerTree:
        return MakeAnswerTree();
      case kPivotTable:
        return MakeTable();
      default:
        return nullptr;
    }
  }

  OmProcedure* MakeProcedure() {
    const Text text = MakeText(2);
    const std::string languageCode = Bytes();
    const std::string codePage = CodePage();
    OmProcedure* procedure = new OmProcedure(*text, languageCode, codePage, Bytes());
    if (_random.Chance(20)) procedure->setOutlineText(*MakeText(2));
    ProcedureFields(SetFields<OmProcedure>{*this, *procedure});
    AddFootnoteRecords(procedure->Footnotes());
    return procedure;
  }

  // A map-info record: a byte-order marker, then four strings behind
  // 32-, 16-, 32- and 16-bit counts, in this machine's byte order or
  // reversed; sometimes cut short, followed by stray bytes, or pure noise.
  std::string MapInfo() {
    if (_random.Chance(20)) return Payload();
    const bool reversed = _random.Chance(40);
    std::string record;
    auto put = [&record, reversed](std::uint32_t value, std::size_t size) {
      char bytes[4];
      if (size == 2) {
        const auto narrow = static_cast<std::uint16_t>(value);
        std::memcpy(bytes, &narrow, 2);
      } else {
        std::memcpy(bytes, &value, 4);
      }
      if (reversed) std::reverse(bytes, bytes + size);
      record.append(bytes, size);
    };
    put(1, 2);
    for (std::size_t size : {4, 2, 4, 2}) {
      const std::string value = _random.Chance(30) ? Payload().substr(0, 300) : Bytes();
      put(static_cast<std::uint32_t>(value.size()), size);
      record += value;
    }
    if (_random.Chance(20)) record.resize(_random.Below(static_cast<std::uint32_t>(record.size())));
    if (_random.Chance(20)) record += Payload();
    return record;
  }

  OmChart* MakeChart() {
    const Text text = MakeText(2);
    OmChart* chart = new OmChart(*text, CodePage());
    if (_random.Chance(50)) chart->SetXmlUncompressedLength(_random.Bits32());
    if (_random.Chance(50)) chart->SetXmlCompressedLength(_random.Below(1000u));
    ChartFields(SetFields<OmChart>{*this, *chart});
    if (_random.Chance(70)) {
      const std::int32_t values[2] = {_random.Chance(50) ? _random.Below(2) : Int32(),
                                      _random.Chance(50) ? _random.Below(2) : Int32()};
      char info[8];
      std::memcpy(info, values, sizeof info);
      chart->Done(info);
    }
    if (_random.Chance(70)) {
      AppendInPieces(MapInfo(), [chart](const char* data, unsigned int size) {
        chart->SetMapInfo(data, size);
      });
    }
    return chart;
  }

  OmModel* MakeModel() {
    OmModel* model = new OmModel(*MakeText(2));
    ModelFields(SetFields<OmModel>{*this, *model});
    return model;
  }

  OmAnswerTree* MakeAnswerTree() {
    const Text text = MakeText(2);
    OmAnswerTree* tree = new OmAnswerTree(*text, CodePage());
    AnswerTreeFields(SetFields<OmAnswerTree>{*this, *tree});
    AppendInPieces(Payload(), [this, tree](const char* data, unsigned int size) {
      tree->SetCompressedXML(data, size, _random.Bits32());
    });
    tree->Done();
    return tree;
  }

  // Pivot tables.

  // The first settings that ask for fast tables make the trackers and stamp
  // the texts held so far; texts stored later are stamped as they arrive.
  // A second call changes the settings but never the trackers.
  void ApplySettings(OmPivotTable& table) {
    for (int n = _random.Chance(25) ? 2 : 1; n > 0; --n) {
      BackendSettings settings;
      if (_random.Chance(80)) settings.setLocale(_random.Chance(50) ? "en_US" : Bytes());
      settings.setUnicode(_random.Chance(50));
      settings.setFastTables(_random.Chance(70));
      table.setBackendSettings(settings);
    }
  }

  OmPivotTable* MakeTable() {
    // A template name of "Notes" or "Warnings" sets the table's flags.
    const int choice = _random.Below(4);
    const Text templateName =
        choice >= 2 ? MakeText(1)
                    : Text(new OmStringCell(choice == 0 ? "Notes" : "Warnings", nullptr, false));
    const Text label = MakeText(2);
    std::unique_ptr<OmPivotTable> table(
        new OmPivotTable(*label, *templateName, _random.Chance(30)));
    // Producers apply the settings first; applying them later stamps a
    // different set of texts.
    const int settingsStage = _random.Below(4);
    if (settingsStage == 0) ApplySettings(*table);
    const int dimensions =
        _random.Chance(5) ? 0 : 1 + _random.Below(std::max(_options.maxDimensions, 1));
    for (int d = 0; d < dimensions; ++d) {
      OmDimension& dimension = table->AddDimension(*MakeLabel());
      AddCategories(dimension, _options.maxCategoryDepth);
      dimension.DisplayLastCategory(_random.Chance(30));
    }
    if (settingsStage == 1) ApplySettings(*table);
    AssignAxes(*table);
    AddCells(*table);
    AddAnnotations(*table);
    AddDisplayProperties(*table);
    if (settingsStage == 2) ApplySettings(*table);
    return table.release();
  }

  // A random category tree below dimension's root: groups and leaves added
  // through both AddNewChild (arrival order) and Child (sorted, merging
  // equal labels), sometimes leaves with children, then one structural
  // edit, dense subscripts, flags (sort orders outside the enumeration
  // too), and now and then a group with a subscript, a leaf without a
  // text, a deleted leaf, a leaf being dissolved, or a root that is no
  // group.
  void AddCategories(OmDimension& dimension, int depth) {
    std::size_t next = 0;
    FillCategories(dimension, dimension.Root(), depth + 1, next);
    if (_random.Chance(25)) EditStructure(dimension);
    std::vector<OmDimension::Node> nodes = NodesOf(dimension);
    // Leaves get 0..n-1 in a random order, sometimes with one value left
    // out. Subscripts set during the build were unique placeholders that
    // kept sibling leaves apart for the structural edits.
    std::vector<std::size_t> subscripts;
    for (const OmDimension::Node& node : nodes) {
      if (!node->IsGroup()) subscripts.push_back(subscripts.size());
    }
    if (!subscripts.empty() && _random.Chance(25)) {
      const std::size_t gap = _random.Below(static_cast<std::uint32_t>(subscripts.size()));
      for (std::size_t k = gap; k < subscripts.size(); ++k)
        ++subscripts[k];
    }
    _random.Shuffle(subscripts);
    std::size_t k = 0;
    for (OmDimension::Node& node : nodes) {
      if (!node->IsGroup()) {
        node->Subscript(subscripts[k++]);
      } else if (_random.Chance(10)) {
        node->Subscript(subscripts.size() + 5);
      }
    }
    if (k > 0 && _random.Chance(5)) {
      OmDimension::Node leaf = nodes[0];
      for (const OmDimension::Node& node : nodes)
        leaf = node->IsGroup() ? leaf : node;
      const std::size_t subscript = leaf->Subscript();
      leaf.Value() = OmDimensionNode(&dimension.Region());
      leaf->Subscript(subscript);
    }
    nodes.push_back(dimension.Root());
    for (OmDimension::Node& node : nodes) {
      if (_random.Chance(15)) node->Hide(true);
      if (_random.Chance(15)) node->HideLabels(true);
      if (_random.Chance(25)) {
        node->Sort(static_cast<OmSort::Order>(_random.Chance(10) ? -4 : _random.Below(3)));
      }
    }
    if (_random.Chance(20)) {
      // Deleting a leaf recounts the categories from the largest subscript
      // that remains.
      std::vector<OmDimension::Node> leaves;
      for (const OmDimension::Node& node : NodesOf(dimension)) {
        if (!node->IsGroup() && node.IsLeaf()) leaves.push_back(node);
      }
      if (leaves.size() > 1) {
        OmDimension::Node leaf = _random.Pick(leaves);
        dimension.Delete(leaf);
      }
    }
    if (_random.Chance(5)) {
      dimension.AddNewChild(dimension.Root(), *MakeLabel(), OmDimensionNode::kDissolving, false);
    }
    if (_random.Chance(5)) dimension.Root()->IsGroup(false);
  }

  // Every node below dimension's root, in pre-order.
  static std::vector<OmDimension::Node> NodesOf(OmDimension& dimension) {
    std::vector<OmDimension::Node> nodes;
    OmDimension::Tree::WalkBelow(
        dimension.Root(), [](const OmDimension::Node&) { return true; },
        [&nodes](const OmDimension::Node& node) { nodes.push_back(node); });
    return nodes;
  }

  // Appends parent's children, then fills them (see FillParts). Recursion is
  // bounded by depth.
  void FillCategories(OmDimension& dimension, OmDimension::Node parent, int depth,
                      std::size_t& next) {
    const bool sorted = parent->IsGroup() && _random.Chance(50);
    const int count = !parent.IsRoot() && _random.Chance(5)
                          ? 0
                          : 1 + _random.Below(std::max(_options.maxCategories, 1));
    for (int k = 0; k < count; ++k) {
      const bool group = depth > 1 && _random.Chance(30);
      const std::size_t subscript = group ? OmDimensionNode::kNoSubscript : next++;
      const Text label = MakeLabel();
      if (sorted) {
        dimension.Child(parent, *label, subscript, group);
      } else {
        dimension.AddNewChild(parent, *label, subscript, group);
      }
    }
    // Child may have merged equal labels, so the count comes from the tree.
    for (int k = 0; k < parent.NumChildren(); ++k) {
      OmDimension::Node child = parent.Child(k);
      if (child->IsGroup() || (depth > 1 && _random.Chance(10))) {
        FillCategories(dimension, child, depth - 1, next);
      }
    }
  }

  // One of the dimension's own edits: grouping two siblings, swapping them,
  // moving one before the other or to the end of its nearest shown
  // ancestor, or dissolving a group.
  void EditStructure(OmDimension& dimension) {
    std::vector<OmDimension::Node> parents;
    std::vector<OmDimension::Node> groups;
    std::vector<OmDimension::Node> all = NodesOf(dimension);
    all.push_back(dimension.Root());
    for (const OmDimension::Node& node : all) {
      if (node.NumChildren() >= 2) parents.push_back(node);
      if (!node.IsRoot() && node->IsGroup() && !node.IsLeaf()) groups.push_back(node);
    }
    const int choice = _random.Below(5);
    if (choice == 4) {
      if (groups.empty()) return;
      OmDimension::Node group = _random.Pick(groups);
      dimension.removeChild(group);
      return;
    }
    if (parents.empty()) return;
    const OmDimension::Node parent = _random.Pick(parents);
    OmDimension::Node first = parent.Child(0);
    OmDimension::Node last = parent.Child(parent.NumChildren() - 1);
    switch (choice) {
      case 0:
        dimension.insertChild(*MakeLabel(), {&first, &last});
        break;
      case 1:
        dimension.moveChild(first, &last, true);
        break;
      case 2:
        dimension.moveChild(last, &first, false);
        break;
      default:
        dimension.moveChild(first, nullptr, false);
    }
  }

  void AssignAxes(OmPivotTable& table) {
    PuppetVector<short>* lists[3] = {&table.Rows(), &table.Columns(), &table.Layers()};
    std::vector<short> order(table.NDimensions());
    std::iota(order.begin(), order.end(), static_cast<short>(0));
    _random.Shuffle(order);
    for (short d : order)
      lists[_random.Below(3)]->push_back(d);
    switch (_random.Below(8)) {
      case 0: {
        // Growing access past the end leaves an unassigned place (-1);
        // EndTable erases it when the lists hold too many entries.
        PuppetVector<short>& list = *lists[_random.Below(3)];
        list[list.size() + _random.Below(2)] = static_cast<short>(-1);
        if (_random.Chance(50)) table.EndTable();
        break;
      }
      case 1: {
        // A dimension that no list holds (the table was never ended).
        PuppetVector<short>& list = *lists[_random.Below(3)];
        if (!list.empty()) list.pop_back();
        break;
      }
      default:
        table.EndTable();
    }
  }

  // Subscripts of the leaves that can hold cells: non-group nodes without
  // children.
  static std::vector<int> CellSubscripts(OmDimension& dimension) {
    std::vector<int> subscripts;
    for (const OmDimension::Node& node : NodesOf(dimension)) {
      if (!node->IsGroup() && node.IsLeaf() && node->Subscript() != OmDimensionNode::kDissolving)
        subscripts.push_back(static_cast<int>(node->Subscript()));
    }
    return subscripts;
  }

  void AddCells(OmPivotTable& table) {
    std::vector<std::vector<int>> leaves;
    for (std::size_t d = 0; d < table.NDimensions(); ++d) {
      leaves.push_back(CellSubscripts(table.Dimension(static_cast<int>(d))));
      if (leaves.back().empty()) return;
    }
    if (leaves.empty()) return;
    std::vector<std::vector<int>> indices;
    for (int n = _random.Below(_options.maxCells + 1); n > 0; --n) {
      std::vector<int> index;
      for (const std::vector<int>& subscripts : leaves)
        index.push_back(_random.Pick(subscripts));
      table.Cell(index, *MakeText(_options.maxCompositeDepth));
      indices.push_back(index);
    }
    if (indices.empty()) return;
    // A replaced cell keeps the metadata of the one it replaces; a null
    // text and deleteCell both remove a cell.
    if (_random.Chance(30)) {
      const std::vector<int>& index = _random.Pick(indices);
      table.Cell(index, *MakeText(1));
    }
    if (_random.Chance(15)) table.Cell(_random.Pick(indices), nullptr);
    if (_random.Chance(15)) table.deleteCell(_random.Pick(indices));
  }

  void AddAnnotations(OmPivotTable& table) {
    for (int n = _random.Chance(70) ? 1 + _random.Below(2) : 0; n > 0; --n)
      table.SetTableTitle(*MakeText(2));
    if (_random.Chance(40)) table.Caption(MakeText(2).get());
    table.showCaption(_random.Chance(70));
    if (_random.Chance(40)) table.CornerText(MakeText(2).get());
    // Registration reuses a footnote of equal text (its count goes up and
    // its second text is replaced) unless asked to append.
    std::vector<Text> registered;
    for (int n = _random.Below(5); n > 0; --n) {
      Text text = !registered.empty() && _random.Chance(30)
                      ? Text(_random.Pick(registered)->Clone(nullptr))
                      : MakeText(1);
      const Text second = _random.Chance(40) ? MakeText(1) : nullptr;
      OmFootnote footnote(text.get(), second.get(), nullptr);
      if (_random.Chance(20)) footnote.Count(-1 - _random.Below(1000));
      table.Footnote(footnote, _random.Chance(30));
      registered.push_back(std::move(text));
    }
    OmVector<OmFootnote>& footnotes = table.Footnotes();
    if (_random.Chance(15)) {
      const Text second = _random.Chance(50) ? MakeText(1) : nullptr;
      footnotes.emplace_back(nullptr, second.get(), nullptr);
    }
    if (!footnotes.empty() && _random.Chance(20)) {
      OmFootnote& footnote =
          footnotes[static_cast<std::size_t>(_random.Below(static_cast<int>(footnotes.size())))];
      footnote.Count(Int32());
      if (_random.Chance(50)) footnote.SecondText(nullptr);
    }
    table.RemovedFootnotes(_random.Chance(30));
    if (_random.Chance(30)) table.setHasMarkers();
    if (_random.Chance(15)) table.Scratch();
  }

  void AddDisplayProperties(OmPivotTable& table) {
    DisplayFields(SetFields<OmPivotTable>{*this, table});
    for (int area = FormatArea::Title; area <= FormatArea::Borders; ++area) {
      // A second format for an area replaces the first.
      for (int n = _random.Chance(50) ? (_random.Chance(10) ? 2 : 1) : 0; n > 0; --n) {
        auto* format = new FormatArea(static_cast<FormatArea::Area>(area));
        AreaFormatFields(SetFields<FormatArea>{*this, *format});
        table.setAreaFormat(format);
      }
    }
    for (int n = _random.Below(4); n > 0; --n) {
      OmCellProperties& style = table.cellStyles().emplace_back();
      CellStyleFields(SetFields<OmCellProperties>{*this, style});
    }
    static const std::vector<std::size_t> keys = {0, std::numeric_limits<std::size_t>::max(),
                                                  (std::size_t{1} << 53) + 1};
    for (int n = _random.Below(4); n > 0; --n) {
      const std::size_t key = _random.Chance(30) ? _random.Pick(keys) : _random.Below(100u);
      table.emptyCellStyles()[key] = static_cast<unsigned short>(_random.Below(65536u));
    }
  }

  // The outline.

  // Entries in pre-order: each at a level from 1 to one below the entry
  // before it, so that the levels always form a tree.
  void AddRandomOutline(OmOutputTree& tree) {
    AddFootnoteRecords(static_cast<OmHeading*>(tree.Root().Item())->Footnotes());
    std::vector<Kind> kinds;
    for (int kind = 0; kind < kKinds; ++kind)
      kinds.push_back(static_cast<Kind>(kind));
    _random.Shuffle(kinds);
    std::vector<OutlineNode> path{tree.Root()};
    for (int k = 0; k < _options.items; ++k) {
      const Kind kind = static_cast<std::size_t>(k) < kinds.size()
                            ? kinds[static_cast<std::size_t>(k)]
                            : static_cast<Kind>(_random.Below(static_cast<int>(kKinds)));
      const int highest = std::min(static_cast<int>(path.size()), std::max(_options.maxLevel, 1));
      const int level = 1 + _random.Below(highest);
      OmOutputPart* item = MakeItem(kind);
      if (item != nullptr) Decorate(*item);
      const OutlineNode node = path[static_cast<std::size_t>(level - 1)].AppendChild(item);
      path.erase(path.begin() + level, path.end());
      path.push_back(node);
    }
  }

  // Shapes that only the tree's own edits make: several entries at level
  // 0 (the root erased, or entries added there), or no entry at all.
  void Reshape(OmOutputTree& tree) {
    const int choice = _random.Below(100);
    if (choice < 6) {
      OutlineNode root = tree.Root();
      tree.Erase(root);
    } else if (choice < 10) {
      tree.List().emplace_back(0, MakeItem(kHeading));
      tree.List().emplace_back(1, MakeItem(kTextBlock));
      tree.List().emplace_back(0, nullptr);
    } else if (choice < 12) {
      OutlineNode root = tree.Root();
      tree.Prune(root);
    }
  }

  // The deep chains of RandomDocumentOptions::deepLevels, built with loops.
  void AddDeepChains(OmOutputTree& tree) {
    const int levels = _options.deepLevels;
    OutlineNode node = tree.Root();
    for (int level = 1; level <= levels; ++level) {
      // Every seventh entry has no item.
      OmOutputPart* item = nullptr;
      if (level % 7 != 0) {
        item = new OmHeading(OmStringCell("level " + std::to_string(level), nullptr, false));
      }
      node = node.AppendChild(item);
    }

    std::unique_ptr<OmPivotTable> table(new OmPivotTable(
        OmStringCell("Deep", nullptr, false), OmStringCell("Notes", nullptr, false), false));
    ApplySettings(*table);
    OmDimension& deep = table->AddDimension(OmStringCell("Region", nullptr, false));
    OmDimension::Node category = deep.Root();
    for (int level = 1; level < levels; ++level) {
      category = deep.AddNewChild(category, OmNumber(level), OmDimensionNode::kNoSubscript, true);
      if (level % 5 == 0) category->Hide(true);
    }
    deep.AddNewChild(category, OmStringCell("income", nullptr, false), 0, false);
    OmDimension& flat = table->AddDimension(OmStringCell("Sex", nullptr, false));
    flat.AddNewChild(flat.Root(), OmStringCell("f", nullptr, false), 0, false);
    flat.AddNewChild(flat.Root(), OmStringCell("m", nullptr, false), 1, false);
    table->Rows().push_back(0);
    table->Columns().push_back(1);
    table->EndTable();

    OmComposite composite;
    OmComposite::PartTree::Node part = composite.Parts().Root();
    for (int level = 1; level < levels; ++level) {
      const OmNumber number(level);
      const OmStringCell string(std::to_string(level), nullptr, false);
      part = composite.AddPart(part, level % 3 == 0 ? static_cast<const OmCellText&>(number)
                                                    : static_cast<const OmCellText&>(string));
    }
    table->Cell({0, 0}, composite);
    table->Cell({0, 1}, *MakeText(2));
    Decorate(*table);
    node.AppendChild(table.release());
  }

  Random _random;
  RandomDocumentOptions _options;
};

// Where a difference lies: a chain of segments from the document down,
// formatted only when a difference is reported. Segments refer to strings
// and vectors that outlive them.
class Where {
 public:
  static constexpr std::int64_t kNoNumber = std::numeric_limits<std::int64_t>::min();

  explicit Where(std::string_view label) : _label(label) {}
  Where(const Where& up, std::string_view label, std::int64_t number = kNoNumber,
        std::string_view detail = {})
      : _up(&up), _label(label), _number(number), _detail(detail) {}
  Where(const Where& up, std::string_view label, const std::vector<int>& path)
      : _up(&up), _label(label), _path(&path) {}

  std::string Str() const {
    std::vector<const Where*> chain;
    for (const Where* segment = this; segment != nullptr; segment = segment->_up)
      chain.push_back(segment);
    std::string text;
    for (auto segment = chain.rbegin(); segment != chain.rend(); ++segment) {
      const Where& w = **segment;
      if (w._label.empty()) continue;
      if (!text.empty()) text += " / ";
      text += w._label;
      if (w._number != kNoNumber) text += " " + std::to_string(w._number);
      if (w._path != nullptr && !w._path->empty()) text += " " + Path(*w._path);
      if (!w._detail.empty()) text += " (" + std::string(w._detail) + ")";
    }
    return text;
  }

  // "[a,b,c]"; a long path shows its ends and how much it leaves out.
  static std::string Path(const std::vector<int>& path) {
    constexpr std::size_t kEnds = 5;
    std::string text = "[";
    for (std::size_t k = 0; k < path.size(); ++k) {
      if (path.size() > 4 * kEnds && k == kEnds) {
        text += "...(" + std::to_string(path.size() - 2 * kEnds) + " more)...,";
        k = path.size() - kEnds;
      }
      text += std::to_string(path[k]);
      if (k + 1 < path.size()) text += ",";
    }
    return text + "]";
  }

 private:
  const Where* _up = nullptr;
  std::string_view _label;
  std::int64_t _number = kNoNumber;
  std::string_view _detail;
  const std::vector<int>* _path = nullptr;
};

// Bytes as a readable quoted excerpt: printable ASCII as it is, every other
// byte as \xHH, at most 48 bytes from offset on.
inline std::string Excerpt(const std::string& bytes, std::size_t offset = 0) {
  constexpr std::size_t kLength = 48;
  static const char kHex[] = "0123456789abcdef";
  std::string text = offset > 0 ? "\"..." : "\"";
  const std::size_t end = std::min(bytes.size(), offset + kLength);
  for (std::size_t k = offset; k < end; ++k) {
    const auto byte = static_cast<unsigned char>(bytes[k]);
    if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
      text += static_cast<char>(byte);
    } else {
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 15];
    }
  }
  return text + (end < bytes.size() ? "...\"" : "\"");
}

inline std::string Show(bool value) {
  return value ? "true" : "false";
}
inline std::string Show(std::int64_t value) {
  return std::to_string(value);
}
inline std::string Show(std::uint64_t value) {
  return std::to_string(value);
}
inline std::string Show(const std::string& value) {
  return Excerpt(value);
}
inline std::string Show(double value) {
  std::ostringstream text;
  text.precision(17);
  text << value;
  return text.str();
}

// The differences found, of which the first kKept are kept for the report.
class Differences {
 public:
  void Add(const Where& where, std::string_view field, const std::string& detail) {
    ++_count;
    if (_kept.size() >= kKept) return;
    std::string line = where.Str();
    if (!field.empty()) line += (line.empty() ? "" : " / ") + std::string(field);
    _kept.push_back(line + ": " + detail);
  }

  // One gtest failure listing the differences, or none.
  void Report() const {
    if (_count == 0) return;
    std::string text;
    for (const std::string& line : _kept)
      text += "\n  " + line;
    if (_count > _kept.size()) {
      text += "\n  ... and " + std::to_string(_count - _kept.size()) + " more";
    }
    ADD_FAILURE() << "the documents differ in " << _count << " place(s):" << text;
  }

 private:
  static constexpr std::size_t kKept = 25;
  std::size_t _count = 0;
  std::vector<std::string> _kept;
};

// Which class a text is, by dynamic type.
inline const char* TextKind(const OmCellText& text) {
  if (dynamic_cast<const OmComposite*>(&text) != nullptr) return "composite";
  if (dynamic_cast<const OmStringCell*>(&text) != nullptr) return "string";
  if (dynamic_cast<const OmNumber*>(&text) != nullptr) return "number";
  if (dynamic_cast<const OmVariable*>(&text) != nullptr) return "variable";
  if (dynamic_cast<const OmValue*>(&text) != nullptr) return "value";
  if (dynamic_cast<const OmMissing*>(&text) != nullptr) return "missing";
  return "unknown";
}

// Which class an item is, by dynamic type; "empty" for an entry without an
// item.
inline const char* ItemKind(const OmOutputPart* item) {
  if (item == nullptr) return "empty";
  if (dynamic_cast<const OmPivotTable*>(item) != nullptr) return "pivotTable";
  if (dynamic_cast<const OmProcedure*>(item) != nullptr) return "procedure";
  if (dynamic_cast<const OmHeading*>(item) != nullptr) return "heading";
  if (dynamic_cast<const OmPageTitle*>(item) != nullptr) return "pageTitle";
  if (dynamic_cast<const OmTextBlock*>(item) != nullptr) return "textBlock";
  if (dynamic_cast<const OmChart*>(item) != nullptr) return "chart";
  if (dynamic_cast<const OmModel*>(item) != nullptr) return "model";
  if (dynamic_cast<const OmAnswerTree*>(item) != nullptr) return "answerTree";
  return "unknown";
}

// Walks two ordered trees (OmVectorTree handles) in pre-order together,
// without recursion. visit(a, b, path) is called for the roots and then for
// every pair of nodes at the same path of child offsets; it returns whether
// to descend, which it may only when both nodes have as many children.
template <typename ConstNode, typename Visit>
void WalkTogether(ConstNode a, ConstNode b, Visit visit) {
  std::vector<int> path;
  if (!visit(a, b, path) || a.NumChildren() == 0) return;
  a = a.FirstChild();
  b = b.FirstChild();
  path.push_back(0);
  for (;;) {
    if (visit(a, b, path) && a.NumChildren() > 0) {
      a = a.FirstChild();
      b = b.FirstChild();
      path.push_back(0);
      continue;
    }
    for (;;) {
      const ConstNode parent = a.Parent();
      if (path.back() + 1 < parent.NumChildren()) {
        ++a;
        ++b;
        ++path.back();
        break;
      }
      path.pop_back();
      if (path.empty()) return;
      a = parent;
      b = b.Parent();
    }
  }
}

// The deep comparison behind ExpectSameDocument.
class Comparison {
 public:
  explicit Comparison(Differences& differences) : _differences(differences) {}

  void Documents(OmOutputTree& a, OmOutputTree& b) {
    const Where outline("");
    Same(outline, "outline entries", a.Size(), b.Size());
    auto ea = a.List().begin();
    auto eb = b.List().begin();
    for (std::int64_t k = 0; ea != a.List().end() && eb != b.List().end(); ++k, ++ea, ++eb) {
      const char* kind = ItemKind(ea->item);
      const Where item(outline, "item", k, kind);
      Same(item, "level", ea->level, eb->level);
      Same(item, "kind", std::string(kind), std::string(ItemKind(eb->item)));
      if (ea->item != nullptr && eb->item != nullptr && kind == std::string(ItemKind(eb->item))) {
        Item(item, *ea->item, *eb->item);
      }
    }
  }

 private:
  // Values.

  template <typename T>
  void Same(const Where& where, std::string_view field, const T& a, const T& b) {
    if (a == b) return;
    if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::string>) {
      _differences.Add(where, field, Show(a) + " vs " + Show(b));
    } else if constexpr (std::is_enum_v<T> || std::is_signed_v<T>) {
      _differences.Add(
          where, field,
          Show(static_cast<std::int64_t>(a)) + " vs " + Show(static_cast<std::int64_t>(b)));
    } else {
      _differences.Add(
          where, field,
          Show(static_cast<std::uint64_t>(a)) + " vs " + Show(static_cast<std::uint64_t>(b)));
    }
  }

  // A field of a field list, by its type.
  template <typename T>
  void SameValue(const Where& where, std::string_view field, const T& a, const T& b) {
    if constexpr (std::is_same_v<T, std::string>) {
      SameBytes(where, field, a, b);
    } else if constexpr (std::is_floating_point_v<T>) {
      SameFloating(where, field, a, b);
    } else if constexpr (std::is_same_v<T, std::vector<unsigned>>) {
      SameSequence(where, field, a, b, [](unsigned value) { return Show(std::uint64_t{value}); });
    } else {
      Same(where, field, a, b);
    }
  }

  // The visitor of the field lists that compares the fields of a and b
  // through their getters alone.
  template <typename Owner>
  struct ReadFields {
    Comparison& comparison;
    const Where& where;
    const Owner& a;
    const Owner& b;

    template <typename R, typename V>
    void operator()(const char* name, R (Owner::*get)() const, void (Owner::*)(V), int,
                    Draw = Draw::kByType) {
      comparison.SameValue(where, name, (a.*get)(), (b.*get)());
    }
    void operator()(const char* name, const std::string& (Owner::*get)() const,
                    void (Owner::*)(const char*, unsigned int), int) {
      comparison.SameBytes(where, name, (a.*get)(), (b.*get)());
    }
    template <typename T>
    void operator()(const char* name, T Owner::*member, Draw = Draw::kByType) {
      comparison.SameValue(where, name, a.*member, b.*member);
    }
  };

  // Strings as bytes: a difference names the first differing byte.
  void SameBytes(const Where& where, std::string_view field, const std::string& a,
                 const std::string& b) {
    if (a == b) return;
    const std::size_t common = std::min(a.size(), b.size());
    std::size_t at = 0;
    while (at < common && a[at] == b[at])
      ++at;
    const std::size_t from = at > 8 ? at - 8 : 0;
    _differences.Add(where, field,
                     std::to_string(a.size()) + " bytes " + Excerpt(a, from) + " vs " +
                         std::to_string(b.size()) + " bytes " + Excerpt(b, from) +
                         ", first difference at byte " + std::to_string(at));
  }

  // Doubles and floats by their bits, so that -0.0 and 0.0 differ; all
  // NaNs are alike.
  template <typename Floating>
  void SameFloating(const Where& where, std::string_view field, Floating a, Floating b) {
    if (std::isnan(a) && std::isnan(b)) return;
    if (std::memcmp(&a, &b, sizeof a) == 0) return;
    _differences.Add(where, field,
                     Show(static_cast<double>(a)) + " vs " + Show(static_cast<double>(b)));
  }

  template <typename T, typename ShowElement>
  void SameSequence(const Where& where, std::string_view field, const std::vector<T>& a,
                    const std::vector<T>& b, ShowElement show) {
    if (a == b) return;
    if (a.size() != b.size()) {
      _differences.Add(
          where, field,
          std::to_string(a.size()) + " entries vs " + std::to_string(b.size()) + " entries");
      return;
    }
    std::size_t k = 0;
    while (a[k] == b[k])
      ++k;
    _differences.Add(where, field,
                     "entry " + std::to_string(k) + ": " + show(a[k]) + " vs " + show(b[k]));
  }

  // Texts.

  // Whether both or neither are present; true when both are.
  template <typename T>
  bool SamePresence(const Where& where, std::string_view field, const T* a, const T* b) {
    if ((a == nullptr) == (b == nullptr)) return a != nullptr;
    _differences.Add(where, field, a == nullptr ? "absent vs present" : "present vs absent");
    return false;
  }

  // Compares two texts, composites part by part. Composites within parts
  // wait on a list rather than on the call stack.
  void SameText(const Where& where, const OmCellText* a, const OmCellText* b) {
    if (!SamePresence(where, "text", a, b)) return;
    struct Nested {
      std::string where;
      const OmComposite* a;
      const OmComposite* b;
    };
    std::vector<Nested> nested;
    auto shallow = [this, &nested](const Where& at, const OmCellText& ta, const OmCellText& tb) {
      if (!SameTextFields(at, ta, tb)) return;
      const auto* ca = dynamic_cast<const OmComposite*>(&ta);
      if (ca != nullptr) nested.push_back({at.Str(), ca, static_cast<const OmComposite*>(&tb)});
    };
    shallow(where, *a, *b);
    while (!nested.empty()) {
      const Nested composite = std::move(nested.back());
      nested.pop_back();
      const Where root(composite.where);
      WalkTogether(composite.a->Parts().Root(), composite.b->Parts().Root(),
                   [&](OmComposite::PartTree::ConstNode pa, OmComposite::PartTree::ConstNode pb,
                       const std::vector<int>& path) {
                     const Where part(root, path.empty() ? "root part" : "part", path);
                     if (SamePresence(part, "text", *pa, *pb)) shallow(part, **pa, **pb);
                     Same(part, "children", pa.NumChildren(), pb.NumChildren());
                     return pa.NumChildren() == pb.NumChildren();
                   });
    }
  }

  // Everything of a text but a composite's parts. Returns whether the kinds
  // agree.
  bool SameTextFields(const Where& where, const OmCellText& a, const OmCellText& b) {
    const std::string kind = TextKind(a);
    Same(where, "kind", kind, std::string(TextKind(b)));
    if (kind != TextKind(b)) return false;
    Same(where, "orderCode", a.OrderCode(), b.OrderCode());
    if (const auto* sa = dynamic_cast<const OmStringCell*>(&a)) {
      const auto& sb = static_cast<const OmStringCell&>(b);
      SameBytes(where, "string", sa->AsString(), sb.AsString());
      SameBytes(where, "sourceString", sa->AsEngString(), sb.AsEngString());
      SameBytes(where, "formatted", sa->AsFormattedString(), sb.AsFormattedString());
      Same(where, "systemText", sa->IsSystemText(), sb.IsSystemText());
    } else if (const auto* na = dynamic_cast<const OmNumber*>(&a)) {
      const auto& nb = static_cast<const OmNumber&>(b);
      SameFloating(where, "value", na->Value(), nb.Value());
      Same(where, "decimals", na->Decimals(), nb.Decimals());
    } else if (const auto* va = dynamic_cast<const OmVariable*>(&a)) {
      const auto& vb = static_cast<const OmVariable&>(b);
      SameBytes(where, "name", va->Name(), vb.Name());
      SameBytes(where, "label", va->Label(), vb.Label());
      Same(where, "mode", va->Mode(), vb.Mode());
    } else if (const auto* xa = dynamic_cast<const OmValue*>(&a)) {
      const auto& xb = static_cast<const OmValue&>(b);
      SameFloating(where, "value", xa->Value(), xb.Value());
      SameBytes(where, "label", xa->Label(), xb.Label());
      Same(where, "mode", xa->Mode(), xb.Mode());
    }
    SameSequence(where, "footnotes", a.Footnotes(), b.Footnotes(),
                 [](short value) { return Show(std::int64_t{value}); });
    SameSequence(where, "markers", a.getMarkers(), b.getMarkers(),
                 [](const std::string& marker) { return Excerpt(marker); });
    if (SamePresence(where, "metadata", a.getMeta(), b.getMeta()) && *a.getMeta() != *b.getMeta()) {
      _differences.Add(where, "metadata",
                       std::to_string(a.getMeta()->Size()) + " keys vs " +
                           std::to_string(b.getMeta()->Size()) + " keys, not equal");
    }
    // Which texts carry their table's tracker is not compared: it follows
    // the order a producer gave settings and texts in, and a loaded table
    // stamps every text. The tables' own trackers are compared.
    return true;
  }

  void SameTracker(const Where& where, std::string_view field, const icuTracker* a,
                   const icuTracker* b) {
    if (!SamePresence(where, field, a, b)) return;
    const Where tracker(where, field);
    Same(tracker, "unicode", a->Unicode(), b->Unicode());
    SameBytes(tracker, "locale", a->Locale(), b->Locale());
  }

  void SameFootnotes(const Where& where, const OmVector<OmFootnote>& a,
                     const OmVector<OmFootnote>& b) {
    Same(where, "footnote records", a.size(), b.size());
    for (std::size_t k = 0; k < std::min(a.size(), b.size()); ++k) {
      const Where footnote(where, "footnote", static_cast<std::int64_t>(k));
      const Where text(footnote, "text");
      SameText(text, a[k].Text(), b[k].Text());
      const Where second(footnote, "secondText");
      SameText(second, a[k].SecondText(), b[k].SecondText());
      Same(footnote, "count", a[k].Count(), b[k].Count());
    }
  }

  // Items.

  void Item(const Where& where, OmOutputPart& a, OmOutputPart& b) {
    const Where outlineText(where, "outlineText");
    SameText(outlineText, a.OutlineText(), b.OutlineText());
    Same(where, "visible", a.Visible(), b.Visible());
    Same(where, "expanded", a.Expanded(), b.Expanded());
    if (auto* ha = dynamic_cast<OmHeading*>(&a)) {
      auto& hb = static_cast<OmHeading&>(b);
      SameFootnotes(where, ha->Footnotes(), hb.Footnotes());
      if (auto* procedure = dynamic_cast<OmProcedure*>(&a)) {
        Procedure(where, *procedure, static_cast<OmProcedure&>(b));
      }
    } else if (auto* ta = dynamic_cast<OmTextBlock*>(&a)) {
      auto& tb = static_cast<OmTextBlock&>(b);
      Same(where, "log", ta->IsLog(), tb.IsLog());
      SameBytes(where, "codePage", ta->LocaleCodePage(), tb.LocaleCodePage());
      SameSequence(where, "lines",
                   std::vector<std::string>(ta->TextList().begin(), ta->TextList().end()),
                   std::vector<std::string>(tb.TextList().begin(), tb.TextList().end()),
                   [](const std::string& line) { return Excerpt(line); });
    } else if (auto* ca = dynamic_cast<OmChart*>(&a)) {
      Chart(where, *ca, static_cast<OmChart&>(b));
    } else if (auto* ma = dynamic_cast<OmModel*>(&a)) {
      ModelFields(ReadFields<OmModel>{*this, where, *ma, static_cast<OmModel&>(b)});
    } else if (auto* aa = dynamic_cast<OmAnswerTree*>(&a)) {
      auto& ab = static_cast<OmAnswerTree&>(b);
      AnswerTreeFields(ReadFields<OmAnswerTree>{*this, where, *aa, ab});
      Same(where, "uncompressedLength", aa->GetXmlUncompressedLength(),
           ab.GetXmlUncompressedLength());
      SameBytes(where, "compressedXml", aa->GetCompressedXml(), ab.GetCompressedXml());
    } else if (auto* table = dynamic_cast<OmPivotTable*>(&a)) {
      Table(where, *table, static_cast<OmPivotTable&>(b));
    }
  }

  void Procedure(const Where& where, const OmProcedure& a, const OmProcedure& b) {
    ProcedureFields(ReadFields<OmProcedure>{*this, where, a, b});
    SameBytes(where, "languageCode", a.LanguageCode(), b.LanguageCode());
    SameBytes(where, "localeCodePage", a.LocaleCodePage(), b.LocaleCodePage());
    SameBytes(where, "localeName", a.LocaleName(), b.LocaleName());
  }

  void Chart(const Where& where, const OmChart& a, const OmChart& b) {
    SameBytes(where, "codePage", a.LocaleCodePage(), b.LocaleCodePage());
    ChartFields(ReadFields<OmChart>{*this, where, a, b});
    Same(where, "editable", a.GetEditable(), b.GetEditable());
    Same(where, "editor", a.GetEditor(), b.GetEditor());
    Same(where, "hasMap", a.hasMap(), b.hasMap());
    // getMapInfo leaves the outputs that a short record does not reach
    // untouched; a marker value shows which those are.
    const std::string untouched = "(untouched)";
    std::string ma[4] = {untouched, untouched, untouched, untouched};
    std::string mb[4] = {untouched, untouched, untouched, untouched};
    a.getMapInfo(ma[0], ma[1], ma[2], ma[3]);
    b.getMapInfo(mb[0], mb[1], mb[2], mb[3]);
    for (int k = 0; k < 4; ++k) {
      const Where map(where, "mapInfo string", k);
      SameBytes(map, "", ma[k], mb[k]);
    }
  }

  // Pivot tables.

  void Table(const Where& where, OmPivotTable& a, OmPivotTable& b) {
    const Where templateName(where, "templateName");
    SameText(templateName, a.TemplateName(), b.TemplateName());
    Same(where, "warnings", a.IsWarnings(), b.IsWarnings());
    Same(where, "notes", a.IsNotes(), b.IsNotes());
    Same(where, "hasSplits", a.HasSplits(), b.HasSplits());
    const Where title(where, "title");
    SameText(title, a.GetTableTitle(), b.GetTableTitle());
    const Where caption(where, "caption");
    SameText(caption, a.Caption(), b.Caption());
    Same(where, "showCaption", a.showCaption(), b.showCaption());
    const Where corner(where, "cornerText");
    SameText(corner, a.CornerText(), b.CornerText());
    SameFootnotes(where, a.Footnotes(), b.Footnotes());
    Same(where, "removedFootnotes", a.HasRemovedFootnotes(), b.HasRemovedFootnotes());
    Same(where, "hasMarkers", a.hasMarkers(), b.hasMarkers());
    Same(where, "scratched", a.IsScratched(), b.IsScratched());

    Same(where, "dimensions", a.NDimensions(), b.NDimensions());
    const std::size_t dimensions = std::min(a.NDimensions(), b.NDimensions());
    for (std::size_t d = 0; d < dimensions; ++d) {
      const Where dimension(where, "dimension", static_cast<std::int64_t>(d));
      Dimension(dimension, a.Dimension(static_cast<int>(d)), b.Dimension(static_cast<int>(d)));
    }
    auto showDimension = [](short d) { return Show(std::int64_t{d}); };
    SameSequence<short>(where, "rows", a.Rows(), b.Rows(), showDimension);
    SameSequence<short>(where, "columns", a.Columns(), b.Columns(), showDimension);
    SameSequence<short>(where, "layers", a.Layers(), b.Layers(), showDimension);
    Cells(where, a, b);

    DisplayFields(ReadFields<OmPivotTable>{*this, where, a, b});
    for (int area = FormatArea::Title; area <= FormatArea::Borders; ++area) {
      const Where format(where, "areaFormat", area);
      AreaFormat(format, a.getAreaFormat(static_cast<FormatArea::Area>(area)),
                 b.getAreaFormat(static_cast<FormatArea::Area>(area)));
    }
    CellStyles(where, a.getCellStyles(), b.getCellStyles());
    auto entries = [](const std::map<std::size_t, unsigned short>& styles) {
      std::vector<std::string> text;
      for (const auto& [key, style] : styles)
        text.push_back(std::to_string(key) + ":" + std::to_string(style));
      return text;
    };
    SameSequence(where, "emptyCellStyles", entries(a.getEmptyCellStyles()),
                 entries(b.getEmptyCellStyles()), [](const std::string& entry) { return entry; });

    const Where settings(where, "backendSettings");
    const BackendSettings& sa = a.getBackendSettings();
    const BackendSettings& sb = b.getBackendSettings();
    SameBytes(settings, "locale", sa.getLocale(), sb.getLocale());
    Same(settings, "unicode", sa.getUnicode(), sb.getUnicode());
    Same(settings, "fastTables", sa.getFastTables(), sb.getFastTables());
    SameTracker(where, "icuTracker", a.getICUTracker(), b.getICUTracker());
    SameTracker(where, "u8Tracker", a.getU8Tracker(), b.getU8Tracker());
    Same(where, "u8Tracker shared",
         a.getU8Tracker() != nullptr && a.getU8Tracker() == a.getICUTracker(),
         b.getU8Tracker() != nullptr && b.getU8Tracker() == b.getICUTracker());
  }

  void Dimension(const Where& where, const OmDimension& a, const OmDimension& b) {
    Same(where, "categoryCount", a.NumCategories(), b.NumCategories());
    Same(where, "displayLastCategory", a.DisplayLastCategory(), b.DisplayLastCategory());
    WalkTogether(
        a.Root(), b.Root(),
        [&](OmDimension::ConstNode na, OmDimension::ConstNode nb, const std::vector<int>& path) {
          const Where node(where, path.empty() ? "root" : "category", path);
          const Where label(node, "label");
          SameText(label, na->Text(), nb->Text());
          Same(node, "group", na->IsGroup(), nb->IsGroup());
          Same(node, "subscript", na->Subscript(), nb->Subscript());
          Same(node, "hide", na->Hide(), nb->Hide());
          Same(node, "hideLabels", na->HideLabels(), nb->HideLabels());
          Same(node, "sort", na->Sort(), nb->Sort());
          Same(node, "children", na.NumChildren(), nb.NumChildren());
          return na.NumChildren() == nb.NumChildren();
        });
  }

  // The cell iteration runs with dimension 0 varying fastest, so the last
  // subscript decides the order first.
  static bool Before(const std::vector<int>& a, const std::vector<int>& b) {
    return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
  }

  void Cells(const Where& where, const OmPivotTable& a, const OmPivotTable& b) {
    OmPivotTable::ConstIterator ia = a.FirstCell();
    OmPivotTable::ConstIterator ib = b.FirstCell();
    while (ia.Cell() != nullptr || ib.Cell() != nullptr) {
      const std::vector<int> xa = ia.Cell() != nullptr ? ia.Index() : std::vector<int>();
      const std::vector<int> xb = ib.Cell() != nullptr ? ib.Index() : std::vector<int>();
      if (ib.Cell() == nullptr || (ia.Cell() != nullptr && Before(xa, xb))) {
        const Where cell(where, "cell", xa);
        _differences.Add(cell, "", "only in the first document");
        ++ia;
      } else if (ia.Cell() == nullptr || Before(xb, xa)) {
        const Where cell(where, "cell", xb);
        _differences.Add(cell, "", "only in the second document");
        ++ib;
      } else {
        const Where cell(where, "cell", xa);
        SameText(cell, ia.Cell(), ib.Cell());
        ++ia;
        ++ib;
      }
    }
  }

  void AreaFormat(const Where& where, const FormatArea* a, const FormatArea* b) {
    if (!SamePresence(where, "", a, b)) return;
    Same(where, "area", a->getArea(), b->getArea());
    AreaFormatFields(ReadFields<FormatArea>{*this, where, *a, *b});
  }

  void CellStyles(const Where& where, const std::vector<OmCellProperties>& a,
                  const std::vector<OmCellProperties>& b) {
    Same(where, "cellStyles", a.size(), b.size());
    for (std::size_t k = 0; k < std::min(a.size(), b.size()); ++k) {
      const Where style(where, "cellStyle", static_cast<std::int64_t>(k));
      CellStyleFields(ReadFields<OmCellProperties>{*this, style, a[k], b[k]});
    }
  }

  Differences& _differences;
};

}  // namespace internal

// A random document for seed; the same seed and options give the same
// document.
inline std::unique_ptr<OmOutputTree> RandomDocument(std::uint32_t seed,
                                                    const RandomDocumentOptions& options = {}) {
  return internal::Generator(seed, options).Document();
}

// Adds one gtest failure listing where a and b differ, if they do.
inline void ExpectSameDocument(OmOutputTree& a, OmOutputTree& b) {
  internal::Differences differences;
  internal::Comparison(differences).Documents(a, b);
  differences.Report();
}

}  // namespace document_test

#endif  // OMTREE_TESTS_TOOLS_DOCUMENTMODEL_H_
