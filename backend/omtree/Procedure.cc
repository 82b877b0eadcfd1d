#include "backend/omtree/Procedure.h"

OmProcedure::OmProcedure(const OmCellText& text, const std::string& languageCode,
                         const std::string& localeCodePage, const std::string& localeName)
    : OmHeading(text),
      _command(text.AsString()),
      _languageCode(languageCode),
      _localeCodePage(localeCodePage),
      _localeName(localeName),
      _outlineVarDisplay(OmCellText::NamesAndLabels),
      _outlineValueDisplay(OmCellText::NamesAndLabels),
      _tableVarDisplay(OmCellText::NamesAndLabels),
      _tableValueDisplay(OmCellText::NamesAndLabels) {}

OmProcedure::~OmProcedure() = default;

void OmProcedure::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}

void OmProcedure::setOutlineText(const OmCellText& text) {
  _command = text.AsString();
  ReplaceOutlineText(text);
}
