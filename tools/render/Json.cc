#include "Json.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "Layout.h"

namespace omrender {

namespace {

using Json = nlohmann::ordered_json;
using ConstNode = OmVectorTree<OmDimensionNode>::ConstNode;

// Nesting levels past which the text is indented no further.
constexpr std::size_t kMaxIndentLevels = 32;

std::string String(const OmCellText* text) {
  return text == nullptr ? "" : text->AsString();
}

// Adds "footnotes", the marks of text's footnotes, to object when there are
// any.
void AddMarks(Json& object, const OmCellText* text) {
  if (text == nullptr || text->Footnotes().empty()) return;
  Json marks = Json::array();
  for (short number : text->Footnotes())
    marks.push_back(FootnoteMark(number));
  object["footnotes"] = std::move(marks);
}

// {"text": ..., "footnotes": [...]}, or null for no text.
Json TextObject(const OmCellText* text) {
  if (text == nullptr) return nullptr;
  Json object = Json::object();
  object["text"] = text->AsString();
  AddMarks(object, text);
  return object;
}

// A label stack of a display heading: a text object or null per place.
Json LabelStack(const std::deque<ConstNode*>& nodes) {
  Json stack = Json::array();
  for (const ConstNode* node : nodes)
    stack.push_back(node == nullptr ? Json(nullptr) : TextObject((*node)->Text()));
  return stack;
}

// Nests objects that arrive in pre-order, each with its level: an object
// goes into the "children" array of the latest object one level above it,
// or into the top array at level 0. A level more than one below the latest
// object counts as one below it. Only objects that hold a "children" array
// take children. One pointer per open level, no recursion.
class Nester {
 public:
  explicit Nester(Json& top) : _open{&top} {}

  void Add(std::size_t level, Json object) {
    _open.resize(std::min(level, _open.size() - 1) + 1);
    Json& added = _open.back()->emplace_back(std::move(object));
    // The array lives in added's own storage, which stays put when the
    // array holding added grows.
    if (added.contains("children")) _open.push_back(&added["children"]);
  }

 private:
  std::vector<Json*> _open;
};

// An empty object with room for keys entries. An ordered object copies, not
// moves, its values when its storage grows, and a copy recurses through a
// value's whole depth: objects that take a deep or large value before their
// last key are made this way, with room for all of their keys.
Json ObjectWithRoom(std::size_t keys) {
  Json object = Json::object();
  object.get_ref<Json::object_t&>().reserve(keys);
  return object;
}

std::string Scalar(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// value as value.dump(2) writes it, replacing bad UTF-8, but walked with a
// stack on the heap and with the indent capped at kMaxIndentLevels.
std::string Dump(const Json& value) {
  struct Frame {
    const Json* container;
    Json::const_iterator next;
  };
  std::string out;
  std::vector<Frame> open;
  const auto indent = [&](std::size_t levels) {
    out.append(2 * std::min(levels, kMaxIndentLevels), ' ');
  };
  const auto start = [&](const Json& item) {
    if (item.is_structured() && !item.empty()) {
      out += item.is_object() ? "{\n" : "[\n";
      open.push_back({&item, item.cbegin()});
    } else {
      out += Scalar(item);
    }
  };
  start(value);
  while (!open.empty()) {
    Frame& frame = open.back();
    const bool object = frame.container->is_object();
    if (frame.next == frame.container->cend()) {
      out += '\n';
      indent(open.size() - 1);
      out += object ? '}' : ']';
      open.pop_back();
      continue;
    }
    if (frame.next != frame.container->cbegin()) out += ",\n";
    indent(open.size());
    if (object) out += Scalar(Json(frame.next.key())) + ": ";
    const Json& item = *frame.next;
    ++frame.next;
    start(item);
  }
  return out + '\n';
}

Json Footnotes(const OmVector<OmFootnote>& footnotes) {
  Json list = Json::array();
  for (std::size_t n = 0; n < footnotes.size(); ++n) {
    const OmFootnote& footnote = footnotes[n];
    Json object = Json::object();
    object["number"] = n;
    object["mark"] = FootnoteMark(static_cast<int>(n));
    object["text"] = String(footnote.Text());
    if (footnote.SecondText() != nullptr) object["secondText"] = String(footnote.SecondText());
    object["count"] = footnote.Count();
    list.push_back(std::move(object));
  }
  return list;
}

// One node of a category tree, with an empty "children" array for a group
// or a node that has children.
Json Category(ConstNode node) {
  Json object = Json::object();
  object["label"] = String(node->Text());
  AddMarks(object, node->Text());
  object["group"] = node->IsGroup();
  if (!node->IsGroup()) object["subscript"] = node->Subscript();
  object["hidden"] = node->Hide();
  object["hideLabels"] = node->HideLabels();
  if (node->IsGroup() || !node.IsLeaf()) object["children"] = Json::array();
  return object;
}

Json Categories(const OmDimension& dimension) {
  Json categories = Json::array();
  Nester nester(categories);
  OmDimension::Tree::WalkBelow(
      dimension.Root(), [](ConstNode) { return true; },
      [&nester](ConstNode node) { nester.Add(node.Level() - 1, Category(node)); });
  return categories;
}

// Adds "role" (row, column, layer or none) and, unless none, "position" (the
// place in the table's list of that axis) of dimension d to object.
void AddPlacement(Json& object, const OmPivotTable& table, int d) {
  const std::pair<const char*, const PuppetVector<short>*> axes[] = {
      {"row", &table.Rows()}, {"column", &table.Columns()}, {"layer", &table.Layers()}};
  for (const auto& [role, list] : axes) {
    const auto found = std::find(list->begin(), list->end(), d);
    if (found == list->end()) continue;
    object["role"] = role;
    object["position"] = found - list->begin();
    return;
  }
  object["role"] = "none";
}

Json Dimensions(const OmPivotTable& table) {
  Json dimensions = Json::array();
  for (std::size_t d = 0; d < table.NDimensions(); ++d) {
    const OmDimension& dimension = table.Dimension(static_cast<int>(d));
    Json object = Json::object();
    object["name"] = dimension.Name().AsString();
    AddMarks(object, &dimension.Name());
    AddPlacement(object, table, static_cast<int>(d));
    object["hidden"] = dimension.Root()->Hide();
    object["hideLabels"] = dimension.Root()->HideLabels();
    object["categoryCount"] = dimension.NumCategories();
    object["categories"] = Categories(dimension);
    dimensions.push_back(std::move(object));
  }
  return dimensions;
}

Json Cells(const OmPivotTable& table) {
  Json cells = Json::array();
  for (OmPivotTable::ConstIterator it = table.FirstCell(); it.Cell() != nullptr; ++it) {
    Json object = Json::object();
    object["index"] = it.Index();
    object["value"] = it.Cell()->AsString();
    const OmNumber* number = CellNumber(it.Cell());
    if (number != nullptr && std::isfinite(number->Value())) object["number"] = number->Value();
    AddMarks(object, it.Cell());
    cells.push_back(std::move(object));
  }
  return cells;
}

// The subscripts that fill writes into an index of the table's length; null
// for every dimension it leaves alone.
template <typename Fill>
Json PartialIndex(std::size_t dimensions, Fill fill) {
  std::vector<int> index(dimensions, -1);
  fill(index);
  Json partial = Json::array();
  for (int subscript : index)
    partial.push_back(subscript < 0 ? Json(nullptr) : Json(subscript));
  return partial;
}

// Per shown display column (or row) of heading: its label stack and its
// part of the cell index.
template <typename Heading, typename Stack>
Json HeadingEntries(const Heading& heading, const std::vector<int>& shown, Stack stack,
                    std::size_t dimensions) {
  Json entries = Json::array();
  for (int k : shown) {
    Json entry = ObjectWithRoom(2);
    entry["labels"] = LabelStack((heading.*stack)(k));
    entry["index"] =
        PartialIndex(dimensions, [&](std::vector<int>& index) { heading.Fill(index, k); });
    entries.push_back(std::move(entry));
  }
  return entries;
}

// One shown layer.
Json Layer(const ShownLayer& shown) {
  OmDisplayLayerHeading& layers = shown.layers;
  const std::size_t dimensions = shown.table.NDimensions();
  std::vector<int> index;
  layers.Fill(index);
  Json labels = Json::array();
  for (int i = 0; i < layers.NDimensions(); ++i)
    labels.push_back(LabelStack(layers.Nodes(i)));
  Json corner = Json::array();
  for (const OmCellText* text : shown.rows.CornerText())
    corner.push_back(TextObject(text));

  Json layer = ObjectWithRoom(6);
  layer["layer"] = layers.getLayer();
  layer["index"] = index;
  layer["labels"] = std::move(labels);
  layer["corner"] = std::move(corner);
  layer["columns"] = HeadingEntries(shown.columns, shown.shownColumns,
                                    &OmDisplayColumnHeading::Column, dimensions);
  layer["rows"] =
      HeadingEntries(shown.rows, shown.shownRows, &OmDisplayRowHeading::Row, dimensions);
  return layer;
}

// The layers shown under options, walked as the text renderer walks them.
Json Layers(OmPivotTable& table, const Options& options) {
  Json shown = Json::array();
  ForEachShownLayer(table, options,
                    [&](const ShownLayer& layer) { shown.push_back(Layer(layer)); });
  return shown;
}

// Describes one outline item, without its children, as a JSON object.
class ItemDescriber : public OmOutputPart::Visitor {
 public:
  explicit ItemDescriber(const Options& options) : _options(options) {}

  // item's object, ending with an empty "children" array.
  Json Describe(OmOutputPart& item) {
    _object = ObjectWithRoom(kItemKeys);
    item.Accept(*this);
    _object["children"] = Json::array();
    return std::move(_object);
  }

  void Visit(OmHeading& heading) override {
    Start("heading", heading);
    _object["footnotes"] = Footnotes(heading.Footnotes());
  }

  void Visit(OmProcedure& procedure) override {
    Start("procedure", procedure);
    _object["command"] = procedure.Command();
    _object["translatedCommand"] = procedure.TransCommand();
    _object["languageCode"] = procedure.LanguageCode();
    _object["localeCodePage"] = procedure.LocaleCodePage();
    _object["localeName"] = procedure.LocaleName();
    _object["footnotes"] = Footnotes(procedure.Footnotes());
  }

  void Visit(OmTextBlock& block) override {
    Start(block.IsLog() ? "log" : "text", block);
    AddLines(block);
  }

  void Visit(OmPageTitle& title) override {
    Start("pageTitle", title);
    AddLines(title);
  }

  void Visit(OmChart& chart) override {
    Start("chart", chart);
    _object["codePage"] = chart.LocaleCodePage();
    _object["subType"] = static_cast<std::int32_t>(chart.GetChartSubType());
    _object["editable"] = static_cast<std::int32_t>(chart.GetEditable());
    _object["editor"] = static_cast<std::int32_t>(chart.GetEditor());
    _object["hasMap"] = chart.hasMap();
    Json bytes = Json::object();
    bytes["xmlDescription"] = chart.GetXmlDescription().size();
    bytes["xmlData"] = chart.GetXmlData().size();
    bytes["image"] = chart.GetImageData().size();
    _object["payloadBytes"] = std::move(bytes);
  }

  void Visit(OmModel& model) override {
    Start("model", model);
    _object["modelType"] = static_cast<std::int32_t>(model.GetModelType());
    Json bytes = Json::object();
    bytes["pmml"] = model.GetPMML().size();
    bytes["binaryData"] = model.GetBinaryDataStream().size();
    bytes["pmmlContainer"] = model.GetPMMLContainer().size();
    bytes["statXmlContainer"] = model.GetStatXMLContainer().size();
    _object["payloadBytes"] = std::move(bytes);
  }

  void Visit(OmAnswerTree& tree) override {
    Start("answerTree", tree);
    _object["treeType"] = tree.GetTreeType();
    _object["uncompressedLength"] = tree.GetXmlUncompressedLength();
    Json bytes = Json::object();
    bytes["path"] = tree.GetPath().size();
    bytes["compressedXml"] = tree.GetCompressedXml().size();
    bytes["uncompressedXml"] = tree.GetUncompressedXml().size();
    bytes["uncompressedDisplayXml"] = tree.GetUncompressedDisplayXML().size();
    _object["payloadBytes"] = std::move(bytes);
  }

  void Visit(OmPivotTable& table) override {
    Start("pivotTable", table);
    _object["templateName"] = String(table.TemplateName());
    if (table.GetTableTitle() != nullptr) _object["title"] = TextObject(table.GetTableTitle());
    if (table.Caption() != nullptr && table.showCaption()) {
      _object["caption"] = TextObject(table.Caption());
    }
    if (table.CornerText() != nullptr) _object["cornerText"] = TextObject(table.CornerText());
    _object["dimensions"] = Dimensions(table);
    _object["footnotes"] = Footnotes(table.Footnotes());
    _object["cells"] = Cells(table);
    _object["layers"] = Layers(table, _options);
  }

 private:
  void Start(const char* kind, const OmOutputPart& item) {
    _object["kind"] = kind;
    _object["text"] = String(item.OutlineText());
    _object["visible"] = item.Visible();
    _object["expanded"] = item.Expanded();
  }

  void AddLines(OmTextBlock& block) {
    _object["codePage"] = block.LocaleCodePage();
    _object["lines"] = block.TextList();
  }

  // The most keys an item's object holds (a pivot table's).
  static constexpr std::size_t kItemKeys = 13;

  const Options& _options;
  Json _object;
};

Json EmptyEntry() {
  Json object = Json::object();
  object["kind"] = "empty";
  object["children"] = Json::array();
  return object;
}

}  // namespace

std::string RenderJson(OmOutputTree& tree, const Options& options) {
  Json chosen = Json::object();
  chosen["hideEmpty"] = options.hideEmpty;
  chosen["namesInCorner"] = options.namesInCorner;
  chosen["layer"] = options.layer;

  Json items = Json::array();
  Nester nester(items);
  ItemDescriber describer(options);
  for (const auto& entry : tree.List()) {
    const std::size_t level = static_cast<std::size_t>(std::max(entry.level, 0));
    nester.Add(level, entry.item == nullptr ? EmptyEntry() : describer.Describe(*entry.item));
  }

  Json document = Json::object();
  document["format"] = "omtree-document";
  document["version"] = 1;
  document["options"] = std::move(chosen);
  document["items"] = std::move(items);
  return Dump(document);
}

}  // namespace omrender
