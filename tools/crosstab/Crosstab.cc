#include "Crosstab.h"
