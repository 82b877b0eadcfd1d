// Save: the document written item by item as it is walked, through a
// JsonWriter that passes the text on to the stream in pieces. Outline,
// category trees and composite part trees are walked with explicit stacks;
// docs/json.md describes every field in the order written here.

#include <algorithm>
#include <deque>
#include <list>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "Document.h"
#include "JsonText.h"
#include "Layout.h"

namespace omdoc {

namespace {

using internal::JsonWriter;
using CategoryNode = OmDimension::ConstNode;
using PartNode = OmComposite::PartTree::ConstNode;

// The names of the display modes and sort orders the library defines; any
// other stored value is written as its number.
void WriteMode(JsonWriter& json, OmCellText::ModeType mode) {
  switch (mode) {
    case OmCellText::Names:
      return json.String("names");
    case OmCellText::Labels:
      return json.String("labels");
    case OmCellText::NamesAndLabels:
      return json.String("namesAndLabels");
  }
  json.Integer(static_cast<std::int32_t>(mode));
}

void WriteSort(JsonWriter& json, OmSort::Order sort) {
  switch (sort) {
    case OmSort::Up:
      return json.String("up");
    case OmSort::Down:
      return json.String("down");
    case OmSort::Unsorted:
      return json.String("unsorted");
  }
  json.Integer(static_cast<std::int32_t>(sort));
}

// Footnote numbers, markers and metadata, each only when the text has any.
void WriteAnnotations(JsonWriter& json, const OmCellText& text) {
  if (!text.Footnotes().empty()) {
    json.Key("footnotes");
    json.BeginArray();
    for (short number : text.Footnotes())
      json.Integer(number);
    json.EndArray();
  }
  if (!text.getMarkers().empty()) {
    json.Key("markers");
    json.BeginArray();
    for (const std::string& marker : text.getMarkers())
      json.Bytes(marker);
    json.EndArray();
  }
  if (text.hasMeta()) {
    json.Key("meta");
    json.BeginArray();
    for (const auto& [key, value] : text.getMeta()->Attributes()) {
      json.BeginArray();
      json.Bytes(key);
      json.Bytes(value);
      json.EndArray();
    }
    json.EndArray();
  }
}

// Writes "kind" and the fields of text's kind into the open object; returns
// text as a composite, whose parts the caller writes, or null.
const OmComposite* WriteKind(JsonWriter& json, const OmCellText& text) {
  json.Key("kind");
  if (const auto* composite = dynamic_cast<const OmComposite*>(&text)) {
    json.String("composite");
    return composite;
  }
  if (const auto* number = dynamic_cast<const OmNumber*>(&text)) {
    json.String("number");
    json.Key("value");
    json.Double(number->Value());
    json.Key("decimals");
    json.Integer(number->Decimals());
  } else if (const auto* variable = dynamic_cast<const OmVariable*>(&text)) {
    json.String("variable");
    json.Key("name");
    json.Bytes(variable->Name());
    json.Key("label");
    json.Bytes(variable->Label());
    json.Key("mode");
    WriteMode(json, variable->Mode());
  } else if (const auto* value = dynamic_cast<const OmValue*>(&text)) {
    json.String("value");
    json.Key("value");
    json.Double(value->Value());
    json.Key("label");
    json.Bytes(value->Label());
    json.Key("mode");
    WriteMode(json, value->Mode());
  } else if (dynamic_cast<const OmMissing*>(&text) != nullptr) {
    json.String("missing");
  } else {
    // A string cell, or a text of a class the library does not know, which
    // is kept as the string it shows.
    const auto* string = dynamic_cast<const OmStringCell*>(&text);
    const std::string shown = text.AsString();
    json.String("string");
    json.Key("text");
    json.Bytes(shown);
    const std::string formatted = text.AsFormattedString();
    if (string != nullptr && formatted != shown) {
      json.Key("formatted");
      json.Bytes(formatted);
    }
    if (string != nullptr && string->IsSystemText()) {
      json.Key("system");
      json.Bool(true);
    }
  }
  return nullptr;
}

// A text object, or null. Composites nest parts, and parts may be
// composites: both are walked with one stack of steps, so neither depth
// costs call stack.
void WriteText(JsonWriter& json, const OmCellText* top) {
  if (top == nullptr) {
    json.Null();
    return;
  }
  struct Step {
    enum What { kText, kTextEnd, kPart, kPartEnd, kPartsEnd } what;
    const OmCellText* text;
    PartNode part;
  };
  const PartNode none(nullptr, 0);
  std::vector<Step> steps{{Step::kText, top, none}};
  while (!steps.empty()) {
    const Step step = steps.back();
    steps.pop_back();
    switch (step.what) {
      case Step::kText: {
        json.BeginObject();
        const OmComposite* composite = WriteKind(json, *step.text);
        if (composite == nullptr) {
          WriteAnnotations(json, *step.text);
          json.EndObject();
          break;
        }
        json.Key("root");
        steps.push_back({Step::kTextEnd, step.text, none});
        steps.push_back({Step::kPart, nullptr, composite->Parts().Root()});
        break;
      }
      case Step::kTextEnd:
        WriteAnnotations(json, *step.text);
        json.EndObject();
        break;
      case Step::kPart: {
        json.BeginObject();
        json.Key("text");
        steps.push_back({Step::kPartEnd, nullptr, step.part});
        if (*step.part == nullptr) {
          json.Null();
        } else {
          steps.push_back({Step::kText, *step.part, none});
        }
        break;
      }
      case Step::kPartEnd: {
        if (step.part.IsLeaf()) {
          json.EndObject();
          break;
        }
        json.Key("parts");
        json.BeginArray();
        steps.push_back({Step::kPartsEnd, nullptr, none});
        for (PartNode child = step.part.LastChild();; --child) {
          steps.push_back({Step::kPart, nullptr, child});
          if (child == step.part.FirstChild()) break;
        }
        break;
      }
      case Step::kPartsEnd:
        json.EndArray();
        json.EndObject();
        break;
    }
  }
}

void WriteFootnotes(JsonWriter& json, const OmVector<OmFootnote>& footnotes) {
  json.BeginArray();
  for (std::size_t n = 0; n < footnotes.size(); ++n) {
    const OmFootnote& footnote = footnotes[n];
    json.BeginObject();
    json.Key("number");
    json.Unsigned(n);
    json.Key("text");
    WriteText(json, footnote.Text());
    if (footnote.SecondText() != nullptr) {
      json.Key("secondText");
      WriteText(json, footnote.SecondText());
    }
    json.Key("count");
    json.Integer(footnote.Count());
    json.EndObject();
  }
  json.EndArray();
}

void WriteStrings(JsonWriter& json, const std::list<std::string>& lines) {
  json.BeginArray();
  for (const std::string& line : lines)
    json.Bytes(line);
  json.EndArray();
}

// The map-info record rebuilt from what getMapInfo shows, which is all the
// chart lets out: a little-endian marker (which reads as reversed on a
// big-endian machine, so the record reads the same everywhere) and the
// strings that the stored record fills, each behind its count. Empty when
// the chart has no map.
std::string MapInfoRecord(const OmChart& chart) {
  if (!chart.hasMap()) return "";
  // An output that getMapInfo leaves alone keeps what it held: two calls
  // with different fillings tell the filled ones apart.
  std::string first[4] = {"a", "a", "a", "a"};
  std::string second[4] = {"b", "b", "b", "b"};
  chart.getMapInfo(first[0], first[1], first[2], first[3]);
  chart.getMapInfo(second[0], second[1], second[2], second[3]);
  std::string record("\x01\x00", 2);
  for (int k = 0; k < 4 && first[k] == second[k]; ++k) {
    const std::size_t countBytes = k % 2 == 0 ? 4 : 2;
    for (std::size_t byte = 0; byte < countBytes; ++byte)
      record += static_cast<char>((first[k].size() >> (8 * byte)) & 0xFF);
    record += first[k];
  }
  return record;
}

// The layers of a table laid out as the renderers lay them out (see
// omrender::ForEachShownLayer): a derived part that Load never reads.
class LayerWriter {
 public:
  LayerWriter(JsonWriter& json, OmPivotTable& table) : _json(json), _table(table) {}

  void Write(const omrender::Options& options) {
    _json.BeginArray();
    omrender::ForEachShownLayer(_table, options,
                                [this](const omrender::ShownLayer& layer) { Layer(layer); });
    _json.EndArray();
  }

 private:
  using ConstNode = OmVectorTree<OmDimensionNode>::ConstNode;

  // {"text": ..., "footnotes": ["a", ...]}, or null.
  void ShownText(const OmCellText* text) {
    if (text == nullptr) {
      _json.Null();
      return;
    }
    _json.BeginObject();
    _json.Key("text");
    _json.Bytes(text->AsString());
    if (!text->Footnotes().empty()) {
      _json.Key("footnotes");
      _json.BeginArray();
      for (short number : text->Footnotes())
        _json.String(omrender::FootnoteMark(number));
      _json.EndArray();
    }
    _json.EndObject();
  }

  void LabelStack(const std::deque<ConstNode*>& nodes) {
    _json.BeginArray();
    for (const ConstNode* node : nodes)
      ShownText(node == nullptr ? nullptr : (*node)->Text());
    _json.EndArray();
  }

  void Index(const std::vector<int>& index, bool partial) {
    _json.BeginArray();
    for (int subscript : index) {
      if (partial && subscript < 0) {
        _json.Null();
      } else {
        _json.Integer(subscript);
      }
    }
    _json.EndArray();
  }

  // Per shown display column (or row): its label stack and the part of the
  // cell index its heading fills, null for the other dimensions.
  template <typename Heading, typename Stack>
  void Entries(const Heading& heading, const std::vector<int>& shown, Stack stack) {
    _json.BeginArray();
    for (int k : shown) {
      _json.BeginObject(/*oneLine=*/true);
      _json.Key("labels");
      LabelStack((heading.*stack)(k));
      std::vector<int> index(_table.NDimensions(), -1);
      heading.Fill(index, k);
      _json.Key("index");
      Index(index, true);
      _json.EndObject();
    }
    _json.EndArray();
  }

  void Layer(const omrender::ShownLayer& shown) {
    OmDisplayLayerHeading& layers = shown.layers;
    std::vector<int> index;
    layers.Fill(index);
    _json.BeginObject();
    _json.Key("layer");
    _json.Integer(layers.getLayer());
    _json.Key("index");
    Index(index, false);
    _json.Key("labels");
    _json.BeginArray();
    for (int i = 0; i < layers.NDimensions(); ++i)
      LabelStack(layers.Nodes(i));
    _json.EndArray();
    _json.Key("corner");
    _json.BeginArray();
    for (const OmCellText* text : shown.rows.CornerText())
      ShownText(text);
    _json.EndArray();
    _json.Key("columns");
    Entries(shown.columns, shown.shownColumns, &OmDisplayColumnHeading::Column);
    _json.Key("rows");
    Entries(shown.rows, shown.shownRows, &OmDisplayRowHeading::Row);
    _json.EndObject();
  }

  JsonWriter& _json;
  OmPivotTable& _table;
};

// Writes the fields of one outline item, after its common fields and
// before its children, into the open object.
class ItemWriter : public OmOutputPart::Visitor {
 public:
  ItemWriter(JsonWriter& json, const SaveOptions& options) : _json(json), _options(options) {}

  void Write(OmOutputPart& item) { item.Accept(*this); }

  void Visit(OmHeading& heading) override {
    Start("heading", heading);
    _json.Key("footnotes");
    WriteFootnotes(_json, heading.Footnotes());
  }

  void Visit(OmProcedure& procedure) override {
    Start("procedure", procedure);
    Bytes("command", procedure.Command());
    Bytes("translatedCommand", procedure.TransCommand());
    Bytes("languageCode", procedure.LanguageCode());
    Bytes("localeCodePage", procedure.LocaleCodePage());
    Bytes("localeName", procedure.LocaleName());
    _json.Key("outlineVarDisplay");
    WriteMode(_json, procedure.OutlineVarDisplay());
    _json.Key("outlineValueDisplay");
    WriteMode(_json, procedure.OutlineValueDisplay());
    _json.Key("tableVarDisplay");
    WriteMode(_json, procedure.TableVarDisplay());
    _json.Key("tableValueDisplay");
    WriteMode(_json, procedure.TableValueDisplay());
    _json.Key("footnotes");
    WriteFootnotes(_json, procedure.Footnotes());
  }

  void Visit(OmTextBlock& block) override {
    Start(block.IsLog() ? "log" : "text", block);
    Bytes("codePage", block.LocaleCodePage());
    _json.Key("lines");
    WriteStrings(_json, block.TextList());
  }

  void Visit(OmPageTitle& title) override {
    Start("pageTitle", title);
    Bytes("codePage", title.LocaleCodePage());
    _json.Key("lines");
    WriteStrings(_json, title.TextList());
  }

  void Visit(OmChart& chart) override {
    Start("chart", chart);
    Bytes("codePage", chart.LocaleCodePage());
    Integer("subType", chart.GetChartSubType());
    Integer("editable", chart.GetEditable());
    Integer("editor", chart.GetEditor());
    Payload("xmlDescription", chart.GetXmlDescription());
    Payload("xmlData", chart.GetXmlData());
    Payload("image", chart.GetImageData());
    Payload("mapInfo", MapInfoRecord(chart));
  }

  void Visit(OmModel& model) override {
    Start("model", model);
    Integer("modelType", model.GetModelType());
    Payload("pmml", model.GetPMML());
    Payload("binaryData", model.GetBinaryDataStream());
    Payload("pmmlContainer", model.GetPMMLContainer());
    Payload("statXmlContainer", model.GetStatXMLContainer());
  }

  void Visit(OmAnswerTree& tree) override {
    Start("answerTree", tree);
    Integer("treeType", tree.GetTreeType());
    _json.Key("uncompressedLength");
    _json.Unsigned(tree.GetXmlUncompressedLength());
    Payload("path", tree.GetPath());
    Payload("compressedXml", tree.GetCompressedXml());
    Payload("uncompressedXml", tree.GetUncompressedXml());
    Payload("uncompressedDisplayXml", tree.GetUncompressedDisplayXML());
  }

  void Visit(OmPivotTable& table) override {
    Start("pivotTable", table);
    Text("templateName", table.TemplateName());
    Bool("hasSplits", table.HasSplits());
    if (table.GetTableTitle() != nullptr) Text("title", table.GetTableTitle());
    if (table.Caption() != nullptr) Text("caption", table.Caption());
    Bool("showCaption", table.showCaption());
    if (table.CornerText() != nullptr) Text("cornerText", table.CornerText());
    BackendSettings(table);
    Bool("removedFootnotes", table.HasRemovedFootnotes());
    Bool("hasMarkers", table.hasMarkers());
    Bool("scratched", table.IsScratched());
    Display(table);
    AreaFormats(table);
    CellStyles(table);
    EmptyCellStyles(table);
    Dimensions(table);
    Axes(table);
    _json.Key("footnotes");
    WriteFootnotes(_json, table.Footnotes());
    Cells(table);
    if (_options.withLayers) {
      _json.Key("layers");
      LayerWriter(_json, table).Write(_options.layout);
    }
  }

 private:
  void Start(const char* kind, const OmOutputPart& item) {
    _json.Key("kind");
    _json.String(kind);
    Text("text", item.OutlineText());
    Bool("visible", item.Visible());
    Bool("expanded", item.Expanded());
  }

  void Text(const char* key, const OmCellText* text) {
    _json.Key(key);
    WriteText(_json, text);
  }
  void Bytes(const char* key, const std::string& bytes) {
    _json.Key(key);
    _json.Bytes(bytes);
  }
  void Payload(const char* key, const std::string& bytes) {
    _json.Key(key);
    _json.Base64(bytes);
  }
  void Bool(const char* key, bool value) {
    _json.Key(key);
    _json.Bool(value);
  }
  void Integer(const char* key, std::int64_t value) {
    _json.Key(key);
    _json.Integer(value);
  }
  void Float(const char* key, float value) {
    _json.Key(key);
    _json.Float(value);
  }
  void Unsigneds(const char* key, const std::vector<unsigned>& values) {
    _json.Key(key);
    _json.BeginArray();
    for (unsigned value : values)
      _json.Unsigned(value);
    _json.EndArray();
  }

  void BackendSettings(const OmPivotTable& table) {
    const ::BackendSettings& settings = table.getBackendSettings();
    _json.Key("backendSettings");
    _json.BeginObject();
    Bytes("locale", settings.getLocale());
    Bool("unicode", settings.getUnicode());
    Bool("fastTables", settings.getFastTables());
    _json.EndObject();
    const icuTracker* tracker = table.getICUTracker();
    if (tracker == nullptr) return;
    _json.Key("tracker");
    _json.BeginObject();
    Bool("unicode", tracker->Unicode());
    Bytes("locale", tracker->Locale());
    _json.EndObject();
  }

  void Display(const OmPivotTable& table) {
    _json.Key("display");
    _json.BeginObject();
    Bool("show", table.Show());
    Bool("rotateRowLabels", table.RotateRowLabels());
    Bool("rotateColumnLabels", table.RotateColumnLabels());
    Integer("optionNumber", table.OptionNumber());
    Integer("tableId", table.TableId());
    Bytes("tableLocale", table.TableLocale());
    Integer("minColumnWidth", table.MinColumnWidth());
    Integer("maxColumnWidth", table.MaxColumnWidth());
    Integer("minRowWidth", table.MinRowWidth());
    Integer("maxRowWidth", table.MaxRowWidth());
    Integer("layerLocation", table.getLayerLoc());
    Bytes("borderInfo", table.getBorderInfo());
    Bytes("tableLookInfo", table.getTableLookInfo());
    Bytes("tablePropertiesInfo", table.getTablePropertiesInfo());
    Unsigneds("customWidths", table.getTableCustomWidths());
    Unsigneds("customHeights", table.getTableCustomHeights());
    Bool("backendOwns", table.backendOwns());
    Bool("fastTable", table.fastTable());
    _json.EndObject();
  }

  // The formats of the areas 0 to 8, the ones a table hands out.
  void AreaFormats(const OmPivotTable& table) {
    _json.Key("areaFormats");
    _json.BeginArray();
    for (int area = FormatArea::Title; area <= FormatArea::Borders; ++area) {
      const FormatArea* format = table.getAreaFormat(static_cast<FormatArea::Area>(area));
      if (format == nullptr) continue;
      _json.BeginObject();
      Integer("area", area);
      Bytes("fontName", format->getFontName());
      Float("fontSize", format->getFontSize());
      Integer("fontStyle", format->getFontStyle());
      Bool("underline", format->getUnderline());
      Integer("horizontalAlignment", format->getHorizontalAlignment());
      Integer("verticalAlignment", format->getVerticalAlignment());
      Bytes("textColor", format->getTextColor());
      Bytes("backgroundColor", format->getBackgroundColor());
      Bool("useAltRowColors", format->getUseAltRowColors());
      Bytes("alternateTextColor", format->getAlternateTextColor());
      Bytes("alternateBackgroundColor", format->getAlternateBackgroundColor());
      Integer("marginLeft", format->getMarginLeft());
      Integer("marginRight", format->getMarginRight());
      Integer("marginTop", format->getMarginTop());
      Integer("marginBottom", format->getMarginBottom());
      _json.EndObject();
    }
    _json.EndArray();
  }

  void CellStyles(const OmPivotTable& table) {
    _json.Key("cellStyles");
    _json.BeginArray();
    for (const OmCellProperties& style : table.getCellStyles()) {
      _json.BeginObject();
      Bytes("fontName", style.fontName);
      Float("fontSize", style.fontSize);
      Bool("bold", style.bold);
      Bool("italic", style.italic);
      Bool("underline", style.underline);
      Bytes("textColor", style.textColor);
      Bytes("backgroundColor", style.backgroundColor);
      Integer("horizontalAlignment", style.horizontalAlignment);
      Integer("verticalAlignment", style.verticalAlignment);
      Bytes("numberFormat", style.numberFormat);
      _json.EndObject();
    }
    _json.EndArray();
  }

  void EmptyCellStyles(const OmPivotTable& table) {
    _json.Key("emptyCellStyles");
    _json.BeginArray();
    for (const auto& [position, style] : table.getEmptyCellStyles()) {
      _json.BeginArray();
      _json.Unsigned(position);
      _json.Unsigned(style);
      _json.EndArray();
    }
    _json.EndArray();
  }

  // One node's fields, and the opening of its "children" when it has any.
  void OpenCategory(CategoryNode node) {
    _json.BeginObject();
    Text("text", node->Text());
    Bool("group", node->IsGroup());
    if (!node->IsGroup() || node->Subscript() != OmDimensionNode::kNoSubscript) {
      _json.Key("subscript");
      _json.Unsigned(node->Subscript());
    }
    Bool("hidden", node->Hide());
    Bool("hideLabels", node->HideLabels());
    _json.Key("sort");
    WriteSort(_json, node->Sort());
    if (node.IsLeaf()) return;
    _json.Key("children");
    _json.BeginArray();
  }

  void CloseCategory(CategoryNode node) {
    if (!node.IsLeaf()) _json.EndArray();
    _json.EndObject();
  }

  // The whole category tree from the root, in pre-order, climbing back by
  // parent links.
  void Categories(CategoryNode root) {
    OpenCategory(root);
    CategoryNode node = root;
    for (;;) {
      if (!node.IsLeaf()) {
        node = node.FirstChild();
        OpenCategory(node);
        continue;
      }
      CloseCategory(node);
      while (!node.IsRoot() && node == node.Parent().LastChild()) {
        node = node.Parent();
        CloseCategory(node);
      }
      if (node.IsRoot()) return;
      ++node;
      OpenCategory(node);
    }
  }

  void Dimensions(const OmPivotTable& table) {
    _json.Key("dimensions");
    _json.BeginArray();
    for (std::size_t d = 0; d < table.NDimensions(); ++d) {
      const OmDimension& dimension = table.Dimension(static_cast<int>(d));
      _json.BeginObject();
      Bool("displayLastCategory", dimension.DisplayLastCategory());
      Integer("categoryCount", dimension.NumCategories());
      _json.Key("root");
      Categories(dimension.Root());
      _json.EndObject();
    }
    _json.EndArray();
  }

  void Axis(const char* key, const PuppetVector<short>& list) {
    _json.Key(key);
    _json.BeginArray();
    for (short d : list)
      _json.Integer(d);
    _json.EndArray();
  }

  void Axes(const OmPivotTable& table) {
    _json.Key("axes");
    _json.BeginObject();
    Axis("rows", table.Rows());
    Axis("columns", table.Columns());
    Axis("layers", table.Layers());
    _json.EndObject();
  }

  void Cells(const OmPivotTable& table) {
    _json.Key("cells");
    _json.BeginArray();
    for (OmPivotTable::ConstIterator it = table.FirstCell(); it.Cell() != nullptr; ++it) {
      _json.BeginObject(/*oneLine=*/true);
      _json.Key("index");
      _json.BeginArray();
      for (int subscript : it.Index())
        _json.Integer(subscript);
      _json.EndArray();
      Text("text", it.Cell());
      _json.EndObject();
    }
    _json.EndArray();
  }

  JsonWriter& _json;
  const SaveOptions& _options;
};

}  // namespace

void Save(OmOutputTree& tree, std::ostream& out, const SaveOptions& options) {
  JsonWriter json(out);
  json.BeginObject();
  json.Key("format");
  json.String("omtree-document");
  json.Key("version");
  json.Integer(kFormatVersion);
  if (options.withLayers) {
    json.Key("options");
    json.BeginObject();
    json.Key("hideEmpty");
    json.Bool(options.layout.hideEmpty);
    json.Key("namesInCorner");
    json.Bool(options.layout.namesInCorner);
    json.Key("layer");
    json.Integer(options.layout.layer);
    json.EndObject();
  }
  json.Key("items");
  json.BeginArray();
  // An item's children stay open until an entry of its level or above comes;
  // an entry more than one level below the open ones counts as one below.
  ItemWriter writer(json, options);
  std::size_t open = 0;
  for (const auto& entry : tree.List()) {
    const std::size_t level = std::min(static_cast<std::size_t>(std::max(entry.level, 0)), open);
    for (; open > level; --open) {
      json.EndArray();
      json.EndObject();
    }
    json.BeginObject();
    if (entry.item == nullptr) {
      json.Key("kind");
      json.String("empty");
    } else {
      writer.Write(*entry.item);
    }
    json.Key("children");
    json.BeginArray();
    ++open;
  }
  for (; open > 0; --open) {
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  json.Finish();
}

std::string Save(OmOutputTree& tree, const SaveOptions& options) {
  std::ostringstream out;
  Save(tree, out, options);
  return out.str();
}

}  // namespace omdoc
