// OmHeading is the outline item that groups the items below it; the root of
// every output tree is one. Besides its outline text it keeps a list of
// footnotes.
//
// Ownership: the heading owns its footnote vector (allocated in the default
// heap, empty at first), and the vector owns its footnotes. Copies are deep:
// a copy owns a clone of the outline text and its own copy of every
// footnote. A heading is used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_HEADING_H_
#define OMTREE_BACKEND_OMTREE_HEADING_H_

#include "backend/omtree/Export.h"
#include "backend/omtree/OutputPart.h"
#include "backend/omtree/cell/Footnote.h"
#include "backend/omtree/cell/Vector.h"

class OMTREE_EXPORT OmHeading : public OmOutputPart {
 public:
  explicit OmHeading(const OmCellText& text);
  OmHeading(const OmHeading& other);
  OmHeading& operator=(const OmHeading& other);
  ~OmHeading() override;

  void Accept(Visitor& visitor) override;

  // The footnotes, for callers to add and read.
  OmVector<OmFootnote>& Footnotes() { return *_footnotes; }
  const OmVector<OmFootnote>& Footnotes() const { return *_footnotes; }

 private:
  OmVector<OmFootnote>* _footnotes;
};

#endif  // OMTREE_BACKEND_OMTREE_HEADING_H_
