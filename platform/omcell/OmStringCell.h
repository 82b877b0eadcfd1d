// OmStringCell is the plain text kind: a byte string (UTF-8 by convention).
//
// It keeps its bytes twice, in OmVectors of its region: the text as shown
// and the text in its source language. This library never translates, so
// both hold the same bytes; AsEngString() reads the second. After them come
// the system-text flag (true only for texts that the object model makes
// itself, such as the "Output" root heading) and a formatted form, empty
// until SetFormattedString() replaces it; AsFormattedString() returns it
// when it is set and the text otherwise.

#ifndef OMTREE_PLATFORM_OMCELL_OMSTRINGCELL_H_
#define OMTREE_PLATFORM_OMCELL_OMSTRINGCELL_H_

#include <string>

#include "backend/omtree/cell/Vector.h"
#include "omcell/Export.h"
#include "omcell/OmCellText.h"

class OMCELL_EXPORT OmStringCell : public OmCellText {
 public:
  static constexpr int kOrderCode = 4;

  // A text holding bytes, with its storage in region (null: the default
  // heap).
  OmStringCell(const std::string& bytes, OmMemoryRegion* region, bool isSystemText);
  ~OmStringCell() override;

  void Accept(Visitor& visitor) override;
  int OrderCode() const override;
  std::string AsString() const override;
  std::string AsU8String() const override;
  std::string AsEngString() const override;
  std::string AsFormattedString() const override;
  // The byte length of the text.
  std::size_t TextLength() const override;
  // Byte-wise order after the order of kinds.
  short Compare(const OmCellText& other) const override;
  OmStringCell* Clone(OmMemoryRegion* region) const override;

  // Replaces the formatted form of the text.
  virtual void SetFormattedString(const std::string& formatted);

  bool IsSystemText() const { return _isSystemText; }

 protected:
  // A deep copy of other with its storage in region.
  OmStringCell(const OmStringCell& other, OmMemoryRegion* region);

 private:
  static std::string ToString(const OmVector<char>& bytes);

  OmVector<char> _text;
  OmVector<char> _sourceText;
  bool _isSystemText;
  std::string _formatted;
};

#endif  // OMTREE_PLATFORM_OMCELL_OMSTRINGCELL_H_
