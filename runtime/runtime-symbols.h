// runtime-symbols.h: the symbols the runtime's own code names, interned at start-up in this
// order, and the refinements and issue it uses.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

// X(C++ name, spelling), in interning order. "code" is both an event field and an error field:
// both names hold the one id.
#define QEL_RUNTIME_SYMBOLS(X)                                                                       \
  X(sym_spec, "spec") X(sym_body, "body") X(sym_words, "words") X(sym_class, "class")                \
  X(sym_logic_type, "logic!") X(sym_integer_type, "integer!") X(sym_char_type, "char!")              \
  X(sym_float_type, "float!") X(sym_percent_type, "percent!") X(sym_any_type, "any-type!")            \
  /* exits */                                                                                        \
  X(sym_exit, "exit") X(sym_return, "return")                                                        \
  /* platforms */                                                                                    \
  X(sym_windows, "Windows") X(sym_syllable, "Syllable") X(sym_macos, "macOS") X(sym_linux, "Linux")  \
  X(sym_netbsd, "NetBSD")                                                                            \
  /* loops */                                                                                        \
  X(sym_repeat, "repeat") X(sym_foreach, "foreach") X(sym_map_each, "map-each")                      \
  X(sym_remove_each, "remove-each")                                                                  \
  /* parse keywords */                                                                               \
  X(sym_any, "any") X(sym_break, "break") X(sym_copy, "copy") X(sym_end, "end") X(sym_fail, "fail")  \
  X(sym_into, "into") X(sym_opt, "opt") X(sym_not, "not") X(sym_quote, "quote") X(sym_case, "case")  \
  X(sym_reject, "reject") X(sym_set, "set") X(sym_skip, "skip") X(sym_some, "some")                  \
  X(sym_thru, "thru") X(sym_to, "to") X(sym_none, "none") X(sym_if, "if") X(sym_remove, "remove")    \
  X(sym_while, "while") X(sym_insert, "insert") X(sym_only, "only") X(sym_collect, "collect")        \
  X(sym_keep, "keep") X(sym_pick, "pick") X(sym_ahead, "ahead") X(sym_after, "after")                \
  /* ownership */                                                                                    \
  X(sym_values, "values") X(sym_owner, "owner") X(sym_owned, "owned") X(sym_events_q, "events?")     \
  /* logic words */                                                                                  \
  X(sym_true, "true") X(sym_false, "false") X(sym_yes, "yes") X(sym_no, "no") X(sym_on, "on")        \
  X(sym_off, "off")                                                                                  \
  /* event fields */                                                                                 \
  X(sym_type, "type") X(sym_face, "face") X(sym_window, "window") X(sym_offset, "offset")            \
  X(sym_key, "key") X(sym_flag, "flag") X(sym_code, "code") X(sym_picked, "picked")                  \
  X(sym_flags, "flags") X(sym_away_q, "away?") X(sym_ctrl_q, "ctrl?") X(sym_shift_q, "shift?")       \
  X(sym_down_q, "down?") X(sym_mid_down_q, "mid-down?") X(sym_alt_down_q, "alt-down?")               \
  X(sym_aux_down_q, "aux-down?") X(sym_orientation, "orientation")                                   \
  /* reflective and port words */                                                                    \
  X(sym_get, "get") X(sym_put, "put") X(sym_post, "post") X(sym_head, "head") X(sym_size, "size")    \
  /* colour and date accessors */                                                                    \
  X(sym_rgb, "rgb") X(sym_alpha, "alpha") X(sym_argb, "argb") X(sym_date, "date")                    \
  X(sym_year, "year") X(sym_month, "month") X(sym_day, "day") X(sym_zone, "zone")                    \
  X(sym_isoweek, "isoweek") X(sym_week, "week") X(sym_weekday, "weekday")                            \
  X(sym_yearday, "yearday") X(sym_julian, "julian") X(sym_time, "time") X(sym_hour, "hour")          \
  X(sym_minute, "minute") X(sym_second, "second") X(sym_timezone, "timezone")                        \
  /* error fields and categories */                                                                  \
  X(sym_code_error, "code") X(sym_amount, "amount") X(sym_user, "user") X(sym_host, "host")          \
  X(sym_system, "system") X(sym_system_global, "system-global") X(sym_stack, "stack")                \
  X(sym_trace, "trace") X(sym_no_trace, "no-trace") X(sym_id, "id") X(sym_try, "try")                \
  X(sym_note, "note") X(sym_syntax, "syntax") X(sym_script, "script") X(sym_math, "math")            \
  X(sym_access, "access") X(sym_internal, "internal") X(sym_invalid_error, "invalid-error")          \
  /* coordinate fields and the range word of bitset specs */                                        \
  X(sym_x, "x") X(sym_y, "y") X(sym_z, "z") X(sym_range, "-")                                        \
  /* the rest */                                                                                     \
  X(sym_local, "local") X(sym_applied, "<applied>")

namespace qel {

#define QEL_DECLARE_RUNTIME_SYMBOL(name, text) extern uint32_t name;
QEL_RUNTIME_SYMBOLS(QEL_DECLARE_RUNTIME_SYMBOL)
#undef QEL_DECLARE_RUNTIME_SYMBOL

// The runtime's refinements and issue, each also held in a root slot of its own.
extern Cell ref_local, ref_extern, ref_compare, ref_part, ref_skip, ref_with, issue_ooo;

// runtime-symbols: interns the list in order, makes global words for the platform names, then
// the six refinements and the issue; gives the call stack the symbols of <body>, <anon> and self.
void runtime_symbols_init();

// The spellings of the list, in order (duplicates included).
struct RuntimeSymbolName {
  const char* text;
  const uint32_t* id;
};
extern const RuntimeSymbolName kRuntimeSymbolNames[];
extern const size_t kRuntimeSymbolCount;

// word-is-any-type?: the word names any-type! (in any letter case).
bool word_is_any_type(const Cell& word);

}  // namespace qel
