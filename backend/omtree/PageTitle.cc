#include "backend/omtree/PageTitle.h"

OmPageTitle::OmPageTitle(const std::string& codePage)
    : OmTextBlock(OmStringCell("", nullptr, false), codePage) {}

OmPageTitle::~OmPageTitle() = default;

void OmPageTitle::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}
