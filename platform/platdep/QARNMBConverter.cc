#include "platdep/QARNMBConverter.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

// Invariant: descriptor is an open iconv descriptor from UTF-8 into the
// converter's code page; no converter exists for a code page iconv refused.
struct QARNMBConverter {
  iconv_t descriptor;
};

namespace {

// What iconv returns on failure.
const size_t kIconvFailed = static_cast<size_t>(-1);

// Room added to the first output buffer beyond the input's length, for a
// byte-order mark or shift sequences.
const size_t kExtraRoom = 16;

// Whether descriptor is an open descriptor rather than iconv_open's failure.
bool IsIconvDescriptor(iconv_t descriptor) {
  return descriptor != reinterpret_cast<iconv_t>(-1);
}

// Whether text is well-formed UTF-8: every sequence is one of the shortest
// forms of a code point from U+0000 to U+10FFFF other than a surrogate.
bool IsWellFormedUtf8(const std::string& text) {
  const size_t size = text.size();
  size_t i = 0;
  while (i < size) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    // The length of the sequence and the range of its second byte, which
    // excludes overlong forms (after E0, F0), surrogates (after ED) and code
    // points above U+10FFFF (after F4).
    size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead == 0xE0) {
      length = 3;
      low = 0xA0;
    } else if (lead == 0xED) {
      length = 3;
      high = 0x9F;
    } else if (lead >= 0xE1 && lead <= 0xEF) {
      length = 3;
    } else if (lead == 0xF0) {
      length = 4;
      low = 0x90;
    } else if (lead == 0xF4) {
      length = 4;
      high = 0x8F;
    } else if (lead >= 0xF1 && lead <= 0xF3) {
      length = 4;
    } else {
      return false;  // A continuation byte, C0, C1, or F5 to FF.
    }
    if (size - i < length) return false;
    const unsigned char second = static_cast<unsigned char>(text[i + 1]);
    if (second < low || second > high) return false;
    for (size_t k = 2; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if (next < 0x80 || next > 0xBF) return false;
    }
    i += length;
  }
  return true;
}

enum class Pass { kDone, kNeedsRoom, kFailed };

// Converts all of utf8 into *converted, starting and ending in the initial
// shift state, within the bytes *converted already holds. On kDone,
// *converted is cut to the converted bytes.
Pass ConvertOnce(iconv_t descriptor, const std::string& utf8, std::string* converted) {
  iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
  // iconv takes the input as char** but does not write through it.
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* const begin = converted->data();
  char* out = begin;
  size_t outLeft = converted->size();
  const size_t irreversible = iconv(descriptor, &in, &inLeft, &out, &outLeft);
  if (irreversible == kIconvFailed) return errno == E2BIG ? Pass::kNeedsRoom : Pass::kFailed;
  const size_t closing = iconv(descriptor, nullptr, nullptr, &out, &outLeft);
  if (closing == kIconvFailed) return errno == E2BIG ? Pass::kNeedsRoom : Pass::kFailed;
  if (irreversible != 0 || closing != 0) return Pass::kFailed;
  converted->resize(static_cast<size_t>(out - begin));
  return Pass::kDone;
}

// Converts well-formed utf8 into *converted. iconv reports the count of
// irreversible conversions only from a call that took all of its input, so
// when the output does not fit, the conversion starts again from the
// beginning with twice the room rather than continuing where it stopped.
int Convert(iconv_t descriptor, const std::string& utf8, std::string* converted) {
  size_t room = utf8.size() + kExtraRoom;
  for (;;) {
    converted->resize(room);
    switch (ConvertOnce(descriptor, utf8, converted)) {
      case Pass::kDone:
        return kQARNMBOk;
      case Pass::kFailed:
        return kQARNMBUnconvertible;
      case Pass::kNeedsRoom:
        room *= 2;
        break;
    }
  }
}

}  // namespace

QARNMBConverter* QARNMBConverterNew_A(const char* codePage) {
  if (codePage == nullptr || *codePage == '\0' || std::strchr(codePage, '/') != nullptr) {
    return nullptr;
  }
  std::string name(codePage);
  if (name.find_first_not_of("0123456789") == std::string::npos) name.insert(0, "CP");
  QARNMBConverter* converter = new QARNMBConverter;
  converter->descriptor = iconv_open(name.c_str(), "UTF-8");
  if (!IsIconvDescriptor(converter->descriptor)) {
    delete converter;
    return nullptr;
  }
  return converter;
}

int QARNMBU8ToGeneric(QARNMBConverter* converter, std::string& out, const std::string& utf8) {
  std::string converted;
  int result = kQARNMBOk;
  if (converter == nullptr) {
    result = kQARNMBNoConverter;
  } else if (!IsWellFormedUtf8(utf8)) {
    result = kQARNMBInvalidUtf8;
  } else if (!utf8.empty()) {
    result = Convert(converter->descriptor, utf8, &converted);
  }
  if (result == kQARNMBOk) {
    out.swap(converted);
  } else {
    out.clear();
  }
  return result;
}

void QARNMBConverterDelete_A(QARNMBConverter* converter) {
  if (converter == nullptr) return;
  iconv_close(converter->descriptor);
  delete converter;
}
