// OmOutputPart is the abstract base of every item that hangs in the output
// outline: headings, procedure headings, text blocks, page titles, charts,
// models, answer trees and pivot tables. It holds what all items share: the
// outline text (the label the outline shows for the item) and three values
// for viewers that the library sets at construction and copies with the
// item but never reads.
//
// Ownership: an item owns a clone of its outline text, made in the default
// heap, and deletes it with itself. Items are created by callers with new
// and handed to an output tree, which deletes them through the virtual
// destructor.
//
// OmOutputPart::Visitor is the double dispatch over the item kinds: each
// item's Accept calls the visit of its own class. The visitor supplies
// defaults for procedures (treated as headings) and page titles (treated as
// text blocks); both dispatch through the virtual table, so a concrete
// visitor's heading or text-block case is what runs.
//
// Copying: every concrete item except the pivot table deep-copies (a copy
// owns its own outline text and whatever else its class owns); the base copy
// is protected so that only whole items are copied. An item is used from one
// thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_OUTPUTPART_H_
#define OMTREE_BACKEND_OMTREE_OUTPUTPART_H_

#include "backend/omtree/Export.h"
#include "backend/omtree/cell/Cell.h"

class OmModel;
class OmAnswerTree;
class OmChart;
class OmPageTitle;
class OmTextBlock;
class OmHeading;
class OmProcedure;
class OmPivotTable;

class OMTREE_EXPORT OmOutputPart {
 public:
  // Visits return nothing. The slot order is fixed: destructor, model,
  // answer tree, chart, page title, text block, heading, procedure, pivot
  // table.
  class OMTREE_EXPORT Visitor {
   public:
    virtual ~Visitor();
    virtual void Visit(OmModel& model) = 0;
    virtual void Visit(OmAnswerTree& tree) = 0;
    virtual void Visit(OmChart& chart) = 0;
    // Default: Visit(static_cast<OmTextBlock&>(title)).
    virtual void Visit(OmPageTitle& title);
    virtual void Visit(OmTextBlock& block) = 0;
    virtual void Visit(OmHeading& heading) = 0;
    // Default: Visit(static_cast<OmHeading&>(procedure)).
    virtual void Visit(OmProcedure& procedure);
    virtual void Visit(OmPivotTable& table) = 0;
  };

  virtual ~OmOutputPart();

  // Calls the visit of this item's class with this item.
  virtual void Accept(Visitor& visitor) = 0;

  // The outline text; the item owns it. Never null.
  const OmCellText* OutlineText() const { return _outlineText; }

  // Viewer state that the library keeps and copies but never reads: an
  // opaque pointer for the viewer's own use (null at first), whether the
  // item is shown, and whether its outline node is expanded (both true at
  // first).
  void* ClientData() const { return _clientData; }
  void ClientData(void* data) { _clientData = data; }
  bool Visible() const { return _visible; }
  void Visible(bool visible) { _visible = visible; }
  bool Expanded() const { return _expanded; }
  void Expanded(bool expanded) { _expanded = expanded; }

 protected:
  // An item whose outline text is a clone of text in the default heap.
  explicit OmOutputPart(const OmCellText& text);

  // A copy owns a clone of other's outline text and copies the viewer state.
  OmOutputPart(const OmOutputPart& other);
  OmOutputPart& operator=(const OmOutputPart& other);

  // The outline text, for derived items that stamp or convert it in place.
  OmCellText* MutableOutlineText() { return _outlineText; }

  // Replaces the outline text by a clone of text. The clone is taken first,
  // so text may be the item's own outline text.
  void ReplaceOutlineText(const OmCellText& text);

 private:
  OmCellText* _outlineText;
  void* _clientData;
  bool _visible;
  bool _expanded;
};

#endif  // OMTREE_BACKEND_OMTREE_OUTPUTPART_H_
