// OmUtility gathers services over cell texts that belong to no single item.
// It has no state; every service is a static function, safe to call from
// any thread on texts that no other thread is changing.

#ifndef OMTREE_BACKEND_OMTREE_UTILITY_H_
#define OMTREE_BACKEND_OMTREE_UTILITY_H_

#include "backend/omtree/Export.h"
#include "backend/omtree/cell/Cell.h"

class OMTREE_EXPORT OmUtility {
 public:
  // The first part of composite, in reading order, whose text is an
  // OmNumber, or null when there is none. Reading order is the pre-order of
  // the part tree below the root, so a number nested in an earlier part
  // comes before a later sibling; the root's own text is not examined, and
  // a null part is not a number (its children are still read). The pointer
  // belongs to composite. The walk is iterative, so part trees of any depth
  // are safe.
  static const OmNumber* GetFirstNumber(const OmComposite& composite);
};

#endif  // OMTREE_BACKEND_OMTREE_UTILITY_H_
