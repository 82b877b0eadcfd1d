#include "qarniocv/BackendSettings.h"

BackendSettings::BackendSettings() : _unicode(false), _fastTables(false) {}

// Defined here so that the class's virtual table and type information live in
// this library.
BackendSettings::~BackendSettings() = default;
