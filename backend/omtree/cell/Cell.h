// The object model's interface to the cell library: every cell kind, the
// cell visitor, metadata, cell properties and memory regions.

#ifndef OMTREE_BACKEND_OMTREE_CELL_CELL_H_
#define OMTREE_BACKEND_OMTREE_CELL_CELL_H_

#include "omcell/OmCellMetaData.h"
#include "omcell/OmCellProperties.h"
#include "omcell/OmCellText.h"
#include "omcell/OmComposite.h"
#include "omcell/OmMemoryRegion.h"
#include "omcell/OmMissing.h"
#include "omcell/OmNumber.h"
#include "omcell/OmRegionManaged.h"
#include "omcell/OmStringCell.h"
#include "omcell/OmValue.h"
#include "omcell/OmVariable.h"

#endif  // OMTREE_BACKEND_OMTREE_CELL_CELL_H_
