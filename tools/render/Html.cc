#include "Html.h"
