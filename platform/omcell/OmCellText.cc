#include "omcell/OmCellText.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

const std::vector<short>& NoFootnotes() {
  static const std::vector<short> empty;
  return empty;
}

const std::vector<std::string>& NoMarkers() {
  static const std::vector<std::string> empty;
  return empty;
}

}  // namespace

OmCellText::Visitor::~Visitor() = default;

OmCellText::OmCellText(const OmCellText& other)
    : OmRegionManaged(other),
      _meta(other._meta != nullptr ? std::make_unique<OmCellMetaData>(*other._meta) : nullptr),
      _tracker(other._tracker),
      _annotations(other._annotations != nullptr
                       ? std::make_unique<Annotations>(*other._annotations)
                       : nullptr) {}

OmCellText::~OmCellText() = default;

std::size_t OmCellText::TextLength() const {
  return 0;
}

bool OmCellText::IsComposite() const {
  return false;
}

void OmCellText::setMeta(const OmCellMetaData& meta) {
  if (_meta != nullptr) {
    *_meta = meta;
  } else {
    _meta = std::make_unique<OmCellMetaData>(meta);
  }
}

OmCellText::Annotations& OmCellText::MutableAnnotations() {
  if (_annotations == nullptr) _annotations = std::make_unique<Annotations>();
  return *_annotations;
}

std::vector<short>& OmCellText::Footnotes() {
  return MutableAnnotations().footnotes;
}

const std::vector<short>& OmCellText::Footnotes() const {
  return _annotations != nullptr ? _annotations->footnotes : NoFootnotes();
}

const std::vector<std::string>& OmCellText::getMarkers() const {
  return _annotations != nullptr ? _annotations->markers : NoMarkers();
}

void OmCellText::setMarkers(std::vector<std::string> markers) {
  MutableAnnotations().markers = std::move(markers);
}

short OmCellText::CompareKinds(const OmCellText& other) const {
  return SignOf(OrderCode() - other.OrderCode());
}

short OmCellText::CompareBytes(const char* a, std::size_t aLength, const char* b,
                               std::size_t bLength) {
  const std::size_t common = std::min(aLength, bLength);
  const int order = common == 0 ? 0 : std::memcmp(a, b, common);
  if (order != 0) return SignOf(order);
  return static_cast<short>((aLength > bLength) - (aLength < bLength));
}

short OmCellText::CompareValues(double a, double b) {
  const bool aNan = std::isnan(a);
  const bool bNan = std::isnan(b);
  if (aNan || bNan) return static_cast<short>(aNan - bNan);
  return static_cast<short>((a > b) - (a < b));
}

std::string OmCellText::ShowInMode(const std::string& name, const std::string& label,
                                   ModeType mode) {
  if (mode == Names || label.empty()) return name;
  if (mode == Labels) return label;
  return label + " [" + name + "]";
}
