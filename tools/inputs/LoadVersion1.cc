// The reader of version 1 documents, the export that came before the
// lossless format. Such a document gives texts as the strings they showed,
// footnotes as marks, cells as their shown value and, for numbers, their
// value, dimensions with a role and a position instead of the axis lists,
// and payloads by their sizes alone. It is read where that is enough: texts
// become string cells, a cell with a number a number cell (with the
// decimals its shown value has, where some number of decimals gives it),
// marks become footnote numbers again. A payload of one byte or more cannot
// be restored, and fails the document.

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "Document.h"
#include "JsonText.h"
#include "Layout.h"
#include "Reader.h"

namespace omdoc::internal {

namespace {

constexpr std::size_t kAbsent = Members::kAbsent;

std::unique_ptr<OmCellText> StringCell(std::string bytes) {
  return std::make_unique<OmStringCell>(bytes, nullptr, false);
}

class Builder {
 public:
  explicit Builder(const Tape& tape) : _tape(tape) {}

  std::unique_ptr<OmOutputTree> Build(std::size_t items) {
    return BuildOutline(_tape, items, [this](std::size_t object, std::size_t& children) {
      return Item(object, children);
    });
  }

 private:
  // The footnote number of a mark: a, b, ..., z, aa, ... for 0, 1, ...,
  // or a negative number written as itself.
  short MarkNumber(std::size_t token) {
    const std::string_view mark = _tape.String(token);
    std::int64_t number = 0;
    bool valid = !mark.empty() && mark.size() <= 4;
    if (valid && mark[0] == '-') {
      for (std::size_t i = 1; i < mark.size() && valid; ++i) {
        valid = mark[i] >= '0' && mark[i] <= '9';
        number = number * 10 + (mark[i] - '0');
      }
      number = -number;
      valid = valid && mark.size() > 1 && omrender::FootnoteMark(static_cast<int>(number)) == mark;
    } else {
      for (std::size_t i = 0; i < mark.size() && valid; ++i) {
        valid = mark[i] >= 'a' && mark[i] <= 'z';
        number = number * 26 + (mark[i] - 'a' + 1);
      }
      --number;
    }
    if (!valid || number < std::numeric_limits<short>::min() ||
        number > std::numeric_limits<short>::max()) {
      _tape.Fail(token, "not a footnote mark: \"" + EscapeJson(mark) + "\"");
    }
    return static_cast<short>(number);
  }

  void Marks(const Members& members, OmCellText& text) {
    const std::size_t marks = members.Optional("footnotes");
    if (marks == kAbsent) return;
    for (std::size_t mark : _tape.Array(marks))
      text.Footnotes().push_back(MarkNumber(mark));
  }

  // {"text": ..., "footnotes": [...]} as a string cell.
  std::unique_ptr<OmCellText> TextObject(std::size_t token) {
    const Members members(_tape, token, {"text", "footnotes"});
    std::unique_ptr<OmCellText> text = StringCell(String(members, "text"));
    Marks(members, *text);
    return text;
  }

  std::string String(const Members& members, std::string_view key) {
    return std::string(_tape.String(members.Required(key)));
  }
  bool Bool(const Members& members, std::string_view key) {
    return _tape.Bool(members.Required(key));
  }
  std::int32_t Int32(const Members& members, std::string_view key) {
    return static_cast<std::int32_t>(_tape.Integer(members.Required(key), kInt32Min, kInt32Max));
  }

  // A payload given by its size, which must be 0.
  void NoPayload(const Members& sizes, std::string_view key, const char* item) {
    const std::size_t token = sizes.Required(key);
    const std::uint64_t size = _tape.Unsigned(token, std::numeric_limits<std::uint64_t>::max());
    if (size == 0) return;
    _tape.Fail(token, std::string("a version 1 document gives only the size of ") + item +
                          " payload: the " + std::to_string(size) + " bytes of \"" +
                          std::string(key) + "\" cannot be restored");
  }

  void Footnotes(std::size_t token, OmVector<OmFootnote>& footnotes, OmMemoryRegion* region,
                 OmPivotTable* table) {
    for (std::size_t object : _tape.Array(token)) {
      const Members members(_tape, object, {"number", "mark", "text", "secondText", "count"});
      const std::size_t number = members.Required("number");
      if (_tape.Unsigned(number, std::numeric_limits<std::uint64_t>::max()) != footnotes.size()) {
        _tape.Fail(number, "footnote number " + std::to_string(_tape.UnsignedValue(number)) +
                               " does not match its place " + std::to_string(footnotes.size()));
      }
      const std::size_t mark = members.Required("mark");
      if (_tape.String(mark) != omrender::FootnoteMark(static_cast<int>(footnotes.size()))) {
        _tape.Fail(mark, "mark \"" + EscapeJson(_tape.Text(mark)) + "\" is not that of footnote " +
                             std::to_string(footnotes.size()));
      }
      const std::unique_ptr<OmCellText> text = StringCell(String(members, "text"));
      const std::size_t second = members.Optional("secondText");
      const std::unique_ptr<OmCellText> secondText =
          second == kAbsent ? nullptr : StringCell(std::string(_tape.String(second)));
      OmFootnote& footnote = *footnotes.emplace_back(text.get(), secondText.get(), region);
      footnote.Count(Int32(members, "count"));
      if (table == nullptr) continue;
      table->setHelper(*footnote.Text());
      if (footnote.SecondText() != nullptr) table->setHelper(*footnote.SecondText());
    }
  }

  void Lines(std::size_t token, std::list<std::string>& lines) {
    for (std::size_t line : _tape.Array(token))
      lines.push_back(std::string(_tape.String(line)));
  }

  std::unique_ptr<OmOutputPart> Finish(std::unique_ptr<OmOutputPart> item, const Members& members,
                                       std::size_t& children) {
    item->Visible(Bool(members, "visible"));
    item->Expanded(Bool(members, "expanded"));
    children = members.Required("children");
    return item;
  }

  std::unique_ptr<OmOutputPart> Item(std::size_t object, std::size_t& children) {
    _tape.ExpectObject(object);
    const std::size_t kindToken = FindMember(_tape, object, "kind");
    if (kindToken == kAbsent) _tape.Fail(object, "missing \"kind\"");
    const std::string_view kind = _tape.String(kindToken);
    if (kind == "empty") {
      const Members members(_tape, object, {"kind", "children"});
      children = members.Required("children");
      return nullptr;
    }
    if (kind == "heading") {
      const Members members(_tape, object, ItemKeys({"footnotes"}));
      auto heading = std::make_unique<OmHeading>(*StringCell(String(members, "text")));
      Footnotes(members.Required("footnotes"), heading->Footnotes(), nullptr, nullptr);
      return Finish(std::move(heading), members, children);
    }
    if (kind == "procedure") {
      const Members members(_tape, object,
                            ItemKeys({"command", "translatedCommand", "languageCode",
                                      "localeCodePage", "localeName", "footnotes"}));
      auto procedure = std::make_unique<OmProcedure>(
          *StringCell(String(members, "text")), String(members, "languageCode"),
          String(members, "localeCodePage"), String(members, "localeName"));
      procedure->SetCommand(String(members, "command"));
      procedure->SetTransCommand(String(members, "translatedCommand"));
      Footnotes(members.Required("footnotes"), procedure->Footnotes(), nullptr, nullptr);
      return Finish(std::move(procedure), members, children);
    }
    if (kind == "text" || kind == "log") {
      const Members members(_tape, object, ItemKeys({"codePage", "lines"}));
      const std::size_t textToken = members.Required("text");
      auto block = std::make_unique<OmTextBlock>(*StringCell(std::string(_tape.String(textToken))),
                                                 String(members, "codePage"));
      if (block->IsLog() != (kind == "log")) {
        _tape.Fail(textToken, kind == "log" ? "a log's text reads \"Log\""
                                            : "a text block whose text reads \"Log\" is a log");
      }
      Lines(members.Required("lines"), block->TextList());
      return Finish(std::move(block), members, children);
    }
    if (kind == "pageTitle") {
      const Members members(_tape, object, ItemKeys({"codePage", "lines"}));
      const std::size_t textToken = members.Required("text");
      if (!_tape.String(textToken).empty()) {
        _tape.Fail(textToken, "a page title's text is always an empty string");
      }
      auto title = std::make_unique<OmPageTitle>(String(members, "codePage"));
      Lines(members.Required("lines"), title->TextList());
      return Finish(std::move(title), members, children);
    }
    if (kind == "chart") return Chart(object, children);
    if (kind == "model") return Model(object, children);
    if (kind == "answerTree") return AnswerTree(object, children);
    if (kind == "pivotTable") return PivotTable(object, children);
    _tape.Fail(kindToken, "unknown kind of item \"" + EscapeJson(kind) + "\"");
  }

  std::unique_ptr<OmOutputPart> Chart(std::size_t object, std::size_t& children) {
    const Members members(
        _tape, object,
        ItemKeys({"codePage", "subType", "editable", "editor", "hasMap", "payloadBytes"}));
    const Members sizes(_tape, members.Required("payloadBytes"),
                        {"xmlDescription", "xmlData", "image"});
    for (const char* key : {"xmlDescription", "xmlData", "image"})
      NoPayload(sizes, key, "a chart's");
    const std::size_t hasMap = members.Required("hasMap");
    if (_tape.Bool(hasMap)) {
      _tape.Fail(hasMap,
                 "a version 1 document gives no map-info bytes: the map cannot be restored");
    }
    std::unique_ptr<OmChart> chart =
        MakeChart(*StringCell(String(members, "text")), String(members, "codePage"));
    chart->SetImageSubType(static_cast<ChartXMLContentSubType>(Int32(members, "subType")));
    const std::int32_t editing[] = {Int32(members, "editable"), Int32(members, "editor")};
    char info[sizeof editing];
    std::memcpy(info, editing, sizeof info);
    chart->Done(info);
    return Finish(std::move(chart), members, children);
  }

  std::unique_ptr<OmOutputPart> Model(std::size_t object, std::size_t& children) {
    const Members members(_tape, object, ItemKeys({"modelType", "payloadBytes"}));
    const Members sizes(_tape, members.Required("payloadBytes"),
                        {"pmml", "binaryData", "pmmlContainer", "statXmlContainer"});
    for (const char* key : {"pmml", "binaryData", "pmmlContainer", "statXmlContainer"})
      NoPayload(sizes, key, "a model's");
    auto model = std::make_unique<OmModel>(*StringCell(String(members, "text")));
    model->SetModelType(static_cast<OmModel::MODEL_TYPE>(Int32(members, "modelType")));
    return Finish(std::move(model), members, children);
  }

  std::unique_ptr<OmOutputPart> AnswerTree(std::size_t object, std::size_t& children) {
    const Members members(_tape, object,
                          ItemKeys({"treeType", "uncompressedLength", "payloadBytes"}));
    const Members sizes(_tape, members.Required("payloadBytes"),
                        {"path", "compressedXml", "uncompressedXml", "uncompressedDisplayXml"});
    for (const char* key : {"path", "compressedXml", "uncompressedXml", "uncompressedDisplayXml"})
      NoPayload(sizes, key, "an answer tree's");
    auto tree = std::make_unique<OmAnswerTree>(*StringCell(String(members, "text")), "");
    tree->SetTreeType(Int32(members, "treeType"));
    const auto length = static_cast<unsigned int>(_tape.Unsigned(
        members.Required("uncompressedLength"), std::numeric_limits<unsigned int>::max()));
    tree->SetCompressedXML("", 0, length);
    return Finish(std::move(tree), members, children);
  }

  std::unique_ptr<OmOutputPart> PivotTable(std::size_t object, std::size_t& children) {
    const Members members(_tape, object,
                          ItemKeys({"templateName", "title", "caption", "cornerText", "dimensions",
                                    "footnotes", "cells", "layers"}));
    auto table = std::make_unique<OmPivotTable>(
        *StringCell(String(members, "text")), *StringCell(String(members, "templateName")), false);
    const std::size_t title = members.Optional("title");
    if (title != kAbsent) table->SetTableTitle(*TextObject(title));
    // Version 1 gives a caption only when the table shows it.
    const std::size_t caption = members.Optional("caption");
    if (caption != kAbsent) table->Caption(TextObject(caption).get());
    const std::size_t corner = members.Optional("cornerText");
    if (corner != kAbsent) table->CornerText(TextObject(corner).get());
    Footnotes(members.Required("footnotes"), table->Footnotes(), table->Footnotes().region(),
              table.get());
    const LeafSubscripts leaves = Dimensions(*table, members.Required("dimensions"));
    Cells(*table, members.Required("cells"), leaves);
    return Finish(std::move(table), members, children);
  }

  std::vector<CategoryRecord> Categories(const Members& dimension) {
    std::vector<CategoryRecord> nodes;
    CategoryRecord& root = nodes.emplace_back();
    root.token = dimension.object();
    root.text = StringCell(String(dimension, "name"));
    Marks(dimension, *root.text);
    root.group = true;
    root.hidden = Bool(dimension, "hidden");
    root.hideLabels = Bool(dimension, "hideLabels");
    struct Open {
      std::size_t next;
      std::size_t end;
    };
    const auto listOf = [this](std::size_t list) {
      _tape.ExpectArray(list);
      return Open{list + 1, _tape.Next(list) - 1};
    };
    std::vector<Open> open{listOf(dimension.Required("categories"))};
    while (!open.empty()) {
      if (open.back().next == open.back().end) {
        open.pop_back();
        continue;
      }
      const std::size_t object = open.back().next;
      open.back().next = _tape.Next(object);
      const Members members(
          _tape, object,
          {"label", "footnotes", "group", "subscript", "hidden", "hideLabels", "children"});
      CategoryRecord& node = nodes.emplace_back();
      node.token = object;
      node.level = static_cast<std::uint32_t>(open.size());
      node.text = StringCell(String(members, "label"));
      Marks(members, *node.text);
      node.group = Bool(members, "group");
      if (!node.group) {
        node.subscriptToken = members.Required("subscript");
        node.subscript =
            _tape.Unsigned(node.subscriptToken, std::numeric_limits<std::size_t>::max());
      }
      node.hidden = Bool(members, "hidden");
      node.hideLabels = Bool(members, "hideLabels");
      const std::size_t children = members.Optional("children");
      if (children != kAbsent) open.push_back(listOf(children));
    }
    return nodes;
  }

  // The dimensions, and the axis lists from their roles and positions:
  // each list holds its dimensions at positions 0, 1, ... without a gap.
  LeafSubscripts Dimensions(OmPivotTable& table, std::size_t token) {
    struct Placement {
      std::size_t roleToken;
      PuppetVector<short>* list;  // null for "none"
      std::size_t positionToken;
    };
    std::vector<Placement> placements;
    LeafSubscripts leaves;
    for (std::size_t object : _tape.Array(token)) {
      const Members members(_tape, object,
                            {"name", "footnotes", "role", "position", "hidden", "hideLabels",
                             "categoryCount", "categories"});
      const std::size_t roleToken = members.Required("role");
      const std::string_view role = _tape.String(roleToken);
      PuppetVector<short>* list = role == "row"      ? &table.Rows()
                                  : role == "column" ? &table.Columns()
                                  : role == "layer"  ? &table.Layers()
                                                     : nullptr;
      if (list == nullptr && role != "none") {
        _tape.Fail(roleToken, "unknown role \"" + EscapeJson(role) + "\"");
      }
      const std::size_t position = list == nullptr ? kAbsent : members.Required("position");
      if (list == nullptr && members.Has("position")) {
        _tape.Fail(members.Required("position"), "a dimension of role \"none\" has no position");
      }
      placements.push_back({roleToken, list, position});
      std::vector<CategoryRecord> nodes = Categories(members);
      const std::size_t count = members.Required("categoryCount");
      leaves.push_back(
          AddDimension(_tape, table, nodes, _tape.Integer(count, kInt32Min, kInt32Max), count));
    }
    for (const Placement& placement : placements) {
      if (placement.list != nullptr) placement.list->push_back(-1);
    }
    for (std::size_t d = 0; d < placements.size(); ++d) {
      const Placement& placement = placements[d];
      if (placement.list == nullptr) continue;
      const std::int64_t position = _tape.Integer(
          placement.positionToken, 0, static_cast<std::int64_t>(placement.list->size()) - 1);
      short& entry = (*placement.list)[static_cast<std::size_t>(position)];
      if (entry != -1) {
        _tape.Fail(placement.positionToken,
                   "position " + std::to_string(position) + " is taken by another dimension");
      }
      entry = static_cast<short>(d);
    }
    return leaves;
  }

  // Each cell as a number cell when it has a number, else a string cell.
  void Cells(OmPivotTable& table, std::size_t token, const LeafSubscripts& leaves) {
    for (std::size_t cell : _tape.Array(token)) {
      const Members members(_tape, cell, {"index", "value", "number", "footnotes"});
      const std::vector<int> index = CellIndex(_tape, cell, members.Required("index"), leaves);
      std::string value = String(members, "value");
      const std::size_t number = members.Optional("number");
      std::unique_ptr<OmCellText> text;
      if (number == kAbsent) {
        text = StringCell(std::move(value));
      } else {
        text = Number(_tape.Number(number), value);
      }
      Marks(members, *text);
      SetCell(_tape, table, cell, index, *text);
    }
  }

  // value shown as shown, in its shortest form when no number of decimals
  // shows it so.
  static std::unique_ptr<OmCellText> Number(double value, const std::string& shown) {
    auto number = std::make_unique<OmNumber>(value);
    for (int decimals = OmNumber::kShortest; decimals <= OmNumber::kMaxDecimals; ++decimals) {
      if (OmNumber::Format(value, decimals) == shown) {
        number->SetDecimals(decimals);
        break;
      }
    }
    return number;
  }

  const Tape& _tape;
};

}  // namespace

std::unique_ptr<OmOutputTree> LoadVersion1(const Tape& tape, std::size_t items) {
  return Builder(tape).Build(items);
}

}  // namespace omdoc::internal
