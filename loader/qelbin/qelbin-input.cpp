// qelbin-input.cpp: the failure report and the varint reader of image input.
#include "loader/qelbin/qelbin-input.h"

#include "runtime/error-raise.h"

namespace qel {

void QelbinInput::fail_at(const uint8_t* position) const {
  const int64_t offset = static_cast<int64_t>(origin_offset_) + (position - origin_) + 1;
  raise_error(error_id("script", "rb-invalid-record"),
              make_cell(Type::integer, 0, static_cast<uint32_t>(static_cast<int32_t>(offset))));
}

int32_t QelbinInput::varint() {
  uint32_t value = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    const uint8_t b = byte();
    if (shift == 28 && b > 0x0F) fail_at(at_ - 1);
    value |= uint32_t{b & 0x7Fu} << shift;
    if (!(b & 0x80)) return static_cast<int32_t>(value);
  }
  return static_cast<int32_t>(value);  // unreachable: the fifth byte has bit 7 clear
}

}  // namespace qel
