// point3d.cpp: the registration of point3D!, (x, y, z) in float32.
#include "datatypes/scalars/point3d.h"

#include "runtime/datatype-registry.h"

namespace qel {

void register_point3D_datatype() {
  register_datatype(Type::point3d, Type::none_id, "point3D!", coordinate_actions(point_make));
}

}  // namespace qel
