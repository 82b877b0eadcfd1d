// OmCellText is the base of every text of the object model: labels, cell
// values, titles, footnotes. A text is region-managed (OmRegionManaged):
// owners copy texts in with Clone(region) and delete them through the
// virtual destructor.
//
// Every text carries, besides what its kind holds:
//   * optional metadata (an owned OmCellMetaData, absent at first);
//   * a code-page tracker (an icuTracker that the text does not own, null at
//     first), which its owner stamps into it;
//   * a list of footnote numbers and a list of marker strings, both empty at
//     first; they are kept outside the object and made on first write, so
//     a text without them costs one null pointer.
// Clone() copies all of these; the copy shares the tracker, which nobody
// owns through a text.
//
// Ordering: Compare() is a total order over all texts. Texts of different
// kinds order by OrderCode(), which ranks the kinds (missing mark, number,
// value, variable, string, composite); texts of one kind order by their
// content. Two texts are equal when their TextLength() values are equal and
// Compare() returns 0. Compare() returns -1, 0 or 1.
//
// A text is used from one thread at a time. Texts are not assignable; Clone()
// is the way to copy one.

#ifndef OMTREE_PLATFORM_OMCELL_OMCELLTEXT_H_
#define OMTREE_PLATFORM_OMCELL_OMCELLTEXT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "omcell/Export.h"
#include "omcell/OmCellMetaData.h"
#include "omcell/OmMemoryRegion.h"
#include "omcell/OmRegionManaged.h"

class icuTracker;
class OmComposite;
class OmStringCell;
class OmNumber;
class OmVariable;
class OmValue;
class OmMissing;

class OMCELL_EXPORT OmCellText : public OmRegionManaged {
 public:
  // How variables and values are shown: by name (a variable's name, a
  // value's number), by label (falling back to the name when there is
  // none), or by both.
  enum ModeType : std::int32_t {
    Names = 0,
    Labels = 1,
    NamesAndLabels = 2,
  };

  // Double dispatch over the cell kinds. The slot order is fixed: composite,
  // string, number, variable, value, missing.
  class OMCELL_EXPORT Visitor {
   public:
    virtual ~Visitor();
    virtual void Visit(OmComposite& text) = 0;
    virtual void Visit(OmStringCell& text) = 0;
    virtual void Visit(OmNumber& text) = 0;
    virtual void Visit(OmVariable& text) = 0;
    virtual void Visit(OmValue& text) = 0;
    virtual void Visit(OmMissing& text) = 0;
  };

  ~OmCellText() override;

  OmCellText& operator=(const OmCellText&) = delete;

  // Calls the visitor's Visit for this text's kind.
  virtual void Accept(Visitor& visitor) = 0;

  // Rank of this text's kind in the order of kinds.
  virtual int OrderCode() const = 0;

  // The text as shown, in the text's own bytes.
  virtual std::string AsString() const = 0;
  // The text as UTF-8.
  virtual std::string AsU8String() const = 0;
  // The text in its source language, untranslated.
  virtual std::string AsEngString() const = 0;
  // The text with its display formatting applied.
  virtual std::string AsFormattedString() const = 0;

  // Length of the text in bytes; 0 for a text without content.
  virtual std::size_t TextLength() const;

  // Negative, zero or positive as this text orders before, with, or after
  // other.
  virtual short Compare(const OmCellText& other) const = 0;

  // A deep copy of this text allocated in region (null: the default heap).
  virtual OmCellText* Clone(OmMemoryRegion* region) const = 0;

  // Whether the text is made of parts (a composite).
  virtual bool IsComposite() const;

  bool hasMeta() const { return _meta != nullptr; }
  // The metadata, or null when the text has none.
  const OmCellMetaData* getMeta() const { return _meta.get(); }
  // Gives the text a copy of meta, replacing any metadata it had.
  void setMeta(const OmCellMetaData& meta);

  icuTracker* getTracker() const { return _tracker; }
  void setTracker(icuTracker* tracker) { _tracker = tracker; }

  // Footnote numbers attached to the text, in order.
  std::vector<short>& Footnotes();
  const std::vector<short>& Footnotes() const;

  const std::vector<std::string>& getMarkers() const;
  void setMarkers(std::vector<std::string> markers);

 protected:
  OmCellText() = default;
  // Copies metadata, tracker, footnotes and markers; for Clone().
  OmCellText(const OmCellText& other);

  // Orders this text against other by kind alone.
  // REQUIRES: OrderCode() != other.OrderCode().
  short CompareKinds(const OmCellText& other) const;

  // -1, 0 or 1 for a negative, zero or positive difference.
  template <typename Number>
  static short SignOf(Number difference) {
    return static_cast<short>((difference > 0) - (difference < 0));
  }

  // Byte-wise lexicographic order of two byte ranges.
  static short CompareBytes(const char* a, std::size_t aLength, const char* b, std::size_t bLength);
  static short CompareBytes(const std::string& a, const std::string& b) {
    return CompareBytes(a.data(), a.size(), b.data(), b.size());
  }

  // Numeric order in which NaN follows every other value and all NaNs are
  // alike.
  static short CompareValues(double a, double b);

  // What a variable or value shows in mode: its name, its label (the name
  // when there is no label), or "label [name]".
  static std::string ShowInMode(const std::string& name, const std::string& label, ModeType mode);

 private:
  struct Annotations {
    std::vector<short> footnotes;
    std::vector<std::string> markers;
  };

  Annotations& MutableAnnotations();

  std::unique_ptr<OmCellMetaData> _meta;
  icuTracker* _tracker = nullptr;
  std::unique_ptr<Annotations> _annotations;
};

#endif  // OMTREE_PLATFORM_OMCELL_OMCELLTEXT_H_
