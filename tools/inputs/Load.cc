// Load: the text is read into a Tape, its format and version checked, and
// the document built by the reader of its version. This file holds the
// entry points and the reader of version 2; docs/json.md describes the
// fields it reads and the checks it makes.

#include <cstring>
#include <istream>
#include <iterator>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Document.h"
#include "JsonText.h"
#include "Reader.h"

namespace omdoc {

namespace internal {

namespace {

constexpr std::size_t kAbsent = Members::kAbsent;

std::string Quoted(std::string_view text) {
  return "\"" + EscapeJson(text) + "\"";
}

// Builds a version 2 document from its tape.
class Builder {
 public:
  explicit Builder(const Tape& tape) : _tape(tape) {}

  std::unique_ptr<OmOutputTree> Build(std::size_t items) {
    return BuildOutline(_tape, items, [this](std::size_t object, std::size_t& children) {
      return Item(object, children);
    });
  }

 private:
  // Texts.

  std::unique_ptr<OmCellText> Text(std::size_t token, int nesting = 0) {
    _tape.ExpectObject(token);
    const std::size_t kindToken = FindMember(_tape, token, "kind");
    if (kindToken == kAbsent) _tape.Fail(token, "missing \"kind\"");
    const std::string_view kind = _tape.String(kindToken);
    if (kind == "string") {
      const Members members(
          _tape, token, {"kind", "text", "formatted", "system", "footnotes", "markers", "meta"});
      const std::size_t system = members.Optional("system");
      auto text = std::make_unique<OmStringCell>(_tape.Bytes(members.Required("text")), nullptr,
                                                 system != kAbsent && _tape.Bool(system));
      if (members.Has("formatted")) {
        text->SetFormattedString(_tape.Bytes(members.Required("formatted")));
      }
      return Annotated(std::move(text), members);
    }
    if (kind == "number") {
      const Members members(_tape, token,
                            {"kind", "value", "decimals", "footnotes", "markers", "meta"});
      auto text = std::make_unique<OmNumber>(_tape.Number(members.Required("value")));
      text->SetDecimals(static_cast<int>(_tape.Integer(
          members.Required("decimals"), OmNumber::kShortest, OmNumber::kMaxDecimals)));
      return Annotated(std::move(text), members);
    }
    if (kind == "variable") {
      const Members members(_tape, token,
                            {"kind", "name", "label", "mode", "footnotes", "markers", "meta"});
      auto text = std::make_unique<OmVariable>(_tape.Bytes(members.Required("name")),
                                               _tape.Bytes(members.Required("label")),
                                               Mode(members.Required("mode")));
      return Annotated(std::move(text), members);
    }
    if (kind == "value") {
      const Members members(_tape, token,
                            {"kind", "value", "label", "mode", "footnotes", "markers", "meta"});
      auto text = std::make_unique<OmValue>(_tape.Number(members.Required("value")),
                                            _tape.Bytes(members.Required("label")),
                                            Mode(members.Required("mode")));
      return Annotated(std::move(text), members);
    }
    if (kind == "missing") {
      const Members members(_tape, token, {"kind", "footnotes", "markers", "meta"});
      return Annotated(std::make_unique<OmMissing>(), members);
    }
    if (kind == "composite") {
      if (nesting == kMaxCompositeNesting) {
        _tape.Fail(token, "composite texts nest more than " + std::to_string(kMaxCompositeNesting) +
                              " deep");
      }
      const Members members(_tape, token, {"kind", "root", "footnotes", "markers", "meta"});
      return Annotated(Composite(members.Required("root"), nesting), members);
    }
    _tape.Fail(kindToken, "unknown kind of text " + Quoted(kind));
  }

  std::unique_ptr<OmCellText> TextOrNull(std::size_t token) {
    if (_tape.type(token) == Tape::Type::kNull) return nullptr;
    return Text(token);
  }

  // The text of a part ({"text": ..., "parts": [...]}), and its parts.
  std::unique_ptr<OmCellText> PartText(const Members& part, int nesting) {
    const std::size_t token = part.Required("text");
    if (_tape.type(token) == Tape::Type::kNull) return nullptr;
    return Text(token, nesting + 1);
  }

  // A composite whose root part is at token, its part tree read in
  // pre-order with a stack of open part lists.
  std::unique_ptr<OmComposite> Composite(std::size_t token, int nesting) {
    auto composite = std::make_unique<OmComposite>();
    OmComposite::PartTree& parts = composite->Parts();
    const Members root(_tape, token, {"text", "parts"});
    std::unique_ptr<OmCellText> rootText = PartText(root, nesting);
    delete *parts.Root();
    *parts.Root() = rootText.release();
    struct Open {
      OmComposite::PartTree::Node node;
      std::size_t next;
      std::size_t end;
    };
    std::vector<Open> open;
    const auto openParts = [&](const Members& part, OmComposite::PartTree::Node node) {
      const std::size_t list = part.Optional("parts");
      if (list == kAbsent) return;
      _tape.ExpectArray(list);
      open.push_back({node, list + 1, _tape.Next(list) - 1});
    };
    openParts(root, parts.Root());
    while (!open.empty()) {
      if (open.back().next == open.back().end) {
        open.pop_back();
        continue;
      }
      const std::size_t object = open.back().next;
      open.back().next = _tape.Next(object);
      const Members part(_tape, object, {"text", "parts"});
      std::unique_ptr<OmCellText> text = PartText(part, nesting);
      const OmComposite::PartTree::Node node = parts.AppendChild(open.back().node, text.get());
      text.release();
      openParts(part, node);
    }
    return composite;
  }

  // Footnote numbers, markers and metadata.
  std::unique_ptr<OmCellText> Annotated(std::unique_ptr<OmCellText> text, const Members& members) {
    const std::size_t footnotes = members.Optional("footnotes");
    if (footnotes != kAbsent) {
      for (std::size_t number : _tape.Array(footnotes)) {
        text->Footnotes().push_back(static_cast<short>(_tape.Integer(
            number, std::numeric_limits<short>::min(), std::numeric_limits<short>::max())));
      }
    }
    const std::size_t markers = members.Optional("markers");
    if (markers != kAbsent) {
      std::vector<std::string> read;
      for (std::size_t marker : _tape.Array(markers))
        read.push_back(_tape.Bytes(marker));
      text->setMarkers(std::move(read));
    }
    const std::size_t meta = members.Optional("meta");
    if (meta != kAbsent) text->setMeta(Meta(meta));
    return text;
  }

  OmCellMetaData Meta(std::size_t token) {
    std::map<std::string, std::string> pairs;
    for (std::size_t pair : _tape.Array(token)) {
      const Tape::Elements parts = _tape.Array(pair);
      if (parts.size() != 2) _tape.Fail(pair, "expected a [key, value] pair");
      const std::string key = _tape.Bytes(pair + 1);
      std::string value = _tape.Bytes(_tape.Next(pair + 1));
      if (!pairs.emplace(key, std::move(value)).second) {
        _tape.Fail(pair + 1, "duplicate metadata key " + Quoted(key));
      }
    }
    OmCellMetaData meta;
    for (const auto& [key, value] : pairs)
      meta.Set(key, value);
    return meta;
  }

  OmCellText::ModeType Mode(std::size_t token) {
    if (_tape.type(token) == Tape::Type::kString) {
      const std::string_view name = _tape.Text(token);
      if (name == "names") return OmCellText::Names;
      if (name == "labels") return OmCellText::Labels;
      if (name == "namesAndLabels") return OmCellText::NamesAndLabels;
      _tape.Fail(token, "unknown mode " + Quoted(name));
    }
    return static_cast<OmCellText::ModeType>(_tape.Integer(token, kInt32Min, kInt32Max));
  }

  OmSort::Order Sort(std::size_t token) {
    if (_tape.type(token) == Tape::Type::kString) {
      const std::string_view name = _tape.Text(token);
      if (name == "up") return OmSort::Up;
      if (name == "down") return OmSort::Down;
      if (name == "unsorted") return OmSort::Unsorted;
      _tape.Fail(token, "unknown sort order " + Quoted(name));
    }
    return static_cast<OmSort::Order>(_tape.Integer(token, kInt32Min, kInt32Max));
  }

  // The records of a footnote list, appended to footnotes; each made in
  // region, its texts stamped by table when there is one (as
  // OmPivotTable::Footnote does).
  void Footnotes(std::size_t token, OmVector<OmFootnote>& footnotes, OmMemoryRegion* region,
                 OmPivotTable* table) {
    for (std::size_t object : _tape.Array(token)) {
      const Members members(_tape, object, {"number", "text", "secondText", "count"});
      const std::size_t number = members.Required("number");
      if (_tape.Unsigned(number, std::numeric_limits<std::uint64_t>::max()) != footnotes.size()) {
        _tape.Fail(number, "footnote number " + std::to_string(_tape.UnsignedValue(number)) +
                               " does not match its place " + std::to_string(footnotes.size()));
      }
      const std::unique_ptr<OmCellText> text = TextOrNull(members.Required("text"));
      const std::size_t second = members.Optional("secondText");
      const std::unique_ptr<OmCellText> secondText = second == kAbsent ? nullptr : Text(second);
      const auto count =
          static_cast<std::int32_t>(_tape.Integer(members.Required("count"), kInt32Min, kInt32Max));
      OmFootnote& footnote = *footnotes.emplace_back(text.get(), secondText.get(), region);
      footnote.Count(count);
      if (table == nullptr) continue;
      if (footnote.Text() != nullptr) table->setHelper(*footnote.Text());
      if (footnote.SecondText() != nullptr) table->setHelper(*footnote.SecondText());
    }
  }

  std::string Bytes(const Members& members, std::string_view key) {
    return _tape.Bytes(members.Required(key));
  }
  std::string Payload(const Members& members, std::string_view key) {
    return _tape.Base64(members.Required(key));
  }
  bool Bool(const Members& members, std::string_view key) {
    return _tape.Bool(members.Required(key));
  }
  std::int32_t Int32(const Members& members, std::string_view key) {
    return static_cast<std::int32_t>(_tape.Integer(members.Required(key), kInt32Min, kInt32Max));
  }
  float Float(const Members& members, std::string_view key) {
    return static_cast<float>(_tape.Number(members.Required(key)));
  }

  void Lines(std::size_t token, std::list<std::string>& lines) {
    for (std::size_t line : _tape.Array(token))
      lines.push_back(_tape.Bytes(line));
  }

  // Items.

  std::unique_ptr<OmOutputPart> Item(std::size_t object, std::size_t& children) {
    _tape.ExpectObject(object);
    const std::size_t kindToken = FindMember(_tape, object, "kind");
    if (kindToken == kAbsent) _tape.Fail(object, "missing \"kind\"");
    const std::string_view kind = _tape.String(kindToken);
    std::unique_ptr<OmOutputPart> item;
    if (kind == "empty") {
      const Members members(_tape, object, {"kind", "children"});
      children = members.Required("children");
      return nullptr;
    }
    if (kind == "heading") {
      const Members members(_tape, object, ItemKeys({"footnotes"}));
      auto heading = std::make_unique<OmHeading>(*Text(members.Required("text")));
      Footnotes(members.Required("footnotes"), heading->Footnotes(), nullptr, nullptr);
      return Finish(std::move(heading), members, children);
    }
    if (kind == "procedure") return Procedure(object, children);
    if (kind == "text" || kind == "log") return TextBlock(object, kind == "log", children);
    if (kind == "pageTitle") return PageTitle(object, children);
    if (kind == "chart") return Chart(object, children);
    if (kind == "model") return Model(object, children);
    if (kind == "answerTree") return AnswerTree(object, children);
    if (kind == "pivotTable") return PivotTable(object, children);
    _tape.Fail(kindToken, "unknown kind of item " + Quoted(kind));
  }

  // Sets the viewer flags of item and finds its children.
  std::unique_ptr<OmOutputPart> Finish(std::unique_ptr<OmOutputPart> item, const Members& members,
                                       std::size_t& children) {
    item->Visible(Bool(members, "visible"));
    item->Expanded(Bool(members, "expanded"));
    children = members.Required("children");
    return item;
  }

  std::unique_ptr<OmOutputPart> Procedure(std::size_t object, std::size_t& children) {
    const Members members(
        _tape, object,
        ItemKeys({"command", "translatedCommand", "languageCode", "localeCodePage", "localeName",
                  "outlineVarDisplay", "outlineValueDisplay", "tableVarDisplay",
                  "tableValueDisplay", "footnotes"}));
    auto procedure = std::make_unique<OmProcedure>(
        *Text(members.Required("text")), Bytes(members, "languageCode"),
        Bytes(members, "localeCodePage"), Bytes(members, "localeName"));
    procedure->SetCommand(Bytes(members, "command"));
    procedure->SetTransCommand(Bytes(members, "translatedCommand"));
    procedure->OutlineVarDisplay(Mode(members.Required("outlineVarDisplay")));
    procedure->OutlineValueDisplay(Mode(members.Required("outlineValueDisplay")));
    procedure->TableVarDisplay(Mode(members.Required("tableVarDisplay")));
    procedure->TableValueDisplay(Mode(members.Required("tableValueDisplay")));
    Footnotes(members.Required("footnotes"), procedure->Footnotes(), nullptr, nullptr);
    return Finish(std::move(procedure), members, children);
  }

  std::unique_ptr<OmOutputPart> TextBlock(std::size_t object, bool log, std::size_t& children) {
    const Members members(_tape, object, ItemKeys({"codePage", "lines"}));
    const std::size_t textToken = members.Required("text");
    auto block = std::make_unique<OmTextBlock>(*Text(textToken), Bytes(members, "codePage"));
    if (block->IsLog() != log) {
      _tape.Fail(textToken, log ? "a log's text reads \"Log\""
                                : "a text block whose text reads \"Log\" is a log");
    }
    Lines(members.Required("lines"), block->TextList());
    return Finish(std::move(block), members, children);
  }

  std::unique_ptr<OmOutputPart> PageTitle(std::size_t object, std::size_t& children) {
    const Members members(_tape, object, ItemKeys({"codePage", "lines"}));
    const std::size_t textToken = members.Required("text");
    if (!IsPlainString(*Text(textToken), "")) {
      _tape.Fail(textToken, "a page title's text is always an empty string");
    }
    auto title = std::make_unique<OmPageTitle>(Bytes(members, "codePage"));
    Lines(members.Required("lines"), title->TextList());
    return Finish(std::move(title), members, children);
  }

  std::unique_ptr<OmOutputPart> Chart(std::size_t object, std::size_t& children) {
    const Members members(_tape, object,
                          ItemKeys({"codePage", "subType", "editable", "editor", "xmlDescription",
                                    "xmlData", "image", "mapInfo"}));
    std::unique_ptr<OmChart> chart =
        MakeChart(*Text(members.Required("text")), Bytes(members, "codePage"));
    chart->SetImageSubType(static_cast<ChartXMLContentSubType>(Int32(members, "subType")));
    const std::int32_t editing[] = {Int32(members, "editable"), Int32(members, "editor")};
    char info[sizeof editing];
    std::memcpy(info, editing, sizeof info);
    chart->Done(info);
    OmChart& made = *chart;
    AppendInPieces(Payload(members, "xmlDescription"), [&made](const char* data, unsigned size) {
      made.SetXmlDescription(data, size);
    });
    AppendInPieces(Payload(members, "xmlData"), [&made](const char* data, unsigned size) {
      made.SetBinaryDataStream(data, size);
    });
    AppendInPieces(Payload(members, "image"),
                   [&made](const char* data, unsigned size) { made.SetImageStream(data, size); });
    AppendInPieces(Payload(members, "mapInfo"),
                   [&made](const char* data, unsigned size) { made.SetMapInfo(data, size); });
    return Finish(std::move(chart), members, children);
  }

  std::unique_ptr<OmOutputPart> Model(std::size_t object, std::size_t& children) {
    const Members members(
        _tape, object,
        ItemKeys({"modelType", "pmml", "binaryData", "pmmlContainer", "statXmlContainer"}));
    auto model = std::make_unique<OmModel>(*Text(members.Required("text")));
    OmModel& made = *model;
    AppendInPieces(Payload(members, "pmml"),
                   [&made](const char* data, unsigned size) { made.SetPMML(data, size); });
    AppendInPieces(Payload(members, "binaryData"), [&made](const char* data, unsigned size) {
      made.SetBinaryDataStream(data, size);
    });
    AppendInPieces(Payload(members, "pmmlContainer"),
                   [&made](const char* data, unsigned size) { made.SetPMMLContainer(data, size); });
    AppendInPieces(Payload(members, "statXmlContainer"), [&made](const char* data, unsigned size) {
      made.SetStatXMLContainer(data, size);
    });
    // After the containers, which set the type on their own.
    model->SetModelType(static_cast<OmModel::MODEL_TYPE>(Int32(members, "modelType")));
    return Finish(std::move(model), members, children);
  }

  std::unique_ptr<OmOutputPart> AnswerTree(std::size_t object, std::size_t& children) {
    const Members members(_tape, object,
                          ItemKeys({"treeType", "uncompressedLength", "path", "compressedXml",
                                    "uncompressedXml", "uncompressedDisplayXml"}));
    auto tree = std::make_unique<OmAnswerTree>(*Text(members.Required("text")), "");
    OmAnswerTree& made = *tree;
    made.SetTreeType(Int32(members, "treeType"));
    const auto length = static_cast<unsigned int>(_tape.Unsigned(
        members.Required("uncompressedLength"), std::numeric_limits<unsigned int>::max()));
    AppendInPieces(Payload(members, "path"),
                   [&made](const char* data, unsigned size) { made.SetPath(data, size); });
    // The length comes with the compressed document, in one call at least.
    const std::string compressed = Payload(members, "compressedXml");
    made.SetCompressedXML(compressed.data(), 0, length);
    AppendInPieces(compressed, [&made, length](const char* data, unsigned size) {
      made.SetCompressedXML(data, size, length);
    });
    AppendInPieces(Payload(members, "uncompressedXml"), [&made](const char* data, unsigned size) {
      made.SetUncompressedXML(data, size);
    });
    AppendInPieces(
        Payload(members, "uncompressedDisplayXml"),
        [&made](const char* data, unsigned size) { made.SetUncompressedDisplayXML(data, size); });
    return Finish(std::move(tree), members, children);
  }

  // Pivot tables, in the order a producer fills them: back-end settings
  // first, so that the table stamps the texts given to it afterwards.

  std::unique_ptr<OmOutputPart> PivotTable(std::size_t object, std::size_t& children) {
    const Members members(_tape, object,
                          ItemKeys({"templateName",    "hasSplits",   "title",
                                    "caption",         "showCaption", "cornerText",
                                    "backendSettings", "tracker",     "removedFootnotes",
                                    "hasMarkers",      "scratched",   "display",
                                    "areaFormats",     "cellStyles",  "emptyCellStyles",
                                    "dimensions",      "axes",        "footnotes",
                                    "cells",           "layers"}));
    auto table = std::make_unique<OmPivotTable>(*Text(members.Required("text")),
                                                *Text(members.Required("templateName")),
                                                Bool(members, "hasSplits"));
    Settings(*table, members);
    const std::size_t title = members.Optional("title");
    if (title != kAbsent) table->SetTableTitle(*Text(title));
    const std::size_t caption = members.Optional("caption");
    if (caption != kAbsent) table->Caption(Text(caption).get());
    table->showCaption(Bool(members, "showCaption"));
    const std::size_t corner = members.Optional("cornerText");
    if (corner != kAbsent) table->CornerText(Text(corner).get());
    Footnotes(members.Required("footnotes"), table->Footnotes(), table->Footnotes().region(),
              table.get());
    const LeafSubscripts leaves = Dimensions(*table, members.Required("dimensions"));
    Axes(*table, members.Required("axes"));
    Cells(*table, members.Required("cells"), leaves);
    table->RemovedFootnotes(Bool(members, "removedFootnotes"));
    if (Bool(members, "hasMarkers")) table->setHasMarkers();
    if (Bool(members, "scratched")) table->Scratch();
    Display(*table, members.Required("display"));
    AreaFormats(*table, members.Required("areaFormats"));
    CellStyles(*table, members.Required("cellStyles"));
    EmptyCellStyles(*table, members.Required("emptyCellStyles"));
    return Finish(std::move(table), members, children);
  }

  // The tracker, made by a first call that asks for fast tables with its
  // values, then the settings themselves, which remake nothing.
  void Settings(OmPivotTable& table, const Members& members) {
    const std::size_t settingsToken = members.Required("backendSettings");
    const Members fields(_tape, settingsToken, {"locale", "unicode", "fastTables"});
    BackendSettings settings;
    settings.setLocale(Bytes(fields, "locale"));
    settings.setUnicode(Bool(fields, "unicode"));
    settings.setFastTables(Bool(fields, "fastTables"));
    const std::size_t trackerToken = members.Optional("tracker");
    if (trackerToken != kAbsent) {
      const Members tracker(_tape, trackerToken, {"unicode", "locale"});
      BackendSettings first;
      first.setLocale(Bytes(tracker, "locale"));
      first.setUnicode(Bool(tracker, "unicode"));
      first.setFastTables(true);
      table.setBackendSettings(first);
    } else if (settings.getFastTables()) {
      _tape.Fail(fields.Required("fastTables"),
                 "fast tables without a tracker: the table makes one when it first gets them");
    }
    table.setBackendSettings(settings);
  }

  // Reads a category tree, the root first, in pre-order, with a stack of
  // open child lists.
  std::vector<CategoryRecord> Categories(std::size_t rootToken) {
    std::vector<CategoryRecord> nodes;
    struct Open {
      std::size_t next;
      std::size_t end;
    };
    std::vector<Open> open;
    const auto read = [&](std::size_t object) {
      const Members members(
          _tape, object,
          {"text", "group", "subscript", "hidden", "hideLabels", "sort", "children"});
      CategoryRecord& node = nodes.emplace_back();
      node.token = object;
      node.level = static_cast<std::uint32_t>(open.size());
      node.text = TextOrNull(members.Required("text"));
      node.group = Bool(members, "group");
      const std::size_t subscript =
          node.group ? members.Optional("subscript") : members.Required("subscript");
      node.subscriptToken = subscript == kAbsent ? object : subscript;
      if (subscript != kAbsent) {
        node.subscript = _tape.Unsigned(subscript, std::numeric_limits<std::size_t>::max());
      }
      node.hidden = Bool(members, "hidden");
      node.hideLabels = Bool(members, "hideLabels");
      node.sort = Sort(members.Required("sort"));
      const std::size_t list = members.Optional("children");
      if (list == kAbsent) return;
      _tape.ExpectArray(list);
      open.push_back({list + 1, _tape.Next(list) - 1});
    };
    read(rootToken);
    while (!open.empty()) {
      if (open.back().next == open.back().end) {
        open.pop_back();
        continue;
      }
      const std::size_t object = open.back().next;
      open.back().next = _tape.Next(object);
      read(object);
    }
    return nodes;
  }

  LeafSubscripts Dimensions(OmPivotTable& table, std::size_t token) {
    LeafSubscripts leaves;
    for (std::size_t object : _tape.Array(token)) {
      const Members members(_tape, object, {"displayLastCategory", "categoryCount", "root"});
      std::vector<CategoryRecord> nodes = Categories(members.Required("root"));
      const std::size_t count = members.Required("categoryCount");
      leaves.push_back(
          AddDimension(_tape, table, nodes, _tape.Integer(count, kInt32Min, kInt32Max), count));
      table.Dimension(static_cast<int>(table.NDimensions() - 1))
          .DisplayLastCategory(Bool(members, "displayLastCategory"));
    }
    return leaves;
  }

  // The axis lists as stored: dimension numbers, or -1 for a place that
  // growing access made.
  void Axes(OmPivotTable& table, std::size_t token) {
    const Members members(_tape, token, {"rows", "columns", "layers"});
    const std::pair<std::string_view, PuppetVector<short>*> lists[] = {
        {"rows", &table.Rows()}, {"columns", &table.Columns()}, {"layers", &table.Layers()}};
    const auto dimensions = static_cast<std::int64_t>(table.NDimensions());
    for (const auto& [key, list] : lists) {
      for (std::size_t entry : _tape.Array(members.Required(key))) {
        const std::int64_t d = _tape.Integer(entry, -1, std::numeric_limits<short>::max());
        if (d >= dimensions) {
          _tape.Fail(entry, std::string(key) + " names dimension " + std::to_string(d) +
                                "; the table has " + std::to_string(dimensions));
        }
        list->push_back(static_cast<short>(d));
      }
    }
  }

  void Cells(OmPivotTable& table, std::size_t token, const LeafSubscripts& leaves) {
    for (std::size_t cell : _tape.Array(token)) {
      const Members members(_tape, cell, {"index", "text"});
      const std::vector<int> index = CellIndex(_tape, cell, members.Required("index"), leaves);
      SetCell(_tape, table, cell, index, *Text(members.Required("text")));
    }
  }

  void Display(OmPivotTable& table, std::size_t token) {
    const Members members(
        _tape, token,
        {"show", "rotateRowLabels", "rotateColumnLabels", "optionNumber", "tableId", "tableLocale",
         "minColumnWidth", "maxColumnWidth", "minRowWidth", "maxRowWidth", "layerLocation",
         "borderInfo", "tableLookInfo", "tablePropertiesInfo", "customWidths", "customHeights",
         "backendOwns", "fastTable"});
    table.Show(Bool(members, "show"));
    table.RotateRowLabels(Bool(members, "rotateRowLabels"));
    table.RotateColumnLabels(Bool(members, "rotateColumnLabels"));
    table.OptionNumber(Int32(members, "optionNumber"));
    table.TableId(_tape.Integer(members.Required("tableId"),
                                std::numeric_limits<std::int64_t>::min(),
                                std::numeric_limits<std::int64_t>::max()));
    table.TableLocale(Bytes(members, "tableLocale"));
    table.MinColumnWidth(Int32(members, "minColumnWidth"));
    table.MaxColumnWidth(Int32(members, "maxColumnWidth"));
    table.MinRowWidth(Int32(members, "minRowWidth"));
    table.MaxRowWidth(Int32(members, "maxRowWidth"));
    table.setLayerLoc(Int32(members, "layerLocation"));
    table.setBorderInfo(Bytes(members, "borderInfo"));
    table.setTableLookInfo(Bytes(members, "tableLookInfo"));
    table.setTablePropertiesInfo(Bytes(members, "tablePropertiesInfo"));
    table.setTableCustomWidths(Unsigneds(members.Required("customWidths")));
    table.setTableCustomHeights(Unsigneds(members.Required("customHeights")));
    table.setBackendOwns(Bool(members, "backendOwns"));
    table.setFastTable(Bool(members, "fastTable"));
  }

  std::vector<unsigned> Unsigneds(std::size_t token) {
    std::vector<unsigned> values;
    for (std::size_t value : _tape.Array(token))
      values.push_back(
          static_cast<unsigned>(_tape.Unsigned(value, std::numeric_limits<unsigned>::max())));
    return values;
  }

  void AreaFormats(OmPivotTable& table, std::size_t token) {
    for (std::size_t object : _tape.Array(token)) {
      const Members members(
          _tape, object,
          {"area", "fontName", "fontSize", "fontStyle", "underline", "horizontalAlignment",
           "verticalAlignment", "textColor", "backgroundColor", "useAltRowColors",
           "alternateTextColor", "alternateBackgroundColor", "marginLeft", "marginRight",
           "marginTop", "marginBottom"});
      const std::size_t areaToken = members.Required("area");
      const auto area = static_cast<FormatArea::Area>(
          _tape.Integer(areaToken, FormatArea::Title, FormatArea::Borders));
      if (table.getAreaFormat(area) != nullptr) {
        _tape.Fail(areaToken, "a second format for area " + std::to_string(area));
      }
      auto format = std::make_unique<FormatArea>(area);
      format->setFontName(Bytes(members, "fontName"));
      format->setFontSize(Float(members, "fontSize"));
      format->setFontStyle(Int32(members, "fontStyle"));
      format->setUnderline(Bool(members, "underline"));
      format->setHorizontalAlignment(Int32(members, "horizontalAlignment"));
      format->setVerticalAlignment(Int32(members, "verticalAlignment"));
      format->setTextColor(Bytes(members, "textColor"));
      format->setBackgroundColor(Bytes(members, "backgroundColor"));
      format->setUseAltRowColors(Bool(members, "useAltRowColors"));
      format->setAlternateTextColor(Bytes(members, "alternateTextColor"));
      format->setAlternateBackgroundColor(Bytes(members, "alternateBackgroundColor"));
      format->setMarginLeft(Int32(members, "marginLeft"));
      format->setMarginRight(Int32(members, "marginRight"));
      format->setMarginTop(Int32(members, "marginTop"));
      format->setMarginBottom(Int32(members, "marginBottom"));
      table.setAreaFormat(format.release());
    }
  }

  void CellStyles(OmPivotTable& table, std::size_t token) {
    for (std::size_t object : _tape.Array(token)) {
      const Members members(
          _tape, object,
          {"fontName", "fontSize", "bold", "italic", "underline", "textColor", "backgroundColor",
           "horizontalAlignment", "verticalAlignment", "numberFormat"});
      OmCellProperties style;
      style.fontName = Bytes(members, "fontName");
      style.fontSize = Float(members, "fontSize");
      style.bold = Bool(members, "bold");
      style.italic = Bool(members, "italic");
      style.underline = Bool(members, "underline");
      style.textColor = Bytes(members, "textColor");
      style.backgroundColor = Bytes(members, "backgroundColor");
      style.horizontalAlignment = Int32(members, "horizontalAlignment");
      style.verticalAlignment = Int32(members, "verticalAlignment");
      style.numberFormat = Bytes(members, "numberFormat");
      table.cellStyles().push_back(std::move(style));
    }
  }

  void EmptyCellStyles(OmPivotTable& table, std::size_t token) {
    for (std::size_t pair : _tape.Array(token)) {
      if (_tape.Array(pair).size() != 2) _tape.Fail(pair, "expected a [position, style] pair");
      const std::uint64_t position =
          _tape.Unsigned(pair + 1, std::numeric_limits<std::size_t>::max());
      const auto style = static_cast<unsigned short>(
          _tape.Unsigned(_tape.Next(pair + 1), std::numeric_limits<unsigned short>::max()));
      if (!table.emptyCellStyles().emplace(position, style).second) {
        _tape.Fail(pair + 1, "a second style for position " + std::to_string(position));
      }
    }
  }

  const Tape& _tape;
};

}  // namespace

std::unique_ptr<OmOutputTree> LoadVersion2(const Tape& tape, std::size_t items) {
  return Builder(tape).Build(items);
}

}  // namespace internal

std::unique_ptr<OmOutputTree> Load(std::string_view text, const std::string& name) {
  using internal::FindMember;
  using internal::Members;
  const internal::Tape tape(text, name);
  const std::size_t format = FindMember(tape, 0, "format");
  if (format == Members::kAbsent) tape.Fail(0, "missing \"format\"");
  if (tape.String(format) != "omtree-document") {
    tape.Fail(format, "not an omtree document: the format is \"" +
                          internal::EscapeJson(tape.Text(format)) + "\"");
  }
  const std::size_t versionToken = FindMember(tape, 0, "version");
  if (versionToken == Members::kAbsent) tape.Fail(0, "missing \"version\"");
  const std::int64_t version = tape.Integer(versionToken, std::numeric_limits<std::int64_t>::min(),
                                            std::numeric_limits<std::int64_t>::max());
  if (version > kFormatVersion) {
    tape.Fail(versionToken, "version " + std::to_string(version) +
                                " is newer than this reader knows (" +
                                std::to_string(kFormatVersion) + ")");
  }
  if (version < 1) {
    tape.Fail(versionToken, "version " + std::to_string(version) + " is no version of the format");
  }
  const Members top(tape, 0, {"format", "version", "options", "items"});
  const std::size_t items = top.Required("items");
  return version == 1 ? internal::LoadVersion1(tape, items) : internal::LoadVersion2(tape, items);
}

std::unique_ptr<OmOutputTree> Load(std::istream& in, const std::string& name) {
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw LoadError(name + ": cannot read the document", 0, 0, "");
  return Load(text, name);
}

}  // namespace omdoc
