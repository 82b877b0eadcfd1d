// OmFootnote is one footnote of a heading or a pivot table: its text, an
// optional second text, and a count that the owner's footnote registration
// keeps.
//
// Ownership: the record owns both texts, cloned into its region (which it
// stores as given; null means the default heap), and deletes them with
// itself. The record holds no pointer into itself, so OmVector may move its
// bytes. A copy clones both texts into the source's region and owns them;
// assignment is not offered (vectors of footnotes copy element by element).
//
// A footnote is used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_CELL_FOOTNOTE_H_
#define OMTREE_BACKEND_OMTREE_CELL_FOOTNOTE_H_

#include <cstdint>

#include "backend/omtree/Export.h"
#include "backend/omtree/cell/Cell.h"

class OMTREE_EXPORT OmFootnote {
 public:
  // A footnote holding clones of text and secondText (either may be null)
  // in region, with count 0.
  OmFootnote(const OmCellText* text, const OmCellText* secondText, OmMemoryRegion* region);
  OmFootnote(const OmFootnote& other);
  OmFootnote& operator=(const OmFootnote&) = delete;
  ~OmFootnote();

  OmMemoryRegion* Region() const { return _region; }

  // The text, or null in a record built without one.
  OmCellText* Text() { return _text; }
  const OmCellText* Text() const { return _text; }
  // Replaces the text by a clone of text.
  void Text(const OmCellText& text);

  // The second text, or null.
  OmCellText* SecondText() { return _secondText; }
  const OmCellText* SecondText() const { return _secondText; }
  // Replaces the second text by a clone of text, or removes it when text is
  // null.
  void SecondText(const OmCellText* text);

  std::int32_t Count() const { return _count; }
  void Count(std::int32_t count) { _count = count; }
  void IncrementCount() { ++_count; }

 private:
  OmMemoryRegion* _region;
  OmCellText* _text;
  OmCellText* _secondText;
  std::int32_t _count;
};

#endif  // OMTREE_BACKEND_OMTREE_CELL_FOOTNOTE_H_
