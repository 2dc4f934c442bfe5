// point2d.h: point2D!, 2 float32 coordinates; its cells and actions are in coordinates.h.
#pragma once

#include "datatypes/scalars/coordinates.h"

namespace qel {

void register_point2D_datatype();

}  // namespace qel
