#include "omcell/OmValue.h"

#include "omcell/OmNumber.h"

OmValue::OmValue(double value, const std::string& label, ModeType mode, OmMemoryRegion* /*region*/)
    : _value(value), _label(label), _mode(mode) {}

OmValue::~OmValue() = default;

void OmValue::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}

int OmValue::OrderCode() const {
  return kOrderCode;
}

std::string OmValue::AsString() const {
  return ShowInMode(OmNumber::Format(_value, OmNumber::kShortest), _label, _mode);
}

std::string OmValue::AsU8String() const {
  return AsString();
}

std::string OmValue::AsEngString() const {
  return OmNumber::Format(_value, OmNumber::kShortest);
}

std::string OmValue::AsFormattedString() const {
  return AsString();
}

std::size_t OmValue::TextLength() const {
  return AsString().size();
}

short OmValue::Compare(const OmCellText& other) const {
  if (other.OrderCode() != kOrderCode) return CompareKinds(other);
  const OmValue& value = static_cast<const OmValue&>(other);
  if (short order = CompareValues(_value, value._value)) return order;
  if (short order = CompareBytes(_label, value._label)) return order;
  return SignOf(_mode - value._mode);
}

OmValue* OmValue::Clone(OmMemoryRegion* region) const {
  return new (region) OmValue(*this);
}
