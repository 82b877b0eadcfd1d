#include "omcell/OmNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>

OmNumber::OmNumber(double value, OmMemoryRegion* /*region*/) : _value(value) {}

OmNumber::~OmNumber() = default;

void OmNumber::SetDecimals(int decimals) {
  _decimals = decimals == kShortest ? kShortest : std::clamp(decimals, 0, kMaxDecimals);
}

std::string OmNumber::Format(double value, int decimals) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  // Fixed notation of the largest doubles needs 309 digits before the mark.
  char buffer[400];
  const std::to_chars_result result = decimals == kShortest
                                          ? std::to_chars(buffer, buffer + sizeof buffer, value)
                                          : std::to_chars(buffer, buffer + sizeof buffer, value,
                                                          std::chars_format::fixed, decimals);
  return std::string(buffer, result.ptr);
}

void OmNumber::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}

int OmNumber::OrderCode() const {
  return kOrderCode;
}

std::string OmNumber::AsString() const {
  return Format(_value, _decimals);
}

std::string OmNumber::AsU8String() const {
  return AsString();
}

std::string OmNumber::AsEngString() const {
  return AsString();
}

std::string OmNumber::AsFormattedString() const {
  return AsString();
}

std::size_t OmNumber::TextLength() const {
  return AsString().size();
}

short OmNumber::Compare(const OmCellText& other) const {
  if (other.OrderCode() != kOrderCode) return CompareKinds(other);
  const OmNumber& number = static_cast<const OmNumber&>(other);
  const short byValue = CompareValues(_value, number._value);
  return byValue != 0 ? byValue : SignOf(_decimals - number._decimals);
}

OmNumber* OmNumber::Clone(OmMemoryRegion* region) const {
  return new (region) OmNumber(*this);
}
