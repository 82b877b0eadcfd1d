#include "backend/omtree/cell/Footnote.h"

#include <memory>

namespace {

OmCellText* CloneOrNull(const OmCellText* text, OmMemoryRegion* region) {
  return text != nullptr ? text->Clone(region) : nullptr;
}

}  // namespace

OmFootnote::OmFootnote(const OmCellText* text, const OmCellText* secondText, OmMemoryRegion* region)
    : _region(region), _text(nullptr), _secondText(nullptr), _count(0) {
  std::unique_ptr<OmCellText> first(CloneOrNull(text, region));
  _secondText = CloneOrNull(secondText, region);
  _text = first.release();
}

OmFootnote::OmFootnote(const OmFootnote& other)
    : OmFootnote(other._text, other._secondText, other._region) {
  _count = other._count;
}

OmFootnote::~OmFootnote() {
  delete _text;
  delete _secondText;
}

void OmFootnote::Text(const OmCellText& text) {
  delete _text;
  _text = nullptr;
  _text = text.Clone(_region);
}

void OmFootnote::SecondText(const OmCellText* text) {
  delete _secondText;
  _secondText = nullptr;
  _secondText = CloneOrNull(text, _region);
}
