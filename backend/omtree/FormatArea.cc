#include "backend/omtree/FormatArea.h"

struct FormatArea::Record {
  explicit Record(Area formatArea) : area(formatArea) {}

  Area area;
  std::string fontName;
  float fontSize = 0.0f;
  int fontStyle = -1;
  int marginLeft = 6;
  int marginRight = 2;
  int marginTop = 2;
  int marginBottom = 2;
  bool underline = false;
  int horizontalAlignment = -1;
  int verticalAlignment = -1;
  std::string textColor;
  std::string backgroundColor;
  bool useAltRowColors = false;
  std::string alternateTextColor;
  std::string alternateBackgroundColor;
};

FormatArea::FormatArea(Area area) : _my(new Record(area)) {}

FormatArea::~FormatArea() {
  delete _my;
}

FormatArea::Area FormatArea::getArea() const {
  return _my->area;
}

const std::string& FormatArea::getFontName() const {
  return _my->fontName;
}
void FormatArea::setFontName(const std::string& name) {
  _my->fontName = name;
}
float FormatArea::getFontSize() const {
  return _my->fontSize;
}
void FormatArea::setFontSize(float size) {
  _my->fontSize = size;
}
int FormatArea::getFontStyle() const {
  return _my->fontStyle;
}
void FormatArea::setFontStyle(int style) {
  _my->fontStyle = style;
}
bool FormatArea::getUnderline() const {
  return _my->underline;
}
void FormatArea::setUnderline(bool underline) {
  _my->underline = underline;
}
int FormatArea::getHorizontalAlignment() const {
  return _my->horizontalAlignment;
}
void FormatArea::setHorizontalAlignment(int alignment) {
  _my->horizontalAlignment = alignment;
}
int FormatArea::getVerticalAlignment() const {
  return _my->verticalAlignment;
}
void FormatArea::setVerticalAlignment(int alignment) {
  _my->verticalAlignment = alignment;
}
const std::string& FormatArea::getTextColor() const {
  return _my->textColor;
}
void FormatArea::setTextColor(const std::string& color) {
  _my->textColor = color;
}
const std::string& FormatArea::getBackgroundColor() const {
  return _my->backgroundColor;
}
void FormatArea::setBackgroundColor(const std::string& color) {
  _my->backgroundColor = color;
}
bool FormatArea::getUseAltRowColors() const {
  return _my->useAltRowColors;
}
void FormatArea::setUseAltRowColors(bool use) {
  _my->useAltRowColors = use;
}
const std::string& FormatArea::getAlternateTextColor() const {
  return _my->alternateTextColor;
}
void FormatArea::setAlternateTextColor(const std::string& color) {
  _my->alternateTextColor = color;
}
const std::string& FormatArea::getAlternateBackgroundColor() const {
  return _my->alternateBackgroundColor;
}
void FormatArea::setAlternateBackgroundColor(const std::string& color) {
  _my->alternateBackgroundColor = color;
}
int FormatArea::getMarginLeft() const {
  return _my->marginLeft;
}
void FormatArea::setMarginLeft(int margin) {
  _my->marginLeft = margin;
}
int FormatArea::getMarginRight() const {
  return _my->marginRight;
}
void FormatArea::setMarginRight(int margin) {
  _my->marginRight = margin;
}
int FormatArea::getMarginTop() const {
  return _my->marginTop;
}
void FormatArea::setMarginTop(int margin) {
  _my->marginTop = margin;
}
int FormatArea::getMarginBottom() const {
  return _my->marginBottom;
}
void FormatArea::setMarginBottom(int margin) {
  _my->marginBottom = margin;
}
