// A code-page tracker: the record of a locale that cell texts point to, so
// that a text can later be converted with the locale of the table that owns
// it. The flag says whether the back end works in Unicode.
//
// Ownership: a table creates its trackers with new, deletes them when it is
// destroyed, and hands them to its cell texts as non-owning pointers; a text
// must not outlive the tracker it points to.
//
// A tracker is intentionally copyable: it is a plain value, fixed at
// construction, with nothing shared between copies.
//
// Thread use: a tracker changes only by assignment, so any number of threads may
// read one at once as long as none assigns to it.

#ifndef OMTREE_PLATFORM_PLATDEP_ICUTRACKER_H_
#define OMTREE_PLATFORM_PLATDEP_ICUTRACKER_H_

#include <string>
#include <utility>

#include "platdep/Export.h"

// Not a base class: it has no virtual destructor.
class PLATDEP_EXPORT icuTracker final {
 public:
  // unicodeAndLocale.first is the Unicode flag, .second the locale name (for
  // example "de_DE"), kept exactly as given; an empty locale is allowed.
  explicit icuTracker(std::pair<bool, std::string> unicodeAndLocale);

  // Whether the back end works in Unicode.
  bool Unicode() const { return _unicode; }

  // The locale given at construction.
  const std::string& Locale() const { return _locale; }

 private:
  bool _unicode;
  std::string _locale;
};

#endif  // OMTREE_PLATFORM_PLATDEP_ICUTRACKER_H_
