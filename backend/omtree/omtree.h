// The whole public interface of the omtree library, for consumers that
// prefer one include.

#ifndef OMTREE_BACKEND_OMTREE_OMTREE_H_
#define OMTREE_BACKEND_OMTREE_OMTREE_H_

#include "backend/omtree/AnswerTree.h"
#include "backend/omtree/Chart.h"
#include "backend/omtree/Dimension.h"
#include "backend/omtree/DimensionNode.h"
#include "backend/omtree/DisplayColumnHeading.h"
#include "backend/omtree/DisplayLayerHeading.h"
#include "backend/omtree/DisplayRowHeading.h"
#include "backend/omtree/FormatArea.h"
#include "backend/omtree/Heading.h"
#include "backend/omtree/Model.h"
#include "backend/omtree/Outline.h"
#include "backend/omtree/OutputPart.h"
#include "backend/omtree/OutputTree.h"
#include "backend/omtree/PageTitle.h"
#include "backend/omtree/PivotTable.h"
#include "backend/omtree/Procedure.h"
#include "backend/omtree/TextBlock.h"
#include "backend/omtree/Utility.h"
#include "backend/omtree/cell/Cell.h"
#include "backend/omtree/cell/Footnote.h"
#include "backend/omtree/cell/Vector.h"
#include "backend/tables/Assertion.h"
#include "backend/tables/ListTree.h"
#include "backend/tables/PuppetVector.h"
#include "backend/tables/om/VectorTree.h"
#include "platdep/QARNMBConverter.h"
#include "platdep/icuTracker.h"
#include "qarniocv/BackendSettings.h"

#endif  // OMTREE_BACKEND_OMTREE_OMTREE_H_
