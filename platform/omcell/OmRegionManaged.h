// OmRegionManaged is the base of objects that live in a memory region: a
// cell text is created with `new (region) Kind(...)` and deleted through its
// virtual destructor, which returns its storage to whatever region it came
// from (OmMemoryRegion::Release finds the region from the block itself).
//
// A plain `new Kind(...)`, and a null region, allocate from
// OmMemoryRegion::DefaultHeap(). Such objects may also live on the stack or
// inside other objects; only objects made with new go back to a region.
// Arrays of region-managed objects are not supported.

#ifndef OMTREE_PLATFORM_OMCELL_OMREGIONMANAGED_H_
#define OMTREE_PLATFORM_OMCELL_OMREGIONMANAGED_H_

#include <cstddef>

#include "omcell/Export.h"
#include "omcell/OmMemoryRegion.h"

class OMCELL_EXPORT OmRegionManaged {
 public:
  static void* operator new(std::size_t size, OmMemoryRegion* region) {
    return (region != nullptr ? region : OmMemoryRegion::DefaultHeap())->Allocate(size);
  }
  static void* operator new(std::size_t size) {
    return OmMemoryRegion::DefaultHeap()->Allocate(size);
  }
  // Used when a constructor called through the placement form throws.
  static void operator delete(void* block, OmMemoryRegion* /*region*/) {
    OmMemoryRegion::Release(block);
  }
  static void operator delete(void* block) { OmMemoryRegion::Release(block); }

  static void* operator new[](std::size_t) = delete;
  static void operator delete[](void*) = delete;

  virtual ~OmRegionManaged() = default;

 protected:
  OmRegionManaged() = default;
  OmRegionManaged(const OmRegionManaged&) = default;
  OmRegionManaged& operator=(const OmRegionManaged&) = default;
};

#endif  // OMTREE_PLATFORM_OMCELL_OMREGIONMANAGED_H_
