// OmNumber is the numeric text kind: a double shown with a fixed number of
// decimals, or in its shortest exact form until decimals are set. Its strings
// never depend on the process's locale: the decimal mark is always '.'.

#ifndef OMTREE_PLATFORM_OMCELL_OMNUMBER_H_
#define OMTREE_PLATFORM_OMCELL_OMNUMBER_H_

#include <string>

#include "omcell/Export.h"
#include "omcell/OmCellText.h"

class OMCELL_EXPORT OmNumber : public OmCellText {
 public:
  static constexpr int kOrderCode = 1;
  // Decimals() of a number shown in its shortest exact form.
  static constexpr int kShortest = -1;
  static constexpr int kMaxDecimals = 16;

  // A number keeps no storage outside the object, so region is accepted for
  // symmetry with the other kinds only; the object itself lives wherever the
  // caller's new put it.
  explicit OmNumber(double value, OmMemoryRegion* region = nullptr);
  ~OmNumber() override;

  double Value() const { return _value; }
  int Decimals() const { return _decimals; }
  // Shows the number with decimals digits after the decimal mark, clamped to
  // 0..kMaxDecimals; kShortest restores the shortest exact form.
  void SetDecimals(int decimals);

  // value with decimals digits after the mark (kShortest: the shortest form
  // that reads back as value); "nan", "inf" and "-inf" for the non-finite.
  static std::string Format(double value, int decimals);

  void Accept(Visitor& visitor) override;
  int OrderCode() const override;
  std::string AsString() const override;
  std::string AsU8String() const override;
  std::string AsEngString() const override;
  std::string AsFormattedString() const override;
  std::size_t TextLength() const override;
  // By value (NaN after every other value, all NaNs alike), then by decimals.
  short Compare(const OmCellText& other) const override;
  OmNumber* Clone(OmMemoryRegion* region) const override;

 private:
  OmNumber(const OmNumber& other) = default;

  double _value;
  int _decimals = kShortest;
};

#endif  // OMTREE_PLATFORM_OMCELL_OMNUMBER_H_
