// console-output.cpp: standard output writers: staging, UTF-8, the terminal filter, typed prints.
#include "runtime/console-output.h"

#include <emmintrin.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

#include "runtime/os.h"
#include "runtime/print-hooks.h"
#include "runtime/quit.h"
#include "runtime/utf8.h"

namespace qel {

namespace {

constexpr uint8_t kEscape = 0x1B;
constexpr size_t kStagingSize = 1024;

// Invariant: staging[0, pending) holds bytes not yet written to target.fd, in order.
struct Output {
  ConsoleTarget target{STDOUT_FILENO, false};
  ScreenState screen;
  size_t pending = 0;
  uint8_t staging[kStagingSize];
};

Output out;

// Hands quit the staged bytes to write at the end, counting them written.
StagedOutput take_staged() {
  const StagedOutput staged{out.target.fd, out.staging, out.pending};
  out.pending = 0;
  return staged;
}

// Appends bytes to the staging buffer; a run too long for it goes out directly, after what is staged.
void stage(const uint8_t* bytes, size_t length) {
  if (length == 0) return;  // bytes may then be null
  if (length > kStagingSize - out.pending) {
    console_flush();
    if (length >= kStagingSize) {
      os_write_all(out.target.fd, bytes, length);  // failures dropped: output has nowhere else to go
      return;
    }
  }
  std::memcpy(out.staging + out.pending, bytes, length);
  out.pending += length;
}

// Appends one byte to the staging buffer.
void stage_byte(uint8_t byte) {
  if (out.pending == kStagingSize) console_flush();
  out.staging[out.pending++] = byte;
}

// Appends a code point's UTF-8 bytes to the staging buffer.
void stage_code_point(uint32_t code_point) {
  if (kStagingSize - out.pending < 4) console_flush();
  out.pending += utf8_encode(code_point, out.staging + out.pending);
}

// Length of the leading run of bytes that go out as they are: every byte, except those at or
// above 0x80 when stop_high is set and ESC when stop_escape is set. Sixteen bytes per step.
size_t plain_byte_run(const uint8_t* bytes, size_t length, bool stop_high, bool stop_escape) {
  if (!stop_high && !stop_escape) return length;
  const __m128i escapes = _mm_set1_epi8(static_cast<char>(kEscape));
  size_t i = 0;
  for (; i + 16 <= length; i += 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    unsigned stops = (stop_high ? _mm_movemask_epi8(block) : 0) |
                     (stop_escape ? _mm_movemask_epi8(_mm_cmpeq_epi8(block, escapes)) : 0);
    if (stops) return i + static_cast<size_t>(__builtin_ctz(stops));
  }
  while (i < length && !(stop_high && bytes[i] >= 0x80) && !(stop_escape && bytes[i] == kEscape)) ++i;
  return i;
}

// Takes the terminal's size into the screen model when the terminal reports it.
void refresh_screen_size() {
  winsize size{};
  if (::ioctl(out.target.fd, TIOCGWINSZ, &size) != 0) return;
  out.screen.width = size.ws_col;
  out.screen.height = size.ws_row;
}

// Whether an effect was computed from the screen's size (moves clamped to it, the report).
bool uses_screen_size(EscapeAction action) {
  return action == EscapeAction::cursor_down || action == EscapeAction::cursor_right || action == EscapeAction::report;
}

// The seven lines describing the screen model; what the terminal does not report prints as 0.
void print_screen_report() {
  const ScreenState& screen = out.screen;
  const int64_t width = screen.width, height = screen.height;
  const PrintItem title[] = {item_text("Screen buffer info:")};
  const PrintItem size[] = {item_text("   size______"), item_integer(width), item_text("x"), item_integer(height)};
  const PrintItem cursor[] = {item_text("   cursor____"), item_integer(screen.cursor.column), item_text("x"),
                              item_integer(screen.cursor.row)};
  const PrintItem attribute[] = {item_text("   attribute_"), item_hex(screen.attribute), item_text(" "),
                                 item_hex(screen.default_attribute)};
  const PrintItem top_left[] = {item_text("   left______"), item_integer(0), item_text(" top:"), item_integer(0)};
  const PrintItem bottom_right[] = {item_text("   right_____"), item_integer(width ? width - 1 : 0),
                                    item_text(" bottom:"), item_integer(height ? height - 1 : 0)};
  const PrintItem maximum[] = {item_text("   max_______"), item_integer(width), item_text("x"), item_integer(height)};
  const std::span<const PrintItem> lines[] = {title, size, cursor, attribute, top_left, bottom_right, maximum};
  for (auto line : lines) print_values_line(line);
}

// Interprets the escape sequence at text on the terminal and answers the units it took (at
// least 1: an ESC that starts no sequence is written as it is).
size_t interpret_escape(const void* text, int unit_size, size_t units_available) {
  ScreenState trial = out.screen;
  EscapeEffect effect = ansi_escape_apply(text, unit_size, units_available, trial);
  if (uses_screen_size(effect.action)) {
    refresh_screen_size();  // only these need the size: a query per colour change would cost
    trial = out.screen;
    effect = ansi_escape_apply(text, unit_size, units_available, trial);
  }
  out.screen = trial;
  if (effect.consumed == 0) {
    stage_byte(kEscape);
    return 1;
  }
  char control[kEscapeRenderMax];
  stage(reinterpret_cast<const uint8_t*>(control), ansi_escape_render(effect, out.screen, control));
  if (effect.action == EscapeAction::report) print_screen_report();
  return effect.consumed / static_cast<size_t>(unit_size);
}

// Writes bytes: Latin-1 text encoded as UTF-8, or byte text as it is. On the terminal escape
// sequences are interpreted.
void write_bytes(const uint8_t* bytes, size_t length, bool latin1) {
  const bool escapes = out.target.terminal;
  size_t i = 0;
  for (;;) {
    size_t run = plain_byte_run(bytes + i, length - i, latin1, escapes);
    stage(bytes + i, run);
    i += run;
    if (i == length) return;
    if (escapes && bytes[i] == kEscape)
      i += interpret_escape(bytes + i, 1, length - i);
    else
      stage_code_point(bytes[i++]);
  }
}

// Packs 16 units into packed when all are ASCII and, with stop_escape, none is ESC.
bool pack_plain_block(const uint16_t* units, bool stop_escape, __m128i& packed) {
  __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
  __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + 8));
  __m128i wide_bits = _mm_and_si128(_mm_or_si128(low, high), _mm_set1_epi16(static_cast<int16_t>(0xFF80)));
  if (_mm_movemask_epi8(_mm_cmpeq_epi16(wide_bits, _mm_setzero_si128())) != 0xFFFF) return false;
  packed = _mm_packus_epi16(low, high);
  return !stop_escape || _mm_movemask_epi8(_mm_cmpeq_epi8(packed, _mm_set1_epi8(static_cast<char>(kEscape)))) == 0;
}

bool pack_plain_block(const uint32_t* units, bool stop_escape, __m128i& packed) {
  __m128i quarter[4];
  __m128i any = _mm_setzero_si128();
  for (int q = 0; q < 4; ++q) {
    quarter[q] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + 4 * q));
    any = _mm_or_si128(any, quarter[q]);
  }
  __m128i wide_bits = _mm_and_si128(any, _mm_set1_epi32(~0x7F));
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(wide_bits, _mm_setzero_si128())) != 0xFFFF) return false;
  packed = _mm_packus_epi16(_mm_packs_epi32(quarter[0], quarter[1]), _mm_packs_epi32(quarter[2], quarter[3]));
  return !stop_escape || _mm_movemask_epi8(_mm_cmpeq_epi8(packed, _mm_set1_epi8(static_cast<char>(kEscape)))) == 0;
}

// Copies the leading ASCII units (ESC excepted when stop_escape is set) as bytes to destination, at
// most room of them, and answers how many.
template <class Unit>
size_t copy_plain_units(const Unit* units, size_t count, bool stop_escape, uint8_t* destination, size_t room) {
  const size_t limit = std::min(count, room);
  size_t i = 0;
  __m128i block;
  for (; i + 16 <= limit && pack_plain_block(units + i, stop_escape, block); i += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), block);
  for (; i < limit && units[i] < 0x80 && !(stop_escape && units[i] == kEscape); ++i)
    destination[i] = static_cast<uint8_t>(units[i]);
  return i;
}

// The two halves of a UTF-16 surrogate pair.
bool is_high_surrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Writes UTF-16 units or code points as UTF-8; a surrogate pair becomes its one code point.
template <class Unit>
void write_wide(const Unit* units, size_t count) {
  const bool escapes = out.target.terminal;
  for (size_t i = 0; i < count;) {
    size_t plain = copy_plain_units(units + i, count - i, escapes, out.staging + out.pending, kStagingSize - out.pending);
    out.pending += plain;
    i += plain;
    if (i == count) return;
    if (out.pending == kStagingSize) {
      console_flush();
      continue;
    }
    uint32_t unit = units[i];
    if (unit == kEscape) {  // only on the terminal: elsewhere ESC is plain
      i += interpret_escape(units + i, sizeof(Unit), count - i);
      continue;
    }
    ++i;
    if constexpr (sizeof(Unit) == 2) {
      if (is_high_surrogate(unit) && i < count && is_low_surrogate(units[i]))
        unit = 0x10000 + ((unit - 0xD800) << 10) + (units[i++] - 0xDC00u);
    }
    stage_code_point(unit);
  }
}

// Byte text of a typed print: written as it is, then handed to the byte-string hooks.
void print_bytes(const char* bytes, size_t length) {
  write_bytes(reinterpret_cast<const uint8_t*>(bytes), length, false);
  print_hooks_run_cstr(bytes, length, 0);
}

// A number's text, formatted without the locale.
struct NumberText {
  char bytes[64];
  size_t length = 0;
};

// Signed decimal.
NumberText decimal_text(int64_t value) {
  NumberText text;
  text.length = static_cast<size_t>(std::to_chars(text.bytes, text.bytes + sizeof text.bytes, value).ptr - text.bytes);
  return text;
}

// Upper-case hexadecimal, padded with zeros to at least min_digits.
NumberText hex_text(uint64_t value, int min_digits) {
  NumberText text;
  int digits = 1;
  while (digits < 16 && (value >> (4 * digits)) != 0) ++digits;
  if (digits < min_digits) digits = min_digits;
  for (int i = 0; i < digits; ++i) text.bytes[i] = "0123456789ABCDEF"[(value >> (4 * (digits - 1 - i))) & 0xF];
  text.length = static_cast<size_t>(digits);
  return text;
}

// The shortest of fixed and scientific notation with the given significant digits ("%.Ng").
NumberText general_text(double value, int precision) {
  NumberText text;
  auto result = std::to_chars(text.bytes, text.bytes + sizeof text.bytes, value, std::chars_format::general, precision);
  text.length = static_cast<size_t>(result.ptr - text.bytes);
  return text;
}

// A number as typed-print byte text.
void print_number_text(const NumberText& text) { print_bytes(text.bytes, text.length); }

// A number appended to a typed list's line.
void append_number_text(std::string& line, const NumberText& text) { line.append(text.bytes, text.length); }

// Appends one typed item's text.
void append_item(std::string& line, const PrintItem& item) {
  switch (item.kind) {
    case kPrintLogic: line += item.bits ? "true" : "false"; break;
    case kPrintInteger: append_number_text(line, decimal_text(item.integer)); break;
    case kPrintChar: line += static_cast<char>(item.bits); break;
    case kPrintFloat32: append_number_text(line, general_text(item.float32, 7)); break;
    case kPrintFloat64: append_number_text(line, general_text(item.float64, 16)); break;
    case kPrintText: if (item.text) line += item.text; break;
    default: append_number_text(line, hex_text(item.bits, 8)); break;
  }
}

// The characters after which a spaced list adds no blank.
bool is_separator(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// Whether an item's own text ends in a blank, line feed, carriage return or tab.
bool ends_in_separator(const PrintItem& item) {
  if (item.kind == kPrintChar) return is_separator(static_cast<char>(item.bits));
  if (item.kind != kPrintText || !item.text || !*item.text) return false;
  return is_separator(item.text[std::strlen(item.text) - 1]);
}

// The items as one line of byte text, optionally spaced and ended; flushed.
void print_list(std::span<const PrintItem> items, bool spacing, bool line_end) {
  std::string line;
  for (size_t i = 0; i < items.size(); ++i) {
    append_item(line, items[i]);
    if (spacing && i + 1 < items.size() && !ends_in_separator(items[i])) line += ' ';
  }
  if (line_end) line += '\n';
  print_bytes(line.data(), line.size());
  console_flush();
}

}  // namespace

void console_output_init() {
  out.target = {STDOUT_FILENO, ::isatty(STDOUT_FILENO) == 1};
  out.screen = ScreenState{};
  set_exit_output(take_staged);
}

void console_flush() {
  const StagedOutput staged = take_staged();
  os_write_all(staged.fd, staged.bytes, staged.length);
}

ConsoleTarget console_output_set_target(ConsoleTarget target) {
  console_flush();
  ConsoleTarget previous = out.target;
  out.target = target;
  return previous;
}

ScreenState& console_screen() { return out.screen; }

void console_write_units(const void* units, size_t count, int unit_size, bool line_end) {
  switch (unit_size) {
    case 1: write_bytes(static_cast<const uint8_t*>(units), count, true); break;
    case 2: write_wide(static_cast<const uint16_t*>(units), count); break;
    case 4: write_wide(static_cast<const uint32_t*>(units), count); break;
    default: fatal_no_match_switch();
  }
  if (line_end) stage_byte('\n');
}

void console_write_utf8(const char* text, size_t length) {
  write_bytes(reinterpret_cast<const uint8_t*>(text), length, false);
}

void print_cstring(const char* text) { print_bytes(text, std::strlen(text)); }

void print_cstring_limited(const char* text, size_t limit) { print_bytes(text, ::strnlen(text, limit)); }

void print_char(uint8_t byte) { print_bytes(reinterpret_cast<const char*>(&byte), 1); }

void print_char_escaped(uint32_t code) {
  if (code > 255) fatal_no_match_case();
  char text[8] = {'#', '"'};
  size_t length = 2;
  // Control codes as a caret form, a few by their own letters; above 127 as "^(XX)".
  static constexpr struct { uint8_t code; char letter; } kNamed[] = {{0, '@'}, {9, '-'}, {10, '/'}, {27, ']'}};
  char letter = static_cast<char>(code + 64);
  for (const auto& named : kNamed)
    if (named.code == code) letter = named.letter;
  if (code < 32) {
    text[length++] = '^';
    text[length++] = letter;
  } else if (code <= 127) {
    text[length++] = static_cast<char>(code);
  } else {
    NumberText hex = hex_text(code, 2);
    text[length++] = '^';
    text[length++] = '(';
    text[length++] = hex.bytes[0];
    text[length++] = hex.bytes[1];
    text[length++] = ')';
  }
  text[length++] = '"';
  print_bytes(text, length);
}

void print_integer(int64_t value) { print_number_text(decimal_text(value)); }
void print_hex2(uint64_t value) { print_number_text(hex_text(value, 2)); }
void print_hex8(uint64_t value) { print_number_text(hex_text(value, 8)); }
void print_float64(double value) { print_number_text(general_text(value, 16)); }
void print_float32(float value) { print_number_text(general_text(value, 7)); }

void print_typed_list(std::span<const PrintItem> items, bool spacing) { print_list(items, spacing, false); }
void print_values(std::span<const PrintItem> items) { print_list(items, false, false); }
void print_values_line(std::span<const PrintItem> items) { print_list(items, false, true); }

}  // namespace qel
