// image-store.cpp: image records, their pixel arrays and the flag transitions that keep the plain
// and the premultiplied array in step.
#include "datatypes/series/image-store.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "datatypes/scalars/coordinates.h"
#include "runtime/collector.h"
#include "runtime/error-raise.h"
#include "runtime/extres.h"
#include "runtime/memory.h"
#include "runtime/series.h"

namespace qel {
namespace {

// Record words (1-based, as series_buffer_pick_int32 counts them).
constexpr uint32_t kFlagsWord = 1;
constexpr uint32_t kSizeWord = 4;
constexpr uint32_t kSlotWord = 5;
constexpr uint32_t kRecordWords = 6;

constexpr int64_t kRowAlignment = 16;

// One pixel array outside series memory, its bytes counted towards collections.
class PixelArray {
 public:
  PixelArray() = default;
  // Fresh memory for `height` rows of `stride` bytes, unset.
  PixelArray(int64_t height, int64_t stride) : stride_(stride) {
    if (!words_.allocate(static_cast<size_t>(height * stride / 4))) raise_no_memory();
    memory_outside_add(bytes());
  }
  // Words filled elsewhere, taken over.
  PixelArray(PixelWords words, int64_t stride) : words_(std::move(words)), stride_(stride) { memory_outside_add(bytes()); }
  PixelArray(PixelArray&& other) noexcept { swap(other); }
  PixelArray& operator=(PixelArray&& other) noexcept {
    PixelArray gone(std::move(*this));
    swap(other);
    return *this;
  }
  ~PixelArray() { memory_outside_add(-bytes()); }
  bool empty() const { return words_.empty(); }
  int64_t stride() const { return stride_; }
  uint32_t* row(int64_t y) const { return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(data()) + y * stride_); }
  uint32_t* data() const { return words_.data(); }

 private:
  int64_t bytes() const { return static_cast<int64_t>(words_.size() * 4); }
  void swap(PixelArray& other) noexcept {
    std::swap(words_, other.words_);
    std::swap(stride_, other.stride_);
  }
  PixelWords words_;
  int64_t stride_ = 0;
};

// What a record's resource slot holds.
struct ImageStore {
  ImageStore(int64_t w, int64_t h, PixelArray pixels) : width(w), height(h), plain(std::move(pixels)) {}
  int64_t width;
  int64_t height;
  PixelArray plain;
  PixelArray premultiplied;
  bool plain_stale = false;  // a drawing changed the premultiplied array since plain was made
  ImageTarget target;

  void release_target() {
    if (target.object != nullptr && target.release != nullptr) target.release(target.object);
    target = ImageTarget{};
  }
  ~ImageStore() { release_target(); }
};

uint32_t image_kind = 0;

void image_store_release(void* object) { delete static_cast<ImageStore*>(object); }

uint32_t record_word(NodeId record, uint32_t word) { return static_cast<uint32_t>(series_buffer_pick_int32(record, word)); }
void set_record_word(NodeId record, uint32_t word, uint32_t value) {
  series_buffer_poke_int32(record, word, static_cast<int32_t>(value));
}
void set_flags(NodeId record, uint32_t flags) { set_record_word(record, kFlagsWord, flags); }

ImageStore& store_of(NodeId record) {
  return *static_cast<ImageStore*>(extres_slot_object(record_word(record, kSlotWord)));
}

int64_t plain_stride(int64_t width) { return 4 * width; }
int64_t premultiplied_stride(int64_t width) { return (4 * width + kRowAlignment - 1) / kRowAlignment * kRowAlignment; }

ImageView view_of(const ImageStore& store, const PixelArray& array) {
  return ImageView{array.data(), array.stride(), store.width, store.height};
}

uint32_t premultiply_pixel(uint32_t pixel) {
  uint32_t a = pixel >> 24;
  return a << 24 | uint32_t{premultiply_channel(pixel >> 16 & 0xFF, a)} << 16 |
         uint32_t{premultiply_channel(pixel >> 8 & 0xFF, a)} << 8 | premultiply_channel(pixel & 0xFF, a);
}

uint32_t unpremultiply_pixel(uint32_t pixel) {
  uint32_t a = pixel >> 24;
  return a << 24 | uint32_t{unpremultiply_channel(pixel >> 16 & 0xFF, a)} << 16 |
         uint32_t{unpremultiply_channel(pixel >> 8 & 0xFF, a)} << 8 | unpremultiply_channel(pixel & 0xFF, a);
}

// Writes every pixel of `from` into `into`, converted row by row.
void convert_pixels(const ImageStore& store, const PixelArray& from, const PixelArray& into, uint32_t (*convert)(uint32_t)) {
  for (int64_t y = 0; y < store.height; ++y) {
    const uint32_t* source = from.row(y);
    uint32_t* target = into.row(y);
    for (int64_t x = 0; x < store.width; ++x) target[x] = convert(source[x]);
  }
}

// The plain array of a store that has none yet (its pixels were released): transparent black.
void ensure_plain(ImageStore& store) {
  if (!store.plain.empty() || store.width == 0) return;
  store.plain = PixelArray(store.height, plain_stride(store.width));
  std::memset(store.plain.data(), 0, static_cast<size_t>(store.plain.stride() * store.height));
}

// A record over a store whose plain array is given; its resource slot taken.
NodeId record_over(uint32_t flags, int64_t width, int64_t height, PixelArray plain) {
  NodeId record = new_byte_series(kRecordWords * 4);
  for (uint32_t word = 0; word < kRecordWords; ++word) series_buffer_append_int32(record, 0);
  auto store = std::make_unique<ImageStore>(width, height, std::move(plain));
  set_flags(record, flags);
  set_record_word(record, kSizeWord, static_cast<uint32_t>(width) | static_cast<uint32_t>(height) << 16);
  set_record_word(record, kSlotWord, extres_slot_acquire(store.get(), image_kind));
  store.release();  // the slot owns it now
  return record;
}

}  // namespace

PixelWords::~PixelWords() { std::free(data_); }

bool PixelWords::allocate(size_t count) {
  *this = PixelWords();
  if (count == 0) return true;
  const size_t alignment = static_cast<size_t>(kRowAlignment);
  data_ = static_cast<uint32_t*>(std::aligned_alloc(alignment, (count * 4 + alignment - 1) / alignment * alignment));
  if (data_ == nullptr) return false;
  size_ = count;
  return true;
}

void image_store_init() {
  image_kind = extres_kind_register("image", image_store_release);
  collector_set_type_marker(Type::image, image_gc_mark);
}

void image_size_check(int64_t width, int64_t height) {
  if (width >= 0 && height >= 0 && width <= kImageMaxSide && height <= kImageMaxSide && width * height <= kImageMaxPixels)
    return;
  Cell size;
  pair_make_at(size, static_cast<int32_t>(std::clamp<int64_t>(width, INT32_MIN, INT32_MAX)),
               static_cast<int32_t>(std::clamp<int64_t>(height, INT32_MIN, INT32_MAX)));
  raise_error(error_id("script", "out-of-range"), size);
}

NodeId image_record_new(uint32_t flags, int64_t width, int64_t height) {
  image_size_check(width, height);
  return record_over(flags, width, height, PixelArray(height, plain_stride(width)));
}

int64_t image_width(NodeId record) { return record_word(record, kSizeWord) & 0xFFFF; }
int64_t image_height(NodeId record) { return record_word(record, kSizeWord) >> 16; }
uint32_t image_flags(NodeId record) { return record_word(record, kFlagsWord); }

// The pixel copy: after a drawing, the plain array is rebuilt from the premultiplied one; else
// the plain array is still exact and only becomes valid again.
ImageView image_pixels(NodeId record) {
  ImageStore& store = store_of(record);
  uint32_t flags = image_flags(record);
  if (flags & kImageDrawnOn) {
    flags &= ~(kImageDrawnOn | kImagePixelsValid);
    store.plain_stale = true;
  }
  if (!(flags & kImagePixelsValid)) {
    if (store.plain_stale && !store.premultiplied.empty()) {
      if (store.plain.empty()) store.plain = PixelArray(store.height, plain_stride(store.width));
      convert_pixels(store, store.premultiplied, store.plain, unpremultiply_pixel);
    }
    store.plain_stale = false;
    ensure_plain(store);
    flags |= kImagePixelsValid;
  }
  set_flags(record, flags);
  return view_of(store, store.plain);
}

// The drawing copy in premultiplied form, converted from the plain array when missing, stale or
// plain; the drawing target goes with the old copy.
ImageView image_premultiplied_view(NodeId record) {
  ImageStore& store = store_of(record);
  uint32_t flags = image_flags(record);
  bool current = !store.premultiplied.empty() && !(flags & kImagePixelsChanged) && (flags & kImagePremultiplied);
  if (!current) {
    image_pixels(record);
    flags = image_flags(record);
    if (store.premultiplied.empty())
      store.premultiplied = PixelArray(store.height, premultiplied_stride(store.width));
    convert_pixels(store, store.plain, store.premultiplied, premultiply_pixel);
    store.release_target();
    flags = (flags & ~(kImagePixelsChanged | kImagePrivateDrawing)) | kImagePremultiplied;
    set_flags(record, flags);
  }
  return view_of(store, store.premultiplied);
}

// The premultiplied array is already private to the store; making it the drawing copy leaves
// the plain array kept aside (exact until something is drawn) and the flags exactly 0x18.
ImageView image_clone_bitmap(NodeId record) {
  ImageView view = image_premultiplied_view(record);
  if (!(image_flags(record) & kImagePrivateDrawing)) set_flags(record, kImagePrivateDrawing | kImagePremultiplied);
  return view;
}

ImagePixelLock::ImagePixelLock(NodeId record, bool write) {
  view_ = image_pixels(record);
  if (write) set_flags(record, image_flags(record) | kImagePixelsChanged);
}

uint32_t image_get_pixel(NodeId record, int64_t index) {
  ImageView view = image_pixels(record);
  return view.data[index];
}

void image_set_pixel(NodeId record, int64_t index, uint32_t pixel) {
  ImagePixelLock lock(record, true);
  lock.view().data[index] = pixel;
}

NodeId image_from_rgb_data(int64_t width, int64_t height, std::span<const uint8_t> rgb,
                           std::span<const uint8_t> transparency, std::optional<ImageColour> colour) {
  if (width == 0 || height == 0) return 0;
  NodeId record = image_record_new(kImagePixelsValid | kImagePixelsChanged, width, height);
  uint32_t* pixels = store_of(record).plain.data();
  int64_t count = width * height;
  if (colour) {
    uint32_t word = uint32_t{colour->a} << 24 | uint32_t{colour->r} << 16 | uint32_t{colour->g} << 8 | colour->b;
    std::fill(pixels, pixels + count, word);
    return record;
  }
  int64_t triples = static_cast<int64_t>(rgb.size() / 3);
  int64_t alphas = static_cast<int64_t>(transparency.size());
  for (int64_t i = 0; i < count; ++i) {
    uint32_t a = i < alphas ? 255u - transparency[i] : 255u;
    uint32_t colour_bits = i < triples ? uint32_t{rgb[3 * i]} << 16 | uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2] : 0xFFFFFFu;
    pixels[i] = a << 24 | colour_bits;
  }
  return record;
}

NodeId image_from_memory(int64_t width, int64_t height, int64_t stride, const uint32_t* pixels) {
  if (width == 0 || height == 0) return 0;
  NodeId record = image_record_new(kImagePixelsValid | kImagePixelsChanged, width, height);
  const PixelArray& plain = store_of(record).plain;
  if (stride == 0) stride = plain_stride(width);
  for (int64_t y = 0; y < height; ++y)
    std::memcpy(plain.row(y), reinterpret_cast<const uint8_t*>(pixels) + y * stride, static_cast<size_t>(plain_stride(width)));
  return record;
}

NodeId image_from_pixel_words(int64_t width, int64_t height, PixelWords pixels) {
  image_size_check(width, height);
  if (width == 0 || height == 0) return 0;
  assert(pixels.size() == static_cast<size_t>(width * height));
  return record_over(kImagePixelsValid | kImagePixelsChanged, width, height, PixelArray(std::move(pixels), plain_stride(width)));
}

NodeId image_crop(NodeId record, int64_t x, int64_t y, int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return 0;
  ImageView from = image_pixels(record);
  const uint32_t* first = from.data + y * from.width + x;
  return image_from_memory(width, height, from.stride, first);
}

NodeId image_resize(NodeId record, int64_t width, int64_t height) {
  image_size_check(width, height);
  if (width == 0 || height == 0) return 0;
  NodeId resized = image_record_new(kImagePixelsValid | kImagePixelsChanged, width, height);
  ImageView from = image_pixels(record);
  const PixelArray& into = store_of(resized).plain;
  for (int64_t y = 0; y < height; ++y) {
    const uint32_t* source = from.data + (y * from.height / height) * from.width;
    uint32_t* target = into.row(y);
    for (int64_t x = 0; x < width; ++x) target[x] = source[x * from.width / width];
  }
  return resized;
}

ImageTarget image_mark_drawing(NodeId record) {
  set_flags(record, image_flags(record) | kImageDrawing);
  return store_of(record).target;
}

void image_set_target(NodeId record, ImageTarget target) {
  ImageStore& store = store_of(record);
  if (store.target.object != target.object) store.release_target();
  store.target = target;
}

void image_mark_dirty(NodeId record) {
  set_flags(record, image_flags(record) | kImageDrawnOn);
  store_of(record).release_target();
}

void image_release_drawing_target(NodeId record) { store_of(record).release_target(); }

// Drops both arrays at once; the next pixel read starts from transparent black.
void image_release_bitmaps(NodeId record) {
  ImageStore& store = store_of(record);
  store.plain = PixelArray{};
  store.premultiplied = PixelArray{};
  store.plain_stale = false;
  store.release_target();
  set_flags(record, 0);
}

// Marks the record and its slot. The first time in a cycle a drawing in progress keeps its
// target (0x40 is cleared instead), so a target survives exactly one collection unrenewed.
void image_gc_mark(const Cell& image) {
  NodeId record = image.w2;
  if (record == 0) return;
  collector_mark_node(record);
  uint32_t slot = record_word(record, kSlotWord);
  if (!extres_slot_mark(slot, nullptr)) return;
  uint32_t flags = image_flags(record);
  if (flags & kImageDrawing)
    set_flags(record, flags & ~kImageDrawing);
  else
    store_of(record).release_target();
}

std::optional<ImageFormat> image_bytes_format(std::span<const uint8_t> bytes) {
  auto starts = [&](std::initializer_list<uint8_t> prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
  };
  if (starts({137, 'P', 'N', 'G'})) return ImageFormat::png;
  if (starts({255, 216, 255})) return ImageFormat::jpeg;
  if (starts({'B', 'M'})) return ImageFormat::bmp;
  if (starts({'G', 'I', 'F'}) && bytes.size() >= 6 && (bytes[4] == '7' || bytes[4] == '9') && bytes[5] == 'a')
    return ImageFormat::gif;
  if (starts({73, 73, 42, 0}) || starts({77, 77, 0, 42})) return ImageFormat::tiff;
  return std::nullopt;
}

}  // namespace qel
