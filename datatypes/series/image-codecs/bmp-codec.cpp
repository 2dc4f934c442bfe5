// bmp-codec.cpp: BMP, our own: reads 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed, RLE8,
// RLE4 and bit fields (the V4 and V5 alpha mask honoured), bottom-up or top-down; writes a
// BITMAPINFOHEADER image of 32 bits per pixel, uncompressed, bottom-up (which reads back opaque:
// an uncompressed 32-bit BMP has no alpha).
//
// Every header field, palette index and run is checked against the bytes and the declared size
// before it is used; anything out of bounds refuses the file.
#include <bit>
#include <cstring>

#include "datatypes/series/image-codecs/image-codecs.h"

namespace qel {

namespace {

constexpr uint32_t kUncompressed = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;
constexpr size_t kFileHeader = 14, kInfoHeader = 40, kCoreHeader = 12;

// Little-endian reads that answer false past the end.
struct Bytes {
  std::span<const uint8_t> data;
  bool has(size_t offset, size_t n) const { return offset <= data.size() && n <= data.size() - offset; }
  uint32_t u16(size_t at) const { return data[at] | uint32_t{data[at + 1]} << 8; }
  uint32_t u32(size_t at) const { return u16(at) | u16(at + 2) << 16; }
};

// One channel of a bit-field mask, scaled to 8 bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t top = 0;  // the largest value the field holds

  static Channel of(uint32_t mask) {
    Channel channel{mask, mask ? std::countr_zero(mask) : 0, 0};
    channel.top = mask ? mask >> channel.shift : 0;
    return channel;
  }
  uint32_t read(uint32_t word, uint32_t absent) const {
    if (top == 0) return absent;
    uint32_t value = (word & mask) >> shift;
    return top == 255 ? value : static_cast<uint32_t>(uint64_t{value} * 255 / top);
  }
};

struct Header {
  int64_t width = 0, height = 0;
  bool top_down = false;
  uint32_t bits = 0, compression = kUncompressed;
  Channel red, green, blue, alpha;
  bool masked = false;
  std::vector<uint32_t> palette;
  size_t pixels = 0;
};

void set_masks(Header& header, const Bytes& bytes, size_t at, bool with_alpha) {
  header.red = Channel::of(bytes.u32(at));
  header.green = Channel::of(bytes.u32(at + 4));
  header.blue = Channel::of(bytes.u32(at + 8));
  header.alpha = Channel::of(with_alpha ? bytes.u32(at + 12) : 0);
  header.masked = true;
}

bool read_palette(Header& header, const Bytes& bytes, size_t at, size_t entry, uint32_t used) {
  if (header.bits > 8) return true;
  uint32_t most = 1u << header.bits;
  uint32_t count = used == 0 || used > most ? most : used;
  if (!bytes.has(at, size_t{count} * entry)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    size_t p = at + i * entry;
    header.palette.push_back(0xFF000000u | uint32_t{bytes.data[p + 2]} << 16 | uint32_t{bytes.data[p + 1]} << 8 | bytes.data[p]);
  }
  return true;
}

bool valid_layout(const Header& header) {
  switch (header.compression) {
    case kUncompressed:
      return header.bits == 1 || header.bits == 4 || header.bits == 8 || header.bits == 16 || header.bits == 24 ||
             header.bits == 32;
    case kRle8: return header.bits == 8;
    case kRle4: return header.bits == 4;
    case kBitFields:
    case kAlphaBitFields: return header.bits == 16 || header.bits == 32;
    default: return false;
  }
}

bool read_header(const Bytes& bytes, Header& header) {
  if (!bytes.has(0, kFileHeader + 4) || bytes.data[0] != 'B' || bytes.data[1] != 'M') return false;
  header.pixels = bytes.u32(10);
  const size_t info = bytes.u32(kFileHeader);
  // Past the 40-byte header, bit-field masks sit in it from byte 40 on: it must hold them.
  const bool sized = info == kCoreHeader || info == kInfoHeader || info >= kInfoHeader + 12;
  if (!bytes.has(kFileHeader, info) || !sized) return false;
  if (info == kCoreHeader) {
    header.width = bytes.u16(18);
    header.height = bytes.u16(20);
    header.bits = bytes.u16(24);
    if (!valid_layout(header)) return false;
    return read_palette(header, bytes, kFileHeader + info, 3, 0);
  }
  header.width = static_cast<int32_t>(bytes.u32(18));
  int64_t height = static_cast<int32_t>(bytes.u32(22));
  header.top_down = height < 0;
  header.height = height < 0 ? -height : height;
  header.bits = bytes.u16(28);
  header.compression = bytes.u32(30);
  if (!valid_layout(header)) return false;
  size_t palette = kFileHeader + info;
  if (header.compression == kBitFields || header.compression == kAlphaBitFields) {
    bool alpha = header.compression == kAlphaBitFields || info >= 56;
    if (info == kInfoHeader) {  // the masks follow the header
      if (!bytes.has(palette, alpha ? 16 : 12)) return false;
      set_masks(header, bytes, palette, alpha);
      palette += alpha ? 16 : 12;
    } else {
      set_masks(header, bytes, kFileHeader + kInfoHeader, alpha);
    }
  }
  return read_palette(header, bytes, palette, 4, bytes.u32(46));
}

// The palette colour of an index; false past the table.
bool palette_pixel(const Header& header, uint32_t index, uint32_t& pixel) {
  if (index >= header.palette.size()) return false;
  pixel = header.palette[index];
  return true;
}

uint32_t masked_pixel(const Header& header, uint32_t word) {
  return header.alpha.read(word, 255) << 24 | header.red.read(word, 0) << 16 | header.green.read(word, 0) << 8 |
         header.blue.read(word, 0);
}

// One pixel of an uncompressed row.
bool row_pixel(const Header& header, const uint8_t* row, int64_t x, uint32_t& pixel) {
  switch (header.bits) {
    case 1: return palette_pixel(header, row[x / 8] >> (7 - x % 8) & 1, pixel);
    case 4: return palette_pixel(header, row[x / 2] >> (x % 2 ? 0 : 4) & 15, pixel);
    case 8: return palette_pixel(header, row[x], pixel);
    case 16: {
      uint32_t word = row[2 * x] | uint32_t{row[2 * x + 1]} << 8;
      pixel = header.masked ? masked_pixel(header, word)
                            : 0xFF000000u | Channel::of(0x7C00).read(word, 0) << 16 | Channel::of(0x3E0).read(word, 0) << 8 |
                                  Channel::of(0x1F).read(word, 0);
      return true;
    }
    case 24:
      pixel = 0xFF000000u | uint32_t{row[3 * x + 2]} << 16 | uint32_t{row[3 * x + 1]} << 8 | row[3 * x];
      return true;
    default: {
      uint32_t word;
      std::memcpy(&word, row + 4 * x, 4);
      pixel = header.masked ? masked_pixel(header, word) : (word | 0xFF000000u);
      return true;
    }
  }
}

int64_t image_row(const Header& header, int64_t file_row) { return header.top_down ? file_row : header.height - 1 - file_row; }

bool decode_uncompressed(const Bytes& bytes, const Header& header, uint32_t* pixels) {
  const int64_t stride = (header.width * header.bits + 31) / 32 * 4;
  if (!bytes.has(header.pixels, static_cast<size_t>(stride * header.height))) return false;
  for (int64_t r = 0; r < header.height; ++r) {
    const uint8_t* row = bytes.data.data() + header.pixels + r * stride;
    uint32_t* target = pixels + image_row(header, r) * header.width;
    for (int64_t x = 0; x < header.width; ++x)
      if (!row_pixel(header, row, x, target[x])) return false;
  }
  return true;
}

// Run-length data to palette indexes (unset pixels keep index 0); false on a run past its row,
// a move past the image or data that ends before the end-of-bitmap mark.
bool expand_runs(const Bytes& bytes, const Header& header, std::vector<uint8_t>& indexes) {
  const bool four = header.compression == kRle4;
  size_t at = header.pixels;
  int64_t x = 0, y = 0;
  auto put = [&](int64_t n, auto index_of) {
    if (y >= header.height || x + n > header.width) return false;
    for (int64_t i = 0; i < n; ++i) indexes[static_cast<size_t>(y * header.width + x + i)] = index_of(i);
    x += n;
    return true;
  };
  for (;;) {
    if (!bytes.has(at, 2)) return false;
    const uint32_t count = bytes.data[at], value = bytes.data[at + 1];
    at += 2;
    if (count > 0) {
      if (!put(count, [&](int64_t i) { return four ? (i % 2 ? value & 15 : value >> 4) : value; })) return false;
    } else if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      return true;
    } else if (value == 2) {
      if (!bytes.has(at, 2)) return false;
      x += bytes.data[at];
      y += bytes.data[at + 1];
      at += 2;
      if (x > header.width || y > header.height) return false;
    } else {
      const size_t data = four ? (value + 1) / 2 : value;
      if (!bytes.has(at, data)) return false;
      const uint8_t* run = bytes.data.data() + at;
      if (!put(value, [&](int64_t i) { return four ? (i % 2 ? run[i / 2] & 15 : run[i / 2] >> 4) : run[i]; })) return false;
      at += data + data % 2;
    }
  }
}

bool decode_runs(const Bytes& bytes, const Header& header, uint32_t* pixels) {
  std::vector<uint8_t> indexes(static_cast<size_t>(header.width * header.height), 0);
  if (!expand_runs(bytes, header, indexes)) return false;
  for (int64_t r = 0; r < header.height; ++r) {
    uint32_t* target = pixels + image_row(header, r) * header.width;
    for (int64_t x = 0; x < header.width; ++x)
      if (!palette_pixel(header, indexes[static_cast<size_t>(r * header.width + x)], target[x])) return false;
  }
  return true;
}

void put_u16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void put_u32(std::vector<uint8_t>& out, uint32_t value) {
  put_u16(out, value & 0xFFFF);
  put_u16(out, value >> 16);
}

}  // namespace

bool bmp_decode(std::span<const uint8_t> data, DecodedImage& image) {
  Bytes bytes{data};
  Header header;
  if (!read_header(bytes, header) || !bytes.has(header.pixels, 1)) return false;
  PixelSink sink = decoded_image_sink(image);
  uint32_t* pixels = sink.allocate(sink.context, header.width, header.height);
  if (!pixels) return false;
  bool runs = header.compression == kRle8 || header.compression == kRle4;
  if (runs ? decode_runs(bytes, header, pixels) : decode_uncompressed(bytes, header, pixels)) return true;
  image = DecodedImage{};
  return false;
}

bool bmp_encode(const uint32_t* pixels, int64_t width, int64_t height, std::vector<uint8_t>& out) {
  constexpr uint32_t kPixelsPerMetre = 2835;  // 72 dots per inch
  const uint64_t image_bytes = static_cast<uint64_t>(width * height * 4);
  const uint64_t file_bytes = kFileHeader + kInfoHeader + image_bytes;
  if (file_bytes > UINT32_MAX) return false;
  out.clear();
  out.reserve(static_cast<size_t>(file_bytes));
  out.push_back('B');
  out.push_back('M');
  for (uint64_t word : {file_bytes, uint64_t{0}, uint64_t{kFileHeader + kInfoHeader}, uint64_t{kInfoHeader},
                        static_cast<uint64_t>(width), static_cast<uint64_t>(height)})
    put_u32(out, static_cast<uint32_t>(word));
  put_u16(out, 1);
  put_u16(out, 32);
  for (uint64_t word : {uint64_t{kUncompressed}, image_bytes, uint64_t{kPixelsPerMetre}, uint64_t{kPixelsPerMetre},
                        uint64_t{0}, uint64_t{0}})
    put_u32(out, static_cast<uint32_t>(word));
  for (int64_t y = height - 1; y >= 0; --y) {
    const uint8_t* row = reinterpret_cast<const uint8_t*>(pixels + y * width);
    out.insert(out.end(), row, row + 4 * width);
  }
  return true;
}

}  // namespace qel
