// OmValue is the text of one value of a variable: the value and its value
// label, shown by value, by label or both as its mode says
// (OmCellText::ModeType). The value is shown in the shortest form that reads
// back as the same number.

#ifndef OMTREE_PLATFORM_OMCELL_OMVALUE_H_
#define OMTREE_PLATFORM_OMCELL_OMVALUE_H_

#include <string>

#include "omcell/Export.h"
#include "omcell/OmCellText.h"

class OMCELL_EXPORT OmValue : public OmCellText {
 public:
  static constexpr int kOrderCode = 2;

  // The label is kept as an ordinary string, so region is accepted for
  // symmetry with the other kinds only.
  OmValue(double value, const std::string& label, ModeType mode, OmMemoryRegion* region = nullptr);
  ~OmValue() override;

  double Value() const { return _value; }
  const std::string& Label() const { return _label; }
  ModeType Mode() const { return _mode; }

  void Accept(Visitor& visitor) override;
  int OrderCode() const override;
  std::string AsString() const override;
  std::string AsU8String() const override;
  // The value: values are never translated.
  std::string AsEngString() const override;
  std::string AsFormattedString() const override;
  std::size_t TextLength() const override;
  // By value (NaN after every other value), then label, then mode.
  short Compare(const OmCellText& other) const override;
  OmValue* Clone(OmMemoryRegion* region) const override;

 private:
  OmValue(const OmValue& other) = default;

  double _value;
  std::string _label;
  ModeType _mode;
};

#endif  // OMTREE_PLATFORM_OMCELL_OMVALUE_H_
