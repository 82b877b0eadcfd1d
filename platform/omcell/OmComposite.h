// OmComposite is a text made of parts: an ordered tree of cell texts (for
// example a number followed by a string note, or a label with nested
// pieces). The parts are kept in an OmVectorTree<OmCellText*> whose root part
// holds a text too, an empty string at first.
//
// Ownership: the composite owns every part text, allocated in its region,
// and deletes them with itself. AddPart clones the given text in; a caller
// that replaces a part's pointer through Parts() deletes the old text and
// hands over one allocated in Parts().Region(). A part may hold null.
//
// Reading order is the pre-order of the part tree, root first. AsString()
// and its siblings concatenate the parts' strings in that order;
// TextLength() is the sum of the parts' lengths; Compare() orders two
// composites by their parts in reading order (a missing part first, then by
// the parts' own order, then the shorter sequence first).
//
// The part tree is walked without recursion, whatever its depth. A
// composite is used from one thread at a time.

#ifndef OMTREE_PLATFORM_OMCELL_OMCOMPOSITE_H_
#define OMTREE_PLATFORM_OMCELL_OMCOMPOSITE_H_

#include <string>

#include "backend/tables/om/VectorTree.h"
#include "omcell/Export.h"
#include "omcell/OmCellText.h"

class OMCELL_EXPORT OmComposite : public OmCellText {
 public:
  using PartTree = OmVectorTree<OmCellText*>;

  static constexpr int kOrderCode = 5;

  // A composite whose only part is its root, an empty string, with its
  // storage in region (null: the default heap).
  explicit OmComposite(OmMemoryRegion* region = nullptr);
  ~OmComposite() override;

  PartTree& Parts() { return _parts; }
  const PartTree& Parts() const { return _parts; }

  // Appends a clone of text, made in the composite's region, as the last
  // child of parent, and returns the new part's node.
  PartTree::Node AddPart(const PartTree::Node& parent, const OmCellText& text);

  void Accept(Visitor& visitor) override;
  int OrderCode() const override;
  std::string AsString() const override;
  std::string AsU8String() const override;
  std::string AsEngString() const override;
  std::string AsFormattedString() const override;
  std::size_t TextLength() const override;
  short Compare(const OmCellText& other) const override;
  OmComposite* Clone(OmMemoryRegion* region) const override;
  bool IsComposite() const override;

 private:
  // Steps through the part texts in reading order.
  class PartWalk {
   public:
    explicit PartWalk(const PartTree& parts) : _node(parts.Root()) {}
    bool Done() const { return _done; }
    const OmCellText* Text() const { return *_node; }
    void Next();

   private:
    PartTree::ConstNode _node;
    bool _done = false;
  };

  // A deep copy of other with its parts cloned into region.
  OmComposite(const OmComposite& other, OmMemoryRegion* region);

  void CopyPartsFrom(const OmComposite& other);
  void DeleteParts();
  std::string Concatenate(std::string (OmCellText::*asString)() const) const;

  PartTree _parts;
};

#endif  // OMTREE_PLATFORM_OMCELL_OMCOMPOSITE_H_
