// OmChart is the outline item for a chart. The library neither draws nor
// parses charts: the producer fills a chart, piece by piece, with opaque byte
// payloads (an XML description, a data stream, an image stream, a map-info
// record) and a few small descriptors (the content sub-type and the two
// editing values that Done delivers), and consumers read them back unchanged.
// The one thing a chart does on its own happens at construction: given a code
// page, it converts its outline text from UTF-8 into that code page.
//
// Ownership: the chart owns its outline text (see OmOutputPart) and a private
// detail record, allocated by the constructor and deleted by the destructor,
// that holds every payload and descriptor.
//
// Invariants: every payload holds exactly the bytes appended to it, embedded
// zero bytes included, in the order they arrived; nothing but the appends
// and SetXmlCompressedLength's reservation ever changes a payload. The
// descriptors hold any 32-bit value they were given; the chart does not
// interpret them.
//
// Copying: a copy is deep. It owns a clone of the outline text and its own
// detail record; source and copy change and die independently. There is no
// assignment: nothing needs to assign one chart over another, and copies are
// made whole. A chart is used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_CHART_H_
#define OMTREE_BACKEND_OMTREE_CHART_H_

#include <cstdint>
#include <memory>
#include <string>

#include "backend/omtree/Export.h"
#include "backend/omtree/OutputPart.h"
#include "backend/omtree/cell/Cell.h"

// What the chart's XML content is. Set by the producer with SetImageSubType;
// a new chart holds ChartXMLContentDefault.
enum ChartXMLContentSubType : std::int32_t {
  ChartXMLContentDefault = 0,
};

class OMTREE_EXPORT OmChart : public OmOutputPart {
 public:
  // Whether the chart may be edited. A new chart holds NotEditable until
  // Done delivers the producer's value.
  enum EDITABLE : std::int32_t {
    NotEditable = 0,
    Editable = 1,
  };

  // Which editor edits the chart. A new chart holds DefaultEditor.
  enum EDITOR : std::int32_t {
    NoEditor = 0,
    DefaultEditor = 1,
  };

  // A chart whose outline text is text. When codePage is not empty, the
  // outline text becomes a plain string cell holding text's AsString()
  // converted from UTF-8 into codePage, or holding it unconverted when the
  // conversion fails; otherwise it is a clone of text.
  OmChart(const OmCellText& text, const std::string& codePage);

  // A deep copy: see the copy rule above.
  OmChart(const OmChart& other);
  OmChart& operator=(const OmChart&) = delete;

  ~OmChart() override;

  // Calls visitor.Visit(*this).
  void Accept(Visitor& visitor) override;

  // The producer's setters. Each SetXxx(data, size) appends exactly size
  // bytes from data.
  // REQUIRES: data points to at least size bytes.
  virtual void SetXmlDescription(const char* data, unsigned int size);
  // Stored for the producer; nothing in the library reads it.
  virtual void SetXmlUncompressedLength(unsigned int length);
  // Reserves room for length bytes of XML description ahead of its pieces.
  // The description's contents and length stay as they are.
  virtual void SetXmlCompressedLength(unsigned int length);
  // Grows the XML data to exactly its new length, then appends.
  virtual void SetBinaryDataStream(const char* data, unsigned int size);
  // Grows the image data to exactly its new length, then appends.
  virtual void SetImageStream(const char* data, unsigned int size);
  virtual void SetImageSubType(ChartXMLContentSubType subType);
  // Reads the editable value from info[0..3] and the editor value from
  // info[4..7], both 32-bit in the machine's byte order.
  // REQUIRES: info points to at least 8 bytes.
  virtual void Done(const char* info);

  // Appends size bytes from data to the map-info record.
  // REQUIRES: data points to at least size bytes.
  void SetMapInfo(const char* data, unsigned int size);

  // Whether the map-info record holds at least one byte.
  bool hasMap() const;

  // Splits the map-info record into its four strings. The record is a 16-bit
  // byte-order marker followed by four strings, each behind its byte count:
  // 32-bit for the first and third, 16-bit for the second and fourth. The
  // marker reads as 1 when the record is in this machine's byte order; when
  // it does not, every count is byte-reversed before use. The strings are
  // copied as they are, each replacing the contents of its output; bytes
  // after the fourth string are ignored.
  //
  // Never reads past the stored bytes, whatever they are. A record shorter
  // than its counts announce is split as far as it goes:
  //   * without the two marker bytes (an empty record included), no output
  //     is touched;
  //   * a count cut short leaves its output and all later ones untouched;
  //   * a string cut short gets the bytes that remain, and the later
  //     outputs are untouched.
  void getMapInfo(std::string& first, std::string& second, std::string& third,
                  std::string& fourth) const;

  const std::string& GetXmlDescription() const;
  const std::string& GetXmlData() const;
  const std::string& GetImageData() const;
  // The code page given to the constructor.
  const std::string& LocaleCodePage() const;

  ChartXMLContentSubType GetChartSubType() const;
  EDITABLE GetEditable() const;
  EDITOR GetEditor() const;

 private:
  struct Detail;

  std::unique_ptr<Detail> _detail;
};

#endif  // OMTREE_BACKEND_OMTREE_CHART_H_
