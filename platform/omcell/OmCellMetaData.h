// OmCellMetaData is the attribute record that a cell text may carry: a set of
// string keys with string values. It is an ordinary value type, copyable and
// copy-assignable; a text that is given metadata keeps its own copy.

#ifndef OMTREE_PLATFORM_OMCELL_OMCELLMETADATA_H_
#define OMTREE_PLATFORM_OMCELL_OMCELLMETADATA_H_

#include <map>
#include <string>

#include "omcell/Export.h"

class OMCELL_EXPORT OmCellMetaData {
 public:
  // Sets key to value, replacing an earlier value of key.
  void Set(const std::string& key, const std::string& value);

  // The value of key, or "" when key is absent.
  std::string Get(const std::string& key) const;

  // The number of keys.
  std::size_t Size() const { return _attributes.size(); }

  // Every key with its value, keys in byte order: for readers that copy a
  // record whose keys they do not know, such as a document writer.
  const std::map<std::string, std::string>& Attributes() const { return _attributes; }

  bool operator==(const OmCellMetaData& other) const { return _attributes == other._attributes; }
  bool operator!=(const OmCellMetaData& other) const { return !(*this == other); }

 private:
  std::map<std::string, std::string> _attributes;
};

#endif  // OMTREE_PLATFORM_OMCELL_OMCELLMETADATA_H_
