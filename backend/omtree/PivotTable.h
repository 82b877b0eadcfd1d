// OmPivotTable is the output item that holds a multidimensional table: an
// ordered list of dimensions (category trees), the assignment of those
// dimensions to rows, columns and layers, a sparse store of cells addressed
// by a cell index (one non-negative subscript per dimension, dimension 0
// first), and the texts, footnotes, display properties and back-end settings
// that describe the table as a whole.
//
// A producer creates the table, calls setBackendSettings, adds dimensions
// and their categories, stores cells, fills Rows(), Columns() and Layers(),
// calls EndTable, and appends the table to an output tree, which then owns
// it. Viewers read cells by index or iterate over the filled ones, and lay
// the table out with the display headings.
//
// Ownership: the table's private record is itself a memory region, the
// table's region. Every text the table stores is a clone made there (the
// outline text excepted, which the item keeps in the default heap); the
// dimensions' category trees, the footnote list and the cell store live there
// too. The table owns its dimensions, cells, texts, footnotes, area formats
// and trackers, and deletes them when it is destroyed. Every text it stores
// is stamped with its current code-page tracker (setHelper); trackers are made
// by the first setBackendSettings that asks for fast tables.
//
// Checks: a cell index of the wrong length or with a negative subscript, a
// dimension number out of range, CopyDimensions on a table that has
// dimensions, and an EndTable whose lists do not cover the dimensions are
// reported through OmAssertion with the source "backend/omtree/PivotTable".
// Subscripts are not checked against category counts: the store grows to
// whatever is set.
//
// The table is not copyable. A table, its iterators and its headings are used
// from one thread at a time; the table's dimensions must not change while
// display headings exist over it.

#ifndef OMTREE_BACKEND_OMTREE_PIVOTTABLE_H_
#define OMTREE_BACKEND_OMTREE_PIVOTTABLE_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "backend/omtree/Dimension.h"
#include "backend/omtree/Export.h"
#include "backend/omtree/FormatArea.h"
#include "backend/omtree/OutputPart.h"
#include "backend/omtree/cell/Cell.h"
#include "backend/omtree/cell/Footnote.h"
#include "backend/omtree/cell/Vector.h"
#include "backend/tables/PuppetVector.h"
#include "platdep/icuTracker.h"
#include "qarniocv/BackendSettings.h"

class OMTREE_EXPORT OmPivotTable : public OmOutputPart {
 public:
  // Stamps a tracker into texts: every kind gets the tracker except the
  // missing mark, which holds nothing to convert; a composite gets it in
  // itself and in the text of every part. Holds the tracker without owning
  // it; null until the table makes its trackers.
  class OMTREE_EXPORT ICUHelper : public OmCellText::Visitor {
   public:
    ICUHelper() = default;
    ~ICUHelper() override;

    void Visit(OmComposite& text) override;
    void Visit(OmStringCell& text) override;
    void Visit(OmNumber& text) override;
    void Visit(OmVariable& text) override;
    void Visit(OmValue& text) override;
    void Visit(OmMissing& text) override;

    icuTracker* Tracker() const { return _tracker; }
    void Tracker(icuTracker* tracker) { _tracker = tracker; }

   private:
    icuTracker* _tracker = nullptr;
  };

  class ConstIterator;

  // Walks the filled cells: dimension 0 varies fastest, then dimension 1,
  // and so on. Take FirstCell(), and while Cell() is not null read Cell()
  // and Index(), then ++. Copies are independent. An iterator stays usable
  // while no cell is set, replaced or deleted and no dimension added.
  class OMTREE_EXPORT Iterator {
   public:
    // An iterator with no position; Cell() is null.
    Iterator();
    Iterator(const Iterator& other);
    Iterator& operator=(const Iterator& other);
    ~Iterator();

    // REQUIRES: Cell() is not null.
    Iterator& operator++();
    // The current cell, null at the end.
    OmCellText* Cell() const;
    // The subscripts of the current cell, dimension 0 first.
    std::vector<int> Index() const;

   private:
    friend class OmPivotTable;
    friend class ConstIterator;
    struct Data;

    explicit Iterator(Data* data);

    Data* _data;
  };

  // Iterator over a const table; behaves as Iterator.
  class OMTREE_EXPORT ConstIterator {
   public:
    ConstIterator();
    ConstIterator(const ConstIterator& other);
    ConstIterator& operator=(const ConstIterator& other);
    ~ConstIterator();

    ConstIterator& operator++();
    const OmCellText* Cell() const;
    std::vector<int> Index() const;

   private:
    friend class OmPivotTable;
    explicit ConstIterator(Iterator::Data* data);

    Iterator::Data* _data;
  };

  // A table labelled label, made from the template templateName (which
  // decides once whether it is a warnings or a notes table), with splits
  // when hasSplits.
  OmPivotTable(const OmCellText& label, const OmCellText& templateName, bool hasSplits);
  ~OmPivotTable() override;

  OmPivotTable(const OmPivotTable&) = delete;
  OmPivotTable& operator=(const OmPivotTable&) = delete;

  void Accept(Visitor& visitor) override;

  // Dimensions.

  // Adds a dimension named name (or a copy of other, in this table's
  // region) and returns it. Existing cells move to subscript 0 of the new
  // dimension; its root category gets the dimension's number as subscript.
  OmDimension& AddDimension(const OmCellText& name);
  OmDimension& AddDimension(const OmDimension& other);
  // Copies every dimension of other into this table: nothing else (no
  // cells, no row, column or layer lists, no root subscripts or trackers).
  // REQUIRES (checked): this table has no dimensions.
  void CopyDimensions(const OmPivotTable& other);
  std::size_t NDimensions() const;
  // REQUIRES (checked): 0 <= which < NDimensions().
  OmDimension& Dimension(int which);
  const OmDimension& Dimension(int which) const;
  // The category count of dimension which, sign-extended.
  // REQUIRES (checked): 0 <= which < NDimensions().
  std::size_t Size(int which) const;
  // The category count of every dimension, dimension 0 first.
  std::vector<int> SizeVector() const;
  // The number of the first dimension whose name equals name, or -1.
  int FindDimension(const OmCellText& name) const;

  // Rows, columns and layers: lists of dimension numbers, filled by the
  // caller; -1 marks a place that growing access made without a value.
  PuppetVector<short>& Rows();
  const PuppetVector<short>& Rows() const;
  PuppetVector<short>& Columns();
  const PuppetVector<short>& Columns() const;
  PuppetVector<short>& Layers();
  const PuppetVector<short>& Layers() const;
  // Closes the filling of the lists: when they do not hold one entry per
  // dimension, erases every -1 (layers first, then columns, then rows).
  // REQUIRES (checked): afterwards the three lists hold NDimensions()
  // entries in all.
  void EndTable();

  // Cells. REQUIRES (checked): index has NDimensions() subscripts, none
  // negative.

  // The cell at index, or null.
  OmCellText* Cell(const std::vector<int>& index);
  const OmCellText* Cell(const std::vector<int>& index) const;
  // Stores a clone of text at index, stamped with the table's tracker (a
  // null text removes the cell but keeps its path). A replaced cell's
  // metadata carries over to the new one and wins over text's own.
  void Cell(const std::vector<int>& index, const OmCellText* text);
  void Cell(const std::vector<int>& index, const OmCellText& text);
  // Removes the cell at index, if any, with the nodes on its path that then
  // hold nothing. Not checked.
  void deleteCell(const std::vector<int>& index);

  // Positioned on the first cell, or at the end when there is none.
  Iterator FirstCell();
  ConstIterator FirstCell() const;

  // Annotations.

  OmCellText* TemplateName();
  const OmCellText* TemplateName() const;
  // Whether the template name reads exactly "Warnings" / "Notes".
  bool IsWarnings() const;
  bool IsNotes() const;

  // Replaces the title by a clone of text.
  void SetTableTitle(const OmCellText& text);
  // The title, or null.
  const OmCellText* GetTableTitle() const;
  // REQUIRES: a title was set.
  OmCellText& TableTitle();
  // Replaces the caption / corner text by a clone of text, or removes it
  // when text is null. REQUIRES: text is not the one the table holds there.
  void Caption(const OmCellText* text);
  OmCellText* Caption();
  const OmCellText* Caption() const;
  void CornerText(const OmCellText* text);
  OmCellText* CornerText();
  const OmCellText* CornerText() const;

  // The footnotes; a footnote's position is its number.
  OmVector<OmFootnote>& Footnotes();
  const OmVector<OmFootnote>& Footnotes() const;
  // Registers footnote and returns its number. Unless append is true, a
  // footnote whose text equals footnote's text is reused: its second text is
  // replaced by footnote's (or removed) and its count goes up by 1.
  // Otherwise a new footnote is appended with clones of footnote's texts and
  // count 1, or footnote's own count when that is negative.
  // REQUIRES: footnote has a text.
  int Footnote(const OmFootnote& footnote, bool append);
  void RemovedFootnotes(bool removed);
  bool HasRemovedFootnotes() const;
  // Flags that are only ever set.
  void setHasMarkers();
  bool hasMarkers() const;
  void Scratch();
  bool IsScratched() const;
  bool HasSplits() const;
  void showCaption(bool show);
  bool showCaption() const;

  // Display properties, stored and handed back unchanged.

  bool Show() const;
  void Show(bool show);
  bool RotateRowLabels() const;
  void RotateRowLabels(bool rotate);
  bool RotateColumnLabels() const;
  void RotateColumnLabels(bool rotate);
  int OptionNumber() const;
  void OptionNumber(int number);
  std::int64_t TableId() const;
  void TableId(std::int64_t id);
  const std::string& TableLocale() const;
  void TableLocale(const std::string& locale);
  int MinColumnWidth() const;
  void MinColumnWidth(int width);
  int MaxColumnWidth() const;
  void MaxColumnWidth(int width);
  int MinRowWidth() const;
  void MinRowWidth(int width);
  int MaxRowWidth() const;
  void MaxRowWidth(int width);
  // The layer that OmDisplayLayerHeading::restoreLayer adopts.
  int getLayerLoc() const;
  void setLayerLoc(int layer);
  const std::string& getBorderInfo() const;
  void setBorderInfo(const std::string& info);
  const std::string& getTableLookInfo() const;
  void setTableLookInfo(const std::string& info);
  const std::string& getTablePropertiesInfo() const;
  void setTablePropertiesInfo(const std::string& info);
  const std::vector<unsigned>& getTableCustomWidths() const;
  void setTableCustomWidths(const std::vector<unsigned>& widths);
  const std::vector<unsigned>& getTableCustomHeights() const;
  void setTableCustomHeights(const std::vector<unsigned>& heights);
  bool backendOwns() const;
  void setBackendOwns(bool owns);
  bool fastTable() const;
  void setFastTable(bool fast);
  // The format of area, or null (always null past area 8).
  FormatArea* getAreaFormat(FormatArea::Area area) const;
  // Takes ownership of format and stores it under its area, deleting the
  // format stored there before. Null does nothing. When an allocation
  // fails, format is deleted and the table keeps what it had.
  void setAreaFormat(FormatArea* format);
  // The table's cell styles and empty-cell styles, edited in place by the
  // caller.
  std::vector<OmCellProperties>& getCellStyles() const;
  std::vector<OmCellProperties>& cellStyles();
  std::map<std::size_t, unsigned short>& getEmptyCellStyles() const;
  std::map<std::size_t, unsigned short>& emptyCellStyles();

  // Back-end settings and text conversion.

  // Keeps a copy of settings and takes its fast-table wish. The first call
  // that wants fast tables makes the trackers (one, shared, when the back
  // end works in Unicode; else a second one for UTF-8) and stamps the texts
  // the table already holds; later calls never remake or restamp.
  void setBackendSettings(const BackendSettings& settings);
  BackendSettings& getBackendSettings() const;
  icuTracker* getICUTracker() const;
  icuTracker* getU8Tracker() const;
  // Stamps the table's current tracker into text.
  void setHelper(OmCellText& text);

 private:
  struct Data;

  // The store's traversal state, positioned on the first cell.
  Iterator::Data* FirstCellData() const;
  // Takes dimension (just made in the table's region), re-roots the cell
  // store and appends the dimension, numbers its root and stamps its name.
  // When an allocation fails, dimension is deleted and the table is left as
  // it was.
  OmDimension& AppendDimension(OmDimension* dimension);
  void StampExistingTexts();

  Data* _my;
};

#endif  // OMTREE_BACKEND_OMTREE_PIVOTTABLE_H_
