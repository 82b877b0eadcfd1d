#include "backend/omtree/DimensionNode.h"

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* YesNo(bool value) {
  return value ? "yes" : "no";
}

template <typename T>
void AppendList(std::ostringstream& line, const T& values) {
  const char* separator = "";
  for (const auto& value : values) {
    line << separator << value;
    separator = ", ";
  }
}

}  // namespace

OmDimensionNode::OmDimensionNode(OmMemoryRegion* region)
    : _text(nullptr),
      _subscript(kNoSubscript),
      _childIndex(region),
      _sort(OmSort::Unsorted),
      _group(false),
      _hide(false),
      _hideLabels(false) {}

OmDimensionNode::OmDimensionNode(const OmCellText& text, std::size_t subscript, bool group,
                                 OmMemoryRegion* region)
    : _text(text.Clone(region)),
      _subscript(subscript),
      _childIndex(region),
      _sort(OmSort::Unsorted),
      _group(group),
      _hide(false),
      _hideLabels(false) {}

OmDimensionNode::OmDimensionNode(const OmDimensionNode& other, OmMemoryRegion* region)
    : _text(nullptr),
      _subscript(other._subscript),
      _childIndex(region),
      _sort(other._sort),
      _group(other._group),
      _hide(other._hide),
      _hideLabels(other._hideLabels) {
  // The index is filled before the text is cloned: if the clone throws, the
  // constructed index member is still destroyed, and nothing leaks.
  _childIndex = other._childIndex;
  if (other._text != nullptr) _text = other._text->Clone(region);
}

OmDimensionNode::OmDimensionNode(const OmDimensionNode& other)
    : OmDimensionNode(other, other.Region()) {}

OmDimensionNode::OmDimensionNode(OmDimensionNode&& other) noexcept
    : _text(other._text),
      _subscript(other._subscript),
      _childIndex(other.Region()),
      _sort(other._sort),
      _group(other._group),
      _hide(other._hide),
      _hideLabels(other._hideLabels) {
  other._text = nullptr;
  _childIndex.swap(other._childIndex);
}

OmDimensionNode& OmDimensionNode::operator=(const OmDimensionNode& other) {
  // The index is refilled first because it may throw; the hand-over below
  // cannot, so a failed assignment leaves both texts where they were.
  _childIndex = other._childIndex;
  if (other._text != _text) {
    delete _text;
    _text = other._text;
    other._text = nullptr;
  }
  _subscript = other._subscript;
  _sort = other._sort;
  _group = other._group;
  _hide = other._hide;
  _hideLabels = other._hideLabels;
  return *this;
}

OmDimensionNode::~OmDimensionNode() {
  // The index's block goes back first, then the text; the member
  // declaration order would destroy them the other way round.
  _childIndex = OmVector<int>(Region());
  delete _text;
}

void OmDimensionNode::Text(const OmCellText& text) {
  // Clone before deleting: text may be the label being replaced.
  OmCellText* clone = text.Clone(Region());
  delete _text;
  _text = clone;
}

bool OmDimensionNode::operator<(const OmDimensionNode& other) const {
  if (_group != other._group) return _group;
  return _text->Compare(*other._text) < 0;
}

bool OmDimensionNode::operator==(const OmDimensionNode& other) const {
  return _group == other._group && _subscript == other._subscript &&
         _text->TextLength() == other._text->TextLength() && _text->Compare(*other._text) == 0;
}

void OmDimensionNode::Print(unsigned int indent) const {
  // The line is composed apart from std::cout so that formatting flags a
  // caller left on the stream cannot change it.
  std::ostringstream line;
  for (unsigned int level = 0; level < indent; ++level)
    line << "  ";
  // Only the low 32 bits are shown, as a signed number: kNoSubscript
  // prints as -1 and kDissolving as -2.
  line << "Subscript: " << static_cast<std::int32_t>(static_cast<std::uint32_t>(_subscript))
       << ", Group: " << YesNo(_group) << ", hide: " << YesNo(_hide)
       << ", hideLabels: " << YesNo(_hideLabels);
  if (_sort == OmSort::Up) {
    line << ", Sort: up";
  } else if (_sort == OmSort::Down) {
    line << ", Sort: down";
  }
  if (!_childIndex.empty()) {
    line << ", Children: ";
    AppendList(line, _childIndex);
  }
  if (_text != nullptr) {
    line << ", Text: \"" << _text->AsString() << '"';
    const std::vector<short>& footnotes = _text->Footnotes();
    if (!footnotes.empty()) {
      line << ", Footnotes = ";
      AppendList(line, footnotes);
    }
    const std::vector<std::string>& markers = _text->getMarkers();
    if (!markers.empty()) {
      line << ", Markers = ";
      AppendList(line, markers);
    }
  }
  line << '\n';
  std::cout << line.str() << std::flush;
}
