#include "omcell/OmStringCell.h"

namespace {

void Append(OmVector<char>& vector, const std::string& bytes) {
  for (char byte : bytes)
    vector.push_back(byte);
}

}  // namespace

OmStringCell::OmStringCell(const std::string& bytes, OmMemoryRegion* region, bool isSystemText)
    : _text(region, bytes.size()), _sourceText(region, bytes.size()), _isSystemText(isSystemText) {
  Append(_text, bytes);
  Append(_sourceText, bytes);
}

OmStringCell::OmStringCell(const OmStringCell& other, OmMemoryRegion* region)
    : OmCellText(other),
      _text(region),
      _sourceText(region),
      _isSystemText(other._isSystemText),
      _formatted(other._formatted) {
  _text = other._text;
  _sourceText = other._sourceText;
}

OmStringCell::~OmStringCell() = default;

void OmStringCell::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}

int OmStringCell::OrderCode() const {
  return kOrderCode;
}

std::string OmStringCell::ToString(const OmVector<char>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::string OmStringCell::AsString() const {
  return ToString(_text);
}

std::string OmStringCell::AsU8String() const {
  return ToString(_text);
}

std::string OmStringCell::AsEngString() const {
  return ToString(_sourceText);
}

std::string OmStringCell::AsFormattedString() const {
  return _formatted.empty() ? ToString(_text) : _formatted;
}

std::size_t OmStringCell::TextLength() const {
  return _text.size();
}

short OmStringCell::Compare(const OmCellText& other) const {
  if (other.OrderCode() != kOrderCode) return CompareKinds(other);
  const OmVector<char>& otherText = static_cast<const OmStringCell&>(other)._text;
  return CompareBytes(_text.begin(), _text.size(), otherText.begin(), otherText.size());
}

OmStringCell* OmStringCell::Clone(OmMemoryRegion* region) const {
  return new (region) OmStringCell(*this, region);
}

void OmStringCell::SetFormattedString(const std::string& formatted) {
  _formatted = formatted;
}
