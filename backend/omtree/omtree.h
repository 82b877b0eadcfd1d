// The whole public interface of the omtree library, for consumers that
// prefer one include.

#ifndef OMTREE_BACKEND_OMTREE_OMTREE_H_
#define OMTREE_BACKEND_OMTREE_OMTREE_H_

#include "backend/omtree/Dimension.h"
#include "backend/omtree/DimensionNode.h"
#include "backend/omtree/Outline.h"
#include "backend/omtree/cell/Cell.h"
#include "backend/omtree/cell/Vector.h"
#include "backend/tables/Assertion.h"
#include "backend/tables/ListTree.h"
#include "backend/tables/om/VectorTree.h"
#include "platdep/QARNMBConverter.h"
#include "platdep/icuTracker.h"
#include "qarniocv/BackendSettings.h"

#endif  // OMTREE_BACKEND_OMTREE_OMTREE_H_
