#include "omcell/OmComposite.h"

#include "omcell/OmStringCell.h"

void OmComposite::PartWalk::Next() {
  if (!_node.IsLeaf()) {
    _node = _node.FirstChild();
    return;
  }
  while (!_node.IsRoot() && _node == _node.Parent().LastChild())
    _node = _node.Parent();
  if (_node.IsRoot()) {
    _done = true;
  } else {
    ++_node;
  }
}

OmComposite::OmComposite(OmMemoryRegion* region) : _parts(nullptr, region) {
  *_parts.Root() = new (region) OmStringCell("", region, false);
}

OmComposite::OmComposite(const OmComposite& other, OmMemoryRegion* region)
    : OmCellText(other), _parts(nullptr, region) {
  try {
    CopyPartsFrom(other);
  } catch (...) {
    DeleteParts();
    throw;
  }
}

OmComposite::~OmComposite() {
  DeleteParts();
}

void OmComposite::CopyPartsFrom(const OmComposite& other) {
  OmMemoryRegion* region = _parts.Region();
  auto cloneOf = [region](const OmCellText* text) {
    return text != nullptr ? text->Clone(region) : nullptr;
  };
  // Walks other's parts in reading order and builds the same shape here,
  // keeping `copy` on the part that corresponds to `source`.
  PartTree::ConstNode source = other._parts.Root();
  PartTree::Node copy = _parts.Root();
  *copy = cloneOf(*source);
  for (;;) {
    if (!source.IsLeaf()) {
      source = source.FirstChild();
      copy = _parts.AppendChild(copy, nullptr);
    } else {
      while (!source.IsRoot() && source == source.Parent().LastChild()) {
        source = source.Parent();
        copy = copy.Parent();
      }
      if (source.IsRoot()) return;
      ++source;
      copy = _parts.AppendChild(copy.Parent(), nullptr);
    }
    *copy = cloneOf(*source);
  }
}

void OmComposite::DeleteParts() {
  for (PartWalk walk(_parts); !walk.Done(); walk.Next())
    delete walk.Text();
}

OmComposite::PartTree::Node OmComposite::AddPart(const PartTree::Node& parent,
                                                 const OmCellText& text) {
  OmCellText* part = text.Clone(_parts.Region());
  try {
    return _parts.AppendChild(parent, part);
  } catch (...) {
    delete part;
    throw;
  }
}

void OmComposite::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}

int OmComposite::OrderCode() const {
  return kOrderCode;
}

std::string OmComposite::Concatenate(std::string (OmCellText::*asString)() const) const {
  std::string text;
  for (PartWalk walk(_parts); !walk.Done(); walk.Next()) {
    if (walk.Text() != nullptr) text += (walk.Text()->*asString)();
  }
  return text;
}

std::string OmComposite::AsString() const {
  return Concatenate(&OmCellText::AsString);
}

std::string OmComposite::AsU8String() const {
  return Concatenate(&OmCellText::AsU8String);
}

std::string OmComposite::AsEngString() const {
  return Concatenate(&OmCellText::AsEngString);
}

std::string OmComposite::AsFormattedString() const {
  return Concatenate(&OmCellText::AsFormattedString);
}

std::size_t OmComposite::TextLength() const {
  std::size_t length = 0;
  for (PartWalk walk(_parts); !walk.Done(); walk.Next()) {
    if (walk.Text() != nullptr) length += walk.Text()->TextLength();
  }
  return length;
}

short OmComposite::Compare(const OmCellText& other) const {
  if (other.OrderCode() != kOrderCode) return CompareKinds(other);
  PartWalk mine(_parts);
  PartWalk theirs(static_cast<const OmComposite&>(other)._parts);
  for (; !mine.Done() && !theirs.Done(); mine.Next(), theirs.Next()) {
    const OmCellText* a = mine.Text();
    const OmCellText* b = theirs.Text();
    if (a == nullptr || b == nullptr) {
      if (a != b) return a == nullptr ? -1 : 1;
      continue;
    }
    if (short order = a->Compare(*b)) return order;
  }
  return static_cast<short>(theirs.Done() - mine.Done());
}

OmComposite* OmComposite::Clone(OmMemoryRegion* region) const {
  return new (region) OmComposite(*this, region);
}

bool OmComposite::IsComposite() const {
  return true;
}
