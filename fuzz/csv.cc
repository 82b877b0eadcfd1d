// Fuzz target for the CSV reader of the crosstabulation (ReadCsv): the
// fuzzer's bytes are the file, handed over through a memfd, and what the
// reader makes of them is compared with an independent reference reader
// written from the rules in CsvReader.h. When the reader accepts, the
// reference must accept with the same records (record numbers, field texts,
// field lines and columns); when it throws InputError, the reference must
// fail at the same place for the same reason, so the messages ("path:line:
// column: what" or "path: what"), lines and columns must be equal, and the
// records handed over before the fault must be the reference's. Progress
// must follow its contract: in-between reports at least kProgressInterval
// bytes apart, and after a good file a last report with bytesRead equal to
// totalBytes, the file's size.
//
// The reader works in chunks of kChunkSize bytes, far more than the fuzzer's
// inputs, so about one input in kPaddedShare, picked by a hash of the
// input, is read a second time behind a run of line breaks (LF, CR or CR LF
// pairs, blank lines the rules skip) that pushes a byte of it, picked by the
// same hash, to the start of the second chunk. Not every input: reading the
// padding costs some fifty times as much as reading a typical input. A
// leading byte order mark is no longer at the start of the file then, and
// the reference reads it as text, as the reader must.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "CsvReader.h"

namespace {

using omcrosstab::InputError;
using omcrosstab::internal::CsvRecord;
using omcrosstab::internal::kChunkSize;
using omcrosstab::internal::kProgressInterval;
using omcrosstab::internal::Position;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

struct Record {
  std::uint64_t number = 0;
  std::vector<std::string> fields;
  std::vector<Position> positions;
};

bool SamePosition(const Position& a, const Position& b) {
  return a.line == b.line && a.column == b.column;
}

bool operator==(const Record& a, const Record& b) {
  return a.number == b.number && a.fields == b.fields &&
         std::equal(a.positions.begin(), a.positions.end(), b.positions.begin(), b.positions.end(),
                    SamePosition);
}

// What a reader made of a file: the records it handed over and, when it
// failed, the error.
struct Outcome {
  std::vector<Record> records;
  bool failed = false;
  std::string message;
  std::uint64_t line = 0;
  std::uint64_t column = 0;
};

bool operator==(const Outcome& a, const Outcome& b) {
  return a.records == b.records && a.failed == b.failed && a.message == b.message &&
         a.line == b.line && a.column == b.column;
}

struct ProgressCall {
  std::uint64_t bytesRead;
  std::uint64_t totalBytes;
};

bool IsLineBreak(char c) {
  return c == '\n' || c == '\r';
}

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Well-formed UTF-8 by the table of RFC 3629: the second byte's range
// depends on the first, which shuts out overlong forms, surrogates and
// anything above U+10FFFF.
bool ValidUtf8(const std::string& text) {
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size;) {
    const auto first = static_cast<unsigned char>(text[i]);
    std::size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (first < 0x80) {
      length = 1;
    } else if (first >= 0xC2 && first <= 0xDF) {
      length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
      length = 3;
      if (first == 0xE0) low = 0xA0;
      if (first == 0xED) high = 0x9F;
    } else if (first >= 0xF0 && first <= 0xF4) {
      length = 4;
      if (first == 0xF0) low = 0x90;
      if (first == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (size - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if (k == 1 ? (c < low || c > high) : !IsContinuation(c)) return false;
    }
    i += length;
  }
  return true;
}

// Line and column of byte offsets of the text, asked for in increasing
// order. A CR LF pair ends one line. A column is a byte that does not
// continue a UTF-8 sequence: one character in valid text. A stray byte of
// broken UTF-8 counts as one column too, as in the reader; that only shows
// in a fault found before the field's own UTF-8 check, a quote out of
// place in the same field.
class Locator {
 public:
  Locator(const std::string& text, std::size_t start) : _text(text), _offset(start) {}

  Position At(std::size_t offset) {
    for (; _offset < offset; ++_offset) {
      const char c = _text[_offset];
      const bool lfOfCrLf = c == '\n' && _offset > 0 && _text[_offset - 1] == '\r';
      if (lfOfCrLf) continue;
      if (IsLineBreak(c)) {
        ++_here.line;
        _here.column = 1;
      } else if (!IsContinuation(static_cast<unsigned char>(c))) {
        ++_here.column;
      }
    }
    return _here;
  }

 private:
  const std::string& _text;
  std::size_t _offset;
  Position _here;
};

// The reference reader: a recursive descent over the whole text, field by
// field, stopping at the first fault.
class Reference {
 public:
  Reference(const std::string& path, const std::string& text)
      : _path(path),
        _text(text),
        _at(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0),
        _locate(text, _at) {}

  Outcome Read() {
    bool headerSeen = false;
    std::size_t headerSize = 0;
    for (;;) {
      while (_at < _text.size() && IsLineBreak(_text[_at]))
        ++_at;
      if (_at == _text.size()) break;
      Record record;
      record.number = _outcome.records.size();
      if (!ReadRecord(record)) return _outcome;
      if (!headerSeen) {
        headerSeen = true;
        headerSize = record.fields.size();
      } else if (record.fields.size() != headerSize) {
        Fail(record.positions[0], "record has " + std::to_string(record.fields.size()) +
                                      " fields; the header has " + std::to_string(headerSize));
        return _outcome;
      }
      _outcome.records.push_back(std::move(record));
    }
    if (!headerSeen) {
      _outcome.failed = true;
      _outcome.message = _path + ": no header record";
    }
    return _outcome;
  }

 private:
  // Reads the fields up to the end of the record, leaving _at on the line
  // break that ends it or at the end of the text.
  bool ReadRecord(Record& record) {
    for (;;) {
      const Position start = _locate.At(_at);
      std::string field;
      if (!ReadField(start, field)) return false;
      if (!ValidUtf8(field)) {
        Fail(start, "field is not valid UTF-8");
        return false;
      }
      record.fields.push_back(std::move(field));
      record.positions.push_back(start);
      if (_at == _text.size() || _text[_at] != ',') return true;
      ++_at;
    }
  }

  bool ReadField(Position start, std::string& field) {
    const std::size_t size = _text.size();
    if (_at < size && _text[_at] == '"') {
      for (++_at;; ++_at) {
        if (_at == size) {
          Fail(start, "quoted field not closed at the end of the file");
          return false;
        }
        if (_text[_at] != '"') {
          field += _text[_at];
        } else if (_at + 1 < size && _text[_at + 1] == '"') {
          field += '"';
          ++_at;
        } else {
          break;
        }
      }
      ++_at;
      if (_at < size && _text[_at] != ',' && !IsLineBreak(_text[_at])) {
        Fail(_locate.At(_at), "text after the closing quote of a field");
        return false;
      }
      return true;
    }
    for (; _at < size && _text[_at] != ',' && !IsLineBreak(_text[_at]); ++_at) {
      if (_text[_at] == '"') {
        Fail(_locate.At(_at), "quote inside an unquoted field");
        return false;
      }
      field += _text[_at];
    }
    return true;
  }

  void Fail(Position position, const std::string& what) {
    _outcome.failed = true;
    _outcome.line = position.line;
    _outcome.column = position.column;
    _outcome.message = _path + ":" + std::to_string(position.line) + ":" +
                       std::to_string(position.column) + ": " + what;
  }

  const std::string& _path;
  const std::string& _text;
  std::size_t _at;
  Locator _locate;
  Outcome _outcome;
};

// One memfd for the whole run, rewritten for every file; the reader opens
// it anew by its /proc path.
class File {
 public:
  File() : _fd(memfd_create("fuzz_csv", MFD_CLOEXEC)) {
    Check(_fd >= 0);
    _path = "/proc/self/fd/" + std::to_string(_fd);
  }

  const std::string& Path() const { return _path; }

  void Write(const std::string& text) {
    Check(ftruncate(_fd, 0) == 0);
    for (std::size_t written = 0; written < text.size();) {
      const ssize_t wrote =
          pwrite(_fd, text.data() + written, text.size() - written, static_cast<off_t>(written));
      Check(wrote > 0);
      written += static_cast<std::size_t>(wrote);
    }
  }

 private:
  int _fd;
  std::string _path;
};

void CheckProgress(std::vector<ProgressCall> calls, std::uint64_t size, bool failed) {
  if (!failed) {
    Check(!calls.empty());
    Check(calls.back().bytesRead == size && calls.back().totalBytes == size);
    calls.pop_back();
  }
  std::uint64_t reported = 0;
  for (const ProgressCall& call : calls) {
    Check(call.totalBytes == size);
    Check(call.bytesRead <= size);
    Check(call.bytesRead >= reported + kProgressInterval);
    reported = call.bytesRead;
  }
}

void CheckFile(File& file, const std::string& text) {
  file.Write(text);
  Outcome outcome;
  std::vector<ProgressCall> calls;
  const omcrosstab::Progress progress = [&calls](std::uint64_t bytesRead,
                                                 std::uint64_t totalBytes) {
    calls.push_back({bytesRead, totalBytes});
  };
  const omcrosstab::internal::RecordSink sink = [&outcome](const CsvRecord& read) {
    Check(read.size <= read.fields.size() && read.size <= read.starts.size());
    Record record;
    record.number = read.number;
    record.fields.assign(read.fields.begin(), read.fields.begin() + read.size);
    for (std::size_t i = 0; i < read.size; ++i)
      record.positions.push_back(read.PositionOf(i));
    outcome.records.push_back(std::move(record));
  };
  try {
    omcrosstab::internal::ReadCsv(file.Path(), progress, sink);
  } catch (const InputError& error) {
    outcome.failed = true;
    outcome.message = error.what();
    outcome.line = error.line();
    outcome.column = error.column();
  }
  Check(outcome == Reference(file.Path(), text).Read());
  CheckProgress(std::move(calls), text.size(), outcome.failed);
}

constexpr std::uint64_t kPaddedShare = 8;

std::uint64_t Hash(const std::uint8_t* data, std::size_t size) {
  std::uint64_t hash = 14695981039346656037u;  // FNV-1a
  for (std::size_t i = 0; i < size; ++i)
    hash = (hash ^ data[i]) * 1099511628211u;
  return hash;
}

// The input behind line breaks that put its byte at offset `first` (the
// end when first is the size) at the start of the second chunk.
std::string BehindLineBreaks(const std::string& input, std::size_t first, int kind) {
  static const char* const kBreaks[] = {"\n", "\r", "\r\n"};
  const std::string unit = kBreaks[kind];
  std::string text;
  const std::size_t padding = kChunkSize - first;
  while (text.size() < padding)
    text += unit;
  text.resize(padding);
  return text + input;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static File file;
  const std::string input(reinterpret_cast<const char*>(data), size);
  CheckFile(file, input);
  const std::uint64_t hash = Hash(data, size);
  if (hash % kPaddedShare != 0) return 0;
  const std::size_t first = (hash >> 8) % (std::min(size, kChunkSize) + 1);
  CheckFile(file, BehindLineBreaks(input, first, static_cast<int>((hash >> 40) % 3)));
  return 0;
}
