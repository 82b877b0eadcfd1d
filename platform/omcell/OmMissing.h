// OmMissing is the system-missing mark: a cell that has no value. It is
// shown as "." and all missing marks are equal. It is the one kind that
// tracker stamping leaves alone: it holds nothing to convert.

#ifndef OMTREE_PLATFORM_OMCELL_OMMISSING_H_
#define OMTREE_PLATFORM_OMCELL_OMMISSING_H_

#include <string>

#include "omcell/Export.h"
#include "omcell/OmCellText.h"

class OMCELL_EXPORT OmMissing : public OmCellText {
 public:
  static constexpr int kOrderCode = 0;

  OmMissing() = default;
  ~OmMissing() override;

  void Accept(Visitor& visitor) override;
  int OrderCode() const override;
  std::string AsString() const override;
  std::string AsU8String() const override;
  std::string AsEngString() const override;
  std::string AsFormattedString() const override;
  std::size_t TextLength() const override;
  short Compare(const OmCellText& other) const override;
  OmMissing* Clone(OmMemoryRegion* region) const override;

 private:
  OmMissing(const OmMissing& other) = default;
};

#endif  // OMTREE_PLATFORM_OMCELL_OMMISSING_H_
