#include "omcell/OmVariable.h"

OmVariable::OmVariable(const std::string& name, const std::string& label, ModeType mode,
                       OmMemoryRegion* /*region*/)
    : _name(name), _label(label), _mode(mode) {}

OmVariable::~OmVariable() = default;

void OmVariable::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}

int OmVariable::OrderCode() const {
  return kOrderCode;
}

std::string OmVariable::AsString() const {
  return ShowInMode(_name, _label, _mode);
}

std::string OmVariable::AsU8String() const {
  return AsString();
}

std::string OmVariable::AsEngString() const {
  return _name;
}

std::string OmVariable::AsFormattedString() const {
  return AsString();
}

std::size_t OmVariable::TextLength() const {
  return AsString().size();
}

short OmVariable::Compare(const OmCellText& other) const {
  if (other.OrderCode() != kOrderCode) return CompareKinds(other);
  const OmVariable& variable = static_cast<const OmVariable&>(other);
  if (short order = CompareBytes(_name, variable._name)) return order;
  if (short order = CompareBytes(_label, variable._label)) return order;
  return SignOf(_mode - variable._mode);
}

OmVariable* OmVariable::Clone(OmMemoryRegion* region) const {
  return new (region) OmVariable(*this);
}
