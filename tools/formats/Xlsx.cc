#include "Xlsx.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

#include "Layout.h"
#include "TextWidth.h"

namespace omrender {

namespace {

constexpr std::size_t kMaxCellCharacters = 32767;
constexpr std::size_t kMaxSheetNameCharacters = 31;
constexpr double kMaxColumnWidth = 80;

// text as a cell may hold it: valid UTF-8 without the control characters
// XML cannot carry (each bad byte and each such character one U+FFFD),
// line breaks as line feeds, at most kMaxCellCharacters characters.
std::string CellString(const std::string& text) {
  const std::vector<std::string> lines = SplitLines(text);
  std::string joined = lines.front();
  for (std::size_t l = 1; l < lines.size(); ++l)
    joined += '\n' + lines[l];
  std::string clean;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < joined.size() && characters < kMaxCellCharacters; ++characters) {
    const std::size_t length = Utf8SequenceLength(joined, i);
    const unsigned char c = static_cast<unsigned char>(joined[i]);
    if (length == 0 || (c < 0x20 && c != '\t' && c != '\n')) {
      clean += "\xEF\xBF\xBD";
      ++i;
    } else {
      clean.append(joined, i, length);
      i += length;
    }
  }
  return clean;
}

std::string Marks(const std::vector<int>& footnotes) {
  std::string marks;
  for (std::size_t i = 0; i < footnotes.size(); ++i)
    marks += (i > 0 ? "," : "") + FootnoteMark(footnotes[i]);
  return marks;
}

// The width a column needs for text: its longest line, in characters.
double TextColumns(const std::string& text) {
  std::size_t widest = 0;
  for (const std::string& line : SplitLines(text))
    widest = std::max(widest, DisplayWidth(line));
  return static_cast<double>(widest);
}

void Check(lxw_error error, const std::string& where) {
  if (error != LXW_NO_ERROR) throw XlsxError(where + ": " + lxw_strerror(error));
}

// How a cell or a run of text looks. Formats belong to the workbook; each
// distinct style is added once.
struct Style {
  bool bold = false;
  bool superscript = false;
  bool wrap = false;
  uint8_t align = LXW_ALIGN_NONE;
  uint8_t verticalAlign = LXW_ALIGN_NONE;
  std::string numberFormat;

  bool operator<(const Style& other) const {
    return std::tie(bold, superscript, wrap, align, verticalAlign, numberFormat) <
           std::tie(other.bold, other.superscript, other.wrap, other.align, other.verticalAlign,
                    other.numberFormat);
  }
};

class Formats {
 public:
  explicit Formats(lxw_workbook* workbook) : _workbook(workbook) {}

  // The workbook's format for style; null, the default, for the plain one.
  lxw_format* Get(const Style& style) {
    if (!(Style() < style) && !(style < Style())) return nullptr;
    auto found = _formats.find(style);
    if (found != _formats.end()) return found->second;
    lxw_format* format = workbook_add_format(_workbook);
    if (format == nullptr) throw XlsxError("cannot add a cell format");
    if (style.bold) format_set_bold(format);
    if (style.superscript) format_set_font_script(format, LXW_FONT_SUPERSCRIPT);
    if (style.wrap) format_set_text_wrap(format);
    if (style.align != LXW_ALIGN_NONE) format_set_align(format, style.align);
    if (style.verticalAlign != LXW_ALIGN_NONE) format_set_align(format, style.verticalAlign);
    if (!style.numberFormat.empty()) format_set_num_format(format, style.numberFormat.c_str());
    _formats.emplace(style, format);
    return format;
  }

 private:
  lxw_workbook* _workbook;
  std::map<Style, lxw_format*> _formats;
};

// A stretch of a cell's text in one font.
struct Run {
  std::string text;
  bool superscript = false;
};

// A text as runs: its string, then its marks in superscript.
std::vector<Run> Runs(const ShownText& text, const std::string& prefix = "") {
  std::vector<Run> runs{{prefix + text.text, false}};
  if (!text.footnotes.empty()) runs.push_back({Marks(text.footnotes), true});
  return runs;
}

// The number format that shows number with its decimals, as a percent when
// percent is set (the value then stored divided by 100), followed by marks
// as literal text. Empty for General.
std::string NumberFormat(const OmNumber& number, bool percent, const std::string& marks) {
  std::string format;
  if (number.Decimals() == OmNumber::kShortest) {
    format = percent ? "0.0##########%" : "";
  } else {
    format = number.Decimals() > 0 ? "0." + std::string(number.Decimals(), '0') : "0";
    if (percent) format += '%';
  }
  if (marks.empty()) return format;
  return (format.empty() ? "General" : format) + "\"[" + marks + "]\"";
}

// Writes rows onto one worksheet, from the top down, and keeps the widths
// its tables' grids need.
class SheetWriter {
 public:
  SheetWriter(lxw_worksheet* sheet, std::string name, Formats& formats)
      : _sheet(sheet), _name(std::move(name)), _formats(formats) {}

  // One row of runs in column A.
  void Line(const std::vector<Run>& runs, bool bold = false) {
    Style style;
    style.bold = bold;
    Write(_row, 0, runs, style);
    ++_row;
  }

  void Line(const ShownText& text, bool bold = false) { Line(Runs(text), bold); }
  void Line(const std::string& text) { Line(std::vector<Run>{{text, false}}); }

  void Skip() { ++_row; }

  // The grid of one layer, its top left place at the current row in
  // column A.
  void Grid(LayerLayout& layout) {
    for (std::size_t r = 0; r < layout.Rows(); ++r) {
      const std::vector<LayoutCell>& places = layout.Row(r);
      for (std::size_t c = 0; c < layout.Width(); ++c) {
        const LayoutCell& cell = places[c];
        if (cell.covered) continue;
        const lxw_row_t row = static_cast<lxw_row_t>(_row + r);
        const lxw_col_t column = Column(c);
        Style style;
        if (r < layout.HeadRows()) {
          style.bold = c >= layout.LabelColumns();
          style.align = c >= layout.LabelColumns() ? LXW_ALIGN_CENTER : LXW_ALIGN_NONE;
          style.verticalAlign = LXW_ALIGN_VERTICAL_BOTTOM;
        } else if (c < layout.LabelColumns()) {
          style.verticalAlign = LXW_ALIGN_VERTICAL_TOP;
        }
        if (cell.colspan > 1 || cell.rowspan > 1) {
          // Merging writes the range's places blank; the text goes into
          // its first place afterwards.
          Check(worksheet_merge_range(_sheet, row, column,
                                      static_cast<lxw_row_t>(row + cell.rowspan - 1),
                                      Column(c + cell.colspan - 1), "", _formats.Get(style)),
                Where(row, column));
          _spans.push_back({c, cell.colspan, Width(cell.text)});
        } else {
          NeedWidth(c, Width(cell.text));
        }
        const bool data = r >= layout.HeadRows() && c >= layout.LabelColumns();
        if (data && cell.number != nullptr && std::isfinite(cell.number->Value())) {
          Number(row, column, *cell.number, cell.text);
        } else {
          Write(row, column, Runs(cell.text), style);
        }
      }
    }
    _row += layout.Rows();
  }

  // Sets the columns' widths; the last call on the sheet.
  void FitColumns() {
    for (const Span& span : _spans) {
      double total = 0;
      for (std::size_t c = span.first; c < span.first + span.count; ++c)
        total += c < _widths.size() ? _widths[c] : 0;
      if (total >= span.width) continue;
      const double extra = (span.width - total) / static_cast<double>(span.count);
      for (std::size_t c = span.first; c < span.first + span.count; ++c)
        NeedWidth(c, (c < _widths.size() ? _widths[c] : 0) + extra);
    }
    for (std::size_t c = 0; c < _widths.size(); ++c) {
      if (_widths[c] == 0) continue;
      // Room for the cell's padding beside the text.
      const double width = std::min(_widths[c] + 2, kMaxColumnWidth);
      Check(worksheet_set_column(_sheet, Column(c), Column(c), width, nullptr),
            _name + ": column " + std::to_string(c + 1));
    }
  }

 private:
  // A label over several columns, whose width is shared among them.
  struct Span {
    std::size_t first;
    std::size_t count;
    double width;
  };

  static double Width(const ShownText& text) {
    return TextColumns(text.text) + static_cast<double>(Marks(text.footnotes).size());
  }

  lxw_col_t Column(std::size_t c) const {
    if (c >= LXW_COL_MAX)
      throw XlsxError(_name + ": a table wider than a worksheet's " + std::to_string(LXW_COL_MAX) +
                      " columns");
    return static_cast<lxw_col_t>(c);
  }

  std::string Where(lxw_row_t row, lxw_col_t column) const {
    return _name + ": row " + std::to_string(row + 1) + ", column " + std::to_string(column + 1);
  }

  void NeedWidth(std::size_t c, double width) {
    if (_widths.size() <= c) _widths.resize(c + 1, 0);
    _widths[c] = std::max(_widths[c], width);
  }

  void Number(lxw_row_t row, lxw_col_t column, const OmNumber& number, const ShownText& text) {
    const bool percent = text.text == number.AsString() + "%";
    Style style;
    style.numberFormat = NumberFormat(number, percent, Marks(text.footnotes));
    const double value = percent ? number.Value() / 100 : number.Value();
    Check(worksheet_write_number(_sheet, row, column, value, _formats.Get(style)),
          Where(row, column));
  }

  // runs at (row, column), in the cell format style (made to wrap when the
  // text holds a line break): one run as a plain string in its font, more
  // as rich text. Empty runs are left out; nothing is written when all are.
  void Write(lxw_row_t row, lxw_col_t column, const std::vector<Run>& runs, Style style) {
    std::vector<Run> kept;
    for (const Run& run : runs) {
      const std::string text = CellString(run.text);
      if (text.empty()) continue;
      style.wrap = style.wrap || text.find('\n') != std::string::npos;
      kept.push_back({text, run.superscript});
    }
    if (row >= LXW_ROW_MAX)
      throw XlsxError(_name + ": more rows than a worksheet's " + std::to_string(LXW_ROW_MAX));
    if (kept.empty()) return;
    if (kept.size() == 1) {
      style.superscript = kept[0].superscript;
      Check(worksheet_write_string(_sheet, row, column, kept[0].text.c_str(), _formats.Get(style)),
            Where(row, column));
      return;
    }
    std::vector<lxw_rich_string_tuple> fragments;
    for (const Run& run : kept) {
      Style font;
      font.bold = style.bold;
      font.superscript = run.superscript;
      fragments.push_back({_formats.Get(font), const_cast<char*>(run.text.c_str())});
    }
    std::vector<lxw_rich_string_tuple*> list;
    for (lxw_rich_string_tuple& fragment : fragments)
      list.push_back(&fragment);
    list.push_back(nullptr);
    Check(worksheet_write_rich_string(_sheet, row, column, list.data(), _formats.Get(style)),
          Where(row, column));
  }

  lxw_worksheet* _sheet;
  std::string _name;
  Formats& _formats;
  std::size_t _row = 0;
  std::vector<double> _widths;
  std::vector<Span> _spans;
};

void WriteTable(OmPivotTable& table, const Options& options, SheetWriter& sheet) {
  const ShownText title = Shown(TableTitle(table));
  sheet.Line(title, true);
  std::size_t width = 1;
  const int shown = ForEachShownLayer(table, options, [&](const ShownLayer& layer) {
    LayerLayout layout(layer);
    for (const std::vector<ShownText>& labels : layout.LayerLabels()) {
      std::vector<Run> runs;
      for (std::size_t l = 0; l < labels.size(); ++l) {
        for (Run& run : Runs(labels[l], LayerLabelSeparator(l)))
          runs.push_back(std::move(run));
      }
      sheet.Line(runs);
    }
    if (layout.Empty()) {
      sheet.Line("(no cells)");
    } else {
      sheet.Grid(layout);
      width = std::max(width, layout.Width());
    }
    sheet.Skip();
  });
  if (shown == 0) {
    sheet.Line(title.text + ": no layer to show.");
    return;
  }
  const OmVector<OmFootnote>& footnotes = table.Footnotes();
  for (std::size_t n = 0; n < footnotes.size(); ++n) {
    std::vector<Run> runs{{FootnoteMark(static_cast<int>(n)), true}};
    for (Run& run : Runs(Shown(footnotes[n].Text()), " "))
      runs.push_back(std::move(run));
    sheet.Line(runs);
  }
  if (table.Caption() != nullptr && table.showCaption()) sheet.Line(Shown(table.Caption()));
}

// A sheet name Excel accepts, made from text and unlike every name in used
// (compared without case, as Excel does), which it joins: the characters
// []:*?/\ and control characters become '_', apostrophes and spaces at
// either end go, an empty name becomes "Table", and a name taken gets
// " (2)", " (3)", ..., cut to fit 31 characters.
std::string UniqueSheetName(const std::string& text, std::set<std::string>& used) {
  std::string base;
  std::size_t characters = 0;
  const std::string clean = CellString(text);
  for (std::size_t i = 0; i < clean.size(); ++characters) {
    const std::size_t length = Utf8SequenceLength(clean, i);
    const unsigned char c = static_cast<unsigned char>(clean[i]);
    if (length == 1 && (c < 0x20 || std::string("[]:*?/\\").find(c) != std::string::npos)) {
      base += '_';
    } else {
      base.append(clean, i, length);
    }
    i += length;
  }
  const std::size_t first = base.find_first_not_of("' ");
  base =
      first == std::string::npos ? "" : base.substr(first, base.find_last_not_of("' ") - first + 1);
  if (base.empty()) base = "Table";
  // Cuts name to at most count characters.
  const auto cut = [](const std::string& name, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t k = 0; k < count && i < name.size(); ++k)
      i += Utf8SequenceLength(name, i);
    return name.substr(0, i);
  };
  const auto folded = [](std::string name) {
    for (char& c : name)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
  };
  std::string name = cut(base, kMaxSheetNameCharacters);
  for (int n = 2; used.count(folded(name)) > 0; ++n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    name = cut(base, kMaxSheetNameCharacters - suffix.size()) + suffix;
  }
  used.insert(folded(name));
  return name;
}

// Writes the items of the outline, in order, onto their sheets.
class WorkbookWriter : public OutlineWalker {
 public:
  using OutlineWalker::Visit;

  WorkbookWriter(lxw_workbook* workbook, const Options& options, const XlsxOptions& xlsx)
      : _workbook(workbook), _options(options), _xlsx(xlsx), _formats(workbook) {}

  void Write(OmOutputTree& tree) {
    const bool tables = _xlsx.sheets == XlsxOptions::Sheets::kTables;
    bool anyTable = false;
    bool anyOther = false;
    for (const auto& entry : tree.List()) {
      if (entry.item == nullptr) continue;
      (dynamic_cast<OmPivotTable*>(entry.item) != nullptr ? anyTable : anyOther) = true;
    }
    if (!tables || anyOther || !anyTable) _main = AddSheet(tables ? "Outline" : "Document");
    Walk(tree);
    for (const std::unique_ptr<SheetWriter>& sheet : _sheets)
      sheet->FitColumns();
  }

  void Visit(OmHeading& heading) override { Item(Shown(heading.OutlineText()), true); }

  void Visit(OmProcedure& procedure) override {
    _main->Line(Shown(procedure.OutlineText()), true);
    if (!procedure.Command().empty()) _main->Line(procedure.Command());
    _main->Skip();
  }

  void Visit(OmTextBlock& block) override {
    if (block.IsLog()) {
      _main->Line("Log");
    } else if (block.OutlineText() != nullptr) {
      _main->Line(Shown(block.OutlineText()));
    }
    for (const std::string& line : block.TextList()) {
      for (const std::string& part : SplitLines(line))
        _main->Line(part);
    }
    _main->Skip();
  }

  void Visit(OmPivotTable& table) override {
    SheetWriter* sheet = _main;
    if (_xlsx.sheets == XlsxOptions::Sheets::kTables)
      sheet = AddSheet(Shown(TableTitle(table)).text);
    WriteTable(table, _options, *sheet);
    sheet->Skip();
  }

 private:
  SheetWriter* AddSheet(const std::string& title) {
    const std::string name = UniqueSheetName(title, _names);
    lxw_worksheet* sheet = workbook_add_worksheet(_workbook, name.c_str());
    if (sheet == nullptr) throw XlsxError("cannot add the sheet \"" + name + '"');
    _sheets.push_back(std::make_unique<SheetWriter>(sheet, name, _formats));
    return _sheets.back().get();
  }

  void Item(const ShownText& text, bool bold) {
    _main->Line(text, bold);
    _main->Skip();
  }

  // The title's marks follow the title, before the figures.
  void PageTitle(const std::string& text) override { Item(ShownText{text, {}}, false); }

  void Summary(const char* kind, const OmCellText* title, const std::string& figures) override {
    std::vector<Run> runs = Runs(Shown(title), kind);
    runs.push_back({" (" + figures + ")", false});
    _main->Line(runs);
    _main->Skip();
  }

  lxw_workbook* _workbook;
  const Options& _options;
  const XlsxOptions& _xlsx;
  Formats _formats;
  std::set<std::string> _names;
  std::vector<std::unique_ptr<SheetWriter>> _sheets;
  // The sheet of every item but the tables on their own sheets.
  SheetWriter* _main = nullptr;
};

}  // namespace

void WriteXlsx(OmOutputTree& tree, const Options& options, const XlsxOptions& xlsx,
               const std::string& path) {
  // Freed without writing when an exception leaves before the close.
  std::unique_ptr<lxw_workbook, void (*)(lxw_workbook*)> workbook(workbook_new(path.c_str()),
                                                                  lxw_workbook_free);
  if (workbook == nullptr) throw XlsxError("cannot start a workbook");
  WorkbookWriter(workbook.get(), options, xlsx).Write(tree);
  Check(workbook_close(workbook.release()), "cannot write the workbook");
}

}  // namespace omrender
