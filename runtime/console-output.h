// console-output.h: the lowest output layer: diagnostics and printed text to standard output.
//
// Output is UTF-8 with LF line ends, staged in a small buffer and written with write(2) when
// the buffer fills, on console_flush and at exit. On a terminal, escape sequences in the text
// are interpreted against a screen model and re-emitted in xterm form (runtime/ansi-escape.h).
// The typed print primitives write byte text as it is and also hand every line they write to
// the byte-string print hooks. Only the language thread writes here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "runtime/ansi-escape.h"

namespace qel {

// Notes whether standard output is a terminal and hands quit its staging buffer for the exit.
void console_output_init();

// Writes out whatever is staged.
void console_flush();

// Where output goes: a file descriptor and whether escape sequences are interpreted there.
struct ConsoleTarget {
  int fd;
  bool terminal;
};

// Flushes what is staged for the current target, then writes to another (tests, benchmarks).
// Answers the previous target.
ConsoleTarget console_output_set_target(ConsoleTarget target);

// The screen model of the terminal target.
ScreenState& console_screen();

// ---- string writers: text of unit 1 (Latin-1), 2 (UTF-16) or 4 (code points) ----

// Writes count units, then a line end when asked. Another unit size ends the process (101).
// Surrogates without their pair and values above U+10FFFF are written as U+FFFD.
void console_write_units(const void* units, size_t count, int unit_size, bool line_end);

inline void console_write_latin1(const uint8_t* text, size_t count) { console_write_units(text, count, 1, false); }
inline void console_write_latin1_line(const uint8_t* text, size_t count) { console_write_units(text, count, 1, true); }
inline void console_write_utf16(const uint16_t* text, size_t count) { console_write_units(text, count, 2, false); }
inline void console_write_utf16_line(const uint16_t* text, size_t count) { console_write_units(text, count, 2, true); }

// Writes UTF-8 text as it is (the console's prompt and echo), without the print hooks.
void console_write_utf8(const char* text, size_t length);

// ---- typed print primitives: byte text as it is, also handed to the byte-string hooks ----

void print_cstring(const char* text);
// At most limit bytes of a NUL-terminated text.
void print_cstring_limited(const char* text, size_t limit);
void print_char(uint8_t byte);
// The char literal form: #"A", #"^/", #"^(80)". A code above 255 ends the process (100).
void print_char_escaped(uint32_t code);
void print_integer(int64_t value);          // decimal
void print_hex2(uint64_t value);            // upper-case hex, at least 2 digits
void print_hex8(uint64_t value);            // upper-case hex, at least 8 digits
void print_float64(double value);           // 16 significant digits, shortest form
void print_float32(float value);            // 7 significant digits, shortest form

// Kinds of typed print items; any other kind prints its value as hex, at least 8 digits.
enum PrintKind : uint32_t {
  kPrintLogic = 1,
  kPrintInteger = 2,
  kPrintChar = 3,
  kPrintFloat32 = 4,
  kPrintFloat64 = 5,
  kPrintText = 6,
};

// One item of a typed print list: a kind and a 64-bit value.
struct PrintItem {
  uint32_t kind;
  union {
    uint64_t bits;
    int64_t integer;
    double float64;
    float float32;
    const char* text;  // NUL-terminated bytes; null prints nothing
  };
};

// The items of each kind.
constexpr PrintItem item_other(uint32_t kind, uint64_t value) { return {kind, {value}}; }
constexpr PrintItem item_logic(bool value) { return item_other(kPrintLogic, value); }
constexpr PrintItem item_integer(int64_t value) { return item_other(kPrintInteger, static_cast<uint64_t>(value)); }
constexpr PrintItem item_char(uint8_t value) { return item_other(kPrintChar, value); }
constexpr PrintItem item_hex(uint64_t value) { return item_other(0, value); }
inline PrintItem item_float32(float value) {
  PrintItem item = item_other(kPrintFloat32, 0);
  item.float32 = value;
  return item;
}
inline PrintItem item_float64(double value) {
  PrintItem item = item_other(kPrintFloat64, 0);
  item.float64 = value;
  return item;
}
inline PrintItem item_text(const char* value) {
  PrintItem item = item_other(kPrintText, 0);
  item.text = value;
  return item;
}

// Prints the items in order. With spacing, a blank follows every item but the last, unless the
// item is text or a character ending in a blank, line feed, carriage return or tab. Flushes.
void print_typed_list(std::span<const PrintItem> items, bool spacing);
// The items with no blanks between them; the second form ends the line.
void print_values(std::span<const PrintItem> items);
void print_values_line(std::span<const PrintItem> items);

}  // namespace qel
