#include "CsvReader.h"

#include <csv.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utf8proc.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

namespace omcrosstab {
namespace internal {

namespace {

bool IsLineBreak(unsigned char c) {
  return c == '\n' || c == '\r';
}

// Follows the line and column of the next byte.
class Cursor {
 public:
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

// Mirrors libcsv's strict grammar (with no byte counted as a space) just far
// enough to know where each field starts, as libcsv hands over a field's
// bytes but not its place. Scan a chunk before libcsv parses it; then each
// field that libcsv hands over takes the next start.
class FieldStarts {
 public:
  // Where the next byte to scan stands.
  const Cursor& At() const { return _cursor; }

  // Notes the start of every field that begins in the bytes, and drops the
  // starts that Next has handed out.
  void Scan(const unsigned char* data, std::size_t size) {
    _starts.erase(_starts.begin(), _starts.begin() + static_cast<std::ptrdiff_t>(_next));
    _next = 0;
    for (std::size_t i = 0; i < size; ++i) {
      Step(data[i]);
      _cursor.Advance(data[i]);
    }
  }

  // The start of the field that libcsv hands over next. A field that no
  // scan saw begin is the empty last field of a file that ends in a comma,
  // and stands at the end.
  Position Next() { return _next < _starts.size() ? _starts[_next++] : _cursor.Here(); }

  // The start of the last field that began.
  Position Last() const { return _starts.empty() ? _cursor.Here() : _starts.back(); }

 private:
  enum class State { kRecordStart, kFieldStart, kUnquoted, kQuoted, kQuoteSeen };

  void Step(unsigned char c) {
    switch (_state) {
      case State::kRecordStart:
        if (IsLineBreak(c)) return;  // a blank line, or the LF of a CR LF
        [[fallthrough]];
      case State::kFieldStart:
        _starts.push_back(_cursor.Here());
        _state = EndOrStart(c, c == '"' ? State::kQuoted : State::kUnquoted);
        return;
      case State::kUnquoted:
        _state = EndOrStart(c, State::kUnquoted);
        return;
      case State::kQuoted:
        if (c == '"') _state = State::kQuoteSeen;
        return;
      case State::kQuoteSeen:
        _state = EndOrStart(c, State::kQuoted);
        return;
    }
  }

  // The state after c, where c neither ends a field nor a record.
  static State EndOrStart(unsigned char c, State otherwise) {
    if (c == ',') return State::kFieldStart;
    if (IsLineBreak(c)) return State::kRecordStart;
    return otherwise;
  }

  Cursor _cursor;
  State _state = State::kRecordStart;
  std::vector<Position> _starts;
  std::size_t _next = 0;
};

int NoSpace(unsigned char) {
  return 0;
}

// One pass over one file. Exceptions must not cross libcsv's C frames, so
// the callbacks keep the first one and the reader throws it once libcsv
// returns.
class Reader {
 public:
  Reader(const std::string& path, const Progress& progress, const RecordSink& sink)
      : _path(path), _progress(progress), _sink(sink) {}

  ~Reader() {
    if (_parserReady) csv_free(&_parser);
    if (_fd >= 0) close(_fd);
  }

  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  void Run() {
    Open();
    std::vector<unsigned char> buffer(kChunkSize);
    std::uint64_t reported = 0;
    for (bool first = true;; first = false) {
      const std::size_t size = Fill(buffer);
      std::size_t skip = 0;
      if (first && size >= 3 && std::memcmp(buffer.data(), "\xEF\xBB\xBF", 3) == 0) skip = 3;
      Parse(buffer.data() + skip, size - skip);
      _bytesRead += size;
      if (_progress && _bytesRead - reported >= kProgressInterval) {
        _progress(_bytesRead, std::max(_totalBytes, _bytesRead));
        reported = _bytesRead;
      }
      if (size < buffer.size()) break;
    }
    Finish();
    if (_progress) _progress(_bytesRead, std::max(_totalBytes, _bytesRead));
  }

 private:
  void Open() {
    _fd = open(_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (_fd < 0) throw Error(_path, std::string("cannot open: ") + std::strerror(errno));
    struct stat status {};
    if (fstat(_fd, &status) == 0 && S_ISREG(status.st_mode))
      _totalBytes = static_cast<std::uint64_t>(status.st_size);
    if (csv_init(&_parser, CSV_STRICT | CSV_STRICT_FINI) != 0) throw std::bad_alloc();
    _parserReady = true;
    csv_set_space_func(&_parser, NoSpace);
  }

  // Reads until buffer is full or the file ends; returns the bytes read.
  std::size_t Fill(std::vector<unsigned char>& buffer) {
    std::size_t size = 0;
    while (size < buffer.size()) {
      const ssize_t got = read(_fd, buffer.data() + size, buffer.size() - size);
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        throw Error(_path, std::string("cannot read: ") + std::strerror(errno));
      }
      size += static_cast<std::size_t>(got);
    }
    return size;
  }

  void Parse(const unsigned char* data, std::size_t size) {
    Cursor cursor = _starts.At();
    _starts.Scan(data, size);
    const std::size_t parsed = csv_parse(&_parser, data, size, OnField, OnRecordEnd, this);
    if (_error) std::rethrow_exception(_error);
    if (parsed == size) return;
    if (csv_error(&_parser) != CSV_EPARSE) throw std::bad_alloc();
    for (std::size_t i = 0; i < parsed; ++i)
      cursor.Advance(data[i]);
    throw ErrorAt(_path, cursor.Here(),
                  data[parsed] == '"' ? "quote inside an unquoted field"
                                      : "text after the closing quote of a field");
  }

  void Finish() {
    const int status = csv_fini(&_parser, OnField, OnRecordEnd, this);
    if (_error) std::rethrow_exception(_error);
    if (status != 0) {
      if (csv_error(&_parser) != CSV_EPARSE) throw std::bad_alloc();
      throw ErrorAt(_path, _starts.Last(), "quoted field not closed at the end of the file");
    }
    if (!_headerSeen) throw Error(_path, "no header record");
  }

  static void OnField(void* data, std::size_t size, void* self) {
    static_cast<Reader*>(self)->Field(static_cast<const char*>(data), size);
  }

  static void OnRecordEnd(int, void* self) { static_cast<Reader*>(self)->RecordEnd(); }

  void Field(const char* data, std::size_t size) noexcept {
    if (_error) return;
    try {
      const Position position = _starts.Next();
      if (!IsUtf8(data, size)) throw ErrorAt(_path, position, "field is not valid UTF-8");
      const std::size_t i = _record.size++;
      if (_headerSeen && i >= _headerSize) return;  // ragged: counted, not kept
      if (i == _record.fields.size()) {
        _record.fields.emplace_back();
        _record.positions.emplace_back();
      }
      _record.fields[i].assign(size == 0 ? "" : data, size);  // libcsv may pass null
      _record.positions[i] = position;
    } catch (...) {
      _error = std::current_exception();
    }
  }

  void RecordEnd() noexcept {
    if (_error) return;
    try {
      if (!_headerSeen) {
        _headerSize = _record.size;
        _headerSeen = true;
      } else if (_record.size != _headerSize) {
        throw ErrorAt(_path, _record.positions[0],
                      "record has " + std::to_string(_record.size) + " fields; the header has " +
                          std::to_string(_headerSize));
      }
      _sink(_record);
      ++_record.number;
      _record.size = 0;
    } catch (...) {
      _error = std::current_exception();
    }
  }

  // Fixed at construction.
  const std::string& _path;
  const Progress& _progress;
  const RecordSink& _sink;

  int _fd = -1;
  csv_parser _parser{};
  bool _parserReady = false;
  std::uint64_t _totalBytes = 0;
  std::uint64_t _bytesRead = 0;
  FieldStarts _starts;
  CsvRecord _record;
  bool _headerSeen = false;
  std::size_t _headerSize = 0;
  std::exception_ptr _error;
};

}  // namespace

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
    if (bytes[i] < 0x80) {  // ASCII, the common case, without a call
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
