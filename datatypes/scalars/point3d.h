// point3d.h: point3D!, 3 float32 coordinates; its cells and actions are in coordinates.h.
#pragma once

#include "datatypes/scalars/coordinates.h"

namespace qel {

void register_point3D_datatype();

}  // namespace qel
