// throw.cpp: the carriers of non-local exits.
#include "runtime/throw.h"

#include "runtime/runtime-record.h"

namespace qel {

void note_thrown_code(uint32_t code) { runtime.thrown_code = code; }

Status exit_with(uint32_t code) {
  note_thrown_code(code);
  return Status{code};
}

void throw_code(uint32_t code) {
  note_thrown_code(code);
  throw NonLocalExit{code};
}

}  // namespace qel
