#include "backend/omtree/Chart.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "platdep/QARNMBConverter.h"

struct OmChart::Detail {
  explicit Detail(const std::string& codePage) : localeCodePage(codePage) {}

  std::string xmlDescription;
  std::string xmlData;
  std::string imageData;
  std::string localeCodePage;
  std::string mapInfo;
  EDITABLE editable = NotEditable;
  EDITOR editor = DefaultEditor;
  ChartXMLContentSubType chartSubType = ChartXMLContentDefault;
  unsigned int xmlUncompressedLength = 0;
};

namespace {

// utf8 converted into codePage, or utf8 itself when the converter cannot be
// made or the text does not convert.
std::string ToCodePage(const std::string& utf8, const std::string& codePage) {
  QARNMBConverter* converter = QARNMBConverterNew_A(codePage.c_str());
  std::string converted;
  if (QARNMBU8ToGeneric(converter, converted, utf8) != 0) converted = utf8;
  QARNMBConverterDelete_A(converter);
  return converted;
}

// Reads an Unsigned at record[*offset] in the machine's byte order, or
// byte-reversed when reversed is true, and moves *offset past it. Returns
// false, with *offset unchanged, when fewer bytes than an Unsigned remain.
template <typename Unsigned>
bool ReadUnsigned(const std::string& record, bool reversed, std::size_t* offset, Unsigned* value) {
  unsigned char bytes[sizeof(Unsigned)];
  if (record.size() - *offset < sizeof bytes) return false;
  std::memcpy(bytes, record.data() + *offset, sizeof bytes);
  if (reversed) std::reverse(std::begin(bytes), std::end(bytes));
  std::memcpy(value, bytes, sizeof bytes);
  *offset += sizeof bytes;
  return true;
}

// Reads one string behind its Length-typed byte count at record[*offset]
// into *out and moves *offset past it. Returns false when the record ends
// first: *out is then untouched if the count was cut short, and holds the
// bytes that remain if the string was.
template <typename Length>
bool ReadString(const std::string& record, bool reversed, std::size_t* offset, std::string* out) {
  Length length;
  if (!ReadUnsigned(record, reversed, offset, &length)) return false;
  const std::size_t remaining = record.size() - *offset;
  if (remaining < length) {
    out->assign(record, *offset, remaining);
    return false;
  }
  out->assign(record, *offset, length);
  *offset += length;
  return true;
}

// Splits a map-info record as OmChart::getMapInfo describes; reads only
// record's bytes, whatever they hold.
void SplitMapInfo(const std::string& record, std::string* first, std::string* second,
                  std::string* third, std::string* fourth) {
  std::size_t offset = 0;
  std::uint16_t marker;
  if (!ReadUnsigned(record, false, &offset, &marker)) return;
  const bool reversed = marker != 1;
  if (ReadString<std::uint32_t>(record, reversed, &offset, first) &&
      ReadString<std::uint16_t>(record, reversed, &offset, second) &&
      ReadString<std::uint32_t>(record, reversed, &offset, third)) {
    ReadString<std::uint16_t>(record, reversed, &offset, fourth);
  }
}

}  // namespace

OmChart::OmChart(const OmCellText& text, const std::string& codePage)
    : OmOutputPart(text), _detail(new Detail(codePage)) {
  if (codePage.empty()) return;
  const OmStringCell converted(ToCodePage(text.AsString(), codePage), nullptr, false);
  ReplaceOutlineText(converted);
}

OmChart::OmChart(const OmChart& other) : OmOutputPart(other), _detail(new Detail(*other._detail)) {}

OmChart::~OmChart() = default;

void OmChart::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}

void OmChart::SetXmlDescription(const char* data, unsigned int size) {
  _detail->xmlDescription.append(data, size);
}

void OmChart::SetXmlUncompressedLength(unsigned int length) {
  _detail->xmlUncompressedLength = length;
}

void OmChart::SetXmlCompressedLength(unsigned int length) {
  _detail->xmlDescription.reserve(length);
}

void OmChart::SetBinaryDataStream(const char* data, unsigned int size) {
  _detail->xmlData.reserve(_detail->xmlData.size() + size);
  _detail->xmlData.append(data, size);
}

void OmChart::SetImageStream(const char* data, unsigned int size) {
  _detail->imageData.reserve(_detail->imageData.size() + size);
  _detail->imageData.append(data, size);
}

void OmChart::SetImageSubType(ChartXMLContentSubType subType) {
  _detail->chartSubType = subType;
}

void OmChart::Done(const char* info) {
  std::int32_t editable;
  std::int32_t editor;
  std::memcpy(&editable, info, sizeof editable);
  std::memcpy(&editor, info + sizeof editable, sizeof editor);
  _detail->editable = static_cast<EDITABLE>(editable);
  _detail->editor = static_cast<EDITOR>(editor);
}

void OmChart::SetMapInfo(const char* data, unsigned int size) {
  _detail->mapInfo.append(data, size);
}

bool OmChart::hasMap() const {
  return !_detail->mapInfo.empty();
}

void OmChart::getMapInfo(std::string& first, std::string& second, std::string& third,
                         std::string& fourth) const {
  SplitMapInfo(_detail->mapInfo, &first, &second, &third, &fourth);
}

const std::string& OmChart::GetXmlDescription() const {
  return _detail->xmlDescription;
}

const std::string& OmChart::GetXmlData() const {
  return _detail->xmlData;
}

const std::string& OmChart::GetImageData() const {
  return _detail->imageData;
}

const std::string& OmChart::LocaleCodePage() const {
  return _detail->localeCodePage;
}

ChartXMLContentSubType OmChart::GetChartSubType() const {
  return _detail->chartSubType;
}

OmChart::EDITABLE OmChart::GetEditable() const {
  return _detail->editable;
}

OmChart::EDITOR OmChart::GetEditor() const {
  return _detail->editor;
}
