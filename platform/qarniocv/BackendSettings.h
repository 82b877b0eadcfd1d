// The back end's settings record: the locale the back end works in, whether it
// works in Unicode, and whether it wants fast tables. A default record is
// empty: no locale, Unicode off, fast tables off.
//
// A record is a plain value that owns its fields; it is intentionally
// copyable, and a copy shares nothing with its source. The destructor is
// virtual so that a back end may derive its own settings from this class and
// have them deleted through a BackendSettings pointer.
//
// Thread use: a record is used from one thread at a time.

#ifndef OMTREE_PLATFORM_QARNIOCV_BACKENDSETTINGS_H_
#define OMTREE_PLATFORM_QARNIOCV_BACKENDSETTINGS_H_

#include <string>

#include "qarniocv/Export.h"

class QARNIOCV_EXPORT BackendSettings {
 public:
  BackendSettings();
  BackendSettings(const BackendSettings&) = default;
  BackendSettings& operator=(const BackendSettings&) = default;
  virtual ~BackendSettings();

  // The locale name, for example "de_DE"; empty when none was set.
  const std::string& getLocale() const { return _locale; }
  void setLocale(const std::string& locale) { _locale = locale; }

  // Whether the back end works in Unicode.
  bool getUnicode() const { return _unicode; }
  void setUnicode(bool unicode) { _unicode = unicode; }

  // Whether the back end wants fast tables.
  bool getFastTables() const { return _fastTables; }
  void setFastTables(bool fastTables) { _fastTables = fastTables; }

 private:
  std::string _locale;
  bool _unicode;
  bool _fastTables;
};

#endif  // OMTREE_PLATFORM_QARNIOCV_BACKENDSETTINGS_H_
