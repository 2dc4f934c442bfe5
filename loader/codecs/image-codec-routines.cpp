// image-codec-routines.cpp: the image codec objects' routines over the image store.
#include "loader/codecs/image-codec-routines.h"

#include <span>

#include "datatypes/series/image-store.h"
#include "datatypes/series/image.h"
#include "evaluator/routine.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

using Arguments = std::span<const RoutineArgument>;

// The encoded image goes into the frame's result cell, which holds the image argument until then.
template <ImageFormat format>
RoutineResult encode_image(Arguments arguments) {
  const Cell image = *arguments[0].cell;
  image_encode_value(image, value_stack.base, static_cast<int32_t>(format));
  return {};
}

RoutineResult decode_image(Arguments arguments) {
  Cell* top = value_stack.top;
  *value_stack.base = *image_decode_value(*arguments[0].cell);
  value_stack.top = top;
  return {};
}

constexpr NamedRoutine kImageCodecRoutines[] = {
    {"image-decode", decode_image},
    {"image-encode-bmp", encode_image<ImageFormat::bmp>},
    {"image-encode-png", encode_image<ImageFormat::png>},
    {"image-encode-gif", encode_image<ImageFormat::gif>},
    {"image-encode-jpeg", encode_image<ImageFormat::jpeg>},
    {"image-encode-tiff", encode_image<ImageFormat::tiff>},
};

}  // namespace

void register_image_codec_routines() {
  for (const NamedRoutine& routine : kImageCodecRoutines) register_routine_once(routine.name, routine.function);
}

}  // namespace qel
