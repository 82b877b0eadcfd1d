#include "backend/omtree/TextBlock.h"

OmTextBlock::OmTextBlock(const OmCellText& text, const std::string& codePage)
    : OmOutputPart(text), _isLog(text.AsString() == "Log"), _localeCodePage(codePage) {}

OmTextBlock::~OmTextBlock() = default;

void OmTextBlock::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}
