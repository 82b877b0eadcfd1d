// Internal to the crosstabulation: reads a CSV file record by record and
// knows where every field starts, so that each complaint about the input can
// name the file, line and column.
//
// The file is read in chunks of kChunkSize bytes and never held whole, but
// each record is: a record longer than a chunk is read in larger ones. It is
// RFC 4180 text, checked strictly: fields are separated by commas, records
// end at LF, CR or CR LF, a field in double quotes may hold commas, line
// breaks and doubled quotes, and a quote anywhere else is an error. Spaces
// belong to the fields they stand in. Blank lines are skipped. One UTF-8
// byte order mark at the very start of the file is skipped. The first
// record is the header; every other record must have as many fields as the
// header, and every field, the header's included, must be valid UTF-8.
//
// Positions: lines count from 1, each LF, CR or CR LF ending one (inside
// quoted fields too); columns count characters from 1 (a character being
// an ASCII byte or a UTF-8 sequence; the byte order mark takes none). A
// field's position is that of its first byte, the opening quote of a quoted
// field; an empty field stands where it would begin.

#ifndef OMTREE_TOOLS_INPUTS_CSVREADER_H_
#define OMTREE_TOOLS_INPUTS_CSVREADER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Crosstab.h"

namespace omcrosstab {
namespace internal {

constexpr std::size_t kChunkSize = 64 * 1024;
// Progress is reported after each chunk that ends this many bytes or more
// past the last report, and once after the whole file.
constexpr std::uint64_t kProgressInterval = 4 * 1024 * 1024;

struct Position {
  std::uint64_t line = 1;
  std::uint64_t column = 1;
};

// The fields of one record, as views of the reader's buffer: valid only
// while the sink that receives the record runs. The vectors are reused from
// record to record and may hold more entries than the record has; only the
// first size count.
struct CsvRecord {
  std::size_t size = 0;
  std::vector<std::string_view> fields;
  // The record's number among the records of the file, counted from 0, the
  // header's.
  std::uint64_t number = 0;
  // The record's bytes as the file holds them, quotes and all, from its
  // first field's first byte, which stands at column 1 of line; and where
  // each field starts among them.
  const char* begin = nullptr;
  std::uint64_t line = 1;
  std::vector<std::size_t> starts;

  // Where field i starts. Counts the characters before it, so a reader
  // computes it only for a complaint. REQUIRES: i < size.
  Position PositionOf(std::size_t i) const;
};

// Called for every record in file order, the header first. An exception
// thrown by it ends the reading and reaches the caller of ReadCsv.
using RecordSink = std::function<void(const CsvRecord& record)>;

// Reads the file at path, hands every record to sink and reports progress
// when progress is set. The bytes are scanned a field at a time, and the
// positions of lines and columns are counted only for a complaint. Throws InputError when the file
// cannot be read, has no header, is not strict CSV, holds a field that is not UTF-8 or a record
// whose field count differs from the header's.
void ReadCsv(const std::string& path, const Progress& progress, const RecordSink& sink);

// The error "path:line:column: what".
InputError ErrorAt(const std::string& path, Position position, const std::string& what);
// The error "path: what", with line and column 0.
InputError Error(const std::string& path, const std::string& what);

// Whether the bytes are well-formed UTF-8 (checked by utf8proc): no overlong
// forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(const char* data, std::size_t size);

}  // namespace internal
}  // namespace omcrosstab

#endif  // OMTREE_TOOLS_INPUTS_CSVREADER_H_
