// image.cpp: image!'s registration, element hook, positions, paths, make, to, form, mold,
// compare, change and copy.
#include "datatypes/series/image.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/coordinates.h"
#include "datatypes/scalars/logic.h"
#include "datatypes/scalars/none.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/scalars/tuple.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/image-store.h"
#include "datatypes/series/series.h"
#include "runtime/action-lookup.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/runtime-symbols.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr uint32_t size_word(int64_t width, int64_t height) {
  return static_cast<uint32_t>(width) | static_cast<uint32_t>(height) << 16;
}

// An image! cell over a record (0: no pixels) of the given size, at index 0.
Cell image_cell(NodeId record, int64_t width, int64_t height) {
  return make_cell(Type::image, 0, record, size_word(width, height));
}

// A pixel word as the language's tuple r.g.b.t.
Cell pixel_tuple(uint32_t pixel) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8),
                            static_cast<uint8_t>(pixel), static_cast<uint8_t>(255 - (pixel >> 24))};
  Cell tuple;
  tuple_make_at(tuple, bytes);
  return tuple;
}

// A tuple's colour as a pixel word: opaque for three components, else A = 255 - t.
uint32_t tuple_pixel(const Cell& tuple) {
  const uint8_t* bytes = tuple_bytes(tuple);
  uint32_t alpha = tuple_length(tuple) >= 4 ? 255u - bytes[3] : 255u;
  return alpha << 24 | uint32_t{bytes[0]} << 16 | uint32_t{bytes[1]} << 8 | bytes[2];
}

void check_pixel_value(const Cell& value) {
  if (cell_type(value) != Type::tuple) raise_error(error_id("script", "invalid-arg"), value);
}

// --- The element hook -------------------------------------------------------------------------

Cell pixel_pick(const Cell& image, int64_t position) { return image_get_pixel_tuple(image, position); }
void pixel_check(const Cell&, const Cell& value) { check_pixel_value(value); }
void pixel_store(const Cell& image, int64_t position, const Cell& value) {
  image_set_pixel(image.w2, position, tuple_pixel(value));
}

// Pixels are no units of any other series: nothing converts into an image.
constexpr ElementHooks kPixelHooks = {pixel_pick, pixel_check, pixel_store, nullptr};

// --- Positions ----------------------------------------------------------------------------------

// Stores a pixel at a position known to be inside the image, telling the owner.
void poke_pixel(const Cell& image, int64_t position, const Cell& value) {
  bool told = series_notify_before(image, SeriesChange::poke, value, position, 1);
  if (image.w2 == 0 || position >= image_cell_pixels(image)) return;
  pixel_store(image, position, value);
  if (told) series_notify_after(image, SeriesChange::poke, value, position, 1);
}

// pick and path get: none where no pixel is.
Cell pick_at(const Cell& image, const Cell& index) {
  bool out_of_range = false;
  int64_t position = image_index(image, index, 1, out_of_range);
  return out_of_range ? kNoneCell : image_get_pixel_tuple(image, position);
}

// poke and path set: out-of-range naming the index where no pixel is; the value a tuple!.
void poke_at(const Cell& image, const Cell& index, const Cell& value) {
  bool out_of_range = false;
  int64_t position = image_index(image, index, 1, out_of_range);
  if (out_of_range) raise_error(error_id("script", "out-of-range"), index);
  check_pixel_value(value);
  poke_pixel(image, position, value);
}

// Only integer! and pair! name a pixel.
void check_index_value(const Cell& index) {
  if (cell_type(index) != Type::integer && cell_type(index) != Type::pair)
    raise_error(error_id("script", "invalid-arg"), index);
}

// --- Navigation ---------------------------------------------------------------------------------

// at (one-based) and skip (zero-based): the index image-index names, clamped.
template <int32_t Base>
void image_move() {
  Cell& image = value_stack.base[0];
  const Cell& offset = value_stack.base[1];
  check_index_value(offset);
  bool out_of_range = false;
  series_set_index(image, image_index(image, offset, Base, out_of_range));
}

void image_next() {
  Cell& image = value_stack.base[0];
  if (series_index(image) + 1 <= image_cell_pixels(image)) series_set_index(image, series_index(image) + 1);
}

void image_tail() { series_set_index(value_stack.base[0], image_cell_pixels(value_stack.base[0])); }

void image_tail_q() {
  logic_box(series_index(value_stack.base[0]) >= image_cell_pixels(value_stack.base[0]));
}

int32_t image_length_q(Cell& image) { return static_cast<int32_t>(image_cell_pixels(image)); }

Cell* image_pick(Cell& image, int32_t, Cell& index_cell) {
  check_index_value(index_cell);
  index_cell = pick_at(image, index_cell);
  return &index_cell;
}

Cell* image_poke(Cell& image, int32_t, Cell& index_cell, Cell& value) {
  check_index_value(index_cell);
  poke_at(image, index_cell, value);
  return &value;
}

// --- Paths --------------------------------------------------------------------------------------

// The pixel bytes a path word names; false for any other word.
bool path_word_selector(const Cell& word, PixelBytes& selector) {
  if (cell_type(word) != Type::word) return false;
  uint32_t symbol = symbol_canonical(word.w2);
  if (symbol == symbol_canonical(sym_argb)) selector = PixelBytes::argb;
  else if (symbol == symbol_canonical(sym_rgb)) selector = PixelBytes::rgb;
  else if (symbol == symbol_canonical(sym_alpha)) selector = PixelBytes::alpha;
  else return false;
  return true;
}

bool names_size(const Cell& element) {
  return cell_type(element) == Type::word && symbol_canonical(element.w2) == symbol_canonical(sym_size);
}

Cell* image_path_step(Cell& image, Cell& element, Cell* new_value, const PathStep& step) {
  if (cell_type(element) == Type::integer || cell_type(element) == Type::pair) {
    if (!new_value) {
      element = pick_at(image, element);
      return &element;
    }
    poke_at(image, element, *new_value);
    return new_value;
  }
  PixelBytes selector;
  if (names_size(element) && !new_value) {
    pair_make_at(element, static_cast<int32_t>(image_cell_width(image)), static_cast<int32_t>(image_cell_height(image)));
    return &element;
  }
  if (!path_word_selector(element, selector))
    raise_error(error_id("script", "invalid-path"), step.path ? *step.path : image, element);
  if (!new_value) {
    element = *image_to_binary(image, selector);
    stack_drop(1);
    return &element;
  }
  image_set_from_binary(image, *new_value, selector);
  return new_value;
}

// --- make and to ----------------------------------------------------------------------------------

Cell* image_to(Cell& type, Cell& spec, Type type_id);

// The size of a make spec: negative sides count as 0; the size is checked.
void size_of(const Cell& pair, int64_t& width, int64_t& height) {
  width = std::max<int64_t>(pair_x(pair), 0);
  height = std::max<int64_t>(pair_y(pair), 0);
  image_size_check(width, height);
}

// An image of the size with the given colour data (a record only when no side is 0).
Cell* image_make_filled(Cell& out, int64_t width, int64_t height, std::span<const uint8_t> rgb,
                        std::span<const uint8_t> transparency, std::optional<ImageColour> colour) {
  out = image_cell(image_from_rgb_data(width, height, rgb, transparency, colour), width, height);
  return &out;
}

void check_value_type(const Cell& value, Type type) {
  if (cell_type(value) != type) raise_error(error_id("script", "invalid-arg"), value);
}

// [size], [size rgb-binary-or-colour], [size rgb-binary-or-colour alpha-binary].
Cell* image_make_from_block(Cell& out, const Cell& spec) {
  const int64_t count = series_length_after(spec);
  auto entry = [&](int64_t i) { return series_pick_value(spec, i + 1); };
  Cell size = entry(0);
  check_value_type(size, Type::pair);
  int64_t width, height;
  size_of(size, width, height);
  std::vector<uint8_t> rgb, transparency;
  std::optional<ImageColour> colour;
  if (count >= 2) {
    Cell data = entry(1);
    if (cell_type(data) == Type::binary) {
      rgb = binary_copy_bytes(data);
    } else if (cell_type(data) == Type::tuple) {
      uint32_t pixel = tuple_pixel(data);
      colour = ImageColour{static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8),
                           static_cast<uint8_t>(pixel), static_cast<uint8_t>(pixel >> 24)};
    } else {
      raise_error(error_id("script", "invalid-arg"), data);
    }
  }
  if (count >= 3) {
    Cell alpha = entry(2);
    check_value_type(alpha, Type::binary);
    transparency = binary_copy_bytes(alpha);
  }
  return image_make_filled(out, width, height, rgb, transparency, colour);
}

Cell* image_copy(Cell& image, Cell* part, bool, Cell*, Cell& result);

Cell* image_make(Cell& type, Cell& spec, Type type_id) {
  if (cell_type(spec) == Type::block && series_length_after(spec) == 0) {
    if (cell_type(type) != Type::image) raise_error(error_id("script", "invalid-arg"), spec);
    return image_copy(type, nullptr, false, nullptr, type);
  }
  if (cell_type(spec) == Type::pair) {
    int64_t width, height;
    size_of(spec, width, height);
    return image_make_filled(type, width, height, {}, {}, std::nullopt);
  }
  if (cell_type(spec) == Type::block) return image_make_from_block(type, spec);
  return image_to(type, spec, type_id);
}

Cell* image_to(Cell& type, Cell& spec, Type) {
  if (cell_type(spec) == Type::image) {
    Cell image = spec;
    return image_copy(image, nullptr, false, nullptr, type);
  }
  if (cell_type(spec) == Type::object && services().face_p(spec)) {
    type = services().face_to_image(spec);
    return &type;
  }
  raise_bad_to_arg(Type::image, spec);
}

// --- form and mold --------------------------------------------------------------------------------

constexpr int kPixelsPerLine = 10;

// The text of a mold, gathered for one append to the output, with what it leaves of the part
// budget. Nothing enters series memory while it grows, so the pixels are read in place.
struct MoldText {
  std::string text;
  int32_t budget;

  void add(std::string_view part) {
    text += part;
    budget = budget_less(budget, part.size());
  }
  // A line feed and four spaces per level (none below 0).
  void line_break(int32_t levels) {
    add("\n");
    for (int32_t i = 0; i < levels; ++i) add("    ");
  }
};

// The two upper-case hexadecimal digits of each byte value.
constexpr std::array<std::array<char, 2>, 256> kHexPairs = [] {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::array<std::array<char, 2>, 256> pairs{};
  for (size_t byte = 0; byte < pairs.size(); ++byte) pairs[byte] = {kDigits[byte >> 4], kDigits[byte & 15]};
  return pairs;
}();

// Two digits for each of `count` bytes of every pixel (`byte_of` picks them), ten pixels to a
// line unless flat. With /part, the text stops after the line that uses the budget up (the
// caller cuts it to the limit).
template <class ByteOf>
void mold_pixel_digits(std::span<const uint32_t> pixels, MoldText& out, bool flat, bool part, int32_t indent, int count,
                       ByteOf byte_of) {
  for (size_t start = 0; start < pixels.size() && !(part && out.budget <= 0); start += kPixelsPerLine) {
    const size_t end = std::min<size_t>(pixels.size(), start + kPixelsPerLine);
    const size_t digits = (end - start) * static_cast<size_t>(count) * 2;
    const size_t at = out.text.size();
    out.text.resize(at + digits);
    char* write = out.text.data() + at;
    for (size_t i = start; i < end; ++i)
      for (int k = 0; k < count; ++k, write += 2) std::memcpy(write, kHexPairs[byte_of(pixels[i], k)].data(), 2);
    out.budget = budget_less(out.budget, digits);
    if (end - start == kPixelsPerLine && !flat) out.line_break(indent);
  }
}

// The colours of the pixels from the index: six digits each, on lines past 30 bytes unless flat.
void mold_colours(std::span<const uint32_t> pixels, MoldText& out, bool flat, bool part, int32_t indent) {
  const bool lines = !flat && pixels.size() * 4 > 30;
  out.add(" #{");
  if (lines) out.line_break(indent);
  mold_pixel_digits(pixels, out, flat, part, indent, 3,
                    [](uint32_t pixel, int k) { return static_cast<uint8_t>(pixel >> (16 - 8 * k)); });
  if (lines && pixels.size() % kPixelsPerLine != 0) out.line_break(indent - 1);
  out.add("}");
}

// The transparency of the pixels from the index, when any pixel is not opaque.
void mold_transparency(std::span<const uint32_t> pixels, MoldText& out, bool flat, bool part, int32_t indent) {
  if (std::all_of(pixels.begin(), pixels.end(), [](uint32_t pixel) { return pixel >> 24 == 255; })) return;
  out.add(" #{");
  out.line_break(indent);
  mold_pixel_digits(pixels, out, flat, part, indent, 1,
                    [](uint32_t pixel, int) { return static_cast<uint8_t>(255 - (pixel >> 24)); });
  out.line_break(indent - 1);
  out.add("}");
}

// The pixel words from the index to the end, copied out (a copy stays put whatever happens to
// the store's array).
std::vector<uint32_t> pixels_from_index(const Cell& image) {
  if (image.w2 == 0) return {};
  ImageView view = image_pixels(image.w2);
  int64_t n = image_cell_pixels(image);
  return std::vector<uint32_t>(view.data + series_clamped_index(image), view.data + n);
}

// The size of a whole mold's colour text: six digits a pixel and a line break every ten.
size_t mold_colours_size(size_t pixels, int32_t indent) {
  return pixels * 6 + (pixels / kPixelsPerLine + 2) * (1 + 4 * static_cast<size_t>(std::max(indent, 0))) + 64;
}

int32_t image_mold_core(const Cell& image, Cell& output, bool only, bool flat, bool part, int32_t limit, int32_t indent) {
  MoldText out{{}, part ? limit : INT32_MAX};
  if (!only) out.add("make image! [");
  out.add(std::to_string(image_cell_width(image)) + "x" + std::to_string(image_cell_height(image)));
  if (image.w2 == 0) {
    out.add(" #{}");
  } else {
    const ImageView view = image_pixels(image.w2);
    const std::span<const uint32_t> pixels(view.data + series_clamped_index(image), view.data + image_cell_pixels(image));
    if (!part) out.text.reserve(mold_colours_size(pixels.size(), indent));
    mold_colours(pixels, out, flat, part, indent);
    if (!(part && out.budget <= 0)) mold_transparency(pixels, out, flat, part, indent);
  }
  if (!only) out.add("]");
  series_append_ascii(output.w2, out.text);
  return part ? out.budget : limit;
}

int32_t image_form(const Cell& image, Cell& output, bool part, int32_t limit) {
  return image_mold_core(image, output, true, false, part, limit, 0);
}

int32_t image_mold(const Cell& image, Cell& output, bool only, bool, bool flat, bool part, int32_t limit, int32_t indent) {
  return image_mold_core(image, output, only, flat, part, limit, indent + 1);
}

// --- compare --------------------------------------------------------------------------------------

// Images with fewer pixels are smaller, then narrower ones (so a 2x1 and a 1x2 image differ),
// then the pixel words from the heads decide byte by byte.
int32_t image_compare(const Cell& a, const Cell& b, int32_t op) {
  if (cell_type(b) != Type::image) return kNotComparable;
  const bool same_place = a.w2 == b.w2 && series_index(a) == series_index(b);
  if (op == kCompareSame) return same_place ? 0 : -1;
  if (op >= kCompareLesser && op <= kCompareGreaterOrEqual) return kNotComparable;
  if (same_place && op <= kCompareStrictEqual) return 0;
  if (int32_t order = three_way(image_cell_pixels(a), image_cell_pixels(b))) return order;
  if (int32_t order = three_way(image_cell_width(a), image_cell_width(b))) return order;
  if (a.w2 == 0 || b.w2 == 0) return three_way(a.w2 != 0, b.w2 != 0);
  const uint32_t* pa = image_pixels(a.w2).data;
  const uint32_t* pb = image_pixels(b.w2).data;
  int order = std::memcmp(pa, pb, static_cast<size_t>(image_cell_pixels(a) * 4));
  return three_way(order, 0);
}

// --- change ---------------------------------------------------------------------------------------

// Pastes the source's pixels (from its head, through a snapshot, so pasting an image into itself
// reads what it held before) at the destination's index, clipped to its right and bottom edges;
// the index moves to the end of the pasted block's last row.
void paste_image(Cell& target, const Cell& source) {
  const int64_t width = image_cell_width(target), height = image_cell_height(target);
  const int64_t index = series_clamped_index(target);
  if (target.w2 == 0 || index >= width * height || source.w2 == 0) return;
  const int64_t column = index % width, row = index / width;
  const int64_t source_width = image_cell_width(source);
  const int64_t columns = std::min(source_width, width - column);
  const int64_t rows = std::min(image_cell_height(source), height - row);
  const int64_t written = columns * rows;
  bool told = series_notify_before(target, SeriesChange::change, source, index, written);
  std::vector<uint32_t> snapshot = pixels_from_index(make_cell(Type::image, 0, source.w2, source.w3));
  if (target.w2 == 0) return;
  ImagePixelLock lock(target.w2, true);
  for (int64_t y = 0; y < rows; ++y)
    std::copy_n(snapshot.data() + y * source_width, columns, lock.view().data + (row + y) * width + column);
  series_set_index(target, (row + rows - 1) * width + column + columns);
  if (told) series_notify_after(target, SeriesChange::change, source, index, written);
}

void image_change(Cell& image, Cell& value, int32_t part, bool, int32_t dup) {
  if (part != -1 || dup != 1) raise_error(error_id("internal", "not-done"));
  if (cell_type(value) == Type::tuple) {
    poke_at(image, make_cell(Type::integer, 0, 1), value);
    series_set_index(image, series_index(image) + 1);
  } else if (cell_type(value) == Type::image) {
    paste_image(image, value);
  } else {
    raise_invalid_type(value);
  }
}

// --- copy -----------------------------------------------------------------------------------------

struct Rectangle {
  int64_t x, y, width, height;
};

// The rectangle of copy/part with a pair! x, y from the index's column and row.
Rectangle pair_rectangle(const Cell& image, const Cell& part) {
  const int64_t width = image_cell_width(image), height = image_cell_height(image);
  const int64_t index = series_clamped_index(image);
  const int64_t x = pair_x(part), y = pair_y(part);
  const int64_t column = index % width, row = index / width;
  if (x >= 1 && y >= 1 && index < width * height)
    return {column, row, std::min(width - column, x), std::min(height - row, y)};
  if (x < 0 && y < 0 && index >= 1) {
    // The block ends at the pixel before the index: a column of 0 closes the row above.
    const int64_t right = column == 0 ? width : column;
    const int64_t bottom = std::min(column == 0 ? row : row + 1, height);
    const int64_t left = std::max<int64_t>(right + x, 0), top = std::max<int64_t>(bottom + y, 0);
    return {left, top, right - left, bottom - top};
  }
  return {0, 0, 0, 0};
}

// The rectangle between two positions in the same image: from the lower one's column and row to
// the higher one's.
Rectangle positions_rectangle(const Cell& image, const Cell& part) {
  const int64_t width = image_cell_width(image);
  int64_t a = series_clamped_index(image), b = series_clamped_index(part);
  const int64_t lower = a < b ? a : b, higher = a < b ? b : a;
  return {lower % width, lower / width, higher % width - lower % width, higher / width - lower / width};
}

Cell& empty_image(Cell& result) {
  result = image_cell(0, 0, 0);
  return result;
}

Cell* image_copy(Cell& image, Cell* part, bool, Cell*, Cell& result) {
  const int64_t width = image_cell_width(image), height = image_cell_height(image);
  if (width == 0 || height < 1 || image.w2 == 0) return &empty_image(result);
  const int64_t index = series_clamped_index(image);
  Rectangle area{index % width, index / width, width - index % width, height - index / width};
  if (part) {
    if (cell_type(*part) == Type::integer) raise_error(error_id("internal", "not-done"));
    if (cell_type(*part) == Type::pair) area = pair_rectangle(image, *part);
    else if (cell_type(*part) == Type::image && part->w2 == image.w2) area = positions_rectangle(image, *part);
    else raise_invalid_refine_arg(ref_part, *part);
  }
  if (area.width < 1 || area.height < 1) return &empty_image(result);
  result = image_cell(image_crop(image.w2, area.x, area.y, area.width, area.height), area.width, area.height);
  return &result;
}

}  // namespace

// --- Operations for other modules -----------------------------------------------------------------

Cell* image_box(Cell& cell, NodeId record) {
  cell = record == 0 ? image_cell(0, 0, 0) : image_cell(record, image_width(record), image_height(record));
  return &cell;
}

Cell* image_push(const Cell& image) { return stack_push_value(image); }

Cell* image_push_resized(const Cell& image, int64_t width, int64_t height) {
  image_size_check(width, height);
  NodeId record = image.w2 == 0 ? image_from_rgb_data(width, height, {}, {}, std::nullopt)
                                : image_resize(image.w2, width, height);
  return stack_push_value(image_cell(record, record ? width : 0, record ? height : 0));
}

int64_t image_index(const Cell& image, const Cell& index, int32_t base, bool& out_of_range) {
  const int64_t width = image_cell_width(image), height = image_cell_height(image);
  const int64_t pixels = width * height;
  int64_t e;
  out_of_range = false;
  if (cell_type(index) == Type::pair) {
    const int64_t x = pair_x(index), y = pair_y(index);
    e = base == 1 && y > 0 ? x + width * (y - 1) : x + width * y;
    out_of_range = base == 1 ? (x > width || x <= 0 || y > height || y <= 0) : (x >= width || x < 0 || y >= height || y < 0);
  } else {
    e = payload_i32(index, 2);
  }
  int64_t position = e + series_index(image) - base + (base == 1 && e <= 0 ? 1 : 0);
  out_of_range = out_of_range || e == 0 || position < 0 || position >= pixels;
  return std::clamp<int64_t>(position, 0, pixels);
}

Cell image_get_pixel_tuple(const Cell& image, int64_t position) {
  if (image.w2 == 0 || position < 0 || position >= image_cell_pixels(image)) return kNoneCell;
  return pixel_tuple(image_get_pixel(image.w2, position));
}

Cell* image_to_binary(const Cell& image, PixelBytes selector) {
  constexpr int kBytesPerPixel[] = {1, 3, 4};
  const int64_t n = image.w2 == 0 ? 0 : image_cell_pixels(image);
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(n * kBytesPerPixel[static_cast<int>(selector)]));
  const uint32_t* pixels = n ? image_pixels(image.w2).data : nullptr;
  for (int64_t i = 0; i < n; ++i) {
    const uint32_t pixel = pixels[i];
    if (selector == PixelBytes::alpha) {
      bytes.push_back(static_cast<uint8_t>(255 - (pixel >> 24)));
    } else if (selector == PixelBytes::rgb) {
      bytes.insert(bytes.end(), {static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8), static_cast<uint8_t>(pixel)});
    } else {
      bytes.insert(bytes.end(), {static_cast<uint8_t>(pixel), static_cast<uint8_t>(pixel >> 8),
                                 static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 24)});
    }
  }
  return binary_push_bytes(bytes);
}

namespace {

// What a fill writes into a pixel: the whole word, the colour, or the alpha.
uint32_t fill_pixel(uint32_t pixel, uint32_t packed, PixelBytes selector) {
  const uint32_t r = packed & 0xFF, g = packed >> 8 & 0xFF, b = packed >> 16 & 0xFF, t = packed >> 24;
  switch (selector) {
    case PixelBytes::argb: return (255 - t) << 24 | r << 16 | g << 8 | b;
    case PixelBytes::rgb: return (pixel & 0xFF000000u) | r << 16 | g << 8 | b;
    case PixelBytes::alpha: return (255 - r) << 24 | (pixel & 0xFFFFFFu);
  }
  return pixel;
}

// A tuple's first four bytes (t = 0 for three components), or an integer's bytes, low first.
uint32_t packed_fill(const Cell& value) {
  if (cell_type(value) == Type::integer) return value.w2;
  const uint8_t* bytes = tuple_bytes(value);
  const uint32_t t = tuple_length(value) >= 4 ? bytes[3] : 0;
  return bytes[0] | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | t << 24;
}

void write_binary_pixels(uint32_t* pixels, int64_t n, std::span<const uint8_t> bytes, PixelBytes selector) {
  if (selector == PixelBytes::argb) {
    std::memcpy(pixels, bytes.data(), std::min<size_t>(static_cast<size_t>(4 * n), bytes.size()));
  } else if (selector == PixelBytes::rgb) {
    const int64_t count = std::min<int64_t>(n, static_cast<int64_t>(bytes.size() / 3));
    for (int64_t i = 0; i < count; ++i)
      pixels[i] = (pixels[i] & 0xFF000000u) | uint32_t{bytes[3 * i]} << 16 | uint32_t{bytes[3 * i + 1]} << 8 | bytes[3 * i + 2];
  } else {
    const int64_t count = std::min<int64_t>(n, static_cast<int64_t>(bytes.size()));
    for (int64_t i = 0; i < count; ++i) pixels[i] = (255u - bytes[i]) << 24 | (pixels[i] & 0xFFFFFFu);
  }
}

}  // namespace

void image_set_from_binary(const Cell& image, const Cell& value, PixelBytes selector) {
  const Type type = cell_type(value);
  if (type != Type::binary && type != Type::tuple && type != Type::integer)
    raise_error(error_id("script", "invalid-arg"), value);
  const int64_t n = image.w2 == 0 ? 0 : image_cell_pixels(image);
  std::vector<uint8_t> bytes = type == Type::binary ? binary_copy_bytes(value) : std::vector<uint8_t>{};
  const uint32_t packed = type == Type::binary ? 0 : packed_fill(value);
  bool told = series_notify_before(image, SeriesChange::change, value, 0, n);
  if (image.w2 == 0) return;
  {
    ImagePixelLock lock(image.w2, true);
    uint32_t* pixels = lock.view().data;
    if (type == Type::binary) write_binary_pixels(pixels, n, bytes, selector);
    else for (int64_t i = 0; i < n; ++i) pixels[i] = fill_pixel(pixels[i], packed, selector);
  }
  if (told) series_notify_after(image, SeriesChange::change, value, 0, n);
}

ImageLock::ImageLock(const Cell& image, bool write, bool notify) : image_(image) {
  if (write && notify) told_ = series_notify_before(image_, SeriesChange::change, kNoneCell, 0, image_cell_pixels(image_));
  if (image_.w2 == 0) return;
  ImagePixelLock lock(image_.w2, write);
  data_ = lock.view().data;
  stride_ = lock.view().stride;
}

void ImageLock::unlock() {
  data_ = nullptr;
  if (told_) series_notify_after(image_, SeriesChange::change, kNoneCell, 0, image_cell_pixels(image_));
  told_ = false;
}

void image_init() {
  ActionRow row;
  row.inherit<Act::Back>()
      .inherit<Act::Head>()
      .inherit<Act::HeadQ>()
      .inherit<Act::IndexQ>()
      .inherit<Act::Modify>()
      .inherit<Act::Move>()  // refuses images with move-bad: their buffer is the record
      .set<Act::Make>(image_make)
      .set<Act::To>(image_to)
      .set<Act::Form>(image_form)
      .set<Act::Mold>(image_mold)
      .set<Act::PathStep>(image_path_step)
      .set<Act::Compare>(image_compare)
      .set<Act::At>(image_move<1>)
      .set<Act::Change>(image_change)
      .set<Act::Copy>(image_copy)
      .set<Act::LengthQ>(image_length_q)
      .set<Act::Next>(image_next)
      .set<Act::Pick>(image_pick)
      .set<Act::Poke>(image_poke)
      .set<Act::Skip>(image_move<0>)
      .set<Act::Tail>(image_tail)
      .set<Act::TailQ>(image_tail_q);
  register_datatype(Type::image, Type::series, "image!", row);
  series_set_element_hooks(Type::image, &kPixelHooks);
}

}  // namespace qel
