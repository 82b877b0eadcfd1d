#include "platdep/icuTracker.h"

#include <utility>

icuTracker::icuTracker(std::pair<bool, std::string> unicodeAndLocale)
    : _unicode(unicodeAndLocale.first), _locale(std::move(unicodeAndLocale.second)) {}
