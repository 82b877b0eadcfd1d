#include "omcell/OmMissing.h"

namespace {
constexpr char kMark[] = ".";
}  // namespace

OmMissing::~OmMissing() = default;

void OmMissing::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}

int OmMissing::OrderCode() const {
  return kOrderCode;
}

std::string OmMissing::AsString() const {
  return kMark;
}

std::string OmMissing::AsU8String() const {
  return kMark;
}

std::string OmMissing::AsEngString() const {
  return kMark;
}

std::string OmMissing::AsFormattedString() const {
  return kMark;
}

std::size_t OmMissing::TextLength() const {
  return sizeof kMark - 1;
}

short OmMissing::Compare(const OmCellText& other) const {
  return other.OrderCode() != kOrderCode ? CompareKinds(other) : 0;
}

OmMissing* OmMissing::Clone(OmMemoryRegion* region) const {
  return new (region) OmMissing(*this);
}
