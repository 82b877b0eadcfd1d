// OmVariable is the text of a variable: its name and its label, shown by
// name, by label or both as its mode says (OmCellText::ModeType).

#ifndef OMTREE_PLATFORM_OMCELL_OMVARIABLE_H_
#define OMTREE_PLATFORM_OMCELL_OMVARIABLE_H_

#include <string>

#include "omcell/Export.h"
#include "omcell/OmCellText.h"

class OMCELL_EXPORT OmVariable : public OmCellText {
 public:
  static constexpr int kOrderCode = 3;

  // The name and label are kept as ordinary strings, so region is accepted
  // for symmetry with the other kinds only.
  OmVariable(const std::string& name, const std::string& label, ModeType mode,
             OmMemoryRegion* region = nullptr);
  ~OmVariable() override;

  const std::string& Name() const { return _name; }
  const std::string& Label() const { return _label; }
  ModeType Mode() const { return _mode; }

  void Accept(Visitor& visitor) override;
  int OrderCode() const override;
  std::string AsString() const override;
  std::string AsU8String() const override;
  // The name: variable names are never translated.
  std::string AsEngString() const override;
  std::string AsFormattedString() const override;
  std::size_t TextLength() const override;
  // By name, then label, then mode.
  short Compare(const OmCellText& other) const override;
  OmVariable* Clone(OmMemoryRegion* region) const override;

 private:
  OmVariable(const OmVariable& other) = default;

  std::string _name;
  std::string _label;
  ModeType _mode;
};

#endif  // OMTREE_PLATFORM_OMCELL_OMVARIABLE_H_
