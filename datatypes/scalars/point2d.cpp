// point2d.cpp: the registration of point2D!, (x, y) in float32.
#include "datatypes/scalars/point2d.h"

#include "runtime/datatype-registry.h"

namespace qel {

void register_point2D_datatype() {
  register_datatype(Type::point2d, Type::none_id, "point2D!", coordinate_actions(point_make));
}

}  // namespace qel
