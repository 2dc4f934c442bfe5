// eval-fixture.h: a fresh runtime with the evaluator's values, a reader of test notation for
// code blocks, and helpers that evaluate blocks and report their results and errors.
#pragma once

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "datatypes/series/block-core.h"
#include "datatypes/series/string-load.h"
#include "evaluator/boot-runner.h"
#include "evaluator/boot-source.h"
#include "evaluator/interpreter.h"
#include "datatypes/scalars/truth.h"
#include "evaluator/native-table.h"
#include "evaluator/native.h"
#include "evaluator/routine.h"
#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/boot-image.h"
#include "runtime/call-stack.h"
#include "runtime/collector.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/extres.h"
#include "runtime/gc-root.h"
#include "runtime/memory.h"
#include "runtime/root-block.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/startup.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel::testing {

inline Cell integer_cell(int32_t value) { return make_cell(Type::integer, 0, static_cast<uint32_t>(value)); }
inline Cell float_cell(double value) {
  Cell cell = make_cell(Type::float_);
  set_payload_f64(cell, value);
  return cell;
}
// A word of the kind bound in the global context.
inline Cell global_word(std::string_view name, Type kind = Type::word) {
  Cell word = context_add_word(symbol_intern_bytes(name), global_context());
  set_value_type_byte(word, kind);
  return word;
}

// Reads test notation into a block: integers, decimals, "strings", words, set-words, get-words,
// lit-words, refinements, issues, [blocks], (parens) and paths (a/b/c, 'a/b, :a/b, a/b:, with
// get-word, integer and paren steps). Words are bound in the global context.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  Cell block(char close = 0) {
    Cell made;  // nothing collects while the reader runs: no safe point is reached
    block_make_at(made, 4);
    for (;;) {
      while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n')) ++pos_;
      if (pos_ >= text_.size()) break;
      if (text_[pos_] == close) {
        ++pos_;
        break;
      }
      block_append_copy(made, value());
    }
    if (close == ')') set_value_type_byte(made, Type::paren);
    return made;
  }

 private:
  Cell value() {
    const char c = text_[pos_];
    if (c == '[' || c == '(') {
      ++pos_;
      return block(c == '[' ? ']' : ')');
    }
    if (c == '"') {
      const size_t close = text_.find('"', pos_ + 1);
      const std::string_view text = text_.substr(pos_ + 1, close - pos_ - 1);
      pos_ = close + 1;
      Cell string;
      string_load({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, string, TextEncoding::utf8);
      return string;
    }
    size_t end = pos_;
    for (int depth = 0; end < text_.size(); ++end) {
      const char d = text_[end];
      if (depth == 0 && (d == ' ' || d == '\n' || d == ']' || d == ')')) break;
      depth += d == '(' ? 1 : d == ')' ? -1 : 0;
    }
    const std::string_view token = text_.substr(pos_, end - pos_);
    pos_ = end;
    return token.size() > 1 && token.find('/', 1) != std::string_view::npos && token[0] != '/' ? path(token)
                                                                                               : atom(token);
  }

  static Cell path(std::string_view token) {
    Type type = Type::path;
    if (token[0] == '\'') type = Type::lit_path, token.remove_prefix(1);
    else if (token[0] == ':') type = Type::get_path, token.remove_prefix(1);
    else if (token.back() == ':') type = Type::set_path, token.remove_suffix(1);
    Cell steps;
    block_make_at(steps, 4);
    for (size_t from = 0;;) {
      size_t slash = from;
      for (int depth = 0; slash < token.size() && !(depth == 0 && token[slash] == '/'); ++slash)
        depth += token[slash] == '(' ? 1 : token[slash] == ')' ? -1 : 0;
      const std::string_view step = token.substr(from, slash - from);
      block_append_copy(steps, step[0] == '(' ? Reader(step.substr(1)).block(')') : atom(step));
      if (slash >= token.size()) break;
      from = slash + 1;
    }
    set_value_type_byte(steps, type);
    return steps;
  }

  static Cell atom(std::string_view token) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (digit(token[0]) || (token.size() > 1 && token[0] == '-' && digit(token[1]))) {
      if (token.find('.') != std::string_view::npos) {
        double x = 0;
        std::from_chars(token.data(), token.data() + token.size(), x);
        return float_cell(x);
      }
      int32_t n = 0;
      std::from_chars(token.data(), token.data() + token.size(), n);
      return integer_cell(n);
    }
    if (token.size() > 1 && token[0] == '/') return make_cell(Type::refinement, 0, symbol_intern_bytes(token.substr(1)), 0);
    if (token.size() > 1 && token[0] == '#')
      return make_cell(Type::issue, global_context(), symbol_intern_bytes(token.substr(1)), kUnresolved);
    if (token.size() > 1 && token[0] == '\'') return global_word(token.substr(1), Type::lit_word);
    if (token.size() > 1 && token[0] == ':') return global_word(token.substr(1), Type::get_word);
    if (token.size() > 1 && token.back() == ':') return global_word(token.substr(0, token.size() - 1), Type::set_word);
    return global_word(token);
  }

  std::string_view text_;
  size_t pos_ = 0;
};

// What an evaluation gave: its value, or the error's id and arguments, or another exit's code.
struct Outcome {
  Cell value{};
  uint32_t code = 0;  // the exit code that ended it (kThrowError for an error), 0 when none
  ErrorId error{};
  std::vector<Cell> args;
  Cell near{};        // the current expression when the error was made
};

// The last error built: its id, its arguments and the current expression then, recorded
// around the installed builder.
struct BuiltError {
  ErrorId id{};
  std::vector<Cell> args;
  Cell near{};
};
inline BuiltError last_built;
inline Cell (*installed_build)(ErrorId, std::span<const Cell>) = nullptr;
inline Cell record_error(ErrorId id, std::span<const Cell> args) {
  last_built = {id, {args.begin(), args.end()}, current_expression()};
  return installed_build(id, args);
}

class EvalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_services();
    restart_memory();
    datatype_tables_init();
    register_datatypes();
    datatype_table_make_words();  // as the start-up does once the global context exists
    installed_build = services().error_build;
    services().error_build = record_error;
    init_action_entries();
    init_native_entries();
    boot_test_library();
    define_test_natives();
    // Evaluations run inside a native frame, as under a caller.
    stack_open_native_frame(global_word("caller"));
  }
  void TearDown() override {
    init_stacks();
    datatype_tables_init();
    extres_release_all();
    memory_release_all();
    reset_services();
    reset_routines();
  }

 public:
  // The library as start-up builds it (the unit words, routines, constants and functions),
  // from the boot image linked into the tests.
  static void boot_test_library() { boot_linked_library(); }

  // Builds the library from these modules instead: their boot image is made and decoded, then
  // the runner evaluates them.
  static void boot_modules(std::span<const BootModule> modules) {
    const std::vector<uint8_t> image = boot_image_from_sources(modules);
    services().qelbin_decode_boot(image.data(), image.size());
    run_boot_modules(module_paths(modules));
  }

  static void define(std::string_view name, const Cell& value) {
    Cell word = global_word(name);
    word_set(word, value);
  }
  static Cell value_of(std::string_view name) { return *word_value_cell(global_word(name)); }

  // A native of a test entry in the next free slot of the native table, with the spec given.
  static Cell test_native(NativeEntry entry, std::string_view spec) {
    const uint32_t slot = register_native_entries(std::array<NativeEntry, 1>{entry});
    return native_value_build(Type::native, slot, load(spec), 0);
  }

  // The conditionals are not built yet; tests use these: if-true cond block and either-true
  // cond a b.
  static void define_test_natives() {
    define("if-true", test_native(
                          [](const int32_t*) -> Status {
                            if (!cell_truthy(value_stack.base[0])) {
                              *value_stack.base = make_cell(Type::none);
                              return {};
                            }
                            return eval_block(value_stack.base[1], true);
                          },
                          "cond then-blk [block!]"));
    define("either-true", test_native(
                              [](const int32_t*) -> Status {
                                return eval_block(value_stack.base[cell_truthy(value_stack.base[0]) ? 1 : 2], true);
                              },
                              "cond a [block!] b [block!]"));
  }

  // A new block of test notation, rooted in the root block.
  static Cell load(std::string_view text) {
    Cell block = Reader(text).block();
    root_slot_append(block);
    return block;
  }

  // Evaluates the text as a block with errors trapped. Nothing stays on either stack after it.
  static Outcome run(std::string_view text) { return run_block(load(text)); }
  static Outcome run_block(const Cell& block) {
    Outcome outcome;
    Cell* top = value_stack.top;
    const uint32_t depth = call_stack_depth();
    Caught caught = trap_errors([&]() -> Status {
      QEL_TRY(eval_block(block, false));
      outcome.value = *stack_last_value();
      return {};
    });
    outcome.code = caught.taken ? caught.taken : caught.passed.code();
    if (caught.taken == kThrowError) {
      outcome.error = last_built.id;
      outcome.args = last_built.args;
      outcome.near = last_built.near;
    }
    EXPECT_EQ(call_stack_depth(), depth) << "frames left on the call stack";
    value_stack.top = top;
    return outcome;
  }

  // The molded result of the text, or "error <category>/<position>", or "exit <code>".
  static std::string eval_mold(std::string_view text) {
    const Outcome outcome = run(text);
    if (outcome.code == kThrowError) return "error " + error_name(outcome.error);
    if (outcome.code) return "exit " + std::to_string(outcome.code);
    if (cell_type(outcome.value) == Type::unset) return "unset";
    return mold(outcome.value);
  }

  // Rows of code and the molded result (or "error <category>/<id>") each gives.
  struct MoldRow {
    const char* code;
    const char* molded;
  };
  static void expect_molds(std::initializer_list<MoldRow> rows) {
    for (const MoldRow& row : rows) EXPECT_EQ(eval_mold(row.code), row.molded) << row.code;
  }

  // Rows of code and the error it raises, with its arguments molded.
  struct ErrorRow {
    const char* code;
    const char* error;
    std::vector<std::string> args;
  };
  static void expect_errors(std::initializer_list<ErrorRow> rows) {
    for (const ErrorRow& row : rows) {
      const Outcome outcome = run(row.code);
      EXPECT_EQ(outcome.code, kThrowError) << row.code;
      EXPECT_EQ(error_name(outcome.error), row.error) << row.code;
      std::vector<std::string> args;
      for (const Cell& arg : outcome.args) args.push_back(mold(arg));
      EXPECT_EQ(args, row.args) << row.code;
    }
  }

  static std::string error_name(ErrorId id) {
    const ErrorCategory& category = error_categories[id.category];
    return std::string(category.name) + "/" + std::string(category.ids[id.position - 2].id);
  }

  static std::string text_of(const Cell& string) {
    SeriesBuffer* buffer = series_buffer(string.w2);
    std::string text;
    const uint32_t unit = buffer->unit();
    for (uint32_t i = string.w1; i < series_buffer_length(string.w2); ++i) {
      uint32_t c = 0;
      std::memcpy(&c, buffer->head_address() + i * unit, unit);
      text += c < 0x80 ? std::string(1, static_cast<char>(c)) : "?";
    }
    return text;
  }
  static std::string mold(const Cell& value) {
    const Cell text = call_action(Act::Mold, std::array{value});
    stack_drop(1);
    return text_of(text);
  }
  static std::string form(const Cell& value) {
    const Cell text = call_action(Act::Form, std::array{value});
    stack_drop(1);
    return text_of(text);
  }
};

// The category and id of an expected error, by name.
#define EXPECT_ERROR(outcome, category, id)                          \
  do {                                                               \
    const ::qel::testing::Outcome& got_ = (outcome);                 \
    EXPECT_EQ(got_.code, ::qel::kThrowError);                        \
    EXPECT_EQ(EvalTest::error_name(got_.error), category "/" id);    \
  } while (0)

}  // namespace qel::testing
