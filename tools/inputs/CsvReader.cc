#include "CsvReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utf8proc.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>

namespace omcrosstab {
namespace internal {

namespace {

bool IsLineBreak(unsigned char c) {
  return c == '\n' || c == '\r';
}

// Follows the line and column of the next byte.
class Cursor {
 public:
  explicit Cursor(Position start) : _here(start) {}

  Position Here() const { return _here; }

  void Advance(unsigned char c) {
    if (c == '\n') {
      if (!_afterCr) NewLine();
      _afterCr = false;
      return;
    }
    _afterCr = c == '\r';
    if (_afterCr) {
      NewLine();
    } else if ((c & 0xC0) != 0x80) {  // not a UTF-8 continuation byte
      ++_here.column;
    }
  }

 private:
  void NewLine() {
    ++_here.line;
    _here.column = 1;
  }

  Position _here;
  bool _afterCr = false;
};

// The place of the byte at offset in a record whose first byte stands at
// column 1 of line.
Position PositionIn(const char* begin, std::uint64_t line, std::size_t offset) {
  Cursor cursor(Position{line, 1});
  for (std::size_t i = 0; i < offset; ++i)
    cursor.Advance(static_cast<unsigned char>(begin[i]));
  return cursor.Here();
}

// The bytes that end an unquoted field, or are a fault in one.
struct FieldEnds {
  bool is[256] = {};
  constexpr FieldEnds() {
    is[static_cast<unsigned char>(',')] = true;
    is[static_cast<unsigned char>('"')] = true;
    is[static_cast<unsigned char>('\n')] = true;
    is[static_cast<unsigned char>('\r')] = true;
  }
};
constexpr FieldEnds kFieldEnds;

// Line breaks inside a quoted field's bytes, CR LF counting once.
std::uint64_t LineBreaks(const char* data, std::size_t size) {
  std::uint64_t breaks = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\r' || (data[i] == '\n' && (i == 0 || data[i - 1] != '\r'))) ++breaks;
  }
  return breaks;
}

// One pass over one file: reads it in chunks into a buffer that keeps the
// bytes of a record that a chunk cuts, and scans each whole record in place.
// A record is scanned from its start again when the chunk ends inside it.
class Reader {
 public:
  Reader(const std::string& path, const Progress& progress, const RecordSink& sink)
      : _path(path), _progress(progress), _sink(sink) {}

  ~Reader() {
    if (_fd >= 0) close(_fd);
  }

  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  void Run() {
    Open();
    std::uint64_t reported = 0;
    for (bool first = true;; first = false) {
      const bool end = Fill();
      if (first && _end >= 3 && std::memcmp(_buffer.data(), "\xEF\xBB\xBF", 3) == 0) _begin = 3;
      Scan(end);
      if (_progress && _bytesRead - reported >= kProgressInterval) {
        _progress(_bytesRead, std::max(_totalBytes, _bytesRead));
        reported = _bytesRead;
      }
      if (end) break;
    }
    if (!_headerSeen) throw Error(_path, "no header record");
    if (_progress) _progress(_bytesRead, std::max(_totalBytes, _bytesRead));
  }

 private:
  // What Record returns for a record that the bytes at hand do not end.
  static constexpr std::size_t kIncomplete = 0;

  void Open() {
    _fd = open(_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (_fd < 0) throw Error(_path, std::string("cannot open: ") + std::strerror(errno));
    struct stat status {};
    if (fstat(_fd, &status) == 0 && S_ISREG(status.st_mode))
      _totalBytes = static_cast<std::uint64_t>(status.st_size);
  }

  // Moves the bytes not scanned yet, the start of a record, to the front of
  // the buffer and reads kChunkSize bytes after them, or as many as they
  // are when more: a record that spans many chunks is scanned again a
  // logarithmic number of times, not once a chunk. Returns whether the file
  // has ended.
  bool Fill() {
    _end -= _begin;
    if (_end > 0) std::memmove(_buffer.data(), _buffer.data() + _begin, _end);
    _begin = 0;
    const std::size_t want = std::max(kChunkSize, _end);
    if (_buffer.size() < _end + want) _buffer.resize(_end + want);
    std::size_t size = 0;
    while (size < want) {
      const ssize_t got = read(_fd, _buffer.data() + _end + size, want - size);
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        throw Error(_path, std::string("cannot read: ") + std::strerror(errno));
      }
      size += static_cast<std::size_t>(got);
    }
    _end += size;
    _bytesRead += size;
    return size < want;
  }

  // Hands over every record that the buffer holds whole; at the end of the
  // file, every record.
  void Scan(bool end) {
    for (;;) {
      // Blank lines, and the line break that ended the last record.
      for (; _begin < _end && IsLineBreak(static_cast<unsigned char>(_buffer[_begin])); ++_begin) {
        const char c = _buffer[_begin];
        if (!(c == '\n' && _afterCr)) ++_line;
        _afterCr = c == '\r';
      }
      if (_begin == _end) return;
      _afterCr = false;
      const std::size_t size = Record(_buffer.data() + _begin, _end - _begin, end);
      if (size == kIncomplete) return;
      _begin += size;
    }
  }

  // Scans the record that starts at data and hands it over; returns its
  // size up to its line break, or kIncomplete when it may go on past size
  // bytes and end is false. REQUIRES: data[0] is no line break.
  std::size_t Record(const char* data, std::size_t size, bool end) {
    _record.begin = data;
    _record.line = _line;
    _record.size = 0;
    std::uint64_t breaks = 0;  // inside quoted fields
    std::size_t i = 0;
    for (;;) {
      const std::size_t start = i;
      std::string_view field;
      bool ascii = false;  // known to be ASCII, so UTF-8
      if (i < size && data[i] == '"') {
        bool doubled = false;
        for (++i;;) {
          const void* quote = std::memchr(data + i, '"', size - i);
          if (quote == nullptr) {
            if (!end) return kIncomplete;
            throw ErrorAt(_path, PositionIn(data, _line, start),
                          "quoted field not closed at the end of the file");
          }
          i = static_cast<std::size_t>(static_cast<const char*>(quote) - data) + 1;
          if (i == size && !end) return kIncomplete;  // a doubled quote or not
          if (i == size || data[i] != '"') break;
          doubled = true;
          ++i;
        }
        if (i < size && data[i] != ',' && !IsLineBreak(static_cast<unsigned char>(data[i])))
          throw ErrorAt(_path, PositionIn(data, _line, i),
                        "text after the closing quote of a field");
        field = std::string_view(data + start + 1, i - start - 2);
        breaks += LineBreaks(field.data(), field.size());
        if (doubled) field = Undouble(field);
      } else {
        unsigned char bits = 0;
        for (; i < size; ++i) {
          const auto c = static_cast<unsigned char>(data[i]);
          if (kFieldEnds.is[c]) break;
          bits |= c;
        }
        ascii = bits < 0x80;
        if (i == size && !end) return kIncomplete;
        if (i < size && data[i] == '"')
          throw ErrorAt(_path, PositionIn(data, _line, i), "quote inside an unquoted field");
        field = std::string_view(data + start, i - start);
      }
      Field(field, start, ascii);
      if (i == size || data[i] != ',') break;
      ++i;
    }
    RecordEnd();
    _line += breaks;
    return i;
  }

  // A quoted field's text with each doubled quote made one, kept in a
  // scratch string of its own.
  std::string_view Undouble(std::string_view quoted) {
    while (_undoubled.size() <= _record.size)
      _undoubled.emplace_back();
    std::string& text = _undoubled[_record.size];
    text.clear();
    for (std::size_t i = 0; i < quoted.size(); ++i) {
      text += quoted[i];
      if (quoted[i] == '"') ++i;
    }
    return text;
  }

  void Field(std::string_view field, std::size_t start, bool ascii) {
    if (!ascii && !IsUtf8(field.data(), field.size()))
      throw ErrorAt(_path, PositionIn(_record.begin, _record.line, start),
                    "field is not valid UTF-8");
    const std::size_t i = _record.size++;
    if (_headerSeen && i >= _headerSize) return;  // ragged: counted, not kept
    if (i == _record.fields.size()) {
      _record.fields.emplace_back();
      _record.starts.emplace_back();
    }
    _record.fields[i] = field;
    _record.starts[i] = start;
  }

  void RecordEnd() {
    if (!_headerSeen) {
      _headerSize = _record.size;
      _headerSeen = true;
    } else if (_record.size != _headerSize) {
      throw ErrorAt(_path, Position{_record.line, 1},
                    "record has " + std::to_string(_record.size) + " fields; the header has " +
                        std::to_string(_headerSize));
    }
    _sink(_record);
    ++_record.number;
  }

  // Fixed at construction.
  const std::string& _path;
  const Progress& _progress;
  const RecordSink& _sink;

  int _fd = -1;
  std::uint64_t _totalBytes = 0;
  std::uint64_t _bytesRead = 0;
  // The bytes read and not yet scanned are _buffer[_begin, _end).
  std::vector<char> _buffer;
  std::size_t _begin = 0;
  std::size_t _end = 0;
  std::uint64_t _line = 1;  // of _buffer[_begin]
  bool _afterCr = false;    // the byte before _buffer[_begin] is a CR
  CsvRecord _record;
  std::deque<std::string> _undoubled;  // per field; a deque keeps them in place
  bool _headerSeen = false;
  std::size_t _headerSize = 0;
};

}  // namespace

Position CsvRecord::PositionOf(std::size_t i) const {
  return PositionIn(begin, line, starts[i]);
}

void ReadCsv(const std::string& path, const Progress& progress, const RecordSink& sink) {
  Reader(path, progress, sink).Run();
}

InputError ErrorAt(const std::string& path, Position position, const std::string& what) {
  return InputError(path + ":" + std::to_string(position.line) + ":" +
                        std::to_string(position.column) + ": " + what,
                    position.line, position.column);
}

InputError Error(const std::string& path, const std::string& what) {
  return InputError(path + ": " + what, 0, 0);
}

bool IsUtf8(const char* data, std::size_t size) {
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(data);
  for (std::size_t i = 0; i < size;) {
    std::uint64_t word;  // eight ASCII bytes at a time, the common case
    if (size - i >= sizeof word) {
      std::memcpy(&word, bytes + i, sizeof word);
      if ((word & 0x8080808080808080u) == 0) {
        i += sizeof word;
        continue;
      }
    }
    if (bytes[i] < 0x80) {  // ASCII without a call
      ++i;
      continue;
    }
    utf8proc_int32_t codepoint;
    const utf8proc_ssize_t length =
        utf8proc_iterate(bytes + i, static_cast<utf8proc_ssize_t>(size - i), &codepoint);
    if (length <= 0) return false;
    i += static_cast<std::size_t>(length);
  }
  return true;
}

}  // namespace internal
}  // namespace omcrosstab
