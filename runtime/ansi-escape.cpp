// ansi-escape.cpp: reading escape sequences, the screen model they act on, and their xterm form.
#include "runtime/ansi-escape.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "runtime/quit.h"

namespace qel {

namespace {

constexpr uint32_t kParameterModulus = 65535;

// Where the reader stands: just after "[", in the first number, after its ";", in the second.
enum Phase : uint8_t { kStart, kFirst, kAfterSemicolon, kSecond };

struct PhaseRow {
  Phase on_digit;       // the phase a digit leads to
  Phase on_semicolon;   // the phase ";" leads to (from kSecond it also folds both numbers)
  bool digit_extends;   // the digit extends the number read so far (else starts a new one)
  bool second_number;   // digits go to the second number
  const char* acting;   // finals that act in this phase; any other unit ends the sequence
};

constexpr PhaseRow kPhases[] = {
    /* kStart          */ {kFirst, kStart, false, false, "suJKHf?"},
    /* kFirst          */ {kFirst, kAfterSemicolon, true, false, "mABCDJK"},
    /* kAfterSemicolon */ {kSecond, kAfterSemicolon, false, true, ""},
    /* kSecond         */ {kSecond, kStart, true, true, "mHf"},
};

// ANSI colour index 0-7 (red 1, green 2, blue 4) as the colour word's blue/green/red bits.
constexpr uint16_t kAnsiToColourBits[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// The low byte of unit i: every unit of a sequence is judged by it.
uint8_t unit_low_byte(const void* text, int unit_size, size_t i) {
  switch (unit_size) {
    case 1: return static_cast<const uint8_t*>(text)[i];
    case 2: return static_cast<uint8_t>(static_cast<const uint16_t*>(text)[i]);
    case 4: return static_cast<uint8_t>(static_cast<const uint32_t*>(text)[i]);
    default: fatal_no_match_switch();
  }
}

// Moves a coordinate by delta, kept within 0..limit (limit 0: the size is unknown, no bound).
uint32_t moved(uint32_t from, int64_t delta, uint32_t size) {
  int64_t limit = size ? int64_t{size} - 1 : int64_t{UINT32_MAX};
  return static_cast<uint32_t>(std::clamp(int64_t{from} + delta, int64_t{0}, limit));
}

// The effect of an acting final met in a phase, with the numbers read and the pending attribute.
EscapeAction act(Phase phase, char final, uint32_t first, uint32_t second, uint16_t pending,
                 ScreenState& screen, uint32_t& amount) {
  amount = 0;
  switch (final) {
    case 'm':
      pending = ansi_rendition(pending, screen.default_attribute, first);
      if (phase == kSecond) pending = ansi_rendition(pending, screen.default_attribute, second);
      screen.attribute = pending;
      return EscapeAction::set_attribute;
    case 'A': amount = first; screen.cursor.row = moved(screen.cursor.row, -int64_t{first}, screen.height); return EscapeAction::cursor_up;
    case 'B': amount = first; screen.cursor.row = moved(screen.cursor.row, first, screen.height); return EscapeAction::cursor_down;
    case 'C': amount = first; screen.cursor.column = moved(screen.cursor.column, first, screen.width); return EscapeAction::cursor_right;
    case 'D': amount = first; screen.cursor.column = moved(screen.cursor.column, -int64_t{first}, screen.width); return EscapeAction::cursor_left;
    case 'H':
    case 'f':
      // Column first, row second, both 0-based; without numbers the origin.
      screen.cursor = phase == kSecond ? ScreenPosition{first, second} : ScreenPosition{};
      return EscapeAction::cursor_to;
    case 'J':
    case 'K':
      if (phase == kFirst && first != 1 && first != 2) return EscapeAction::none;
      amount = phase == kFirst ? first : 0;
      if (final == 'J') {
        if (amount == 2) screen.cursor = {};
        return EscapeAction::erase_display;
      }
      if (amount != 0) screen.cursor.column = 0;
      return EscapeAction::erase_line;
    case 's': screen.saved_cursor = screen.cursor; return EscapeAction::save_cursor;
    case 'u': screen.cursor = screen.saved_cursor; return EscapeAction::restore_cursor;
    case '?': return EscapeAction::report;
    default: fatal_no_match_case();
  }
}

// Appends text to out at length.
void append(char* out, size_t& length, const char* text) {
  size_t n = std::strlen(text);
  std::memcpy(out + length, text, n);
  length += n;
}

// Appends a decimal number to out at length.
void append_number(char* out, size_t& length, uint64_t value) {
  length = static_cast<size_t>(std::to_chars(out + length, out + kEscapeRenderMax, value).ptr - out);
}

// The xterm colour code of one half (4 bits) of a colour word: base + ANSI index, +60 when intense.
uint32_t xterm_colour(uint32_t nibble, uint32_t base) {
  uint32_t ansi = ((nibble & 1) << 2) | (nibble & 2) | ((nibble & 4) >> 2);
  return base + ansi + ((nibble & 8) ? 60 : 0);
}

// One SGR sequence setting the whole attribute. Halves equal to the default's are left to the
// terminal's own default colours, so the default attribute itself is a plain reset.
void append_rendition(char* out, size_t& length, uint16_t attribute, uint16_t default_attribute) {
  append(out, length, "\x1B[0");
  if ((attribute ^ default_attribute) & 0x0F) {
    append(out, length, ";");
    append_number(out, length, xterm_colour(attribute & 0x0F, 30));
  }
  if ((attribute ^ default_attribute) & 0xF0) {
    append(out, length, ";");
    append_number(out, length, xterm_colour((attribute >> 4) & 0x0F, 40));
  }
  if (attribute & 0x8000) append(out, length, ";4");
  append(out, length, "m");
}

// A relative cursor move "ESC [ n final"; a move by 0 says nothing (xterm would move by 1).
void append_move(char* out, size_t& length, uint32_t n, const char* final) {
  if (n == 0) return;
  append(out, length, "\x1B[");
  append_number(out, length, n);
  append(out, length, final);
}

// The xterm forms of the erase modes 0, 1 and 2. The screen's "from the start of the cursor's row"
// erases the whole row and then below; erasing a line's start also returns to it.
constexpr const char* kEraseDisplayForms[] = {"\x1B[2K\x1B[J", "\x1B[1J", "\x1B[2J\x1B[H"};
constexpr const char* kEraseLineForms[] = {"\x1B[K", "\x1B[1K\x1B[G", "\x1B[2K\x1B[G"};

const char* erase_form(const char* const (&forms)[3], uint32_t mode) {
  if (mode > 2) fatal_no_match_switch();
  return forms[mode];
}

}  // namespace

uint16_t ansi_rendition(uint16_t attribute, uint16_t default_attribute, uint32_t parameter) {
  if (parameter >= 30 && parameter <= 37) return static_cast<uint16_t>((attribute & ~0x07) | kAnsiToColourBits[parameter - 30]);
  if (parameter >= 40 && parameter <= 47)
    return static_cast<uint16_t>((attribute & ~0x70) | (kAnsiToColourBits[parameter - 40] << 4));
  switch (parameter) {
    case 0: return default_attribute;
    case 1: return attribute | 0x88;
    case 4: return attribute | 0x8000;
    case 7: return static_cast<uint16_t>((attribute & 0xFF00) | ((attribute & 0x0F) << 4) | ((attribute & 0xF0) >> 4));
    case 39: return attribute | 0x08;
    case 49: return attribute | 0x80;
    default: return attribute;
  }
}

EscapeEffect ansi_escape_apply(const void* text, int unit_size, size_t units_available, ScreenState& screen) {
  if (units_available < 2 || unit_low_byte(text, unit_size, 1) != '[') return {};
  Phase phase = kStart;
  uint32_t numbers[2] = {0, 0};
  uint16_t pending = screen.attribute;  // renditions folded but not yet applied
  for (size_t i = 2; i < units_available; ++i) {
    const PhaseRow& row = kPhases[phase];
    uint8_t unit = unit_low_byte(text, unit_size, i);
    size_t consumed = (i + 1) * static_cast<size_t>(unit_size);
    if (unit >= '0' && unit <= '9') {
      uint32_t& number = numbers[row.second_number];
      number = ((row.digit_extends ? number * 10 : 0) + (unit - '0')) % kParameterModulus;
      phase = row.on_digit;
    } else if (unit == ';') {
      if (phase == kSecond) {
        pending = ansi_rendition(pending, screen.default_attribute, numbers[0]);
        pending = ansi_rendition(pending, screen.default_attribute, numbers[1]);
        numbers[0] = numbers[1] = 0;
      }
      phase = row.on_semicolon;
    } else if (unit != 0 && std::strchr(row.acting, unit)) {
      EscapeEffect effect{consumed, EscapeAction::none, 0};
      effect.action = act(phase, static_cast<char>(unit), numbers[0], numbers[1], pending, screen, effect.amount);
      return effect;
    } else {
      return {consumed, EscapeAction::none, 0};
    }
  }
  return {units_available * static_cast<size_t>(unit_size), EscapeAction::none, 0};
}

size_t ansi_escape_render(const EscapeEffect& effect, const ScreenState& screen, char* out) {
  size_t length = 0;
  switch (effect.action) {
    case EscapeAction::none:
    case EscapeAction::report: break;
    case EscapeAction::set_attribute: append_rendition(out, length, screen.attribute, screen.default_attribute); break;
    case EscapeAction::cursor_up: append_move(out, length, effect.amount, "A"); break;
    case EscapeAction::cursor_down: append_move(out, length, effect.amount, "B"); break;
    case EscapeAction::cursor_right: append_move(out, length, effect.amount, "C"); break;
    case EscapeAction::cursor_left: append_move(out, length, effect.amount, "D"); break;
    case EscapeAction::cursor_to:
      append(out, length, "\x1B[");
      append_number(out, length, uint64_t{screen.cursor.row} + 1);
      append(out, length, ";");
      append_number(out, length, uint64_t{screen.cursor.column} + 1);
      append(out, length, "H");
      break;
    case EscapeAction::erase_display: append(out, length, erase_form(kEraseDisplayForms, effect.amount)); break;
    case EscapeAction::erase_line: append(out, length, erase_form(kEraseLineForms, effect.amount)); break;
    case EscapeAction::save_cursor: append(out, length, "\x1B[s"); break;
    case EscapeAction::restore_cursor: append(out, length, "\x1B[u"); break;
    default: fatal_no_match_switch();
  }
  return length;
}

}  // namespace qel
