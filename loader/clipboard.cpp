// clipboard.cpp: a write prepares everything it puts before the clipboard is opened, so a
// refused value leaves the clipboard as it was; a read builds its value after the data is taken.
#include "loader/clipboard.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "datatypes/scalars/logic.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/image-store.h"
#include "datatypes/series/image.h"
#include "datatypes/series/string-convert.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-load.h"
#include "datatypes/series/url.h"
#include "loader/clipboard-back-end.h"
#include "runtime/console-input.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"

namespace qel {

namespace {

constexpr ClipKind kReadOrder[] = {ClipKind::text, ClipKind::files, ClipKind::image};

// --- Reading -------------------------------------------------------------------------------------

Cell text_value(std::string text) {
  std::erase(text, '\r');
  std::string valid = utf8_sanitized({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  NodeId node = string_load_utf8({reinterpret_cast<const uint8_t*>(valid.data()), valid.size()}, 0, nullptr, false);
  return string_value(node);
}

// Bytes that do not decode, or describe an image past the image caps, read as none; the
// decoder checks the stated size before it allocates any pixels.
Cell image_value(const std::vector<uint8_t>& png) {
  NodeId record = image_load_from_memory(png);
  if (record == 0) return make_cell(Type::none);
  Cell image;
  return *image_box(image, record);
}

enum class Taken : uint8_t { nothing, failed, data };

// The first offered kind's data, taken while the clipboard is open; the value is built after.
Taken take_offered(ClipboardBackEnd& back_end, ClipKind& kind, ClipContents& contents) {
  ClipboardOpen open(back_end);
  if (!open) return Taken::failed;
  for (ClipKind offered : kReadOrder) {
    if (!back_end.offers(offered)) continue;
    kind = offered;
    return back_end.read(offered, contents) ? Taken::data : Taken::failed;
  }
  return Taken::nothing;
}

Cell value_of(ClipKind kind, ClipContents& contents) {
  switch (kind) {
    case ClipKind::text: return text_value(std::move(*contents.text));
    case ClipKind::files: return files_from_os_names(*contents.files);
    case ClipKind::image: return image_value(*contents.png);
  }
  return make_cell(Type::none);
}

// --- Writing -------------------------------------------------------------------------------------

std::vector<std::string> file_paths(const Cell& block) {
  std::vector<std::string> paths;
  for (int64_t i = 0; i < block_length(block); ++i) {
    Cell file = *block_cell_at(block, block.w1 + i);
    if (cell_type(file) != Type::file) raise_invalid_arg(file);
    paths.push_back(file_to_os_path(file));
  }
  return paths;
}

// The whole image as PNG; an image without area puts nothing, so the clipboard is emptied.
std::optional<std::vector<uint8_t>> image_png(const Cell& image) {
  if (image_cell_pixels(image) == 0) return std::nullopt;
  GcRoot<Cell> encoded;
  image_encode_value(image, &*encoded, static_cast<int32_t>(ImageFormat::png));
  const uint8_t* head = binary_head_address(*encoded);
  return std::vector<uint8_t>(head, head + binary_length(*encoded));
}

// What a value puts on the clipboard; nothing for none!.
ClipContents prepared(const Cell& value) {
  ClipContents contents;
  switch (cell_type(value)) {
    case Type::none: break;
    case Type::string: contents.text = string_to_utf8(value); break;
    case Type::block: contents.files = file_paths(value); break;
    case Type::image: contents.png = image_png(value); break;
    default: raise_invalid_arg(value);
  }
  return contents;
}

}  // namespace

Cell clipboard_read() {
  ClipKind kind{};
  ClipContents contents;
  switch (take_offered(clipboard_back_end(), kind, contents)) {
    case Taken::nothing: return make_cell(Type::none);
    case Taken::failed: return kFalseCell;
    case Taken::data: break;
  }
  return value_of(kind, contents);
}

bool clipboard_write(const Cell& value) {
  ClipContents contents = prepared(value);
  ClipboardBackEnd& back_end = clipboard_back_end();
  ClipboardOpen open(back_end);
  return open && back_end.write(contents);
}

}  // namespace qel
