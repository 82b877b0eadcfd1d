// OmCellProperties is the style record of one cell style of a pivot table:
// font, colours, alignment and number format. The object model only stores
// and destroys these records; viewers interpret them. Units and codes are
// the viewer's: sizes in points, colours as "#rrggbb" strings, alignment
// codes -1 for "not set". Plain value type, copyable.

#ifndef OMTREE_PLATFORM_OMCELL_OMCELLPROPERTIES_H_
#define OMTREE_PLATFORM_OMCELL_OMCELLPROPERTIES_H_

#include <string>

struct OmCellProperties {
  std::string fontName;
  float fontSize = 0.0f;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  std::string textColor;
  std::string backgroundColor;
  int horizontalAlignment = -1;
  int verticalAlignment = -1;
  std::string numberFormat;
};

#endif  // OMTREE_PLATFORM_OMCELL_OMCELLPROPERTIES_H_
