// FormatArea is the format of one area of a pivot table (title, caption,
// corner, labels, data, ...): font, margins, alignment and colours. The
// library stores the values and hands them back unchanged; the units and
// codes are the viewer's (sizes in points, colours as "#rrggbb", -1 for
// "not set").
//
// A table owns the formats given to it (OmPivotTable::setAreaFormat). Not
// copyable. Used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_FORMATAREA_H_
#define OMTREE_BACKEND_OMTREE_FORMATAREA_H_

#include <string>

#include "backend/omtree/Export.h"

class OMTREE_EXPORT FormatArea {
 public:
  // The areas a table accepts formats for: the values 0 to 8.
  enum Area {
    Title = 0,
    Layers = 1,
    CornerLabels = 2,
    RowLabels = 3,
    ColumnLabels = 4,
    Data = 5,
    Caption = 6,
    Footnotes = 7,
    Borders = 8,
  };

  // A format for area: empty font name and colours, font size 0, font style
  // and alignments -1, margins 6 (left), 2, 2, 2, underline and alternate
  // row colours off.
  explicit FormatArea(Area area);
  ~FormatArea();

  FormatArea(const FormatArea&) = delete;
  FormatArea& operator=(const FormatArea&) = delete;

  Area getArea() const;

  const std::string& getFontName() const;
  void setFontName(const std::string& name);
  float getFontSize() const;
  void setFontSize(float size);
  int getFontStyle() const;
  void setFontStyle(int style);
  bool getUnderline() const;
  void setUnderline(bool underline);
  int getHorizontalAlignment() const;
  void setHorizontalAlignment(int alignment);
  int getVerticalAlignment() const;
  void setVerticalAlignment(int alignment);
  const std::string& getTextColor() const;
  void setTextColor(const std::string& color);
  const std::string& getBackgroundColor() const;
  void setBackgroundColor(const std::string& color);
  bool getUseAltRowColors() const;
  void setUseAltRowColors(bool use);
  const std::string& getAlternateTextColor() const;
  void setAlternateTextColor(const std::string& color);
  const std::string& getAlternateBackgroundColor() const;
  void setAlternateBackgroundColor(const std::string& color);
  int getMarginLeft() const;
  void setMarginLeft(int margin);
  int getMarginRight() const;
  void setMarginRight(int margin);
  int getMarginTop() const;
  void setMarginTop(int margin);
  int getMarginBottom() const;
  void setMarginBottom(int margin);

 private:
  struct Record;

  Record* _my;
};

#endif  // OMTREE_BACKEND_OMTREE_FORMATAREA_H_
