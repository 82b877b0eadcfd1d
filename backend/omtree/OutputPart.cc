#include "backend/omtree/OutputPart.h"

#include "backend/omtree/Heading.h"
#include "backend/omtree/PageTitle.h"
#include "backend/omtree/Procedure.h"
#include "backend/omtree/TextBlock.h"

OmOutputPart::Visitor::~Visitor() = default;

void OmOutputPart::Visitor::Visit(OmPageTitle& title) {
  Visit(static_cast<OmTextBlock&>(title));
}

void OmOutputPart::Visitor::Visit(OmProcedure& procedure) {
  Visit(static_cast<OmHeading&>(procedure));
}

OmOutputPart::OmOutputPart(const OmCellText& text)
    : _outlineText(text.Clone(nullptr)), _clientData(nullptr), _visible(true), _expanded(true) {}

OmOutputPart::OmOutputPart(const OmOutputPart& other)
    : _outlineText(other._outlineText->Clone(nullptr)),
      _clientData(other._clientData),
      _visible(other._visible),
      _expanded(other._expanded) {}

OmOutputPart& OmOutputPart::operator=(const OmOutputPart& other) {
  if (this != &other) {
    ReplaceOutlineText(*other._outlineText);
    _clientData = other._clientData;
    _visible = other._visible;
    _expanded = other._expanded;
  }
  return *this;
}

OmOutputPart::~OmOutputPart() {
  delete _outlineText;
  _outlineText = nullptr;
}

void OmOutputPart::ReplaceOutlineText(const OmCellText& text) {
  OmCellText* clone = text.Clone(nullptr);
  delete _outlineText;
  _outlineText = clone;
}
