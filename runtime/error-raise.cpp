// error-raise.cpp: the one way runtime code raises a language error.
#include "runtime/error-raise.h"

#include "runtime/services.h"
#include "runtime/throw.h"

namespace qel {

void raise_error_cells(ErrorId id, std::span<const Cell> args) {
  services().error_build(id, args);
  throw_code(kThrowError);
}

}  // namespace qel
