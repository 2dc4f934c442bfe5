// runtime-symbols.cpp: interning the runtime's symbols, refinements and issue at start-up.
#include "runtime/runtime-symbols.h"

#include <iterator>

#include "runtime/call-stack.h"
#include "runtime/contexts.h"
#include "runtime/symbols.h"

namespace qel {

#define QEL_DEFINE_RUNTIME_SYMBOL(name, text) uint32_t name = 0;
QEL_RUNTIME_SYMBOLS(QEL_DEFINE_RUNTIME_SYMBOL)
#undef QEL_DEFINE_RUNTIME_SYMBOL

Cell ref_local, ref_extern, ref_compare, ref_part, ref_skip, ref_with, issue_ooo;

#define QEL_NAME_RUNTIME_SYMBOL(name, text) {text, &name},
const RuntimeSymbolName kRuntimeSymbolNames[] = {QEL_RUNTIME_SYMBOLS(QEL_NAME_RUNTIME_SYMBOL)};
#undef QEL_NAME_RUNTIME_SYMBOL
const size_t kRuntimeSymbolCount = std::size(kRuntimeSymbolNames);

void runtime_symbols_init() {
#define QEL_INTERN_RUNTIME_SYMBOL(name, text) name = symbol_intern_cstring(text);
  QEL_RUNTIME_SYMBOLS(QEL_INTERN_RUNTIME_SYMBOL)
#undef QEL_INTERN_RUNTIME_SYMBOL
  for (uint32_t platform : {sym_windows, sym_syllable, sym_macos, sym_linux, sym_netbsd}) global_add_word(platform);
  ref_local = refinement_from_c_string("local");
  ref_extern = refinement_from_c_string("extern");
  ref_compare = refinement_from_c_string("compare");
  ref_part = refinement_from_c_string("part");
  ref_skip = refinement_from_c_string("skip");
  ref_with = refinement_from_c_string("with");
  issue_ooo = issue_from_c_string("ooo");
  // The names of frames left out of reports, and of the frame that holds a block.
  set_frame_symbols(symbol_intern_cstring("<body>"), symbol_intern_cstring("<anon>"), symbol_intern_cstring("self"));
}

bool word_is_any_type(const Cell& word) { return symbol_canonical(word.w2) == symbol_canonical(sym_any_type); }

}  // namespace qel
