// The runtime's symbols, refinements and issue.
#include <gtest/gtest.h>

#include <string>

#include "memory-fixture.h"
#include "runtime/contexts.h"
#include "runtime/runtime-symbols.h"
#include "runtime/symbols.h"

namespace qel {
namespace {

using RuntimeSymbols = MemoryTest;

TEST_F(RuntimeSymbols, TheListInItsOrder) {
  ASSERT_EQ(kRuntimeSymbolCount, 122u);
  EXPECT_STREQ(kRuntimeSymbolNames[0].text, "spec");
  EXPECT_STREQ(kRuntimeSymbolNames[kRuntimeSymbolCount - 1].text, "<applied>");
  // A spelling met for the first time takes the next id; "code" comes back with its first id.
  const uint32_t first = *kRuntimeSymbolNames[0].id;
  uint32_t next = first;
  for (size_t i = 0; i < kRuntimeSymbolCount; ++i) {
    const RuntimeSymbolName& name = kRuntimeSymbolNames[i];
    EXPECT_EQ(symbol_name(*name.id), name.text);
    EXPECT_EQ(symbol_intern_cstring(name.text), *name.id) << name.text;
    if (*name.id == next) ++next;
    else EXPECT_LT(*name.id, next) << name.text;
  }
  EXPECT_EQ(sym_code, sym_code_error);
  EXPECT_EQ(next - first, 121u) << "122 names, one of them twice";
}

TEST_F(RuntimeSymbols, PlatformWordsRefinementsAndTheIssue) {
  for (const char* platform : {"Windows", "Syllable", "macOS", "Linux", "NetBSD"})
    EXPECT_GE(context_find_word(global_context(), symbol_intern_cstring(platform), false), 0) << platform;
  struct Row {
    const Cell* cell;
    Type type;
    const char* name;
  };
  const Row rows[] = {{&ref_local, Type::refinement, "local"},     {&ref_extern, Type::refinement, "extern"},
                      {&ref_compare, Type::refinement, "compare"}, {&ref_part, Type::refinement, "part"},
                      {&ref_skip, Type::refinement, "skip"},       {&ref_with, Type::refinement, "with"},
                      {&issue_ooo, Type::issue, "ooo"}};
  for (const Row& row : rows) {
    EXPECT_EQ(cell_type(*row.cell), row.type) << row.name;
    EXPECT_EQ(symbol_name(row.cell->w2), row.name);
  }
  EXPECT_TRUE(word_is_any_type(make_cell(Type::word, 0, symbol_intern_cstring("Any-Type!"))));
  EXPECT_FALSE(word_is_any_type(make_cell(Type::word, 0, sym_any)));
}

}  // namespace
}  // namespace qel
