#include "omcell/OmCellMetaData.h"

void OmCellMetaData::Set(const std::string& key, const std::string& value) {
  _attributes[key] = value;
}

std::string OmCellMetaData::Get(const std::string& key) const {
  auto found = _attributes.find(key);
  return found != _attributes.end() ? found->second : std::string();
}
