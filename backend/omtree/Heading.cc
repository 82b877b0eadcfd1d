#include "backend/omtree/Heading.h"

OmHeading::OmHeading(const OmCellText& text)
    : OmOutputPart(text), _footnotes(new OmVector<OmFootnote>(nullptr, 0)) {}

OmHeading::OmHeading(const OmHeading& other)
    : OmOutputPart(other), _footnotes(new OmVector<OmFootnote>(*other._footnotes)) {}

OmHeading& OmHeading::operator=(const OmHeading& other) {
  OmOutputPart::operator=(other);
  *_footnotes = *other._footnotes;
  return *this;
}

OmHeading::~OmHeading() {
  delete _footnotes;
}

void OmHeading::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}
