// ansi-escape.h: the escape-sequence interpreter of terminal output and its screen model.
//
// Text written to a terminal may hold sequences "ESC [ params final". The interpreter reads one
// sequence, applies its effect to a screen model (text attribute, cursor, saved cursor) and
// answers what the terminal must be told; the renderer turns that into xterm control bytes.
// Attributes are kept as 16-bit colour words: foreground blue/green/red in bits 0-2 and its
// intensity in bit 3, background the same in bits 4-7, underscore in bit 15.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel {

inline constexpr uint16_t kDefaultTextAttribute = 0x07;  // light grey on black

struct ScreenPosition {
  uint32_t column = 0;
  uint32_t row = 0;
  bool operator==(const ScreenPosition&) const = default;
};

// What the interpreter knows of the screen. A size of 0 means the terminal did not report it.
struct ScreenState {
  uint16_t attribute = kDefaultTextAttribute;
  uint16_t default_attribute = kDefaultTextAttribute;
  ScreenPosition cursor;
  uint32_t width = 0;
  uint32_t height = 0;
  ScreenPosition saved_cursor;
  bool operator==(const ScreenState&) const = default;
};

enum class EscapeAction : uint8_t {
  none,            // consumed without effect
  set_attribute,   // the screen's attribute changed
  cursor_up,       // amount rows
  cursor_down,     // amount rows
  cursor_right,    // amount columns
  cursor_left,     // amount columns
  cursor_to,       // to the screen's (new) cursor position
  erase_display,   // amount: 0 from the cursor's row start to the end, 1 rows above, 2 everything
  erase_line,      // amount: 0 from the cursor to the line end, 1 line start to the cursor, 2 the line
  save_cursor,
  restore_cursor,
  report,          // the caller prints the screen report
};

struct EscapeEffect {
  size_t consumed = 0;  // bytes from the ESC through the final unit; 0: not a sequence
  EscapeAction action = EscapeAction::none;
  uint32_t amount = 0;
};

// Reads the sequence starting at the ESC of text (units of 1, 2 or 4 bytes; units_available
// counted from the ESC) and applies it to screen. A unit size other than 1, 2 or 4 ends the
// process (runtime error 101). A sequence cut by the end of the text is consumed to the end
// with no effect.
EscapeEffect ansi_escape_apply(const void* text, int unit_size, size_t units_available, ScreenState& screen);

// The colour word after one rendition parameter.
uint16_t ansi_rendition(uint16_t attribute, uint16_t default_attribute, uint32_t parameter);

inline constexpr size_t kEscapeRenderMax = 40;

// Writes the xterm bytes telling the terminal an effect (screen as after the effect) to out,
// which has room for kEscapeRenderMax bytes, and answers their count.
size_t ansi_escape_render(const EscapeEffect& effect, const ScreenState& screen, char* out);

}  // namespace qel
