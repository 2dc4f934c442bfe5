// boot-check.cpp: the routine-entry and unset-word checks of the library source.
#include "evaluator/boot-check.h"

#include <algorithm>

#include "datatypes/series/block-core.h"
#include "datatypes/series/string-convert.h"
#include "evaluator/boot-runner.h"
#include "evaluator/routine.h"
#include "loader/lexer/lexer.h"
#include "runtime/contexts.h"
#include "runtime/gc-root.h"
#include "runtime/language-thread.h"
#include "runtime/series.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// One module's walk: where findings come from, and what is being defined.
struct Walk {
  std::string_view path;
  std::vector<std::string>& findings;
  std::string definition = "(top level)";

  void report(std::string_view what) { findings.push_back(std::string(path) + ": " + definition + ": " + std::string(what)); }
};

std::string_view name_of(const Cell& word) { return symbol_name(word.w2); }
bool is_named(const Cell& cell, std::string_view name) {
  return cell_type(cell) == Type::word && symbol_name_equal(name_of(cell), name, true);
}

uint32_t length_of(const Cell& block) { return series_buffer_length(block.w2); }
Cell cell_at(const Cell& block, uint32_t i) { return series_buffer(block.w2)->head_cell()[i]; }

// A set-word, or the lit-word after `set`, names what the code that follows defines.
void note_definition(Walk& walk, const Cell& block, uint32_t i) {
  const Cell cell = cell_at(block, i);
  if (cell_type(cell) == Type::set_word)
    walk.definition = std::string(name_of(cell)) + ":";
  else if (is_named(cell, "set") && i + 1 < length_of(block) && cell_type(cell_at(block, i + 1)) == Type::lit_word)
    walk.definition = std::string(name_of(cell_at(block, i + 1)));
}

// --- Routine entries ----------------------------------------------------------------------------

void check_routines_in(Walk& walk, const Cell& block) {
  check_stack_headroom();
  for (uint32_t i = 0; i < length_of(block); ++i) {
    note_definition(walk, block, i);
    const Cell cell = cell_at(block, i);
    if (is_named(cell, "make-routine")) {
      const Cell entry = i + 2 < length_of(block) ? cell_at(block, i + 2) : make_cell(Type::none);
      if (cell_type(entry) != Type::string)
        walk.report("routine without a C++ entry name");
      else if (const std::string name = string_to_utf8(entry); !find_routine(name))
        walk.report("routine entry \"" + name + "\" is not declared");
    } else if (any_block_type(cell_type(cell))) {
      check_routines_in(walk, cell);
    }
  }
}

// --- Unset words --------------------------------------------------------------------------------

// Whether the library leaves the word's spelling without a value.
bool library_lacks(const Cell& word) {
  const NodeId library = library_context();
  if (word.w1 != library && word.w1 != global_context_node) return false;  // bound elsewhere: an object's
  const int32_t slot = context_find_word(library, word.w2, false);
  return slot < 0 || cell_type(series_buffer(context_cell(library).w2)->head_cell()[slot]) == Type::unset;
}

struct WordCheck {
  Walk& walk;
  std::span<const std::string> allowed;
  std::vector<uint32_t> own;  // the symbols of the functions' arguments and locals being walked

  bool known(const Cell& word) const {
    const uint32_t symbol = symbol_canonical(word.w2);
    if (std::any_of(own.begin(), own.end(), [&](uint32_t s) { return symbol_canonical(s) == symbol; })) return true;
    return std::any_of(allowed.begin(), allowed.end(),
                       [&](const std::string& name) { return symbol_name_equal(name_of(word), name, true); });
  }

  void check_word(const Cell& word) {
    if (library_lacks(word) && !known(word)) walk.report(std::string(name_of(word)) + " is defined nowhere");
  }

  // A body: its words, the heads of its paths, its nested blocks and the functions inside it.
  void check_body(const Cell& body) {
    check_stack_headroom();
    for (uint32_t i = 0; i < length_of(body); ++i) {
      const Cell cell = cell_at(body, i);
      const Type type = cell_type(cell);
      if (type == Type::word || type == Type::get_word) {
        if (check_function(body, i)) continue;
        take_loop_words(body, i);
        check_word(cell);
      } else if (type == Type::path || type == Type::get_path || type == Type::set_path) {
        const Cell head = length_of(cell) ? cell_at(cell, 0) : make_cell(Type::none);
        if (cell_type(head) == Type::word) check_word(head);
      } else if (type == Type::block || type == Type::paren) {
        check_body(cell);
      }
    }
  }

  // A loop that sets words of its own (foreach, repeat, for, remove-each) makes them the
  // function's for the rest of its body.
  void take_loop_words(const Cell& block, uint32_t i) {
    const Cell loop = cell_at(block, i);
    if (!is_named(loop, "foreach") && !is_named(loop, "repeat") && !is_named(loop, "for") &&
        !is_named(loop, "remove-each"))
      return;
    if (i + 1 >= length_of(block)) return;
    const Cell words = cell_at(block, i + 1);
    if (cell_type(words) == Type::word) own.push_back(words.w2);
    if (cell_type(words) == Type::block)
      for (uint32_t k = 0; k < length_of(words); ++k) own.push_back(cell_at(words, k).w2);
  }

  // At a function maker (func, function, does, has): checks its body with its own words added,
  // and moves `i` onto the body, so that neither the spec nor the body is walked again without
  // those words.
  bool check_function(const Cell& block, uint32_t& i) {
    const Cell maker = cell_at(block, i);
    const bool takes_spec = is_named(maker, "func") || is_named(maker, "function") || is_named(maker, "has");
    if (!takes_spec && !is_named(maker, "does")) return false;
    const uint32_t body_at = i + (takes_spec ? 2 : 1);
    if (body_at >= length_of(block) || cell_type(cell_at(block, body_at)) != Type::block) return false;
    const size_t outer = own.size();
    if (takes_spec && cell_type(cell_at(block, i + 1)) == Type::block) {
      const Cell spec = cell_at(block, i + 1);
      for (uint32_t k = 0; k < length_of(spec); ++k)
        if (is_any_word(cell_type(cell_at(spec, k))) || cell_type(cell_at(spec, k)) == Type::refinement)
          own.push_back(cell_at(spec, k).w2);
    }
    check_body(cell_at(block, body_at));
    own.resize(outer);
    i = body_at;
    return true;
  }

  // Outside function bodies only definitions are followed.
  void check_module(const Cell& block) {
    check_stack_headroom();
    for (uint32_t i = 0; i < length_of(block); ++i) {
      note_definition(walk, block, i);
      const Cell cell = cell_at(block, i);
      if (cell_type(cell) == Type::word && check_function(block, i)) continue;
      if (any_block_type(cell_type(cell))) check_module(cell);
    }
  }
};

}  // namespace

std::vector<std::string> check_routine_entries(std::span<const BootModule> modules) {
  std::vector<std::string> findings;
  for (const BootModule& module : modules) {
    GcRoot<Cell> block;
    Cell* top = value_stack.top;
    lexer_transcode(*block, {reinterpret_cast<const uint8_t*>(module.text.data()), module.text.size()}, LexerRequest{});
    value_stack.top = top;
    Walk walk{module.path, findings};
    check_routines_in(walk, *block);
  }
  return findings;
}

std::vector<std::string> check_unset_words(std::span<const std::string_view> paths, std::span<const std::string> allowed) {
  std::vector<std::string> findings;
  const Cell blocks = library_module_blocks();
  if (cell_type(blocks) != Type::block) return findings;
  for (uint32_t m = 0; m < paths.size() && m < length_of(blocks); ++m) {
    Walk walk{paths[m], findings};
    WordCheck check{walk, allowed, {}};
    check.check_module(cell_at(blocks, m));
  }
  return findings;
}

std::vector<std::string> boot_check(std::span<const BootModule> modules, std::span<const std::string> allowed) {
  std::vector<std::string> findings = check_routine_entries(modules);
  for (std::string& finding : check_unset_words(module_paths(modules), allowed)) findings.push_back(std::move(finding));
  return findings;
}

std::vector<std::string> allow_list_words(std::string_view text) {
  std::vector<std::string> words;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t')) line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (!line.empty() && line.front() != ';') words.emplace_back(line);
  }
  return words;
}

}  // namespace qel
