// Conversion of UTF-8 text into a code page, with the C library's iconv.
//
// A converter is made for one target code page with QARNMBConverterNew_A,
// used for any number of conversions with QARNMBU8ToGeneric and destroyed with
// QARNMBConverterDelete_A. The caller owns the converter between New and
// Delete. Every call starts from the code page's initial shift state, so a
// failed conversion leaves nothing behind that affects the next one.
//
// Conversion is exact: a character that the code page cannot hold fails the
// call; nothing is transliterated, replaced or skipped.
//
// Thread use: one converter is used from one thread at a time; different
// converters are independent of each other.

#ifndef OMTREE_PLATFORM_PLATDEP_QARNMBCONVERTER_H_
#define OMTREE_PLATFORM_PLATDEP_QARNMBCONVERTER_H_

#include <string>

#include "platdep/Export.h"

// Results of QARNMBU8ToGeneric.
inline constexpr int kQARNMBOk = 0;
// The converter is null: QARNMBConverterNew_A could not make one.
inline constexpr int kQARNMBNoConverter = 1;
// The input is not well-formed UTF-8: a stray or missing continuation byte, an
// overlong form, a surrogate (U+D800 to U+DFFF), a code point above U+10FFFF,
// or a sequence cut short by the end of the input.
inline constexpr int kQARNMBInvalidUtf8 = 2;
// The code page cannot hold a character of the input, or iconv refused the
// conversion for any other reason.
inline constexpr int kQARNMBUnconvertible = 3;

// The converter handle. Opaque: it holds the iconv descriptor for its code page.
struct QARNMBConverter;

// Returns a new converter from UTF-8 into codePage, or null when none can be
// made. codePage is a zero-terminated name that the C library's iconv accepts
// ("ISO-8859-1", "CP1252", "windows-1252", "UTF-16LE", ...). A name made of
// decimal digits only is a numbered code page: "1252" means "CP1252". A null
// or empty name, a name that iconv does not know, and a name containing '/'
// (which would select iconv's transliterating or skipping modes) give null.
PLATDEP_EXPORT QARNMBConverter* QARNMBConverterNew_A(const char* codePage);

// Converts utf8 into the converter's code page. Returns kQARNMBOk when out holds
// exactly the converted bytes, its previous contents replaced; an empty input
// gives an empty out. Otherwise returns one of the non-zero results above and
// leaves out empty. Zero bytes in the input convert like any other character.
// converter may be null (the result is then kQARNMBNoConverter), and out may be
// the same object as utf8.
PLATDEP_EXPORT int QARNMBU8ToGeneric(QARNMBConverter* converter, std::string& out,
                                     const std::string& utf8);

// Destroys converter. Null is allowed and does nothing.
PLATDEP_EXPORT void QARNMBConverterDelete_A(QARNMBConverter* converter);

#endif  // OMTREE_PLATFORM_PLATDEP_QARNMBCONVERTER_H_
