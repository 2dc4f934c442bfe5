// json-encoder.cpp: the JSON encoder: a walk over the value that appends to one output string.
//
// The walk evaluates nothing and holds collection off, so the cells it reads stay where they
// are; only the output buffer grows. Arrays and objects nest through the cycle stack, which
// refuses a series met again inside itself.
#include "loader/codecs/json-encoder.h"

#include <charconv>
#include <cmath>

#include "datatypes/scalars/float-text.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/map.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-core.h"
#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/contexts.h"
#include "runtime/cycle-guard.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/language-thread.h"
#include "runtime/runtime-symbols.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// The output's first room, in characters.
constexpr int64_t kFirstRoom = 4000;

class JsonEncoder {
 public:
  JsonEncoder(const Cell& indent, bool ascii) : indent_(indent), ascii_(ascii) { string_make_at(out_, kFirstRoom); }

  const Cell& output() const { return out_; }

  void value(const Cell& value) {
    const Type type = cell_type(value);
    switch (type) {
      case Type::none: return text("null");
      case Type::logic: return text(value.w1 ? "true" : "false");
      case Type::integer: return integer(integer_value(value));
      case Type::float_:
      case Type::percent: return number(value);
      case Type::map: return map(value);
      case Type::object: return object(value);
      default: break;
    }
    // every text type gives its text as it is (a tag without its angle brackets)
    if (is_text_type(type)) return quoted(string_text(value));
    if (any_block_type(type)) return array(value);
    quoted_mold(value);
  }

 private:
  void text(std::string_view ascii) { series_append_ascii(out_.w2, ascii); }

  void integer(int32_t n) {
    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    text({digits, static_cast<size_t>(end - digits)});
  }

  // The shortest text that reads back to the same double; JSON has no NaN or infinity.
  void number(const Cell& value) {
    const double real = float_value(value);
    if (!std::isfinite(real)) raise_error(error_id("script", "invalid-arg"), value);
    FloatTextBuffer buffer;
    text(float_format_digits(real, 0, true, buffer));
  }

  bool normal_char(uint32_t c) const { return c >= 0x20 && c != '"' && c != '\\' && (!ascii_ || c <= 0x7F); }

  void escape(uint32_t c) {
    switch (c) {
      case '"': return text("\\\"");
      case '\\': return text("\\\\");
      case 0x08: return text("\\b");
      case 0x0C: return text("\\f");
      case '\n': return text("\\n");
      case '\r': return text("\\r");
      case '\t': return text("\\t");
    }
    if (c > 0xFFFF) {
      escape_unit(((c - 0x10000) >> 10) + 0xD800);
      escape_unit(((c - 0x10000) & 0x3FF) + 0xDC00);
    } else {
      escape_unit(c);
    }
  }

  void escape_unit(uint32_t unit) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const char escaped[6] = {'\\', 'u', kHex[unit >> 12 & 15], kHex[unit >> 8 & 15], kHex[unit >> 4 & 15], kHex[unit & 15]};
    text({escaped, 6});
  }

  // The text as a JSON string: runs of characters copied as they are, the others escaped.
  void quoted(UnitText source) {
    text("\"");
    visit_units(source, [&](auto units) {
      size_t run = 0;
      auto copy_run = [&](size_t end) {
        if (end > run) string_write_text(out_.w2, 0, {source.data + run * source.unit, end - run, source.unit}, TextMode::append);
      };
      for (size_t i = 0; i < units.size(); ++i) {
        if (normal_char(units[i])) continue;
        copy_run(i);
        escape(units[i]);
        run = i + 1;
      }
      copy_run(units.size());
    });
    text("\"");
  }

  // The value molded, as a JSON string.
  void quoted_mold(const Cell& value) {
    Cell molded;
    string_make_at(molded, 32);
    lookup_action_for_value<Act::Mold>(value)(value, molded, false, false, false, false, INT32_MAX, 0);
    quoted(string_text(molded));
  }

  // A line break and the indent once per level: the pretty layout's start of an element.
  void new_line() {
    text("\n");
    for (int32_t i = 0; i < level_; ++i) string_write_text(out_.w2, 0, string_text(indent_), TextMode::append);
  }
  bool pretty() const { return cell_type(indent_) == Type::string; }

  void open(std::string_view bracket) {
    text(bracket);
    ++level_;
    if (pretty()) new_line();
  }
  void separate() {
    text(",");
    if (pretty()) new_line();
  }
  void close(std::string_view bracket) {
    --level_;
    if (pretty()) new_line();
    text(bracket);
  }

  // One level deeper into a series: refused when the walk is inside it already.
  static void enter(const Cell& value) {
    check_stack_headroom();
    if (cycle_stack_contains(cycle_identity(value))) raise_error(error_id("internal", "no-cycle"));
  }

  void array(const Cell& block) {
    enter(block);
    CyclePush walking(cycle_identity(block));
    const int64_t first = series_clamped_index(block);
    const int64_t total = block_total_cells(block);
    if (first >= total) return text("[]");
    open("[");
    for (int64_t i = first; i < total; ++i) {
      if (i > first) separate();
      value(*block_cell_at(block, i));
    }
    close("]");
  }

  // A key as a JSON string: a word's spelling, a string, any other key molded.
  void key(const Cell& key) {
    if (is_word_type(cell_type(key)))
      quoted(symbol_text(key.w2));
    else if (cell_type(key) == Type::string)
      quoted(string_text(key));
    else
      quoted_mold(key);
  }

  void pair(bool first, const Cell& name, const Cell& field) {
    if (!first) separate();
    key(name);
    text(pretty() ? ": " : ":");
    value(field);
  }

  void map(const Cell& map) {
    enter(map);
    CyclePush walking(cycle_identity(map));
    if (map_count(map) == 0) return text("{}");
    open("{");
    Cell cursor = map;
    cursor.w1 = 0;
    Cell name;
    Cell field;
    for (bool first = true; map_next_live_pair(cursor, name, field); first = false) pair(first, name, field);
    close("}");
  }

  // The object's words and values, in the order words-of and values-of give them.
  void object(const Cell& object) {
    enter(object);
    CyclePush walking(cycle_identity(object));
    Cell* top = value_stack.top;
    const Cell names = reflection(object, sym_words);
    const Cell fields = reflection(object, sym_values);
    value_stack.top = top;
    const int64_t count = block_length(names);
    if (count == 0) return text("{}");
    open("{");
    for (int64_t i = 0; i < count; ++i) pair(i == 0, *block_cell_at(names, names.w1 + i), *block_cell_at(fields, fields.w1 + i));
    close("}");
  }

  static Cell reflection(const Cell& object, uint32_t field) {
    return call_action(Act::Reflect, std::array{object, make_cell(Type::word, 0, field, kUnresolved)});
  }

  Cell out_;
  const Cell indent_;
  const bool ascii_;
  int32_t level_ = 0;
};

}  // namespace

Cell json_encode(const Cell& value, const Cell& indent, bool ascii) {
  NoGcScope hold;
  CycleScope walk;
  JsonEncoder encoder(indent, ascii);
  encoder.value(value);
  return encoder.output();
}

}  // namespace qel
