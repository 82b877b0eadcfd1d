#include "backend/omtree/PivotTable.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "backend/omtree/CellStore.h"
#include "backend/tables/Assertion.h"

namespace {

constexpr char kSource[] = "backend/omtree/PivotTable";

bool EqualTexts(const OmCellText& a, const OmCellText& b) {
  return a.TextLength() == b.TextLength() && a.Compare(b) == 0;
}

void EraseUnassigned(PuppetVector<short>& list) {
  list.erase(std::remove(list.begin(), list.end(), static_cast<short>(-1)), list.end());
}

std::vector<int> IndexOf(const omtree_internal::Traversal& traversal) {
  std::vector<int> index;
  index.reserve(traversal.levels.size());
  for (const auto& level : traversal.levels)
    index.push_back(static_cast<int>(level.subscript));
  return index;
}

// Checks a cell index for reading: one subscript per dimension, none
// negative.
void CheckReadIndex(std::size_t dimensions, const std::vector<int>& index) {
  const std::size_t nind = index.size();
  OM_ASSERT(nind == dimensions, "nind == _my->_dimensions.size()", kSource, __LINE__);
  for (int subscript : index)
    OM_ASSERT(subscript >= 0, "subscript >= 0", kSource, __LINE__);
}

}  // namespace

// The table's private record, and its region. Members are grouped by the
// part of the table that uses them; every text and vector here that comes
// from a region comes from this one.
struct OmPivotTable::Data : public OmMemoryRegion {
  Data(const OmCellText& templateName, bool hasSplits);
  ~Data();

  // Annotations.
  OmCellText* _templateName;
  OmCellText* _cornerText = nullptr;
  OmCellText* _caption = nullptr;
  OmCellText* _title = nullptr;
  OmVector<OmFootnote> _footnotes{this, 0};
  bool _removedFootnotes = false;
  bool _hasSplits;

  // Core: cells, dimensions and their assignment to the axes.
  omtree_internal::PointerVector* _cells = nullptr;
  OmVector<OmDimension*> _dimensions{this, 0};
  PuppetVector<short> _rows{-1};
  PuppetVector<short> _columns{-1};
  PuppetVector<short> _layers{-1};

  // Display properties.
  std::int32_t _optionNumber = -1;
  std::int32_t _minColumnWidth = -1;
  std::int32_t _maxColumnWidth = -1;
  std::int32_t _minRowWidth = -1;
  std::int32_t _maxRowWidth = -1;
  std::int32_t _layerLoc = -1;
  std::int64_t _tableId = -1;
  std::string _tableLocale;
  bool _show = true;
  bool _rotateRowLabels = false;
  bool _rotateColumnLabels = false;
  bool _scratched = false;
  bool _isWarnings;
  bool _isNotes;
  bool _hasMarkers = false;
  bool _backendOwns = true;
  bool _fastTable = true;
  bool _showCaption = true;

  // Back-end settings and text conversion.
  BackendSettings _backendSettings;
  icuTracker* _icuTracker = nullptr;
  icuTracker* _u8Tracker = nullptr;  // owned unless it is _icuTracker
  ICUHelper _helper;

  // More display properties.
  std::map<FormatArea::Area, FormatArea*> _areaFormats;
  std::string _borderInfo;
  std::string _tableLookInfo;
  std::string _tablePropertiesInfo;
  std::vector<unsigned> _customWidths;
  std::vector<unsigned> _customHeights;
  std::map<std::size_t, unsigned short> _emptyCellStyles;
  std::vector<OmCellProperties> _cellStyles;
};

OmPivotTable::Data::Data(const OmCellText& templateName, bool hasSplits)
    : OmMemoryRegion(false),
      _templateName(templateName.Clone(this)),
      _hasSplits(hasSplits),
      _isWarnings(templateName.AsString() == "Warnings"),
      _isNotes(templateName.AsString() == "Notes") {}

OmPivotTable::Data::~Data() {
  const std::size_t dimensions = _dimensions.size();
  WorkingRelease(false);
  delete _templateName;
  delete _cornerText;
  delete _caption;
  delete _title;
  omtree_internal::DestroyStore(_cells, dimensions);
  for (OmDimension*& dimension : _dimensions) {
    delete dimension;
    dimension = nullptr;
  }
  for (auto format = _areaFormats.begin(); format != _areaFormats.end();) {
    delete format->second;
    format = _areaFormats.erase(format);
  }
  delete _icuTracker;
  if (_u8Tracker != _icuTracker) delete _u8Tracker;
}

// The traversal behind an iterator.
struct OmPivotTable::Iterator::Data {
  omtree_internal::Traversal traversal;
};

OmPivotTable::Iterator::Iterator() : _data(new Data) {}

OmPivotTable::Iterator::Iterator(Data* data) : _data(data) {}

OmPivotTable::Iterator::Iterator(const Iterator& other) : _data(new Data(*other._data)) {}

OmPivotTable::Iterator& OmPivotTable::Iterator::operator=(const Iterator& other) {
  if (this != &other) {
    Data* copy = new Data(*other._data);
    delete _data;
    _data = copy;
  }
  return *this;
}

OmPivotTable::Iterator::~Iterator() {
  delete _data;
}

OmPivotTable::Iterator& OmPivotTable::Iterator::operator++() {
  omtree_internal::Advance(_data->traversal);
  return *this;
}

OmCellText* OmPivotTable::Iterator::Cell() const {
  return _data->traversal.cell;
}

std::vector<int> OmPivotTable::Iterator::Index() const {
  return IndexOf(_data->traversal);
}

OmPivotTable::ConstIterator::ConstIterator() : _data(new Iterator::Data) {}

OmPivotTable::ConstIterator::ConstIterator(Iterator::Data* data) : _data(data) {}

OmPivotTable::ConstIterator::ConstIterator(const ConstIterator& other)
    : _data(new Iterator::Data(*other._data)) {}

OmPivotTable::ConstIterator& OmPivotTable::ConstIterator::operator=(const ConstIterator& other) {
  if (this != &other) {
    Iterator::Data* copy = new Iterator::Data(*other._data);
    delete _data;
    _data = copy;
  }
  return *this;
}

OmPivotTable::ConstIterator::~ConstIterator() {
  delete _data;
}

OmPivotTable::ConstIterator& OmPivotTable::ConstIterator::operator++() {
  omtree_internal::Advance(_data->traversal);
  return *this;
}

const OmCellText* OmPivotTable::ConstIterator::Cell() const {
  return _data->traversal.cell;
}

std::vector<int> OmPivotTable::ConstIterator::Index() const {
  return IndexOf(_data->traversal);
}

OmPivotTable::OmPivotTable(const OmCellText& label, const OmCellText& templateName, bool hasSplits)
    : OmOutputPart(label), _my(new Data(templateName, hasSplits)) {}

OmPivotTable::~OmPivotTable() {
  delete _my;
}

void OmPivotTable::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}

// Dimensions.

OmDimension& OmPivotTable::AddDimension(const OmCellText& name) {
  const OmDimensionNode root(name, OmDimensionNode::kNoSubscript, true, nullptr);
  return AppendDimension(new OmDimension(root, _my));
}

OmDimension& OmPivotTable::AddDimension(const OmDimension& other) {
  return AppendDimension(new OmDimension(other, _my));
}

OmDimension& OmPivotTable::AppendDimension(OmDimension* dimension) {
  std::unique_ptr<OmDimension> owned(dimension);
  // The list of dimensions grows before the store is re-rooted, so that the
  // number of dimensions and the depth of the store change together or not
  // at all.
  OmVector<OmDimension*>& dimensions = _my->_dimensions;
  if (dimensions.size() == dimensions.capacity()) {
    dimensions.reserve(OmVector<OmDimension*>::GrownCapacity(dimensions.size()));
  }
  omtree_internal::AddLevel(_my->_cells, _my);
  dimensions.push_back(owned.release());
  dimension->Root()->Subscript(dimensions.size() - 1);
  setHelper(dimension->Name());
  return *dimension;
}

void OmPivotTable::CopyDimensions(const OmPivotTable& other) {
  OM_ASSERT(_my->_dimensions.size() == 0, "_my->_dimensions.size() == 0", kSource, __LINE__);
  for (const OmDimension* source : other._my->_dimensions) {
    std::unique_ptr<OmDimension> copy(new OmDimension(*source, _my));
    _my->_dimensions.push_back(copy.get());
    copy.release();
    omtree_internal::AddLevel(_my->_cells, _my);
  }
}

std::size_t OmPivotTable::NDimensions() const {
  return _my->_dimensions.size();
}

OmDimension& OmPivotTable::Dimension(int which) {
  OM_ASSERT(which >= 0, "which >= 0", kSource, __LINE__);
  OM_ASSERT(which < static_cast<long>(NDimensions()), "which < (long)NDimensions ()", kSource,
            __LINE__);
  return *_my->_dimensions[static_cast<std::size_t>(which)];
}

const OmDimension& OmPivotTable::Dimension(int which) const {
  OM_ASSERT(which >= 0, "which >= 0", kSource, __LINE__);
  OM_ASSERT(which < static_cast<long>(NDimensions()), "which < (long)NDimensions ()", kSource,
            __LINE__);
  return *_my->_dimensions[static_cast<std::size_t>(which)];
}

std::size_t OmPivotTable::Size(int which) const {
  OM_ASSERT(which >= 0, "which >= 0", kSource, __LINE__);
  OM_ASSERT(which < static_cast<long>(NDimensions()), "which < (long) NDimensions ()", kSource,
            __LINE__);
  const int count = _my->_dimensions[static_cast<std::size_t>(which)]->NumCategories();
  return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(count));
}

std::vector<int> OmPivotTable::SizeVector() const {
  std::vector<int> sizes;
  sizes.reserve(NDimensions());
  for (const OmDimension* dimension : _my->_dimensions)
    sizes.push_back(dimension->NumCategories());
  return sizes;
}

int OmPivotTable::FindDimension(const OmCellText& name) const {
  for (std::size_t i = 0; i < NDimensions(); ++i) {
    if (EqualTexts(_my->_dimensions[i]->Name(), name)) return static_cast<int>(i);
  }
  return -1;
}

PuppetVector<short>& OmPivotTable::Rows() {
  return _my->_rows;
}
const PuppetVector<short>& OmPivotTable::Rows() const {
  return _my->_rows;
}
PuppetVector<short>& OmPivotTable::Columns() {
  return _my->_columns;
}
const PuppetVector<short>& OmPivotTable::Columns() const {
  return _my->_columns;
}
PuppetVector<short>& OmPivotTable::Layers() {
  return _my->_layers;
}
const PuppetVector<short>& OmPivotTable::Layers() const {
  return _my->_layers;
}

void OmPivotTable::EndTable() {
  const std::size_t ndim = NDimensions();
  auto count = [this] { return _my->_rows.size() + _my->_columns.size() + _my->_layers.size(); };
  if (count() != ndim) {
    EraseUnassigned(_my->_layers);
    EraseUnassigned(_my->_columns);
    EraseUnassigned(_my->_rows);
  }
  const std::size_t nCount = count();
  OM_ASSERT(ndim == nCount, "ndim == nCount", kSource, __LINE__);
}

// Cells.

OmCellText* OmPivotTable::Cell(const std::vector<int>& index) {
  CheckReadIndex(NDimensions(), index);
  return omtree_internal::FindCell(_my->_cells, index);
}

const OmCellText* OmPivotTable::Cell(const std::vector<int>& index) const {
  CheckReadIndex(NDimensions(), index);
  return omtree_internal::FindCell(_my->_cells, index);
}

void OmPivotTable::Cell(const std::vector<int>& index, const OmCellText* text) {
  const std::size_t nind = index.size();
  OM_ASSERT(nind == _my->_dimensions.size(), "nind == _my->_dimensions.size()", kSource, __LINE__);
  for (int subscript : index)
    OM_ASSERT(0 <= subscript, "0 <= subscript", kSource, __LINE__);
  if (index.empty()) return;  // a table without dimensions holds no cells

  omtree_internal::PointerVector* leaf = omtree_internal::ReachLeaf(_my->_cells, index, _my);
  const std::size_t subscript = static_cast<std::size_t>(index[0]);
  OmCellText* replaced = static_cast<OmCellText*>(leaf->slots()[subscript]);
  std::unique_ptr<OmCellMetaData> meta;
  if (replaced != nullptr && replaced->hasMeta()) {
    meta = std::make_unique<OmCellMetaData>(*replaced->getMeta());
  }
  leaf->Set(subscript, nullptr);
  delete replaced;
  if (text == nullptr) return;
  OmCellText* clone = text->Clone(_my);
  leaf->Set(subscript, clone);
  setHelper(*clone);
  if (meta != nullptr) clone->setMeta(*meta);
}

void OmPivotTable::Cell(const std::vector<int>& index, const OmCellText& text) {
  Cell(index, &text);
}

void OmPivotTable::deleteCell(const std::vector<int>& index) {
  // Unchecked by contract; an index that cannot name a cell names none.
  if (index.size() != NDimensions()) return;
  if (std::any_of(index.begin(), index.end(), [](int subscript) { return subscript < 0; })) return;
  omtree_internal::DeleteCell(_my->_cells, index);
}

OmPivotTable::Iterator::Data* OmPivotTable::FirstCellData() const {
  std::unique_ptr<Iterator::Data> data(new Iterator::Data);
  omtree_internal::First(_my->_cells, NDimensions(), data->traversal);
  return data.release();
}

OmPivotTable::Iterator OmPivotTable::FirstCell() {
  return Iterator(FirstCellData());
}

OmPivotTable::ConstIterator OmPivotTable::FirstCell() const {
  return ConstIterator(FirstCellData());
}

// Annotations.

OmCellText* OmPivotTable::TemplateName() {
  return _my->_templateName;
}
const OmCellText* OmPivotTable::TemplateName() const {
  return _my->_templateName;
}
bool OmPivotTable::IsWarnings() const {
  return _my->_isWarnings;
}
bool OmPivotTable::IsNotes() const {
  return _my->_isNotes;
}

void OmPivotTable::SetTableTitle(const OmCellText& text) {
  OmCellText* clone = text.Clone(_my);
  delete _my->_title;
  _my->_title = clone;
  clone->Accept(_my->_helper);
}

const OmCellText* OmPivotTable::GetTableTitle() const {
  return _my->_title;
}
OmCellText& OmPivotTable::TableTitle() {
  return *_my->_title;
}

void OmPivotTable::Caption(const OmCellText* text) {
  delete _my->_caption;
  _my->_caption = nullptr;
  if (text == nullptr) return;
  _my->_caption = text->Clone(_my);
  _my->_caption->Accept(_my->_helper);
}

OmCellText* OmPivotTable::Caption() {
  return _my->_caption;
}
const OmCellText* OmPivotTable::Caption() const {
  return _my->_caption;
}

void OmPivotTable::CornerText(const OmCellText* text) {
  delete _my->_cornerText;
  _my->_cornerText = nullptr;
  if (text == nullptr) return;
  _my->_cornerText = text->Clone(_my);
  setHelper(*_my->_cornerText);
}

OmCellText* OmPivotTable::CornerText() {
  return _my->_cornerText;
}
const OmCellText* OmPivotTable::CornerText() const {
  return _my->_cornerText;
}

OmVector<OmFootnote>& OmPivotTable::Footnotes() {
  return _my->_footnotes;
}
const OmVector<OmFootnote>& OmPivotTable::Footnotes() const {
  return _my->_footnotes;
}

int OmPivotTable::Footnote(const OmFootnote& footnote, bool append) {
  const OmCellText& text = *footnote.Text();
  const OmCellText* secondText = footnote.SecondText();
  OmVector<OmFootnote>& footnotes = _my->_footnotes;
  if (!append) {
    for (std::size_t k = 0; k < footnotes.size(); ++k) {
      OmFootnote& found = footnotes[k];
      if (found.Text() == nullptr || !EqualTexts(*found.Text(), text)) continue;
      found.SecondText(secondText);
      if (found.SecondText() != nullptr) setHelper(*found.SecondText());
      found.IncrementCount();
      return static_cast<int>(k);
    }
  }
  const int number = static_cast<int>(footnotes.size());
  OmFootnote& added = *footnotes.emplace_back(nullptr, nullptr, _my);
  added.Text(text);
  setHelper(*added.Text());
  if (secondText != nullptr) {
    added.SecondText(secondText);
    setHelper(*added.SecondText());
  }
  if (footnote.Count() < 0) {
    added.Count(footnote.Count());
  } else {
    added.IncrementCount();
  }
  return number;
}

void OmPivotTable::RemovedFootnotes(bool removed) {
  _my->_removedFootnotes = removed;
}
bool OmPivotTable::HasRemovedFootnotes() const {
  return _my->_removedFootnotes;
}
void OmPivotTable::setHasMarkers() {
  _my->_hasMarkers = true;
}
bool OmPivotTable::hasMarkers() const {
  return _my->_hasMarkers;
}
void OmPivotTable::Scratch() {
  _my->_scratched = true;
}
bool OmPivotTable::IsScratched() const {
  return _my->_scratched;
}
bool OmPivotTable::HasSplits() const {
  return _my->_hasSplits;
}
void OmPivotTable::showCaption(bool show) {
  _my->_showCaption = show;
}
bool OmPivotTable::showCaption() const {
  return _my->_showCaption;
}

// Display properties.

bool OmPivotTable::Show() const {
  return _my->_show;
}
void OmPivotTable::Show(bool show) {
  _my->_show = show;
}
bool OmPivotTable::RotateRowLabels() const {
  return _my->_rotateRowLabels;
}
void OmPivotTable::RotateRowLabels(bool rotate) {
  _my->_rotateRowLabels = rotate;
}
bool OmPivotTable::RotateColumnLabels() const {
  return _my->_rotateColumnLabels;
}
void OmPivotTable::RotateColumnLabels(bool rotate) {
  _my->_rotateColumnLabels = rotate;
}
int OmPivotTable::OptionNumber() const {
  return _my->_optionNumber;
}
void OmPivotTable::OptionNumber(int number) {
  _my->_optionNumber = number;
}
std::int64_t OmPivotTable::TableId() const {
  return _my->_tableId;
}
void OmPivotTable::TableId(std::int64_t id) {
  _my->_tableId = id;
}
const std::string& OmPivotTable::TableLocale() const {
  return _my->_tableLocale;
}
void OmPivotTable::TableLocale(const std::string& locale) {
  _my->_tableLocale = locale;
}
int OmPivotTable::MinColumnWidth() const {
  return _my->_minColumnWidth;
}
void OmPivotTable::MinColumnWidth(int width) {
  _my->_minColumnWidth = width;
}
int OmPivotTable::MaxColumnWidth() const {
  return _my->_maxColumnWidth;
}
void OmPivotTable::MaxColumnWidth(int width) {
  _my->_maxColumnWidth = width;
}
int OmPivotTable::MinRowWidth() const {
  return _my->_minRowWidth;
}
void OmPivotTable::MinRowWidth(int width) {
  _my->_minRowWidth = width;
}
int OmPivotTable::MaxRowWidth() const {
  return _my->_maxRowWidth;
}
void OmPivotTable::MaxRowWidth(int width) {
  _my->_maxRowWidth = width;
}
int OmPivotTable::getLayerLoc() const {
  return _my->_layerLoc;
}
void OmPivotTable::setLayerLoc(int layer) {
  _my->_layerLoc = layer;
}
const std::string& OmPivotTable::getBorderInfo() const {
  return _my->_borderInfo;
}
void OmPivotTable::setBorderInfo(const std::string& info) {
  _my->_borderInfo = info;
}
const std::string& OmPivotTable::getTableLookInfo() const {
  return _my->_tableLookInfo;
}
void OmPivotTable::setTableLookInfo(const std::string& info) {
  _my->_tableLookInfo = info;
}
const std::string& OmPivotTable::getTablePropertiesInfo() const {
  return _my->_tablePropertiesInfo;
}
void OmPivotTable::setTablePropertiesInfo(const std::string& info) {
  _my->_tablePropertiesInfo = info;
}
const std::vector<unsigned>& OmPivotTable::getTableCustomWidths() const {
  return _my->_customWidths;
}
void OmPivotTable::setTableCustomWidths(const std::vector<unsigned>& widths) {
  _my->_customWidths = widths;
}
const std::vector<unsigned>& OmPivotTable::getTableCustomHeights() const {
  return _my->_customHeights;
}
void OmPivotTable::setTableCustomHeights(const std::vector<unsigned>& heights) {
  _my->_customHeights = heights;
}
bool OmPivotTable::backendOwns() const {
  return _my->_backendOwns;
}
void OmPivotTable::setBackendOwns(bool owns) {
  _my->_backendOwns = owns;
}
bool OmPivotTable::fastTable() const {
  return _my->_fastTable;
}
void OmPivotTable::setFastTable(bool fast) {
  _my->_fastTable = fast;
}

FormatArea* OmPivotTable::getAreaFormat(FormatArea::Area area) const {
  if (static_cast<int>(area) > 8) return nullptr;
  const auto found = _my->_areaFormats.find(area);
  return found != _my->_areaFormats.end() ? found->second : nullptr;
}

void OmPivotTable::setAreaFormat(FormatArea* format) {
  if (format == nullptr) return;
  std::unique_ptr<FormatArea> owned(format);  // deleted if the map cannot grow
  FormatArea*& stored = _my->_areaFormats[format->getArea()];
  if (stored != format) delete stored;
  stored = owned.release();
}

std::vector<OmCellProperties>& OmPivotTable::getCellStyles() const {
  return _my->_cellStyles;
}
std::vector<OmCellProperties>& OmPivotTable::cellStyles() {
  return _my->_cellStyles;
}
std::map<std::size_t, unsigned short>& OmPivotTable::getEmptyCellStyles() const {
  return _my->_emptyCellStyles;
}
std::map<std::size_t, unsigned short>& OmPivotTable::emptyCellStyles() {
  return _my->_emptyCellStyles;
}

// Back-end settings and text conversion.

void OmPivotTable::setBackendSettings(const BackendSettings& settings) {
  _my->_backendSettings = settings;
  _my->_fastTable = settings.getFastTables();
  if (!_my->_fastTable) return;
  const std::string locale = _my->_backendSettings.getLocale();
  const bool unicode = _my->_backendSettings.getUnicode();
  if (_my->_icuTracker == nullptr) {
    _my->_icuTracker = new icuTracker(std::make_pair(unicode, locale));
    _my->_helper.Tracker(_my->_icuTracker);
    StampExistingTexts();
  }
  if (_my->_u8Tracker == nullptr) {
    _my->_u8Tracker =
        unicode ? _my->_icuTracker : new icuTracker(std::make_pair(true, std::string(locale)));
  }
}

void OmPivotTable::StampExistingTexts() {
  icuTracker* tracker = _my->_icuTracker;
  MutableOutlineText()->Accept(_my->_helper);
  _my->_templateName->Accept(_my->_helper);
  if (_my->_title != nullptr) _my->_title->Accept(_my->_helper);
  for (OmDimension* dimension : _my->_dimensions) {
    dimension->Name().setTracker(tracker);
    OmDimension::Tree::WalkBelow(
        dimension->Root(), [](const OmDimension::Node&) { return true; },
        [tracker](const OmDimension::Node& node) {
          if (node->Text() != nullptr) node->Text()->setTracker(tracker);
        });
  }
  for (OmFootnote& footnote : _my->_footnotes) {
    if (footnote.Text() != nullptr) footnote.Text()->setTracker(tracker);
    if (footnote.SecondText() != nullptr) footnote.SecondText()->setTracker(tracker);
  }
}

BackendSettings& OmPivotTable::getBackendSettings() const {
  return _my->_backendSettings;
}
icuTracker* OmPivotTable::getICUTracker() const {
  return _my->_icuTracker;
}
icuTracker* OmPivotTable::getU8Tracker() const {
  return _my->_u8Tracker;
}

void OmPivotTable::setHelper(OmCellText& text) {
  text.Accept(_my->_helper);
}

// Tracker stamping.

OmPivotTable::ICUHelper::~ICUHelper() = default;

void OmPivotTable::ICUHelper::Visit(OmComposite& text) {
  text.setTracker(_tracker);
  OmComposite::PartTree& parts = text.Parts();
  OmCellText* root = *parts.Root();
  if (root != nullptr) root->setTracker(text.getTracker());
  // Every part below the root takes the same tracker, in pre-order.
  OmComposite::PartTree::WalkBelow(
      parts.Root(), [](const OmComposite::PartTree::Node&) { return true; },
      [this](const OmComposite::PartTree::Node& part) {
        if (*part != nullptr) (*part)->setTracker(_tracker);
      });
}

void OmPivotTable::ICUHelper::Visit(OmStringCell& text) {
  text.setTracker(_tracker);
}
void OmPivotTable::ICUHelper::Visit(OmNumber& text) {
  text.setTracker(_tracker);
}
void OmPivotTable::ICUHelper::Visit(OmVariable& text) {
  text.setTracker(_tracker);
}
void OmPivotTable::ICUHelper::Visit(OmValue& text) {
  text.setTracker(_tracker);
}
void OmPivotTable::ICUHelper::Visit(OmMissing&) {}
